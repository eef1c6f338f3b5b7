#include "app/Quelt.h"

#include "app/Channels.h"
#include "app/Recording.h"
#include "commands/CommandQueue.h"
#include "core/Notify.h"
#include "core/TrafficLines.h"

CQueltApp theApp;

bool CQueltApp::InitInstance(IQueltShell& shell)
{
    // The locks exist from static initialisation on.
    ResetCommandQueue();
    int W = 0;
    int H = 0;
    shell.DesktopSize(W, H);
    g_nWindowMask = SHOW_SEND | SHOW_RECV | SHOW_RESULT;

    const StartupPlacement placement = ComputeStartupPlacement(W, H);
    g_RecvWndPos = placement.recv;
    g_SendWndPos = placement.send;
    g_ResultWndPos = placement.result;
    if (!shell.CreateMonitorWindows(placement)) {
        DebugTrace("Failed to create map window\n");
        return false;
    }
    shell.RunMainDialog();
    return false;
}

int CQueltApp::ExitInstance()
{
    ShutdownChannels();
    StopLineTap();  // after the poll thread: every octet it saw is recorded
    return 0;
}
