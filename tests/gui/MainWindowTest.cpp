#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QWindow>

#include <string>
#include <vector>

#include "app/WindowLayout.h"
#include "core/Config.h"
#include "core/TrafficLines.h"
#include "gui/AppRun.h"
#include "gui/EventLoop.h"
#include "monitor/AlarmMessage.h"
#include "monitor/AnalysisWindow.h"
#include "monitor/LoadQueltData.h"
#include "monitor/RecvMessage.h"
#include "monitor/ResultMessage.h"
#include "monitor/SendMessage.h"
#include "ui/AboutDlg.h"
#include "ui/Placement.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "(" << r.x() << ", " << r.y() << ") " << r.width() << " x " << r.height();
}

namespace {

QRect Rect(const WndPos& p) { return {p.x, p.y, p.cx, p.cy}; }

struct Item {
    const char* text;
    int nId;  // 0: a submenu, whose items follow in sub
    std::vector<std::pair<const char*, int>> sub;
};

struct Popup {
    const char* text;
    std::vector<Item> items;
};

// The menu as the operator must find it.
const std::vector<Popup> kExpectedMenu = {
    {"参数设置", {{"通道参数", 32771, {}}, {"远动参数", 32774, {}}, {"运行参数", 32775, {}}}},
    {"发送命令",
     {{"显示发送队列", 32809, {}},
      {"召唤RTU IIN(80.1)", 32790, {}},
      {"清除RTU IIN(80.1)", 32797, {}},
      {"延时测量(52.1)", 32801, {}},
      {"同步RTU时钟(50.1)", 32798, {}},
      {"关闭RTU主动响应",
       0,
       {{"关闭Class 1数据主动响应", 32806}, {"关闭Class 2数据主动响应", 32802}, {"关闭Class 3数据主动响应", 32804}}},
      {"召唤Class数据", 0, {{"召唤Class 1数据(60.2)", 32791}, {"召唤Class 2数据(60.3)", 32792}, {"召唤Class 3数据(60.4)", 32793}}},
      {"召唤遥信状态",
       0,
       {{"召唤遥信状态(1.1)", 32795}, {"召唤遥信状态(1.2)", 32794}, {"召唤遥信COS(2.1)", 32810}, {"召唤遥信SOE(2.2,2.3)", 32811}}},
      {"召唤遥测数据", 0, {{"召唤遥测全数据(30.2)", 32796}, {"召唤遥测变化数据(32.2)", 32800}}},
      {"电度冻结", 0, {{"32位电度冻结(20.1)", 32812}, {"16位电度冻结(20.2)", 32813}}},
      {"召唤电度数据",
       0,
       {{"召唤32位电度数据(20.1)", 32814},
        {"召唤16位电度数据(20.2)", 32815},
        {"召唤32位冻结电度数据(21.1)", 32816},
        {"召唤16位冻结电度数据(21.2)", 32803}}},
      {"遥控选点命令", 32807, {}},
      {"遥控执行命令", 32808, {}},
      {"遥控(选点并执行)命令", 32817, {}}}},
    {"信息窗口",
     {{"接收窗口", 32777, {}}, {"发送窗口", 32778, {}}, {"结果窗口", 32779, {}}, {"告警窗口", 32780, {}}, {"报文分析窗口", 32833, {}}}},
    {"信息控制",
     {{"接收暂停显示", 32781, {}},
      {"发送暂停显示", 32783, {}},
      {"结果暂停刷新", 32785, {}},
      {"分析暂停显示", 32834, {}},
      {"全部暂停", 32786, {}},
      {"全部继续", 32787, {}}}},
    {"捕获数据", {{"捕获接收数据", 32799, {}}, {"捕获发送数据", 32788, {}}, {"显示捕获数据", 32789, {}}, {"开始记录(pcapng)...", 32830, {}}}},
    {"软件退出", {{"退出(&X)", 57665, {}}}},
};

std::string Text(const QAction* pAction) { return pAction->text().toStdString(); }

}  // namespace

