#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <termios.h>

#include "app/Channels.h"
#include "channel/PortMap.h"
#include "channel/Protocol.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "dnp3/QueltProtocol.h"
#include "support/Pty.h"
#include "support/StateReset.h"
#include "ui/ChannelSettings.h"

class ChannelTableTest : public SharedStateTest {
protected:
    void SetUp() override
    {
        SharedStateTest::SetUp();
        MapPortDevice(COM1, m_Com1.Device());
        MapPortDevice(COM2, m_Com2.Device());
    }

    static bool IsEngine(int nEntry)
    {
        std::lock_guard lock(g_csChannel);
        return dynamic_cast<CQueltProtocol*>(g_Channels.pChannel[nEntry].get()) != nullptr;
    }

    static int PortOf(int nEntry)
    {
        std::lock_guard lock(g_csChannel);
        return g_Channels.pChannel[nEntry] ? g_Channels.pChannel[nEntry]->Port() : -1;
    }

    PtyPair m_Com1, m_Com2;
};

TEST_F(ChannelTableTest, EngineSitsInTheEntryOfTheConfiguredPort)
{
    for (const int nComPort : {COM1, COM2}) {
        g_nComPort = nComPort;
        CreateChannels();
        EXPECT_EQ(IsEngine(0), nComPort == COM1);
        EXPECT_EQ(IsEngine(1), nComPort == COM2);
        EXPECT_EQ(PortOf(0), COM1);
        EXPECT_EQ(PortOf(1), COM2);
        DestroyChannels();
    }
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(ChannelTableTest, CreatingTwiceReplacesTheChannelsAndKeepsThePortsOpen)
{
    CreateChannels();
    CreateChannels();  // the old objects let go of their ports before the new ones open
    std::lock_guard lock(g_csChannel);
    EXPECT_TRUE(g_Channels.pChannel[0]->IsPortOpen());
    EXPECT_TRUE(g_Channels.pChannel[1]->IsPortOpen());
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(ChannelTableTest, RecreationSwapsTheEngineWhileThePollThreadRuns)
{
    CreateChannels();
    ASSERT_TRUE(IsEngine(1));
    const auto idBefore = g_Channels.PollThread.get_id();
    g_nComPort = COM1;
    RecreateChannels();
    EXPECT_TRUE(IsEngine(0));
    EXPECT_FALSE(IsEngine(1));
    EXPECT_EQ(g_Channels.PollThread.get_id(), idBefore);
    EXPECT_EQ(g_Channels.nStop.load(), 0);
    // The new bare channel on COM2 works: octets from its far end reach the receive list.
    m_Com2.Write({0x42});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(g_csDisplay);
            if (g_RecvLines.Count() > 0)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lock(g_csDisplay);
    EXPECT_EQ(g_RecvLines.TakeAll(), "42 ");
}

// The channel dialog's confirm, without the dialog: the GUI thread re-programs the open
// ports while the poll thread steps over them, then moves the engine.
TEST_F(ChannelTableTest, ConfirmedLineAndPortChangesWhileThePollThreadRuns)
{
    CreateChannels();
    CProtocol* const before[2] = {g_Channels.pChannel[0].get(), g_Channels.pChannel[1].get()};
    auto speedOf = [](const PtyPair& line) {
        termios tio{};
        tcgetattr(line.MasterFd(), &tio);
        return cfgetospeed(&tio);
    };

    ChannelWords words = CurrentChannelWords();
    EXPECT_FALSE(ApplyChannelWords(words).bLineReset);  // unchanged: nothing happens
    words.nBaudRate = 4800;
    words.nParity = 2;
    const ChannelChange lineOnly = ApplyChannelWords(words);
    EXPECT_TRUE(lineOnly.bLineReset);
    EXPECT_FALSE(lineOnly.bRecreated);
    EXPECT_EQ(speedOf(m_Com1), B4800);
    EXPECT_EQ(speedOf(m_Com2), B4800);
    EXPECT_EQ(g_nParity.load(), 2);
    EXPECT_EQ(g_Channels.pChannel[0].get(), before[0]);
    EXPECT_EQ(g_Channels.pChannel[1].get(), before[1]);

    words.nBaudRate = 600;
    words.nComPort = COM1;
    const ChannelChange both = ApplyChannelWords(words);
    EXPECT_TRUE(both.bLineReset && both.bRecreated);
    EXPECT_TRUE(IsEngine(0));
    EXPECT_EQ(speedOf(m_Com1), B600);
    EXPECT_TRUE(m_MessageBoxes.empty());
}

// The confirm is also how the operator retries an engine port that did not open: the
// status board follows, and an absent COM1 alone never rebuilds the engine.
TEST_F(ChannelTableTest, ConfirmRetriesAnEnginePortThatDidNotOpen)
{
    MapPortDevice(COM2, "/nonexistent/quelt-tty");
    CreateChannels();
    EXPECT_TRUE(EnginePortClosed());
    EXPECT_FALSE(g_EngineStatus.Read().bPortOpen);
    EXPECT_EQ(m_MessageBoxes.size(), 1u);

    const ChannelWords words = CurrentChannelWords();
    EXPECT_TRUE(ApplyChannelWords(words).bRecreated);  // still absent: tried and said again
    EXPECT_EQ(m_MessageBoxes.size(), 2u);

    MapPortDevice(COM2, m_Com2.Device());
    EXPECT_TRUE(ApplyChannelWords(words).bRecreated);
    EXPECT_FALSE(EnginePortClosed());
    EXPECT_TRUE(g_EngineStatus.Read().bPortOpen);
    EXPECT_TRUE(IsEngine(1));

    MapPortDevice(COM1, "/nonexistent/quelt-tty");
    RecreateChannels();
    EXPECT_FALSE(ApplyChannelWords(words).bRecreated);
}

namespace {

// Records whether any poll step ever ran on a closed port; each step lingers a little
// so that a shutdown that closed the ports first would catch one in progress.
class WatchedChannel : public CProtocol {
public:
    using CProtocol::CProtocol;
    void OnCycle() override
    {
        ++nSteps;
        const bool bOpenAtStart = IsPortOpen();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!bOpenAtStart || !IsPortOpen())
            ++nStepsOnClosedPort;
    }
    static inline std::atomic<int> nSteps{0};
    static inline std::atomic<int> nStepsOnClosedPort{0};
};

}  // namespace

TEST_F(ChannelTableTest, ShutdownEndsThePollThreadBeforeClosingThePorts)
{
    for (int nRound = 0; nRound < 5; ++nRound) {
        CreateChannels();
        {
            const auto offTheLines = KeepPollThreadOffTheLines();
            std::lock_guard lock(g_csChannel);
            g_Channels.pChannel[0].reset();  // frees the device for its replacement
            g_Channels.pChannel[1].reset();
            g_Channels.pChannel[0] = std::make_unique<WatchedChannel>(COM1);
            g_Channels.pChannel[1] = std::make_unique<WatchedChannel>(COM2);
        }
        const int nStepsBefore = WatchedChannel::nSteps;
        while (WatchedChannel::nSteps < nStepsBefore + 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ShutdownChannels();
        EXPECT_FALSE(g_Channels.PollThread.joinable());
        std::lock_guard lock(g_csChannel);
        EXPECT_FALSE(g_Channels.pChannel[0]->IsPortOpen());
        EXPECT_FALSE(g_Channels.pChannel[1]->IsPortOpen());
    }
    EXPECT_EQ(WatchedChannel::nStepsOnClosedPort, 0);
}
