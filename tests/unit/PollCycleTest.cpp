#include <gtest/gtest.h>

#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "core/EngineStatus.h"
#include "core/ResponseList.h"
#include "dnp3/FunctionCodes.h"
#include "monitor/AlarmLog.h"
#include "support/EngineFixture.h"
#include "support/Frames.h"
#include "support/Hex.h"

namespace {

const std::string kLinkFailure = "链路层通讯失败 ！";
const std::string kAppFailure = "应用层通信失败 !";

std::vector<std::pair<std::uint8_t, std::string>> TakeListed();

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
        const std::uint8_t bySeq = byAppCtrl & 0x0F;
        m_Requests.push_back(ToHex({segment.begin() + 2, segment.end()}));
        m_AppCtrls.push_back(byAppCtrl);
        if (segment.at(2) == 0x00) {
            // A confirm of the first of two fragments lets the second one go.
            if (m_bSecondDue && bySeq == m_bySecondAfter) {
                m_bSecondDue = false;
                SendResponse(static_cast<std::uint8_t>(0x40 | ((bySeq + 1) & 0x0F)), "1E 02 01 01 00 01 00 01 02 00");
            }
            return;  // confirms get no response
        }
        if (!m_bAnswer)
            return;
        if (m_nDropAnswers > 0) {
            --m_nDropAnswers;  // lost on the line
            return;
        }
        if (m_nCutAnswers > 0) {  // its last octets lost on the line
            --m_nCutAnswers;
            const std::uint8_t byTh = static_cast<std::uint8_t>(0xC0 | (m_byRtuTpSeq++ & 0x3F));
            const std::string frame = RtuFrame(0x44, ToHex({byTh, static_cast<std::uint8_t>(0xC0 | bySeq), 0x81, 0, 0}));
            Feed(frame.substr(0, frame.size() - 3 * 3));
            return;
        }
        if (m_bTwoFragments) {  // FIR and CON, the rest after the confirm
            m_bSecondDue = true;
            m_bySecondAfter = bySeq;
            SendResponse(static_cast<std::uint8_t>(0xA0 | bySeq), "1E 02 01 00 00 00 00 01 01 00");
            return;
        }
        std::string echo;  // a select or operate is answered with its objects and a status
        if (segment.at(2) == 0x03 || segment.at(2) == 0x04) {
            std::vector<std::uint8_t> objects(segment.begin() + 3, segment.end());
            objects.at(5) = static_cast<std::uint8_t>(objects.at(5) + m_nEchoIndexDelta);
            objects.back() = m_byControlStatus;
            echo = ToHex(objects);
        }
        const std::uint8_t byCtrl = static_cast<std::uint8_t>(0xC0 | bySeq | (m_bCon ? 0x20 : 0));
        if (m_nHoldAnswers > 0) {  // answered only once the next request has come
            --m_nHoldAnswers;
            m_Held.emplace_back(byCtrl, echo);
            return;
        }
        for (const auto& [byHeldCtrl, heldEcho] : m_Held)
            SendResponse(byHeldCtrl, heldEcho);
        m_Held.clear();
        SendResponse(byCtrl, echo);
    }
    void SendResponse(std::uint8_t byAppCtrl, const std::string& objects)
    {
        const std::uint8_t byTh = static_cast<std::uint8_t>(0xC0 | (m_byRtuTpSeq++ & 0x3F));
        Feed(RtuFrame(0x44, ToHex({byTh, byAppCtrl, 0x81, m_byIin1, 0x00}) + (objects.empty() ? "" : " " + objects)));
    }

    // The operator's read of class 1 goes out, and its answer is awaited; returns its
    // sequence.
    std::uint8_t AwaitRead()
    {
        g_nAskMode = ASK_MANUAL;
        if (!m_pEngine->Link().IsReset())
            ResetLink();
        m_pEngine->Frames.clear();
        QueueManualCommand(*FindMenuCommand(32791), ManualChoice{});
        for (int i = 0; i < 100 && m_pEngine->Frames.empty(); ++i) {
            m_Clock.Advance(100);
            m_pEngine->OnCycle();
        }
        EXPECT_EQ(m_pEngine->Frames.size(), 1u);
        m_pEngine->Frames.clear();
        Sent();
        EXPECT_TRUE(Waiting());
        return m_pEngine->App().RequestSeq();
    }
    // The RTU sends one application fragment in as many segments as it needs; the engine
    // takes each in with a cycle of its own.
    void DeliverFragment(const std::vector<std::uint8_t>& fragment)
    {
        for (const std::string& frame : FragmentFrames(fragment)) {
            Feed(frame);
            m_pEngine->OnCycle();
        }
        m_pEngine->OnCycle();  // a confirm due for the fragment before goes first
    }
    // The application octets of the frames the engine wrote (control, function, objects),
    // after two more cycles: one to hand a due confirm down, one to write it.
    std::vector<std::string> Written()
    {
        m_pEngine->OnCycle();
        m_pEngine->OnCycle();
        std::vector<std::vector<std::uint8_t>> frames;
        frames.swap(m_pEngine->Frames);
        Sent();
        std::vector<std::string> written;
        for (const std::vector<std::uint8_t>& frame : frames) {
            const std::vector<std::uint8_t> data = FrameUserData(frame);
            if (!data.empty())
                written.push_back(ToHex({data.begin() + 1, data.end()}));
        }
        return written;
    }
    bool Failed() const { return m_pEngine->App().GetState() == CAppLayer::State::FAILED; }
    bool Waiting() const { return m_pEngine->App().IsWaiting(); }
    // The link frames (as hex) that carry one application fragment, 249 octets a segment.
    std::vector<std::string> FragmentFrames(const std::vector<std::uint8_t>& fragment)
    {
        std::vector<std::string> frames;
        for (std::size_t nPos = 0; nPos < fragment.size(); nPos += 249) {
            const std::size_t n = std::min<std::size_t>(249, fragment.size() - nPos);
            std::vector<std::uint8_t> segment(n + 1);
            segment[0] = static_cast<std::uint8_t>((m_byRtuTpSeq++ & 0x3F) | (nPos == 0 ? 0x40 : 0) |
                                                   (nPos + n == fragment.size() ? 0x80 : 0));
            std::copy_n(fragment.begin() + static_cast<long>(nPos), n, segment.begin() + 1);
            frames.push_back(RtuFrame(0x44, ToHex(segment)));
        }
        return frames;
    }

    bool m_bRtuAlive = true;
    bool m_bAnswer = true;
    bool m_bCon = false;
    bool m_bTwoFragments = false;
    int m_nDropAnswers = 0;
    int m_nCutAnswers = 0;
    std::uint8_t m_byIin1 = 0x00;
    std::uint8_t m_byControlStatus = 0x00;
    int m_nEchoIndexDelta = 0;  // a control echoed for another point
    int m_nHoldAnswers = 0;
    std::vector<std::pair<std::uint8_t, std::string>> m_Held;
    bool m_bSecondDue = false;
    std::uint8_t m_bySecondAfter = 0;
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
    EXPECT_EQ(m_pEngine->Planner().LastCounterRead(), quarter.Now());

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

