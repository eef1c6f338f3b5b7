#include <gtest/gtest.h>

#include "core/Clock.h"
#include "sim/SimDatabase.h"
#include "dnp3/LinkFrame.h"
#include "sim/Outstation.h"
#include "support/Hex.h"

namespace {

// The simulated RTU stepped directly: frames in, frames out.
class OutstationTest : public ::testing::Test {
protected:
    void Make(SimOptions options = {})
    {
        options.nChangeMs = 0;
        m_pRtu = std::make_unique<COutstation>(
            options,
            [this](const std::vector<std::uint8_t>& octets) {
                for (auto& frame : m_Reader.Push(octets.data(), static_cast<int>(octets.size())))
                    m_Frames.push_back(frame);
            },
            [this](const std::string& line) { m_Log.push_back(line); });
    }
    void SetUp() override { Make(); }

    void SendFrame(std::uint8_t byCtrl, const std::vector<std::uint8_t>& data = {}, int nDest = 54)
    {
        std::uint8_t frame[dl::kMaxFrameSize];
        const int n = BuildLinkFrame(byCtrl, nDest, 3246, data.data(), static_cast<int>(data.size()), frame);
        m_pRtu->Receive(frame, n);
    }
    // An application request in one segment of unconfirmed user data.
    void Request(const std::string& fragment)
    {
        std::vector<std::uint8_t> segment = FromHex(fragment);
        segment.insert(segment.begin(), static_cast<std::uint8_t>(0xC0 | (m_byTpSeq++ & 0x3F)));
        SendFrame(0xC4, segment);
    }
    // Control octets of the frames sent since the last call.
    std::vector<std::uint8_t> Controls()
    {
        std::vector<std::uint8_t> controls;
        for (const auto& frame : m_Frames)
            controls.push_back(frame[3]);
        m_Frames.clear();
        return controls;
    }
    // The response fragment, reassembled from its segments; checks their numbering.
    std::vector<std::uint8_t> Response()
    {
        std::vector<std::uint8_t> fragment;
        int nExpected = -1;
        for (const auto& frame : m_Frames) {
            const std::uint8_t th = frame[8];
            EXPECT_EQ(th & 0x40, fragment.empty() ? 0x40 : 0) << "FIR on the first segment only";
            if (nExpected >= 0) {
                EXPECT_EQ(th & 0x3F, nExpected) << "consecutive segments";
            }
            nExpected = ((th & 0x3F) + 1) % 64;
            fragment.insert(fragment.end(), frame.begin() + 9, frame.end());
            if ((th & 0x80) != 0)
                break;
        }
        m_Frames.clear();
        return fragment;
    }

    std::unique_ptr<COutstation> m_pRtu;
    CFrameAssembler m_Reader;
    std::vector<std::vector<std::uint8_t>> m_Frames;
    std::vector<std::string> m_Log;
    std::uint8_t m_byTpSeq = 0;
};

}  // namespace

TEST_F(OutstationTest, LinkServices)
{
    SendFrame(0xC3 | 0x30, {0xC0, 0xC0, 0x01, 0x3C, 0x02, 0x06});  // confirmed data before a reset
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x01});        // NACK
    SendFrame(0xC0);
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x00});  // ACK
    SendFrame(0xC9);
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x0B});  // link status
    SendFrame(0xF3, {0xC0, 0xC0, 0x01, 0x3C, 0x02, 0x06});  // FCB 1: ACK and a response
    EXPECT_EQ(Controls(), (std::vector<std::uint8_t>{0x00, 0x44}));
    SendFrame(0xF3, {0xC1, 0xC1, 0x01, 0x3C, 0x02, 0x06});  // the same FCB again: ACK only
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x00});
    SendFrame(0xC4, {}, 3246);                                // not addressed to us
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{});
    const std::uint8_t badCrc[] = {0x05, 0x64, 0x05, 0xC9, 0x36, 0x00, 0xAE, 0x0C, 0xE8, 0x72};
    m_pRtu->Receive(badCrc, sizeof badCrc);  // ignored, and said so
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{});
    ASSERT_FALSE(m_Log.empty());
    EXPECT_EQ(m_Log.back(), "frame with a bad CRC ignored");
}

