#include "project/PlanEditing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProjectMaps.h"

namespace tak {
namespace {

std::vector<std::string> Shown(const std::vector<const TripStation*>& stations) {
    std::vector<std::string> texts;
    for (const TripStation* station : stations) texts.push_back(StopRowText(station->name, station->id));
    return texts;
}

std::vector<std::string> Shown(const std::vector<PlanStop>& rows) {
    std::vector<std::string> texts;
    for (const PlanStop& row : rows) texts.push_back(StopRowText(row));
    return texts;
}

class PlanEditingTest : public ::testing::Test {
protected:
    const Trip* AddTrip(const std::string& name, const std::string& line, const std::vector<test::StationSpec>& stops) {
        return &test::AddTestTrip(map, name, line, stops, {});
    }
    MapData map;
};

TEST_F(PlanEditingTest, CandidatesOfAShortTurnAndAReturnTripKeepEachTripsOrder) {
    const auto* out = AddTrip("out", "1", {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}});
    const auto* shortTurn = AddTrip("short", "1", {{2, "B"}, {5, "E"}, {4, "D"}});
    const auto* depot = AddTrip("depot", "1", {{6, "Depot"}, {1, "A"}});
    EXPECT_EQ(Shown(MergeStopCandidates({out, shortTurn, depot})),
              (std::vector<std::string>{"Depot (6)", "A (1)", "B (2)", "C (3)", "E (5)", "D (4)"}));
    // A station met a second time after the position is listed again.
    const auto* ring = AddTrip("ring", "2", {{1, "A"}, {2, "B"}, {1, "A"}});
    EXPECT_EQ(Shown(MergeStopCandidates({ring})), (std::vector<std::string>{"A (1)", "B (2)", "A (1)"}));
    EXPECT_TRUE(MergeStopCandidates({}).empty());
}

TEST_F(PlanEditingTest, AddAllInsertsMissingCandidatesAfterTheLastMatchedRow) {
    const auto* trip = AddTrip("t", "1", {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}});
    auto candidates = MergeStopCandidates({trip});
    // Rows in the user's order: D first, then B. A comes before any match,
    // so it goes to the end; C follows B, the row matched before it.
    std::vector<PlanStop> rows{{&trip->stations[3], "D", 0}, {&trip->stations[1], "B", kRowDeparture}};
    EXPECT_EQ(AddAllStopRows(rows, candidates, {trip}), 2U);
    EXPECT_EQ(Shown(rows), (std::vector<std::string>{"D (4)", "B (2)", "C (3)", "A (1)"}));
    EXPECT_EQ(rows[0].flags, 0);  // rows already there keep their options
    EXPECT_EQ(rows[1].flags, kRowDeparture);
    EXPECT_EQ(AddAllStopRows(rows, candidates, {trip}), 0U);
}

TEST_F(PlanEditingTest, NewRowsPrintDeparturesAndArrivalsWhereTripsOnlyEnd) {
    const auto* out = AddTrip("out", "1", {{1, "A"}, {2, "B"}, {3, "C"}});
    const auto* back = AddTrip("back", "1", {{3, "C"}, {2, "B"}, {1, "A"}});
    const auto* shortTurn = AddTrip("short", "1", {{1, "A"}, {2, "B"}});
    // One direction: the terminus shows arrivals, every other stop departures.
    std::vector<PlanStop> rows;
    AddAllStopRows(rows, MergeStopCandidates({out}), {out});
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].flags, kRowDeparture);
    EXPECT_EQ(rows[1].flags, kRowDeparture);
    EXPECT_EQ(rows[2].flags, kRowArrival);
    // B ends the short turn but the other trip departs there; with the return
    // trip, C is a start too.
    EXPECT_EQ(NewStopRowFlags(2, {out, shortTurn}), kRowDeparture);
    EXPECT_EQ(NewStopRowFlags(3, {out, back}), kRowDeparture);
    EXPECT_EQ(NewStopRowFlags(3, {out, shortTurn}), kRowArrival);
    EXPECT_EQ(NewStopRowFlags(9, {out}), kRowDeparture);  // a stop no trip knows
}

TEST_F(PlanEditingTest, DefaultDayRowsOfAnotherLanguageComeInTheCurrentOne) {
    LanguageTable english;
    ASSERT_TRUE(english.LoadLanguage(test::SourceDir() / "Language", "English"));
    LanguageTable german;
    ASSERT_TRUE(german.LoadLanguage(test::SourceDir() / "Language", "German"));
    std::vector<TableDay> germanRows = DefaultDayRows(german);
    ASSERT_EQ(germanRows[0].name, "Montag - Freitag");
    EXPECT_EQ(DayRowsFrom(germanRows, english), DefaultDayRows(english));
    EXPECT_EQ(DefaultDayRows(english)[0].name, "Monday - Friday");
    // Rows of the user's own stay as they are.
    std::vector<TableDay> own = germanRows;
    own.pop_back();
    EXPECT_EQ(DayRowsFrom(own, english), own);
    own.push_back({"Nachts", 0x7F});
    EXPECT_EQ(DayRowsFrom(own, english), own);
}

TEST_F(PlanEditingTest, AutomaticLineTextNamesEachLineOnceInTheOrderMet) {
    const auto* seven = AddTrip("a", "7", {{1, "A"}});
    const auto* five = AddTrip("b", "5", {{1, "A"}});
    const auto* sevenAgain = AddTrip("c", "7", {{1, "A"}});
    EXPECT_EQ(AutoLineText({seven, five, sevenAgain}), "7, 5");
    EXPECT_EQ(AutoLineText({}), "");
}

}  // namespace
}  // namespace tak
