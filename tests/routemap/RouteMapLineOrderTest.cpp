// Lines side by side on shared stretches: which lane each line gets, how
// often lines cross, and that the drawing shows the lanes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/FileSystem.h"
#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLineOrder.h"
#include "routemap/RouteMapPdf.h"
#include "routemap/RouteMapSamples.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

constexpr Rgb kRed{255, 0, 0};

// Lines whose connections follow the given paths, as the layout would
// leave them, in red, blue, brown and pink (none of them cased).
struct PathsMap {
    RouteMap map;
    RouteMapLayoutResult layout;  // the paths set by hand; no layout runs

    explicit PathsMap(const std::vector<std::vector<GridPoint>>& paths, int32_t size = 16) {
        map.width = size;
        map.height = size;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            RouteLine& line = AddRouteLine(map, std::to_string(i + 1));
            line.colourIndex = std::array{0, 3, 4, 5}[i % 4];
            const RouteKey lineKey = line.key;
            const std::string number = std::to_string(i);
            const RouteKey a = AddRouteStop(map, "A" + number).key;
            const RouteKey b = AddRouteStop(map, "B" + number).key;
            AddConnection(map, lineKey, a, b);
        }
        layout = UnplacedLayout(map);
        for (std::size_t i = 0; i < paths.size(); ++i) layout.connections[i].path = paths[i];
    }

    LineLanes Lanes(LaneOrdering ordering = LaneOrdering::kFewCrossings) const {
        return ComputeLineLanes(map, layout, ordering);
    }
    int32_t Crossings(const LineLanes& lanes) const { return CountLineCrossings(map, layout, lanes); }
    Rgb Colour(std::size_t line) const { return layout.lines[line].colour; }
    RouteMapImage Draw() const {
        RouteMapImage image = *CreateRouteMapImage(map);
        RouteMapCanvas canvas(image);
        DrawRouteMap(map, layout, canvas);
        return image;
    }
};

std::vector<GridPoint> Walk(GridPoint from, std::vector<std::pair<int, int>> moves) {
    std::vector<GridPoint> path{from};
    for (auto [dx, dy] : moves) {
        const int n = std::max(std::abs(dx), std::abs(dy));
        for (int i = 0; i < n; ++i) {
            path.push_back({path.back().x + (dx > 0) - (dx < 0), path.back().y + (dy > 0) - (dy < 0)});
        }
    }
    return path;
}

std::vector<GridPoint> Reversed(std::vector<GridPoint> path) { return {path.rbegin(), path.rend()}; }

// Two lines east along row 5; at column 8 the first turns south, the second
// north. The second belongs on the north side of the shared stretch.
TEST(RouteMapLineOrder, LinesThatPartLieOnTheSideTheyTurnTo) {
    const PathsMap paths({Walk({2, 5}, {{6, 0}, {0, 3}}), Walk({2, 5}, {{6, 0}, {0, -3}})});
    const LineLanes lanes = paths.Lanes();
    // Shared steps: lanes 8 pixels apart (two 7-pixel bands and a gap),
    // across the step; the steps after the parting are alone and central.
    for (std::size_t step = 0; step < 6; ++step) {
        EXPECT_EQ(lanes.At(0, step), (LaneShift{0, 4})) << step;
        EXPECT_EQ(lanes.At(1, step), (LaneShift{0, -4})) << step;
    }
    EXPECT_EQ(lanes.At(0, 6), LaneShift{});
    EXPECT_EQ(lanes.At(1, 8), LaneShift{});
    EXPECT_EQ(paths.Crossings(lanes), 0);
    // The list order puts the first line north and makes the two cross.
    const LineLanes listed = paths.Lanes(LaneOrdering::kListOrder);
    EXPECT_EQ(listed.At(0, 0), (LaneShift{0, -4}));
    EXPECT_EQ(paths.Crossings(listed), 1);
}

// Two lines running the same bent stretch between the same ends, one of
// them walking it backwards, keep their sides through the bend; a line
// that merely crosses them counts once per line it crosses.
TEST(RouteMapLineOrder, OneOrderAlongABentStretchWhicheverWayTheLinesWalk) {
    const std::vector<GridPoint> bend = Walk({2, 8}, {{5, 0}, {0, -5}});
    const PathsMap paths({bend, Reversed(bend), Walk({4, 4}, {{0, 8}})});
    for (LaneOrdering ordering : {LaneOrdering::kListOrder, LaneOrdering::kFewCrossings}) {
        const LineLanes lanes = paths.Lanes(ordering);
        for (std::size_t step = 0; step + 1 < bend.size(); ++step) {
            const LaneShift first = lanes.At(0, step);
            const LaneShift second = lanes.At(1, bend.size() - 2 - step);
            // Side by side, on opposite sides of the cells' centres.
            EXPECT_GT(std::hypot(first.x, first.y), 2.0) << step;
            EXPECT_DOUBLE_EQ(first.x, -second.x) << step;
            EXPECT_DOUBLE_EQ(first.y, -second.y) << step;
        }
        // The third line runs down column 4 through (4, 8), across both.
        EXPECT_EQ(paths.Crossings(lanes), 2) << static_cast<int>(ordering);
    }
}

