#pragma once
// "COM1" and "COM2" stand for devices the command line can name.
#include <string>

// "COM1" for port 0, "COM2" for port 1.
std::string PortName(int nPort);
// The device a port opens: /dev/ttyS0 and /dev/ttyS1 unless mapped.
std::string PortDevice(int nPort);
void MapPortDevice(int nPort, const std::string& device);
void ResetPortDevices();
