#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <cstdio>
#include <filesystem>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "record/LineTap.h"
#include "record/Recorder.h"
#include "support/Files.h"
#include "support/Hex.h"
#include "support/Tshark.h"

using qdec::Direction;
using qdec::LineRecord;
using qdec::RecordKind;

namespace {

const char kRead[] = "05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E0";
const char kResponse[] = "05 64 0A 44 AE 0C 36 00 BF D6 C0 C0 81 00 00 9C E8";  // null response, IIN 0000

struct Packet {
    std::int64_t tUs;
    std::vector<std::uint8_t> octets;
};

// Every packet of a capture file, read with libpcap.
std::vector<Packet> ReadWithLibpcap(const std::string& path, int* pLinktype = nullptr)
{
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t* p = pcap_open_offline(path.c_str(), error);
    EXPECT_NE(p, nullptr) << error;
    std::vector<Packet> packets;
    if (p == nullptr)
        return packets;
    if (pLinktype != nullptr)
        *pLinktype = pcap_datalink(p);
    pcap_pkthdr* pHeader = nullptr;
    const u_char* pData = nullptr;
    while (pcap_next_ex(p, &pHeader, &pData) == 1)
        packets.push_back({pHeader->ts.tv_sec * 1'000'000LL + pHeader->ts.tv_usec, {pData, pData + pHeader->caplen}});
    pcap_close(p);
    return packets;
}

LineRecord Rec(RecordKind kind, Direction dir, const std::string& hex, std::int64_t tUs)
{
    LineRecord r;
    r.kind = kind;
    r.dir = dir;
    r.nPort = 1;
    r.tWallUs = r.tMonoUs = r.tMonoEndUs = tUs;
    r.Octets = FromHex(hex);
    return r;
}

RecordingOptions Options(const std::string& path)
{
    RecordingOptions o;
    o.Path = path;
    o.Names[0] = "/dev/ttyS0";
    o.Names[1] = "/dev/ttyUSB1";
    o.Descriptions[0] = "COM1 DNP3 9600 8N1";
    o.Descriptions[1] = "COM2 DNP3 1200 8N1";
    return o;
}

}  // namespace

