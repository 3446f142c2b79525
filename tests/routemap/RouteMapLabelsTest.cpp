// Automatic labels that can be read: inside the image, clear of each other and
// of stop boxes, off the lines where there is room, and hand-placed labels left
// alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "mapdata/MapData.h"
#include "persist/ProjectFile.h"
#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapLabels.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"
#include "routemap/RouteMapOutput.h"
#include "routemap/RouteMapSamples.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

RouteStop& FixedStop(RouteMap& map, const std::string& name, StopBox box) {
    RouteStop& stop = AddRouteStop(map, name);
    stop.automatic = false;
    stop.stored = box;
    return stop;
}

bool IsBadge(const StopLabel& label) { return label.type == kLabelLineFilled || label.type == kLabelLineOutlined; }

// What the placement promises for the automatic names and badges: the number
// of them (a stop's badges counting once) that leave the image or overlap a
// stop box or another label, turned labels measured as turned.
int CountUnreadable(const test::LaidOut& laid) {
    const RouteMap& map = laid.map;
    const PixelRect image{0, 0, 16 * map.width + 1, 16 * map.height + 1};
    struct Item {
        RouteKey stop;
        std::size_t label;
        LabelShape rect;
    };
    std::vector<Item> items;
    for (const RouteStop& stop : map.stops) {
        for (std::size_t i = 0; i < laid.Labels(stop).size(); ++i) {
            const LabelShape r = laid.Shape(stop, laid.Labels(stop)[i]);
            if (!r.Empty()) items.push_back({stop.key, i, r});
        }
    }
    int unreadable = 0;
    for (const RouteStop& stop : map.stops) {
        bool badgeCounted = false;
        for (const Item& item : items) {
            if (item.stop != stop.key) continue;
            const StopLabel& label = laid.Labels(stop)[item.label];
            if (!label.automatic || label.type == kLabelArrow) continue;
            bool bad = !item.rect.Inside(image);
            for (const RouteStop& other : map.stops) {
                bad = bad || item.rect.Overlaps(LabelShape::Of(laid.BoxBounds(other)));
            }
            for (const Item& other : items) {
                const bool sameBlock = other.stop == item.stop && IsBadge(label) &&
                                       IsBadge(laid.Labels(stop)[other.label]);
                if (&other != &item && !sameBlock && other.rect.Overlaps(item.rect)) bad = true;
            }
            if (!bad) continue;
            if (IsBadge(label)) {
                if (!badgeCounted) ++unreadable;
                badgeCounted = true;
            } else {
                ++unreadable;
            }
        }
    }
    return unreadable;
}

const char* const kWords[] = {"Markt", "Am Hang", "Schloßplatz", "Gartenstraße", "Nord|Süd", "Rathaus",
                              "Klinikum West", "Ölmühle", "Bf", "Industriegebiet Nord"};

// A map of fixed stops at random cells (no two boxes on one cell), random
// lines through them, badges and now and then a hand-placed name.
RouteMap RandomMap(std::mt19937& random, bool sparse) {
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    RouteMap map;
    map.width = sparse ? 60 : 12 + below(24);
    map.height = sparse ? 60 : 12 + below(24);
    map.allowDiag = below(2) == 0;
    const int stopCount = sparse ? 12 : 4 + below(20);
    std::vector<RouteKey> stops;
    std::vector<std::vector<bool>> used(static_cast<std::size_t>(map.width),
                                        std::vector<bool>(static_cast<std::size_t>(map.height)));
    for (int i = 0; i < stopCount; ++i) {
        const StopBox shapes[] = {{0, 0, 0, 1}, {0, 0, 1, 0}, {0, 0, 2, 0}, {0, 0, 0, 2}, {0, 0, 1, 1}};
        StopBox box = shapes[below(5)];
        // Sparse maps spread the stops over a lattice 15 cells apart.
        box.x = sparse ? 5 + 15 * (i % 4) : below(map.width - 2);
        box.y = sparse ? 5 + 15 * (i / 4) : below(map.height - 2);
        bool free = true;
        for (int dx = 0; dx < std::max(box.width, 1); ++dx) {
            for (int dy = 0; dy < std::max(box.height, 1); ++dy) {
                free = free && !used[static_cast<std::size_t>(box.x + dx)][static_cast<std::size_t>(box.y + dy)];
            }
        }
        if (!free) continue;
        for (int dx = 0; dx < std::max(box.width, 1); ++dx) {
            for (int dy = 0; dy < std::max(box.height, 1); ++dy) {
                used[static_cast<std::size_t>(box.x + dx)][static_cast<std::size_t>(box.y + dy)] = true;
            }
        }
        RouteStop& stop = FixedStop(map, std::string(kWords[below(10)]) + " " + std::to_string(i), box);
        stop.exit = !sparse && below(8) == 0;
        if (!sparse && below(6) == 0) {
            stop.labels[0].automatic = false;
            stop.labels[0].x = below(80) - 40;
            stop.labels[0].y = below(80) - 40;
        }
        stops.push_back(stop.key);
    }
    const int lineCount = 1 + below(4);
    for (int l = 0; l < lineCount && stops.size() >= 2; ++l) {
        RouteLine& line = AddRouteLine(map, std::to_string(l + 1));
        line.autoNames = below(2) == 0;
        const RouteKey lineKey = line.key;
        RouteKey previous = stops[static_cast<std::size_t>(below(static_cast<int>(stops.size())))];
        for (int c = 0; c < 1 + below(5); ++c) {
            RouteKey next = stops[static_cast<std::size_t>(below(static_cast<int>(stops.size())))];
            if (next == previous) continue;
            AddConnection(map, lineKey, previous, next);
            if (below(2) == 0) {
                StopLabel badge;
                badge.type = below(2) == 0 ? kLabelLineFilled : kLabelLineOutlined;
                badge.line = lineKey;
                FindRouteStop(map, next)->labels.push_back(badge);
            }
            previous = next;
        }
    }
    return map;
}

