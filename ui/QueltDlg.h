#pragma once
// The main window: a strip across the top of the screen that carries the caption and the
// menu, runs for the whole session and owns the three timers and the point image. Every
// operator action starts from its menu.
#include <QDialog>
#include <QIcon>

#include <functional>
#include <map>

#include "app/WindowLayout.h"
#include "response/QueltHandler.h"
#include "ui/MainMenu.h"
#include "ui/PauseState.h"

struct MenuCommand;
class CStatusLine;
class CTrafficWindow;
class QAction;
class QMenu;
class QMenuBar;

class CQueltDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 102;
    static constexpr int kStripHeight = ::kStripHeight;

    explicit CQueltDlg(QWidget* pParent = nullptr);

    // Defaults, point counts, control record, channels and poll thread, then the timers.
    bool OnInitDialog();
    CStatusLine* StatusLine() const { return m_pStatusLine; }
    // The menu command with this id (the about item included), or nullptr.
    QAction* MenuAction(int nId) const;
    // The top-level popup at this index of the menu bar.
    QMenu* Popup(int nIndex) const;

    // The strip at the top of the desktop, then the shown monitoring windows below it as
    // the window mask says. The desktop is measured anew each time.
    void ArrangeWindows();

    // Menu commands.
    void OnWindowToggle(int nId);
    void OnPause(PauseWindow window);
    void OnPauseAll();
    void OnContinueAll();
    void OnChannelParam();
    void OnRtuParam();
    void OnModeParam();
    void OnAbout();
    void OnManualCommand(const MenuCommand& command);
    void OnShowQueue();
    void OnCapture(CTrafficWindow* pWindow);
    void OnShowCapture();
    void OnRecord();

protected:
    void timerEvent(QTimerEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void BuildMenu();
    // The items of "信息窗口" and "信息控制" (WindowCommands.cpp).
    void SetUpWindowCommands();
    // The items of "发送命令" and "捕获数据" (CommandMenus.cpp).
    void SetUpCommandMenus();
    QAction* AddCommand(QMenu* pMenu, const QString& text, int nId);
    void OnCommand(int nId);
    void PlaceStrip();
    // The check mark and mask bit of a window item follow what is on screen, however the
    // window was shown or hidden.
    void WatchWindows();
    void SyncWindowItem(QWidget* pWindow);
    void SetPauseFlag(PauseWindow window, int bPaused);
    void PauseFlags(int (&flags)[kPauseWindows]) const;
    // The status line from the engine's board and the settings; redrawn only on a change.
    void RefreshStatusLine();
    // The recording item says whether a recording runs (one may stop on its own).
    void UpdateRecordItem();
    void UpdatePauseGroup();
    // The timers by their ids: 1 every 500 ms, 2 and 3 every 1000 ms.
    void OnTimer(int nIDEvent);

    QIcon m_hIcon;
    CQueltHandler m_Handler;
    QMenuBar* m_pMenuBar;
    QMenu* m_pSystemMenu;  // the about item, on the strip's context menu
    CStatusLine* m_pStatusLine;
    std::map<int, std::function<void()>> m_Commands;
    std::map<int, int> m_TimerIds;  // Qt's timer id -> our timer id
};
