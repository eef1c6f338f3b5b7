#include "channel/Protocol.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "channel/PortMap.h"
#include "channel/SerialPort.h"
#include "channel/ChannelTable.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/Notify.h"
#include "core/TrafficLines.h"

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
    auto pPort = std::make_unique<CSerialPort>();
    if (!pPort->Open(device)) {
        // A user without a terminal sees only the box: it names the port and says why.
        ShowMessageBox(PortName(m_nPort) + "\n" + device + ": " + std::strerror(errno));
        return 0;
    }
    m_pLine = std::move(pPort);
    const int nBaudRate = g_nBaudRate;
    m_nWriteMsPerOctet = nBaudRate > 0 ? 19200 / nBaudRate : 0;
    m_pLine->Purge();
    return ApplyLineSettings();
}

int CProtocol::ApplyLineSettings() { return m_pLine->Apply(CurrentLineSettings()) ? 1 : 0; }

int CProtocol::ClosePort()
{
    m_pLine->Close();
    return 1;
}

int CProtocol::Read(std::uint8_t* pBuffer, int nMax) { return m_pLine->Read(pBuffer, nMax); }

int CProtocol::Write(const std::uint8_t* pData, int nCount)
{
    int nWritten = 0;
    if (!m_pLine->Write(pData, nCount, nCount * m_nWriteMsPerOctet, nWritten))
        return 0;
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

int PollThreadProc()
{
    for (;;) {
        for (int i = 0; i < 2; ++i) {
            std::lock_guard lock(g_csChannel);
            if (CProtocol* pChannel = g_Channels.pChannel[i].get())
                pChannel->PollStep();
        }
        if (g_Channels.nStop.load(std::memory_order_acquire) != 0)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
