#include "routemap/RouteMapPdf.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>

#include "pdf/Paginor.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapLineOrder.h"

namespace tak {

namespace {

constexpr float kMargin = 36;
constexpr float kTitleSize = 18;
constexpr float kSubtitleSize = 10;
constexpr float kLabelSize = 11;       // the label font's pixel size, as points
constexpr float kAscent = 0.905f * kLabelSize;  // top of a text line to its baseline
constexpr float kLegendRow = 20;
constexpr float kLegendPadding = 8;
constexpr int32_t kBadgeWidth = 28;
constexpr int32_t kBadgeHeight = 15;
constexpr Rgb kLeaderColour{96, 96, 96};

const DirectionStep& Step(int d) { return DirectionTable()[static_cast<std::size_t>(d)]; }

int32_t HalfWidth(int32_t thickness) { return std::clamp(thickness, 1, 32) - 1; }

struct Point {
    double x = 0;
    double y = 0;
};

// Points of the page: the map starts at `origin`.
class MapPage {
public:
    MapPage(PdfDocument& pdf, Point origin) : pdf_(pdf), origin_(origin) {}

    void Fill(Rgb colour) { pdf_.SetFillPaint(colour.r, colour.g, colour.b); }
    void Stroke(Rgb colour) { pdf_.SetStrokePaint(colour.r, colour.g, colour.b); }

    void Polygon(const std::vector<Point>& points, PdfPaint paint) {
        if (points.empty()) return;
        pdf_.PathMoveTo(X(points[0].x), Y(points[0].y));
        for (std::size_t i = 1; i < points.size(); ++i) pdf_.PathLineTo(X(points[i].x), Y(points[i].y));
        pdf_.PaintPath(paint);
    }
    void Segment(Point a, Point b) {
        pdf_.PathMoveTo(X(a.x), Y(a.y));
        pdf_.PathLineTo(X(b.x), Y(b.y));
        pdf_.PaintPath(PdfPaint::Stroke);
    }
    void Disc(Point c, double r) { pdf_.DrawCircle(X(c.x), Y(c.y), static_cast<float>(r), PdfPaint::Fill); }
    void Box(double left, double top, double w, double h, PdfPaint paint) {
        Polygon({{left, top}, {left + w, top}, {left + w, top + h}, {left, top + h}}, paint);
    }
    void RoundBox(double left, double top, double w, double h, double r) {
        if (r <= 0) {
            Box(left, top, w, h, PdfPaint::FillAndStroke);
            return;
        }
        const double k = 0.5523 * r;  // control distance of a quarter circle
        const double right = left + w;
        const double bottom = top + h;
        pdf_.PathMoveTo(X(left + r), Y(top));
        pdf_.PathLineTo(X(right - r), Y(top));
        pdf_.PathCurveTo(X(right - r + k), Y(top), X(right), Y(top + r - k), X(right), Y(top + r));
        pdf_.PathLineTo(X(right), Y(bottom - r));
        pdf_.PathCurveTo(X(right), Y(bottom - r + k), X(right - r + k), Y(bottom), X(right - r), Y(bottom));
        pdf_.PathLineTo(X(left + r), Y(bottom));
        pdf_.PathCurveTo(X(left + r - k), Y(bottom), X(left), Y(bottom - r + k), X(left), Y(bottom - r));
        pdf_.PathLineTo(X(left), Y(top + r));
        pdf_.PathCurveTo(X(left), Y(top + r - k), X(left + r - k), Y(top), X(left + r), Y(top));
        pdf_.PaintPath(PdfPaint::FillAndStroke);
    }
    // Text turned by `angle` degrees counter-clockwise around its top-left corner.
    void Text(double x, double y, double angle, std::string_view text, Rgb colour) {
        if (text.empty()) return;
        pdf_.SetTextPaint(colour.r, colour.g, colour.b);
        if (angle != 0) pdf_.RotateAround(static_cast<float>(angle), X(x), Y(y));
        // Slanted text is marked with its words, which text extraction
        // would otherwise give back letter by letter.
        if (std::fmod(angle, 90.0) != 0) {
            pdf_.PutMarkedText(X(x), Y(y) + kAscent, text);
        } else {
            pdf_.PutText(X(x), Y(y) + kAscent, text);
        }
        if (angle != 0) pdf_.EndRotation();
    }
    PdfDocument& Pdf() { return pdf_; }

private:
    float X(double x) const { return static_cast<float>(origin_.x + x); }
    float Y(double y) const { return static_cast<float>(origin_.y + y); }

