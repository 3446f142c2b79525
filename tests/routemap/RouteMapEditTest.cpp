// The route map window's edits as plain operations: lines from stop lists,
// deleting stops, lines and connections, moving the map, and what lies under
// a point of the canvas.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapEdit.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLineOrder.h"

namespace tak {
namespace {

RouteKey StopKey(const RouteMap& map, const std::string& name) {
    for (const RouteStop& stop : map.stops) {
        if (stop.name == name) return stop.key;
    }
    return kNoRouteKey;
}

// Each connection as "A-B", in list order.
std::vector<std::string> Pairs(const RouteMap& map) {
    std::vector<std::string> pairs;
    for (const Connection& c : map.connections) {
        auto name = [&](RouteKey key) {
            const RouteStop* stop = FindRouteStop(map, key);
            return stop ? stop->name : std::string("-");
        };
        pairs.push_back(name(c.end[0].stop) + "-" + name(c.end[1].stop));
    }
    return pairs;
}

// Every connection is registered once per end at its stops and nowhere else.
void ExpectRegistrationsMatch(const RouteMap& map) {
    for (const RouteStop& stop : map.stops) {
        std::vector<RouteKey> expected;
        for (const Connection& c : map.connections) {
            for (const ConnectionEnd& end : c.end) {
                if (end.stop == stop.key) expected.push_back(c.key);
            }
        }
        std::vector<RouteKey> registered = stop.connections;
        std::sort(expected.begin(), expected.end());
        std::sort(registered.begin(), registered.end());
        EXPECT_EQ(registered, expected) << stop.name;
    }
}

TEST(RouteMapEditNewLine, AddsLineStopsAndConnectionsOnceInEitherDirection) {
    RouteMap map;
    NewLineResult first = AddLineFromStops(map, "7", {"A", "B", "C"});
    EXPECT_TRUE(first.lineCreated);
    EXPECT_EQ(first.newStops, 3);
    EXPECT_EQ(first.newConnections, 2);
    EXPECT_EQ(Pairs(map), (std::vector<std::string>{"A-B", "B-C"}));

    NewLineResult again = AddLineFromStops(map, "7", {"A", "B", "C"});
    EXPECT_FALSE(again.Created());
    NewLineResult reversed = AddLineFromStops(map, "7", {"C", "B", "A"});
    EXPECT_FALSE(reversed.Created());
    EXPECT_EQ(map.connections.size(), 2u);

    // A longer trip adds only what is missing, and says so.
    NewLineResult longer = AddLineFromStops(map, "7", {"C", "B", "A", "D"});
    EXPECT_FALSE(longer.lineCreated);
    EXPECT_EQ(longer.newStops, 1);
    EXPECT_EQ(longer.newConnections, 1);
    EXPECT_EQ(longer.line, first.line);
    // Another line over the same stops has connections of its own.
    NewLineResult other = AddLineFromStops(map, "8", {"A", "B"});
    EXPECT_EQ(other.newStops, 0);
    EXPECT_EQ(other.newConnections, 1);
    EXPECT_EQ(map.stops.size(), 4u);
    ExpectRegistrationsMatch(map);
    EXPECT_FALSE(AddLineFromStops(map, "", {"X", "Y"}).Created());
    EXPECT_EQ(map.stops.size(), 4u);
}

struct ThreeLines {
    RouteMap map;
    RouteKey one, two, three;
    ThreeLines() {
        one = AddLineFromStops(map, "1", {"A", "M", "B"}).line;
        two = AddLineFromStops(map, "2", {"C", "M", "D"}).line;
        three = AddLineFromStops(map, "3", {"M", "E"}).line;
    }
};

TEST(RouteMapEditDeleteStop, EachLineGetsItsOwnChoice) {
    ThreeLines t;
    const RouteKey m = StopKey(t.map, "M");
    std::vector<LineAtStop> lines = LinesAtStop(t.map, m);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].neighbours, (std::vector<RouteKey>{StopKey(t.map, "A"), StopKey(t.map, "B")}));

