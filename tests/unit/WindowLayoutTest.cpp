#include <gtest/gtest.h>

#include "app/WindowLayout.h"
#include "core/TrafficLines.h"

inline void PrintTo(const WndPos& p, std::ostream* os)
{
    *os << "(" << p.x << ", " << p.y << ") " << p.cx << " x " << p.cy;
}

TEST(WindowLayoutTest, StartupPlacementOfTheFiveWindows)
{
    const struct {
        int W, H;
        WndPos recv, send, result, alarm, capture;
    } cases[] = {
        {1024, 768, {384, 393, 640, 347}, {384, 46, 640, 347}, {0, 46, 384, 694},
         {128, 576, 768, 96}, {128, 192, 768, 480}},
        {800, 600, {300, 309, 500, 263}, {300, 46, 500, 263}, {0, 46, 300, 526},
         {100, 450, 600, 75}, {100, 150, 600, 375}},
    };
    for (const auto& c : cases) {
        const StartupPlacement p = ComputeStartupPlacement(c.W, c.H);
        EXPECT_EQ(p.recv, c.recv) << c.W;
        EXPECT_EQ(p.send, c.send) << c.W;
        EXPECT_EQ(p.result, c.result) << c.W;
        EXPECT_EQ(p.alarm, c.alarm) << c.W;
        EXPECT_EQ(p.capture, c.capture) << c.W;
    }
    EXPECT_EQ(StripPlacement(1024), (WndPos{0, 0, 1024, 46}));
}

// Every mask on two desktops, in placing order. 1023 x 767 has odd sizes, where the
// integer division (multiplication first) shows.
TEST(WindowLayoutTest, ArrangementOfEveryMask)
{
    const WndPos none{-1, -1, -1, -1};
    const struct {
        int W, H, nMask;
        std::vector<ArrangedWindow> order;
        WndPos send, recv, result;
    } cases[] = {
        {1024, 768, 0, {}, none, none, none},
        {1024, 768, 1, {ARRANGE_SEND}, {0, 46, 1024, 694}, none, none},
        {1024, 768, 2, {ARRANGE_RECV}, none, {0, 46, 1024, 694}, none},
        {1024, 768, 3, {ARRANGE_SEND, ARRANGE_RECV}, {0, 46, 1024, 347}, {0, 393, 1024, 347}, none},
        {1024, 768, 4, {ARRANGE_RESULT}, none, none, {0, 46, 1024, 694}},
        {1024, 768, 5, {ARRANGE_SEND, ARRANGE_RESULT}, {384, 46, 640, 694}, none, {0, 46, 384, 694}},
        {1024, 768, 6, {ARRANGE_RECV, ARRANGE_RESULT}, none, {384, 46, 640, 694}, {0, 46, 384, 694}},
        {1024, 768, 7, {ARRANGE_RECV, ARRANGE_SEND, ARRANGE_RESULT}, {384, 46, 640, 347},
         {384, 393, 640, 347}, {0, 46, 384, 694}},
        {1023, 767, 0, {}, none, none, none},
        {1023, 767, 1, {ARRANGE_SEND}, {0, 46, 1023, 693}, none, none},
        {1023, 767, 2, {ARRANGE_RECV}, none, {0, 46, 1023, 693}, none},
        {1023, 767, 3, {ARRANGE_SEND, ARRANGE_RECV}, {0, 46, 1023, 346}, {0, 392, 1023, 346}, none},
        {1023, 767, 4, {ARRANGE_RESULT}, none, none, {0, 46, 1023, 693}},
        {1023, 767, 5, {ARRANGE_SEND, ARRANGE_RESULT}, {383, 46, 639, 693}, none, {0, 46, 383, 693}},
        {1023, 767, 6, {ARRANGE_RECV, ARRANGE_RESULT}, none, {383, 46, 639, 693}, {0, 46, 383, 693}},
        {1023, 767, 7, {ARRANGE_RECV, ARRANGE_SEND, ARRANGE_RESULT}, {383, 46, 639, 346},
         {383, 392, 639, 346}, {0, 46, 383, 693}},
    };
    for (const auto& c : cases) {
        const Arrangement a = ComputeArrangement(c.nMask, c.W, c.H);
        const std::string where = std::to_string(c.W) + " mask " + std::to_string(c.nMask);
        ASSERT_EQ(a.nCount, static_cast<int>(c.order.size())) << where;
        WndPos got[3] = {none, none, none};
        for (int i = 0; i < a.nCount; ++i) {
            EXPECT_EQ(a.items[i].window, c.order[i]) << where;
            got[a.items[i].window] = a.items[i].pos;
        }
        EXPECT_EQ(got[ARRANGE_SEND], c.send) << where;
        EXPECT_EQ(got[ARRANGE_RECV], c.recv) << where;
        EXPECT_EQ(got[ARRANGE_RESULT], c.result) << where;
    }
}

TEST(WindowLayoutTest, StoringAnArrangementLeavesTheRecordsOfHiddenWindows)
{
    const WndPos old{1, 2, 3, 4};
    g_SendWndPos = g_RecvWndPos = g_ResultWndPos = old;
    StoreArrangement(ComputeArrangement(SHOW_RECV | SHOW_RESULT, 800, 600));
    EXPECT_EQ(g_SendWndPos, old);
    EXPECT_EQ(g_RecvWndPos, (WndPos{300, 46, 500, 526}));
    EXPECT_EQ(g_ResultWndPos, (WndPos{0, 46, 300, 526}));
    StoreArrangement(ComputeArrangement(0, 800, 600));
    EXPECT_EQ(g_RecvWndPos, (WndPos{300, 46, 500, 526}));
}