TEST_F(OutstationTest, BusyRtuSetsDfcInItsAcks)
{
    SimOptions options;
    options.nBusyMs = 60000;
    Make(options);
    SendFrame(0xC0);
    SendFrame(0xC9);
    EXPECT_EQ(Controls(), (std::vector<std::uint8_t>{0x10, 0x1B}));
}

TEST_F(OutstationTest, LongResponsesGoOutInConsecutiveSegments)
{
    Request("C3 01 1E 02 06");  // 128 analogs: 4 + 7 + 384 octets
    const std::vector<std::uint8_t> response = Response();
    ASSERT_EQ(response.size(), 4u + 7 + 3 * 128);
    EXPECT_EQ(ToHex({response.begin(), response.begin() + 2}), "C3 81");
    EXPECT_EQ(response[2] & COutstation::IIN1_RESTART, COutstation::IIN1_RESTART);
    EXPECT_EQ(ToHex({response.begin() + 4, response.begin() + 11}), "1E 02 01 00 00 7F 00");
}

TEST_F(OutstationTest, QualifierStyles)
{
    SimOptions options;
    options.bCompact = true;
    Make(options);
    Request("C1 01 1E 02 06");
    const std::vector<std::uint8_t> response = Response();
    EXPECT_EQ(ToHex({response.begin() + 4, response.begin() + 9}), "1E 02 00 00 7F");  // 8-bit range
}

TEST_F(OutstationTest, EventsStayUntilTheMatchingConfirm)
{
    m_pRtu->Database().SetBinary(1, 0, 1000);  // point 1 starts off: no change
    m_pRtu->Database().SetBinary(2, 1, 1000);  // class 1
    Request("C5 01 3C 02 06");
    std::vector<std::uint8_t> response = Response();
    EXPECT_EQ(response[0], 0xE5);  // CON, sequence 5
    EXPECT_EQ(ToHex({response.begin() + 4, response.end()}), "02 02 28 01 00 02 00 81 E8 03 00 00 00 00");
    Request("C6 00");  // a confirm with the wrong sequence releases nothing
    Request("C7 01 3C 02 06");
    response = Response();
    ASSERT_EQ(response[0], 0xE7);
    // Sent again, this time with a CTO (unsynchronised: nobody set the clock) and a
    // relative time.
    EXPECT_EQ(ToHex({response.begin() + 4, response.end()}), "33 02 07 01 E8 03 00 00 00 00 02 03 28 01 00 02 00 81 00 00");
    Request("C7 00");
    Request("C8 01 3C 02 06");
    response = Response();
    EXPECT_EQ(response[0], 0xC8);  // nothing left, no confirm asked
    EXPECT_EQ(response.size(), 4u);
}

