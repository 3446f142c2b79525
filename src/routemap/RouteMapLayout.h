// The automatic layout of the route map: it resolves line colours, places
// automatic stops between stops the user has fixed, routes every connection
// through the grid with an A* search that avoids stop boxes and prefers
// straight runs, completes automatic connection ends, adds dotted-stroke marks
// and line-name signs, and places automatic stop labels.
//
// The layout runs from scratch every time and never fails: whatever cannot be
// placed or routed stays unplaced or without a path and is not drawn. It
// reads the saved map and writes nothing into it: what it works out is a
// RouteMapLayoutResult, which drawing, hit tests and output take beside the
// map it was made from.
//
// The search grid and the label placement the run is made of are in
// RouteMapLayoutParts.h, for the layout's own files and their tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "routemap/RouteMap.h"

namespace tak {

// The largest grid side the layout works on; a larger map (only a
// hand-edited file can ask for one) gets its colours and nothing else.
constexpr int32_t kMaxLayoutGridSide = 2048;

// Where the layout puts a stop.
struct StopPlace {
    StopBox box;                    // x = y = -1: not placed
    std::vector<StopLabel> labels;  // the stop's labels as drawn, automatic ones placed
    bool operator==(const StopPlace&) const = default;
};

// How the layout routes a connection.
struct ConnectionRoute {
    std::array<ConnectionEnd, 2> ends;  // the stored ends, automatic sides and ports completed
    std::vector<GridPoint> path;        // cells from end 0 to end 1; empty when not routed
    std::vector<Sign> signs;            // the user's and the layout's, in drawing order
    bool operator==(const ConnectionRoute&) const = default;
};

// What the layout works out for one saved map. Its lists run parallel to the
// map's: lines[i] belongs to map.lines[i], and so on. It is valid for the map
// as it was laid out; any edit calls for a new layout.
struct RouteMapLayoutResult {
    std::vector<LineLook> lines;
    std::vector<StopPlace> stops;
    std::vector<ConnectionRoute> connections;
    // Automatic labels (a block of badges counts once) that found no free
    // place and were left where the plain rule puts them.
    int32_t crowdedLabels = 0;
    bool operator==(const RouteMapLayoutResult&) const = default;

    // Look-ups by key through the map the result was made of; null for keys
    // the map does not have.
    const LineLook* LineOf(const RouteMap& map, RouteKey key) const;
    const StopPlace* StopOf(const RouteMap& map, RouteKey key) const;
    const ConnectionRoute* RouteOf(const RouteMap& map, RouteKey key) const;
};

// The layout of a map nothing is placed on: colours resolved, stops
// unplaced, connections unrouted with their stored ends and signs.
RouteMapLayoutResult UnplacedLayout(const RouteMap& map);

// The whole run.
RouteMapLayoutResult LayoutRouteMap(const RouteMap& map);

// The searches of a map's last layout run, kept by the editor so that the
// run after an edit repeats only the searches the edit can change. A search
// is reused only when its starts, goals and costs are the same and every
// cell it looked at is blocked as it was then, so the layout comes out
// exactly as a run without the cache.
class RouteMapLayoutCache {
public:
    RouteMapLayoutCache();
    ~RouteMapLayoutCache();
    RouteMapLayoutCache(const RouteMapLayoutCache&) = delete;
    RouteMapLayoutCache& operator=(const RouteMapLayoutCache&) = delete;

    struct Stats {
        int64_t reused = 0;
        int64_t searched = 0;
    };
    // How many searches the last run reused and made.
    Stats LastRun() const;

    struct Impl;

private:
    friend RouteMapLayoutResult LayoutRouteMap(const RouteMap& map, RouteMapLayoutCache* cache);
    std::unique_ptr<Impl> impl_;
};

// The run with the searches of the last run at hand (none: a plain run).
RouteMapLayoutResult LayoutRouteMap(const RouteMap& map, RouteMapLayoutCache* cache);

// A map read from a file that counted label offsets from the top-left corner
// of their stop's box: every label placed by hand is moved to count from the
// centre of the box the layout gives its stop.
void ShiftOldLabelOffsets(RouteMap& map);

}  // namespace tak