    DeleteRouteStop(t.map, m,
                    {{t.one, StopDeleteChoice::kDeleteConnections},
                     {t.two, StopDeleteChoice::kJoinAcross},
                     {t.three, StopDeleteChoice::kLeaveFree}});
    EXPECT_EQ(StopKey(t.map, "M"), kNoRouteKey);
    // Line 1 lost both its connections, line 2 runs C-D, line 3 keeps its
    // connection with a free end.
    EXPECT_EQ(Pairs(t.map), (std::vector<std::string>{"C-D", "--E"}));
    EXPECT_EQ(t.map.connections[0].line, t.two);
    EXPECT_EQ(t.map.connections[1].end[0], ConnectionEnd{});
    ExpectRegistrationsMatch(t.map);
}

TEST(RouteMapEditDeleteStop, JoiningAtTheEndOfALineDeletesItsLastConnection) {
    ThreeLines t;
    DeleteRouteStop(t.map, StopKey(t.map, "E"), {{t.three, StopDeleteChoice::kJoinAcross}});
    EXPECT_EQ(ConnectionCount(t.map, t.three), 0);
    // A join that would close a loop onto one stop deletes both.
    RouteMap loop;
    RouteKey line = AddLineFromStops(loop, "9", {"P", "Q", "P"}).line;
    EXPECT_EQ(ConnectionCount(loop, line), 1);  // P-Q once, either direction
    AddConnection(loop, line, StopKey(loop, "Q"), StopKey(loop, "P"));
    DeleteRouteStop(loop, StopKey(loop, "Q"), {{line, StopDeleteChoice::kJoinAcross}});
    EXPECT_EQ(ConnectionCount(loop, line), 0);
    ExpectRegistrationsMatch(loop);
}

TEST(RouteMapEditDeleteLine, RemovesConnectionsAndBadgeReferences) {
    ThreeLines t;
    RouteStop* m = FindRouteStop(t.map, StopKey(t.map, "M"));
    StopLabel badge;
    badge.type = kLabelLineFilled;
    badge.line = t.two;
    m->labels.push_back(badge);
    badge.line = t.one;
    m->labels.push_back(badge);
    DeleteRouteLine(t.map, t.two);
    EXPECT_EQ(FindRouteLine(t.map, t.two), nullptr);
    EXPECT_EQ(ConnectionCount(t.map, t.two), 0);
    EXPECT_EQ(t.map.connections.size(), 3u);
    m = FindRouteStop(t.map, StopKey(t.map, "M"));
    EXPECT_EQ(m->labels[1].line, kNoRouteKey);
    EXPECT_EQ(m->labels[2].line, t.one);
    ExpectRegistrationsMatch(t.map);
}

TEST(RouteMapEditMove, ShiftsPlacedStopsAndNodesButNotLabels) {
    RouteMap map;
    map.width = 10;
    map.height = 10;
    RouteKey line = AddLineFromStops(map, "1", {"A", "B", "C"}).line;
    (void)line;
    RouteStop* a = FindRouteStop(map, StopKey(map, "A"));
    a->automatic = false;
    a->stored = {2, 3, 0, 1};
    a->labels[0] = StopLabel{kLabelName, 12, -4, 0, kNoRouteKey, 0, false};
    map.connections[0].nodes = {{5, 5}};
    ASSERT_TRUE(MoveRouteMap(map, 1, 0));
    a = FindRouteStop(map, StopKey(map, "A"));
    EXPECT_EQ(a->stored, (StopBox{3, 3, 0, 1}));
    EXPECT_EQ(a->labels[0].x, 12);
    EXPECT_EQ(map.connections[0].nodes[0], (GridPoint{6, 5}));
    // B has no stored position and stays unplaced.
    EXPECT_EQ(FindRouteStop(map, StopKey(map, "B"))->stored.x, -1);

    // Nothing moves when a stop would leave the grid.
    a->stored.y = 0;
    EXPECT_FALSE(MoveRouteMap(map, 0, -1));
    EXPECT_EQ(a->stored.y, 0);
    EXPECT_EQ(map.connections[0].nodes[0], (GridPoint{6, 5}));

    // An area moves only its own stops and the nodes of its connections.
    RouteStop* c = FindRouteStop(map, StopKey(map, "C"));
    c->automatic = false;
    c->stored = {8, 8, 0, 1};
    AreaSelection area;
    area.stops.insert(c->key);
    ASSERT_TRUE(MoveRouteMap(map, -1, -1, &area));
    EXPECT_EQ(FindRouteStop(map, StopKey(map, "C"))->stored, (StopBox{7, 7, 0, 1}));
    EXPECT_EQ(FindRouteStop(map, StopKey(map, "A"))->stored, (StopBox{3, 0, 0, 1}));
    EXPECT_EQ(map.connections[0].nodes[0], (GridPoint{6, 5}));

    // The layout places automatic stops afresh: a position left from when
    // one was fixed neither moves nor holds the others back.
    RouteStop* b = FindRouteStop(map, StopKey(map, "B"));
    b->stored = {9, 9, 0, 1};
    ASSERT_TRUE(MoveRouteMap(map, 0, 1));
    EXPECT_EQ(FindRouteStop(map, StopKey(map, "B"))->stored, (StopBox{9, 9, 0, 1}));
    EXPECT_EQ(FindRouteStop(map, StopKey(map, "A"))->stored, (StopBox{3, 1, 0, 1}));
}