TEST(RouteMapLabels, AutomaticLabelsAreReadableOrCountedOnRandomMaps) {
    std::mt19937 random(17);
    int crowded = 0;
    for (int round = 0; round < 60; ++round) {
        RouteMap map = RandomMap(random, false);
        const test::LaidOut laid(map);
        // A crowded label stays where the rule puts it, which may be over a
        // label placed before it: then both are unreadable.
        const int unreadable = CountUnreadable(laid);
        if (laid.Crowded() == 0) {
            EXPECT_EQ(unreadable, 0) << "round " << round;
        }
        EXPECT_LE(unreadable, 2 * laid.Crowded()) << "round " << round;
        crowded += laid.Crowded();
    }
    // Small crowded maps do run out of room now and then, but not everywhere.
    EXPECT_LT(crowded, 60 * 3);
}

TEST(RouteMapLabels, RoomyMapsLeaveNoLabelCrowded) {
    std::mt19937 random(4);
    for (int round = 0; round < 20; ++round) {
        RouteMap map = RandomMap(random, true);
        const test::LaidOut laid(map);
        EXPECT_EQ(laid.Crowded(), 0) << "round " << round;
        EXPECT_EQ(CountUnreadable(laid), 0) << "round " << round;
    }
}

// The bounds the placement works with hold every pixel the drawing paints
// for the label, for flat, upright, slanted and two-line names and badges.
TEST(RouteMapLabels, BoundsHoldEveryDrawnPixel) {
    RouteMap map;
    map.width = 20;
    map.height = 20;
    RouteLine& line = AddRouteLine(map, "12");
    line.colourIndex = 3;
    const RouteStop& stop = FixedStop(map, "Gartenstraße|Süd", {9, 9, 1, 0});
    const test::LaidOut laid(map);
    StopLabel badge;
    badge.type = kLabelLineFilled;
    badge.line = line.key;
    badge.y = 40;
    StopLabel name;
    for (const StopLabel& label : {name, badge}) {
        for (int angle : {0, 90, 45, -45}) {
            StopLabel drawn = label;
            drawn.angle = angle;
            drawn.x = label.x + 30;
            std::optional<RouteMapImage> image = CreateRouteMapImage(map);
            ASSERT_TRUE(image);
            RouteMapCanvas canvas(*image);
            canvas.Fill({255, 255, 255});
            DrawStopLabel(canvas, map, laid.layout, stop, laid.Box(stop), drawn, {0, 0, 0});
            const PixelRect bounds = laid.Bounds(stop, drawn);
            int painted = 0;
            for (int y = 0; y < image->height; ++y) {
                for (int x = 0; x < image->width; ++x) {
                    if (image->PixelAt(x, y) == Rgb{255, 255, 255}) continue;
                    ++painted;
                    EXPECT_TRUE(x >= bounds.left && x < bounds.right && y >= bounds.top && y < bounds.bottom)
                        << "type " << label.type << " angle " << angle << " pixel " << x << "," << y;
                }
            }
            EXPECT_GT(painted, 20);
        }
    }
}

