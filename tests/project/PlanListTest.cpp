#include "project/PlanList.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "project/Project.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

template <typename Plan>
std::vector<std::string> Names(const std::vector<Plan>& plans) {
    std::vector<std::string> names;
    for (const Plan& plan : plans) names.push_back(plan.name);
    return names;
}

template <typename Plan>
std::vector<Plan> PlansNamed(const std::vector<std::string>& names) {
    std::vector<Plan> plans(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) plans[i].name = names[i];
    return plans;
}

TEST(PlanListTest, RemovingSelectsThePlanNowInPlaceElseTheOneBefore) {
    std::vector<TimeTablePlan> plans = PlansNamed<TimeTablePlan>({"A", "B", "C"});
    PlanList list(plans);
    EXPECT_EQ(list.Remove(1), std::optional<std::size_t>(1));  // C moved up into B's place
    EXPECT_EQ(Names(plans), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(list.Remove(1), std::optional<std::size_t>(0));  // the last one goes: A before it
    EXPECT_EQ(list.Remove(0), std::nullopt);                   // nothing left to select
    EXPECT_TRUE(plans.empty());
    // A place past the end removes nothing.
    plans.resize(1);
    EXPECT_EQ(list.Remove(1), std::nullopt);
    EXPECT_EQ(list.Count(), 1U);
}

TEST(PlanListTest, MovingSwapsWithTheNeighbourAndStopsAtTheEnds) {
    // The list reaches every kind of plan, named or not.
    std::vector<StopTable> tables = PlansNamed<StopTable>({"A", "B", ""});
    PlanList list(tables);
    EXPECT_EQ(list.Move(0, -1), std::nullopt);
    EXPECT_EQ(list.Move(2, 1), std::nullopt);
    EXPECT_EQ(list.Move(3, -1), std::nullopt);
    EXPECT_EQ(Names(tables), (std::vector<std::string>{"A", "B", ""}));
    EXPECT_EQ(list.Move(2, -1), std::optional<std::size_t>(1));
    EXPECT_EQ(list.Move(0, 1), std::optional<std::size_t>(1));
    EXPECT_EQ(Names(tables), (std::vector<std::string>{"", "A", "B"}));
    EXPECT_EQ(list.Name(2), "B");
}

TEST(PlanListTest, AnEmptyNameIsListedAsNoName) {
    LanguageTable english;
    ASSERT_TRUE(english.LoadLanguage(test::SourceDir() / "Language", "English"));
    EXPECT_EQ(PlanListText("", english), "<no name>");
    EXPECT_EQ(PlanListText("Line 5", english), "Line 5");
}

}  // namespace
}  // namespace tak
