#include "support/Files.h"

#include <fstream>
#include <iterator>

std::string ReadOctets(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteOctets(const std::string& path, const std::string& octets)
{
    std::ofstream(path, std::ios::binary) << octets;
}
