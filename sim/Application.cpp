// The simulated RTU's application layer: every request the master sends, answered as a
// conformant outstation would.
#include <algorithm>

#include "dnp3/FunctionCodes.h"
#include "sim/Outstation.h"

namespace {

constexpr std::size_t kMaxFragment = 2047;  // the master drops longer responses
constexpr std::size_t kMaxEventsPerObject = 100;
constexpr std::uint8_t kOnline = 0x01;

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

void PutTime(std::vector<std::uint8_t>& out, std::uint32_t dwMs)
{
    Put32(out, dwMs);
    Put16(out, 0);
}

// Object headers in the style the options ask for.
struct HeaderStyle {
    bool bCompact;

    void Range(std::vector<std::uint8_t>& out, int nGroup, int nVar, int nStart, int nStop) const
    {
        out.insert(out.end(), {static_cast<std::uint8_t>(nGroup), static_cast<std::uint8_t>(nVar)});
        if (bCompact && nStop <= 0xFF) {
            out.insert(out.end(), {0x00, static_cast<std::uint8_t>(nStart), static_cast<std::uint8_t>(nStop)});
        } else {
            out.push_back(0x01);
            Put16(out, static_cast<unsigned>(nStart));
            Put16(out, static_cast<unsigned>(nStop));
        }
    }
    // Returns the index width to use for the objects that follow.
    int Indexed(std::vector<std::uint8_t>& out, int nGroup, int nVar, std::size_t nCount, int nMaxIndex) const
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
    static void Index(std::vector<std::uint8_t>& out, int nWidth, int nIndex)
    {
        if (nWidth == 1)
            out.push_back(static_cast<std::uint8_t>(nIndex));
        else
            Put16(out, static_cast<unsigned>(nIndex));
    }
};

int MaxPoint(const std::vector<SimEvent*>& events)
{
    int nMax = 0;
    for (const SimEvent* e : events)
        nMax = std::max(nMax, e->nPoint);
    return nMax;
}

std::string ObjectName(int nGroup, int nVar) { return std::to_string(nGroup) + "." + std::to_string(nVar); }

}  // namespace

void COutstation::OnRequest(const std::vector<std::uint8_t>& req)
{
    if (req.size() < 2)
        return;
    const std::uint8_t bySeq = req[0] & 0x0F;
    const std::uint8_t byFunc = req[1];
    if (byFunc == fc::CONFIRM) {
        const std::size_t nBefore = m_Db.EventCount();
        m_Db.Confirm(bySeq);
        if (m_Log)
            m_Log("confirm seq " + std::to_string(bySeq) + ": " + std::to_string(nBefore - m_Db.EventCount()) +
                  " events released");
        return;
    }
    if (m_Options.nSilentAfter >= 0 && m_nRequests >= m_Options.nSilentAfter) {
        m_bSilent = true;
        if (m_Log)
            m_Log("fault: silent from now on");
        return;
    }
    ++m_nRequests;

    Reply reply;
    switch (byFunc) {
    case fc::READ:
        Read(req, bySeq, reply);
        break;
    case fc::WRITE:
        Write(req, reply);
        break;
    case fc::SELECT:
    case fc::OPERATE:
        Control(req, byFunc == fc::OPERATE, reply);
        break;
    case fc::IMMED_FREEZE:
    case fc::IMMED_FREEZE_NR:
    case fc::FREEZE_CLEAR:
    case fc::FREEZE_CLEAR_NR:
        m_Db.Freeze(byFunc == fc::FREEZE_CLEAR || byFunc == fc::FREEZE_CLEAR_NR);
        reply.bNone = byFunc == fc::IMMED_FREEZE_NR || byFunc == fc::FREEZE_CLEAR_NR;
        reply.note = "counters frozen";
        break;
    case fc::ENABLE_UNSOLICITED:
    case fc::DISABLE_UNSOLICITED:
        reply.note = byFunc == fc::ENABLE_UNSOLICITED ? "unsolicited responses enabled" : "unsolicited responses disabled";
        break;
    case fc::DELAY_MEASURE:
        reply.objects = {52, 2, 0x07, 0x01, 0x00, 0x00};  // no processing delay to report
        reply.note = "delay measurement";
        break;
    default:
        reply.byIin2 |= IIN2_NO_FUNC;
        reply.note = "function " + std::to_string(byFunc) + " not supported";
        break;
    }
    if (m_Log)
        m_Log("request seq " + std::to_string(bySeq) + " function " + std::to_string(byFunc) + ": " + reply.note +
              (reply.bCon ? " (asks for a confirm)" : ""));
    if (reply.bNone)
        return;
    std::vector<std::uint8_t> fragment(4 + reply.objects.size());
    fragment[0] = static_cast<std::uint8_t>(0xC0 | bySeq | (reply.bCon ? 0x20 : 0));
    fragment[1] = fc::RESPONSE;
    fragment[2] = Iin1();
    fragment[3] = reply.byIin2;
    std::copy(reply.objects.begin(), reply.objects.end(), fragment.begin() + 4);
    SendFragment(fragment);
}

