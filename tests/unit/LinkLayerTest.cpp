#include <gtest/gtest.h>

#include "monitor/AlarmLog.h"
#include "support/Frames.h"
#include "support/LinkStack.h"

namespace {
const std::string kReset = "05 64 05 C0 36 00 AE 0C A7 07";
const std::string kRequestStatus = "05 64 05 C9 36 00 AE 0C E8 71";
const std::string kAck = "05 64 05 80 36 00 AE 0C 1D 37";
const std::string kLinkStatus = "05 64 05 8B 36 00 AE 0C 5E 07";
const std::string kLinkFailure = "链路层通讯失败 ！";
const std::string kRequest = "C0 C1 01 3C 02 06";
const std::string kRequestFrame = "05 64 0B C4 36 00 AE 0C BA 7A C0 C1 01 3C 02 06 52 C3";
}  // namespace

class LinkLayerTest : public LinkStackTest {};

TEST_F(LinkLayerTest, FreshStartResetsTheLinkWithThreeRetransmissionsAndNoAlarm)
{
    AdvanceAndStep(2);
    EXPECT_EQ(Sent(), "");  // the maintenance period (3 s) has not run out
    AdvanceAndStep(1);
    EXPECT_EQ(Sent(), kReset);
    EXPECT_EQ(Shown(), "=> " + kReset + " <=\n");

    for (int nRetry = 1; nRetry <= 3; ++nRetry) {
        AdvanceAndStep(3);  // 3 whole seconds are still within the time-out
        EXPECT_EQ(Sent(), "");
        AdvanceAndStep(1);
        EXPECT_EQ(Sent(), kReset) << nRetry;
        EXPECT_EQ(Shown(), "Receiving TimeOut !\r\nR> " + kReset + " <=\n") << nRetry;
    }
    AdvanceAndStep(4);
    EXPECT_EQ(Shown(), "Receiving TimeOut !\r\n");
    EXPECT_EQ(Sent(), "");
    EXPECT_FALSE(m_Link.IsAwaitingAnswer());
    EXPECT_EQ(TakeData(), "") << "a header-only request fails silently";
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
    AdvanceAndStep(0);  // the maintenance period is long over: the next reset at once
    EXPECT_EQ(Sent(), kReset);
}

TEST_F(LinkLayerTest, AckWithDfcHoldsUserDataUntilLinkStatusWithoutDfc)
{
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), kReset);
    Feed(RtuFrame(0x10));  // ACK with DFC
    EXPECT_TRUE(m_Link.IsReset());
    EXPECT_TRUE(m_Link.IsRemoteBusy());
    EXPECT_FALSE(SendData(false, kRequest)) << "busy";

    for (int nPeriod = 0; nPeriod < 2; ++nPeriod) {
        AdvanceAndStep(2);
        EXPECT_EQ(Sent(), "");
        AdvanceAndStep(1);
        EXPECT_EQ(Sent(), kRequestStatus) << nPeriod;
        Feed(RtuFrame(0x1B));  // link status, still busy
        EXPECT_FALSE(SendData(false, kRequest)) << nPeriod;
    }
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), kRequestStatus);
    Feed(RtuFrame(0x0B));  // link status without DFC
    ASSERT_TRUE(SendData(false, kRequest));
    AdvanceAndStep(0);
    EXPECT_EQ(Sent(), kRequestFrame);
}

TEST_F(LinkLayerTest, ConfirmedUserDataFromTheRtuIsTakenOncePerFcbAndRepeatsAreAcknowledged)
{
    ResetLink();
    Feed(RtuFrame(0x73, "C0 C1 81 00 00"));  // FCB 1
    EXPECT_EQ(Sent(), kAck);
    Feed(RtuFrame(0x73, "C0 C1 81 00 00"));  // the repetition: our ACK was lost
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(m_Link.QueuedSegments(), 1u) << "discarded";
    Feed(RtuFrame(0x53, "C0 C2 81 00 00"));  // FCB 0: the next one
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(TakeData(), "C0 C1 81 00 00");
    EXPECT_EQ(TakeData(), "C0 C2 81 00 00");
    EXPECT_EQ(TakeData(), "");
}

