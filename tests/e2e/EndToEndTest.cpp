#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "channel/ChannelTable.h"
#include "commands/CommandQueue.h"
#include "commands/CommandTable.h"
#include "core/Config.h"
#include "core/Locks.h"
#include "e2e/EndToEnd.h"
#include "ui/ChannelSettings.h"

namespace {

const std::string kLinkFailure = "链路层通讯失败 ！";
const std::string kAppFailure = "应用层通信失败 !";

SimOptions QuietRtu(bool bCompact = false)
{
    SimOptions options;
    options.nChangeMs = 0;  // values stay put, so the image can be compared
    options.bCompact = bCompact;
    return options;
}

}  // namespace

class AutomaticByClass : public EndToEndTest, public ::testing::WithParamInterface<bool> {};

TEST_P(AutomaticByClass, StartupSequenceCompletesAndTheImageEqualsTheRtu)
{
    g_nAskMode = ASK_AUTO;
    Start(QuietRtu(GetParam()));
    // The start-up sequence (11 requests) and a first batch (6 class polls).
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.4") >= 1; }, 30)) << RtuLog().size();
    RunFor(300);
    EXPECT_EQ(CountRtuLog("read 80.1"), 1);
    EXPECT_EQ(CountRtuLog("unsolicited responses disabled"), 3);
    EXPECT_EQ(CountRtuLog("device restart indication cleared"), 1);
    EXPECT_EQ(CountRtuLog("delay measurement"), 1);
    EXPECT_EQ(CountRtuLog("clock set"), 1);
    ExpectOneStartupFreeze();
    // The first batch, up to its class 3 poll: class 1 three times, class 2 twice.
    const std::vector<std::string> log = RtuLog();
    const auto batchEnd = std::find_if(log.begin(), log.end(),
                                       [](const std::string& line) { return line.find("read 60.4") != std::string::npos; });
    auto countBefore = [&](const char* text) {
        return std::count_if(log.begin(), batchEnd, [text](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    EXPECT_EQ(countBefore("read 60.2"), 3);
    EXPECT_EQ(countBefore("read 60.3"), 2);

    m_pRtu->With([](COutstation& rtu) {
        CSimDatabase& db = rtu.Database();
        for (int i = 0; i < db.YxCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYX[i].byState, db.Yx(i)) << "YX " << i;
        for (int i = 0; i < db.YcCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYC[i].nValue, db.Yc(i)) << "YC " << i;
        for (int i = 0; i < db.YmCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYM[i].dwValue, db.Frozen(i)) << "YM " << i;
        return 0;
    });
    // Only the delay measurement's result: no failure, no indication.
    ASSERT_EQ(m_Alarms.size(), 1u);
    EXPECT_EQ(m_Alarms[0].rfind("时延测量: 往返 ", 0), 0u) << m_Alarms[0];
}

INSTANTIATE_TEST_SUITE_P(QualifierStyles, AutomaticByClass, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Compact" : "Wide"; });

TEST_F(EndToEndTest, AutomaticByObjectPollsEventsBinaryChangesAndAnalogChanges)
{
    g_nAskMode = ASK_AUTO;
    g_nCallMode = CALL_BY_OBJECT;
    Start(QuietRtu());
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 32.2") >= 1; }, 30));
    const std::vector<std::string> log = RtuLog();
    const auto at = std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.find("read 1.1") != std::string::npos; });
    ASSERT_NE(at, log.end());
    std::vector<std::string> batch;
    for (const std::string& line : log)
        for (const char* name : {"read 60.2", "read 2.1", "read 32.2"})
            if (line.find(name) != std::string::npos)
                batch.push_back(name);
    batch.resize(std::min<std::size_t>(batch.size(), 3));  // the first batch; the next may have begun
    EXPECT_EQ(batch, (std::vector<std::string>{"read 60.2", "read 2.1", "read 32.2"}));
}

TEST_F(EndToEndTest, EveryEventIsReportedOnceWithItsTime)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options;
    options.nChangeMs = 250;
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("counters frozen") >= 1; }, 30));
    RunFor(8000);
    ASSERT_TRUE(DeliverAllEvents(30));

    const std::vector<std::string> expected = ExpectedEventLines();
    ASSERT_GE(expected.size(), 10u);
    EXPECT_EQ(ReportedEventLines(), expected);  // each once, with the RTU's time of day
    EXPECT_GE(CountRtuLog("events released"), 1);
}

