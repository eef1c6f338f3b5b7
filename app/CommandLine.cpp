#include "app/CommandLine.h"

#include <charconv>

#include "channel/TcpEndpoint.h"

namespace {

// The value after option i, as a whole number in [1, nMax]; an error when there is none.
int Count(const std::vector<std::string>& args, std::size_t& i, int nMax, std::string& error)
{
    const std::string& option = args[i];
    int n = 0;
    if (i + 1 < args.size()) {
        const std::string& value = args[++i];
        const auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec == std::errc() && p == value.data() + value.size() && n >= 1 && n <= nMax)
            return n;
    }
    error = "option " + option + " needs a number from 1 to " + std::to_string(nMax);
    return 0;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine cl;
    for (std::size_t i = 0; i < args.size() && cl.Error.empty(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            cl.bHelp = true;
        } else if (arg == "--version") {
            cl.bVersion = true;
        } else if (arg == "--verbose") {
            cl.bVerbose = true;
        } else if (arg == "--demo") {
            cl.bDemo = true;
        } else if (arg == "--auto") {
            cl.bAuto = true;
        } else if (arg == "--tcp") {
            cl.bTcp = true;
        } else if (arg == "--com1" || arg == "--com2" || arg == "--record") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                cl.Error = "option " + arg + (arg == "--record" ? " needs a FILE" : " needs a DEVICE");
            else if (arg == "--record")
                cl.RecordPath = args[++i];
            else
                cl.Devices[arg == "--com1" ? 0 : 1] = args[++i];
        } else if (arg == "--time") {
            const std::string convention = i + 1 < args.size() ? args[++i] : "";
            if (convention == "month" || convention == "utc")
                cl.bUtcTime = convention == "utc";
            else
                cl.Error = "option --time needs month or utc";
        } else if (arg == "--record-max-mb") {
            cl.nRecordMaxMb = Count(args, i, 1'000'000, cl.Error);
        } else if (arg == "--record-files") {
            cl.nRecordFiles = Count(args, i, 100'000, cl.Error);
        } else {
            cl.Error = "unknown option " + arg + " (try --help)";
        }
    }
    if (!cl.Error.empty())
        return cl;
    std::string why;
    if (cl.bDemo && !(cl.Devices[0].empty() && cl.Devices[1].empty()))
        cl.Error = "--demo chooses both devices itself; leave out --com1 and --com2";
    else if (cl.bTcp && !cl.bDemo)
        cl.Error = "--tcp belongs to --demo; name a TCP RTU with --com2 tcp://HOST[:PORT]";
    else if (IsTcpDevice(cl.Devices[0]))
        cl.Error = "COM1 is a serial port; a TCP RTU goes on --com2";
    else if (IsTcpDevice(cl.Devices[1]) && !ParseTcpDevice(cl.Devices[1], &why))
        cl.Error = "--com2 " + cl.Devices[1] + ": " + why;
    else if ((cl.nRecordMaxMb > 0 || cl.nRecordFiles > 0) && cl.RecordPath.empty())
        cl.Error = "--record-max-mb and --record-files need --record FILE";
    else if (cl.nRecordFiles > 0 && cl.nRecordMaxMb == 0)
        cl.Error = "--record-files needs --record-max-mb (the size of each file)";
    return cl;
}

const char* CommandLineUsage()
{
    return "Usage: quelt [--com1 DEVICE] [--com2 DEVICE] [--auto] [--time month|utc]\n"
           "             [--record FILE [--record-max-mb N [--record-files K]]] [--verbose]\n"
           "       quelt --demo [--tcp] [--time month|utc] [--record FILE ...] [--verbose]\n"
           "DNP3 master station and protocol analyser for one RTU on a serial line or TCP.\n"
           "\n"
           "  --com1 DEVICE       serial device behind COM1 (default /dev/ttyS0)\n"
           "  --com2 DEVICE       serial device behind COM2 (default /dev/ttyS1), or an RTU on\n"
           "                      the network: tcp://HOST[:PORT] (port 20000 unless given; an\n"
           "                      IPv6 address in brackets: tcp://[fe80::1]:20000)\n"
           "  --demo              both ports on pseudo-terminals, a simulated RTU behind COM2\n"
           "  --tcp               with --demo: the simulated RTU on TCP over loopback instead\n"
           "  --auto              start in automatic mode (the demo always does)\n"
           "  --time month        the RTU's clock counts milliseconds since 00:00 local time of\n"
           "                      the 1st of the month (default; \"时间格式\" in \"远动参数\")\n"
           "  --time utc          the RTU's clock is IEEE 1815 UTC, milliseconds since 1970\n"
           "  --record FILE       record both lines from start to exit as pcapng (Wireshark)\n"
           "  --record-max-mb N   a ring: a new file every N MB, named FILE_00001_<time>\n"
           "  --record-files K    keep only the newest K files of the ring\n"
           "  --verbose           per-frame debug traces on stderr (also QUELT_VERBOSE=1)\n"
           "  --version           print the version and exit\n"
           "  -h, --help          show this help and exit\n"
           "\n"
           "The DNP3 engine starts on COM2; the other port shows what it receives.\n";
}

std::string VersionText()
{
    return std::string("quelt ") + QUELT_VERSION + "\nDNP3 (IEEE 1815) master station and protocol analyser\n";
}
