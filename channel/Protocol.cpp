#include "channel/Protocol.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "channel/PortMap.h"
#include "channel/SerialPort.h"
#include "channel/TcpLine.h"
#include "channel/ChannelTable.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/Notify.h"
#include "core/TrafficLines.h"
#include "monitor/AlarmLog.h"
#include "record/LineTap.h"

ChannelTable g_Channels;

CProtocol::CProtocol(int nPort) : m_pLine(std::make_unique<CSerialPort>()), m_nPort(nPort), m_tLastRecv(Now())
{
    OpenPort();
}

CProtocol::CProtocol(int nPort, std::unique_ptr<ILine> pLine)
    : m_pLine(std::move(pLine)), m_nPort(nPort), m_tLastRecv(Now())
{
    const int nBaudRate = g_nBaudRate;
    m_nWriteMsPerOctet = nBaudRate > 0 ? 19200 / nBaudRate : 0;
    ApplyLineSettings();
}

CProtocol::~CProtocol() { ClosePort(); }

int CProtocol::OpenPort()
{
    const std::string device = PortDevice(m_nPort);
    if (IsTcpDevice(device))
        return OpenTcp(device);
    auto pPort = std::make_unique<CSerialPort>();
    if (!pPort->Open(device)) {
        // A user without a terminal sees only the box: it names the port and says why; the
        // alarm window keeps it after the box is gone.
        const std::string reason = std::strerror(errno);
        ShowMessageBox(PortName(m_nPort) + "\n" + device + ": " + reason);
        AddAlarm("端口未打开: " + PortName(m_nPort) + " " + device + " (" + reason + ")");
        return 0;
    }
    m_pLine = std::move(pPort);
    const int nBaudRate = g_nBaudRate;
    m_nWriteMsPerOctet = nBaudRate > 0 ? 19200 / nBaudRate : 0;
    m_pLine->Purge();
    return ApplyLineSettings();
}

int CProtocol::OpenTcp(const std::string& device)
{
    std::string reason;
    const std::optional<TcpEndpoint> endpoint = ParseTcpDevice(device, &reason);
    if (!endpoint) {
        ShowMessageBox(PortName(m_nPort) + "\n" + device + ": " + reason);
        AddAlarm("端口未打开: " + PortName(m_nPort) + " " + device + " (" + reason + ")");
        return 0;
    }
    // It connects in the poll steps that follow, never here on the GUI thread.
    m_pLine = std::make_unique<CTcpLine>(*endpoint);
    m_nWriteMsPerOctet = 0;
    return 1;
}

int CProtocol::ApplyLineSettings() { return m_pLine->Apply(CurrentLineSettings()) ? 1 : 0; }

int CProtocol::ClosePort()
{
    m_pLine->Close();
    return 1;
}

int CProtocol::Read(std::uint8_t* pBuffer, int nMax)
{
    const int nRead = m_pLine->Read(pBuffer, nMax);
    TapOctets(m_nPort, qdec::Direction::Received, pBuffer, nRead);
    return nRead;
}

int CProtocol::Write(const std::uint8_t* pData, int nCount)
{
    int nWritten = 0;
    const std::int64_t tStartUs = LineTap() != nullptr ? MonotonicUs() : 0;
    if (!m_pLine->Write(pData, nCount, nCount * m_nWriteMsPerOctet, nWritten))
        return 0;
    TapOctets(m_nPort, qdec::Direction::Sent, pData, nWritten, tStartUs);
    if (nWritten == nCount)
        VerboseTrace("\n" + std::to_string(nWritten) + " bytes written");
    else
        DebugTrace("\nProbable Write Timeout: Total of " + std::to_string(nWritten) + " bytes sent");
    return 1;
}

void CProtocol::OnReceive(const std::uint8_t* pData, int nCount)
{
    for (int i = 0; i < nCount; ++i)
        AppendRecvText(pData[i]);
}

void CProtocol::PollStep()
{
    m_pLine->Maintain();
    std::uint8_t buffer[kReadMax];
    const int nRead = Read(buffer, kReadMax);
    if (nRead > 0) {
        OnReceive(buffer, nRead);
        m_tLastRecv = Now();
    } else if (Now() - m_tLastRecv > kSilenceSeconds) {
        ApplyLineSettings();
        ResetLine();
        m_tLastRecv = Now();
    }
    OnCycle();
}

namespace {

constexpr int kSettleMaxMs = 100;  // the longest wait for the rest of a frame
// The longest wait on the lines. Every time-out is checked this often; and a line whose
// octets the kernel is slow to hand over (its worker starved on a busy machine) is looked
// at again this soon: waiting up to a second let them lie for seconds under load.
constexpr int kPollMs = 100;
constexpr int kBurstMax = 16;  // steps in a row while a channel has work at once

int WakeDescriptor()
{
    static const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd;
}

// Held by the poll thread while it waits on the lines' descriptors: a port closed under
// a poll(2) stays busy for whoever opens it next.
std::mutex g_mxLineWait;

void WaitForWork()
{
    // A frame under way is left to arrive whole first: one wake-up for its rest rather
    // than one for each piece the line delivers.
    int nSettleMs = 0;
    {
        std::lock_guard lock(g_csChannel);
        for (const auto& pChannel : g_Channels.pChannel)
            if (pChannel)
                nSettleMs = std::max(nSettleMs, pChannel->SettleMs());
    }
    if (nSettleMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(nSettleMs, kSettleMaxMs)));
        return;
    }
    std::lock_guard waiting(g_mxLineWait);
    pollfd fds[3];
    nfds_t n = 0;
    if (WakeDescriptor() >= 0)
        fds[n++] = {WakeDescriptor(), POLLIN, 0};
    {
        std::lock_guard lock(g_csChannel);
        for (const auto& pChannel : g_Channels.pChannel)
            if (pChannel && pChannel->LineDescriptor() >= 0)
                fds[n++] = {pChannel->LineDescriptor(), POLLIN, 0};
    }
    // A channel replaced meanwhile leaves a stale descriptor here: at worst the wait runs
    // its 100 ms, and the new channel wakes it anyway.
    if (::poll(fds, n, kPollMs) > 0 && WakeDescriptor() >= 0 && (fds[0].revents & POLLIN) != 0) {
        std::uint64_t nWakes = 0;
        (void)!::read(WakeDescriptor(), &nWakes, sizeof nWakes);
    }
}

}  // namespace

std::unique_lock<std::mutex> KeepPollThreadOffTheLines()
{
    WakePollThread();
    return std::unique_lock<std::mutex>(g_mxLineWait);
}

void WakePollThread()
{
    const std::uint64_t one = 1;
    if (WakeDescriptor() >= 0)
        (void)!::write(WakeDescriptor(), &one, sizeof one);
}

int PollThreadProc()
{
    for (;;) {
        bool bMore = false;
        int nSteps = 0;
        do {
            bMore = false;
            for (int i = 0; i < 2; ++i) {
                std::lock_guard lock(g_csChannel);
                if (CProtocol* pChannel = g_Channels.pChannel[i].get()) {
                    pChannel->PollStep();
                    bMore = bMore || pChannel->WantsCycle();
                }
            }
        } while (bMore && ++nSteps < kBurstMax);
        if (g_Channels.nStop.load(std::memory_order_acquire) != 0)
            return 0;
        WaitForWork();
    }
}