TEST_F(PollCycleTest, ConfirmGoesFirstEchoesTheResponseAndLeavesTheRequestSequence)
{
    g_nAskMode = ASK_MANUAL;
    m_bCon = true;
    ManualChoice add;
    add.nQueueMode = 1;
    QueueManualCommand(*FindMenuCommand(32791), add);  // class 1
    QueueManualCommand(*FindMenuCommand(32817), add);  // select and operate
    RunUntilRequests(6);
    const std::vector<std::string> requests = TakeRequests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[1], "00");
    EXPECT_EQ(requests[2].substr(0, 2), "03");
    EXPECT_EQ(requests[4].substr(0, 2), "04");
    // Request 0, its confirm 0; the select 1, its confirm 1; the operate the select's + 1,
    // as a strict RTU wants it.
    EXPECT_EQ(m_AppCtrls, (std::vector<std::uint8_t>{0xC0, 0xC0, 0xC1, 0xC1, 0xC2, 0xC2}));
}

TEST_F(PollCycleTest, UnsolicitedResponseIsConfirmedWithItsOwnSequenceAndItsEventsPlaced)
{
    for (const int nMode : {ASK_MANUAL, ASK_AUTO}) {
        g_nAskMode = nMode;
        CreateEngine();
        RunFor(4);  // the link is reset
        TakeRequests();
        m_AppCtrls.clear();
        // The null unsolicited response of an RTU's start: FIR, FIN, CON, UNS, sequence 3.
        Feed(RtuFrame(0x44, "C0 F3 82 80 00"));
        RunFor(1);
        // Once, in between the polls of automatic mode.
        const std::vector<std::string> requests = TakeRequests();
        ASSERT_EQ(std::count(requests.begin(), requests.end(), "00"), 1) << nMode;
        const auto at = std::find(requests.begin(), requests.end(), "00") - requests.begin();
        EXPECT_EQ(m_AppCtrls.at(static_cast<std::size_t>(at)), 0xD3) << nMode;
        if (nMode == ASK_MANUAL) {
            EXPECT_TRUE(TakeListed().empty()) << "nothing to place";
        }
    }
    // Events it carries are gone from the RTU once confirmed: they are placed.
    g_nAskMode = ASK_MANUAL;
    CreateEngine();
    RunFor(4);
    Feed(RtuFrame(0x44, "C1 F4 82 00 00 02 02 17 01 05 00 81 10 27 00 00 00 00"));
    RunFor(1);
    EXPECT_EQ(m_AppCtrls.back(), 0xD4);
    const auto listed = TakeListed();
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed.back().second, "02 02 17 01 05 00 81 10 27 00 00 00 00");
}

