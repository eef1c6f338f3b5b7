#pragma once
// The command line names only the devices behind COM1 and COM2, asks for the demo or for
// debug output; configuration words are never read from it.
#include <string>
#include <vector>

struct CommandLine {
    bool bHelp = false;
    bool bVersion = false;
    bool bVerbose = false;   // per-frame debug traces on stderr
    bool bDemo = false;      // both ports on ptys, a simulated RTU behind COM2
    std::string Devices[2];  // empty: the default device of that port
    std::string Error;       // one line; set when the arguments are unusable
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
const char* CommandLineUsage();
// "quelt 0.1" and a line saying what it is.
std::string VersionText();
