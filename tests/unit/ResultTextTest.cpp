#include <gtest/gtest.h>

#include "response/ResultText.h"

namespace {

// A private image slot: the text depends only on what it is given.
struct Image {
    YXPoint yx[kPointCapacity] = {};
    YCPoint yc[kPointCapacity] = {};
    YMPoint ym[kPointCapacity] = {};
    RtuPointTable Slot(int nYX, int nYC, int nYM) { return {nYX, yx, nYC, yc, nYM, ym}; }
};

}  // namespace

TEST(ResultTextTest, ExactLayout)
{
    Image image;
    image.yx[0].byState = 1;
    image.yx[9].byState = 3;  // only bit 0 counts
    image.yc[0].nValue = -5;
    image.yc[2].nValue = -32768;
    image.yc[3].nValue = 32767;
    image.ym[1].dwValue = 4'000'000'000u;
    EXPECT_EQ(BuildResultText(54, image.Slot(10, 4, 2)),
              "RTUID=54\r\n"
              "YX Point Number=10\r\n"
              "G00=10000000 G01=01\r\n"
              "YC Point Number=4\r\n"
              "P000=-00005 P001=+00000 P002=-32768 P003=+32767 \r\n"
              "YM Point Number=2\r\n"
              "P00=0 P01=4000000000 \r\n"
              "\r\n");
}

TEST(ResultTextTest, NumbersWidenPastTheirMinimumWidth)
{
    Image image;
    const std::string text = BuildResultText(65535, image.Slot(1024, 1024, 1024));
    EXPECT_NE(text.find("RTUID=65535\r\n"), std::string::npos);
    EXPECT_NE(text.find(" G127=00000000\r\n"), std::string::npos);
    EXPECT_NE(text.find("P999=+00000 P1000=+00000 "), std::string::npos);
    EXPECT_NE(text.find("P99=0 P100=0 "), std::string::npos);
    EXPECT_NE(text.find("P1023=0 \r\n\r\n"), std::string::npos);
}
