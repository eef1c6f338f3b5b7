#pragma once
// The captured-data viewer: shows a saved capture file.
#include "monitor/MonitorWindow.h"

class QPlainTextEdit;

class CLoadQueltData : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 149;
    CLoadQueltData();

    QPlainTextEdit* m_editMsg;  // control 1001
};
