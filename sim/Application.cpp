// The simulated RTU's application layer: every request the master sends, answered as a
// conformant outstation would: responses in as many fragments as they need, events in the
// order they happened, select before operate.
#include <algorithm>

#include "core/Clock.h"
#include "dnp3/FunctionCodes.h"
#include "sim/Outstation.h"

namespace {

constexpr std::uint8_t kFir = 0x80, kFin = 0x40, kCon = 0x20, kUns = 0x10;
constexpr std::uint8_t kSeqMask = 0x0F;

std::string ObjectName(int nGroup, int nVar) { return std::to_string(nGroup) + "." + std::to_string(nVar); }

// The range field of a read request's object header: which points, or how many.
struct Asked {
    bool bOk = true;
    int nFirst = 0;
    int nLast = 0xFFFF;
    std::size_t nMax = static_cast<std::size_t>(-1);  // count qualifiers: at most this many
};

Asked ReadRange(const std::vector<std::uint8_t>& req, std::size_t& p, std::uint8_t byQualifier)
{
    Asked asked;
    const auto has = [&](std::size_t n) { return p + n <= req.size(); };
    switch (byQualifier) {
    case 0x06:  // all
        break;
    case 0x00:
        if ((asked.bOk = has(2))) {
            asked.nFirst = req[p];
            asked.nLast = req[p + 1];
            p += 2;
        }
        break;
    case 0x01:
        if ((asked.bOk = has(4))) {
            asked.nFirst = req[p] | (req[p + 1] << 8);
            asked.nLast = req[p + 2] | (req[p + 3] << 8);
            p += 4;
        }
        break;
    case 0x07:
        if ((asked.bOk = has(1)))
            asked.nMax = req[p++];
        break;
    case 0x08:
        if ((asked.bOk = has(2))) {
            asked.nMax = static_cast<std::size_t>(req[p] | (req[p + 1] << 8));
            p += 2;
        }
        break;
    default:
        asked.bOk = false;
        break;
    }
    asked.bOk = asked.bOk && asked.nFirst <= asked.nLast;
    return asked;
}

// The 48-bit time of a write of 50.1 or 50.3 with a count of one.
std::uint64_t WrittenTime(const std::vector<std::uint8_t>& req)
{
    std::uint64_t qwTime = 0;
    for (std::size_t i = 6; i-- > 0;)
        qwTime = qwTime << 8 | req[6 + i];
    return qwTime;
}

}  // namespace

void COutstation::OnRequest(const std::vector<std::uint8_t>& req)
{
    if (req.size() < 2)
        return;
    const std::uint8_t bySeq = req[0] & kSeqMask;
    const std::uint8_t byFunc = req[1];
    if (byFunc == fc::CONFIRM) {
        if ((req[0] & kUns) != 0)
            OnUnsolicitedConfirm(bySeq);
        else
            OnConfirm(bySeq);
        return;
    }
    if (m_Options.nSilentAfter >= 0 && m_nRequests >= m_Options.nSilentAfter) {
        m_bSilent = true;
        if (m_Log)
            m_Log("fault: silent from now on");
        return;
    }
    ++m_nRequests;
    if (m_Options.nRestartAfter > 0 && m_nRequests == m_Options.nRestartAfter) {
        Restart();  // this request is lost with the rest
        return;
    }
    // A new request abandons the rest of a response under way, and any request but the
    // operate that follows it cancels a select.
    m_PendingFragments.clear();
    m_nAwaitConfirm = -1;
    if (byFunc != fc::OPERATE && byFunc != fc::SELECT)
        m_Selection.reset();

    Reply reply;
    reply.tRequest = m_tFrameStart;
    switch (byFunc) {
    case fc::READ:
        Read(req, reply);
        break;
    case fc::WRITE:
        Write(req, reply);
        break;
    case fc::SELECT:
    case fc::OPERATE:
        Control(req, bySeq, byFunc == fc::OPERATE, reply);
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
        SetUnsolicited(req, byFunc == fc::ENABLE_UNSOLICITED);
        reply.note = byFunc == fc::ENABLE_UNSOLICITED ? "unsolicited responses enabled" : "unsolicited responses disabled";
        break;
    case fc::RECORD_CURRENT_TIME:
        m_tRecorded = reply.tRequest;
        reply.note = "current time recorded";
        break;
    case fc::DELAY_MEASURE:
        reply.objects.push_back({{52, 2, 0x07, 0x01, 0x00, 0x00}, {}});
        reply.bDelayMeasure = true;
        reply.note = "delay measurement";
        break;
    default:
        reply.byIin2 |= IIN2_NO_FUNC;
        reply.note = "function " + std::to_string(byFunc) + " not supported";
        break;
    }
    if (m_Log)
        m_Log("request seq " + std::to_string(bySeq) + " function " + std::to_string(byFunc) + ": " + reply.note);
    if (reply.bNone)
        return;
    SpoilObjects(reply.objects);
    if (m_Options.nReplyDelayMs > 0)  // a slow device: every request is answered, late
        m_Delayed.push_back({bySeq, std::move(reply), Clock::now() + std::chrono::milliseconds(m_Options.nReplyDelayMs)});
    else
        Respond(bySeq, std::move(reply));
}

