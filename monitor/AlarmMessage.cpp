#include "monitor/AlarmMessage.h"

#include <QListWidget>

CAlarmMessage::CAlarmMessage()
    : CMonitorWindow(IDD, QStringLiteral("告警信息"), kCaptionOnly), m_listAlarm(new QListWidget(this))
{
    m_listAlarm->setObjectName(QStringLiteral("1009"));
    m_listAlarm->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FillWith(m_listAlarm);
}