TEST(RecordingTest, EachRecordIsOneUdpPacketFromTheSendersAddress)
{
    const std::string path = TempPath("packets.pcapng");
    CPcapngRecorder recorder;
    std::string reason;
    ASSERT_TRUE(recorder.Open(Options(path), reason)) << reason;
    const std::int64_t t0 = 1'765'432'100'123'456;
    recorder.OnRecord(Rec(RecordKind::Frame, Direction::Sent, kRead, t0));
    recorder.OnRecord(Rec(RecordKind::Frame, Direction::Received, kResponse, t0 + 250'000));
    recorder.OnRecord(Rec(RecordKind::Noise, Direction::Received, "FF 00", t0 + 300'000));
    recorder.Flush();  // what is flushed is readable while the recording runs
    int nLinktype = 0;
    const std::vector<Packet> packets = ReadWithLibpcap(path, &nLinktype);
    EXPECT_EQ(nLinktype, DLT_EN10MB);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].tUs, t0);
    EXPECT_EQ(packets[1].tUs, t0 + 250'000);
    // Ethernet, IPv4 192.0.2.1 → 192.0.2.2, UDP 20000 → 20000, then the frame.
    EXPECT_EQ(ToHex(packets[0].octets),
              "02 00 00 00 02 02 02 00 00 00 02 01 08 00 "
              "45 00 00 2E 00 00 40 00 40 11 B6 BB C0 00 02 01 C0 00 02 02 "
              "4E 20 4E 20 00 1A 00 00 " + std::string(kRead));
    EXPECT_EQ(ToHex({packets[1].octets.begin() + 26, packets[1].octets.begin() + 38}),
              "C0 00 02 02 C0 00 02 01 4E 20 4E 20");
    // Noise goes to a port no dissector takes for DNP3.
    EXPECT_EQ(ToHex({packets[2].octets.begin() + 34, packets[2].octets.end()}), "4E 21 4E 21 00 0A 00 00 FF 00");
    recorder.Close();
    std::filesystem::remove(path);
}

// The check that matters: stock tshark dissects the recording as DNP3 with direction, and
// warns of nothing but the CRC failure that was on the line. run.sh installs tshark.
TEST(RecordingTest, TsharkDissectsEveryFrameAsDnp3WithItsDirection)
{
    ASSERT_TRUE(HaveTshark()) << "tshark is missing: ./run.sh installs it";
    const std::string path = TempPath("tshark.pcapng");
    CPcapngRecorder recorder;
    std::string reason;
    ASSERT_TRUE(recorder.Open(Options(path), reason)) << reason;
    std::string spoilt = kResponse;
    spoilt.replace(spoilt.size() - 2, 2, "E9");
    const std::int64_t t0 = 1'765'432'100'000'000;
    recorder.OnRecord(Rec(RecordKind::Frame, Direction::Sent, kRead, t0));
    recorder.OnRecord(Rec(RecordKind::Frame, Direction::Received, spoilt, t0 + 100'000));
    recorder.OnRecord(Rec(RecordKind::Noise, Direction::Received, "FF 00 13", t0 + 200'000));
    recorder.OnRecord(Rec(RecordKind::Truncated, Direction::Received, "05 64 0A 44 AE 0C", t0 + 300'000));
    recorder.OnRecord(Rec(RecordKind::Frame, Direction::Sent, kRead, t0 + 400'000));
    recorder.OnRecord(Rec(RecordKind::Frame, Direction::Received, kResponse, t0 + 500'000));
    recorder.Close();

    EXPECT_EQ(Tshark(path, "-T fields -E separator=';' -e frame.number -e ip.src -e dnp3.ctl.dir -e frame.comment"),
              "1;192.0.2.1;1;\n"
              "2;192.0.2.2;0;CRC failure: block 1 CRC E99C, expected E89C\n"
              "3;192.0.2.2;;noise: 3 octets between frames\n"
              "4;192.0.2.2;;frame cut short: 6 of 17 octets\n"
              "5;192.0.2.1;1;\n"
              "6;192.0.2.2;0;\n");
    EXPECT_EQ(Tshark(path, "-T fields -E separator=';' -e frame.number -e _ws.col.Protocol -e frame.p2p_dir"),
              "1;DNP 3.0;0\n2;DNP 3.0;1\n3;UDP;1\n4;UDP;1\n5;DNP 3.0;0\n6;DNP 3.0;1\n");  // 0 sent, 1 received
    EXPECT_EQ(Tshark(path, "-q -z expert,warn"),
              "\nWarns (1)\n=============\n   Frequency      Group           Protocol  Summary\n"
              "           1   Checksum            DNP 3.0  Data Chunk Checksum incorrect [should be 0xe89c]\n");
    std::filesystem::remove(path);
}

TEST(RecordingTest, OctetsTheQueueCannotTakeAreCountedRecordedAndSaidOnce)
{
    CLineTap tap(20);
    std::vector<LineRecord> seen;
    struct Sink : ITapSink {
        std::vector<LineRecord>* pSeen;
        void OnRecord(const LineRecord& r) override { pSeen->push_back(r); }
    } sink;
    sink.pSeen = &seen;
    tap.AddSink(&sink);
    int nSaid = 0;
    std::uint64_t nFirst = 0;
    tap.OnFirstLoss([&](std::uint64_t n) {
        ++nSaid;
        nFirst = n;
    });
    const std::vector<std::uint8_t> read = FromHex(kRead);
    tap.Octets(1, Direction::Sent, read.data(), 18, 1000, 1000, 1000);
    tap.Octets(1, Direction::Sent, read.data(), 18, 2000, 2000, 2000);  // lost
    tap.Pump(3000);
    tap.Octets(1, Direction::Sent, read.data(), 18, 4000, 4000, 4000);
    tap.Octets(1, Direction::Received, read.data(), 10, 5000, 5000, 5000);  // lost
    tap.Pump(6000, true);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].kind, RecordKind::Frame);
    EXPECT_EQ(seen[1].kind, RecordKind::Lost);
    EXPECT_EQ(seen[1].nLost, 18u);
    EXPECT_EQ(seen[2].kind, RecordKind::Frame);
    EXPECT_EQ(seen[3].kind, RecordKind::Lost);
    EXPECT_EQ(seen[3].dir, Direction::Received);
    EXPECT_EQ(tap.LostOctets(), 28u);
    EXPECT_EQ(nSaid, 1);
    EXPECT_EQ(nFirst, 18u);
}

TEST(RecordingTest, ARingKeepsTheNewestFilesEachOneWhole)
{
    const std::filesystem::path dir = TempPath("ring");
    std::filesystem::create_directories(dir);
    RecordingOptions options = Options((dir / "line.pcapng").string());
    options.nMaxMb = 1;
    options.nFiles = 2;
    CPcapngRecorder recorder;
    std::string reason;
    ASSERT_TRUE(recorder.Open(options, reason)) << reason;
    const LineRecord read = Rec(RecordKind::Frame, Direction::Sent, kRead, 1'765'432'100'000'000);
    for (int i = 0; i < 40'000; ++i)  // 104 octets each: four files and part of a fifth
        recorder.OnRecord(read);
    recorder.Close();
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].substr(0, 11), "line_00004_");
    EXPECT_EQ(files[1].substr(0, 11), "line_00005_");
    std::size_t nPackets = 0;
    for (const std::string& name : files)
        nPackets += ReadWithLibpcap((dir / name).string()).size();
    EXPECT_GT(nPackets, 10'000u);
    EXPECT_EQ(recorder.Packets(), 40'000u);
    std::filesystem::remove_all(dir);
}

// The consumer thread as the running program has it: octets from another thread, records
// to the sink in order; a frame cut short is handed on after the silence and put on disk
// within a second after that, with no more octets and no stop to push it.
TEST(RecordingTest, TheConsumerThreadFramesWhatAnotherThreadTapsAndFlushesWhatSilenceEnded)
{
    CLineTap tap;
    struct Sink : ITapSink {
        std::mutex mx;
        std::condition_variable cv;
        std::vector<LineRecord> seen;
        bool bFlushedAfterCut = false;
        void OnRecord(const LineRecord& r) override
        {
            std::lock_guard lock(mx);
            seen.push_back(r);
        }
        void Flush() override
        {
            std::lock_guard lock(mx);
            bFlushedAfterCut = bFlushedAfterCut || (!seen.empty() && seen.back().kind == RecordKind::Truncated);
            cv.notify_all();
        }
    } sink;
    tap.AddSink(&sink);
    tap.Start();
    const std::vector<std::uint8_t> read = FromHex(kRead);
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i) {
            tap.OctetsNow(1, Direction::Sent, read.data(), 7);
            tap.OctetsNow(1, Direction::Sent, read.data() + 7, 11);
        }
        tap.OctetsNow(1, Direction::Received, read.data(), 5);  // and then nothing
    });
    producer.join();
    {
        std::unique_lock lock(sink.mx);
        EXPECT_TRUE(sink.cv.wait_for(lock, std::chrono::seconds(20), [&] { return sink.bFlushedAfterCut; }));
    }
    tap.Stop();
    std::lock_guard lock(sink.mx);
    ASSERT_EQ(sink.seen.size(), 101u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ToHex(sink.seen[static_cast<std::size_t>(i)].Octets), kRead) << i;
    EXPECT_EQ(sink.seen.back().kind, RecordKind::Truncated);
    EXPECT_EQ(tap.LostOctets(), 0u);
}
