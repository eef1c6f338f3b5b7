#include "ui/QueltDlg.h"

#include <QKeyEvent>
#include <QMenuBar>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "app/RunState.h"
#include "ui/Placement.h"

namespace {

struct TimerSpec {
    int nId;
    int nPeriodMs;
};

const TimerSpec kTimers[] = {{1, 500}, {2, 1000}, {3, 1000}};

}  // namespace

CQueltDlg::CQueltDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_pMenuBar(new QMenuBar(this))
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("Quelt DNP3 主站规约调试"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setMenuBar(m_pMenuBar);
    BuildMenu();
}

void CQueltDlg::BuildMenu()
{
    QMenu* pExit = m_pMenuBar->addMenu(QStringLiteral("软件退出"));
    connect(AddCommand(pExit, QStringLiteral("退出(&X)"), ID_APP_EXIT), &QAction::triggered, this,
            &QDialog::reject);
}

QAction* CQueltDlg::AddCommand(QMenu* pMenu, const QString& text, int nId)
{
    QAction* pAction = pMenu->addAction(text);
    pAction->setData(nId);
    pAction->setObjectName(QString::number(nId));
    return pAction;
}

QAction* CQueltDlg::MenuAction(int nId) const
{
    return m_pMenuBar->findChild<QAction*>(QString::number(nId));
}

void CQueltDlg::PlaceStrip()
{
    int W = 0;
    int H = 0;
    DesktopSize(W, H);
    PlaceWindow(this, {0, 0, W, kStripHeight}, false);
}

bool CQueltDlg::OnInitDialog()
{
    PlaceStrip();
    InitialiseRunState();
    for (const TimerSpec& t : kTimers)
        m_TimerIds[startTimer(t.nPeriodMs)] = t.nId;
    return true;
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
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter ||
        pEvent->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}
