// The link receive parser: finds frames in the octet stream, checks the header CRC and
// every block CRC, strips the CRCs and hands complete frames to the link procedures.
#include <algorithm>
#include <mutex>

#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "dnp3/QueltProtocol.h"

namespace {

// An octet on the line takes at most eleven bit times (start, eight data, parity, stop).
std::int64_t OctetMicroseconds()
{
    const int nBaud = std::max(g_nBaudRate.load(std::memory_order_relaxed), 1);
    return 11'000'000 / nBaud;
}

}  // namespace

std::int64_t CQueltProtocol::SilenceLimitMs()
{
    // A few octet times, but never below what a USB adapter's latency timer can hold back.
    return std::max<std::int64_t>(kMinSilenceMs, 4 * OctetMicroseconds() / 1000);
}

int CQueltProtocol::SettleMs() const
{
    if (m_nRxState == RX_HUNT || m_nRxState == RX_LEN)
        return 0;
    const int nMissing = m_nRxExpected - m_nRxCount - m_pLine->Waiting();
    if (nMissing <= 0)
        return 0;
    return static_cast<int>(nMissing * OctetMicroseconds() / 1000) + 1;
}

void CQueltProtocol::OnReceive(const std::uint8_t* pData, int nCount)
{
    if (nCount <= 0)
        return;
    m_nLastRxMs = MonotonicMs();
    // A frame that spans reads restarts the wait for an answer with every further read.
    if (m_nRxState != RX_HUNT)
        m_tmResponse = Now();
    for (int i = 0; i < nCount; ++i) {
        AppendRecvText(pData[i]);
        ReceiveOctet(pData[i]);
    }
}

void CQueltProtocol::AbandonStaleFrame()
{
    // Only a read that found nothing proves a silence: octets that a read finds may have
    // arrived at any moment since the read before, so no gap can be told from them.
    if (MonotonicMs() - m_nLastRxMs > SilenceLimitMs())
        AbandonFrame();
}

void CQueltProtocol::AbandonFrame()
{
    // A frame cut short by lost octets would otherwise take the first octets of the next
    // one to complete itself, and that frame would be lost as well.
    if (m_nRxState == RX_HUNT)
        return;
    EndDisplayLine();
    m_nRxState = RX_HUNT;
    m_byPrev = 0;
    m_byLast = 0;
}

void CQueltProtocol::FlagRxError()
{
    // A spoilt frame concerns the answer now awaited, if any; it never fails the next one.
    if (m_nAwaiting != 0)
        m_bRxError = 1;
}

void CQueltProtocol::EndDisplayLine()
{
    std::lock_guard lock(g_csDisplay);
    AppendRecvText('\r');
    AppendRecvText('\n');
}

void CQueltProtocol::HuntAgainAfterHeader()
{
    // The 05 64 may have been noise with the real start inside the rejected header:
    // search again from its second octet.
    std::uint8_t rest[dl::kHeaderSize];
    const int nRest = std::clamp(m_nRxIndex - 1, 0, dl::kHeaderSize);
    std::copy_n(m_RxFrame + 1, nRest, rest);
    m_nRxState = RX_HUNT;
    m_byPrev = 0;
    m_byLast = 0;
    for (int i = 0; i < nRest; ++i)
        ReceiveOctet(rest[i]);
}

void CQueltProtocol::ReceiveOctet(std::uint8_t by)
{
    switch (m_nRxState) {
    case RX_HUNT:
        m_byPrev = m_byLast;
        m_byLast = by;
        if (m_byPrev == dl::kStart1 && m_byLast == dl::kStart2) {
            m_RxFrame[0] = dl::kStart1;
            m_RxFrame[1] = dl::kStart2;
            m_nRxIndex = 2;
            m_nRxState = RX_LEN;
        }
        return;

    case RX_LEN:
        if (by < 5) {
            // No frame has fewer than five LEN octets: corrupt, like a failed CRC. Hunt on
            // from the next octet rather than swallow a made-up frame's worth of octets.
            FlagRxError();
            m_byLast = by;
            m_nRxState = RX_HUNT;
            return;
        }
        m_RxFrame[m_nRxIndex++] = by;
        m_nRxExpected = LinkFrameSize(by);
        m_nRxCount = 3;
        m_nRxState = RX_HEADER;
        return;

    case RX_HEADER:
        m_RxFrame[m_nRxIndex++] = by;
        ++m_nRxCount;
        if (m_nRxCount == m_nRxExpected) {  // a header-only frame is complete
            EndDisplayLine();
            m_nRxState = RX_HUNT;
            if (!CrcMatches(m_RxFrame, 8)) {
                FlagRxError();
                HuntAgainAfterHeader();
            } else {
                HandleHeaderFrame(m_RxFrame);
            }
        } else if (m_nRxCount == dl::kHeaderSize) {  // header of a frame with user data
            if (!CrcMatches(m_RxFrame, 8)) {
                FlagRxError();
                HuntAgainAfterHeader();
            } else if (m_nLinkState != LINK_RESET) {
                m_nRxState = RX_HUNT;  // not accepted before the link is reset
            } else {
                m_nRxState = RX_BLOCKS;
                m_nRxBlock = 0;
                m_nRxIndex = 8;  // user data overwrites the header CRC
            }
        }
        return;

    case RX_BLOCKS:
        m_RxFrame[m_nRxIndex++] = by;
        ++m_nRxCount;
        ++m_nRxBlock;
        if (m_nRxBlock == 18) {
            if (!CrcMatches(m_RxFrame + m_nRxIndex - 18, 16)) {
                m_nRxState = RX_HUNT;
                FlagRxError();
                return;
            }
            m_nRxBlock = 0;
            m_nRxIndex -= 2;
        }
        if (m_nRxCount == m_nRxExpected) {
            m_nRxState = RX_HUNT;
            EndDisplayLine();
            if (m_nRxBlock > 2) {  // a last, partial block
                m_nRxBlock -= 2;
                m_nRxIndex -= 2;
                if (!CrcMatches(m_RxFrame + m_nRxIndex - m_nRxBlock, static_cast<std::size_t>(m_nRxBlock))) {
                    FlagRxError();
                    return;
                }
            }
            HandleDataFrame(m_RxFrame, m_nRxIndex);
        }
        return;

    default:
        m_nRxState = RX_HUNT;
        return;
    }
}