struct ControlCase {
    const char* name;
    void (*fault)(SimOptions&);
    std::vector<std::string> alarms;
    int nState;  // of point 5 afterwards; it starts off and a closed relay turns it on
};

void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

class ControlTest : public EndToEndTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlTest, SelectAndExecute)
{
    SimOptions options = QuietRtu();
    GetParam().fault(options);
    ManualChoice choice;
    choice.nPoint = 5;
    choice.nCloseTrip = 0;
    choice.lRelayMs = 1000;
    QueueManualCommand(*FindMenuCommand(32817), choice);
    Start(options);
    // Nobody sets the RTU's clock in manual mode: it asks for the time with its first answer.
    std::vector<std::string> expected = GetParam().alarms;
    expected.push_back("RTU请求对时(IIN1.4): 选择 12.1");
    ASSERT_TRUE(RunUntil([&] { return m_Alarms.size() >= expected.size(); }, 30));
    // The poll thread's word on the operate and the GUI's on the echo come in either order.
    std::vector<std::string> alarms = m_Alarms;
    std::sort(alarms.begin(), alarms.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(alarms, expected);
    const int nState = m_pRtu->With([](COutstation& rtu) { return rtu.Database().Yx(5); });
    EXPECT_EQ(nState, GetParam().nState);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ControlTest,
    ::testing::Values(ControlCase{"Success", [](SimOptions&) {}, {"遥控选点成功 !", "遥控执行成功 !"}, 1},
                      // A refused select: the operate is not sent at all.
                      ControlCase{"CrobFail", [](SimOptions& o) { o.bCrobFail = true; },
                                  {"遥控选点失败 !", "遥控选点返校状态 4, 遥控执行已取消 !"}, 0},
                      ControlCase{"OperateRefused", [](SimOptions& o) { o.bOperateFail = true; },
                                  {"遥控选点成功 !", "遥控执行失败 !"}, 0},
                      ControlCase{"SelectRefused", [](SimOptions& o) { o.bSelectFail = true; },
                                  {"遥控选点失败 !", "遥控选点返校状态 4, 遥控执行已取消 !"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEndTest, ManualRunCountTwoSendsExactlyTwoRuns)
{
    ManualChoice choice;
    choice.nRunTimes = 2;
    QueueManualCommand(*FindMenuCommand(32796), choice);  // analog inputs
    Start(QuietRtu());
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 30.2") >= 2; }, 30));
    RunFor(7000);  // two more scan periods: nothing more comes
    EXPECT_EQ(CountRtuLog("read 30.2"), 2);
    std::lock_guard lock(g_csChannel);  // the poll thread counts the runs under it
    EXPECT_EQ(g_nRunCount, 0);
}

TEST_F(EndToEndTest, SilenceFailsTheLinkThriceThenTheApplicationOnceAndTheMasterRecovers)
{
    g_nAskMode = ASK_AUTO;
    Start(QuietRtu());
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("counters frozen") >= 1; }, 30));
    m_pRtu->With([](COutstation& rtu) {
        rtu.SetSilent(true);
        return 0;
    });
    ASSERT_TRUE(RunUntil([this] { return CountAlarms(kAppFailure) >= 1; }, 40));
    RunFor(500);
    EXPECT_EQ(AlarmsBesidesDelay(), (std::vector<std::string>{kLinkFailure, kLinkFailure, kLinkFailure, kAppFailure}));

    const int nIinReads = CountRtuLog("read 80.1");
    const int nPolls = CountRtuLog("read 60.");
    m_pRtu->With([](COutstation& rtu) {
        rtu.SetSilent(false);
        return 0;
    });
    // The link is reset again and the polls go on; the RTU did not restart, so the
    // start-up sequence is not run again.
    ASSERT_TRUE(RunUntil([&] { return CountRtuLog("read 60.") > nPolls + 3; }, 30));
    EXPECT_EQ(CountRtuLog("read 80.1"), nIinReads);
    EXPECT_EQ(CountAlarms(kAppFailure), 1);
}

TEST_F(EndToEndTest, CorruptedCrcIsReportedAndTheExchangeRecovers)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options = QuietRtu();
    options.nCorruptEvery = 7;
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return m_RecvText.find("Receiving Error !") != std::string::npos; }, 30));
    const int nHandled = m_pRtu->With([](COutstation& rtu) { return rtu.RequestsHandled(); });
    ASSERT_TRUE(RunUntil([&] { return m_pRtu->With([](COutstation& rtu) { return rtu.RequestsHandled(); }) >= nHandled + 5; },
                         30));
}

