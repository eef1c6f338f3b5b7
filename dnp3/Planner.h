#pragma once
// What the master asks next, apart from how it asks: in automatic mode the start-up
// sequence, then a batch of polls per scan period with the periodic counter, clock and
// static-data requests; in manual mode the operator's command queue, run by run.
#include <cstdint>
#include <ctime>
#include <deque>

struct RequestItem {
    std::uint8_t byFunc;
    std::uint8_t byGroup;
    std::uint8_t byVar;
};

class CPlanner {
public:
    explicit CPlanner(std::time_t now) : m_tLastScan(now) {}

    // Fills the lists when they ran empty and the scan period is over.
    void Plan(std::time_t now, int nScanPeriod, bool bAutomatic);
    // The request to send next (start-up requests first), or none.
    const RequestItem* Next() const;
    // Next() went out: it becomes the outstanding request.
    void OnNextSent();
    // A request went out (first time or again): the periodic requests count from now.
    void OnRequestSent(const RequestItem& item, std::time_t now);
    const RequestItem& Outstanding() const { return m_Outstanding; }
    bool HasRequests() const { return !m_listInit.empty() || !m_listPoll.empty(); }

    // A new connection: what was planned is dropped (the operator's queue stays where it
    // is) and automatic mode starts with the start-up sequence, at once.
    void Restart();

    // Restart (IIN1.7) and need-time (IIN1.4) as the RTU reports them.
    void FollowIndications(std::uint8_t byIin1, bool bAutomatic);

    // The start of the quarter hour in which the counters were last read.
    std::time_t LastCounterRead() const { return m_tLastCounter; }

private:
    void PlanAutomatic(std::time_t now, int nScanPeriod);
    void PlanManual(std::time_t now, int nScanPeriod);

    std::deque<RequestItem> m_listInit;  // start-up requests, served first
    std::deque<RequestItem> m_listPoll;  // periodic requests, polls, the manual queue
    RequestItem m_Outstanding{};          // the request last sent
    std::time_t m_tLastScan;
    // Far in the past, so the first periodic checks fire.
    std::time_t m_tLastTimeSync = 0;
    std::time_t m_tLastAnalog = 0;
    std::time_t m_tLastCounter = 0;
    bool m_bInitNeeded = true;
    bool m_bRestartCleared = false;  // a response since the last restart had IIN1.7 clear
};