    PdfDocument& pdf_;
    Point origin_;
};

Point Centre(GridPoint p) { return {kCellPixels * (p.x + 0.5), kCellPixels * (p.y + 0.5)}; }

// The band of a step between two cell centres, 2T - 1 points wide.
std::vector<Point> StepBand(Point a, Point b, double half) {
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (length <= 0) return {};
    const double nx = -(b.y - a.y) / length * half;
    const double ny = (b.x - a.x) / length * half;
    return {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
}

bool IsExit(const RouteMap& map, RouteKey stop) {
    const RouteStop* s = FindRouteStop(map, stop);
    return s && s->exit;
}

// The path's steps in their lanes, joined across where a lane changes.
void DrawPath(MapPage& page, const std::vector<GridPoint>& path, const std::vector<LaneShift>& shifts, double half,
              Rgb colour) {
    page.Fill(colour);
    int previous = -1;
    Point previousEnd;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const GridPoint a = path[i - 1];
        const GridPoint b = path[i];
        const int d = StepDirection(a, b);
        if (d < 0 || a == b) continue;
        const LaneShift shift = i - 1 < shifts.size() ? shifts[i - 1] : LaneShift{};
        const Point ca{Centre(a).x + shift.x, Centre(a).y + shift.y};
        const Point cb{Centre(b).x + shift.x, Centre(b).y + shift.y};
        page.Polygon(StepBand(ca, cb, half), PdfPaint::Fill);
        const bool moved = std::hypot(ca.x - previousEnd.x, ca.y - previousEnd.y) > 0.01;
        if (previous >= 0 && moved) {
            page.Polygon(StepBand(previousEnd, ca, half), PdfPaint::Fill);
            page.Disc(previousEnd, half);
            page.Disc(ca, half);
        } else if (previous >= 0 && previous != d) {
            // Round joins, so that bends have no notch.
            page.Disc(ca, half);
        }
        previous = d;
        previousEnd = cb;
    }
}

void DrawExitArrow(MapPage& page, Point c, int d, double e) {
    const DirectionStep& s = Step(d);
    page.Polygon({{c.x + s.dy * e, c.y - s.dx * e}, {c.x + s.dx * e, c.y + s.dy * e}, {c.x - s.dy * e, c.y + s.dx * e}},
                 PdfPaint::Fill);
}

void DrawConnection(MapPage& page, const RouteMap& map, const Connection& connection, const std::vector<GridPoint>& path,
                    const RouteLine& line, const LineLook& look, const std::vector<LaneShift>& shifts) {
    if (path.size() < 2) return;
    const double half = HalfWidth(line.thickness) + 0.5;
    if (NeedsCasing(look.colour)) DrawPath(page, path, shifts, half + 1, CasingColour(look.colour));
    DrawPath(page, path, shifts, half, look.colour);
    const double e = std::max(HalfWidth(line.thickness), 4) + 0.5;
    const std::size_t n = path.size();
    const int first = StepDirection(path[0], path[1]);
    const int last = StepDirection(path[n - 2], path[n - 1]);
    auto shifted = [&](GridPoint p, std::size_t step) {
        const LaneShift shift = step < shifts.size() ? shifts[step] : LaneShift{};
        return Point{Centre(p).x + shift.x, Centre(p).y + shift.y};
    };
    if (first >= 0 && first < 4 && IsExit(map, connection.end[0].stop)) {
        DrawExitArrow(page, shifted(path[0], 0), Step(first).opposite, e);
    }
    if (last >= 0 && last < 4 && IsExit(map, connection.end[1].stop)) {
        DrawExitArrow(page, shifted(path[n - 1], n - 2), last, e);
    }
}

// The sign's point and the directions into and out of it; none where the
// raster drawing draws nothing.
struct SignPlace {
    Point c;
    int d1 = -1;
    int d2 = -1;
};

std::optional<SignPlace> PlaceOfSign(const std::vector<GridPoint>& path, Sign sign) {
    const auto n = static_cast<int64_t>(path.size());
    int64_t s = int64_t{sign.pos} + n - 1;
    if (s < 2 || s > 2 * (n - 2)) return std::nullopt;
    if (sign.type == kSignDotted && s % 2 != 0) --s;
    SignPlace place;
    if (s % 2 == 0) {
        const auto i = static_cast<std::size_t>(s / 2);
        place.c = Centre(path[i]);
        place.d1 = StepDirection(path[i - 1], path[i]);
        place.d2 = StepDirection(path[i], path[i + 1]);
    } else {
        const auto i = static_cast<std::size_t>((s - 1) / 2);
        place.c = {(Centre(path[i]).x + Centre(path[i + 1]).x) / 2, (Centre(path[i]).y + Centre(path[i + 1]).y) / 2};
        place.d1 = place.d2 = StepDirection(path[i], path[i + 1]);
    }
    if (place.d1 < 0 || place.d2 < 0) return std::nullopt;
    return place;
}

Point Unit(int d) {
    const DirectionStep& s = Step(d);
    const double length = std::hypot(s.dx, s.dy);
    return {s.dx / length, s.dy / length};
}

void DrawSign(MapPage& page, const std::vector<GridPoint>& path, const RouteLine& line, const LineLook& look,
              const Sign& sign, const std::vector<LaneShift>& shifts) {
    const std::optional<SignPlace> place = PlaceOfSign(path, sign);
    if (!place) return;
    // In the lane of the step the sign is on.
    const auto n = static_cast<int64_t>(path.size());
    const auto step = static_cast<std::size_t>(std::clamp<int64_t>((int64_t{sign.pos} + n - 1) / 2, 0, n - 2));
    const LaneShift shift = step < shifts.size() ? shifts[step] : LaneShift{};
    const Point c{place->c.x + shift.x, place->c.y + shift.y};
    const double half = HalfWidth(line.thickness) + 0.5;
    if (sign.type == kSignLineName && place->d1 == place->d2) {
        const TextSize size = MeasureLabelText(line.name);
        const double a = Step(place->d1).textAngle * std::numbers::pi / 180.0;
        const double x = c.x - std::cos(a) * size.width / 2 - std::sin(a) * size.height / 2;
        const double y = c.y + std::sin(a) * size.width / 2 - std::cos(a) * size.height / 2;
        // On a box of the line's own colour, as on the screen.
        const Point u{std::cos(a), -std::sin(a)};
        const Point v{std::sin(a), std::cos(a)};
        const double w = size.width;
        const double h = size.height;
        page.Fill(look.colour);
        page.Polygon({{x, y}, {x + u.x * w, y + u.y * w}, {x + u.x * w + v.x * h, y + u.y * w + v.y * h},
                      {x + v.x * h, y + v.y * h}},
                     PdfPaint::Fill);
        page.Text(x, y, Step(place->d1).textAngle, line.name, TextColour(look.textColour));
    } else if ((sign.type == kSignArrowOut || sign.type == kSignArrowReturn) && place->d1 == place->d2) {
        const int d = sign.type == kSignArrowOut ? place->d1 : Step(place->d1).opposite;
        const Point u = Unit(d);
        const Point v{-u.y, u.x};
        const double reach = half - 0.5;
        const double depth = 5;
        page.Fill(TextColour(look.arrowColour));
        // A chevron across the line, its tip ahead of the sign's point.
        page.Polygon({{c.x + u.x * depth, c.y + u.y * depth},
                      {c.x + (v.x - u.x) * reach + u.x * depth, c.y + (v.y - u.y) * reach + u.y * depth},
                      {c.x + (v.x - u.x) * reach, c.y + (v.y - u.y) * reach},
                      {c.x, c.y},
                      {c.x - (v.x + u.x) * reach, c.y - (v.y + u.y) * reach},
                      {c.x - (v.x + u.x) * reach + u.x * depth, c.y - (v.y + u.y) * reach + u.y * depth}},
                     PdfPaint::Fill);
    } else if (sign.type == kSignDotted) {
        page.Fill({255, 255, 255});
        for (double offset : {-12.0, -4.0, 4.0, 12.0}) {
            const Point u = Unit(offset < 0 ? place->d1 : place->d2);
            const double along = offset * std::hypot(Step(offset < 0 ? place->d1 : place->d2).dx,
                                                     Step(offset < 0 ? place->d1 : place->d2).dy);
            const Point m{c.x + u.x * along, c.y + u.y * along};
            page.Polygon(StepBand({m.x - u.x * 1.5, m.y - u.y * 1.5}, {m.x + u.x * 1.5, m.y + u.y * 1.5}, half + 0.5),
                         PdfPaint::Fill);
        }
    }
}

Point ToPoint(GridPoint pixel) { return {static_cast<double>(pixel.x), static_cast<double>(pixel.y)}; }

void DrawStopLabel(MapPage& page, const RouteMap& map, const RouteMapLayoutResult& layout, const RouteStop& stop,
                   const StopBox& box, const StopLabel& label) {
    const Point r = ToPoint(LabelReference(label, box));
    if (label.type == kLabelName) {
        const std::vector<std::string> lines = SplitStopName(stop.name);
        const auto n = static_cast<int32_t>(lines.size());
        const double h = MeasureLabelText(" ").height;
        const double a = label.angle * std::numbers::pi / 180.0;
        for (int32_t i = 0; i < n; ++i) {
            const double shift = (2 * i - n) * h / 2.0;
            page.Text(r.x + std::round(shift * std::sin(a)), r.y + std::round(shift * std::cos(a)), label.angle,
                      lines[static_cast<std::size_t>(i)], {0, 0, 0});
        }
    } else if (label.type == kLabelLineFilled || label.type == kLabelLineOutlined) {
        const RouteLine* line = FindRouteLine(map, label.line);
        if (!line) return;
        const LineLook& look = *layout.LineOf(map, label.line);
        const TextSize text = MeasureLabelText(line->name);
        const int32_t th = MeasureLabelText(" ").height;
        const int32_t w = std::max(text.width, kBadgeWidth);
        const int32_t hb = std::max(th, kBadgeHeight);
        const double left = r.x - w / 2;
        const double top = r.y - hb / 2;
        const double textX = left + (text.width < kBadgeWidth ? (kBadgeWidth - text.width) / 2 : 0);
        const double textY = top + (th < kBadgeHeight ? (kBadgeHeight - th) / 2 : 0);
        if (label.type == kLabelLineFilled) {
            page.Fill(look.colour);
            page.Box(left, top, w, hb, PdfPaint::Fill);
            page.Text(textX, textY, 0, line->name, TextColour(look.textColour));
        } else {
            page.Stroke(look.colour);
            page.Box(left, top, w, hb, PdfPaint::CloseAndStroke);
            page.Text(textX, textY, 0, line->name, {0, 0, 0});
        }
    } else if (label.type == kLabelArrow && label.dir >= 0 && label.dir < 4) {
        const DirectionStep& s = Step(label.dir);
        const Point tip{r.x + 0.5 + 2 * s.dx, r.y + 0.5 + 2 * s.dy};
        const Point back{tip.x - 4 * s.dx, tip.y - 4 * s.dy};
        page.Fill({0, 0, 0});
        page.Polygon({tip, {back.x + 3.5 * s.dy, back.y - 3.5 * s.dx}, {back.x - 3.5 * s.dy, back.y + 3.5 * s.dx}},
                     PdfPaint::Fill);
    }
}

void DrawMap(MapPage& page, const RouteMap& map, const RouteMapLayoutResult& layout) {
    const LineLanes lanes = ComputeLineLanes(map, layout);
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        const Connection& connection = map.connections[c];
        const ConnectionRoute& route = layout.connections[c];
        const RouteLine* line = FindRouteLine(map, connection.line);
        if (!line) continue;
        const LineLook& look = *layout.LineOf(map, line->key);
        DrawConnection(page, map, connection, route.path, *line, look, lanes.shifts[c]);
        for (const Sign& sign : route.signs) DrawSign(page, route.path, *line, look, sign, lanes.shifts[c]);
    }
    page.Fill({255, 255, 255});
    page.Stroke({0, 0, 0});
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const RouteStop& stop = map.stops[i];
        const StopBox& box = layout.stops[i].box;
        if (box.x < 0 || stop.exit) continue;
        const PixelRect bounds = StopBoxBounds(stop, box);
        const double w = bounds.right - bounds.left - 1;
        const double h = bounds.bottom - bounds.top - 1;
        const double radius = std::clamp<double>(map.roundBox, 0, std::min((w + 2) / 2, (h + 2) / 2));
        page.RoundBox(bounds.left + 0.5, bounds.top + 0.5, w, h, radius);
    }
    page.Stroke(kLeaderColour);
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const StopPlace& place = layout.stops[i];
        if (place.box.x < 0) continue;
        for (const StopLabel& label : place.labels) {
            if (const std::optional<LabelLeader> leader = LeaderOf(map, map.stops[i], place.box, label)) {
                page.Segment({leader->from.x + 0.5, leader->from.y + 0.5}, {leader->to.x + 0.5, leader->to.y + 0.5});
            }
        }
    }
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const StopPlace& place = layout.stops[i];
        if (place.box.x < 0) continue;
        for (const StopLabel& label : place.labels) DrawStopLabel(page, map, layout, map.stops[i], place.box, label);
    }
}

