#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <mutex>

#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "commands/QueltCmd.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "gui/AppRun.h"
#include "gui/EventLoop.h"
#include "monitor/AlarmMessage.h"
#include "monitor/SendMessage.h"
#include "sim/DemoRtu.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

namespace {


// Chooses the command from the menu and confirms its dialog with these settings.
void Queue(CQueltDlg& dlg, int nId, int nQueueMode, const char* runTimes)
{
    EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(nId), [&](CQueltCmd& cmd) {
        Click(cmd, nQueueMode == 0 ? 1013 : 1014);
        Type(cmd, 1012, runTimes);
        Click(cmd, 1);
    }));
}

struct QueueState {
    int nCount, nRunCount, bLoop;
    bool operator==(const QueueState&) const = default;
};

QueueState State()
{
    std::lock_guard lock(g_csChannel);
    return {g_nCmdCount, g_nRunCount, g_bCmdLoop};
}

void PrintTo(const QueueState& s, std::ostream* os)
{
    *os << "count " << s.nCount << ", runs " << s.nRunCount << ", loop " << s.bLoop;
}

}  // namespace

// In automatic mode the queue is kept but not run, so the poll thread leaves it alone.
class ManualCommandTest : public PtyAppTest {};

TEST_F(ManualCommandTest, ReplaceAddAndAFullQueue)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32791), [](CQueltCmd& cmd) {
            EXPECT_EQ(cmd.windowTitle().toStdString(), "人工命令－召唤Class 1数据(60.2)");
            for (int nId : {1015, 1016, 1017})
                EXPECT_FALSE(Find<QWidget>(cmd, nId)->isEnabled()) << nId;
            EXPECT_TRUE(Find<QRadioButton>(cmd, 1013)->isChecked());
            EXPECT_EQ(Find<QLineEdit>(cmd, 1012)->text().toStdString(), "1");
            EXPECT_EQ(Find<QComboBox>(cmd, 1016)->itemText(1).toStdString(), "分");
            Type(cmd, 1012, "3");
            Click(cmd, 1);
        }));
        EXPECT_EQ(State(), (QueueState{1, 3, 0}));
        EXPECT_EQ((std::tuple{g_CmdItems[0].byFunc, g_CmdItems[0].byGroup, g_CmdItems[0].byVar}), (std::tuple{1, 60, 2}));

        Queue(dlg, 32796, 1, "0");  // add, endless
        EXPECT_EQ(State(), (QueueState{2, 0, 1}));
        EXPECT_EQ(g_CmdItems[1].byGroup, 30);

        EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32792), [](CQueltCmd& cmd) { Click(cmd, 2); }));
        EXPECT_EQ(State(), (QueueState{2, 0, 1})) << "cancel changes nothing";

        // A full queue takes no 257th entry, but the run count given with it holds.
        ManualChoice add;
        add.nQueueMode = 1;
        while (State().nCount < kMaxCommands)
            QueueManualCommand(*FindMenuCommand(32793), add);
        Queue(dlg, 32795, 1, "7");
        EXPECT_EQ(State(), (QueueState{256, 7, 0}));
        EXPECT_EQ(g_CmdItems[255].byGroup, 60);

        // Select and execute: added below 200 entries only.
        for (const auto& [nBefore, nAfter] : {std::pair{199, 201}, {200, 200}}) {
            {
                std::lock_guard lock(g_csChannel);
                g_nCmdCount = nBefore;
            }
            Queue(dlg, 32817, 1, "1");
            EXPECT_EQ(State().nCount, nAfter) << nBefore;
        }
        EXPECT_EQ(g_CmdItems[199].byFunc, 3);
        EXPECT_EQ(g_CmdItems[200].byFunc, 4);
    });
}

