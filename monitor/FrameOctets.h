#pragma once
// The octets of a frame as the analysis window shows them, 16 a line after their offset,
// and which of them an item of the description covers, so that the view can mark them.
#include <string>
#include <vector>

#include "decode/Frame.h"

constexpr int kHexPerLine = 16;

// "0000  05 64 0B C4 ...\n0010  ..." (no line end after the last line).
std::string HexDump(const std::vector<std::uint8_t>& octets);
// Where octet n begins in that text, in characters (they are all ASCII).
int HexDumpPosition(int nOctet);
// The frame's octets an item covers. Items of the application layer count in the
// fragment; they are found in the frame when it carried the whole fragment, else none.
std::vector<int> ItemOctets(const qdec::FrameDescription& d, const qdec::Item& item);
// The frame's CRC octets (header and blocks) that are there.
std::vector<int> CrcOctets(const qdec::FrameDescription& d);
