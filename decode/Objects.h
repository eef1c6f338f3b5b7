#pragma once
// What each object variation holds, for the groups the master and the simulated RTU use.
#include <cstdint>

namespace qdec {

enum class Value : std::uint8_t {
    None,      // no value of its own (class data, flags only)
    Bit,       // packed bits, one per point
    State,     // the state bit of the flags octet
    U16,
    U32,
    I16,
    I32,
    Float,
    Double,
    Time48,    // absolute time
    Crob,      // control relay output block: code, count, on, off, status
    Delay,     // 16-bit delay (52.1 in seconds, 52.2 in milliseconds)
};

enum class Flags : std::uint8_t { None, Binary, BinaryOutput, Counter, Analog, Control };

enum class Stamp : std::uint8_t { None, Absolute, Relative };

struct ObjectType {
    int nGroup;
    int nVariation;
    const char* pszName;
    Flags flags;      // a flags octet first
    Value value;
    Stamp stamp;      // a time after the value
    int nExtra;       // octets after all that (an interval, a status)
};

// nullptr when the variation is not one the decoder knows.
const ObjectType* FindObjectType(int nGroup, int nVariation);
// The group's name, for the header of a variation the decoder does not know.
const char* GroupName(int nGroup);
// Octets of one object; 0 for packed bits and for objects without data.
int ObjectSize(const ObjectType& type);
// The names of the set bits of a flags octet, e.g. "ONLINE|RESTART".
const char* FlagName(Flags flags, int nBit);

}  // namespace qdec
