// The transport's entry into the link layer: user data becomes a frame on the send queue.
#include "dnp3/QueltProtocol.h"

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
