// Drawing a route spider as a strip of stops, ways, travel times and
// interchanges on the current PDF page.
//
// The drawing runs in two steps: a layout that decides which stops are shown,
// on which level, in which row and where (pure, inspectable), and the drawing
// of that layout with the writer's text and path operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/RowHeights.h"
#include "routespider/RouteSpider.h"

namespace tak {

class PdfDocument;

// Draws `spider` at the page's cursor and leaves the cursor below the strip.
// With `markedStop` (a stop table's stop) the strip shows the network as
// seen from that stop; for timetables it is null. The caller has selected the
// output font; important stops are set in its bold form.
void DrawRouteSpider(PdfDocument& pdf, const RouteSpider& spider, const SpiderStop* markedStop,
                     const RowHeights& heights);

// --- Layout -----------------------------------------------------------------

// Vertical distance of the levels below the main way's line.
constexpr float kSpiderLevelStep = 15;

// A stop shown on the strip.
struct SpiderNode {
    const SpiderStop* stop = nullptr;
    int32_t level = 0;  // 0 = the main way's line, deeper levels lie below
    int32_t span = 0;   // deepest level of the ways that pass by this stop
    bool before = false;  // lies before the marked stop: drawn grey, no minutes
    bool marked = false;
    int32_t incoming = 0;
    int32_t outgoing = 0;
};

// A line between two shown stops; positions index SpiderGraph::nodes.
struct SpiderEdge {
    std::size_t from = 0;
    std::size_t to = 0;
    bool bypass = false;     // a way without stops of its own, drawn on `level`
    int32_t level = 0;       // used by bypass edges only
    bool collapsed = false;  // stands for removed stops: drawn dotted
};

struct SpiderGraph {
    std::vector<SpiderNode> nodes;  // in strip order, left to right
    std::vector<SpiderEdge> edges;
};

// The stops and lines of the spider, reduced to what can be reached from
// `markedStop` when one is given (a stop that is not on the spider marks nothing).
SpiderGraph BuildSpiderGraph(const RouteSpider& spider, const SpiderStop* markedStop);

// Level on which an edge runs between its two stops.
int32_t EdgeRunLevel(const SpiderGraph& graph, const SpiderEdge& edge);

// One strip line: a run of consecutive nodes at equal spacing.
struct SpiderRow {
    std::size_t firstNode = 0;
    std::size_t nodeCount = 0;
    int32_t slots = 1;   // spacings the row spans, lines leaving it included
    float spacing = 0;
    float left = 0;      // x of the row's first node
};

struct SpiderLayout {
    SpiderGraph graph;
    std::vector<SpiderRow> rows;
    float nameBand = 0;     // height taken by the names written upwards
    int32_t removedNodes = 0;
};

// Width of a stop's name as printed (bold for important stops).
using SpiderNameWidth = std::function<float(const SpiderStop&)>;

// Fits the spider into `width` starting at `leftMargin`: stops before a
// marked stop are left out first, then the strip is split into more rows.
SpiderLayout LayOutRouteSpider(const RouteSpider& spider, const SpiderStop* markedStop, float leftMargin,
                               float width, const SpiderNameWidth& nameWidth);

// Minutes from the marked stop (or from the start of the spider's ways) to
// `stop`, following its way backwards and on from each way's branch point.
// None when a stop is marked and the way back from `stop` does not pass it.
std::optional<int32_t> SpiderMinutes(const RouteSpider& spider, const SpiderStop* markedStop,
                                     const SpiderStop& stop);

}  // namespace tak