class MainWindowTest : public PtyAppTest {};

TEST_F(MainWindowTest, MenuHoldsEveryItemWithItsIdAndItsStartingState)
{
    RunQuelt([&](CQueltDlg& dlg) {
        const QList<QAction*> popups = dlg.findChild<QMenuBar*>()->actions();
        ASSERT_EQ(popups.size(), static_cast<qsizetype>(kExpectedMenu.size()));
        for (std::size_t p = 0; p < kExpectedMenu.size(); ++p) {
            const Popup& expected = kExpectedMenu[p];
            EXPECT_EQ(Text(popups[p]), expected.text);
            const QList<QAction*> actions = popups[p]->menu()->actions();
            // Items at even positions, a separator between each two.
            ASSERT_EQ(actions.size(), static_cast<qsizetype>(2 * expected.items.size() - 1)) << expected.text;
            for (std::size_t i = 0; i < expected.items.size(); ++i) {
                const Item& item = expected.items[i];
                if (i > 0) {
                    EXPECT_TRUE(actions[2 * i - 1]->isSeparator()) << item.text;
                }
                const QAction* pAction = actions[2 * i];
                EXPECT_EQ(Text(pAction), item.text);
                if (item.nId != 0) {
                    EXPECT_EQ(pAction->data().toInt(), item.nId) << item.text;
                    EXPECT_EQ(dlg.MenuAction(item.nId), pAction) << item.text;
                    continue;
                }
                ASSERT_NE(pAction->menu(), nullptr) << item.text;
                const QList<QAction*> sub = pAction->menu()->actions();  // no separators
                ASSERT_EQ(sub.size(), static_cast<qsizetype>(item.sub.size())) << item.text;
                for (std::size_t s = 0; s < item.sub.size(); ++s) {
                    EXPECT_EQ(Text(sub[s]), item.sub[s].first);
                    EXPECT_EQ(sub[s]->data().toInt(), item.sub[s].second) << item.sub[s].first;
                }
            }
        }

        for (const auto& [nId, bChecked] : {std::pair{32777, true}, {32778, true}, {32779, true}, {32780, false}}) {
            EXPECT_TRUE(dlg.MenuAction(nId)->isCheckable()) << nId;
            EXPECT_EQ(dlg.MenuAction(nId)->isChecked(), bChecked) << nId;
        }
        EXPECT_TRUE(dlg.MenuAction(32786)->isEnabled());
        EXPECT_FALSE(dlg.MenuAction(32787)->isEnabled());
        EXPECT_TRUE(dlg.MenuAction(32771)->isEnabled());
        EXPECT_EQ(dlg.windowTitle().toStdString(), "Quelt DNP3 主站规约调试");
        EXPECT_FALSE(dlg.windowIcon().isNull());
        for (QWidget* pWindow : {static_cast<QWidget*>(g_wndRecv), static_cast<QWidget*>(g_wndSend),
                                 static_cast<QWidget*>(g_wndResult), static_cast<QWidget*>(g_wndAlarm),
                                 static_cast<QWidget*>(g_wndCapture)})
            EXPECT_FALSE(pWindow->windowIcon().isNull()) << pWindow->windowTitle().toStdString();
    });
}

