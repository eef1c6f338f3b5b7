#include "dnp3/ControlEcho.h"

#include <algorithm>

#include "dnp3/AppControl.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/IinWatch.h"

namespace {

constexpr std::size_t kIinEnd = 4;         // objects of a response start after control, function, IIN
constexpr std::size_t kStatusOffset = 17;  // of the control relay output block's header and object
constexpr std::uint8_t kCrobGroup = 12;

}  // namespace

void CControlEcho::OnControlSent(std::uint8_t byFunc, std::uint8_t bySeq, const std::uint8_t* pObjects, int nLength)
{
    m_byFunc = byFunc;
    m_bySeq = bySeq;
    m_Objects.assign(pObjects, pObjects + std::max(nLength, 0));
    m_bAnswerDue = true;
    if (byFunc == fc::SELECT)
        m_SelectOutcome = SelectOutcome::AWAITED;
}

void CControlEcho::OnRequestSent(std::uint8_t bySeq)
{
    if (m_bySeq == bySeq)
        m_bAnswerDue = false;
}

bool CControlEcho::IsEcho(const std::vector<std::uint8_t>& fragment) const
{
    return m_bAnswerDue && !fragment.empty() && (fragment[0] & ac::FIR) != 0 && (fragment[0] & ac::SEQ) == m_bySeq;
}

bool CControlEcho::IsLateEcho(const std::vector<std::uint8_t>& fragment, std::uint8_t byRequestSeq) const
{
    return IsEcho(fragment) && byRequestSeq != m_bySeq && fragment.size() > kIinEnd &&
           fragment[kIinEnd] == kCrobGroup;
}

void CControlEcho::TakeEcho(const std::vector<std::uint8_t>& fragment, bool bLate)
{
    m_bAnswerDue = false;
    if (m_byFunc != fc::SELECT)
        return;
    const bool bSameBlock = fragment.size() > kIinEnd + kStatusOffset && m_Objects.size() > kStatusOffset &&
                            std::equal(m_Objects.begin(), m_Objects.begin() + kStatusOffset, fragment.begin() + kIinEnd);
    if (!bSameBlock) {
        // No echo, but an IIN that says why: the RTU refused the select.
        m_IinRefusal = fragment.size() >= kIinEnd ? IinRefusal(fragment[3]) : "";
        m_SelectOutcome = m_IinRefusal.empty() ? SelectOutcome::MISMATCH : SelectOutcome::REFUSED_BY_IIN;
        return;
    }
    m_bySelectStatus = fragment[kIinEnd + kStatusOffset];
    if (m_bySelectStatus != 0)
        m_SelectOutcome = SelectOutcome::REFUSED;
    else
        m_SelectOutcome = bLate ? SelectOutcome::LATE : SelectOutcome::CONFIRMED;
}

std::optional<std::string> CControlEcho::OperateRefusal() const
{
    switch (m_SelectOutcome) {
    case SelectOutcome::CONFIRMED:
        return std::nullopt;
    case SelectOutcome::REFUSED:
        return "遥控选点返校状态 " + std::to_string(m_bySelectStatus) + ", 遥控执行已取消 !";
    case SelectOutcome::REFUSED_BY_IIN:
        return "遥控选点被拒绝: " + m_IinRefusal + ", 遥控执行已取消 !";
    case SelectOutcome::MISMATCH:
        return "遥控选点返校不符, 遥控执行已取消 !";
    case SelectOutcome::LATE:
        // The IIN read that went between makes a strict RTU refuse the operate anyway.
        return "遥控选点返校超时, 遥控执行已取消 !";
    case SelectOutcome::AWAITED:
    default:
        return "遥控选点无返校, 遥控执行已取消 !";
    }
}
