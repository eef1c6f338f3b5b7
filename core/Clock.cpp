#include "core/Clock.h"

#include <chrono>

namespace {

LocalTime Breakdown(std::int64_t nEpochMs, bool bLocal)
{
    const std::time_t t = static_cast<std::time_t>(nEpochMs / 1000);
    std::tm tm{};
    if (bLocal)
        localtime_r(&t, &tm);
    else
        gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     static_cast<int>(nEpochMs % 1000)};
}

class SystemClock : public IClock {
public:
    std::time_t Now() const override { return std::time(nullptr); }
    LocalTime LocalNow() const override
    {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
        return Breakdown(ms.count(), true);
    }
    LocalTime LocalAt(std::time_t t) const override { return Breakdown(static_cast<std::int64_t>(t) * 1000, true); }
    std::int64_t MonotonicMs() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    std::int64_t WallUs() const override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    }
    std::int64_t MonotonicUs() const override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

const SystemClock g_SystemClock;
std::atomic<const IClock*> g_pClock{&g_SystemClock};

}  // namespace

std::uint32_t MillisecondsOfDay(const LocalTime& t)
{
    return static_cast<std::uint32_t>((t.nHour * 60 + t.nMinute) * 60 + t.nSecond) * 1000u +
           static_cast<std::uint32_t>(t.nMillisecond);
}

std::uint32_t MillisecondsOfMonth(const LocalTime& t)
{
    return static_cast<std::uint32_t>(t.nDay - 1) * 86'400'000u + MillisecondsOfDay(t);
}

LocalTime LocalAtMs(std::uint64_t qwMs)
{
    LocalTime t = Clock().LocalAt(static_cast<std::time_t>(qwMs / 1000));
    t.nMillisecond = static_cast<int>(qwMs % 1000);
    return t;
}

const IClock& Clock() { return *g_pClock.load(std::memory_order_acquire); }

void SetClock(const IClock* pClock)
{
    g_pClock.store(pClock ? pClock : &g_SystemClock, std::memory_order_release);
}

std::time_t FakeClock::Now() const { return static_cast<std::time_t>(m_nEpochMs / 1000); }

LocalTime FakeClock::LocalNow() const { return Breakdown(m_nEpochMs, false); }

LocalTime FakeClock::LocalAt(std::time_t t) const { return Breakdown(static_cast<std::int64_t>(t) * 1000, false); }

void FakeClock::SetLocal(const LocalTime& t)
{
    std::tm tm{};
    tm.tm_year = t.nYear - 1900;
    tm.tm_mon = t.nMonth - 1;
    tm.tm_mday = t.nDay;
    tm.tm_hour = t.nHour;
    tm.tm_min = t.nMinute;
    tm.tm_sec = t.nSecond;
    m_nEpochMs = static_cast<std::int64_t>(timegm(&tm)) * 1000 + t.nMillisecond;
}
