#include <gtest/gtest.h>

#include <string>

#include "decode/Frame.h"
#include "support/Frames.h"
#include "support/Hex.h"

using namespace qdec;

namespace {

LineRecord Record(const std::string& hex, Direction dir = Direction::Sent, RecordKind kind = RecordKind::Frame)
{
    LineRecord r;
    r.kind = kind;
    r.dir = dir;
    r.Octets = FromHex(hex);
    return r;
}

// Every line of the description after the frame line, without the octets.
std::string Layers(const FrameDescription& d)
{
    std::string text;
    for (const Item& item : d.Items)
        text += std::string(static_cast<std::size_t>(item.nDepth) * 2, ' ') + (item.bFault ? "! " : "") + item.Text +
                "\n";
    return text;
}

const char kReadClass0[] = "05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E0";
const char kResetLink[] = "05 64 05 C0 36 00 AE 0C A7 07";

}  // namespace

TEST(DecodeTest, ReadOfClassOneReadsLikeTheProtocol)
{
    CStreamDecoder decoder;
    const FrameDescription d = decoder.Describe(Record(kReadClass0));
    EXPECT_EQ(Layers(d),
              "  link 05 64 len 11  ctrl C4 DIR PRM FCB=0 FCV=0  UNCONFIRMED_USER_DATA (4)  dest 54  src 3246  "
              "header CRC ok\n"
              "    user data 6 octets in 1 block, CRC ok\n"
              "  transport C0 FIR FIN seq 0\n"
              "  application C0 FIR FIN seq 0  READ (1)\n"
              "    60.2 Class Objects - Class 1 Data  qualifier 06 (all)\n");
    EXPECT_EQ(d.Summary, "UNCONFIRMED_USER_DATA 3246→54  READ seq 0  60.2");
    EXPECT_EQ(d.CrcText, "ok");
    EXPECT_FALSE(d.bFault);
    EXPECT_EQ(CsvRow(d), "-,,COM2,sent,18,UNCONFIRMED_USER_DATA,54,3246,ok,FIR FIN seq 0,READ,0,,60.2");
}

TEST(DecodeTest, LinkOnlyFramesNameTheirFunction)
{
    CStreamDecoder decoder;
    struct Case {
        const char* pszHex;
        const char* pszSummary;
    } const cases[] = {
        {kResetLink, "RESET_LINK_STATES 3246→54"},
        {"05 64 05 C9 36 00 AE 0C E8 71", "REQUEST_LINK_STATUS 3246→54"},
        {"05 64 05 80 36 00 AE 0C 1D 37", "ACK 3246→54"},
        {"05 64 05 8B 36 00 AE 0C 5E 07", "LINK_STATUS 3246→54"},
        {"05 64 05 C0 01 00 00 04 E9 21", "RESET_LINK_STATES 1024→1"},
    };
    for (const Case& c : cases) {
        const FrameDescription d = decoder.Describe(Record(c.pszHex));
        EXPECT_EQ(d.Summary, c.pszSummary) << c.pszHex;
        EXPECT_EQ(d.CrcText, "ok") << c.pszHex;
    }
}

TEST(DecodeTest, CrcFailuresNameTheBlockAndTheExpectedValue)
{
    CStreamDecoder decoder;
    const FrameDescription header = decoder.Describe(Record("05 64 05 C0 36 00 AE 0C A7 08"));
    EXPECT_EQ(header.CrcText, "header CRC 08A7, expected 07A7");
    EXPECT_TRUE(header.bFault);
    const FrameDescription block = decoder.Describe(Record("05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E1"));
    EXPECT_EQ(block.CrcText, "block 1 CRC E154, expected E054");
    EXPECT_NE(Layers(block).find("! user data not taken: CRC failure"), std::string::npos);
    EXPECT_FALSE(block.App.bPresent);
}

namespace {

std::string AppLines(const std::string& fragmentHex, TimeConvention convention = TimeConvention::MonthRelative)
{
    const std::vector<std::uint8_t> fragment = FromHex(fragmentHex);
    const AppInfo app = DecodeApplication(fragment, convention);
    std::string text;
    for (const Item& item : app.Items)
        text += std::string(static_cast<std::size_t>(item.nDepth) * 2, ' ') + (item.bFault ? "! " : "") + item.Text +
                "\n";
    return text;
}

}  // namespace

