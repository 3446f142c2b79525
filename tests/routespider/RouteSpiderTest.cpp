#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ProjectMaps.h"
#include "routespider/RouteSpider.h"

namespace tak {
namespace {

struct StopView {
    std::string name;
    int32_t travelTime;
    bool operator==(const StopView&) const = default;
};

std::vector<StopView> View(const SpiderWay& way) {
    std::vector<StopView> stops;
    for (const auto& stop : way.stops) stops.push_back({stop.name, stop.travelTime});
    return stops;
}

std::string NameOf(const RouteSpider& spider, SpiderStopKey key) {
    const SpiderStop* stop = FindSpiderStop(spider, key);
    return stop ? stop->name : "<none>";
}

class RouteSpiderTest : public ::testing::Test {
protected:
    // The main line runs A - B - C - D - E, one minute between stops.
    const Trip& MainTrip() {
        return test::AddTestTrip(map, "main", "1", {{10, "A"}, {11, "B"}, {12, "C"}, {13, "D"}, {14, "E"}},
                                 {{0, 60, 120, 180, 240}});
    }
    MapData map;
    RouteSpiderList list;
};

TEST_F(RouteSpiderTest, ImportIntoAnEmptyMainWayTakesEveryStationWithAveragedMinutes) {
    // Averages over both profiles: 0, 135, 220 seconds. Minutes are rounded
    // per stop from the unrounded running total: 2.25 -> 2, then 1.42 -> 1.
    const Trip& trip = test::AddTestTrip(map, "t", "1", {{1, "A"}, {2, "B"}, {3, "C"}}, {{0, 100, 200}, {0, 170, 240}});
    RouteSpider& spider = AddRouteSpider(list, "S");
    ImportTrip(spider, 0, trip);
    EXPECT_EQ(View(spider.ways[0]), (std::vector<StopView>{{"A", 0}, {"B", 2}, {"C", 1}}));
    EXPECT_EQ(spider.ways[0].begin, kNoSpiderStop);
    EXPECT_EQ(spider.ways[0].end, kNoSpiderStop);
    EXPECT_EQ(spider.ways[0].stops[1].station, &trip.stations[1]);
}

TEST_F(RouteSpiderTest, MissingTimesFallBackToDepartureOrAreEstimatedBetweenTheNeighbours) {
    Trip& trip = test::AddTestTrip(map, "t", "1", {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}},
                                   {{0, TimeUnset, TimeUnset, 430}});
    trip.profiles[0].times[2].departure = 250;  // C only gives its departure
    RouteSpider& spider = AddRouteSpider(list, "S");
    ImportTrip(spider, 0, trip);
    // B has no time: halfway between A (0 s) and C (250 s), so 125 s.
    EXPECT_EQ(View(spider.ways[0]), (std::vector<StopView>{{"A", 0}, {"B", 2}, {"C", 2}, {"D", 3}}));

