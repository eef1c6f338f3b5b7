#pragma once
// The result window: the point image as text.
#include "monitor/MonitorWindow.h"

class QPlainTextEdit;

class CResultMessage : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 133;
    CResultMessage();

    QPlainTextEdit* m_editMsg;  // control 1001
    int m_bPause = 0;
};