// An RTU set up like many in the field: 249-octet fragments, binary and analog events in
// one class, 1024 analogs. Static reads come in many fragments; class polls carry both
// kinds of events, in the order they happened.
TEST_F(EndToEndTest, SmallFragmentsAndMixedEventsReachTheImageWhole)
{
    g_nAskMode = ASK_AUTO;
    g_nYcPoints = 1024;
    SimOptions options = QuietRtu();
    options.nFragment = 249;
    options.nAnalogClass = 1;
    options.nYc = 1024;
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.4") >= 1; }, 60)) << RtuLog().size();
    EXPECT_GE(CountRtuLog("response in 13 fragments"), 1) << "1024 analogs in 249-octet fragments";
    m_pRtu->With([](COutstation& rtu) {
        const CSimDatabase& db = rtu.Database();
        for (int i = 0; i < db.YcCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYC[i].nValue, db.Yc(i)) << "YC " << i;
        for (int i = 0; i < db.YxCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYX[i].byState, db.Yx(i)) << "YX " << i;
        return 0;
    });
    EXPECT_EQ(AlarmsBesidesDelay(), std::vector<std::string>{});

    // Now the RTU lives for a while; then every event it raised must arrive once.
    m_pRtu->With([](COutstation& rtu) {
        rtu.SetChangePeriod(150);
        return 0;
    });
    RunFor(10000);
    ASSERT_TRUE(DeliverAllEvents(60));

    std::map<int, int> lastAnalog;
    m_pRtu->With([&](COutstation& rtu) {
        for (const SimEvent& e : rtu.Database().History())
            if (e.kind == SimEvent::ANALOG)
                lastAnalog[e.nPoint] = e.nValue;
        return 0;
    });
    const std::vector<std::string> expected = ExpectedEventLines();
    ASSERT_GE(expected.size(), 20u);
    ASSERT_GE(lastAnalog.size(), 10u);
    EXPECT_EQ(ReportedEventLines(), expected);  // every event once
    EXPECT_EQ(AlarmsBesidesDelay().size(), expected.size()) << "and no other alarm";
    for (const auto& [nPoint, nValue] : lastAnalog)
        EXPECT_EQ(g_RtuPoints[0].pYC[nPoint].nValue, nValue) << "YC " << nPoint;
}

TEST_F(EndToEndTest, LateRepliesFailTheLinkWaitAndAreStillDecoded)
{
    SimOptions options = QuietRtu();
    options.nReplyDelayMs = 5000;  // past the master's wait of more than 3 whole seconds
    QueueManualCommand(*FindMenuCommand(32796), ManualChoice{});  // analog inputs, once
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountAlarms(kLinkFailure) >= 1; }, 30));
    EXPECT_NE(m_RecvText.find("Receiving TimeOut !"), std::string::npos);
    // The answer comes after all, while the read is asked for again, and is still the read's.
    ASSERT_TRUE(RunUntil([this] { return g_RtuPoints[0].pYC[1].nValue != 0; }, 20));
    m_pRtu->With([](COutstation& rtu) {
        EXPECT_EQ(g_RtuPoints[0].pYC[1].nValue, rtu.Database().Yc(1));
        return 0;
    });
}

