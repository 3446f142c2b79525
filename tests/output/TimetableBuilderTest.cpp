#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>

#include "TimetableFixtures.h"
#include "output/OutputLog.h"
#include "output/OutputTimetable.h"

namespace tak {
namespace {

using test::Clock;
using test::kMonFri;

class TimetableBuilderTest : public ::testing::Test {
protected:
    TimetableGrid Build(const TimeTablePlan& plan, bool condense = false) {
        return BuildTimetable(plan, fixture.map, condense, lang);
    }
    // The first-slot clock times of a group's columns.
    static std::vector<std::string> FirstTimes(const DayGroup& group, int32_t slot = 0) {
        std::vector<std::string> times;
        for (const auto& column : group.columns) times.push_back(FormatClock(column.values[slot]));
        return times;
    }

    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
};

TEST(TimetableRowSlots, TwoSlotRowsAndMergedRowsShareTheRightSlots) {
    std::vector<PlanStop> rows(5);
    rows[0].flags = kRowDeparture;
    rows[1].flags = kRowArrival | kRowDeparture;
    rows[2].flags = kRowMerged | kRowArrival;  // its own flags do not count
    rows[3].flags = kRowArrival;
    rows[4].flags = kRowMerged;
    int32_t count = 0;
    auto slots = LayOutRowSlots(rows, count);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(slots[1].first, 1);
    EXPECT_TRUE(slots[1].twoSlots);
    EXPECT_EQ(slots[2].first, 1);
    EXPECT_TRUE(slots[2].twoSlots);
    EXPECT_EQ(slots[3].first, 3);
    EXPECT_EQ(slots[4].first, 3);
    EXPECT_EQ(slots[4].flags, kRowArrival);

    // A merged first row (the editor forbids it, a file may hold it) gets no slot.
    rows[0].flags = kRowMerged;
    slots = LayOutRowSlots(rows, count);
    EXPECT_EQ(slots[0].first, -1);
    EXPECT_EQ(count, 3);
}

TEST_F(TimetableBuilderTest, ColumnsHoldArrivalDeparturePassThroughAndBlankTrailingCells) {
    // Rows 1 2 3 4; the trip skips stop 2, and its last stop 9 is not listed,
    // so stop 4 is passed looking for it and stays blank at the end.
    Trip& trip = fixture.AddTrip("T", "5", {1, 3, 9}, {0, 7, 9});
    trip.profiles[0].times[1].departure = 8 * 60;
    Trip& shortTrip = fixture.AddTrip("U", "5", {1, 3}, {0, 7});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0)});
    fixture.AddTour("5", "5-02", kMonFri, shortTrip, {Clock(7, 0)});
    const std::vector<int32_t> flags{kRowArrival | kRowDeparture, kRowDeparture, kRowArrival | kRowDeparture,
                                     kRowArrival};
    TimetableGrid grid = Build(fixture.Plan({&trip}, {1, 2, 3, 4}, {kMonFri}, flags));
    ASSERT_EQ(grid.rowCount, 6);
    ASSERT_EQ(grid.groups[0].columns.size(), 1u);
    EXPECT_EQ(grid.groups[0].columns[0].values,
              (std::vector<int32_t>{NotServed, Clock(6, 0), PassThrough, Clock(6, 7), Clock(6, 8), NotServed}))
        << "no arrival at the first stop; trailing pass-through cells blank";
    EXPECT_EQ(grid.TravelTime(1, 3), 7 * 60);
    EXPECT_EQ(grid.TravelTime(3, 1), kUnknownTravelTime);

    grid = Build(fixture.Plan({&shortTrip}, {1, 2, 3, 4}, {kMonFri}, flags));
    EXPECT_EQ(grid.groups[0].columns[0].values[4], NotServed) << "no departure from the last stop";
}

TEST_F(TimetableBuilderTest, OtherStoppingTwoPrintsAsPassingAndMergedRowsWriteIntoTheRowAbove) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2, 3}, {0, 3, 6});
    trip.profiles[0].times[1].otherStopping = 2;
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2, 3}, {kMonFri});
    auto merged = fixture.Plan({&trip}, {1, 2, 3}, {kMonFri}, {kRowDeparture, kRowDeparture, kRowMerged});

    EXPECT_EQ(Build(plan).groups[0].columns[0].values, (std::vector<int32_t>{Clock(6, 0), PassThrough, Clock(6, 6)}));
    // The merged row of stop 3 shares the slot of stop 2 and overwrites it.
    EXPECT_EQ(Build(merged).groups[0].columns[0].values, (std::vector<int32_t>{Clock(6, 0), Clock(6, 6)}));
}

