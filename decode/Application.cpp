#include "decode/Application.h"

#include <cstdio>
#include <cstring>

#include "decode/AppNames.h"
#include "decode/Format.h"
#include "decode/Link.h"
#include "decode/Objects.h"

namespace qdec {

namespace {

bool IsResponse(int nFunction) { return nFunction == 0x81 || nFunction == 0x82 || nFunction == 0x83; }

// Requests whose object headers carry objects; the others name points or classes only.
bool RequestCarriesObjects(int nFunction)
{
    switch (nFunction) {
    case 2:   // WRITE
    case 3:   // SELECT
    case 4:   // OPERATE
    case 5:   // DIRECT_OPERATE
    case 6:   // DIRECT_OPERATE_NR
    case 11:  // FREEZE_AT_TIME
    case 12:  // FREEZE_AT_TIME_NR
    case 22:  // ASSIGN_CLASS
        return true;
    default:
        return false;
    }
}

// Bounds-checked little-endian reads over the fragment.
class CReader {
public:
    explicit CReader(std::span<const std::uint8_t> data) : m_Data(data) {}
    int Size() const { return static_cast<int>(m_Data.size()); }
    bool Has(int nPos, long long n) const { return nPos >= 0 && n >= 0 && nPos + n <= Size(); }
    std::uint64_t Uint(int nPos, int nOctets) const
    {
        std::uint64_t v = 0;
        for (int i = nOctets - 1; i >= 0; --i)
            v = v << 8 | m_Data[static_cast<std::size_t>(nPos + i)];
        return v;
    }
    std::span<const std::uint8_t> Span(int nPos, int n) const { return m_Data.subspan(nPos, n); }

private:
    std::span<const std::uint8_t> m_Data;
};

struct Header {
    int nGroup = 0;
    int nVariation = 0;
    int nQualifier = 0;
    int nPrefix = 0;       // prefix code
    int nRangeCode = 0;
    int nIndexSize = 0;    // octets of an index prefix
    int nSizePrefix = 0;   // octets of an object-size prefix
    bool bRange = false;   // start-stop
    long long nStart = 0;
    long long nCount = 0;  // points named
    int nHeaderSize = 3;
    std::string RangeText;
};

constexpr int kPrefixOctets[8] = {0, 1, 2, 4, 1, 2, 4, 0};

class CAppDecoder {
public:
    CAppDecoder(std::span<const std::uint8_t> fragment, TimeConvention convention, AppInfo& info)
        : m_r(fragment), m_Convention(convention), m_Info(info)
    {
    }

    void Run();

private:
    void Add(int nDepth, std::string text, int nOffset, int nLength, bool bFault = false)
    {
        m_Info.Items.push_back({nDepth, std::move(text), nOffset, nLength, bFault});
    }
    void Fault(std::string text, int nOffset, int nLength)
    {
        if (m_Info.Fault.empty())
            m_Info.Fault = text;
        Add(2, std::move(text), nOffset, nLength, true);
    }
    bool ReadHeader(int p, Header& h);
    // Returns the offset after the object's data, or -1 when decoding cannot go on.
    int Object(int p);
    int Points(int p, const Header& h, const ObjectType& type);
    int SizePrefixed(int p, const Header& h);
    std::string PointText(int p, const ObjectType& type);
    void Summarise(const Header& h, bool bData);

