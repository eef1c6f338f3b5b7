#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decode/Frame.h"
#include "decode/input/Inputs.h"
#include "monitor/CaptureFile.h"
#include "record/Pcapng.h"
#include "record/Recorder.h"
#include "support/Files.h"
#include "support/Hex.h"
#include "support/Tshark.h"

using namespace qdec;

namespace {

const char kRead[] = "05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E0";
const char kResponse[] = "05 64 0A 44 AE 0C 36 00 BF D6 C0 C0 81 00 00 9C E8";

// "COM2 => F 05 64 ..." per record.
std::vector<std::string> Seen(const std::vector<LineRecord>& records)
{
    std::vector<std::string> seen;
    for (const LineRecord& r : records)
        seen.push_back(PortText(r) + (r.dir == Direction::Sent ? " => " : " <= ") +
                       "FNTL"[static_cast<int>(r.kind)] + " " + ToHex(r.Octets));
    return seen;
}

std::vector<LineRecord> Read(const std::string& content, bool bOk = true)
{
    std::vector<LineRecord> records;
    std::string reason;
    EXPECT_EQ(ReadRecords(content, records, reason), bOk) << reason;
    return records;
}

std::string Octets(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

std::vector<std::uint8_t> Bytes(std::initializer_list<int> octets)
{
    std::vector<std::uint8_t> v;
    for (const int n : octets)
        v.push_back(static_cast<std::uint8_t>(n));
    return v;
}

}  // namespace

TEST(DecodeInputTest, ARecordingReadsBackAsTheRecordsThatMadeIt)
{
    const std::string path = TempPath("back.pcapng");
    RecordingOptions options;
    options.Path = path;
    options.Names[0] = "/dev/ttyS0";
    options.Names[1] = "/dev/ttyS1";
    CPcapngRecorder recorder;
    std::string reason;
    ASSERT_TRUE(recorder.Open(options, reason)) << reason;
    const auto rec = [&](int nPort, Direction dir, RecordKind kind, const std::string& hex, std::int64_t t) {
        LineRecord r;
        r.nPort = nPort;
        r.dir = dir;
        r.kind = kind;
        r.tWallUs = t;
        r.Octets = FromHex(hex);
        recorder.OnRecord(r);
    };
    rec(1, Direction::Sent, RecordKind::Frame, kRead, 1'765'432'100'000'001);
    rec(1, Direction::Received, RecordKind::Frame, kResponse, 1'765'432'100'200'002);
    rec(0, Direction::Received, RecordKind::Noise, "FF 13", 1'765'432'100'300'003);
    rec(1, Direction::Received, RecordKind::Truncated, "05 64 0A", 1'765'432'100'400'004);
    recorder.Close();
    const std::vector<LineRecord> records = Read(ReadOctets(path));
    EXPECT_EQ(Seen(records), (std::vector<std::string>{"COM2 => F " + std::string(kRead), "COM2 <= F " + std::string(kResponse),
                                                        "COM1 <= N FF 13", "COM2 <= T 05 64 0A"}));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].tWallUs, 1'765'432'100'200'002);
    std::filesystem::remove(path);
}

TEST(DecodeInputTest, OthersCapturesOfDnp3OverTcpUdpAndSerialAreFramedAsTheLineWas)
{
    // A TCP stream whose first segment ends inside a frame, IPv4 on Ethernet.
    const std::vector<std::uint8_t> read = FromHex(kRead);
    const auto tcp = [](bool bToStation, std::vector<std::uint8_t> payload) {
        std::vector<std::uint8_t> p = Bytes({0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 6, 0x08, 0x00, 0x45, 0, 0, 0, 0, 0, 0x40, 0,
                                             64, 6, 0, 0, 10, 0, 0, 1, 10, 0, 0, 5});
        if (!bToStation)
            std::swap_ranges(p.begin() + 26, p.begin() + 30, p.begin() + 30);
        const std::vector<std::uint8_t> ports = bToStation ? Bytes({0xC0, 0x00, 0x4E, 0x20}) : Bytes({0x4E, 0x20, 0xC0, 0x00});
        p.insert(p.end(), ports.begin(), ports.end());
        const std::vector<std::uint8_t> rest = Bytes({0, 0, 0, 1, 0, 0, 0, 1, 0x50, 0x18, 0x20, 0, 0, 0, 0, 0});
        p.insert(p.end(), rest.begin(), rest.end());
        const std::size_t nIpLength = p.size() - 14 + payload.size();
        p[16] = static_cast<std::uint8_t>(nIpLength >> 8);
        p[17] = static_cast<std::uint8_t>(nIpLength);
        p.insert(p.end(), payload.begin(), payload.end());
        return p;
    };
    std::string file = Octets(pcapng::SectionHeader("test")) + Octets(pcapng::InterfaceDescription("eth0", ""));
    file += Octets(pcapng::EnhancedPacket(0, 1'000'000, tcp(true, {read.begin(), read.begin() + 7}), pcapng::kInbound, {}));
    file += Octets(pcapng::EnhancedPacket(0, 1'001'000, tcp(true, {read.begin() + 7, read.end()}), pcapng::kInbound, {}));
    const std::vector<std::uint8_t> response = FromHex(kResponse);
    file += Octets(pcapng::EnhancedPacket(0, 1'100'000, tcp(false, response), pcapng::kInbound, {}));
    EXPECT_EQ(Seen(Read(file)), (std::vector<std::string>{"tcp 10.0.0.5:20000 => F " + std::string(kRead),
                                                           "tcp 10.0.0.5:20000 <= F " + std::string(kResponse)}));

    // A classic pcap of linktype 250: a 12-octet serial header before the octets.
    std::string rtac = Octets(Bytes({0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 250, 0, 0, 0}));
    const auto serial = [&](const std::vector<std::uint8_t>& octets, int nSecond) {
        const auto n = static_cast<int>(octets.size() + 12);
        rtac += Octets(Bytes({nSecond, 0, 0, 0, 0, 0, 0, 0, n, 0, 0, 0, n, 0, 0, 0}));
        rtac += std::string(12, '\0') + Octets(octets);
    };
    serial(read, 1);
    serial(response, 2);
    EXPECT_EQ(Seen(Read(rtac)), (std::vector<std::string>{"serial => F " + std::string(kRead),
                                                           "serial <= F " + std::string(kResponse)}));
}

TEST(DecodeInputTest, CaptureFilesAndHexGiveTheFramesTheyShow)
{
    // A receive window's text: answers split over lines, a time-out note, noise.
    const std::string capture = EncodeCapture("=> " + std::string(kRead) + " \r\n<= 05 64 0A 44 AE 0C 36 00 \r\nBF D6 C0 C0 "
                                              "81 00 00 9C E8 \r\nReceiving TimeOut !\r\nR> " + std::string(kRead) + " \r\n<= 00 ");
    EXPECT_EQ(DetectInput(capture), InputKind::Capture);
    EXPECT_EQ(Seen(Read(capture)), (std::vector<std::string>{"capture => F " + std::string(kRead),
                                                              "capture <= F " + std::string(kResponse),
                                                              "capture => F " + std::string(kRead), "capture <= N 00"}));
    // A window that dropped its oldest text: the first frame lost its "=> ", its DIR bit
    // still says the master sent it.
    EXPECT_EQ(Seen(Read(EncodeCapture("0C BA 7A C0 C0 01 3C 02 06 54 E0 \r\n=> " + std::string(kRead) + " \r\n<= "))),
              (std::vector<std::string>{"capture <= N 0C BA 7A C0 C0 01 3C 02 06 54 E0", "capture => F " + std::string(kRead)}));
    EXPECT_EQ(Seen(Read(EncodeCapture(std::string(kRead) + " \r\n<= " + std::string(kResponse) + " \r\n"))),
              (std::vector<std::string>{"capture => F " + std::string(kRead), "capture <= F " + std::string(kResponse)}));
    EXPECT_EQ(Seen(Read("# a read and its answer\n0564 0BC4 3600 AE0C BA7A C0C0 013C 0206 54E0\n0x05,0x64,0x0A,0x44,0xAE,"
                        "0x0C,0x36,0x00,0xBF,0xD6,0xC0,0xC0,0x81,0x00,0x00,0x9C,0xE8\n")),
              (std::vector<std::string>{"hex => F " + std::string(kRead), "hex <= F " + std::string(kResponse)}));
    EXPECT_TRUE(Read("05 64 0G\n", false).empty());
    EXPECT_TRUE(Read("05 6\n", false).empty());
    EXPECT_TRUE(Read(std::string("\x0A\x0D\x0D\x0A", 4) + "broken", false).empty());
}

TEST(DecodeInputTest, AFileThatCannotBeReadIsOneLineOnStderrAndTheRestIsDone)
{
    const std::string good = TempPath("good.hex");
    WriteOctets(good, std::string(kRead) + "\n");
    const std::string missing = TempPath("missing.hex");
    const std::string out = TempPath("out.txt");
    const std::string err = TempPath("err.txt");
    const int nStatus = std::system((std::string(QUELT_DECODE_PROGRAM) + " --csv " + missing + " " + good + " >" + out +
                                     " 2>" + err).c_str());
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 1);
    EXPECT_EQ(ReadOctets(err), "quelt-decode: " + missing + ": No such file or directory\n");
    EXPECT_EQ(ReadOctets(out), std::string(CsvHeader()) + "\n-,,hex,sent,18,UNCONFIRMED_USER_DATA,54,3246,ok,FIR FIN seq 0,READ,0,,60.2\n");
    EXPECT_NE(CommandOutput(std::string(QUELT_DECODE_PROGRAM) + " --help").find("--csv"), std::string::npos);
    for (const std::string& path : {good, out, err})
        std::filesystem::remove(path);
}
