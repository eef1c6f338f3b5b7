#include "app/RunState.h"

#include "commands/CommandQueue.h"
#include "app/Channels.h"
#include "core/Config.h"
#include "response/FrameHandler.h"

void InitialiseRunState()
{
    SetConfigDefaults();
    SetPointCounts();
    ResetCtrlCommand();
    CreateChannels();
}
