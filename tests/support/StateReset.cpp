#include "support/StateReset.h"

#include <mutex>

#include "channel/PortMap.h"
#include "app/Channels.h"
#include "app/Recording.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/Notify.h"
#include "core/ResponseList.h"
#include "core/TrafficLines.h"
#include "monitor/AlarmLog.h"
#include "response/FrameHandler.h"

void ResetSharedState()
{
    DestroyChannels();
    StopRecording();
    SetStartupRecording({});
    SetConfigDefaults();
    ResetPortDevices();
    g_nWindowMask = SHOW_SEND | SHOW_RECV | SHOW_RESULT;
    g_AlarmLog.Clear();
    ClearResponses();
    // The point image lives for the process; a test starts from an empty one.
    if (g_RtuPoints[0].pYX != nullptr) {
        for (int i = 0; i < kPointCapacity; ++i) {
            g_RtuPoints[0].pYX[i].byState = 0;
            g_RtuPoints[0].pYC[i].nValue = 0;
            g_RtuPoints[0].pYM[i].dwValue = 0;
        }
    }
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
