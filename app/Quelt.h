#pragma once
// The application object: start-up places the monitoring windows and runs the main
// dialog for the whole run; exit stops the poll thread and closes the ports. The windows
// themselves belong to the user interface, which CQueltApp reaches through IQueltShell.
#include "app/WindowLayout.h"

class IQueltShell {
public:
    virtual ~IQueltShell() = default;
    virtual void DesktopSize(int& W, int& H) const = 0;
    // Creates the five windows, places them, shows receive, send and result and hides the
    // alarm window and the viewer. False when a window cannot be created.
    virtual bool CreateMonitorWindows(const StartupPlacement& placement) = 0;
    // Runs the main dialog modally until the operator closes it.
    virtual void RunMainDialog() = 0;
};

class CQueltApp {
public:
    // Always false: the run is over once the main dialog has ended.
    bool InitInstance(IQueltShell& shell);
    int ExitInstance();
};

extern CQueltApp theApp;
