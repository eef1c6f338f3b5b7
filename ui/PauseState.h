#pragma once
// The "信息控制" popup: each pause item names what it does next, and the two group items
// follow the three pause flags. Plain logic; the main window only copies it into its menu.

enum PauseWindow { PAUSE_RECV = 0, PAUSE_SEND = 1, PAUSE_RESULT = 2, PAUSE_ANALYSIS = 3 };
constexpr int kPauseWindows = 4;

struct PauseItem {
    int nId;
    int nPosition;  // in the popup, separators counted
    const char* pszRunning;
    const char* pszPaused;
};

// Indexed by PauseWindow.
extern const PauseItem kPauseItems[kPauseWindows];

constexpr int ID_PAUSE_ALL = 32786;     // "全部暂停", position 8
constexpr int ID_CONTINUE_ALL = 32787;  // "全部继续", position 10

// The text of a pause item for the state of its flag.
const char* PauseItemText(PauseWindow window, int bPaused);

struct PauseGroupState {
    bool bPauseAllEnabled;
    bool bContinueAllEnabled;
};

// All paused: only "全部继续"; none paused: only "全部暂停"; otherwise both.
PauseGroupState ComputePauseGroupState(const int (&flags)[kPauseWindows]);
