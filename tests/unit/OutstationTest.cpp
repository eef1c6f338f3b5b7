#include <gtest/gtest.h>

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
    // Sent again, this time with a CTO and a relative time.
    EXPECT_EQ(ToHex({response.begin() + 4, response.end()}), "33 01 07 01 E8 03 00 00 00 00 02 03 28 01 00 02 00 81 00 00");
    Request("C7 00");
    Request("C8 01 3C 02 06");
    response = Response();
    EXPECT_EQ(response[0], 0xC8);  // nothing left, no confirm asked
    EXPECT_EQ(response.size(), 4u);
}

TEST_F(OutstationTest, ControlsAndUnsupportedFunctions)
{
    const std::string block = "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00";
    Request("C0 04 " + block);  // operate without a select
    EXPECT_EQ(Response().back(), 2);
    Request("C1 03 " + block);
    EXPECT_EQ(Response().back(), 0);
    Request("C2 04 " + block.substr(0, 21) + "80" + block.substr(23));  // trip: another code
    EXPECT_EQ(Response().back(), 2);
    Request("C3 04 " + block);
    EXPECT_EQ(Response().back(), 0);
    EXPECT_EQ(m_pRtu->Database().Yx(5), 1);

    Request("C4 0D");  // cold restart is not offered
    const std::vector<std::uint8_t> response = Response();
    EXPECT_EQ(response[3] & COutstation::IIN2_NO_FUNC, COutstation::IIN2_NO_FUNC);
    Request("C5 02 50 01 00 07 07 00");  // clear the restart indication
    EXPECT_EQ(Response()[2] & COutstation::IIN1_RESTART, 0);
}

TEST(SimCommandLineTest, OptionsAndErrors)
{
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
}
