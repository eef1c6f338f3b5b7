#include "gui/AppRun.h"

#include "app/Quelt.h"
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
