#pragma once
// One record of the line described through every layer. A stream decoder keeps what
// spans records: the fragments under way per port and direction, and the time of the
// previous frame on each port.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "decode/Application.h"
#include "decode/Description.h"
#include "decode/Link.h"
#include "decode/Record.h"
#include "decode/Transport.h"

namespace qdec {

struct FrameDescription {
    LineRecord Record;
    double dDeltaMs = -1;     // since the previous record on the same port; -1: first
    LinkFrameInfo Link;       // Frame and Truncated records
    TransportHeader Transport;
    bool bFragment = false;   // this frame ended a fragment, described in App
    int nSegments = 0;
    AppInfo App;
    std::string Summary;      // one line, the frame line's end
    std::string CrcText;      // "ok", "-", or the first failure
    std::vector<Item> Items;  // the layers, in order
    bool bFault = false;      // a CRC failure, noise, a cut or a loss: the record stands out
};

class CStreamDecoder {
public:
    explicit CStreamDecoder(TimeConvention convention = TimeConvention::MonthRelative) : m_Convention(convention) {}

    FrameDescription Describe(LineRecord record);
    void Reset();
    // How 48-bit times read from the next record on.
    void SetConvention(TimeConvention convention) { m_Convention = convention; }

private:
    TimeConvention m_Convention;
    std::map<std::pair<std::string, Direction>, CFragmentAssembler> m_Assemblers;
    std::map<std::string, std::int64_t> m_tLastUs;  // per port
};

// The text lines of a description: the frame line, then one indented line per item, then
// the octets.
std::string DescriptionText(const FrameDescription& d);
// "time,delta_ms,port,direction,..." and one row per description.
const char* CsvHeader();
std::string CsvRow(const FrameDescription& d);

}  // namespace qdec
