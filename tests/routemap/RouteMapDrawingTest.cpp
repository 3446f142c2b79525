// Drawing: checked at chosen pixels of small maps, not against whole images,
// so that font differences between systems do not matter.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"

namespace tak {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};

// A map with one red line and a connection whose path is given directly,
// as the layout would leave it.
struct Drawn {
    RouteMap map;
    RouteMapLayoutResult layout;  // set by hand: nothing here runs the layout
    Connection* connection = nullptr;

    Drawn(std::vector<GridPoint> path, int32_t thickness) {
        map.width = 12;
        map.height = 12;
        RouteLine& added = AddRouteLine(map, "7");
        added.colourIndex = 0;
        added.thickness = thickness;
        RouteKey a = AddRouteStop(map, "A").key;
        RouteKey b = AddRouteStop(map, "B").key;
        AddConnection(map, added.key, a, b);
        connection = &map.connections[0];
        layout = UnplacedLayout(map);
        Route().path = std::move(path);
    }

    LineLook& Look() { return layout.lines[0]; }
    ConnectionRoute& Route() { return layout.connections[0]; }
    StopPlace& Place(RouteKey stop) { return const_cast<StopPlace&>(*layout.StopOf(map, stop)); }

    RouteMapImage Draw() const {
        RouteMapImage image = *CreateRouteMapImage(map);
        RouteMapCanvas canvas(image);
        DrawRouteMap(map, layout, canvas);
        return image;
    }
};

// A map of one stop whose box is set by hand, drawn.
RouteMapImage DrawOneStop(RouteMap& map, const std::string& name, StopBox box, std::optional<int32_t> nameX = {}) {
    RouteStop& stop = AddRouteStop(map, name);
    if (nameX) stop.labels[0].x = *nameX;
    RouteMapLayoutResult layout = UnplacedLayout(map);
    layout.stops[0].box = box;
    RouteMapImage image = *CreateRouteMapImage(map);
    RouteMapCanvas canvas(image);
    DrawRouteMap(map, layout, canvas);
    return image;
}

// Pixels of one column from y0 to y1 that have the colour.
int CountInColumn(const RouteMapImage& image, int32_t x, int32_t y0, int32_t y1, Rgb colour) {
    int count = 0;
    for (int32_t y = y0; y <= y1; ++y) count += image.PixelAt(x, y) == colour ? 1 : 0;
    return count;
}

TEST(RouteMapDrawing, LineIsTwiceThicknessLessOnePixelsWideWithRoundedBends) {
    // Right along row 1, then down column 4: a bend at (4,1), centre (72,24).
    for (int32_t thickness : {1, 4}) {
        Drawn drawn({{1, 1}, {2, 1}, {3, 1}, {4, 1}, {4, 2}, {4, 3}}, thickness);
        RouteMapImage image = drawn.Draw();
        SCOPED_TRACE(thickness);
        const int32_t half = thickness - 1;
        // Across the horizontal run at x = 40.
        EXPECT_EQ(CountInColumn(image, 40, 0, 60, kRed), 2 * thickness - 1);
        EXPECT_EQ(image.PixelAt(40, 24 - half), kRed);
        EXPECT_EQ(image.PixelAt(40, 24 - half - 1), kWhite);
        // The run stops at the centre of the first point.
        EXPECT_EQ(image.PixelAt(24, 24), kRed);
        EXPECT_EQ(image.PixelAt(23, 24), kWhite);
        // Outside both runs, only the corner disc of radius T - 1 paints.
        EXPECT_EQ(image.PixelAt(72 + 2, 24 - 2), thickness == 4 ? kRed : kWhite);
        EXPECT_EQ(image.PixelAt(72 + 3, 24 - 3), kWhite);
    }
}

TEST(RouteMapDrawing, DiagonalRunHasNoHoles) {
    Drawn drawn({{1, 1}, {2, 2}, {3, 3}}, 3);
    RouteMapImage image = drawn.Draw();
    // Along the middle of the run, every pixel of a short cross-section is red.
    for (int32_t t = 26; t <= 54; ++t) {
        EXPECT_EQ(image.PixelAt(t, t), kRed);
        EXPECT_EQ(image.PixelAt(t + 1, t), kRed);
        EXPECT_EQ(image.PixelAt(t, t + 1), kRed);
    }
}

