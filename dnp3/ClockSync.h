#pragma once
// The RTU's clock as the master sets it. The delay measurement's answer is read against
// the moments its request left and its answer came: the one-way delay is (round trip -
// RTU turnaround) / 2. The time written is taken as the write goes to the line, in the
// convention chosen, with that delay added for IEEE 1815 UTC.
#include <cstdint>
#include <span>
#include <string>

class CClockSync {
public:
    // The delay measurement went to the line at this monotonic time.
    void OnMeasureSent(std::int64_t nSentUs) { m_nMeasureSentUs = nSentUs; }
    // Its answer (control, function, IIN, objects), whose first octet came at nReceivedUs:
    // the delay is taken, and the line for the alarm window returned.
    std::string OnMeasureAnswer(std::span<const std::uint8_t> fragment, std::int64_t nReceivedUs);
    int DelayMs() const { return m_nDelayMs; }

    // The six octets of 50.1 to write at this moment (nFormat a TimeFormat).
    void TimeToWrite(int nFormat, std::uint8_t (&octets)[6]) const;

private:
    std::int64_t m_nMeasureSentUs = -1;
    int m_nDelayMs = 0;
};
