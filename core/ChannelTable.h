#pragma once
// The channel table: which channel serves COM1 and COM2, the poll thread and its stop
// flag. Entry i always serves port COMi+1; the one whose port is g_nComPort is the DNP3
// engine, the other a bare channel that only shows what it receives.
#include <atomic>
#include <memory>
#include <thread>

class CProtocol;

struct ChannelTable {
    std::unique_ptr<CProtocol> pChannel[2];  // written only under g_csChannel
    std::atomic<int> nStop{0};               // nonzero: the poll thread ends after its pass
    std::thread PollThread;
};

extern ChannelTable g_Channels;

// Creates both channels for g_nComPort (COM1 opened first) and starts the poll thread.
void CreateChannels();
// Replaces both channels after the operator moved the engine to the other port. The poll
// thread keeps running; it waits on g_csChannel while the objects change.
void RecreateChannels();
// Stops the poll thread (flag, then join) and only then closes both ports, so no poll
// step ever runs on a closed port. The channel objects stay in the table.
void ShutdownChannels();
// Stop, close and destroy the channels (tests and a clean process end).
void DestroyChannels();