void COutstation::SpoilObjects(std::vector<ResponseObject>& objects)
{
    if (m_Options.nMalformed == SimOptions::MALFORMED_NONE || objects.empty() || ++m_nResponsesWithObjects % 3 != 0)
        return;
    std::vector<std::uint8_t>& first = objects.front().Octets;
    switch (m_Options.nMalformed) {
    case SimOptions::MALFORMED_QUALIFIER:
        first[2] = 0x05;  // not a qualifier any object of a response uses
        break;
    case SimOptions::MALFORMED_OVERRUN:
        objects.back().Octets.resize(objects.back().Octets.size() - 1);  // its range runs past the end
        break;
    default:
        objects.insert(objects.begin(), ResponseObject{{99, 1, 0x06}, {}});
        break;
    }
    if (m_Log)
        m_Log("fault: a malformed object sent");
}

void COutstation::ForgetExchanges()
{
    m_bLinkReset = false;
    m_nExpectedFcb = 1;
    m_PendingFragments.clear();
    m_nAwaitConfirm = -1;
    m_Selection.reset();
    m_Delayed.clear();
    m_Fragment.clear();
    m_nNextSegmentSeq = -1;
    m_AwaitedAck.reset();
    m_UserDataQueue.clear();
    m_bPrimaryReset = false;
    m_UnsolAwaited.reset();
    m_tRecorded.reset();
}

void COutstation::Restart()
{
    ForgetExchanges();
    m_uUnsolClasses = 0;
    m_bUnsolNullDue = m_Options.bUnsolicited;
    m_bRestart = true;
    m_bNeedTime = !m_Options.bNoTimeSync;
    if (m_Log)
        m_Log("fault: restart");
}

void COutstation::OnNewConnection()
{
    m_Assembler = CFrameAssembler();
    ForgetExchanges();
}

void COutstation::OnConfirm(std::uint8_t bySeq)
{
    // Only the confirm the last fragment asked for counts.
    if (m_nAwaitConfirm != bySeq) {
        if (m_Log)
            m_Log("confirm seq " + std::to_string(bySeq) + " ignored: none awaited with that sequence");
        return;
    }
    m_nAwaitConfirm = -1;
    const std::size_t nBefore = m_Db.EventCount();
    m_Db.Confirm(bySeq);
    if (m_Log)
        m_Log("confirm seq " + std::to_string(bySeq) + ": " + std::to_string(nBefore - m_Db.EventCount()) +
              " events released");
    if (!m_PendingFragments.empty())
        SendNextFragment();
}

ResponseOptions COutstation::BuildOptions() const
{
    return {m_Options.bCompact, static_cast<std::size_t>(std::max(m_Options.nFragment, 64)) - 4, IsClockSynced()};
}

