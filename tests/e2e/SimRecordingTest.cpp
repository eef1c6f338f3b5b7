#include <gtest/gtest.h>
#include <poll.h>

#include <string>
#include <vector>

#include "channel/SerialPort.h"
#include "decode/input/Inputs.h"
#include "record/LineTap.h"
#include "record/Recorder.h"
#include "sim/SimRunner.h"
#include "support/Files.h"
#include "support/Hex.h"
#include "support/Pty.h"

// quelt-rtusim --record: the RTU's own side of its line, the RTU's frames the outbound ones.
TEST(SimRecordingTest, TheRtuRecordsWhatItHeardAndWhatItAnswered)
{
    const std::string path = TempPath("rtu.pcapng");
    CPcapngRecorder recorder;
    RecordingOptions options;
    options.Path = path;
    options.bMaster = false;
    options.Names[0] = "/dev/ttyUSB0";
    options.Descriptions[0] = "RTU 54 DNP3 1200 8N1";
    std::string reason;
    ASSERT_TRUE(recorder.Open(options, reason)) << reason;
    CLineTap tap;
    tap.AddSink(&recorder);
    tap.Start();
    {
        PtyPair line;
        CSimRunner rtu(SimOptions{}, MakeTappedLine(MakeFdLine(line.MasterFd()), tap, 0));
        rtu.Start();
        CSerialPort master;
        ASSERT_TRUE(master.Open(line.Device()));
        ASSERT_TRUE(master.Apply({1200, 8, 0, 0}));
        const std::vector<std::uint8_t> reset = FromHex("05 64 05 C0 36 00 AE 0C A7 07");
        int nWritten = 0;
        ASSERT_TRUE(master.Write(reset.data(), static_cast<int>(reset.size()), 1000, nWritten));
        std::vector<std::uint8_t> ack;
        for (int nTries = 0; ack.size() < 10 && nTries < 200; ++nTries) {  // up to 20 s, by 100 ms
            std::uint8_t buffer[64];
            pollfd pfd{master.Descriptor(), POLLIN, 0};
            if (master.Waiting() == 0)
                ::poll(&pfd, 1, 100);
            const int n = master.Read(buffer, sizeof buffer);
            ack.insert(ack.end(), buffer, buffer + n);
        }
        EXPECT_EQ(ToHex(ack), "05 64 05 00 AE 0C 36 00 FF 2E");
        rtu.Stop();
    }
    tap.Stop();
    recorder.Close();

    std::vector<qdec::LineRecord> records;
    ASSERT_TRUE(qdec::ReadRecords(ReadOctets(path), records, reason)) << reason;
    ASSERT_EQ(records.size(), 2u);
    // Read back as the master would see it: the reset sent by the master, the ACK received.
    EXPECT_EQ(ToHex(records[0].Octets), "05 64 05 C0 36 00 AE 0C A7 07");
    EXPECT_EQ(records[0].dir, qdec::Direction::Sent);
    EXPECT_EQ(ToHex(records[1].Octets), "05 64 05 00 AE 0C 36 00 FF 2E");
    EXPECT_EQ(records[1].dir, qdec::Direction::Received);
    EXPECT_LE(records[0].tWallUs, records[1].tWallUs);
    std::remove(path.c_str());
}
