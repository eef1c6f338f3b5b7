#include <gtest/gtest.h>

#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "core/ResponseList.h"
#include "monitor/AlarmLog.h"
#include "support/EngineFixture.h"
#include "support/Frames.h"
#include "support/Hex.h"

namespace {

const std::string kLinkFailure = "链路层通讯失败 ！";
const std::string kAppFailure = "应用层通信失败 !";

}  // namespace

// The engine against an RTU played by the test: it acknowledges link requests and
// answers every request with an empty response, and records what the master asked.
class PollCycleTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ClearResponses();
        ResetCommandQueue();
        ResetCtrlCommand();
    }
    void TearDown() override
    {
        ClearResponses();
        ResetCommandQueue();
        EngineTest::TearDown();
    }

    // One poll step's worth: 100 ms later, one engine cycle, the RTU's answers.
    void Cycle()
    {
        m_Clock.Advance(100);
        m_pEngine->OnCycle();
        Serve();
    }
    void RunFor(int nSeconds)
    {
        for (int i = 0; i < nSeconds * 10; ++i)
            Cycle();
    }
    // Runs until n more requests were seen (at most a simulated hour).
    void RunUntilRequests(std::size_t n)
    {
        const std::size_t nTarget = m_Requests.size() + n;
        for (int i = 0; i < 36000 && m_Requests.size() < nTarget; ++i)
            Cycle();
    }
    std::vector<std::string> TakeRequests()
    {
        std::vector<std::string> requests;
        requests.swap(m_Requests);
        return requests;
    }

    void Serve()
    {
        std::vector<std::vector<std::uint8_t>> frames;
        frames.swap(m_pEngine->Frames);
        for (const std::vector<std::uint8_t>& frame : frames) {
            const std::uint8_t byCtrl = frame[3];
            if ((byCtrl & 0x40) == 0 || !m_bRtuAlive)
                continue;  // a secondary frame of the master, or a silent RTU
            switch (byCtrl & 0x0F) {
            case 0:
                Feed(RtuFrame(0x00));  // ACK
                break;
            case 9:
                Feed(RtuFrame(0x0B));  // link status
                break;
            case 3:
                Feed(RtuFrame(0x00));
                [[fallthrough]];
            case 4:
                OnRequest(FrameUserData(frame));
                break;
            default:
                break;
            }
        }
    }

    void OnRequest(const std::vector<std::uint8_t>& segment)
    {
        const std::uint8_t byAppCtrl = segment.at(1);
        m_Requests.push_back(ToHex({segment.begin() + 2, segment.end()}));
        m_AppCtrls.push_back(byAppCtrl);
        if (segment.at(2) == 0x00 || !m_bAnswer)
            return;  // confirms and probes get no response
        const std::uint8_t byTh = static_cast<std::uint8_t>(0xC0 | (m_byRtuTpSeq++ & 0x3F));
        const std::uint8_t byResp = static_cast<std::uint8_t>(0xC0 | (byAppCtrl & 0x0F) | (m_bCon ? 0x20 : 0));
        Feed(RtuFrame(0x44, ToHex({byTh, byResp, 0x81, 0x00, 0x00})));
    }

    bool m_bRtuAlive = true;
    bool m_bAnswer = true;
    bool m_bCon = false;
    std::uint8_t m_byRtuTpSeq = 0;
    std::vector<std::string> m_Requests;  // function code and objects, as hex
    std::vector<std::uint8_t> m_AppCtrls;
};

TEST_F(PollCycleTest, AutomaticByClassStartsWithTheStartupSequenceThenBatches)
{
    g_nAskMode = ASK_AUTO;
    RunUntilRequests(11 + 6);
    std::vector<std::string> requests = TakeRequests();
    ASSERT_EQ(requests.size(), 17u);
    EXPECT_EQ(requests[8].substr(0, 14), "02 32 01 07 01");  // the time varies
    requests[8] = "time sync";
    const std::vector<std::string> expected = {
        "01 50 01 06", "15 3C 04 06", "15 3C 03 06", "15 3C 02 06", "02 50 01 00 07 07 00",
        "01 01 01 06", "01 1E 02 06", "17", "time sync", "07 14 01 06", "01 15 01 06",
        // the first batch: class 1, 2, 1, 2, 1, 3
        "01 3C 02 06", "01 3C 03 06", "01 3C 02 06", "01 3C 03 06", "01 3C 02 06", "01 3C 04 06"};
    EXPECT_EQ(requests, expected);
    // Every response reached the response list in the element format.
    ResponseElement element;
    ASSERT_TRUE(PopResponse(element));
    EXPECT_EQ(ToHex(element), "04 00 00 00");
}

