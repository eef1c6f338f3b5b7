#pragma once
// The command line names only the devices behind COM1 and COM2; configuration words are
// never read from it.
#include <string>
#include <vector>

struct CommandLine {
    bool bHelp = false;
    std::string Devices[2];  // empty: the default device of that port
    std::string Error;       // one line; set when the arguments are unusable
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
const char* CommandLineUsage();
