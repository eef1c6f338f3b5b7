// The transport layer: one-segment requests down to the link layer, segmented responses
// reassembled into one fragment.
#include <algorithm>

#include "core/Clock.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/QueltProtocol.h"
#include "monitor/AlarmLog.h"

int CQueltProtocol::SendUserData(int nService, int nDest, int nSrc, const std::uint8_t* pData,
                                 int nLength, int nRetry)
{
    if (m_nLinkState != LINK_RESET || (m_nAwaiting & AWAIT_LINK) != 0 || !m_SendQueue.empty() ||
        m_bRemoteBusy != 0 || m_bLinkFailed != 0)
        return 4;
    switch (nService) {
    case 0:
    case 2:
        QueueUserDataFrame(dl::CONFIRMED_USER_DATA, nDest, nSrc, pData, nLength, nRetry);
        return 0;
    case 1:
    case 3:
        QueueUserDataFrame(dl::UNCONFIRMED_USER_DATA, nDest, nSrc, pData, nLength, 0);
        return 0;
    case 4:
        return 0;  // readiness query only
    default:
        return 3;
    }
}

void CQueltProtocol::QueueUserDataFrame(std::uint8_t byFunc, int nDest, int nSrc,
                                        const std::uint8_t* pData, int nLength, int nRetry)
{
    std::uint8_t byCtrl = static_cast<std::uint8_t>(byFunc | dl::DIR | dl::PRM);
    if (byFunc == dl::CONFIRMED_USER_DATA) {
        byCtrl |= dl::FCV;
        if (m_nSendFcb == 1)
            byCtrl |= dl::FCB;
        m_nSendFcb ^= 1;
    }
    SendElement element;
    element.nRetry = nRetry;
    element.nMaxRetries = 3;
    element.byAwaiting = static_cast<std::uint8_t>((byFunc == dl::CONFIRMED_USER_DATA ? AWAIT_LINK : 0) |
                                                   (m_byAppWait != 0 ? AWAIT_APP : 0));
    element.Frame.resize(dl::kMaxFrameSize);
    element.Frame.resize(static_cast<std::size_t>(
        BuildLinkFrame(byCtrl, nDest, nSrc, pData, nLength, element.Frame.data())));
    m_nLastKind = KIND_USER_DATA;
    m_SendQueue.push_back(std::move(element));
}

int CQueltProtocol::TransportSend(int nService, int nDest, int nSrc, const std::uint8_t* pFragment,
                                  int nLength, int nRetry)
{
    const int nReady = SendUserData(4, nDest, nSrc, nullptr, 0, nRetry);
    if (nService == 4 || nReady != 0)
        return nReady;
    if (nLength > kSegmentData) {
        AddAlarm("Application Request Message Len > 249 !");
        return 0;
    }
    std::uint8_t segment[kSegmentData + 1];
    segment[0] = static_cast<std::uint8_t>(m_byTpSendSeq | 0xC0);  // FIR and FIN
    nLength = std::max(nLength, 0);
    if (nLength > 0)
        std::copy_n(pFragment, nLength, segment + 1);
    const int nResult = SendUserData(nService, nDest, nSrc, segment, nLength + 1, nRetry);
    if (nResult != 0)
        return nResult;
    m_byTpSendSeq = static_cast<std::uint8_t>((m_byTpSendSeq + 1) % 64);
    return 0;
}

void CQueltProtocol::TransportReceive(int, int)
{
    std::uint8_t segment[dl::kMaxUserData];
    int nLength = 0;
    const int nTaken = TakeUserData(segment, nLength);
    if (nTaken == 2)
        FailFragment();
    if (nTaken != 1 || nLength < 1)
        return;

    const std::uint8_t th = segment[0];
    const std::uint8_t bySeq = th & 0x3F;
    if ((th & 0x40) != 0) {  // FIR: a new fragment, whatever came before
        m_bTpActive = 1;
        m_nTpSegCount = 0;
        m_nTpFill = 0;
        m_byTpFirstSeq = bySeq;
    } else if (m_bTpActive == 0) {
        // A continuation of nothing: its first segment was lost (the link layer reports
        // that) or the fragment failed before. Dropped; it never joins another one.
        return;
    } else if ((m_byTpFirstSeq + m_nTpSegCount + 1) % 64 != bySeq) {
        FailFragment();
        return;
    } else {
        ++m_nTpSegCount;
    }
    const int nData = nLength - 1;
    // At most nine segments, and never past the buffer.
    if (m_nTpSegCount >= 9 || m_nTpFill + nData > kFragmentMax) {
        FailFragment();
        return;
    }
    std::copy_n(segment + 1, nData, m_TpBuf + m_nTpFill);
    m_nTpFill += nData;
    // A response that keeps coming is never abandoned while it flows: at 1200 bit/s a
    // fragment of 2048 octets takes longer than the whole time-out.
    if (m_byAppWait != 0 && m_nTpFill > 0 && IsAwaitedFragment(m_TpBuf[0]))
        m_tRequest = Now();
    if ((th & 0x80) != 0) {  // FIN
        PushTransportResult(1, m_TpBuf, m_nTpFill);
        m_bTpActive = 0;
        m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_APP);
    }
}

void CQueltProtocol::FailFragment()
{
    // The application control octet of the broken fragment says which exchange it was.
    PushTransportResult(2, m_TpBuf, m_bTpActive != 0 ? std::min(m_nTpFill, 1) : 0);
    m_bTpActive = 0;
    m_nTpSegCount = 0;
    m_nTpFill = 0;
}

void CQueltProtocol::PushTransportResult(int nResult, const std::uint8_t* pFragment, int nLength)
{
    if (m_TpResults.size() >= kMaxTpResults) {
        // Only an RTU that talks while nobody asks fills this; keep the newest. Unsolicited
        // responses are ignored anyway; losing anything else is said.
        const TransportResult& oldest = m_TpResults.front();
        const bool bUnsolicited = oldest.nResult == 1 && oldest.Fragment.size() >= 2 &&
                                  oldest.Fragment[1] == fc::UNSOLICITED_RESPONSE;
        if (!bUnsolicited)
            AddAlarm("未处理的响应分段过多, 最早的已丢弃 !");
        m_TpResults.pop_front();
    }
    TransportResult result{nResult, {}};
    if (pFragment != nullptr && nLength > 0)
        result.Fragment.assign(pFragment, pFragment + nLength);
    m_TpResults.push_back(std::move(result));
}

int CQueltProtocol::TakeFragment(std::uint8_t* pBuffer, int& nLength)
{
    if (m_TpResults.empty())
        return 0;
    const TransportResult result = std::move(m_TpResults.front());
    m_TpResults.pop_front();
    std::copy(result.Fragment.begin(), result.Fragment.end(), pBuffer);
    nLength = static_cast<int>(result.Fragment.size());
    return result.nResult;
}

void CQueltProtocol::DropEarlierFailures()
{
    std::erase_if(m_TpResults, [](const TransportResult& result) { return result.nResult == 2; });
}