void COutstation::Read(const std::vector<std::uint8_t>& req, std::uint8_t bySeq, Reply& reply)
{
    std::string names;
    for (std::size_t p = 2; p + 3 <= req.size();) {
        const std::uint8_t byGroup = req[p];
        const std::uint8_t byVar = req[p + 1];
        const std::uint8_t byQualifier = req[p + 2];
        p += 3;
        if (byQualifier == 0x00 || byQualifier == 0x07)
            p += byQualifier == 0x00 ? 2 : 1;  // a range or count asked for: everything is sent
        else if (byQualifier == 0x01 || byQualifier == 0x08)
            p += byQualifier == 0x01 ? 4 : 2;
        else if (byQualifier != 0x06) {
            reply.byIin2 |= IIN2_PARAMETER;
            return;
        }
        const std::string name = ObjectName(byGroup, byVar);
        if (byGroup == 60 && byVar >= 2 && byVar <= 4) {
            AddEvents(1u << (byVar - 1), bySeq, reply);
        } else if (byGroup == 2 && byVar <= 3) {
            AddEvents(0x0E, bySeq, reply);  // all classes, binary events only
        } else if (byGroup == 32 && (byVar == 0 || byVar == 2)) {
            AddEvents(0x0E, bySeq, reply);
        } else if (byGroup == 80 && byVar == 1) {
            reply.objects.insert(reply.objects.end(), {80, 1, 0x00, 0x00, 0x0F, Iin1(), reply.byIin2});
        } else {
            AddStatic(byGroup, byVar, reply);
        }
        names += (names.empty() ? "" : ", ") + name;
    }
    reply.note = "read " + names + (reply.detail.empty() ? "" : ": " + reply.detail);
}

