// The link-layer procedures of the master: keeping the link reset, answering the RTU's
// link requests, sending queued frames with time-out and retransmission, and reporting
// a link failure upwards.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "dnp3/QueltProtocol.h"
#include "monitor/AlarmLog.h"

namespace {

int Address16(const ConfigWord& word) { return word.load(std::memory_order_relaxed) & 0xFFFF; }

}  // namespace

CQueltProtocol::CQueltProtocol(int nPort)
    : CProtocol(nPort), m_tLastScan(Now()), m_tmResponse(m_tLastScan), m_tmLinkCheck(m_tLastScan)
{
    m_tRequest = m_tLastScan;
}

CQueltProtocol::CQueltProtocol(int nPort, std::unique_ptr<ILine> pLine)
    : CProtocol(nPort, std::move(pLine)), m_tLastScan(Now()), m_tmResponse(m_tLastScan),
      m_tmLinkCheck(m_tLastScan)
{
    m_tRequest = m_tLastScan;
}

void CQueltProtocol::OnCycle()
{
    const int nMaster = Address16(g_nMasterAddress);
    const int nRtu = Address16(g_nRtuAddress);
    AbandonStaleFrame();
    LinkSendStep(nMaster, nRtu);
    TransportReceive(nMaster, nRtu);
    ApplicationStep(nMaster, nRtu);
}

bool CQueltProtocol::WantsCycle() const
{
    // Each of these moves on in one cycle, so the poll thread's burst of steps ends.
    const bool bLinkReady = m_nLinkState == LINK_RESET && (m_nAwaiting & AWAIT_LINK) == 0 && m_SendQueue.empty() &&
                            m_bRemoteBusy == 0 && m_bLinkFailed == 0;
    if (!m_SendQueue.empty())
        return (m_nAwaiting & AWAIT_LINK) == 0 && m_bRemoteBusy == 0;  // a frame to write
    if (!m_RecvQueue.empty() || m_bLinkFailed != 0)
        return true;  // a segment (or a failure) for the transport
    if (m_byAppWait != 0)
        return !m_TpResults.empty();  // a fragment that may be the answer
    if (!bLinkReady)
        return false;
    return m_bConfirmPending != 0 || m_bUnsolConfirmPending != 0 || m_bAppFailed != 0 ||
           !m_listInit.empty() || !m_listPoll.empty();  // a confirm or the next request
}

void CQueltProtocol::WriteAndShow(const std::uint8_t* pFrame, int nSize, const char* pszPrefix,
                                  bool bAwaited)
{
    std::lock_guard lock(g_csDisplay);
    AppendSendText(std::string_view(pszPrefix));
    for (int i = 0; i < nSize; ++i)
        AppendSendText(pFrame[i]);
    AppendSendText('\r');
    AppendSendText('\n');
    if (bAwaited)
        AppendRecvText(std::string_view("<= "));
}

void CQueltProtocol::SendSecondary(std::uint8_t byFunc, int nDest, int nSrc)
{
    const HeaderFrame frame = BuildHeaderFrame(static_cast<std::uint8_t>(dl::DIR | byFunc), nDest, nSrc);
    m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_LINK);
    m_bRetry = 0;
    m_nMaxRetries = 0;
    m_nLastKind = KIND_SECONDARY;
    Write(frame.data(), dl::kHeaderSize);
    WriteAndShow(frame.data(), dl::kHeaderSize, "=> ", false);
}

void CQueltProtocol::SendLinkRequest(std::uint8_t byFunc, int nDest, int nSrc)
{
    const HeaderFrame frame =
        BuildHeaderFrame(static_cast<std::uint8_t>(dl::DIR | dl::PRM | byFunc), nDest, nSrc);
    m_nAwaiting |= AWAIT_LINK;
    m_bRetry = 1;
    m_nMaxRetries = 3;
    m_nRetries = 0;
    m_nLastKind = KIND_LINK_REQUEST;
    m_bRxError = 0;
    Write(frame.data(), dl::kHeaderSize);
    std::copy(frame.begin(), frame.end(), m_LastFrame);
    m_tmResponse = Now();
    WriteAndShow(frame.data(), dl::kHeaderSize, "=> ", true);
}

