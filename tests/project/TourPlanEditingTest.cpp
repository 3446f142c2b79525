#include "project/TourPlanEditing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProjectMaps.h"
#include "mapdata/MapLoader.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

class TourPlanEditingTest : public ::testing::Test {
protected:
    const Trip* AddTrip(const std::string& name, int stations) {
        std::vector<test::StationSpec> stops;
        for (int i = 0; i < stations; ++i) stops.push_back({i + 1, "S" + std::to_string(i + 1)});
        return &test::AddTestTrip(map, name, "1", stops, {});
    }

    // A tour running the trips in the order given.
    static void Runs(Tour& tour, const std::vector<const Trip*>& trips) {
        for (const Trip* trip : trips) {
            TourTrip& run = tour.trips.emplace_back();
            run.trip = trip;
        }
    }

    static std::vector<std::string> Names(const TourPlan& plan, TripDirection direction) {
        std::vector<std::string> names;
        for (std::size_t i : TourPlanTripsOf(plan, direction)) names.push_back(plan.trips[i].trip->name);
        return names;
    }

    static std::vector<std::string> Order(const TourPlan& plan) {
        std::vector<std::string> names;
        for (const TourPlanTrip& entry : plan.trips) names.push_back(entry.trip->name);
        return names;
    }

    TourPlan& Checked(const std::set<std::string>& tours) {
        TourPlan& plan = ActivateTourPlan(project, *line, NewTourPlanTemplate());
        SetTourPlanTours(plan, *line, tours);
        CollectTourPlanTrips(plan);
        return plan;
    }

    MapData map;
    Project project;
    Line* line = &test::AddTestLine(map, "1", {"1-01", "1-02"});
    const Trip* a = AddTrip("A", 3);
    const Trip* b = AddTrip("B", 3);
    const Trip* c = AddTrip("C", 2);
    const Trip* depot = AddTrip("Depot", 1);
};

TEST_F(TourPlanEditingTest, AlternatingToursSplitIntoOutwardAndReturnAndSingleStationTripsAreNotInService) {
    Runs(line->tours[0], {depot, a, b, a, b});
    TourPlan& plan = Checked({"1-01"});
    // The depot run counts as the tour's first trip, so A comes second: return.
    EXPECT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"Depot", "B"}));
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(plan.trips[0].notInService);
    EXPECT_FALSE(plan.trips[1].notInService);
    EXPECT_TRUE(plan.hideEmpty && plan.hideBridge && !plan.displayIbis);

    Tour& plain = line->tours[1];
    Runs(plain, {a, b, a, b});
    TourPlan fresh = NewTourPlanTemplate();
    fresh.tours.emplace("x", &plain);
    CollectTourPlanTrips(fresh);
    EXPECT_EQ(Names(fresh, TripDirection::Outward), (std::vector<std::string>{"A"}));
    EXPECT_EQ(Names(fresh, TripDirection::Return), (std::vector<std::string>{"B"}));
}

TEST_F(TourPlanEditingTest, ALaterTourTakesItsPhaseFromTripsThePlanAlreadyPlaces) {
    Runs(line->tours[0], {a, b, a});
    Runs(line->tours[1], {b, a, c, depot, c});  // starts with a return trip
    TourPlan& plan = Checked({"1-01", "1-02"});
    EXPECT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"A", "Depot"}));
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B", "C"}));

    // Taking the first tour away drops nothing the second still runs; taking
    // both drops every trip.
    SetTourPlanTours(plan, *line, {"1-02"});
    CollectTourPlanTrips(plan);
    EXPECT_EQ(Order(plan), (std::vector<std::string>{"A", "B", "C", "Depot"}));
    SetTourPlanTours(plan, *line, {});
    CollectTourPlanTrips(plan);
    EXPECT_TRUE(plan.trips.empty() && plan.outward.empty() && plan.returning.empty());
}

