#pragma once
// Whole files as octets, for tests of what is written to and read from disk.
#include <string>

std::string ReadOctets(const std::string& path);
void WriteOctets(const std::string& path, const std::string& octets);