void COutstation::Respond(std::uint8_t bySeq, Reply reply)
{
    if (reply.bDelayMeasure && !reply.objects.empty()) {
        // From the first octet of the request to the first of this answer, in ms.
        const auto turnaround = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - reply.tRequest);
        const auto nMs = static_cast<unsigned>(std::clamp<long long>(turnaround.count(), 0, 0xFFFF));
        std::vector<std::uint8_t>& delay = reply.objects.front().Octets;
        delay[4] = static_cast<std::uint8_t>(nMs);
        delay[5] = static_cast<std::uint8_t>(nMs >> 8);
        if (m_Log)
            m_Log("turnaround reported: " + std::to_string(nMs) + " ms");
    }
    const std::vector<std::vector<ResponseObject>> fragments =
        PackFragments(reply.objects, static_cast<std::size_t>(m_Options.nFragment));
    m_PendingFragments.assign(fragments.begin(), fragments.end());
    m_byNextFragSeq = bySeq;
    m_bFirstFragment = true;
    m_byRespIin2 = reply.byIin2;
    if (m_Log && fragments.size() > 1)
        m_Log("response in " + std::to_string(fragments.size()) + " fragments");
    SendNextFragment();
}

void COutstation::SendNextFragment()
{
    const std::vector<ResponseObject> objects = std::move(m_PendingFragments.front());
    m_PendingFragments.pop_front();
    const bool bFin = m_PendingFragments.empty();
    std::vector<std::uint64_t> eventIds;
    std::vector<std::uint8_t> fragment(4);
    for (const ResponseObject& object : objects) {
        fragment.insert(fragment.end(), object.Octets.begin(), object.Octets.end());
        eventIds.insert(eventIds.end(), object.EventIds.begin(), object.EventIds.end());
    }
    // Every fragment but the last, and every one that reports events, asks for a confirm.
    const bool bCon = !bFin || !eventIds.empty();
    const std::uint8_t bySeq = m_byNextFragSeq;
    fragment[0] = static_cast<std::uint8_t>((m_bFirstFragment ? kFir : 0) | (bFin ? kFin : 0) | (bCon ? kCon : 0) | bySeq);
    fragment[1] = fc::RESPONSE;
    m_Db.MarkSent(eventIds, bySeq);
    fragment[2] = Iin1();
    fragment[3] = Iin2(m_byRespIin2);
    m_nAwaitConfirm = bCon ? bySeq : -1;
    m_bFirstFragment = false;
    m_byNextFragSeq = static_cast<std::uint8_t>((bySeq + 1) & kSeqMask);
    SendFragment(fragment);
}

