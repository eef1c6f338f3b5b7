#pragma once
// Stock tshark on a capture file: what Wireshark makes of our recordings. run.sh installs it.
#include <string>

bool HaveTshark();
// tshark -n -r FILE OPTIONS: its standard output (its notes on stderr are dropped).
std::string Tshark(const std::string& path, const std::string& options);
// A command's standard output.
std::string CommandOutput(const std::string& command);
