// The link-layer procedures of the master: keeping the link reset, answering the RTU's
// link requests, sending queued frames with time-out and retransmission, and reporting
// a link failure upwards.
#include "dnp3/LinkLayer.h"

#include <algorithm>

#include "core/Clock.h"
#include "monitor/AlarmLog.h"

CLinkLayer::CLinkLayer(IHost& host) : m_Host(host), m_tmResponse(Now()), m_tmLinkCheck(m_tmResponse) {}

void CLinkLayer::SetAddresses(int nMaster, int nRtu)
{
    m_nMaster = nMaster & 0xFFFF;
    m_nRtu = nRtu & 0xFFFF;
}

bool CLinkLayer::CanSend() const
{
    return m_bReset && (m_nAwaiting & AWAIT_LINK) == 0 && m_SendQueue.empty() && !m_bRemoteBusy && !m_bFailed;
}

bool CLinkLayer::HasFrameToWrite() const
{
    return !m_SendQueue.empty() && (m_nAwaiting & AWAIT_LINK) == 0 && !m_bRemoteBusy;
}

bool CLinkLayer::SendUserData(bool bConfirmed, const std::uint8_t* pData, int nLength, bool bRetransmit,
                              bool bAwaitApp)
{
    if (!CanSend())
        return false;
    auto byCtrl = static_cast<std::uint8_t>(dl::DIR | dl::PRM);
    if (bConfirmed) {
        byCtrl |= dl::CONFIRMED_USER_DATA | dl::FCV;
        if (m_nSendFcb == 1)
            byCtrl |= dl::FCB;
        m_nSendFcb ^= 1;
    } else {
        byCtrl |= dl::UNCONFIRMED_USER_DATA;
    }
    SendElement element;
    element.bRetransmit = bConfirmed && bRetransmit;
    element.byAwaiting = static_cast<std::uint8_t>((bConfirmed ? AWAIT_LINK : 0) | (bAwaitApp ? AWAIT_APP : 0));
    element.Frame.resize(dl::kMaxFrameSize);
    element.Frame.resize(static_cast<std::size_t>(
        BuildLinkFrame(byCtrl, m_nRtu, m_nMaster, pData, std::clamp(nLength, 0, dl::kMaxUserData),
                       element.Frame.data())));
    m_SendQueue.push_back(std::move(element));
    return true;
}

void CLinkLayer::Restart()
{
    m_bReset = false;
    m_bResetPending = false;
    m_bRemoteBusy = false;
    m_bFailed = false;
    m_bRxError = false;
    m_nAwaiting = 0;
    m_bAwaitedUserData = false;
    m_bRetransmit = false;
    m_nRetries = 0;
    m_tmResponse = Now();
    m_tmLinkCheck = 0;  // far in the past: the reset goes out at once
    m_SendQueue.clear();
    m_nSendFcb = 1;
    m_nRecvFcb = 1;
    m_RecvQueue.clear();
    m_bRecvOverflow = false;
}

bool CLinkLayer::RequestLinkStatus()
{
    if (m_nAwaiting != 0 || !m_SendQueue.empty())
        return false;
    SendLinkRequest(dl::REQUEST_LINK_STATUS);
    return true;
}

void CLinkLayer::Step(int nMaintenancePeriod)
{
    const std::time_t now = Now();
    if (HasFrameToWrite())
        WriteQueuedFrame();
    if (m_nAwaiting != 0)
        CheckAnswer(now);
    else
        Maintain(now, nMaintenancePeriod);
}

void CLinkLayer::WriteQueuedFrame()
{
    const SendElement element = std::move(m_SendQueue.front());
    m_SendQueue.pop_front();
    const int nSize = std::min(LinkFrameSize(element.Frame[2]), static_cast<int>(element.Frame.size()));
    m_nAwaiting = element.byAwaiting;
    m_bAwaitedUserData = true;
    m_bRetransmit = element.bRetransmit;
    m_nRetries = 0;
    if (m_nAwaiting != 0) {
        m_bRxError = false;  // the new wait starts clean
        m_tmResponse = Now();
        std::copy_n(element.Frame.data(), nSize, m_LastFrame);
    }
    m_Host.WriteFrame(element.Frame.data(), nSize, "=> ", m_nAwaiting != 0);
}

