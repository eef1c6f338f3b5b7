#include "sim/ResponseBuilder.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kOnline = 0x01;
constexpr std::size_t kWideRangeHeader = 7;    // group, variation, 0x01, start, stop
constexpr std::size_t kWideIndexedHeader = 5;  // group, variation, 0x28, count
constexpr std::size_t kCtoSize = 10;           // 51.1 with count 1 and its time

void Put16(std::vector<std::uint8_t>& out, unsigned n)
{
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(static_cast<std::uint8_t>(n >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t n)
{
    Put16(out, n & 0xFFFF);
    Put16(out, n >> 16);
}

void PutTime(std::vector<std::uint8_t>& out, std::uint64_t qwMs)
{
    Put32(out, static_cast<std::uint32_t>(qwMs));
    Put16(out, static_cast<unsigned>(qwMs >> 32) & 0xFFFF);
}

void RangeHeader(std::vector<std::uint8_t>& out, bool bCompact, int nGroup, int nVar, int nStart, int nStop)
{
    out.insert(out.end(), {static_cast<std::uint8_t>(nGroup), static_cast<std::uint8_t>(nVar)});
    if (bCompact && nStop <= 0xFF) {
        out.insert(out.end(), {0x00, static_cast<std::uint8_t>(nStart), static_cast<std::uint8_t>(nStop)});
        return;
    }
    out.push_back(0x01);
    Put16(out, static_cast<unsigned>(nStart));
    Put16(out, static_cast<unsigned>(nStop));
}

// Returns the width of the indexes that follow.
int IndexedHeader(std::vector<std::uint8_t>& out, bool bCompact, int nGroup, int nVar, std::size_t nCount,
                  int nMaxIndex)
{
    out.insert(out.end(), {static_cast<std::uint8_t>(nGroup), static_cast<std::uint8_t>(nVar)});
    if (bCompact && nMaxIndex <= 0xFF && nCount <= 0xFF) {
        out.insert(out.end(), {0x17, static_cast<std::uint8_t>(nCount)});
        return 1;
    }
    out.push_back(0x28);
    Put16(out, static_cast<unsigned>(nCount));
    return 2;
}

void PutIndex(std::vector<std::uint8_t>& out, int nWidth, int nIndex)
{
    if (nWidth == 1)
        out.push_back(static_cast<std::uint8_t>(nIndex));
    else
        Put16(out, static_cast<unsigned>(nIndex));
}

// Octets of one event after its index.
std::size_t EventBody(SimEvent::Kind kind, int nBinaryVar)
{
    if (kind == SimEvent::ANALOG)
        return 3;  // flag, 16-bit value
    return nBinaryVar == 1 ? 1 : nBinaryVar == 2 ? 7 : 3;
}

// One object of a run of events of one kind.
ResponseObject EventObject(const std::vector<SimEvent>& run, int nBinaryVar, const ResponseOptions& options)
{
    ResponseObject object;
    std::vector<std::uint8_t>& out = object.Octets;
    const SimEvent::Kind kind = run.front().kind;
    const std::uint64_t qwCto = run.front().qwTime;
    if (kind == SimEvent::BINARY && nBinaryVar == 3) {
        out.insert(out.end(), {51, static_cast<std::uint8_t>(options.bClockSynced ? 1 : 2), 0x07, 0x01});
        PutTime(out, qwCto);
    }
    int nMaxIndex = 0;
    for (const SimEvent& e : run)
        nMaxIndex = std::max(nMaxIndex, e.nPoint);
    const int nWidth = IndexedHeader(out, options.bCompact, kind == SimEvent::ANALOG ? 32 : 2,
                                     kind == SimEvent::ANALOG ? 2 : nBinaryVar, run.size(), nMaxIndex);
    for (const SimEvent& e : run) {
        PutIndex(out, nWidth, e.nPoint);
        if (kind == SimEvent::ANALOG) {
            out.push_back(kOnline);
            Put16(out, static_cast<std::uint16_t>(e.nValue));
        } else {
            out.push_back(static_cast<std::uint8_t>(kOnline | (e.nValue << 7)));
            if (nBinaryVar == 2)
                PutTime(out, e.qwTime);
            else if (nBinaryVar == 3)
                Put16(out, static_cast<unsigned>(e.qwTime - qwCto));
        }
        object.EventIds.push_back(e.nId);
    }
    return object;
}

}  // namespace

bool AddStaticObjects(const CSimDatabase& db, std::uint8_t byGroup, std::uint8_t byVar, int nFirst, int nLast,
                      const ResponseOptions& options, std::vector<ResponseObject>& out)
{
    int nCount = 0;
    int nVar = byVar;
    std::size_t nSize = 0;  // octets a point takes; 0: packed, eight to an octet
    switch (byGroup) {
    case 1:
        nCount = db.YxCount();
        nVar = byVar == 0 ? 2 : byVar;
        nSize = nVar == 1 ? 0 : 1;
        break;
    case 20:
    case 21:
        nCount = db.YmCount();
        nVar = byVar == 0 ? 1 : byVar;
        nSize = nVar == 1 ? 5 : 3;
        break;
    case 30:
        nCount = db.YcCount();
        nVar = byVar == 0 ? 2 : byVar;
        nSize = 3;
        break;
    default:
        return false;
    }
    if ((byGroup == 1 && nVar > 2) || ((byGroup == 20 || byGroup == 21) && nVar > 2) || (byGroup == 30 && nVar != 2))
        return false;
    nFirst = std::max(nFirst, 0);
    nLast = std::min(nLast, nCount - 1);
    const std::size_t nRoom = options.nMaxObject > kWideRangeHeader ? options.nMaxObject - kWideRangeHeader : 1;
    // Packed inputs go eight to an octet, so an object always starts on a whole octet.
    const int nPerObject = nSize == 0 ? static_cast<int>(nRoom) * 8 : std::max(1, static_cast<int>(nRoom / nSize));
    for (int nStart = nFirst; nStart <= nLast; nStart += nPerObject) {
        const int nStop = std::min(nLast, nStart + nPerObject - 1);
        ResponseObject object;
        std::vector<std::uint8_t>& o = object.Octets;
        RangeHeader(o, options.bCompact, byGroup, nVar, nStart, nStop);
        if (byGroup == 1 && nVar == 1) {
            for (int i = nStart; i <= nStop; i += 8) {
                std::uint8_t by = 0;
                for (int b = 0; b < 8 && i + b <= nStop; ++b)
                    by = static_cast<std::uint8_t>(by | (db.Yx(i + b) << b));
                o.push_back(by);
            }
        }
        for (int i = nStart; i <= nStop && !(byGroup == 1 && nVar == 1); ++i) {
            if (byGroup == 1) {
                o.push_back(static_cast<std::uint8_t>(kOnline | (db.Yx(i) << 7)));
                continue;
            }
            o.push_back(kOnline);
            if (byGroup == 30)
                Put16(o, static_cast<std::uint16_t>(db.Yc(i)));
            else if (nVar == 1)
                Put32(o, byGroup == 20 ? db.Ym(i) : db.Frozen(i));
            else
                Put16(o, (byGroup == 20 ? db.Ym(i) : db.Frozen(i)) & 0xFFFF);
        }
        out.push_back(std::move(object));
    }
    return true;
}

void AddEventObjects(const std::vector<SimEvent>& events, int nBinaryVar, const ResponseOptions& options,
                     std::vector<ResponseObject>& out)
{
    std::vector<SimEvent> run;
    std::size_t nRunSize = 0;
    auto flush = [&] {
        if (!run.empty())
            out.push_back(EventObject(run, nBinaryVar, options));
        run.clear();
    };
    for (const SimEvent& e : events) {
        const std::size_t nEach = 2 + EventBody(e.kind, nBinaryVar);
        const bool bRelative = e.kind == SimEvent::BINARY && nBinaryVar == 3;
        const bool bBreak = !run.empty() &&
                            (run.front().kind != e.kind || nRunSize + nEach > options.nMaxObject ||
                             (bRelative && e.qwTime - run.front().qwTime > 0xFFFF));
        if (bBreak)
            flush();
        if (run.empty())
            nRunSize = kWideIndexedHeader + (bRelative ? kCtoSize : 0);
        run.push_back(e);
        nRunSize += nEach;
    }
    flush();
}

std::vector<std::vector<ResponseObject>> PackFragments(const std::vector<ResponseObject>& objects,
                                                       std::size_t nFragment)
{
    std::vector<std::vector<ResponseObject>> fragments(1);
    std::size_t nUsed = 4;
    for (const ResponseObject& object : objects) {
        if (nUsed + object.Octets.size() > nFragment && !fragments.back().empty()) {
            fragments.emplace_back();
            nUsed = 4;
        }
        fragments.back().push_back(object);
        nUsed += object.Octets.size();
    }
    return fragments;
}
