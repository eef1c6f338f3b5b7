#pragma once
// DNP3 48-bit times in the convention the master is set to.
#include <cstdint>
#include <string>

namespace qdec {

enum class TimeConvention {
    MonthRelative,  // milliseconds since 00:00 local time of the 1st of the month
    Utc,            // IEEE 1815: UTC milliseconds since 1970
};

// "day 11 07:08:16.123" (month-relative) or "2026-12-11 07:08:16.123" (local time of a
// UTC time); a value no month holds is said so.
std::string TimeText(std::uint64_t qwMs, TimeConvention convention);
// An event's absolute time; month-relative ones keep only the time of day, as the master
// lists them: "07:08:16.123".
std::string EventTimeText(std::uint64_t qwMs, TimeConvention convention);

}  // namespace qdec