// Every line on a shared step has a lane of its own, apart from the others
// by at least a band; a step of one line stays central. Returns the number
// of shared steps.
int ExpectLanesApart(const RouteMap& map, const RouteMapLayoutResult& layout, const LineLanes& lanes) {
    std::map<std::array<int32_t, 4>, std::map<RouteKey, LaneShift>> onPair;
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        const auto& path = layout.connections[c].path;
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            GridPoint a = path[i], b = path[i + 1];
            if (std::pair{b.x, b.y} < std::pair{a.x, a.y}) std::swap(a, b);
            auto& lines = onPair[{a.x, a.y, b.x, b.y}];
            const LaneShift kept = lines.emplace(map.connections[c].line, lanes.At(c, i)).first->second;
            EXPECT_EQ(kept, lanes.At(c, i)) << "one lane per line and step";
        }
    }
    int shared = 0;
    for (const auto& [pair, lines] : onPair) {
        if (lines.size() == 1) {
            EXPECT_EQ(lines.begin()->second, LaneShift{});
            continue;
        }
        ++shared;
        for (auto i = lines.begin(); i != lines.end(); ++i) {
            for (auto j = std::next(i); j != lines.end(); ++j) {
                EXPECT_GE(std::hypot(i->second.x - j->second.x, i->second.y - j->second.y), 7.0);
            }
        }
    }
    return shared;
}

// A trunk road along row 10 that random lines join and leave from the north
// or the south, as buses share a main street between their own branches.
// All of them share a part of it.
PathsMap TrunkMap(uint32_t seed, int lines) {
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<std::vector<GridPoint>> paths;
    for (int l = 0; l < lines; ++l) {
        // Every line runs at least from column 16 to 18.
        const int join = 2 + below(14);
        const int leave = 18 + below(14);
        const int from = below(2) == 0 ? -1 : 1;
        const int to = below(2) == 0 ? -1 : 1;
        paths.push_back(Walk({join, 10 + 4 * from}, {{0, -4 * from}, {leave - join, 0}, {0, 4 * to}}));
    }
    PathsMap trunk(paths, 50);
    trunk.map.height = 20;
    return trunk;
}

// On a shared trunk the chosen order never crosses more often than the list
// order, and on the whole far less often.
TEST(RouteMapLineOrder, TrunkLinesCrossLessThanInListOrder) {
    int listedTotal = 0;
    int chosenTotal = 0;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const PathsMap trunk = TrunkMap(seed, 3 + static_cast<int>(seed % 4));
        const LineLanes lanes = trunk.Lanes();
        EXPECT_GT(ExpectLanesApart(trunk.map, trunk.layout, lanes), 0);
        const int32_t listed = trunk.Crossings(trunk.Lanes(LaneOrdering::kListOrder));
        const int32_t chosen = trunk.Crossings(lanes);
        EXPECT_LE(chosen, listed) << "seed " << seed;
        listedTotal += listed;
        chosenTotal += chosen;
    }
    std::cout << "trunk maps: crossings in list order " << listedTotal << ", chosen order " << chosenTotal << "\n";
    EXPECT_LT(chosenTotal * 2, listedTotal);
}

// The generated networks and the real map: lanes apart, and no more
// crossings than in list order.
TEST(RouteMapLineOrder, GeneratedAndRealMapsCrossNoMoreThanInListOrder) {
    std::vector<RouteMap> maps;
    for (uint32_t seed : {1u, 2u, 3u}) maps.push_back(test::GeneratedRouteMap(seed));
    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    std::optional<RouteMap> real = test::NewDavisvilleRouteMap(realMaps / "NewDavisville");
    ASSERT_TRUE(real);
    maps.push_back(std::move(*real));
    for (std::size_t m = 0; m < maps.size(); ++m) {
        const RouteMap& map = maps[m];
        const RouteMapLayoutResult layout = LayoutRouteMap(map);
        const LineLanes lanes = ComputeLineLanes(map, layout);
        const int shared = ExpectLanesApart(map, layout, lanes);
        const int32_t listed = CountLineCrossings(map, layout, ComputeLineLanes(map, layout, LaneOrdering::kListOrder));
        const int32_t chosen = CountLineCrossings(map, layout, lanes);
        std::cout << "map " << m << ": " << shared << " shared steps, crossings in list order " << listed
                  << ", chosen order " << chosen << "\n";
        EXPECT_LE(chosen, listed) << "map " << m;
    }
}

