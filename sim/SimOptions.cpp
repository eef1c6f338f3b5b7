#include "sim/SimOptions.h"

#include <charconv>

namespace {

bool ToInt(const std::string& text, int nMin, int nMax, int& nValue)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < nMin || n > nMax)
        return false;
    nValue = n;
    return true;
}

struct IntOption {
    const char* pszName;
    int SimOptions::*pValue;
    int nMin, nMax;
};

const IntOption kIntOptions[] = {
    {"--baud", &SimOptions::nBaudRate, 300, 115200},   {"--address", &SimOptions::nAddress, 0, 65535},
    {"--master", &SimOptions::nMaster, 0, 65535},       {"--yx", &SimOptions::nYx, 1, 1024},
    {"--yc", &SimOptions::nYc, 1, 1024},                {"--ym", &SimOptions::nYm, 1, 1024},
    {"--change-ms", &SimOptions::nChangeMs, 0, 3600000}, {"--silent-after", &SimOptions::nSilentAfter, 0, 1 << 30},
    {"--corrupt-every", &SimOptions::nCorruptEvery, 1, 1 << 30}, {"--drop-octets", &SimOptions::nDropPercent, 0, 100},
    {"--busy-ms", &SimOptions::nBusyMs, 0, 3600000},     {"--fragment", &SimOptions::nFragment, 64, 2048},
    {"--binary-class", &SimOptions::nBinaryClass, 1, 3}, {"--analog-class", &SimOptions::nAnalogClass, 1, 3},
    {"--select-timeout", &SimOptions::nSelectTimeout, 1, 3600},
    {"--reply-delay-ms", &SimOptions::nReplyDelayMs, 0, 60000}, {"--restart-after", &SimOptions::nRestartAfter, 1, 1 << 30},
    {"--bad-segment-every", &SimOptions::nBadSegmentEvery, 1, 1 << 30},
    {"--lose-master-every", &SimOptions::nLoseMasterEvery, 1, 1 << 30},
    {"--clock-offset", &SimOptions::nClockOffsetS, -1'900'000'000, 1'900'000'000},  // 60 years either way
};

struct FlagOption {
    const char* pszName;
    bool SimOptions::*pFlag;
};

const FlagOption kFlagOptions[] = {
    {"--compact-qualifiers", &SimOptions::bCompact}, {"--reset-first", &SimOptions::bResetFirst},
    {"--crob-fail", &SimOptions::bCrobFail},         {"--pace", &SimOptions::bPace},
    {"--operate-fail", &SimOptions::bOperateFail},   {"--select-fail", &SimOptions::bSelectFail},
    {"--confirmed-data", &SimOptions::bConfirmedData}, {"--unsolicited", &SimOptions::bUnsolicited},
    {"--no-time-sync", &SimOptions::bNoTimeSync},
};

}  // namespace

