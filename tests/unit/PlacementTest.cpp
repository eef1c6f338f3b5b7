#include <gtest/gtest.h>

#include "app/Quelt.h"

TEST(PlacementTest, StartupPlacementOfTheFiveWindows)
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
}
