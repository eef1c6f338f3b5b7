#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "core/Locks.h"
#include "monitor/AlarmLog.h"

namespace {

// The list box as plain lines with the selection.
class ListModel : public IAlarmList {
public:
    int AddLine(const std::string& text) override
    {
        Lines.push_back(text);
        return static_cast<int>(Lines.size()) - 1;
    }
    void SelectLine(int n) override { nSelected = n; }
    void DeleteLine(int n) override
    {
        Lines.erase(Lines.begin() + n);
        if (nSelected >= n)
            --nSelected;
    }
    std::vector<std::string> Lines;
    int nSelected = -1;
};

std::string Text(int n) { return "告警 " + std::to_string(n); }

}  // namespace

TEST(AlarmLogTest, KeepsThe31NewestTextsAndShowsThe50NewestLines)
{
    CAlarmLog log;
    ListModel list;
    log.Attach(&list, [] {});
    for (int i = 1; i <= 31; ++i)
        log.Add(Text(i));
    EXPECT_EQ(log.Texts().size(), 31u);
    EXPECT_EQ(log.Texts().front(), Text(1));
    log.Add(Text(32));
    EXPECT_EQ(log.Texts().size(), 31u);
    EXPECT_EQ(log.Texts().front(), Text(2));

    for (int i = 33; i <= 50; ++i)
        log.Add(Text(i));
    EXPECT_EQ(list.Lines.size(), 50u);
    log.Add(Text(51));
    ASSERT_EQ(list.Lines.size(), 50u);
    EXPECT_EQ(list.Lines.front(), Text(2));
    EXPECT_EQ(list.Lines.back(), Text(51));
    EXPECT_EQ(list.nSelected, 49);  // the newest, at the bottom
    log.Add(Text(51));              // identical texts are not merged
    EXPECT_EQ(list.Lines[48], list.Lines[49]);
}

TEST(AlarmLogTest, WindowInitialisationRefillsFromTheKeptTexts)
{
    CAlarmLog log;
    for (int i = 1; i <= 40; ++i)
        log.Add(Text(i));  // before any window exists
    ListModel list;
    log.Attach(&list, [] {});
    ASSERT_EQ(list.Lines.size(), 31u);
    EXPECT_EQ(list.Lines.front(), Text(10));
    EXPECT_EQ(list.Lines.back(), Text(40));
}

TEST(AlarmLogTest, OtherThreadsQueueInOrderAndNeverWaitForTheOwner)
{
    CAlarmLog log;
    ListModel list;
    std::atomic<int> nWakes{0};
    log.Attach(&list, [&] { ++nWakes; });

    // The poll thread adds alarms under the channel lock while the GUI thread is blocked
    // on that lock (as during channel re-creation). It must finish on its own.
    std::promise<void> pollStarted;
    auto poll = std::async(std::launch::async, [&] {
        std::lock_guard channel(g_csChannel);
        pollStarted.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        log.Add("链路层通讯失败 ！");
        log.Add("应用层通信失败 !");
    });
    pollStarted.get_future().wait();
    auto gui = std::async(std::launch::async, [] { std::lock_guard channel(g_csChannel); });
    ASSERT_EQ(poll.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "deadlock";
    ASSERT_EQ(gui.wait_for(std::chrono::seconds(10)), std::future_status::ready);

    EXPECT_EQ(nWakes, 2);
    EXPECT_TRUE(list.Lines.empty());  // not yet on the list: that is the owner's work
    log.Add("遥控选点成功 !");         // on the owner thread: after what was queued
    EXPECT_EQ(list.Lines, (std::vector<std::string>{"链路层通讯失败 ！", "应用层通信失败 !", "遥控选点成功 !"}));
}
