#pragma once
// The captured-data viewer: shows a saved capture file.
#include <string>

#include "monitor/MonitorWindow.h"

class QPlainTextEdit;

class CLoadQueltData : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int IDD = 149;
    CLoadQueltData();

    // Replaces the whole text (no undo), puts the view at its end and shows the window,
    // even after the operator closed it. The text is what a capture file reads as; the
    // caption names the file it came from.
    void ShowText(const std::string& text, const std::string& fileName = {});

    QPlainTextEdit* m_editMsg;  // control 1001
};
