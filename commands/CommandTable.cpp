#include "commands/CommandTable.h"

#include "dnp3/FunctionCodes.h"

// "延时测量(52.1)" queues the delay measurement itself, as the start-up sequence sends it;
// the send-queue list names delay-measurement entries by this text.
const MenuCommand kMenuCommands[kMenuCommandCount] = {
    {32790, "召唤RTU IIN(80.1)", fc::READ, 80, 1, CommandKind::Plain},
    {32797, "清除RTU IIN(80.1)", fc::WRITE, 80, 1, CommandKind::Plain},
    {32801, "延时测量(52.1)", fc::DELAY_MEASURE, 52, 1, CommandKind::Plain},
    {32798, "同步RTU时钟(50.1)", fc::WRITE, 50, 1, CommandKind::Plain},
    {32806, "关闭Class 1数据主动响应", fc::DISABLE_UNSOLICITED, 60, 2, CommandKind::Plain},
    {32802, "关闭Class 2数据主动响应", fc::DISABLE_UNSOLICITED, 60, 3, CommandKind::Plain},
    {32804, "关闭Class 3数据主动响应", fc::DISABLE_UNSOLICITED, 60, 4, CommandKind::Plain},
    {32791, "召唤Class 1数据(60.2)", fc::READ, 60, 2, CommandKind::Plain},
    {32792, "召唤Class 2数据(60.3)", fc::READ, 60, 3, CommandKind::Plain},
    {32793, "召唤Class 3数据(60.4)", fc::READ, 60, 4, CommandKind::Plain},
    {32795, "召唤遥信状态(1.1)", fc::READ, 1, 1, CommandKind::Plain},
    {32794, "召唤遥信状态(1.2)", fc::READ, 1, 2, CommandKind::Plain},
    {32810, "召唤遥信COS(2.1)", fc::READ, 2, 1, CommandKind::Plain},
    {32811, "召唤遥信SOE(2.2,2.3)", fc::READ, 60, 2, CommandKind::Plain},
    {32796, "召唤遥测全数据(30.2)", fc::READ, 30, 2, CommandKind::Plain},
    {32800, "召唤遥测变化数据(32.2)", fc::READ, 32, 2, CommandKind::Plain},
    {32812, "32位电度冻结(20.1)", fc::IMMED_FREEZE, 20, 1, CommandKind::Plain},
    {32813, "16位电度冻结(20.2)", fc::IMMED_FREEZE, 20, 2, CommandKind::Plain},
    {32814, "召唤32位电度数据(20.1)", fc::READ, 20, 1, CommandKind::Plain},
    {32815, "召唤16位电度数据(20.2)", fc::READ, 20, 2, CommandKind::Plain},
    {32816, "召唤32位冻结电度数据(21.1)", fc::READ, 21, 1, CommandKind::Plain},
    {32803, "召唤16位冻结电度数据(21.2)", fc::READ, 21, 2, CommandKind::Plain},
    {32807, "遥控选点命令", fc::SELECT, 12, 1, CommandKind::Select},
    {32808, "遥控执行命令", fc::OPERATE, 12, 1, CommandKind::Operate},
    {32817, "遥控(选点并执行)命令", fc::SELECT, 12, 1, CommandKind::SelectAndOperate},
};

const MenuCommand* FindMenuCommand(int nId)
{
    for (const MenuCommand& command : kMenuCommands)
        if (command.nId == nId)
            return &command;
    return nullptr;
}

std::string CommandCaption(const MenuCommand& command) { return std::string("人工命令－") + command.pszText; }
