#include "app/RunState.h"

#include <atomic>

#include "app/Channels.h"
#include "commands/CommandQueue.h"
#include "core/Config.h"
#include "response/FrameHandler.h"

namespace {

std::atomic<bool> g_bDemoStart{false};

}  // namespace

void SetDemoStart(bool bDemo) { g_bDemoStart = bDemo; }

void InitialiseRunState()
{
    SetConfigDefaults();
    if (g_bDemoStart)
        g_nAskMode = ASK_AUTO;
    SetPointCounts();
    ResetCtrlCommand();
    CreateChannels();
}
