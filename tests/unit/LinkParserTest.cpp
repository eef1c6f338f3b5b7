#include <gtest/gtest.h>

#include "dnp3/LinkParser.h"
#include "support/Frames.h"
#include "support/Hex.h"

namespace {

// Writes what the parser finds as one line: "|" a frame's end, "H <hex>" a header-only
// frame, "D <hex>" a frame's header and user data, "!" a bad frame.
class Recorder : public CLinkParser::IHandler {
public:
    void OnFrameEnd() override { Events += "| "; }
    void OnHeaderFrame(const std::uint8_t* p) override { Events += "H " + ToHex({p, p + 8}) + " "; }
    void OnDataFrame(const std::uint8_t* p, int n) override { Events += "D " + ToHex({p + 8, p + n}) + " "; }
    void OnBadFrame() override { Events += "! "; }
    bool TakesUserData() const override { return bTakes; }
    std::string Events;
    bool bTakes = true;
};

std::string Parse(const std::string& hex, bool bTakesUserData = true)
{
    Recorder recorder;
    recorder.bTakes = bTakesUserData;
    CLinkParser parser(recorder);
    for (const std::uint8_t by : FromHex(hex))
        parser.Receive(by);
    return recorder.Events;
}

std::string Spoil(const std::string& hex, std::size_t nOctet)
{
    std::vector<std::uint8_t> data = FromHex(hex);
    data.at(nOctet) ^= 0x01;
    return ToHex(data);
}

const std::string kStatus = FrameHex(0x49, 3246, 54);  // request link status, header only
const std::string kData = FrameHex(0x44, 3246, 54, "C0 C1 81 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D");

}  // namespace

TEST(LinkParserTest, FramesNoiseAndSpoiltOctetsAsTheLinkLayerSeesThem)
{
    const std::string kHeader = "H " + kStatus.substr(0, 3 * 8 - 1) + " ";
    const std::string kUserData = "D C0 C1 81 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D ";
    const struct {
        const char* what;
        std::string input;
        std::string events;
        bool bTakesUserData = true;
    } cases[] = {
        {"header-only frame", kStatus, "| " + kHeader},
        {"noise before it", "FF 05 00 64 " + kStatus, "| " + kHeader},
        {"user data, two blocks", kData, "| " + kUserData},
        {"user data refused", kData + " " + kStatus, "| " + kHeader, false},
        {"bad header CRC", Spoil(kStatus, 8), "| ! "},
        {"LEN below 5, then a frame", "05 64 04 " + kStatus, "! | " + kHeader},
        {"bad first block CRC, line left open", Spoil(kData, 26), "! "},
        {"bad last block CRC", Spoil(kData, static_cast<std::size_t>(FromHex(kData).size() - 1)), "| ! "},
        {"05 64 of noise just before a frame", "05 64 " + kStatus, "| ! | " + kHeader},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(c.input, c.bTakesUserData), c.events) << c.what;
}

TEST(LinkParserTest, AbandonedFrameLeavesTheNextWhole)
{
    Recorder recorder;
    CLinkParser parser(recorder);
    const std::vector<std::uint8_t> data = FromHex(kData);
    parser.Receive(data[0]);
    EXPECT_EQ(parser.MissingOctets(), 9) << "a header at least";
    parser.Receive(data[1]);
    EXPECT_EQ(parser.MissingOctets(), 8);
    for (std::size_t i = 2; i < 20; ++i)
        parser.Receive(data[i]);
    EXPECT_EQ(parser.MissingOctets(), static_cast<int>(data.size()) - 20);
    EXPECT_TRUE(parser.Abandon());
    EXPECT_FALSE(parser.Abandon()) << "nothing under way any more";
    for (const std::uint8_t by : data)
        parser.Receive(by);
    EXPECT_EQ(recorder.Events, "| D C0 C1 81 00 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D ");
    EXPECT_EQ(parser.MissingOctets(), 0);
}
