#include "core/Quelt.h"

#include "commands/CommandQueue.h"
#include "core/ChannelTable.h"
#include "core/Notify.h"
#include "core/TrafficLines.h"

WndPos g_SendWndPos;
WndPos g_RecvWndPos;
WndPos g_ResultWndPos;
CQueltApp theApp;

StartupPlacement ComputeStartupPlacement(int W, int H)
{
    StartupPlacement p;
    p.recv = {3 * W / 8, H / 2 + 9, 5 * W / 8, H / 2 - 37};
    p.send = {3 * W / 8, 46, 5 * W / 8, H / 2 - 37};
    p.result = {0, 46, 3 * W / 8, H - 74};
    p.alarm = {W / 8, 6 * H / 8, 6 * W / 8, H / 8};
    p.capture = {W / 8, 2 * H / 8, 6 * W / 8, 5 * H / 8};
    return p;
}

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
    return 0;
}
