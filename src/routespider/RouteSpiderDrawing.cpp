#include "routespider/RouteSpiderDrawing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

#include "pdf/Paginor.h"

namespace tak {

namespace {

constexpr float kCos45 = 0.70710678f;  // also sin 45°: names are written upwards at 45°
constexpr float kMarkRadius = 4;
constexpr float kCornerRadius = 5;
constexpr float kGrey = 192;
constexpr float kMarkedFill = 128;
constexpr float kLargestOneRowSpacing = 100;
constexpr float kSmallestSpacing = 20;
// Parts of a glyph box, in font sizes, that a name written upwards at 45°
// puts left of its start (the letters' height) and right of its end (what
// hangs below the line).
constexpr float kGlyphAscent = 1.05f;
constexpr float kGlyphDescent = 0.25f;
constexpr const char* kEllipsis = "\xE2\x80\xA6";  // "…"

// --- Nodes and edges -----------------------------------------------------------

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

void CountEdges(SpiderGraph& graph) {
    for (auto& node : graph.nodes) node.incoming = node.outgoing = 0;
    for (const auto& edge : graph.edges) {
        ++graph.nodes[edge.from].outgoing;
        ++graph.nodes[edge.to].incoming;
    }
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

// --- Drawing -------------------------------------------------------------------

struct Point {
    float x = 0;
    float y = 0;
};

// A path of lines and Bezier pieces from a start point.
struct PathPiece {
    bool curve = false;
    Point control1, control2, end;
};
struct EdgePath {
    Point start;
    std::vector<PathPiece> pieces;
    void LineTo(Point p) { pieces.push_back({false, {}, {}, p}); }
    void CurveTo(Point c1, Point c2, Point p) { pieces.push_back({true, c1, c2, p}); }
};

// Control distance of a quarter circle drawn as one Bezier piece.
constexpr float kQuarterCircle = 0.5522847f;

// Where an edge is drawn within one row: its two ends, the level it runs on
// and where it turns down after its start or up before its end.
struct EdgeCourse {
    Point start, end;
    float runY = 0;
    std::optional<float> turnDownX, turnUpX;
};

EdgePath TraceEdge(EdgeCourse course) {
    constexpr float r = kCornerRadius;
    constexpr float k = kQuarterCircle * r;
    if (course.turnDownX && course.turnUpX && *course.turnUpX - *course.turnDownX < 2 * r) {
        float middle = (*course.turnDownX + *course.turnUpX) / 2;
        course.turnDownX = middle - r;
        course.turnUpX = middle + r;
    }
    EdgePath path;
    path.start = course.start;
    if (course.turnDownX) {
        float x = *course.turnDownX;
        float y = course.start.y;
        path.LineTo({x - r, y});
        path.CurveTo({x - r + k, y}, {x, y + r - k}, {x, y + r});
        path.LineTo({x, course.runY - r});
        path.CurveTo({x, course.runY - r + k}, {x + r - k, course.runY}, {x + r, course.runY});
    }
    if (course.turnUpX) {
        float x = *course.turnUpX;
        float y = course.end.y;
        path.LineTo({x - r, course.runY});
        path.CurveTo({x - r + k, course.runY}, {x, course.runY - r + k}, {x, course.runY - r});
        path.LineTo({x, y + r});
        path.CurveTo({x, y + r - k}, {x + r - k, y}, {x + r, y});
    }
    path.LineTo(course.end);
    return path;
}

void StrokeSolid(PdfDocument& pdf, const EdgePath& path) {
    pdf.PathMoveTo(path.start.x, path.start.y);
    for (const auto& piece : path.pieces) {
        if (piece.curve) {
            pdf.PathCurveTo(piece.control1.x, piece.control1.y, piece.control2.x, piece.control2.y, piece.end.x,
                            piece.end.y);
        } else {
            pdf.PathLineTo(piece.end.x, piece.end.y);
        }
    }
    pdf.PaintPath(PdfPaint::Stroke);
}

Point OnBezier(Point p0, const PathPiece& piece, float t) {
    float u = 1 - t;
    float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * piece.control1.x + c * piece.control2.x + d * piece.end.x,
            a * p0.y + b * piece.control1.y + c * piece.control2.y + d * piece.end.y};
}

// The writer has no dash pattern, so a dotted line is a row of short strokes:
// a 1.5-point dash every 6 points along the path.
void StrokeDotted(PdfDocument& pdf, const EdgePath& path) {
    std::vector<Point> points{path.start};
    for (const auto& piece : path.pieces) {
        Point from = points.back();
        if (piece.curve) {
            for (int i = 1; i <= 6; ++i) points.push_back(OnBezier(from, piece, static_cast<float>(i) / 6));
        } else {
            points.push_back(piece.end);
        }
    }
    constexpr double kDash = 1.5, kPeriod = 6;
    // No page is that long: a piece beyond it lies off the page anyway, and
    // counting the dashes (instead of stepping a length) always ends.
    constexpr double kMostDashesPerPiece = 4096;
    double travelled = 0;  // along the path, where the current piece starts
    bool any = false;
    for (std::size_t i = 1; i < points.size(); ++i) {
        Point a = points[i - 1], b = points[i];
        double dx = double{b.x} - a.x, dy = double{b.y} - a.y;
        double length = std::hypot(dx, dy);
        if (!(length > 0) || !std::isfinite(length)) continue;
        double first = std::ceil(travelled / kPeriod);  // number of the next dash
        double dashes = std::min(std::ceil((travelled + length) / kPeriod) - first, kMostDashesPerPiece);
        for (int32_t k = 0; k < dashes; ++k) {
            double at = (first + k) * kPeriod;
            double t0 = (at - travelled) / length;
            double t1 = std::min(1.0, (at + kDash - travelled) / length);
            pdf.PathMoveTo(static_cast<float>(a.x + dx * t0), static_cast<float>(a.y + dy * t0));
            pdf.PathLineTo(static_cast<float>(a.x + dx * t1), static_cast<float>(a.y + dy * t1));
            any = true;
        }
        travelled += length;
    }
    if (any) pdf.PaintPath(PdfPaint::Stroke);
}

// The output font and its bold form; the caller's font is selected again at the end.
struct SpiderFonts {
    std::string family;
    std::string style;
    std::string boldStyle;
    float sizePt = 0;