// A name crowded against the right edge and under another stop's name moves
// to a free place; a name placed by hand stays where the user put it even
// where it runs off the image.
TEST(RouteMapLabels, MovesAutomaticNamesAndKeepsHandPlacedOnes) {
    RouteMap map;
    map.width = 12;
    map.height = 12;
    // A wide box at the right edge: the rule puts the name right of it,
    // outside the image.
    const RouteKey edge = FixedStop(map, "Industriegebiet", {9, 5, 2, 0}).key;
    RouteStop& fixed = FixedStop(map, "Handplatz", {2, 2, 0, 1});
    fixed.labels[0].automatic = false;
    fixed.labels[0].x = -60;
    fixed.labels[0].y = 3;
    const RouteKey fixedKey = fixed.key;
    const test::LaidOut laid(map);

    const RouteStop& moved = *FindRouteStop(map, edge);
    const PixelRect image{0, 0, 16 * 12 + 1, 16 * 12 + 1};
    EXPECT_TRUE(laid.Bounds(moved, laid.Labels(moved)[0]).Inside(image));
    const StopLabel& kept = laid.Place(fixedKey).labels[0];
    EXPECT_EQ(kept.x, -60);
    EXPECT_EQ(kept.y, 3);
    EXPECT_EQ(laid.Crowded(), 0);
}

// Where the rule's place is free but crosses a line and another place
// crosses none, the name takes the other place.
TEST(RouteMapLabels, PrefersAPlaceThatCrossesNoLine) {
    RouteMap map;
    map.width = 16;
    map.height = 16;
    map.allowDiag = false;
    // A vertical bar: the rule puts its long name above it, reading upwards,
    // where the line passes through a node right above the box.
    const RouteKey a = FixedStop(map, "Alphabetisches Viertel", {6, 9, 0, 1}).key;
    const RouteKey b = FixedStop(map, "Beta", {6, 2, 0, 1}).key;
    const RouteKey line = AddRouteLine(map, "1").key;
    AddConnection(map, line, a, b).nodes.push_back({6, 6});
    const test::LaidOut laid(map);
    ASSERT_FALSE(laid.Path(0).empty());

    // The line's band around each path point; points are 16 pixels apart and
    // labels taller than the gaps, so a label over the line meets one.
    const RouteStop& alpha = *FindRouteStop(map, a);
    auto crossings = [&](const StopLabel& label) {
        const PixelRect r = laid.Bounds(alpha, label);
        int count = 0;
        for (const GridPoint& p : laid.Path(0)) {
            if (PixelRect{16 * p.x + 4, 16 * p.y + 4, 16 * p.x + 13, 16 * p.y + 13}.Overlaps(r)) ++count;
        }
        return count;
    };
    EXPECT_EQ(crossings(laid.Labels(alpha)[0]), 0);
    StopPlace ruled = laid.Place(alpha);
    PlaceStopLabel(ruled, 0);
    EXPECT_GT(crossings(ruled.labels[0]), 0);
}

// The box a stop's labels are measured from; an exit's is its invisible bar.
PixelRect Outline(const test::LaidOut& laid, const RouteStop& stop) {
    const PixelRect box = laid.BoxBounds(stop);
    if (!box.Empty()) return box;
    const StopBox& placed = laid.Box(stop);
    const int32_t cx = 16 * placed.x + 8 * std::max(placed.width, 1);
    const int32_t cy = 16 * placed.y + 8 * std::max(placed.height, 1);
    return {cx - 4, cy - 4, cx + 5, cy + 5};
}

// Automatic names that lie nearer to another stop's box than to their own.
std::vector<std::string> NamesNearerToAnother(const test::LaidOut& laid) {
    std::vector<std::string> wrong;
    for (const RouteStop& stop : laid.map.stops) {
        if (laid.Box(stop).x < 0) continue;
        for (const StopLabel& label : laid.Labels(stop)) {
            if (label.type != kLabelName || !label.automatic) continue;
            const LabelShape r = laid.Shape(stop, label);
            const double own = SquaredGap(r, Outline(laid, stop));
            for (const RouteStop& other : laid.map.stops) {
                if (other.key == stop.key || laid.Box(other).x < 0) continue;
                if (SquaredGap(r, Outline(laid, other)) < own) wrong.push_back(stop.name + " nearer to " + other.name);
            }
        }
    }
    return wrong;
}

