// The engine's side of the receive parser: every octet shown and parsed, a frame under way
// given up after a silence or a time-out, and what the parser finds passed on.
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
    if (m_Parser.MissingOctets() == 0)
        return 0;
    const int nMissing = m_Parser.MissingOctets() - m_pLine->Waiting();
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
    if (m_Parser.InFrame())
        m_tmResponse = Now();
    for (int i = 0; i < nCount; ++i) {
        AppendRecvText(pData[i]);
        m_Parser.Receive(pData[i]);
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
    if (m_Parser.Abandon())
        EndDisplayLine();
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
