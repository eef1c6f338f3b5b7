#include "channel/PortMap.h"

#include <mutex>

namespace {

std::mutex g_mxDevices;
std::string g_Devices[2] = {"/dev/ttyS0", "/dev/ttyS1"};

bool IsPort(int nPort) { return nPort == 0 || nPort == 1; }

}  // namespace

std::string PortName(int nPort) { return "COM" + std::to_string(nPort + 1); }

std::string PortDevice(int nPort)
{
    std::lock_guard lock(g_mxDevices);
    return IsPort(nPort) ? g_Devices[nPort] : std::string();
}

void MapPortDevice(int nPort, const std::string& device)
{
    std::lock_guard lock(g_mxDevices);
    if (IsPort(nPort))
        g_Devices[nPort] = device;
}

void ResetPortDevices()
{
    std::lock_guard lock(g_mxDevices);
    g_Devices[0] = "/dev/ttyS0";
    g_Devices[1] = "/dev/ttyS1";
}