    const Trip& bare = test::AddTestTrip(map, "bare", "1", {{1, "A"}, {5, "E"}}, {});
    RouteSpider& other = AddRouteSpider(list, "T");
    ImportTrip(other, 0, bare);
    EXPECT_EQ(View(other.ways[0]), (std::vector<StopView>{{"A", 0}, {"E", 0}})) << "no profile, no minutes";
}

TEST_F(RouteSpiderTest, AnAlternativeWayBranchesOffAndRejoinsTheMainWay) {
    const Trip& main = MainTrip();
    // A - B - X - Y - D - E: leaves after B and comes back at D.
    const Trip& detour = test::AddTestTrip(map, "detour", "1",
                                           {{10, "A"}, {11, "B"}, {20, "X"}, {21, "Y"}, {13, "D"}, {14, "E"}},
                                           {{0, 60, 140, 200, 260, 320}});
    RouteSpider& spider = AddRouteSpider(list, "S");
    ImportTrip(spider, 0, main);
    spider.ways.emplace_back();
    ImportTrip(spider, 1, detour);
    EXPECT_EQ(NameOf(spider, spider.ways[1].begin), "B");
    EXPECT_EQ(NameOf(spider, spider.ways[1].end), "D");
    // X is 80 s after B, Y 60 s after X; E after the join point is not imported.
    EXPECT_EQ(View(spider.ways[1]), (std::vector<StopView>{{"X", 1}, {"Y", 1}}));

    // A way that never meets an earlier one again has no join point.
    const Trip& spur = test::AddTestTrip(map, "spur", "1", {{12, "C"}, {30, "Z"}}, {{0, 300}});
    spider.ways.emplace_back();
    ImportTrip(spider, 2, spur);
    EXPECT_EQ(NameOf(spider, spider.ways[2].begin), "C");
    EXPECT_EQ(spider.ways[2].end, kNoSpiderStop);
    // Z is 300 s after C in this trip; summing the main way's minutes up to C
    // instead would count the minute from B to C, which this trip never runs.
    EXPECT_EQ(View(spider.ways[2]), (std::vector<StopView>{{"Z", 5}}));
}

TEST_F(RouteSpiderTest, StopsAreAddedAfterTheSelectionAndRemovedWithTheirLinks) {
    const Trip& main = MainTrip();
    RouteSpider& spider = AddRouteSpider(list, "S");
    AddSpiderStop(spider, 0, main.stations[0]);
    AddSpiderStop(spider, 0, main.stations[2]);
    AddSpiderStop(spider, 0, main.stations[1], 0);  // after the first stop
    AddSpiderStop(spider, 0, main.stations[3], 99);  // past the end: appended
    EXPECT_EQ(View(spider.ways[0]), (std::vector<StopView>{{"A", 0}, {"B", 0}, {"C", 0}, {"D", 0}}));
    EXPECT_EQ(AddSpiderStop(spider, 1, main.stations[0]), nullptr) << "there is no second way";

    spider.ways.emplace_back();
    spider.ways[1].begin = spider.ways[0].stops[1].key;
    spider.ways[1].end = spider.ways[0].stops[3].key;
    ASSERT_TRUE(RemoveSpiderStop(spider, 0, 1));
    EXPECT_EQ(spider.ways[1].begin, kNoSpiderStop) << "the branch point was deleted";
    EXPECT_EQ(NameOf(spider, spider.ways[1].end), "D") << "the join point is still there";
    EXPECT_FALSE(RemoveSpiderStop(spider, 0, 3));
    EXPECT_FALSE(RemoveSpiderStop(spider, 5, 0));
}

TEST_F(RouteSpiderTest, PlansFindSpidersByNameAndKeepThemAcrossReloads) {
    RouteSpiderKey first = AddRouteSpider(list, "Ring").key;
    AddRouteSpider(list, "Ring");
    RouteSpiderKey other = AddRouteSpider(list, "Other").key;
    EXPECT_EQ(SpiderForPlan(list, "Ring")->key, first) << "equal names: the first one";
    EXPECT_EQ(SpiderForPlan(list, "ring"), nullptr) << "names are compared exactly";
    EXPECT_EQ(FindRouteSpider(list, kNoSpider), nullptr);

    // The list is read anew: new keys, plans follow their spider's name.
    std::vector<SpiderNameOfKey> oldNames = {{first, "Ring"}, {other, "Other"}};
    list.spiders.clear();
    RouteSpiderKey newOther = AddRouteSpider(list, "Other").key;
    EXPECT_EQ(RelinkSpiderKey(list, oldNames, other), newOther);
    EXPECT_EQ(RelinkSpiderKey(list, oldNames, first), kNoSpider) << "no spider of that name any more";
    EXPECT_EQ(FindRouteSpider(list, other), nullptr) << "keys are never reused";
}

}  // namespace
}  // namespace tak

namespace tak {
namespace {

// Three ways: main A-B-C-D-E, way 1 branching at B, way 2 branching at a stop of way 1.
class SpiderWaysTest : public RouteSpiderTest {
protected:
    SpiderWaysTest() {
        const Trip& main = MainTrip();
        const Trip& branch = test::AddTestTrip(map, "branch", "1", {{10, "A"}, {11, "B"}, {20, "X"}, {21, "Y"}},
                                               {{0, 60, 120, 180}});
        RouteSpider& added = AddRouteSpider(list, "S");
        ImportTrip(added, 0, main);
        added.ways.emplace_back();
        ImportTrip(added, 1, branch);
        added.ways.emplace_back().begin = added.ways[1].stops[0].key;
        added.ways[2].end = added.ways[0].stops[3].key;
    }
    RouteSpider& Spider() { return list.spiders[0]; }
};

TEST_F(SpiderWaysTest, RemovingWaysKeepsTheMainWayAndClearsLinksIntoRemovedOnes) {
    EXPECT_EQ(RemoveSpiderWays(Spider(), {0}), 0U);
    EXPECT_EQ(RemoveSpiderWays(Spider(), {1, 1, 0, 7}), 1U);
    ASSERT_EQ(Spider().ways.size(), 2U);
    EXPECT_EQ(Spider().ways[1].begin, kNoSpiderStop);   // pointed into the removed way
    EXPECT_EQ(NameOf(Spider(), Spider().ways[1].end), "D");  // on the main way, kept
    EXPECT_EQ(Spider().ways[0].stops.size(), 5U);
}

TEST_F(SpiderWaysTest, ReorderedWaysLoseOnlyLinksThatNoLongerPointBackwards) {
    std::swap(Spider().ways[1], Spider().ways[2]);
    ClearLinksToLaterWays(Spider());
    EXPECT_EQ(Spider().ways[1].begin, kNoSpiderStop);        // X now stands on a later way
    EXPECT_EQ(NameOf(Spider(), Spider().ways[1].end), "D");
    EXPECT_EQ(NameOf(Spider(), Spider().ways[2].begin), "B");
}

}  // namespace
}  // namespace tak
