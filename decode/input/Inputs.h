#pragma once
// What quelt-decode reads, turned into line records: pcap and pcapng (Quelt's recordings,
// others' DNP3 over UDP or TCP port 20000, serial captures of linktype 250), Quelt's
// capture files (traffic-window text, "=> ", "R> ", "<= " lines) and plain hex.
#include <string>
#include <vector>

#include "decode/Record.h"

namespace qdec {

enum class InputKind { Pcap, Capture, Hex };

// The kind of the content, by its first octets.
InputKind DetectInput(const std::string& content);

// Every record the content holds, in order. False with a one-line reason when the content
// cannot be read as its kind; what was read before the fault is kept.
bool ReadRecords(const std::string& content, std::vector<LineRecord>& records, std::string& reason);

}  // namespace qdec