SimCommandLine ParseSimCommandLine(const std::vector<std::string>& args)
{
    SimCommandLine cl;
    for (std::size_t i = 0; i < args.size() && cl.Error.empty(); ++i) {
        const std::string& arg = args[i];
        bool bKnown = false;
        if (arg == "--help" || arg == "-h") {
            cl.bHelp = true;
            continue;
        }
        if (arg == "--record") {
            if (i + 1 < args.size() && !args[i + 1].empty())
                cl.RecordPath = args[++i];
            else
                cl.Error = "option --record needs a FILE";
            continue;
        }
        if (arg == "--tcp" || arg == "--drop-after") {
            if (i + 1 >= args.size()) {
                cl.Error = "option " + arg + (arg == "--tcp" ? " needs [ADDRESS:]PORT" : " needs seconds");
            } else if (arg == "--tcp") {
                cl.TcpListen = args[++i];
            } else if (!ToInt(args[++i], 1, 86'400, cl.nDropAfterS)) {
                cl.Error = "option --drop-after needs a number from 1 to 86400";
            }
            continue;
        }
        if (arg == "--time") {
            const std::string convention = i + 1 < args.size() ? args[++i] : "";
            if (convention == "month" || convention == "utc")
                cl.Options.bUtcTime = convention == "utc";
            else
                cl.Error = "option --time needs month or utc";
            continue;
        }
        if (arg == "--busy") {  // a few seconds of DFC after every link reset
            cl.Options.nBusyMs = 6000;
            continue;
        }
        if (arg == "--malformed") {
            const std::string kind = i + 1 < args.size() ? args[++i] : "";
            const struct {
                const char* pszName;
                int nKind;
            } kinds[] = {{"qualifier", SimOptions::MALFORMED_QUALIFIER},
                         {"overrun", SimOptions::MALFORMED_OVERRUN},
                         {"group", SimOptions::MALFORMED_GROUP}};
            cl.Error = "option --malformed needs qualifier, overrun or group";
            for (const auto& k : kinds)
                if (kind == k.pszName) {
                    cl.Options.nMalformed = k.nKind;
                    cl.Error.clear();
                }
            continue;
        }
        for (const FlagOption& f : kFlagOptions)
            if (arg == f.pszName) {
                cl.Options.*f.pFlag = true;
                bKnown = true;
            }
        for (const IntOption& o : kIntOptions)
            if (arg == o.pszName) {
                bKnown = true;
                if (i + 1 >= args.size() || !ToInt(args[i + 1], o.nMin, o.nMax, cl.Options.*o.pValue))
                    cl.Error = std::string("option ") + o.pszName + " needs a number from " + std::to_string(o.nMin) +
                               " to " + std::to_string(o.nMax);
                ++i;
            }
        if (bKnown)
            continue;
        if (!arg.empty() && arg[0] != '-' && cl.Device.empty())
            cl.Device = arg;
        else
            cl.Error = "unknown argument " + arg + " (try --help)";
    }
    if (cl.Error.empty() && !cl.bHelp && cl.Device.empty() && cl.TcpListen.empty())
        cl.Error = "no DEVICE given (try --help)";
    else if (cl.Error.empty() && !cl.Device.empty() && !cl.TcpListen.empty())
        cl.Error = "a DEVICE or --tcp, not both";
    else if (cl.Error.empty() && cl.nDropAfterS > 0 && cl.TcpListen.empty())
        cl.Error = "--drop-after needs --tcp";
    return cl;
}

const char* SimUsage()
{
    return "Usage: quelt-rtusim DEVICE [options]\n"
           "       quelt-rtusim --tcp [ADDRESS:]PORT [--drop-after S] [options]\n"
           "A simulated DNP3 outstation (RTU) on a serial device or pty, or listening on TCP,\n"
           "for rehearsing a master.\n"
           "\n"
           "  --tcp [ADDRESS:]PORT listen on TCP (all IPv4 addresses unless one is given; an\n"
           "                       IPv6 one in brackets); one master at a time, a new\n"
           "                       connection replaces the old\n"
           "  --drop-after S       TCP: close each connection S seconds after accepting it\n"
           "  --baud N             line speed (default 1200, as the master's)\n"
           "  --address N          link address of the RTU (default 54)\n"
           "  --master N           link address of the master (default 3246)\n"
           "  --yx N --yc N --ym N binary inputs, analog inputs, counters (128, 128, 64)\n"
           "  --compact-qualifiers 8-bit ranges and indexes (0x00, 0x17) where they fit\n"
           "  --reset-first        reset the link towards the master at start (until it is\n"
           "                       acknowledged)\n"
           "  --confirmed-data     send responses as confirmed user data: the link is reset\n"
           "                       first, then every frame waits for the master's ACK\n"
           "  --unsolicited        unsolicited responses: a null one at start (repeated every\n"
           "                       5 s until confirmed or disabled), then the events of the\n"
           "                       classes the master enables\n"
           "  --change-ms N        values change every N ms (default 2000, 0 never)\n"
           "  --pace               send no faster than the line speed allows\n"
           "  --fragment N         largest response fragment in octets (64 to 2048, default 2048);\n"
           "                       longer responses go out in several, each after the confirm\n"
           "  --binary-class N     event class of binary-input changes (default 1)\n"
           "  --analog-class N     event class of analog changes (default 2)\n"
           "  --select-timeout S   seconds a select stays valid (default 10)\n"
           "  --time month|utc     how the clock counts: milliseconds since 00:00 local time\n"
           "                       of the 1st of the month (default, as the master's default)\n"
           "                       or IEEE 1815 UTC milliseconds since 1970\n"
           "  --clock-offset S     the clock starts S seconds off the computer's (may be < 0)\n"
           "  --no-time-sync       a clock set by other means (GPS): never asks for the time\n"
           "                       (IIN1.4) and ignores the master's writes\n"
           "  --record FILE        record the line as pcapng (Wireshark), the RTU at 192.0.2.2\n"
           "Faults:\n"
           "  --silent-after N     stop answering after N requests\n"
           "  --corrupt-every N    flip a CRC octet of every N-th frame sent\n"
           "  --lose-master-every N  every N-th frame from the master is lost, as if\n"
           "                       spoilt on the line (its confirms and ACKs too)\n"
           "  --busy               data flow control (DFC) for 6 s after every link reset\n"
           "  --busy-ms N          the same for N ms\n"
           "  --crob-fail          every select and operate fails\n"
           "  --operate-fail       selects are accepted, every operate refused (status 4)\n"
           "  --select-fail        every select refused (status 4), so its operate finds none\n"
           "  --reply-delay-ms N   every response N ms late (3500: past the master's link wait)\n"
           "  --malformed KIND     every third response with objects spoilt: qualifier (a\n"
           "                       qualifier not offered), overrun (its last octets missing)\n"
           "                       or group (an unknown object first)\n"
           "  --restart-after N    restart at the N-th request: link and application state\n"
           "                       lost, that request unanswered, IIN1.7 set again\n"
           "  --bad-segment-every N  in every N-th response of several segments, one\n"
           "                       transport sequence number is skipped\n"
           "  --drop-octets P      lose each octet sent with probability P percent\n";
}