void COutstation::Read(const std::vector<std::uint8_t>& req, Reply& reply)
{
    std::string names;
    m_SentEventIds.clear();
    const ResponseOptions options = BuildOptions();
    // Binary events of a class poll: every other one with a CTO and relative times.
    const int nClassBinaryVar = m_bUseCto ? 3 : 2;
    bool bClassPoll = false;
    for (std::size_t p = 2; p + 3 <= req.size();) {
        const std::uint8_t byGroup = req[p];
        const std::uint8_t byVar = req[p + 1];
        const std::uint8_t byQualifier = req[p + 2];
        p += 3;
        const Asked asked = ReadRange(req, p, byQualifier);
        if (!asked.bOk) {
            reply.byIin2 |= IIN2_PARAMETER;
            break;
        }
        names += (names.empty() ? "" : ", ") + ObjectName(byGroup, byVar);
        if (byGroup == 60 && byVar == 1) {  // class 0: every static object there is
            for (const std::uint8_t byStatic : {1, 20, 21, 30})
                AddStaticObjects(m_Db, byStatic, 0, 0, 0xFFFF, options, reply.objects);
        } else if (byGroup == 60 && byVar >= 2 && byVar <= 4) {
            AddEvents(1u << (byVar - 1), SimEvent::BINARY | SimEvent::ANALOG, nClassBinaryVar, asked.nMax, reply);
            bClassPoll = true;
        } else if (byGroup == 2 && byVar <= 3) {
            AddEvents(0x0E, SimEvent::BINARY, byVar == 0 ? 2 : byVar, asked.nMax, reply);
        } else if (byGroup == 32 && (byVar == 0 || byVar == 2)) {
            AddEvents(0x0E, SimEvent::ANALOG, 2, asked.nMax, reply);
        } else if (byGroup == 80 && byVar == 1) {
            reply.objects.push_back({{80, 1, 0x00, 0x00, 0x0F, Iin1(), Iin2(reply.byIin2)}, {}});
        } else if (byGroup == 2 || byGroup == 32 || byGroup == 60) {
            reply.byIin2 |= IIN2_OBJECT_UNKNOWN;
        } else {
            const std::size_t nBefore = reply.objects.size();
            const int nLast = asked.nMax == static_cast<std::size_t>(-1) ? asked.nLast
                                                                        : static_cast<int>(asked.nMax) - 1;
            if (!AddStaticObjects(m_Db, byGroup, byVar, asked.nFirst, nLast, options, reply.objects))
                reply.byIin2 |= IIN2_OBJECT_UNKNOWN;
            else if (reply.objects.size() == nBefore)
                reply.byIin2 |= IIN2_PARAMETER;  // none of the points asked for exists
        }
    }
    if (bClassPoll)
        m_bUseCto = !m_bUseCto;
    reply.note = "read " + names + (reply.detail.empty() ? "" : ": " + reply.detail);
}

void COutstation::AddEvents(unsigned uClasses, unsigned uKinds, int nBinaryVar, std::size_t nMax, Reply& reply)
{
    std::vector<SimEvent> events;
    for (const SimEvent& e : m_Db.PendingEvents(uClasses, uKinds)) {
        if (events.size() >= nMax)
            break;
        if (std::find(m_SentEventIds.begin(), m_SentEventIds.end(), e.nId) == m_SentEventIds.end()) {
            events.push_back(e);
            m_SentEventIds.push_back(e.nId);
        }
    }
    AddEventObjects(events, nBinaryVar, BuildOptions(), reply.objects);
    const auto nBinary = std::count_if(events.begin(), events.end(), [](const SimEvent& e) { return e.kind == SimEvent::BINARY; });
    reply.detail += (reply.detail.empty() ? "" : ", ") + std::to_string(nBinary) + " binary and " +
                    std::to_string(static_cast<long>(events.size()) - nBinary) + " analog events";
}

void COutstation::Write(const std::vector<std::uint8_t>& req, Reply& reply)
{
    const auto Is = [&req](std::initializer_list<std::uint8_t> head) {
        return req.size() >= 2 + head.size() && std::equal(head.begin(), head.end(), req.begin() + 2);
    };
    if (Is({50, 1, 0x07, 0x01}) && req.size() >= 12) {
        const std::uint64_t qwTime = WrittenTime(req);
        if (m_Options.bNoTimeSync) {
            reply.note = "clock write of " + std::to_string(qwTime) + " ms ignored: the clock is set by other means";
            return;
        }
        // The time written is that of the request's first octet, as IEEE 1815 counts it.
        m_qwTimeBase = qwTime;
        m_tTimeBase = reply.tRequest;
        m_bNeedTime = false;
        const long long llOff = static_cast<long long>(RtuTime()) - static_cast<long long>(ComputerTime());
        reply.note = "clock set to " + std::to_string(qwTime) + " ms, " + std::to_string(llOff) +
                     " ms from this computer's clock";
    } else if (Is({50, 3, 0x07, 0x01}) && req.size() >= 12) {
        // The master's time when "record current time" left it; ours then was noted.
        const std::uint64_t qwTime = WrittenTime(req);
        if (m_Options.bNoTimeSync) {
            reply.note = "clock write of " + std::to_string(qwTime) + " ms ignored: the clock is set by other means";
        } else if (!m_tRecorded) {
            reply.byIin2 |= IIN2_PARAMETER;
            reply.note = "50.3 without a recorded time";
        } else {
            m_qwTimeBase = qwTime;
            m_tTimeBase = *m_tRecorded;
            m_tRecorded.reset();
            m_bNeedTime = false;
            const long long llOff = static_cast<long long>(RtuTime()) - static_cast<long long>(ComputerTime());
            reply.note = "clock set to " + std::to_string(qwTime) + " ms at the recorded time, " +
                         std::to_string(llOff) + " ms from this computer's clock";
        }
    } else if (Is({80, 1, 0x00, 0x07, 0x07}) && req.size() >= 8) {
        if ((req[7] & 1) == 0)
            m_bRestart = false;
        reply.note = "device restart indication cleared";
    } else {
        reply.byIin2 |= IIN2_OBJECT_UNKNOWN;
        reply.note = "write of an unknown object";
    }
}

