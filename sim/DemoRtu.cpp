#include "sim/DemoRtu.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "channel/PortMap.h"
#include "channel/Pty.h"
#include "core/Config.h"
#include "sim/TcpListenLine.h"

CDemoRtu::~CDemoRtu() { Stop(); }

bool CDemoRtu::Start(const SimOptions& options, COutstation::Log log)
{
    std::string rtuDevice;
    std::string silentDevice;
    if (!OpenRawPty(m_fdRtu, rtuDevice) || !OpenRawPty(m_fdSilent, silentDevice))
        return false;
    MapPortDevice(COM2, rtuDevice);
    MapPortDevice(COM1, silentDevice);
    m_pRunner = std::make_unique<CSimRunner>(options, MakeFdLine(m_fdRtu), std::move(log));
    m_pRunner->Start();
    return true;
}

bool CDemoRtu::StartOnTcp(const SimOptions& options, std::string& reason, COutstation::Log log)
{
    std::string silentDevice;
    if (!OpenRawPty(m_fdSilent, silentDevice)) {
        reason = std::strerror(errno);
        return false;
    }
    auto line = CTcpListenLine::Listen("127.0.0.1:0", 0, log, reason);
    if (!line)
        return false;
    MapPortDevice(COM2, "tcp://127.0.0.1:" + std::to_string(line->Port()));
    MapPortDevice(COM1, silentDevice);
    SimOptions tcp = options;
    tcp.bPace = false;  // a network has no line speed
    m_pRunner = std::make_unique<CSimRunner>(tcp, std::move(line), std::move(log));
    m_pRunner->Start();
    return true;
}

SimOptions CDemoRtu::DemoOptions()
{
    SimOptions options;
    options.nBaudRate = 1200;
    options.bPace = true;
    return options;
}

void CDemoRtu::Stop()
{
    m_pRunner.reset();
    for (int* pfd : {&m_fdRtu, &m_fdSilent}) {
        if (*pfd >= 0)
            ::close(*pfd);
        *pfd = -1;
    }
}
