#include "monitor/ResultMessage.h"

#include <QPlainTextEdit>

CResultMessage::CResultMessage()
    : CMonitorWindow(IDD, QStringLiteral("结果信息窗口"), kCaptionOnly), m_editMsg(AddFillingEdit(1001))
{
}
