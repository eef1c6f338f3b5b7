#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "channel/PortMap.h"
#include "channel/Protocol.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/Notify.h"
#include "core/TrafficLines.h"
#include "monitor/AlarmLog.h"
#include "support/Pty.h"
#include "support/StateReset.h"

namespace {

class RecordingChannel : public CProtocol {
public:
    using CProtocol::CProtocol;
    void OnReceive(const std::uint8_t* pData, int nCount) override
    {
        Chunks.emplace_back(pData, pData + nCount);
    }
    void OnCycle() override { ++nCycles; }
    void ResetLine() override
    {
        ++nResets;
        CProtocol::ResetLine();
    }

    // Waits for the kernel (not for the code under test) to deliver n octets.
    bool WaitForWaiting(int n) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_pLine->Waiting() < n) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    std::vector<std::vector<std::uint8_t>> Chunks;
    int nCycles = 0;
    int nResets = 0;
};

}  // namespace

class ProtocolTest : public SharedStateTest {
protected:
    ScopedFakeClock m_Clock;
    PtyPair m_Line;
};

TEST_F(ProtocolTest, Com2OpensItsMappedDeviceAndReadsAtMost1024OctetsPerStep)
{
    MapPortDevice(COM2, m_Line.Device());
    RecordingChannel channel(COM2);
    ASSERT_TRUE(channel.IsPortOpen());
    std::vector<std::uint8_t> data(1500);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    m_Line.Write(data);
    ASSERT_TRUE(channel.WaitForWaiting(1500));

    channel.PollStep();
    channel.PollStep();
    channel.PollStep();
    ASSERT_EQ(channel.Chunks.size(), 2u);
    EXPECT_EQ(channel.Chunks[0].size(), 1024u);
    EXPECT_EQ(channel.Chunks[1].size(), 476u);
    std::vector<std::uint8_t> all = channel.Chunks[0];
    all.insert(all.end(), channel.Chunks[1].begin(), channel.Chunks[1].end());
    EXPECT_EQ(all, data);
    EXPECT_EQ(channel.nCycles, 3);  // OnCycle runs whether or not octets came
}

TEST_F(ProtocolTest, BareChannelShowsEveryOctetAsReceiveTraffic)
{
    MapPortDevice(COM1, m_Line.Device());
    CProtocol channel(COM1);
    m_Line.Write({0x05, 0x64, 0xAB});
    // Until the kernel has handed all three over (a generous bound only for the failure).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        channel.PollStep();
        std::lock_guard lock(g_csDisplay);
        if (g_RecvLines.Count() >= 3 || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard lock(g_csDisplay);
    EXPECT_EQ(g_RecvLines.TakeAll(), "05 64 AB ");  // no line end from the bare channel
}

TEST_F(ProtocolTest, WrittenOctetsReachTheFarEnd)
{
    MapPortDevice(COM2, m_Line.Device());
    CProtocol channel(COM2);
    const std::vector<std::uint8_t> frame = {0x05, 0x64, 0x05, 0xC0, 0x36, 0x00, 0xAE, 0x0C};
    EXPECT_EQ(channel.Write(frame.data(), static_cast<int>(frame.size())), 1);
    EXPECT_EQ(m_Line.ReadCount(frame.size()), frame);
}

TEST_F(ProtocolTest, WriteTimeoutPerOctetFollowsTheSpeedAtOpening)
{
    MapPortDevice(COM2, m_Line.Device());
    for (const auto& [nBaud, nMs] : {std::pair{300, 64}, {1200, 16}, {4800, 4}, {9600, 2}}) {
        g_nBaudRate = nBaud;
        CProtocol channel(COM2);
        EXPECT_EQ(channel.WriteMsPerOctet(), nMs) << nBaud;
        g_nBaudRate = 300;  // a later change does not touch an open port
        EXPECT_EQ(channel.WriteMsPerOctet(), nMs) << nBaud;
    }
}

TEST_F(ProtocolTest, PortThatFailsToOpenIsReportedAndStaysHarmless)
{
    MapPortDevice(COM2, "/nonexistent/quelt-tty");
    RecordingChannel channel(COM2);
    EXPECT_FALSE(channel.IsPortOpen());
    // The box names the port and, on a line of its own, the device and the reason.
    EXPECT_EQ(m_MessageBoxes, std::vector<std::string>{"COM2\n/nonexistent/quelt-tty: " +
                                                       std::string(std::strerror(ENOENT))});
    // The alarm window keeps it after the box is gone.
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"端口未打开: COM2 /nonexistent/quelt-tty (" +
                                                           std::string(std::strerror(ENOENT)) + ")"});
    std::uint8_t buf[16];
    EXPECT_EQ(channel.Read(buf, sizeof buf), 0);
    EXPECT_EQ(channel.Write(buf, 4), 0);
    EXPECT_EQ(channel.ApplyLineSettings(), 0);
    channel.PollStep();
    EXPECT_TRUE(channel.Chunks.empty());
    EXPECT_EQ(channel.nCycles, 1);
}

TEST_F(ProtocolTest, SecondOpenOfTheSameDeviceIsRefused)
{
    MapPortDevice(COM1, m_Line.Device());
    MapPortDevice(COM2, m_Line.Device());
    CProtocol first(COM1);
    CProtocol second(COM2);
    EXPECT_TRUE(first.IsPortOpen());
    EXPECT_FALSE(second.IsPortOpen());
    EXPECT_EQ(m_MessageBoxes,
              std::vector<std::string>{"COM2\n" + m_Line.Device() + ": " + std::strerror(EBUSY)});
}

TEST_F(ProtocolTest, SilenceResetsTheLineAfterMoreThanThirtySecondsAndAgainEvery31)
{
    MapPortDevice(COM2, m_Line.Device());
    RecordingChannel channel(COM2);
    const struct {
        int nAdvance;  // seconds since the previous step
        int nResets;   // resets seen after the step
    } steps[] = {
        {30, 0},  // exactly 30 s of silence is not yet more than 30
        {1, 1},   // 31 s
        {30, 1},  // the count restarts at the reset
        {1, 2},
        {31, 3},
    };
    for (const auto& s : steps) {
        m_Clock.AdvanceSeconds(s.nAdvance);
        channel.PollStep();
        EXPECT_EQ(channel.nResets, s.nResets) << "after +" << s.nAdvance << " s";
    }

    // Octets arriving restart the silence count.
    m_Clock.AdvanceSeconds(20);
    m_Line.Write({0x01});
    ASSERT_TRUE(channel.WaitForWaiting(1));
    channel.PollStep();
    m_Clock.AdvanceSeconds(30);
    channel.PollStep();
    EXPECT_EQ(channel.nResets, 3);
}

TEST_F(ProtocolTest, PerFrameWriteTraceOnlyWhenAskedFor)
{
    MapPortDevice(COM2, m_Line.Device());
    CProtocol channel(COM2);
    const std::uint8_t frame[4] = {0x05, 0x64, 0x05, 0xC0};
    SetVerboseTraces(false);
    EXPECT_EQ(channel.Write(frame, 4), 1);
    EXPECT_TRUE(m_Traces.empty());
    SetVerboseTraces(true);
    EXPECT_EQ(channel.Write(frame, 4), 1);
    SetVerboseTraces(false);
    EXPECT_EQ(m_Traces, std::vector<std::string>{"\n4 bytes written"});
}
