#pragma once
// The result window: the point image as text, rebuilt every 2 seconds unless paused.
#include <string>

#include "monitor/MonitorWindow.h"

class QTextEdit;

class CResultMessage : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 133;
    static constexpr int kRefreshMs = 2000;
    CResultMessage();

    // One refresh: the whole text anew when it changed (or the operator typed in it), the
    // operator's scroll position kept.
    void Refresh();

    QTextEdit* m_ResultEdit;  // control 1001
    int m_bPause = 0;

protected:
    void timerEvent(QTimerEvent* pEvent) override;

private:
    std::string m_Shown;  // the text last put in
};
