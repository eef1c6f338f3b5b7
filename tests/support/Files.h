#pragma once
// Whole files as octets, for tests of what is written to and read from disk.
#include <string>

std::string ReadOctets(const std::string& path);
// The line ends in a text.
int LineCount(const std::string& text);
// A path in the temporary folder that no other test process uses: quelt-<pid>-<name>.
std::string TempPath(const std::string& name);
void WriteOctets(const std::string& path, const std::string& octets);