// Automatic labels whose (turned) rectangle meets a drawn line: every pixel
// of a path's centre line, widened by the line's half width, is tried.
std::vector<std::string> LabelsOnLines(const test::LaidOut& laid) {
    const RouteMap& map = laid.map;
    std::vector<std::string> wrong;
    for (const RouteStop& stop : map.stops) {
        for (const StopLabel& label : laid.Labels(stop)) {
            if (!label.automatic || label.type == kLabelArrow) continue;
            const LabelShape r = laid.Shape(stop, label);
            if (r.Empty()) continue;
            bool hit = false;
            for (std::size_t ci = 0; ci < map.connections.size(); ++ci) {
                const RouteLine* line = FindRouteLine(map, map.connections[ci].line);
                const int32_t h = std::clamp(line->thickness, 1, 32) - 1;
                const std::vector<GridPoint>& path = laid.Path(ci);
                for (std::size_t i = 1; i < path.size() && !hit; ++i) {
                    const int32_t ax = 16 * path[i - 1].x + 8, ay = 16 * path[i - 1].y + 8;
                    const int32_t bx = 16 * path[i].x + 8, by = 16 * path[i].y + 8;
                    for (int32_t k = 0; k <= 16 && !hit; ++k) {
                        const int32_t x = ax + (bx - ax) * k / 16;
                        const int32_t y = ay + (by - ay) * k / 16;
                        hit = r.Overlaps(LabelShape::Of(PixelRect{x - h, y - h, x + h + 1, y + h + 1}));
                    }
                }
            }
            if (hit) wrong.push_back(stop.name);
        }
    }
    return wrong;
}

// Every placed stop with a name has a name label.
int CountUnnamed(const test::LaidOut& laid) {
    int unnamed = 0;
    for (const RouteStop& stop : laid.map.stops) {
        if (laid.Box(stop).x < 0 || stop.name.empty()) continue;
        bool named = false;
        for (const StopLabel& label : laid.Labels(stop)) named = named || label.type == kLabelName;
        if (!named) ++unnamed;
    }
    return unnamed;
}

// Large generated networks: every stop placed and named, no label crowded,
// over another, on a line or nearer to another stop than to its own.
TEST(RouteMapLabels, GeneratedNetworksHaveEveryStopReadablyNamed) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        RouteMap map = test::GeneratedRouteMap(seed);
        ASSERT_GE(map.stops.size(), 200u);
        const test::LaidOut laid(map);
        int placed = 0;
        for (const StopPlace& place : laid.layout.stops) placed += place.box.x >= 0 ? 1 : 0;
        EXPECT_GE(placed, 200) << "seed " << seed;
        EXPECT_EQ(laid.Crowded(), 0) << "seed " << seed;
        EXPECT_EQ(CountUnreadable(laid), 0) << "seed " << seed;
        EXPECT_EQ(CountUnnamed(laid), 0) << "seed " << seed;
        const std::vector<std::string> near = NamesNearerToAnother(laid);
        EXPECT_TRUE(near.empty()) << near.size() << " names, first " << near.front();
        const std::vector<std::string> onLines = LabelsOnLines(laid);
        EXPECT_TRUE(onLines.empty()) << onLines.size() << " labels, first " << onLines.front();
    }
}

void ExpectEveryNameReadable(const test::LaidOut& laid) {
    EXPECT_EQ(laid.Crowded(), 0);
    EXPECT_EQ(CountUnreadable(laid), 0);
    EXPECT_EQ(CountUnnamed(laid), 0);
    const std::vector<std::string> near = NamesNearerToAnother(laid);
    EXPECT_TRUE(near.empty()) << near.size() << " names, first " << near.front();
    const std::vector<std::string> onLines = LabelsOnLines(laid);
    EXPECT_TRUE(onLines.empty()) << onLines.size() << " labels, first " << onLines.front();
}

// The real map: a straight row of twelve stops and its return trip a block
// lower, the other line's two trips on streets of their own.
TEST(RouteMapLabels, NewDavisvilleHasEveryStopReadablyNamed) {
    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    std::optional<RouteMap> built = test::NewDavisvilleRouteMap(realMaps / "NewDavisville");
    ASSERT_TRUE(built);
    const RouteMap& map = *built;
    const test::LaidOut laid(map);
    // Stops of the same name on both sides of a street are one stop of the map.
    ASSERT_EQ(map.stops.size(), 21u);
    for (const RouteStop& stop : map.stops) EXPECT_GE(laid.Box(stop).x, 0) << stop.name;
    ExpectEveryNameReadable(laid);
}

