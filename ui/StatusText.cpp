#include "ui/StatusText.h"

#include <cstdio>

#include "channel/PortMap.h"
#include "channel/TcpEndpoint.h"
#include "core/Clock.h"
#include "core/Config.h"

namespace {

constexpr const char* kSeparator = "  |  ";

std::string LinkText(const EngineStatus& engine)
{
    switch (engine.health) {
    case LinkHealth::NOT_RESET:
        return "链路未复位";
    case LinkHealth::NORMAL:
        return "链路正常";
    case LinkHealth::FAILED:
        break;
    }
    if (engine.tLastAnswer == 0)
        return "通讯失败 (无响应)";
    const LocalTime t = Clock().LocalAt(engine.tLastAnswer);
    char text[48];
    std::snprintf(text, sizeof text, "通讯失败 (最后响应 %02d:%02d:%02d)", t.nHour, t.nMinute, t.nSecond);
    return text;
}

std::string CountsText(const EngineCounts& c)
{
    return "请求 " + std::to_string(c.nRequests) + "  响应 " + std::to_string(c.nAnswers) + "  超时 " +
           std::to_string(c.nTimeOuts) + "  CRC错 " + std::to_string(c.nCrcFailures);
}

std::string PauseText(const int (&flags)[kPauseWindows])
{
    static const char* const kNames[kPauseWindows] = {"接收", "发送", "结果", "分析"};
    std::string paused;
    int nPaused = 0;
    for (int w = 0; w < kPauseWindows; ++w) {
        if (flags[w] == 0)
            continue;
        paused += std::string(nPaused == 0 ? "" : " ") + kNames[w];
        ++nPaused;
    }
    if (nPaused == 0)
        return "";
    return nPaused == kPauseWindows ? "输出全部暂停" : "暂停: " + paused;
}

}  // namespace

std::string LineSettingsText(const LineSettings& line)
{
    return std::to_string(line.nBaudRate) + "," + std::to_string(line.nDataBits) + "," + ParityLetter(line.nParity) +
           "," + StopBitsText(line.nStopBits);
}

StatusText ComposeStatusText(const StatusFacts& facts)
{
    StatusText status;
    std::string& text = status.text;
    text = PortName(facts.nPort) + " " + facts.device + " ";
    if (!facts.engine.bEngine) {
        text += "无规约通道";
        status.bAlarm = true;
        return status;
    }
    const bool bTcp = IsTcpDevice(facts.device);
    if (facts.engine.bPortOpen) {
        text += bTcp ? "已连接" : LineSettingsText(facts.line);
    } else {
        text += bTcp ? "未连接" : "端口未打开";
        status.bAlarm = true;
    }
    text += kSeparator;
    text += facts.nAskMode == ASK_AUTO ? "自动问答" : "人工询问";
    if (!facts.recording.empty())
        text += std::string(kSeparator) + "记录中";
    text += kSeparator;
    text += LinkText(facts.engine);
    status.bAlarm = status.bAlarm || facts.engine.health == LinkHealth::FAILED;
    text += kSeparator;
    text += CountsText(facts.engine.counts);
    if (const std::string paused = PauseText(facts.pauseFlags); !paused.empty())
        text += kSeparator + paused;
    if (!facts.recording.empty())
        text += std::string(kSeparator) + "记录文件: " + facts.recording;
    return status;
}