void CLinkLayer::CheckAnswer(std::time_t now)
{
    if (now - m_tmResponse <= kAnswerTimeout && !m_bRxError)
        return;
    if (m_bRxError) {
        m_Host.ShowReceiveNote("Receiving Error !\r\n");
        m_bRxError = false;
    } else {
        m_Host.AbandonFrame();
        m_Host.ShowReceiveNote("Receiving TimeOut !\r\n");
    }
    m_tmResponse = now;
    if (m_bRetransmit && m_nRetries < kMaxRetransmissions) {
        ++m_nRetries;
        m_Host.WriteFrame(m_LastFrame, LinkFrameSize(m_LastFrame[2]), "R> ", true);
        return;
    }
    m_nAwaiting = 0;
    if (m_bAwaitedUserData)
        m_bFailed = true;
}

void CLinkLayer::Maintain(std::time_t now, int nPeriod)
{
    if (now - m_tmLinkCheck < nPeriod)
        return;
    if (m_bRemoteBusy) {
        SendLinkRequest(dl::REQUEST_LINK_STATUS);
    } else if (!m_bReset) {
        SendLinkRequest(dl::RESET_LINK_STATES);
        m_bResetPending = true;
    }
    m_tmLinkCheck = now;
}

void CLinkLayer::SendSecondary(std::uint8_t byFunc)
{
    // The secondary station's answer: what the primary station awaits is left as it is.
    const HeaderFrame frame = BuildHeaderFrame(static_cast<std::uint8_t>(dl::DIR | byFunc), m_nRtu, m_nMaster);
    m_Host.WriteFrame(frame.data(), dl::kHeaderSize, "=> ", false);
}

void CLinkLayer::SendLinkRequest(std::uint8_t byFunc)
{
    const HeaderFrame frame =
        BuildHeaderFrame(static_cast<std::uint8_t>(dl::DIR | dl::PRM | byFunc), m_nRtu, m_nMaster);
    m_nAwaiting |= AWAIT_LINK;
    m_bRetransmit = true;
    m_nRetries = 0;
    m_bAwaitedUserData = false;
    m_bRxError = false;
    std::copy(frame.begin(), frame.end(), m_LastFrame);
    m_tmResponse = Now();
    m_Host.WriteFrame(frame.data(), dl::kHeaderSize, "=> ", true);
}

void CLinkLayer::OnRtuResetLinkStates()
{
    m_nRecvFcb = 1;
    m_nSendFcb = 1;
    SendSecondary(dl::ACK);
    m_bReset = true;
    SendLinkRequest(dl::RESET_LINK_STATES);
}

void CLinkLayer::OnHeaderFrame(const std::uint8_t* pFrame)
{
    const std::uint8_t byCtrl = pFrame[3];
    if ((byCtrl & dl::DIR) != 0)
        return;  // a master's frame (our own echoed, or another's): not for us
    const bool bAwaitingLink = (m_nAwaiting & AWAIT_LINK) != 0;
    if ((byCtrl & dl::PRM) == 0) {  // the RTU's answer, if one is awaited
        if (bAwaitingLink) {
            m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_LINK);
            OnAnswerToUs(byCtrl);
        }
        return;
    }
    // The RTU's own request: the secondary station answers it, and the primary station's
    // wait goes on, but for the RTU's reset, with which user data awaiting its ACK is lost.
    if (bAwaitingLink && (byCtrl & dl::FUNC) == dl::RESET_LINK_STATES) {
        m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_LINK);
        if (m_bAwaitedUserData)
            m_bFailed = true;
    }
    OnRequestFromRtu(byCtrl);
}