TEST_F(TimetableBuilderTest, ColumnsAreOrderedByTimeWhateverTheTourOrder) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0), Clock(7, 0), Clock(8, 0)});
    fixture.AddTour("5", "5-02", kMonFri, trip, {Clock(6, 30), Clock(7, 30)});
    fixture.AddTour("5", "5-03", kMonFri, trip, {Clock(5, 45)});
    TimetableGrid grid = Build(fixture.Plan({&trip}, {1, 2}, {kMonFri}));
    EXPECT_EQ(FirstTimes(grid.groups[0]),
              (std::vector<std::string>{"05:45", "06:00", "06:30", "07:00", "07:30", "08:00"}));
}

TEST_F(TimetableBuilderTest, ColumnsWithoutCommonStopsAreOrderedByTravelTimes) {
    // The short trip serves stops 1-2, the end trip 3-4; the through trip
    // (driven by no tour) tells that 2 to 3 takes 20 minutes.
    Trip& through = fixture.AddTrip("F", "5", {1, 2, 3, 4}, {0, 10, 30, 40});
    Trip& shortTrip = fixture.AddTrip("S", "5", {1, 2}, {0, 10});
    Trip& endTrip = fixture.AddTrip("E", "5", {3, 4}, {0, 10});
    fixture.AddTour("5", "5-01", kMonFri, shortTrip, {Clock(6, 0), Clock(7, 0)});
    fixture.AddTour("5", "5-02", kMonFri, endTrip, {Clock(6, 45)});
    auto plan = fixture.Plan({&through, &shortTrip, &endTrip}, {1, 2, 3, 4}, {kMonFri});
    plan.displayTour = true;  // keeps the end trip from continuing a short one
    TimetableGrid grid = Build(plan);
    ASSERT_EQ(grid.groups[0].columns.size(), 3u);
    EXPECT_EQ(FirstTimes(grid.groups[0], 0), (std::vector<std::string>{"06:00", "     ", "07:00"}));
    EXPECT_EQ(FirstTimes(grid.groups[0], 2)[1], "06:45");
}

TEST_F(TimetableBuilderTest, EqualTimesOnDifferentDaysMergeIntoOneColumnWithoutFootnote) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    fixture.AddTour("5", "Mon-Thu", 0x30F, trip, {Clock(6, 0), Clock(7, 0)});
    fixture.AddTour("5", "Fri", 0x310, trip, {Clock(6, 0), Clock(7, 15)});
    TimetableGrid grid = Build(fixture.Plan({&trip}, {1, 2}, {kMonFri}));
    const auto& columns = grid.groups[0].columns;
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].days, kMonFri);
    EXPECT_EQ(columns[0].footnoteMark, "");
    EXPECT_EQ(columns[1].footnoteMark, "N5");
    EXPECT_EQ(columns[2].footnoteMark, "5");
    EXPECT_EQ(grid.footnotes.at("N5").text, "not Fr");
    EXPECT_EQ(grid.footnotes.at("5").text, "only Fr");

    // Shown tour names keep tours apart.
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri});
    plan.displayTour = true;
    EXPECT_EQ(Build(plan).groups[0].columns.size(), 4u);
}