TEST(RouteMapDrawing, StopBoxCornersAreRoundedWithinTheBox) {
    // A 0 x 1 box is a vertical bar 9 pixels wide around the cell centre.
    auto draw = [](int32_t roundBox) {
        RouteMap map;
        map.width = 6;
        map.height = 6;
        map.roundBox = roundBox;
        return DrawOneStop(map, "", {2, 2, 0, 1});
    };
    RouteMapImage square = draw(0);
    RouteMapImage round = draw(5);
    RouteMapImage tooRound = draw(20);
    // Box from x = 36 to 44 and y = 31 to 49.
    EXPECT_EQ(square.PixelAt(36, 31), kBlack);
    EXPECT_EQ(square.PixelAt(35, 31), kWhite);
    EXPECT_EQ(square.PixelAt(40, 40), kWhite);  // filled white inside
    EXPECT_EQ(square.PixelAt(44, 49), kBlack);
    EXPECT_EQ(round.PixelAt(36, 31), kWhite);
    EXPECT_EQ(round.PixelAt(40, 31), kBlack);
    EXPECT_EQ(round.PixelAt(36, 40), kBlack);
    // A radius beyond half the bar is limited to it.
    EXPECT_EQ(tooRound.pixels, round.pixels);
}

TEST(RouteMapDrawing, SignsStayOffTheFirstAndLastStep) {
    // An outbound arrow in black on the middle point of a red line.
    auto arrowPixel = [](std::vector<GridPoint> path, int32_t pos) {
        Drawn drawn(std::move(path), 1);
        drawn.Look().arrowColour = kTextBlack;
        drawn.Route().signs = {Sign{kSignArrowOut, pos}};
        return drawn.Draw();
    };
    // Three points: pos 0 is the middle point (40,24); the arrow runs east from it.
    RouteMapImage middle = arrowPixel({{1, 1}, {2, 1}, {3, 1}}, 0);
    EXPECT_EQ(middle.PixelAt(42, 24), kBlack);
    // Pos 1 would sit in the last step.
    RouteMapImage last = arrowPixel({{1, 1}, {2, 1}, {3, 1}}, 1);
    EXPECT_EQ(last.PixelAt(50, 24), kRed);
    // On a two-point path every sign is ignored.
    RouteMapImage twoPoints = arrowPixel({{1, 1}, {2, 1}}, 0);
    for (int32_t x = 24; x <= 40; ++x) EXPECT_EQ(twoPoints.PixelAt(x, 24), kRed);
    // On a bend no arrow is drawn.
    RouteMapImage bend = arrowPixel({{1, 1}, {2, 1}, {2, 2}}, 0);
    EXPECT_EQ(bend.PixelAt(40, 26), kRed);
}

TEST(RouteMapDrawing, DottedMarksCutGapsAroundInnerPoints) {
    Drawn drawn({{1, 1}, {2, 1}, {3, 1}, {4, 1}}, 2);
    drawn.Route().signs = {{kSignDotted, -1}, {kSignDotted, 1}};
    RouteMapImage image = drawn.Draw();
    // Marks at points (2,1) and (3,1), centres x = 40 and 56: gaps 3 pixels
    // wide at 4 and 12 pixels either side, across the line's 3 pixels.
    for (int32_t y = 23; y <= 25; ++y) {
        for (int32_t x : {28, 36, 44, 52, 60, 68}) {
            EXPECT_EQ(image.PixelAt(x - 1, y), kWhite);
            EXPECT_EQ(image.PixelAt(x + 1, y), kWhite);
        }
        for (int32_t x : {32, 40, 48, 56, 64}) EXPECT_EQ(image.PixelAt(x, y), kRed);
    }
}

