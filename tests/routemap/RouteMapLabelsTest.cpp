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
int CountUnreadable(const RouteMap& map) {
    const PixelRect image{0, 0, 16 * map.width + 1, 16 * map.height + 1};
    struct Item {
        RouteKey stop;
        std::size_t label;
        LabelShape rect;
    };
    std::vector<Item> items;
    for (const RouteStop& stop : map.stops) {
        for (std::size_t i = 0; i < stop.labels.size(); ++i) {
            const LabelShape r = StopLabelShape(map, stop, stop.labels[i]);
            if (!r.Empty()) items.push_back({stop.key, i, r});
        }
    }
    int unreadable = 0;
    for (const RouteStop& stop : map.stops) {
        bool badgeCounted = false;
        for (const Item& item : items) {
            if (item.stop != stop.key) continue;
            const StopLabel& label = stop.labels[item.label];
            if (!label.automatic || label.type == kLabelArrow) continue;
            bool bad = !item.rect.Inside(image);
            for (const RouteStop& other : map.stops) {
                bad = bad || item.rect.Overlaps(LabelShape::Of(StopBoxBounds(other)));
            }
            for (const Item& other : items) {
                const bool sameBlock = other.stop == item.stop && IsBadge(label) &&
                                       IsBadge(stop.labels[other.label]);
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
        LayoutRouteMap(map);
        // A crowded label stays where the rule puts it, which may be over a
        // label placed before it: then both are unreadable.
        const int unreadable = CountUnreadable(map);
        if (map.crowdedLabels == 0) {
            EXPECT_EQ(unreadable, 0) << "round " << round;
        }
        EXPECT_LE(unreadable, 2 * map.crowdedLabels) << "round " << round;
        crowded += map.crowdedLabels;
    }
    // Small crowded maps do run out of room now and then, but not everywhere.
    EXPECT_LT(crowded, 60 * 3);
}

TEST(RouteMapLabels, RoomyMapsLeaveNoLabelCrowded) {
    std::mt19937 random(4);
    for (int round = 0; round < 20; ++round) {
        RouteMap map = RandomMap(random, true);
        LayoutRouteMap(map);
        EXPECT_EQ(map.crowdedLabels, 0) << "round " << round;
        EXPECT_EQ(CountUnreadable(map), 0) << "round " << round;
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
    ResolveColours(map);
    RouteStop& stop = FixedStop(map, "Gartenstraße|Süd", {9, 9, 1, 0});
    stop.box = stop.stored;
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
            DrawStopLabel(canvas, map, drawn, stop, {0, 0, 0});
            const PixelRect bounds = StopLabelBounds(map, stop, drawn);
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
    LayoutRouteMap(map);

    const RouteStop& moved = *FindRouteStop(map, edge);
    const PixelRect image{0, 0, 16 * 12 + 1, 16 * 12 + 1};
    EXPECT_TRUE(StopLabelBounds(map, moved, moved.labels[0]).Inside(image));
    const RouteStop& kept = *FindRouteStop(map, fixedKey);
    EXPECT_EQ(kept.labels[0].x, -60);
    EXPECT_EQ(kept.labels[0].y, 3);
    EXPECT_EQ(map.crowdedLabels, 0);
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
    LayoutRouteMap(map);
    ASSERT_FALSE(map.connections[0].path.empty());

    // The line's band around each path point; points are 16 pixels apart and
    // labels taller than the gaps, so a label over the line meets one.
    auto crossings = [&](const RouteStop& stop) {
        const PixelRect r = StopLabelBounds(map, stop, stop.labels[0]);
        int count = 0;
        for (const GridPoint& p : map.connections[0].path) {
            if (PixelRect{16 * p.x + 4, 16 * p.y + 4, 16 * p.x + 13, 16 * p.y + 13}.Overlaps(r)) ++count;
        }
        return count;
    };
    const RouteStop& alpha = *FindRouteStop(map, a);
    EXPECT_EQ(crossings(alpha), 0);
    RouteStop ruled = alpha;
    PlaceStopLabel(ruled, 0);
    EXPECT_GT(crossings(ruled), 0);
}

// The box a stop's labels are measured from; an exit's is its invisible bar.
PixelRect Outline(const RouteStop& stop) {
    const PixelRect box = StopBoxBounds(stop);
    if (!box.Empty()) return box;
    const int32_t cx = 16 * stop.box.x + 8 * std::max(stop.box.width, 1);
    const int32_t cy = 16 * stop.box.y + 8 * std::max(stop.box.height, 1);
    return {cx - 4, cy - 4, cx + 5, cy + 5};
}

// Automatic names that lie nearer to another stop's box than to their own.
std::vector<std::string> NamesNearerToAnother(const RouteMap& map) {
    std::vector<std::string> wrong;
    for (const RouteStop& stop : map.stops) {
        if (stop.box.x < 0) continue;
        for (const StopLabel& label : stop.labels) {
            if (label.type != kLabelName || !label.automatic) continue;
            const LabelShape r = StopLabelShape(map, stop, label);
            const double own = SquaredGap(r, Outline(stop));
            for (const RouteStop& other : map.stops) {
                if (other.key == stop.key || other.box.x < 0) continue;
                if (SquaredGap(r, Outline(other)) < own) wrong.push_back(stop.name + " nearer to " + other.name);
            }
        }
    }
    return wrong;
}

// Automatic labels whose (turned) rectangle meets a drawn line: every pixel
// of a path's centre line, widened by the line's half width, is tried.
std::vector<std::string> LabelsOnLines(const RouteMap& map) {
    std::vector<std::string> wrong;
    for (const RouteStop& stop : map.stops) {
        for (const StopLabel& label : stop.labels) {
            if (!label.automatic || label.type == kLabelArrow) continue;
            const LabelShape r = StopLabelShape(map, stop, label);
            if (r.Empty()) continue;
            bool hit = false;
            for (const Connection& c : map.connections) {
                const RouteLine* line = FindRouteLine(map, c.line);
                const int32_t h = std::clamp(line->thickness, 1, 32) - 1;
                for (std::size_t i = 1; i < c.path.size() && !hit; ++i) {
                    const int32_t ax = 16 * c.path[i - 1].x + 8, ay = 16 * c.path[i - 1].y + 8;
                    const int32_t bx = 16 * c.path[i].x + 8, by = 16 * c.path[i].y + 8;
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
int CountUnnamed(const RouteMap& map) {
    int unnamed = 0;
    for (const RouteStop& stop : map.stops) {
        if (stop.box.x < 0 || stop.name.empty()) continue;
        bool named = false;
        for (const StopLabel& label : stop.labels) named = named || label.type == kLabelName;
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
        LayoutRouteMap(map);
        int placed = 0;
        for (const RouteStop& stop : map.stops) placed += stop.box.x >= 0 ? 1 : 0;
        EXPECT_GE(placed, 200) << "seed " << seed;
        EXPECT_EQ(map.crowdedLabels, 0) << "seed " << seed;
        EXPECT_EQ(CountUnreadable(map), 0) << "seed " << seed;
        EXPECT_EQ(CountUnnamed(map), 0) << "seed " << seed;
        const std::vector<std::string> near = NamesNearerToAnother(map);
        EXPECT_TRUE(near.empty()) << near.size() << " names, first " << near.front();
        const std::vector<std::string> onLines = LabelsOnLines(map);
        EXPECT_TRUE(onLines.empty()) << onLines.size() << " labels, first " << onLines.front();
    }
}

void ExpectEveryNameReadable(const RouteMap& map) {
    EXPECT_EQ(map.crowdedLabels, 0);
    EXPECT_EQ(CountUnreadable(map), 0);
    EXPECT_EQ(CountUnnamed(map), 0);
    const std::vector<std::string> near = NamesNearerToAnother(map);
    EXPECT_TRUE(near.empty()) << near.size() << " names, first " << near.front();
    const std::vector<std::string> onLines = LabelsOnLines(map);
    EXPECT_TRUE(onLines.empty()) << onLines.size() << " labels, first " << onLines.front();
}

// The real map: a straight row of twelve stops and its return trip a block
// lower, the other line's two trips on streets of their own.
TEST(RouteMapLabels, NewDavisvilleHasEveryStopReadablyNamed) {
    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    std::optional<RouteMap> built = test::NewDavisvilleRouteMap(realMaps / "NewDavisville");
    ASSERT_TRUE(built);
    RouteMap& map = *built;
    LayoutRouteMap(map);
    // Stops of the same name on both sides of a street are one stop of the map.
    ASSERT_EQ(map.stops.size(), 21u);
    for (const RouteStop& stop : map.stops) EXPECT_GE(stop.box.x, 0) << stop.name;
    ExpectEveryNameReadable(map);
}

// Small random maps may run out of room, but a name that found a place never
// seems to name a neighbour.
TEST(RouteMapLabels, NoNameLiesNearerToAnotherStopOnRandomMaps) {
    std::mt19937 random(23);
    int checked = 0;
    for (int round = 0; round < 40; ++round) {
        RouteMap map = RandomMap(random, false);
        LayoutRouteMap(map);
        if (map.crowdedLabels > 0) continue;
        ++checked;
        const std::vector<std::string> near = NamesNearerToAnother(map);
        EXPECT_TRUE(near.empty()) << "round " << round << ": " << near.front();
        const std::vector<std::string> onLines = LabelsOnLines(map);
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
    stop.box = stop.stored;
    stop.labels[0].automatic = false;
    stop.labels[0].x = 90;
    stop.labels[0].y = -4;
    const RouteKey far = stop.key;
    RouteStop& near = FixedStop(map, "Nah", {3, 7, 0, 1});
    near.box = near.stored;
    near.labels[0].x = 8;
    EXPECT_FALSE(LeaderOf(map, near, near.labels[0]));

    const RouteStop& weit = *FindRouteStop(map, far);
    const std::optional<LabelLeader> leader = LeaderOf(map, weit, weit.labels[0]);
    ASSERT_TRUE(leader);
    const PixelRect box = StopBoxBounds(weit);
    const PixelRect label = StopLabelBounds(map, weit, weit.labels[0]);
    EXPECT_EQ(leader->from.x, box.right - 1);
    EXPECT_EQ(leader->to.x, label.left);
    EXPECT_TRUE(leader->to.y >= label.top && leader->to.y < label.bottom);

    std::optional<RouteMapImage> image = CreateRouteMapImage(map);
    ASSERT_TRUE(image);
    RouteMapCanvas canvas(*image);
    DrawRouteMap(map, canvas);
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
    RouteMap& map = project.routeMap;
    LayoutRouteMap(map);
    EXPECT_EQ(map.crowdedLabels, 0);
    const PixelRect image{0, 0, 16 * map.width + 1, 16 * map.height + 1};
    std::vector<std::pair<const RouteStop*, LabelShape>> labels;
    for (const RouteStop& stop : map.stops) {
        for (const StopLabel& label : stop.labels) {
            const LabelShape r = StopLabelShape(map, stop, label);
            if (r.Empty()) continue;
            EXPECT_TRUE(r.Inside(image)) << stop.name;
            for (const RouteStop& other : map.stops) {
                if (&other == &stop) continue;
                EXPECT_FALSE(r.Overlaps(LabelShape::Of(StopBoxBounds(other)))) << stop.name << " on " << other.name;
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

std::vector<const RouteStop*> InRowOrder(const RouteMap& map) {
    std::vector<const RouteStop*> row;
    for (const RouteStop& stop : map.stops) row.push_back(&stop);
    std::sort(row.begin(), row.end(), [](const RouteStop* a, const RouteStop* b) { return a->box.x < b->box.x; });
    return row;
}

// -1 when the stop's name lies above its box, 1 below, 0 beside or over it.
int SideOfName(const RouteMap& map, const RouteStop& stop) {
    const PixelRect name = StopLabelBounds(map, stop, stop.labels[0]);
    const PixelRect box = StopBoxBounds(stop);
    if (name.bottom <= box.top) return -1;
    if (name.top >= box.bottom) return 1;
    return 0;
}

// Stops one cell apart with names of two lines: the names read upwards, and
// as no side has room for all of them they alternate above and below.
TEST(RouteMapTurnedLabels, CloseNamesAlternateSidesWhereOneSideHasNoRoomForAll) {
    RouteMap map = test::RowOfStops(13, 1, 12, 25, [](int i) { return "Am Hang|Nord " + std::to_string(10 + i); });
    LayoutRouteMap(map);
    const std::vector<const RouteStop*> row = InRowOrder(map);
    for (std::size_t i = 0; i < row.size(); ++i) {
        EXPECT_EQ(row[i]->labels[0].angle, 90) << row[i]->name;
        EXPECT_NE(SideOfName(map, *row[i]), 0) << row[i]->name;
        if (i > 0) {
            EXPECT_EQ(SideOfName(map, *row[i]), -SideOfName(map, *row[i - 1])) << row[i]->name;
        }
    }
    ExpectEveryNameReadable(map);
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
    LayoutRouteMap(map);
    int previous = 0;
    for (RouteKey key : keys) {
        const RouteStop& stop = *FindRouteStop(map, key);
        const PixelRect name = StopLabelBounds(map, stop, stop.labels[0]);
        const PixelRect box = StopBoxBounds(stop);
        const int side = name.left >= box.right ? 1 : name.right <= box.left ? -1 : 0;
        EXPECT_EQ(stop.labels[0].angle, 0) << stop.name;
        EXPECT_NE(side, 0) << stop.name;
        EXPECT_NE(side, previous) << stop.name;
        previous = side;
    }
    ExpectEveryNameReadable(map);
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
        LayoutRouteMap(map);
        SCOPED_TRACE("round " + std::to_string(round));
        ExpectEveryNameReadable(map);
    }
}

// A row right under the image's top edge: no name fits above it, so all of
// them stand below, reading upwards.
TEST(RouteMapTurnedLabels, ARowAtTheEdgeHasItsNamesOnTheOtherSide) {
    RouteMap map = test::RowOfStops(12, 1, 1, 20, [](int i) { return "Markt " + std::to_string(10 + i); });
    LayoutRouteMap(map);
    for (const RouteStop* stop : InRowOrder(map)) {
        EXPECT_EQ(stop->labels[0].angle, 90) << stop->name;
        EXPECT_EQ(SideOfName(map, *stop), 1) << stop->name;
    }
    ExpectEveryNameReadable(map);
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
    LayoutRouteMap(map);
    const std::vector<const RouteStop*> row = InRowOrder(map);
    for (const RouteStop* stop : row) {
        EXPECT_EQ(stop->labels[0].angle, 45) << stop->name;
        EXPECT_EQ(SideOfName(map, *stop), SideOfName(map, *row.front())) << stop->name;
        EXPECT_NE(SideOfName(map, *stop), 0) << stop->name;
    }
    ExpectEveryNameReadable(map);
}

// Where the rule's places are free nothing turns or moves: names keep the
// rule's place above their bar.
TEST(RouteMapTurnedLabels, ARowWithRoomKeepsTheRulesPlaces) {
    RouteMap map = test::RowOfStops(8, 3, 8, 17, [](int i) { return "Ost " + std::to_string(i); });
    LayoutRouteMap(map);
    for (const RouteStop& stop : map.stops) {
        RouteStop ruled = stop;
        PlaceStopLabel(ruled, 0);
        EXPECT_EQ(stop.labels[0], ruled.labels[0]) << stop.name;
    }
    ExpectEveryNameReadable(map);
}

// The turned rectangle holds every pixel the drawing paints for a slanted
// name, at every output scale, and the drawn text leaves the box it would
// have level: it is drawn turned.
TEST(RouteMapTurnedLabels, SlantedNamesAreDrawnTurnedAtEveryScale) {
    RouteMap map = SlantedRow();
    LayoutRouteMap(map);
    // One name alone, so that the others' letters do not count.
    RouteStop& stop = map.stops[map.stops.size() / 2];
    for (RouteStop& other : map.stops) {
        if (&other != &stop) other.labels.clear();
    }
    ASSERT_EQ(stop.labels[0].angle, 45);
    const LabelShape shape = StopLabelShape(map, stop, stop.labels[0]);
    ASSERT_TRUE(shape.turned);
    StopLabel level = stop.labels[0];
    level.angle = 0;
    const PixelRect levelBox = StopLabelBounds(map, stop, level);
    for (int scale : {1, 2, 4}) {
        std::optional<RouteMapImage> image = RenderRouteMap(map, scale);
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
                    !PixelRect{mx, my, mx + 1, my + 1}.Overlaps(Outline(stop)) && my < Outline(stop).top) {
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
// of a map whose names turn is the same before and after the layout.
TEST(RouteMapTurnedLabels, TurningNamesLeavesTheProjectFileAsItWas) {
    test::TempDir dir;
    Project project;
    project.routeMap = test::RowOfStops(13, 1, 12, 25, [](int i) { return "Am Hang|Nord " + std::to_string(10 + i); });
    ASSERT_TRUE(SaveProject(project, dir.path() / "before.cfg"));
    LayoutRouteMap(project.routeMap);
    ASSERT_EQ(project.routeMap.stops[0].labels[0].angle, 90);
    ASSERT_TRUE(SaveProject(project, dir.path() / "after.cfg"));
    EXPECT_EQ(ReadWhole(dir.path() / "before.cfg"), ReadWhole(dir.path() / "after.cfg"));
}

// Turned rectangles meet as they are drawn: two slanted names side by side
// whose boxes overlap do not meet, one laid across the other does.
TEST(RouteMapTurnedLabels, TurnedShapesOverlapOnlyWhereTheyMeet) {
    RouteMap map;
    map.width = 30;
    map.height = 30;
    RouteStop& stop = FixedStop(map, "Industriegebiet", {10, 15, 0, 1});
    stop.box = stop.stored;
    StopLabel slanted;
    slanted.angle = 45;
    StopLabel beside = slanted;
    beside.x = 24;  // 24 pixels along the row: 17 across the text, more than its height
    StopLabel across = slanted;
    across.angle = -45;
    across.x = 40;
    across.y = -40;
    const LabelShape a = StopLabelShape(map, stop, slanted);
    const LabelShape b = StopLabelShape(map, stop, beside);
    const LabelShape c = StopLabelShape(map, stop, across);
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
