#include <gtest/gtest.h>

#include "dnp3/ChineseNames.h"
#include "dnp3/IinWatch.h"
#include "support/Hex.h"

TEST(IinWatchTest, EachIndicationIsSaidWhenItAppearsAndAgainOnlyAfterItCleared)
{
    CIinWatch watch;
    const struct {
        std::uint8_t byIin1, byIin2;
        bool bManual;
        std::vector<std::string> lines;
    } steps[] = {
        {0x00, 0x02, false, {"RTU不支持该对象(IIN2.1): 读 30.5"}},
        {0x00, 0x02, false, {}},  // still set: not again
        {0x00, 0x00, false, {}},
        {0x00, 0x02, false, {"RTU不支持该对象(IIN2.1): 读 30.5"}},  // a new occurrence
        {0x60, 0x3F, false,
         {"RTU处于就地控制(IIN1.5): 读 30.5", "RTU设备故障(IIN1.6): 读 30.5", "RTU不支持该功能码(IIN2.0): 读 30.5",
          "RTU报参数错误(IIN2.2): 读 30.5", "RTU事件缓冲区溢出(IIN2.3): 读 30.5", "RTU报操作已在执行(IIN2.4): 读 30.5",
          "RTU配置损坏(IIN2.5): 读 30.5"}},
        // Restart, the classes, broadcast and the reserved bits are no alarm; the need for
        // time is one only in manual mode, where nobody sets the clock.
        {0x9F, 0xC0, false, {}},
        {0x10, 0x00, true, {"RTU请求对时(IIN1.4): 读 30.5"}},
        {0x10, 0x00, true, {}},
        {0x10, 0x00, false, {}},
        {0x10, 0x00, true, {"RTU请求对时(IIN1.4): 读 30.5"}},  // still unset on the way back to manual
    };
    int nStep = 0;
    for (const auto& s : steps)
        EXPECT_EQ(watch.OnResponse(s.byIin1, s.byIin2, "读 30.5", s.bManual), s.lines) << "step " << nStep++;
}

TEST(IinWatchTest, RequestsAreNamedAsTheOperatorKnowsThem)
{
    const struct {
        const char* fragment;
        const char* text;
    } cases[] = {
        {"C0 01 1E 05 06", "读 30.5"},
        {"C1 01 3C 02 06 3C 03 06 3C 04 06", "读 类1 类2 类3"},
        {"C2 02 32 01 07 01 00 00 00 00 00 00", "写 50.1"},
        {"C3 03 0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00", "选择 12.1"},
        {"C4 17", "延时测量"},
        {"C5", "?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChineseRequestText(FromHex(c.fragment)), c.text) << c.fragment;
}
