#include "app/Channels.h"

#include <mutex>

#include "channel/Protocol.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "dnp3/QueltProtocol.h"

namespace {

// Builds the pair for g_nComPort in port order; any other value creates none.
void CreateChannelObjects()
{
    const int nEnginePort = g_nComPort;
    if (nEnginePort != COM1 && nEnginePort != COM2)
        return;
    for (int nPort = COM1; nPort <= COM2; ++nPort) {
        if (nPort == nEnginePort)
            g_Channels.pChannel[nPort] = std::make_unique<CQueltProtocol>(nPort);
        else
            g_Channels.pChannel[nPort] = std::make_unique<CProtocol>(nPort);
    }
}

void StopPollThread()
{
    g_Channels.nStop.store(1, std::memory_order_release);
    WakePollThread();
    if (g_Channels.PollThread.joinable())
        g_Channels.PollThread.join();
}

}  // namespace

void CreateChannels()
{
    StopPollThread();  // never two poll threads
    {
        std::lock_guard lock(g_csChannel);
        // Old channels first: they hold their ports exclusively, the new ones would not open.
        g_Channels.pChannel[0].reset();
        g_Channels.pChannel[1].reset();
        CreateChannelObjects();
    }
    g_Channels.nStop.store(0, std::memory_order_release);
    g_Channels.PollThread = std::thread(PollThreadProc);
}

void RecreateChannels()
{
    const auto offTheLines = KeepPollThreadOffTheLines();
    std::lock_guard lock(g_csChannel);
    g_Channels.pChannel[0].reset();
    g_Channels.pChannel[1].reset();
    CreateChannelObjects();
}

bool EnginePortClosed()
{
    const int nEnginePort = g_nComPort;
    if (nEnginePort != COM1 && nEnginePort != COM2)
        return false;
    std::lock_guard lock(g_csChannel);
    const auto& pChannel = g_Channels.pChannel[nEnginePort];
    return pChannel && !pChannel->IsPortOpen();
}

void ResetChannelLines()
{
    // Only this thread replaces the channels, so the entries stay put without the lock;
    // the poll thread may be in a step of the same channel, which touches the port alone.
    for (auto& pChannel : g_Channels.pChannel)
        if (pChannel)
            pChannel->ResetLine();
}

void ShutdownChannels()
{
    StopPollThread();
    std::lock_guard lock(g_csChannel);
    for (auto& pChannel : g_Channels.pChannel)
        if (pChannel)
            pChannel->ClosePort();
}

void DestroyChannels()
{
    ShutdownChannels();
    std::lock_guard lock(g_csChannel);
    g_Channels.pChannel[0].reset();
    g_Channels.pChannel[1].reset();
}
