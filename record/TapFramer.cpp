#include "record/TapFramer.h"

#include <algorithm>

#include "dnp3/LinkFrame.h"

using qdec::LineRecord;
using qdec::RecordKind;

namespace {

// Ten octets at p that make a header a receiver would take: 05 64, LEN of 5 or more, CRC.
bool GoodHeader(const std::uint8_t* p)
{
    return p[0] == dl::kStart1 && p[1] == dl::kStart2 && p[2] >= 5 && CrcMatches(p, 8);
}

// Header and every block of a whole frame of n octets pass their CRCs.
bool CrcOk(const std::uint8_t* p, int n)
{
    if (!CrcMatches(p, 8))
        return false;
    for (int i = dl::kHeaderSize; i < n; i += 18) {
        const int nBlock = std::min(16, n - i - 2);
        if (nBlock <= 0 || !CrcMatches(p + i, static_cast<std::size_t>(nBlock)))
            return false;
    }
    return true;
}

}  // namespace

CTapFramer::CTapFramer(int nPort, qdec::Direction dir, std::int64_t nSilenceUs)
    : m_nPort(nPort), m_Dir(dir), m_nSilenceUs(nSilenceUs)
{
}

std::int64_t CTapFramer::Deadline() const { return m_Octets.empty() ? 0 : m_tLastMonoUs + m_nSilenceUs; }

void CTapFramer::Add(const std::uint8_t* pData, int nCount, std::int64_t tWallUs, std::int64_t tMonoUs,
                     std::int64_t tMonoEndUs, std::vector<LineRecord>& out)
{
    if (nCount <= 0)
        return;
    Flush(tMonoUs, out);
    m_tWallUs = tWallUs;
    m_tMonoUs = tMonoUs;
    m_tMonoEndUs = tMonoEndUs;
    for (int i = 0; i < nCount; ++i)
        Take(pData[i], out);
    m_tLastMonoUs = tMonoEndUs;
}

void CTapFramer::Flush(std::int64_t tMonoNowUs, std::vector<LineRecord>& out, bool bForce)
{
    if (m_Octets.empty() || (!bForce && tMonoNowUs - m_tLastMonoUs < m_nSilenceUs))
        return;
    if (m_bFrame && m_nExpected > 0 && static_cast<int>(m_Octets.size()) >= m_nExpected) {
        // A whole frame that waited to see whether the next began in its tail.
        std::vector<std::uint8_t> rest(m_Octets.begin() + m_nExpected, m_Octets.end());
        m_Octets.resize(static_cast<std::size_t>(m_nExpected));
        Emit(RecordKind::Frame, m_Octets, out);
        for (const std::uint8_t by : rest)
            Take(by, out);
        if (m_Octets.empty())
            return;
    }
    Emit(m_bFrame ? RecordKind::Truncated : RecordKind::Noise, m_Octets, out);
}

void CTapFramer::StartTimes()
{
    m_tFirstWallUs = m_tWallUs;
    m_tFirstMonoUs = m_tMonoUs;
}

void CTapFramer::Emit(RecordKind kind, std::vector<std::uint8_t>& octets, std::vector<LineRecord>& out)
{
    LineRecord r;
    r.kind = kind;
    r.nPort = m_nPort;
    r.dir = m_Dir;
    r.tWallUs = m_tFirstWallUs;
    r.tMonoUs = m_tFirstMonoUs;
    r.tMonoEndUs = m_tMonoEndUs;
    r.Octets = std::move(octets);
    out.push_back(std::move(r));
    octets.clear();
    m_bFrame = false;
    m_nExpected = 0;
    m_bHeaderBad = false;
    StartTimes();
}

void CTapFramer::Take(std::uint8_t by, std::vector<LineRecord>& out)
{
    if (m_Octets.empty())
        StartTimes();
    m_Octets.push_back(by);
    const int n = static_cast<int>(m_Octets.size());
    if (!m_bFrame) {
        // Noise until the start octets; "05 05 64" starts at the second 05.
        if (n >= 2 && m_Octets[n - 2] == dl::kStart1 && by == dl::kStart2) {
            if (n > 2) {
                std::vector<std::uint8_t> noise(m_Octets.begin(), m_Octets.end() - 2);
                Emit(RecordKind::Noise, noise, out);
                m_Octets = {dl::kStart1, dl::kStart2};
            }
            m_bFrame = true;
        } else if (n >= kNoiseMax && by != dl::kStart1) {
            Emit(RecordKind::Noise, m_Octets, out);
        }
        return;
    }
    if (n == dl::kHeaderSize) {
        m_bHeaderBad = !CrcMatches(m_Octets.data(), 8);
        m_nExpected = LinkFrameSize(m_Octets[2]);
    } else if (n > dl::kHeaderSize && GoodHeader(&m_Octets[static_cast<std::size_t>(n - dl::kHeaderSize)])) {
        // The next frame began inside this one: this one was cut short.
        std::vector<std::uint8_t> cut(m_Octets.begin(), m_Octets.end() - dl::kHeaderSize);
        std::vector<std::uint8_t> next(m_Octets.end() - dl::kHeaderSize, m_Octets.end());
        Emit(RecordKind::Truncated, cut, out);
        m_Octets = std::move(next);
        m_bFrame = true;
        m_nExpected = LinkFrameSize(m_Octets[2]);
    }
    if (m_nExpected == 0 || static_cast<int>(m_Octets.size()) < m_nExpected)
        return;
    // Whole by its LEN. If its CRCs fail and start octets lie in its last nine, the next
    // frame may have begun there: wait for that header before deciding.
    const int nWhole = m_nExpected;
    const int nTailStart = std::max(1, nWhole - dl::kHeaderSize + 1);
    int nCandidate = 0;
    if (!CrcOk(m_Octets.data(), nWhole))
        for (int k = nTailStart; k + 1 < nWhole && nCandidate == 0; ++k)
            if (m_Octets[static_cast<std::size_t>(k)] == dl::kStart1 && m_Octets[static_cast<std::size_t>(k + 1)] == dl::kStart2)
                nCandidate = k;
    const int nSize = static_cast<int>(m_Octets.size());
    if (nCandidate > 0 && nSize < nCandidate + dl::kHeaderSize)
        return;  // more octets first
    if (nCandidate > 0 && GoodHeader(&m_Octets[static_cast<std::size_t>(nCandidate)])) {
        std::vector<std::uint8_t> cut(m_Octets.begin(), m_Octets.begin() + nCandidate);
        std::vector<std::uint8_t> next(m_Octets.begin() + nCandidate, m_Octets.end());
        Emit(RecordKind::Truncated, cut, out);
        m_Octets = std::move(next);
        m_bFrame = true;
        m_nExpected = LinkFrameSize(m_Octets[2]);
        if (static_cast<int>(m_Octets.size()) >= m_nExpected)
            Emit(RecordKind::Frame, m_Octets, out);
        return;
    }
    std::vector<std::uint8_t> rest(m_Octets.begin() + nWhole, m_Octets.end());
    m_Octets.resize(static_cast<std::size_t>(nWhole));
    Emit(RecordKind::Frame, m_Octets, out);
    for (const std::uint8_t byRest : rest)
        Take(byRest, out);
}