TEST_F(TourPlanEditingTest, PhaseSkipsTripsNotInServiceOrDeactivated) {
    const Trip* d = AddTrip("D", 2);
    Runs(line->tours[0], {a, b});
    TourPlan& plan = Checked({"1-01"});
    plan.trips[0].deactivate = true;  // A, outward, no longer tells the phase
    Runs(line->tours[1], {c, d, a, b});
    SetTourPlanTours(plan, *line, {"1-01", "1-02"});
    CollectTourPlanTrips(plan);
    // The trip after A counts as a first trip again: B, a return trip, is
    // taken as the tour's first, so C and D, met before A, run return and
    // outward (counting places, B would be fourth and C outward).
    EXPECT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"A", "D"}));
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B", "C"}));
}

TEST_F(TourPlanEditingTest, RingLineEmptiesTheReturnsAndAutomaticSplitsAgainKeepingTexts) {
    Runs(line->tours[0], {a, b, c});
    TourPlan& plan = Checked({"1-01"});
    plan.trips[1].ibis = "110";
    plan.trips[1].target = "Hauptbahnhof";
    plan.trips[2].deactivate = true;
    MakeRingLine(plan);
    EXPECT_TRUE(plan.returning.empty());
    EXPECT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"A", "B", "C"}));
    MoveTourPlanTrips(plan, {"A"}, TripDirection::Return);
    SplitTourPlanAutomatically(plan);
    EXPECT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B"}));
    EXPECT_EQ(plan.trips[1].ibis, "110");
    EXPECT_EQ(plan.trips[1].target, "Hauptbahnhof");
    EXPECT_TRUE(plan.trips[2].deactivate);
}

TEST_F(TourPlanEditingTest, MovesOfSeveralTripsKeepTheListsInThePlansOrder) {
    const Trip* d = AddTrip("D", 2);
    Runs(line->tours[0], {a, b, c, d, depot});
    TourPlan& plan = Checked({"1-01"});
    ASSERT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"A", "C", "Depot"}));
    MoveTourPlanTrips(plan, {"A", "Depot", "B"}, TripDirection::Return);  // B is there already
    EXPECT_EQ(Order(plan), (std::vector<std::string>{"B", "C", "D", "A", "Depot"}));
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B", "D", "A", "Depot"}));

    // A block moves together; a trip at the top stops the one below it.
    ShiftTourPlanTrips(plan, TripDirection::Return, {"A", "Depot"}, -1);
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B", "A", "Depot", "D"}));
    EXPECT_EQ(Order(plan), (std::vector<std::string>{"B", "C", "A", "Depot", "D"}));
    ShiftTourPlanTrips(plan, TripDirection::Return, {"B", "A", "D"}, -1);
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B", "A", "D", "Depot"}));
    ShiftTourPlanTrips(plan, TripDirection::Return, {"D", "Depot"}, 1);
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"B", "A", "D", "Depot"}));

    ExchangeTourPlanDirections(plan);
    EXPECT_EQ(Names(plan, TripDirection::Outward), (std::vector<std::string>{"B", "A", "D", "Depot"}));
    EXPECT_EQ(Names(plan, TripDirection::Return), (std::vector<std::string>{"C"}));
}

// The demo's first tour starts with a depot run, so the runs from the main
// station come second and are counted as return runs.
TEST(TourPlanDemoTest, LineOneOfTheDemoMapStartsWithItsDepotRun) {
    MapData map;
    ASSERT_TRUE(LoadMap(map, test::SourceDir() / "examples" / "DemoMap", kNoDate, "de"));
    Project project;
    const Line* one = map.FindLine("1");
    ASSERT_NE(one, nullptr);
    TourPlan& plan = ActivateTourPlan(project, *one, NewTourPlanTemplate());
    SetTourPlanTours(plan, *one, {"1-03", "1-04", "1-06"});
    CollectTourPlanTrips(plan);
    std::vector<std::string> outward;
    for (std::size_t i : TourPlanTripsOf(plan, TripDirection::Outward)) outward.push_back(plan.trips[i].trip->name);
    EXPECT_EQ(outward, (std::vector<std::string>{"1_Betriebshof-Hbf", "1_Suedbf-Hbf", "1_Suedbf-Betriebshof",
                                                 "1_Stadtbad-Hbf"}));
    EXPECT_EQ(plan.trips.size(), 7U);
    EXPECT_EQ(plan.returning.size(), 3U);
}

}  // namespace
}  // namespace tak
