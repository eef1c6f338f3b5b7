#include <gtest/gtest.h>

#include "commands/CommandQueue.h"
#include "commands/DescribeCommand.h"

TEST(DescribeCommandTest, EveryRowOfTheTable)
{
    const struct {
        int nFunc, nGroup, nVar;
        const char* text;
    } cases[] = {
        {1, 1, 1, "召唤遥信状态(1.1)"},
        {1, 1, 2, "召唤遥信状态(1.2)"},
        {1, 1, 3, "召唤遥信状态类别非法"},
        {1, 2, 1, "召唤遥信COS(2.1)"},
        {1, 2, 2, "召唤遥信COS类别非法"},
        {1, 20, 1, "召唤32位电度数据(20.1)"},
        {1, 20, 2, "召唤16位电度数据(20.2)"},
        {1, 20, 5, "召唤电度数据类别非法"},
        {1, 21, 1, "32位电度冻结(20.1)"},
        {1, 21, 2, "16位电度冻结(20.2)"},
        {1, 21, 9, "电度冻结类别非法"},
        {1, 30, 2, "召唤遥测全数据(30.2)"},
        {1, 30, 1, "召唤遥测全数据类别非法"},
        {1, 32, 2, "召唤遥测变化数据(32.2)"},
        {1, 32, 1, "召唤遥测变化数据类别非法"},
        {1, 60, 2, "召唤Class 1数据(60.2)"},
        {1, 60, 3, "召唤Class 2数据(60.3)"},
        {1, 60, 4, "召唤Class 3数据(60.4)"},
        {1, 60, 1, "召唤Class数据类别非法"},
        {1, 80, 1, "召唤RTU IIN(80.1)"},
        {1, 80, 2, "召唤RTU IIN类别非法"},
        {1, 52, 2, "读对象非法"},
        {2, 50, 1, "同步RTU时钟(50.1)"},
        {2, 50, 7, "同步RTU时钟(50.1)"},
        {2, 80, 1, "清除RTU IIN(80.1)"},
        {2, 1, 1, "写对象非法"},
        {7, 20, 1, "32位电度冻结(20.1)"},
        {7, 99, 2, "16位电度冻结(20.2)"},
        {7, 20, 3, "冻结对象非法"},
        {21, 60, 2, "关闭Class 1数据主动响应"},
        {21, 0, 3, "关闭Class 2数据主动响应"},
        {21, 60, 4, "关闭Class 3数据主动响应"},
        {21, 60, 1, "关闭RTU主动响应对象非法"},
        {23, 52, 1, "延时测量(52.1)"},
        {23, 0, 0, "延时测量(52.1)"},
        {0, 1, 1, "功能码非法"},
        {5, 12, 1, "功能码非法"},
        {8, 20, 1, "功能码非法"},
        {20, 60, 2, "功能码非法"},
        {22, 1, 1, "功能码非法"},
        {24, 1, 1, "功能码非法"},
        {255, 1, 1, "功能码非法"},
    };
    for (const auto& c : cases) {
        const CommandItem item{static_cast<std::uint8_t>(c.nFunc), static_cast<std::uint8_t>(c.nGroup),
                               static_cast<std::uint8_t>(c.nVar), 0, 0, 0};
        EXPECT_EQ(DescribeCommand(item), c.text) << c.nFunc << " " << c.nGroup << " " << c.nVar;
    }
}

TEST(DescribeCommandTest, ControlEntriesNameTheirPointAndAction)
{
    const struct {
        int nFunc, nPoint, nCloseTrip;
        const char* text;
    } cases[] = {
        {3, 12, 1, "遥控选点命令,点号=12,性质=分"},
        {3, 0, 0, "遥控选点命令,点号=0,性质=合"},
        {4, 1024, 0, "遥控执行命令,点号=1024,性质=合"},
        {4, 7, -1, "遥控执行命令,点号=7,性质=分"},
        {3, -5, 0, "遥控选点命令,点号=-5,性质=合"},  // signed, as stored
    };
    for (const auto& c : cases) {
        const CommandItem item{static_cast<std::uint8_t>(c.nFunc), 12, 1, static_cast<std::int16_t>(c.nPoint),
                               static_cast<std::int16_t>(c.nCloseTrip), 500};
        EXPECT_EQ(DescribeCommand(item), c.text);
    }
}