TEST_F(ManualCommandTest, ControlFieldsArePresetAndRangeChecked)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        {
            std::lock_guard lock(g_csChannel);  // as the cycle leaves it after a control entry
            g_CtrlCmd.m_nPoint = 5;
            g_CtrlCmd.m_nCloseTrip = 1;
            g_CtrlCmd.m_lRelayTime = 500;
        }
        EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32808), [](CQueltCmd& cmd) {
            EXPECT_EQ(cmd.windowTitle().toStdString(), "人工命令－遥控执行命令");
            EXPECT_EQ(Find<QLineEdit>(cmd, 1015)->text().toStdString(), "5");
            EXPECT_EQ(Find<QComboBox>(cmd, 1016)->currentIndex(), 1);
            EXPECT_EQ(Find<QLineEdit>(cmd, 1017)->text().toStdString(), "0") << "only the select keeps the relay time";
            Click(cmd, 2);
        }));

        EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32807), [&](CQueltCmd& cmd) {
            EXPECT_EQ(Find<QLineEdit>(cmd, 1017)->text().toStdString(), "500");
            for (int nId : {1015, 1016, 1017})
                EXPECT_TRUE(Find<QWidget>(cmd, nId)->isEnabled()) << nId;
            // All three out of range: they are named one at a time, in exchange order.
            Type(cmd, 1015, "1025");
            Type(cmd, 1012, "1025");
            Type(cmd, 1017, "60001");
            const std::pair<int, const char*> expected[] = {
                {1015, "Please enter an integer between 0 and 1024."},
                {1012, "Please enter an integer between 0 and 1024."},
                {1017, "Please enter an integer between 0 and 60000."},
                {1012, "Please enter an integer."},
            };
            const char* fixes[] = {"1024", "0", "60000", "2"};
            for (std::size_t i = 0; i < std::size(expected); ++i) {
                m_MessageBoxes.clear();
                if (i == 3)
                    Type(cmd, 1012, "");
                Click(cmd, 1);
                EXPECT_EQ(m_MessageBoxes, std::vector<std::string>{expected[i].second}) << i;
                EXPECT_TRUE(cmd.isVisible());
                EXPECT_EQ(cmd.focusWidget(), Find<QWidget>(cmd, expected[i].first)) << i;
                EXPECT_EQ(State().nCount, 0) << "nothing stored";
                Type(cmd, expected[i].first, fixes[i]);
            }
            Find<QComboBox>(cmd, 1016)->setCurrentIndex(0);
            m_MessageBoxes.clear();
            Click(cmd, 1);
        }));
        EXPECT_TRUE(m_MessageBoxes.empty());
        EXPECT_EQ(State(), (QueueState{1, 2, 0}));
        const CommandItem& select = g_CmdItems[0];
        EXPECT_EQ((std::tuple{select.byFunc, select.nPoint, select.nCloseTrip, select.lRelayTime}),
                  (std::tuple{3, 1024, 0, 60000}));
    });
}

class ManualCommandOnTheLineTest : public AppTest {};

TEST_F(ManualCommandOnTheLineTest, QueuedSelectsReachTheRtuWithTheirControlCodeAndAreReported)
{
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(SimOptions{}));
    RunQuelt([&](CQueltDlg& dlg) {
        // Manual mode: each queue runs once. Close on point 3, then trip on point 4.
        const struct {
            int nCloseTrip;
            const char* point;
            QString objects;
        } selects[] = {
            {0, "3", QStringLiteral("03 0C 01 28 01 00 03 00 40 01 F4 01 00 00 ")},
            {1, "4", QStringLiteral("03 0C 01 28 01 00 04 00 80 01 F4 01 00 00 ")},
        };
        for (const auto& s : selects) {
            const int nAlarmsBefore = g_wndAlarm->m_AlarmList->count();
            EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32807), [&](CQueltCmd& cmd) {
                Type(cmd, 1015, s.point);
                Find<QComboBox>(cmd, 1016)->setCurrentIndex(s.nCloseTrip);
                Type(cmd, 1017, "500");
                Click(cmd, 1);
            }));
            const bool bSent = ProcessEventsUntil(
                [&] { return g_wndSend->m_editMsg->toPlainText().contains(s.objects); }, 15000);
            EXPECT_TRUE(bSent) << g_wndSend->m_editMsg->toPlainText().right(300).toStdString();
            const bool bReported = ProcessEventsUntil(
                [&] {
                    const int n = g_wndAlarm->m_AlarmList->count();
                    return n > nAlarmsBefore &&
                           g_wndAlarm->m_AlarmList->item(n - 1)->text() == QStringLiteral("遥控选点成功 !");
                },
                5000);
            EXPECT_TRUE(bReported) << s.point;
        }
    });
    demo.Stop();
}

