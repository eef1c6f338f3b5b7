#include "monitor/AnalysedFrames.h"

#include "core/Config.h"
#include "dnp3/ChineseNames.h"

using qdec::Direction;
using qdec::RecordKind;

namespace {

bool AnswerExpected(int nFunction)
{
    switch (nFunction) {
    case 0:   // CONFIRM
    case 6:   // DIRECT_OPERATE_NR
    case 8:   // IMMED_FREEZE_NR
    case 10:  // FREEZE_CLEAR_NR
    case 12:  // FREEZE_AT_TIME_NR
    case 33:  // AUTH_REQ_NO_ACK
        return false;
    default:
        return nFunction < 0x80;
    }
}

// Times read as the operator set the RTU's clock to count.
qdec::TimeConvention ChosenConvention()
{
    return g_nTimeFormat.load(std::memory_order_relaxed) == TIME_FORMAT_UTC ? qdec::TimeConvention::Utc
                                                                            : qdec::TimeConvention::MonthRelative;
}

std::int64_t StartUs(const qdec::LineRecord& r) { return r.tMonoUs != 0 ? r.tMonoUs : r.tWallUs; }
std::int64_t EndUs(const qdec::LineRecord& r) { return r.tMonoEndUs != 0 ? r.tMonoEndUs : StartUs(r); }

}  // namespace

std::string ChineseSummary(const qdec::FrameDescription& d)
{
    const qdec::LineRecord& r = d.Record;
    const std::string n = std::to_string(r.Octets.size());
    switch (r.kind) {
    case RecordKind::Noise:
        return "噪声 " + n + " 字节";
    case RecordKind::Lost:
        return "监听丢失 " + std::to_string(r.nLost) + " 字节";
    case RecordKind::Truncated:
        return "截断 " + n + " 字节";
    case RecordKind::Frame:
        break;
    }
    const qdec::LinkHeader& h = d.Link.header;
    std::string text;
    if (d.App.bPresent) {
        text = ChineseName(qdec::AppFunctionName(d.App.nFunction));
        const std::string objects = ChineseObjects(d.App.ObjectSummary);
        const bool bResponse = d.App.nFunction >= 0x81;
        const bool bObjectsFirst = !bResponse && !objects.empty();
        if (bObjectsFirst)
            text += " " + objects;
        text += (bObjectsFirst ? "  seq " : " seq ") + std::to_string(d.App.nSeq);
        if (d.App.bHasIin && d.App.wIin != 0)
            text += "  IIN " + ChineseIinText(d.App.wIin);
        if (bResponse && !objects.empty())
            text += "  " + objects;
        if (!d.App.Fault.empty())
            text += "  (对象错)";
        return text;
    }
    text = std::string("链路 ") + ChineseName(qdec::LinkFunctionName(h.bPrm, h.nFunction)) + " " + std::to_string(h.nSrc) +
           "→" + std::to_string(h.nDest);
    if (d.CrcText != "ok")
        text += "  CRC错";
    else if (d.Transport.bPresent && !d.bFragment)
        text += "  分段 seq " + std::to_string(d.Transport.nSeq);
    return text;
}

namespace {

// Keeps what the list needs of a description.
void Slim(qdec::FrameDescription& d)
{
    d.Items = {};
    d.App.Items = {};
    d.Link.blocks = {};
    d.Link.userData = {};
}

bool SameLine(const qdec::LineRecord& a, const qdec::LineRecord& b)
{
    return (a.nPort & 1) == (b.nPort & 1) && a.dir == b.dir && a.PortName == b.PortName;
}

}  // namespace

qdec::FrameDescription DescribeInFull(const std::deque<AnalysedFrame>& frames, std::size_t nAt)
{
    constexpr std::size_t kMaxSegments = 64;  // a fragment of 2048 octets has at most 9
    const qdec::LineRecord& target = frames[nAt].d.Record;
    std::vector<std::size_t> chain = {nAt};
    for (std::size_t i = nAt; i > 0 && chain.size() < kMaxSegments;) {
        const AnalysedFrame& f = frames[chain.back()];
        if (!f.d.Transport.bPresent || f.d.Transport.bFir)
            break;
        --i;
        if (SameLine(frames[i].d.Record, target))
            chain.push_back(i);
    }
    qdec::CStreamDecoder decoder(ChosenConvention());
    qdec::FrameDescription d;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        d = decoder.Describe(frames[*it].d.Record);
    d.dDeltaMs = frames[nAt].dIntervalMs;
    return d;
}

