#include <gtest/gtest.h>

#include "commands/CommandQueue.h"
#include "core/Config.h"
#include "monitor/AlarmLog.h"
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

TEST_F(RequestsTest, UtcTimeIsTakenAsTheWriteGoesOutWithTheMeasuredDelayAdded)
{
    // The whole frame, so that the CRC of the block the time was written into is checked.
    const auto writtenFrame = [this] {
        m_pEngine->OnCycle();
        std::vector<std::vector<std::uint8_t>> frames;
        frames.swap(m_pEngine->Frames);
        Sent();
        return frames.empty() ? "" : ToHex(frames.back());
    };
    g_nTimeFormat = TIME_FORMAT_UTC;
    m_Clock.Set(1'773'144'000'000);  // 2026-03-10 12:00:00.000 UTC
    ASSERT_EQ(m_pEngine->SendTimeSync(), 0);
    m_Clock.Advance(250);  // built, then handed to the line a quarter of a second later
    EXPECT_EQ(writtenFrame(), FrameHex(0xC4, 54, 3246, "C0 C0 02 32 01 07 01 " + Time48Hex(1'773'144'000'250)));
    Answer(0xC0);

    // The delay measurement: 300 ms from its hand-over to the answer's first octet, of
    // which the RTU took 100 (52.2): 100 ms each way.
    ASSERT_EQ(m_pEngine->SendDelayMeasure(), 0);
    EXPECT_EQ(Written(), "C1 C1 17");
    m_Clock.Advance(300);
    g_AlarmLog.Clear();
    Feed(RtuFrame(0x44, "C1 C1 81 00 00 34 02 07 01 64 00"));
    m_pEngine->OnCycle();
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"时延测量: 往返 300 ms, RTU处理 100 ms, 单程时延 100 ms"});
    EXPECT_EQ(m_pEngine->ClockSync().DelayMs(), 100);
    m_byRtuTpSeq = 2;

    ASSERT_EQ(m_pEngine->SendTimeSync(), 0);
    m_Clock.Advance(40);
    const std::uint64_t qwHandOver = m_Clock.WallUs() / 1000;
    EXPECT_EQ(writtenFrame(), FrameHex(0xC4, 54, 3246, "C2 C2 02 32 01 07 01 " + Time48Hex(qwHandOver + 100)));
    Answer(0xC2);

    // The default convention: milliseconds of the month at hand-over, no delay added.
    g_nTimeFormat = TIME_FORMAT_MONTH;
    m_Clock.SetLocal({2026, 12, 15, 12, 34, 56, 789});
    ASSERT_EQ(m_pEngine->SendTimeSync(), 0);
    m_Clock.Advance(1000);
    EXPECT_EQ(Written(), "C3 C3 02 32 01 07 01 7D 38 CC 4A 00 00");
}

// On a network in UTC: "record current time", then 50.3 with the time it went out.
TEST_F(RequestsTest, NetworkTimeSyncWritesTheTimeTheRecordRequestWentOut)
{
    m_pLine->SetNetwork(true);
    g_nTimeFormat = TIME_FORMAT_UTC;
    m_Clock.Set(1'773'144'000'000);
    ASSERT_EQ(m_pEngine->SendRecordCurrentTime(), 0);
    m_Clock.Advance(20);
    EXPECT_EQ(Written(), "C0 C0 18");
    Answer(0xC0);
    m_Clock.Advance(400);
    ASSERT_EQ(m_pEngine->SendTimeSync(), 0);
    EXPECT_EQ(Written(), "C1 C1 02 32 03 07 01 " + Time48Hex(1'773'144'000'020));
    Answer(0xC1);
    // The recorded time is used once; without one, 50.1 as on a serial line.
    ASSERT_EQ(m_pEngine->SendTimeSync(), 0);
    EXPECT_EQ(Written(), "C2 C2 02 32 01 07 01 " + Time48Hex(1'773'144'000'420));
}