TEST(RouteMapDrawing, ExitStopShowsArrowAndLabelButNoBox) {
    Drawn drawn({{1, 1}, {2, 1}, {3, 1}, {4, 1}}, 1);
    RouteStop& exit = *FindRouteStop(drawn.map, drawn.connection->end[1].stop);
    exit.exit = true;
    exit.name = "Out";
    StopPlace& place = drawn.Place(exit.key);
    place.box = {4, 1, 0, 1};
    place.labels = {StopLabel{}};
    place.labels[0].y = 20;  // below the line
    RouteMapImage image = drawn.Draw();
    // The arrow continues east past the end point (72,24): rows of 4 - |k|
    // pixels for k = -4 ... 4 across the line.
    EXPECT_EQ(image.PixelAt(75, 24), kRed);
    EXPECT_EQ(image.PixelAt(76, 24), kWhite);
    EXPECT_EQ(image.PixelAt(72, 21), kRed);
    EXPECT_EQ(image.PixelAt(73, 21), kWhite);
    EXPECT_EQ(image.PixelAt(72, 20), kWhite);
    // No box outline where the bar's edge would be.
    EXPECT_NE(image.PixelAt(68, 31), kBlack);
    // The name is drawn: black pixels to the right of the label's point.
    int black = 0;
    for (int32_t y = 36; y <= 52; ++y) {
        for (int32_t x = 72; x <= 100; ++x) black += image.PixelAt(x, y) == kBlack ? 1 : 0;
    }
    EXPECT_GT(black, 10);
}

TEST(RouteMapDrawing, GridAndSelectionOnlyOnTheEditorCanvas) {
    Drawn drawn({{1, 1}, {2, 1}, {3, 1}}, 1);
    const RouteKey stop = drawn.connection->end[1].stop;
    drawn.Place(stop).box = {6, 6, 0, 1};
    drawn.Place(stop).labels.clear();
    RouteMapImage output = drawn.Draw();
    RouteMapImage editor = *CreateRouteMapImage(drawn.map);
    RouteMapCanvas canvas(editor);
    RouteMapEditorView view;
    view.selectedStop = stop;
    view.selectedConnection = drawn.connection->key;
    DrawRouteMap(drawn.map, drawn.layout, canvas, &view);
    const Rgb grid{225, 225, 225};
    EXPECT_EQ(editor.PixelAt(16, 5), grid);
    EXPECT_EQ(editor.PixelAt(5, 192), grid);
    EXPECT_EQ(editor.PixelAt(5, 5), kWhite);
    EXPECT_EQ(output.PixelAt(16, 5), kWhite);
    // The selected stop is filled light red, the selected connection's cells darkened.
    EXPECT_EQ(editor.PixelAt(104, 104), (Rgb{255, 128, 128}));
    EXPECT_EQ(output.PixelAt(104, 104), kWhite);
    EXPECT_EQ(editor.PixelAt(17, 17), DarkenColour(kRed));
}

TEST(RouteMapDrawing, StopNameBreaksAtSingleBarsOnly) {
    EXPECT_EQ(SplitStopName("Nord|Bahnhof"), (std::vector<std::string>{"Nord", "Bahnhof"}));
    EXPECT_EQ(SplitStopName("A||B"), (std::vector<std::string>{"A|B"}));
    EXPECT_EQ(SplitStopName("A|||B|"), (std::vector<std::string>{"A|", "B", ""}));

    // Two lines take about twice the height of one.
    auto inkRows = [](const std::string& name) {
        RouteMap map;
        map.width = 10;
        map.height = 6;
        RouteMapImage image = DrawOneStop(map, name, {1, 2, 1, 0}, 21);
        int rows = 0;
        for (int32_t y = 0; y < image.height; ++y) {
            bool ink = false;
            for (int32_t x = 50; x < image.width; ++x) ink = ink || image.PixelAt(x, y) == kBlack;
            rows += ink ? 1 : 0;
        }
        return rows;
    };
    const int one = inkRows("Ab||Cd");
    const int two = inkRows("Ab|Cd");
    EXPECT_GT(one, 4);
    EXPECT_GT(two, one + 4);
}

TEST(RouteMapDrawing, SignPositionsCountHalfStepsFromTheMiddle) {
    std::vector<GridPoint> path{{0, 0}, {1, 0}, {2, 1}};
    EXPECT_EQ(SignPixel(path, 0), (GridPoint{24, 8}));
    EXPECT_EQ(SignPixel(path, 1), (GridPoint{32, 16}));
    EXPECT_EQ(SignPixel(path, -2), (GridPoint{8, 8}));
    EXPECT_FALSE(SignPixel(path, 3).has_value());
    EXPECT_FALSE(SignPixel({}, 0).has_value());
}

}  // namespace
}  // namespace tak