TEST_F(PollCycleTest, SilentRtuGivesThreeLinkAlarmsThenOneApplicationAlarmAndRecovers)
{
    g_nAskMode = ASK_AUTO;
    RunUntilRequests(11);
    TakeRequests();
    g_AlarmLog.Clear();  // the start-up's delay measurement said its result
    // An unanswered request fails the link after its time-out; so do both repeats. The
    // link resets that follow fail silently.
    m_bRtuAlive = false;
    RunFor(60);
    EXPECT_EQ(g_AlarmLog.Texts(),
              (std::vector<std::string>{kLinkFailure, kLinkFailure, kLinkFailure, kAppFailure}));
    EXPECT_FALSE(m_pEngine->Link().IsReset());

    // The RTU comes back, not restarted: link reset, then the polls go on where they were.
    g_AlarmLog.Clear();
    m_bRtuAlive = true;
    m_bAnswer = true;
    TakeRequests();
    RunUntilRequests(3);
    const std::vector<std::string> requests = TakeRequests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests.front().substr(0, 5), "01 3C");
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
}

TEST_F(PollCycleTest, StatusBoardCountsTheExchangesAndFollowsTheRtu)
{
    const EngineCounts zero = g_EngineStatus.Read().counts;
    auto counts = [&zero] { return CountsSince(g_EngineStatus.Read().counts, zero); };
    EXPECT_TRUE(g_EngineStatus.Read().bEngine);
    EXPECT_TRUE(g_EngineStatus.Read().bPortOpen);
    EXPECT_EQ(g_EngineStatus.Read().health, LinkHealth::NOT_RESET);

    g_nAskMode = ASK_AUTO;
    RunUntilRequests(11);  // the start-up sequence, each request answered
    Cycle();
    EXPECT_EQ(g_EngineStatus.Read().health, LinkHealth::NORMAL);
    EXPECT_EQ(counts(), (EngineCounts{11, 11, 0, 0}));

    std::vector<std::uint8_t> spoilt = FromHex(RtuFrame(0x44, "C0 C0 81 00 00"));
    spoilt.back() ^= 0x01;
    Feed(ToHex(spoilt));
    Feed("05 64 03 44");  // no frame is this short
    EXPECT_EQ(counts().nCrcFailures, 2u);

    // Silent: the link's waits run out; the application gives up and the line reads failed,
    // with the time of the last answer, even while the link resets go unanswered.
    RunUntilRequests(1);
    const std::time_t tLastAnswer = Now();
    m_bRtuAlive = false;
    RunFor(60);
    EXPECT_EQ(g_EngineStatus.Read().health, LinkHealth::FAILED);
    EXPECT_EQ(g_EngineStatus.Read().tLastAnswer, tLastAnswer);
    const EngineCounts silent = counts();
    EXPECT_GE(silent.nTimeOuts, 3u);
    EXPECT_EQ(silent.nAnswers, 12u);

    m_bRtuAlive = true;
    RunUntilRequests(2);
    Cycle();
    EXPECT_EQ(g_EngineStatus.Read().health, LinkHealth::NORMAL);
    const EngineCounts back = counts();
    EXPECT_GT(back.nAnswers, silent.nAnswers);
    RunFor(10);  // polls answered: no more time-outs
    EXPECT_GT(counts().nAnswers, back.nAnswers);
    EXPECT_EQ(counts().nTimeOuts, back.nTimeOuts);

    m_pEngine.reset();
    EXPECT_FALSE(g_EngineStatus.Read().bEngine);
}

