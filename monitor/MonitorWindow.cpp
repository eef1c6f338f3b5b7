#include "monitor/MonitorWindow.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QVBoxLayout>

QString FromWindowsText(std::string_view utf8)
{
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    text.remove(QLatin1Char('\r'));
    return text;
}

CMonitorWindow::CMonitorWindow(int nIDD, const QString& caption, Qt::WindowFlags flags)
    : QDialog(nullptr, flags), m_nIDD(nIDD)
{
    setObjectName(QString::number(nIDD));
    setWindowTitle(caption);
    setModal(false);
}

QPlainTextEdit* CMonitorWindow::AddFillingEdit(int nControlId)
{
    auto* pEdit = new QPlainTextEdit(this);
    pEdit->setObjectName(QString::number(nControlId));
    pEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pEdit->setUndoRedoEnabled(false);
    UseFixedWidthFont(pEdit);
    FillWith(pEdit);
    return pEdit;
}

void CMonitorWindow::FillWith(QWidget* pControl)
{
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(pControl);
}

void CMonitorWindow::UseFixedWidthFont(QWidget* pControl)
{
    QFont font(QStringLiteral("Noto Sans Mono CJK SC"));  // from fonts-noto-cjk
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    pControl->setFont(font);
}
