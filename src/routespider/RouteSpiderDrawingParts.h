// Private to the route spider drawing: what its graph, layout and drawing
// files share.
#pragma once

#include "routespider/RouteSpiderDrawing.h"

namespace tak {

constexpr float kCos45 = 0.70710678f;  // also sin 45°: names are written upwards at 45°

// Counts each node's incoming and outgoing edges anew.
void CountEdges(SpiderGraph& graph);

}  // namespace tak