struct MalformedCase {
    const char* name;
    int nKind;
    std::string alarm;  // the master's one line for it
};

void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

class MalformedTest : public EndToEndTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedTest, EachMalformedResponseIsOneAlarmAndPollingGoesOn)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options;
    options.nChangeMs = 300;  // events, so that class polls carry objects
    options.nMalformed = GetParam().nKind;
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("fault: a malformed object") >= 2; }, 60));
    RunFor(1000);
    const int nSpoilt = CountRtuLog("fault: a malformed object");
    int nReported = 0;
    for (const std::string& alarm : m_Alarms)
        nReported += alarm.find(GetParam().alarm) != std::string::npos ? 1 : 0;
    EXPECT_GE(nReported, nSpoilt - 1) << "at most the last one still on its way";
    EXPECT_LE(nReported, nSpoilt);
    EXPECT_EQ(CountAlarms(kAppFailure), 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MalformedTest,
                         ::testing::Values(MalformedCase{"Qualifier", SimOptions::MALFORMED_QUALIFIER, "修饰码非法 !"},
                                           MalformedCase{"Overrun", SimOptions::MALFORMED_OVERRUN, "响应报文长度不足 !"},
                                           MalformedCase{"Group", SimOptions::MALFORMED_GROUP, "收到非法对象--99 !"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEndTest, RestartedRtuIsTakenThroughTheStartupSequenceAgain)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options = QuietRtu();
    options.nRestartAfter = 14;  // in the first batch of class polls
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("fault: restart") >= 1; }, 40));
    // The request in flight is lost and asked for again; the answer says the RTU
    // restarted (IIN1.7), so the start-up sequence runs again: it clears the restart
    // indication and sets the clock. The RTU was never silent for long.
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("device restart indication cleared") >= 2 && CountRtuLog("clock set") >= 2; },
                         60));
    EXPECT_EQ(CountAlarms(kAppFailure), 0);
    EXPECT_GE(CountAlarms(kLinkFailure), 1);
}

TEST_F(EndToEndTest, SkippedTransportSequenceFailsTheResponseAndThePollsGoOn)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options = QuietRtu();
    options.nBadSegmentEvery = 1;  // every response longer than one segment
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("fault: a transport sequence number skipped") >= 1; }, 40));
    // The response fails in the transport layer each time it is asked for; after the
    // third try the application failure is raised, the link reset, and the start-up
    // sequence goes on with its next request, then the class polls.
    ASSERT_TRUE(RunUntil([this] { return CountAlarms(kAppFailure) >= 1; }, 60));
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.2") >= 1; }, 60));
    EXPECT_EQ(CountRtuLog("read 80.1"), 1) << "no new start-up sequence";
}

TEST_F(EndToEndTest, ConfirmedUserDataFromTheRtuIsAcknowledgedAndDecoded)
{
    g_nAskMode = ASK_AUTO;
    SimOptions options = QuietRtu();
    options.bConfirmedData = true;
    options.bResetFirst = true;
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.4") >= 1; }, 60)) << RtuLog().size();
    EXPECT_GE(CountRtuLog("link towards the master reset"), 1);
    EXPECT_EQ(CountRtuLog("given up"), 0);
    m_pRtu->With([](COutstation& rtu) {
        const CSimDatabase& db = rtu.Database();
        for (int i = 0; i < db.YcCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYC[i].nValue, db.Yc(i)) << "YC " << i;
        return 0;
    });
    EXPECT_EQ(AlarmsBesidesDelay(), std::vector<std::string>{});
}