// Its clock in IEEE 1815 UTC: what the master writes, from the first octet of the write
// on; before that its own, off the computer's by the offset, with IIN1.4 and unsynchronised
// CTOs. An RTU set by GPS never asks and keeps its own.
TEST_F(OutstationTest, UtcClockIsSetByTheWriteOrKeptWhenSetByOtherMeans)
{
    constexpr std::uint64_t kWritten = 1'773'144'000'000;  // 2026-03-10 12:00:00.000 UTC
    constexpr long long kThreeHours = 3 * 3'600'000;
    constexpr long long kSlackMs = 60'000;  // the real time a test takes, generously
    const auto offComputer = [this] { return static_cast<long long>(m_pRtu->RtuTime()) - static_cast<long long>(UtcMs()); };
    for (const bool bNoTimeSync : {false, true}) {
        SimOptions options;
        options.bUtcTime = true;
        options.nClockOffsetS = -3 * 3600;
        options.bNoTimeSync = bNoTimeSync;
        Make(options);
        EXPECT_NEAR(offComputer(), -kThreeHours, kSlackMs);
        m_pRtu->Database().SetBinary(2, 1, m_pRtu->RtuTime());
        Request("C0 01 3C 02 07 01");  // one event, with its 48-bit time
        std::vector<std::uint8_t> response = Response();
        ASSERT_EQ(response.size(), 4u + 14);
        EXPECT_EQ(response[2] & COutstation::IIN1_NEED_TIME, bNoTimeSync ? 0 : COutstation::IIN1_NEED_TIME);
        const std::vector<std::uint8_t> stamp(response.begin() + 12, response.end());
        EXPECT_EQ(ToHex(stamp), Time48Hex(m_pRtu->Database().History().back().qwTime));
        EXPECT_NE(stamp[5] | stamp[4], 0) << "all 48 bits";

        Request("C1 02 32 01 07 01 " + Time48Hex(kWritten));
        response = Response();
        if (bNoTimeSync) {
            EXPECT_NEAR(offComputer(), -kThreeHours, kSlackMs) << "the write is ignored";
            EXPECT_NE(m_Log.back().find("ignored"), std::string::npos) << m_Log.back();
        } else {
            EXPECT_NEAR(static_cast<long long>(m_pRtu->RtuTime()), static_cast<long long>(kWritten), kSlackMs);
            EXPECT_EQ(response[2] & COutstation::IIN1_NEED_TIME, 0);
            EXPECT_NE(m_Log.back().find("clock set to 1773144000000 ms"), std::string::npos) << m_Log.back();
        }
        // Events after it: a CTO, synchronised either way now.
        m_pRtu->Database().SetBinary(3, 1, m_pRtu->RtuTime());
        Request("C2 00");  // the confirm releases the first event
        Request("C3 01 3C 02 06");
        response = Response();
        ASSERT_GE(response.size(), 8u);
        EXPECT_EQ(ToHex({response.begin() + 4, response.begin() + 8}), "33 01 07 01");
        Request("C3 00");

        // The delay measurement answers with its turnaround in milliseconds.
        Request("C4 17");
        response = Response();
        ASSERT_EQ(response.size(), 4u + 6);
        EXPECT_EQ(ToHex({response.begin() + 4, response.begin() + 8}), "34 02 07 01");
        EXPECT_LT(response[8] | response[9] << 8, 1000);
    }
}

TEST_F(OutstationTest, SelectBeforeOperateAsTheStandardSays)
{
    ScopedFakeClock clock;
    const std::string block = "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00";
    const std::string trip = "0C 01 28 01 00 05 00 80 01 E8 03 00 00 00 00 00 00 00";
    const std::string longer = "0C 01 28 01 00 05 00 40 01 E9 03 00 00 00 00 00 00 00";
    const struct {
        const char* what;
        std::vector<std::string> requests;  // the last one's echo is checked
        int nStatus;
        int nSecondsBefore = 0;             // before the last request
    } cases[] = {
        {"operate without a select", {"C0 04 " + block}, 2},
        {"select", {"C0 03 " + block}, 0},
        {"select then operate", {"C0 03 " + block, "C1 04 " + block}, 0},
        {"another control code", {"C0 03 " + block, "C1 04 " + trip}, 2},
        {"another on-time", {"C0 03 " + block, "C1 04 " + longer}, 2},
        {"not the next sequence", {"C0 03 " + block, "C2 04 " + block}, 2},
        {"a request between", {"C0 03 " + block, "C9 01 3C 02 06", "C1 04 " + block}, 2},
        {"the select expired", {"C0 03 " + block, "C1 04 " + block}, 1, 11},
        {"in time", {"C0 03 " + block, "C1 04 " + block}, 0, 10},
        {"an operate uses up its select", {"C0 03 " + block, "C1 04 " + block, "C2 04 " + block}, 2},
        {"a point the RTU lacks", {"C0 03 0C 01 28 01 00 00 04 40 01 E8 03 00 00 00 00 00 00 00"}, 4},
    };
    for (const auto& c : cases) {
        Make();
        std::vector<std::uint8_t> echo;
        for (std::size_t i = 0; i < c.requests.size(); ++i) {
            if (i + 1 == c.requests.size())
                clock.AdvanceSeconds(c.nSecondsBefore);
            Request(c.requests[i]);
            echo = Response();
        }
        ASSERT_FALSE(echo.empty()) << c.what;
        EXPECT_EQ(echo.back(), c.nStatus) << c.what;
    }
    // A successful close sets the input the relay drives.
    Make();
    Request("C0 03 " + block);
    Request("C1 04 " + block);
    Response();
    EXPECT_EQ(m_pRtu->Database().Yx(5), 1);
}