TEST(RouteMapEditCanvas, FindsStopsConnectionsAndAreasUnderThePointer) {
    RouteMap map;
    map.width = 20;
    map.height = 10;
    map.allowDiag = false;
    AddLineFromStops(map, "1", {"West", "East"});
    RouteStop* west = FindRouteStop(map, StopKey(map, "West"));
    west->automatic = false;
    west->stored = {2, 4, 0, 1};
    RouteStop* east = FindRouteStop(map, StopKey(map, "East"));
    east->automatic = false;
    east->stored = {12, 4, 0, 1};
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    ASSERT_FALSE(laid.connections[0].path.empty());

    EXPECT_EQ(StopAtPixel(map, laid, 16 * 2 + 8, 16 * 4 + 8), StopKey(map, "West"));
    EXPECT_EQ(StopAtPixel(map, laid, 16 * 7 + 8, 16 * 4 + 8), kNoRouteKey);
    EXPECT_EQ(ConnectionAtPixel(map, laid, 16 * 7 + 8, 16 * 4 + 10), map.connections[0].key);
    EXPECT_EQ(ConnectionAtPixel(map, laid, 16 * 7 + 8, 16 * 8), kNoRouteKey);
    EXPECT_EQ(CellAtPixel(16 * 7 + 15, 0), (GridPoint{7, 0}));

    AreaSelection left = SelectArea(map, laid, 0, 0, 16 * 6, 16 * 10);
    EXPECT_EQ(left.stops, (std::set<RouteKey>{StopKey(map, "West")}));
    EXPECT_EQ(left.connections.size(), 1u);
    EXPECT_TRUE(SelectArea(map, laid, 16 * 15, 0, 16 * 20, 16 * 2).Empty());
}

// Two lines over the same cells are drawn side by side: a click on a line's
// lane picks that line's connection, not the one drawn last.
TEST(RouteMapEditCanvas, FindsTheConnectionWhoseLaneIsClicked) {
    RouteMap map;
    map.width = 20;
    map.height = 10;
    map.allowDiag = false;
    AddLineFromStops(map, "1", {"West", "East"});
    AddLineFromStops(map, "2", {"North", "South"});
    const std::pair<const char*, StopBox> boxes[] = {
        {"West", {2, 4, 0, 1}}, {"East", {14, 4, 0, 1}}, {"North", {5, 1, 1, 0}}, {"South", {11, 7, 1, 0}}};
    for (const auto& [name, box] : boxes) {
        RouteStop* stop = FindRouteStop(map, StopKey(map, name));
        stop->automatic = false;
        stop->stored = box;
    }
    // Line 2 comes down to the row of line 1, runs along it and goes down again.
    map.connections[1].nodes = {{5, 4}, {11, 4}};
    const RouteMapLayoutResult laid = LayoutRouteMap(map);
    const LineLanes lanes = ComputeLineLanes(map, laid);
    std::vector<GridPoint> clicks;
    for (std::size_t c = 0; c < 2; ++c) {
        const std::vector<GridPoint>& path = laid.connections[c].path;
        // Halfway between cells (8, 4) and (9, 4), in the connection's lane.
        std::size_t step = path.size();
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            const GridPoint a = path[i], b = path[i + 1];
            if (a.y == 4 && b.y == 4 && std::min(a.x, b.x) == 8 && std::max(a.x, b.x) == 9) step = i;
        }
        ASSERT_LT(step, path.size()) << "line " << c + 1 << " does not pass (8, 4)";
        const GridPoint shift = lanes.At(c, step).Pixels();
        clicks.push_back({16 * 8 + 16 + shift.x, 16 * 4 + 8 + shift.y});
        EXPECT_EQ(ConnectionAtPixel(map, laid, clicks.back().x, clicks.back().y), map.connections[c].key)
            << "line " << c + 1;
    }
    EXPECT_NE(clicks[0], clicks[1]) << "the lines share no lane pair";
}

