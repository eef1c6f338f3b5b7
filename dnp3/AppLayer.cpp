#include "dnp3/AppLayer.h"

#include <algorithm>

#include "dnp3/AppControl.h"

void CAppLayer::OnRequestSent(std::uint8_t byFunc, Try how, std::time_t now)
{
    const std::uint8_t bySeq = m_byNextSeq;
    // Only requests step the counter: a confirm echoes the response it confirms, and an
    // operate must carry its select's sequence plus one.
    m_byNextSeq = static_cast<std::uint8_t>((bySeq + 1) & ac::SEQ);
    if (how == Try::REPEAT)
        m_EarlierTrySeqs.push_back(m_byRequestSeq);
    else
        m_EarlierTrySeqs.clear();
    m_nTries = how == Try::NEW ? 0 : m_nTries + 1;
    m_byRequestFunc = byFunc;
    m_byRequestSeq = bySeq;
    m_tRequest = now;
    m_State = State::AWAIT_FIRST;  // a response still under way is abandoned
}

bool CAppLayer::IsAwaited(std::uint8_t byCtrl) const
{
    const std::uint8_t bySeq = byCtrl & ac::SEQ;
    const bool bFir = (byCtrl & ac::FIR) != 0;
    switch (m_State) {
    case State::AWAIT_NEXT:
        return !bFir && bySeq == m_byNextRespSeq;
    case State::AWAIT_FIRST: {
        // The first fragment echoes the request's sequence, or that of an earlier try of it
        // answered late, unless it asks for a confirm: the RTU accepts a confirm only for
        // its newest response, so its events would come again.
        const bool bEarlierTry = (byCtrl & ac::CON) == 0 &&
                                 std::find(m_EarlierTrySeqs.begin(), m_EarlierTrySeqs.end(), bySeq) !=
                                     m_EarlierTrySeqs.end();
        return bFir && (bySeq == m_byRequestSeq || bEarlierTry);
    }
    default:
        return false;
    }
}

CAppLayer::Verdict CAppLayer::OnResponse(std::uint8_t byCtrl, std::time_t now)
{
    if (!IsAwaited(byCtrl)) {
        if (m_State != State::AWAIT_NEXT)
            return Verdict::STRAY;
        // The rest of the response cannot be trusted to belong together.
        m_State = State::IDLE;
        return Verdict::ENDS;
    }
    const std::uint8_t bySeq = byCtrl & ac::SEQ;
    m_nTries = 0;
    m_tRequest = now;  // each fragment gives the next one the whole time-out
    if ((byCtrl & ac::CON) != 0)
        AskConfirm(bySeq);
    if ((byCtrl & ac::FIN) != 0) {
        m_State = State::IDLE;
    } else {
        m_State = State::AWAIT_NEXT;
        m_byNextRespSeq = static_cast<std::uint8_t>((bySeq + 1) & ac::SEQ);
    }
    return Verdict::ANSWER;
}

void CAppLayer::OnFlowing(std::uint8_t byCtrl, std::time_t now)
{
    // At 1200 bit/s a fragment of 2048 octets takes longer than the whole time-out.
    if (IsAwaited(byCtrl))
        m_tRequest = now;
}

void CAppLayer::OnBrokenFragment(std::optional<std::uint8_t> byCtrl)
{
    if (!IsWaiting())
        return;
    if (byCtrl && !IsAwaited(*byCtrl))
        return;  // a broken fragment of an earlier exchange: the wait goes on
    m_State = State::FAILED;
}

void CAppLayer::CheckTimeOut(std::time_t now, int nLimitSeconds)
{
    if (IsWaiting() && now - m_tRequest > nLimitSeconds) {
        m_State = State::FAILED;
        m_tRequest = now;
    }
}

void CAppLayer::GiveUp()
{
    m_State = State::IDLE;
    m_nTries = 0;
    m_ConfirmDue.reset();
}
