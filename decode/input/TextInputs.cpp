// Capture files and plain hex: octets written as text, framed as the line tap frames.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "decode/input/InputsInternal.h"
#include "record/TapFramer.h"

namespace qdec {

namespace {

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
}

// The lines of a text-mode file: CR LF and LF end a line, an octet 1A ends the file.
std::vector<std::string> Lines(const std::string& content)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char ch : content) {
        if (ch == '\x1A')
            break;
        if (ch == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line += ch;
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

// A stream framed without times: one framer per direction, ended at the close. The
// framers are timed by position in the text, so that the records can be put back in the
// order of their first octets; the text has no times of its own.
class CTextFramer {
public:
    explicit CTextFramer(std::vector<LineRecord>& records) : m_Records(records) {}

    void Add(Direction dir, const std::vector<std::uint8_t>& octets)
    {
        const std::int64_t t = m_nPosition;
        m_nPosition += static_cast<std::int64_t>(octets.size());
        Framer(dir).Add(octets.data(), static_cast<int>(octets.size()), 0, t, t, m_Framed);
    }
    void End(Direction dir) { Framer(dir).Flush(0, m_Framed, true); }
    // Every record, in the order of the text, without the stand-in times.
    void Finish()
    {
        End(Direction::Sent);
        End(Direction::Received);
        std::stable_sort(m_Framed.begin(), m_Framed.end(),
                         [](const LineRecord& a, const LineRecord& b) { return a.tMonoUs < b.tMonoUs; });
        for (LineRecord& r : m_Framed) {
            r.tMonoUs = r.tMonoEndUs = 0;
            m_Records.push_back(std::move(r));
        }
        m_Framed.clear();
    }

private:
    static constexpr std::int64_t kNever = std::int64_t{1} << 62;  // no silence ends a frame
    CTapFramer& Framer(Direction dir) { return dir == Direction::Sent ? m_Sent : m_Received; }

    std::vector<LineRecord>& m_Records;
    std::vector<LineRecord> m_Framed;
    std::int64_t m_nPosition = 1;
    CTapFramer m_Sent{1, Direction::Sent, kNever};
    CTapFramer m_Received{1, Direction::Received, kNever};
};

}  // namespace

bool ReadCapture(const std::string& content, std::vector<LineRecord>& records, std::string&)
{
    // A window's text: "=> " and "R> " lead what was sent, "<= " what was received; octets
    // are "%02X " items, other words (time-outs, notes) are skipped.
    CTextFramer framer(records);
    Direction dir = Direction::Received;
    for (const std::string& line : Lines(content)) {
        std::vector<std::uint8_t> octets;
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && line[i] == ' ')
                ++i;
            std::size_t j = i;
            while (j < line.size() && line[j] != ' ')
                ++j;
            const std::string word = line.substr(i, j - i);
            i = j;
            if (word == "=>" || word == "R>" || word == "<=") {
                framer.Add(dir, octets);
                octets.clear();
                const Direction next = word == "<=" ? Direction::Received : Direction::Sent;
                if (next == Direction::Sent)
                    framer.End(Direction::Sent);  // each send is a frame of its own
                dir = next;
            } else if (word.size() == 2 && HexDigit(word[0]) >= 0 && HexDigit(word[1]) >= 0) {
                octets.push_back(static_cast<std::uint8_t>(HexDigit(word[0]) << 4 | HexDigit(word[1])));
            }
        }
        framer.Add(dir, octets);
    }
    framer.Finish();
    // A window keeps only its newest text, so its first octets may have lost their
    // prefix; a frame's DIR bit says who sent it in any case.
    for (LineRecord& r : records) {
        SetDirectionByDirBit(r);
        r.PortName = "capture";
    }
    return true;
}

bool ReadHex(const std::string& content, std::vector<LineRecord>& records, std::string& reason)
{
    int nLine = 0;
    for (const std::string& line : Lines(content)) {
        ++nLine;
        std::vector<std::uint8_t> octets;
        int nHigh = -1;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char ch = line[i];
            if (ch == '#')
                break;  // a comment to the end of the line
            if (ch == ' ' || ch == '\t' || ch == ',' || ch == ':' || ch == '-')
                continue;
            if (ch == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X') && nHigh < 0) {
                ++i;
                continue;
            }
            const int nDigit = HexDigit(ch);
            if (nDigit < 0) {
                reason = "line " + std::to_string(nLine) + ": '" + std::string(1, ch) + "' is not a hex digit";
                return false;
            }
            if (nHigh < 0) {
                nHigh = nDigit;
            } else {
                octets.push_back(static_cast<std::uint8_t>(nHigh << 4 | nDigit));
                nHigh = -1;
            }
        }
        if (nHigh >= 0) {
            reason = "line " + std::to_string(nLine) + ": an odd number of hex digits";
            return false;
        }
        // Each line is framed on its own; a frame's direction is its DIR bit.
        std::vector<LineRecord> framed;
        CTapFramer framer(1, Direction::Received, 1);
        framer.Add(octets.data(), static_cast<int>(octets.size()), 0, 0, 0, framed);
        framer.Flush(0, framed, true);
        for (LineRecord& r : framed) {
            SetDirectionByDirBit(r);
            r.PortName = "hex";
            records.push_back(std::move(r));
        }
    }
    return true;
}

void SetDirectionByDirBit(LineRecord& record)
{
    if (record.Octets.size() >= 4 && record.Octets[0] == 0x05 && record.Octets[1] == 0x64)
        record.dir = (record.Octets[3] & 0x80) != 0 ? Direction::Sent : Direction::Received;
}

InputKind DetectInput(const std::string& content)
{
    if (content.size() >= 4) {
        const auto magic = static_cast<std::uint32_t>(static_cast<unsigned char>(content[0]) |
                                                      static_cast<unsigned char>(content[1]) << 8 |
                                                      static_cast<unsigned char>(content[2]) << 16 |
                                                      static_cast<std::uint32_t>(static_cast<unsigned char>(content[3])) << 24);
        for (const std::uint32_t known : {0xA1B2C3D4u, 0xD4C3B2A1u, 0xA1B23C4Du, 0x4D3CB2A1u, 0x0A0D0D0Au})
            if (magic == known)
                return InputKind::Pcap;
    }
    for (const std::string& line : Lines(content.substr(0, 65536)))
        if (line.rfind("=> ", 0) == 0 || line.rfind("R> ", 0) == 0 || line.rfind("<= ", 0) == 0)
            return InputKind::Capture;
    return InputKind::Hex;
}

bool ReadRecords(const std::string& content, std::vector<LineRecord>& records, std::string& reason)
{
    switch (DetectInput(content)) {
    case InputKind::Pcap:
        return ReadPcap(content, records, reason);
    case InputKind::Capture:
        return ReadCapture(content, records, reason);
    case InputKind::Hex:
        break;
    }
    return ReadHex(content, records, reason);
}

}  // namespace qdec
