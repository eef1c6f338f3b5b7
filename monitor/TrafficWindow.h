#pragma once
// A traffic window: every 200 ms it drains its line list into its text, keeps the text
// short, and shows nothing of what arrives while it is paused.
#include "monitor/MonitorWindow.h"
#include "monitor/TrafficDrain.h"

class CTrafficLineList;
class QPlainTextEdit;

// The edit control as the drain sees it: "\r\n" line ends, UTF-8.
class CEditTextSink : public ITextSink {
public:
    explicit CEditTextSink(QPlainTextEdit* pEdit);
    std::string Text() const override;
    void RemoveHead(std::size_t nUtf8Octets) override;
    // With nothing to add and the view already at the end, touches nothing.
    void AppendAtEnd(std::string_view text) override;
    bool TakeTextChanged() override;

private:
    QPlainTextEdit* m_pEdit;
    bool m_bChanged = true;
};

class CTrafficWindow : public CMonitorWindow {
    Q_OBJECT
public:
    static constexpr int kDrainMs = 200;

    QPlainTextEdit* m_editMsg;  // control 1001
    int m_bPause = 0;

    // One tick of the drain (the timer calls it; so can a test).
    void DrainTraffic();

protected:
    CTrafficWindow(int nIDD, const QString& caption, CTrafficLineList& lines);
    void timerEvent(QTimerEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    CTrafficLineList& m_Lines;
    CEditTextSink m_Sink;
};
