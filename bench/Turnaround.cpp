// How fast the master follows the line: manual mode, a queue of class 1 reads run
// endlessly, against the simulated RTU at 9600 bit/s (paced). Prints the requests per
// minute against what the line allows, the median and 90th percentile of the time from
// the end of an answer to the start of the next request as the RTU sees it (the RTU waits
// on its line, so the gap is the master's and the pty's), and the master's
// CPU time and its poll thread's wake-ups per request.
// Both directions take their time on the line (the RTU's answers paced as it sends them,
// the master's requests as the RTU takes them), so the maximum is what requests and
// answers together allow.
// With a reply delay the RTU answers that much later, so that the master's CPU per
// request can be compared at the same request rate as a slower master's.
// Run: build/bench/quelt_turnaround_bench [seconds] [reply delay ms]
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/Channels.h"
#include "channel/PortMap.h"
#include "channel/Pty.h"
#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "core/Notify.h"
#include "response/QueltHandler.h"
#include "sim/SimRunner.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

double CpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The RTU's side of the line, timed: when its last octet went out, and when the first
// octet after that came in. A pty hands the master's octets over at once; here they take
// their time on the line as the RTU's own do, so that a request costs what it costs on a
// real line.
class CTimedLine : public ISimLine {
public:
    CTimedLine(std::unique_ptr<ISimLine> pLine, int nBaud) : m_pLine(std::move(pLine)), m_nBaud(nBaud) {}
    int Read(std::uint8_t* pBuffer, int nMax) override
    {
        const int n = m_pLine->Read(pBuffer, nMax);
        if (n <= 0)
            return n;
        if (m_bAnswered) {
            std::lock_guard lock(m_mx);
            m_Gaps.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - m_tLastWrite).count());
            m_bAnswered = false;
        }
        m_nOctetsIn += n;
        // The last of them reaches the RTU ten bit times an octet after the first.
        std::this_thread::sleep_for(std::chrono::microseconds(n * 10'000'000LL / m_nBaud));
        return n;
    }
    long long OctetsIn() const { return m_nOctetsIn; }
    int Descriptor() const override { return m_pLine->Descriptor(); }
    void Write(const std::uint8_t* pData, int nCount) override
    {
        m_pLine->Write(pData, nCount);
        m_tLastWrite = SteadyClock::now();
        m_bAnswered = true;
    }
    std::vector<double> TakeGaps()
    {
        std::lock_guard lock(m_mx);
        std::vector<double> gaps;
        gaps.swap(m_Gaps);
        return gaps;
    }

private:
    std::unique_ptr<ISimLine> m_pLine;
    int m_nBaud;
    std::atomic<long long> m_nOctetsIn{0};
    SteadyClock::time_point m_tLastWrite{};
    bool m_bAnswered = false;
    std::mutex m_mx;
    std::vector<double> m_Gaps;  // ms
};

std::vector<std::string> Tasks()
{
    std::vector<std::string> tasks;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        tasks.push_back(entry.path().filename().string());
    return tasks;
}

// How often a thread went to sleep and was woken: on a virtual machine the wake-ups, not
// the instructions, are what a poll thread costs.
long long Wakeups(const std::string& tid)
{
    std::ifstream status("/proc/self/task/" + tid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::atoll(line.c_str() + line.find(':') + 1);
    return 0;
}

double Percentile(std::vector<double> values, double dFraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(dFraction * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char* argv[])
{
    const int nSeconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    constexpr int kBaud = 9600;
    SetTraceHandler([](const std::string&) {});
    SetConfigDefaults();
    ResetCommandQueue();
    g_nAskMode = ASK_MANUAL;
    g_nBaudRate = kBaud;

    int fdRtu = -1, fdSilent = -1;
    std::string rtuDevice, silentDevice;
    if (!OpenRawPty(fdRtu, rtuDevice) || !OpenRawPty(fdSilent, silentDevice)) {
        std::perror("openpty");
        return 1;
    }
    MapPortDevice(COM2, rtuDevice);
    MapPortDevice(COM1, silentDevice);
    SimOptions options;
    options.nBaudRate = kBaud;
    options.bPace = true;
    options.nChangeMs = 0;  // static values: every answer the same size
    options.nReplyDelayMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 0;
    auto pTimed = std::make_unique<CTimedLine>(MakeFdLine(fdRtu), kBaud);
    CTimedLine& timed = *pTimed;
    CSimRunner rtu(options, std::move(pTimed));
    rtu.Start();

    // One run of 200 reads lasts far longer than the scan period: the queue never waits.
    ManualChoice choice;
    choice.nRunTimes = 0;
    QueueManualCommand(*FindMenuCommand(32791), choice);
    choice.nQueueMode = 1;
    for (int i = 1; i < 200; ++i)
        QueueManualCommand(*FindMenuCommand(32791), choice);
    CQueltHandler handler;
    const std::vector<std::string> tasksBefore = Tasks();
    CreateChannels();
    std::string pollTid;  // the one task the channels added
    for (const std::string& tid : Tasks())
        if (std::find(tasksBefore.begin(), tasksBefore.end(), tid) == tasksBefore.end())
            pollTid = tid;
    clockid_t pollClock{};
    pthread_getcpuclockid(g_Channels.PollThread.native_handle(), &pollClock);

    const auto Handled = [&rtu] { return rtu.With([](COutstation& r) { return r.RequestsHandled(); }); };
    const auto Octets = [&rtu] { return rtu.With([](COutstation& r) { return r.OctetsSent(); }); };
    while (Handled() < 3)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    timed.TakeGaps();
    const auto t0 = SteadyClock::now();
    const double dCpu0 = CpuSeconds(pollClock);
    const long long llWakeups0 = Wakeups(pollTid);
    const int nHandled0 = Handled();
    const long long llOctets0 = Octets() + timed.OctetsIn();
    while (SteadyClock::now() - t0 < std::chrono::seconds(nSeconds)) {
        handler.ProcessResponses();  // the GUI thread's share, at its own period
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const double dMinutes = std::chrono::duration<double>(SteadyClock::now() - t0).count() / 60.0;
    const double dCpu = CpuSeconds(pollClock) - dCpu0;
    const long long llWakeups = Wakeups(pollTid) - llWakeups0;
    const int nRequests = Handled() - nHandled0;
    const double dOctetsPerRequest =
        static_cast<double>(Octets() + timed.OctetsIn() - llOctets0) / std::max(nRequests, 1);
    const std::vector<double> gaps = timed.TakeGaps();
    DestroyChannels();
    rtu.Stop();

    const double dLineSeconds = dOctetsPerRequest * 10.0 / kBaud;
    const double dMaxByLine = 60.0 / dLineSeconds;
    const double dAchieved = nRequests / dMinutes;
    std::printf("requests                    %d in %.2f min (%.1f octets of request and answer each)\n", nRequests, dMinutes,
                dOctetsPerRequest);
    std::printf("requests per minute         %.1f\n", dAchieved);
    std::printf("maximum the line allows     %.1f\n", dMaxByLine);
    std::printf("achieved / line             %.2f\n", dAchieved / dMaxByLine);
    std::printf("answer end to next request  median %.1f ms, 90%% %.1f ms (%zu gaps)\n", Percentile(gaps, 0.5),
                Percentile(gaps, 0.9), gaps.size());
    std::printf("master CPU per request      %.3f ms\n", dCpu * 1000.0 / std::max(nRequests, 1));
    std::printf("poll thread wake-ups        %.1f per request\n", static_cast<double>(llWakeups) / std::max(nRequests, 1));
    return 0;
}
