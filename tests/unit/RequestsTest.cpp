#include <gtest/gtest.h>

#include "commands/CommandQueue.h"
#include "support/EngineFixture.h"
#include "support/Frames.h"
#include "support/Hex.h"

class RequestsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ResetLink();
        ResetCtrlCommand();
        m_pEngine->Frames.clear();
    }
    // The user data of the last frame written in two engine cycles (one to hand a due
    // confirm down, one to write it): the transport header onwards.
    std::string Written()
    {
        m_pEngine->OnCycle();
        m_pEngine->OnCycle();
        std::vector<std::vector<std::uint8_t>> frames;
        frames.swap(m_pEngine->Frames);
        Sent();
        return frames.empty() ? "" : ToHex(FrameUserData(frames.back()));
    }
    // The RTU's answer with this application control octet, taken in.
    void Answer(std::uint8_t byAppCtrl)
    {
        Feed(RtuFrame(0x44, ToHex({static_cast<std::uint8_t>(0xC0 | m_byRtuTpSeq++), byAppCtrl, 0x81, 0x00, 0x00})));
        m_pEngine->OnCycle();
    }
    std::uint8_t m_byRtuTpSeq = 0;
};

TEST_F(RequestsTest, ReadOfClassOneIsTheWholeExampleFrame)
{
    const std::uint8_t objects[] = {0x3C, 0x02, 0x06};
    ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
    m_pEngine->OnCycle();
    EXPECT_EQ(Sent(), "05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E0");
    EXPECT_TRUE(m_pEngine->App().IsWaiting());
    EXPECT_EQ(m_pEngine->App().NextSeq(), 1);
    // Unconfirmed: the link awaits the response itself.
    EXPECT_TRUE(m_pEngine->Link().IsAwaitingAnswer());
    EXPECT_TRUE(m_pEngine->Link().CanSend());
}

TEST_F(RequestsTest, SelectForPointFiveAndItsEffects)
{
    std::uint8_t objects[32];
    const int n = CQueltProtocol::BuildControlObjects(objects, 5, 0, 1000);
    EXPECT_EQ(ToHex({objects, objects + n}), "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00");
    CQueltProtocol::BuildControlObjects(objects, 0x1234, 1, 60000);
    EXPECT_EQ(ToHex({objects, objects + 18}), "0C 01 28 01 00 34 12 80 01 60 EA 00 00 00 00 00 00 00");

    m_Clock.AdvanceSeconds(7);
    CQueltProtocol::BuildControlObjects(objects, 5, 0, 1000);
    ASSERT_EQ(m_pEngine->SendSelect(objects, 18), 0);
    EXPECT_EQ(g_CtrlCmd.m_bSelectPending, 1);
    EXPECT_EQ(g_CtrlCmd.m_tSelect, m_Clock.Now());
    EXPECT_EQ(m_pEngine->App().NextSeq(), 1);
    m_pEngine->OnCycle();
    const std::vector<std::uint8_t> frame = m_pEngine->Frames.back();
    EXPECT_EQ(frame[3], 0xF3) << "confirmed user data, FCB 1 on the first";
    EXPECT_EQ(ToHex(FrameUserData(frame)), "C0 C0 03 0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00");

    // It awaits the link's ACK: nothing else goes down until it comes, and nothing changes.
    g_CtrlCmd.m_bSelectPending = 0;
    EXPECT_EQ(m_pEngine->SendSelect(objects, 18), 1);
    EXPECT_EQ(g_CtrlCmd.m_bSelectPending, 0);
    EXPECT_EQ(m_pEngine->App().NextSeq(), 1);
    Feed(RtuFrame(0x00));
    EXPECT_TRUE(m_pEngine->Link().CanSend());
    EXPECT_TRUE(m_pEngine->App().IsWaiting()) << "the echo is still to come";
}

TEST_F(RequestsTest, TimeSynchronisationCountsFromTheFirstOfTheMonth)
{
    const struct {
        LocalTime t;
        std::string octets;
    } cases[] = {
        {{2026, 12, 15, 12, 34, 56, 789}, "95 34 CC 4A 00 00"},
        {{2026, 11, 1, 0, 0, 0, 0}, "00 00 00 00 00 00"},
        {{2026, 12, 31, 23, 59, 59, 999}, "FF 23 A5 9F 00 00"},
    };
    for (const auto& c : cases) {
        m_Clock.SetLocal(c.t);
        ASSERT_EQ(m_pEngine->SendTimeSync(), 0);
        EXPECT_EQ(Written().substr(6), "02 32 01 07 01 " + c.octets) << c.t.nDay;
    }
}

TEST_F(RequestsTest, FunctionCodeRangesAndLengths)
{
    const std::uint8_t objects[] = {0x14, 0x01, 0x06};
    EXPECT_EQ(m_pEngine->SendFreeze(6, objects, 3), 3);
    EXPECT_EQ(m_pEngine->SendFreeze(11, objects, 3), 3);
    EXPECT_EQ(m_pEngine->SendUnsolicitedCtrl(19, objects, 3), 3);
    EXPECT_EQ(m_pEngine->SendUnsolicitedCtrl(22, objects, 3), 3);
    std::vector<std::uint8_t> tooLong(246);
    EXPECT_EQ(m_pEngine->SendRead(tooLong.data(), 246), 2);
    EXPECT_EQ(Written(), "");

    ASSERT_EQ(m_pEngine->SendFreeze(7, objects, 3), 0);
    EXPECT_EQ(Written(), "C0 C0 07 14 01 06");
    ASSERT_EQ(m_pEngine->SendUnsolicitedCtrl(21, objects, 3), 0);
    EXPECT_EQ(Written(), "C1 C1 15 14 01 06");
}

TEST_F(RequestsTest, ConfirmCarriesTheSequenceOfTheResponseItConfirms)
{
    const std::uint8_t objects[] = {0x3C, 0x02, 0x06};
    for (int i = 0; i < 6; ++i) {  // the counter at 6
        ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
        Written();
        Answer(static_cast<std::uint8_t>(0xC0 | i));
    }
    ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
    EXPECT_EQ(Written(), "C6 C6 01 3C 02 06");
    Answer(0xE6);  // FIR, FIN, CON: confirm with sequence 6
    EXPECT_EQ(m_pEngine->App().ConfirmDue(), std::optional<std::uint8_t>(6));
    EXPECT_EQ(Written(), "C7 C6 00");
    EXPECT_EQ(m_pEngine->App().NextSeq(), 7) << "only requests step the counter";
    EXPECT_FALSE(m_pEngine->App().ConfirmDue());
    EXPECT_EQ(Written(), "") << "a confirm awaits nothing";
    EXPECT_FALSE(m_pEngine->Link().IsAwaitingAnswer());
}

TEST_F(RequestsTest, NothingIsShownAsSentOnALineThatIsNotOpen)
{
    m_pLine->Close();
    const std::uint8_t objects[] = {0x3C, 0x02, 0x06};
    ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
    m_pEngine->OnCycle();
    AdvanceAndStep(4);
    EXPECT_EQ(SendText(), "") << "no \"=> \" for a frame that never left";
    EXPECT_EQ(RecvText(), "Receiving TimeOut !\r\n") << "and no \"<= \" for its answer";
}