TEST_F(PollCycleTest, LostAnswerIsAskedForAgainAndThePollsGoOn)
{
    g_nAskMode = ASK_AUTO;
    RunUntilRequests(11);  // the start-up sequence
    RunUntilRequests(1);   // class 1
    TakeRequests();
    g_AlarmLog.Clear();
    m_nDropAnswers = 1;
    RunUntilRequests(3);
    // The read whose answer was lost, the same read again, then the batch goes on.
    EXPECT_EQ(TakeRequests(), (std::vector<std::string>{"01 3C 03 06", "01 3C 03 06", "01 3C 02 06"}));
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kLinkFailure});
}

TEST_F(PollCycleTest, AnswerCutShortCostsOneTryAndTheNextAnswerIsTaken)
{
    g_nAskMode = ASK_MANUAL;
    QueueManualCommand(*FindMenuCommand(32791), ManualChoice{});  // class 1
    m_nCutAnswers = 1;
    RunFor(20);
    // The cut frame waits for octets that never come; the answer to the second try must
    // not be taken as its end.
    EXPECT_EQ(TakeRequests(), (std::vector<std::string>{"01 3C 02 06", "01 3C 02 06"}));
    EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{kLinkFailure});
    EXPECT_EQ(TakeListed().size(), 1u);
}

TEST_F(PollCycleTest, LongResponseAtTheDefaultLineSpeedIsWaitedForWhileItFlows)
{
    // 2048 octets in nine frames take about 22 s at 1200 bit/s, far beyond the 9 s
    // response time-out; every frame of the answer restarts the wait.
    g_nAskMode = ASK_MANUAL;
    m_bAnswer = false;
    QueueManualCommand(*FindMenuCommand(32796), ManualChoice{});  // all analogs
    RunUntilRequests(1);
    std::vector<std::uint8_t> fragment(2048, 0x00);
    fragment[0] = static_cast<std::uint8_t>(0xC0 | (m_AppCtrls.back() & 0x0F));
    fragment[1] = 0x81;
    std::string line;
    for (const std::string& frame : FragmentFrames(fragment))
        line += frame + " ";
    const std::vector<std::uint8_t> octets = FromHex(line);
    for (std::size_t nPos = 0; nPos < octets.size(); nPos += 12) {  // 12 octets a poll step
        m_Clock.Advance(100);
        const auto first = octets.begin() + static_cast<long>(nPos);
        Feed(ToHex({first, first + static_cast<long>(std::min<std::size_t>(12, octets.size() - nPos))}));
        m_pEngine->OnCycle();
        Serve();
    }
    RunFor(1);
    EXPECT_EQ(TakeRequests(), std::vector<std::string>{"01 1E 02 06"}) << "asked once";
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
    const auto listed = TakeListed();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].second.size(), 3u * 2044 - 1);
}

TEST_F(PollCycleTest, SpoiltFrameWhileNothingIsAwaitedFailsNoRequest)
{
    g_nAskMode = ASK_MANUAL;
    RunFor(4);  // the link is reset; nothing to ask
    std::vector<std::uint8_t> spoilt = FromHex(RtuFrame(0x44, "C0 C0 81 00 00"));
    spoilt.back() ^= 0x01;
    Feed(ToHex(spoilt));
    QueueManualCommand(*FindMenuCommand(32791), ManualChoice{});  // class 1
    RunFor(5);
    EXPECT_EQ(TakeRequests(), std::vector<std::string>{"01 3C 02 06"});
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
    EXPECT_EQ(RecvText().find("Receiving Error"), std::string::npos);
    EXPECT_EQ(TakeListed().size(), 1u);
}

TEST_F(PollCycleTest, ControlOrFreezeWhoseAnswerIsLostIsNeverSentAgain)
{
    // Sent again, an operate could operate twice and a freeze would move the moment the
    // counters were frozen: the IIN are read instead.
    g_nAskMode = ASK_MANUAL;
    for (const int nMenuId : {32808, 32812}) {  // operate; freeze the 32-bit counters
        ManualChoice choice;
        choice.nPoint = 3;
        QueueManualCommand(*FindMenuCommand(nMenuId), choice);
        m_nDropAnswers = 1;
        RunUntilRequests(2);
        RunFor(1);
        const std::vector<std::string> requests = TakeRequests();
        ASSERT_EQ(requests.size(), 2u) << nMenuId;
        EXPECT_EQ(requests[0].substr(0, 2), nMenuId == 32808 ? "04" : "07") << nMenuId;
        EXPECT_EQ(requests[1], "01 50 01 06") << nMenuId;
    }
}

