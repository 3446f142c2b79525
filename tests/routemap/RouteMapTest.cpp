#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Language.h"
#include "routemap/RouteMap.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

TEST(RouteMapGeometry, StepDirectionsNameStraightStepsOnly) {
    GridPoint o{5, 5};
    EXPECT_EQ(StepDirection(o, o), 0) << "equal points give north";
    EXPECT_EQ(StepDirection(o, {5, 2}), 0);
    EXPECT_EQ(StepDirection(o, {9, 5}), 1);
    EXPECT_EQ(StepDirection(o, {5, 8}), 2);
    EXPECT_EQ(StepDirection(o, {1, 5}), 3);
    EXPECT_EQ(StepDirection(o, {7, 3}), 4);
    EXPECT_EQ(StepDirection(o, {8, 8}), 5);
    EXPECT_EQ(StepDirection(o, {3, 7}), 6);
    EXPECT_EQ(StepDirection(o, {4, 4}), 7);
    EXPECT_EQ(StepDirection(o, {6, 7}), kNoDirection);
    EXPECT_EQ(StepDirection({-2147483647 - 1, 0}, {2147483647, 1}), kNoDirection) << "no overflow far apart";
    EXPECT_EQ(StepDirection({0, 0}, {2147483647, -2147483647}), 4);
    // Every code's step leads back to it, and its opposite steps back.
    for (int code = 0; code < kDirectionCount; ++code) {
        const DirectionStep& step = DirectionTable()[static_cast<std::size_t>(code)];
        EXPECT_EQ(StepDirection(o, {o.x + step.dx, o.y + step.dy}), code);
        const DirectionStep& back = DirectionTable()[static_cast<std::size_t>(step.opposite)];
        EXPECT_EQ(back.dx, -step.dx);
        EXPECT_EQ(back.dy, -step.dy);
        EXPECT_EQ(back.textAngle, step.textAngle) << "text along a line reads the same both ways";
    }
}

TEST(RouteMapGeometry, PortsLieOnTheBoxSidesAndMapBack) {
    StopBox box{4, 5, 3, 2};
    EXPECT_EQ(PortPoint(box, 0, 1), (GridPoint{5, 5}));
    EXPECT_EQ(PortPoint(box, 1, 1), (GridPoint{6, 6}));
    EXPECT_EQ(PortPoint(box, 2, 2), (GridPoint{6, 6}));
    EXPECT_EQ(PortPoint(box, 3, 0), (GridPoint{4, 5}));
    for (int side = 0; side < 4; ++side) {
        for (int port = 0; port < 2; ++port) EXPECT_EQ(PortOffset(box, side, PortPoint(box, side, port)), port);
    }
    StopBox bar{2, 3, 0, 3};  // a thin vertical bar: right side is its only column
    EXPECT_EQ(PortPoint(bar, 1, 2), (GridPoint{2, 5}));
    EXPECT_EQ(PortPoint(bar, 2, 0), (GridPoint{2, 5}));
    StopBox flat{2, 3, 3, 0};
    EXPECT_EQ(PortPoint(flat, 2, 1), (GridPoint{3, 3})) << "a box of height 0 is one row";
}

TEST(RouteMapColours, AutomaticLinesTakeTheLeastUsedColourInTableOrder) {
    RouteMap map;
    for (int i = 0; i < 13; ++i) AddRouteLine(map, test::Numbered("L", i));
    const std::vector<LineLook> looks = ResolveColours(map);
    ASSERT_EQ(looks.size(), map.lines.size());
    for (int i = 0; i < 12; ++i) EXPECT_EQ(looks[static_cast<std::size_t>(i)].colourIndex, i);
    const LineLook& thirteenth = looks[12];
    EXPECT_EQ(thirteenth.colourIndex, 0) << "the thirteenth starts again at red";
    EXPECT_EQ(thirteenth.colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(thirteenth.textColour, kTextWhite);
    EXPECT_EQ(thirteenth.arrowColour, kTextWhite);
    EXPECT_EQ(looks[1].textColour, kTextBlack) << "yellow reads best with black";
    EXPECT_EQ(map.lines[12].colourIndex, kAutomaticColour) << "the stored choice stays automatic";
}

TEST(RouteMapColours, FixedAndCustomColoursKeepTheirSettings) {
    RouteMap map;
    RouteLine& red = AddRouteLine(map, "fixed red");
    red.colourIndex = 0;  // text colour left at -1
    RouteLine& custom = AddRouteLine(map, "custom");
    custom.colourIndex = kCustomColour;
    custom.customColour = 0x102030;
    custom.textColour = kTextGrey;
    AddRouteLine(map, "auto");
    AddRouteLine(map, "broken").colourIndex = 99;  // no such entry: treated as automatic
    const std::vector<LineLook> looks = ResolveColours(map);
    EXPECT_EQ(looks[0].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(looks[0].textColour, -1) << "only automatic lines get a resolved text colour";
    EXPECT_EQ(TextColour(looks[0].textColour), (Rgb{0, 0, 0})) << "drawing falls back to black";
    EXPECT_EQ(looks[1].colour, (Rgb{0x10, 0x20, 0x30}));
    EXPECT_EQ(looks[1].colourIndex, kCustomColour);
    EXPECT_EQ(looks[1].textColour, kTextGrey);
    EXPECT_EQ(looks[2].colourIndex, 1) << "red is taken by the fixed line";
    EXPECT_EQ(looks[3].colourIndex, 2);
    EXPECT_EQ(DarkenColour({255, 100, 5}), (Rgb{179, 70, 4}));
    EXPECT_EQ(UnpackRgb(PackRgb({1, 2, 3})), (Rgb{1, 2, 3}));
}

TEST(RouteMapRecords, StopsStaySortedByUtf16CodeUnits) {
    RouteMap map;
    for (const char* name : {"b", "a", "B", "a"}) AddRouteStop(map, name);
    std::vector<std::string> names;
    for (const auto& stop : map.stops) names.push_back(stop.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "a", "a", "b"}));
    // U+1F68C (a surrogate pair in UTF-16) sorts before U+FF21, unlike in UTF-8.
    EXPECT_TRUE(StopNameLess("\xF0\x9F\x9A\x8C", "\xEF\xBC\xA1"));
    EXPECT_FALSE(StopNameLess("\xEF\xBC\xA1", "\xF0\x9F\x9A\x8C"));
    const RouteStop& fresh = map.stops[0];
    EXPECT_TRUE(fresh.automatic);
    EXPECT_EQ(fresh.stored, (StopBox{-1, -1, 0, 1}));
    ASSERT_EQ(fresh.labels.size(), 1u);
    EXPECT_EQ(fresh.labels[0].type, kLabelName);
    EXPECT_TRUE(fresh.labels[0].automatic);
}

