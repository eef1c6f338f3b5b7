#include "app/WindowLayout.h"

#include "core/TrafficLines.h"

WndPos g_SendWndPos;
WndPos g_RecvWndPos;
WndPos g_ResultWndPos;

StartupPlacement ComputeStartupPlacement(int W, int H)
{
    StartupPlacement p;
    p.recv = {3 * W / 8, H / 2 + 9, 5 * W / 8, H / 2 - 37};
    p.send = {3 * W / 8, kStripHeight, 5 * W / 8, H / 2 - 37};
    p.result = {0, kStripHeight, 3 * W / 8, H - 74};
    p.alarm = {W / 8, 6 * H / 8, 6 * W / 8, H / 8};
    p.capture = {W / 8, 2 * H / 8, 6 * W / 8, 5 * H / 8};
    p.analysis = {W / 16, H / 8, 14 * W / 16, 6 * H / 8};  // wide: a list, its detail and octets
    return p;
}

WndPos StripPlacement(int W) { return {0, 0, W, kStripHeight}; }

Arrangement ComputeArrangement(int nMask, int W, int H)
{
    const int nBand = H - 74;      // from the strip down to 28 pixels above the bottom
    const int nHalf = H / 2 - 37;  // one of two stacked windows
    const int nLower = H / 2 + 9;  // where the lower one starts
    const WndPos full = {0, kStripHeight, W, nBand};
    const WndPos left = {0, kStripHeight, 3 * W / 8, nBand};
    const WndPos right = {3 * W / 8, kStripHeight, 5 * W / 8, nBand};

    Arrangement a;
    auto add = [&a](ArrangedWindow window, WndPos pos) { a.items[a.nCount++] = {window, pos}; };
    switch (nMask & (SHOW_SEND | SHOW_RECV | SHOW_RESULT)) {
    case SHOW_SEND:
        add(ARRANGE_SEND, full);
        break;
    case SHOW_RECV:
        add(ARRANGE_RECV, full);
        break;
    case SHOW_SEND | SHOW_RECV:
        add(ARRANGE_SEND, {0, kStripHeight, W, nHalf});
        add(ARRANGE_RECV, {0, nLower, W, nHalf});
        break;
    case SHOW_RESULT:
        add(ARRANGE_RESULT, full);
        break;
    case SHOW_SEND | SHOW_RESULT:
        add(ARRANGE_SEND, right);
        add(ARRANGE_RESULT, left);
        break;
    case SHOW_RECV | SHOW_RESULT:
        add(ARRANGE_RECV, right);
        add(ARRANGE_RESULT, left);
        break;
    case SHOW_SEND | SHOW_RECV | SHOW_RESULT:
        add(ARRANGE_RECV, {3 * W / 8, nLower, 5 * W / 8, nHalf});
        add(ARRANGE_SEND, {3 * W / 8, kStripHeight, 5 * W / 8, nHalf});
        add(ARRANGE_RESULT, left);
        break;
    default:  // none shown
        break;
    }
    return a;
}

void StoreArrangement(const Arrangement& arrangement)
{
    WndPos* const records[] = {&g_SendWndPos, &g_RecvWndPos, &g_ResultWndPos};
    for (int i = 0; i < arrangement.nCount; ++i)
        *records[arrangement.items[i].window] = arrangement.items[i].pos;
}