TEST_F(PollCycleTest, OperateFollowsOnlyAGoodEchoOfItsSelect)
{
    const std::string kNoEcho = "遥控选点无返校, 遥控执行已取消 !";
    const struct {
        const char* what;
        std::uint8_t byStatus;
        int nIndexDelta;
        int nDrop;
        std::vector<std::string> functions;  // of the requests sent
        std::vector<std::string> alarms;
    } cases[] = {
        {"echo with status 0", 0, 0, 0, {"03", "04"}, {}},
        {"refused", 4, 0, 0, {"03"}, {"遥控选点返校状态 4, 遥控执行已取消 !"}},
        {"another point echoed", 0, 1, 0, {"03"}, {"遥控选点返校不符, 遥控执行已取消 !"}},
        {"no echo", 0, 0, 1, {"03", "01"}, {kLinkFailure, kNoEcho}},
    };
    g_nAskMode = ASK_MANUAL;
    for (const auto& c : cases) {
        CreateEngine();
        g_AlarmLog.Clear();
        TakeRequests();
        m_byControlStatus = c.byStatus;
        m_nEchoIndexDelta = c.nIndexDelta;
        m_nDropAnswers = c.nDrop;
        ManualChoice choice;
        choice.nPoint = 5;
        QueueManualCommand(*FindMenuCommand(32817), choice);  // select and operate
        RunFor(20);
        std::vector<std::string> functions;
        for (const std::string& request : TakeRequests())
            functions.push_back(request.substr(0, 2));
        EXPECT_EQ(functions, c.functions) << c.what;
        EXPECT_EQ(g_AlarmLog.Texts(), c.alarms) << c.what;
    }
}

TEST_F(PollCycleTest, LateControlEchoStillAnswersTheControl)
{
    // The echo comes after the IIN read that replaced the control went out: it is the
    // control's answer, whatever else is awaited; an operate after a late select is not
    // sent (a strict RTU refuses it after the read in between).
    g_nAskMode = ASK_MANUAL;
    for (const int nMenuId : {32808, 32817}) {  // operate alone; select and operate
        CreateEngine();
        ClearResponses();
        g_AlarmLog.Clear();
        TakeRequests();
        m_nHoldAnswers = 1;
        ManualChoice choice;
        choice.nPoint = 5;
        QueueManualCommand(*FindMenuCommand(nMenuId), choice);
        RunFor(20);
        const auto listed = TakeListed();
        ASSERT_GE(listed.size(), 2u) << nMenuId;
        const std::uint8_t byControl = nMenuId == 32808 ? fc::OPERATE : fc::SELECT;
        EXPECT_EQ(listed[0].first, byControl) << "the echo, handed on as the control's answer";
        EXPECT_EQ(listed[0].second.substr(0, 2), "0C") << nMenuId;
        EXPECT_EQ(listed[1].first, fc::READ) << "then the IIN read's own answer";
        std::vector<std::string> expected = {kLinkFailure};
        if (nMenuId == 32817)
            expected.push_back("遥控选点返校超时, 遥控执行已取消 !");
        EXPECT_EQ(g_AlarmLog.Texts(), expected) << nMenuId;
    }
}

TEST_F(PollCycleTest, RestartAndNeedTimeIndicationsAreFollowed)
{
    g_nAskMode = ASK_AUTO;
    RunUntilRequests(11);
    TakeRequests();
    m_byIin1 = 0x10;  // needs time
    RunUntilRequests(2);
    m_byIin1 = 0x00;
    RunUntilRequests(8);
    std::vector<std::string> requests = TakeRequests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(),
                            [](const std::string& r) { return r.rfind("02 32 01 07 01", 0) == 0; }))
        << "the clock is set with the next batch";

    m_byIin1 = 0x80;  // restarted
    RunUntilRequests(1);
    m_byIin1 = 0x00;
    TakeRequests();
    RunUntilRequests(11);
    requests = TakeRequests();
    ASSERT_EQ(requests.size(), 11u);
    EXPECT_EQ(requests.front(), "01 50 01 06") << "the start-up sequence from its first request";
    EXPECT_EQ(requests[4], "02 50 01 00 07 07 00");
}

