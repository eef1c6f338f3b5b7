// The master in automatic mode against the simulated RTU with a mix of line and device
// faults, for a number of minutes, the GUI's work done every 500 ms as the GUI does it.
// Prints, per minute: the requests the RTU handled, the longest time the master left the
// RTU without a request (it never stalls), the longest gap without a response reaching
// the master, the alarms by text, the RTU's binary events against the event
// lines reported, and the resident memory. At the end the faults stop and every event
// must arrive exactly once, but those the RTU's full buffer dropped.
// Run: build/bench/quelt_soak MINUTES [--trace FILE] [--controls] [quelt-rtusim fault options...]
//      build/bench/quelt_soak 10 --corrupt-every 5 --drop-octets 1 --busy
// --trace writes the master's traffic, its alarms and the RTU's log, time-stamped, to FILE.
// --controls: in each minute the operator switches to manual mode, sends one select-and-
// execute as from the menu and switches back once it has run (25 s at most); the outcomes
// show among the alarms.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Channels.h"
#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "core/Notify.h"
#include "core/ResponseList.h"
#include "core/TrafficLines.h"
#include "monitor/AlarmLog.h"
#include "response/QueltHandler.h"
#include "sim/DemoRtu.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kSelectAndExecute = 32817;  // "遥控(选点并执行)命令"

// What the master sent and received, its alarms and what the RTU did, in time order.
class CTrace {
public:
    bool Open(const std::string& path)
    {
        m_pFile = std::fopen(path.c_str(), "w");
        return m_pFile != nullptr;
    }
    ~CTrace()
    {
        if (m_pFile != nullptr)
            std::fclose(m_pFile);
    }
    void Line(const char* pszWho, const std::string& text)
    {
        if (m_pFile == nullptr || text.empty())
            return;
        std::lock_guard lock(m_mx);
        const double dSeconds = std::chrono::duration<double>(SteadyClock::now() - m_tStart).count();
        std::fprintf(m_pFile, "%9.3f %s %s%s", dSeconds, pszWho, text.c_str(), text.back() == '\n' ? "" : "\n");
    }

private:
    std::FILE* m_pFile = nullptr;
    std::mutex m_mx;
    const SteadyClock::time_point m_tStart = SteadyClock::now();
};

// The alarm list box: counts by text; event lines are kept to compare with the RTU.
class CCountingList : public IAlarmList {
public:
    explicit CCountingList(CTrace& trace) : m_Trace(trace) {}
    int AddLine(const std::string& text) override
    {
        m_Trace.Line("alarm", text);
        if (text.find("站号=") != std::string::npos)
            EventLines.push_back(text);
        else
            ++Counts[text];
        return 0;
    }
    void SelectLine(int) override {}
    void DeleteLine(int) override {}

    std::map<std::string, int> Counts;
    std::vector<std::string> EventLines;

private:
    CTrace& m_Trace;
};

long ResidentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long lPages = 0;
    long lResident = 0;
    statm >> lPages >> lResident;
    return lResident * sysconf(_SC_PAGESIZE) / 1024;
}

// The longest time, since the last reset, between two looks that saw something happen.
class CGapMeter {
public:
    void Look(bool bHappened)
    {
        const auto now = SteadyClock::now();
        if (bHappened)
            m_tLast = now;
        m_dLongest = std::max(m_dLongest, std::chrono::duration<double>(now - m_tLast).count());
    }
    double TakeLongest() { return std::exchange(m_dLongest, 0.0); }

private:
    SteadyClock::time_point m_tLast = SteadyClock::now();
    double m_dLongest = 0;
};

