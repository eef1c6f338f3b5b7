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

}  // namespace

void SetAutoStart(bool bAuto) { g_bAutoStart = bAuto; }

void InitialiseRunState()
{
    SetConfigDefaults();
    if (g_bAutoStart)
        g_nAskMode = ASK_AUTO;
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
