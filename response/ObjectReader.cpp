#include "response/ObjectReader.h"

namespace {

constexpr std::uint8_t kRange8 = 0x00;
constexpr std::uint8_t kRange16 = 0x01;
constexpr std::uint8_t kCount8 = 0x07;
constexpr std::uint8_t kIndexed8 = 0x17;
constexpr std::uint8_t kIndexed16 = 0x28;

}  // namespace

bool QualifierFits(QualifierKind kind, std::uint8_t q)
{
    switch (kind) {
    case QualifierKind::Range:
        return q == kRange16 || q == kRange8;
    case QualifierKind::Indexed:
        return q == kIndexed16 || q == kIndexed8;
    case QualifierKind::Count8:
        return q == kCount8;
    case QualifierKind::Any:
        return true;
    }
    return false;
}

bool ReadObjectRange(const CObjectReader& r, int p, ObjectRange& range)
{
    if (!r.Has(p, 3))
        return false;
    switch (r.U8(p + 2)) {
    case kRange16:
        if (!r.Has(p, 7))
            return false;
        range = {7, 0, r.U16(p + 3), static_cast<std::uint16_t>(r.U16(p + 5) - r.U16(p + 3) + 1)};
        return true;
    case kRange8:
        if (!r.Has(p, 5))
            return false;
        range = {5, 0, r.U8(p + 3), static_cast<std::uint16_t>(r.U8(p + 4) - r.U8(p + 3) + 1)};
        return true;
    case kIndexed16:
        if (!r.Has(p, 5))
            return false;
        range = {5, 2, 0, r.U16(p + 3)};
        return true;
    case kIndexed8:
    case kCount8:
        if (!r.Has(p, 4))
            return false;
        range = {4, r.U8(p + 2) == kIndexed8 ? 1 : 0, 0, r.U8(p + 3)};
        return true;
    default:
        range = {3, 0, 0, 0};
        return true;
    }
}
