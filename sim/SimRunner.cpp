#include "sim/SimRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "channel/SerialPort.h"
#include "core/Clock.h"
#include "record/LineTap.h"

namespace {

class CFdLine : public ISimLine {
public:
    explicit CFdLine(int fd) : m_fd(fd) { fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK); }
    int Read(std::uint8_t* pBuffer, int nMax) override
    {
        const ssize_t n = ::read(m_fd, pBuffer, static_cast<std::size_t>(nMax));
        return n > 0 ? static_cast<int>(n) : 0;  // nothing yet, or no one at the other end
    }
    int Descriptor() const override { return m_fd; }
    void Write(const std::uint8_t* pData, int nCount) override
    {
        for (int nDone = 0; nDone < nCount;) {
            const ssize_t n = ::write(m_fd, pData + nDone, static_cast<std::size_t>(nCount - nDone));
            if (n > 0) {
                nDone += static_cast<int>(n);
                continue;
            }
            pollfd pfd{m_fd, POLLOUT, 0};
            if (::poll(&pfd, 1, 1000) <= 0)
                return;  // nobody reads the line: drop the rest rather than hang
        }
    }

private:
    int m_fd;
};

class CSerialLine : public ISimLine {
public:
    CSerialLine(std::unique_ptr<CSerialPort> pPort, int nBaudRate) : m_pPort(std::move(pPort)), m_nBaudRate(nBaudRate) {}
    int Read(std::uint8_t* pBuffer, int nMax) override { return m_pPort->Read(pBuffer, nMax); }
    int Descriptor() const override { return m_pPort->Descriptor(); }
    void Write(const std::uint8_t* pData, int nCount) override
    {
        int nWritten = 0;
        // Twice the time the octets take on the line, and a little more.
        m_pPort->Write(pData, nCount, nCount * 20000 / m_nBaudRate + 100, nWritten);
    }

private:
    std::unique_ptr<CSerialPort> m_pPort;
    int m_nBaudRate;
};

class CTappedLine : public ISimLine {
public:
    CTappedLine(std::unique_ptr<ISimLine> pLine, CLineTap& tap, int nPort)
        : m_pLine(std::move(pLine)), m_Tap(tap), m_nPort(nPort)
    {
    }
    int Read(std::uint8_t* pBuffer, int nMax) override
    {
        const int n = m_pLine->Read(pBuffer, nMax);
        m_Tap.OctetsNow(m_nPort, qdec::Direction::Received, pBuffer, n);
        return n;
    }
    int Descriptor() const override { return m_pLine->Descriptor(); }
    void Write(const std::uint8_t* pData, int nCount) override
    {
        const std::int64_t tStartUs = MonotonicUs();
        m_pLine->Write(pData, nCount);
        m_Tap.OctetsNow(m_nPort, qdec::Direction::Sent, pData, nCount, tStartUs);
    }

private:
    std::unique_ptr<ISimLine> m_pLine;
    CLineTap& m_Tap;
    int m_nPort;
};

}  // namespace

std::unique_ptr<ISimLine> MakeTappedLine(std::unique_ptr<ISimLine> line, CLineTap& tap, int nPort)
{
    return std::make_unique<CTappedLine>(std::move(line), tap, nPort);
}

std::unique_ptr<ISimLine> MakeFdLine(int fd) { return std::make_unique<CFdLine>(fd); }

std::unique_ptr<ISimLine> MakeSerialLine(const std::string& device, int nBaudRate)
{
    auto pPort = std::make_unique<CSerialPort>();
    if (!pPort->Open(device) || !pPort->Apply({nBaudRate, 8, 0, 0}))
        return nullptr;
    return std::make_unique<CSerialLine>(std::move(pPort), nBaudRate);
}

CSimRunner::CSimRunner(const SimOptions& options, std::unique_ptr<ISimLine> line, COutstation::Log log)
    : m_Options(options), m_pLine(std::move(line)),
      m_Outstation(
          options, [this](const std::vector<std::uint8_t>& octets) { m_Pending.insert(m_Pending.end(), octets.begin(), octets.end()); },
          std::move(log))
{
}

void CSimRunner::Start()
{
    Stop();
    m_bStop = false;
    m_Thread = std::thread([this] { Run(m_bStop); });
}

void CSimRunner::Stop()
{
    m_bStop = true;
    if (m_Thread.joinable())
        m_Thread.join();
}

void CSimRunner::Run(const std::atomic<bool>& bStop)
{
    With([](COutstation& rtu) {
        rtu.Start();
        return 0;
    });
    while (!bStop)
        Step();
}

void CSimRunner::Step()
{
    std::uint8_t buffer[1024];
    const int n = m_pLine->Read(buffer, sizeof buffer);
    {
        std::lock_guard lock(m_mx);
        if (m_pLine->Session() != m_nSession) {
            // Nothing meant for the master before goes to the new one.
            m_nSession = m_pLine->Session();
            m_Outstation.OnNewConnection();
            m_Pending.clear();
            m_OnTheLine.clear();
        }
        if (n > 0)
            m_Outstation.Receive(buffer, n);
        m_Outstation.Tick();
        m_OnTheLine.insert(m_OnTheLine.end(), m_Pending.begin(), m_Pending.end());
        m_Pending.clear();
    }
    WritePending();
    if (n == 0)
        WaitForTheLine();
}

void CSimRunner::WaitForTheLine()
{
    using namespace std::chrono;
    int nWaitMs = kIdleMs;
    if (!m_OnTheLine.empty()) {
        const auto untilNext = ceil<milliseconds>(m_tNextOctet - steady_clock::now()).count();
        nWaitMs = static_cast<int>(std::clamp<long long>(untilNext, 0, kIdleMs));
    }
    pollfd pfd{m_pLine->Descriptor(), POLLIN, 0};
    const int nReady = pfd.fd < 0 ? -1 : ::poll(&pfd, 1, nWaitMs);
    // A line that cannot be waited on, or that reports a hang-up at once (a pty nobody
    // has opened yet, or whose other end went away: readable, yet nothing to read), is
    // looked at again after the wait instead of at once.
    if (nReady < 0 || (nReady > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) ||
        (nReady > 0 && (pfd.revents & POLLIN) == 0))
        std::this_thread::sleep_for(milliseconds(nWaitMs));
}

void CSimRunner::WritePending()
{
    if (m_OnTheLine.empty()) {
        m_bSending = false;
        return;
    }
    std::size_t nDue = m_OnTheLine.size();
    if (m_Options.bPace) {
        // Ten bits an octet: the octets trickle out as they would on a real line, and the
        // RTU keeps listening meanwhile.
        using namespace std::chrono;
        const auto octet = microseconds(10'000'000 / std::max(m_Options.nBaudRate, 1));
        const auto now = steady_clock::now();
        // After an idle line no credit for the silence; a frame under way catches up
        // instead, as a UART drains its FIFO without a gap however late its feeder is.
        if (m_tNextOctet < now - 2 * octet && !m_bSending)
            m_tNextOctet = now;
        nDue = 0;
        while (nDue < m_OnTheLine.size() && m_tNextOctet <= now) {
            ++nDue;
            m_tNextOctet += octet;
        }
    }
    if (nDue == 0)
        return;
    m_pLine->Write(m_OnTheLine.data(), static_cast<int>(nDue));
    m_OnTheLine.erase(m_OnTheLine.begin(), m_OnTheLine.begin() + static_cast<long>(nDue));
    m_bSending = !m_OnTheLine.empty();
}