// A new connection: the link is reset at once, sequence numbers start afresh.
TEST_F(RequestsTest, NewConnectionStartsEveryLayerAfresh)
{
    m_pLine->SetNetwork(true);
    const std::uint8_t objects[] = {0x3C, 0x02, 0x06};
    ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
    EXPECT_EQ(Written(), "C0 C0 01 3C 02 06");
    EXPECT_TRUE(m_pEngine->App().IsWaiting());
    Feed("05 64 12 44 AE 0C 36 00");  // half a frame of the old connection
    m_pLine->NewSession();
    m_pEngine->OnCycle();
    EXPECT_EQ(Sent(), "05 64 05 C0 36 00 AE 0C A7 07") << "the reset, without waiting a scan period";
    EXPECT_FALSE(m_pEngine->App().IsWaiting());
    EXPECT_EQ(m_pEngine->App().NextSeq(), 0);
    Feed(RtuFrame(0x00));  // its ACK, whole: nothing of the old frame joined it
    EXPECT_TRUE(m_pEngine->Link().IsReset());
    ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
    EXPECT_EQ(Written(), "C0 C0 01 3C 02 06") << "transport and application sequence 0";
}

// The answer's first octet comes alone, the rest a read later (a paced line, a poll thread
// that slept meanwhile): the round trip ends at that first octet.
TEST_F(RequestsTest, DelayIsTimedToTheAnswersFirstOctet)
{
    ASSERT_EQ(m_pEngine->SendDelayMeasure(), 0);
    EXPECT_EQ(Written(), "C0 C0 17");
    m_Clock.Advance(300);
    const std::string answer = RtuFrame(0x44, "C0 C0 81 00 00 34 02 07 01 64 00");
    Feed(answer.substr(0, 2));  // "05"
    m_pEngine->OnCycle();
    m_Clock.Advance(40);
    g_AlarmLog.Clear();
    Feed(answer.substr(3));
    m_pEngine->OnCycle();
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{"时延测量: 往返 300 ms, RTU处理 100 ms, 单程时延 100 ms"});
}

TEST_F(RequestsTest, DelayAnswersWithoutATimeDelayOrWithALongTurnaroundAllowForNoDelay)
{
    const struct {
        const char* answer;
        int nRoundTripMs;
        const char* line;
    } cases[] = {
        {"81 80 01", 200, "时延测量: 回答中没有时延对象(52.1/52.2), 单程时延按 0 ms 计"},  // IIN2.0
        {"81 00 00 34 02 07 01 F4 01", 200, "时延测量: 往返 200 ms, RTU处理 500 ms, 单程时延 0 ms"},
        {"81 00 00 34 01 07 01 01 00", 1400, "时延测量: 往返 1400 ms, RTU处理 1000 ms, 单程时延 200 ms"},  // 52.1: seconds
    };
    std::uint8_t bySeq = 0;
    for (const auto& c : cases) {
        ASSERT_EQ(m_pEngine->SendDelayMeasure(), 0);
        Written();
        m_Clock.Advance(c.nRoundTripMs);
        g_AlarmLog.Clear();
        const auto byCtrl = static_cast<std::uint8_t>(0xC0 | bySeq++);
        Feed(RtuFrame(0x44, ToHex({static_cast<std::uint8_t>(0xC0 | m_byRtuTpSeq++), byCtrl}) + " " + c.answer));
        m_pEngine->OnCycle();
        std::vector<std::string> texts = g_AlarmLog.Texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), c.line);
    }
}

TEST_F(RequestsTest, ErrorIndicationsNameTheRequestTheyAnswer)
{
    const std::uint8_t objects[] = {0x1E, 0x05, 0x06};
    for (int i = 0; i < 2; ++i) {
        g_AlarmLog.Clear();
        ASSERT_EQ(m_pEngine->SendRead(objects, 3), 0);
        Written();
        Feed(RtuFrame(0x44, ToHex({static_cast<std::uint8_t>(0xC0 | m_byRtuTpSeq++),
                                   static_cast<std::uint8_t>(0xC0 | i), 0x81, 0x00, 0x02})));
        m_pEngine->OnCycle();
        // Once while the bit stays set.
        EXPECT_EQ(g_AlarmLog.Texts(), i == 0 ? std::vector<std::string>{"RTU不支持该对象(IIN2.1): 读 30.5"}
                                             : std::vector<std::string>{});
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