TEST_F(TimetableBuilderTest, ABusGoingOnBelowItsTripIsOneColumnAndAnotherBusNever) {
    Trip& first = fixture.AddTrip("A", "5", {1, 2}, {0, 5});
    Trip& second = fixture.AddTrip("B", "5", {3, 4}, {0, 5});
    fixture.AddTour("5", "5-01", kMonFri, first, {Clock(6, 0)});
    test::TimetableMap::AddStart(fixture.map.lines[0]->tours[0], second, Clock(6, 10));
    auto plan = fixture.Plan({&first, &second}, {1, 2, 3, 4}, {kMonFri});
    auto columnCount = [&] { return Build(plan).groups[0].columns.size(); };
    TimetableGrid grid = Build(plan);
    ASSERT_EQ(grid.groups[0].columns.size(), 1u);
    EXPECT_EQ(FirstTimes(grid.groups[0], 0)[0], "06:00");
    EXPECT_EQ(FirstTimes(grid.groups[0], 3)[0], "06:15");

    // Another bus that goes on from where the first arrives, at the same
    // time, is another ride.
    fixture.AddTour("5", "5-02", kMonFri, second, {Clock(6, 10)});
    TourTrip secondTrip = fixture.map.lines[0]->tours[0].trips[1];
    fixture.map.lines[0]->tours[0].trips.pop_back();
    EXPECT_EQ(columnCount(), 2u);
    fixture.map.lines[0]->tours.pop_back();
    fixture.map.lines[0]->tours[0].trips.push_back(secondTrip);
    ASSERT_EQ(columnCount(), 1u);

    // Times going backwards across the join are no continuation.
    TourTrip& goesOn = fixture.map.lines[0]->tours[0].trips[1];
    goesOn.startTime = Clock(5, 0);
    EXPECT_EQ(columnCount(), 2u);
    // A bus that waits an hour at the joint is still one ride; a longer wait
    // is another trip (the first arrives at 6:05).
    goesOn.startTime = Clock(7, 5);
    EXPECT_EQ(columnCount(), 1u);
    goesOn.startTime = Clock(7, 6);
    EXPECT_EQ(columnCount(), 2u);

    // The bus's next trip only: a trip the plan does not show ends the ride.
    goesOn.startTime = Clock(6, 10);
    Trip& elsewhere = fixture.AddTrip("X", "5", {9}, {0});
    auto& trips = fixture.map.lines[0]->tours[0].trips;
    TourTrip between = trips[1];
    between.trip = &elsewhere;
    between.profile = &elsewhere.profiles[0];
    trips.insert(trips.begin() + 1, between);
    EXPECT_EQ(columnCount(), 2u);
}

TEST_F(TimetableBuilderTest, StopsWithoutATimeOfTheirOwnGetTimesBetweenTheirNeighbours) {
    // Six stops, four minutes, times given only at the ends: each stop
    // 48 seconds after the one before, printed to the nearest minute.
    Trip& trip = fixture.AddTrip("T", "5", {1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 4});
    for (std::size_t i = 1; i <= 4; ++i) trip.profiles[0].times[i].arrival = TimeUnset;
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(5, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2, 3, 4, 5, 6}, {kMonFri});
    TimetableGrid grid = Build(plan);
    ASSERT_EQ(grid.groups[0].columns.size(), 1u);
    std::vector<std::string> times;
    for (int32_t value : grid.groups[0].columns[0].values) times.push_back(FormatClock(value));
    EXPECT_EQ(times, (std::vector<std::string>{"05:00", "05:01", "05:02", "05:02", "05:03", "05:04"}));
    EXPECT_EQ(grid.TravelTime(0, 2), 96) << "travel times use the same estimates";

    // A stop that gives only its departure starts the line from there; the
    // next known stop's arrival ends it.
    trip.profiles[0].times[2].departure = 3 * 60;
    trip.profiles[0].times[5].arrival = 6 * 60;
    times.clear();
    grid = Build(plan);
    for (int32_t value : grid.groups[0].columns[0].values) times.push_back(FormatClock(value));
    EXPECT_EQ(times, (std::vector<std::string>{"05:00", "05:02", "05:03", "05:04", "05:05", "05:06"}));
}

TEST_F(TimetableBuilderTest, AHeadwayOfHalfMinutesNamesTheRangeOfItsPrintedGaps) {
    // Every 4.5 minutes from 5:39:30: printed 05:40, 05:44, 05:49, 05:53 ...
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 8});
    std::vector<int32_t> starts;
    for (int i = 0; i < 8; ++i) starts.push_back(Clock(5, 39) + 30 + i * 270);
    fixture.AddTour("5", "5-01", kMonFri, trip, starts);
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri});
    TimetableGrid grid = Build(plan, true);
    const auto& columns = grid.groups[0].columns;
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(FormatClock(columns[0].values[0]), "05:40");
    ASSERT_EQ(columns[1].kind, ColumnKind::UniformInterval);
    std::vector<bool> visible{true, true};
    EXPECT_EQ(IterationCellText(lang, columns[1], 0, visible).text, "every");
    EXPECT_EQ(IterationCellText(lang, columns[1], 1, visible).text, "4-5min");

    // Whole minutes keep one number.
    for (std::size_t i = 0; i < starts.size(); ++i) {
        fixture.map.lines[0]->tours[0].trips[i].startTime = Clock(5, 40) + static_cast<int32_t>(i) * 300;
    }
    grid = Build(plan, true);
    ASSERT_EQ(grid.groups[0].columns.size(), 3u);
    EXPECT_EQ(IterationCellText(lang, grid.groups[0].columns[1], 1, visible).text, "5min");
}