// The event lines the master should report for these events, sorted.
std::vector<std::string> SortedBinaryLines(const std::vector<SimEvent>& events)
{
    std::vector<std::string> lines;
    for (const SimEvent& e : events)
        if (e.kind == SimEvent::BINARY)
            lines.push_back(SoeLine(e.qwTime, e.nPoint, e.nValue));
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool ControlPending() { return g_CtrlCmd.m_bSelectPending != 0 || g_CtrlCmd.m_bOperatePending != 0; }

std::size_t ListedResponses()
{
    std::lock_guard lock(g_csResponseList);
    return g_ResponseList.size();
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fputs("usage: quelt_soak MINUTES [--trace FILE] [--controls] [quelt-rtusim fault options...]\n", stderr);
        return 2;
    }
    const int nMinutes = std::max(1, std::atoi(argv[1]));
    std::vector<std::string> simArgs{"soak"};  // the device is ours; only the options count
    CTrace trace;
    bool bControls = false;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--controls") {
            bControls = true;
        } else if (std::string(argv[i]) != "--trace") {
            simArgs.emplace_back(argv[i]);
        } else if (i + 1 == argc || !trace.Open(argv[++i])) {
            std::fputs("quelt_soak: --trace needs a file that can be written\n", stderr);
            return 2;
        }
    }
    const SimCommandLine cl = ParseSimCommandLine(simArgs);
    if (!cl.Error.empty()) {
        std::fprintf(stderr, "quelt_soak: %s\n", cl.Error.c_str());
        return 2;
    }
    SimOptions options = cl.Options;
    if (std::find(simArgs.begin(), simArgs.end(), "--baud") == simArgs.end())
        options.nBaudRate = 9600;  // the soak's own default, for figures that compare
    options.bPace = true;
    if (options.nChangeMs == SimOptions{}.nChangeMs)
        options.nChangeMs = 1000;

    SetTraceHandler([](const std::string&) {});
    SetMessageBoxHandler([](const std::string& text) { std::fprintf(stderr, "box: %s\n", text.c_str()); });
    SetConfigDefaults();
    ResetCommandQueue();
    ResetCtrlCommand();
    g_nAskMode = ASK_AUTO;
    g_nBaudRate = options.nBaudRate;
    CDemoRtu line;  // COM2 to the RTU, COM1 to a silent line
    if (!line.Start(options, [&trace](const std::string& text) { trace.Line("rtu", text); })) {
        std::perror("openpty");
        return 1;
    }
    CSimRunner& rtu = line.Runner();
    CCountingList alarms(trace);
    g_AlarmLog.Attach(&alarms, [] {});
    CQueltHandler handler;
    CreateChannels();

    const auto Handled = [&rtu] { return rtu.With([](COutstation& r) { return r.RequestsHandled(); }); };
    const auto BinaryEvents = [&rtu] {
        return rtu.With([](COutstation& r) {
            const auto& history = r.Database().History();
            return static_cast<long>(std::count_if(history.begin(), history.end(),
                                                   [](const SimEvent& e) { return e.kind == SimEvent::BINARY; }));
        });
    };
    // The GUI's timer: responses decoded, alarms shown; tracks when requests reach the RTU
    // and when responses reach the master.
    CGapMeter requestGap;
    CGapMeter responseGap;
    int nHandledSeen = 0;
    const auto GuiTick = [&] {
        const int nHandled = Handled();
        requestGap.Look(std::exchange(nHandledSeen, nHandled) != nHandled);
        responseGap.Look(ListedResponses() > 0);
        handler.ProcessResponses();
        CheckSelectTimeout();
        CheckOperateTimeout();
        g_AlarmLog.Drain();
        std::lock_guard lock(g_csDisplay);  // the traffic windows take their lines too
        trace.Line("sent", g_SendLines.TakeAll());
        trace.Line("recv", g_RecvLines.TakeAll());
    };

    std::printf("minute  requests  request gap  response gap  events  lines  rss kB  alarms\n");
    int nHandledBefore = 0;
    for (int nMinute = 1; nMinute <= nMinutes; ++nMinute) {
        std::map<std::string, int> countsBefore = alarms.Counts;
        const auto tStart = SteadyClock::now();
        const auto tEnd = tStart + std::chrono::minutes(1);
        bool bControlDue = bControls;
        while (SteadyClock::now() < tEnd) {
            const auto tInMinute = SteadyClock::now() - tStart;
            if (bControlDue && tInMinute >= std::chrono::seconds(20)) {
                bControlDue = false;
                g_nAskMode = ASK_MANUAL;
                QueueManualCommand(*FindMenuCommand(kSelectAndExecute), ManualChoice{});
            }
            if (g_nAskMode == ASK_MANUAL && tInMinute >= std::chrono::seconds(23) &&
                ((RunCount() == 0 && !ControlPending()) || tInMinute >= std::chrono::seconds(45)))
                g_nAskMode = ASK_AUTO;
            GuiTick();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        const int nHandled = Handled();
        std::string changes;
        for (const auto& [text, n] : alarms.Counts)
            if (n != countsBefore[text])
                changes += " " + text + " x" + std::to_string(n - countsBefore[text]) + ";";
        std::printf("%6d  %8d  %9.1f s  %10.1f s  %6ld  %5zu  %6ld %s\n", nMinute, nHandled - nHandledBefore,
                    requestGap.TakeLongest(), responseGap.TakeLongest(), BinaryEvents(), alarms.EventLines.size(),
                    ResidentKilobytes(), changes.c_str());
        std::fflush(stdout);
        nHandledBefore = nHandled;
    }

    // The faults stop; every event buffered must now arrive, once.
    rtu.With([](COutstation& r) {
        r.StopFaults();
        r.SetChangePeriod(0);
        return 0;
    });
    const auto tGiveUp = SteadyClock::now() + std::chrono::minutes(2);
    while (rtu.With([](COutstation& r) { return r.Database().EventCount(); }) > 0 && SteadyClock::now() < tGiveUp) {
        GuiTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    for (int i = 0; i < 4; ++i) {
        GuiTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    // Events the RTU's full buffer dropped (it said so with IIN2.3) may or may not have
    // come before; all others must have come exactly once.
    const auto [all, dropped] = rtu.With([](COutstation& r) {
        return std::pair{SortedBinaryLines(r.Database().History()), SortedBinaryLines(r.Database().Dropped())};
    });
    std::vector<std::string> reported = alarms.EventLines;
    std::sort(reported.begin(), reported.end());
    std::vector<std::string> expected;
    std::vector<std::string> missing;
    std::vector<std::string> extra;
    std::set_difference(all.begin(), all.end(), dropped.begin(), dropped.end(), std::back_inserter(expected));
    std::set_difference(expected.begin(), expected.end(), reported.begin(), reported.end(), std::back_inserter(missing));
    std::set_difference(reported.begin(), reported.end(), all.begin(), all.end(), std::back_inserter(extra));
    std::printf("after the faults: %zu binary events, %zu of them dropped by the RTU's full buffer, %zu reported, "
                "%zu missing, %zu more than once or unknown\n",
                all.size(), dropped.size(), reported.size(), missing.size(), extra.size());
    DestroyChannels();
    line.Stop();
    g_AlarmLog.Detach();
    return missing.empty() && extra.empty() ? 0 : 1;
}
