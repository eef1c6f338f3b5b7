#pragma once
// Finds link frames in an octet stream for the simulated RTU: checks every CRC and hands
// out each valid frame as its eight header octets followed by the user data.
#include <cstdint>
#include <vector>

class CFrameAssembler {
public:
    // Adds octets; returns the complete valid frames they finished, in order.
    std::vector<std::vector<std::uint8_t>> Push(const std::uint8_t* pData, int nCount);
    int CrcErrors() const { return m_nCrcErrors; }
    // No part of a frame is waiting for the rest.
    bool IsIdle() const { return m_Buffer.empty(); }

private:
    std::vector<std::uint8_t> m_Buffer;  // from a start octet pair on
    int m_nCrcErrors = 0;
};
