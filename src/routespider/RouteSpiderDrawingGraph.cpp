// The stops and lines a route spider's strip shows: its ways merged into one
// graph in strip order, reduced to what a marked stop can reach, and the
// travel minutes between its stops.
#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "routespider/RouteSpiderDrawingParts.h"

namespace tak {

void CountEdges(SpiderGraph& graph) {
    for (auto& node : graph.nodes) node.incoming = node.outgoing = 0;
    for (const auto& edge : graph.edges) {
        ++graph.nodes[edge.from].outgoing;
        ++graph.nodes[edge.to].incoming;
    }
}

namespace {

std::optional<std::size_t> NodeOf(const std::vector<SpiderNode>& nodes, const SpiderStop* stop) {
    if (!stop) return std::nullopt;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].stop == stop) return i;
    }
    return std::nullopt;
}

// While the graph is being built, stops move along the node order as ways are
// inserted, so edges name their stops and get positions at the end.
struct StopEdge {
    const SpiderStop* from = nullptr;
    const SpiderStop* to = nullptr;
    bool bypass = false;
    int32_t level = 0;
};

struct GraphBuilder {
    std::vector<SpiderNode> nodes;
    std::vector<StopEdge> edges;
};

void AddMainWay(GraphBuilder& graph, const SpiderWay& way) {
    for (std::size_t i = 0; i < way.stops.size(); ++i) {
        graph.nodes.push_back({&way.stops[i], 0, 0});
        if (i > 0) graph.edges.push_back({&way.stops[i - 1], &way.stops[i]});
    }
}

// A later way hangs below the stretch between its branch and join points, one
// level deeper than any way already passing that stretch.
void AddAlternativeWay(GraphBuilder& graph, const RouteSpider& spider, const SpiderWay& way) {
    const SpiderStop* begin = FindSpiderStop(spider, way.begin);
    const SpiderStop* end = FindSpiderStop(spider, way.end);
    auto beginNode = NodeOf(graph.nodes, begin);
    auto endNode = NodeOf(graph.nodes, end);
    if (!beginNode) begin = nullptr;  // a point on a way that is not shown
    if (!endNode) end = nullptr;
    if (!begin && !end) return;
    if (way.stops.empty() && !(begin && end)) return;

    // Without one of the two points the stretch is the other point alone.
    std::size_t first = beginNode ? *beginNode : *endNode;
    std::size_t second = endNode ? *endNode : *beginNode;
    std::size_t low = std::min(first, second);
    std::size_t high = std::max(first, second);
    // Earlier ways hanging off the same point without coming back lie right
    // next to it; the new stops go between the point and them, so the lines to
    // them pass the new stops, which must lie deeper.
    if (!end) {
        int32_t pointLevel = graph.nodes[*beginNode].level;
        while (high + 1 < graph.nodes.size() && graph.nodes[high + 1].level > pointLevel) ++high;
    }
    if (!begin) {
        int32_t pointLevel = graph.nodes[*endNode].level;
        while (low > 0 && graph.nodes[low - 1].level > pointLevel) --low;
    }
    int32_t deepest = 0;
    for (std::size_t i = low; i <= high; ++i) deepest = std::max(deepest, graph.nodes[i].span);
    int32_t level = deepest + 1;

    std::size_t at = beginNode ? *beginNode + 1 : *endNode;
    std::vector<SpiderNode> inserted;
    for (const auto& stop : way.stops) inserted.push_back({&stop, level, level});
    graph.nodes.insert(graph.nodes.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());

    if (begin && end) {
        // Everything between the two points is now passed by this way.
        std::size_t from = *NodeOf(graph.nodes, begin);
        std::size_t to = *NodeOf(graph.nodes, end);
        if (from > to) std::swap(from, to);
        for (std::size_t i = from + 1; i < to; ++i) {
            graph.nodes[i].span = std::max(graph.nodes[i].span, level);
        }
    }

    if (way.stops.empty()) {
        graph.edges.push_back({begin, end, true, level});
        return;
    }
    const SpiderStop* previous = begin;
    for (const auto& stop : way.stops) {
        if (previous) graph.edges.push_back({previous, &stop});
        previous = &stop;
    }
    if (end) graph.edges.push_back({previous, end});
}

// Removes the nodes and edges not kept; edges keep pointing at the same nodes.
void KeepOnly(SpiderGraph& graph, const std::vector<bool>& keepNode, const std::vector<bool>& keepEdge) {
    std::vector<std::size_t> newPosition(graph.nodes.size(), 0);
    std::vector<SpiderNode> nodes;
    for (std::size_t i = 0; i < graph.nodes.size(); ++i) {
        newPosition[i] = nodes.size();
        if (keepNode[i]) nodes.push_back(graph.nodes[i]);
    }
    std::vector<SpiderEdge> edges;
    for (std::size_t e = 0; e < graph.edges.size(); ++e) {
        SpiderEdge edge = graph.edges[e];
        if (!keepEdge[e] || !keepNode[edge.from] || !keepNode[edge.to]) continue;
        edge.from = newPosition[edge.from];
        edge.to = newPosition[edge.to];
        edges.push_back(edge);
    }
    graph.nodes = std::move(nodes);
    graph.edges = std::move(edges);
}

