#include "ui/AboutDlg.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>

#include "dialog/DialogSupport.h"

QIcon AppIcon() { return QIcon(QStringLiteral(":/res/quelt.png")); }

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setObjectName(QString::number(IDD));
    setWindowTitle(QStringLiteral("关于 Quelt"));
    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(AppIcon().pixmap(48, 48));
    auto* pProduct = new QLabel(QStringLiteral("Quelt DNP3 主站规约调试 版本 %1").arg(QStringLiteral(QUELT_VERSION)), this);
    auto* pProject = new QLabel(QStringLiteral("Quelt 项目：DNP3 (IEEE 1815) 主站与规约分析工具"), this);
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pIcon, 0, 0, 2, 1, Qt::AlignTop);
    pLayout->addWidget(pProduct, 0, 1);
    pLayout->addWidget(pProject, 1, 1);
    pLayout->addLayout(ConfirmCancelButtons(this, QStringLiteral("确认"), QString()), 2, 0, 1, 2);
}
