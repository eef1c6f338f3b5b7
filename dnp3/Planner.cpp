#include "dnp3/Planner.h"

#include <algorithm>
#include <iterator>
#include <mutex>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "dnp3/FunctionCodes.h"

namespace {

using Item = RequestItem;

const Item kStartupSequence[] = {
    {fc::READ, 80, 1},                 // read the IIN
    {fc::DISABLE_UNSOLICITED, 60, 4},  // disable unsolicited responses, class 3, 2, 1
    {fc::DISABLE_UNSOLICITED, 60, 3},
    {fc::DISABLE_UNSOLICITED, 60, 2},
    {fc::WRITE, 80, 1},                // clear the device-restart indication
    {fc::READ, 1, 1},                  // all binary inputs
    {fc::READ, 30, 2},                 // all 16-bit analog inputs
    {fc::DELAY_MEASURE, 0, 0},
    {fc::WRITE, 50, 1},                // time synchronisation
    {fc::IMMED_FREEZE, 20, 1},         // freeze the 32-bit counters
    {fc::READ, 21, 1},                 // read the frozen counters
};

// Class 1 three times, class 2 twice, class 3 once per scan.
const Item kClassBatch[] = {{fc::READ, 60, 2}, {fc::READ, 60, 3}, {fc::READ, 60, 2},
                            {fc::READ, 60, 3}, {fc::READ, 60, 2}, {fc::READ, 60, 4}};
const Item kObjectBatch[] = {{fc::READ, 60, 2}, {fc::READ, 2, 1}, {fc::READ, 32, 2}};

// First IIN octet.
constexpr std::uint8_t kIin1NeedTime = 0x10;
constexpr std::uint8_t kIin1Restart = 0x80;

template <std::size_t N>
void Append(std::deque<Item>& list, const Item (&items)[N])
{
    list.insert(list.end(), std::begin(items), std::end(items));
}

}  // namespace

void CPlanner::Plan(std::time_t now, int nScanPeriod, bool bAutomatic)
{
    if (bAutomatic)
        PlanAutomatic(now, nScanPeriod);
    else
        PlanManual(now, nScanPeriod);
}

void CPlanner::PlanAutomatic(std::time_t now, int nScanPeriod)
{
    if (!HasRequests()) {
        if (now - m_tLastScan < nScanPeriod)
            return;
        m_tLastScan = now;
    }
    if (m_bInitNeeded) {
        m_listInit.clear();
        m_listPoll.clear();
        Append(m_listInit, kStartupSequence);
        m_bInitNeeded = false;
    }
    if (!HasRequests()) {
        if (now - m_tLastCounter >= 900)
            m_listPoll.insert(m_listPoll.end(), {{fc::IMMED_FREEZE, 20, 1}, {fc::READ, 21, 1}});
        if (now - m_tLastTimeSync >= 300)
            m_listPoll.push_back({fc::WRITE, 50, 1});
        if (now - m_tLastAnalog >= 60)
            m_listPoll.insert(m_listPoll.end(), {{fc::READ, 1, 1}, {fc::READ, 30, 2}});
    }
    if (!HasRequests()) {
        if (g_nCallMode.load(std::memory_order_relaxed) == CALL_BY_OBJECT)
            Append(m_listPoll, kObjectBatch);
        else
            Append(m_listPoll, kClassBatch);
    }
}

void CPlanner::PlanManual(std::time_t now, int nScanPeriod)
{
    if (HasRequests() || now - m_tLastScan < nScanPeriod)
        return;
    m_tLastScan = now;
    // The operator changes the queue under the same lock: never a half-written entry.
    std::lock_guard lock(g_csChannel);
    if (g_bCmdLoop == 0 && g_nRunCount <= 0)
        return;
    const int nCount = std::clamp(g_nCmdCount, 0, kMaxCommands);
    for (int i = 0; i < nCount; ++i) {
        const CommandItem& entry = g_CmdItems[i];
        m_listPoll.push_back({entry.byFunc, entry.byGroup, entry.byVar});
        if (entry.byFunc >= fc::SELECT && entry.byFunc <= fc::DIRECT_OPERATE) {
            g_CtrlCmd.m_nPoint = entry.nPoint;
            g_CtrlCmd.m_nCloseTrip = entry.nCloseTrip;
            g_CtrlCmd.m_lRelayTime = entry.lRelayTime;
        }
    }
    if (g_bCmdLoop == 0)
        --g_nRunCount;
}

void CPlanner::Restart()
{
    m_listInit.clear();
    m_listPoll.clear();
    m_bInitNeeded = true;
    m_tLastScan = 0;
}

const RequestItem* CPlanner::Next() const
{
    const std::deque<RequestItem>& list = m_listInit.empty() ? m_listPoll : m_listInit;
    return list.empty() ? nullptr : &list.front();
}

void CPlanner::OnNextSent()
{
    std::deque<RequestItem>& list = m_listInit.empty() ? m_listPoll : m_listInit;
    if (list.empty())
        return;
    m_Outstanding = list.front();
    list.pop_front();
}

void CPlanner::OnRequestSent(const RequestItem& item, std::time_t now)
{
    if (item.byFunc == fc::READ && item.byGroup == 21) {
        // The start of the current quarter hour, from one reading of the clock.
        const LocalTime t = Clock().LocalAt(now);
        m_tLastCounter = now - ((t.nMinute % 15) * 60 + t.nSecond);
    } else if (item.byFunc == fc::READ && item.byGroup == 30) {
        m_tLastAnalog = now;
    } else if (item.byFunc == fc::WRITE && item.byGroup == 50) {
        m_tLastTimeSync = now;
    }
}

void CPlanner::FollowIndications(std::uint8_t byIin1, bool bAutomatic)
{
    const bool bRestart = (byIin1 & kIin1Restart) != 0;
    // A restart is the bit coming back after it was cleared: an RTU that never clears it
    // does not get the start-up sequence over and over.
    const bool bNewRestart = bRestart && m_bRestartCleared;
    if (!bRestart)
        m_bRestartCleared = true;
    if (!bAutomatic || !m_listInit.empty())
        return;  // the operator's queue alone, or the start-up sequence already under way
    if (bNewRestart) {
        m_bInitNeeded = true;  // it restarted: it needs the whole start-up sequence
        m_bRestartCleared = false;
    } else if ((byIin1 & kIin1NeedTime) != 0) {
        m_tLastTimeSync = 0;  // the clock with the next batch
    }
}
