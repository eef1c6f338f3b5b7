#pragma once
// One application fragment described: control, function, IIN, and each object header and
// point as far as the octets go. Malformed input is described up to the fault, named.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/AppNames.h"
#include "decode/Description.h"
#include "decode/Time.h"

namespace qdec {

struct AppInfo {
    bool bPresent = false;
    std::uint8_t byCtrl = 0;
    bool bFir = false;
    bool bFin = false;
    bool bCon = false;
    bool bUns = false;
    int nSeq = 0;
    int nFunction = -1;
    bool bHasIin = false;
    std::uint16_t wIin = 0;  // IIN1 in the high octet, as written "IIN 9000"
    std::string ObjectSummary;  // "2.2×3 32.2×1", "60.2 60.3 60.4"
    std::vector<Item> Items;    // offsets in the fragment
    std::string Fault;          // the first fault found; empty when none
};

AppInfo DecodeApplication(std::span<const std::uint8_t> fragment, TimeConvention convention);

}  // namespace qdec
