// quelt-rtusim: a simulated DNP3 outstation on a serial device or pty, or on TCP.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "record/LineTap.h"
#include "record/Recorder.h"
#include "sim/SimRunner.h"
#include "sim/TcpListenLine.h"

namespace {

std::atomic<bool> g_bStop{false};

void OnSignal(int) { g_bStop = true; }

void PrintLine(const std::string& line)
{
    const std::time_t now = std::time(nullptr);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
    std::printf("%s %s\n", stamp, line.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    const SimCommandLine cl = ParseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (cl.bHelp) {
        std::fputs(SimUsage(), stdout);
        return 0;
    }
    if (!cl.Error.empty()) {
        std::fprintf(stderr, "quelt-rtusim: %s\n", cl.Error.c_str());
        return 2;
    }
    std::unique_ptr<ISimLine> line;
    std::string where = cl.Device;
    if (!cl.TcpListen.empty()) {
        std::string error;
        auto tcp = CTcpListenLine::Listen(cl.TcpListen, cl.nDropAfterS, PrintLine, error);
        if (!tcp) {
            std::fprintf(stderr, "quelt-rtusim: %s\n", error.c_str());
            return 1;
        }
        where = "tcp port " + std::to_string(tcp->Port());
        line = std::move(tcp);
    } else {
        line = MakeSerialLine(cl.Device, cl.Options.nBaudRate);
        if (!line) {
            std::fprintf(stderr, "quelt-rtusim: cannot open %s: %s\n", cl.Device.c_str(), std::strerror(errno));
            return 1;
        }
    }
    // The recording, if asked for: the RTU's own view of its line.
    CPcapngRecorder recorder;
    CLineTap tap;
    if (!cl.RecordPath.empty()) {
        RecordingOptions options;
        options.Path = cl.RecordPath;
        options.bMaster = false;
        options.Names[0] = cl.TcpListen.empty() ? cl.Device : "tcp " + cl.TcpListen;
        options.Descriptions[0] = "RTU " + std::to_string(cl.Options.nAddress) + " DNP3 " +
                                  (cl.TcpListen.empty() ? std::to_string(cl.Options.nBaudRate) + " 8N1" : where);
        std::string reason;
        if (!recorder.Open(options, reason)) {
            std::fprintf(stderr, "quelt-rtusim: cannot record: %s\n", reason.c_str());
            return 1;
        }
        recorder.OnError([](const std::string& why) { PrintLine("recording stopped: " + why); });
        tap.OnFirstLoss([](std::uint64_t n) { PrintLine("recording lost " + std::to_string(n) + " octets"); });
        tap.AddSink(&recorder);
        tap.Start();
        line = MakeTappedLine(std::move(line), tap, 0);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    PrintLine("RTU " + std::to_string(cl.Options.nAddress) + " on " + where +
              (cl.TcpListen.empty() ? " at " + std::to_string(cl.Options.nBaudRate) + " bit/s" : "") + ", master " +
              std::to_string(cl.Options.nMaster));
    CSimRunner runner(cl.Options, std::move(line), PrintLine);
    runner.Run(g_bStop);
    tap.Stop();  // what was on the line, to the end, on the disk
    recorder.Close();
    return 0;
}
