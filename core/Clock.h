#pragma once
// The only place that reads the time. Tests install a FakeClock so that the 3 s, 30 s,
// 300 s and 900 s rules are exercised without waiting.
#include <atomic>
#include <cstdint>
#include <ctime>

// Local date and time with milliseconds (time synchronisation, quarter-hour alignment,
// event lines).
struct LocalTime {
    int nYear = 0;    // e.g. 2026
    int nMonth = 0;   // 1..12
    int nDay = 0;     // 1..31
    int nHour = 0;
    int nMinute = 0;
    int nSecond = 0;
    int nMillisecond = 0;
};

// Milliseconds from 00:00 of the 1st of the month to this local time: how the master sets
// the RTU clock and how event times are counted (at most 31 days, so 32 bits hold it).
std::uint32_t MillisecondsOfMonth(const LocalTime& t);
// Milliseconds from local midnight to this local time.
std::uint32_t MillisecondsOfDay(const LocalTime& t);

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::time_t Now() const = 0;       // calendar time, 1-second resolution
    virtual LocalTime LocalNow() const = 0;  // local date and time with milliseconds
    // The local date and time of a calendar time (milliseconds 0).
    virtual LocalTime LocalAt(std::time_t t) const = 0;
    // Milliseconds on a clock that never jumps, for intervals on the line.
    virtual std::int64_t MonotonicMs() const = 0;
    // Microseconds, for the times of octets on the line: calendar time since 1970, and
    // the clock that never jumps.
    virtual std::int64_t WallUs() const = 0;
    virtual std::int64_t MonotonicUs() const = 0;
};

// The clock in use; the system clock unless a test installed another one.
const IClock& Clock();
// Installs a clock (nullptr restores the system clock). Call before threads start.
void SetClock(const IClock* pClock);

inline std::time_t Now() { return Clock().Now(); }
// UTC milliseconds since 1970, as IEEE 1815 counts time.
inline std::uint64_t UtcMs() { return static_cast<std::uint64_t>(Clock().WallUs() / 1000); }
// The local date and time of UTC milliseconds since 1970.
LocalTime LocalAtMs(std::uint64_t qwMs);
inline std::int64_t MonotonicMs() { return Clock().MonotonicMs(); }
inline std::int64_t MonotonicUs() { return Clock().MonotonicUs(); }

// A clock that moves only when told to. Its local time is the UTC breakdown of its
// calendar time, so tests do not depend on the machine's time zone.
class FakeClock : public IClock {
public:
    explicit FakeClock(std::int64_t nEpochMs = 1'700'000'000'000) : m_nEpochMs(nEpochMs) {}
    std::time_t Now() const override;
    LocalTime LocalNow() const override;
    LocalTime LocalAt(std::time_t t) const override;
    std::int64_t MonotonicMs() const override { return m_nEpochMs; }
    std::int64_t WallUs() const override { return m_nEpochMs * 1000; }
    std::int64_t MonotonicUs() const override { return m_nEpochMs * 1000; }

    void Set(std::int64_t nEpochMs) { m_nEpochMs = nEpochMs; }
    void SetLocal(const LocalTime& t);
    void Advance(std::int64_t nMs) { m_nEpochMs += nMs; }
    void AdvanceSeconds(std::int64_t nSeconds) { Advance(nSeconds * 1000); }

private:
    std::atomic<std::int64_t> m_nEpochMs;
};

// Installs a FakeClock for the lifetime of the guard.
class ScopedFakeClock : public FakeClock {
public:
    using FakeClock::FakeClock;
    ScopedFakeClock() { SetClock(this); }
    ~ScopedFakeClock() override { SetClock(nullptr); }
    ScopedFakeClock(const ScopedFakeClock&) = delete;
    ScopedFakeClock& operator=(const ScopedFakeClock&) = delete;
};
