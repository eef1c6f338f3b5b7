#pragma once
// What the analysis window lists: every record of the line tap, decoded on the tap's
// thread, with its interval on its port and, for an answer, the time the RTU took. The
// GUI takes what is new on its timer; the store keeps the newest kMaxFrames.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "decode/Frame.h"
#include "record/LineTap.h"

struct AnalysedFrame {
    std::uint64_t nNumber = 0;   // 1 for the first record since the start
    // What the list needs. The layers' items, the blocks and the user data are left out
    // (a response of many points would hold thousands of lines, times 100,000 frames):
    // DescribeInFull gives them again for the frame the operator chooses.
    qdec::FrameDescription d;
    double dIntervalMs = -1;     // since the previous record on its port; -1: first
    double dResponseMs = -1;     // an answer: from the end of the request it answers
    std::uint64_t nAnswers = 0;  // an answer: the number of that request
    bool bRequest = false;       // the master asks and waits for an answer
    std::string Summary;         // "读 类1 类2 类3  seq 5"
};

// The pairing of answers with requests and the texts, one record at a time. Plain logic:
// tests drive it directly.
class CFrameAnalyser {
public:
    AnalysedFrame Analyse(qdec::LineRecord record);

private:
    AnalysedFrame Pair(qdec::LineRecord record);
    struct Pending {
        std::uint64_t nNumber = 0;
        std::int64_t tEndUs = 0;
        int nAppSeq = -1;  // -1: a link request (reset, link status, confirmed data)
    };
    qdec::CStreamDecoder m_Decoder;
    std::uint64_t m_nNext = 1;
    Pending m_Link[2];  // per port: the last link request not yet answered
    Pending m_App[2];   // per port: the last application request not yet answered
    std::int64_t m_tFirUs[2] = {};  // per port: the first segment of the answer under way
};

// The whole description of the frame at nAt, items included: the frames of its fragment
// (the same port and direction, back to the segment with FIR) decoded again.
qdec::FrameDescription DescribeInFull(const std::deque<AnalysedFrame>& frames, std::size_t nAt);
// The text of the chosen frames (in the store's order), as quelt-decode writes it, each
// decoded in the stream of all the frames kept.
std::string TextOfFrames(const std::deque<AnalysedFrame>& frames, const std::vector<const AnalysedFrame*>& chosen);

// The Chinese one-line summary: "读 类1 类2 类3  seq 5", "响应 seq 5  IIN 需要对时  2.2×3",
// "链路 复位 3246→54", "噪声 5 字节".
std::string ChineseSummary(const qdec::FrameDescription& d);

class CAnalysedFrames : public ITapSink {
public:
    static constexpr std::size_t kMaxFrames = 100'000;

    // The tap's thread.
    void OnRecord(const qdec::LineRecord& record) override;

    // The GUI: moves what arrived into the store; returns how many came. Frames beyond
    // kMaxFrames leave from the front (Dropped counts them).
    std::size_t TakeNew();
    const std::deque<AnalysedFrame>& Frames() const { return m_Frames; }
    std::uint64_t Dropped() const { return m_nDropped; }
    void Clear();

private:
    std::mutex m_mx;
    CFrameAnalyser m_Analyser;             // the tap's thread, under m_mx
    std::vector<AnalysedFrame> m_Arrived;  // under m_mx
    std::uint64_t m_nDroppedArrived = 0;   // under m_mx
    std::deque<AnalysedFrame> m_Frames;    // the GUI's
    std::uint64_t m_nDropped = 0;
};
