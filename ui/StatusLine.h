#pragma once
// The status line: a label on the menu row of the main strip, after the last menu title,
// so the strip keeps its height. The full text is its tool tip when it is cut short; its
// context menu ("计数清零") clears the counts.
#include <QLabel>

#include <optional>

#include "ui/StatusText.h"

class QMenuBar;

class CStatusLine : public QLabel {
    Q_OBJECT
public:
    explicit CStatusLine(QMenuBar* pMenuBar);

    // Shows the facts (counts as the engine has them). When nothing changed, nothing is
    // rebuilt or redrawn.
    void Show(const StatusFacts& facts);
    // The counts from now on start from zero.
    void ClearCounts();

    QString FullText() const { return m_FullText; }
    bool IsAlarm() const { return m_bAlarm; }

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    // Placed between the last menu title and the right edge, its text cut to fit.
    void Fit();

    QMenuBar* m_pMenuBar;
    std::optional<StatusFacts> m_Shown;  // as shown, the operator's zero applied
    EngineCounts m_Zero;
    EngineCounts m_LastCounts;  // as the engine had them
    QString m_FullText;
    bool m_bAlarm = false;
};
