#include "commands/DescribeCommand.h"

#include "commands/CommandQueue.h"
#include "dnp3/FunctionCodes.h"

namespace {

constexpr int kAny = -1;

// Rows are tried in order; the first whose function, group and variation match names the
// entry. kAny matches every value. A control entry's text takes its point and action.
struct DescriptionRow {
    int nFunc;
    int nGroup;
    int nVar;
    const char* pszText;
};

const DescriptionRow kRows[] = {
    {fc::READ, 1, 1, "召唤遥信状态(1.1)"},
    {fc::READ, 1, 2, "召唤遥信状态(1.2)"},
    {fc::READ, 1, kAny, "召唤遥信状态类别非法"},
    {fc::READ, 2, 1, "召唤遥信COS(2.1)"},
    {fc::READ, 2, kAny, "召唤遥信COS类别非法"},
    {fc::READ, 20, 1, "召唤32位电度数据(20.1)"},
    {fc::READ, 20, 2, "召唤16位电度数据(20.2)"},
    {fc::READ, 20, kAny, "召唤电度数据类别非法"},
    // Reads of the frozen counters are named like the freezes.
    {fc::READ, 21, 1, "32位电度冻结(20.1)"},
    {fc::READ, 21, 2, "16位电度冻结(20.2)"},
    {fc::READ, 21, kAny, "电度冻结类别非法"},
    {fc::READ, 30, 2, "召唤遥测全数据(30.2)"},
    {fc::READ, 30, kAny, "召唤遥测全数据类别非法"},
    {fc::READ, 32, 2, "召唤遥测变化数据(32.2)"},
    {fc::READ, 32, kAny, "召唤遥测变化数据类别非法"},
    {fc::READ, 60, 2, "召唤Class 1数据(60.2)"},
    {fc::READ, 60, 3, "召唤Class 2数据(60.3)"},
    {fc::READ, 60, 4, "召唤Class 3数据(60.4)"},
    {fc::READ, 60, kAny, "召唤Class数据类别非法"},
    {fc::READ, 80, 1, "召唤RTU IIN(80.1)"},
    {fc::READ, 80, kAny, "召唤RTU IIN类别非法"},
    {fc::READ, kAny, kAny, "读对象非法"},
    {fc::WRITE, 50, kAny, "同步RTU时钟(50.1)"},
    {fc::WRITE, 80, kAny, "清除RTU IIN(80.1)"},
    {fc::WRITE, kAny, kAny, "写对象非法"},
    {fc::SELECT, kAny, kAny, "遥控选点命令"},
    {fc::OPERATE, kAny, kAny, "遥控执行命令"},
    {fc::IMMED_FREEZE, kAny, 1, "32位电度冻结(20.1)"},
    {fc::IMMED_FREEZE, kAny, 2, "16位电度冻结(20.2)"},
    {fc::IMMED_FREEZE, kAny, kAny, "冻结对象非法"},
    {fc::DISABLE_UNSOLICITED, kAny, 2, "关闭Class 1数据主动响应"},
    {fc::DISABLE_UNSOLICITED, kAny, 3, "关闭Class 2数据主动响应"},
    {fc::DISABLE_UNSOLICITED, kAny, 4, "关闭Class 3数据主动响应"},
    {fc::DISABLE_UNSOLICITED, kAny, kAny, "关闭RTU主动响应对象非法"},
    {fc::DELAY_MEASURE, kAny, kAny, "延时测量(52.1)"},
};

bool Matches(int nPattern, int nValue) { return nPattern == kAny || nPattern == nValue; }

}  // namespace

std::string DescribeCommand(const CommandItem& item)
{
    for (const DescriptionRow& row : kRows) {
        if (row.nFunc != item.byFunc || !Matches(row.nGroup, item.byGroup) || !Matches(row.nVar, item.byVar))
            continue;
        std::string text = row.pszText;
        if (item.byFunc == fc::SELECT || item.byFunc == fc::OPERATE)
            text += ",点号=" + std::to_string(item.nPoint) + (item.nCloseTrip == 0 ? ",性质=合" : ",性质=分");
        return text;
    }
    return "功能码非法";
}
