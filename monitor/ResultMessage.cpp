#include "monitor/ResultMessage.h"

#include <QPlainTextEdit>
#include <QScrollBar>

#include "core/Config.h"
#include "response/ResultText.h"

CResultMessage::CResultMessage()
    : CMonitorWindow(IDD, QStringLiteral("结果信息窗口"), kCaptionOnly), m_ResultEdit(AddFillingEdit(1001))
{
    startTimer(kRefreshMs);
}

void CResultMessage::timerEvent(QTimerEvent*) { Refresh(); }

void CResultMessage::Refresh()
{
    if (m_bPause != 0)
        return;
    const QString text = FromWindowsText(BuildResultText(g_nRtuAddress, g_RtuPoints[0]));
    QScrollBar* pBar = m_ResultEdit->verticalScrollBar();
    const int nPosition = pBar->value();
    m_ResultEdit->setUpdatesEnabled(false);
    m_ResultEdit->setPlainText(text);
    pBar->setValue(nPosition);  // an operator reading the middle stays there
    m_ResultEdit->setUpdatesEnabled(true);
}
