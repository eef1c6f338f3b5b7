#include "ui/PauseState.h"

const PauseItem kPauseItems[kPauseWindows] = {
    {32781, 0, "接收暂停显示", "接收继续显示"},
    {32783, 2, "发送暂停显示", "发送继续显示"},
    {32785, 4, "结果暂停刷新", "结果继续刷新"},
    {32834, 6, "分析暂停显示", "分析继续显示"},
};

const char* PauseItemText(PauseWindow window, int bPaused)
{
    const PauseItem& item = kPauseItems[window];
    return bPaused != 0 ? item.pszPaused : item.pszRunning;
}

PauseGroupState ComputePauseGroupState(const int (&flags)[kPauseWindows])
{
    int nPaused = 0;
    for (int bPaused : flags)
        nPaused += bPaused != 0 ? 1 : 0;
    return {nPaused < kPauseWindows, nPaused > 0};
}
