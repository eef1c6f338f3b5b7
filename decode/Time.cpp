#include "decode/Time.h"

#include <cstdio>
#include <ctime>

namespace qdec {

namespace {

constexpr std::uint64_t kDayMs = 86'400'000;

std::string ClockText(std::uint64_t qwMsOfDay)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", static_cast<unsigned>(qwMsOfDay / 3'600'000),
                  static_cast<unsigned>(qwMsOfDay / 60'000 % 60), static_cast<unsigned>(qwMsOfDay / 1000 % 60),
                  static_cast<unsigned>(qwMsOfDay % 1000));
    return text;
}

std::string LocalText(std::uint64_t qwMs)
{
    const std::time_t t = static_cast<std::time_t>(qwMs / 1000);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return "?";
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03u", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<unsigned>(qwMs % 1000));
    return text;
}

}  // namespace

std::string TimeText(std::uint64_t qwMs, TimeConvention convention)
{
    if (convention == TimeConvention::Utc)
        return LocalText(qwMs);
    if (qwMs >= 31 * kDayMs)
        return ClockText(qwMs % kDayMs) + " (beyond a month: not a time of this convention)";
    return "day " + std::to_string(qwMs / kDayMs + 1) + " " + ClockText(qwMs % kDayMs);
}

std::string EventTimeText(std::uint64_t qwMs, TimeConvention convention)
{
    if (convention == TimeConvention::Utc)
        return LocalText(qwMs);
    return ClockText((qwMs & 0xFFFFFFFFu) % kDayMs);
}

}  // namespace qdec