    explicit SpiderFonts(const PdfDocument& pdf)
        : family(pdf.FontFamily().empty() ? std::string_view("Helvetica") : pdf.FontFamily()),
          style(pdf.FontStyle()),
          boldStyle(style.find('B') != std::string::npos ? style : "B" + style),
          sizePt(pdf.FontSizePt()) {}

    void Select(PdfDocument& pdf, bool bold) const { pdf.SelectFont(family, bold ? boldStyle : style, sizePt); }
};

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t feed = text.find('\n');
        std::string_view line = text.substr(0, feed);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (feed == std::string_view::npos) break;
        text.remove_prefix(feed + 1);
    }
    return lines;
}

class SpiderPainter {
public:
    SpiderPainter(PdfDocument& pdf, const RouteSpider& spider, const SpiderLayout& layout, const SpiderFonts& fonts,
                  const RowHeights& heights)
        : pdf_(pdf), spider_(spider), layout_(layout), fonts_(fonts), heights_(heights) {
        for (std::size_t r = 0; r < layout.rows.size(); ++r) {
            const auto& row = layout.rows[r];
            for (std::size_t i = 0; i < row.nodeCount; ++i) rowOfNode_.push_back(r);
        }
        for (const auto& node : layout.graph.nodes) {
            if (node.marked) markedStop_ = node.stop;
        }
    }

    void DrawRow(std::size_t r) {
        const SpiderRow& row = layout_.rows[r];
        auto regular = static_cast<float>(heights_.regular);
        auto bold = static_cast<float>(heights_.bold);
        float y = pdf_.CursorY() + layout_.nameBand;
        DrawNames(row, y);
        float minutesTop = y;
        if (spider_.displayTravel == kTravelOnTop) y += bold;
        y += 7;
        float lineY = y;
        for (const auto& edge : layout_.graph.edges) DrawEdge(r, edge, lineY);
        DrawMarks(row, lineY);
        y += 4;
        if (spider_.displayTravel == kTravelBeneath) {
            minutesTop = y;
            y += bold;
        }
        float deepest = DrawInterchanges(row, y, regular);
        for (const auto& edge : layout_.graph.edges) {
            if (Touches(r, edge)) deepest = std::max(deepest, LevelY(EdgeRunLevel(layout_.graph, edge)));
        }
        y += deepest + 20;
        // Only the two known places have a line for the minutes; any other
        // value from a hand-edited file shows none.
        if (spider_.displayTravel == kTravelOnTop || spider_.displayTravel == kTravelBeneath) {
            DrawMinutes(row, minutesTop, bold);
        }
        pdf_.SetCursorY(y);
    }

private:
    static float LevelY(int32_t level) { return kSpiderLevelStep * static_cast<float>(level); }

    float NodeX(const SpiderRow& row, std::size_t node) const {
        return row.left + (static_cast<float>(node) - static_cast<float>(row.firstNode)) * row.spacing;
    }