TEST_F(TimetableBuilderTest, FourEvenlySpacedColumnsCondenseAndThreeDoNot) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2, 3}, {0, 4, 9});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0), Clock(6, 10), Clock(6, 20)});
    auto plan = fixture.Plan({&trip}, {1, 2, 3}, {kMonFri});
    EXPECT_EQ(Build(plan, true).groups[0].columns.size(), 3u);

    fixture.AddTour("5", "5-02", kMonFri, trip, {Clock(6, 30)});
    TimetableGrid grid = Build(plan, true);
    const auto& columns = grid.groups[0].columns;
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(FormatClock(columns[0].values[0]), "06:00");
    EXPECT_EQ(columns[1].kind, ColumnKind::UniformInterval);
    EXPECT_EQ(columns[1].values, (std::vector<int32_t>{600, 600, 600}));
    EXPECT_EQ(FormatClock(columns[2].values[0]), "06:30");
    EXPECT_EQ(Build(plan, false).groups[0].columns.size(), 4u) << "only PDF output condenses";
}

TEST_F(TimetableBuilderTest, IntervalsAboveTwoHoursNeverCondense) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 4});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0), Clock(8, 1), Clock(10, 2), Clock(12, 3)});
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri});
    EXPECT_EQ(Build(plan, true).groups[0].columns.size(), 4u);

    auto& starts = fixture.map.lines[0]->tours[0].trips;
    for (std::size_t i = 0; i < starts.size(); ++i) starts[i].startTime = Clock(6, 0) + static_cast<int32_t>(i) * 7200;
    EXPECT_EQ(Build(plan, true).groups[0].columns.size(), 3u) << "exactly two hours still condense";
}

TEST_F(TimetableBuilderTest, AnAlternatingPatternBecomesAnIrregularColumnOfItsRepeatInterval) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 4});
    // Gaps 10, 20, 10, 20, 10 minutes: period 2, repeating every 30 minutes.
    fixture.AddTour("5", "5-01", kMonFri, trip,
                    {Clock(6, 0), Clock(6, 10), Clock(6, 30), Clock(6, 40), Clock(7, 0), Clock(7, 10)});
    TimetableGrid grid = Build(fixture.Plan({&trip}, {1, 2}, {kMonFri}), true);
    const auto& columns = grid.groups[0].columns;
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(FirstTimes(grid.groups[0])[0], "06:00");
    EXPECT_EQ(FirstTimes(grid.groups[0])[1], "06:10");
    EXPECT_TRUE(columns[0].patternMember);
    EXPECT_TRUE(columns[1].patternMember);
    EXPECT_EQ(columns[2].kind, ColumnKind::IrregularInterval);
    EXPECT_EQ(columns[2].values, (std::vector<int32_t>{1800, 1800}));
    EXPECT_FALSE(columns[3].patternMember);
    EXPECT_EQ(FirstTimes(grid.groups[0])[3], "07:00");
    EXPECT_EQ(FirstTimes(grid.groups[0])[4], "07:10");
}

TEST_F(TimetableBuilderTest, ABreakHourMovesLateToursToTheNextServiceDay) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    fixture.AddTour("5", "Fri night", 0x310, trip, {Clock(27, 10)});
    fixture.AddTour("5", "Sun night", test::kSundayHoliday, trip, {Clock(27, 20)});
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri, test::kSaturday});
    plan.breakHour = 3;
    TimetableGrid grid = Build(plan);

    // Friday's 27:10 is Saturday 03:10.
    ASSERT_EQ(grid.groups[1].columns.size(), 2u);
    EXPECT_EQ(FirstTimes(grid.groups[1]), (std::vector<std::string>{"03:10", "03:20"}));
    EXPECT_EQ(grid.groups[1].columns[0].footnoteMark, "");
    // The holiday night reads as the day after a holiday, in every group.
    ASSERT_EQ(grid.groups[0].columns.size(), 1u);
    EXPECT_EQ(grid.groups[0].columns[0].values[0], Clock(3, 20));
    EXPECT_EQ(grid.groups[0].columns[0].footnoteMark, "11");
    EXPECT_EQ(grid.groups[1].columns[1].footnoteMark, "11");
    EXPECT_EQ(grid.footnotes.at("11").text, "after holidays");

    EXPECT_EQ(ShiftDaysToNextServiceDay(0x31F), 0x33Eu);
    EXPECT_EQ(ShiftDaysToNextServiceDay(0x240), 0x201u) << "Sunday night is Monday morning";

    plan.breakHour = 4;
    grid = Build(plan);
    ASSERT_EQ(grid.groups[0].columns.size(), 1u) << "Friday stays Friday";
    EXPECT_EQ(grid.groups[0].columns[0].values[0], Clock(27, 10));
    EXPECT_EQ(FirstTimes(grid.groups[0])[0], "03:10");
    EXPECT_TRUE(grid.groups[1].columns.empty());
}

