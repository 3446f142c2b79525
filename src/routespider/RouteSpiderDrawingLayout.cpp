// The layout of a route spider's strip: how many stops fit the page's width
// (leaving stops out before a marked one), and the rows the strip is split
// into.
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "routespider/RouteSpiderDrawingParts.h"

namespace tak {

namespace {

constexpr float kLargestOneRowSpacing = 100;
constexpr float kSmallestSpacing = 20;

// --- Fitting -------------------------------------------------------------------

struct FitTest {
    int32_t perRow = 1;
    float nameBand = 0;
    float spacing = 0;
    float offset = 0;  // a one-row strip narrower than the page is centred
    bool fits = false;
};

FitTest TestFit(const SpiderGraph& graph, int32_t rows, float width, const SpiderNameWidth& nameWidth) {
    float widest = 0;
    for (const auto& node : graph.nodes) widest = std::max(widest, nameWidth(*node.stop));
    widest = std::round(widest);
    auto count = static_cast<int32_t>(graph.nodes.size());

    FitTest test;
    test.perRow = std::max(1, (count + rows - 2 + rows - 1) / rows);
    float overhang = std::fabs(widest * kCos45) - 4;
    test.nameBand = std::round(std::fabs(widest * kCos45) + 10);
    test.spacing = (width - overhang - 8) / static_cast<float>(test.perRow);
    if (rows == 1 && test.spacing > kLargestOneRowSpacing) {
        test.offset = std::round((test.spacing - kLargestOneRowSpacing) * static_cast<float>(test.perRow) / 2);
        test.spacing = kLargestOneRowSpacing;
    }
    test.fits = std::floor(test.spacing) >= kSmallestSpacing;
    return test;
}

bool IsBranchOrJoin(const SpiderNode& node) { return node.incoming > 1 || node.outgoing > 1; }

// Edge counts as seen when choosing a stop to leave out: the neighbours of a
// branch or join count as much as it, so the stops around it stay visible.
std::vector<SpiderNode> WithInheritedCounts(const SpiderGraph& graph) {
    std::vector<SpiderNode> nodes = graph.nodes;
    auto inherit = [&](std::size_t heir, const SpiderNode& source) {
        nodes[heir].incoming = std::max(nodes[heir].incoming, source.incoming);
        nodes[heir].outgoing = std::max(nodes[heir].outgoing, source.outgoing);
    };
    for (const auto& edge : graph.edges) {
        if (IsBranchOrJoin(graph.nodes[edge.from])) inherit(edge.to, graph.nodes[edge.from]);
        if (IsBranchOrJoin(graph.nodes[edge.to])) inherit(edge.from, graph.nodes[edge.to]);
    }
    return nodes;
}

// First the stops the line passed before the marked one (the line's first
// stop stays), then plain stops from the far end; ordinary stops go before
// important ones.
std::optional<std::size_t> ChooseNodeToRemove(const SpiderGraph& graph) {
    std::vector<SpiderNode> nodes = WithInheritedCounts(graph);
    std::optional<std::size_t> plain, important;
    auto consider = [&](std::size_t i) {
        auto& choice = nodes[i].stop->important ? important : plain;
        if (!choice) choice = i;
    };
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const auto& node = nodes[i];
        if (node.before && !node.marked && node.incoming <= 1 && node.outgoing <= 1) consider(i);
    }
    if (plain || important) return plain ? plain : important;
    for (std::size_t i = nodes.size(); i-- > 0;) {
        const auto& node = nodes[i];
        if (node.before) break;
        if (!node.marked && node.incoming == 1 && node.outgoing == 1) consider(i);
    }
    return plain ? plain : important;
}

// A stop between two others leaves a dotted line for the stops left out.
void RemoveNode(SpiderGraph& graph, std::size_t removed) {
    std::vector<SpiderEdge> edges;
    std::vector<SpiderEdge> incoming, outgoing;
    for (const auto& edge : graph.edges) {
        if (edge.to == removed) {
            incoming.push_back(edge);
        } else if (edge.from == removed) {
            outgoing.push_back(edge);
        } else {
            edges.push_back(edge);
        }
    }
    if (incoming.size() == 1 && outgoing.size() == 1) {
        SpiderEdge joined;
        joined.from = incoming.front().from;
        joined.to = outgoing.front().to;
        joined.collapsed = true;
        edges.push_back(joined);
    }
    for (auto& edge : edges) {
        if (edge.from > removed) --edge.from;
        if (edge.to > removed) --edge.to;
    }
    graph.edges = std::move(edges);
    graph.nodes.erase(graph.nodes.begin() + static_cast<std::ptrdiff_t>(removed));
    CountEdges(graph);
}

// --- Rows ----------------------------------------------------------------------

// Slots per row: the first row takes its share first, then the last row,
// then the middle rows in order, each from what is left.
std::vector<int32_t> SlotsPerRow(int32_t nodeCount, int32_t rows) {
    std::vector<int32_t> slots(static_cast<std::size_t>(rows), 0);
    int32_t rest = nodeCount + rows - 2;
    if (rows == 1) {
        slots[0] = std::max(1, rest);
        return slots;
    }
    slots[0] = rest / rows;
    rest -= slots[0];
    slots.back() = rest / (rows - 1);
    rest -= slots.back();
    for (int32_t r = 1; r < rows - 1; ++r) {
        slots[static_cast<std::size_t>(r)] = rest / (rows - r - 1);
        rest -= slots[static_cast<std::size_t>(r)];
    }
    return slots;
}

// Rows after the first begin with the line coming in from the row above, and
// rows before the last end with the line leaving; the names of a row's last
// stop must still fit to its right.
std::vector<SpiderRow> SplitIntoRows(const SpiderGraph& graph, int32_t rows, const FitTest& fit, float leftMargin,
                                     float width, const SpiderNameWidth& nameWidth) {
    auto count = static_cast<int32_t>(graph.nodes.size());
    std::vector<int32_t> slots = SlotsPerRow(count, rows);
    std::vector<SpiderRow> result;
    int32_t placed = 0;
    for (int32_t r = 0; r < rows; ++r) {
        bool first = r == 0;
        bool last = r == rows - 1;
        SpiderRow row;
        row.slots = std::max(1, slots[static_cast<std::size_t>(r)]);
        int32_t shown = rows == 1 ? count : (first || last) ? row.slots : row.slots - 1;
        shown = last ? count - placed : std::clamp(shown, 0, count - placed);
        row.firstNode = static_cast<std::size_t>(placed);
        row.nodeCount = static_cast<std::size_t>(shown);
        placed += shown;

        float rowWidth = rows == 1 ? width : (first || last) ? width + 8 : width + 16;
        float overhang =
            shown > 0 ? std::fabs(nameWidth(*graph.nodes[row.firstNode + row.nodeCount - 1].stop) * kCos45) : 0;
        auto slotCount = static_cast<float>(row.slots);
        if (last) rowWidth -= overhang;
        row.spacing = (rowWidth - 8) / slotCount;
        if (!last && overhang + 8 > row.spacing) {
            rowWidth -= overhang + 8 - row.spacing;
            row.spacing = (rowWidth - 8) / slotCount;
        }
        float offset = 0;
        if (rows == 1) {
            row.spacing = std::min(row.spacing, kLargestOneRowSpacing);
            offset = fit.offset;
        } else if (!first) {
            offset = row.spacing - 8;
        }
        row.left = leftMargin + offset + 4;
        result.push_back(row);
    }
    return result;
}

}  // namespace