// Run on the default offscreen desktop, on 800 x 600 and 1024 x 768 with frames, and on a
// virtual X display with and without a window manager (see CMakeLists). A window manager
// frames a window a little after it is shown, so the outer rectangles are waited for.
TEST_F(MainWindowTest, WindowItemsShowHideAndArrangeBelowTheStrip)
{
    RunQuelt([&](CQueltDlg& dlg) {
        int W = 0;
        int H = 0;
        DesktopSize(W, H);
        QWidget* const windows[3] = {g_wndSend, g_wndRecv, g_wndResult};  // by ArrangedWindow
        const int bits[3] = {SHOW_SEND, SHOW_RECV, SHOW_RESULT};
        const int ids[3] = {32778, 32777, 32779};

        auto expectMask = [&](int nMask, const std::string& step) {
            EXPECT_EQ(g_nWindowMask.load(), nMask) << step;
            const Arrangement a = ComputeArrangement(nMask, W, H);
            EXPECT_TRUE(WaitUntilFramed({&dlg, g_wndSend, g_wndRecv, g_wndResult})) << step;
            auto placed = [&] {
                bool bAll = dlg.frameGeometry() == QRect(0, 0, W, kStripHeight);
                for (int i = 0; i < a.nCount; ++i)
                    bAll = bAll && windows[a.items[i].window]->frameGeometry() == Rect(a.items[i].pos);
                return bAll;
            };
            ProcessEventsUntil(placed, 5000);
            EXPECT_EQ(dlg.frameGeometry(), QRect(0, 0, W, kStripHeight)) << step;
            for (int i = 0; i < a.nCount; ++i)
                EXPECT_EQ(windows[a.items[i].window]->frameGeometry(), Rect(a.items[i].pos)) << step;
            for (int w = 0; w < 3; ++w) {
                EXPECT_EQ(windows[w]->isVisible(), (nMask & bits[w]) != 0) << step << " window " << w;
                EXPECT_EQ(dlg.MenuAction(ids[w])->isChecked(), (nMask & bits[w]) != 0) << step;
            }
        };
        expectMask(7, "start");

        // Through every mask: receive off, send off, result off, then back on one by one.
        const struct {
            int nId;
            int nMask;
        } steps[] = {{32777, 5}, {32778, 4}, {32779, 0}, {32778, 1}, {32777, 3}, {32779, 7}, {32778, 6}, {32779, 2}};
        for (const auto& s : steps) {
            dlg.MenuAction(s.nId)->trigger();
            QApplication::processEvents();
            expectMask(s.nMask, "toggle " + std::to_string(s.nId) + " -> mask " + std::to_string(s.nMask));
            if (s.nMask == 1) {  // alone again after all three were hidden: the full band
                EXPECT_EQ(g_wndSend->frameGeometry(), QRect(0, 46, W, H - 74));
            }
        }
        EXPECT_EQ(Rect(g_RecvWndPos), QRect(0, 46, W, H - 74));
        EXPECT_EQ(Rect(g_ResultWndPos), QRect(0, 46, 3 * W / 8, H - 74)) << "left from mask 6";

        // The alarm window comes and goes without moving anything.
        const QRect recvBefore = g_wndRecv->frameGeometry();
        dlg.MenuAction(32780)->trigger();
        const QRect alarm = Rect(ComputeStartupPlacement(W, H).alarm);
        EXPECT_TRUE(WaitUntilFramed({g_wndAlarm}));
        ProcessEventsUntil([&] { return g_wndAlarm->frameGeometry() == alarm; }, 5000);
        EXPECT_EQ(g_wndAlarm->frameGeometry(), alarm);
        EXPECT_TRUE(g_wndAlarm->isVisible());
        EXPECT_TRUE(dlg.MenuAction(32780)->isChecked());
        EXPECT_EQ(g_wndRecv->frameGeometry(), recvBefore);
        EXPECT_EQ(g_nWindowMask.load(), 2);

        // The operator makes it larger and moves it; hidden and shown again, it keeps that.
        // (On X without a window manager nobody but the program can move a window.)
        if (UnderWindowManager() || QGuiApplication::platformName() != QStringLiteral("xcb")) {
            const QRect larger(W / 4, H / 3, W / 2, H / 3);
            g_wndAlarm->setGeometry(larger);
            ProcessEventsUntil([&] { return g_wndAlarm->geometry() == larger; }, 5000);
            dlg.MenuAction(32780)->trigger();
            EXPECT_FALSE(g_wndAlarm->isVisible());
            EXPECT_FALSE(dlg.MenuAction(32780)->isChecked());
            ProcessEventsUntil([&] { return !g_wndAlarm->windowHandle()->isExposed(); }, 5000);  // gone from the screen
            dlg.MenuAction(32780)->trigger();
            ProcessEventsUntil([&] { return IsFramed(g_wndAlarm) && g_wndAlarm->geometry() == larger; }, 20000);
            EXPECT_EQ(g_wndAlarm->geometry(), larger);
        }
        dlg.MenuAction(32780)->trigger();
        EXPECT_FALSE(g_wndAlarm->isVisible());
    });
}

