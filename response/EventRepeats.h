#pragma once
// Time-tagged events seen lately. An RTU whose confirm was lost on the line sends the same
// events again (as it must); an event identical to one just listed (same point, state and
// time to the millisecond) is such a repeat, never a second change: no point takes the
// same state twice in one millisecond.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_set>

class CEventRepeats {
public:
    // Enough for the events of several full responses.
    static constexpr std::size_t kRemembered = 1024;

    // True when the event was seen lately; otherwise it is remembered.
    bool IsRepeat(int nPoint, int nState, std::uint32_t dwTime);

private:
    std::deque<std::uint64_t> m_Order;  // oldest first
    std::unordered_set<std::uint64_t> m_Seen;
};
