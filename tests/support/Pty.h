#pragma once
// A pty pair standing in for a serial line: the code under test opens the slave device by
// name, the test plays the far end on the master descriptor.
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Device() const { return m_Device; }
    int MasterFd() const { return m_fdMaster; }
    // Far end: octets written here arrive at the device.
    void Write(const std::vector<std::uint8_t>& data) const;
    // Far end: everything that has arrived from the device within the wait.
    std::vector<std::uint8_t> ReadAll(int nWaitMs = 200) const;
    // Far end: the next n octets from the device, as soon as they are there; fewer only if
    // they have not come within the (generous) bound.
    std::vector<std::uint8_t> ReadCount(std::size_t n, int nBoundMs = 20000) const;

private:
    int m_fdMaster = -1;
    std::string m_Device;
};
