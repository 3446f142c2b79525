// The order of timetable columns on maps where many buses share a line:
// columns that start at one stop stand in clock order of their start, a
// bus's rides are joined only with its own next trip, "every N minutes" is
// found across buses, and none of it depends on the order of the tours.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "TimetableFixtures.h"
#include "app/AppContext.h"
#include "mapdata/MapLoader.h"
#include "output/OutputTimetable.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

// Departure columns whose first time is earlier than that of a column before
// them starting at the same slot, as "group: slot s: 23:25 before 05:35".
std::vector<std::string> StartsOutOfClockOrder(const TimetableGrid& grid) {
    std::vector<std::string> faults;
    for (const DayGroup& group : grid.groups) {
        std::map<std::size_t, int32_t> lastStart;  // per first slot
        for (const TimetableColumn& column : group.columns) {
            if (column.kind != ColumnKind::Departure) continue;
            auto first = std::find_if(column.values.begin(), column.values.end(), IsRealTime);
            if (first == column.values.end()) continue;
            auto slot = static_cast<std::size_t>(first - column.values.begin());
            auto [previous, added] = lastStart.try_emplace(slot, *first);
            if (!added && *first < previous->second) {
                faults.push_back((group.day ? group.day->name : "") + ": slot " + std::to_string(slot) + ": " +
                                 FormatClock(previous->second) + " before " + FormatClock(*first));
            }
            previous->second = *first;
        }
    }
    return faults;
}

// Everything the writers print of a grid, one line per column.
std::string Dump(const TimetableGrid& grid) {
    std::ostringstream out;
    for (const DayGroup& group : grid.groups) {
        out << "group " << (group.day ? group.day->name : "") << "\n";
        for (const TimetableColumn& column : group.columns) {
            out << static_cast<int>(column.kind) << " " << column.lineText << " " << column.tourName << " "
                << column.days << " [" << column.footnoteMark << "]";
            for (int32_t value : column.values) out << " " << value;
            out << "\n";
        }
    }
    return out.str();
}

// The first interval column of a group, or null.
const TimetableColumn* FirstIntervalColumn(const DayGroup& group) {
    for (const TimetableColumn& column : group.columns) {
        if (column.kind != ColumnKind::Departure) return &column;
    }
    return nullptr;
}

// tests/data/maps/Shuttle: line 8 out to Universität and back, each
// direction on stops of its own; five buses every five minutes on weekdays,
// three every ten minutes on Saturdays, some starting at the far end.
class ShuttleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lang.LoadLanguage(test::SourceDir() / "Language", "German"));
        ASSERT_TRUE(LoadMap(map, test::SourceDir() / "tests" / "data" / "maps" / "Shuttle", kNoDate, "de"));
        ASSERT_EQ(map.lines.size(), 1u);
        for (const char* name : {"8_Bahnhof-Uni", "8_Uni-Bahnhof"}) {
            const Trip* trip = map.FindTrip(name);
            ASSERT_NE(trip, nullptr) << name;
            plan.trips.push_back(trip);
        }
        // Both directions, one after the other: out to the terminus, then back.
        plan.name = "8";
        plan.line = "8";
        for (const Trip* trip : plan.trips) {
            for (std::size_t s = 0; s < trip->stations.size(); ++s) {
                bool last = s + 1 == trip->stations.size();
                plan.stops.push_back(PlanStop{&trip->stations[s], trip->stations[s].name,
                                              last ? kRowArrival : kRowDeparture});
            }
        }
        plan.days = {TableDay{"Montag - Freitag", test::kMonFri}, TableDay{"Samstag", test::kSaturday}};
    }

    TimetableGrid Build(bool condense) {
        return BuildTimetable(plan, map, condense, lang);
    }

    LanguageTable lang;
    MapData map;
    TimeTablePlan plan;
};

TEST_F(ShuttleTest, ColumnsStartInClockOrderAndIntervalsSpanAllBuses) {
    TimetableGrid grid = Build(false);
    ASSERT_EQ(grid.groups.size(), 2u);
    EXPECT_EQ(StartsOutOfClockOrder(grid), std::vector<std::string>{});
    // The first row reads the day's departures from Bahnhof in order.
    std::vector<int32_t> firstRow;
    for (const TimetableColumn& column : grid.groups[0].columns) {
        if (IsRealTime(column.values[0])) firstRow.push_back(column.values[0]);
    }
    ASSERT_GE(firstRow.size(), 100u);
    EXPECT_TRUE(std::is_sorted(firstRow.begin(), firstRow.end()));
    EXPECT_EQ(FormatClock(firstRow[0]), "05:31");
    EXPECT_EQ(FormatClock(firstRow[1]), "05:36");

    TimetableGrid condensed = Build(true);
    EXPECT_EQ(StartsOutOfClockOrder(condensed), std::vector<std::string>{});
    const TimetableColumn* weekday = FirstIntervalColumn(condensed.groups[0]);
    const TimetableColumn* saturday = FirstIntervalColumn(condensed.groups[1]);
    ASSERT_NE(weekday, nullptr);
    ASSERT_NE(saturday, nullptr);
    EXPECT_EQ(weekday->kind, ColumnKind::UniformInterval);
    EXPECT_EQ(weekday->values[0], 300) << "every 5 minutes, not each bus's 25";
    EXPECT_EQ(saturday->values[0], 600) << "every 10 minutes, not each bus's 30";
    EXPECT_LE(condensed.groups[0].columns.size(), 12u) << Dump(condensed);
}

