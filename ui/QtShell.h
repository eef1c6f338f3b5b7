#pragma once
// The Qt side of start-up: the six monitoring windows and the main dialog's run.
#include <functional>
#include <memory>

#include "app/Quelt.h"

class CRecvMessage;
class CSendMessage;
class CResultMessage;
class CAlarmMessage;
class CLoadQueltData;
class CAnalysisWindow;
class CQueltDlg;

// The monitoring windows, alive from start-up until the shell ends.
extern CRecvMessage* g_wndRecv;
extern CSendMessage* g_wndSend;
extern CResultMessage* g_wndResult;
extern CAlarmMessage* g_wndAlarm;
extern CLoadQueltData* g_wndCapture;
extern CAnalysisWindow* g_wndAnalysis;

class CQtShell : public IQueltShell {
public:
    CQtShell();
    ~CQtShell() override;

    void DesktopSize(int& W, int& H) const override;
    bool CreateMonitorWindows(const StartupPlacement& placement) override;
    // Runs the main dialog until it is closed. Its loop does not block the monitoring
    // windows: the operator keeps scrolling and reading them.
    void RunMainDialog() override;

    // Called once the main dialog is up and initialised (tests drive the run from here).
    std::function<void(CQueltDlg&)> OnMainDialogUp;

private:
    struct Windows;
    std::unique_ptr<Windows> m_pWindows;
};
