#pragma once
// The point image: the last known state of every binary input, analog input and counter
// of the RTU. Eight slots exist; the master talks to one RTU and uses slot 0 only.
// Only the GUI thread touches it (decoding and display both run on its timers).
#include <cstdint>

constexpr int kPointCapacity = 1024;  // records per array, whatever the counts say
constexpr int kRtuSlots = 8;

struct YXPoint {
    std::uint16_t wIndex;
    std::uint8_t byState;  // bit 0: on
};

struct YCPoint {
    std::uint16_t wIndex;
    std::int16_t nValue;
};

struct YMPoint {
    std::uint16_t wIndex;
    std::uint32_t dwValue;  // counters and frozen counters share the array
};

struct RtuPointTable {
    int nYXNum = 0;  // how many binary inputs the result window shows
    YXPoint* pYX = nullptr;
    int nYCNum = 0;
    YCPoint* pYC = nullptr;
    int nYMNum = 0;
    YMPoint* pYM = nullptr;
};

extern RtuPointTable g_RtuPoints[kRtuSlots];

// Owns the allocation of the point arrays. Construction allocates every array of every
// slot once (record i gets wIndex i and value 0); later constructions find them there.
// The arrays live until the program ends.
class CFrameHandler {
public:
    CFrameHandler();

    static void AllocYX(int nSlot);
    static void AllocYC(int nSlot);
    static void AllocYM(int nSlot);
};

// Copies the configured point counts into slot 0 (start-up and the RTU dialog).
void SetPointCounts();
