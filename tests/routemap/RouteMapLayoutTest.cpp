// The automatic layout: where stops land, how connections are routed, which
// signs and labels the layout adds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

RouteKey FixedStop(RouteMap& map, const std::string& name, StopBox box) {
    RouteStop& stop = AddRouteStop(map, name);
    stop.automatic = false;
    stop.stored = box;
    return stop.key;
}

RouteKey AutoStop(RouteMap& map, const std::string& name) { return AddRouteStop(map, name).key; }

const RouteStop& StopOf(const RouteMap& map, RouteKey key) { return *FindRouteStop(map, key); }
const StopPlace& PlaceOf(const RouteMap& map, const RouteMapLayoutResult& laid, RouteKey key) {
    return *laid.StopOf(map, key);
}

// A line through the given stops in order, one connection per pair.
std::vector<RouteKey> AddChain(RouteMap& map, RouteKey line, const std::vector<RouteKey>& stops) {
    std::vector<RouteKey> connections;
    for (std::size_t i = 1; i < stops.size(); ++i) connections.push_back(AddConnection(map, line, stops[i - 1], stops[i]).key);
    return connections;
}

RouteMap SmallMap() {
    RouteMap map;
    map.width = 20;
    map.height = 12;
    map.allowDiag = false;
    return map;
}

GridPoint BoxCell(const RouteMap& map, const RouteMapLayoutResult& laid, RouteKey stop) {
    const StopBox& box = PlaceOf(map, laid, stop).box;
    return {box.x, box.y};
}

// ---------------------------------------------------------------------------
// Automatic stops

// Three automatic stops between fixed A at (0,5) and fixed B at (bx,5); the
// route A-B runs straight along row 5 with bx steps.
struct Chain {
    RouteMap map = SmallMap();
    RouteMapLayoutResult laid;
    RouteKey a, s1, s2, s3, b;
    explicit Chain(int32_t bx) {
        a = FixedStop(map, "A", {0, 5, 0, 1});
        b = FixedStop(map, "B", {bx, 5, 0, 1});
        s1 = AutoStop(map, "S1");
        s2 = AutoStop(map, "S2");
        s3 = AutoStop(map, "S3");
        RouteKey line = AddRouteLine(map, "1").key;
        AddChain(map, line, {a, s1, s2, s3, b});
        laid = LayoutRouteMap(map);
    }
    GridPoint Cell(RouteKey stop) const { return BoxCell(map, laid, stop); }
};

TEST(RouteMapLayoutAutoStops, SpreadsChainEvenlyFromTheFarEnd) {
    Chain chain(8);
    // Cells 2, 4 and 6 counted from B at x = 8.
    EXPECT_EQ(chain.Cell(chain.s3), (GridPoint{6, 5}));
    EXPECT_EQ(chain.Cell(chain.s2), (GridPoint{4, 5}));
    EXPECT_EQ(chain.Cell(chain.s1), (GridPoint{2, 5}));
    // Across a horizontal run the box is a vertical bar, one port per line.
    // The saved stop keeps what the user gave it.
    EXPECT_EQ(PlaceOf(chain.map, chain.laid, chain.s1).box, (StopBox{2, 5, 0, 1}));
    const RouteStop& s1 = StopOf(chain.map, chain.s1);
    EXPECT_EQ(s1.stored, (StopBox{-1, -1, 0, 1}));
    EXPECT_TRUE(s1.automatic);
    for (const ConnectionRoute& c : chain.laid.connections) EXPECT_FALSE(c.path.empty());

    // Seven steps do not divide by four: indices round up to 2, 4 and 6.
    Chain uneven(7);
    EXPECT_EQ(uneven.Cell(uneven.s3), (GridPoint{5, 5}));
    EXPECT_EQ(uneven.Cell(uneven.s2), (GridPoint{3, 5}));
    EXPECT_EQ(uneven.Cell(uneven.s1), (GridPoint{1, 5}));
}

