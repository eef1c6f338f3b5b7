#include <gtest/gtest.h>

#include "dnp3/LinkFrame.h"
#include "support/Frames.h"
#include "support/Hex.h"


TEST(LinkFrameTest, CrcCheckValue)
{
    const std::string digits = "123456789";
    EXPECT_EQ(CalcCrc(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()), 0xEA82);
}

TEST(LinkFrameTest, ExampleFramesOctetForOctet)
{
    const struct {
        std::uint8_t byCtrl;
        int nDest, nSrc;
        std::string userData, expected;
    } cases[] = {
        {0xC0, 1, 1024, "", "05 64 05 C0 01 00 00 04 E9 21"},
        {0xC0, 54, 3246, "", "05 64 05 C0 36 00 AE 0C A7 07"},
        {0xC9, 54, 3246, "", "05 64 05 C9 36 00 AE 0C E8 71"},
        {0x80, 54, 3246, "", "05 64 05 80 36 00 AE 0C 1D 37"},
        {0x8B, 54, 3246, "", "05 64 05 8B 36 00 AE 0C 5E 07"},
        {0x8E, 54, 3246, "", "05 64 05 8E 36 00 AE 0C 40 A8"},
        {0xC4, 54, 3246, "C0 C1 01 3C 02 06",
         "05 64 0B C4 36 00 AE 0C BA 7A C0 C1 01 3C 02 06 52 C3"},
        {0xC0, 54 + 0x10000, 3246 + 0x30000, "", "05 64 05 C0 36 00 AE 0C A7 07"},  // 16 bits only
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrameHex(c.byCtrl, c.nDest, c.nSrc, c.userData), c.expected);
}

TEST(LinkFrameTest, SizeRuleAndBlocks)
{
    const struct {
        int nLen, nSize;
    } sizes[] = {{5, 10}, {6, 13}, {11, 18}, {21, 28}, {22, 31}, {255, 292}, {0, 10}, {4, 10}};
    for (const auto& s : sizes)
        EXPECT_EQ(LinkFrameSize(s.nLen), s.nSize) << s.nLen;

    for (const int nData : {16, 17, 250}) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(nData));
        for (int i = 0; i < nData; ++i)
            data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        std::uint8_t frame[dl::kMaxFrameSize];
        const int n = BuildLinkFrame(0xC4, 54, 3246, data.data(), nData, frame);
        EXPECT_EQ(n, LinkFrameSize(nData + 5));
        EXPECT_TRUE(CrcMatches(frame, 8));
        for (int nPos = 10, nLeft = nData; nLeft > 0; nPos += 18, nLeft -= 16) {
            const int nBlock = std::min(16, nLeft);
            EXPECT_TRUE(CrcMatches(frame + nPos, static_cast<std::size_t>(nBlock))) << nData << "@" << nPos;
            EXPECT_EQ(frame[nPos], static_cast<std::uint8_t>(nData - nLeft));
        }
    }
}
