// Drawing a laid-out route spider: edges as solid or dotted paths, stop
// marks, names written upwards, travel minutes and interchanges.
#include "routespider/RouteSpiderDrawing.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>

#include "pdf/Paginor.h"
#include "routespider/RouteSpiderDrawingParts.h"

namespace tak {

namespace {

constexpr float kMarkRadius = 4;
constexpr float kCornerRadius = 5;
constexpr float kGrey = 192;
constexpr float kMarkedFill = 128;
constexpr float kMarkedNameFill = 215;  // the band behind the name of the stop the table is for
// Parts of a glyph box, in font sizes, that a name written upwards at 45°
// puts left of its start (the letters' height) and right of its end (what
// hangs below the line).
constexpr float kGlyphAscent = 1.05f;
constexpr float kGlyphDescent = 0.25f;
constexpr const char* kEllipsis = "\xE2\x80\xA6";  // "…"

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
    PdfFontStyle style;
    PdfFontStyle boldStyle;
    float sizePt = 0;

    explicit SpiderFonts(const PdfDocument& pdf)
        : family(pdf.FontFamily().empty() ? std::string_view("Helvetica") : pdf.FontFamily()),
          style(pdf.FontStyle()),
          boldStyle{.bold = true, .italic = style.italic, .underline = style.underline},
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
            pdf_.SetTextGrey(node.before ? kGrey : 0);
            fonts_.Select(pdf_, node.stop->important || node.marked);
            // A name that would run over the right margin is shortened.
            float room = (RightLimit() - x) / kCos45 - kGlyphDescent * fonts_.sizePt;
            std::string name = FitWidth(node.stop->name, std::max(room, 0.0f));
            pdf_.RotateAround(45, x, y);
            if (node.marked) HighlightName(x, y, pdf_.TextWidth(name));
            pdf_.PutText(x, y, name);
            pdf_.EndRotation();
        }
        fonts_.Select(pdf_, false);
    }

    // A light band under the (turned) name, from above its letters to below
    // what hangs under the line.
    void HighlightName(float x, float baseline, float width) {
        constexpr float kPad = 1.5f;
        float top = baseline - 0.8f * fonts_.sizePt - kPad;
        float bottom = baseline + kGlyphDescent * fonts_.sizePt + kPad;
        pdf_.SetFillGrey(kMarkedNameFill);
        pdf_.PathMoveTo(x - kPad, top);
        pdf_.PathLineTo(x + width + kPad, top);
        pdf_.PathLineTo(x + width + kPad, bottom);
        pdf_.PathLineTo(x - kPad, bottom);
        pdf_.PaintPath(PdfPaint::Fill);
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
        pdf_.SetStrokeGrey(from.before ? kGrey : 0);
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
            pdf_.SetStrokeGrey(node.before ? kGrey : 0);
            if (node.marked || node.stop->important) {
                pdf_.SetFillGrey(node.marked ? kMarkedFill : kGrey);
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
                pdf_.SetTextGrey(node.before ? kGrey : 0);
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
        pdf_.SetTextGrey(0);
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
                bool marked = markedStop && (&stop == markedStop || (markedStop->key != kNoSpiderStop &&
                                                                      stop.key == markedStop->key));
                if ((stop.important || marked) == bold) widths[&stop] = pdf.TextWidth(stop.name);
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
    pdf.SetTextGrey(0);
    pdf.SetStrokeGrey(0);
    pdf.SetFillGrey(0);
}

}  // namespace tak
