// Selects and operates on the poll thread: the select's echo is judged here, so that the
// operate goes out only after a matching echo with status 0, and a control answered late
// (after the IIN read that replaced it went out) still reports its true outcome.
#include "core/ResponseList.h"
#include "dnp3/AppControl.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"
#include "monitor/AlarmLog.h"

bool CQueltProtocol::IsLateControlEcho(const std::vector<std::uint8_t>& fragment) const
{
    return m_ControlEcho.IsLateEcho(fragment, m_App.RequestSeq());
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
    const std::optional<std::string> refusal = m_ControlEcho.OperateRefusal();
    if (refusal)
        AddAlarm(*refusal);
    return !refusal;
}

void CQueltProtocol::LateControlEcho(const std::vector<std::uint8_t>& fragment)
{
    if ((fragment[0] & ac::CON) != 0)
        m_App.AskConfirm(fragment[0] & ac::SEQ);
    m_ControlEcho.TakeEcho(fragment, true);
    PushResponse(ToResponseElement(fragment.data(), static_cast<int>(fragment.size())), m_ControlEcho.Func());
}
