// The master poll cycle: one application request outstanding at a time. Confirms go
// first, then a failed request is tried again (or given up), then the answer is waited
// for; only then does the planner say what to ask next.
#include <algorithm>
#include <utility>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "core/ResponseList.h"
#include "dnp3/AppControl.h"
#include "dnp3/ChineseNames.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"
#include "monitor/AlarmLog.h"

namespace {

constexpr int kTriesBeforeGivingUp = 2;  // retries after the first request

bool IsAutomatic() { return g_nAskMode.load(std::memory_order_relaxed) == ASK_AUTO; }

bool IsUnsolicited(const CTransport::Result& result)
{
    return !result.bFailed && result.Fragment.size() >= 2 && result.Fragment[1] == fc::UNSOLICITED_RESPONSE;
}

}  // namespace

void CQueltProtocol::ApplicationStep()
{
    const std::time_t now = Now();
    const int nScanPeriod = ScanPeriod();

    TakeUnsolicited();
    if (ConfirmStep())
        return;
    if (m_App.GetState() == CAppLayer::State::FAILED) {
        RetryOrGiveUp();
        if (m_App.GetState() != CAppLayer::State::IDLE)
            return;
    }
    if (m_App.IsWaiting()) {
        WaitStep(now, nScanPeriod);
        return;
    }
    TakeLateControlEchoes();
    m_Planner.Plan(now, nScanPeriod, IsAutomatic());
    SendNextRequest();
}

bool CQueltProtocol::ConfirmStep()
{
    if (m_App.ConfirmDue()) {
        if (SendConfirm() == 0)
            m_App.OnConfirmSent();
        return true;
    }
    if (m_App.UnsolicitedConfirmDue()) {
        if (SendUnsolicitedConfirm() == 0)
            m_App.OnUnsolicitedConfirmSent();
        return true;
    }
    return false;
}

void CQueltProtocol::TakeUnsolicited()
{
    // Whatever the master is doing, an unsolicited response that asks for a confirm gets
    // one, or the RTU repeats it for ever. Once confirmed, its events are gone from the
    // RTU, so whatever it carries is placed like a response's objects.
    for (const CTransport::Result& result : m_Transport.TakeIf(IsUnsolicited)) {
        const std::vector<std::uint8_t>& fragment = result.Fragment;
        if ((fragment[0] & ac::CON) != 0)
            m_App.AskUnsolicitedConfirm(fragment[0] & ac::SEQ);
        OnAnswered();
        WatchIndications(fragment, "主动上送");
        if (fragment.size() > 4)  // objects beyond the IIN
            PushResponse(ToResponseElement(fragment.data(), static_cast<int>(fragment.size())));
    }
}

void CQueltProtocol::RetryOrGiveUp()
{
    if (m_App.Tries() < kTriesBeforeGivingUp) {
        // The request itself is asked again when that is harmless; otherwise the IIN are
        // read (a conformant RTU never answers a confirm, so that makes no probe).
        RetryRequest();
        return;
    }
    // The RTU is silent. Start over from a link reset; the polls resume once it answers,
    // and its IIN say whether it needs the start-up sequence.
    AddAlarm("应用层通信失败 !");
    m_bAnswerLost = true;
    m_App.GiveUp();
    m_Link.ForgetReset();
}

void CQueltProtocol::WaitStep(std::time_t now, int nScanPeriod)
{
    if (const std::optional<CTransport::Result> result = m_Transport.Take()) {
        const std::vector<std::uint8_t>& fragment = result->Fragment;
        if (result->bFailed) {
            m_App.OnBrokenFragment(fragment.empty() ? std::nullopt : std::optional<std::uint8_t>(fragment[0]));
            return;
        }
        if (fragment.size() >= 2 && fragment[1] == fc::RESPONSE) {
            ResponseFragment(fragment, now);
            return;
        }
        // Any other function: the wait goes on.
    }
    m_App.CheckTimeOut(now, 3 * nScanPeriod);
    if (m_App.GetState() == CAppLayer::State::FAILED)
        g_EngineStatus.Count(CEngineStatusBoard::TIME_OUTS);
}