TEST_F(MainWindowTest, ClosingAWindowHidesItAndItsItemFollows)
{
    RunQuelt([&](CQueltDlg& dlg) {
        CSendMessage* pSend = g_wndSend;
        pSend->close();  // its own close box
        QApplication::processEvents();
        EXPECT_EQ(g_wndSend, pSend);
        EXPECT_FALSE(pSend->isVisible());
        EXPECT_FALSE(dlg.MenuAction(32778)->isChecked());
        EXPECT_EQ(g_nWindowMask.load(), SHOW_RECV | SHOW_RESULT);  // send traffic now goes to receive

        QTest::keyClick(g_wndResult, Qt::Key_Escape);  // the dialog's cancel key
        QApplication::processEvents();
        EXPECT_FALSE(g_wndResult->isVisible());
        EXPECT_FALSE(dlg.MenuAction(32779)->isChecked());
        EXPECT_EQ(g_nWindowMask.load(), SHOW_RECV);

        dlg.MenuAction(32778)->trigger();  // the menu brings it back
        EXPECT_TRUE(pSend->isVisible());
        EXPECT_TRUE(dlg.MenuAction(32778)->isChecked());
        EXPECT_EQ(g_nWindowMask.load(), SHOW_RECV | SHOW_SEND);

        dlg.MenuAction(32780)->trigger();
        g_wndAlarm->close();
        EXPECT_FALSE(g_wndAlarm->isVisible());
        EXPECT_FALSE(dlg.MenuAction(32780)->isChecked());

        g_wndCapture->show();
        g_wndCapture->close();
        QApplication::processEvents();
        EXPECT_FALSE(g_wndCapture->isVisible());
        g_wndCapture->show();  // still there to show again
        EXPECT_TRUE(g_wndCapture->isVisible());
    });
}

TEST_F(MainWindowTest, PauseItemsSayWhatTheyDoNextAndGroupItemsFollow)
{
    RunQuelt([&](CQueltDlg& dlg) {
        QMenu* pControl = dlg.Popup(3);
        auto textAt = [&](int nPosition) { return Text(pControl->actions().at(nPosition)); };
        auto groups = [&] {
            return std::pair{dlg.MenuAction(32786)->isEnabled(), dlg.MenuAction(32787)->isEnabled()};
        };

        dlg.MenuAction(32781)->trigger();
        EXPECT_EQ(g_wndRecv->m_bPause, 1);
        EXPECT_EQ(textAt(0), "接收继续显示");
        EXPECT_EQ(pControl->actions().at(0)->data().toInt(), 32781);  // same id, new text
        EXPECT_EQ(groups(), std::pair(true, true));
        dlg.MenuAction(32783)->trigger();
        EXPECT_EQ(textAt(2), "发送继续显示");
        EXPECT_EQ(groups(), std::pair(true, true));
        dlg.MenuAction(32785)->trigger();
        EXPECT_EQ(textAt(4), "结果继续刷新");
        EXPECT_EQ(g_wndResult->m_bPause, 1);
        EXPECT_EQ(groups(), std::pair(true, true));
        dlg.MenuAction(32834)->trigger();
        EXPECT_EQ(textAt(6), "分析继续显示");
        EXPECT_EQ(g_wndAnalysis->m_bPause, 1);
        EXPECT_EQ(groups(), std::pair(false, true));

        dlg.MenuAction(32787)->trigger();  // continue all
        EXPECT_EQ(textAt(0), "接收暂停显示");
        EXPECT_EQ(textAt(2), "发送暂停显示");
        EXPECT_EQ(textAt(4), "结果暂停刷新");
        EXPECT_EQ(textAt(6), "分析暂停显示");
        EXPECT_EQ(g_wndRecv->m_bPause + g_wndSend->m_bPause + g_wndResult->m_bPause + g_wndAnalysis->m_bPause, 0);
        EXPECT_EQ(groups(), std::pair(true, false));

        dlg.MenuAction(32783)->trigger();
        dlg.MenuAction(32783)->trigger();  // and back
        EXPECT_EQ(textAt(2), "发送暂停显示");
        EXPECT_EQ(groups(), std::pair(true, false));

        dlg.MenuAction(32786)->trigger();  // pause all
        EXPECT_EQ(g_wndRecv->m_bPause + g_wndSend->m_bPause + g_wndResult->m_bPause + g_wndAnalysis->m_bPause, 4);
        EXPECT_EQ(textAt(0), "接收继续显示");
        EXPECT_EQ(groups(), std::pair(false, true));
    });
}