TEST_F(OutstationTest, UnsupportedFunctionsAndTheRestartIndication)
{
    Request("C4 0D");  // cold restart is not offered
    const std::vector<std::uint8_t> response = Response();
    EXPECT_EQ(response[3] & COutstation::IIN2_NO_FUNC, COutstation::IIN2_NO_FUNC);
    Request("C5 02 50 01 00 07 07 00");  // clear the restart indication
    EXPECT_EQ(Response()[2] & COutstation::IIN1_RESTART, 0);
}

TEST(SimCommandLineTest, OptionsAndErrors)
{
    EXPECT_EQ(ParseSimCommandLine({"/dev/pts/7"}).Options.nBaudRate, 1200) << "the master's default line speed";
    SimCommandLine cl = ParseSimCommandLine({"/dev/pts/7", "--baud", "1200", "--compact-qualifiers", "--busy",
                                             "--silent-after", "3", "--drop-octets", "5"});
    ASSERT_EQ(cl.Error, "");
    EXPECT_EQ(cl.Device, "/dev/pts/7");
    EXPECT_EQ(cl.Options.nBaudRate, 1200);
    EXPECT_TRUE(cl.Options.bCompact);
    EXPECT_EQ(cl.Options.nBusyMs, 6000);
    EXPECT_EQ(cl.Options.nSilentAfter, 3);
    EXPECT_EQ(cl.Options.nDropPercent, 5);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {}, {"/dev/x", "--baud"}, {"/dev/x", "--baud", "fast"}, {"/dev/x", "--drop-octets", "101"},
             {"/dev/x", "--frobnicate"}, {"/dev/x", "/dev/y"}}) {
        const SimCommandLine c = ParseSimCommandLine(bad);
        EXPECT_FALSE(c.Error.empty()) << (bad.empty() ? "(none)" : bad.back());
        EXPECT_EQ(c.Error.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(ParseSimCommandLine({"--help"}).bHelp);

    cl = ParseSimCommandLine({"/dev/x", "--fragment", "249", "--analog-class", "1", "--malformed", "group",
                              "--operate-fail", "--reply-delay-ms", "5000", "--restart-after", "20"});
    ASSERT_EQ(cl.Error, "");
    EXPECT_EQ(cl.Options.nFragment, 249);
    EXPECT_EQ(cl.Options.nAnalogClass, 1);
    EXPECT_EQ(cl.Options.nMalformed, SimOptions::MALFORMED_GROUP);
    EXPECT_TRUE(cl.Options.bOperateFail);
    EXPECT_EQ(cl.Options.nReplyDelayMs, 5000);
    EXPECT_EQ(cl.Options.nRestartAfter, 20);
    cl = ParseSimCommandLine({"/dev/x", "--time", "utc", "--clock-offset", "-10800", "--no-time-sync"});
    ASSERT_EQ(cl.Error, "");
    EXPECT_TRUE(cl.Options.bUtcTime);
    EXPECT_EQ(cl.Options.nClockOffsetS, -10800);
    EXPECT_TRUE(cl.Options.bNoTimeSync);
    EXPECT_FALSE(ParseSimCommandLine({"/dev/x"}).Options.bUtcTime) << "the master's default convention";
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"/dev/x", "--malformed", "badly"}, {"/dev/x", "--malformed"}, {"/dev/x", "--fragment", "10"},
             {"/dev/x", "--binary-class", "4"}, {"/dev/x", "--time", "gps"}, {"/dev/x", "--clock-offset", "1e9"}})
        EXPECT_FALSE(ParseSimCommandLine(bad).Error.empty()) << bad[1];
}

