#include "ui/QtShell.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "monitor/AlarmMessage.h"
#include "monitor/AnalysisWindow.h"
#include "monitor/LoadQueltData.h"
#include "monitor/RecvMessage.h"
#include "monitor/ResultMessage.h"
#include "monitor/SendMessage.h"
#include "ui/AboutDlg.h"
#include "ui/Placement.h"
#include "ui/QueltDlg.h"

CRecvMessage* g_wndRecv = nullptr;
CSendMessage* g_wndSend = nullptr;
CResultMessage* g_wndResult = nullptr;
CAlarmMessage* g_wndAlarm = nullptr;
CLoadQueltData* g_wndCapture = nullptr;
CAnalysisWindow* g_wndAnalysis = nullptr;

struct CQtShell::Windows {
    CRecvMessage recv;
    CSendMessage send;
    CResultMessage result;
    CAlarmMessage alarm;
    CLoadQueltData capture;
    CAnalysisWindow analysis;
};

CQtShell::CQtShell() { QApplication::setWindowIcon(AppIcon()); }  // every window shows it

CQtShell::~CQtShell()
{
    g_wndRecv = nullptr;
    g_wndSend = nullptr;
    g_wndResult = nullptr;
    g_wndAlarm = nullptr;
    g_wndCapture = nullptr;
    g_wndAnalysis = nullptr;
}

void CQtShell::DesktopSize(int& W, int& H) const { ::DesktopSize(W, H); }

bool CQtShell::CreateMonitorWindows(const StartupPlacement& placement)
{
    m_pWindows = std::make_unique<Windows>();
    Windows& w = *m_pWindows;
    g_wndRecv = &w.recv;
    g_wndSend = &w.send;
    g_wndResult = &w.result;
    g_wndAlarm = &w.alarm;
    g_wndCapture = &w.capture;
    g_wndAnalysis = &w.analysis;

    const struct {
        QWidget* pWindow;
        const WndPos& pos;
        bool bFixedSize;
        bool bShow;
    } steps[] = {
        {&w.recv, placement.recv, true, true},       {&w.send, placement.send, true, true},
        {&w.result, placement.result, true, true},   {&w.alarm, placement.alarm, false, false},
        {&w.capture, placement.capture, false, false}, {&w.analysis, placement.analysis, false, false},
    };
    for (const auto& s : steps) {
        PlaceWindow(s.pWindow, s.pos, s.bFixedSize);
        s.pWindow->setVisible(s.bShow);
    }
    return true;
}

void CQtShell::RunMainDialog()
{
    CQueltDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    if (OnMainDialogUp)
        QTimer::singleShot(0, &dlg, [this, &dlg] { OnMainDialogUp(dlg); });
    QEventLoop loop;
    QObject::connect(&dlg, &QDialog::finished, &loop, &QEventLoop::quit);
    loop.exec();
}
