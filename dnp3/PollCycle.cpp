// The master poll cycle: one application request outstanding at a time. In automatic mode
// the start-up sequence, then a batch of polls per scan period with the periodic counter,
// clock and static-data requests; in manual mode the operator's command queue.
#include <algorithm>
#include <iterator>
#include <mutex>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/ResponseList.h"
#include "dnp3/AppControl.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"
#include "monitor/AlarmLog.h"

namespace {

using Item = CQueltProtocol::RequestItem;

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

void CQueltProtocol::ApplicationStep(int nMaster, int nRtu)
{
    const std::time_t now = Now();
    const int nScanPeriod = std::max(g_nScanPeriod.load(std::memory_order_relaxed), 2);

    TakeUnsolicited();
    if (ConfirmStep(nMaster, nRtu))
        return;
    if (m_bAppFailed != 0) {
        if (m_nAppRetry < 2) {
            // The request itself is asked again when that is harmless; otherwise the IIN
            // are read (a conformant RTU never answers a confirm, so that makes no probe).
            const int nTries = m_nAppRetry;
            if (RetryRequest(nMaster, nRtu) == 0) {
                m_bAppFailed = 0;
                m_nAppRetry = nTries + 1;
            }
            return;
        }
        FailureStep();
    }
    if (m_byAppWait != 0) {
        WaitStep(now, nScanPeriod);
        return;
    }
    TakeLateControlEchoes();
    const bool bEnd = g_nAskMode.load(std::memory_order_relaxed) == ASK_AUTO ? PlanAutomatic(now, nScanPeriod)
                                                                             : PlanManual(now, nScanPeriod);
    if (!bEnd)
        SendNextRequest(nMaster, nRtu);
}

bool CQueltProtocol::ConfirmStep(int nMaster, int nRtu)
{
    if (m_bConfirmPending != 0) {
        if (SendConfirm(nRtu, nMaster) == 0)
            m_bConfirmPending = 0;
        return true;
    }
    if (m_bUnsolConfirmPending != 0) {
        if (SendUnsolicitedConfirm(nRtu, nMaster) == 0)
            m_bUnsolConfirmPending = 0;
        return true;
    }
    return false;
}

void CQueltProtocol::TakeUnsolicited()
{
    // Whatever the master is doing, an unsolicited response that asks for a confirm gets
    // one, or the RTU repeats it for ever. Once confirmed, its events are gone from the
    // RTU, so whatever it carries is placed like a response's objects.
    std::erase_if(m_TpResults, [this](const TransportResult& result) {
        const std::vector<std::uint8_t>& fragment = result.Fragment;
        if (result.nResult != 1 || fragment.size() < 2 || fragment[1] != fc::UNSOLICITED_RESPONSE)
            return false;
        if ((fragment[0] & ac::CON) != 0) {
            m_bUnsolConfirmPending = 1;
            m_byUnsolConfirmSeq = fragment[0] & ac::SEQ;
        }
        if (fragment.size() > 4)  // objects beyond the IIN
            PushResponse(ToResponseElement(fragment.data(), static_cast<int>(fragment.size())));
        return true;
    });
}

void CQueltProtocol::FailureStep()
{
    // Two more tries have failed: the RTU is silent. Start over from a link reset; the
    // polls resume once it answers, and its IIN say whether it needs the start-up sequence.
    AddAlarm("应用层通信失败 !");
    m_bAppFailed = 0;
    m_nAppRetry = 0;
    m_bConfirmPending = 0;
    m_byAppWait = 0;
    m_bInResponse = 0;
    m_nLinkState = 0;
}

void CQueltProtocol::WaitStep(std::time_t now, int nScanPeriod)
{
    const int nResult = TakeFragment(m_AppBuf, m_nAppLen);
    if (nResult == 1) {
        const std::uint8_t byFunc = m_nAppLen >= 2 ? m_AppBuf[1] : 0xFF;
        if (byFunc == fc::RESPONSE) {
            ResponseFragment(now);
            return;
        }
        // Any other function (an unsolicited response, say): the wait goes on.
    } else if (nResult == 2) {
        if (m_nAppLen >= 1 && !IsAwaitedFragment(m_AppBuf[0]))
            return;  // a broken fragment of an earlier exchange: the wait goes on
        m_bAppFailed = 1;
        m_byAppWait = 0;
        m_bInResponse = 0;
        return;
    }
    if (now - m_tRequest > 3 * nScanPeriod) {
        m_bAppFailed = 1;
        m_byAppWait = 0;
        m_bInResponse = 0;
        m_tRequest = now;
    }
}

void CQueltProtocol::ResponseFragment(std::time_t now)
{
    const std::uint8_t byCtrl = m_AppBuf[0];
    const std::uint8_t bySeq = byCtrl & ac::SEQ;
    const bool bFir = (byCtrl & ac::FIR) != 0;
    if (!IsAwaitedFragment(byCtrl)) {
        if (m_bInResponse == 0 && IsLateControlEcho(m_AppBuf, m_nAppLen)) {
            LateControlEcho();  // the wait for the request now outstanding goes on
            return;
        }
        if (m_bInResponse == 0) {
            // Left over from an earlier exchange: it answers nothing asked now.
            AddAlarm(!bFir ? "响应首段缺少FIR标志, 已丢弃 !" : "响应序号与请求不符, 已丢弃 !");
            return;
        }
        // The rest of the response cannot be trusted to belong together: it ends here.
        AddAlarm(bFir ? "响应后续分段带FIR标志, 响应中止 !" : "响应分段序号不连续, 响应中止 !");
        m_bInResponse = 0;
        m_byAppWait &= static_cast<std::uint8_t>(~WAIT_RESPONSE);
        return;
    }
    m_nAppRetry = 0;
    m_tRequest = now;  // each fragment gives the next one the whole time-out
    if (bFir && m_Control.bAnswerDue && bySeq == m_Control.bySeq)
        TakeControlEcho(m_AppBuf, m_nAppLen, false);
    if (bFir && m_nAppLen >= 3)
        FollowIndications(m_AppBuf[2]);
    if ((byCtrl & ac::CON) != 0) {
        m_bConfirmPending = 1;
        m_byConfirmSeq = bySeq;
    }
    PushResponse(ToResponseElement(m_AppBuf, m_nAppLen), m_byRequestFunc);
    if ((byCtrl & ac::FIN) != 0) {
        m_bInResponse = 0;
        m_byAppWait &= static_cast<std::uint8_t>(~WAIT_RESPONSE);
    } else {
        m_bInResponse = 1;
        m_byNextRespSeq = static_cast<std::uint8_t>((bySeq + 1) & ac::SEQ);
    }
}

bool CQueltProtocol::IsAwaitedFragment(std::uint8_t byCtrl) const
{
    const std::uint8_t bySeq = byCtrl & ac::SEQ;
    const bool bFir = (byCtrl & ac::FIR) != 0;
    if (m_bInResponse != 0)
        return !bFir && bySeq == m_byNextRespSeq;
    // The first fragment of the answer echoes the request's sequence, or that of an earlier
    // try of it answered late, unless it asks for a confirm: the RTU accepts a confirm only
    // for its newest response, so its events would come again.
    const bool bEarlierTry = (byCtrl & ac::CON) == 0 &&
                             std::find(m_EarlierTrySeqs.begin(), m_EarlierTrySeqs.end(), bySeq) != m_EarlierTrySeqs.end();
    return bFir && (bySeq == m_byRequestSeq || bEarlierTry);
}

bool CQueltProtocol::PlanAutomatic(std::time_t now, int nScanPeriod)
{
    if (m_listInit.empty() && m_listPoll.empty()) {
        if (now - m_tLastScan < nScanPeriod)
            return true;
        m_tLastScan = now;
    }
    if (m_bInitNeeded != 0) {
        m_listInit.clear();
        m_listPoll.clear();
        Append(m_listInit, kStartupSequence);
        m_bInitNeeded = 0;
    }
    if (m_listInit.empty() && m_listPoll.empty()) {
        if (now - m_tLastCounter >= 900)
            m_listPoll.insert(m_listPoll.end(), {{fc::IMMED_FREEZE, 20, 1}, {fc::READ, 21, 1}});
        if (now - m_tLastTimeSync >= 300)
            m_listPoll.push_back({fc::WRITE, 50, 1});
        if (now - m_tLastAnalog >= 60)
            m_listPoll.insert(m_listPoll.end(), {{fc::READ, 1, 1}, {fc::READ, 30, 2}});
    }
    if (m_listInit.empty() && m_listPoll.empty()) {
        if (g_nCallMode.load(std::memory_order_relaxed) == CALL_BY_OBJECT)
            Append(m_listPoll, kObjectBatch);
        else
            Append(m_listPoll, kClassBatch);
    }
    return false;
}

bool CQueltProtocol::PlanManual(std::time_t now, int nScanPeriod)
{
    if (!m_listInit.empty() || !m_listPoll.empty())
        return false;
    if (now - m_tLastScan < nScanPeriod)
        return true;
    m_tLastScan = now;
    // The operator changes the queue under the same lock: never a half-written entry.
    std::lock_guard lock(g_csChannel);
    if (g_bCmdLoop == 0 && g_nRunCount <= 0)
        return false;
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
    return false;
}

void CQueltProtocol::SendNextRequest(int nMaster, int nRtu)
{
    std::deque<RequestItem>& list = m_listInit.empty() ? m_listPoll : m_listInit;
    if (list.empty())
        return;
    if (DispatchRequest(list.front(), nMaster, nRtu) == 0) {
        m_Outstanding = list.front();
        list.pop_front();
    }
}

bool CQueltProtocol::IsRepeatable(const RequestItem& item)
{
    // Asking again changes nothing at the RTU: reads, the clock, the IIN, unsolicited
    // responses off, a delay measurement. Never a control, and never a freeze: a second
    // one would move the moment the counters were frozen.
    switch (item.byFunc) {
    case fc::READ:
    case fc::DISABLE_UNSOLICITED:
    case fc::DELAY_MEASURE:
        return true;
    case fc::WRITE:
        return item.byGroup == 50 || item.byGroup == 80;
    default:
        return false;
    }
}

int CQueltProtocol::RetryRequest(int nMaster, int nRtu)
{
    if (!IsRepeatable(m_Outstanding)) {
        const std::uint8_t readIin[3] = {80, 1, 0x06};
        return SendRead(nRtu, nMaster, readIin, 3);
    }
    m_bRetrying = 1;
    const int nResult = DispatchRequest(m_Outstanding, nMaster, nRtu);
    m_bRetrying = 0;
    return nResult;
}

void CQueltProtocol::FollowIndications(std::uint8_t byIin1)
{
    const bool bRestart = (byIin1 & kIin1Restart) != 0;
    // A restart is the bit coming back after it was cleared: an RTU that never clears it
    // does not get the start-up sequence over and over.
    const bool bNewRestart = bRestart && m_bRestartCleared != 0;
    if (!bRestart)
        m_bRestartCleared = 1;
    if (g_nAskMode.load(std::memory_order_relaxed) != ASK_AUTO || !m_listInit.empty())
        return;  // the operator's queue alone, or the start-up sequence already under way
    if (bNewRestart) {
        m_bInitNeeded = 1;  // it restarted: it needs the whole start-up sequence
        m_bRestartCleared = 0;
    } else if ((byIin1 & kIin1NeedTime) != 0) {
        m_tLastTimeSync = 0;  // the clock with the next batch
    }
}

int CQueltProtocol::DispatchRequest(const RequestItem& item, int nMaster, int nRtu)
{
    const std::uint8_t allObjects[3] = {item.byGroup, item.byVar, 0x06};
    switch (item.byFunc) {
    case fc::READ: {
        const int nResult = SendRead(nRtu, nMaster, allObjects, 3);
        if (nResult == 0 && item.byGroup == 21) {
            // The start of the current quarter hour, from one reading of the clock.
            const std::time_t tNow = Now();
            const LocalTime t = Clock().LocalAt(tNow);
            m_tLastCounter = tNow - ((t.nMinute % 15) * 60 + t.nSecond);
        } else if (nResult == 0 && item.byGroup == 30) {
            m_tLastAnalog = Now();
        }
        return nResult;
    }
    case fc::WRITE:
        if (item.byGroup == 50) {
            const int nResult = SendTimeSync(nRtu, nMaster);
            if (nResult == 0)
                m_tLastTimeSync = Now();
            return nResult;
        }
        if (item.byGroup == 80) {
            // IIN bit 7 (device restart) written as 0.
            const std::uint8_t clearRestart[6] = {0x50, 0x01, 0x00, 0x07, 0x07, 0x00};
            return SendWrite(nRtu, nMaster, clearRestart, 6);
        }
        return 0;  // no other write is ever queued: dropped unsent
    case fc::SELECT:
    case fc::OPERATE: {
        if (item.byFunc == fc::OPERATE && !OperateMayFollow())
            return 0;  // dropped unsent
        std::uint8_t control[18];
        const int n = BuildControlObjects(control, g_CtrlCmd.m_nPoint, g_CtrlCmd.m_nCloseTrip,
                                          g_CtrlCmd.m_lRelayTime);
        control[0] = item.byGroup;
        control[1] = item.byVar;
        return item.byFunc == fc::SELECT ? SendSelect(nRtu, nMaster, control, n) : SendOperate(nRtu, nMaster, control, n);
    }
    case fc::IMMED_FREEZE:
    case fc::IMMED_FREEZE_NR:
    case fc::FREEZE_CLEAR:
    case fc::FREEZE_CLEAR_NR:
        return SendFreeze(nRtu, nMaster, item.byFunc, allObjects, 3);
    case fc::COLD_RESTART:
    case fc::WARM_RESTART:
    case fc::INITIALIZE_DATA:
    case fc::INITIALIZE_APPL:
    case fc::START_APPL:
    case fc::STOP_APPL:
        return SendFunctionOnly(nRtu, nMaster, item.byFunc);
    case fc::DISABLE_UNSOLICITED:
        return SendUnsolicitedCtrl(nRtu, nMaster, fc::DISABLE_UNSOLICITED, allObjects, 3);
    case fc::DELAY_MEASURE:
        return SendDelayMeasure(nRtu, nMaster);
    default:
        return 0;  // 0, 5, 6, 11, 12, 19, 20, 22, above 23: removed unsent
    }
}
