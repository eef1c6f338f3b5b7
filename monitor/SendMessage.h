#pragma once
#include "core/TrafficLines.h"
#include "monitor/TrafficWindow.h"

// The send traffic window: what the master wrote to the line.
class CSendMessage : public CTrafficWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 132;
    CSendMessage() : CTrafficWindow(IDD, QStringLiteral("发送信息窗口"), g_SendLines) {}
};
