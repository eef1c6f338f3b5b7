#include "support/StateReset.h"

#include <mutex>

#include "channel/PortMap.h"
#include "app/Channels.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/Notify.h"
#include "core/TrafficLines.h"

void ResetSharedState()
{
    DestroyChannels();
    SetConfigDefaults();
    ResetPortDevices();
    g_nWindowMask = SHOW_SEND | SHOW_RECV | SHOW_RESULT;
    std::lock_guard lock(g_csDisplay);
    g_SendLines.Clear();
    g_RecvLines.Clear();
}

namespace {
std::mutex g_mxCollected;
}

void SharedStateTest::SetUp()
{
    ResetSharedState();
    SetMessageBoxHandler([this](const std::string& text) {
        std::lock_guard lock(g_mxCollected);
        m_MessageBoxes.push_back(text);
    });
    SetTraceHandler([this](const std::string& text) {
        std::lock_guard lock(g_mxCollected);
        m_Traces.push_back(text);
    });
}

void SharedStateTest::TearDown()
{
    ResetSharedState();
    SetMessageBoxHandler({});
    SetTraceHandler({});
}
