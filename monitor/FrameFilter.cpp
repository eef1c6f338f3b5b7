#include "monitor/FrameFilter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

std::string Milliseconds(double dMs) { return dMs < 0 ? std::string() : std::to_string(std::llround(dMs)); }

}  // namespace

const char* const kFrameColumnTitles[kFrameColumns] = {"时间", "间隔", "端口", "方向", "长度", "摘要", "校验", "响应时间"};

bool FrameFilter::Matches(const AnalysedFrame& frame) const
{
    const qdec::LineRecord& r = frame.d.Record;
    if (nPort >= 0 && (r.nPort & 1) != nPort)
        return false;
    if (nDirection >= 0 && (r.dir == qdec::Direction::Sent ? 0 : 1) != nDirection)
        return false;
    if (bFaultsOnly && !frame.d.bFault)
        return false;
    if (Text.empty())
        return true;
    const std::string needle = Lower(Text);
    for (const std::string* pHay : {&frame.Summary, &frame.d.Summary, &frame.d.App.ObjectSummary})
        if (Lower(*pHay).find(needle) != std::string::npos)
            return true;
    return false;
}

std::string FrameColumnText(const AnalysedFrame& frame, FrameColumn column)
{
    const qdec::FrameDescription& d = frame.d;
    const qdec::LineRecord& r = d.Record;
    switch (column) {
    case COL_TIME: {
        if (r.tWallUs <= 0)
            return "-";
        const std::time_t t = static_cast<std::time_t>(r.tWallUs / 1'000'000);
        std::tm tm{};
        localtime_r(&t, &tm);
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                      static_cast<int>(r.tWallUs / 1000 % 1000));
        return text;
    }
    case COL_INTERVAL:
        return Milliseconds(frame.dIntervalMs);
    case COL_PORT:
        return qdec::PortText(r);
    case COL_DIRECTION:
        return r.dir == qdec::Direction::Sent ? "发送" : "接收";
    case COL_LENGTH:
        return std::to_string(r.kind == qdec::RecordKind::Lost ? r.nLost : r.Octets.size());
    case COL_SUMMARY:
        return frame.Summary;
    case COL_CRC:
        if (d.CrcText == "-")
            return "-";
        return d.CrcText == "ok" ? "正确" : d.CrcText;
    case COL_RESPONSE:
        return Milliseconds(frame.dResponseMs);
    case kFrameColumns:
        break;
    }
    return {};
}