TEST_F(PollCycleTest, ByObjectAndThePeriodicRequests)
{
    g_nAskMode = ASK_AUTO;
    g_nCallMode = CALL_BY_OBJECT;
    m_Clock.SetLocal({2026, 12, 10, 10, 7, 20, 0});
    CreateEngine();
    RunUntilRequests(11 + 3);
    std::vector<std::string> requests = TakeRequests();
    ASSERT_EQ(requests.size(), 14u);
    EXPECT_EQ(std::vector<std::string>(requests.begin() + 11, requests.end()),
              (std::vector<std::string>{"01 3C 02 06", "01 02 01 06", "01 20 02 06"}));
    // The counters were read in the quarter hour that began at 10:00.
    FakeClock quarter;
    quarter.SetLocal({2026, 12, 10, 10, 0, 0, 0});
    EXPECT_EQ(m_pEngine->m_tLastCounter, quarter.Now());

    // A minute on, the static reads come first in a batch; at 10:15 the counters.
    RunFor(60);
    requests = TakeRequests();
    const auto at = std::find(requests.begin(), requests.end(), "01 01 01 06");
    ASSERT_NE(at, requests.end());
    EXPECT_EQ(*(at + 1), "01 1E 02 06");
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "07 14 01 06"), 0);
    m_Clock.SetLocal({2026, 12, 10, 10, 14, 58, 0});
    RunFor(1);
    EXPECT_EQ(std::count(m_Requests.begin(), m_Requests.end(), "07 14 01 06"), 0);
    TakeRequests();
    RunFor(10);
    EXPECT_EQ(std::count(m_Requests.begin(), m_Requests.end(), "07 14 01 06"), 1);
}

TEST_F(PollCycleTest, ManualQueueRunsTheRunCountAndCarriesTheLastControlEntry)
{
    g_nAskMode = ASK_MANUAL;
    ManualChoice choice;
    choice.nPoint = 3;
    choice.nRunTimes = 2;
    QueueManualCommand(*FindMenuCommand(32807), choice);  // select point 3
    choice.nQueueMode = 1;
    choice.nPoint = 7;
    choice.nCloseTrip = 1;
    choice.lRelayMs = 500;
    QueueManualCommand(*FindMenuCommand(32807), choice);  // select point 7, trip
    QueueManualCommand(*FindMenuCommand(32791), choice);  // class 1

    RunFor(30);
    const std::string select7 = "03 0C 01 28 01 00 07 00 80 01 F4 01 00 00 00 00 00 00 00";
    EXPECT_EQ(TakeRequests(), (std::vector<std::string>{select7, select7, "01 3C 02 06", select7, select7,
                                                        "01 3C 02 06"}));
    EXPECT_EQ(g_nRunCount, 0);
    EXPECT_EQ(g_CtrlCmd.m_nPoint, 7);
}

TEST_F(PollCycleTest, LoopFlagRunsEndlesslyAndDroppedItemsAreNotSent)
{
    g_nAskMode = ASK_MANUAL;
    g_CmdItems[0] = {5, 12, 1, 0, 0, 0};   // removed unsent
    g_CmdItems[1] = {22, 0, 0, 0, 0, 0};   // removed unsent
    g_CmdItems[2] = {2, 60, 1, 0, 0, 0};   // a write of no known object: removed unsent
    g_CmdItems[3] = {1, 60, 3, 0, 0, 0};
    g_nCmdCount = 4;
    g_nRunCount = 1;
    g_bCmdLoop = 1;
    g_nScanPeriod = 1;  // behaves like 2
    RunFor(9);
    EXPECT_EQ(TakeRequests(), std::vector<std::string>(4, "01 3C 03 06"));  // at 2, 4, 6, 8 s
    EXPECT_EQ(g_nRunCount, 1);
}

TEST_F(PollCycleTest, DelayMeasurementFromTheMenuIsSentAsFunction23)
{
    g_nAskMode = ASK_MANUAL;
    QueueManualCommand(*FindMenuCommand(32801), ManualChoice{});  // "延时测量(52.1)"
    RunUntilRequests(1);
    EXPECT_EQ(TakeRequests(), std::vector<std::string>{"17"});
}

TEST_F(PollCycleTest, ConfirmGoesFirstWithTheSequenceOfTheConfirmedResponse)
{
    g_nAskMode = ASK_MANUAL;
    m_bCon = true;
    QueueManualCommand(*FindMenuCommand(32791), ManualChoice{0, 0, 0, 0, 0});
    m_pEngine->m_byAppSeq = 5;
    RunUntilRequests(3);
    const std::vector<std::string> requests = TakeRequests();
    EXPECT_EQ(requests, (std::vector<std::string>{"01 3C 02 06", "00", "01 3C 02 06"}));
    ASSERT_GE(m_AppCtrls.size(), 3u);
    EXPECT_EQ(m_AppCtrls[0], 0xC5);  // the request with sequence 5
    EXPECT_EQ(m_AppCtrls[1], 0xC5);  // its confirm echoes 5, though the counter moved on
    EXPECT_EQ(m_AppCtrls[2], 0xC7);  // the counter stepped for the confirm as well
}