    CReader m_r;
    TimeConvention m_Convention;
    AppInfo& m_Info;
    bool m_bCto = false;
    std::uint64_t m_qwCto = 0;
};

void CAppDecoder::Run()
{
    const int nHeader = IsResponse(m_r.Size() >= 2 ? m_r.Uint(1, 1) : 0) ? 4 : 2;
    if (m_r.Size() < 2) {
        Fault("application header cut short (" + std::to_string(m_r.Size()) + " octets)", 0, m_r.Size());
        return;
    }
    AppInfo& a = m_Info;
    a.bPresent = true;
    a.byCtrl = static_cast<std::uint8_t>(m_r.Uint(0, 1));
    a.bFir = (a.byCtrl & 0x80) != 0;
    a.bFin = (a.byCtrl & 0x40) != 0;
    a.bCon = (a.byCtrl & 0x20) != 0;
    a.bUns = (a.byCtrl & 0x10) != 0;
    a.nSeq = a.byCtrl & 0x0F;
    a.nFunction = static_cast<int>(m_r.Uint(1, 1));
    std::string line = Format("application %02X", a.byCtrl);
    for (const auto& [bSet, pszName] : {std::pair{a.bFir, " FIR"}, {a.bFin, " FIN"}, {a.bCon, " CON"},
                                        {a.bUns, " UNS"}})
        if (bSet)
            line += pszName;
    line += Format(" seq %d  %s (%d)", a.nSeq, AppFunctionName(a.nFunction), a.nFunction);
    if (nHeader == 4 && m_r.Has(2, 2)) {
        a.bHasIin = true;
        a.wIin = static_cast<std::uint16_t>(m_r.Uint(2, 1) << 8 | m_r.Uint(3, 1));
        line += Format("  IIN %04X", a.wIin);
        const std::string names = IinNames(a.wIin);
        if (!names.empty())
            line += " " + names;
    }
    Add(1, std::move(line), 0, std::min(nHeader, m_r.Size()));
    if (nHeader == 4 && !a.bHasIin) {
        Fault("IIN cut short", 2, m_r.Size() - 2);
        return;
    }
    for (int p = nHeader; p >= 0 && p < m_r.Size();)
        p = Object(p);
}

bool CAppDecoder::ReadHeader(int p, Header& h)
{
    h.nGroup = static_cast<int>(m_r.Uint(p, 1));
    h.nVariation = static_cast<int>(m_r.Uint(p + 1, 1));
    h.nQualifier = static_cast<int>(m_r.Uint(p + 2, 1));
    h.nPrefix = h.nQualifier >> 4 & 7;
    h.nRangeCode = h.nQualifier & 0x0F;
    if ((h.nQualifier & 0x80) != 0 || h.nPrefix == 7) {
        Fault(Format("qualifier %02X: reserved prefix code", h.nQualifier), p + 2, 1);
        return false;
    }
    if (h.nPrefix >= 1 && h.nPrefix <= 3)
        h.nIndexSize = kPrefixOctets[h.nPrefix];
    else if (h.nPrefix >= 4)
        h.nSizePrefix = kPrefixOctets[h.nPrefix];
    const int nRange = h.nRangeCode;
    int nOctets = 0;
    if (nRange <= 5) {
        nOctets = nRange % 3 == 2 ? 4 : nRange % 3 + 1;
        h.bRange = true;
    } else if (nRange >= 7 && nRange <= 9) {
        nOctets = nRange == 9 ? 4 : nRange - 6;
    } else if (nRange == 0x0B) {
        nOctets = 1;
    } else if (nRange != 6) {
        Fault(Format("qualifier %02X: reserved range code", h.nQualifier), p + 2, 1);
        return false;
    }
    if (h.bRange ? !m_r.Has(p + 3, 2 * nOctets) : !m_r.Has(p + 3, nOctets)) {
        Fault(Format("object %d.%d: range field cut short", h.nGroup, h.nVariation), p, m_r.Size() - p);
        return false;
    }
    h.nHeaderSize = 3 + (h.bRange ? 2 * nOctets : nOctets);
    const std::string index = h.nIndexSize > 0 ? Format(", %d-octet index", h.nIndexSize)
                        : h.nSizePrefix > 0 ? Format(", %d-octet size", h.nSizePrefix)
                                            : std::string();
    if (h.bRange) {
        h.nStart = static_cast<long long>(m_r.Uint(p + 3, nOctets));
        const long long nStop = static_cast<long long>(m_r.Uint(p + 3 + nOctets, nOctets));
        h.RangeText = Format("start %lld, stop %lld", h.nStart, nStop) + index;
        if (nStop < h.nStart) {
            Fault(Format("object %d.%d: stop %lld before start %lld", h.nGroup, h.nVariation, nStop, h.nStart), p,
                  h.nHeaderSize);
            return false;
        }
        h.nCount = nStop - h.nStart + 1;
    } else if (nRange == 6) {
        h.RangeText = "all";
    } else {
        h.nCount = static_cast<long long>(m_r.Uint(p + 3, nOctets));
        h.RangeText = Format("count %lld", h.nCount) + index;
    }
    return true;
}

int CAppDecoder::Object(int p)
{
    if (!m_r.Has(p, 3)) {
        Fault("object header cut short", p, m_r.Size() - p);
        return -1;
    }
    Header h;
    if (!ReadHeader(p, h))
        return -1;
    const ObjectType* pType = FindObjectType(h.nGroup, h.nVariation);
    const std::string name = pType != nullptr ? pType->pszName
                             : h.nVariation == 0 ? std::string(GroupName(h.nGroup)) + " - Any Variation"
                                                 : std::string(GroupName(h.nGroup)) + " - variation unknown";
    Add(2, Format("%d.%d ", h.nGroup, h.nVariation) + name + Format("  qualifier %02X (", h.nQualifier) +
               h.RangeText + ")",
        p, h.nHeaderSize);
    const bool bResponse = IsResponse(m_Info.nFunction);
    const bool bData = h.nVariation != 0 && h.nGroup != 60 && h.nRangeCode != 6 &&
                       (bResponse || RequestCarriesObjects(m_Info.nFunction));
    Summarise(h, bData);
    const int nData = p + h.nHeaderSize;
    if (!bData)
        return nData;
    if (h.nSizePrefix > 0)
        return SizePrefixed(nData, h);
    if (pType == nullptr) {
        Fault(Format("object %d.%d: variation not known, the rest cannot be read", h.nGroup, h.nVariation), nData,
              m_r.Size() - nData);
        return -1;
    }
    return Points(nData, h, *pType);
}

void CAppDecoder::Summarise(const Header& h, bool bData)
{
    std::string& s = m_Info.ObjectSummary;
    if (!s.empty())
        s += ' ';
    s += Format("%d.%d", h.nGroup, h.nVariation);
    if (bData || (h.nRangeCode != 6 && h.nCount > 0))
        s += Format("×%lld", h.nCount);
}

int CAppDecoder::SizePrefixed(int p, const Header& h)
{
    for (long long k = 0; k < h.nCount; ++k) {
        if (!m_r.Has(p, h.nSizePrefix)) {
            Fault("object size cut short", p, m_r.Size() - p);
            return -1;
        }
        const long long nSize = static_cast<long long>(m_r.Uint(p, h.nSizePrefix));
        if (!m_r.Has(p + h.nSizePrefix, nSize)) {
            Fault(Format("object of %lld octets runs past the end", nSize), p, m_r.Size() - p);
            return -1;
        }
        const int n = static_cast<int>(nSize);
        Add(3, Format("[%lld] %d octets: ", k, n) + HexText(m_r.Span(p + h.nSizePrefix, n)), p, h.nSizePrefix + n);
        p += h.nSizePrefix + n;
    }
    return p;
}

int CAppDecoder::Points(int p, const Header& h, const ObjectType& type)
{
    if (type.value == Value::Bit) {
        if (h.nIndexSize > 0) {
            Fault(Format("object %d.%d: packed bits cannot carry indexes", h.nGroup, h.nVariation), p - h.nHeaderSize,
                  h.nHeaderSize);
            return -1;
        }
        const long long nOctets = (h.nCount + 7) / 8;
        for (long long k = 0; k < h.nCount; ++k) {
            const int nAt = p + static_cast<int>(k / 8);
            if (!m_r.Has(nAt, 1)) {
                Fault(Format("packed bits run past the end: %lld of %lld points", k, h.nCount), p, m_r.Size() - p);
                return -1;
            }
            const int nBit = static_cast<int>(m_r.Uint(nAt, 1) >> (k % 8) & 1);
            std::string text = Format("[%lld] %d", h.nStart + k, nBit);
            if (h.nGroup == 80 && nBit != 0 && h.nStart + k < 16)
                text += std::string(" ") + IinBitName(static_cast<int>(h.nStart + k));
            Add(3, std::move(text), nAt, 1);
        }
        return p + static_cast<int>(nOctets);
    }
    const int nSize = ObjectSize(type);
    for (long long k = 0; k < h.nCount; ++k) {
        if (!m_r.Has(p, h.nIndexSize + nSize)) {
            Fault(Format("object %d.%d runs past the end: %lld of %lld points", h.nGroup, h.nVariation, k, h.nCount), p,
                  m_r.Size() - p);
            return -1;
        }
        const long long nIndex = h.nIndexSize > 0 ? static_cast<long long>(m_r.Uint(p, h.nIndexSize)) : h.nStart + k;
        Add(3, Format("[%lld] ", nIndex) + PointText(p + h.nIndexSize, type), p, h.nIndexSize + nSize);
        p += h.nIndexSize + nSize;
    }
    return p;
}

std::string CAppDecoder::PointText(int p, const ObjectType& type)
{
    std::string text;
    int q = p;
    int nFlags = 0;
    if (type.flags != Flags::None)
        nFlags = static_cast<int>(m_r.Uint(q++, 1));
    switch (type.value) {
    case Value::None:
    case Value::Bit:
        break;
    case Value::State:
        text = Format("value %d", nFlags >> 7 & 1);
        break;
    case Value::U16:
    case Value::U32: {
        const int n = type.value == Value::U16 ? 2 : 4;
        text = Format("value %llu", static_cast<unsigned long long>(m_r.Uint(q, n)));
        q += n;
        break;
    }
    case Value::I16:
        text = Format("value %d", static_cast<std::int16_t>(m_r.Uint(q, 2)));
        q += 2;
        break;
    case Value::I32:
        text = Format("value %d", static_cast<std::int32_t>(m_r.Uint(q, 4)));
        q += 4;
        break;
    case Value::Float: {
        const auto u = static_cast<std::uint32_t>(m_r.Uint(q, 4));
        float f = 0;
        std::memcpy(&f, &u, sizeof f);
        text = Format("value %g", static_cast<double>(f));
        q += 4;
        break;
    }
    case Value::Double: {
        const std::uint64_t u = m_r.Uint(q, 8);
        double d = 0;
        std::memcpy(&d, &u, sizeof d);
        text = Format("value %g", d);
        q += 8;
        break;
    }
    case Value::Time48: {
        const std::uint64_t t = m_r.Uint(q, 6);
        text = "time " + TimeText(t, m_Convention) + Format(" (raw %llu)", static_cast<unsigned long long>(t));
        if (type.nGroup == 51) {
            m_bCto = true;
            m_qwCto = t;
            if (type.nVariation == 2)
                text += " unsynchronized";
        }
        q += 6;
        break;
    }
    case Value::Delay:
        text = Format("delay %u %s", static_cast<unsigned>(m_r.Uint(q, 2)), type.nVariation == 1 ? "s" : "ms");
        q += 2;
        break;
    case Value::Crob: {
        const int nCode = static_cast<int>(m_r.Uint(q, 1));
        const int nOp = nCode & 0x0F;
        const int nStatus = static_cast<int>(m_r.Uint(q + 10, 1)) & 0x7F;
        text = Format("code %02X %s %s%s%s, count %u, on %u ms, off %u ms, status %d %s", nCode,
                      CrobOperationName(nOp), CrobTripName(nCode >> 6),
                      (nCode & 0x10) != 0 ? " QUEUE" : "", (nCode & 0x20) != 0 ? " CLEAR" : "",
                      static_cast<unsigned>(m_r.Uint(q + 1, 1)), static_cast<unsigned>(m_r.Uint(q + 2, 4)),
                      static_cast<unsigned>(m_r.Uint(q + 6, 4)), nStatus, CrobStatusName(nStatus));
        q += 11;
        break;
    }
    }
    if (type.stamp == Stamp::Absolute) {
        const std::uint64_t t = m_r.Uint(q, 6);
        text += "  time " + EventTimeText(t, m_Convention) + Format(" (raw %llu)", static_cast<unsigned long long>(t));
        q += 6;
    } else if (type.stamp == Stamp::Relative) {
        const auto nRel = static_cast<unsigned>(m_r.Uint(q, 2));
        text += Format("  time CTO+%u ms", nRel);
        if (m_bCto)
            text += " = " + EventTimeText(m_qwCto + nRel, m_Convention);
        else
            text += " (no CTO before it)";
        q += 2;
    }
    if (type.nExtra > 0 && type.nGroup == 41)
        text += Format("  status %d", static_cast<int>(m_r.Uint(q, 1)));
    else if (type.nExtra > 0)
        text += Format("  interval %llu ms", static_cast<unsigned long long>(m_r.Uint(q, type.nExtra)));
    if (type.flags != Flags::None) {
        text += Format("  flags %02X", nFlags);
        std::string names;
        for (int nBit = 0; nBit < 8; ++nBit) {
            const char* pszName = FlagName(type.flags, nBit);
            if ((nFlags >> nBit & 1) != 0 && *pszName != '\0' && std::strcmp(pszName, "STATE") != 0)
                names += names.empty() ? pszName : std::string("|") + pszName;
        }
        if (!names.empty())
            text += " " + names;
    }
    return text;
}

}  // namespace

AppInfo DecodeApplication(std::span<const std::uint8_t> fragment, TimeConvention convention)
{
    AppInfo info;
    CAppDecoder(fragment, convention, info).Run();
    return info;
}

}  // namespace qdec