TEST_F(PollCycleTest, FragmentsOfUpTo2048OctetsReachTheList)
{
    // 2048 octets is the largest fragment there is; the reassembly buffer holds it.
    for (const int nLength : {2047, 2048}) {
        ClearResponses();
        const std::uint8_t bySeq = AwaitRead();
        std::vector<std::uint8_t> fragment(static_cast<std::size_t>(nLength), 0x00);
        fragment[0] = static_cast<std::uint8_t>(0xE0 | bySeq);  // FIR, FIN, CON
        fragment[1] = 0x81;
        DeliverFragment(fragment);
        ResponseElement element;
        std::uint8_t byAnswers = 0;
        ASSERT_TRUE(PopResponse(element, &byAnswers)) << nLength;
        EXPECT_EQ(element.size(), static_cast<std::size_t>(nLength));
        EXPECT_EQ(ToHex({element.begin(), element.begin() + 2}), nLength == 2047 ? "FF 07" : "00 08");
        EXPECT_EQ(byAnswers, fc::READ);
        EXPECT_FALSE(Waiting());
        EXPECT_EQ(Written(), std::vector<std::string>{ToHex({static_cast<std::uint8_t>(0xC0 | bySeq), 0x00})})
            << "the confirm";
    }
}

TEST_F(PollCycleTest, ResponseTimeoutIsThreeScanPeriodsOfAtLeastTwoSeconds)
{
    // Frames that are not the answer keep the link's wait open, but not the answer's.
    g_nScanPeriod = 1;
    const std::uint8_t bySeq = AwaitRead();
    const auto stray = static_cast<std::uint8_t>(0x80 | ((bySeq + 8) & 0x0F));  // FIR, another sequence
    for (int nSecond = 2; nSecond <= 6; nSecond += 2) {
        m_Clock.AdvanceSeconds(2);
        Feed(RtuFrame(0x44, ToHex({static_cast<std::uint8_t>(0x40 | (m_byRtuTpSeq++ & 0x3F)), stray, 0x81, 0, 0})));
        m_pEngine->OnCycle();
        EXPECT_TRUE(Waiting()) << nSecond;
    }
    m_Clock.AdvanceSeconds(1);
    m_pEngine->OnCycle();
    EXPECT_TRUE(Failed());
    EXPECT_TRUE(g_AlarmLog.Texts().empty()) << "the link did not fail";
}

TEST_F(PollCycleTest, PendingConfirmHoldsBackEveryRequestWhileTheLinkIsBusy)
{
    ResetLink();
    std::uint8_t objects[18];
    CQueltProtocol::BuildControlObjects(objects, 5, 0, 1000);
    ASSERT_EQ(m_pEngine->SendSelect(objects, 18), 0);
    m_pEngine->OnCycle();
    Sent();
    Feed(RtuFrame(0x10));  // ACK with DFC: busy
    // The echo asks for a confirm.
    Feed(RtuFrame(0x44, "C0 E0 81 00 00 " + ToHex({objects, objects + 18})));
    for (int i = 0; i < 3; ++i)
        m_pEngine->OnCycle();
    ASSERT_EQ(m_pEngine->App().ConfirmDue(), std::optional<std::uint8_t>(0));
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(m_pEngine->SendRead(objects, 3), 1) << "no request either";

    m_Clock.AdvanceSeconds(3);
    m_pEngine->OnCycle();
    EXPECT_EQ(Sent(), "05 64 05 C9 36 00 AE 0C E8 71") << "the link status is asked for";
    Feed(RtuFrame(0x0B));  // no longer busy
    m_pEngine->Frames.clear();
    EXPECT_EQ(Written(), std::vector<std::string>{"C0 00"});
}

namespace {

// The fragment with this control octet and objects (function 0x81, IIN 00 00).
std::vector<std::uint8_t> Fragment(std::uint8_t byCtrl, const std::string& objects = "")
{
    std::vector<std::uint8_t> fragment = {byCtrl, 0x81, 0x00, 0x00};
    const std::vector<std::uint8_t> octets = FromHex(objects);
    fragment.insert(fragment.end(), octets.begin(), octets.end());
    return fragment;
}

std::vector<std::pair<std::uint8_t, std::string>> TakeListed()
{
    std::vector<std::pair<std::uint8_t, std::string>> listed;
    ResponseElement element;
    std::uint8_t byAnswers = 0;
    while (PopResponse(element, &byAnswers))
        listed.emplace_back(byAnswers, ToHex({element.begin() + 4, element.end()}));
    return listed;
}

}  // namespace

