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
