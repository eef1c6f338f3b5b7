#pragma once
// The main window: a strip across the top of the screen that carries the caption and the
// menu, runs for the whole session and owns the three timers and the point image.
#include <QDialog>

#include <map>

#include "response/QueltHandler.h"

class QMenuBar;
class QAction;

class CQueltDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 102;
    static constexpr int kStripHeight = 46;
    static constexpr int ID_APP_EXIT = 57665;

    explicit CQueltDlg(QWidget* pParent = nullptr);

    // Defaults, point counts, control record, channels and poll thread, then the timers.
    bool OnInitDialog();
    // The menu command with this id, or nullptr.
    QAction* MenuAction(int nId) const;
    // Puts the strip at the top of the desktop, full width.
    void PlaceStrip();

protected:
    void timerEvent(QTimerEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void BuildMenu();
    QAction* AddCommand(QMenu* pMenu, const QString& text, int nId);
    // The timers by their ids: 1 every 500 ms, 2 and 3 every 1000 ms.
    void OnTimer(int nIDEvent);

    CQueltHandler m_Handler;
    QMenuBar* m_pMenuBar;
    std::map<int, int> m_TimerIds;  // Qt's timer id -> our timer id
};
