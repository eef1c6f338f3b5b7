// How long the GUI thread spends on one timer tick's worth of decoding, and on one
// refresh of the result text. Run: build/bench/quelt_bench
#include <benchmark/benchmark.h>

#include "core/ResponseList.h"
#include "monitor/AlarmLog.h"
#include "response/QueltHandler.h"
#include "response/ResultText.h"

namespace {

// A 2047-octet element: IIN, then group 30 variation 2 objects of 100 points each.
ResponseElement AnalogElement()
{
    ResponseElement element = {0xFF, 0x07, 0x00, 0x00};
    int nStart = 0;
    while (element.size() + 7 + 3 <= 2047) {
        const int nPoints = std::min<int>(100, static_cast<int>(2047 - element.size() - 7) / 3);
        const int nStop = nStart + nPoints - 1;
        element.insert(element.end(), {30, 2, 0x01, static_cast<std::uint8_t>(nStart), static_cast<std::uint8_t>(nStart >> 8),
                                       static_cast<std::uint8_t>(nStop), static_cast<std::uint8_t>(nStop >> 8)});
        for (int i = 0; i < nPoints; ++i)
            element.insert(element.end(), {0x01, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8)});
        nStart = (nStop + 1) % 1024;
    }
    element.resize(2047, 0);  // padding never reached: the last object ends the element
    return element;
}

void ProcessResponses2047(benchmark::State& state)
{
    CQueltHandler handler;
    const ResponseElement element = AnalogElement();
    for (auto _ : state) {
        PushResponse(element);
        handler.ProcessResponses();
    }
    g_AlarmLog.Clear();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2047);
}
BENCHMARK(ProcessResponses2047);

void ResultText3x1024(benchmark::State& state)
{
    CFrameHandler handler;
    RtuPointTable slot = g_RtuPoints[0];
    slot.nYXNum = slot.nYCNum = slot.nYMNum = 1024;
    for (int i = 0; i < 1024; ++i) {
        slot.pYC[i].nValue = static_cast<std::int16_t>(i * 37 - 20000);
        slot.pYM[i].dwValue = 4'000'000'000u - static_cast<std::uint32_t>(i);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildResultText(54, slot));
}
BENCHMARK(ResultText3x1024)->Unit(benchmark::kMicrosecond);

}  // namespace