SpiderLayout LayOutRouteSpider(const RouteSpider& spider, const SpiderStop* markedStop, float leftMargin, float width,
                               const SpiderNameWidth& nameWidth) {
    SpiderLayout layout;
    layout.graph = BuildSpiderGraph(spider, markedStop);
    if (layout.graph.nodes.empty()) return layout;
    bool marked = std::any_of(layout.graph.nodes.begin(), layout.graph.nodes.end(),
                              [](const SpiderNode& node) { return node.marked; });

    int32_t rows = 1;
    FitTest fit;
    for (;;) {
        fit = TestFit(layout.graph, rows, width, nameWidth);
        if (fit.fits) break;
        if (marked) {
            if (auto node = ChooseNodeToRemove(layout.graph)) {
                RemoveNode(layout.graph, *node);
                ++layout.removedNodes;
                continue;
            }
        }
        // Beyond n - 2 rows every row holds two spacings at most: more rows
        // cannot make room, so names too long for the page stay too long.
        if (rows >= std::max<int32_t>(1, static_cast<int32_t>(layout.graph.nodes.size()) - 2)) break;
        ++rows;
    }
    layout.nameBand = fit.nameBand;
    layout.rows = SplitIntoRows(layout.graph, rows, fit, leftMargin, width, nameWidth);
    return layout;
}

}  // namespace tak
