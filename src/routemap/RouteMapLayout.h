// The automatic layout of the route map: it resolves line colours, places
// automatic stops between stops the user has fixed, routes every connection
// through the grid with an A* search that avoids stop boxes and prefers
// straight runs, completes automatic connection ends, adds dotted-stroke marks
// and line-name signs, and places automatic stop labels.
//
// The layout runs from scratch every time and never fails: whatever cannot be
// placed or routed stays unplaced or without a path and is not drawn.
//
// The search grid and the label placement the run is made of are in
// RouteMapLayoutParts.h, for the layout's own files and their tests.
#pragma once

#include <cstdint>
#include <memory>

#include "routemap/RouteMap.h"

namespace tak {

// The largest grid side the layout works on; a larger map (only a
// hand-edited file can ask for one) gets its colours and nothing else.
constexpr int32_t kMaxLayoutGridSide = 2048;

// The whole run. Writes every stop's box (and the stored box of automatic
// stops it places), every connection's work ends, path and work signs, the
// lines' resolved colours and the positions of automatic labels. Fits the
// route map layout hook of the application context.
void LayoutRouteMap(RouteMap& map);

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
    friend void LayoutRouteMap(RouteMap& map, RouteMapLayoutCache* cache);
    std::unique_ptr<Impl> impl_;
};

// The run with the searches of the last run at hand (none: a plain run).
void LayoutRouteMap(RouteMap& map, RouteMapLayoutCache* cache);

}  // namespace tak
