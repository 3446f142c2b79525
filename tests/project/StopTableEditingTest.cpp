#include "project/StopTableEditing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProjectMaps.h"

namespace tak {
namespace {

// Stops: 1 Markt, 2 Nord, 3 Süd, 4 Hafen, 5 West, 6 Ost.
class StopTableEditingTest : public ::testing::Test {
protected:
    const Trip* AddTrip(const std::string& name, const std::vector<test::StationSpec>& stops) {
        return &test::AddTestTrip(map, name, "1", stops, {});
    }

    MapData map;
    const Trip* x = AddTrip("X", {{2, "Nord"}, {1, "Markt"}, {3, "Sued"}, {4, "Hafen"}});
    const Trip* y = AddTrip("Y", {{5, "West"}, {1, "Markt"}, {3, "Sued"}, {4, "Hafen"}});
    const Trip* z = AddTrip("Z", {{6, "Ost"}, {1, "Markt"}, {3, "Sued"}});
    const Trip* toMarket = AddTrip("ToMarkt", {{2, "Nord"}, {1, "Markt"}});
    const Trip* second = AddTrip("Markt2", {{1, "Markt"}, {7, "Markt"}});
};

const StopTableTrip& EntryOf(const StopTable& table, const Trip* trip) {
    for (const StopTableTrip& entry : table.trips) {
        if (entry.trip == trip) return entry;
    }
    static const StopTableTrip kNone;
    ADD_FAILURE() << trip->name << " has no entry";
    return kNone;
}

TEST_F(StopTableEditingTest, ChoicesAreOnePerStopByNameThenIdAndTheFirstStopNamesATable) {
    std::vector<std::string> shown;
    for (const TripStation* station : StopChoices(map))
        shown.push_back(station->name + " " + std::to_string(station->id));
    EXPECT_EQ(shown,
              (std::vector<std::string>{"Hafen 4", "Markt 1", "Markt 7", "Nord 2", "Ost 6", "Sued 3", "West 5"}));

    StopTable table;
    EXPECT_TRUE(AddStopTableStop(table, x->stations[1]));
    EXPECT_EQ(table.name, "Markt");
    EXPECT_FALSE(AddStopTableStop(table, y->stations[1]));  // the same id from another trip
    EXPECT_TRUE(AddStopTableStop(table, x->stations[2]));
    EXPECT_EQ(table.name, "Markt");
    EXPECT_EQ(table.stations.size(), 2U);
}

TEST_F(StopTableEditingTest, ATripThatOnlyEndsAtTheStopDoesNotDepartThere) {
    StopTable table;
    AddStopTableStop(table, x->stations[1]);
    EXPECT_TRUE(DepartsAtTableStops(table, *x));
    EXPECT_FALSE(DepartsAtTableStops(table, *toMarket));
    EXPECT_TRUE(TripTail(table, *toMarket).empty());
    EXPECT_EQ(TripTail(table, *x), (std::vector<int32_t>{1, 3, 4}));
    // With Süd a stop too, the tail starts at the later stop.
    AddStopTableStop(table, x->stations[2]);
    EXPECT_EQ(TripTail(table, *x), (std::vector<int32_t>{3, 4}));
    EXPECT_TRUE(TripTail(table, *z).size() == 2 && TripTail(table, *z)[0] == 1);
}

TEST_F(StopTableEditingTest, SameWayIsFoundByTailsAndFootnotesOutliveAnUncheck) {
    StopTable table;
    AddStopTableStop(table, x->stations[1]);
    SelectStopTableTrips(table, {x, y, z});
    ASSERT_EQ(table.trips.size(), 3U);
    EXPECT_EQ(EntryOf(table, x).sameWay, kNoStopTableTrip);  // nobody before it
    EXPECT_EQ(EntryOf(table, y).sameWay, EntryOf(table, x).key);
    EXPECT_EQ(EntryOf(table, z).sameWay, kNoStopTableTrip);  // a shorter tail

    table.trips[0].alternative = true;
    table.trips[0].footnote = "über Hafen";
    SelectStopTableTrips(table, {y, z});
    EXPECT_EQ(table.selection, (std::set<std::string>{"Y", "Z"}));
    EXPECT_EQ(table.trips.size(), 3U);
    EXPECT_EQ(EntryOf(table, y).sameWay, kNoStopTableTrip);  // X is no longer chosen

    SelectStopTableTrips(table, {x, y, z});
    EXPECT_EQ(table.trips.size(), 3U);
    EXPECT_EQ(EntryOf(table, x).footnote, "über Hafen");
    EXPECT_TRUE(EntryOf(table, x).alternative);
}

TEST_F(StopTableEditingTest, SameStopInOneSpreadsToTablesSharingAStop) {
    std::vector<StopTable> tables(3);
    AddStopTableStop(tables[0], x->stations[1]);  // Markt
    AddStopTableStop(tables[1], x->stations[0]);  // Nord
    AddStopTableStop(tables[1], y->stations[1]);  // Markt again
    AddStopTableStop(tables[2], x->stations[3]);  // Hafen
    SetSameStopInOne(tables, 0, true);
    EXPECT_TRUE(tables[0].sameInOne);
    EXPECT_TRUE(tables[1].sameInOne);
    EXPECT_FALSE(tables[2].sameInOne);
    SetSameStopInOne(tables, 1, false);
    EXPECT_FALSE(tables[0].sameInOne);
    SetSameStopInOne(tables, 7, true);  // no such table: nothing happens
    EXPECT_FALSE(tables[0].sameInOne || tables[1].sameInOne || tables[2].sameInOne);
}

TEST_F(StopTableEditingTest, ANewTableTakesTheModelsSwitchesAndDaysButNoNameOrStops) {
    StopTable model;
    model.name = "Markt";
    model.breakHour = 2;
    model.mergeRow = true;
    model.sameInOne = true;
    model.days = {{"Werktag", 0x1F}};
    AddStopTableStop(model, x->stations[1]);
    StopTable added = InheritStopTable(model);
    EXPECT_TRUE(added.name.empty() && added.stations.empty() && !added.sameInOne);
    EXPECT_EQ(added.breakHour, 2);
    EXPECT_TRUE(added.mergeRow);
    ASSERT_EQ(added.days.size(), 1U);
    EXPECT_EQ(added.days[0].days, ServiceDays{0x1F});
}

}  // namespace
}  // namespace tak
