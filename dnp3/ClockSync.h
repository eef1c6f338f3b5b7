#pragma once
// The RTU's clock as the master sets it. On a serial line the delay measurement's answer
// is read against the moments its request left and its answer came: the one-way delay is
// (round trip - RTU turnaround) / 2, and the time written (50.1) is taken as the write goes
// to the line, in the convention chosen, with that delay added for IEEE 1815 UTC. On a
// network the master notes its time as "record current time" goes out, the RTU its own as
// it arrives, and the master then writes the time it noted (50.3).
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

    // "Record current time" went to the line at this UTC time.
    void OnRecordSent(std::uint64_t qwUtcMs) { m_qwRecordedMs = qwUtcMs; }
    // The six octets of 50.3: the time noted, once; false when none was.
    bool TakeRecordedTime(std::uint8_t (&octets)[6]);

    // The six octets of 50.1 to write at this moment (nFormat a TimeFormat).
    void TimeToWrite(int nFormat, std::uint8_t (&octets)[6]) const;

private:
    std::int64_t m_nMeasureSentUs = -1;
    std::uint64_t m_qwRecordedMs = 0;  // 0: none noted
    int m_nDelayMs = 0;
};
