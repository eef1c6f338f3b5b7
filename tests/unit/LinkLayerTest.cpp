#include <gtest/gtest.h>

#include "monitor/AlarmLog.h"
#include "support/EngineFixture.h"
#include "support/Hex.h"

namespace {
const std::string kReset = "05 64 05 C0 36 00 AE 0C A7 07";
const std::string kRequestStatus = "05 64 05 C9 36 00 AE 0C E8 71";
const std::string kAck = "05 64 05 80 36 00 AE 0C 1D 37";
const std::string kLinkStatus = "05 64 05 8B 36 00 AE 0C 5E 07";
const std::string kLinkFailure = "链路层通讯失败 ！";
}  // namespace

class LinkLayerTest : public EngineTest {};

TEST_F(LinkLayerTest, FreshStartResetsTheLinkWithThreeRetransmissionsAndNoAlarm)
{
    AdvanceAndStep(2);
    EXPECT_EQ(Sent(), "");  // the maintenance period (3 s) has not run out
    AdvanceAndStep(1);
    EXPECT_EQ(Sent(), kReset);
    EXPECT_EQ(SendText(), "=> " + kReset + " \r\n");
    EXPECT_EQ(RecvText(), "<= ");

    for (int nRetry = 1; nRetry <= 3; ++nRetry) {
        AdvanceAndStep(3);  // 3 whole seconds are still within the time-out
        EXPECT_EQ(Sent(), "");
        AdvanceAndStep(1);
        EXPECT_EQ(RecvText(), "Receiving TimeOut !\r\n<= ") << nRetry;
        EXPECT_EQ(Sent(), kReset) << nRetry;
        EXPECT_EQ(SendText(), "R> " + kReset + " \r\n") << nRetry;
    }
    AdvanceAndStep(4);
    EXPECT_EQ(RecvText(), "Receiving TimeOut !\r\n");
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(m_pEngine->m_nAwaiting, 0);
    std::uint8_t buf[250];
    int n = 0;
    EXPECT_EQ(m_pEngine->TakeUserData(buf, n), 0);  // a header-only request fails silently
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
    AdvanceAndStep(0);  // the maintenance period is long over: the next reset at once
    EXPECT_EQ(Sent(), kReset);
}

TEST_F(LinkLayerTest, AckWithDfcHoldsTheSendQueueUntilLinkStatusWithoutDfc)
{
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), kReset);
    Feed(RtuFrame(0x10));  // ACK with DFC
    EXPECT_EQ(m_pEngine->m_nLinkState, CQueltProtocol::LINK_RESET);
    EXPECT_EQ(m_pEngine->m_bRemoteBusy, 1);
    const std::uint8_t request[] = {0xC0, 0xC1, 0x01, 0x3C, 0x02, 0x06};
    EXPECT_EQ(m_pEngine->SendUserData(1, 54, 3246, request, 6, 0), 4);  // busy
    m_pEngine->QueueUserDataFrame(dl::UNCONFIRMED_USER_DATA, 54, 3246, request, 6, 0);

    for (int nPeriod = 0; nPeriod < 2; ++nPeriod) {
        AdvanceAndStep(2);
        EXPECT_EQ(Sent(), "");
        AdvanceAndStep(1);
        EXPECT_EQ(Sent(), kRequestStatus) << nPeriod;
        Feed(RtuFrame(0x1B));  // link status, still busy
        EXPECT_EQ(m_pEngine->m_bRemoteBusy, 1);
    }
    AdvanceAndStep(3);
    ASSERT_EQ(Sent(), kRequestStatus);
    Feed(RtuFrame(0x0B));  // link status without DFC
    EXPECT_EQ(m_pEngine->m_bRemoteBusy, 0);
    AdvanceAndStep(0);
    EXPECT_EQ(Sent(), "05 64 0B C4 36 00 AE 0C BA 7A C0 C1 01 3C 02 06 52 C3");
}

TEST_F(LinkLayerTest, ConfirmedUserDataFromTheRtuIsTakenOncePerFcbAndRepeatsAreAcknowledged)
{
    ResetLink();
    Feed(RtuFrame(0x73, "C0 C1 81 00 00"));  // FCB 1
    EXPECT_EQ(Sent(), kAck);
    ASSERT_EQ(m_pEngine->m_RecvQueue.size(), 1u);
    EXPECT_EQ(m_pEngine->m_nRecvFcb, 0);
    Feed(RtuFrame(0x73, "C0 C1 81 00 00"));  // the repetition: our ACK was lost
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(m_pEngine->m_RecvQueue.size(), 1u) << "discarded";
    Feed(RtuFrame(0x53, "C0 C2 81 00 00"));  // FCB 0: the next one
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(m_pEngine->m_RecvQueue.size(), 2u);

    std::uint8_t buf[250];
    int n = 0;
    ASSERT_EQ(m_pEngine->TakeUserData(buf, n), 1);
    EXPECT_EQ(ToHex(std::vector<std::uint8_t>(buf, buf + n)), "C0 C1 81 00 00");
}