void COutstation::Control(const std::vector<std::uint8_t>& req, std::uint8_t bySeq, bool bOperate, Reply& reply)
{
    // 12.1, count 1: index (16 or 8 bits), then the 11-octet control relay output block.
    const bool bWide = req.size() >= 5 && req[4] == 0x28;
    const std::size_t nIndexAt = bWide ? 7 : 6;
    if (req.size() < nIndexAt + (bWide ? 2 : 1) + 11 || req[2] != 12 || req[3] != 1 ||
        (req[4] != 0x28 && req[4] != 0x17)) {
        reply.byIin2 |= IIN2_PARAMETER;
        reply.note = "malformed control request";
        m_Selection.reset();
        return;
    }
    const int nPoint = bWide ? req[nIndexAt] | (req[nIndexAt + 1] << 8) : req[nIndexAt];
    const std::size_t nBlock = nIndexAt + (bWide ? 2 : 1);
    const std::vector<std::uint8_t> objects(req.begin() + 2, req.begin() + static_cast<long>(nBlock + 11));
    const std::uint8_t byCode = req[nBlock];
    const std::uint32_t dwOnMs = static_cast<std::uint32_t>(req[nBlock + 2] | (req[nBlock + 3] << 8) |
                                                           (req[nBlock + 4] << 16)) |
                                 (static_cast<std::uint32_t>(req[nBlock + 5]) << 24);
    std::uint8_t byStatus = CONTROL_SUCCESS;
    const std::time_t now = ::Now();
    if (!bOperate) {
        m_Selection.reset();
        if (m_Options.bCrobFail || m_Options.bSelectFail || nPoint >= m_Db.YxCount())
            byStatus = CONTROL_NOT_SUPPORTED;
        else
            m_Selection = Selection{objects, bySeq, now};
    } else {
        // The operate repeats the select's objects octet for octet, carries the next
        // sequence number and comes in time, with no other request between.
        const bool bMatches = m_Selection && m_Selection->Objects == objects &&
                              ((m_Selection->bySeq + 1) & kSeqMask) == bySeq;
        if (!bMatches)
            byStatus = CONTROL_NO_SELECT;
        else if (now - m_Selection->tWhen > m_Options.nSelectTimeout)
            byStatus = CONTROL_TIMEOUT;
        else if (m_Options.bCrobFail || m_Options.bOperateFail)
            byStatus = CONTROL_NOT_SUPPORTED;  // the relay will not move
        m_Selection.reset();
        if (byStatus == CONTROL_SUCCESS) {
            // Close (0x40) or latch on (0x03) sets the input the relay drives; trip or latch off clears it.
            const int nState = (byCode & 0xC0) == 0x40 || (byCode & 0x0F) == 0x03 ? 1 : 0;
            m_Db.SetBinary(nPoint, nState, RtuTime());
        }
    }
    ResponseObject echo{objects, {}};
    echo.Octets.back() = byStatus;
    reply.objects.push_back(std::move(echo));
    reply.note = std::string(bOperate ? "operate" : "select") + " point " + std::to_string(nPoint) +
                 ((byCode & 0xC0) == 0x80 ? " trip " : " close ") + std::to_string(dwOnMs) + " ms: status " +
                 std::to_string(byStatus);
}