// Keeps what a passenger at the marked stop can reach, and the way the line
// came from on the shallowest levels; that way is drawn on the main line.
void ReduceToMarkedStop(SpiderGraph& graph, std::size_t marked) {
    std::size_t count = graph.nodes.size();
    std::vector<bool> keepNode(count, false), keepEdge(graph.edges.size(), false), behind(count, false);

    std::vector<std::size_t> pending{marked};
    keepNode[marked] = true;
    while (!pending.empty()) {
        std::size_t node = pending.back();
        pending.pop_back();
        for (std::size_t e = 0; e < graph.edges.size(); ++e) {
            const SpiderEdge& edge = graph.edges[e];
            if (edge.from != node) continue;
            keepEdge[e] = true;
            if (!keepNode[edge.to]) {
                keepNode[edge.to] = true;
                pending.push_back(edge.to);
            }
        }
    }

    int32_t shallowest = graph.nodes[marked].level;
    std::vector<bool> walkedBack(count, false);
    walkedBack[marked] = true;
    pending.push_back(marked);
    while (!pending.empty()) {
        std::size_t node = pending.back();
        pending.pop_back();
        for (std::size_t e = 0; e < graph.edges.size(); ++e) {
            const SpiderEdge& edge = graph.edges[e];
            if (edge.to != node || edge.bypass || graph.nodes[edge.from].level > shallowest) continue;
            keepEdge[e] = true;
            shallowest = std::min(shallowest, graph.nodes[edge.from].level);
            if (walkedBack[edge.from]) continue;
            walkedBack[edge.from] = keepNode[edge.from] = behind[edge.from] = true;
            pending.push_back(edge.from);
        }
    }

    int32_t markedLevel = graph.nodes[marked].level;
    for (std::size_t i = 0; i < count; ++i) {
        auto& node = graph.nodes[i];
        node.level = behind[i] ? 0 : std::max(0, node.level - markedLevel);
    }
    for (auto& edge : graph.edges) {
        if (edge.bypass) edge.level = std::max(1, edge.level - markedLevel);
    }
    graph.nodes[marked].marked = true;
    KeepOnly(graph, keepNode, keepEdge);
    for (auto& node : graph.nodes) {
        if (node.marked) break;
        node.before = true;
    }
}

std::optional<std::size_t> FindMarkedNode(const std::vector<SpiderNode>& nodes, const RouteSpider& spider,
                                          const SpiderStop* markedStop) {
    if (!markedStop) return std::nullopt;
    if (auto node = NodeOf(nodes, markedStop)) return node;
    // A copy of one of the spider's stops names it by its key.
    return NodeOf(nodes, FindSpiderStop(spider, markedStop->key));
}

}  // namespace

SpiderGraph BuildSpiderGraph(const RouteSpider& spider, const SpiderStop* markedStop) {
    GraphBuilder builder;
    if (!spider.ways.empty()) AddMainWay(builder, spider.ways.front());
    for (std::size_t w = 1; w < spider.ways.size(); ++w) AddAlternativeWay(builder, spider, spider.ways[w]);

    SpiderGraph graph;
    graph.nodes = std::move(builder.nodes);
    for (const auto& stopEdge : builder.edges) {
        SpiderEdge edge;
        edge.from = *NodeOf(graph.nodes, stopEdge.from);
        edge.to = *NodeOf(graph.nodes, stopEdge.to);
        edge.bypass = stopEdge.bypass;
        edge.level = stopEdge.level;
        graph.edges.push_back(edge);
    }
    CountEdges(graph);
    if (auto marked = FindMarkedNode(graph.nodes, spider, markedStop)) {
        ReduceToMarkedStop(graph, *marked);
        CountEdges(graph);
    }
    return graph;
}

int32_t EdgeRunLevel(const SpiderGraph& graph, const SpiderEdge& edge) {
    int32_t level = std::max(graph.nodes[edge.from].level, graph.nodes[edge.to].level);
    return edge.bypass ? std::max(level, edge.level) : level;
}

std::optional<int32_t> SpiderMinutes(const RouteSpider& spider, const SpiderStop* markedStop, const SpiderStop& stop) {
    auto place = LocateSpiderStop(spider, stop.key);
    SpiderStopKey markedKey = markedStop ? markedStop->key : kNoSpiderStop;
    // Many long travel times could pass the 32-bit range; the sum is kept
    // in 64 bits and bounded when it is handed out.
    int64_t minutes = 0;
    auto bounded = [&minutes] {
        return static_cast<int32_t>(
            std::clamp<int64_t>(minutes, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    };
    // Each step moves to an earlier stop or an earlier way, so the walk ends;
    // the guard only protects against links that break the spider's rules.
    std::size_t steps = 0;
    for (const auto& way : spider.ways) steps += way.stops.size() + 1;
    while (place && steps-- > 0) {
        const SpiderWay& way = spider.ways[place->way];
        const SpiderStop& current = way.stops[place->stop];
        if (markedKey != kNoSpiderStop && current.key == markedKey) return bounded();
        if (place->stop > 0) {
            minutes += current.travelTime;
            --place->stop;
            continue;
        }
        // The first stop of a way counts from its branch point; without one
        // the way starts here.
        auto branch = LocateSpiderStop(spider, way.begin);
        if (branch && branch->way < place->way) minutes += current.travelTime;
        place = branch && branch->way < place->way ? branch : std::nullopt;
    }
    if (markedKey != kNoSpiderStop) return std::nullopt;
    return bounded();
}

}  // namespace tak