void CLinkLayer::OnAnswerToUs(std::uint8_t byCtrl)
{
    switch (byCtrl & dl::FUNC) {
    case dl::ACK:
        if (m_bResetPending) {
            // Our reset restarts our direction only: what the RTU sends keeps its own
            // count until the RTU resets.
            m_bFailed = false;
            m_bReset = true;
            m_nSendFcb = 1;
            m_bResetPending = false;
        }
        if ((byCtrl & dl::DFC) != 0)
            m_bRemoteBusy = true;
        break;
    case dl::NACK:
        m_bFailed = true;
        break;
    case dl::LINK_STATUS:
        if ((byCtrl & dl::DFC) == 0)
            m_bRemoteBusy = false;
        break;
    default:
        break;
    }
}

void CLinkLayer::OnRequestFromRtu(std::uint8_t byCtrl)
{
    switch (byCtrl & dl::FUNC) {
    case dl::RESET_LINK_STATES:
        OnRtuResetLinkStates();
        break;
    case dl::RESET_USER_PROCESS:
        if (m_bReset)
            SendSecondary(dl::ACK);
        break;
    case dl::TEST_LINK_STATES:
        if (m_bReset && (byCtrl & dl::FCV) != 0) {
            if (((byCtrl & dl::FCB) != 0 ? 1 : 0) == m_nRecvFcb)
                m_nRecvFcb ^= 1;
            SendSecondary(dl::ACK);
        }
        break;
    case dl::REQUEST_LINK_STATUS:
        if (m_bReset)
            SendSecondary(dl::LINK_STATUS);
        break;
    default:  // 3 to 8, 10 to 15
        if (m_bReset)
            SendSecondary(dl::NOT_FUNCTIONING);
        break;
    }
}

void CLinkLayer::OnDataFrame(const std::uint8_t* pFrame, int nLength)
{
    const std::uint8_t byCtrl = pFrame[3];
    if ((m_nAwaiting & AWAIT_APP) != 0)
        m_tmResponse = Now();  // each frame of a long response gives the next its time
    switch (byCtrl & dl::FUNC) {
    case dl::UNCONFIRMED_USER_DATA:
        QueueReceivedData(pFrame, nLength);
        break;
    case dl::CONFIRMED_USER_DATA:
        if (((byCtrl & dl::FCB) != 0 ? 1 : 0) == m_nRecvFcb) {
            if (!QueueReceivedData(pFrame, nLength))
                break;  // unacknowledged, so the RTU sends it again
            m_nRecvFcb ^= 1;
        }
        // A repetition (our ACK was lost) is acknowledged again and discarded.
        SendSecondary(dl::ACK);
        break;
    default:
        break;
    }
}

void CLinkLayer::OnFrameFlowing()
{
    m_tmResponse = Now();
}

void CLinkLayer::OnBadFrame()
{
    // A spoilt frame concerns the answer now awaited, if any; it never fails the next one.
    if (m_nAwaiting != 0)
        m_bRxError = true;
}

void CLinkLayer::OnAnswerComplete()
{
    m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_APP);
}

bool CLinkLayer::QueueReceivedData(const std::uint8_t* pFrame, int nLength)
{
    // The transport takes one segment a cycle; an RTU flooding short frames could outrun
    // it without end. The newest are dropped, and that is said once per flood.
    if (m_RecvQueue.size() >= kMaxRecvQueue) {
        if (!m_bRecvOverflow)
            AddAlarm("接收数据过多, 已丢弃 !");
        m_bRecvOverflow = true;
        return false;
    }
    m_bRecvOverflow = false;
    m_RecvQueue.emplace_back(pFrame, pFrame + nLength);
    return true;
}

int CLinkLayer::TakeUserData(std::uint8_t* pBuffer, int& nLength)
{
    if (m_bFailed) {
        m_bFailed = false;
        AddAlarm("链路层通讯失败 ！");
        return 2;
    }
    if (m_RecvQueue.empty())
        return 0;
    const std::vector<std::uint8_t> element = std::move(m_RecvQueue.front());
    m_RecvQueue.pop_front();
    const int nStored = static_cast<int>(element.size()) - 8;
    nLength = std::clamp(std::min(element[2] - 5, nStored), 0, dl::kMaxUserData);
    std::copy_n(element.data() + 8, nLength, pBuffer);
    return 1;
}