std::string StopNameOf(const RouteMap& map, RouteKey key) {
    const RouteStop* stop = FindRouteStop(map, key);
    if (!stop) return {};
    std::string name;
    for (const std::string& part : SplitStopName(stop->name)) name += (name.empty() ? "" : " ") + part;
    return name;
}

// The legend: a heading, then a row per line with its badge and its ends.
struct LegendLayout {
    float width = 0;
    float height = 0;
};

std::string EndsText(const LineLegendEntry& entry) { return entry.firstStop + " \xE2\x80\x93 " + entry.lastStop; }

LegendLayout MeasureLegend(PdfDocument& pdf, const RouteMap& map, const std::vector<LineLegendEntry>& entries,
                           const RouteMapPageTexts& texts) {
    pdf.SelectFont("Helvetica", {.bold = true}, kLabelSize);
    float width = pdf.TextWidth(texts.legendHeading);
    pdf.SelectFont("Helvetica", {}, kLabelSize);
    for (const LineLegendEntry& entry : entries) {
        const RouteLine* line = FindRouteLine(map, entry.line);
        const float badge = std::max<float>(kBadgeWidth, MeasureLabelText(line ? line->name : "").width);
        width = std::max(width, badge + 8 + pdf.TextWidth(EndsText(entry)));
    }
    return {width + 2 * kLegendPadding, kLegendRow * static_cast<float>(entries.size() + 1) + 2 * kLegendPadding};
}

