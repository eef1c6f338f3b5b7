// How well the master uses the line: the master in automatic mode against the simulated
// RTU at 9600 bit/s (the RTU's replies paced to the line speed) for a fixed number of
// batches. Prints the requests per minute achieved, the most the line and the scan period
// allow, their ratio, and the CPU time the master used per minute.
// Run: build/bench/quelt_wire_bench [batches] [scan period in seconds]
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "app/Channels.h"
#include "core/Config.h"
#include "core/Notify.h"
#include "monitor/AlarmLog.h"
#include "response/QueltHandler.h"
#include "sim/DemoRtu.h"

namespace {

double CpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char* argv[])
{
    const int nBatches = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    constexpr int kBaud = 9600;
    constexpr int kStartup = 11;
    constexpr int kBatch = 6;  // class 1, 2, 1, 2, 1, 3
    SetTraceHandler([](const std::string&) {});
    SetConfigDefaults();
    g_nAskMode = ASK_AUTO;
    g_nBaudRate = kBaud;
    if (argc > 2)
        g_nScanPeriod = std::clamp(std::atoi(argv[2]), 1, 60);

    SimOptions options;
    options.nBaudRate = kBaud;
    options.bPace = true;
    options.nChangeMs = 500;  // a lively RTU: events in most class polls
    CDemoRtu line;            // COM2 to the RTU, COM1 to a silent line
    if (!line.Start(options)) {
        std::perror("openpty");
        return 1;
    }
    CSimRunner& rtu = line.Runner();
    CQueltHandler handler;
    CreateChannels();
    clockid_t pollClock{};
    pthread_getcpuclockid(g_Channels.PollThread.native_handle(), &pollClock);

    const auto Handled = [&rtu] { return rtu.With([](COutstation& r) { return r.RequestsHandled(); }); };
    const auto Octets = [&rtu] { return rtu.With([](COutstation& r) { return r.OctetsReceived() + r.OctetsSent(); }); };
    // The start-up sequence first; measure whole batches, from the first request of the
    // first batch to the first request of the batch after the last.
    while (Handled() < kStartup + 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto t0 = std::chrono::steady_clock::now();
    const double dCpu0 = CpuSeconds(pollClock) + CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const long long llOctets0 = Octets();
    while (Handled() < kStartup + nBatches * kBatch + 1) {
        handler.ProcessResponses();  // the GUI thread's share of the work
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double dMinutes = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / 60.0;
    const double dCpu = CpuSeconds(pollClock) + CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - dCpu0;
    const int nRequests = nBatches * kBatch;
    const double dOctetsPerRequest = static_cast<double>(Octets() - llOctets0) / nRequests;
    DestroyChannels();
    line.Stop();

    // Each request takes at least the time its octets and the reply's need on the line (the
    // poll thread follows the line, no longer a 100 ms step); a batch starts at most once
    // per scan period.
    const double dLineSeconds = dOctetsPerRequest * 10.0 / kBaud;
    const double dMaxByLine = 60.0 / dLineSeconds;
    const double dMaxByScan = 60.0 * kBatch / std::max(g_nScanPeriod.load(), 2);
    const double dMax = std::min(dMaxByLine, dMaxByScan);
    const double dAchieved = nRequests / dMinutes;
    std::printf("batches                     %d (%d requests, %.1f octets on the line each)\n", nBatches, nRequests,
                dOctetsPerRequest);
    std::printf("requests per minute         %.1f\n", dAchieved);
    std::printf("maximum by the line         %.1f\n", dMaxByLine);
    // Periods are whole seconds of the clock, so one can end up to a second early.
    std::printf("maximum by scan period      %.1f (scan period %d s)\n", dMaxByScan, std::max(g_nScanPeriod.load(), 2));
    std::printf("achieved / maximum          %.2f\n", dAchieved / dMax);
    std::printf("master CPU per minute       %.1f ms\n", dCpu * 1000.0 / dMinutes);
    return 0;
}
