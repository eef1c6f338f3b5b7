#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>

#include <thread>

#include "gui/EventLoop.h"
#include "monitor/AlarmMessage.h"

TEST(AlarmWindowTest, AlarmsFromAnotherThreadReachTheListInOrder)
{
    g_AlarmLog.Clear();
    g_AlarmLog.Add("启动前的告警");  // kept, shown when the window initialises
    CAlarmMessage window;
    EXPECT_EQ(window.windowTitle().toStdString(), "告警信息");
    ASSERT_EQ(window.findChild<QListWidget*>(QStringLiteral("1009")), window.m_AlarmList);
    EXPECT_EQ(window.m_AlarmList->count(), 1);

    std::thread poll([] {
        for (int i = 0; i < 60; ++i)
            AddAlarm("链路层通讯失败 ！ " + std::to_string(i));
    });
    poll.join();
    ProcessEventsUntil([&] { return window.m_AlarmList->count() >= 50; });
    QApplication::processEvents();
    ASSERT_EQ(window.m_AlarmList->count(), 50);
    EXPECT_EQ(window.m_AlarmList->item(49)->text().toStdString(), "链路层通讯失败 ！ 59");
    EXPECT_EQ(window.m_AlarmList->item(0)->text().toStdString(), "链路层通讯失败 ！ 10");
    EXPECT_EQ(window.m_AlarmList->currentRow(), 49);

    window.resize(400, 150);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.m_AlarmList->geometry(), window.rect());  // the list fills the window
    g_AlarmLog.Clear();
}
