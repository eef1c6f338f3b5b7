#include "ui/MainMenu.h"

#include "commands/CommandTable.h"
#include "ui/PauseState.h"

namespace {

// A manual command: its text comes from the command table, so menu and dialog agree.
MenuNode Command(int nId)
{
    const MenuCommand* pCommand = FindMenuCommand(nId);
    return {pCommand != nullptr ? pCommand->pszText : "?", nId, {}};
}

MenuNode Submenu(const char* pszText, std::initializer_list<int> ids)
{
    MenuNode node{pszText, 0, {}};
    for (int nId : ids)
        node.Children.push_back(Command(nId));
    return node;
}

MenuNode Pause(PauseWindow window) { return {kPauseItems[window].pszRunning, kPauseItems[window].nId, {}}; }

std::vector<MenuNode> BuildResource()
{
    return {
        {"参数设置",
         0,
         {{"通道参数", ID_CHANNEL_PARAM, {}}, {"远动参数", ID_RTU_PARAM, {}}, {"运行参数", ID_MODE_PARAM, {}}}},
        {"发送命令",
         0,
         {{"显示发送队列", ID_SHOW_QUEUE, {}},
          Command(32790),
          Command(32797),
          Command(32801),
          Command(32798),
          Submenu("关闭RTU主动响应", {32806, 32802, 32804}),
          Submenu("召唤Class数据", {32791, 32792, 32793}),
          Submenu("召唤遥信状态", {32795, 32794, 32810, 32811}),
          Submenu("召唤遥测数据", {32796, 32800}),
          Submenu("电度冻结", {32812, 32813}),
          Submenu("召唤电度数据", {32814, 32815, 32816, 32803}),
          Command(32807),
          Command(32808),
          Command(32817)}},
        {"信息窗口",
         0,
         {{"接收窗口", ID_WND_RECV, {}},
          {"发送窗口", ID_WND_SEND, {}},
          {"结果窗口", ID_WND_RESULT, {}},
          {"告警窗口", ID_WND_ALARM, {}},
          {"报文分析窗口", ID_WND_ANALYSIS, {}}}},
        {"信息控制",
         0,
         {Pause(PAUSE_RECV), Pause(PAUSE_SEND), Pause(PAUSE_RESULT), Pause(PAUSE_ANALYSIS), {"全部暂停", ID_PAUSE_ALL, {}},
          {"全部继续", ID_CONTINUE_ALL, {}}}},
        {"捕获数据",
         0,
         {{"捕获接收数据", ID_CAPTURE_RECV, {}},
          {"捕获发送数据", ID_CAPTURE_SEND, {}},
          {"显示捕获数据", ID_SHOW_CAPTURE, {}},
          {kRecordItemTexts[0], ID_RECORD, {}}}},
        {"软件退出", 0, {{"退出(&X)", ID_APP_EXIT, {}}}},
    };
}

}  // namespace

const std::vector<MenuNode>& MainMenuResource()
{
    static const std::vector<MenuNode> resource = BuildResource();
    return resource;
}
