#include "fuzz/FuzzEngine.h"

#include "channel/MemoryLine.h"
#include "channel/PortMap.h"
#include "core/Config.h"
#include "core/Notify.h"
#include "core/ResponseList.h"
#include "monitor/AlarmLog.h"

void PrepareFuzzing()
{
    static const bool bDone = [] {
        SetMessageBoxHandler([](const std::string&) {});
        SetTraceHandler([](const std::string&) {});
        SetConfigDefaults();
        MapPortDevice(COM2, "/nonexistent/quelt-fuzz");  // the engine never touches a real port
        return true;
    }();
    (void)bDone;
}

CFuzzEngine::CFuzzEngine() : CQueltProtocol(COM2, std::make_unique<CMemoryLine>()) {}

void CFuzzEngine::CycleAndDecode(int nCycles)
{
    for (int i = 0; i < nCycles; ++i) {
        if (m_byAppWait == 0)
            m_byAppWait = WAIT_RESPONSE;  // every fragment finds a request waiting for it
        TransportReceive(3246, 54);
        ApplicationStep(3246, 54);
    }
    Handler.ProcessResponses();
    ClearResponses();
    g_AlarmLog.Clear();
}
