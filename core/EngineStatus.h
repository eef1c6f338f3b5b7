#pragma once
// What the engine tells the status line: whether its port is open, how the link stands,
// and running counts. The poll thread writes it, the GUI reads it without a lock; the
// counts only grow, so a reader that wants them from some moment keeps its own zero.
#include <atomic>
#include <cstdint>
#include <ctime>

enum class LinkHealth : int {
    NOT_RESET,  // the link has not been reset yet
    NORMAL,
    FAILED,  // the RTU stopped answering; until it answers again
};

struct EngineCounts {
    std::uint64_t nRequests = 0;     // application requests sent, retries included
    std::uint64_t nAnswers = 0;      // responses that answered them
    std::uint64_t nTimeOuts = 0;     // waits for an answer that ran out, link or application
    std::uint64_t nCrcFailures = 0;  // frames received with a bad CRC or length
    bool operator==(const EngineCounts&) const = default;
};

// The counts since `zero` was taken.
EngineCounts CountsSince(const EngineCounts& now, const EngineCounts& zero);

struct EngineStatus {
    bool bEngine = false;  // an engine exists (a port was chosen)
    bool bPortOpen = false;
    LinkHealth health = LinkHealth::NOT_RESET;
    std::time_t tLastAnswer = 0;  // 0: none yet
    EngineCounts counts;
    bool operator==(const EngineStatus&) const = default;
};

class CEngineStatusBoard {
public:
    enum Counter { REQUESTS, ANSWERS, TIME_OUTS, CRC_FAILURES, kCounters };

    void Count(Counter counter) { m_Counts[counter].fetch_add(1, std::memory_order_relaxed); }
    void SetLastAnswer(std::time_t t) { m_tLastAnswer.store(t, std::memory_order_relaxed); }
    void SetState(bool bPortOpen, LinkHealth health);
    // The engine is gone (its channel replaced or closed).
    void SetNoEngine();

    EngineStatus Read() const;

private:
    std::atomic<std::uint64_t> m_Counts[kCounters] = {};
    std::atomic<std::time_t> m_tLastAnswer{0};
    std::atomic<bool> m_bEngine{false};
    std::atomic<bool> m_bPortOpen{false};
    std::atomic<int> m_nHealth{static_cast<int>(LinkHealth::NOT_RESET)};
};

// The board of the one engine of the run.
extern CEngineStatusBoard g_EngineStatus;