// The drawing puts the two lines of a shared stretch beside each other:
// a column across the stretch shows both colours, none over the other.
TEST(RouteMapLineOrder, SharedStretchIsDrawnAsTwoBands) {
    const PathsMap paths({Walk({2, 5}, {{6, 0}, {0, 3}}), Walk({2, 5}, {{6, 0}, {0, -3}})});
    const Rgb first = paths.Colour(0);
    const Rgb second = paths.Colour(1);
    ASSERT_EQ(first, kRed);
    const RouteMapImage image = paths.Draw();
    // Column x = 88 (cell 5); row 5's centre is y = 88. The first line lies
    // 4 pixels south, the second 4 north, each 7 pixels wide.
    for (int32_t y = 81; y <= 87; ++y) EXPECT_EQ(image.PixelAt(88, y), second) << y;
    for (int32_t y = 89; y <= 95; ++y) EXPECT_EQ(image.PixelAt(88, y), first) << y;
    EXPECT_EQ(image.PixelAt(88, 80), (Rgb{255, 255, 255}));
    EXPECT_EQ(image.PixelAt(88, 96), (Rgb{255, 255, 255}));
}

// Forty of the thickest lines on one stretch are pressed into eight cells'
// width instead of spreading over half the map, and still keep their order.
TEST(RouteMapLineOrder, ManyThickLinesArePressedTogether) {
    std::vector<std::vector<GridPoint>> paths;
    for (int l = 0; l < 40; ++l) paths.push_back(Walk({2, 20}, {{10, 0}, {0, l % 2 == 0 ? 5 : -5}}));
    PathsMap thick(paths, 40);
    for (RouteLine& line : thick.map.lines) line.thickness = 32;
    const LineLanes lanes = thick.Lanes();
    std::set<double> across;
    for (std::size_t c = 0; c < thick.map.connections.size(); ++c) {
        const LaneShift shift = lanes.At(c, 0);
        EXPECT_EQ(shift.x, 0.0);
        EXPECT_LE(std::abs(shift.y), 64.0);
        across.insert(shift.y);
    }
    EXPECT_EQ(across.size(), 40u) << "a lane for every line";
    EXPECT_EQ(thick.Crossings(lanes), 0);
    const RouteMapImage image = thick.Draw();
    // The outermost lane lies at most 64 pixels out, its band 31 more.
    EXPECT_NE(image.PixelAt(16 * 7 + 8, 16 * 20 + 8 + 90), (Rgb{255, 255, 255}));
    EXPECT_EQ(image.PixelAt(16 * 7 + 8, 16 * 20 + 8 + 100), (Rgb{255, 255, 255})) << "nothing beyond the lanes";
}

// The vector page draws the lanes too: rendered at one pixel per point, some
// column across the shared stretch shows a red band and a blue band of the
// lines' width side by side.
TEST(RouteMapLineOrder, SharedStretchIsTwoBandsOnThePdfPage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftoppm");
    test::TempDir dir;
    const PathsMap paths({Walk({2, 5}, {{6, 0}, {0, 3}}), Walk({2, 5}, {{6, 0}, {0, -3}})});
    RouteMapPageTexts texts;
    texts.title = "Lanes";
    const fs::path pdf = dir.path() / "lanes.pdf";
    ASSERT_TRUE(WriteRouteMapVectorPdf(paths.map, paths.layout, texts, pdf));
    const fs::path stem = dir.path() / "render";
    ASSERT_EQ(test::RunCommand("pdftoppm -r 72 -singlefile -aa no -aaVector no '" + pdf.string() + "' '" +
                               stem.string() + "' 2>&1")
                  .status,
              0);
    const std::string ppm = ReadFileBytes(stem.string() + ".ppm").value_or("");
    std::istringstream header(ppm);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    header >> magic >> width >> height >> maxValue;
    ASSERT_EQ(magic, "P6");
    const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    ASSERT_EQ(ppm.size(), start + 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    auto at = [&](int x, int y) {
        const std::size_t i = start + 3 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x);
        return Rgb{static_cast<uint8_t>(ppm[i]), static_cast<uint8_t>(ppm[i + 1]), static_cast<uint8_t>(ppm[i + 2])};
    };
    const Rgb blue = paths.Colour(1);
    int sideBySide = 0;
    for (int x = 0; x < width; ++x) {
        int red = 0, other = 0, redBottom = -1, otherTop = height;
        for (int y = 0; y < height; ++y) {
            if (at(x, y) == kRed) {
                ++red;
                redBottom = y;
            } else if (at(x, y) == blue) {
                ++other;
                otherTop = std::min(otherTop, y);
            }
        }
        // The first line below the second, each 6 to 8 pixels tall.
        if (red >= 6 && red <= 8 && other >= 6 && other <= 8 && otherTop < redBottom) ++sideBySide;
    }
    // Along the five shared cells, 16 points each.
    EXPECT_GT(sideBySide, 60);
}

}  // namespace
}  // namespace tak
