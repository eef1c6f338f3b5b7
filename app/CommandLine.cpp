#include "app/CommandLine.h"

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
        } else if (arg == "--com1" || arg == "--com2") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                cl.Error = "option " + arg + " needs a DEVICE";
            else
                cl.Devices[arg == "--com1" ? 0 : 1] = args[++i];
        } else {
            cl.Error = "unknown option " + arg + " (try --help)";
        }
    }
    if (cl.Error.empty() && cl.bDemo && !(cl.Devices[0].empty() && cl.Devices[1].empty()))
        cl.Error = "--demo chooses both devices itself; leave out --com1 and --com2";
    return cl;
}

const char* CommandLineUsage()
{
    return "Usage: quelt [--com1 DEVICE] [--com2 DEVICE] [--verbose] | quelt --demo [--verbose]\n"
           "DNP3 master station and protocol analyser for one RTU on a serial line.\n"
           "\n"
           "  --com1 DEVICE  serial device behind COM1 (default /dev/ttyS0)\n"
           "  --com2 DEVICE  serial device behind COM2 (default /dev/ttyS1)\n"
           "  --demo         both ports on pseudo-terminals, a simulated RTU behind COM2\n"
           "  --verbose      per-frame debug traces on stderr (also QUELT_VERBOSE=1)\n"
           "  --version      print the version and exit\n"
           "  -h, --help     show this help and exit\n"
           "\n"
           "The DNP3 engine starts on COM2; the other port shows what it receives.\n";
}

std::string VersionText()
{
    return std::string("quelt ") + QUELT_VERSION + "\nDNP3 (IEEE 1815) master station and protocol analyser\n";
}
