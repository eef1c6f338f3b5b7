#pragma once
// The objects of the simulated RTU's responses, written as a conformant outstation writes
// them: each object whole and small enough for one fragment, events in the order they
// happened with one header per run of one kind, and the fragments that carry them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/SimDatabase.h"

struct ResponseObject {
    std::vector<std::uint8_t> Octets;     // header and data
    std::vector<std::uint64_t> EventIds;  // the events it reports
};

struct ResponseOptions {
    bool bCompact = false;        // 8-bit ranges and indexes where they fit
    std::size_t nMaxObject = 0;   // octets one object may take (the fragment less its header)
    bool bClockSynced = true;     // CTOs as 51.1, else 51.2 (unsynchronised)
};

// Static data of one group and variation (0: the RTU's default variation) for the points
// nFirst to nLast, clipped to the points there are. False when the RTU has no such object.
bool AddStaticObjects(const CSimDatabase& db, std::uint8_t byGroup, std::uint8_t byVar, int nFirst, int nLast,
                      const ResponseOptions& options, std::vector<ResponseObject>& out);

// How binary-input events are written: 1 without time, 2 with time, 3 with a CTO and
// times relative to it.
void AddEventObjects(const std::vector<SimEvent>& events, int nBinaryVar, const ResponseOptions& options,
                     std::vector<ResponseObject>& out);

// The objects packed in order into fragments of at most nFragment octets, 4 of which are
// the fragment's own header. An empty list still makes one (empty) fragment.
std::vector<std::vector<ResponseObject>> PackFragments(const std::vector<ResponseObject>& objects,
                                                       std::size_t nFragment);
