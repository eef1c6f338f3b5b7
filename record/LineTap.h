#pragma once
// The line tap: every octet each port sends or receives, with its times, handed to a
// bounded queue that the poll thread never waits on, and a consumer thread that frames
// it per port and direction and gives the records to its sinks (the recording, the
// analysis). A full queue drops octets; the loss is counted, recorded and said once.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "decode/Record.h"
#include "record/TapFramer.h"

class ITapSink {
public:
    virtual ~ITapSink() = default;
    virtual void OnRecord(const qdec::LineRecord& record) = 0;
    // Called at least once a second while records come, and when the tap stops: the
    // moment to put what is buffered on the disk.
    virtual void Flush() {}
};

class CLineTap {
public:
    static constexpr std::size_t kDefaultCapacity = 1 << 20;  // octets waiting, both ports

    explicit CLineTap(std::size_t nCapacity = kDefaultCapacity);
    ~CLineTap();
    CLineTap(const CLineTap&) = delete;
    CLineTap& operator=(const CLineTap&) = delete;

    // Any thread; returns at once. Times in microseconds: the wall clock and the clock
    // that never jumps, when the octets were read or the write began and ended.
    void Octets(int nPort, qdec::Direction dir, const std::uint8_t* pData, int nCount, std::int64_t tWallUs,
                std::int64_t tMonoUs, std::int64_t tMonoEndUs);

    // The same, timed by the clock now (the write began at tMonoStartUs when given).
    void OctetsNow(int nPort, qdec::Direction dir, const std::uint8_t* pData, int nCount, std::int64_t tMonoStartUs = 0);

    // A pause this long ends a frame under way. Well above the poll thread's longest wait,
    // so that a frame read in pieces is never cut; a frame cut short is found sooner
    // anyway, when the next one begins.
    static constexpr std::int64_t kSilenceUs = 1'000'000;
    void AddSink(ITapSink* pSink);
    // After it returns the sink receives nothing more.
    void RemoveSink(ITapSink* pSink);
    // Said once, from the consumer thread, the first time octets are lost.
    void OnFirstLoss(std::function<void(std::uint64_t nLost)> callback);

    void Start();
    // Frames what waits, ends what is under way, flushes the sinks and joins.
    void Stop();
    // Tests: takes what waits and hands it on, on the calling thread; bEnd as at Stop.
    void Pump(std::int64_t tMonoNowUs, bool bEnd = false);

    std::uint64_t LostOctets() const { return m_nLostTotal.load(std::memory_order_relaxed); }

private:
    struct Chunk {
        int nPort;
        qdec::Direction dir;
        std::int64_t tWallUs;
        std::int64_t tMonoUs;
        std::int64_t tMonoEndUs;
        std::uint64_t nLostBefore;  // octets of this port and direction dropped before it
        std::vector<std::uint8_t> Octets;
    };
    static int Slot(int nPort, qdec::Direction dir) { return (nPort & 1) * 2 + (dir == qdec::Direction::Sent); }

    void Run();
    struct Processed {
        std::int64_t tDeadlineUs = 0;  // the earliest moment a framer's silence runs out
        bool bDelivered = false;       // records went to the sinks
    };
    Processed Process(std::vector<Chunk>& chunks, std::int64_t tMonoNowUs, bool bEnd);
    void Deliver(std::vector<qdec::LineRecord>& records);

    std::size_t m_nCapacity;
    std::mutex m_mxQueue;  // held only to push a chunk or to swap the queue out
    std::vector<Chunk> m_Queue;
    std::size_t m_nQueued = 0;
    std::array<std::uint64_t, 4> m_nLost{};  // per slot, since its last chunk taken
    std::atomic<std::uint64_t> m_nLostTotal{0};
    std::condition_variable m_cv;
    bool m_bStop = false;

    std::mutex m_mxSinks;
    std::vector<ITapSink*> m_Sinks;
    std::function<void(std::uint64_t)> m_OnFirstLoss;
    bool m_bLossSaid = false;

    std::vector<CTapFramer> m_Framers;  // consumer thread only
    std::thread m_Thread;
};

// The tap the channels hand their octets to; nullptr (the default) taps nothing.
void InstallLineTap(CLineTap* pTap);
CLineTap* LineTap();
// Hands the octets to the installed tap, if any, with the clock's times.
void TapOctets(int nPort, qdec::Direction dir, const std::uint8_t* pData, int nCount, std::int64_t tMonoStartUs = 0);
