#include "ui/StatusLine.h"

#include <QAction>
#include <QEvent>
#include <QMenuBar>

namespace {

constexpr int kGap = 24;  // between the last menu title and the text
constexpr int kRightMargin = 8;

}  // namespace

CStatusLine::CStatusLine(QMenuBar* pMenuBar) : QLabel(pMenuBar), m_pMenuBar(pMenuBar)
{
    setObjectName(QStringLiteral("StatusLine"));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    pMenuBar->installEventFilter(this);
    auto* pClear = new QAction(QStringLiteral("计数清零"), this);
    pClear->setObjectName(QStringLiteral("ClearCounts"));
    connect(pClear, &QAction::triggered, this, &CStatusLine::ClearCounts);
    addAction(pClear);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CStatusLine::Show(const StatusFacts& facts)
{
    m_LastCounts = facts.engine.counts;
    StatusFacts shown = facts;
    shown.engine.counts = CountsSince(facts.engine.counts, m_Zero);
    if (m_Shown == shown)
        return;
    const bool bWasAlarm = m_bAlarm;
    m_Shown = shown;
    const StatusText status = ComposeStatusText(shown);
    m_FullText = QString::fromStdString(status.text);
    m_bAlarm = status.bAlarm;
    if (m_bAlarm != bWasAlarm || styleSheet().isEmpty())
        setStyleSheet(m_bAlarm ? QStringLiteral("QLabel { color: #c00000; font-weight: bold; }")
                               : QStringLiteral("QLabel { color: palette(window-text); }"));
    Fit();
}

void CStatusLine::ClearCounts()
{
    m_Zero = m_LastCounts;
    if (!m_Shown)
        return;
    StatusFacts facts = *m_Shown;
    facts.engine.counts = m_LastCounts;
    Show(facts);
}

void CStatusLine::Fit()
{
    int nLeft = 0;
    for (QAction* pAction : m_pMenuBar->actions())
        nLeft = std::max(nLeft, m_pMenuBar->actionGeometry(pAction).right());
    nLeft += kGap;
    const int nWidth = std::max(0, m_pMenuBar->width() - nLeft - kRightMargin);
    setGeometry(nLeft, 0, nWidth, m_pMenuBar->height());
    const QString elided = fontMetrics().elidedText(m_FullText, Qt::ElideRight, nWidth);
    if (elided != text())
        setText(elided);
    setToolTip(elided == m_FullText ? QString() : m_FullText);
}

bool CStatusLine::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pMenuBar && (pEvent->type() == QEvent::Resize || pEvent->type() == QEvent::LayoutRequest))
        Fit();
    return QLabel::eventFilter(pWatched, pEvent);
}
