// What the master asks next, through the planner's own face.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/Config.h"
#include "dnp3/FunctionCodes.h"
#include "dnp3/Planner.h"
#include "support/StateReset.h"

namespace {

std::string Name(const RequestItem& item)
{
    return std::to_string(item.byFunc) + ":" + std::to_string(item.byGroup) + "." + std::to_string(item.byVar);
}

// Everything planned now, as sent one after the other.
std::vector<std::string> Drain(CPlanner& planner, std::time_t now)
{
    std::vector<std::string> sent;
    for (const RequestItem* pItem = planner.Next(); pItem != nullptr; pItem = planner.Next()) {
        sent.push_back(Name(*pItem));
        planner.OnRequestSent(*pItem, now);
        planner.OnNextSent();
    }
    return sent;
}

// A clock read just across a second boundary: its local time is already one second on.
class SkewedClock : public FakeClock {
public:
    using FakeClock::FakeClock;
    LocalTime LocalNow() const override { return LocalAt(Now() + 1); }
};

}  // namespace

class PlannerTest : public SharedStateTest {};

TEST_F(PlannerTest, RestartBringsTheStartupSequenceBackOnlyAfterTheBitWasCleared)
{
    CPlanner planner(0);
    planner.Plan(3, 3, true);
    ASSERT_EQ(Drain(planner, 3).size(), 11u) << "the start-up sequence";
    planner.FollowIndications(0x80, true);  // still set from the start: no new restart
    planner.Plan(6, 3, true);
    EXPECT_EQ(Drain(planner, 6).front(), "1:60.2") << "the batch: the start-up sequence did the periodic reads";
    planner.FollowIndications(0x00, true);
    planner.FollowIndications(0x80, true);  // set again: the RTU restarted
    planner.Plan(9, 3, true);
    const std::vector<std::string> sent = Drain(planner, 9);
    ASSERT_EQ(sent.size(), 11u);
    EXPECT_EQ(sent.front(), "1:80.1");
}

TEST_F(PlannerTest, QuarterHourOfTheCounterReadComesFromOneReadingOfTheClock)
{
    SkewedClock clock;
    clock.SetLocal({2026, 12, 10, 10, 14, 59, 999});
    SetClock(&clock);
    CPlanner planner(0);
    planner.OnRequestSent({fc::READ, 21, 1}, clock.Now());
    SetClock(nullptr);
    FakeClock quarter;
    quarter.SetLocal({2026, 12, 10, 10, 0, 0, 0});
    EXPECT_EQ(planner.LastCounterRead(), quarter.Now());
}