namespace {

std::uint8_t Ctrl(std::uint8_t byBits, int nSeq) { return static_cast<std::uint8_t>(byBits | (nSeq & 0x0F)); }

}  // namespace

TEST_F(PollCycleTest, MultiFragmentResponseIsConfirmedAndHandedOnFragmentByFragment)
{
    const std::uint8_t s = AwaitRead();
    DeliverFragment(Fragment(Ctrl(0xA0, s), "01 02 01 00 00 00 00 81"));  // FIR, CON
    EXPECT_TRUE(Waiting()) << "the rest is still to come";
    EXPECT_EQ(Written(), std::vector<std::string>{ToHex({Ctrl(0xC0, s), 0x00})});

    m_Clock.AdvanceSeconds(2);
    DeliverFragment(Fragment(Ctrl(0x20, s + 1), "1E 02 01 00 00 00 00 01 07 00"));  // CON
    EXPECT_EQ(Written(), std::vector<std::string>{ToHex({Ctrl(0xC0, s + 1), 0x00})});
    m_Clock.AdvanceSeconds(2);
    DeliverFragment(Fragment(Ctrl(0x40, s + 2), "14 01 01 00 00 00 00 01 09 00 00 00"));  // FIN
    EXPECT_FALSE(Waiting());
    EXPECT_EQ(Written(), std::vector<std::string>{}) << "no confirm asked";
    EXPECT_EQ(TakeListed(), (std::vector<std::pair<std::uint8_t, std::string>>{
                                {fc::READ, "01 02 01 00 00 00 00 81"},
                                {fc::READ, "1E 02 01 00 00 00 00 01 07 00"},
                                {fc::READ, "14 01 01 00 00 00 00 01 09 00 00 00"}}));
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
}

TEST_F(PollCycleTest, FragmentsThatDoNotBelongAreReportedOnce)
{
    const struct {
        const char* what;
        std::vector<std::pair<std::uint8_t, int>> fragments;  // control bits, sequence after the request's
        std::string alarm;
        std::size_t nListed;
        bool bStillWaiting;
    } cases[] = {
        {"left over from an earlier request", {{0xC0, -1}}, "响应序号与请求不符, 已丢弃 !", 0, true},
        {"a later fragment first", {{0x40, 0}}, "响应首段缺少FIR标志, 已丢弃 !", 0, true},
        {"a sequence skipped", {{0xA0, 0}, {0x40, 2}}, "响应分段序号不连续, 响应中止 !", 1, false},
        {"a first fragment again", {{0xA0, 0}, {0xE0, 1}}, "响应后续分段带FIR标志, 响应中止 !", 1, false},
    };
    for (const auto& c : cases) {
        CreateEngine();
        ClearResponses();
        g_AlarmLog.Clear();
        const std::uint8_t s = AwaitRead();
        for (const auto& [byBits, nDelta] : c.fragments)
            DeliverFragment(Fragment(Ctrl(byBits, s + nDelta)));
        EXPECT_EQ(g_AlarmLog.Texts(), std::vector<std::string>{c.alarm}) << c.what;
        EXPECT_EQ(TakeListed().size(), c.nListed) << c.what;
        EXPECT_EQ(Waiting(), c.bStillWaiting) << c.what;
        EXPECT_FALSE(Failed()) << c.what;
        if (c.bStillWaiting) {  // the real answer is taken after the stray fragment
            DeliverFragment(Fragment(Ctrl(0xC0, s), "01 02 01 00 00 00 00 81"));
            EXPECT_EQ(TakeListed().size(), 1u) << c.what;
            EXPECT_FALSE(Waiting()) << c.what;
        }
    }
}

