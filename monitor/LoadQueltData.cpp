#include "monitor/LoadQueltData.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include "monitor/CaptureFile.h"

CLoadQueltData::CLoadQueltData()
    : CMonitorWindow(IDD, QStringLiteral("显示捕获数据"),
                     Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_editMsg(AddFillingEdit(1001))
{
}

void CLoadQueltData::ShowText(const std::string& text, const std::string& fileName)
{
    const QString caption = QStringLiteral("显示捕获数据");
    setWindowTitle(fileName.empty() ? caption : caption + QStringLiteral(" - ") + QString::fromStdString(fileName));
    m_editMsg->setPlainText(QString::fromStdString(ViewerLines(text)));
    m_editMsg->moveCursor(QTextCursor::End);
    m_editMsg->ensureCursorVisible();
    show();
    raise();
}
