// The window and output-control commands of the main window: showing, hiding and arranging
// the monitoring windows, and pausing their output.
#include <QAction>
#include <QMenu>

#include "core/TrafficLines.h"
#include "monitor/AlarmMessage.h"
#include "monitor/AnalysisWindow.h"
#include "monitor/RecvMessage.h"
#include "monitor/ResultMessage.h"
#include "monitor/SendMessage.h"
#include "ui/Placement.h"
#include "ui/QtShell.h"
#include "ui/QueltDlg.h"

namespace {

// The window items of "信息窗口": their window and mask bit (none for the alarm window,
// which is never arranged).
struct WindowItem {
    int nId;
    int nMaskBit;
    QWidget* (*pWindow)();
};

const WindowItem kWindowItems[] = {
    {ID_WND_RECV, SHOW_RECV, [] { return static_cast<QWidget*>(g_wndRecv); }},
    {ID_WND_SEND, SHOW_SEND, [] { return static_cast<QWidget*>(g_wndSend); }},
    {ID_WND_RESULT, SHOW_RESULT, [] { return static_cast<QWidget*>(g_wndResult); }},
    {ID_WND_ALARM, 0, [] { return static_cast<QWidget*>(g_wndAlarm); }},
    {ID_WND_ANALYSIS, 0, [] { return static_cast<QWidget*>(g_wndAnalysis); }},
};

const WindowItem* FindWindowItem(int nId)
{
    for (const WindowItem& item : kWindowItems)
        if (item.nId == nId)
            return &item;
    return nullptr;
}

QWidget* WindowOf(ArrangedWindow window)
{
    switch (window) {
    case ARRANGE_SEND:
        return g_wndSend;
    case ARRANGE_RECV:
        return g_wndRecv;
    case ARRANGE_RESULT:
        return g_wndResult;
    }
    return nullptr;
}

int* PauseFlag(PauseWindow window)
{
    switch (window) {
    case PAUSE_RECV:
        return g_wndRecv != nullptr ? &g_wndRecv->m_bPause : nullptr;
    case PAUSE_SEND:
        return g_wndSend != nullptr ? &g_wndSend->m_bPause : nullptr;
    case PAUSE_RESULT:
        return g_wndResult != nullptr ? &g_wndResult->m_bPause : nullptr;
    case PAUSE_ANALYSIS:
        return g_wndAnalysis != nullptr ? &g_wndAnalysis->m_bPause : nullptr;
    }
    return nullptr;
}

}  // namespace

void CQueltDlg::SetUpWindowCommands()
{
    for (const WindowItem& item : kWindowItems) {
        QAction* pAction = MenuAction(item.nId);
        pAction->setCheckable(true);
        pAction->setChecked(item.nMaskBit != 0);  // the alarm window starts hidden
        m_Commands[item.nId] = [this, nId = item.nId] { OnWindowToggle(nId); };
    }
    for (int w = 0; w < kPauseWindows; ++w)
        m_Commands[kPauseItems[w].nId] = [this, w] { OnPause(static_cast<PauseWindow>(w)); };
    m_Commands[ID_PAUSE_ALL] = [this] { OnPauseAll(); };
    m_Commands[ID_CONTINUE_ALL] = [this] { OnContinueAll(); };
}

void CQueltDlg::WatchWindows()
{
    for (const WindowItem& item : kWindowItems) {
        if (QWidget* pWindow = item.pWindow()) {
            pWindow->installEventFilter(this);
            SyncWindowItem(pWindow);
        }
    }
}

void CQueltDlg::SyncWindowItem(QWidget* pWindow)
{
    for (const WindowItem& item : kWindowItems) {
        if (item.pWindow() != pWindow)
            continue;
        const bool bVisible = pWindow->isVisible();
        MenuAction(item.nId)->setChecked(bVisible);
        if (item.nMaskBit != 0) {
            if (bVisible)
                g_nWindowMask.fetch_or(item.nMaskBit);
            else
                g_nWindowMask.fetch_and(~item.nMaskBit);
        }
    }
}

void CQueltDlg::OnWindowToggle(int nId)
{
    const WindowItem* pItem = FindWindowItem(nId);
    QWidget* pWindow = pItem != nullptr ? pItem->pWindow() : nullptr;
    if (pWindow == nullptr)
        return;
    pWindow->setVisible(!pWindow->isVisible());
    SyncWindowItem(pWindow);
    if (pItem->nMaskBit != 0)
        ArrangeWindows();
}

void CQueltDlg::ArrangeWindows()
{
    int W = 0;
    int H = 0;
    DesktopSize(W, H);
    PlaceWindow(this, StripPlacement(W), true);
    showNormal();
    const Arrangement arrangement = ComputeArrangement(g_nWindowMask, W, H);
    StoreArrangement(arrangement);
    for (int i = 0; i < arrangement.nCount; ++i) {
        if (QWidget* pWindow = WindowOf(arrangement.items[i].window)) {
            PlaceWindow(pWindow, arrangement.items[i].pos, true);
            pWindow->show();
        }
    }
}

void CQueltDlg::SetPauseFlag(PauseWindow window, int bPaused)
{
    if (int* pFlag = PauseFlag(window))
        *pFlag = bPaused;
    // By position, keeping the id, as the menu's texts are addressed.
    const PauseItem& item = kPauseItems[window];
    if (QMenu* pPopup = Popup(kInfoControlPopup))
        pPopup->actions().at(item.nPosition)->setText(QString::fromUtf8(PauseItemText(window, bPaused)));
}

void CQueltDlg::PauseFlags(int (&flags)[kPauseWindows]) const
{
    for (int w = 0; w < kPauseWindows; ++w) {
        const int* pFlag = PauseFlag(static_cast<PauseWindow>(w));
        flags[w] = pFlag != nullptr ? *pFlag : 0;
    }
}

void CQueltDlg::UpdatePauseGroup()
{
    int flags[kPauseWindows] = {};
    PauseFlags(flags);
    const PauseGroupState state = ComputePauseGroupState(flags);
    MenuAction(ID_PAUSE_ALL)->setEnabled(state.bPauseAllEnabled);
    MenuAction(ID_CONTINUE_ALL)->setEnabled(state.bContinueAllEnabled);
    RefreshStatusLine();
}

void CQueltDlg::OnPause(PauseWindow window)
{
    const int* pFlag = PauseFlag(window);
    SetPauseFlag(window, pFlag != nullptr && *pFlag != 0 ? 0 : 1);
    UpdatePauseGroup();
}

void CQueltDlg::OnPauseAll()
{
    for (int w = 0; w < kPauseWindows; ++w)
        SetPauseFlag(static_cast<PauseWindow>(w), 1);
    UpdatePauseGroup();
}

void CQueltDlg::OnContinueAll()
{
    for (int w = 0; w < kPauseWindows; ++w)
        SetPauseFlag(static_cast<PauseWindow>(w), 0);
    UpdatePauseGroup();
}
