#include "decode/Link.h"

#include <algorithm>

#include "dnp3/LinkFrame.h"

namespace qdec {

namespace {

constexpr int kHeader = 10;
constexpr int kBlock = 16;

CrcCheck Check(std::span<const std::uint8_t> frame, int nOffset, int nLength)
{
    CrcCheck c;
    c.nOffset = nOffset;
    c.nLength = nLength;
    const int nCrcAt = nOffset + nLength;
    c.wExpected = CalcCrc(frame.data() + nOffset, static_cast<std::size_t>(nLength));
    c.bPresent = nCrcAt + 2 <= static_cast<int>(frame.size());
    if (c.bPresent) {
        c.wFound = static_cast<std::uint16_t>(frame[nCrcAt] | frame[nCrcAt + 1] << 8);
        c.bOk = c.wFound == c.wExpected;
    }
    return c;
}

struct FunctionName {
    bool bPrm;
    int nFunction;
    const char* pszName;
};

constexpr FunctionName kFunctions[] = {
    {true, 0, "RESET_LINK_STATES"},    {true, 1, "RESET_USER_PROCESS"},
    {true, 2, "TEST_LINK_STATES"},     {true, 3, "CONFIRMED_USER_DATA"},
    {true, 4, "UNCONFIRMED_USER_DATA"}, {true, 9, "REQUEST_LINK_STATUS"},
    {false, 0, "ACK"},                 {false, 1, "NACK"},
    {false, 11, "LINK_STATUS"},        {false, 14, "NOT_FUNCTIONING"},
    {false, 15, "NOT_SUPPORTED"},
};

}  // namespace

bool LinkFrameInfo::CrcOk() const { return FirstCrcFault() == nullptr && bHeaderWhole && !bTruncated; }

const CrcCheck* LinkFrameInfo::FirstCrcFault() const
{
    if (headerCrc.bPresent && !headerCrc.bOk)
        return &headerCrc;
    for (const CrcCheck& block : blocks)
        if (block.bPresent && !block.bOk)
            return &block;
    return nullptr;
}

LinkFrameInfo DecodeLinkFrame(std::span<const std::uint8_t> frame)
{
    LinkFrameInfo info;
    const int n = static_cast<int>(frame.size());
    info.nOctets = n;
    LinkHeader& h = info.header;
    h.bStartOk = n >= 2 && frame[0] == 0x05 && frame[1] == 0x64;
    if (n >= 3) {
        h.nLen = frame[2];
        info.bLenInvalid = h.nLen < 5;
        info.nExpected = LinkFrameSize(h.nLen);
    }
    if (n >= 4) {
        h.byCtrl = frame[3];
        h.bDir = (h.byCtrl & 0x80) != 0;
        h.bPrm = (h.byCtrl & 0x40) != 0;
        h.bFcb = (h.byCtrl & 0x20) != 0;
        h.bFcvDfc = (h.byCtrl & 0x10) != 0;
        h.nFunction = h.byCtrl & 0x0F;
    }
    if (n >= 6)
        h.nDest = frame[4] | frame[5] << 8;
    if (n >= 8)
        h.nSrc = frame[6] | frame[7] << 8;
    if (n < 8) {
        info.bTruncated = true;
        return info;
    }
    info.headerCrc = Check(frame, 0, 8);
    info.bHeaderWhole = info.headerCrc.bPresent;
    if (!info.bHeaderWhole) {
        info.bTruncated = true;
        return info;
    }
    // The user data by LEN, as far as the octets go; a LEN below 5 has none.
    const int nUser = std::max(0, h.nLen - 5);
    for (int i = 0; i < nUser; i += kBlock) {
        const int nOffset = kHeader + i / kBlock * (kBlock + 2);
        const int nWant = std::min(kBlock, nUser - i);
        const int nHave = std::min(nWant, n - nOffset);
        if (nHave <= 0)
            break;
        info.blocks.push_back(Check(frame, nOffset, nHave));
        info.userData.insert(info.userData.end(), frame.begin() + nOffset, frame.begin() + nOffset + nHave);
        if (nHave < nWant)
            break;
    }
    info.bTruncated = n < info.nExpected;
    info.bExcess = n > info.nExpected;
    if (!info.blocks.empty() && !info.blocks.back().bPresent)
        info.bTruncated = true;
    return info;
}

int UserDataOffset(int i) { return kHeader + i / kBlock * (kBlock + 2) + i % kBlock; }

const char* LinkFunctionName(bool bPrm, int nFunction)
{
    for (const FunctionName& f : kFunctions)
        if (f.bPrm == bPrm && f.nFunction == nFunction)
            return f.pszName;
    return "UNKNOWN";
}

std::string HexText(std::span<const std::uint8_t> octets)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(octets.size() * 3);
    for (const std::uint8_t by : octets) {
        if (!text.empty())
            text += ' ';
        text += kDigits[by >> 4];
        text += kDigits[by & 0x0F];
    }
    return text;
}

}  // namespace qdec