TEST(DecodeTest, ResponsesNameTheirIinObjectsAndPoints)
{
    struct Case {
        const char* pszName;
        const char* pszFragment;
        const char* pszLines;
    } const cases[] = {
        {"binary events with absolute time, 16-bit indexes",
         "E3 81 90 00 02 02 28 02 00 05 00 81 C0 65 52 00 00 00 07 00 00 00 00 00 00 00 00",
         "  application E3 FIR FIN CON seq 3  RESPONSE (129)  IIN 9000 NEED_TIME DEVICE_RESTART\n"
         "    2.2 Binary Input Event - With Absolute Time  qualifier 28 (count 2, 2-octet index)\n"
         "      [5] value 1  time 01:30:00.000 (raw 5400000)  flags 81 ONLINE\n"
         "      [7] value 0  time 00:00:00.000 (raw 0)  flags 00\n"},
        {"analog events and values, 8-bit forms",
         "C0 81 00 00 20 02 17 01 03 01 FE FF 1E 02 00 00 01 01 10 00 01 00 80",
         "  application C0 FIR FIN seq 0  RESPONSE (129)  IIN 0000\n"
         "    32.2 Analog Input Event - 16-bit  qualifier 17 (count 1, 1-octet index)\n"
         "      [3] value -2  flags 01 ONLINE\n"
         "    30.2 Analog Input - 16-bit With Flag  qualifier 00 (start 0, stop 1)\n"
         "      [0] value 16  flags 01 ONLINE\n"
         "      [1] value -32768  flags 01 ONLINE\n"},
        {"relative times after a CTO",
         "C1 81 00 00 33 01 07 01 E8 03 00 00 00 00 02 03 28 01 00 09 00 01 0A 00",
         "  application C1 FIR FIN seq 1  RESPONSE (129)  IIN 0000\n"
         "    51.1 Time and Date CTO - Absolute Time, Synchronized  qualifier 07 (count 1)\n"
         "      [0] time day 1 00:00:01.000 (raw 1000)\n"
         "    2.3 Binary Input Event - With Relative Time  qualifier 28 (count 1, 2-octet index)\n"
         "      [9] value 0  time CTO+10 ms = 00:00:01.010  flags 01 ONLINE\n"},
        {"control echo",
         "C2 81 00 00 0C 01 28 01 00 02 00 41 01 E8 03 00 00 00 00 00 00 00",
         "  application C2 FIR FIN seq 2  RESPONSE (129)  IIN 0000\n"
         "    12.1 Control Relay Output Block  qualifier 28 (count 1, 2-octet index)\n"
         "      [2] code 41 PULSE_ON CLOSE, count 1, on 1000 ms, off 0 ms, status 0 SUCCESS\n"},
        {"counters and the delay",
         "C3 81 00 00 14 01 01 00 00 00 00 01 78 56 34 12 34 02 07 01 2C 01",
         "  application C3 FIR FIN seq 3  RESPONSE (129)  IIN 0000\n"
         "    20.1 Counter - 32-bit With Flag  qualifier 01 (start 0, stop 0)\n"
         "      [0] value 305419896  flags 01 ONLINE\n"
         "    52.2 Time Delay - Fine  qualifier 07 (count 1)\n"
         "      [0] delay 300 ms\n"},
        {"IIN object written by the master, packed bits",
         "C4 02 50 01 00 07 07 00",
         "  application C4 FIR FIN seq 4  WRITE (2)\n"
         "    80.1 Internal Indications - Packed Format  qualifier 00 (start 7, stop 7)\n"
         "      [7] 0\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppLines(c.pszFragment), c.pszLines) << c.pszName;
}

TEST(DecodeTest, MalformedFragmentsAreDescribedUpToTheFaultNamed)
{
    struct Case {
        const char* pszFragment;
        const char* pszFault;
    } const cases[] = {
        {"C0", "application header cut short (1 octets)"},
        {"C0 81 00", "IIN cut short"},
        {"C0 81 00 00 1E", "object header cut short"},
        {"C0 81 00 00 1E 02 01 00", "object 30.2: range field cut short"},
        {"C0 81 00 00 1E 02 00 05 01", "object 30.2: stop 1 before start 5"},
        {"C0 81 00 00 1E 02 00 00 03 01 10 00", "object 30.2 runs past the end: 1 of 4 points"},
        {"C0 81 00 00 1E 63 00 00 03 01", "object 30.99: variation not known, the rest cannot be read"},
        {"C0 81 00 00 01 02 7F", "qualifier 7F: reserved prefix code"},
        {"C0 81 00 00 01 01 0C 00", "qualifier 0C: reserved range code"},
        {"C0 81 00 00 01 01 01 00 00 FF FF", "packed bits run past the end: 0 of 65536 points"},
        {"C0 81 00 00 01 01 28 01 00", "object 1.1: packed bits cannot carry indexes"},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> fragment = FromHex(c.pszFragment);
        EXPECT_EQ(DecodeApplication(fragment, TimeConvention::MonthRelative).Fault, c.pszFault) << c.pszFragment;
    }
}

TEST(DecodeTest, TimesFollowTheConventionTheMasterIsSetTo)
{
    // 2026-03-10 12:00:00.000 UTC written by an IEEE 1815 RTU.
    const char kWrite[] = "C5 02 32 01 07 01 00 46 9E D7 9C 01";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_NE(AppLines(kWrite, TimeConvention::Utc).find("time 2026-03-10 12:00:00.000"), std::string::npos);
    EXPECT_NE(AppLines(kWrite, TimeConvention::MonthRelative).find("(beyond a month"), std::string::npos);
    EXPECT_EQ(EventTimeText(1'773'144'000'000ULL, TimeConvention::MonthRelative), "20:51:14.048");
    unsetenv("TZ");
    tzset();
}

TEST(DecodeTest, SegmentsMakeFragmentsPerDirectionAndStraySegmentsAreSaid)
{
    CStreamDecoder decoder;
    // A response in two segments, with a request of the master between them.
    const std::string first = FrameHex(0x44, 3246, 54, "40 E0 81 00 00 1E 02 00 00 01 01 10 00");
    const std::string second = FrameHex(0x44, 3246, 54, "81 01 20 00");
    const FrameDescription a = decoder.Describe(Record(first, Direction::Received));
    EXPECT_FALSE(a.bFragment);
    EXPECT_NE(a.Summary.find("segment FIR seq 0, fragment continues"), std::string::npos);
    const FrameDescription request = decoder.Describe(Record(kReadClass0));
    EXPECT_TRUE(request.bFragment);
    const FrameDescription b = decoder.Describe(Record(second, Direction::Received));
    ASSERT_TRUE(b.bFragment);
    EXPECT_EQ(b.nSegments, 2);
    EXPECT_EQ(b.App.ObjectSummary, "30.2×2");
    EXPECT_TRUE(b.App.Fault.empty()) << b.App.Fault;
    // The same second segment again: nothing under way now.
    const FrameDescription stray = decoder.Describe(Record(second, Direction::Received));
    EXPECT_FALSE(stray.bFragment);
    EXPECT_TRUE(stray.bFault);
    EXPECT_NE(Layers(stray).find("stray segment (no FIR before it), seq 1"), std::string::npos);
}

TEST(DecodeTest, NoiseCutsAndLossesStandOut)
{
    CStreamDecoder decoder;
    const FrameDescription noise = decoder.Describe(Record("FF 00", Direction::Received, RecordKind::Noise));
    EXPECT_EQ(noise.Summary, "noise, 2 octets");
    const FrameDescription cut =
        decoder.Describe(Record("05 64 0B C4 36 00 AE 0C BA 7A C0 C0", Direction::Sent, RecordKind::Truncated));
    EXPECT_EQ(cut.Summary, "cut short (UNCONFIRMED_USER_DATA 3246→54)");
    EXPECT_NE(Layers(cut).find("frame cut short: 12 of 18 octets"), std::string::npos);
    LineRecord lost;
    lost.kind = RecordKind::Lost;
    lost.nLost = 4096;
    EXPECT_EQ(decoder.Describe(lost).Summary, "4096 octets lost by the line tap");
    for (const FrameDescription* d : {&noise, &cut})
        EXPECT_TRUE(d->bFault);
}
