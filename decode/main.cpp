// quelt-decode: DNP3 frames from recordings, capture files and hex, explained.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "decode/Frame.h"
#include "decode/input/Inputs.h"

namespace {

const char kUsage[] =
    "Usage: quelt-decode [--csv] [--time month|utc] [FILE...]\n"
    "Explains DNP3 (IEEE 1815) frames layer by layer: link, transport, application.\n"
    "Reads each FILE in turn, or standard input when there is none (also for \"-\"):\n"
    "  - pcap and pcapng: Quelt's recordings (quelt --record), other captures of DNP3 over\n"
    "    UDP or TCP port 20000, serial captures of linktype 250 (RTAC);\n"
    "  - Quelt's capture files (the text of a traffic window: \"=> \", \"R> \", \"<= \" lines);\n"
    "  - plain hex, spaces optional, one frame or a stream of them per line (\"#\" starts\n"
    "    a comment).\n"
    "\n"
    "  --csv          one row per frame: time, delta_ms, port, direction, length, link\n"
    "                 function, destination, source, CRC, transport, application function,\n"
    "                 sequence, IIN, objects\n"
    "  --time month   48-bit times as milliseconds since the 1st of the month (default,\n"
    "                 as the master sets the RTU's clock)\n"
    "  --time utc     48-bit times as IEEE 1815 UTC milliseconds since 1970\n"
    "  -h, --help     show this help and exit\n"
    "\n"
    "Without --csv each frame is a line (time, +ms since the previous frame on its port,\n"
    "port, => sent by the master or <= received, octets, summary), then one indented line\n"
    "per layer, object and point; \"!\" marks what is wrong (CRC, a cut, noise, a malformed\n"
    "object). A bad frame is described, never fatal. A file that cannot be read is one\n"
    "line on stderr, and the exit status is 1 once the rest is done.\n";

bool ReadAll(const std::string& name, std::string& content, std::string& reason)
{
    if (name == "-") {
        content.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        reason = std::strerror(errno);
        return false;
    }
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    bool bCsv = false;
    qdec::TimeConvention convention = qdec::TimeConvention::MonthRelative;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--csv") {
            bCsv = true;
        } else if (arg == "--time" && i + 1 < argc && (std::strcmp(argv[i + 1], "month") == 0 || std::strcmp(argv[i + 1], "utc") == 0)) {
            convention = std::strcmp(argv[++i], "utc") == 0 ? qdec::TimeConvention::Utc : qdec::TimeConvention::MonthRelative;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "quelt-decode: unknown option %s (try --help)\n", arg.c_str());
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty())
        files.push_back("-");
    int nStatus = 0;
    if (bCsv)
        std::printf("%s\n", qdec::CsvHeader());
    for (const std::string& name : files) {
        std::string content;
        std::string reason;
        std::vector<qdec::LineRecord> records;
        const bool bRead = ReadAll(name, content, reason) && qdec::ReadRecords(content, records, reason);
        // Each file on its own: its fragments and intervals do not run into the next.
        qdec::CStreamDecoder decoder(convention);
        for (qdec::LineRecord& record : records) {
            const qdec::FrameDescription d = decoder.Describe(std::move(record));
            if (bCsv)
                std::printf("%s\n", qdec::CsvRow(d).c_str());
            else
                std::printf("%s\n", qdec::DescriptionText(d).c_str());
        }
        if (!bRead) {
            std::fprintf(stderr, "quelt-decode: %s: %s\n", name == "-" ? "standard input" : name.c_str(), reason.c_str());
            nStatus = 1;
        }
    }
    return nStatus;
}