TEST(RouteMapEditOrder, MovesLinesAndConnectionsWithinTheirLists) {
    ThreeLines t;
    EXPECT_FALSE(MoveRouteLine(t.map, t.one, -1));
    EXPECT_TRUE(MoveRouteLine(t.map, t.one, 1));
    EXPECT_EQ(t.map.lines[1].key, t.one);
    // The second connection of line 1 cannot move down into line 2's.
    const RouteKey second = t.map.connections[1].key;
    EXPECT_FALSE(MoveConnectionInLine(t.map, second, 1));
    EXPECT_TRUE(MoveConnectionInLine(t.map, second, -1));
    EXPECT_EQ(t.map.connections[0].key, second);

    RenameRouteStop(t.map, StopKey(t.map, "A"), "Z");
    EXPECT_EQ(t.map.stops.back().name, "Z");
}

// A connection given to another line joins the end of that line's group;
// a line that is gone takes nothing.
TEST(RouteMapEditOrder, AConnectionMovedToAnotherLineJoinsItsGroup) {
    ThreeLines t;
    // Connections: line 1 (A-M, M-B), line 2 (C-M, M-D), line 3 (M-E).
    const RouteKey first = t.map.connections[0].key;
    MoveConnectionToLine(t.map, first, t.two);
    std::vector<RouteKey> lines;
    for (const Connection& c : t.map.connections) lines.push_back(c.line);
    EXPECT_EQ(lines, (std::vector<RouteKey>{t.one, t.two, t.two, t.two, t.three}));
    EXPECT_EQ(t.map.connections[3].key, first);
    EXPECT_EQ(FindConnection(t.map, first)->line, t.two);
    MoveConnectionToLine(t.map, first, 999);
    EXPECT_EQ(FindConnection(t.map, first)->line, t.two);
    ExpectRegistrationsMatch(t.map);
}

TEST(RouteMapEditColours, TableAutomaticAndCustomColoursSetTheirTextColours) {
    RouteLine line;
    SetLineColour(line, 1);  // yellow reads best with black
    EXPECT_EQ(line.colourIndex, 1);
    EXPECT_EQ(UnpackRgb(line.customColour), RouteColourTable()[1].rgb);
    EXPECT_EQ(line.textColour, kTextBlack);
    EXPECT_EQ(line.arrowColour, kTextBlack);
    SetCustomLineColour(line, {10, 20, 30});
    EXPECT_EQ(line.colourIndex, kCustomColour);
    EXPECT_EQ(line.textColour, kTextBlack) << "a chosen text colour stays";
    SetLineColour(line, -1);
    EXPECT_EQ(line.colourIndex, kAutomaticColour);
    EXPECT_EQ(line.textColour, -1);
    SetCustomLineColour(line, {10, 20, 30});
    EXPECT_EQ(line.textColour, kTextWhite) << "automatic text turns white on a colour of the user's own";
    EXPECT_EQ(line.arrowColour, kTextWhite);
    SetLineColour(line, kLineColourCount);  // no such entry
    EXPECT_EQ(line.colourIndex, kAutomaticColour);
}

}  // namespace
}  // namespace tak
