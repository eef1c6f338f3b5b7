#include "monitor/TrafficWindow.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <utility>

#include "core/TrafficLines.h"

CEditTextSink::CEditTextSink(QPlainTextEdit* pEdit) : m_pEdit(pEdit)
{
    QObject::connect(pEdit->document(), &QTextDocument::contentsChanged, pEdit, [this] { m_bChanged = true; });
}

bool CEditTextSink::TakeTextChanged() { return std::exchange(m_bChanged, false); }

std::string CEditTextSink::Text() const
{
    return m_pEdit->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toStdString();
}

void CEditTextSink::RemoveHead(std::size_t nUtf8Octets)
{
    const std::string head = Text().substr(0, nUtf8Octets);
    QTextCursor cursor(m_pEdit->document());
    cursor.setPosition(0);
    cursor.setPosition(static_cast<int>(FromWindowsText(head).size()), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void CEditTextSink::AppendAtEnd(std::string_view text)
{
    const QScrollBar* pBar = m_pEdit->verticalScrollBar();
    if (text.empty() && m_pEdit->textCursor().atEnd() && !m_pEdit->textCursor().hasSelection() &&
        pBar->value() == pBar->maximum())
        return;  // already there: nothing redrawn
    QTextCursor cursor = m_pEdit->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_pEdit->setTextCursor(cursor);
    m_pEdit->ensureCursorVisible();
    if (!text.empty())
        m_pEdit->insertPlainText(FromWindowsText(text));
}

CTrafficWindow::CTrafficWindow(int nIDD, const QString& caption, CTrafficLineList& lines)
    : CMonitorWindow(nIDD, caption, kCaptionOnly), m_editMsg(AddFillingEdit(1001)),
      m_Lines(lines), m_Sink(m_editMsg)
{
    // The edit control does not take Enter: it is the dialog's confirm key, as Escape is
    // its cancel key, and both only hide the window.
    m_editMsg->installEventFilter(this);
    m_bPause = 0;
    startTimer(kDrainMs);
}

void CTrafficWindow::DrainTraffic() { ::DrainTraffic(m_Lines, m_Sink, m_bPause != 0); }

void CTrafficWindow::timerEvent(QTimerEvent*) { DrainTraffic(); }

bool CTrafficWindow::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_editMsg && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    return CMonitorWindow::eventFilter(pWatched, pEvent);
}
