#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "core/Locks.h"
#include "core/TrafficLines.h"
#include "support/StateReset.h"

namespace {

struct Drained {
    std::string send, recv;
};

Drained TakeBoth()
{
    std::lock_guard lock(g_csDisplay);
    return {g_SendLines.TakeAll(), g_RecvLines.TakeAll()};
}

}  // namespace

class TrafficLinesTest : public SharedStateTest {};

TEST_F(TrafficLinesTest, RoutingFollowsTheWindowMask)
{
    const struct {
        int nMask;
        const char* send;  // what each list holds after "S" sent then "R" received
        const char* recv;
    } cases[] = {
        {SHOW_SEND | SHOW_RECV, "S", "R"},
        {SHOW_SEND, "SR", ""},
        {SHOW_RECV, "", "SR"},
        {0, "", ""},
        {SHOW_RESULT, "", ""},  // the result bit does not route anything
    };
    for (const auto& c : cases) {
        g_nWindowMask = c.nMask;
        AppendSendText(std::string_view("S"));
        AppendRecvText(std::string_view("R"));
        const Drained d = TakeBoth();
        EXPECT_EQ(d.send, c.send) << "mask " << c.nMask;
        EXPECT_EQ(d.recv, c.recv) << "mask " << c.nMask;
    }
}

TEST_F(TrafficLinesTest, ThreeFormsOfAnItem)
{
    AppendRecvText(std::uint8_t{0x0A});
    AppendRecvText(std::uint8_t{0xFF});
    AppendRecvText('\r');
    AppendRecvText('\n');
    AppendRecvText(std::string_view("Receiving Error !\r\n"));
    std::lock_guard lock(g_csDisplay);
    EXPECT_EQ(g_RecvLines.Count(), 5u);
    EXPECT_EQ(g_RecvLines.TakeAll(), "0A FF \r\nReceiving Error !\r\n");
}

TEST_F(TrafficLinesTest, FrameHeldUnderTheDisplayLockStaysTogether)
{
    std::thread other;
    {
        std::lock_guard frame(g_csDisplay);
        AppendSendText(std::string_view("=> "));
        // The other producer starts inside the frame and must wait for its end.
        other = std::thread([] { AppendSendText(std::string_view("X ")); });
        std::this_thread::yield();
        for (std::uint8_t by : {0x05, 0x64, 0x05})
            AppendSendText(by);
        AppendSendText('\r');
        AppendSendText('\n');
    }
    other.join();
    EXPECT_EQ(TakeBoth().send, "=> 05 64 05 \r\nX ");
}

TEST_F(TrafficLinesTest, BoundedListDropsTheOldestAndSaysSo)
{
    CTrafficLineList list;
    const std::string item(1000, 'a');
    const std::size_t nItems = CTrafficLineList::kMaxBytes / item.size() + 10;
    for (std::size_t i = 0; i < nItems; ++i)
        list.Push(i + 1 == nItems ? std::string("last") : item);
    EXPECT_LE(list.Count() * item.size(), CTrafficLineList::kMaxBytes + item.size());
    const std::string text = list.TakeAll();
    const std::size_t nDropped = nItems - 1 - CTrafficLineList::kMaxBytes / item.size();
    EXPECT_EQ(text.rfind("\r\n[显示滞后，丢弃了 " + std::to_string(nDropped) + " 项]\r\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 4), "last");
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.TakeAll(), "");  // the note is given once
}
