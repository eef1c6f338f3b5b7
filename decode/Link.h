#pragma once
// One link frame as it was on the line, described field by field: the header with its
// CRC, then each block of user data with its own CRC. Nothing is read outside the octets
// given; a frame cut short is described as far as it goes.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qdec {

struct CrcCheck {
    int nOffset = 0;  // of the checked octets in the frame
    int nLength = 0;  // checked octets, the CRC's two not included
    bool bPresent = false;  // both CRC octets are there
    bool bOk = false;
    std::uint16_t wFound = 0;
    std::uint16_t wExpected = 0;
};

struct LinkHeader {
    bool bStartOk = false;  // 05 64
    int nLen = 0;           // LEN: octets from the control octet to the last user-data octet
    std::uint8_t byCtrl = 0;
    bool bDir = false;
    bool bPrm = false;
    bool bFcb = false;
    bool bFcvDfc = false;   // FCV on primary frames, DFC on secondary ones
    int nFunction = 0;
    int nDest = 0;
    int nSrc = 0;
};

struct LinkFrameInfo {
    int nOctets = 0;     // given
    int nExpected = 0;   // the frame's size by its LEN (0 when the header is short)
    bool bHeaderWhole = false;
    LinkHeader header;
    CrcCheck headerCrc;
    std::vector<CrcCheck> blocks;   // one per block of user data present
    std::vector<std::uint8_t> userData;  // the user data present, CRCs removed
    bool bTruncated = false;  // fewer octets than LEN asks for
    bool bExcess = false;     // more octets than LEN asks for (ignored)
    bool bLenInvalid = false; // LEN below 5

    bool CrcOk() const;  // header and every block present and right
    // The first CRC that failed, or nullptr.
    const CrcCheck* FirstCrcFault() const;
};

LinkFrameInfo DecodeLinkFrame(std::span<const std::uint8_t> frame);

// The frame offset of user-data octet i (CRCs skipped).
int UserDataOffset(int i);

const char* LinkFunctionName(bool bPrm, int nFunction);

// "05 64 0B C4" and so on: two hex digits per octet, one space between.
std::string HexText(std::span<const std::uint8_t> octets);

}  // namespace qdec
