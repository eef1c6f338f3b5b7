#include "core/RunState.h"

#include "commands/CommandQueue.h"
#include "core/ChannelTable.h"
#include "core/Config.h"
#include "response/FrameHandler.h"

void InitialiseRunState()
{
    SetConfigDefaults();
    SetPointCounts();
    ResetCtrlCommand();
    CreateChannels();
}
