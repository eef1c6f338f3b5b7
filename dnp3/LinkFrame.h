#pragma once
// DNP3 link frames: a ten-octet header with its CRC, then the user data in blocks of 16,
// each block followed by its CRC. 16-bit fields and CRCs go low octet first.
#include <array>
#include <cstddef>
#include <cstdint>

namespace dl {  // the data link layer

constexpr std::uint8_t kStart1 = 0x05;
constexpr std::uint8_t kStart2 = 0x64;
constexpr int kHeaderSize = 10;
constexpr int kMaxUserData = 250;
constexpr int kMaxFrameSize = 292;

// Control octet bits.
constexpr std::uint8_t DIR = 0x80;
constexpr std::uint8_t PRM = 0x40;
constexpr std::uint8_t FCB = 0x20;
constexpr std::uint8_t FCV = 0x10;  // primary frames
constexpr std::uint8_t DFC = 0x10;  // secondary frames
constexpr std::uint8_t FUNC = 0x0F;

// Function codes.
enum PrimaryFunc : std::uint8_t {
    RESET_LINK_STATES = 0,
    RESET_USER_PROCESS = 1,
    TEST_LINK_STATES = 2,
    CONFIRMED_USER_DATA = 3,
    UNCONFIRMED_USER_DATA = 4,
    REQUEST_LINK_STATUS = 9,
};
enum SecondaryFunc : std::uint8_t {
    ACK = 0,
    NACK = 1,
    LINK_STATUS = 11,
    NOT_FUNCTIONING = 14,
};

}  // namespace dl

// CRC-16/DNP (reflected 0x3D65, initial 0, result complemented).
std::uint16_t CalcCrc(const std::uint8_t* pData, std::size_t nCount);

// Octets on the line of a frame with this LEN: 10 for LEN 5, 292 for LEN 255. A LEN below
// 5 is treated as 5, so the result is always a whole header.
int LinkFrameSize(int nLen);

// Builds a frame into pFrame (room for kMaxFrameSize) with n = 0..250 user-data octets
// and returns its size. DEST and SRC are taken as 16-bit values.
int BuildLinkFrame(std::uint8_t byCtrl, int nDest, int nSrc, const std::uint8_t* pData, int nData,
                   std::uint8_t* pFrame);

// Overwrites n user-data octets from user-data offset nAt in a built frame of nSize
// octets and renews the CRCs of the blocks they lie in; false (nothing written) when they
// do not all lie in the frame.
bool PatchUserData(std::uint8_t* pFrame, int nSize, int nAt, const std::uint8_t* pData, int n);

using HeaderFrame = std::array<std::uint8_t, dl::kHeaderSize>;
HeaderFrame BuildHeaderFrame(std::uint8_t byCtrl, int nDest, int nSrc);

// True when the CRC of the n octets at pData equals the two octets that follow them.
bool CrcMatches(const std::uint8_t* pData, std::size_t nCount);