void CQueltProtocol::ResponseFragment(const std::vector<std::uint8_t>& fragment, std::time_t now)
{
    const std::uint8_t byCtrl = fragment[0];
    const bool bFir = (byCtrl & ac::FIR) != 0;
    switch (m_App.OnResponse(byCtrl, now)) {
    case CAppLayer::Verdict::STRAY:
        if (IsLateControlEcho(fragment))
            LateControlEcho(fragment);  // the wait for the request now outstanding goes on
        else
            AddAlarm(!bFir ? "响应首段缺少FIR标志, 已丢弃 !" : "响应序号与请求不符, 已丢弃 !");
        return;
    case CAppLayer::Verdict::ENDS:
        AddAlarm(bFir ? "响应后续分段带FIR标志, 响应中止 !" : "响应分段序号不连续, 响应中止 !");
        return;
    case CAppLayer::Verdict::ANSWER:
        break;
    }
    OnAnswered();
    if (bFir)
        g_EngineStatus.Count(CEngineStatusBoard::ANSWERS);
    if (m_ControlEcho.IsEcho(fragment))
        m_ControlEcho.TakeEcho(fragment, false);
    if (bFir && fragment.size() >= 3)
        m_Planner.FollowIndications(fragment[2], IsAutomatic());
    if (bFir) {
        WatchIndications(fragment, ChineseRequestText(m_RequestSent));
        if (m_App.RequestFunc() == fc::DELAY_MEASURE)
            AddAlarm(m_ClockSync.OnMeasureAnswer(fragment, m_nFirstOctetUs));
    }
    PushResponse(ToResponseElement(fragment.data(), static_cast<int>(fragment.size())), m_App.RequestFunc());
}

void CQueltProtocol::WatchIndications(const std::vector<std::uint8_t>& fragment, const std::string& request)
{
    if (fragment.size() < 4)
        return;
    for (std::string& line : m_IinWatch.OnResponse(fragment[2], fragment[3], request, !IsAutomatic()))
        AddAlarm(std::move(line));
}

void CQueltProtocol::SendNextRequest()
{
    const RequestItem* pItem = m_Planner.Next();
    if (pItem == nullptr)
        return;
    m_NextTry = CAppLayer::Try::NEW;
    if (DispatchRequest(*pItem) == 0)
        m_Planner.OnNextSent();
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
    case fc::RECORD_CURRENT_TIME:
        return true;
    case fc::WRITE:
        return item.byGroup == 50 || item.byGroup == 80;
    default:
        return false;
    }
}

void CQueltProtocol::RetryRequest()
{
    if (!IsRepeatable(m_Planner.Outstanding())) {
        const std::uint8_t readIin[3] = {80, 1, 0x06};
        m_NextTry = CAppLayer::Try::PROBE;
        SendRead(readIin, 3);
        return;
    }
    m_NextTry = CAppLayer::Try::REPEAT;
    DispatchRequest(m_Planner.Outstanding());
}

int CQueltProtocol::DispatchRequest(const RequestItem& item)
{
    const std::uint8_t allObjects[3] = {item.byGroup, item.byVar, 0x06};
    int nResult = 0;
    switch (item.byFunc) {
    case fc::READ:
        nResult = SendRead(allObjects, 3);
        break;
    case fc::WRITE:
        if (item.byGroup == 50) {
            nResult = SendTimeSync();
        } else if (item.byGroup == 80) {
            // IIN bit 7 (device restart) written as 0.
            const std::uint8_t clearRestart[6] = {0x50, 0x01, 0x00, 0x07, 0x07, 0x00};
            nResult = SendWrite(clearRestart, 6);
        }
        break;  // no other write is ever queued: dropped unsent
    case fc::SELECT:
    case fc::OPERATE: {
        if (item.byFunc == fc::OPERATE && !OperateMayFollow())
            return 0;  // dropped unsent
        std::uint8_t control[18];
        const int n = BuildControlObjects(control, g_CtrlCmd.m_nPoint, g_CtrlCmd.m_nCloseTrip, g_CtrlCmd.m_lRelayTime);
        control[0] = item.byGroup;
        control[1] = item.byVar;
        nResult = item.byFunc == fc::SELECT ? SendSelect(control, n) : SendOperate(control, n);
        break;
    }
    case fc::IMMED_FREEZE:
    case fc::IMMED_FREEZE_NR:
    case fc::FREEZE_CLEAR:
    case fc::FREEZE_CLEAR_NR:
        nResult = SendFreeze(item.byFunc, allObjects, 3);
        break;
    case fc::COLD_RESTART:
    case fc::WARM_RESTART:
    case fc::INITIALIZE_DATA:
    case fc::INITIALIZE_APPL:
    case fc::START_APPL:
    case fc::STOP_APPL:
        nResult = SendFunctionOnly(item.byFunc);
        break;
    case fc::DISABLE_UNSOLICITED:
        nResult = SendUnsolicitedCtrl(fc::DISABLE_UNSOLICITED, allObjects, 3);
        break;
    case fc::DELAY_MEASURE:  // the first step of setting the clock, as the line allows
        nResult = UsesLanTimeSync() ? SendRecordCurrentTime() : SendDelayMeasure();
        break;
    default:
        return 0;  // 0, 5, 6, 11, 12, 19, 20, 22, above 23: removed unsent
    }
    if (nResult == 0)
        m_Planner.OnRequestSent(item, Now());
    return nResult;
}
