#pragma once
// The manual commands of the "发送命令" menu: what each one queues.
#include <cstdint>
#include <string>

enum class CommandKind {
    Plain,             // one entry, no control fields
    Select,            // one control entry, relay time preset from the last control command
    Operate,           // one control entry, relay time starts at 0
    SelectAndOperate,  // two control entries: select, then operate
};

struct MenuCommand {
    int nId;
    const char* pszText;  // menu text; the dialog caption is "人工命令－" + text
    std::uint8_t byFunc;
    std::uint8_t byGroup;
    std::uint8_t byVar;
    CommandKind kind;
};

constexpr int kMenuCommandCount = 25;
extern const MenuCommand kMenuCommands[kMenuCommandCount];

// The command with this menu id, or nullptr.
const MenuCommand* FindMenuCommand(int nId);
std::string CommandCaption(const MenuCommand& command);