namespace {

// The octets of the objects in a response fragment, as hex.
std::string Objects(const std::vector<std::uint8_t>& response)
{
    return response.size() > 4 ? ToHex({response.begin() + 4, response.end()}) : "";
}

}  // namespace

TEST_F(OutstationTest, ClassZeroReturnsEveryStaticObject)
{
    Request("C1 01 3C 01 06");
    const std::string objects = Objects(Response());
    // Binary inputs with status, counters, frozen counters, analogs: all of each.
    std::size_t nAt = 0;
    for (const char* header : {"01 02 01 00 00 7F 00", "14 01 01 00 00 3F 00", "15 01 01 00 00 3F 00",
                               "1E 02 01 00 00 7F 00"}) {
        const std::size_t nFound = objects.find(header, nAt);
        ASSERT_NE(nFound, std::string::npos) << header;
        nAt = nFound;
    }
    EXPECT_EQ(objects.size(), (135u + 327 + 327 + 391) * 3 - 1);
}

TEST_F(OutstationTest, StaticReadsHonourTheirRangeOrCount)
{
    const struct {
        const char* request;
        const char* header;  // of the object answered; empty: none
        std::size_t nPoints;
        int nIin2;
    } cases[] = {
        {"1E 02 06", "1E 02 01 00 00 7F 00", 128, 0},
        {"1E 02 00 05 09", "1E 02 01 05 00 09 00", 5, 0},
        {"1E 02 01 05 00 09 00", "1E 02 01 05 00 09 00", 5, 0},
        {"1E 02 01 7E 00 FF 00", "1E 02 01 7E 00 7F 00", 2, 0},  // clipped to the points there are
        {"1E 02 07 03", "1E 02 01 00 00 02 00", 3, 0},
        {"1E 02 08 03 00", "1E 02 01 00 00 02 00", 3, 0},
        {"1E 02 01 00 02 00 03", "", 0, COutstation::IIN2_PARAMETER},  // none of these points
        {"1E 02 01 09 00 05 00", "", 0, COutstation::IIN2_PARAMETER},  // stop before start
        {"1E 02 05", "", 0, COutstation::IIN2_PARAMETER},              // a qualifier not offered
        {"1E 01 06", "", 0, COutstation::IIN2_OBJECT_UNKNOWN},          // 32-bit analogs: none
        {"46 01 06", "", 0, COutstation::IIN2_OBJECT_UNKNOWN},          // file transfer
    };
    for (const auto& c : cases) {
        Request(std::string("C1 01 ") + c.request);
        const std::vector<std::uint8_t> response = Response();
        ASSERT_GE(response.size(), 4u) << c.request;
        EXPECT_EQ(response[3] & 0x0F, c.nIin2) << c.request;
        const std::string objects = Objects(response);
        if (*c.header == '\0') {
            EXPECT_EQ(objects, "") << c.request;
            continue;
        }
        EXPECT_EQ(objects.substr(0, 20), c.header) << c.request;
        EXPECT_EQ(objects.size(), (7 + 3 * c.nPoints) * 3 - 1) << c.request;
    }
}

