#include "response/EventRepeats.h"

bool CEventRepeats::IsRepeat(int nPoint, int nState, std::uint64_t qwTime)
{
    const Key key{qwTime, static_cast<std::uint32_t>(nPoint & 0xFFFF) << 1 | static_cast<std::uint32_t>(nState & 1)};
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
