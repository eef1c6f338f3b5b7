#include "dnp3/ClockSync.h"

#include <algorithm>
#include <utility>

#include "core/Clock.h"
#include "core/Config.h"

namespace {

constexpr std::size_t kObjects = 4;  // after control, function and IIN
constexpr std::uint8_t kTimeDelay = 52;
constexpr std::uint8_t kCount8 = 0x07;

// The RTU's turnaround in ms from 52.1 (seconds) or 52.2 (milliseconds); -1 when the
// answer carries neither.
int Turnaround(std::span<const std::uint8_t> f)
{
    if (f.size() < kObjects + 6 || f[kObjects] != kTimeDelay || f[kObjects + 2] != kCount8 || f[kObjects + 3] < 1)
        return -1;
    const int nValue = f[kObjects + 4] | (f[kObjects + 5] << 8);
    switch (f[kObjects + 1]) {
    case 1:
        return nValue * 1000;
    case 2:
        return nValue;
    default:
        return -1;
    }
}

}  // namespace

std::string CClockSync::OnMeasureAnswer(std::span<const std::uint8_t> fragment, std::int64_t nReceivedUs)
{
    const int nTurnaroundMs = Turnaround(fragment);
    const std::int64_t nSentUs = std::exchange(m_nMeasureSentUs, -1);
    m_nDelayMs = 0;
    if (nTurnaroundMs < 0)
        return "时延测量: 回答中没有时延对象(52.1/52.2), 单程时延按 0 ms 计";
    const std::string rtu = "RTU处理 " + std::to_string(nTurnaroundMs) + " ms";
    if (nSentUs < 0 || nReceivedUs < nSentUs)
        return "时延测量: " + rtu + ", 往返时间未知, 单程时延按 0 ms 计";
    const auto nRoundTripMs = static_cast<int>(std::min<std::int64_t>((nReceivedUs - nSentUs) / 1000, 3'600'000));
    // A turnaround longer than the round trip (an RTU that counts from the request's end)
    // leaves no delay to allow for.
    m_nDelayMs = std::max(0, (nRoundTripMs - nTurnaroundMs) / 2);
    return "时延测量: 往返 " + std::to_string(nRoundTripMs) + " ms, " + rtu + ", 单程时延 " +
           std::to_string(m_nDelayMs) + " ms";
}

bool CClockSync::TakeRecordedTime(std::uint8_t (&octets)[6])
{
    const std::uint64_t qwMs = std::exchange(m_qwRecordedMs, 0);
    for (int i = 0; i < 6; ++i)
        octets[i] = static_cast<std::uint8_t>(qwMs >> (8 * i));
    return qwMs != 0;
}

void CClockSync::TimeToWrite(int nFormat, std::uint8_t (&octets)[6]) const
{
    const std::uint64_t qwMs = nFormat == TIME_FORMAT_UTC ? UtcMs() + static_cast<std::uint64_t>(m_nDelayMs)
                                                   : MillisecondsOfMonth(Clock().LocalNow());
    for (int i = 0; i < 6; ++i)
        octets[i] = static_cast<std::uint8_t>(qwMs >> (8 * i));
}
