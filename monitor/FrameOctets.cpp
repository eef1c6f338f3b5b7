#include "monitor/FrameOctets.h"

#include <cstdio>

#include "decode/Link.h"

namespace {

constexpr int kOffsetWidth = 6;  // "0000  "
constexpr int kLineWidth = kOffsetWidth + kHexPerLine * 3;  // octets "XX " with the line end

}  // namespace

std::string HexDump(const std::vector<std::uint8_t>& octets)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    const int n = static_cast<int>(octets.size());
    for (int i = 0; i < n; ++i) {
        if (i % kHexPerLine == 0) {
            if (i > 0)
                text += '\n';
            char offset[16];
            std::snprintf(offset, sizeof offset, "%04X  ", static_cast<unsigned>(i));
            text += offset;
        } else {
            text += ' ';
        }
        text += kDigits[octets[static_cast<std::size_t>(i)] >> 4];
        text += kDigits[octets[static_cast<std::size_t>(i)] & 0x0F];
    }
    return text;
}

int HexDumpPosition(int nOctet) { return nOctet / kHexPerLine * kLineWidth + kOffsetWidth + nOctet % kHexPerLine * 3; }

std::vector<int> ItemOctets(const qdec::FrameDescription& d, const qdec::Item& item)
{
    std::vector<int> octets;
    if (item.nOffset < 0 || item.nLength <= 0)
        return octets;
    const int nFrame = static_cast<int>(d.Record.Octets.size());
    for (int i = item.nOffset; i < item.nOffset + item.nLength; ++i) {
        // The fragment follows the transport header in the frame's user data.
        const int nAt = !item.bInFragment ? i : d.nSegments == 1 ? qdec::UserDataOffset(i + 1) : -1;
        if (nAt >= 0 && nAt < nFrame)
            octets.push_back(nAt);
    }
    return octets;
}

std::vector<int> CrcOctets(const qdec::FrameDescription& d)
{
    std::vector<int> octets;
    const int nFrame = static_cast<int>(d.Record.Octets.size());
    const auto add = [&](const qdec::CrcCheck& c) {
        for (const int nAt : {c.nOffset + c.nLength, c.nOffset + c.nLength + 1})
            if (c.bPresent && nAt < nFrame)
                octets.push_back(nAt);
    };
    add(d.Link.headerCrc);
    for (const qdec::CrcCheck& block : d.Link.blocks)
        add(block);
    return octets;
}
