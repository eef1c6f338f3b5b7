// Takes the README's picture of the main screen: Quelt against the simulated RTU in
// automatic mode, on the offscreen platform, once the start-up sequence and some class
// polls have run and the alarm window shows the RTU's events.
//
//   docs/make-screenshot.sh            (builds this and writes docs/main-screen.png)
#include <QApplication>
#include <QAction>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

#include "app/Quelt.h"
#include "app/RunState.h"
#include "sim/DemoRtu.h"
#include "ui/MainMenu.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

namespace {

void RunFor(int nMilliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nMilliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: quelt_screenshot OUTPUT.png\n", stderr);
        return 2;
    }
    CDemoRtu demo;
    if (!demo.Start(CDemoRtu::DemoOptions())) {
        std::perror("quelt_screenshot: cannot create the pseudo-terminals");
        return 1;
    }
    int nQtArgc = 1;
    QApplication app(nQtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelt"));
    QApplication::setQuitOnLastWindowClosed(false);

    bool bSaved = false;
    CQtShell shell;
    SetAutoStart(true);  // as quelt --demo
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        dlg.MenuAction(ID_WND_ALARM)->trigger();
        RunFor(40000);  // start-up sequence, class polls, events
        bSaved = QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]));
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    demo.Stop();
    if (!bSaved)
        std::fprintf(stderr, "quelt_screenshot: cannot write %s\n", argv[1]);
    return bSaved ? 0 : 1;
}