TEST_F(TimetableBuilderTest, StopsServedInAnotherOrderComeBackAsOneWarningPerStop) {
    Trip& trip = fixture.AddTrip("T", "5", {2, 1, 3}, {0, 3, 6});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2, 3}, {kMonFri});
    TimetableGrid grid = Build(plan);
    EXPECT_EQ(grid.groups[0].columns[0].values, (std::vector<int32_t>{NotServed, Clock(6, 0), Clock(6, 6)}));
    EXPECT_EQ(grid.warnings, std::vector<std::string>{"In Test plan: Stop 1 (1) after Stop 2 (2)"});

    // A stop the plan does not list at all is no wrong order.
    Trip& other = fixture.AddTrip("U", "5", {1, 7, 3}, {0, 3, 6});
    fixture.AddTour("5", "5-02", kMonFri, other, {Clock(7, 0)});
    EXPECT_TRUE(Build(fixture.Plan({&other}, {1, 3}, {kMonFri})).warnings.empty());
}

TEST_F(TimetableBuilderTest, OnlyTripsOfThePlansLinesAndMatchingDayGroupsAreTaken) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0)});
    fixture.AddTour("5", "5-51", test::kSaturday, trip, {Clock(8, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri, test::kSaturday, 0x100 | 0x1F});
    plan.line = " 7 , 5 ";
    TimetableGrid grid = Build(plan);
    EXPECT_EQ(grid.groups[0].columns.size(), 1u);
    EXPECT_EQ(grid.groups[1].columns.size(), 1u);
    EXPECT_EQ(grid.groups[2].columns.size(), 1u) << "school days share Mo-Fr and a pair bit";
    plan.line = "7";
    EXPECT_TRUE(Build(plan).groups[0].columns.empty());
}

TEST_F(TimetableBuilderTest, ExtremeProfileTimesAreClampedInsteadOfOverflowing) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    trip.profiles[0].times[0].arrival = -2'000'000'000;
    trip.profiles[0].times[1].arrival = 2'147'480'000;
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0), Clock(6, 10), Clock(6, 20), Clock(6, 30)});
    TimetableGrid grid = Build(fixture.Plan({&trip}, {1, 2}, {kMonFri}), true);
    EXPECT_EQ(grid.TravelTime(0, 1), kUnknownTravelTime) << "a travel time beyond 32 bits is not kept";
    ASSERT_FALSE(grid.groups[0].columns.empty());
    EXPECT_EQ(grid.groups[0].columns.back().values[1], std::numeric_limits<int32_t>::max());
}

TEST(IterationCellText, LabelsSpreadOverTheVisibleCellsOfEqualValue) {
    LanguageTable lang = test::TimetableLanguage();
    TimetableColumn column;
    column.kind = ColumnKind::UniformInterval;
    column.values = {600, 600, 600, 600, 600, 1200, NotServed};
    std::vector<bool> visible(7, true);
    std::vector<std::string> texts;
    for (int32_t s = 0; s < 7; ++s) texts.push_back(IterationCellText(lang, column, s, visible).text);
    EXPECT_EQ(texts, (std::vector<std::string>{"", "every", "10", "mins", "", "20min", "     "}));
    EXPECT_FALSE(IterationCellText(lang, column, 0, visible).startsBlock);
    EXPECT_TRUE(IterationCellText(lang, column, 5, visible).startsBlock);

    // Hidden slots are passed over: four visible cells of 10 read "", every, 10min, "".
    visible[2] = false;
    EXPECT_EQ(IterationCellText(lang, column, 1, visible).text, "every");
    EXPECT_EQ(IterationCellText(lang, column, 3, visible).text, "10min");
    EXPECT_EQ(IterationCellText(lang, column, 4, visible).text, "");

    TimetableColumn irregular;
    irregular.kind = ColumnKind::IrregularInterval;
    irregular.values = {1800, 1800, 1800, 1800, PassThrough};
    std::vector<bool> all(5, true);
    std::vector<std::string> cycle;
    for (int32_t s = 0; s < 5; ++s) cycle.push_back(IterationCellText(lang, irregular, s, all).text);
    EXPECT_EQ(cycle, (std::vector<std::string>{"cycle", "every", "30", "mins", "  |  "}));
    irregular.values = {1800, NotServed};
    EXPECT_EQ(IterationCellText(lang, irregular, 0, all).text, "(30m)");

    TimetableColumn departure;
    departure.values = {Clock(25, 30)};
    EXPECT_EQ(IterationCellText(lang, departure, 0, all).text, "01:30");
}

}  // namespace
}  // namespace tak

