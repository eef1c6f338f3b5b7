// The request builders: one decision of the poll cycle becomes one application fragment,
// with the reply the master now awaits and the time it was sent.
#include <algorithm>
#include <utility>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "dnp3/AppControl.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"

namespace {

constexpr std::uint8_t kNoObjects[1] = {};

}  // namespace

int CQueltProtocol::SendFragment(std::uint8_t byCtrl, std::uint8_t byFunc, const std::uint8_t* pObjects,
                                 int nLength, bool bConfirmed, bool bRequest)
{
    if (nLength > kMaxObjectOctets)
        return 2;
    std::uint8_t fragment[kMaxObjectOctets + 2];
    fragment[0] = byCtrl;
    fragment[1] = byFunc;
    nLength = std::max(nLength, 0);
    if (nLength > 0)
        std::copy_n(pObjects, nLength, fragment + 2);
    // A confirm sent while the rest of a response is still to come awaits it as well.
    const bool bAwaitApp = bRequest || m_App.IsWaiting();
    return m_Transport.Send(bConfirmed, fragment, nLength + 2, bAwaitApp) ? 0 : 1;
}

int CQueltProtocol::SendRequest(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength, bool bConfirmed)
{
    const std::uint8_t bySeq = m_App.NextSeq();
    const CAppLayer::Try how = std::exchange(m_NextTry, CAppLayer::Try::NEW);
    const int nResult = SendFragment(static_cast<std::uint8_t>(bySeq | ac::FIR | ac::FIN), byFunc, pObjects, nLength,
                                     bConfirmed, true);
    if (nResult == 0) {
        m_RequestSent.assign({static_cast<std::uint8_t>(bySeq | ac::FIR | ac::FIN), byFunc});
        if (nLength > 0)
            m_RequestSent.insert(m_RequestSent.end(), pObjects, pObjects + nLength);
        m_HandOver = HandOver::NONE;
        g_EngineStatus.Count(CEngineStatusBoard::REQUESTS);
        m_App.OnRequestSent(byFunc, how, Now());
        m_ControlEcho.OnRequestSent(bySeq);
        m_Transport.DropFailures();
    }
    return nResult;
}

int CQueltProtocol::SendConfirm()
{
    // The outstation accepts a confirm only with the sequence of the response it confirms.
    const std::uint8_t bySeq = m_App.ConfirmDue().value_or(0) & ac::SEQ;
    return SendFragment(static_cast<std::uint8_t>(bySeq | ac::FIR | ac::FIN), fc::CONFIRM, kNoObjects, 0, false,
                        false);
}

int CQueltProtocol::SendUnsolicitedConfirm()
{
    // UNS set, with the unsolicited response's own sequence.
    const std::uint8_t bySeq = m_App.UnsolicitedConfirmDue().value_or(0) & ac::SEQ;
    const auto byCtrl = static_cast<std::uint8_t>(bySeq | ac::FIR | ac::FIN | ac::UNS);
    return SendFragment(byCtrl, fc::CONFIRM, kNoObjects, 0, false, false);
}

int CQueltProtocol::SendRead(const std::uint8_t* pObjects, int nLength)
{
    return SendRequest(fc::READ, pObjects, nLength, false);
}

int CQueltProtocol::SendWrite(const std::uint8_t* pObjects, int nLength)
{
    return SendRequest(fc::WRITE, pObjects, nLength, false);
}

int CQueltProtocol::SendSelect(const std::uint8_t* pObjects, int nLength)
{
    const int nResult = SendRequest(fc::SELECT, pObjects, nLength, true);
    if (nResult == 0) {
        m_ControlEcho.OnControlSent(fc::SELECT, m_App.RequestSeq(), pObjects, nLength);
        // The time first: the GUI never sees the flag with an older time.
        g_CtrlCmd.m_tSelect.store(Now(), std::memory_order_relaxed);
        g_CtrlCmd.m_bSelectPending.store(1, std::memory_order_release);
    }
    return nResult;
}