TEST_F(EndToEndTest, UnsolicitedResponsesAreConfirmedUntilTheStartupDisablesThem)
{
    SimOptions options = QuietRtu();
    options.bUnsolicited = true;
    Start(options);  // manual mode first: the master confirms the RTU's null response
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("unsolicited null response") >= 1; }, 20));
    RunFor(6000);
    g_nAskMode = ASK_AUTO;
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.4") >= 1; }, 60));
    EXPECT_EQ(CountRtuLog("unsolicited responses disabled"), 3);
    // The null response is confirmed, not reported; in manual mode its request for the
    // time is said, once.
    EXPECT_EQ(AlarmsBesidesDelay(), std::vector<std::string>{"RTU请求对时(IIN1.4): 主动上送"});
    m_pRtu->With([](COutstation& rtu) {
        const CSimDatabase& db = rtu.Database();
        for (int i = 0; i < db.YcCount(); ++i)
            EXPECT_EQ(g_RtuPoints[0].pYC[i].nValue, db.Yc(i)) << "YC " << i;
        return 0;
    });
}

// Automatic mode against an RTU on a faulty line until it has had n class 1 polls; then
// every fault stops and each event must arrive, listed exactly once.
class FaultyLineTest : public EndToEndTest {
protected:
    void PollThenDeliverEveryEvent(SimOptions options, int nClassPolls, int nSeconds)
    {
        g_nAskMode = ASK_AUTO;
        options.nChangeMs = 300;
        Start(options);
        ASSERT_TRUE(RunUntil([&] { return CountRtuLog("read 60.2") >= nClassPolls; }, nSeconds)) << RtuLog().size();
        ASSERT_TRUE(DeliverAllEvents(60));
        EXPECT_EQ(ReportedEventLines(), ExpectedEventLines());
    }
};

// One lost answer costs one more try, not a new start-up: with every fifth frame of the
// RTU corrupted the master still gets through its start-up sequence to the class polls.
TEST_F(FaultyLineTest, EveryFifthFrameCorruptedTheMasterStillPollsAndLosesNoEvent)
{
    SimOptions options;
    options.nCorruptEvery = 5;
    PollThenDeliverEveryEvent(options, 3, 90);
    // A freeze is never sent twice for one answer lost, so one freeze means one start-up.
    ExpectOneStartupFreeze("the start-up sequence ran once");
}

// The master's frames lost instead: when a confirm is lost the RTU (rightly) sends the
// same events again, and each must still be listed once.
TEST_F(FaultyLineTest, EveryFifthFrameOfTheMasterLostEachEventIsListedOnce)
{
    SimOptions options;
    options.nLoseMasterEvery = 5;
    PollThenDeliverEveryEvent(options, 6, 120);
    EXPECT_GE(CountRtuLog("frame from the master lost"), 5);
}

// The channel dialog's port change, twenty times while the master polls at 9600 bit/s:
// no deadlock, and polling resumes each time the engine is back on the RTU's line.
TEST_F(EndToEndTest, PortChangedTwentyTimesWhilePollingNeverStallsThePollThread)
{
    g_nAskMode = ASK_AUTO;
    g_nScanPeriod = 1;
    SimOptions options = QuietRtu();
    options.bPace = true;
    options.nBaudRate = 9600;
    ChannelWords words = CurrentChannelWords();
    words.nBaudRate = 9600;
    ApplyChannelWords(words);
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return m_pRtu->With([](COutstation& rtu) { return rtu.RequestsHandled(); }) >= 3; }, 30));
    for (int i = 0; i < 20; ++i) {
        words.nComPort = words.nComPort == COM2 ? COM1 : COM2;
        ApplyChannelWords(words);  // the GUI thread takes the channel lock while the poll thread runs
        if (words.nComPort != COM2)
            continue;
        const int nBefore = m_pRtu->With([](COutstation& rtu) { return rtu.RequestsHandled(); });
        ASSERT_TRUE(RunUntil([&] { return m_pRtu->With([](COutstation& rtu) { return rtu.RequestsHandled(); }) > nBefore; }, 20))
            << "round " << i;
    }
    EXPECT_TRUE(g_Channels.PollThread.joinable());
    EXPECT_TRUE(m_MessageBoxes.empty());
}