TEST(RouteMapLayoutAutoStops, ShortPathPlacesOnlyWhatFits) {
    Chain twoSteps(2);
    EXPECT_EQ(twoSteps.Cell(twoSteps.s1), (GridPoint{1, 5}));
    EXPECT_EQ(twoSteps.Cell(twoSteps.s2).x, -1);
    EXPECT_EQ(twoSteps.Cell(twoSteps.s3).x, -1);

    Chain oneStep(1);
    for (RouteKey stop : {oneStep.s1, oneStep.s2, oneStep.s3}) EXPECT_EQ(oneStep.Cell(stop).x, -1);
    // Connections to unplaced stops are not routed.
    for (const ConnectionRoute& c : oneStep.laid.connections) EXPECT_TRUE(c.path.empty());
}

TEST(RouteMapLayoutAutoStops, NothingIsPlacedWithoutFixedStops) {
    RouteMap map = SmallMap();
    RouteKey line = AddRouteLine(map, "1").key;
    AddChain(map, line, {AutoStop(map, "A"), AutoStop(map, "B"), AutoStop(map, "C")});
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    for (const StopPlace& place : laid.stops) EXPECT_EQ(place.box.x, -1);
    for (const ConnectionRoute& c : laid.connections) EXPECT_TRUE(c.path.empty());
}

TEST(RouteMapLayoutAutoStops, FixedStopOutsideTheGridIsLeftToTheLayout) {
    RouteMap map = SmallMap();
    RouteKey far = FixedStop(map, "Far", {25, 3, 0, 1});
    RouteKey edge = FixedStop(map, "Edge", {19, 3, 2, 0});  // one cell too wide
    RouteKey inside = FixedStop(map, "Inside", {18, 3, 2, 0});
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    EXPECT_EQ(PlaceOf(map, laid, far).box.x, -1) << "placed as an automatic stop, and nothing joins it";
    EXPECT_EQ(PlaceOf(map, laid, edge).box.x, -1);
    EXPECT_EQ(PlaceOf(map, laid, inside).box, (StopBox{18, 3, 2, 0}));
    EXPECT_FALSE(StopOf(map, far).automatic) << "the layout changes nothing of the saved map";

    // The editor hands such stops to the layout for good.
    ReleaseStopsOutsideGrid(map);
    EXPECT_TRUE(StopOf(map, far).automatic);
    EXPECT_TRUE(StopOf(map, edge).automatic);
    EXPECT_FALSE(StopOf(map, inside).automatic);
}

// ---------------------------------------------------------------------------
// Routing

TEST(RouteMapLayoutRouting, StraightRunCompletesAutomaticEnds) {
    RouteMap map = SmallMap();
    RouteKey a = FixedStop(map, "A", {2, 5, 0, 1});
    RouteKey b = FixedStop(map, "B", {7, 5, 0, 1});
    RouteKey line = AddRouteLine(map, "1").key;
    AddChain(map, line, {a, b});
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    const ConnectionRoute& c = laid.connections[0];
    std::vector<GridPoint> expected;
    for (int32_t x = 2; x <= 7; ++x) expected.push_back({x, 5});
    EXPECT_EQ(c.path, expected);
    EXPECT_EQ(c.ends[0], (ConnectionEnd{a, 1, 0}));  // leaves A by its right side
    EXPECT_EQ(c.ends[1], (ConnectionEnd{b, 3, 0}));  // enters B by its left side
    EXPECT_EQ(map.connections[0].end[0].side, -1);   // the stored ends stay automatic
}

TEST(RouteMapLayoutRouting, OrthogonalStepsOnlyUnlessDiagonalsAllowed) {
    for (bool diagonals : {false, true}) {
        RouteMap map = SmallMap();
        map.allowDiag = diagonals;
        RouteKey a = FixedStop(map, "A", {1, 1, 0, 1});
        RouteKey b = FixedStop(map, "B", {9, 8, 0, 1});
        AddChain(map, AddRouteLine(map, "1").key, {a, b});
        const RouteMapLayoutResult laid = LayoutRouteMap(map);
        const auto& path = laid.connections[0].path;
        ASSERT_GE(path.size(), 2u);
        bool sawDiagonal = false;
        for (std::size_t i = 1; i < path.size(); ++i) {
            int d = StepDirection(path[i - 1], path[i]);
            ASSERT_GE(d, 0);
            // Every step is one cell.
            EXPECT_LE(std::abs(path[i].x - path[i - 1].x), 1);
            EXPECT_LE(std::abs(path[i].y - path[i - 1].y), 1);
            sawDiagonal = sawDiagonal || d >= 4;
        }
        EXPECT_EQ(sawDiagonal, diagonals);
        EXPECT_EQ(path.front(), (GridPoint{1, 1}));
        EXPECT_EQ(path.back(), (GridPoint{9, 8}));
    }
}