void COutstation::SetUnsolicited(const std::vector<std::uint8_t>& req, bool bEnable)
{
    unsigned uClasses = 0;
    for (std::size_t p = 2; p + 3 <= req.size(); p += 3)
        if (req[p] == 60 && req[p + 1] >= 2 && req[p + 1] <= 4)
            uClasses |= 1u << (req[p + 1] - 1);
    if (bEnable) {
        m_uUnsolClasses |= uClasses;
    } else {
        m_uUnsolClasses &= ~uClasses;
        if (m_uUnsolClasses == 0) {  // the master has seen us and wants none: stop repeating
            m_bUnsolNullDue = false;
            m_UnsolAwaited.reset();
        }
    }
}

void COutstation::UnsolicitedStep()
{
    if (!m_Options.bUnsolicited || m_bSilent)
        return;
    if (m_UnsolAwaited) {
        if (Clock::now() - m_UnsolAwaited->tSent >= kUnsolicitedRetry) {  // no confirm: again
            m_UnsolAwaited->tSent = Clock::now();
            SendFragment(m_UnsolAwaited->Fragment);
        }
        return;
    }
    if (m_bUnsolNullDue) {
        SendUnsolicited({});
        if (m_Log)
            m_Log("unsolicited null response");
        return;
    }
    if (m_uUnsolClasses == 0 || !m_PendingFragments.empty() || m_nAwaitConfirm >= 0)
        return;  // nothing enabled, or a solicited response under way
    std::vector<SimEvent> events;
    for (const SimEvent& e : m_Db.PendingEvents(m_uUnsolClasses, SimEvent::BINARY | SimEvent::ANALOG))
        if (e.nSentInSeq < 0)
            events.push_back(e);
    if (events.empty())
        return;
    std::vector<ResponseObject> objects;
    AddEventObjects(events, 2, BuildOptions(), objects);
    const std::vector<std::vector<ResponseObject>> fragments = PackFragments(objects, static_cast<std::size_t>(m_Options.nFragment));
    SendUnsolicited(fragments.front());  // the rest in the next ones
    if (m_Log)
        m_Log("unsolicited response with events");
}

void COutstation::SendUnsolicited(const std::vector<ResponseObject>& objects)
{
    const std::uint8_t bySeq = m_byUnsolSeq;
    m_byUnsolSeq = static_cast<std::uint8_t>((m_byUnsolSeq + 1) & kSeqMask);
    std::vector<std::uint8_t> fragment(4);
    std::vector<std::uint64_t> eventIds;
    for (const ResponseObject& object : objects) {
        fragment.insert(fragment.end(), object.Octets.begin(), object.Octets.end());
        eventIds.insert(eventIds.end(), object.EventIds.begin(), object.EventIds.end());
    }
    fragment[0] = static_cast<std::uint8_t>(kFir | kFin | kCon | kUns | bySeq);
    fragment[1] = fc::UNSOLICITED_RESPONSE;
    m_Db.MarkSent(eventIds, kUnsolicitedMark + bySeq);
    fragment[2] = Iin1();
    fragment[3] = Iin2(0);
    m_UnsolAwaited = UnsolicitedAwaited{bySeq, fragment, Clock::now()};
    SendFragment(fragment);
}

void COutstation::OnUnsolicitedConfirm(std::uint8_t bySeq)
{
    if (!m_UnsolAwaited || m_UnsolAwaited->bySeq != bySeq)
        return;
    m_UnsolAwaited.reset();
    m_bUnsolNullDue = false;
    m_Db.Confirm(kUnsolicitedMark + bySeq);
}
