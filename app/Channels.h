#pragma once
// Creating, re-creating and shutting down the two channels of the channel table.
#include "channel/ChannelTable.h"

// Creates both channels for g_nComPort (COM1 opened first) and starts the poll thread.
void CreateChannels();
// Replaces both channels after the operator moved the engine to the other port. The poll
// thread keeps running; it waits on g_csChannel while the objects change.
void RecreateChannels();
// True when the engine's port did not open.
bool EnginePortClosed();
// Re-programs the line settings of both open ports (entry 0, then entry 1); the channels
// keep their state.
void ResetChannelLines();
// Stops the poll thread (flag, then join) and only then closes both ports, so no poll
// step ever runs on a closed port. The channel objects stay in the table.
void ShutdownChannels();
// Stop, close and destroy the channels (tests and a clean process end).
void DestroyChannels();
