#include <gtest/gtest.h>

#include <random>

#include "core/Config.h"
#include "support/EngineFixture.h"
#include "support/Hex.h"

namespace {

const std::string kLinkStatus = "05 64 05 8B 36 00 AE 0C 5E 07";

std::string UserData(int n, int nFirst = 0)
{
    std::vector<std::uint8_t> data;
    for (int i = 0; i < n; ++i)
        data.push_back(static_cast<std::uint8_t>(nFirst + i));
    return ToHex(data);
}

// Flips the low bit of the octet at this position of a hex frame.
std::string Corrupt(const std::string& hex, std::size_t nOctet)
{
    std::vector<std::uint8_t> data = FromHex(hex);
    data.at(nOctet) ^= 0x01;
    return ToHex(data);
}

}  // namespace

class LinkReceiveTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_pEngine->m_nLinkState = CQueltProtocol::LINK_RESET;
        m_pEngine->m_nAwaiting = CQueltProtocol::AWAIT_APP;  // an answer is awaited
    }
    std::size_t Queued() const { return m_pEngine->m_RecvQueue.size(); }
};

TEST_F(LinkReceiveTest, FindsTheStartOctetsAnywhereAndAcrossReads)
{
    Feed("FF 05 " + RtuFrame(0x49));  // synchronised at the second 05
    EXPECT_EQ(Sent(), kLinkStatus);
    EXPECT_EQ(RecvText(), "FF 05 " + RtuFrame(0x49) + " \r\n");

    const std::string frame = RtuFrame(0x49);
    Feed(frame.substr(0, 2));  // the read ends after the 05
    Feed(frame.substr(3));
    EXPECT_EQ(Sent(), kLinkStatus);
}

TEST_F(LinkReceiveTest, CrcFailuresSetTheErrorFlagAndEndTheLineOnlyAtTheFrameEnd)
{
    Feed(Corrupt(RtuFrame(0x49), 8));  // header-only frame, bad header CRC
    EXPECT_EQ(m_pEngine->m_bRxError, 1);
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(RecvText(), Corrupt(RtuFrame(0x49), 8) + " \r\n");

    m_pEngine->m_bRxError = 0;
    const std::string data = RtuFrame(0x44, UserData(4));
    Feed(Corrupt(data, 9));  // frame with user data, bad header CRC
    EXPECT_EQ(m_pEngine->m_bRxError, 1);
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(RecvText(), Corrupt(data, 9) + " ");  // the line stays open
}

TEST_F(LinkReceiveTest, UserDataIsDroppedSilentlyWhileTheLinkIsNotReset)
{
    m_pEngine->m_nLinkState = 0;
    Feed(RtuFrame(0x44, UserData(4)));
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(m_pEngine->m_bRxError, 0);
    // The parser hunts again at once: the frame that follows is found.
    Feed(RtuFrame(0x40));  // the RTU resets its link
    EXPECT_EQ(Sent(), "05 64 05 80 36 00 AE 0C 1D 37 05 64 05 C0 36 00 AE 0C A7 07");
}

TEST_F(LinkReceiveTest, FrameIsHandedOnAfterItsLastOctetWithTheUserDataLength)
{
    const struct {
        int nData, nOctets, nIndex;
    } cases[] = {{16, 28, 24}, {17, 31, 25}, {1, 13, 9}, {250, 292, 258}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> frame = FromHex(RtuFrame(0x44, UserData(c.nData)));
        ASSERT_EQ(static_cast<int>(frame.size()), c.nOctets);
        m_pEngine->OnReceive(frame.data(), c.nOctets - 1);
        EXPECT_EQ(Queued(), 0u) << c.nData;
        m_pEngine->OnReceive(frame.data() + c.nOctets - 1, 1);
        ASSERT_EQ(Queued(), 1u) << c.nData;
        const std::vector<std::uint8_t> element = m_pEngine->m_RecvQueue.front();
        m_pEngine->m_RecvQueue.clear();
        EXPECT_EQ(static_cast<int>(element.size()), c.nIndex);
        EXPECT_EQ(ToHex({element.begin() + 8, element.end()}), UserData(c.nData));
    }
}