// Small random maps may run out of room, but a name that found a place never
// seems to name a neighbour.
TEST(RouteMapLabels, NoNameLiesNearerToAnotherStopOnRandomMaps) {
    std::mt19937 random(23);
    int checked = 0;
    for (int round = 0; round < 40; ++round) {
        RouteMap map = RandomMap(random, false);
        const test::LaidOut laid(map);
        if (laid.Crowded() > 0) continue;
        ++checked;
        const std::vector<std::string> near = NamesNearerToAnother(laid);
        EXPECT_TRUE(near.empty()) << "round " << round << ": " << near.front();
        const std::vector<std::string> onLines = LabelsOnLines(laid);
        EXPECT_TRUE(onLines.empty()) << "round " << round << ": " << onLines.front();
    }
    EXPECT_GT(checked, 15);
}

// A name set far from its stop is joined to the box by a leader line, drawn
// between the box's edge and the label's; a name beside its box has none.
TEST(RouteMapLabels, FarNamesGetALeaderLine) {
    RouteMap map;
    map.width = 20;
    map.height = 10;
    RouteStop& stop = FixedStop(map, "Weit", {3, 4, 0, 1});
    stop.labels[0].automatic = false;
    stop.labels[0].x = 90;
    stop.labels[0].y = -4;
    const RouteKey far = stop.key;
    RouteStop& near = FixedStop(map, "Nah", {3, 7, 0, 1});
    near.labels[0].automatic = false;
    near.labels[0].x = 8;
    EXPECT_FALSE(LeaderOf(map, near, near.stored, near.labels[0]));

    const RouteStop& weit = *FindRouteStop(map, far);
    const std::optional<LabelLeader> leader = LeaderOf(map, weit, weit.stored, weit.labels[0]);
    ASSERT_TRUE(leader);
    const PixelRect box = StopBoxBounds(weit, weit.stored);
    const PixelRect label = StopLabelBounds(map, weit, weit.stored, weit.labels[0]);
    EXPECT_EQ(leader->from.x, box.right - 1);
    EXPECT_EQ(leader->to.x, label.left);
    EXPECT_TRUE(leader->to.y >= label.top && leader->to.y < label.bottom);

    std::optional<RouteMapImage> image = CreateRouteMapImage(map);
    ASSERT_TRUE(image);
    RouteMapCanvas canvas(*image);
    DrawRouteMap(map, LayoutRouteMap(map), canvas);
    const int32_t midX = (leader->from.x + leader->to.x) / 2;
    int leaderPixels = 0;
    for (int32_t y = box.top; y < box.bottom; ++y) leaderPixels += image->PixelAt(midX, y) == Rgb{96, 96, 96} ? 1 : 0;
    EXPECT_EQ(leaderPixels, 1);
}

// The demo's route map, as its project file stands: every label, by hand or
// not, inside the image and clear of the others and of the other stops' boxes.
TEST(RouteMapLabels, DemoMapHasNoClippedOrOverlappingLabel) {
    Project project;
    MapData noMap;
    ASSERT_TRUE(LoadProject(project, noMap, TAKTARIUM_SOURCE_DIR "/examples/output/DemoMap.cfg").parsed);
    const RouteMap& map = project.routeMap;
    const test::LaidOut laid(map);
    EXPECT_EQ(laid.Crowded(), 0);
    const PixelRect image{0, 0, 16 * map.width + 1, 16 * map.height + 1};
    std::vector<std::pair<const RouteStop*, LabelShape>> labels;
    for (const RouteStop& stop : map.stops) {
        for (const StopLabel& label : laid.Labels(stop)) {
            const LabelShape r = laid.Shape(stop, label);
            if (r.Empty()) continue;
            EXPECT_TRUE(r.Inside(image)) << stop.name;
            for (const RouteStop& other : map.stops) {
                if (&other == &stop) continue;
                EXPECT_FALSE(r.Overlaps(LabelShape::Of(laid.BoxBounds(other)))) << stop.name << " on " << other.name;
            }
            for (const auto& [otherStop, otherRect] : labels) {
                EXPECT_FALSE(otherRect.Overlaps(r)) << stop.name << " and " << otherStop->name;
            }
            labels.emplace_back(&stop, r);
        }
    }
    EXPECT_GT(labels.size(), 25u);
}

// ---------------------------------------------------------------------------
// Names turned beside straight stretches