TEST_F(LinkLayerTest, UnansweredUnconfirmedRequestFailsTheLinkWithoutRetransmission)
{
    ResetLink();
    ASSERT_TRUE(SendData(false, kRequest));
    EXPECT_FALSE(SendData(false, kRequest)) << "one frame at a time";
    AdvanceAndStep(0);
    EXPECT_EQ(Sent(), kRequestFrame);
    EXPECT_EQ(Shown(), "=> " + kRequestFrame + " <=\n");
    EXPECT_TRUE(m_Link.IsAwaitingAnswer());
    AdvanceAndStep(3);
    EXPECT_EQ(Shown(), "");
    AdvanceAndStep(1);
    EXPECT_EQ(Shown(), "Receiving TimeOut !\r\n");
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(TakeData(), "failure");
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kLinkFailure});
    EXPECT_EQ(TakeData(), "") << "reported once";
}

TEST_F(LinkLayerTest, AnsweringTheRtuLeavesTheMastersOwnWait)
{
    // The secondary station's answers do not end what the primary station awaits.
    ResetLink();
    ASSERT_TRUE(SendData(false, kRequest));
    AdvanceAndStep(0);
    Sent();
    Feed(RtuFrame(0x49));  // the RTU asks for the link status
    EXPECT_EQ(Sent(), kLinkStatus);
    EXPECT_TRUE(m_Link.IsAwaitingAnswer());
    AdvanceAndStep(4);
    EXPECT_EQ(TakeData(), "failure") << "the request went unanswered";

    // Nor the wait for an ACK, with its retransmissions.
    ASSERT_TRUE(SendData(true, "C0 C2 03", false));
    AdvanceAndStep(0);
    const std::string confirmed = Sent();
    Feed(RtuFrame(0x49));
    EXPECT_EQ(Sent(), kLinkStatus);
    AdvanceAndStep(4);
    EXPECT_EQ(Sent(), confirmed) << "retransmitted";
    Feed(RtuFrame(0x00));  // its ACK
    EXPECT_TRUE(m_Link.CanSend());
}

TEST_F(LinkLayerTest, AnswerThatKeepsComingKeepsTheWaitOpen)
{
    ResetLink();
    ASSERT_TRUE(SendData(false, kRequest));
    AdvanceAndStep(0);
    Sent();
    for (int i = 0; i < 5; ++i) {  // a long response: a frame every 3 s
        AdvanceAndStep(3);
        Feed(RtuFrame(0x44, "40 C0 81 00 00"));
    }
    AdvanceAndStep(3);
    EXPECT_TRUE(m_Link.IsAwaitingAnswer());
    Feed(RtuFrame(0x44, "81 00"));
    EXPECT_EQ(TakeData(), "40 C0 81 00 00");
    // The transport tells the link when the answer is whole.
    m_Link.OnAnswerComplete();
    EXPECT_FALSE(m_Link.IsAwaitingAnswer());
    EXPECT_TRUE(m_Link.CanSend());
}

TEST_F(LinkLayerTest, ConfirmedUserDataIsRetransmittedWithItsFcbAndAlternatesAfterTheAck)
{
    ResetLink();
    ASSERT_TRUE(SendData(true, "C0 C1 03", false));
    AdvanceAndStep(0);
    const std::string first = FrameHex(0xF3, 54, 3246, "C0 C1 03");  // FCV, FCB 1
    EXPECT_EQ(Sent(), first);
    AdvanceAndStep(4);
    EXPECT_EQ(Sent(), first) << "the same frame, the same FCB";
    Feed(RtuFrame(0x00));  // ACK
    ASSERT_TRUE(SendData(true, "C0 C2 03", false));
    AdvanceAndStep(0);
    EXPECT_EQ(Sent(), FrameHex(0xD3, 54, 3246, "C0 C2 03")) << "FCB 0 on the next";
}

