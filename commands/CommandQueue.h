#pragma once
// The manual command queue and the current control command record. Both are shared by
// the GUI thread (menu commands, dialogs, time-out watch) and the poll thread; changes
// and copies happen under g_csChannel, the pending flags are atomic words published
// after their times.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <vector>

struct CommandItem {
    std::uint8_t byFunc;  // DNP3 function code
    std::uint8_t byGroup;
    std::uint8_t byVar;
    std::int16_t nPoint;      // control entries only
    std::int16_t nCloseTrip;  // 0 close, nonzero trip
    std::int32_t lRelayTime;  // ms
};

constexpr int kMaxCommands = 256;

extern CommandItem g_CmdItems[kMaxCommands];
extern int g_nCmdCount;  // valid entries 0..g_nCmdCount-1
extern int g_nRunCount;  // runs of the queue still due
extern int g_bCmdLoop;   // run endlessly

struct CtrlCommand {
    std::int16_t m_nPoint = 0;
    std::int16_t m_nCloseTrip = 0;
    std::int32_t m_lRelayTime = 0;
    std::atomic<int> m_bSelectPending{0};
    std::atomic<std::time_t> m_tSelect{0};
    std::atomic<int> m_bOperatePending{0};
    std::atomic<std::time_t> m_tOperate{0};
};

extern CtrlCommand g_CtrlCmd;

struct MenuCommand;

// What the operator chose in the manual-command dialog.
struct ManualChoice {
    int nQueueMode = 0;  // 0 replace the queue, 1 add to it
    int nRunTimes = 1;   // 0 runs endlessly
    int nPoint = 0;
    int nCloseTrip = 0;  // 0 close, 1 trip
    std::int32_t lRelayMs = 0;
};

constexpr int kMaxCommandsForPair = 200;  // select-and-execute is added only below this

// The dialog's opening values: defaults, and for control commands the point and action of
// the last control command run (the relay time too, for the select command alone).
ManualChoice ManualChoicePresets(const MenuCommand& command);
// Puts a confirmed manual command into the queue (replace or add; a full queue ignores
// an added command) and takes over the run count. Under g_csChannel.
void QueueManualCommand(const MenuCommand& command, const ManualChoice& choice);

// Empty queue, one run, no loop (start-up).
void ResetCommandQueue();

// The send-queue dialog's view and edits of the queue, each under g_csChannel.
std::vector<CommandItem> CommandQueueSnapshot();
int RunCount();
// Whether an entry operates something at the RTU: a select, operate or direct operate.
bool IsControlEntry(const CommandItem& item);
bool HoldsControl(const std::vector<CommandItem>& items);
// Removes entry nIndex; those behind it move up. Returns the entries left.
int DeleteCommand(int nIndex);
void DeleteAllCommands();
// The run count, and endless runs when it is 0.
void SetRunCount(int nRunTimes);
// Point 0, close, relay time 0, nothing pending, both times now (main window start-up).
void ResetCtrlCommand();
