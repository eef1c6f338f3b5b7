#include "sim/SimDatabase.h"

#include <algorithm>

CSimDatabase::CSimDatabase(int nYx, int nYc, int nYm, unsigned nSeed, int nBinaryClass, int nAnalogClass)
    : m_Yx(static_cast<std::size_t>(std::max(nYx, 1))), m_Yc(static_cast<std::size_t>(std::max(nYc, 1))),
      m_Ym(static_cast<std::size_t>(std::max(nYm, 1))), m_Frozen(m_Ym.size()), m_Random(nSeed),
      m_nBinaryClass(std::clamp(nBinaryClass, 1, 3)), m_nAnalogClass(std::clamp(nAnalogClass, 1, 3))
{
    // A recognisable start: every third input on, analogs rising with their index.
    for (std::size_t i = 0; i < m_Yx.size(); ++i)
        m_Yx[i] = i % 3 == 0 ? 1 : 0;
    for (std::size_t i = 0; i < m_Yc.size(); ++i)
        m_Yc[i] = static_cast<std::int16_t>(static_cast<int>(i * 100 % 30000) - 5000);
    for (std::size_t i = 0; i < m_Ym.size(); ++i)
        m_Ym[i] = static_cast<std::uint32_t>(i * 1000);
}

void CSimDatabase::Evolve(std::uint64_t qwNow)
{
    std::uniform_int_distribution<int> yx(0, YxCount() - 1);
    const int nPoint = yx(m_Random);
    SetBinary(nPoint, m_Yx[static_cast<std::size_t>(nPoint)] ^ 1, qwNow);

    std::uniform_int_distribution<int> yc(0, YcCount() - 1);
    std::uniform_int_distribution<int> drift(-300, 300);
    for (int n = 0; n < 2; ++n) {
        const int nPoint = yc(m_Random);
        SetAnalog(nPoint, m_Yc[static_cast<std::size_t>(nPoint)] + drift(m_Random), qwNow);
    }
    for (std::size_t i = 0; i < m_Ym.size(); ++i)
        m_Ym[i] += static_cast<std::uint32_t>(i % 7 + 1);
}

void CSimDatabase::SetBinary(int nPoint, int nState, std::uint64_t qwNow)
{
    if (nPoint < 0 || nPoint >= YxCount() || m_Yx[static_cast<std::size_t>(nPoint)] == nState)
        return;
    m_Yx[static_cast<std::size_t>(nPoint)] = nState;
    AddEvent(SimEvent::BINARY, nPoint, nState, qwNow);
}

void CSimDatabase::SetAnalog(int nPoint, int nValue, std::uint64_t qwNow)
{
    if (nPoint < 0 || nPoint >= YcCount())
        return;
    std::int16_t& nOld = m_Yc[static_cast<std::size_t>(nPoint)];
    nValue = std::clamp(nValue, -32768, 32767);
    if (std::abs(nValue - nOld) >= 100)  // the deadband
        AddEvent(SimEvent::ANALOG, nPoint, nValue, qwNow);
    nOld = static_cast<std::int16_t>(nValue);
}

void CSimDatabase::Freeze(bool bClear)
{
    m_Frozen = m_Ym;
    if (bClear)
        std::fill(m_Ym.begin(), m_Ym.end(), 0u);
}

void CSimDatabase::AddEvent(SimEvent::Kind kind, int nPoint, int nValue, std::uint64_t qwNow)
{
    const int nClass = kind == SimEvent::ANALOG ? m_nAnalogClass : m_nBinaryClass;
    SimEvent event{kind, nClass, nPoint, nValue, qwNow, -1, m_nNextId++};
    m_History.push_back(event);
    if (m_Events.size() >= kMaxEvents) {
        m_Dropped.push_back(m_Events.front());
        m_Events.pop_front();
        m_bOverflow = true;
    }
    m_Events.push_back(event);
}

std::vector<SimEvent> CSimDatabase::PendingEvents(unsigned uClasses, unsigned uKinds) const
{
    std::vector<SimEvent> events;
    for (const SimEvent& e : m_Events)
        if ((uKinds & e.kind) != 0 && (uClasses >> e.nClass & 1u) != 0)
            events.push_back(e);
    return events;
}

void CSimDatabase::MarkSent(const std::vector<std::uint64_t>& ids, int nSeq)
{
    for (SimEvent& e : m_Events)
        if (std::find(ids.begin(), ids.end(), e.nId) != ids.end())
            e.nSentInSeq = nSeq;
}

bool CSimDatabase::HasEvents(int nClass) const
{
    return std::any_of(m_Events.begin(), m_Events.end(), [nClass](const SimEvent& e) { return e.nClass == nClass; });
}

void CSimDatabase::Confirm(int nSeq)
{
    if (std::erase_if(m_Events, [nSeq](const SimEvent& e) { return e.nSentInSeq == nSeq; }) > 0)
        m_bOverflow = false;  // the master has taken events: there is room again
}