TEST(RouteMapLayoutRouting, DiagonalStepNeverCutsAStopCorner) {
    LayoutGrid grid(5, 5);
    grid.AddPendingBlock({2, 1});
    grid.AddPendingBlock({1, 2});
    grid.ApplyPendingBlocks();
    // From (1,1) to (2,2) the diagonal squeezes between two stop cells.
    std::optional<GridPoint> goal = FindPath(grid, true, {{1, 1}}, {{2, 2, 0, -1}});
    ASSERT_TRUE(goal.has_value());
    std::vector<GridPoint> path = PathTo(grid, *goal);
    EXPECT_GT(path.size(), 2u);
    for (const GridPoint& p : path) {
        EXPECT_FALSE((p == GridPoint{2, 1}) || (p == GridPoint{1, 2}));
    }
}

TEST(RouteMapLayoutRouting, CostCountsStepsAndTurnsAndSearchIsRepeatable) {
    LayoutGrid grid(10, 10);
    for (int32_t y = 2; y <= 6; ++y) grid.AddPendingBlock({4, y});  // a wall between start and goal
    grid.ApplyPendingBlocks();
    std::optional<GridPoint> goal = FindPath(grid, false, {{1, 4}}, {{8, 4, 0, -1}});
    ASSERT_TRUE(goal.has_value());
    std::vector<GridPoint> first = PathTo(grid, *goal);
    ASSERT_EQ(first.size(), 14u);  // 13 steps: the shortest way round the wall
    int turns = 0;
    for (std::size_t i = 1; i < first.size(); ++i) {
        EXPECT_FALSE(first[i].x == 4 && first[i].y >= 2 && first[i].y <= 6) << "crosses the wall at " << first[i].y;
        if (i >= 2 && StepDirection(first[i - 2], first[i - 1]) != StepDirection(first[i - 1], first[i])) ++turns;
    }
    EXPECT_GE(turns, 2);
    EXPECT_EQ(grid.Cell(*goal).g, 10 * 13 + 30 * turns);

    // Only the touched cells are reset, and that is enough for the same answer.
    grid.ResetTouched();
    goal = FindPath(grid, false, {{1, 4}}, {{8, 4, 0, -1}});
    ASSERT_TRUE(goal.has_value());
    EXPECT_EQ(PathTo(grid, *goal), first);
}

TEST(RouteMapLayoutRouting, PortTakenByAnotherLineIsNeverOffered) {
    RouteMap map = SmallMap();
    RouteKey p = FixedStop(map, "P", {0, 5, 0, 1});
    RouteKey q = FixedStop(map, "Q", {0, 8, 0, 1});
    RouteKey r = FixedStop(map, "R", {0, 2, 0, 1});
    RouteKey x = FixedStop(map, "X", {6, 5, 0, 1});
    RouteKey l1 = AddRouteLine(map, "1").key;
    RouteKey l2 = AddRouteLine(map, "2").key;
    RouteKey l3 = AddRouteLine(map, "3").key;
    Connection& first = AddConnection(map, l1, p, x);
    first.end[1].side = 3;
    first.end[1].port = 0;
    Connection& fixedSide = AddConnection(map, l2, q, x);
    fixedSide.end[1].side = 3;
    AddConnection(map, l3, r, x);  // free to choose
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    EXPECT_FALSE(laid.connections[0].path.empty());
    // Line 2 insists on the left side, whose only port line 1 holds.
    EXPECT_TRUE(laid.connections[1].path.empty());
    // Line 3 goes round and enters by the right side.
    ASSERT_FALSE(laid.connections[2].path.empty());
    EXPECT_EQ(laid.connections[2].ends[1].side, 1);
    EXPECT_EQ(laid.connections[2].path.back(), (GridPoint{6, 5}));
}

