#include "support/Tshark.h"

#include <cstdio>
#include <cstdlib>

std::string CommandOutput(const std::string& command)
{
    std::string output;
    if (std::FILE* pPipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0)
            output.append(buffer, n);
        pclose(pPipe);
    }
    return output;
}

bool HaveTshark() { return std::system("command -v tshark >/dev/null 2>&1") == 0; }

std::string Tshark(const std::string& path, const std::string& options)
{
    return CommandOutput("tshark -n -r '" + path + "' " + options + " 2>/dev/null");
}