void DrawLegend(PdfDocument& pdf, const RouteMap& map, const RouteMapLayoutResult& layout,
                const std::vector<LineLegendEntry>& entries,
                const RouteMapPageTexts& texts, float left, float top, const LegendLayout& size) {
    pdf.SetFillPaint(255, 255, 255);
    pdf.SetStrokeGrey(0);
    MapPage page(pdf, {left, top});
    page.Box(0, 0, size.width, size.height, PdfPaint::FillAndStroke);
    pdf.SelectFont("Helvetica", {.bold = true}, kLabelSize);
    page.Text(kLegendPadding, kLegendPadding + 3, 0, texts.legendHeading, {0, 0, 0});
    pdf.SelectFont("Helvetica", {}, kLabelSize);
    float y = kLegendPadding + kLegendRow;
    for (const LineLegendEntry& entry : entries) {
        const RouteLine* line = FindRouteLine(map, entry.line);
        if (!line) continue;
        const TextSize text = MeasureLabelText(line->name);
        const float badge = std::max<float>(kBadgeWidth, static_cast<float>(text.width));
        const LineLook& look = *layout.LineOf(map, line->key);
        page.Fill(look.colour);
        if (NeedsCasing(look.colour)) page.Stroke(CasingColour(look.colour));
        else page.Stroke(look.colour);
        page.Box(kLegendPadding, y, badge, kBadgeHeight, PdfPaint::FillAndStroke);
        page.Text(kLegendPadding + (badge - static_cast<float>(text.width)) / 2, y + 1, 0, line->name,
                  TextColour(look.textColour));
        page.Text(kLegendPadding + badge + 8, y + 1, 0, EndsText(entry), {0, 0, 0});
        y += kLegendRow;
    }
}

}  // namespace