std::vector<const RouteStop*> InRowOrder(const test::LaidOut& laid) {
    std::vector<const RouteStop*> row;
    for (const RouteStop& stop : laid.map.stops) row.push_back(&stop);
    std::sort(row.begin(), row.end(),
              [&](const RouteStop* a, const RouteStop* b) { return laid.Box(*a).x < laid.Box(*b).x; });
    return row;
}

// The angle of the stop's first label as the layout turned it.
int32_t AngleOfName(const test::LaidOut& laid, const RouteStop& stop) { return laid.Labels(stop)[0].angle; }

// -1 when the stop's name lies above its box, 1 below, 0 beside or over it.
int SideOfName(const test::LaidOut& laid, const RouteStop& stop) {
    const PixelRect name = laid.Bounds(stop, laid.Labels(stop)[0]);
    const PixelRect box = laid.BoxBounds(stop);
    if (name.bottom <= box.top) return -1;
    if (name.top >= box.bottom) return 1;
    return 0;
}

// Stops one cell apart with names of two lines: the names read upwards, and
// as no side has room for all of them they alternate above and below.
TEST(RouteMapTurnedLabels, CloseNamesAlternateSidesWhereOneSideHasNoRoomForAll) {
    RouteMap map = test::RowOfStops(13, 1, 12, 25, [](int i) { return "Am Hang|Nord " + std::to_string(10 + i); });
    const test::LaidOut laid(map);
    const std::vector<const RouteStop*> row = InRowOrder(laid);
    for (std::size_t i = 0; i < row.size(); ++i) {
        EXPECT_EQ(AngleOfName(laid, *row[i]), 90) << row[i]->name;
        EXPECT_NE(SideOfName(laid, *row[i]), 0) << row[i]->name;
        if (i > 0) {
            EXPECT_EQ(SideOfName(laid, *row[i]), -SideOfName(laid, *row[i - 1])) << row[i]->name;
        }
    }
    ExpectEveryNameReadable(laid);
}

// A column of stops one cell apart with names of two lines: level names
// left and right of the line by turns.
TEST(RouteMapTurnedLabels, ACloseColumnAlternatesLevelNamesLeftAndRight) {
    RouteMap map;
    map.width = 30;
    map.height = 24;
    map.allowDiag = false;
    std::vector<RouteKey> keys;
    for (int i = 0; i < 12; ++i) {
        keys.push_back(FixedStop(map, "Am Hang|Nord " + std::to_string(10 + i), {14, 5 + i, 1, 0}).key);
    }
    const RouteKey line = AddRouteLine(map, "1").key;
    for (std::size_t i = 1; i < keys.size(); ++i) AddConnection(map, line, keys[i - 1], keys[i]);
    const test::LaidOut laid(map);
    int previous = 0;
    for (RouteKey key : keys) {
        const RouteStop& stop = *FindRouteStop(map, key);
        const PixelRect name = laid.Bounds(stop, laid.Labels(stop)[0]);
        const PixelRect box = laid.BoxBounds(stop);
        const int side = name.left >= box.right ? 1 : name.right <= box.left ? -1 : 0;
        EXPECT_EQ(AngleOfName(laid, stop), 0) << stop.name;
        EXPECT_NE(side, 0) << stop.name;
        EXPECT_NE(side, previous) << stop.name;
        previous = side;
    }
    ExpectEveryNameReadable(laid);
}

// Random rows and columns of close stops with names of one or two lines,
// a line along each and a few lines crossing them: every name readable,
// next to its own stop, on no line.
TEST(RouteMapTurnedLabels, RandomCloseRowsAndColumnsAreReadablyNamed) {
    std::mt19937 random(31);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 12; ++round) {
        RouteMap map;
        map.width = 90;
        map.height = 90;
        map.allowDiag = below(2) == 0;
        std::vector<std::vector<RouteKey>> runs;
        for (int run = 0; run < 3; ++run) {
            const bool horizontal = below(2) == 0;
            const int spacing = 1 + below(2);
            const int count = 6 + below(8);
            const int across = 12 + 28 * run + below(6);  // rows (or columns) well apart
            const int start = 14 + below(8);
            std::vector<RouteKey> keys;
            for (int i = 0; i < count; ++i) {
                std::string name = std::string(kWords[below(10)]) + " " + std::to_string(run * 100 + i);
                if (below(3) == 0) name = "Neu|" + name;
                const int along = start + spacing * i;
                const StopBox box = horizontal ? StopBox{along, across, 0, 1} : StopBox{across, along, 1, 0};
                keys.push_back(FixedStop(map, name, box).key);
            }
            const RouteKey line = AddRouteLine(map, std::to_string(run + 1)).key;
            for (std::size_t i = 1; i < keys.size(); ++i) AddConnection(map, line, keys[i - 1], keys[i]);
            runs.push_back(keys);
        }
        // A line joining the runs' ends crosses the map between them.
        const RouteKey joining = AddRouteLine(map, "9").key;
        AddConnection(map, joining, runs[0].back(), runs[1].front());
        AddConnection(map, joining, runs[1].back(), runs[2].front());
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectEveryNameReadable(test::LaidOut(map));
    }
}

