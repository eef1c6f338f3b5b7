#include "gui/AppRun.h"

#include "app/Quelt.h"
#include "channel/PortMap.h"
#include "core/Config.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

void AppTest::RunQuelt(const std::function<void(CQueltDlg&)>& body)
{
    CQtShell shell;
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        body(dlg);
        if (dlg.isVisible())
            dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
}

void PtyAppTest::SetUp()
{
    AppTest::SetUp();
    MapPortDevice(COM1, m_Com1.Device());
    MapPortDevice(COM2, m_Com2.Device());
}
