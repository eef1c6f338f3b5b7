// Selects and operates on the poll thread: the select's echo is judged here, so that the
// operate goes out only after a matching echo with status 0, and a control answered late
// (after the IIN read that replaced it went out) still reports its true outcome.
#include <algorithm>
#include <string>

#include "core/ResponseList.h"
#include "dnp3/AppControl.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"
#include "monitor/AlarmLog.h"

namespace {

constexpr int kIinEnd = 4;          // objects of a response start after control, function, IIN
constexpr int kStatusOffset = 17;   // of the control relay output block's header and object
constexpr std::uint8_t kCrobGroup = 12;

}  // namespace

void CQueltProtocol::RememberControl(std::uint8_t byFunc, std::uint8_t bySeq, const std::uint8_t* pObjects,
                                     int nLength)
{
    m_Control.byFunc = byFunc;
    m_Control.bySeq = bySeq;
    m_Control.Objects.assign(pObjects, pObjects + std::max(nLength, 0));
    m_Control.bAnswerDue = true;
    if (byFunc == fc::SELECT)
        m_SelectOutcome = SelectOutcome::AWAITED;
}

void CQueltProtocol::ForgetControlSeq(std::uint8_t bySeq)
{
    // The sequence comes round again: an echo with it could no longer be told apart.
    if (m_Control.bySeq == bySeq)
        m_Control.bAnswerDue = false;
}

bool CQueltProtocol::IsLateControlEcho(const std::uint8_t* pFragment, int nLength) const
{
    // A single fragment with the control's sequence whose first object is a control
    // relay output block, while another request is awaited.
    return m_Control.bAnswerDue && m_byRequestSeq != m_Control.bySeq && nLength > kIinEnd &&
           (pFragment[0] & ac::FIR) != 0 && (pFragment[0] & ac::SEQ) == m_Control.bySeq &&
           pFragment[kIinEnd] == kCrobGroup;
}

void CQueltProtocol::TakeControlEcho(const std::uint8_t* pFragment, int nLength, bool bLate)
{
    m_Control.bAnswerDue = false;
    if (m_Control.byFunc != fc::SELECT)
        return;
    const int nObjects = nLength - kIinEnd;
    const std::vector<std::uint8_t>& sent = m_Control.Objects;
    const bool bSameBlock = nObjects > kStatusOffset && static_cast<int>(sent.size()) > kStatusOffset &&
                            std::equal(sent.begin(), sent.begin() + kStatusOffset, pFragment + kIinEnd);
    if (!bSameBlock) {
        m_SelectOutcome = SelectOutcome::MISMATCH;
        return;
    }
    m_bySelectStatus = pFragment[kIinEnd + kStatusOffset];
    if (m_bySelectStatus != 0)
        m_SelectOutcome = SelectOutcome::REFUSED;
    else
        m_SelectOutcome = bLate ? SelectOutcome::LATE : SelectOutcome::CONFIRMED;
}

void CQueltProtocol::TakeLateControlEchoes()
{
    // While nothing is awaited a late echo is reported at once, not at the next request.
    std::erase_if(m_TpResults, [this](const TransportResult& result) {
        const std::vector<std::uint8_t>& fragment = result.Fragment;
        if (result.nResult != 1 || fragment.size() < 2 || fragment[1] != fc::RESPONSE ||
            !IsLateControlEcho(fragment.data(), static_cast<int>(fragment.size())))
            return false;
        std::copy(fragment.begin(), fragment.end(), m_AppBuf);
        m_nAppLen = static_cast<int>(fragment.size());
        LateControlEcho();
        return true;
    });
}

bool CQueltProtocol::OperateMayFollow()
{
    // An operate that follows its select in the queue goes out only on a good echo that
    // answered the select itself; one queued alone is the operator's own choice.
    if (m_Outstanding.byFunc != fc::SELECT)
        return true;
    switch (m_SelectOutcome) {
    case SelectOutcome::CONFIRMED:
        return true;
    case SelectOutcome::REFUSED:
        AddAlarm("遥控选点返校状态 " + std::to_string(m_bySelectStatus) + ", 遥控执行已取消 !");
        return false;
    case SelectOutcome::MISMATCH:
        AddAlarm("遥控选点返校不符, 遥控执行已取消 !");
        return false;
    case SelectOutcome::LATE:
        // The IIN read that went between makes a strict RTU refuse the operate anyway.
        AddAlarm("遥控选点返校超时, 遥控执行已取消 !");
        return false;
    case SelectOutcome::AWAITED:
    default:
        AddAlarm("遥控选点无返校, 遥控执行已取消 !");
        return false;
    }
}

void CQueltProtocol::LateControlEcho()
{
    if ((m_AppBuf[0] & ac::CON) != 0) {
        m_bConfirmPending = 1;
        m_byConfirmSeq = m_AppBuf[0] & ac::SEQ;
    }
    TakeControlEcho(m_AppBuf, m_nAppLen, true);
    PushResponse(ToResponseElement(m_AppBuf, m_nAppLen), m_Control.byFunc);
}
