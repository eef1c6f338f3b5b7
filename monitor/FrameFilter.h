#pragma once
// Which frames the analysis window lists: by port, direction, faults, and a text found in
// the summary, the protocol's names or the objects ("32.2", "SELECT", "读").
#include <string>

#include "monitor/AnalysedFrames.h"

struct FrameFilter {
    int nPort = -1;       // -1 any, else 0 COM1, 1 COM2
    int nDirection = -1;  // -1 any, 0 sent, 1 received
    bool bFaultsOnly = false;
    std::string Text;     // empty: any; matched without regard to case

    bool Matches(const AnalysedFrame& frame) const;
    bool IsEmpty() const { return nPort < 0 && nDirection < 0 && !bFaultsOnly && Text.empty(); }
    bool operator==(const FrameFilter&) const = default;
};

// The texts of the list's columns for a frame: 时间 (local hh:mm:ss.mmm), 间隔, 端口, 方向,
// 长度, 摘要, 校验, 响应时间.
enum FrameColumn { COL_TIME, COL_INTERVAL, COL_PORT, COL_DIRECTION, COL_LENGTH, COL_SUMMARY, COL_CRC, COL_RESPONSE, kFrameColumns };
extern const char* const kFrameColumnTitles[kFrameColumns];
std::string FrameColumnText(const AnalysedFrame& frame, FrameColumn column);
