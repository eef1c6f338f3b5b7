#include "commands/CommandQueue.h"

#include <algorithm>
#include <mutex>

#include "channel/Protocol.h"
#include "commands/CommandTable.h"
#include "core/Clock.h"
#include "core/Locks.h"
#include "dnp3/FunctionCodes.h"

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

std::vector<CommandItem> CommandQueueSnapshot()
{
    std::lock_guard lock(g_csChannel);
    return {g_CmdItems, g_CmdItems + std::clamp(g_nCmdCount, 0, kMaxCommands)};
}

int RunCount()
{
    std::lock_guard lock(g_csChannel);
    return g_nRunCount;
}

bool IsControlEntry(const CommandItem& item)
{
    return item.byFunc >= fc::SELECT && item.byFunc <= fc::DIRECT_OPERATE_NR;
}

bool HoldsControl(const std::vector<CommandItem>& items)
{
    return std::any_of(items.begin(), items.end(), IsControlEntry);
}

int DeleteCommand(int nIndex)
{
    std::lock_guard lock(g_csChannel);
    if (nIndex >= 0 && nIndex < g_nCmdCount) {
        std::copy(g_CmdItems + nIndex + 1, g_CmdItems + g_nCmdCount, g_CmdItems + nIndex);
        --g_nCmdCount;
    }
    return g_nCmdCount;
}

void DeleteAllCommands()
{
    std::lock_guard lock(g_csChannel);
    g_nCmdCount = 0;
}

void SetRunCount(int nRunTimes)
{
    {
        std::lock_guard lock(g_csChannel);
        g_nRunCount = nRunTimes;
        g_bCmdLoop = nRunTimes == 0 ? 1 : 0;
    }
    WakePollThread();  // the next run may be due
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

ManualChoice ManualChoicePresets(const MenuCommand& command)
{
    ManualChoice choice;
    if (command.kind == CommandKind::Plain)
        return choice;
    std::lock_guard lock(g_csChannel);
    choice.nPoint = g_CtrlCmd.m_nPoint;
    choice.nCloseTrip = g_CtrlCmd.m_nCloseTrip != 0 ? 1 : 0;
    if (command.kind == CommandKind::Select)
        choice.lRelayMs = g_CtrlCmd.m_lRelayTime;
    return choice;
}

namespace {

// The entries and the run count, never half written for the poll thread.
void QueueUnderLock(const MenuCommand& command, const ManualChoice& choice, bool bPair, int nEntries)
{
    std::lock_guard lock(g_csChannel);
    int nAt = 0;
    if (choice.nQueueMode != 0)
        nAt = g_nCmdCount < (bPair ? kMaxCommandsForPair : kMaxCommands) ? g_nCmdCount : -1;
    if (nAt >= 0) {
        for (int i = 0; i < nEntries; ++i) {
            CommandItem& item = g_CmdItems[nAt + i];
            item.byFunc = i == 0 ? command.byFunc : fc::OPERATE;  // the pair: select, then operate
            item.byGroup = command.byGroup;
            item.byVar = command.byVar;
            if (command.kind != CommandKind::Plain) {
                item.nPoint = static_cast<std::int16_t>(choice.nPoint);
                item.nCloseTrip = static_cast<std::int16_t>(choice.nCloseTrip);
                item.lRelayTime = choice.lRelayMs;
            }
        }
        g_nCmdCount = nAt + nEntries;
    }
    g_nRunCount = choice.nRunTimes;
    g_bCmdLoop = choice.nRunTimes == 0 ? 1 : 0;  // taken over even when nothing was added
}

}  // namespace

void QueueManualCommand(const MenuCommand& command, const ManualChoice& choice)
{
    const bool bPair = command.kind == CommandKind::SelectAndOperate;
    const int nEntries = bPair ? 2 : 1;
    QueueUnderLock(command, choice, bPair, nEntries);
    WakePollThread();  // the next run may be due
}
