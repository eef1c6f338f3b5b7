#pragma once
// quelt --demo: two pty pairs stand in for the serial lines. COM2 (the engine's port at
// start) leads to a simulated RTU served in this process, COM1 to a silent line. With
// --tcp the RTU listens on a loopback port instead and COM2 connects to it.
#include <memory>
#include <string>

#include "sim/SimRunner.h"

class CDemoRtu {
public:
    CDemoRtu() = default;
    ~CDemoRtu();
    CDemoRtu(const CDemoRtu&) = delete;
    CDemoRtu& operator=(const CDemoRtu&) = delete;

    // Creates the ptys, maps COM1 and COM2 to them and starts the RTU. False (errno set)
    // when the ptys cannot be made. The log, if given, hears what the RTU does.
    bool Start(const SimOptions& options, COutstation::Log log = {});
    // The same with the RTU on TCP, 127.0.0.1 and a free port. False (reason set) when
    // it cannot listen or the pty cannot be made.
    bool StartOnTcp(const SimOptions& options, std::string& reason, COutstation::Log log = {});
    // The demo's RTU: as fast as a real one on the master's default 1200 bit/s line.
    static SimOptions DemoOptions();
    void Stop();
    // The running RTU (after Start), for the benchmarks that watch it.
    CSimRunner& Runner() { return *m_pRunner; }

private:
    int m_fdRtu = -1;     // far end of COM2, served by the RTU
    int m_fdSilent = -1;  // far end of COM1, nobody talks there
    std::unique_ptr<CSimRunner> m_pRunner;
};
