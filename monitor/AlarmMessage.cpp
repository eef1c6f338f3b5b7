#include "monitor/AlarmMessage.h"

#include <QListWidget>
#include <QMetaObject>

CAlarmMessage::CAlarmMessage()
    : CMonitorWindow(IDD, QStringLiteral("告警信息"), kCaptionOnly), m_AlarmList(new QListWidget(this))
{
    m_AlarmList->setObjectName(QStringLiteral("1009"));
    m_AlarmList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_AlarmList->setSelectionMode(QAbstractItemView::SingleSelection);
    FillWith(m_AlarmList);
    // Texts from other threads arrive through the event loop; nobody waits for it.
    g_AlarmLog.Attach(this, [this] {
        QMetaObject::invokeMethod(this, [] { g_AlarmLog.Drain(); }, Qt::QueuedConnection);
    });
}

CAlarmMessage::~CAlarmMessage() { g_AlarmLog.Detach(); }

int CAlarmMessage::AddLine(const std::string& text)
{
    m_AlarmList->addItem(QString::fromStdString(text));
    return m_AlarmList->count() - 1;
}

void CAlarmMessage::SelectLine(int nIndex) { m_AlarmList->setCurrentRow(nIndex); }

void CAlarmMessage::DeleteLine(int nIndex) { delete m_AlarmList->takeItem(nIndex); }
