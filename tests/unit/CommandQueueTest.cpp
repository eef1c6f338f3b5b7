#include <gtest/gtest.h>

#include <set>

#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"

namespace {

const MenuCommand& Command(int nId)
{
    const MenuCommand* p = FindMenuCommand(nId);
    if (p == nullptr)
        throw std::invalid_argument("no such command");
    return *p;
}

ManualChoice Choice(int nQueueMode, int nRunTimes)
{
    ManualChoice c;
    c.nQueueMode = nQueueMode;
    c.nRunTimes = nRunTimes;
    return c;
}

class CommandQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetCommandQueue();
        ResetCtrlCommand();
    }
    void TearDown() override { ResetCommandQueue(); }
};

}  // namespace

TEST(CommandTableTest, TwentyFiveCommandsWithTheirCaptions)
{
    std::set<int> ids;
    for (const MenuCommand& c : kMenuCommands)
        ids.insert(c.nId);
    EXPECT_EQ(ids.size(), 25u);
    EXPECT_EQ(CommandCaption(Command(32790)), "人工命令－召唤RTU IIN(80.1)");
    EXPECT_EQ(FindMenuCommand(32809), nullptr);  // the send-queue dialog is not a command
    const MenuCommand& soe = Command(32811);
    EXPECT_EQ((std::tuple{soe.byFunc, soe.byGroup, soe.byVar}), (std::tuple{1, 60, 2}));
}

TEST_F(CommandQueueTest, ReplaceAndAddTakeOverTheRunCount)
{
    QueueManualCommand(Command(32791), Choice(1, 1));
    QueueManualCommand(Command(32796), Choice(0, 3));  // replace
    ASSERT_EQ(g_nCmdCount, 1);
    EXPECT_EQ((std::tuple{g_CmdItems[0].byFunc, g_CmdItems[0].byGroup, g_CmdItems[0].byVar}),
              (std::tuple{1, 30, 2}));
    EXPECT_EQ(g_nRunCount, 3);
    EXPECT_EQ(g_bCmdLoop, 0);

    QueueManualCommand(Command(32812), Choice(1, 0));  // add, endless
    ASSERT_EQ(g_nCmdCount, 2);
    EXPECT_EQ(g_CmdItems[1].byFunc, 7);
    EXPECT_EQ(g_bCmdLoop, 1);
    EXPECT_EQ(g_nRunCount, 0);
}

TEST_F(CommandQueueTest, FullQueueIgnoresAnAddedCommandButTakesTheRunCount)
{
    for (int i = 0; i < 256; ++i)
        QueueManualCommand(Command(32791), Choice(1, 1));
    QueueManualCommand(Command(32796), Choice(1, 5));
    EXPECT_EQ(g_nCmdCount, 256);
    EXPECT_EQ(g_CmdItems[255].byGroup, 60);
    EXPECT_EQ(g_nRunCount, 5);

    const struct {
        int nBefore, nAfter;
    } pairs[] = {{199, 201}, {200, 200}, {0, 2}};
    for (const auto& p : pairs) {
        g_nCmdCount = p.nBefore;
        ManualChoice c = Choice(1, 1);
        c.nPoint = 5;
        c.nCloseTrip = 1;
        c.lRelayMs = 500;
        QueueManualCommand(Command(32817), c);
        EXPECT_EQ(g_nCmdCount, p.nAfter) << p.nBefore;
        if (p.nAfter > p.nBefore) {
            const CommandItem& select = g_CmdItems[p.nBefore];
            const CommandItem& operate = g_CmdItems[p.nBefore + 1];
            EXPECT_EQ((std::tuple{select.byFunc, operate.byFunc}), (std::tuple{3, 4}));
            EXPECT_EQ((std::tuple{operate.nPoint, operate.nCloseTrip, operate.lRelayTime}),
                      (std::tuple{5, 1, 500}));
        }
    }
}

TEST_F(CommandQueueTest, ControlPresetsComeFromTheLastControlCommand)
{
    g_CtrlCmd.m_nPoint = 9;
    g_CtrlCmd.m_nCloseTrip = 1;
    g_CtrlCmd.m_lRelayTime = 500;
    const struct {
        int nId;
        int nPoint, nCloseTrip;
        std::int32_t lRelayMs;
    } cases[] = {{32807, 9, 1, 500}, {32808, 9, 1, 0}, {32817, 9, 1, 0}, {32791, 0, 0, 0}};
    for (const auto& c : cases) {
        const ManualChoice choice = ManualChoicePresets(Command(c.nId));
        EXPECT_EQ((std::tuple{choice.nPoint, choice.nCloseTrip, choice.lRelayMs}),
                  (std::tuple{c.nPoint, c.nCloseTrip, c.lRelayMs}))
            << c.nId;
        EXPECT_EQ(choice.nRunTimes, 1);
        EXPECT_EQ(choice.nQueueMode, 0);
    }
}

TEST_F(CommandQueueTest, DeletingEntriesAndSettingTheRunCount)
{
    QueueManualCommand(Command(32791), Choice(0, 1));  // A
    QueueManualCommand(Command(32792), Choice(1, 1));  // B
    QueueManualCommand(Command(32793), Choice(1, 1));  // C
    EXPECT_EQ(DeleteCommand(1), 2);
    std::vector<CommandItem> left = CommandQueueSnapshot();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].byVar, 2);
    EXPECT_EQ(left[1].byVar, 4);
    EXPECT_EQ(DeleteCommand(2), 2) << "no such entry";
    EXPECT_EQ(DeleteCommand(-1), 2);
    DeleteAllCommands();
    EXPECT_TRUE(CommandQueueSnapshot().empty());
    EXPECT_EQ(DeleteCommand(0), 0);

    SetRunCount(0);
    EXPECT_EQ(g_bCmdLoop, 1);
    EXPECT_EQ(RunCount(), 0);
    SetRunCount(5);
    EXPECT_EQ(g_bCmdLoop, 0);
    EXPECT_EQ(RunCount(), 5);
}
