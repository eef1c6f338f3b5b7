// The engine's own part: the cycle over the layers, the line below the link layer (every
// octet shown and parsed, a frame under way given up after a silence or a time-out) and
// whether the poll thread should step it again at once.
#include "dnp3/QueltProtocol.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <utility>

#include "core/Clock.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "dnp3/FunctionCodes.h"

namespace {

// An octet on the line takes at most eleven bit times (start, eight data, parity, stop).
std::int64_t OctetMicroseconds()
{
    const int nBaud = std::max(g_nBaudRate.load(std::memory_order_relaxed), 1);
    return 11'000'000 / nBaud;
}

}  // namespace

CQueltProtocol::CQueltProtocol(int nPort) : CProtocol(nPort), m_Planner(Now())
{
    TakeAddresses();
    PublishStatus();
}

CQueltProtocol::CQueltProtocol(int nPort, std::unique_ptr<ILine> pLine)
    : CProtocol(nPort, std::move(pLine)), m_Planner(Now())
{
    TakeAddresses();
    PublishStatus();
}

CQueltProtocol::~CQueltProtocol() { g_EngineStatus.SetNoEngine(); }

int CQueltProtocol::ScanPeriod() { return std::max(g_nScanPeriod.load(std::memory_order_relaxed), 2); }

void CQueltProtocol::TakeAddresses()
{
    m_Link.SetAddresses(g_nMasterAddress.load(std::memory_order_relaxed), g_nRtuAddress.load(std::memory_order_relaxed));
}

void CQueltProtocol::OnCycle()
{
    TakeAddresses();  // the parameter dialog may have changed them
    FollowSession();
    KeepAliveStep();
    AbandonStaleFrame();
    m_Link.Step(ScanPeriod());
    TransportStep();
    ApplicationStep();
    // What the application step handed down goes out in the same cycle.
    if (m_Link.HasFrameToWrite())
        m_Link.Step(ScanPeriod());
    PublishStatus();
}

void CQueltProtocol::FollowSession()
{
    const int nSession = m_pLine->Session();
    if (nSession == m_nSession)
        return;
    m_nSession = nSession;
    m_nSessionStartMs = MonotonicMs();
    m_bKeepAliveSent = false;
    // Nothing of the old connection may complete a frame or answer a request of the new.
    DropFrameUnderWay();
    m_Link.Restart();
    m_Transport.Restart();
    m_App = CAppLayer();
    m_NextTry = CAppLayer::Try::NEW;
    m_ControlEcho = CControlEcho();
    m_Planner.Restart();
    m_HandOver = HandOver::NONE;
    m_IinWatch = CIinWatch();
}

void CQueltProtocol::KeepAliveStep()
{
    if (!m_pLine->IsNetwork() || !IsPortOpen())
        return;
    const std::int64_t nSilentMs = MonotonicMs() - std::max(m_nLastRxMs, m_nSessionStartMs);
    const std::int64_t nPeriodMs = std::max(g_nKeepAliveSeconds.load(std::memory_order_relaxed), 1) * 1000LL;
    if (nSilentMs < nPeriodMs) {
        m_bKeepAliveSent = false;
        return;
    }
    if (!m_bKeepAliveSent)
        m_bKeepAliveSent = m_Link.RequestLinkStatus();
    if (nSilentMs >= nPeriodMs + CLinkLayer::kAnswerTimeout * 1000LL)
        m_pLine->Drop("保活无应答, " + std::to_string(nSilentMs / 1000) + " 秒未收到数据");
}

void CQueltProtocol::PublishStatus() const
{
    LinkHealth health = LinkHealth::NORMAL;
    if (m_bAnswerLost)
        health = LinkHealth::FAILED;
    else if (!m_Link.IsReset())
        health = LinkHealth::NOT_RESET;
    g_EngineStatus.SetState(IsPortOpen(), health);
}

void CQueltProtocol::OnAnswered()
{
    m_bAnswerLost = false;
    g_EngineStatus.SetLastAnswer(Now());
}

bool CQueltProtocol::WantsCycle() const
{
    // Each of these moves on in one cycle, so the poll thread's burst of steps ends.
    if (m_Link.HasFrameToWrite())
        return true;
    if (m_Link.HasNewsForTransport())
        return true;  // a segment (or a failure) for the transport
    if (m_App.IsWaiting())
        return m_Transport.HasResults();  // a fragment that may be the answer
    if (!m_Link.CanSend())
        return false;
    return m_App.ConfirmDue() || m_App.UnsolicitedConfirmDue() || m_App.GetState() == CAppLayer::State::FAILED ||
           m_Planner.HasRequests();  // a confirm, a retry or the next request
}

