#include "decode/Objects.h"

namespace qdec {

namespace {

using enum Value;
constexpr Flags kNoFlags = Flags::None;

constexpr ObjectType kTypes[] = {
    {1, 1, "Binary Input - Packed Format", kNoFlags, Bit, Stamp::None, 0},
    {1, 2, "Binary Input - With Flags", Flags::Binary, State, Stamp::None, 0},
    {2, 1, "Binary Input Event - Without Time", Flags::Binary, State, Stamp::None, 0},
    {2, 2, "Binary Input Event - With Absolute Time", Flags::Binary, State, Stamp::Absolute, 0},
    {2, 3, "Binary Input Event - With Relative Time", Flags::Binary, State, Stamp::Relative, 0},
    {10, 1, "Binary Output - Packed Format", kNoFlags, Bit, Stamp::None, 0},
    {10, 2, "Binary Output Status - With Flags", Flags::BinaryOutput, State, Stamp::None, 0},
    {12, 1, "Control Relay Output Block", kNoFlags, Crob, Stamp::None, 0},
    {12, 2, "Pattern Control Block", kNoFlags, Crob, Stamp::None, 0},
    {12, 3, "Pattern Mask", kNoFlags, Bit, Stamp::None, 0},
    {20, 1, "Counter - 32-bit With Flag", Flags::Counter, U32, Stamp::None, 0},
    {20, 2, "Counter - 16-bit With Flag", Flags::Counter, U16, Stamp::None, 0},
    {20, 5, "Counter - 32-bit Without Flag", kNoFlags, U32, Stamp::None, 0},
    {20, 6, "Counter - 16-bit Without Flag", kNoFlags, U16, Stamp::None, 0},
    {21, 1, "Frozen Counter - 32-bit With Flag", Flags::Counter, U32, Stamp::None, 0},
    {21, 2, "Frozen Counter - 16-bit With Flag", Flags::Counter, U16, Stamp::None, 0},
    {21, 5, "Frozen Counter - 32-bit With Flag and Time", Flags::Counter, U32, Stamp::Absolute, 0},
    {21, 6, "Frozen Counter - 16-bit With Flag and Time", Flags::Counter, U16, Stamp::Absolute, 0},
    {21, 9, "Frozen Counter - 32-bit Without Flag", kNoFlags, U32, Stamp::None, 0},
    {21, 10, "Frozen Counter - 16-bit Without Flag", kNoFlags, U16, Stamp::None, 0},
    {22, 1, "Counter Event - 32-bit With Flag", Flags::Counter, U32, Stamp::None, 0},
    {22, 2, "Counter Event - 16-bit With Flag", Flags::Counter, U16, Stamp::None, 0},
    {22, 5, "Counter Event - 32-bit With Flag and Time", Flags::Counter, U32, Stamp::Absolute, 0},
    {22, 6, "Counter Event - 16-bit With Flag and Time", Flags::Counter, U16, Stamp::Absolute, 0},
    {30, 1, "Analog Input - 32-bit With Flag", Flags::Analog, I32, Stamp::None, 0},
    {30, 2, "Analog Input - 16-bit With Flag", Flags::Analog, I16, Stamp::None, 0},
    {30, 3, "Analog Input - 32-bit Without Flag", kNoFlags, I32, Stamp::None, 0},
    {30, 4, "Analog Input - 16-bit Without Flag", kNoFlags, I16, Stamp::None, 0},
    {30, 5, "Analog Input - Single-precision With Flag", Flags::Analog, Float, Stamp::None, 0},
    {30, 6, "Analog Input - Double-precision With Flag", Flags::Analog, Double, Stamp::None, 0},
    {32, 1, "Analog Input Event - 32-bit", Flags::Analog, I32, Stamp::None, 0},
    {32, 2, "Analog Input Event - 16-bit", Flags::Analog, I16, Stamp::None, 0},
    {32, 3, "Analog Input Event - 32-bit With Time", Flags::Analog, I32, Stamp::Absolute, 0},
    {32, 4, "Analog Input Event - 16-bit With Time", Flags::Analog, I16, Stamp::Absolute, 0},
    {32, 5, "Analog Input Event - Single-precision", Flags::Analog, Float, Stamp::None, 0},
    {32, 6, "Analog Input Event - Double-precision", Flags::Analog, Double, Stamp::None, 0},
    {32, 7, "Analog Input Event - Single-precision With Time", Flags::Analog, Float, Stamp::Absolute, 0},
    {32, 8, "Analog Input Event - Double-precision With Time", Flags::Analog, Double, Stamp::Absolute, 0},
    {41, 1, "Analog Output - 32-bit", kNoFlags, I32, Stamp::None, 1},
    {41, 2, "Analog Output - 16-bit", kNoFlags, I16, Stamp::None, 1},
    {41, 3, "Analog Output - Single-precision", kNoFlags, Float, Stamp::None, 1},
    {41, 4, "Analog Output - Double-precision", kNoFlags, Double, Stamp::None, 1},
    {50, 1, "Time and Date - Absolute Time", kNoFlags, Time48, Stamp::None, 0},
    {50, 2, "Time and Date - Absolute Time and Interval", kNoFlags, Time48, Stamp::None, 4},
    {50, 3, "Time and Date - Absolute Time at Last Recorded Time", kNoFlags, Time48, Stamp::None, 0},
    {51, 1, "Time and Date CTO - Absolute Time, Synchronized", kNoFlags, Time48, Stamp::None, 0},
    {51, 2, "Time and Date CTO - Absolute Time, Unsynchronized", kNoFlags, Time48, Stamp::None, 0},
    {52, 1, "Time Delay - Coarse", kNoFlags, Delay, Stamp::None, 0},
    {52, 2, "Time Delay - Fine", kNoFlags, Delay, Stamp::None, 0},
    {60, 1, "Class Objects - Class 0 Data", kNoFlags, None, Stamp::None, 0},
    {60, 2, "Class Objects - Class 1 Data", kNoFlags, None, Stamp::None, 0},
    {60, 3, "Class Objects - Class 2 Data", kNoFlags, None, Stamp::None, 0},
    {60, 4, "Class Objects - Class 3 Data", kNoFlags, None, Stamp::None, 0},
    {80, 1, "Internal Indications - Packed Format", kNoFlags, Bit, Stamp::None, 0},
};

struct GroupRow {
    int nGroup;
    const char* pszName;
};

constexpr GroupRow kGroups[] = {
    {1, "Binary Input"},          {2, "Binary Input Event"},     {3, "Double-bit Binary Input"},
    {4, "Double-bit Binary Input Event"}, {10, "Binary Output"}, {11, "Binary Output Event"},
    {12, "Control Relay Output Block"}, {20, "Counter"},        {21, "Frozen Counter"},
    {22, "Counter Event"},        {23, "Frozen Counter Event"}, {30, "Analog Input"},
    {32, "Analog Input Event"},   {34, "Analog Input Deadband"}, {40, "Analog Output Status"},
    {41, "Analog Output"},        {42, "Analog Output Event"},  {50, "Time and Date"},
    {51, "Time and Date CTO"},    {52, "Time Delay"},           {60, "Class Objects"},
    {70, "File-control"},         {80, "Internal Indications"}, {110, "Octet String"},
    {111, "Octet String Event"},  {120, "Authentication"},
};

// Bit names of the flags octet, bit 0 first; empty names are reserved bits.
constexpr const char* kFlagNames[][8] = {
    {"", "", "", "", "", "", "", ""},
    {"ONLINE", "RESTART", "COMM_LOST", "REMOTE_FORCED", "LOCAL_FORCED", "CHATTER_FILTER", "", "STATE"},
    {"ONLINE", "RESTART", "COMM_LOST", "REMOTE_FORCED", "LOCAL_FORCED", "", "", "STATE"},
    {"ONLINE", "RESTART", "COMM_LOST", "REMOTE_FORCED", "LOCAL_FORCED", "ROLLOVER", "DISCONTINUITY", ""},
    {"ONLINE", "RESTART", "COMM_LOST", "REMOTE_FORCED", "LOCAL_FORCED", "OVER_RANGE", "REFERENCE_ERR", ""},
    {"", "", "", "", "", "", "", ""},
};

}  // namespace

const ObjectType* FindObjectType(int nGroup, int nVariation)
{
    for (const ObjectType& type : kTypes)
        if (type.nGroup == nGroup && type.nVariation == nVariation)
            return &type;
    return nullptr;
}

const char* GroupName(int nGroup)
{
    for (const GroupRow& row : kGroups)
        if (row.nGroup == nGroup)
            return row.pszName;
    return "Unknown group";
}

int ObjectSize(const ObjectType& type)
{
    int n = type.flags != Flags::None ? 1 : 0;
    switch (type.value) {
    case Value::None:
    case Value::Bit:
    case Value::State:
        break;
    case Value::U16:
    case Value::I16:
    case Value::Delay:
        n += 2;
        break;
    case Value::U32:
    case Value::I32:
    case Value::Float:
        n += 4;
        break;
    case Value::Double:
        n += 8;
        break;
    case Value::Time48:
        n += 6;
        break;
    case Value::Crob:
        n += 11;
        break;
    }
    n += type.stamp == Stamp::Absolute ? 6 : type.stamp == Stamp::Relative ? 2 : 0;
    return n + type.nExtra;
}

const char* FlagName(Flags flags, int nBit)
{
    return kFlagNames[static_cast<int>(flags)][nBit & 7];
}

}  // namespace qdec
