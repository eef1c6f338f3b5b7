#pragma once
// Where the monitoring windows go: at start-up, and each time the operator shows or hides
// one of them. Plain integer arithmetic on the desktop size (truncating division,
// multiplication first); the rectangles are outer ones, frame and title bar included.

struct WndPos {
    int x = 0;
    int y = 0;
    int cx = 0;  // width
    int cy = 0;  // height
    bool operator==(const WndPos&) const = default;
};

// The last placement of the send, receive and result windows.
extern WndPos g_SendWndPos;
extern WndPos g_RecvWndPos;
extern WndPos g_ResultWndPos;

constexpr int kStripHeight = 46;  // the main window across the top of the screen
constexpr int kBottomFree = 28;   // left free below the windows

struct StartupPlacement {
    WndPos recv, send, result, alarm, capture, analysis;
};

// Where start-up puts the five monitoring windows on a W x H desktop: the result window on
// the left three eighths below the strip, send above receive on the right.
StartupPlacement ComputeStartupPlacement(int W, int H);

// The strip: (0, 0), the desktop's width, kStripHeight high.
WndPos StripPlacement(int W);

// One window of an arrangement, in the order it is placed.
enum ArrangedWindow { ARRANGE_SEND, ARRANGE_RECV, ARRANGE_RESULT };
struct ArrangedPlacement {
    ArrangedWindow window;
    WndPos pos;
};
struct Arrangement {
    int nCount = 0;
    ArrangedPlacement items[3];
};

// The windows named by the low three bits of the window mask (SHOW_SEND, SHOW_RECV,
// SHOW_RESULT) laid out in the band below the strip. Windows not in the mask are absent.
Arrangement ComputeArrangement(int nMask, int W, int H);

// Stores each placement in its window's record; the records of absent windows stay.
void StoreArrangement(const Arrangement& arrangement);
