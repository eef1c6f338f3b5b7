#pragma once
// Time-tagged events seen lately. An RTU whose confirm was lost on the line sends the same
// events again (as it must); an event identical to one just listed (same point, state and
// time to the millisecond) is such a repeat, never a second change: no point takes the
// same state twice in one millisecond.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_set>

class CEventRepeats {
public:
    // Enough for the events of several full responses.
    static constexpr std::size_t kRemembered = 1024;

    // True when the event was seen lately; otherwise it is remembered.
    bool IsRepeat(int nPoint, int nState, std::uint64_t qwTime);

private:
    struct Key {
        std::uint64_t qwTime;
        std::uint32_t dwPointState;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const { return std::hash<std::uint64_t>()(k.qwTime * 31 + k.dwPointState); }
    };
    std::deque<Key> m_Order;  // oldest first
    std::unordered_set<Key, KeyHash> m_Seen;
};