void COutstation::AddStatic(std::uint8_t byGroup, std::uint8_t byVar, Reply& reply)
{
    const HeaderStyle style{m_Options.bCompact};
    std::vector<std::uint8_t>& out = reply.objects;
    const std::size_t nUsed = 4 + out.size() + 7;  // response header, objects so far, this header
    if (nUsed + 8 > kMaxFragment) {
        reply.byIin2 |= IIN2_PARAMETER;  // no room left in this response
        return;
    }
    const std::size_t nRoom = kMaxFragment - nUsed;
    // As many points as fit in what is left of the fragment (packed inputs take 1/8 octet).
    auto fit = [nRoom](int nPoints, std::size_t nEach, std::size_t nPerOctet = 1) {
        return std::min(nPoints, static_cast<int>(nRoom * nPerOctet / nEach));
    };
    if (byGroup == 1 && (byVar == 1 || byVar == 2 || byVar == 0)) {
        const int n = byVar == 1 ? fit(m_Db.YxCount(), 1, 8) : fit(m_Db.YxCount(), 1);
        style.Range(out, 1, byVar == 1 ? 1 : 2, 0, n - 1);
        if (byVar == 1) {
            for (int i = 0; i < n; i += 8) {
                std::uint8_t by = 0;
                for (int b = 0; b < 8 && i + b < n; ++b)
                    by = static_cast<std::uint8_t>(by | (m_Db.Yx(i + b) << b));
                out.push_back(by);
            }
        } else {
            for (int i = 0; i < n; ++i)
                out.push_back(static_cast<std::uint8_t>(kOnline | (m_Db.Yx(i) << 7)));
        }
    } else if ((byGroup == 20 || byGroup == 21) && (byVar == 1 || byVar == 2)) {
        const int n = fit(m_Db.YmCount(), byVar == 1 ? 5 : 3);
        style.Range(out, byGroup, byVar, 0, n - 1);
        for (int i = 0; i < n; ++i) {
            const std::uint32_t dwValue = byGroup == 20 ? m_Db.Ym(i) : m_Db.Frozen(i);
            out.push_back(kOnline);
            if (byVar == 1)
                Put32(out, dwValue);
            else
                Put16(out, dwValue & 0xFFFF);
        }
    } else if (byGroup == 30 && (byVar == 2 || byVar == 0)) {
        const int n = fit(m_Db.YcCount(), 3);
        style.Range(out, 30, 2, 0, n - 1);
        for (int i = 0; i < n; ++i) {
            out.push_back(kOnline);
            Put16(out, static_cast<std::uint16_t>(m_Db.Yc(i)));
        }
    } else {
        reply.byIin2 |= IIN2_OBJECT_UNKNOWN;
    }
}

void COutstation::AddEvents(unsigned uClasses, std::uint8_t bySeq, Reply& reply)
{
    const HeaderStyle style{m_Options.bCompact};
    std::vector<std::uint8_t>& out = reply.objects;
    // Analog changes first: the master reads on after them, but not after binary events.
    std::vector<SimEvent*> analogs = m_Db.PendingEvents(uClasses, SimEvent::ANALOG);
    if (analogs.size() > kMaxEventsPerObject)
        analogs.resize(kMaxEventsPerObject);
    if (!analogs.empty()) {
        const int nWidth = style.Indexed(out, 32, 2, analogs.size(), MaxPoint(analogs));
        for (SimEvent* e : analogs) {
            HeaderStyle::Index(out, nWidth, e->nPoint);
            out.push_back(kOnline);
            Put16(out, static_cast<std::uint16_t>(e->nValue));
            e->nSentInSeq = bySeq;
        }
    }
    std::vector<SimEvent*> binaries = m_Db.PendingEvents(uClasses, SimEvent::BINARY);
    if (binaries.size() > kMaxEventsPerObject)
        binaries.resize(kMaxEventsPerObject);
    if (!binaries.empty()) {
        // Every other response carries a CTO and relative times, when they fit in 16 bits.
        const std::uint32_t dwCto = binaries.front()->dwTime;
        const bool bRelative = m_bUseCto && std::all_of(binaries.begin(), binaries.end(), [dwCto](const SimEvent* e) {
                                   return e->dwTime - dwCto <= 0xFFFF;
                               });
        m_bUseCto = !m_bUseCto;
        if (bRelative) {
            out.insert(out.end(), {51, 1, 0x07, 0x01});
            PutTime(out, dwCto);
        }
        const int nWidth = style.Indexed(out, 2, bRelative ? 3 : 2, binaries.size(), MaxPoint(binaries));
        for (SimEvent* e : binaries) {
            HeaderStyle::Index(out, nWidth, e->nPoint);
            out.push_back(static_cast<std::uint8_t>(kOnline | (e->nValue << 7)));
            if (bRelative)
                Put16(out, e->dwTime - dwCto);
            else
                PutTime(out, e->dwTime);
            e->nSentInSeq = bySeq;
        }
    }
    reply.bCon = reply.bCon || !analogs.empty() || !binaries.empty();
    reply.detail = std::to_string(analogs.size()) + " analog and " + std::to_string(binaries.size()) + " binary events";
}

