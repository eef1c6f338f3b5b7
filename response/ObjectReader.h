#pragma once
// Bounds-checked reading of one response element: nothing outside octets 0..L-1 is read.
#include <cstdint>

class CObjectReader {
public:
    CObjectReader(const std::uint8_t* pElement, int nLength) : m_p(pElement), m_nLength(nLength) {}

    int Length() const { return m_nLength; }
    // True when the n octets at nPos lie inside the element.
    bool Has(int nPos, int n) const { return nPos >= 0 && n >= 0 && nPos <= m_nLength - n; }
    std::uint8_t U8(int nPos) const { return m_p[nPos]; }
    std::uint16_t U16(int nPos) const
    {
        return static_cast<std::uint16_t>(m_p[nPos] | (m_p[nPos + 1] << 8));
    }
    std::uint32_t U32(int nPos) const
    {
        return static_cast<std::uint32_t>(U16(nPos)) | (static_cast<std::uint32_t>(U16(nPos + 2)) << 16);
    }
    std::uint64_t U48(int nPos) const { return U32(nPos) | (static_cast<std::uint64_t>(U16(nPos + 4)) << 32); }

private:
    const std::uint8_t* m_p;
    int m_nLength;
};

// The range field of an object header in one of the forms the decoders accept.
struct ObjectRange {
    int nHeaderSize = 0;  // octets before the first object (or the first index)
    int nIndexSize = 0;   // indexed forms: octets of the index in front of each object
    int nStart = 0;       // range forms
    int nCount = 0;       // points of a range (E - S + 1 in 16 bits) or objects of an indexed form
};

enum class QualifierKind {
    Range,    // 0x01 (16-bit start and stop) or 0x00 (8-bit)
    Indexed,  // 0x28 (16-bit count and indexes) or 0x17 (8-bit)
    Count8,   // 0x07: 8-bit count
    Any,      // not examined
};

// Whether the qualifier belongs to the kind.
bool QualifierFits(QualifierKind kind, std::uint8_t byQualifier);
// Reads the range field of the header at p (qualifier already accepted). False when the
// header itself does not fit in the element.
bool ReadObjectRange(const CObjectReader& r, int p, ObjectRange& range);
