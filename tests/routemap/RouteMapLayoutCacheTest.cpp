// The editor's layout with the searches of the last run kept: after any edit
// it must lay the map out exactly as a run from scratch does.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapEdit.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

// Everything the layout works out, as text.
std::string Dump(const RouteMapLayoutResult& layout) {
    std::ostringstream out;
    out << "crowded " << layout.crowdedLabels << "\n";
    for (const LineLook& line : layout.lines) out << "line " << line.colourIndex << "\n";
    for (const StopPlace& stop : layout.stops) {
        out << "box " << stop.box.x << "," << stop.box.y << " " << stop.box.width << "x" << stop.box.height;
        for (const StopLabel& label : stop.labels) out << " label " << label.x << "," << label.y << "@" << label.angle;
        out << "\n";
    }
    for (const ConnectionRoute& c : layout.connections) {
        for (const ConnectionEnd& end : c.ends) out << " end " << end.stop << "/" << end.side << "/" << end.port;
        out << " path";
        for (const GridPoint& p : c.path) out << " " << p.x << "," << p.y;
        out << " signs";
        for (const Sign& sign : c.signs) out << " " << sign.type << ":" << sign.pos;
        out << "\n";
    }
    return out.str();
}

struct RandomEditor {
    std::mt19937 random;
    explicit RandomEditor(unsigned seed) : random(seed) {}
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(n)); }

    RouteMap StartMap() {
        RouteMap map;
        map.width = 30;
        map.height = 24;
        for (int l = 0; l < 4; ++l) {
            std::vector<std::string> names;
            for (int i = 0; i < 6; ++i) names.push_back(test::Numbered("S", Below(14)));
            RouteKey line = AddLineFromStops(map, std::to_string(l + 1), names).line;
            FindRouteLine(map, line)->autoNames = Below(2) == 0;
            FindRouteLine(map, line)->stroke = Below(4) == 0 ? 1 : 0;
        }
        // About half the stops fixed, the rest placed by the layout.
        for (RouteStop& stop : map.stops) {
            if (Below(2) == 0) continue;
            stop.automatic = false;
            stop.stored = {Below(map.width - 2), Below(map.height - 2), Below(2), Below(2) == 0 ? 0 : 1};
        }
        return map;
    }

    RouteStop* AnyStop(RouteMap& map) {
        return map.stops.empty() ? nullptr : &map.stops[static_cast<std::size_t>(Below(static_cast<int>(map.stops.size())))];
    }

    void Edit(RouteMap& map) {
        switch (Below(7)) {
            case 0: {  // move one stop, as the area arrows do
                if (RouteStop* stop = AnyStop(map)) {
                    AreaSelection area;
                    area.stops.insert(stop->key);
                    MoveRouteMap(map, Below(3) - 1, Below(3) - 1, &area);
                }
                break;
            }
            case 1:  // fix a stop on a cell by a click
                if (RouteStop* stop = AnyStop(map)) {
                    stop->automatic = false;
                    stop->stored.x = Below(map.width);
                    stop->stored.y = Below(map.height);
                }
                break;
            case 2: MoveRouteMap(map, Below(3) - 1, Below(3) - 1); break;
            case 3:  // a node on a connection
                if (!map.connections.empty()) {
                    map.connections[static_cast<std::size_t>(Below(static_cast<int>(map.connections.size())))]
                        .nodes.push_back({Below(map.width), Below(map.height)});
                }
                break;
            case 4:
                if (RouteStop* stop = AnyStop(map)) DeleteRouteStop(map, stop->key, {});
                break;
            case 5:
                AddLineFromStops(map, std::to_string(1 + Below(5)), {test::Numbered("S", Below(16)), "S3"});
                break;
            default: map.allowDiag = !map.allowDiag; break;
        }
    }
};

TEST(RouteMapLayoutCache, LaysOutAsAFullRunAfterRandomEdits) {
    int64_t reused = 0;
    int64_t searched = 0;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        RandomEditor editor(seed);
        RouteMap edited = editor.StartMap();
        RouteMapLayoutCache cache;
        for (int step = 0; step < 25; ++step) {
            editor.Edit(edited);
            const RouteMapLayoutResult cached = LayoutRouteMap(edited, &cache);
            reused += cache.LastRun().reused;
            searched += cache.LastRun().searched;
            const RouteMapLayoutResult fresh = LayoutRouteMap(edited);
            ASSERT_EQ(Dump(cached), Dump(fresh)) << "seed " << seed << " step " << step;
            ASSERT_TRUE(cached == fresh) << "seed " << seed << " step " << step;
        }
    }
    // The cache does its work even with whole-map moves and switches of the
    // diagonals among the edits, which leave nothing to reuse.
    EXPECT_GT(reused * 3, reused + searched);
}

TEST(RouteMapLayoutCache, StartsAfreshWhenTheGridChangesSize) {
    RandomEditor editor(3);
    RouteMap map = editor.StartMap();
    RouteMapLayoutCache cache;
    LayoutRouteMap(map, &cache);
    map.width = 26;
    const RouteMapLayoutResult cached = LayoutRouteMap(map, &cache);
    // Cell indices change with the width, so nothing of the old grid is
    // taken over: the run searches as much as one with an empty cache.
    RouteMapLayoutCache empty;
    const RouteMapLayoutResult fresh = LayoutRouteMap(map, &empty);
    EXPECT_GT(cache.LastRun().searched, 0);
    EXPECT_EQ(cache.LastRun().searched, empty.LastRun().searched);
    EXPECT_EQ(Dump(cached), Dump(fresh));
}

// What the cache checks before it reuses a search: the search names the
// blocked cells it turned away without touching them, beside the touched ones.
TEST(RouteMapLayoutCache, SearchReportsTheBlockedCellsItLookedAt) {
    LayoutGrid grid(5, 3);
    grid.AddPendingBlock({2, 1});
    grid.ApplyPendingBlocks();
    std::vector<int32_t> blocked;
    std::optional<GridPoint> goal = FindPath(grid, false, {SearchStart{0, 1}}, {SearchGoal{4, 1, 0, -1}}, &blocked);
    ASSERT_TRUE(goal);
    const int32_t stop = grid.IndexOf({2, 1});
    EXPECT_NE(std::find(blocked.begin(), blocked.end(), stop), blocked.end());
    EXPECT_EQ(std::find(grid.Touched().begin(), grid.Touched().end(), stop), grid.Touched().end());
}

}  // namespace
}  // namespace tak
