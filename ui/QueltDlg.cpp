#include "ui/QueltDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "app/Recording.h"
#include "app/RunState.h"
#include "channel/LineSettings.h"
#include "channel/PortMap.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "dialog/DialogSupport.h"
#include "ui/AboutDlg.h"
#include "ui/ChannelParam.h"
#include "ui/ModeParam.h"
#include "ui/Placement.h"
#include "ui/RTUDialog.h"
#include "ui/StatusLine.h"

namespace {

struct TimerPeriod {
    int nId;
    int nPeriodMs;
};

const TimerPeriod kTimers[] = {{1, 500}, {2, 1000}, {3, 1000}};

bool IsExitKey(const QKeyEvent* pEvent)
{
    const int nKey = pEvent->key();
    return nKey == Qt::Key_Escape || nKey == Qt::Key_Return || nKey == Qt::Key_Enter;
}

}  // namespace

CQueltDlg::CQueltDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_hIcon(AppIcon()), m_pMenuBar(new QMenuBar(this)), m_pSystemMenu(new QMenu(this)),
      m_pStatusLine(new CStatusLine(m_pMenuBar))
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("Quelt DNP3 主站规约调试"));
    setWindowIcon(m_hIcon);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setMenuBar(m_pMenuBar);
    BuildMenu();
    // The desktop's own window menu cannot be extended; the about item sits on the
    // strip's context menu instead.
    connect(AddCommand(m_pSystemMenu, QStringLiteral("&About Quelt..."), ID_ABOUT), &QAction::triggered, this,
            &CQueltDlg::OnAbout);
    m_pMenuBar->installEventFilter(this);
}

void CQueltDlg::BuildMenu()
{
    for (const MenuNode& popup : MainMenuResource()) {
        QMenu* pPopup = m_pMenuBar->addMenu(QString::fromStdString(popup.Text));
        for (std::size_t i = 0; i < popup.Children.size(); ++i) {
            if (i > 0)
                pPopup->addSeparator();
            const MenuNode& item = popup.Children[i];
            if (item.Children.empty()) {
                AddCommand(pPopup, QString::fromStdString(item.Text), item.nId);
                continue;
            }
            QMenu* pSubmenu = pPopup->addMenu(QString::fromStdString(item.Text));
            for (const MenuNode& command : item.Children)
                AddCommand(pSubmenu, QString::fromStdString(command.Text), command.nId);
        }
    }

    SetUpWindowCommands();
    m_Commands[ID_CHANNEL_PARAM] = [this] { OnChannelParam(); };
    m_Commands[ID_RTU_PARAM] = [this] { OnRtuParam(); };
    m_Commands[ID_MODE_PARAM] = [this] { OnModeParam(); };
    m_Commands[ID_APP_EXIT] = [this] { reject(); };

    SetUpCommandMenus();
}

QAction* CQueltDlg::AddCommand(QMenu* pMenu, const QString& text, int nId)
{
    QAction* pAction = pMenu->addAction(text);
    pAction->setData(nId);
    pAction->setObjectName(QString::number(nId));
    connect(pAction, &QAction::triggered, this, [this, nId] { OnCommand(nId); });
    return pAction;
}

void CQueltDlg::OnCommand(int nId)
{
    const auto it = m_Commands.find(nId);
    if (it != m_Commands.end())
        it->second();
}

QAction* CQueltDlg::MenuAction(int nId) const { return findChild<QAction*>(QString::number(nId)); }

QMenu* CQueltDlg::Popup(int nIndex) const
{
    const QList<QAction*> popups = m_pMenuBar->actions();
    return nIndex >= 0 && nIndex < popups.size() ? popups[nIndex]->menu() : nullptr;
}

void CQueltDlg::PlaceStrip()
{
    int W = 0;
    int H = 0;
    DesktopSize(W, H);
    PlaceWindow(this, StripPlacement(W), true);
}

bool CQueltDlg::OnInitDialog()
{
    PlaceStrip();
    MenuAction(ID_PAUSE_ALL)->setEnabled(true);
    MenuAction(ID_CONTINUE_ALL)->setEnabled(false);
    WatchWindows();
    InitialiseRunState();
    for (const TimerPeriod& t : kTimers)
        m_TimerIds[startTimer(t.nPeriodMs)] = t.nId;
    RefreshStatusLine();
    return true;
}

