#include <gtest/gtest.h>

#include "core/Gbk.h"

TEST(GbkTest, LengthCountsGbkOctets)
{
    const struct {
        std::string utf8;
        std::size_t nGbk;
    } cases[] = {
        {"", 0},
        {"05 64 \r\n", 8},
        {"接收信息窗口", 12},
        {"R> 链路层通讯失败 ！\r\n", 3 + 14 + 1 + 2 + 2},
        {"\xF0\x9F\x98\x80", 1},  // not in GBK: one '?'
        {"\xFF", 1},              // malformed UTF-8
    };
    for (const auto& c : cases)
        EXPECT_EQ(GbkLength(c.utf8), c.nGbk) << c.utf8;
}

TEST(GbkTest, RoundTripAndPrefix)
{
    const std::string text = "告警信息 ABC";
    const std::string gbk = Utf8ToGbk(text);
    EXPECT_EQ(gbk.size(), 12u);
    EXPECT_EQ(static_cast<unsigned char>(gbk[0]), 0xB8);  // 告 = B8 E6
    EXPECT_EQ(static_cast<unsigned char>(gbk[1]), 0xE6);
    EXPECT_EQ(GbkToUtf8(gbk), text);
    EXPECT_EQ(GbkToUtf8("\x81"), "\xEF\xBF\xBD");  // a lone lead octet

    EXPECT_EQ(Utf8PrefixForGbkOctets(text, 0), 0u);
    EXPECT_EQ(Utf8PrefixForGbkOctets(text, 2), 3u);   // one whole character
    EXPECT_EQ(Utf8PrefixForGbkOctets(text, 3), 6u);   // a straddling character is taken whole
    EXPECT_EQ(Utf8PrefixForGbkOctets(text, 9), 13u);  // four characters and the blank
    EXPECT_EQ(Utf8PrefixForGbkOctets(text, 100), text.size());
}
