#include <gtest/gtest.h>

#include "core/Config.h"
#include "response/FrameHandler.h"

TEST(FrameHandlerTest, EveryArrayOfEverySlotExistsWithPositionsAsIndexes)
{
    CFrameHandler handler;
    for (const RtuPointTable& slot : g_RtuPoints) {
        ASSERT_NE(slot.pYX, nullptr);
        ASSERT_NE(slot.pYC, nullptr);
        ASSERT_NE(slot.pYM, nullptr);
        for (int i : {0, 1, 511, kPointCapacity - 1}) {
            EXPECT_EQ(slot.pYX[i].wIndex, i);
            EXPECT_EQ(slot.pYC[i].wIndex, i);
            EXPECT_EQ(slot.pYM[i].wIndex, i);
        }
    }
    const YXPoint* pBefore = g_RtuPoints[0].pYX;
    g_RtuPoints[0].pYC[1023].nValue = -5;
    CFrameHandler again;  // a second handler neither moves nor clears the image
    EXPECT_EQ(g_RtuPoints[0].pYX, pBefore);
    EXPECT_EQ(g_RtuPoints[0].pYC[1023].nValue, -5);
    g_RtuPoints[0].pYC[1023].nValue = 0;
}

TEST(FrameHandlerTest, CountsOfSlotZeroFollowTheConfiguration)
{
    CFrameHandler handler;
    SetConfigDefaults();
    SetPointCounts();
    EXPECT_EQ(g_RtuPoints[0].nYXNum, 128);
    EXPECT_EQ(g_RtuPoints[0].nYCNum, 128);
    EXPECT_EQ(g_RtuPoints[0].nYMNum, 64);
    g_nYxPoints = 8;
    SetPointCounts();
    EXPECT_EQ(g_RtuPoints[0].nYXNum, 8);
    for (int nSlot = 1; nSlot < kRtuSlots; ++nSlot)
        EXPECT_EQ(g_RtuPoints[nSlot].nYXNum + g_RtuPoints[nSlot].nYCNum + g_RtuPoints[nSlot].nYMNum, 0);
    SetConfigDefaults();
}
