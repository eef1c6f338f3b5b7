#include "core/EngineStatus.h"

CEngineStatusBoard g_EngineStatus;

EngineCounts CountsSince(const EngineCounts& now, const EngineCounts& zero)
{
    return {now.nRequests - zero.nRequests, now.nAnswers - zero.nAnswers, now.nTimeOuts - zero.nTimeOuts,
            now.nCrcFailures - zero.nCrcFailures};
}

void CEngineStatusBoard::SetState(bool bPortOpen, LinkHealth health)
{
    m_bPortOpen.store(bPortOpen, std::memory_order_relaxed);
    m_nHealth.store(static_cast<int>(health), std::memory_order_relaxed);
    m_bEngine.store(true, std::memory_order_relaxed);
}

void CEngineStatusBoard::SetNoEngine()
{
    m_bEngine.store(false, std::memory_order_relaxed);
    m_bPortOpen.store(false, std::memory_order_relaxed);
}

EngineStatus CEngineStatusBoard::Read() const
{
    EngineStatus s;
    s.bEngine = m_bEngine.load(std::memory_order_relaxed);
    s.bPortOpen = m_bPortOpen.load(std::memory_order_relaxed);
    s.health = static_cast<LinkHealth>(m_nHealth.load(std::memory_order_relaxed));
    s.tLastAnswer = m_tLastAnswer.load(std::memory_order_relaxed);
    s.counts = {m_Counts[REQUESTS].load(std::memory_order_relaxed), m_Counts[ANSWERS].load(std::memory_order_relaxed),
                m_Counts[TIME_OUTS].load(std::memory_order_relaxed),
                m_Counts[CRC_FAILURES].load(std::memory_order_relaxed)};
    return s;
}
