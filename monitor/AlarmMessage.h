#pragma once
// The alarm window: protocol failures, decoding errors, control outcomes and events.
#include "monitor/MonitorWindow.h"

class QListWidget;

class CAlarmMessage : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 144;
    CAlarmMessage();

    QListWidget* m_listAlarm;  // control 1009
};