// A row right under the image's top edge: no name fits above it, so all of
// them stand below, reading upwards.
TEST(RouteMapTurnedLabels, ARowAtTheEdgeHasItsNamesOnTheOtherSide) {
    RouteMap map = test::RowOfStops(12, 1, 1, 20, [](int i) { return "Markt " + std::to_string(10 + i); });
    const test::LaidOut laid(map);
    for (const RouteStop* stop : InRowOrder(laid)) {
        EXPECT_EQ(AngleOfName(laid, *stop), 90) << stop->name;
        EXPECT_EQ(SideOfName(laid, *stop), 1) << stop->name;
    }
    ExpectEveryNameReadable(laid);
}

// Names too long to stand upright between the row and the image's edges,
// and too long to lie level between the stops: they slant at 45 degrees,
// all on one side.
RouteMap SlantedRow() {
    RouteMap map = test::SlantedRow();
    EXPECT_LT(16 * (map.height / 2) - 1, MeasureLabelText(map.stops[0].name).width + 6)
        << "the name would stand upright";
    return map;
}

TEST(RouteMapTurnedLabels, LongNamesSlantWhereUprightOnesFindNoRoom) {
    RouteMap map = SlantedRow();
    const test::LaidOut laid(map);
    const std::vector<const RouteStop*> row = InRowOrder(laid);
    for (const RouteStop* stop : row) {
        EXPECT_EQ(AngleOfName(laid, *stop), 45) << stop->name;
        EXPECT_EQ(SideOfName(laid, *stop), SideOfName(laid, *row.front())) << stop->name;
        EXPECT_NE(SideOfName(laid, *stop), 0) << stop->name;
    }
    ExpectEveryNameReadable(laid);
    EXPECT_EQ(map.stops[0].labels[0].angle, 0) << "the turn is the layout's, not saved";
}

// Where the rule's places are free nothing turns or moves: names keep the
// rule's place above their bar.
TEST(RouteMapTurnedLabels, ARowWithRoomKeepsTheRulesPlaces) {
    RouteMap map = test::RowOfStops(8, 3, 8, 17, [](int i) { return "Ost " + std::to_string(i); });
    const test::LaidOut laid(map);
    for (const RouteStop& stop : map.stops) {
        StopPlace ruled = laid.Place(stop);
        PlaceStopLabel(ruled, 0);
        EXPECT_EQ(laid.Labels(stop)[0], ruled.labels[0]) << stop.name;
    }
    ExpectEveryNameReadable(laid);
}