TEST(RouteMapLayoutRouting, PathPassesNodesAndStopsAtANodeOutsideTheGrid) {
    RouteMap map = SmallMap();
    RouteKey a = FixedStop(map, "A", {1, 1, 0, 1});
    RouteKey b = FixedStop(map, "B", {8, 1, 0, 1});
    RouteKey line = AddRouteLine(map, "1").key;
    Connection& via = AddConnection(map, line, a, b);
    via.nodes = {{4, 6}};
    Connection& broken = AddConnection(map, line, a, b);
    broken.nodes = {{4, 6}, {40, 6}};
    const RouteMapLayoutResult laid = LayoutRouteMap(map);

    const auto& path = laid.connections[0].path;
    EXPECT_EQ(std::count(path.begin(), path.end(), GridPoint{4, 6}), 1);
    EXPECT_EQ(path.back(), (GridPoint{8, 1}));
    const ConnectionRoute& cut = laid.connections[1];
    ASSERT_FALSE(cut.path.empty());
    EXPECT_EQ(cut.path.back(), (GridPoint{4, 6}));
    EXPECT_EQ(cut.ends[1].side, -1);  // the end at B was never reached
}

bool InsideBox(const StopBox& box, GridPoint p) {
    return box.x >= 0 && p.x >= box.x && p.y >= box.y && p.x < box.x + std::max(box.width, 1) &&
           p.y < box.y + std::max(box.height, 1);
}

