// Takes the README's pictures: the main screen, Quelt against the simulated RTU in
// automatic mode on the offscreen platform once the start-up sequence and some class
// polls have run and the alarm window shows the RTU's events; then the analysis window
// on the same traffic, a response with events chosen and its application layer marked.
//
//   docs/make-screenshot.sh    (builds this, writes docs/main-screen.png and docs/analysis-window.png)
#include <QApplication>
#include <QAction>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTableView>
#include <QTreeWidget>

#include <cstdio>

#include "app/Quelt.h"
#include "app/RunState.h"
#include "monitor/AnalysisWindow.h"
#include "monitor/FrameTableModel.h"
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

// The analysis window with the last response that carried events chosen, its
// application layer selected in the tree.
bool SaveAnalysisWindow(const QString& path)
{
    CAnalysisWindow& w = *g_wndAnalysis;
    w.show();
    RunFor(1500);
    const CFrameTableModel& model = *w.Model();
    int nRow = -1;
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.FrameAt(r)->Summary.find("×") != std::string::npos && model.FrameAt(r)->dResponseMs >= 0)
            nRow = r;
    auto* pTable = w.findChild<QTableView*>(QString::number(CAnalysisWindow::ID_TABLE));
    auto* pTree = w.findChild<QTreeWidget*>(QString::number(CAnalysisWindow::ID_DETAIL));
    if (nRow >= 0) {
        pTable->selectRow(nRow);
        pTable->scrollTo(model.index(nRow, 0));
        for (QTreeWidgetItemIterator it(pTree); *it != nullptr; ++it)
            if ((*it)->text(0).startsWith(QStringLiteral("应用层")))
                pTree->setCurrentItem(*it);
    }
    RunFor(500);
    return w.grab().save(path);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 3) {
        std::fputs("usage: quelt_screenshot MAIN.png [ANALYSIS.png]\n", stderr);
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
    QTemporaryDir settings;  // the layouts a first run has, not the user's
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    bool bSaved = false;
    CQtShell shell;
    SetAutoStart(true);  // as quelt --demo
    shell.OnMainDialogUp = [&](CQueltDlg& dlg) {
        dlg.MenuAction(ID_WND_ALARM)->trigger();
        RunFor(40000);  // start-up sequence, class polls, events
        bSaved = QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]));
        if (argc == 3)
            bSaved = SaveAnalysisWindow(QString::fromLocal8Bit(argv[2])) && bSaved;
        dlg.reject();
    };
    theApp.InitInstance(shell);
    theApp.ExitInstance();
    demo.Stop();
    if (!bSaved)
        std::fputs("quelt_screenshot: cannot write the pictures\n", stderr);
    return bSaved ? 0 : 1;
}