TEST_F(LinkLayerTest, UnansweredUnconfirmedRequestFailsTheLinkWithoutRetransmission)
{
    ResetLink();
    m_pEngine->m_byAppWait = 2;
    const std::uint8_t request[] = {0xC0, 0xC1, 0x01, 0x3C, 0x02, 0x06};
    ASSERT_EQ(m_pEngine->SendUserData(1, 54, 3246, request, 6, 0), 0);
    AdvanceAndStep(0);
    EXPECT_EQ(Sent(), "05 64 0B C4 36 00 AE 0C BA 7A C0 C1 01 3C 02 06 52 C3");
    EXPECT_EQ(RecvText(), "<= ");
    EXPECT_EQ(m_pEngine->m_nAwaiting, CQueltProtocol::AWAIT_APP);
    AdvanceAndStep(4);
    EXPECT_EQ(RecvText(), "Receiving TimeOut !\r\n");
    EXPECT_EQ(Sent(), "");
    // The transport step of the same cycle reports it, and the request fails at once.
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kLinkFailure});
    EXPECT_EQ(m_pEngine->m_bAppFailed, 1);
    AdvanceAndStep(0);
    EXPECT_EQ(g_AlarmLog.Texts().size(), 1u);  // reported once
}

TEST_F(LinkLayerTest, NackOrRtuResetWhileAwaitingALinkAnswerFailTheLink)
{
    ResetLink();
    AdvanceAndStep(0);
    // Confirmed user data awaits an ACK.
    const std::uint8_t request[] = {0xC0, 0xC1};
    ASSERT_EQ(m_pEngine->SendUserData(0, 54, 3246, request, 2, 0), 0);
    AdvanceAndStep(0);
    Sent();
    Feed(RtuFrame(0x01));  // NACK
    EXPECT_EQ(m_pEngine->m_bLinkFailed, 1);
    EXPECT_EQ(m_pEngine->m_nAwaiting & CQueltProtocol::AWAIT_LINK, 0);
    std::uint8_t buf[250];
    int n = 0;
    EXPECT_EQ(m_pEngine->TakeUserData(buf, n), 2);

    ASSERT_EQ(m_pEngine->SendUserData(0, 54, 3246, request, 2, 0), 0);
    AdvanceAndStep(0);
    Sent();
    Feed(RtuFrame(0x40));  // the RTU resets its link
    EXPECT_EQ(m_pEngine->m_bLinkFailed, 1);
    EXPECT_EQ(Sent(), kAck + " " + kReset);  // acknowledged, then answered with a reset
    EXPECT_EQ(m_pEngine->m_nLinkState, CQueltProtocol::LINK_RESET);
    EXPECT_EQ(m_pEngine->TakeUserData(buf, n), 2);
    EXPECT_EQ(g_AlarmLog.Texts(), (std::vector<std::string>{kLinkFailure, kLinkFailure}));
}

TEST_F(LinkLayerTest, RequestLinkStatusIsAnsweredOnlyOnceTheLinkIsReset)
{
    Feed(RtuFrame(0x49));
    EXPECT_EQ(Sent(), "");
    ResetLink();
    Feed(RtuFrame(0x49));
    EXPECT_EQ(Sent(), kLinkStatus);
    EXPECT_EQ(SendText(), "=> " + kLinkStatus + " \r\n");
    EXPECT_EQ(RecvText(), RtuFrame(0x49) + " \r\n");  // no "<= ": nothing is awaited
}

TEST_F(LinkLayerTest, RtuRequestsWhenNothingIsAwaited)
{
    ResetLink();
    const struct {
        std::uint8_t byCtrl;
        std::string answer;
    } cases[] = {
        {0x41, kAck},                           // reset user process
        {0x72, kAck},                           // test link states, FCV and FCB 1
        {0x72, kAck},                           // the same FCB again: acknowledged all the same
        {0x62, ""},                             // test link states without FCV
        {0x45, "05 64 05 8E 36 00 AE 0C 40 A8"},  // not functioning
        {0x00, ""},                             // an unasked secondary frame
    };
    for (const auto& c : cases) {
        Feed(RtuFrame(c.byCtrl));
        EXPECT_EQ(Sent(), c.answer) << int(c.byCtrl);
    }
    EXPECT_EQ(m_pEngine->m_nRecvFcb, 0);  // toggled by the first test only
}

TEST_F(LinkLayerTest, OurLinkResetLeavesTheCountOfTheRtusFrames)
{
    ResetLink();
    Feed(RtuFrame(0x73, "C0 C1 81 00 00"));  // FCB 1
    ASSERT_EQ(Sent(), kAck);
    m_pEngine->m_nLinkState = 0;  // as after an application failure: the master resets again
    ResetLink();
    // The RTU did not reset its link, so its next frame carries FCB 0: new data.
    Feed(RtuFrame(0x53, "C0 C2 81 00 00"));
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(m_pEngine->m_RecvQueue.size(), 1u) << "taken (the first was passed on during the reset)";
    // Its own reset does restart the count.
    Feed(RtuFrame(0x40));
    EXPECT_EQ(Sent(), kAck + " " + kReset);
    Feed(RtuFrame(0x00));
    Feed(RtuFrame(0x73, "C0 C3 81 00 00"));  // FCB 1 again
    EXPECT_EQ(Sent(), kAck);
    EXPECT_EQ(m_pEngine->m_RecvQueue.size(), 2u);
}
