#pragma once
// What the line tap saw, one record at a time: a whole link frame, octets between frames,
// a frame cut short, or octets the tap lost. Plain data, shared by the recording, the
// analysis and the offline decoder.
#include <cstdint>
#include <string>
#include <vector>

namespace qdec {

enum class RecordKind : std::uint8_t { Frame, Noise, Truncated, Lost };
enum class Direction : std::uint8_t { Sent, Received };

struct LineRecord {
    RecordKind kind = RecordKind::Frame;
    int nPort = 1;                 // 0 COM1, 1 COM2
    Direction dir = Direction::Received;
    std::int64_t tWallUs = 0;      // first octet, microseconds since 1970 (0: not known)
    std::int64_t tMonoUs = 0;      // first octet, on a clock that never jumps
    std::int64_t tMonoEndUs = 0;   // last octet
    std::vector<std::uint8_t> Octets;
    std::uint64_t nLost = 0;       // Lost: octets the tap could not keep
    std::string PortName;          // empty: "COM1" / "COM2" by nPort
};

std::string PortText(const LineRecord& record);

}  // namespace qdec
