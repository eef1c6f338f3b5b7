#include "sim/DemoRtu.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "channel/PortMap.h"

namespace {

// Opens a pty pair in raw mode; returns the master side and the slave's device name.
bool OpenRawPty(int& fdMaster, std::string& device)
{
    int fdSlave = -1;
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&fdMaster, &fdSlave, name, &raw, nullptr) != 0)
        return false;
    ::close(fdSlave);  // Quelt opens the slave itself, by name
    device = name;
    return true;
}

}  // namespace

CDemoRtu::~CDemoRtu() { Stop(); }

bool CDemoRtu::Start(const SimOptions& options)
{
    std::string rtuDevice;
    std::string silentDevice;
    if (!OpenRawPty(m_fdRtu, rtuDevice) || !OpenRawPty(m_fdSilent, silentDevice))
        return false;
    MapPortDevice(1, rtuDevice);
    MapPortDevice(0, silentDevice);
    m_pRunner = std::make_unique<CSimRunner>(options, MakeFdLine(m_fdRtu));
    m_pRunner->Start();
    return true;
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
