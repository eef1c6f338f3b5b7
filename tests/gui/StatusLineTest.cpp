#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimerEvent>

#include "channel/PortMap.h"
#include "core/Config.h"
#include "gui/AppRun.h"
#include "gui/EventLoop.h"
#include "sim/DemoRtu.h"
#include "ui/ChannelParam.h"
#include "ui/PauseState.h"
#include "ui/QueltDlg.h"
#include "ui/StatusLine.h"

namespace {

std::string TextOf(const CStatusLine& line) { return line.FullText().toStdString(); }

}  // namespace

class StatusLineTest : public PtyAppTest {};

TEST_F(StatusLineTest, SitsOnTheMenuRowAfterTheLastTitleAndSaysWhereTheEngineIs)
{
    RunQuelt([&](CQueltDlg& dlg) {
        CStatusLine& line = *dlg.StatusLine();
        EXPECT_EQ(TextOf(line), "COM2 " + m_Com2.Device() +
                                    " 1200,8,N,1  |  人工询问  |  链路未复位  |  请求 0  响应 0  超时 0  CRC错 0");
        EXPECT_FALSE(line.IsAlarm());
        // Beside the menu titles, not over them, and the strip keeps its height.
        const QMenuBar* pMenuBar = dlg.findChild<QMenuBar*>();
        const QList<QAction*> titles = pMenuBar->actions();
        EXPECT_GT(line.geometry().left(), pMenuBar->actionGeometry(titles.last()).right());
        EXPECT_LE(line.geometry().right(), pMenuBar->width());
        EXPECT_EQ(dlg.frameGeometry().height(), CQueltDlg::kStripHeight);

        // Too narrow for the whole text: cut short, the whole of it in the tool tip.
        dlg.resize(560, dlg.height());
        ProcessEventsUntil([&] { return line.text() != line.FullText(); }, 2000);
        EXPECT_TRUE(line.text().endsWith(QStringLiteral("…"))) << line.text().toStdString();
        EXPECT_EQ(line.toolTip(), line.FullText());
    });
}

TEST_F(StatusLineTest, QuietWhenNothingChanges)
{
    RunQuelt([&](CQueltDlg& dlg) {
        CStatusLine& line = *dlg.StatusLine();
        ProcessEventsUntil([&] { return line.isVisible() && !line.text().isEmpty(); });
        QApplication::processEvents();
        // The far ends are silent and the mode manual: ticks of the half-second timer find
        // nothing new and draw nothing.
        EventCounter paints(&line, QEvent::Paint);
        EventCounter ticks(&dlg, QEvent::Timer);
        EXPECT_TRUE(ProcessEventsUntil([&] { return ticks.nCount >= 8; }, 20000));
        EXPECT_EQ(paints.nCount, 0);

        dlg.MenuAction(ID_PAUSE_ALL)->trigger();  // the pause shows at once
        EXPECT_NE(TextOf(line).find("|  输出全部暂停"), std::string::npos) << TextOf(line);
    });
}

TEST_F(StatusLineTest, ClosedPortIsRedUntilTheChannelDialogOpensIt)
{
    MapPortDevice(COM2, "/nonexistent/quelt-tty");
    RunQuelt([&](CQueltDlg& dlg) {
        CStatusLine& line = *dlg.StatusLine();
        EXPECT_NE(TextOf(line).find("COM2 /nonexistent/quelt-tty 端口未打开  |"), std::string::npos) << TextOf(line);
        EXPECT_TRUE(line.IsAlarm());
        EXPECT_TRUE(line.styleSheet().contains(QStringLiteral("#c00000")));

        MapPortDevice(COM2, m_Com2.Device());  // the adapter is plugged in
        EXPECT_TRUE(WithModalDialog<CChannelParam>(dlg.MenuAction(32771), [](CChannelParam& channel) {
            Click(channel, 1);  // confirmed unchanged
        }));
        EXPECT_FALSE(line.IsAlarm());
        EXPECT_NE(TextOf(line).find("COM2 " + m_Com2.Device() + " 1200,8,N,1  |"), std::string::npos) << TextOf(line);
        EXPECT_FALSE(line.styleSheet().contains(QStringLiteral("#c00000")));
    });
    EXPECT_EQ(m_MessageBoxes.size(), 1u);
}

class StatusLineRtuTest : public AppTest {};

TEST_F(StatusLineRtuTest, FollowsTheRtuAndItsCountsClearFromTheContextMenu)
{
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(SimOptions{}));
    RunQuelt([&](CQueltDlg& dlg) {
        CStatusLine& line = *dlg.StatusLine();
        g_nAskMode = ASK_AUTO;
        const QRegularExpression answered(QStringLiteral("自动问答  \\|  链路正常  \\|  请求 [1-9][0-9]*  响应 [1-9]"));
        EXPECT_TRUE(ProcessEventsUntil([&] { return line.FullText().contains(answered); }, 30000)) << TextOf(line);

        QAction* pClear = line.findChild<QAction*>(QStringLiteral("ClearCounts"));
        ASSERT_NE(pClear, nullptr);
        EXPECT_TRUE(line.actions().contains(pClear));  // on its context menu
        EXPECT_EQ(line.contextMenuPolicy(), Qt::ActionsContextMenu);
        pClear->trigger();
        EXPECT_NE(TextOf(line).find("请求 0  响应 0  超时 0  CRC错 0"), std::string::npos) << TextOf(line);
        // And they count on from there.
        const QRegularExpression counting(QStringLiteral("响应 [1-9]"));
        EXPECT_TRUE(ProcessEventsUntil([&] { return line.FullText().contains(counting); }, 30000)) << TextOf(line);
    });
    demo.Stop();
}
