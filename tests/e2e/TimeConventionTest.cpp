// The master and the simulated RTU in IEEE 1815 UTC, over the real poll thread and ptys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "core/Clock.h"
#include "core/Config.h"
#include "e2e/EndToEnd.h"

namespace {

// An RTU in UTC whose values change every 250 ms.
SimOptions UtcRtu(int nClockOffsetS, bool bNoTimeSync)
{
    SimOptions options;
    options.bUtcTime = true;
    options.nClockOffsetS = nClockOffsetS;
    options.bNoTimeSync = bNoTimeSync;
    options.nChangeMs = 250;
    return options;
}

// Seconds from now back to 00:00 local time of the 1st of this month.
int SecondsSinceTheMonthBegan()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_mday = 1;
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return static_cast<int>(now - std::mktime(&tm));
}

}  // namespace

class TimeConventionTest : public EndToEndTest {
protected:
    void SetUp() override
    {
        EndToEndTest::SetUp();
        g_nAskMode = ASK_AUTO;
        g_nTimeFormat = TIME_FORMAT_UTC;
    }
    // Until the RTU has raised n binary-input events.
    bool RunUntilBinaryEvents(std::size_t n)
    {
        return RunUntil(
            [&] {
                return m_pRtu->With([&](COutstation& rtu) {
                    const auto& h = rtu.Database().History();
                    return static_cast<std::size_t>(std::count_if(h.begin(), h.end(), [](const SimEvent& e) {
                               return e.kind == SimEvent::BINARY;
                           })) >= n;
                });
            },
            60);
    }
    // The RTU's clock less the computer's UTC, in ms.
    long long RtuClockOff()
    {
        return m_pRtu->With([](COutstation& rtu) {
            return static_cast<long long>(rtu.RtuTime()) - static_cast<long long>(UtcMs());
        });
    }
};

TEST_F(TimeConventionTest, ClockThreeHoursOffIsSetWithinFiftyMillisecondsAndEveryEventKeepsItsTime)
{
    g_nBaudRate = 9600;
    SimOptions options = UtcRtu(-3 * 3600, false);
    options.nBaudRate = 9600;
    options.bPace = true;
    Start(options);
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("clock set") >= 1; }, 30));
    // The delay measurement went first and its answer was read.
    EXPECT_EQ(CountRtuLog("delay measurement"), 1);
    EXPECT_EQ(static_cast<int>(m_Alarms.size() - AlarmsBesidesDelay().size()), 1) << "one delay measured";
    const long long llOff = RtuClockOff();
    EXPECT_LE(std::llabs(llOff), 50) << "ms off UTC after the start-up";

    ASSERT_TRUE(RunUntilBinaryEvents(8));
    ASSERT_TRUE(DeliverAllEvents(30));
    const std::vector<std::string> expected = ExpectedEventLines();
    ASSERT_GE(expected.size(), 8u);
    // Those raised before the clock was set carry the RTU's time of then, three hours
    // back; every one is listed once with its own date and time.
    EXPECT_EQ(ReportedEventLines(), expected);
    for (const std::string& line : expected)
        EXPECT_EQ(line.find("(RTU"), std::string::npos) << line;
}

// A clock set by other means (GPS) is never written; the events keep the RTU's own time.
TEST_F(TimeConventionTest, ClockSetByOtherMeansIsKeptAcrossMidnightIntoTheFirstOfTheMonth)
{
    // Three seconds before the month began, and running on into its first day.
    const int nOffsetS = -SecondsSinceTheMonthBegan() - 3;
    Start(UtcRtu(nOffsetS, true));
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("clock write") >= 1; }, 30));
    EXPECT_EQ(CountRtuLog("clock set"), 0);
    // Events until one is dated the 1st by the RTU's clock.
    ASSERT_TRUE(RunUntil(
        [this] {
            return m_pRtu->With([](COutstation& rtu) {
                const auto& h = rtu.Database().History();
                return std::any_of(h.begin(), h.end(), [](const SimEvent& e) {
                    return e.kind == SimEvent::BINARY && LocalAtMs(e.qwTime).nDay == 1;
                });
            });
        },
        60));
    ASSERT_TRUE(DeliverAllEvents(30));
    EXPECT_NEAR(RtuClockOff(), nOffsetS * 1000LL, 2000) << "still the RTU's own clock";

    const std::vector<std::string> expected = ExpectedEventLines();
    EXPECT_EQ(ReportedEventLines(), expected);
    // Some on the last day of the month before, some on the 1st, none marked.
    const auto firstOfMonth = std::count_if(expected.begin(), expected.end(), [](const std::string& line) {
        return line.compare(8, 3, "01 ") == 0;
    });
    EXPECT_GE(firstOfMonth, 1);
    EXPECT_GE(static_cast<long>(expected.size()) - firstOfMonth, 1);
    for (const std::string& line : expected)
        EXPECT_EQ(line.find("(RTU"), std::string::npos) << line;
}

TEST_F(TimeConventionTest, ClockTwoDaysAheadIsShownAsItIsAndMarked)
{
    Start(UtcRtu(2 * 86'400, true));
    ASSERT_TRUE(RunUntil([this] { return CountRtuLog("read 60.4") >= 1; }, 30));
    ASSERT_TRUE(RunUntilBinaryEvents(4));
    ASSERT_TRUE(DeliverAllEvents(30));
    const std::vector<std::string> reported = ReportedEventLines();
    EXPECT_EQ(reported, ExpectedEventLines());
    ASSERT_GE(reported.size(), 4u);
    for (const std::string& line : reported)
        EXPECT_NE(line.find(" (RTU时钟未同步?)"), std::string::npos) << line;
}