TEST_F(LinkReceiveTest, BadCrcInTheSecondBlockDropsTheFrameAndTheThirdBlockIsScanned)
{
    // 40 octets of user data: blocks of 16, 16 and 8. The third block hides a whole
    // request link status frame, which the parser finds once the frame is dropped.
    const std::string hidden = RtuFrame(0x49);
    const std::string data = UserData(32) + " " + hidden.substr(0, 23);
    std::string frame = RtuFrame(0x44, data);
    frame = Corrupt(frame, 10 + 18 + 16);  // the second block's CRC
    Feed(frame);
    EXPECT_EQ(m_pEngine->m_bRxError, 1);
    EXPECT_EQ(Queued(), 0u);
    Feed(hidden.substr(24));  // the rest of the hidden frame
    EXPECT_EQ(Sent(), kLinkStatus);
}

TEST_F(LinkReceiveTest, ShortLenNeverReachesTheDataHandlerAndValidFramesAreStillFound)
{
    std::mt19937 random(1815);
    std::uniform_int_distribution<int> octet(0, 255);
    for (int nRound = 0; nRound < 300; ++nRound) {
        std::vector<std::uint8_t> noise;
        const int nNoise = octet(random) % 12;
        for (int i = 0; i < nNoise; ++i) {
            const auto by = static_cast<std::uint8_t>(octet(random));
            noise.push_back(by == 0x05 ? 0x04 : by);  // no accidental start octets
        }
        noise.insert(noise.end(), {0x05, 0x64, static_cast<std::uint8_t>(nRound % 5)});  // LEN 0..4
        const std::string data = UserData(1 + octet(random) % 40, nRound);
        Feed(ToHex(noise) + " " + RtuFrame(0x44, data));
        ASSERT_EQ(Queued(), 1u) << nRound;
        const std::vector<std::uint8_t>& element = m_pEngine->m_RecvQueue.front();
        EXPECT_EQ(ToHex({element.begin() + 8, element.end()}), data) << nRound;
        m_pEngine->m_RecvQueue.clear();
    }
}

TEST_F(LinkReceiveTest, SpoiltFrameWhileNothingIsAwaitedFlagsNoError)
{
    m_pEngine->m_nAwaiting = 0;
    Feed(Corrupt(RtuFrame(0x44, UserData(4)), 12));
    EXPECT_EQ(m_pEngine->m_bRxError, 0) << "it would fail the next request the moment it went out";
}

TEST_F(LinkReceiveTest, StartOctetsInsideARejectedHeaderAreFound)
{
    // Noise that happens to read 05 64 just before a frame: the header it makes fails its
    // CRC, and the real frame starts inside it.
    Feed("05 64 " + RtuFrame(0x49));
    EXPECT_EQ(Sent(), kLinkStatus);
    Feed("05 64 05 " + RtuFrame(0x44, UserData(20)));
    EXPECT_EQ(Queued(), 1u);
}

TEST_F(LinkReceiveTest, FrameCutShortIsAbandonedAfterASilence)
{
    const std::string cut = RtuFrame(0x44, UserData(40)).substr(0, 3 * 30);  // 30 of its 56 octets
    const std::string next = RtuFrame(0x44, UserData(4));
    // A step that reads nothing for longer than a few octet times (at least 50 ms) ends
    // the frame; a shorter pause does not.
    const struct {
        int nBaud;
        int nPauseMs;
        bool bAbandoned;
    } cases[] = {{9600, 40, false}, {9600, 60, true}, {1200, 40, false}, {1200, 100, true},
                 {300, 140, false}, {300, 160, true}};
    for (const auto& c : cases) {
        g_nBaudRate = c.nBaud;
        CreateEngine();
        m_pEngine->m_nLinkState = CQueltProtocol::LINK_RESET;
        Feed(cut);
        m_Clock.Advance(c.nPauseMs);
        m_pEngine->OnCycle();
        Feed(next);
        EXPECT_EQ(Queued(), c.bAbandoned ? 1u : 0u) << c.nBaud << " bit/s, " << c.nPauseMs << " ms";
    }
}