TEST_F(PollCycleTest, SilentRtuGivesThreeLinkAlarmsThenOneApplicationAlarmAndRecovers)
{
    g_nAskMode = ASK_AUTO;
    RunUntilRequests(11);
    TakeRequests();
    // An unanswered request fails the link after its time-out; so do both probes. The
    // link resets that follow fail silently.
    m_bRtuAlive = false;
    RunFor(60);
    EXPECT_EQ(g_AlarmLog.Texts(),
              (std::vector<std::string>{kLinkFailure, kLinkFailure, kLinkFailure, kAppFailure}));
    EXPECT_EQ(m_pEngine->m_nLinkState, 0);

    // The RTU comes back: link reset, then the start-up sequence again.
    g_AlarmLog.Clear();
    m_bRtuAlive = true;
    m_bAnswer = true;
    TakeRequests();
    RunUntilRequests(11);
    const std::vector<std::string> requests = TakeRequests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests.front(), "01 50 01 06");
    EXPECT_EQ(std::count(g_AlarmLog.Texts().begin(), g_AlarmLog.Texts().end(), kAppFailure), 0);
}

TEST_F(PollCycleTest, ResponsesBelow2048OctetsReachTheListAndLongerOnesDoNot)
{
    for (const auto& [nLength, bListed] : {std::pair{2047, true}, {2048, false}}) {
        ClearResponses();
        m_pEngine->m_byAppWait = CQueltProtocol::WAIT_RESPONSE;
        m_pEngine->m_TpBuf[0] = 0xE3;  // CON
        m_pEngine->m_TpBuf[1] = 0x81;
        m_pEngine->m_nTpLen = nLength;
        m_pEngine->m_nTpResult = 1;
        m_pEngine->ApplicationStep(3246, 54);
        ResponseElement element;
        EXPECT_EQ(PopResponse(element), bListed) << nLength;
        if (bListed) {
            EXPECT_EQ(element.size(), 2047u);
            EXPECT_EQ(ToHex({element.begin(), element.begin() + 2}), "FF 07");
        }
        EXPECT_EQ(m_pEngine->m_bConfirmPending, 1) << "confirmed even when dropped";
        EXPECT_EQ(m_pEngine->m_byConfirmSeq, 3);
        m_pEngine->m_bConfirmPending = 0;
    }
}

TEST_F(PollCycleTest, ResponseTimeoutIsThreeScanPeriodsOfAtLeastTwoSeconds)
{
    g_nScanPeriod = 1;
    m_pEngine->m_byAppWait = CQueltProtocol::WAIT_RESPONSE;
    m_pEngine->m_tRequest = m_Clock.Now();
    m_Clock.AdvanceSeconds(6);
    m_pEngine->ApplicationStep(3246, 54);
    EXPECT_EQ(m_pEngine->m_bAppFailed, 0);
    m_Clock.AdvanceSeconds(1);
    m_pEngine->ApplicationStep(3246, 54);
    EXPECT_EQ(m_pEngine->m_bAppFailed, 1);
    EXPECT_EQ(m_pEngine->m_byAppWait, 0);
}

TEST_F(PollCycleTest, PendingConfirmHoldsBackEveryRequestWhileTheLinkIsBusy)
{
    m_pEngine->m_nLinkState = CQueltProtocol::LINK_RESET;
    m_pEngine->m_listPoll.push_back({1, 60, 2});
    m_pEngine->m_bConfirmPending = 1;
    m_pEngine->m_bRemoteBusy = 1;
    for (int i = 0; i < 3; ++i)
        m_pEngine->ApplicationStep(3246, 54);
    EXPECT_TRUE(m_pEngine->m_SendQueue.empty());
    EXPECT_EQ(m_pEngine->m_bConfirmPending, 1);
    EXPECT_EQ(m_pEngine->m_listPoll.size(), 1u);

    m_pEngine->m_bRemoteBusy = 0;
    m_pEngine->ApplicationStep(3246, 54);
    ASSERT_EQ(m_pEngine->m_SendQueue.size(), 1u);
    EXPECT_EQ(FrameUserData(m_pEngine->m_SendQueue.front().Frame)[2], 0x00);  // the confirm
    EXPECT_EQ(m_pEngine->m_bConfirmPending, 0);
    EXPECT_EQ(m_pEngine->m_listPoll.size(), 1u);
}