TEST_F(LinkLayerTest, NackOrRtuResetWhileAwaitingALinkAnswerFailTheLink)
{
    ResetLink();
    ASSERT_TRUE(SendData(true, "C0 C1"));
    AdvanceAndStep(0);
    Sent();
    Feed(RtuFrame(0x01));  // NACK
    EXPECT_EQ(TakeData(), "failure");

    ASSERT_TRUE(SendData(true, "C0 C1"));
    AdvanceAndStep(0);
    Sent();
    Feed(RtuFrame(0x40));  // the RTU resets its link
    EXPECT_EQ(Sent(), kAck + " " + kReset);  // acknowledged, then answered with a reset
    EXPECT_TRUE(m_Link.IsReset());
    EXPECT_EQ(TakeData(), "failure");
    EXPECT_EQ(g_AlarmLog.Texts(), (std::vector<std::string>{kLinkFailure, kLinkFailure}));
}

TEST_F(LinkLayerTest, RtuResettingWhileWeResetLosesNothingAndRaisesNoAlarm)
{
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), kReset);
    Feed(RtuFrame(0x40));
    EXPECT_EQ(Sent(), kAck + " " + kReset);
    Feed(RtuFrame(0x00));
    EXPECT_TRUE(m_Link.IsReset());
    EXPECT_EQ(TakeData(), "");
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
}

TEST_F(LinkLayerTest, OurOwnFrameEchoedIsNoAnswer)
{
    // A two-wire line can hand the master its own reset back; DIR says it is a master's.
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), kReset);
    Feed(kReset);
    EXPECT_FALSE(m_Link.IsReset());
    EXPECT_TRUE(m_Link.IsAwaitingAnswer());
    Feed(RtuFrame(0x00));  // the RTU's ACK
    EXPECT_TRUE(m_Link.IsReset());
}

TEST_F(LinkLayerTest, RequestLinkStatusIsAnsweredOnlyOnceTheLinkIsReset)
{
    Feed(RtuFrame(0x49));
    EXPECT_EQ(Sent(), "");
    ResetLink();
    Feed(RtuFrame(0x49));
    EXPECT_EQ(Shown(), "=> " + kLinkStatus + "\n") << "nothing awaited after it";
}

TEST_F(LinkLayerTest, RtuRequestsWhenNothingIsAwaited)
{
    ResetLink();
    const struct {
        std::uint8_t byCtrl;
        std::string answer;
    } cases[] = {
        {0x41, kAck},                             // reset user process
        {0x72, kAck},                             // test link states, FCV and FCB 1
        {0x72, kAck},                             // the same FCB again: acknowledged all the same
        {0x62, ""},                               // test link states without FCV
        {0x45, "05 64 05 8E 36 00 AE 0C 40 A8"},  // not functioning
        {0x00, ""},                               // an unasked secondary frame
    };
    for (const auto& c : cases) {
        Feed(RtuFrame(c.byCtrl));
        EXPECT_EQ(Sent(), c.answer) << int(c.byCtrl);
    }
    // The first test toggled the expected FCB (the repeat did not): FCB 0 is new data.
    Feed(RtuFrame(0x53, "C0 C1 81 00 00"));
    EXPECT_EQ(TakeData(), "C0 C1 81 00 00");
}

TEST_F(LinkLayerTest, OurLinkResetLeavesTheCountOfTheRtusFrames)
{
    ResetLink();
    Feed(RtuFrame(0x73, "C0 C1 81 00 00"));  // FCB 1
    ASSERT_EQ(Sent(), kAck);
    EXPECT_EQ(TakeData(), "C0 C1 81 00 00");
    m_Link.ForgetReset();  // as after an application failure: the master resets again
    ResetLink();
    // The RTU did not reset its link, so its next frame carries FCB 0: new data.
    Feed(RtuFrame(0x53, "C0 C2 81 00 00"));
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(TakeData(), "C0 C2 81 00 00");
    // Its own reset does restart the count.
    Feed(RtuFrame(0x40));
    EXPECT_EQ(Sent(), kAck + " " + kReset);
    Feed(RtuFrame(0x00));
    Feed(RtuFrame(0x73, "C0 C3 81 00 00"));  // FCB 1 again
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(TakeData(), "C0 C3 81 00 00");
}