TEST(RouteMapRecords, ConnectionsAreGroupedByLineAndRegisteredAtBothEnds) {
    RouteMap map;
    RouteKey one = AddRouteLine(map, "1").key;
    RouteKey two = AddRouteLine(map, "2").key;
    RouteKey a = AddRouteStop(map, "A").key;
    RouteKey b = AddRouteStop(map, "B").key;
    RouteKey c = AddRouteStop(map, "C").key;
    RouteKey first = AddConnection(map, one, a, b).key;
    RouteKey other = AddConnection(map, two, b, c).key;
    RouteKey second = AddConnection(map, one, b, c).key;
    RouteKey loop = AddConnection(map, two, c, c).key;
    std::vector<RouteKey> order;
    for (const auto& connection : map.connections) order.push_back(connection.key);
    EXPECT_EQ(order, (std::vector<RouteKey>{first, second, other, loop}));
    EXPECT_EQ(FindRouteStop(map, b)->connections, (std::vector<RouteKey>{first, other, second}));
    EXPECT_EQ(FindRouteStop(map, c)->connections.size(), 4u) << "the loop is listed once per end";
    EXPECT_EQ(FindConnection(map, first)->end[0], (ConnectionEnd{a, -1, -1}));

    SetConnectionEnd(map, *FindConnection(map, first), 0, c);
    EXPECT_TRUE(FindRouteStop(map, a)->connections.empty());
    EXPECT_EQ(FindRouteStop(map, c)->connections.back(), first);
    SetConnectionEnd(map, *FindConnection(map, first), 1, kNoRouteKey);
    EXPECT_EQ(FindRouteStop(map, b)->connections, (std::vector<RouteKey>{other, second}));
    SetConnectionEnd(map, *FindConnection(map, first), 2, a);  // no third end
    EXPECT_TRUE(FindRouteStop(map, a)->connections.empty());
}

TEST(RouteMapRecords, LoadedMapsLoseVanishedReferences) {
    RouteMap map;
    RouteKey line = AddRouteLine(map, "1").key;
    RouteStop& fixed = AddRouteStop(map, "Fixed");
    fixed.automatic = false;
    fixed.stored = {3, 4, 2, 0};
    fixed.labels[0].line = 999;
    RouteKey fixedKey = fixed.key;
    Connection& link = AddConnection(map, line, fixedKey, 777);
    link.signs = {{kSignArrowOut, 1}};
    link.line = 555;
    PrepareLoadedRouteMap(map);
    const RouteStop& stop = *FindRouteStop(map, fixedKey);
    EXPECT_EQ(stop.labels[0].line, kNoRouteKey);
    EXPECT_EQ(stop.connections.size(), 1u) << "registrations are rebuilt, not doubled";
    const Connection& c = map.connections[0];
    EXPECT_EQ(c.line, kNoRouteKey);
    EXPECT_EQ(c.end[1].stop, kNoRouteKey);
}

TEST(RouteMapCaptions, EqualNamesAreNumberedInListOrder) {
    LanguageTable lang;
    ASSERT_TRUE(lang.LoadFromBytes("Free = free\nNoName = no name\n"));
    RouteMap map;
    RouteKey markt1 = AddRouteStop(map, "Markt").key;
    RouteKey markt2 = AddRouteStop(map, "Markt").key;
    RouteKey markt3 = AddRouteStop(map, "Markt").key;
    RouteKey unnamed = AddRouteStop(map, "").key;
    RouteKey nord = AddRouteStop(map, "Nord").key;
    EXPECT_EQ(StopCaption(map, lang, markt1), "Markt");
    EXPECT_EQ(StopCaption(map, lang, markt2), "Markt (2)");
    EXPECT_EQ(StopCaption(map, lang, markt3), "Markt (3)");
    EXPECT_EQ(StopCaption(map, lang, nord), "Nord");
    EXPECT_EQ(StopCaption(map, lang, unnamed), "<no name>");
    EXPECT_EQ(StopCaption(map, lang, kNoRouteKey), "<free>");
    Connection& c = AddConnection(map, AddRouteLine(map, "1").key, markt2, kNoRouteKey);
    EXPECT_EQ(ConnectionCaption(map, lang, c), "Markt (2) - <free>");
}

}  // namespace
}  // namespace tak