TEST_F(OutstationTest, LargeResponsesGoOutInFragmentsEachAfterItsConfirm)
{
    SimOptions options;
    options.nYc = 1024;
    options.nFragment = 249;
    Make(options);
    Request("C3 01 1E 02 06");  // 1024 analogs: about 3 kB
    std::vector<int> points;
    std::uint8_t bySeq = 3;
    for (int nFragment = 0;; ++nFragment) {
        const std::vector<std::uint8_t> response = Response();
        ASSERT_GE(response.size(), 4u);
        ASSERT_LE(response.size(), 249u);
        const bool bFin = (response[0] & 0x40) != 0;
        EXPECT_EQ(response[0] & 0x80, nFragment == 0 ? 0x80 : 0) << "FIR on the first only";
        EXPECT_EQ(response[0] & 0x20, bFin ? 0 : 0x20) << "CON on every fragment but the last";
        EXPECT_EQ(response[0] & 0x0F, bySeq) << nFragment;
        for (std::size_t p = 4; p < response.size();) {  // 30.2 objects, 16-bit ranges
            ASSERT_EQ(ToHex({response.begin() + static_cast<long>(p), response.begin() + static_cast<long>(p) + 3}),
                      "1E 02 01");
            const int nStart = response[p + 3] | (response[p + 4] << 8);
            const int nStop = response[p + 5] | (response[p + 6] << 8);
            for (int i = nStart; i <= nStop; ++i)
                points.push_back(i);
            p += 7 + 3 * static_cast<std::size_t>(nStop - nStart + 1);
        }
        if (bFin)
            break;
        Request(ToHex({static_cast<std::uint8_t>(0xC0 | ((bySeq + 1) & 0x0F)), 0x00}));  // wrong sequence
        EXPECT_TRUE(m_Frames.empty()) << "the next fragment waits for the right confirm";
        Request(ToHex({static_cast<std::uint8_t>(0xC0 | bySeq), 0x00}));
        bySeq = (bySeq + 1) & 0x0F;
    }
    ASSERT_EQ(points.size(), 1024u);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(points[static_cast<std::size_t>(i)], i);

    // A new request abandons the rest of a response.
    Request("C5 01 1E 02 06");
    Response();
    Request("C0 01 3C 02 06");
    Response();
    Request("C5 00");
    EXPECT_TRUE(m_Frames.empty());
}

TEST_F(OutstationTest, EventsComeInTheOrderTheyHappenedAndReadsHonourTheirGroup)
{
    SimOptions options;
    options.nAnalogClass = 1;  // both kinds in class 1
    Make(options);
    CSimDatabase& db = m_pRtu->Database();
    db.SetBinary(2, 1, 1000);
    db.SetAnalog(5, 3000, 2000);
    db.SetBinary(4, 1, 3000);
    db.SetAnalog(6, 3000, 4000);
    const std::string b2 = "02 00 81 E8 03 00 00 00 00";
    const std::string b4 = "04 00 81 B8 0B 00 00 00 00";

    Request("C1 01 02 02 06");  // binary events only
    EXPECT_EQ(Objects(Response()), "02 02 28 02 00 " + b2 + " " + b4);
    Request("C2 01 02 01 06");  // without time
    EXPECT_EQ(Objects(Response()), "02 01 28 02 00 02 00 81 04 00 81");
    Request("C3 01 20 02 07 01");  // one analog event
    EXPECT_EQ(Objects(Response()), "20 02 28 01 00 05 00 01 B8 0B");
    Request("C4 01 3C 02 06");  // class 1: all four, one header per run
    const std::vector<std::uint8_t> response = Response();
    EXPECT_EQ(response[0], 0xE4);  // events: a confirm is asked for
    EXPECT_EQ(Objects(response), "02 02 28 01 00 " + b2 + " 20 02 28 01 00 05 00 01 B8 0B 02 02 28 01 00 " + b4 +
                                     " 20 02 28 01 00 06 00 01 B8 0B");
    Request("C4 00");
    Request("C5 01 3C 02 06");
    EXPECT_EQ(Objects(Response()), "") << "confirmed events are gone";
}

