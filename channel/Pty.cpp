#include "channel/Pty.h"

#include <pty.h>
#include <termios.h>
#include <unistd.h>

bool OpenRawPty(int& fdMaster, std::string& slaveDevice)
{
    int fdSlave = -1;
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&fdMaster, &fdSlave, name, &raw, nullptr) != 0)
        return false;
    ::close(fdSlave);
    slaveDevice = name;
    return true;
}
