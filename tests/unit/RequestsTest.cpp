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
        m_pEngine->m_nLinkState = CQueltProtocol::LINK_RESET;
        ResetCtrlCommand();
    }
    // The user data of the frame the last builder queued: the transport header onwards.
    std::string Queued()
    {
        if (m_pEngine->m_SendQueue.empty())
            return "";
        const std::vector<std::uint8_t> data = FrameUserData(m_pEngine->m_SendQueue.front().Frame);
        m_pEngine->m_SendQueue.clear();
        return ToHex(data);
    }
};

TEST_F(RequestsTest, ReadOfClassOneIsTheWholeExampleFrame)
{
    const std::uint8_t objects[] = {0x3C, 0x02, 0x06};
    ASSERT_EQ(m_pEngine->SendRead(54, 3246, objects, 3), 0);
    m_pEngine->OnCycle();
    EXPECT_EQ(Sent(), "05 64 0B C4 36 00 AE 0C BA 7A C0 C0 01 3C 02 06 54 E0");
    EXPECT_EQ(m_pEngine->m_byAppSeq, 1);
    EXPECT_EQ(m_pEngine->m_byTpSendSeq, 1);
    EXPECT_EQ(m_pEngine->m_byAppWait, CQueltProtocol::WAIT_RESPONSE);
    EXPECT_EQ(m_pEngine->m_nAwaiting, CQueltProtocol::AWAIT_APP);
}

TEST_F(RequestsTest, SelectForPointFiveAndItsEffects)
{
    std::uint8_t objects[32];
    const int n = CQueltProtocol::BuildControlObjects(objects, 5, 0, 1000);
    EXPECT_EQ(ToHex({objects, objects + n}), "0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00");
    EXPECT_EQ(ToHex({objects + 7, objects + 8}), "40");
    CQueltProtocol::BuildControlObjects(objects, 0x1234, 1, 60000);
    EXPECT_EQ(ToHex({objects, objects + 18}), "0C 01 28 01 00 34 12 80 01 60 EA 00 00 00 00 00 00 00");

    // Busy: nothing changes.
    m_pEngine->m_bRemoteBusy = 1;
    EXPECT_EQ(m_pEngine->SendSelect(54, 3246, objects, 18), 1);
    EXPECT_EQ(g_CtrlCmd.m_bSelectPending, 0);
    EXPECT_EQ(m_pEngine->m_byAppSeq, 0);
    EXPECT_EQ(m_pEngine->m_byTpSendSeq, 0);
    EXPECT_EQ(m_pEngine->m_byAppWait, 0);
    m_pEngine->m_bRemoteBusy = 0;

    m_Clock.AdvanceSeconds(7);
    CQueltProtocol::BuildControlObjects(objects, 5, 0, 1000);
    ASSERT_EQ(m_pEngine->SendSelect(54, 3246, objects, 18), 0);
    EXPECT_EQ(g_CtrlCmd.m_bSelectPending, 1);
    EXPECT_EQ(g_CtrlCmd.m_tSelect, m_Clock.Now());
    EXPECT_EQ(m_pEngine->m_byAppSeq, 1);
    EXPECT_EQ(m_pEngine->m_byAppWait, CQueltProtocol::WAIT_RESPONSE);
    // Confirmed user data: it awaits the link's ACK as well as the response.
    EXPECT_EQ(m_pEngine->m_SendQueue.front().byAwaiting, CQueltProtocol::AWAIT_LINK | CQueltProtocol::AWAIT_APP);
    EXPECT_EQ(m_pEngine->m_SendQueue.front().Frame[3], 0xF3);  // FCB 1 on the first
    EXPECT_EQ(Queued(), "C0 C0 03 0C 01 28 01 00 05 00 40 01 E8 03 00 00 00 00 00 00 00");
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
        ASSERT_EQ(m_pEngine->SendTimeSync(54, 3246), 0);
        const std::string queued = Queued();
        EXPECT_EQ(queued.substr(6), "02 32 01 07 01 " + c.octets) << c.t.nDay;
    }
}

TEST_F(RequestsTest, FunctionCodeRangesAndTheRetryCounter)
{
    const std::uint8_t objects[] = {0x14, 0x01, 0x06};
    EXPECT_EQ(m_pEngine->SendFreeze(54, 3246, 6, objects, 3), 3);
    EXPECT_EQ(m_pEngine->SendFreeze(54, 3246, 11, objects, 3), 3);
    EXPECT_EQ(m_pEngine->SendUnsolicitedCtrl(54, 3246, 19, objects, 3), 3);
    EXPECT_EQ(m_pEngine->SendUnsolicitedCtrl(54, 3246, 22, objects, 3), 3);
    EXPECT_TRUE(m_pEngine->m_SendQueue.empty());
    std::vector<std::uint8_t> tooLong(246);
    EXPECT_EQ(m_pEngine->SendRead(54, 3246, tooLong.data(), 246), 2);

    m_pEngine->m_nAppRetry = 1;
    ASSERT_EQ(m_pEngine->SendFreeze(54, 3246, 7, objects, 3), 0);
    EXPECT_EQ(m_pEngine->m_nAppRetry, 0);
    EXPECT_EQ(Queued(), "C0 C0 07 14 01 06");
    ASSERT_EQ(m_pEngine->SendUnsolicitedCtrl(54, 3246, 21, objects, 3), 0);
    EXPECT_EQ(Queued(), "C1 C1 15 14 01 06");
}

TEST_F(RequestsTest, ConfirmCarriesTheSequenceOfTheResponseItConfirms)
{
    m_pEngine->m_byAppSeq = 6;
    m_pEngine->m_byAppWait = 0;
    m_pEngine->m_byConfirmSeq = 5;  // the response asked for a confirm with sequence 5
    ASSERT_EQ(m_pEngine->SendConfirm(54, 3246), 0);
    EXPECT_EQ(Queued(), "C0 C5 00");
    EXPECT_EQ(m_pEngine->m_byAppSeq, 6);  // only requests step the counter
    EXPECT_EQ(m_pEngine->m_byAppWait, 0);
    EXPECT_EQ(m_pEngine->m_nAwaiting, 0);
}