// On random maps of fixed stops, every path is made of single steps, starts
// and ends in its stops' boxes, never enters another box and never cuts the
// corner of one.
TEST(RouteMapLayoutRouting, RandomMapsKeepPathsOutOfStopBoxes) {
    uint32_t state = 7;
    auto next = [&state](uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    const StopBox sizes[] = {{0, 0, 0, 1}, {0, 0, 1, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}, {0, 0, 1, 1}};
    for (int round = 0; round < 20; ++round) {
        RouteMap map;
        map.width = 30;
        map.height = 30;
        map.allowDiag = round % 2 == 0;
        std::vector<RouteKey> stops;
        for (int i = 0; i < 12; ++i) {
            StopBox box = sizes[next(5)];
            box.x = 1 + 2 * static_cast<int32_t>(next(14));  // even cells with a free cell between
            box.y = 1 + 3 * static_cast<int32_t>(next(9));
            stops.push_back(FixedStop(map, test::Numbered("S", i), box));
        }
        for (int l = 0; l < 4; ++l) {
            RouteKey line = AddRouteLine(map, test::Numbered("L", l)).key;
            std::vector<RouteKey> chain;
            for (uint32_t k = 0, n = 3 + next(3); k < n; ++k) chain.push_back(stops[next(12)]);
            AddChain(map, line, chain);
        }
        const RouteMapLayoutResult laid = LayoutRouteMap(map);
        const auto routed = std::count_if(laid.connections.begin(), laid.connections.end(),
                                          [](const ConnectionRoute& c) { return !c.path.empty(); });
        EXPECT_GT(2 * routed, static_cast<long>(map.connections.size())) << "round " << round;
        for (const ConnectionRoute& c : laid.connections) {
            if (c.path.empty()) continue;
            EXPECT_TRUE(InsideBox(PlaceOf(map, laid, c.ends[0].stop).box, c.path.front()));
            EXPECT_TRUE(InsideBox(PlaceOf(map, laid, c.ends[1].stop).box, c.path.back()));
            for (std::size_t i = 1; i < c.path.size(); ++i) {
                const GridPoint p = c.path[i - 1];
                const GridPoint q = c.path[i];
                ASSERT_LE(std::max(std::abs(q.x - p.x), std::abs(q.y - p.y)), 1) << "round " << round;
                for (const StopPlace& stop : laid.stops) {
                    if (i + 1 < c.path.size()) {
                        EXPECT_FALSE(InsideBox(stop.box, q)) << "round " << round;
                    }
                    // A diagonal step passes two corner cells.
                    if (p.x != q.x && p.y != q.y) {
                        EXPECT_FALSE(InsideBox(stop.box, GridPoint{p.x, q.y})) << "round " << round;
                        EXPECT_FALSE(InsideBox(stop.box, GridPoint{q.x, p.y})) << "round " << round;
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Signs

TEST(RouteMapLayoutSigns, DottedLineGetsMarksOnInnerPointsBeforeUserSigns) {
    RouteMap map = SmallMap();
    RouteKey a = FixedStop(map, "A", {0, 5, 0, 1});
    RouteKey b = FixedStop(map, "B", {4, 5, 0, 1});
    RouteLine& line = AddRouteLine(map, "1");
    line.stroke = 1;
    Connection& c = AddConnection(map, line.key, a, b);
    c.signs = {Sign{kSignArrowOut, 1}};
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    ASSERT_EQ(laid.connections[0].path.size(), 5u);
    std::vector<Sign> expected{{kSignDotted, -2}, {kSignDotted, 0}, {kSignDotted, 2}, {kSignArrowOut, 1}};
    EXPECT_EQ(laid.connections[0].signs, expected);
    EXPECT_EQ(map.connections[0].signs, (std::vector<Sign>{{kSignArrowOut, 1}}));
}

TEST(RouteMapLayoutSigns, LineNameOnStraightMiddleOnlyAndNotNextToAnother) {
    RouteMap map = SmallMap();
    RouteKey a = FixedStop(map, "A", {0, 5, 0, 1});
    RouteKey b = FixedStop(map, "B", {2, 5, 0, 1});
    RouteKey c = FixedStop(map, "C", {4, 5, 0, 1});
    RouteKey d = FixedStop(map, "D", {10, 2, 0, 1});
    RouteKey e = FixedStop(map, "E", {11, 3, 1, 0});  // entered from above: a bend at (11,2)
    RouteLine& line = AddRouteLine(map, "1");
    line.autoNames = true;
    AddChain(map, line.key, {a, b, c});
    RouteLine& other = AddRouteLine(map, "2");
    other.autoNames = true;
    Connection& bent = AddConnection(map, other.key, d, e);
    bent.signs = {Sign{kSignArrowOut, 0}};
    const RouteMapLayoutResult laid = LayoutRouteMap(map);

    const Sign name{kSignLineName, 0};
    EXPECT_EQ(laid.connections[0].signs, (std::vector<Sign>{name}));
    EXPECT_TRUE(laid.connections[1].signs.empty());  // its neighbour already has one
    ASSERT_EQ(laid.connections[2].path, (std::vector<GridPoint>{{10, 2}, {11, 2}, {11, 3}}));
    EXPECT_EQ(laid.connections[2].signs, (std::vector<Sign>{{kSignArrowOut, 0}}));
    EXPECT_TRUE(map.connections[0].signs.empty()) << "the layout's signs stay out of the saved map";
}

TEST(RouteMapLayoutSigns, UserLineNamesMoveBehindOtherSigns) {
    RouteMap map = SmallMap();
    RouteKey a = FixedStop(map, "A", {0, 5, 0, 1});
    RouteKey b = FixedStop(map, "B", {6, 5, 0, 1});
    Connection& c = AddConnection(map, AddRouteLine(map, "1").key, a, b);
    c.signs = {{kSignLineName, 0}, {kSignArrowOut, -2}, {kSignLineName, 2}, {kSignArrowReturn, 2}};
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    std::vector<Sign> expected{{kSignArrowOut, -2}, {kSignArrowReturn, 2}, {kSignLineName, 0}, {kSignLineName, 2}};
    EXPECT_EQ(laid.connections[0].signs, expected);
}

// ---------------------------------------------------------------------------
// Labels

StopPlace StopWithLabels(StopBox box, const std::vector<StopLabel>& labels) { return StopPlace{box, labels}; }

TEST(RouteMapLayoutLabels, NameBesideWideBoxAndAboveTallOne) {
    StopPlace wide = StopWithLabels({3, 3, 2, 0}, {StopLabel{}});
    PlaceStopLabel(wide, 0);
    EXPECT_EQ(wide.labels[0].x, 21);
    EXPECT_EQ(wide.labels[0].y, 0);
    EXPECT_EQ(wide.labels[0].angle, 0);

    StopPlace tall = StopWithLabels({3, 3, 0, 3}, {StopLabel{}});
    PlaceStopLabel(tall, 0);
    EXPECT_EQ(tall.labels[0].x, 0);
    EXPECT_EQ(tall.labels[0].y, -29);
    EXPECT_EQ(tall.labels[0].angle, 90);
}

TEST(RouteMapLayoutLabels, BadgesFillABlockRowByRow) {
    StopLabel badge;
    badge.type = kLabelLineFilled;
    StopPlace stop = StopWithLabels({3, 3, 0, 1}, {StopLabel{}, badge, badge, badge, badge});
    for (std::size_t i = 0; i < stop.labels.size(); ++i) PlaceStopLabel(stop, i);
    // Four badges: two columns below the box, centred.
    const int32_t top = 8 * 1 + 14;
    EXPECT_EQ(stop.labels[1].x, -14);
    EXPECT_EQ(stop.labels[1].y, top);
    EXPECT_EQ(stop.labels[2].x, 14);
    EXPECT_EQ(stop.labels[2].y, top);
    EXPECT_EQ(stop.labels[3].x, -14);
    EXPECT_EQ(stop.labels[3].y, top + 15);
    EXPECT_EQ(stop.labels[4].x, 14);
    EXPECT_EQ(stop.labels[4].y, top + 15);

    // Left of a wide box, the block is centred on its rows.
    StopPlace wide = StopWithLabels({3, 3, 2, 0}, {badge, badge});
    PlaceStopLabel(wide, 0);
    EXPECT_EQ(wide.labels[0].x, -(16 + 28 - 8));
    EXPECT_EQ(wide.labels[0].y, -7);
}

TEST(RouteMapLayoutLabels, FirstBadgeFollowsAFixedBadgeAfterIt) {
    StopLabel automaticBadge;
    automaticBadge.type = kLabelLineOutlined;
    StopLabel fixedBadge = automaticBadge;
    fixedBadge.automatic = false;
    fixedBadge.x = 100;
    fixedBadge.y = 50;
    StopPlace stop = StopWithLabels({3, 3, 0, 1}, {automaticBadge, fixedBadge});
    PlaceStopLabel(stop, 0);
    EXPECT_EQ(stop.labels[0].x, 100);  // one column: straight above it
    EXPECT_EQ(stop.labels[0].y, 35);
}

TEST(RouteMapLayoutLabels, OldLabelOffsetsMoveToTheCentreOnceAndArrowsSitAtIt) {
    RouteMap map = SmallMap();
    RouteKey key = FixedStop(map, "A", {2, 2, 2, 0});
    RouteKey placed = AutoStop(map, "B");  // placed by the layout as a bar across the line
    AddChain(map, AddRouteLine(map, "1").key, {key, placed, FixedStop(map, "C", {2, 8, 2, 0})});
    RouteKey lonely = AutoStop(map, "D");  // never placed
    StopLabel old;
    old.automatic = false;
    old.x = 30;
    old.y = 4;
    StopLabel arrow;
    arrow.type = kLabelArrow;
    arrow.x = 9;
    arrow.y = 9;
    for (RouteKey stop : {key, placed, lonely}) FindRouteStop(map, stop)->labels = {old, arrow};
    ShiftOldLabelOffsets(map);
    const RouteStop& moved = StopOf(map, key);
    EXPECT_EQ(moved.labels[0].x, 30 - 16) << "half the width of a two-cell box";
    EXPECT_EQ(moved.labels[0].y, 4 - 8) << "half a cell for a box of height 0";
    EXPECT_EQ(moved.labels[1].x, 9) << "automatic labels keep their stored offset";
    const RouteMapLayoutResult first = LayoutRouteMap(map);
    ASSERT_NE(PlaceOf(map, first, placed).box.x, -1);
    const StopBox bar = PlaceOf(map, first, placed).box;
    EXPECT_EQ(StopOf(map, placed).labels[0].x, 30 - 8 * std::max(bar.width, 1)) << "the box the layout gave it";
    EXPECT_EQ(StopOf(map, lonely).labels[0].x, 30 - 8) << "an unplaced stop counts as one cell";
    // Laying out again moves nothing further, and the arrow sits on its box.
    const RouteMapLayoutResult second = LayoutRouteMap(map);
    EXPECT_EQ(second, first);
    EXPECT_EQ(PlaceOf(map, second, key).labels[0].x, 30 - 16);
    EXPECT_EQ(PlaceOf(map, second, key).labels[1].x, 0);
    EXPECT_EQ(PlaceOf(map, second, key).labels[1].y, 0);
}

}  // namespace
}  // namespace tak
