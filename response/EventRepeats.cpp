#include "response/EventRepeats.h"

bool CEventRepeats::IsRepeat(int nPoint, int nState, std::uint32_t dwTime)
{
    const std::uint64_t key = (static_cast<std::uint64_t>(nPoint & 0xFFFF) << 33) |
                              (static_cast<std::uint64_t>(nState & 1) << 32) | dwTime;
    if (m_Seen.contains(key))
        return true;
    if (m_Order.size() >= kRemembered) {
        m_Seen.erase(m_Order.front());
        m_Order.pop_front();
    }
    m_Order.push_back(key);
    m_Seen.insert(key);
    return false;
}
