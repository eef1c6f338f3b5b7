#include "commands/CommandQueue.h"

#include <mutex>

#include "core/Clock.h"
#include "core/Locks.h"

CommandItem g_CmdItems[kMaxCommands];
int g_nCmdCount = 0;
int g_nRunCount = 1;
int g_bCmdLoop = 0;
CtrlCommand g_CtrlCmd;

void ResetCommandQueue()
{
    std::lock_guard lock(g_csChannel);
    g_nCmdCount = 0;
    g_nRunCount = 1;
    g_bCmdLoop = 0;
}

void ResetCtrlCommand()
{
    std::lock_guard lock(g_csChannel);
    g_CtrlCmd.m_nPoint = 0;
    g_CtrlCmd.m_nCloseTrip = 0;
    g_CtrlCmd.m_lRelayTime = 0;
    g_CtrlCmd.m_bSelectPending.store(0, std::memory_order_release);
    g_CtrlCmd.m_bOperatePending.store(0, std::memory_order_release);
    g_CtrlCmd.m_tSelect = Now();
    g_CtrlCmd.m_tOperate = g_CtrlCmd.m_tSelect.load();
}
