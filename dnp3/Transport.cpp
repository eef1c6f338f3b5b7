// The transport layer: one-segment requests down to the link layer, segmented responses
// reassembled into one fragment.
#include <algorithm>

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
        m_nTpResult = 2;
    if (nTaken != 1 || nLength < 1)
        return;

    const std::uint8_t th = segment[0];
    if ((th & 0x40) != 0) {  // FIR
        m_nTpSegCount = 0;
        m_byTpFirstSeq = th & 0x3F;
    } else if ((m_byTpFirstSeq + ++m_nTpSegCount) % 64 != (th & 0x3F)) {
        m_nTpResult = 2;
        return;
    }
    const int nOffset = kSegmentData * m_nTpSegCount;
    const int nData = nLength - 1;
    // At most nine segments, and never past the buffer: nine full segments would carry
    // more than it holds, so a segment that does not fit fails the fragment.
    if (m_nTpSegCount >= 9 || nOffset + nData > kFragmentMax) {
        m_nTpSegCount = 0;
        m_nTpResult = 2;
        return;
    }
    std::copy_n(segment + 1, nData, m_TpBuf + nOffset);
    if ((th & 0x80) != 0) {  // FIN
        m_nTpLen = nOffset + nData;
        m_nTpResult = 1;
        m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_APP);
    }
}

int CQueltProtocol::TakeFragment(std::uint8_t* pBuffer, int& nLength)
{
    const int nResult = m_nTpResult;
    m_nTpResult = 0;
    if (nResult == 1) {
        std::copy_n(m_TpBuf, m_nTpLen, pBuffer);
        nLength = m_nTpLen;
    }
    return nResult;
}