    float LeftLimit() const { return pdf_.LeftMargin(); }
    float RightLimit() const { return pdf_.PageWidth() - pdf_.RightMargin(); }

    // Centred on x, but a long text under the first or last stop is moved
    // back inside the margins rather than run over them.
    float CentredLeft(float x, float textWidth) const {
        float left = x - textWidth / 2;
        left = std::min(left, RightLimit() - textWidth);
        return std::max(left, LeftLimit());
    }

    // `text` cut to at most `width` in the current font, ending with "…"
    // when anything was cut.
    std::string FitWidth(std::string text, float width) const {
        if (pdf_.TextWidth(text) <= width) return text;
        while (!text.empty()) {
            while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
            if (!text.empty()) text.pop_back();
            if (pdf_.TextWidth(text + kEllipsis) <= width) break;
        }
        text += kEllipsis;
        return pdf_.TextWidth(text) <= width ? text : std::string();
    }

    bool Touches(std::size_t r, const SpiderEdge& edge) const {
        return rowOfNode_[edge.from] == r || rowOfNode_[edge.to] == r;
    }

    void DrawNames(const SpiderRow& row, float y) {
        for (std::size_t i = row.firstNode; i < row.firstNode + row.nodeCount; ++i) {
            const SpiderNode& node = layout_.graph.nodes[i];
            float x = NodeX(row, i);
            pdf_.SetTextPaint(node.before ? kGrey : 0);
            fonts_.Select(pdf_, node.stop->important);
            // A name that would run over the right margin is shortened.
            float room = (RightLimit() - x) / kCos45 - kGlyphDescent * fonts_.sizePt;
            std::string name = FitWidth(node.stop->name, std::max(room, 0.0f));
            pdf_.RotateAround(45, x, y);
            pdf_.PutText(x, y, name);
            pdf_.RotateAround(0, -1, -1);
        }
        fonts_.Select(pdf_, false);
    }

    // An edge that continues in another row ends one spacing beyond this
    // row's first or last stop, on the level it runs on.
    void DrawEdge(std::size_t r, const SpiderEdge& edge, float lineY) {
        if (!Touches(r, edge)) return;
        const SpiderRow& row = layout_.rows[r];
        const SpiderNode& from = layout_.graph.nodes[edge.from];
        const SpiderNode& to = layout_.graph.nodes[edge.to];
        int32_t run = EdgeRunLevel(layout_.graph, edge);
        float beyondLeft = row.left - row.spacing;
        float beyondRight = NodeX(row, row.firstNode + row.nodeCount);
        std::size_t fromRow = rowOfNode_[edge.from];
        std::size_t toRow = rowOfNode_[edge.to];

        EdgeCourse course;
        course.runY = lineY + LevelY(run);
        if (fromRow == r) {
            float x = NodeX(row, edge.from);
            course.start = {x + kMarkRadius, lineY + LevelY(from.level)};
            if (run > from.level) course.turnDownX = x + row.spacing / 2;
        } else {
            course.start = {fromRow < r ? beyondLeft : beyondRight, course.runY};
        }
        if (toRow == r) {
            float x = NodeX(row, edge.to);
            course.end = {x - kMarkRadius, lineY + LevelY(to.level)};
            if (run > to.level) course.turnUpX = x - row.spacing / 2;
        } else {
            course.end = {toRow > r ? beyondRight : beyondLeft, course.runY};
        }
        pdf_.SetStrokePaint(from.before ? kGrey : 0);
        EdgePath path = TraceEdge(course);
        if (edge.collapsed) {
            StrokeDotted(pdf_, path);
        } else {
            StrokeSolid(pdf_, path);
        }
    }

    void DrawMarks(const SpiderRow& row, float lineY) {
        for (std::size_t i = row.firstNode; i < row.firstNode + row.nodeCount; ++i) {
            const SpiderNode& node = layout_.graph.nodes[i];
            float x = NodeX(row, i);
            float y = lineY + LevelY(node.level);
            pdf_.SetStrokePaint(node.before ? kGrey : 0);
            if (node.marked || node.stop->important) {
                pdf_.SetFillPaint(node.marked ? kMarkedFill : kGrey);
                pdf_.DrawCircle(x, y, kMarkRadius, PdfPaint::FillAndStroke);
            } else {
                pdf_.DrawCircle(x, y, kMarkRadius, PdfPaint::CloseAndStroke);
            }
        }
    }

