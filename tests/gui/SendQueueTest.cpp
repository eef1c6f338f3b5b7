#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QListWidget>

#include <mutex>

#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "commands/DispCommand.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "gui/AppRun.h"
#include "gui/EventLoop.h"
#include "ui/QueltDlg.h"

namespace {

QStringList Lines(const CDispCommand& queue)
{
    QStringList lines;
    for (int i = 0; i < queue.m_listCmd->count(); ++i)
        lines << queue.m_listCmd->item(i)->text();
    return lines;
}

void Add(int nId, int nRunTimes = 1)
{
    ManualChoice choice;
    choice.nQueueMode = 1;
    choice.nRunTimes = nRunTimes;
    choice.nPoint = 12;
    choice.nCloseTrip = 1;
    QueueManualCommand(*FindMenuCommand(nId), choice);
}

std::pair<int, int> RunState()
{
    std::lock_guard lock(g_csChannel);
    return {g_nRunCount, g_bCmdLoop};
}

}  // namespace

// In automatic mode the queue is kept but not run, so the poll thread leaves it alone.
class SendQueueTest : public PtyAppTest {
protected:
    // Opens "显示发送队列" and lets the work act on the dialog.
    static void WithQueue(CQueltDlg& dlg, const std::function<void(CDispCommand&)>& work)
    {
        EXPECT_TRUE(WithModalDialog<CDispCommand>(dlg.MenuAction(32809), work));
    }
};

TEST_F(SendQueueTest, EmptyQueueAndThreeEntries)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        WithQueue(dlg, [](CDispCommand& queue) {
            EXPECT_EQ(queue.windowTitle().toStdString(), "发送命令列表");
            EXPECT_EQ(queue.m_listCmd->count(), 0);
            EXPECT_EQ(queue.m_listCmd->currentRow(), -1);
            EXPECT_FALSE(Find<QAbstractButton>(queue, 1009)->isEnabled());
            EXPECT_FALSE(Find<QAbstractButton>(queue, 1010)->isEnabled());
            EXPECT_EQ(Find<QLineEdit>(queue, 1012)->text().toStdString(), "1");
            Click(queue, 2);
        });

        Add(32791);
        Add(32807);
        Add(32801);
        WithQueue(dlg, [](CDispCommand& queue) {
            EXPECT_EQ(Lines(queue), (QStringList{QStringLiteral("召唤Class 1数据(60.2)"),
                                                 QStringLiteral("遥控选点命令,点号=12,性质=分"),
                                                 QStringLiteral("延时测量(52.1)")}));
            EXPECT_EQ(queue.m_listCmd->currentRow(), 2);
            EXPECT_TRUE(Find<QAbstractButton>(queue, 1009)->isEnabled());
            EXPECT_TRUE(Find<QAbstractButton>(queue, 1010)->isEnabled());

            // Delete line 1 of A, B, C: the queue is A, C at once, the last line selected.
            queue.m_listCmd->setCurrentRow(1);
            Click(queue, 1009);
            EXPECT_EQ(Lines(queue), (QStringList{QStringLiteral("召唤Class 1数据(60.2)"), QStringLiteral("延时测量(52.1)")}));
            const std::vector<CommandItem> left = CommandQueueSnapshot();
            ASSERT_EQ(left.size(), 2u);
            EXPECT_EQ(left[1].byFunc, 23);
            EXPECT_EQ(queue.m_listCmd->currentRow(), 1);

            Click(queue, 1009);
            Click(queue, 1009);
            EXPECT_TRUE(CommandQueueSnapshot().empty());
            EXPECT_FALSE(Find<QAbstractButton>(queue, 1009)->isEnabled());
            EXPECT_FALSE(Find<QAbstractButton>(queue, 1010)->isEnabled());
            Click(queue, 2);
        });
    });
}

TEST_F(SendQueueTest, DeleteAllThenCancelKeepsTheRunCount)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        Add(32791, 4);
        Add(32792, 4);
        WithQueue(dlg, [](CDispCommand& queue) {
            EXPECT_EQ(Find<QLineEdit>(queue, 1012)->text().toStdString(), "4");
            Click(queue, 1010);
            EXPECT_EQ(queue.m_listCmd->count(), 0);
            EXPECT_FALSE(Find<QAbstractButton>(queue, 1009)->isEnabled());
            Find<QLineEdit>(queue, 1012)->setText(QStringLiteral("9"));
            Click(queue, 2);
        });
        EXPECT_TRUE(CommandQueueSnapshot().empty()) << "deletions are final";
        EXPECT_EQ(RunState(), std::pair(4, 0));
    });
}

TEST_F(SendQueueTest, RunCountOnConfirm)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        Add(32791, 3);
        const struct {
            const char* text;
            std::pair<int, int> state;  // run count, loop
        } cases[] = {{"0", {0, 1}}, {"5", {5, 0}}, {"1024", {1024, 0}}};
        for (const auto& c : cases) {
            WithQueue(dlg, [&](CDispCommand& queue) {
                Find<QLineEdit>(queue, 1012)->setText(QString::fromUtf8(c.text));
                Click(queue, 1);
            });
            EXPECT_EQ(RunState(), c.state) << c.text;
        }
        WithQueue(dlg, [&](CDispCommand& queue) {
            Find<QLineEdit>(queue, 1012)->setText(QStringLiteral("1025"));
            Click(queue, 1);
            EXPECT_EQ(m_MessageBoxes, std::vector<std::string>{"Please enter an integer between 0 and 1024."});
            EXPECT_TRUE(queue.isVisible());
            Click(queue, 2);
        });
        EXPECT_EQ(RunState(), std::pair(1024, 0));
    });
}

TEST_F(SendQueueTest, UsedUpQueueConfirmedUnchangedRunsEndlessly)
{
    RunQuelt([&](CQueltDlg& dlg) {
        Add(32791, 1);
        // Manual mode runs the queue once; then no runs are left.
        ProcessEventsUntil([] { return RunState().first == 0; }, 10000);
        ASSERT_EQ(RunState(), std::pair(0, 0));
        WithQueue(dlg, [](CDispCommand& queue) {
            EXPECT_EQ(Find<QLineEdit>(queue, 1012)->text().toStdString(), "0");
            Click(queue, 1);
        });
        EXPECT_EQ(RunState(), std::pair(0, 1));
    });
}

TEST_F(SendQueueTest, EndlessRunsOfAQueueWithAControlAreAskedFirst)
{
    RunQuelt([&](CQueltDlg& dlg) {
        g_nAskMode = ASK_AUTO;
        Add(32791, 1);
        Add(32817, 1);  // select and operate
        for (const char* answer : {"否", "是"}) {
            AskedBox asked;
            WithQueue(dlg, [&](CDispCommand& queue) {
                Find<QLineEdit>(queue, 1012)->setText(QStringLiteral("0"));
                AnswerNextBox(QString::fromUtf8(answer), asked);
                Click(queue, 1);
                EXPECT_EQ(asked.text, "发送队列中有遥控命令, 确认无限循环执行?");
                EXPECT_EQ(asked.defaultButton, "否");
                EXPECT_EQ(queue.isVisible(), std::string(answer) == "否") << "否 keeps the dialog open";
                if (queue.isVisible()) {
                    EXPECT_EQ(RunState(), std::pair(1, 0)) << "nothing changed yet";
                    Click(queue, 2);
                }
            });
            EXPECT_EQ(RunState(), std::string(answer) == "是" ? std::pair(0, 1) : std::pair(1, 0)) << answer;
        }
    });
}