// The GUI decodes every 500 ms while the operate follows the select's answer within a
// poll step or two: each echo must still report the request it answers.
TEST_F(ManualCommandOnTheLineTest, SelectAcceptedAndOperateRefusedAreReportedAsSuchEveryTime)
{
    SimOptions options;
    options.bOperateFail = true;
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(options));
    std::vector<std::string> outcomes;
    RunQuelt([&](CQueltDlg&) {
        g_nScanPeriod = 1;
        ManualChoice choice;
        choice.nRunTimes = 3;
        choice.nPoint = 5;
        choice.lRelayMs = 500;
        QueueManualCommand(*FindMenuCommand(32817), choice);  // select and execute, three runs
        ProcessEventsUntil([&] { return g_wndAlarm->m_AlarmList->count() >= 7; }, 30000);
        ProcessEventsUntil([] { return false; }, 1500);  // nothing more may follow
        for (int i = 0; i < g_wndAlarm->m_AlarmList->count(); ++i)
            outcomes.push_back(g_wndAlarm->m_AlarmList->item(i)->text().toStdString());
    });
    demo.Stop();
    const std::string ok = "遥控选点成功 !";
    const std::string refused = "遥控执行失败 !";
    // Nobody sets the clock in manual mode: the RTU's request for it is said once, with
    // the first answer, however often it repeats it.
    const std::string needTime = "RTU请求对时(IIN1.4): 选择 12.1";
    EXPECT_EQ(outcomes, (std::vector<std::string>{needTime, ok, refused, ok, refused, ok, refused}));
}

TEST_F(ManualCommandTest, EndlessRunsOfAControlAreAskedFirstAndNoChangesNothing)
{
    const std::string kQuestion = "发送队列中有遥控命令, 确认无限循环执行?";
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        // Select and operate, endless: "否" (the default) keeps the dialog open with nothing
        // taken over; "是" runs it endlessly, as asked.
        for (const char* answer : {"否", "是"}) {
            AskedBox asked;
            EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32817), [&](CQueltCmd& cmd) {
                Type(cmd, 1012, "0");
                AnswerNextBox(QString::fromUtf8(answer), asked);
                Click(cmd, 1);
                EXPECT_EQ(cmd.isVisible(), std::string(answer) == "否") << "否 keeps the dialog open";
                if (cmd.isVisible()) {
                    EXPECT_EQ(State(), (QueueState{0, 1, 0})) << "nothing changed yet";
                    Click(cmd, 2);
                }
            }));
            EXPECT_EQ(asked.text, kQuestion);
            EXPECT_EQ(asked.defaultButton, "否");
            EXPECT_EQ(State(), std::string(answer) == "是" ? (QueueState{2, 0, 1}) : (QueueState{0, 1, 0})) << answer;
        }

        // A read added to a queue that holds a control is asked for as well; one that
        // replaces the queue is not.
        const struct {
            int nQueueMode;
            bool bAsked;
        } cases[] = {{1, true}, {0, false}};
        for (const auto& c : cases) {
            AskedBox asked;
            EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32791), [&](CQueltCmd& cmd) {
                Click(cmd, c.nQueueMode == 0 ? 1013 : 1014);
                Type(cmd, 1012, "0");
                AnswerNextBox(QStringLiteral("是"), asked);
                Click(cmd, 1);
            }));
            EXPECT_EQ(!asked.text.empty(), c.bAsked) << c.nQueueMode;
        }
        EXPECT_EQ(State(), (QueueState{1, 0, 1}));
    });
}

TEST_F(ManualCommandTest, AutomaticModeSaysTheCommandWaitsForManualMode)
{
    RunQuelt([&](CQueltDlg& dlg) {
        for (const int nMode : {ASK_AUTO, ASK_MANUAL}) {
            g_nAskMode = nMode;
            EXPECT_TRUE(WithModalDialog<CQueltCmd>(dlg.MenuAction(32791), [&](CQueltCmd& cmd) {
                auto* pNote = cmd.findChild<QLabel*>(QStringLiteral("AutoModeNote"));
                ASSERT_NE(pNote, nullptr);
                EXPECT_EQ(pNote->isVisible(), nMode == ASK_AUTO) << nMode;
                EXPECT_EQ(pNote->text().toStdString(), "当前为自动问答模式, 命令将在切换到人工询问后执行");
                Click(cmd, 2);
            }));
        }
    });
}