void CQueltProtocol::LinkSendStep(int nMaster, int nRtu)
{
    const std::time_t now = Now();

    if ((m_nAwaiting & AWAIT_LINK) == 0 && m_bRemoteBusy == 0 && !m_SendQueue.empty()) {
        const SendElement element = std::move(m_SendQueue.front());
        m_SendQueue.pop_front();
        const int nSize = std::min(LinkFrameSize(element.Frame[2]), static_cast<int>(element.Frame.size()));
        Write(element.Frame.data(), nSize);
        m_nAwaiting = element.byAwaiting;
        m_bRetry = element.nRetry;
        m_nMaxRetries = element.nMaxRetries;
        m_nRetries = 0;
        if (m_nAwaiting != 0) {
            m_bRxError = 0;  // the new wait starts clean
            m_tmResponse = Now();
            std::copy_n(element.Frame.data(), nSize, m_LastFrame);
        } else {
            m_bRetry = 0;
            m_nMaxRetries = 0;
        }
        WriteAndShow(element.Frame.data(), nSize, "=> ", m_nAwaiting != 0);
    }

    if (m_nAwaiting != 0) {
        if (now - m_tmResponse <= kAnswerTimeout && m_bRxError == 0)
            return;
        if (m_bRxError != 0) {
            AppendRecvText(std::string_view("Receiving Error !\r\n"));
            m_bRxError = 0;
        } else {
            AbandonFrame();
            AppendRecvText(std::string_view("Receiving TimeOut !\r\n"));
        }
        m_tmResponse = now;
        if (m_bRetry != 0 && m_nRetries < m_nMaxRetries) {
            ++m_nRetries;
            const int nSize = LinkFrameSize(m_LastFrame[2]);
            Write(m_LastFrame, nSize);
            WriteAndShow(m_LastFrame, nSize, "R> ", true);
            return;
        }
        m_nAwaiting = 0;
        if (m_nLastKind == KIND_USER_DATA)
            m_bLinkFailed = 1;
        return;
    }

    // Link maintenance.
    const int nPeriod = std::max(g_nScanPeriod.load(std::memory_order_relaxed), 2);
    if (now - m_tmLinkCheck < nPeriod)
        return;
    if (m_bRemoteBusy != 0) {
        SendLinkRequest(dl::REQUEST_LINK_STATUS, nRtu, nMaster);
    } else if (!IsLinkReset()) {
        SendLinkRequest(dl::RESET_LINK_STATES, nRtu, nMaster);
        m_bResetPending = 1;
    }
    m_tmLinkCheck = now;
}

void CQueltProtocol::OnRtuResetLinkStates()
{
    const int nRtu = Address16(g_nRtuAddress);
    const int nMaster = Address16(g_nMasterAddress);
    m_nRecvFcb = 1;
    m_nSendFcb = 1;
    SendSecondary(dl::ACK, nRtu, nMaster);
    m_nLinkState = LINK_RESET;
    SendLinkRequest(dl::RESET_LINK_STATES, nRtu, nMaster);
}

void CQueltProtocol::HandleHeaderFrame(const std::uint8_t* pFrame)
{
    const std::uint8_t byCtrl = pFrame[3];
    const std::uint8_t byFunc = byCtrl & dl::FUNC;
    const bool bFromRtu = (byCtrl & (dl::DIR | dl::PRM)) == dl::PRM;
    const int nRtu = Address16(g_nRtuAddress);
    const int nMaster = Address16(g_nMasterAddress);

    if ((m_nAwaiting & AWAIT_LINK) != 0) {
        m_nAwaiting &= static_cast<std::uint8_t>(~AWAIT_LINK);
        if (bFromRtu) {
            if (byFunc == dl::RESET_LINK_STATES) {
                m_bLinkFailed = 1;  // what was awaited is lost with the RTU's reset
                OnRtuResetLinkStates();
            }
            return;
        }
        switch (byFunc) {
        case dl::ACK:
            if (m_bResetPending != 0) {
                // Our reset restarts our direction only: what the RTU sends keeps its
                // own count until the RTU resets.
                m_bLinkFailed = 0;
                m_nLinkState = LINK_RESET;
                m_nSendFcb = 1;
                m_bResetPending = 0;
            }
            if ((byCtrl & dl::DFC) != 0)
                m_bRemoteBusy = 1;
            break;
        case dl::NACK:
            m_bLinkFailed = 1;
            break;
        case dl::LINK_STATUS:
            if ((byCtrl & dl::DFC) == 0)
                m_bRemoteBusy = 0;
            break;
        default:
            break;
        }
        return;
    }

    if (!bFromRtu)
        return;  // a secondary frame nobody asked for
    switch (byFunc) {
    case dl::RESET_LINK_STATES:
        OnRtuResetLinkStates();
        break;
    case dl::RESET_USER_PROCESS:
        if (IsLinkReset())
            SendSecondary(dl::ACK, nRtu, nMaster);
        break;
    case dl::TEST_LINK_STATES:
        if (IsLinkReset() && (byCtrl & dl::FCV) != 0) {
            if (((byCtrl & dl::FCB) != 0 ? 1 : 0) == m_nRecvFcb)
                m_nRecvFcb ^= 1;
            SendSecondary(dl::ACK, nRtu, nMaster);
        }
        break;
    case dl::REQUEST_LINK_STATUS:
        if (IsLinkReset())
            SendSecondary(dl::LINK_STATUS, nRtu, nMaster);
        break;
    default:  // 3 to 8, 10 to 15
        if (IsLinkReset())
            SendSecondary(dl::NOT_FUNCTIONING, nRtu, nMaster);
        break;
    }
}

void CQueltProtocol::HandleDataFrame(const std::uint8_t* pFrame, int nLength)
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
        SendSecondary(dl::ACK, Address16(g_nRtuAddress), Address16(g_nMasterAddress));
        break;
    default:
        break;
    }
}

bool CQueltProtocol::QueueReceivedData(const std::uint8_t* pFrame, int nLength)
{
    // The transport takes one segment a cycle; an RTU flooding short frames could outrun
    // it without end. The newest are dropped, and that is said once per flood.
    if (m_RecvQueue.size() >= kMaxRecvQueue) {
        if (m_bRecvOverflow == 0)
            AddAlarm("接收数据过多, 已丢弃 !");
        m_bRecvOverflow = 1;
        return false;
    }
    m_bRecvOverflow = 0;
    m_RecvQueue.emplace_back(pFrame, pFrame + nLength);
    return true;
}

int CQueltProtocol::TakeUserData(std::uint8_t* pBuffer, int& nLength)
{
    if (m_bLinkFailed != 0) {
        m_bLinkFailed = 0;
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
