#include "channel/PortMap.h"

#include <mutex>

#include "channel/TcpEndpoint.h"

namespace {

std::mutex g_mxDevices;
const std::string kDefaults[2] = {"/dev/ttyS0", "/dev/ttyS1"};
std::string g_Devices[2] = {kDefaults[0], kDefaults[1]};
std::string g_SerialDevices[2] = {kDefaults[0], kDefaults[1]};

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
    if (!IsPort(nPort))
        return;
    g_Devices[nPort] = device;
    if (!IsTcpDevice(device))
        g_SerialDevices[nPort] = device;
}

std::string SerialPortDevice(int nPort)
{
    std::lock_guard lock(g_mxDevices);
    return IsPort(nPort) ? g_SerialDevices[nPort] : std::string();
}

void ResetPortDevices()
{
    std::lock_guard lock(g_mxDevices);
    for (int nPort = 0; nPort < 2; ++nPort)
        g_Devices[nPort] = g_SerialDevices[nPort] = kDefaults[nPort];
}
