#include "app/RunState.h"

#include <atomic>

#include "app/Channels.h"
#include "app/Recording.h"
#include "commands/CommandQueue.h"
#include "core/Config.h"
#include "core/Notify.h"
#include "monitor/AlarmLog.h"
#include "response/FrameHandler.h"

namespace {

std::atomic<bool> g_bAutoStart{false};
std::atomic<int> g_nStartupTimeFormat{TIME_FORMAT_MONTH};

}  // namespace

void SetAutoStart(bool bAuto) { g_bAutoStart = bAuto; }
void SetStartupTimeFormat(int nFormat) { g_nStartupTimeFormat = nFormat; }

void InitialiseRunState()
{
    SetConfigDefaults();
    if (g_bAutoStart)
        g_nAskMode = ASK_AUTO;
    g_nTimeFormat = g_nStartupTimeFormat.load();
    SetPointCounts();
    ResetCtrlCommand();
    StartLineTap();
    if (!StartupRecording().Path.empty()) {
        std::string reason;
        if (!StartRecording(StartupRecording(), reason)) {
            ShowMessageBox("无法开始记录\n" + reason);
            AddAlarm("无法开始记录: " + reason);
        }
    }
    CreateChannels();
}
