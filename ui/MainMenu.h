#pragma once
// The main window's menu (resource 129): its popups, items, ids and nesting, as plain data.
#include <string>
#include <vector>

enum MainMenuId {
    ID_ABOUT = 16,  // the about item; on the strip's context menu here
    ID_CHANNEL_PARAM = 32771,
    ID_RTU_PARAM = 32774,
    ID_MODE_PARAM = 32775,
    ID_WND_RECV = 32777,
    ID_WND_SEND = 32778,
    ID_WND_RESULT = 32779,
    ID_WND_ALARM = 32780,
    ID_WND_ANALYSIS = 32833,  // "报文分析窗口", after the Part's four
    ID_CAPTURE_SEND = 32788,
    ID_SHOW_CAPTURE = 32789,
    ID_CAPTURE_RECV = 32799,
    ID_SHOW_QUEUE = 32809,
    ID_RECORD = 32830,  // "开始记录(pcapng)..." while not recording, "停止记录" while recording
    ID_APP_EXIT = 57665,
};

// An item, or a submenu when it has children (its id is then 0).
struct MenuNode {
    std::string Text;
    int nId = 0;
    std::vector<MenuNode> Children;
};

// The six popups in order. Within a popup a separator stands between consecutive items;
// the submenus of "发送命令" have none.
const std::vector<MenuNode>& MainMenuResource();

constexpr int kInfoControlPopup = 3;

// The recording item's text: not recording, recording.
constexpr const char* kRecordItemTexts[2] = {"开始记录(pcapng)...", "停止记录"};  // "信息控制": the pause items, by position