void CQueltProtocol::TransportStep()
{
    const std::optional<std::uint8_t> byAppCtrl = m_Transport.ReceiveStep();
    if (byAppCtrl)
        m_App.OnFlowing(*byAppCtrl, Now());
}

void CQueltProtocol::WriteFrame(const std::uint8_t* pFrame, int nSize, const char* pszPrefix, bool bAwaited)
{
    std::uint8_t stamped[dl::kMaxFrameSize];
    pFrame = AtHandOver(pFrame, std::min(nSize, dl::kMaxFrameSize), stamped);
    if (Write(pFrame, nSize) == 0)
        return;  // nothing went out (the port is not open): nothing is shown as sent
    // Prefix, octets, line end, and "<= " on the receive side when an answer is awaited,
    // all under one hold of the display lock.
    std::lock_guard lock(g_csDisplay);
    AppendSendText(std::string_view(pszPrefix));
    for (int i = 0; i < nSize; ++i)
        AppendSendText(pFrame[i]);
    AppendSendText('\r');
    AppendSendText('\n');
    if (bAwaited)
        AppendRecvText(std::string_view("<= "));
}

const std::uint8_t* CQueltProtocol::AtHandOver(const std::uint8_t* pFrame, int nSize, std::uint8_t* pCopy)
{
    // User-data offsets: transport header, application control, function, then objects.
    constexpr int kFunctionAt = dl::kHeaderSize + 2;
    constexpr int kObjectsAt = dl::kHeaderSize + 3;
    constexpr int kTimeAt = 7;
    constexpr std::uint8_t kTimeHeader[4] = {50, 1, 0x07, 0x01};
    if (m_HandOver == HandOver::NONE || nSize <= kFunctionAt || (pFrame[3] & dl::PRM) == 0)
        return pFrame;
    const int nLinkFunc = pFrame[3] & dl::FUNC;
    if (nLinkFunc != dl::CONFIRMED_USER_DATA && nLinkFunc != dl::UNCONFIRMED_USER_DATA)
        return pFrame;
    // The next user data after the request was queued is the request, unless the link
    // dropped it: then nothing is noted or stamped.
    const HandOver what = std::exchange(m_HandOver, HandOver::NONE);
    if (what == HandOver::DELAY_MEASURE && pFrame[kFunctionAt] == fc::DELAY_MEASURE) {
        m_ClockSync.OnMeasureSent(MonotonicUs());
        m_bAwaitingFirstOctet = true;
        m_nFirstOctetUs = -1;
        return pFrame;
    }
    if (what == HandOver::RECORD_TIME && pFrame[kFunctionAt] == fc::RECORD_CURRENT_TIME) {
        m_ClockSync.OnRecordSent(UtcMs());
        return pFrame;
    }
    if (what != HandOver::TIME_SYNC || pFrame[kFunctionAt] != fc::WRITE || nSize < kObjectsAt + 4 ||
        !std::equal(std::begin(kTimeHeader), std::end(kTimeHeader), pFrame + kObjectsAt))
        return pFrame;
    std::copy_n(pFrame, nSize, pCopy);
    std::uint8_t time[6];
    m_ClockSync.TimeToWrite(g_nTimeFormat.load(std::memory_order_relaxed), time);
    return PatchUserData(pCopy, nSize, kTimeAt, time, 6) ? pCopy : pFrame;
}

void CQueltProtocol::ShowReceiveNote(const char* pszText) { AppendRecvText(std::string_view(pszText)); }

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
    if (std::exchange(m_bAwaitingFirstOctet, false))
        m_nFirstOctetUs = MonotonicUs();
    // A frame that spans reads restarts the wait for an answer with every further read.
    if (m_Parser.InFrame())
        m_Link.OnFrameFlowing();
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
        DropFrameUnderWay();
}

void CQueltProtocol::AbandonFrame()
{
    // Nothing went out on a port that is not open, so nothing timed out.
    if (IsPortOpen()) {
        g_EngineStatus.Count(CEngineStatusBoard::TIME_OUTS);
        // A link reset nobody answers: the line is dead, not merely not yet reset.
        if (!m_Link.IsReset())
            m_bAnswerLost = true;
    }
    DropFrameUnderWay();
}

void CQueltProtocol::OnBadFrame()
{
    g_EngineStatus.Count(CEngineStatusBoard::CRC_FAILURES);
    m_Link.OnBadFrame();
}

void CQueltProtocol::DropFrameUnderWay()
{
    // A frame cut short by lost octets would otherwise take the first octets of the next
    // one to complete itself, and that frame would be lost as well.
    if (m_Parser.Abandon())
        EndDisplayLine();
}

void CQueltProtocol::EndDisplayLine()
{
    std::lock_guard lock(g_csDisplay);
    AppendRecvText('\r');
    AppendRecvText('\n');
}
