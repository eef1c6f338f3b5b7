#include <gtest/gtest.h>

#include <random>

#include "core/Config.h"
#include "support/EngineFixture.h"
#include "support/LinkStack.h"
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

// The engine's side of receiving: every octet shown, frames found across reads, a frame
// under way given up after a silence. An answer is awaited (a read went out).
class LinkReceiveTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ResetLink();
        AwaitAnswer();
    }
    void AwaitAnswer()
    {
        const std::uint8_t objects[] = {60, 1, 0x06};
        ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
        m_pEngine->OnCycle();
        Sent();
        RecvText();
        SendText();
    }
};

// The parser in front of the link layer, as the engine wires them: what reaches the
// transport, and which spoilt frames count against the answer awaited.
class LinkParseTest : public LinkStackTest {
protected:
    void SetUp() override
    {
        LinkStackTest::SetUp();
        ResetLink();
        ASSERT_TRUE(SendData(false, "C0 C1 01 3C 01 06"));  // an answer is awaited
        AdvanceAndStep(0);
        Sent();
    }
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

TEST_F(LinkReceiveTest, CrcFailuresCountAgainstTheAnswerAndEndTheLineOnlyAtTheFrameEnd)
{
    const std::string data = RtuFrame(0x44, UserData(4));
    const struct {
        std::string spoilt;
        std::string shown;
    } cases[] = {
        {Corrupt(RtuFrame(0x49), 8), Corrupt(RtuFrame(0x49), 8) + " \r\n"},  // header-only, bad header CRC
        {Corrupt(data, 9), Corrupt(data, 9) + " "},  // with user data, bad header CRC: the line stays open
        {Corrupt(data, 12), Corrupt(data, 12) + " \r\n"},  // a bad block CRC
    };
    for (const auto& c : cases) {
        CreateEngine();
        ResetLink();
        AwaitAnswer();
        Feed(c.spoilt);
        EXPECT_TRUE(m_pEngine->Link().RxErrorFlagged()) << c.spoilt;
        EXPECT_EQ(m_pEngine->Link().QueuedSegments(), 0u) << c.spoilt;
        EXPECT_EQ(Sent(), "") << c.spoilt;
        EXPECT_EQ(RecvText(), c.shown);
    }
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
        ResetLink();
        Feed(cut);
        m_Clock.Advance(c.nPauseMs);
        m_pEngine->OnCycle();
        Feed(next);
        EXPECT_EQ(m_pEngine->Link().QueuedSegments(), c.bAbandoned ? 1u : 0u)
            << c.nBaud << " bit/s, " << c.nPauseMs << " ms";
    }
}

TEST_F(LinkParseTest, UserDataIsDroppedSilentlyWhileTheLinkIsNotReset)
{
    m_Link.ForgetReset();
    Feed(RtuFrame(0x44, UserData(4)));
    EXPECT_EQ(TakeData(), "");
    EXPECT_FALSE(m_Link.RxErrorFlagged());
    // The parser hunts again at once: the frame that follows is found.
    Feed(RtuFrame(0x40));  // the RTU resets its link
    EXPECT_EQ(Sent(), "05 64 05 80 36 00 AE 0C 1D 37 05 64 05 C0 36 00 AE 0C A7 07");
}

TEST_F(LinkParseTest, FrameIsHandedOnAfterItsLastOctetWithItsUserData)
{
    for (const int nData : {16, 17, 1, 250}) {
        const std::string frame = RtuFrame(0x44, UserData(nData));
        const std::size_t nLast = frame.size() - 2;  // the last octet's two hex digits
        Feed(frame.substr(0, nLast));
        EXPECT_EQ(m_Link.QueuedSegments(), 0u) << nData;
        Feed(frame.substr(nLast));
        EXPECT_EQ(TakeData(), UserData(nData)) << nData;
    }
}

TEST_F(LinkParseTest, BadCrcInTheSecondBlockDropsTheFrameAndTheThirdBlockIsScanned)
{
    // 40 octets of user data: blocks of 16, 16 and 8. The third block hides a whole
    // request link status frame, which the parser finds once the frame is dropped.
    const std::string hidden = RtuFrame(0x49);
    const std::string data = UserData(32) + " " + hidden.substr(0, 23);
    std::string frame = RtuFrame(0x44, data);
    frame = Corrupt(frame, 10 + 18 + 16);  // the second block's CRC
    Feed(frame);
    EXPECT_TRUE(m_Link.RxErrorFlagged());
    EXPECT_EQ(TakeData(), "");
    Feed(hidden.substr(24));  // the rest of the hidden frame
    EXPECT_EQ(Sent(), kLinkStatus);
}

TEST_F(LinkParseTest, ShortLenNeverReachesTheDataHandlerAndValidFramesAreStillFound)
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
        ASSERT_EQ(TakeData(), data) << nRound;
        ASSERT_EQ(TakeData(), "") << nRound;
    }
}

TEST_F(LinkParseTest, SpoiltFrameWhileNothingIsAwaitedFlagsNoError)
{
    Feed(RtuFrame(0x44, "C0 C1 81 00 00"));
    m_Link.OnAnswerComplete();  // the answer came: nothing is awaited now
    ASSERT_FALSE(m_Link.IsAwaitingAnswer());
    Feed(Corrupt(RtuFrame(0x44, UserData(4)), 12));
    EXPECT_FALSE(m_Link.RxErrorFlagged()) << "it would fail the next request the moment it went out";
}

TEST_F(LinkParseTest, StartOctetsInsideARejectedHeaderAreFound)
{
    // Noise that happens to read 05 64 just before a frame: the header it makes fails its
    // CRC, and the real frame starts inside it.
    Feed("05 64 " + RtuFrame(0x49));
    EXPECT_EQ(Sent(), kLinkStatus);
    Feed("05 64 05 " + RtuFrame(0x44, UserData(20)));
    EXPECT_EQ(TakeData(), UserData(20));
}
