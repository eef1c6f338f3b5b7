#pragma once
// The command line names the devices behind COM1 and COM2, asks for the demo, automatic
// mode, the RTU's time convention, a recording or debug output. Of the configuration
// words only the ask mode and the time format take their starting value from it.
#include <string>
#include <vector>

struct CommandLine {
    bool bHelp = false;
    bool bVersion = false;
    bool bVerbose = false;   // per-frame debug traces on stderr
    bool bDemo = false;      // both ports on ptys, a simulated RTU behind COM2
    bool bTcp = false;       // the demo's RTU on TCP over loopback
    bool bAuto = false;      // start in automatic mode
    bool bUtcTime = false;   // --time utc: the RTU's clock in IEEE 1815 UTC
    std::string Devices[2];  // empty: the default device of that port
    std::string RecordPath;  // empty: no recording from the start
    int nRecordMaxMb = 0;    // > 0: a ring of files of this size
    int nRecordFiles = 0;    // > 0: keep only this many
    std::string Error;       // one line; set when the arguments are unusable
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
const char* CommandLineUsage();
// "quelt 0.1" and a line saying what it is.
std::string VersionText();
