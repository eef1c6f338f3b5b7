#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "app/Quelt.h"
#include "app/RunState.h"
#include "channel/PortMap.h"
#include "core/Config.h"
#include "support/Pty.h"
#include "gui/EventLoop.h"
#include "monitor/RecvMessage.h"
#include "monitor/SendMessage.h"
#include "sim/DemoRtu.h"
#include "support/StateReset.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

class DemoTest : public SharedStateTest {};

TEST_F(DemoTest, DemoStartsInAutomaticModeAndShowsTheMasterAtWork)
{
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(CDemoRtu::DemoOptions()));  // paced like a 1200 bit/s line
    SetAutoStart(true);
    bool bReset = false;
    bool bStartup = false;
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        EXPECT_EQ(g_nAskMode.load(), ASK_AUTO);
        const QString reset = QStringLiteral("=> 05 64 05 C0 36 00 AE 0C A7 07 ");
        const QString ack = QStringLiteral("<= 05 64 05 00 AE 0C 36 00 FF 2E ");
        bReset = ProcessEventsUntil(
            [&] {
                return g_wndSend->m_editMsg->toPlainText().contains(reset) &&
                       g_wndRecv->m_editMsg->toPlainText().contains(ack);
            },
            10000);
        // The start-up sequence follows, up to the read of the analogs.
        const QRegularExpression readAnalogs(QStringLiteral("C. C. 01 1E 02 06 "));
        bStartup = ProcessEventsUntil([&] { return g_wndSend->m_editMsg->toPlainText().contains(readAnalogs); }, 20000);
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    SetAutoStart(false);
    demo.Stop();
    EXPECT_TRUE(bReset);
    EXPECT_TRUE(bStartup);
    EXPECT_TRUE(m_MessageBoxes.empty());
}

TEST_F(DemoTest, NormalStartKeepsManualMode)
{
    PtyPair com1, com2;
    MapPortDevice(COM1, com1.Device());
    MapPortDevice(COM2, com2.Device());
    CQtShell shell;
    shell.OnMainDialogUp = [](CQueltDlg& dlg) {
        EXPECT_EQ(g_nAskMode.load(), ASK_MANUAL);
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
}
