// Lines side by side where they share a stretch. The router lets several
// lines run over the same cells; drawn on their common centre they would
// hide each other. This step gives every line on a shared step its own lane
// across the step, in one order along the whole stretch, chosen so that
// lines cross as rarely as possible: two lines that part at the stretch's
// end lie on the side they turn to there (looking first ahead, then back).
//
// A pure step: the laid-out map in, the lanes out; drawing, label placement and the
// crossing count all read the same result.
#pragma once

#include <cstdint>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

// The displacement of a drawn step from the line between its cell centres,
// in pixels; (0, 0) on a step no other line uses.
struct LaneShift {
    double x = 0;
    double y = 0;
    bool operator==(const LaneShift&) const = default;
    // Rounded to whole pixels for the raster drawing.
    GridPoint Pixels() const;
};

// One list per connection, in the map's connection order, with one shift
// per step of its path (path size - 1 entries).
struct LineLanes {
    std::vector<std::vector<LaneShift>> shifts;
    // The shift of step `step` of the connection at `index`; none outside.
    LaneShift At(std::size_t index, std::size_t step) const;
};

// How lines are ordered across a shared step.
enum class LaneOrdering {
    kListOrder,      // by their place in the line list, the same everywhere
    kFewCrossings,   // by where they part, as told above
};

// The lanes of every laid-out path. Lanes touch with one pixel between them
// and are as wide as the lines drawn in them (casing included); where that
// would spread them wider than eight cells, they are pressed together.
LineLanes ComputeLineLanes(const RouteMap& map, const RouteMapLayoutResult& layout,
                           LaneOrdering ordering = LaneOrdering::kFewCrossings);

// How often two different lines cross where they pass through a cell
// together: at each cell, every line that runs through it joins the point
// where it enters to the point where it leaves, and two such chords of
// different lines that interleave around the cell count as one crossing.
int32_t CountLineCrossings(const RouteMap& map, const RouteMapLayoutResult& layout, const LineLanes& lanes);

}  // namespace tak
