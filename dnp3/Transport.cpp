// The transport layer: one-segment requests down to the link layer, segmented responses
// reassembled into one fragment.
#include "dnp3/Transport.h"

#include <algorithm>

#include "dnp3/FunctionCodes.h"
#include "dnp3/LinkLayer.h"
#include "monitor/AlarmLog.h"

namespace {

constexpr std::uint8_t kFin = 0x80;
constexpr std::uint8_t kFir = 0x40;
constexpr std::uint8_t kSeq = 0x3F;

}  // namespace

bool CTransport::Send(bool bConfirmed, const std::uint8_t* pFragment, int nLength, bool bAwaitApp)
{
    if (!m_Link.CanSend())
        return false;
    if (nLength > kSegmentData) {
        AddAlarm("Application Request Message Len > 249 !");
        return true;
    }
    std::uint8_t segment[kSegmentData + 1];
    segment[0] = static_cast<std::uint8_t>(m_bySendSeq | kFir | kFin);
    nLength = std::max(nLength, 0);
    if (nLength > 0)
        std::copy_n(pFragment, nLength, segment + 1);
    // The link never sends user data again by itself: whether a request may go twice is
    // the application layer's to judge (never a control, never a freeze).
    if (!m_Link.SendUserData(bConfirmed, segment, nLength + 1, false, bAwaitApp))
        return false;
    m_bySendSeq = static_cast<std::uint8_t>((m_bySendSeq + 1) & kSeq);
    return true;
}

std::optional<std::uint8_t> CTransport::ReceiveStep()
{
    std::uint8_t segment[dl::kMaxUserData];
    int nLength = 0;
    const int nTaken = m_Link.TakeUserData(segment, nLength);
    if (nTaken == 2)
        Fail();
    if (nTaken != 1 || nLength < 1)
        return std::nullopt;

    const std::uint8_t th = segment[0];
    const std::uint8_t bySeq = th & kSeq;
    if ((th & kFir) != 0) {  // a new fragment, whatever came before
        m_bActive = true;
        m_nSegments = 0;
        m_nFill = 0;
        m_byFirstSeq = bySeq;
    } else if (!m_bActive) {
        // A continuation of nothing: its first segment was lost (the link layer reports
        // that) or the fragment failed before. Dropped; it never joins another one.
        return std::nullopt;
    } else if (((m_byFirstSeq + m_nSegments + 1) & kSeq) != bySeq) {
        Fail();
        return std::nullopt;
    } else {
        ++m_nSegments;
    }
    const int nData = nLength - 1;
    if (m_nSegments >= kMaxSegments || m_nFill + nData > kFragmentMax) {
        Fail();
        return std::nullopt;
    }
    std::copy_n(segment + 1, nData, m_Buf + m_nFill);
    m_nFill += nData;
    const bool bKnown = m_nFill > 0;  // else nothing yet says which exchange it belongs to
    const std::uint8_t byAppCtrl = m_Buf[0];
    if ((th & kFin) != 0) {
        Push(false, m_Buf, m_nFill);
        m_bActive = false;
        m_Link.OnAnswerComplete();
    }
    return bKnown ? std::optional<std::uint8_t>(byAppCtrl) : std::nullopt;
}

void CTransport::Fail()
{
    // The application control octet of the broken fragment says which exchange it was.
    Push(true, m_Buf, m_bActive ? std::min(m_nFill, 1) : 0);
    m_bActive = false;
    m_nSegments = 0;
    m_nFill = 0;
}

void CTransport::Push(bool bFailed, const std::uint8_t* pFragment, int nLength)
{
    if (m_Results.size() >= kMaxResults) {
        // Only an RTU that talks while nobody asks fills this; keep the newest. Losing an
        // unsolicited response goes unsaid (the RTU repeats it until confirmed); losing
        // anything else is said.
        const Result& oldest = m_Results.front();
        const bool bUnsolicited =
            !oldest.bFailed && oldest.Fragment.size() >= 2 && oldest.Fragment[1] == fc::UNSOLICITED_RESPONSE;
        if (!bUnsolicited)
            AddAlarm("未处理的响应分段过多, 最早的已丢弃 !");
        m_Results.pop_front();
    }
    Result result;
    result.bFailed = bFailed;
    if (pFragment != nullptr && nLength > 0)
        result.Fragment.assign(pFragment, pFragment + nLength);
    m_Results.push_back(std::move(result));
}

std::optional<CTransport::Result> CTransport::Take()
{
    if (m_Results.empty())
        return std::nullopt;
    Result result = std::move(m_Results.front());
    m_Results.pop_front();
    return result;
}

std::vector<CTransport::Result> CTransport::TakeIf(const std::function<bool(const Result&)>& pick)
{
    std::vector<Result> taken;
    std::erase_if(m_Results, [&](Result& result) {
        if (!pick(result))
            return false;
        taken.push_back(std::move(result));
        return true;
    });
    return taken;
}

void CTransport::Restart()
{
    m_bySendSeq = 0;
    m_bActive = false;
    m_nSegments = 0;
    m_nFill = 0;
    m_Results.clear();
}

void CTransport::DropFailures()
{
    std::erase_if(m_Results, [](const Result& result) { return result.bFailed; });
}
