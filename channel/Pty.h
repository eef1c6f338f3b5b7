#pragma once
// A pseudo-terminal pair standing in for a serial line (the demo, tests, benchmarks).
#include <string>

// Opens a pair in raw mode. Returns the master side; the slave is closed again and left
// for whoever opens it by its name, as a serial port is opened. False with errno set.
bool OpenRawPty(int& fdMaster, std::string& slaveDevice);
