#pragma once
// The simulated RTU's points and its event buffer. Values live: binary inputs toggle,
// analogs drift and counters count; every change of a binary or analog input becomes an
// event, in the class the options give its kind, that stays buffered until the master
// confirms the response that carried it. A full buffer drops its oldest event and says so
// (IIN2.3) until the master has taken events again.
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

struct SimEvent {
    enum Kind { BINARY = 1, ANALOG = 2 } kind;  // also bits of a kind mask
    int nClass;           // 1..3
    int nPoint;
    int nValue;           // binary: 0/1; analog: the new value
    std::uint64_t qwTime; // RTU time in ms, 48 bits, in the convention its clock keeps
    int nSentInSeq = -1;  // application sequence of the response that carried it, -1 unsent
    std::uint64_t nId = 0;  // unique, in the order the events happened
};

class CSimDatabase {
public:
    CSimDatabase(int nYx, int nYc, int nYm, unsigned nSeed = 1815, int nBinaryClass = 1, int nAnalogClass = 2);

    int YxCount() const { return static_cast<int>(m_Yx.size()); }
    int YcCount() const { return static_cast<int>(m_Yc.size()); }
    int YmCount() const { return static_cast<int>(m_Ym.size()); }
    int Yx(int i) const { return m_Yx[static_cast<std::size_t>(i)]; }
    std::int16_t Yc(int i) const { return m_Yc[static_cast<std::size_t>(i)]; }
    std::uint32_t Ym(int i) const { return m_Ym[static_cast<std::size_t>(i)]; }
    std::uint32_t Frozen(int i) const { return m_Frozen[static_cast<std::size_t>(i)]; }

    // One step of the living RTU: toggles a binary input, moves some analogs, counts.
    void Evolve(std::uint64_t qwNow);
    // A binary input set from outside (an operate); an event when it changes.
    void SetBinary(int nPoint, int nState, std::uint64_t qwNow);
    // An analog input set from outside; an event when it moves by the deadband or more.
    void SetAnalog(int nPoint, int nValue, std::uint64_t qwNow);
    void Freeze(bool bClear);

    // Events of the given classes (bit c set for class c) and kinds (SimEvent::Kind bits)
    // not yet confirmed, in the order they happened.
    std::vector<SimEvent> PendingEvents(unsigned uClasses, unsigned uKinds) const;
    bool HasEvents(int nClass) const;
    // These events went out in the fragment with this sequence.
    void MarkSent(const std::vector<std::uint64_t>& ids, int nSeq);
    // The master confirmed the fragment with this sequence: its events are gone.
    void Confirm(int nSeq);
    std::size_t EventCount() const { return m_Events.size(); }
    bool Overflowed() const { return m_bOverflow; }
    // Every event ever raised, in order (for tests and logs).
    const std::vector<SimEvent>& History() const { return m_History; }
    // The events a full buffer dropped, in order: no master can have them all.
    const std::vector<SimEvent>& Dropped() const { return m_Dropped; }

private:
    void AddEvent(SimEvent::Kind kind, int nPoint, int nValue, std::uint64_t qwNow);

    std::vector<int> m_Yx;
    std::vector<std::int16_t> m_Yc;
    std::vector<std::uint32_t> m_Ym;
    std::vector<std::uint32_t> m_Frozen;
    std::deque<SimEvent> m_Events;
    std::vector<SimEvent> m_History;
    std::vector<SimEvent> m_Dropped;
    std::mt19937 m_Random;
    int m_nBinaryClass;
    int m_nAnalogClass;
    std::uint64_t m_nNextId = 1;
    bool m_bOverflow = false;
    static constexpr std::size_t kMaxEvents = 256;  // the oldest go when the buffer is full
};
