#pragma once
// The status line's text: where the engine is connected and how, the ask mode, the link's
// health, the counts since they were last cleared, and the windows whose output is
// paused. Plain logic; the main window shows it.
#include <string>

#include "channel/LineSettings.h"
#include "core/EngineStatus.h"
#include "ui/PauseState.h"

struct StatusFacts {
    int nPort = 0;  // COM1 or COM2
    std::string device;
    LineSettings line;
    int nAskMode = 0;
    EngineStatus engine;  // its counts already taken from the operator's zero
    int pauseFlags[kPauseWindows] = {};
    std::string recording;  // the file being recorded to; empty when none
    bool operator==(const StatusFacts&) const = default;
};

struct StatusText {
    std::string text;
    bool bAlarm = false;  // port not open or the RTU not answering: shown in red
};

// "1200,8,N,1".
std::string LineSettingsText(const LineSettings& line);
StatusText ComposeStatusText(const StatusFacts& facts);
