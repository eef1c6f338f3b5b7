#pragma once
// The readers behind ReadRecords, one per kind of input.
#include <string>
#include <vector>

#include "decode/input/Inputs.h"

namespace qdec {

bool ReadPcap(const std::string& content, std::vector<LineRecord>& records, std::string& reason);
bool ReadCapture(const std::string& content, std::vector<LineRecord>& records, std::string& reason);
bool ReadHex(const std::string& content, std::vector<LineRecord>& records, std::string& reason);
// Frames from the master (DIR set) are "sent", the others "received".
void SetDirectionByDirBit(LineRecord& record);

}  // namespace qdec