TEST_F(ShuttleTest, ARideOutAndBackIsOneColumnOfOneBus) {
    TimetableGrid grid = Build(false);
    std::size_t slots = static_cast<std::size_t>(grid.rowCount);
    int joined = 0;
    for (const TimetableColumn& column : grid.groups[0].columns) {
        bool out = IsRealTime(column.values[0]);
        bool back = IsRealTime(column.values[slots - 1]);
        if (!out || !back) continue;
        ++joined;
        // The bus turns within a minute at Universität.
        int32_t turn = column.values[slots / 2] - column.values[slots / 2 - 1];
        EXPECT_GE(turn, 0);
        EXPECT_LE(turn, 60) << column.tourName << " at " << FormatClock(column.values[0]);
    }
    EXPECT_GT(joined, 100);
}

TEST_F(ShuttleTest, TheOrderOfToursAndTripsChangesNothing) {
    const std::string expected = Dump(Build(true));
    std::mt19937 random(2026);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(map.lines[0]->tours.begin(), map.lines[0]->tours.end(), random);
        std::shuffle(plan.trips.begin(), plan.trips.end(), random);
        EXPECT_EQ(Dump(Build(true)), expected) << "round " << round;
    }
}

// Where the two directions share no trip, only a bus going on from one into
// the other tells how far apart they stand.
TEST(SlotOffsets, TheTurnOfABusLinksTheDirectionsOfATable) {
    LanguageTable lang = test::TimetableLanguage();
    test::TimetableMap fixture;
    Trip& out = fixture.AddTrip("O", "5", {1, 2}, {0, 10});
    Trip& back = fixture.AddTrip("B", "5", {11, 12}, {0, 10});
    fixture.AddTour("5", "5-01", test::kMonFri, out, {test::Clock(6, 0)});
    test::TimetableMap::AddStart(fixture.map.lines[0]->tours[0], back, test::Clock(6, 13));
    TimeTablePlan plan = fixture.Plan({&out, &back}, {1, 2, 11, 12}, {test::kMonFri});
    TimetableGrid grid = BuildTimetable(plan, fixture.map, false, lang);
    EXPECT_EQ(SlotOffsets(grid), (std::vector<int64_t>{0, 600, 780, 1380}));

    // Without the turn the trips back stand right below the trips out; a
    // trip back at 6:20 then goes after one out at 6:05 (6:15 at its end).
    fixture.map.lines[0]->tours[0].trips.pop_back();
    fixture.AddTour("5", "5-02", test::kMonFri, back, {test::Clock(6, 20)});
    fixture.AddTour("5", "5-03", test::kMonFri, out, {test::Clock(6, 5)});
    grid = BuildTimetable(plan, fixture.map, false, lang);
    EXPECT_EQ(SlotOffsets(grid), (std::vector<int64_t>{0, 600, 600, 1200}));
    std::vector<std::string> tours;
    for (const TimetableColumn& column : grid.groups[0].columns) tours.push_back(column.tourName);
    EXPECT_EQ(tours, (std::vector<std::string>{"5-01", "5-03", "5-02"}));
}

// Every timetable plan of the demo and of a real map made by others starts
// its columns in clock order.
void ExpectPlansInClockOrder(AppContext& context) {
    for (const TimeTablePlan& plan : context.project.timeTablePlans) {
        for (bool condense : {false, true}) {
            TimetableGrid grid = BuildTimetable(plan, *context.map, condense, context.language);
            EXPECT_EQ(StartsOutOfClockOrder(grid), std::vector<std::string>{}) << plan.name;
        }
    }
}

TEST(ColumnOrder, DemoAndRealMapPlansStartInClockOrder) {
    AppContext demo;
    ASSERT_TRUE(demo.language.LoadLanguage(test::SourceDir() / "Language", "German"));
    demo.workingFolder = test::SourceDir() / "examples";
    ASSERT_TRUE(LoadMapAndProject(demo, test::SourceDir() / "examples" / "DemoMap", kNoDate));
    ASSERT_FALSE(demo.project.timeTablePlans.empty());
    ExpectPlansInClockOrder(demo);

    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    test::TempDir working;
    fs::create_directories(working.path() / "output");
    fs::copy_file(test::SourceDir() / "tests" / "data" / "output" / "NewDavisville.cfg",
                  working.path() / "output" / "NewDavisville.cfg");
    AppContext real;
    ASSERT_TRUE(real.language.LoadLanguage(test::SourceDir() / "Language", "German"));
    real.workingFolder = working.path();
    ASSERT_TRUE(LoadMapAndProject(real, realMaps / "NewDavisville", kNoDate));
    ASSERT_FALSE(real.project.timeTablePlans.empty());
    ExpectPlansInClockOrder(real);
}

}  // namespace
}  // namespace tak