void COutstation::Write(const std::vector<std::uint8_t>& req, Reply& reply)
{
    const auto Is = [&req](std::initializer_list<std::uint8_t> head) {
        return req.size() >= 2 + head.size() && std::equal(head.begin(), head.end(), req.begin() + 2);
    };
    if (Is({50, 1, 0x07, 0x01}) && req.size() >= 12) {
        m_dwTimeBase = static_cast<std::uint32_t>(req[6] | (req[7] << 8) | (req[8] << 16) |
                                                  (static_cast<std::uint32_t>(req[9]) << 24));
        m_tTimeBase = Clock::now();
        m_bNeedTime = false;
        reply.note = "clock set to " + std::to_string(m_dwTimeBase) + " ms";
    } else if (Is({80, 1, 0x00, 0x07, 0x07}) && req.size() >= 8) {
        if ((req[7] & 1) == 0)
            m_bRestart = false;
        reply.note = "device restart indication cleared";
    } else {
        reply.byIin2 |= IIN2_OBJECT_UNKNOWN;
        reply.note = "write of an unknown object";
    }
}

void COutstation::Control(const std::vector<std::uint8_t>& req, bool bOperate, Reply& reply)
{
    // 12.1, count 1: index (16 or 8 bits), then the 11-octet control relay output block.
    const bool bWide = req.size() >= 5 && req[4] == 0x28;
    const std::size_t nIndexAt = bWide ? 7 : 6;
    if (req.size() < nIndexAt + (bWide ? 2 : 1) + 11 || req[2] != 12 || req[3] != 1 ||
        (req[4] != 0x28 && req[4] != 0x17)) {
        reply.byIin2 |= IIN2_PARAMETER;
        reply.note = "malformed control request";
        return;
    }
    const int nPoint = bWide ? req[nIndexAt] | (req[nIndexAt + 1] << 8) : req[nIndexAt];
    const std::size_t nBlock = nIndexAt + (bWide ? 2 : 1);
    const std::uint8_t byCode = req[nBlock];
    const std::uint32_t dwOnMs = static_cast<std::uint32_t>(req[nBlock + 2] | (req[nBlock + 3] << 8) |
                                                           (req[nBlock + 4] << 16)) |
                                 (static_cast<std::uint32_t>(req[nBlock + 5]) << 24);
    std::uint8_t byStatus = 0;
    const auto now = Clock::now();
    if (m_Options.bCrobFail || nPoint >= m_Db.YxCount()) {
        byStatus = 4;  // not supported
    } else if (!bOperate) {
        m_Selection = Selection{nPoint, byCode, now};
    } else if (!m_Selection || m_Selection->nPoint != nPoint || m_Selection->byCode != byCode ||
               now - m_Selection->tWhen > std::chrono::seconds(10)) {
        byStatus = 2;  // no matching select
    } else if (m_Options.bOperateFail) {
        m_Selection.reset();
        byStatus = 4;  // the relay will not move
    } else {
        m_Selection.reset();
        // Close (0x40) or latch on (0x03) sets the input the relay drives; trip or latch off clears it.
        const int nState = (byCode & 0xC0) == 0x40 || (byCode & 0x0F) == 0x03 ? 1 : 0;
        m_Db.SetBinary(nPoint, nState, RtuTime());
    }
    reply.objects.assign(req.begin() + 2, req.begin() + static_cast<long>(nBlock + 11));
    reply.objects.back() = byStatus;
    reply.note = std::string(bOperate ? "operate" : "select") + " point " + std::to_string(nPoint) +
                 ((byCode & 0xC0) == 0x80 ? " trip " : " close ") + std::to_string(dwOnMs) + " ms: status " +
                 std::to_string(byStatus);
}