std::vector<LineLegendEntry> LineLegendEntries(const RouteMap& map) {
    std::vector<LineLegendEntry> entries;
    for (const RouteLine& line : map.lines) {
        std::map<RouteKey, int> touches;
        std::vector<RouteKey> order;
        for (const Connection& connection : map.connections) {
            if (connection.line != line.key) continue;
            for (const ConnectionEnd& end : connection.end) {
                if (end.stop == kNoRouteKey) continue;
                if (touches[end.stop]++ == 0) order.push_back(end.stop);
            }
        }
        if (order.empty()) continue;
        std::vector<RouteKey> ends;
        for (RouteKey stop : order) {
            if (touches[stop] == 1) ends.push_back(stop);
        }
        LineLegendEntry entry{line.key, {}, {}};
        entry.firstStop = StopNameOf(map, ends.empty() ? order.front() : ends.front());
        entry.lastStop = StopNameOf(map, ends.size() >= 2 ? ends[1] : ends.empty() ? order.front() : order.back());
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<PixelRect> FreeCorner(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t width,
                                    int32_t height) {
    const int32_t mapWidth = kCellPixels * map.width + 1;
    const int32_t mapHeight = kCellPixels * map.height + 1;
    if (width + 8 > mapWidth || height + 8 > mapHeight) return std::nullopt;
    std::vector<PixelRect> taken;
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const StopPlace& place = layout.stops[i];
        if (place.box.x < 0) continue;
        taken.push_back(StopBoxBounds(map.stops[i], place.box));
        for (const StopLabel& label : place.labels) taken.push_back(StopLabelBounds(map, map.stops[i], place.box, label));
    }
    const LineLanes lanes = ComputeLineLanes(map, layout);
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        const Connection& connection = map.connections[c];
        const std::vector<GridPoint>& path = layout.connections[c].path;
        const RouteLine* line = FindRouteLine(map, connection.line);
        const int32_t h = (line ? HalfWidth(line->thickness) : 0) + 2;
        for (std::size_t i = 1; i < path.size(); ++i) {
            const GridPoint a = path[i - 1];
            const GridPoint b = path[i];
            // The step in its lane.
            const GridPoint s = lanes.At(c, i - 1).Pixels();
            taken.push_back({kCellPixels * std::min(a.x, b.x) + 8 - h + s.x, kCellPixels * std::min(a.y, b.y) + 8 - h + s.y,
                             kCellPixels * std::max(a.x, b.x) + 9 + h + s.x, kCellPixels * std::max(a.y, b.y) + 9 + h + s.y});
        }
    }
    const int32_t inset = 4;
    const std::array<PixelRect, 4> corners{{
        {mapWidth - inset - width, mapHeight - inset - height, mapWidth - inset, mapHeight - inset},
        {inset, mapHeight - inset - height, inset + width, mapHeight - inset},
        {mapWidth - inset - width, inset, mapWidth - inset, inset + height},
        {inset, inset, inset + width, inset + height},
    }};
    for (const PixelRect& corner : corners) {
        if (std::none_of(taken.begin(), taken.end(), [&](const PixelRect& r) { return r.Overlaps(corner); })) {
            return corner;
        }
    }
    return std::nullopt;
}