    // Returns how far below `y` the row's levels and texts reach.
    float DrawInterchanges(const SpiderRow& row, float y, float regular) {
        float deepest = 0;
        for (std::size_t i = row.firstNode; i < row.firstNode + row.nodeCount; ++i) {
            const SpiderNode& node = layout_.graph.nodes[i];
            float below = LevelY(node.level);
            if (!node.stop->changes.empty()) {
                float x = NodeX(row, i);
                pdf_.SetTextPaint(node.before ? kGrey : 0);
                below += regular / 2 + 3;
                bool firstLine = true;
                for (std::string_view line : SplitLines(node.stop->changes)) {
                    if (!firstLine) below += regular;
                    firstLine = false;
                    std::string text = FitWidth(std::string(line), RightLimit() - LeftLimit());
                    pdf_.PutText(CentredLeft(x, pdf_.TextWidth(text)), y + below, text);
                }
            }
            deepest = std::max(deepest, below);
        }
        return deepest;
    }

    void DrawMinutes(const SpiderRow& row, float top, float bold) {
        pdf_.SetTextPaint(0);
        fonts_.Select(pdf_, true);
        for (std::size_t i = row.firstNode; i < row.firstNode + row.nodeCount; ++i) {
            const SpiderNode& node = layout_.graph.nodes[i];
            if (node.before) continue;
            auto minutes = SpiderMinutes(spider_, markedStop_, *node.stop);
            if (!minutes) continue;
            std::string text = std::to_string(*minutes);
            // Beneath the marks, each stop's minutes stand under its own mark.
            float level = spider_.displayTravel == kTravelBeneath ? LevelY(node.level) : 0;
            pdf_.PutText(NodeX(row, i) - pdf_.TextWidth(text) / 2, top + level + bold * 0.75f, text);
        }
        fonts_.Select(pdf_, false);
    }

    PdfDocument& pdf_;
    const RouteSpider& spider_;
    const SpiderLayout& layout_;
    const SpiderFonts& fonts_;
    const RowHeights& heights_;
    std::vector<std::size_t> rowOfNode_;
    const SpiderStop* markedStop_ = nullptr;
};

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

SpiderLayout LayOutRouteSpider(const RouteSpider& spider, const SpiderStop* markedStop, float leftMargin,
                               float width, const SpiderNameWidth& nameWidth) {
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

std::optional<int32_t> SpiderMinutes(const RouteSpider& spider, const SpiderStop* markedStop,
                                     const SpiderStop& stop) {
    auto place = LocateSpiderStop(spider, stop.key);
    SpiderStopKey markedKey = markedStop ? markedStop->key : kNoSpiderStop;
    // Many long travel times could pass the 32-bit range; the sum is kept
    // in 64 bits and bounded when it is handed out.
    int64_t minutes = 0;
    auto bounded = [&minutes] {
        return static_cast<int32_t>(std::clamp<int64_t>(minutes, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
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

void DrawRouteSpider(PdfDocument& pdf, const RouteSpider& spider, const SpiderStop* markedStop,
                     const RowHeights& heights) {
    SpiderFonts fonts(pdf);
    // Every name is measured once, all bold ones under one font selection:
    // each switch of the font is written into the page.
    std::unordered_map<const SpiderStop*, float> widths;
    for (bool bold : {false, true}) {
        fonts.Select(pdf, bold);
        for (const auto& way : spider.ways) {
            for (const auto& stop : way.stops) {
                if (stop.important == bold) widths[&stop] = pdf.TextWidth(stop.name);
            }
        }
    }
    SpiderNameWidth nameWidth = [&widths](const SpiderStop& stop) {
        auto found = widths.find(&stop);
        return found == widths.end() ? 0.0f : found->second;
    };
    // Names written upwards reach left of their first letter by the letters'
    // height and right of their end by what hangs below the line: the strip
    // keeps that much inside the margins.
    float leftInset = std::max(0.0f, std::ceil(kGlyphAscent * fonts.sizePt * kCos45) - 4);
    float rightInset = std::ceil(kGlyphDescent * fonts.sizePt * kCos45);
    float width = pdf.PageWidth() - pdf.LeftMargin() - pdf.RightMargin() - leftInset - rightInset;
    SpiderLayout layout = LayOutRouteSpider(spider, markedStop, pdf.LeftMargin() + leftInset, width, nameWidth);
    fonts.Select(pdf, false);
    if (layout.graph.nodes.empty()) return;

    SpiderPainter painter(pdf, spider, layout, fonts, heights);
    for (std::size_t r = 0; r < layout.rows.size(); ++r) painter.DrawRow(r);
    pdf.SetTextPaint(0);
    pdf.SetStrokePaint(0);
    pdf.SetFillPaint(0);
}

}  // namespace tak
