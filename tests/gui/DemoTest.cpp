#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>

#include "app/Quelt.h"
#include "gui/EventLoop.h"
#include "monitor/RecvMessage.h"
#include "monitor/SendMessage.h"
#include "sim/DemoRtu.h"
#include "support/StateReset.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

class DemoTest : public SharedStateTest {};

TEST_F(DemoTest, DemoShowsTheLinkResetAndTheRtusAcknowledgement)
{
    CDemoRtu demo;
    ASSERT_TRUE(demo.Start(SimOptions{}));
    bool bSeen = false;
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        const QString reset = QStringLiteral("=> 05 64 05 C0 36 00 AE 0C A7 07 ");
        const QString ack = QStringLiteral("<= 05 64 05 00 AE 0C 36 00 FF 2E ");
        bSeen = ProcessEventsUntil(
            [&] {
                return g_wndSend->m_editMsg->toPlainText().contains(reset) &&
                       g_wndRecv->m_editMsg->toPlainText().contains(ack);
            },
            10000);
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    demo.Stop();
    EXPECT_TRUE(bSeen);
    EXPECT_TRUE(m_MessageBoxes.empty());
}