// The turned rectangle holds every pixel the drawing paints for a slanted
// name, at every output scale, and the drawn text leaves the box it would
// have level: it is drawn turned.
TEST(RouteMapTurnedLabels, SlantedNamesAreDrawnTurnedAtEveryScale) {
    RouteMap map = SlantedRow();
    test::LaidOut laid(map);
    // One name alone, so that the others' letters do not count.
    const RouteStop& stop = map.stops[map.stops.size() / 2];
    for (const RouteStop& other : map.stops) {
        if (&other != &stop) laid.layout.stops[static_cast<std::size_t>(&other - map.stops.data())].labels.clear();
    }
    const StopLabel& name = laid.Labels(stop)[0];
    ASSERT_EQ(name.angle, 45);
    const LabelShape shape = laid.Shape(stop, name);
    ASSERT_TRUE(shape.turned);
    StopLabel level = name;
    level.angle = 0;
    const PixelRect levelBox = laid.Bounds(stop, level);
    for (int scale : {1, 2, 4}) {
        std::optional<RouteMapImage> image = RenderRouteMap(map, laid.layout, scale);
        ASSERT_TRUE(image);
        int outsideLevel = 0;
        int outsideShape = 0;
        for (int32_t y = shape.bounds.top * scale; y < shape.bounds.bottom * scale; ++y) {
            for (int32_t x = shape.bounds.left * scale; x < shape.bounds.right * scale; ++x) {
                if (image->PixelAt(x, y) != Rgb{0, 0, 0}) continue;
                const int32_t mx = x / scale, my = y / scale;  // the map pixel
                if (!PixelRect{mx, my, mx + 1, my + 1}.Overlaps(levelBox)) ++outsideLevel;
                if (!LabelShape::Of({mx, my, mx + 1, my + 1}).Overlaps(shape)) ++outsideShape;
            }
        }
        EXPECT_GT(outsideLevel, 40 * scale * scale) << "scale " << scale;
        EXPECT_EQ(outsideShape, 0) << "scale " << scale;
        // Nothing of the text outside the bounds either.
        int stray = 0;
        for (int32_t y = 0; y < image->height; ++y) {
            for (int32_t x = 0; x < image->width; ++x) {
                const int32_t mx = x / scale, my = y / scale;
                const bool inBounds = mx >= shape.bounds.left && mx < shape.bounds.right && my >= shape.bounds.top &&
                                      my < shape.bounds.bottom;
                if (!inBounds && image->PixelAt(x, y) == Rgb{0, 0, 0} &&
                    !PixelRect{mx, my, mx + 1, my + 1}.Overlaps(Outline(laid, stop)) && my < Outline(laid, stop).top) {
                    ++stray;
                }
            }
        }
        EXPECT_EQ(stray, 0) << "scale " << scale;
    }
}

std::string ReadWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A name's turn is the layout's choice, not the user's: the project file
// keeps no angle of an automatic name, and the map read back turns its
// names as before.
TEST(RouteMapTurnedLabels, TurnedNamesAreWorkedOutAgainAfterALoad) {
    test::TempDir dir;
    Project project;
    project.routeMap = test::RowOfStops(13, 1, 12, 25, [](int i) { return "Am Hang|Nord " + std::to_string(10 + i); });
    const RouteMapLayoutResult before = LayoutRouteMap(project.routeMap);
    ASSERT_EQ(before.stops[0].labels[0].angle, 90);
    ASSERT_TRUE(SaveProject(project, dir.path() / "turned.cfg"));
    EXPECT_EQ(ReadWhole(dir.path() / "turned.cfg").find("\"Angle\""), std::string::npos);
    Project read;
    MapData noMap;
    ASSERT_TRUE(LoadProject(read, noMap, dir.path() / "turned.cfg").parsed);
    const RouteMapLayoutResult after = LayoutRouteMap(read.routeMap);
    ASSERT_EQ(after.stops.size(), before.stops.size());
    for (std::size_t i = 0; i < before.stops.size(); ++i) EXPECT_EQ(after.stops[i], before.stops[i]) << i;
}

// Turned rectangles meet as they are drawn: two slanted names side by side
// whose boxes overlap do not meet, one laid across the other does.
TEST(RouteMapTurnedLabels, TurnedShapesOverlapOnlyWhereTheyMeet) {
    RouteMap map;
    map.width = 30;
    map.height = 30;
    const RouteStop& stop = FixedStop(map, "Industriegebiet", {10, 15, 0, 1});
    StopLabel slanted;
    slanted.angle = 45;
    StopLabel beside = slanted;
    beside.x = 24;  // 24 pixels along the row: 17 across the text, more than its height
    StopLabel across = slanted;
    across.angle = -45;
    across.x = 40;
    across.y = -40;
    const LabelShape a = StopLabelShape(map, stop, stop.stored, slanted);
    const LabelShape b = StopLabelShape(map, stop, stop.stored, beside);
    const LabelShape c = StopLabelShape(map, stop, stop.stored, across);
    ASSERT_TRUE(a.bounds.Overlaps(b.bounds));
    EXPECT_FALSE(a.Overlaps(b));
    EXPECT_FALSE(b.Overlaps(a));
    EXPECT_TRUE(a.Overlaps(c));
    EXPECT_TRUE(c.Overlaps(b));
    // A box in the corner of a slanted name's bounds lies outside it, and
    // its gap is measured to the turned rectangle.
    const PixelRect corner{a.bounds.left, a.bounds.top, a.bounds.left + 4, a.bounds.top + 4};
    EXPECT_FALSE(a.Overlaps(LabelShape::Of(corner)));
    EXPECT_GT(SquaredGap(a, corner), 25.0);
    EXPECT_EQ(SquaredGap(LabelShape::Of(a.bounds), corner), 0.0);
}

}  // namespace
}  // namespace tak
