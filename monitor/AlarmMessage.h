#pragma once
// The alarm window: the list of the alarm log, newest at the bottom and selected.
#include "monitor/AlarmLog.h"
#include "monitor/MonitorWindow.h"

class QListWidget;

class CAlarmMessage : public CMonitorWindow, public IAlarmList {
    Q_OBJECT
public:
    static constexpr int IDD = 144;
    CAlarmMessage();
    ~CAlarmMessage() override;

    int AddLine(const std::string& text) override;
    void SelectLine(int nIndex) override;
    void DeleteLine(int nIndex) override;

    QListWidget* m_AlarmList;  // control 1009
};