int CQueltProtocol::SendOperate(const std::uint8_t* pObjects, int nLength)
{
    const int nResult = SendRequest(fc::OPERATE, pObjects, nLength, true);
    if (nResult == 0) {
        m_ControlEcho.OnControlSent(fc::OPERATE, m_App.RequestSeq(), pObjects, nLength);
        g_CtrlCmd.m_tOperate.store(Now(), std::memory_order_relaxed);
        g_CtrlCmd.m_bOperatePending.store(1, std::memory_order_release);
    }
    return nResult;
}

int CQueltProtocol::SendFreeze(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength)
{
    if (byFunc < fc::IMMED_FREEZE || byFunc > fc::FREEZE_CLEAR_NR)
        return 3;
    return SendRequest(byFunc, pObjects, nLength, false);
}

int CQueltProtocol::SendFunctionOnly(std::uint8_t byFunc)
{
    return SendRequest(byFunc, kNoObjects, 0, false);
}

int CQueltProtocol::SendUnsolicitedCtrl(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength)
{
    if (byFunc != fc::ENABLE_UNSOLICITED && byFunc != fc::DISABLE_UNSOLICITED)
        return 3;
    return SendRequest(byFunc, pObjects, nLength, false);
}

int CQueltProtocol::SendDelayMeasure()
{
    const int nResult = SendRequest(fc::DELAY_MEASURE, kNoObjects, 0, false);
    if (nResult == 0)
        m_HandOver = HandOver::DELAY_MEASURE;
    return nResult;
}

int CQueltProtocol::SendRecordCurrentTime()
{
    const int nResult = SendRequest(fc::RECORD_CURRENT_TIME, kNoObjects, 0, false);
    if (nResult == 0)
        m_HandOver = HandOver::RECORD_TIME;
    return nResult;
}

bool CQueltProtocol::UsesLanTimeSync() const
{
    return m_pLine->IsNetwork() && g_nTimeFormat.load(std::memory_order_relaxed) == TIME_FORMAT_UTC;
}

int CQueltProtocol::SendTimeSync()
{
    std::uint8_t recorded[6];
    if (UsesLanTimeSync() && m_ClockSync.TakeRecordedTime(recorded)) {
        std::uint8_t objects[10] = {0x32, 0x03, 0x07, 0x01};
        std::copy(std::begin(recorded), std::end(recorded), objects + 4);
        return SendWrite(objects, sizeof objects);
    }
    // The time is taken again as the frame goes to the line (AtHandOver).
    std::uint8_t objects[10] = {0x32, 0x01, 0x07, 0x01};
    std::uint8_t time[6];
    m_ClockSync.TimeToWrite(g_nTimeFormat.load(std::memory_order_relaxed), time);
    std::copy(std::begin(time), std::end(time), objects + 4);
    const int nResult = SendWrite(objects, sizeof objects);
    if (nResult == 0)
        m_HandOver = HandOver::TIME_SYNC;
    return nResult;
}

int CQueltProtocol::BuildControlObjects(std::uint8_t* p, int nPoint, int nCloseTrip, std::int32_t lRelayMs)
{
    const auto dwOnTime = static_cast<std::uint32_t>(lRelayMs);
    const std::uint8_t objects[18] = {
        0x0C, 0x01, 0x28, 0x01, 0x00,  // group 12 variation 1, count 1 with 16-bit indexes
        static_cast<std::uint8_t>(nPoint), static_cast<std::uint8_t>(nPoint >> 8),
        static_cast<std::uint8_t>(nCloseTrip == 0 ? 0x40 : 0x80),  // close or trip
        0x01,                                                       // count
        static_cast<std::uint8_t>(dwOnTime), static_cast<std::uint8_t>(dwOnTime >> 8),
        static_cast<std::uint8_t>(dwOnTime >> 16), static_cast<std::uint8_t>(dwOnTime >> 24),
        0x00, 0x00, 0x00, 0x00,  // off-time
        0x00,                    // status
    };
    std::copy(std::begin(objects), std::end(objects), p);
    return static_cast<int>(sizeof objects);
}