TEST_F(MainWindowTest, EscapeEndsTheRunEvenAfterAMenuWasLeftWithEscape)
{
    bool bEnded = false;
    RunQuelt([&](CQueltDlg& dlg) {
        auto* pBar = dlg.findChild<QMenuBar*>();
        QAction* pExitPopup = pBar->actions().last();
        QTest::mouseClick(pBar, Qt::LeftButton, {}, pBar->actionGeometry(pExitPopup).center());
        ASSERT_TRUE(ProcessEventsUntil([] { return QApplication::activePopupWidget() != nullptr; }));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        ASSERT_TRUE(ProcessEventsUntil([] { return QApplication::activePopupWidget() == nullptr; }));
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, QPoint(dlg.width() - 4, dlg.height() - 2));
        QTest::keyClick(dlg.focusWidget() != nullptr ? dlg.focusWidget() : &dlg, Qt::Key_Escape);
        bEnded = ProcessEventsUntil([&] { return !dlg.isVisible(); }, 1000);
    });
    EXPECT_TRUE(bEnded);
}

TEST_F(MainWindowTest, EnterOnTheStripEndsTheRun)
{
    bool bEnded = false;
    RunQuelt([&](CQueltDlg& dlg) {
        QTest::keyClick(dlg.focusWidget() != nullptr ? dlg.focusWidget() : &dlg, Qt::Key_Return);
        bEnded = ProcessEventsUntil([&] { return !dlg.isVisible(); }, 1000);
    });
    EXPECT_TRUE(bEnded);
}

TEST_F(MainWindowTest, AboutBoxNamesTheProductAndItsVersion)
{
    RunQuelt([&](CQueltDlg& dlg) {
        QAction* pAbout = dlg.MenuAction(16);
        ASSERT_NE(pAbout, nullptr);
        EXPECT_EQ(Text(pAbout), "&About Quelt...");
        const bool bShown = WithModalDialog<CAboutDlg>(pAbout, [](CAboutDlg& about) {
            QStringList texts;
            for (const QLabel* pLabel : about.findChildren<QLabel*>())
                texts << pLabel->text();
            EXPECT_TRUE(texts.join(QLatin1Char('\n')).contains(QStringLiteral("Quelt"))) << texts.join(' ').toStdString();
            EXPECT_TRUE(texts.join(QLatin1Char('\n')).contains(QStringLiteral(QUELT_VERSION)));
            about.findChild<QAbstractButton*>(QStringLiteral("1"))->click();
        });
        EXPECT_TRUE(bShown);
    });
}
