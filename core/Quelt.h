#pragma once
// The application object: start-up places the monitoring windows and runs the main
// dialog for the whole run; exit stops the poll thread and closes the ports. The windows
// themselves belong to the user interface, which CQueltApp reaches through IQueltShell.

struct WndPos {
    int x = 0;
    int y = 0;
    int cx = 0;  // width
    int cy = 0;  // height
    bool operator==(const WndPos&) const = default;
};

// Placement of the send, receive and result windows (start-up and every re-arrangement).
extern WndPos g_SendWndPos;
extern WndPos g_RecvWndPos;
extern WndPos g_ResultWndPos;

struct StartupPlacement {
    WndPos recv, send, result, alarm, capture;
};

// Where start-up puts the five monitoring windows on a W x H desktop: the strip takes the
// top 46 pixels, the result window the left three eighths below it, send above receive
// on the right, 28 pixels left free at the bottom.
StartupPlacement ComputeStartupPlacement(int W, int H);

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
