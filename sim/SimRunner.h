#pragma once
// Runs a simulated RTU on a line: the far end of a pty (demo, tests) or a serial device
// (quelt-rtusim), in a thread of its own or on the calling thread.
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/Outstation.h"

class ISimLine {
public:
    virtual ~ISimLine() = default;
    virtual int Read(std::uint8_t* pBuffer, int nMax) = 0;  // never blocks
    virtual void Write(const std::uint8_t* pData, int nCount) = 0;
    // For poll(2): readable when octets arrive; -1 when the line has none.
    virtual int Descriptor() const { return -1; }
    // Counts the connections a network line accepted: each is a new master's link.
    virtual int Session() const { return 0; }
};

// A descriptor the runner does not own, such as the master side of a pty.
std::unique_ptr<ISimLine> MakeFdLine(int fd);
class CLineTap;
// The line with what it reads and writes handed to the tap as the octets of nPort.
std::unique_ptr<ISimLine> MakeTappedLine(std::unique_ptr<ISimLine> line, CLineTap& tap, int nPort);
// A serial device opened with the given speed, 8 data bits, no parity; nullptr and errno
// when it cannot be opened.
std::unique_ptr<ISimLine> MakeSerialLine(const std::string& device, int nBaudRate);

class CSimRunner {
public:
    CSimRunner(const SimOptions& options, std::unique_ptr<ISimLine> line, COutstation::Log log = {});
    ~CSimRunner() { Stop(); }
    CSimRunner(const CSimRunner&) = delete;
    CSimRunner& operator=(const CSimRunner&) = delete;

    void Start();  // in a thread
    void Stop();
    // On the calling thread until bStop is set.
    void Run(const std::atomic<bool>& bStop);

    // Access to the RTU from another thread while it runs.
    template <class F>
    auto With(F f)
    {
        std::lock_guard lock(m_mx);
        return f(m_Outstation);
    }

private:
    void Step();
    // Writes what is pending; paced, only the octets whose time on the line has come.
    void WritePending();
    // Until octets arrive, the next paced octet is due, or the RTU's next look at its
    // points (at most kIdleMs).
    void WaitForTheLine();
    static constexpr int kIdleMs = 5;

    SimOptions m_Options;
    std::unique_ptr<ISimLine> m_pLine;
    std::mutex m_mx;
    std::vector<std::uint8_t> m_Pending;  // octets the RTU sent, not yet written
    std::vector<std::uint8_t> m_OnTheLine;  // taken from m_Pending, leaving at the line's pace
    std::chrono::steady_clock::time_point m_tNextOctet{};
    bool m_bSending = false;  // octets were left on the line after the last write
    int m_nSession = 0;       // of the line, as last followed
    COutstation m_Outstation;
    std::atomic<bool> m_bStop{false};
    std::thread m_Thread;
};
