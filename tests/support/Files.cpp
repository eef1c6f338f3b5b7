#include "support/Files.h"

#include <unistd.h>

#include <filesystem>
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

std::string TempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("quelt-" + std::to_string(getpid()) + "-" + name)).string();
}

int LineCount(const std::string& text)
{
    int n = 0;
    for (const char ch : text)
        n += ch == '\n';
    return n;
}
