// The request builders: one decision of the poll cycle becomes one application fragment,
// with the reply the master now awaits and the time it was sent.
#include <algorithm>

#include "commands/CommandQueue.h"
#include "core/Clock.h"
#include "dnp3/AppControl.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"

namespace {

enum Service { CONFIRMED = 2, UNCONFIRMED = 1, READINESS = 4 };

constexpr std::uint8_t kNoObjects[1] = {};

}  // namespace

int CQueltProtocol::SendFragment(std::uint8_t byCtrl, std::uint8_t byFunc, const std::uint8_t* pObjects,
                                 int nLength, int nService, int nRtu, int nMaster, std::uint8_t byWait)
{
    if (nLength > kMaxObjectOctets)
        return 2;
    if (TransportSend(READINESS, nRtu, nMaster, nullptr, 0, 0) != 0)
        return 1;
    std::uint8_t fragment[kMaxObjectOctets + 2];
    fragment[0] = byCtrl;
    fragment[1] = byFunc;
    nLength = std::max(nLength, 0);
    if (nLength > 0)
        std::copy_n(pObjects, nLength, fragment + 2);
    // The wait bits must be set while the frame is queued: its element carries them.
    const std::uint8_t byWaitBefore = m_byAppWait;
    if (byWait != 0)
        m_byAppWait = byWait;
    if (TransportSend(nService, nRtu, nMaster, fragment, nLength + 2, 0) != 0) {
        m_byAppWait = byWait != 0 ? 0 : byWaitBefore;
        return 1;
    }
    return 0;
}

int CQueltProtocol::SendRequest(std::uint8_t byFunc, const std::uint8_t* pObjects, int nLength,
                                int nService, int nRtu, int nMaster)
{
    const std::uint8_t bySeq = m_byAppSeq;
    const int nResult = SendFragment(static_cast<std::uint8_t>(bySeq | ac::FIR | ac::FIN), byFunc, pObjects, nLength,
                                     nService, nRtu, nMaster, WAIT_RESPONSE);
    if (nResult == 0) {
        // Only requests step the counter: a confirm echoes the response it confirms, and
        // an operate must carry its select's sequence plus one.
        m_byAppSeq = static_cast<std::uint8_t>((bySeq + 1) & ac::SEQ);
        ForgetControlSeq(bySeq);
        m_nAppRetry = 0;
        m_tRequest = Now();
        DropEarlierFailures();
        // Its response echoes the sequence; a response still under way is abandoned.
        if (m_bRetrying != 0)
            m_EarlierTrySeqs.push_back(m_byRequestSeq);
        else
            m_EarlierTrySeqs.clear();
        m_byRequestFunc = byFunc;
        m_byRequestSeq = bySeq;
        m_bInResponse = 0;
    }
    return nResult;
}

int CQueltProtocol::SendConfirm(int nRtu, int nMaster)
{
    // The outstation accepts a confirm only with the sequence of the response it confirms.
    return SendFragment(static_cast<std::uint8_t>((m_byConfirmSeq & ac::SEQ) | ac::FIR | ac::FIN), fc::CONFIRM, kNoObjects,
                        0, UNCONFIRMED, nRtu, nMaster, 0);
}

int CQueltProtocol::SendUnsolicitedConfirm(int nRtu, int nMaster)
{
    // UNS set, with the unsolicited response's own sequence.
    const auto byCtrl = static_cast<std::uint8_t>((m_byUnsolConfirmSeq & ac::SEQ) | ac::FIR | ac::FIN | ac::UNS);
    return SendFragment(byCtrl, fc::CONFIRM, kNoObjects, 0, UNCONFIRMED, nRtu, nMaster, 0);
}

int CQueltProtocol::SendRead(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength)
{
    return SendRequest(fc::READ, pObjects, nLength, UNCONFIRMED, nRtu, nMaster);
}

int CQueltProtocol::SendWrite(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength)
{
    return SendRequest(fc::WRITE, pObjects, nLength, UNCONFIRMED, nRtu, nMaster);
}

int CQueltProtocol::SendSelect(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength)
{
    const int nResult = SendRequest(fc::SELECT, pObjects, nLength, CONFIRMED, nRtu, nMaster);
    if (nResult == 0) {
        RememberControl(fc::SELECT, m_byRequestSeq, pObjects, nLength);
        // The time first: the GUI never sees the flag with an older time.
        g_CtrlCmd.m_tSelect.store(Now(), std::memory_order_relaxed);
        g_CtrlCmd.m_bSelectPending.store(1, std::memory_order_release);
    }
    return nResult;
}

int CQueltProtocol::SendOperate(int nRtu, int nMaster, const std::uint8_t* pObjects, int nLength)
{
    const int nResult = SendRequest(fc::OPERATE, pObjects, nLength, CONFIRMED, nRtu, nMaster);
    if (nResult == 0) {
        RememberControl(fc::OPERATE, m_byRequestSeq, pObjects, nLength);
        g_CtrlCmd.m_tOperate.store(Now(), std::memory_order_relaxed);
        g_CtrlCmd.m_bOperatePending.store(1, std::memory_order_release);
    }
    return nResult;
}

int CQueltProtocol::SendFreeze(int nRtu, int nMaster, std::uint8_t byFunc, const std::uint8_t* pObjects,
                               int nLength)
{
    if (byFunc < fc::IMMED_FREEZE || byFunc > fc::FREEZE_CLEAR_NR)
        return 3;
    return SendRequest(byFunc, pObjects, nLength, UNCONFIRMED, nRtu, nMaster);
}

int CQueltProtocol::SendFunctionOnly(int nRtu, int nMaster, std::uint8_t byFunc)
{
    return SendRequest(byFunc, kNoObjects, 0, UNCONFIRMED, nRtu, nMaster);
}

int CQueltProtocol::SendUnsolicitedCtrl(int nRtu, int nMaster, std::uint8_t byFunc,
                                        const std::uint8_t* pObjects, int nLength)
{
    if (byFunc != fc::ENABLE_UNSOLICITED && byFunc != fc::DISABLE_UNSOLICITED)
        return 3;
    return SendRequest(byFunc, pObjects, nLength, UNCONFIRMED, nRtu, nMaster);
}

int CQueltProtocol::SendDelayMeasure(int nRtu, int nMaster)
{
    return SendRequest(fc::DELAY_MEASURE, kNoObjects, 0, UNCONFIRMED, nRtu, nMaster);
}

int CQueltProtocol::SendTimeSync(int nRtu, int nMaster)
{
    const std::uint32_t dwMs = MillisecondsOfMonth(Clock().LocalNow());
    const std::uint8_t objects[10] = {0x32,
                                      0x01,
                                      0x07,
                                      0x01,
                                      static_cast<std::uint8_t>(dwMs),
                                      static_cast<std::uint8_t>(dwMs >> 8),
                                      static_cast<std::uint8_t>(dwMs >> 16),
                                      static_cast<std::uint8_t>(dwMs >> 24),
                                      0x00,
                                      0x00};
    return SendWrite(nRtu, nMaster, objects, sizeof objects);
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
