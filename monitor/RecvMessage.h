#pragma once
#include "core/TrafficLines.h"
#include "monitor/TrafficWindow.h"

// The receive traffic window: what arrived from the line.
class CRecvMessage : public CTrafficWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 134;
    CRecvMessage() : CTrafficWindow(IDD, QStringLiteral("接收信息窗口"), g_RecvLines) {}
};
