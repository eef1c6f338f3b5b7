#include "monitor/ResultMessage.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextEdit>

#include "core/Config.h"
#include "response/ResultText.h"

CResultMessage::CResultMessage()
    : CMonitorWindow(IDD, QStringLiteral("结果信息窗口"), kCaptionOnly), m_ResultEdit(new QTextEdit(this))
{
    // The whole document is laid out at once (unlike a plain-text control, which lays out
    // lazily), so the scroll range is right as soon as the text is in.
    m_ResultEdit->setObjectName(QStringLiteral("1001"));
    m_ResultEdit->setAcceptRichText(false);
    m_ResultEdit->setLineWrapMode(QTextEdit::WidgetWidth);
    UseFixedWidthFont(m_ResultEdit);
    m_ResultEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_ResultEdit->setUndoRedoEnabled(false);
    FillWith(m_ResultEdit);
    startTimer(kRefreshMs);
}

void CResultMessage::timerEvent(QTimerEvent*) { Refresh(); }

void CResultMessage::Refresh()
{
    if (m_bPause != 0)
        return;
    // Unchanged points and an untouched text: nothing is laid out again. What the operator
    // typed there is replaced all the same.
    std::string built = BuildResultText(g_nRtuAddress, g_RtuPoints[0]);
    if (built == m_Shown && !m_ResultEdit->document()->isModified())
        return;
    m_Shown = std::move(built);
    const QString text = FromWindowsText(m_Shown);
    QScrollBar* pBar = m_ResultEdit->verticalScrollBar();
    const int nPosition = pBar->value();
    m_ResultEdit->viewport()->setUpdatesEnabled(false);  // no flicker of the text
    m_ResultEdit->setPlainText(text);
    m_ResultEdit->document()->setModified(false);
    (void)m_ResultEdit->document()->documentLayout()->documentSize();
    pBar->setValue(nPosition);  // an operator reading the middle stays there
    m_ResultEdit->viewport()->setUpdatesEnabled(true);
}