TEST_F(PollCycleTest, NextRequestGoesOutOnlyAfterTheLastFragment)
{
    g_nAskMode = ASK_MANUAL;
    m_bTwoFragments = true;
    ManualChoice add;
    add.nQueueMode = 1;
    QueueManualCommand(*FindMenuCommand(32791), add);  // class 1
    QueueManualCommand(*FindMenuCommand(32792), add);  // class 2
    RunUntilRequests(4);
    // Each response: the first fragment, its confirm, the last fragment; then the next request.
    EXPECT_EQ(TakeRequests(), (std::vector<std::string>{"01 3C 02 06", "00", "01 3C 03 06", "00"}));
    RunFor(1);
    const auto listed = TakeListed();
    ASSERT_EQ(listed.size(), 4u);
    for (const auto& [byAnswers, objects] : listed)
        EXPECT_EQ(byAnswers, fc::READ) << objects;
    EXPECT_EQ(listed[1].second, "1E 02 01 01 00 01 00 01 02 00");
    EXPECT_TRUE(g_AlarmLog.Texts().empty());
}

TEST_F(PollCycleTest, RtuThatNeverClearsItsRestartBitGetsOneStartupSequence)
{
    g_nAskMode = ASK_AUTO;
    m_byIin1 = 0x80;
    RunUntilRequests(11 + 12);  // the start-up sequence and two batches
    const std::vector<std::string> requests = TakeRequests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "01 50 01 06"), 1);
}

TEST_F(PollCycleTest, LateAnswerToAnEarlierTryCountsUnlessItAsksForAConfirm)
{
    // Static data answered late is still the answer. Events answered late are not: the
    // RTU takes a confirm only for its newest response, so they come again with it.
    for (const auto& [byBits, bTaken] : {std::pair<std::uint8_t, bool>{0xC0, true}, {0xE0, false}}) {
        CreateEngine();
        ClearResponses();
        const std::uint8_t s = AwaitRead();
        m_Clock.AdvanceSeconds(4);  // unanswered: the link fails, and so the request
        m_pEngine->OnCycle();
        ASSERT_TRUE(Failed());
        ASSERT_EQ(Written(), std::vector<std::string>{ToHex({Ctrl(0xC0, s + 1), 0x01, 0x3C, 0x02, 0x06})})
            << "the read again, with the next sequence";
        g_AlarmLog.Clear();
        DeliverFragment(Fragment(Ctrl(byBits, s), "1E 02 01 00 00 00 00 01 07 00"));
        EXPECT_EQ(TakeListed().size(), bTaken ? 1u : 0u) << int(byBits);
        EXPECT_EQ(Waiting(), !bTaken) << int(byBits);
        EXPECT_EQ(g_AlarmLog.Texts().empty(), bTaken) << int(byBits);
    }
}

TEST_F(PollCycleTest, BrokenFragmentFailsTheRequestOnlyWhenItWasTheAnswer)
{
    // The RTU's output can lag behind: segments of an abandoned response still arriving
    // after the next request went out must not fail that request.
    for (const auto& [nDelta, bFails] : {std::pair<int, bool>{-1, false}, {0, true}}) {
        CreateEngine();
        g_AlarmLog.Clear();
        const std::uint8_t s = AwaitRead();
        std::vector<std::uint8_t> first(250, 0x00);
        first[0] = static_cast<std::uint8_t>(0x40 | (m_byRtuTpSeq++ & 0x3F));  // FIR, no FIN
        first[1] = Ctrl(0xA0, s + nDelta);
        first[2] = 0x81;
        Feed(RtuFrame(0x44, ToHex(first)));
        m_pEngine->OnCycle();
        ++m_byRtuTpSeq;  // a segment lost
        Feed(RtuFrame(0x44, ToHex({static_cast<std::uint8_t>(0x80 | (m_byRtuTpSeq++ & 0x3F)), 0x00})));
        m_pEngine->OnCycle();
        EXPECT_EQ(Failed(), bFails) << nDelta;
        EXPECT_EQ(Waiting(), !bFails) << nDelta;
        EXPECT_TRUE(g_AlarmLog.Texts().empty()) << nDelta;
    }
}

TEST_F(PollCycleTest, FailureFromBeforeTheRequestDoesNotFailIt)
{
    ResetLink();
    // A fragment broken while nothing was awaited.
    Feed(RtuFrame(0x44, "40 C0 81 00 00"));
    Feed(RtuFrame(0x44, "82 00"));
    m_pEngine->OnCycle();
    m_pEngine->OnCycle();
    AwaitRead();
    m_pEngine->OnCycle();
    EXPECT_FALSE(Failed());
    EXPECT_TRUE(Waiting());
}
