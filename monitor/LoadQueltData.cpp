#include "monitor/LoadQueltData.h"

#include <QPlainTextEdit>

CLoadQueltData::CLoadQueltData()
    : CMonitorWindow(IDD, QStringLiteral("显示捕获数据"),
                     Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_editMsg(AddFillingEdit(1001))
{
}
