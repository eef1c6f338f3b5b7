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

constexpr std::size_t kIinEnd = 4;          // objects of a response start after control, function, IIN
constexpr std::size_t kStatusOffset = 17;   // of the control relay output block's header and object
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

bool CQueltProtocol::IsLateControlEcho(const std::vector<std::uint8_t>& fragment) const
{
    // A single fragment with the control's sequence whose first object is a control
    // relay output block, while another request is awaited.
    return m_Control.bAnswerDue && m_App.RequestSeq() != m_Control.bySeq && fragment.size() > kIinEnd &&
           (fragment[0] & ac::FIR) != 0 && (fragment[0] & ac::SEQ) == m_Control.bySeq &&
           fragment[kIinEnd] == kCrobGroup;
}

void CQueltProtocol::TakeControlEcho(const std::vector<std::uint8_t>& fragment, bool bLate)
{
    m_Control.bAnswerDue = false;
    if (m_Control.byFunc != fc::SELECT)
        return;
    const std::vector<std::uint8_t>& sent = m_Control.Objects;
    const bool bSameBlock = fragment.size() > kIinEnd + kStatusOffset && sent.size() > kStatusOffset &&
                            std::equal(sent.begin(), sent.begin() + kStatusOffset, fragment.begin() + kIinEnd);
    if (!bSameBlock) {
        m_SelectOutcome = SelectOutcome::MISMATCH;
        return;
    }
    m_bySelectStatus = fragment[kIinEnd + kStatusOffset];
    if (m_bySelectStatus != 0)
        m_SelectOutcome = SelectOutcome::REFUSED;
    else
        m_SelectOutcome = bLate ? SelectOutcome::LATE : SelectOutcome::CONFIRMED;
}

void CQueltProtocol::TakeLateControlEchoes()
{
    // While nothing is awaited a late echo is reported at once, not at the next request.
    const auto isLateEcho = [this](const CTransport::Result& result) {
        return !result.bFailed && result.Fragment.size() >= 2 && result.Fragment[1] == fc::RESPONSE &&
               IsLateControlEcho(result.Fragment);
    };
    for (const CTransport::Result& result : m_Transport.TakeIf(isLateEcho))
        LateControlEcho(result.Fragment);
}

bool CQueltProtocol::OperateMayFollow()
{
    // An operate that follows its select in the queue goes out only on a good echo that
    // answered the select itself; one queued alone is the operator's own choice.
    if (m_Planner.Outstanding().byFunc != fc::SELECT)
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

void CQueltProtocol::LateControlEcho(const std::vector<std::uint8_t>& fragment)
{
    if ((fragment[0] & ac::CON) != 0)
        m_App.AskConfirm(fragment[0] & ac::SEQ);
    TakeControlEcho(fragment, true);
    PushResponse(ToResponseElement(fragment.data(), static_cast<int>(fragment.size())), m_Control.byFunc);
}