TEST_F(OutstationTest, FullEventBufferSaysSoUntilTheMasterTakesEvents)
{
    CSimDatabase& db = m_pRtu->Database();
    for (int i = 0; i < 300; ++i)
        db.SetBinary(0, i % 2, static_cast<std::uint32_t>(i));
    Request("C1 01 50 01 06");
    std::vector<std::uint8_t> response = Response();
    EXPECT_EQ(response[3] & COutstation::IIN2_EVENT_OVERFLOW, COutstation::IIN2_EVENT_OVERFLOW);
    Request("C2 01 3C 02 06");
    response = Response();
    Request(ToHex({static_cast<std::uint8_t>(0xC0 | (response[0] & 0x0F)), 0x00}));
    Request("C3 01 50 01 06");
    EXPECT_EQ(Response()[3] & COutstation::IIN2_EVENT_OVERFLOW, 0);
}

TEST_F(OutstationTest, ConfirmedUserDataWaitsForTheResetAndEachAcknowledgement)
{
    SimOptions options;
    options.bConfirmedData = true;
    options.nYc = 200;  // a response of three frames
    Make(options);
    Request("C1 01 1E 02 06");
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x40}) << "its reset of the link first, alone";
    SendFrame(0x80);  // the master's ACK
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x73}) << "confirmed user data, FCB 1, one frame";
    SendFrame(0x80);
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x53}) << "FCB 0 for the next";
    SendFrame(0x81);  // a NACK: the master lost the link state
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x40});
    SendFrame(0x80);
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x73}) << "the same frame again after the new reset";
    SendFrame(0x80);
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x53});
    SendFrame(0x80);
    EXPECT_TRUE(Controls().empty());
}

TEST_F(OutstationTest, ResetFirstIsSentAtStartAndAcknowledged)
{
    SimOptions options;
    options.bResetFirst = true;
    Make(options);
    m_pRtu->Start();
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x40});
    SendFrame(0x80);
    EXPECT_EQ(m_Log.back(), "link towards the master reset");
    Request("C1 01 50 01 06");  // responses stay unconfirmed without --confirmed-data
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x44});
}

TEST_F(OutstationTest, UnsolicitedResponsesOnlyWhenEnabledAndUntilConfirmed)
{
    SimOptions options;
    options.bUnsolicited = true;
    Make(options);
    m_pRtu->Start();
    std::vector<std::uint8_t> response = Response();
    ASSERT_GE(response.size(), 4u);
    EXPECT_EQ(ToHex({response.begin(), response.begin() + 2}), "F0 82");  // FIR FIN CON UNS, sequence 0
    EXPECT_EQ(Objects(response), "") << "the null response at start";
    Request("D0 00");  // its confirm, UNS set

    m_pRtu->Database().SetBinary(2, 1, 1000);
    m_pRtu->Tick();
    EXPECT_TRUE(m_Frames.empty()) << "nothing enabled yet";
    Request("C1 14 3C 02 06");  // enable class 1
    Response();
    m_pRtu->Tick();
    response = Response();
    ASSERT_GE(response.size(), 4u);
    EXPECT_EQ(ToHex({response.begin(), response.begin() + 2}), "F1 82");
    EXPECT_EQ(Objects(response), "02 02 28 01 00 02 00 81 E8 03 00 00 00 00");
    Request("D1 00");
    EXPECT_EQ(m_pRtu->Database().EventCount(), 0u) << "confirmed: the event is gone";
    Request("C2 15 3C 02 06");  // disable it again
    Response();
    m_pRtu->Database().SetBinary(4, 1, 2000);
    m_pRtu->Tick();
    EXPECT_TRUE(m_Frames.empty());
}

TEST_F(OutstationTest, StoppedFaultsLeaveAHealthyRtu)
{
    SimOptions options;
    options.nDropPercent = 100;
    options.nBusyMs = 60000;
    Make(options);
    SendFrame(0xC0);  // reset link states: acknowledged, but every octet is lost
    EXPECT_TRUE(Controls().empty());

    m_pRtu->StopFaults();
    SendFrame(0xC9);  // request link status
    EXPECT_EQ(Controls(), std::vector<std::uint8_t>{0x0B}) << "heard, and no longer busy";
}
