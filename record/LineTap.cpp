#include "record/LineTap.h"

#include <algorithm>
#include <chrono>

#include "core/Clock.h"

using qdec::Direction;
using qdec::LineRecord;

namespace {

std::atomic<CLineTap*> g_pTap{nullptr};
constexpr std::int64_t kFlushUs = 1'000'000;  // sinks put their records on disk this often

}  // namespace

void InstallLineTap(CLineTap* pTap) { g_pTap.store(pTap, std::memory_order_release); }

CLineTap* LineTap() { return g_pTap.load(std::memory_order_acquire); }

void TapOctets(int nPort, Direction dir, const std::uint8_t* pData, int nCount, std::int64_t tMonoStartUs)
{
    if (CLineTap* pTap = LineTap())
        pTap->OctetsNow(nPort, dir, pData, nCount, tMonoStartUs);
}

void CLineTap::OctetsNow(int nPort, Direction dir, const std::uint8_t* pData, int nCount, std::int64_t tMonoStartUs)
{
    if (nCount <= 0)
        return;
    const IClock& clock = Clock();
    const std::int64_t tMonoUs = clock.MonotonicUs();
    const std::int64_t tWallUs = clock.WallUs();
    const std::int64_t tStartUs = tMonoStartUs != 0 ? tMonoStartUs : tMonoUs;
    Octets(nPort, dir, pData, nCount, tWallUs - (tMonoUs - tStartUs), tStartUs, tMonoUs);
}

CLineTap::CLineTap(std::size_t nCapacity) : m_nCapacity(nCapacity)
{
    for (int nSlot = 0; nSlot < 4; ++nSlot)
        m_Framers.emplace_back(nSlot / 2, nSlot % 2 != 0 ? Direction::Sent : Direction::Received, kSilenceUs);
}

CLineTap::~CLineTap()
{
    if (LineTap() == this)
        InstallLineTap(nullptr);
    Stop();
}

void CLineTap::Octets(int nPort, Direction dir, const std::uint8_t* pData, int nCount, std::int64_t tWallUs,
                      std::int64_t tMonoUs, std::int64_t tMonoEndUs)
{
    if (nCount <= 0)
        return;
    const auto n = static_cast<std::size_t>(nCount);
    bool bWasEmpty = false;
    {
        std::lock_guard lock(m_mxQueue);
        std::uint64_t& nLost = m_nLost[static_cast<std::size_t>(Slot(nPort, dir))];
        if (m_nQueued + n > m_nCapacity) {
            nLost += n;
            m_nLostTotal.fetch_add(n, std::memory_order_relaxed);
            return;
        }
        bWasEmpty = m_Queue.empty();
        m_Queue.push_back({nPort & 1, dir, tWallUs, tMonoUs, tMonoEndUs, nLost, {pData, pData + n}});
        nLost = 0;
        m_nQueued += n;
    }
    if (bWasEmpty)
        m_cv.notify_one();
}

void CLineTap::AddSink(ITapSink* pSink)
{
    std::lock_guard lock(m_mxSinks);
    m_Sinks.push_back(pSink);
}

void CLineTap::RemoveSink(ITapSink* pSink)
{
    std::lock_guard lock(m_mxSinks);
    std::erase(m_Sinks, pSink);
}

void CLineTap::OnFirstLoss(std::function<void(std::uint64_t)> callback)
{
    std::lock_guard lock(m_mxSinks);
    m_OnFirstLoss = std::move(callback);
}

void CLineTap::Start()
{
    if (m_Thread.joinable())
        return;
    {
        std::lock_guard lock(m_mxQueue);
        m_bStop = false;
    }
    m_Thread = std::thread(&CLineTap::Run, this);
}

void CLineTap::Stop()
{
    if (!m_Thread.joinable())
        return;
    {
        std::lock_guard lock(m_mxQueue);
        m_bStop = true;
    }
    m_cv.notify_one();
    m_Thread.join();
}

void CLineTap::Pump(std::int64_t tMonoNowUs, bool bEnd)
{
    std::vector<Chunk> chunks;
    {
        std::lock_guard lock(m_mxQueue);
        chunks.swap(m_Queue);
        m_nQueued = 0;
    }
    Process(chunks, tMonoNowUs, bEnd);
}

