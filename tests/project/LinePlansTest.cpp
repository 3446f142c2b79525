#include "project/LinePlans.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProjectMaps.h"
#include "project/PlanEditing.h"
#include "routespider/RouteSpider.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

std::vector<std::string> RowTexts(const std::vector<PlanStop>& rows) {
    std::vector<std::string> texts;
    for (const PlanStop& row : rows) texts.push_back(StopRowText(row));
    return texts;
}

std::vector<int32_t> RowFlags(const std::vector<PlanStop>& rows) {
    std::vector<int32_t> flags;
    for (const PlanStop& row : rows) flags.push_back(row.flags);
    return flags;
}

std::vector<std::string> TripNames(const std::vector<const Trip*>& trips) {
    std::vector<std::string> names;
    for (const Trip* trip : trips) names.push_back(trip->name);
    return names;
}

// Line 7 runs A - B - C and back; a short turn A - B on the way out; a tour
// on Saturdays only (its days name the school day kinds too).
class LinePlansTest : public ::testing::Test {
protected:
    LinePlansTest() {
        EXPECT_TRUE(language.LoadLanguage(test::SourceDir() / "Language", "English"));
        out = &test::AddTestTrip(map, "7 out", "7", {{1, "A"}, {2, "B"}, {3, "C"}}, {{0, 60, 120}});
        back = &test::AddTestTrip(map, "7 back", "7", {{3, "C"}, {2, "B"}, {1, "A"}}, {{0, 60, 120}});
        shortTurn = &test::AddTestTrip(map, "7 short", "7", {{1, "A"}, {2, "B"}}, {{0, 60}});
        line = &test::AddTestLine(map, "7", {"7-01"});
        line->tours[0].days = 0x320;  // Saturday, both school day kinds
        Runs(line->tours[0], {shortTurn, back, out, back});
    }

    static void Runs(Tour& tour, const std::vector<const Trip*>& trips) {
        for (const Trip* trip : trips) tour.trips.emplace_back().trip = trip;
    }

    LanguageTable language;
    MapData map;
    Project project;
    const Trip* out = nullptr;
    const Trip* back = nullptr;
    const Trip* shortTurn = nullptr;
    Line* line = nullptr;
};

TEST_F(LinePlansTest, ALineGetsATimetableWithTimesBothWaysItsSpiderAndItsTourPlan) {
    auto made = MakePlansForLine(project, *line, language);
    ASSERT_TRUE(made);
    ASSERT_EQ(project.timeTablePlans.size(), 1U);
    const TimeTablePlan& plan = project.timeTablePlans[made->timeTablePlan];
    EXPECT_EQ(plan.name, "7");
    EXPECT_EQ(plan.line, "7");
    // Outward trips first (the tour starts outward), then the return trip.
    EXPECT_EQ(TripNames(plan.trips), (std::vector<std::string>{"7 short", "7 out", "7 back"}));
    // The return trip finds its rows below the outward ones.
    EXPECT_EQ(RowTexts(plan.stops), (std::vector<std::string>{"A (1)", "B (2)", "C (3)", "B (2)", "A (1)"}));
    for (int32_t flags : RowFlags(plan.stops)) EXPECT_EQ(flags, kRowDeparture);
    // Only the day row the tour runs on.
    ASSERT_EQ(plan.days.size(), 1U);
    EXPECT_EQ(plan.days[0].name, "Saturday");

    // The spider follows the longest trip, and the plan shows it.
    const RouteSpider* spider = FindRouteSpider(project.routeSpiders, made->spider);
    ASSERT_NE(spider, nullptr);
    EXPECT_EQ(plan.routeSpider, spider->key);
    EXPECT_EQ(spider->name, "7");
    ASSERT_FALSE(spider->ways.empty());
    EXPECT_EQ(spider->ways[0].stops.size(), 3U);

    // The tour plan prints times in both directions.
    const TourPlan& tourPlan = project.tourPlans.at("7");
    EXPECT_TRUE(tourPlan.active);
    EXPECT_EQ(RowTexts(tourPlan.stopsOut), (std::vector<std::string>{"A (1)", "B (2)", "C (3)"}));
    EXPECT_EQ(RowFlags(tourPlan.stopsOut), (std::vector<int32_t>{kRowDeparture, kRowDeparture, kRowArrival}));
    EXPECT_EQ(RowFlags(tourPlan.stopsRet), (std::vector<int32_t>{kRowDeparture, kRowDeparture, kRowArrival}));
}

TEST_F(LinePlansTest, ASecondRunKeepsTheTourPlansRowsAndNamesTheNewPlansApart) {
    ASSERT_TRUE(MakePlansForLine(project, *line, language));
    project.tourPlans.at("7").stopsOut[0].name = "Alpha";
    auto again = MakePlansForLine(project, *line, language);
    ASSERT_TRUE(again);
    EXPECT_EQ(project.timeTablePlans[again->timeTablePlan].name, "7 2");
    EXPECT_EQ(FindRouteSpider(project.routeSpiders, again->spider)->name, "7 2");
    EXPECT_EQ(project.tourPlans.at("7").stopsOut[0].name, "Alpha");
    EXPECT_EQ(project.tourPlans.at("7").stopsOut.size(), 3U);
}

TEST_F(LinePlansTest, ALineWhoseToursRunNoTripGetsNoTimetable) {
    Line& empty = test::AddTestLine(map, "8", {"8-01"});
    EXPECT_FALSE(MakePlansForLine(project, empty, language));
    EXPECT_TRUE(project.timeTablePlans.empty());
    EXPECT_TRUE(project.routeSpiders.spiders.empty());
}

TEST(DayRowsForTours, KeepTheRowsTheToursRunOnOrAllWhenNoneMatches) {
    std::vector<TableDay> rows{{"Mo-Fr", 0x31F}, {"Sa", 0x320}, {"Su", 0x3C0}};
    Line line;
    line.tours.push_back(Tour{"weekday", 0x01F, {TourTrip{}}, 0});
    line.tours.push_back(Tour{"holiday", 0x080, {TourTrip{}}, 0});
    line.tours.push_back(Tour{"empty", 0x020, {}, 0});  // runs no trip: needs no row
    std::vector<TableDay> kept = DayRowsForTours(rows, line);
    ASSERT_EQ(kept.size(), 2U);
    EXPECT_EQ(kept[0].name, "Mo-Fr");
    EXPECT_EQ(kept[1].name, "Su");
    line.tours = {Tour{"school days only", 0x300, {TourTrip{}}, 0}};
    EXPECT_EQ(DayRowsForTours(rows, line).size(), 3U);
}

}  // namespace
}  // namespace tak
