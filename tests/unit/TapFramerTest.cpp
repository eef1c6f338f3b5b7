#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/TapFramer.h"
#include "support/Hex.h"

using qdec::Direction;
using qdec::LineRecord;
using qdec::RecordKind;

namespace {

const char kReset[] = "05 64 05 C0 36 00 AE 0C A7 07";
const char kRead[] = "05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E0";
constexpr std::int64_t kSilenceUs = 500'000;

// "F:10 N:2 T:12" — the kind and size of each record.
std::string Kinds(const std::vector<LineRecord>& records)
{
    std::string text;
    for (const LineRecord& r : records) {
        if (!text.empty())
            text += ' ';
        text += r.kind == RecordKind::Frame ? "F" : r.kind == RecordKind::Noise ? "N" : r.kind == RecordKind::Truncated ? "T" : "L";
        text += ":" + std::to_string(r.Octets.size());
    }
    return text;
}

// The stream given in pieces of nPiece octets 1 ms apart, then a long silence.
std::string Frame(const std::string& hex, int nPiece = 1000)
{
    CTapFramer framer(1, Direction::Received, kSilenceUs);
    const std::vector<std::uint8_t> octets = FromHex(hex);
    std::vector<LineRecord> out;
    std::int64_t t = 1'000'000;
    for (std::size_t i = 0; i < octets.size(); i += static_cast<std::size_t>(nPiece), t += 1000) {
        const int n = std::min<int>(nPiece, static_cast<int>(octets.size() - i));
        framer.Add(&octets[i], n, t, t, t, out);
    }
    framer.Flush(t + kSilenceUs, out);
    return Kinds(out);
}

}  // namespace

TEST(TapFramerTest, FramesNoiseAndCutsAreToldApartHoweverTheLineDeliversThem)
{
    struct Case {
        std::string hex;
        const char* pszRecords;
    } const cases[] = {
        {std::string(kReset) + " " + kRead, "F:10 F:18"},
        {std::string("FF 00 ") + kReset, "N:2 F:10"},
        {std::string("FF 05 ") + kReset, "N:2 F:10"},  // 05 05 64: the frame starts at the second 05
        {std::string(kRead).substr(0, 12 * 3), "T:12"},  // cut by the silence
        {std::string(kRead).substr(0, 12 * 3) + kReset, "T:12 F:10"},  // cut by the next header
        {"05 64 05 C0 36 00 AE 0C A7 08", "F:10"},  // header CRC wrong: still a frame by its LEN
        {"05 64 FF C4 36 00 AE 0C 00 00 01 02 03 " + std::string(kReset), "T:13 F:10"},  // a bad LEN cannot swallow
        {std::string(kReset) + " 00 00 00", "F:10 N:3"},
        {"05 64", "T:2"},
        {"05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 05 64", "F:18"},  // start octets as its CRC
        {"05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 05 64 00", "F:18 N:1"},
    };
    for (const Case& c : cases)
        for (const int nPiece : {1, 3, 7, 1000})
            EXPECT_EQ(Frame(c.hex, nPiece), c.pszRecords) << c.hex << " in pieces of " << nPiece;
}

TEST(TapFramerTest, APauseWithinAFrameShorterThanTheSilenceKeepsItWhole)
{
    CTapFramer framer(1, Direction::Received, kSilenceUs);
    const std::vector<std::uint8_t> frame = FromHex(kRead);
    std::vector<LineRecord> out;
    framer.Add(frame.data(), 8, 1'000'000, 1'000'000, 1'000'000, out);
    framer.Flush(1'400'000, out);
    EXPECT_EQ(framer.Deadline(), 1'500'000);
    framer.Add(frame.data() + 8, 10, 1'450'000, 1'450'000, 1'460'000, out);
    ASSERT_EQ(Kinds(out), "F:18");
    EXPECT_EQ(out[0].tMonoUs, 1'000'000);
    EXPECT_EQ(out[0].tMonoEndUs, 1'460'000);
    EXPECT_EQ(framer.Deadline(), 0);
    // The same frame with the pause as long as the silence: two records.
    out.clear();
    framer.Add(frame.data(), 8, 2'000'000, 2'000'000, 2'000'000, out);
    framer.Add(frame.data() + 8, 10, 2'500'000, 2'500'000, 2'500'000, out);
    framer.Flush(3'100'000, out);
    EXPECT_EQ(Kinds(out), "T:8 N:10");
}

TEST(TapFramerTest, AFloodOfNoiseIsKeptInBoundedRecords)
{
    CTapFramer framer(0, Direction::Received, kSilenceUs);
    std::vector<std::uint8_t> noise(100'000, 0xAA);
    std::vector<LineRecord> out;
    framer.Add(noise.data(), static_cast<int>(noise.size()), 1, 1, 1, out);
    framer.Flush(1 + kSilenceUs, out);
    std::size_t nTotal = 0;
    for (const LineRecord& r : out) {
        EXPECT_EQ(r.kind, RecordKind::Noise);
        EXPECT_LE(r.Octets.size(), static_cast<std::size_t>(CTapFramer::kNoiseMax));
        nTotal += r.Octets.size();
    }
    EXPECT_EQ(nTotal, noise.size());
}