bool WriteRouteMapVectorPdf(const RouteMap& map, const RouteMapLayoutResult& layout, const RouteMapPageTexts& texts,
                            const std::filesystem::path& file) {
    if (map.width <= 0 || map.height <= 0 || map.width > kMaxRouteMapImageCells || map.height > kMaxRouteMapImageCells) {
        return false;
    }
    const float mapWidth = 16.0f * static_cast<float>(map.width) + 1;
    const float mapHeight = 16.0f * static_cast<float>(map.height) + 1;
    const bool hasSubtitle = !texts.operatorName.empty() || !texts.validity.empty();
    const float header = kTitleSize + 12 + (hasSubtitle ? kSubtitleSize + 6 : 0);

    PdfDocument pdf;
    pdf.SetCreationTime(std::nullopt);
    // The legend's size needs the fonts, so it is measured in a document of its own.
    const std::vector<LineLegendEntry> entries = LineLegendEntries(map);
    LegendLayout legend;
    {
        PdfDocument measure;
        if (!measure.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {100, 100})) return false;
        legend = MeasureLegend(measure, map, entries, texts);
    }
    const std::optional<PixelRect> corner =
        entries.empty() ? std::nullopt
                        : FreeCorner(map, layout, static_cast<int32_t>(std::ceil(legend.width)),
                                     static_cast<int32_t>(std::ceil(legend.height)));
    const bool legendBelow = !entries.empty() && !corner;
    const float pageWidth = 2 * kMargin + std::max(mapWidth, legendBelow ? legend.width : 0.0f);
    const float pageHeight = 2 * kMargin + header + mapHeight + (legendBelow ? legend.height + 12 : 0.0f);
    const PdfPageSize format{std::ceil(pageWidth), std::ceil(pageHeight)};
    if (!pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, format)) return false;
    pdf.SetAutoBreak(false);
    pdf.SetMargins(0, 0);
    if (!pdf.NewPage()) return false;

    pdf.SelectFont("Helvetica", {.bold = true}, kTitleSize);
    pdf.SetTextGrey(0);
    pdf.PutText(kMargin, kMargin + kTitleSize * 0.8f, texts.title);
    if (hasSubtitle) {
        pdf.SelectFont("Helvetica", {}, kSubtitleSize);
        std::string line = texts.operatorName;
        if (!texts.operatorName.empty() && !texts.validity.empty()) line += " \xC2\xB7 ";
        line += texts.validity;
        pdf.PutText(kMargin, kMargin + kTitleSize + 6 + kSubtitleSize * 0.8f, line);
    }

    const float mapTop = kMargin + header;
    pdf.SelectFont("Helvetica", {}, kLabelSize);
    MapPage page(pdf, {kMargin, mapTop});
    DrawMap(page, map, layout);
    if (corner) {
        DrawLegend(pdf, map, layout, entries, texts, kMargin + static_cast<float>(corner->left),
                   mapTop + static_cast<float>(corner->top), legend);
    } else if (legendBelow) {
        DrawLegend(pdf, map, layout, entries, texts, kMargin, mapTop + mapHeight + 12, legend);
    }
    if (pdf.LastError() != PdfError::None) return false;
    std::u8string name = file.u8string();
    return pdf.SaveDocument(std::string(name.begin(), name.end()));
}

}  // namespace tak
