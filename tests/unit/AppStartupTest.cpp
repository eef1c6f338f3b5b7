#include <gtest/gtest.h>

#include "commands/CommandQueue.h"
#include "app/Channels.h"
#include "app/Quelt.h"
#include "core/TrafficLines.h"
#include "support/StateReset.h"

namespace {

class FakeShell : public IQueltShell {
public:
    explicit FakeShell(bool bCreates) : m_bCreates(bCreates) {}
    void DesktopSize(int& W, int& H) const override
    {
        W = 1024;
        H = 768;
    }
    bool CreateMonitorWindows(const StartupPlacement& p) override
    {
        Placement = p;
        return m_bCreates;
    }
    void RunMainDialog() override
    {
        ++nRuns;
        nMaskDuringRun = g_nWindowMask;
    }

    StartupPlacement Placement;
    int nRuns = 0;
    int nMaskDuringRun = -1;

private:
    bool m_bCreates;
};

}  // namespace

class AppStartupTest : public SharedStateTest {};

TEST_F(AppStartupTest, StartupEmptiesTheQueueSetsTheMaskAndRunsTheMainDialog)
{
    g_nCmdCount = 5;
    g_nRunCount = 0;
    g_bCmdLoop = 1;
    g_nWindowMask = 0;
    FakeShell shell(true);
    EXPECT_FALSE(theApp.InitInstance(shell));  // the run is over when the dialog ends
    EXPECT_EQ(shell.nRuns, 1);
    EXPECT_EQ(shell.nMaskDuringRun, 7);
    EXPECT_EQ(g_nCmdCount, 0);
    EXPECT_EQ(g_nRunCount, 1);
    EXPECT_EQ(g_bCmdLoop, 0);
    EXPECT_EQ(g_RecvWndPos, (WndPos{384, 393, 640, 347}));
    EXPECT_EQ(g_SendWndPos, (WndPos{384, 46, 640, 347}));
    EXPECT_EQ(g_ResultWndPos, (WndPos{0, 46, 384, 694}));
    EXPECT_EQ(theApp.ExitInstance(), 0);
}

TEST_F(AppStartupTest, WindowThatCannotBeCreatedStopsStartup)
{
    FakeShell shell(false);
    EXPECT_FALSE(theApp.InitInstance(shell));
    EXPECT_EQ(shell.nRuns, 0);  // the main dialog never comes up
    EXPECT_FALSE(g_Channels.PollThread.joinable());
    EXPECT_EQ(m_Traces, std::vector<std::string>{"Failed to create map window\n"});
    EXPECT_EQ(theApp.ExitInstance(), 0);
}
