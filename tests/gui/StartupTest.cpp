#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QWindow>

#include "channel/PortMap.h"
#include "gui/EventLoop.h"
#include "app/Channels.h"
#include "core/Config.h"
#include "app/Quelt.h"
#include "gui/AppRun.h"
#include "monitor/AlarmMessage.h"
#include "monitor/LoadQueltData.h"
#include "monitor/RecvMessage.h"
#include "monitor/ResultMessage.h"
#include "monitor/SendMessage.h"
#include "support/Pty.h"
#include "support/StateReset.h"
#include "ui/Placement.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "(" << r.x() << ", " << r.y() << ") " << r.width() << " x " << r.height();
}

namespace {

QRect Rect(const WndPos& p) { return {p.x, p.y, p.cx, p.cy}; }

}  // namespace

class StartupTest : public SharedStateTest {};

TEST_F(StartupTest, StartupCreatesThePlacedWindowsAndShowsLineTrafficInHex)
{
    PtyPair com1, com2;
    MapPortDevice(COM1, com1.Device());
    MapPortDevice(COM2, com2.Device());
    int W = 0;
    int H = 0;
    DesktopSize(W, H);
    const StartupPlacement expected = ComputeStartupPlacement(W, H);

    bool bChecked = false;
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        const struct {
            CMonitorWindow* pWindow;
            const char* caption;
            int nIDD;
            WndPos pos;
            bool bVisible;
        } windows[] = {
            {g_wndRecv, "接收信息窗口", 134, expected.recv, true},
            {g_wndSend, "发送信息窗口", 132, expected.send, true},
            {g_wndResult, "结果信息窗口", 133, expected.result, true},
            {g_wndAlarm, "告警信息", 144, expected.alarm, false},
            {g_wndCapture, "显示捕获数据", 149, expected.capture, false},
        };
        // Under a window manager the frames come a little after the windows are shown.
        EXPECT_TRUE(WaitUntilFramed({&dlg, g_wndRecv, g_wndSend, g_wndResult}));
        ProcessEventsUntil([&] {
            bool bPlaced = dlg.frameGeometry() == QRect(0, 0, W, CQueltDlg::kStripHeight);
            for (const auto& w : windows)
                bPlaced = bPlaced && w.pWindow->frameGeometry() == Rect(w.pos);
            return bPlaced;
        });
        for (const auto& w : windows) {
            ASSERT_NE(w.pWindow, nullptr) << w.caption;
            EXPECT_EQ(w.pWindow->windowTitle().toStdString(), w.caption);
            EXPECT_EQ(w.pWindow->TemplateId(), w.nIDD);
            EXPECT_EQ(w.pWindow->frameGeometry(), Rect(w.pos)) << w.caption;
            EXPECT_EQ(w.pWindow->isVisible(), w.bVisible) << w.caption;
        }
        EXPECT_EQ(dlg.frameGeometry(), QRect(0, 0, W, CQueltDlg::kStripHeight));
        EXPECT_TRUE(dlg.isVisible());
        ASSERT_NE(dlg.MenuAction(ID_APP_EXIT), nullptr);
        EXPECT_EQ(dlg.MenuAction(ID_APP_EXIT)->text().toStdString(), "退出(&X)");
        EXPECT_EQ(g_nWindowMask.load(), 7);
        EXPECT_TRUE(g_Channels.PollThread.joinable());

        // The bare channel on COM1 shows what its far end sends, in the receive window.
        com1.Write({0x05, 0x64, 0xFE});
        EXPECT_TRUE(ProcessEventsUntil([] {
            return g_wndRecv->m_editMsg->toPlainText().contains(QStringLiteral("05 64 FE "));
        })) << g_wndRecv->m_editMsg->toPlainText().toStdString();
        bChecked = true;
        dlg.MenuAction(ID_APP_EXIT)->trigger();
    };

    EXPECT_FALSE(theApp.InitInstance(shell));
    EXPECT_EQ(theApp.ExitInstance(), 0);
    EXPECT_TRUE(bChecked);
    EXPECT_FALSE(g_Channels.PollThread.joinable());
    EXPECT_TRUE(m_MessageBoxes.empty());
    if (W == 800 && H == 600) {  // the offscreen desktop
        EXPECT_EQ(Rect(g_RecvWndPos), QRect(300, 309, 500, 263));
        EXPECT_EQ(Rect(g_SendWndPos), QRect(300, 46, 500, 263));
        EXPECT_EQ(Rect(g_ResultWndPos), QRect(0, 46, 300, 526));
    }
}

// Qt's own texts (standard buttons, file dialogs) are Chinese like the rest, whatever the
// machine's locale.
TEST(QtTextsTest, StandardButtonsAreChinese)
{
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Cancel | QMessageBox::Open | QMessageBox::Yes);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().toStdString(), "取消");
    EXPECT_EQ(box.button(QMessageBox::Open)->text().toStdString(), "打开");
}

// Octets and point columns line up in a fixed-width font that has the Chinese glyphs.
class FontTest : public PtyAppTest {};

TEST_F(FontTest, TrafficAndResultWindowsUseAFixedWidthCjkFont)
{
    RunQuelt([&](CQueltDlg&) {
        for (QWidget* pEdit : {static_cast<QWidget*>(g_wndSend->m_editMsg), static_cast<QWidget*>(g_wndRecv->m_editMsg),
                               static_cast<QWidget*>(g_wndResult->m_ResultEdit)}) {
            EXPECT_EQ(QFontInfo(pEdit->font()).family().toStdString(), "Noto Sans Mono CJK SC");
            // Half-width Latin all alike (the Chinese glyphs take two of them).
            const QFontMetrics metrics(pEdit->font());
            for (const QString& glyph : {QStringLiteral("W"), QStringLiteral(" "), QStringLiteral("=")})
                EXPECT_EQ(metrics.horizontalAdvance(glyph), metrics.horizontalAdvance(QStringLiteral("0")));
            EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("遥")), 2 * metrics.horizontalAdvance(QStringLiteral("0")));
        }
    });
}