std::string TextOfFrames(const std::deque<AnalysedFrame>& frames, const std::vector<const AnalysedFrame*>& chosen)
{
    std::string text;
    qdec::CStreamDecoder decoder(ChosenConvention());
    std::size_t nNext = 0;
    for (const AnalysedFrame& f : frames) {
        qdec::FrameDescription d = decoder.Describe(f.d.Record);
        if (nNext < chosen.size() && chosen[nNext] == &f) {
            d.dDeltaMs = f.dIntervalMs;
            text += qdec::DescriptionText(d) + "\n";
            ++nNext;
        }
    }
    return text;
}

AnalysedFrame CFrameAnalyser::Analyse(qdec::LineRecord record)
{
    AnalysedFrame f = Pair(std::move(record));
    Slim(f.d);
    return f;
}

AnalysedFrame CFrameAnalyser::Pair(qdec::LineRecord record)
{
    AnalysedFrame f;
    f.nNumber = m_nNext++;
    m_Decoder.SetConvention(ChosenConvention());
    f.d = m_Decoder.Describe(std::move(record));
    f.dIntervalMs = f.d.dDeltaMs;
    f.Summary = ChineseSummary(f.d);
    const qdec::LineRecord& r = f.d.Record;
    const int nPort = r.nPort & 1;
    if (r.kind != RecordKind::Frame || !f.d.Link.CrcOk())
        return f;
    const qdec::LinkHeader& h = f.d.Link.header;
    const auto answer = [&](Pending& pending) {
        if (pending.nNumber == 0)
            return;
        f.nAnswers = pending.nNumber;
        f.dResponseMs = static_cast<double>(StartUs(r) - pending.tEndUs) / 1000.0;
        pending = {};
    };
    if (r.dir == Direction::Sent) {
        if (h.bPrm && (h.nFunction == 0 || h.nFunction == 2 || h.nFunction == 3 || h.nFunction == 9)) {
            m_Link[nPort] = {f.nNumber, EndUs(r), -1};
            f.bRequest = true;
        }
        if (f.d.bFragment && f.d.App.bPresent && AnswerExpected(f.d.App.nFunction)) {
            m_App[nPort] = {f.nNumber, EndUs(r), f.d.App.nSeq};
            f.bRequest = true;
        }
        return f;
    }
    if (!h.bPrm) {
        answer(m_Link[nPort]);
        return f;
    }
    if (f.d.Transport.bPresent && f.d.Transport.bFir)
        m_tFirUs[nPort] = StartUs(r);  // a long answer counts from its first segment
    if (f.d.bFragment && f.d.App.bPresent && f.d.App.nFunction == 0x81 && f.d.App.nSeq == m_App[nPort].nAppSeq &&
        m_App[nPort].nNumber != 0) {
        const std::int64_t tFirstUs = m_tFirUs[nPort] != 0 ? m_tFirUs[nPort] : StartUs(r);
        f.nAnswers = m_App[nPort].nNumber;
        f.dResponseMs = static_cast<double>(tFirstUs - m_App[nPort].tEndUs) / 1000.0;
        m_App[nPort] = {};
    }
    return f;
}

void CAnalysedFrames::OnRecord(const qdec::LineRecord& record)
{
    std::lock_guard lock(m_mx);
    m_Arrived.push_back(m_Analyser.Analyse(record));
    if (m_Arrived.size() > kMaxFrames) {  // the GUI has not come for a long time
        const std::size_t nOver = m_Arrived.size() - kMaxFrames;
        m_Arrived.erase(m_Arrived.begin(), m_Arrived.begin() + static_cast<long>(nOver));
        m_nDroppedArrived += nOver;
    }
}

std::size_t CAnalysedFrames::TakeNew()
{
    std::vector<AnalysedFrame> arrived;
    {
        std::lock_guard lock(m_mx);
        arrived.swap(m_Arrived);
        m_nDropped += m_nDroppedArrived;
        m_nDroppedArrived = 0;
    }
    for (AnalysedFrame& f : arrived)
        m_Frames.push_back(std::move(f));
    while (m_Frames.size() > kMaxFrames) {
        m_Frames.pop_front();
        ++m_nDropped;
    }
    return arrived.size();
}

void CAnalysedFrames::Clear()
{
    std::lock_guard lock(m_mx);
    m_Arrived.clear();
    m_Frames.clear();
    m_nDropped = 0;
    m_nDroppedArrived = 0;
}
