#include "fuzz/FuzzEngine.h"

#include "channel/MemoryLine.h"
#include "channel/PortMap.h"
#include "core/Clock.h"
#include "core/Config.h"
#include "core/Notify.h"
#include "core/ResponseList.h"
#include "monitor/AlarmLog.h"

namespace {

constexpr int kMaster = 3246;
constexpr int kRtu = 54;

FakeClock& FuzzClock()
{
    static FakeClock clock;
    return clock;
}

}  // namespace

void PrepareFuzzing()
{
    static const bool bDone = [] {
        SetMessageBoxHandler([](const std::string&) {});
        SetTraceHandler([](const std::string&) {});
        SetConfigDefaults();
        MapPortDevice(COM2, "/nonexistent/quelt-fuzz");  // the engine never touches a real port
        SetClock(&FuzzClock());  // runs repeat exactly: no silence or time-out depends on the machine
        return true;
    }();
    (void)bDone;
}

CFuzzEngine::CFuzzEngine(bool bLinkReset) : CQueltProtocol(COM2, std::make_unique<CMemoryLine>())
{
    if (!bLinkReset)
        return;
    FuzzClock().AdvanceSeconds(3);  // the link maintenance period: the reset goes out
    OnCycle();
    const HeaderFrame ack = BuildHeaderFrame(dl::ACK, kMaster, kRtu);
    OnReceive(ack.data(), dl::kHeaderSize);
}

void CFuzzEngine::ReceiveFrame(std::uint8_t byCtrl, const std::uint8_t* pData, int nCount)
{
    std::uint8_t frame[dl::kMaxFrameSize];
    const int nSize = BuildLinkFrame(byCtrl, kMaster, kRtu, pData, nCount, frame);
    OnReceive(frame, nSize);
}

void CFuzzEngine::CycleAndDecode(int nCycles)
{
    static constexpr std::uint8_t kClass0[3] = {60, 1, 0x06};
    for (int i = 0; i < nCycles; ++i) {
        if (!App().IsWaiting() && Link().CanSend() && !App().ConfirmDue())
            SendRead(kClass0, 3);  // every fragment finds a request waiting for it
        OnCycle();
    }
    Handler.ProcessResponses();
    ClearResponses();
    g_AlarmLog.Clear();
}
