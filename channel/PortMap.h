#pragma once
// "COM1" and "COM2" stand for devices the command line can name: a serial device, or for
// COM2 an RTU on the network, "tcp://HOST[:PORT]".
#include <string>

// "COM1" for port 0, "COM2" for port 1.
std::string PortName(int nPort);
// The device a port opens: /dev/ttyS0 and /dev/ttyS1 unless mapped.
std::string PortDevice(int nPort);
void MapPortDevice(int nPort, const std::string& device);
// The serial device last mapped to the port, so that a switch back from TCP finds it.
std::string SerialPortDevice(int nPort);
void ResetPortDevices();
