#pragma once
// A serial channel: one port as a polled byte stream. Each poll step reads what has
// arrived, hands it to OnReceive, re-applies the line settings after a long silence and
// gives the channel one OnCycle. The DNP3 engine derives from it and replaces the hooks.
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "channel/Line.h"

class CProtocol {
public:
    static constexpr int kReadMax = 1024;       // octets taken per poll step
    static constexpr int kSilenceSeconds = 30;  // silence after which the line is reset

    // Opens the port at once; a port that fails to open leaves a usable object.
    explicit CProtocol(int nPort);
    // On a line opened elsewhere (in memory, for tests); the line settings are applied.
    CProtocol(int nPort, std::unique_ptr<ILine> pLine);
    virtual ~CProtocol();
    CProtocol(const CProtocol&) = delete;
    CProtocol& operator=(const CProtocol&) = delete;

    virtual void OnCycle() {}
    // Shows every octet as receive traffic.
    virtual void OnReceive(const std::uint8_t* pData, int nCount);
    virtual void ResetLine() { ApplyLineSettings(); }

    // The port's device: a serial device, or a TCP connection for "tcp://HOST[:PORT]".
    int OpenPort();           // nonzero on success
    int ApplyLineSettings();  // nonzero when the port took the settings
    int ClosePort();          // 1
    int Read(std::uint8_t* pBuffer, int nMax);
    virtual int Write(const std::uint8_t* pData, int nCount);  // 1 started, 0 not startable

    // One poll step; only the poll thread calls it, under g_csChannel.
    void PollStep();
    // Work the channel could do at once, without waiting for the line or the clock: the
    // poll thread steps it again before it waits.
    virtual bool WantsCycle() const { return false; }
    // How long the rest of a frame under way still needs on the line (0: none under way),
    // so that a frame costs a step or two rather than one per octet.
    virtual int SettleMs() const { return 0; }
    // For poll(2): readable when octets arrive; -1 when the line has none.
    int LineDescriptor() const { return m_pLine->Descriptor(); }

    int Port() const { return m_nPort; }
    const ILine& Line() const { return *m_pLine; }
    bool IsPortOpen() const { return m_pLine->IsOpen(); }
    // Write time-out per octet, fixed when the port opened: 19200 / baud ms.
    int WriteMsPerOctet() const { return m_nWriteMsPerOctet; }

protected:
    int OpenTcp(const std::string& device);

    std::unique_ptr<ILine> m_pLine;
    int m_nPort;
    std::time_t m_tLastRecv;
    int m_nWriteMsPerOctet = 0;
};

// The poll thread: one poll step for entry 0 and then entry 1 of the channel table, each
// under g_csChannel, until the stop flag is set; then it sleeps until octets arrive on a
// line, WakePollThread is called or 100 ms have passed, whichever comes first. Returns 0.
int PollThreadProc();
// Ends the poll thread's wait at once (the stop flag, new channels, a changed queue).
void WakePollThread();
// Ends its wait and keeps it from waiting on the lines until the lock is released: hold
// it while channels (and their ports) are replaced. Take it before g_csChannel.
std::unique_lock<std::mutex> KeepPollThreadOffTheLines();