void CLineTap::Run()
{
    std::vector<Chunk> chunks;
    std::int64_t tLastFlushUs = Clock().MonotonicUs();
    bool bDirty = false;
    std::int64_t tDeadlineUs = 0;
    for (;;) {
        bool bStop = false;
        {
            std::unique_lock lock(m_mxQueue);
            const auto ready = [this] { return m_bStop || !m_Queue.empty(); };
            std::int64_t tWakeUs = tDeadlineUs;
            if (bDirty)
                tWakeUs = tWakeUs == 0 ? tLastFlushUs + kFlushUs : std::min(tWakeUs, tLastFlushUs + kFlushUs);
            if (tWakeUs == 0) {
                m_cv.wait(lock, ready);
            } else {
                const std::int64_t nWaitUs = std::max<std::int64_t>(0, tWakeUs - Clock().MonotonicUs());
                m_cv.wait_for(lock, std::chrono::microseconds(nWaitUs), ready);
            }
            chunks.swap(m_Queue);
            m_nQueued = 0;
            bStop = m_bStop;
        }
        const std::int64_t tNowUs = Clock().MonotonicUs();
        const Processed processed = Process(chunks, tNowUs, bStop);
        tDeadlineUs = processed.tDeadlineUs;
        bDirty = bDirty || processed.bDelivered;
        chunks.clear();
        if (bDirty && (bStop || tNowUs - tLastFlushUs >= kFlushUs)) {
            std::lock_guard lock(m_mxSinks);
            for (ITapSink* pSink : m_Sinks)
                pSink->Flush();
            tLastFlushUs = tNowUs;
            bDirty = false;
        }
        if (bStop)
            return;
    }
}

CLineTap::Processed CLineTap::Process(std::vector<Chunk>& chunks, std::int64_t tMonoNowUs, bool bEnd)
{
    std::vector<LineRecord> records;
    std::lock_guard lock(m_mxSinks);
    std::uint64_t nLostNow = 0;
    const auto lost = [&](int nSlot, std::uint64_t n, std::int64_t tWallUs, std::int64_t tMonoUs) {
        CTapFramer& framer = m_Framers[static_cast<std::size_t>(nSlot)];
        framer.Flush(tMonoUs, records, true);
        LineRecord r;
        r.kind = qdec::RecordKind::Lost;
        r.nPort = nSlot / 2;
        r.dir = nSlot % 2 != 0 ? Direction::Sent : Direction::Received;
        r.tWallUs = tWallUs;
        r.tMonoUs = r.tMonoEndUs = tMonoUs;
        r.nLost = n;
        records.push_back(std::move(r));
        nLostNow += n;
    };
    for (Chunk& c : chunks) {
        const int nSlot = Slot(c.nPort, c.dir);
        if (c.nLostBefore > 0)
            lost(nSlot, c.nLostBefore, c.tWallUs, c.tMonoUs);
        m_Framers[static_cast<std::size_t>(nSlot)].Add(c.Octets.data(), static_cast<int>(c.Octets.size()), c.tWallUs,
                                                        c.tMonoUs, c.tMonoEndUs, records);
    }
    {
        // Losses after the last chunk of a slot.
        std::lock_guard queue(m_mxQueue);
        for (int nSlot = 0; nSlot < 4; ++nSlot) {
            std::uint64_t& n = m_nLost[static_cast<std::size_t>(nSlot)];
            if (n > 0) {
                const IClock& clock = Clock();
                lost(nSlot, n, clock.WallUs(), tMonoNowUs);
                n = 0;
            }
        }
    }
    Processed processed;
    for (CTapFramer& framer : m_Framers) {
        framer.Flush(tMonoNowUs, records, bEnd);
        const std::int64_t t = framer.Deadline();
        if (t != 0 && (processed.tDeadlineUs == 0 || t < processed.tDeadlineUs))
            processed.tDeadlineUs = t;
    }
    if (nLostNow > 0 && !m_bLossSaid && m_OnFirstLoss) {
        m_bLossSaid = true;
        m_OnFirstLoss(nLostNow);
    }
    processed.bDelivered = !records.empty();
    Deliver(records);
    return processed;
}

void CLineTap::Deliver(std::vector<LineRecord>& records)
{
    // Records of the four framers in the order their first octets were on the line.
    std::stable_sort(records.begin(), records.end(),
                     [](const LineRecord& a, const LineRecord& b) { return a.tMonoUs < b.tMonoUs; });
    for (const LineRecord& r : records)
        for (ITapSink* pSink : m_Sinks)
            pSink->OnRecord(r);
}