void CQueltDlg::RefreshStatusLine()
{
    StatusFacts facts;
    facts.nPort = g_nComPort;
    facts.device = PortDevice(facts.nPort);
    facts.line = CurrentLineSettings();
    facts.nAskMode = g_nAskMode;
    facts.engine = g_EngineStatus.Read();
    PauseFlags(facts.pauseFlags);
    if (IsRecording())
        facts.recording = QFileInfo(QFile::decodeName(RecordingPath().c_str())).fileName().toStdString();
    m_pStatusLine->Show(facts);
    UpdateRecordItem();
}

void CQueltDlg::OnChannelParam()
{
    CChannelParam dlg(this);
    dlg.SetChoice(ChoiceFromWords(CurrentChannelWords()));
    if (RunDialog(dlg) != QDialog::Accepted)
        return;
    ApplyChannelWords(WordsFromChoice(dlg.Choice(), CurrentChannelWords()));
    RefreshStatusLine();
}

void CQueltDlg::OnRtuParam()
{
    CRTUDialog dlg(this);
    dlg.SetValues(CurrentRtuValues());
    if (RunDialog(dlg) != QDialog::Accepted)
        return;
    ApplyRtuValues(dlg.Values());
}

void CQueltDlg::OnModeParam()
{
    CModeParam dlg(this);
    dlg.m_nAskMode = g_nAskMode;
    dlg.m_nCallMode = g_nCallMode;
    if (RunDialog(dlg) != QDialog::Accepted)
        return;
    g_nAskMode = dlg.m_nAskMode;
    g_nCallMode = dlg.m_nCallMode;
    RefreshStatusLine();
}

void CQueltDlg::OnAbout()
{
    CAboutDlg dlg(this);
    RunDialog(dlg);
}

void CQueltDlg::timerEvent(QTimerEvent* pEvent)
{
    const auto it = m_TimerIds.find(pEvent->timerId());
    if (it != m_TimerIds.end())
        OnTimer(it->second);
}

void CQueltDlg::OnTimer(int nIDEvent)
{
    switch (nIDEvent) {
    case 1:
        m_Handler.ProcessResponses();
        RefreshStatusLine();
        break;
    case 2:
        CheckSelectTimeout();
        break;
    case 3:
        CheckOperateTimeout();
        break;
    default:
        break;
    }
}

void CQueltDlg::keyPressEvent(QKeyEvent* pEvent)
{
    // No controls, so Enter and Escape both end the run, like the exit command.
    if (IsExitKey(pEvent)) {
        reject();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CQueltDlg::mousePressEvent(QMouseEvent* pEvent)
{
    // A click on the strip ends the menu bar's keyboard navigation, as it does on the
    // platform, so the next Escape or Enter is the strip's again.
    if (QApplication::activePopupWidget() == nullptr && m_pMenuBar->activeAction() != nullptr)
        m_pMenuBar->setActiveAction(nullptr);
    if (focusWidget() == m_pMenuBar)
        m_pMenuBar->clearFocus();
    QDialog::mousePressEvent(pEvent);
}

void CQueltDlg::contextMenuEvent(QContextMenuEvent* pEvent) { m_pSystemMenu->exec(pEvent->globalPos()); }

bool CQueltDlg::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pMenuBar) {
        // The menu bar keeps the focus after a menu was left with Escape and would swallow
        // the keys that end the run. While one of its titles is highlighted it keeps them
        // for its own navigation (Escape once more leaves it, as on the platform).
        if (pEvent->type() == QEvent::KeyPress && IsExitKey(static_cast<QKeyEvent*>(pEvent)) &&
            m_pMenuBar->activeAction() == nullptr) {
            reject();
            return true;
        }
        return false;
    }
    const QEvent::Type type = pEvent->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && !pEvent->spontaneous())
        SyncWindowItem(static_cast<QWidget*>(pWatched));
    return false;
}