namespace tak {
namespace {

// A line with tens of thousands of departures: every column must find its
// place by time without looking at all earlier ones (once quadratic: 353,000
// tour trips took minutes).
TEST(TimetableColumnPlacement, ManyDeparturesFindTheirPlacesQuickly) {
    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    constexpr int32_t kDepartures = 60000;
    std::vector<int32_t> starts;
    // Every second from 04:00 on, in a scrambled order, spread over three tours.
    for (int32_t i = 0; i < kDepartures; ++i) {
        starts.push_back(Clock(4, 0) + static_cast<int32_t>(int64_t{i} * 7919 % kDepartures));
    }
    for (int t = 0; t < 3; ++t) {
        std::vector<int32_t> part(starts.begin() + t * kDepartures / 3, starts.begin() + (t + 1) * kDepartures / 3);
        fixture.AddTour("5", "5-0" + std::to_string(t), test::kMonFri, trip, part);
    }
    TimeTablePlan plan = fixture.Plan({&trip}, {1, 2}, {test::kMonFri});
    plan.displayTour = true;  // no two columns merge

    auto started = std::chrono::steady_clock::now();
    TimetableGrid grid = BuildTimetable(plan, fixture.map, false, lang);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const std::vector<TimetableColumn>& columns = grid.groups.at(0).columns;
    ASSERT_EQ(columns.size(), static_cast<std::size_t>(kDepartures));
    for (std::size_t c = 0; c < columns.size(); ++c) {
        ASSERT_EQ(columns[c].values[0], Clock(4, 0) + static_cast<int32_t>(c)) << "column " << c;
    }
    EXPECT_LT(seconds, 15.0) << "a few tenths of a second are expected; the quadratic search took minutes";
}

// Columns that share no stop are placed by the travel times between their
// stops. With the travel times of one line every column has one time at the
// first stop (its own, or the one estimated back from a later stop), and the
// columns must stand in the order of that time however they arrive.
TEST(TimetableColumnPlacement, ColumnsWithoutSharedStopsArePlacedByTravelTimes) {
    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
    Trip& whole = fixture.AddTrip("W", "5", {1, 2, 3}, {0, 10, 20});
    Trip& upper = fixture.AddTrip("U", "5", {1, 2}, {0, 10});
    Trip& lower = fixture.AddTrip("L", "5", {3}, {0});
    const Trip* kinds[] = {&whole, &upper, &lower};
    const int32_t offsets[] = {0, 0, 20};  // minutes from stop 1 to where each trip starts
    std::vector<std::pair<int32_t, std::string>> expected;  // time at stop 1, tour
    for (int32_t i = 0; i < 300; ++i) {
        int32_t atFirstStop = Clock(5, 0) + ((i * 37) % 300) * 60;  // distinct, scrambled
        int kind = (i * 7) % 3;
        std::string name = std::to_string(i);
        fixture.AddTour("5", name, test::kMonFri, *kinds[kind], {atFirstStop + offsets[kind] * 60});
        expected.emplace_back(atFirstStop, name);
    }
    std::sort(expected.begin(), expected.end());
    TimeTablePlan plan = fixture.Plan({&whole, &upper, &lower}, {1, 2, 3}, {test::kMonFri});
    plan.displayTour = true;  // no two columns merge
    TimetableGrid grid = BuildTimetable(plan, fixture.map, false, lang);
    std::vector<std::string> order;
    for (const auto& column : grid.groups.at(0).columns) order.push_back(column.tourName);
    std::vector<std::string> wanted;
    for (const auto& entry : expected) wanted.push_back(entry.second);
    EXPECT_EQ(order, wanted);
}

}  // namespace
}  // namespace tak
