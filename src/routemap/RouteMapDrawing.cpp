#include "routemap/RouteMapDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "routemap/RouteMapLabels.h"
#include "routemap/RouteMapLineOrder.h"

namespace tak {

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGridColour{225, 225, 225};
constexpr Rgb kSelectedStopFill{255, 128, 128};
constexpr Rgb kRubberBandXor{32, 32, 0};
constexpr Rgb kRubberBandOutline{0, 0, 255};
constexpr Rgb kLeaderColour{96, 96, 96};

constexpr double kPi = 3.14159265358979323846;

const DirectionStep& Step(int d) { return DirectionTable()[static_cast<std::size_t>(d)]; }

int32_t RoundHalfAway(double v) { return static_cast<int32_t>(std::lround(v)); }


// Half the drawn width of a line, T - 1. A thickness from a hand-edited file
// is held to what a 16-pixel grid can show, so that drawing stays quick.
constexpr int32_t kThickestLine = 32;
int32_t HalfWidth(int32_t thickness) { return std::clamp(thickness, 1, kThickestLine) - 1; }


}  // namespace

// ---------------------------------------------------------------------------
// Primitives

namespace {

// The band of a step from pixel ca to pixel cb in direction d, 2h + 1 wide.
void DrawBand(RouteMapCanvas& canvas, GridPoint ca, GridPoint cb, int d, int32_t h, Rgb colour) {
    const DirectionStep& step = Step(d);
    if (d < 4) {
        for (int32_t k = -h; k <= h; ++k) {
            canvas.Line(ca.x + k * step.dy, ca.y - k * step.dx, cb.x + k * step.dy, cb.y - k * step.dx, colour);
        }
    } else {
        // Alternating the offsets across and along the diagonal fills the
        // staircase without holes.
        const int32_t m = RoundHalfAway(std::sqrt(2.0) * h);
        for (int32_t k = -m; k <= m; ++k) {
            const int32_t r = k / 2;
            const int32_t q = r + k % 2;
            canvas.Line(ca.x + q * step.dy, ca.y - r * step.dx, cb.x + q * step.dy, cb.y - r * step.dx, colour);
        }
    }
}

// Joins the end of one lane to the start of the next where a line moves
// across at a cell: discs of the band's width along the way, close enough
// to leave no gap.
void DrawJog(RouteMapCanvas& canvas, GridPoint from, GridPoint to, int32_t h, Rgb colour) {
    const int64_t length = std::max(std::abs(int64_t{to.x} - from.x), std::abs(int64_t{to.y} - from.y));
    const int64_t spacing = std::max(h / 2, 1);
    const auto steps = static_cast<int32_t>(std::min<int64_t>((length + spacing - 1) / spacing, 4096));
    for (int32_t i = 0; i <= steps; ++i) {
        const double t = steps == 0 ? 0.0 : double(i) / steps;
        canvas.Disc(BoundedPixel(from.x + std::lround(t * (double(to.x) - from.x))),
                    BoundedPixel(from.y + std::lround(t * (double(to.y) - from.y))), h, colour);
    }
}

GridPoint Shifted(GridPoint p, GridPoint shift) {
    return {BoundedPixel(int64_t{p.x} + shift.x), BoundedPixel(int64_t{p.y} + shift.y)};
}

}  // namespace

void DrawSegment(RouteMapCanvas& canvas, GridPoint a, GridPoint b, Rgb colour, int32_t thickness,
                 int previousDirection) {
    const int d = StepDirection(a, b);
    if (d < 0 || a == b) return;
    const int32_t h = HalfWidth(thickness);
    const GridPoint ca = CellCentre(a);
    DrawBand(canvas, ca, CellCentre(b), d, h, colour);
    if (previousDirection >= 0 && previousDirection != d) canvas.Disc(ca.x, ca.y, h, colour);
}

void DrawExitArrow(RouteMapCanvas& canvas, GridPoint point, const RouteLine& line, const LineLook& look, int direction,
                   GridPoint shift) {
    if (direction < 0 || direction > 3) return;
    const int32_t e = std::max(HalfWidth(line.thickness), 4);
    const DirectionStep& step = Step(direction);
    const GridPoint c = Shifted(CellCentre(point), shift);
    for (int32_t k = -e; k <= e; ++k) {
        canvas.Run(c.x + k * step.dy, c.y - k * step.dx, direction, e - std::abs(k), look.colour);
    }
}

void DrawStopBox(RouteMapCanvas& canvas, const StopBox& box, int32_t roundBox, Rgb fill) {
    const PixelRect rect = StopBoxPixels(box);
    const int32_t w = rect.right - rect.left;
    const int32_t h = rect.bottom - rect.top;
    const int32_t r = std::max(0, std::min({roundBox, (w + 1) / 2, (h + 1) / 2}));
    canvas.RoundRectangle(rect.left, rect.top, w, h, r, fill, kBlack);
}

std::vector<std::string> SplitStopName(std::string_view name) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '|') {
            lines.back() += name[i];
        } else if (i + 1 < name.size() && name[i + 1] == '|') {
            lines.back() += '|';
            ++i;
        } else {
            lines.emplace_back();
        }
    }
    return lines;
}

namespace {

void DrawNameLabel(RouteMapCanvas& canvas, const std::string& name, GridPoint reference, int32_t angle, Rgb colour) {
    const std::vector<std::string> lines = SplitStopName(name);
    const auto n = static_cast<int32_t>(lines.size());
    const double h = canvas.MeasureText(" ").height;
    const double a = angle * kPi / 180.0;
    for (int32_t i = 0; i < n; ++i) {
        const double shift = (2 * i - n) * h / 2.0;
        canvas.Text(reference.x + RoundHalfAway(shift * std::sin(a)), reference.y + RoundHalfAway(shift * std::cos(a)),
                    angle, lines[static_cast<std::size_t>(i)], colour, kWhite);
    }
}

void DrawBadge(RouteMapCanvas& canvas, const RouteLine& line, const LineLook& look, bool filled, GridPoint reference) {
    const TextSize text = canvas.MeasureText(line.name);
    const int32_t th = canvas.MeasureText(" ").height;
    const int32_t w = std::max(text.width, 28);
    const int32_t hb = std::max(th, 15);
    const int32_t left = reference.x - w / 2;
    const int32_t top = reference.y - hb / 2;
    const int32_t textX = left + (text.width < 28 ? (28 - text.width) / 2 : 0);
    const int32_t textY = top + (th < 15 ? (15 - th) / 2 : 0);
    if (filled) {
        canvas.Rectangle(left, top, w, hb, look.colour, look.colour);
        canvas.Text(textX, textY, 0, line.name, TextColour(look.textColour), std::nullopt);
    } else {
        canvas.Rectangle(left, top, w, hb, std::nullopt, look.colour);
        canvas.Text(textX, textY, 0, line.name, kBlack, std::nullopt);
    }
}

// A small triangle of rows 1, 3, 5 and 7 pixels wide, its tip towards `dir`.
void DrawStopArrow(RouteMapCanvas& canvas, GridPoint reference, int dir) {
    if (dir < 0 || dir > 3) return;
    const DirectionStep& step = Step(dir);
    for (int32_t row = 0; row < 4; ++row) {
        const int32_t length = 2 * row + 1;
        if (dir == 0 || dir == 2) {
            canvas.Run(reference.x - row, reference.y + 2 * step.dy - row * step.dy, 1, length, kBlack);
        } else {
            canvas.Run(reference.x + 2 * step.dx - row * step.dx, reference.y - row, 2, length, kBlack);
        }
    }
}

}  // namespace

void DrawStopLabel(RouteMapCanvas& canvas, const RouteMap& map, const RouteMapLayoutResult& layout,
                   const RouteStop& stop, const StopBox& box, const StopLabel& label, Rgb colour) {
    const GridPoint reference = LabelReference(label, box);
    switch (label.type) {
        case kLabelName: DrawNameLabel(canvas, stop.name, reference, label.angle, colour); break;
        case kLabelLineFilled:
        case kLabelLineOutlined:
            if (const RouteLine* line = FindRouteLine(map, label.line)) {
                DrawBadge(canvas, *line, *layout.LineOf(map, label.line), label.type == kLabelLineFilled, reference);
            }
            break;
        case kLabelArrow: DrawStopArrow(canvas, reference, label.dir); break;
        default: break;
    }
}

std::optional<GridPoint> SignPixel(const std::vector<GridPoint>& path, int32_t pos) {
    const auto n = static_cast<int64_t>(path.size());
    const int64_t s = int64_t{pos} + n - 1;
    if (n == 0 || s < 0 || s > 2 * (n - 1)) return std::nullopt;
    if (s % 2 == 0) return CellCentre(path[static_cast<std::size_t>(s / 2)]);
    const GridPoint p1 = path[static_cast<std::size_t>((s - 1) / 2)];
    const GridPoint p2 = path[static_cast<std::size_t>((s + 1) / 2)];
    return GridPoint{8 * (p1.x + p2.x + 1), 8 * (p1.y + p2.y + 1)};
}

namespace {

void DrawLineName(RouteMapCanvas& canvas, const RouteLine& line, const LineLook& look, GridPoint c, int d) {
    const TextSize size = canvas.MeasureText(line.name);
    const double a = Step(d).textAngle * kPi / 180.0;
    const double tw = size.width;
    const double th = size.height;
    const int32_t x = RoundHalfAway(c.x - std::cos(a) * tw / 2 - std::sin(a) * th / 2);
    const int32_t y = RoundHalfAway(c.y + std::sin(a) * tw / 2 - std::cos(a) * th / 2);
    // On a box of the line's own colour, where the resolved text colour reads well.
    canvas.Text(x, y, Step(d).textAngle, line.name, TextColour(look.textColour), look.colour);
}

void DrawArrowSign(RouteMapCanvas& canvas, const RouteLine& line, const LineLook& look, GridPoint c, int d) {
    const Rgb colour = TextColour(look.arrowColour);
    const int32_t h = HalfWidth(line.thickness);
    const DirectionStep& step = Step(d);
    if (d < 4) {
        for (int32_t k = -h; k <= h; ++k) {
            canvas.Run(c.x + k * step.dy - std::abs(k) * step.dx, c.y - k * step.dx - std::abs(k) * step.dy, d, 5,
                       colour);
        }
        return;
    }
    const int32_t m = RoundHalfAway(std::sqrt(2.0) * h);
    for (int32_t k = -m; k <= m; ++k) {
        canvas.Run(c.x - ((std::abs(k) + k) / 2) * step.dx, c.y - ((std::abs(k) - k) / 2) * step.dy, d, 3, colour);
    }
}

void DrawDottedMark(RouteMapCanvas& canvas, const RouteLine& line, GridPoint c, int d1, int d2) {
    const int32_t h = HalfWidth(line.thickness);
    for (int32_t o : {-12, -4, 4, 12}) {
        const int d = o < 0 ? d1 : d2;
        const DirectionStep& step = Step(d);
        const int32_t mx = c.x + o * step.dx;
        const int32_t my = c.y + o * step.dy;
        if (d < 4) {
            for (int32_t k = -h; k <= h; ++k) {
                canvas.Run(mx + k * step.dy - step.dx, my - k * step.dx - step.dy, d, 3, kWhite);
            }
            continue;
        }
        // The same offsets across the line as the diagonal segment uses, each
        // stroke doubled sideways so that no pixel of the staircase is missed.
        const int32_t m = RoundHalfAway(std::sqrt(2.0) * h);
        for (int32_t k = -m - 1; k <= m + 1; ++k) {
            const int32_t r = k / 2;
            const int32_t q = r + k % 2;
            const int32_t sx = mx + q * step.dy - step.dx;
            const int32_t sy = my - r * step.dx - step.dy;
            canvas.Run(sx, sy, d, 3, kWhite);
            canvas.Run(sx + step.dx, sy, d, 3, kWhite);
        }
    }
}

}  // namespace

void DrawSign(RouteMapCanvas& canvas, const std::vector<GridPoint>& path, const RouteLine& line, const LineLook& look,
              const Sign& sign, GridPoint shift) {
    const auto n = static_cast<int64_t>(path.size());
    int64_t s = int64_t{sign.pos} + n - 1;
    // A sign never sits in the first or last step of a path.
    if (s < 2 || s > 2 * (n - 2)) return;
    if (sign.type == kSignDotted && s % 2 == 1) --s;
    int d1 = 0;
    int d2 = 0;
    if (s % 2 == 0) {
        const auto i = static_cast<std::size_t>(s / 2);
        d1 = StepDirection(path[i - 1], path[i]);
        d2 = StepDirection(path[i], path[i + 1]);
    } else {
        const auto i = static_cast<std::size_t>((s - 1) / 2);
        d1 = d2 = StepDirection(path[i], path[i + 1]);
    }
    if (d1 < 0 || d2 < 0) return;
    std::optional<GridPoint> c = SignPixel(path, static_cast<int32_t>(s - (n - 1)));
    if (!c) return;
    c = Shifted(*c, shift);
    switch (sign.type) {
        case kSignLineName:
            if (d1 == d2) DrawLineName(canvas, line, look, *c, d1);
            break;
        case kSignArrowOut:
        case kSignArrowReturn:
            if (d1 == d2) DrawArrowSign(canvas, line, look, *c, sign.type == kSignArrowOut ? d1 : Step(d1).opposite);
            break;
        case kSignDotted: DrawDottedMark(canvas, line, *c, d1, d2); break;
        default: break;
    }
}

void DrawGrid(RouteMapCanvas& canvas, int32_t width, int32_t height) {
    for (int32_t i = 0; i <= width; ++i) canvas.Run(kCellPixels * i, 0, 2, kCellPixels * height + 1, kGridColour);
    for (int32_t j = 0; j <= height; ++j) canvas.Run(0, kCellPixels * j, 1, kCellPixels * width + 1, kGridColour);
}

// ---------------------------------------------------------------------------
// The whole map

double ContrastOnWhite(Rgb colour) {
    auto linear = [](uint8_t c) {
        const double v = c / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(colour.r) + 0.7152 * linear(colour.g) + 0.0722 * linear(colour.b);
    return 1.05 / (luminance + 0.05);
}

bool NeedsCasing(Rgb colour) { return ContrastOnWhite(colour) < 2.0; }

Rgb CasingColour(Rgb colour) {
    return {static_cast<uint8_t>(colour.r * 2 / 5), static_cast<uint8_t>(colour.g * 2 / 5),
            static_cast<uint8_t>(colour.b * 2 / 5)};
}

namespace {

bool IsExit(const RouteMap& map, RouteKey stop) {
    const RouteStop* found = FindRouteStop(map, stop);
    return found && found->exit;
}

// The path's steps in their lanes: each step moved by its shift, a jog
// where the shift changes at a cell, a round join where the way bends.
void DrawLanePath(RouteMapCanvas& canvas, const std::vector<GridPoint>& path, const std::vector<GridPoint>& shifts,
                  Rgb colour, int32_t thickness) {
    const int32_t h = HalfWidth(thickness);
    int previous = -1;
    GridPoint previousEnd;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const GridPoint a = path[i - 1];
        const GridPoint b = path[i];
        const int d = StepDirection(a, b);
        if (d < 0 || a == b) continue;
        const GridPoint shift = i - 1 < shifts.size() ? shifts[i - 1] : GridPoint{0, 0};
        const GridPoint ca = Shifted(CellCentre(a), shift);
        const GridPoint cb = Shifted(CellCentre(b), shift);
        DrawBand(canvas, ca, cb, d, h, colour);
        if (previous >= 0 && !(previousEnd == ca)) {
            DrawJog(canvas, previousEnd, ca, h, colour);
        } else if (previous >= 0 && previous != d) {
            canvas.Disc(ca.x, ca.y, h, colour);
        }
        previous = d;
        previousEnd = cb;
    }
}

void DrawConnection(RouteMapCanvas& canvas, const RouteMap& map, const Connection& connection,
                    const ConnectionRoute& route, const RouteLine& line, const LineLook& look,
                    const std::vector<GridPoint>& shifts, const RouteMapEditorView* editor) {
    const std::vector<GridPoint>& path = route.path;
    const bool selected = editor && editor->selectedConnection == connection.key;
    if (selected) {
        for (const GridPoint p : path) {
            canvas.Rectangle(kCellPixels * p.x, kCellPixels * p.y, 17, 17, DarkenColour(look.colour), DarkenColour(look.colour));
        }
    }
    if (NeedsCasing(look.colour)) {
        DrawLanePath(canvas, path, shifts, CasingColour(look.colour), std::clamp(line.thickness, 1, kThickestLine) + 1);
    }
    DrawLanePath(canvas, path, shifts, look.colour, line.thickness);
    const std::size_t n = path.size();
    auto shiftAt = [&](std::size_t step) { return step < shifts.size() ? shifts[step] : GridPoint{0, 0}; };
    // The arrow at a map exit points away from the map: against the first
    // step (drawn for orthogonal steps only).
    if (n >= 2 && IsExit(map, connection.end[0].stop)) {
        const int d = StepDirection(path[0], path[1]);
        if (d >= 0) DrawExitArrow(canvas, path[0], line, look, Step(d).opposite, shiftAt(0));
    }
    if (n >= 2 && IsExit(map, connection.end[1].stop)) {
        const int d = StepDirection(path[n - 2], path[n - 1]);
        DrawExitArrow(canvas, path.back(), line, look, d, shiftAt(n - 2));
    }
    for (const Sign& sign : route.signs) {
        // The sign sits in the lane of the step it is on.
        const int64_t s = std::clamp<int64_t>(int64_t{sign.pos} + int64_t(n) - 1, 0, 2 * int64_t(n));
        const int64_t step = std::min<int64_t>(s / 2, int64_t(n) - 2);
        DrawSign(canvas, path, line, look, sign, step >= 0 ? shiftAt(static_cast<std::size_t>(step)) : GridPoint{0, 0});
    }
}

void DrawSelectedNode(RouteMapCanvas& canvas, const RouteMap& map, const RouteMapLayoutResult& layout,
                      const RouteMapEditorView& editor) {
    const Connection* connection = FindConnection(map, editor.selectedConnection);
    if (!connection || editor.selectedNode < 0 ||
        editor.selectedNode >= static_cast<int32_t>(connection->nodes.size())) {
        return;
    }
    const LineLook* look = layout.LineOf(map, connection->line);
    const GridPoint c = CellCentre(connection->nodes[static_cast<std::size_t>(editor.selectedNode)]);
    canvas.Disc(c.x, c.y, 8, kBlack);
    canvas.Disc(c.x, c.y, 7, DarkenColour(look ? look->colour : kBlack));
}

void DrawDraggedSign(RouteMapCanvas& canvas, const RouteMap& map, const RouteMapLayoutResult& layout,
                     const RouteMapEditorView& editor) {
    const Connection* connection = FindConnection(map, editor.selectedConnection);
    const RouteLine* line = connection ? FindRouteLine(map, connection->line) : nullptr;
    const ConnectionRoute* route = connection ? layout.RouteOf(map, connection->key) : nullptr;
    if (line && route && editor.draggedSign) {
        DrawSign(canvas, route->path, *line, *layout.LineOf(map, line->key), *editor.draggedSign);
    }
}

void DrawEditorMarkers(RouteMapCanvas& canvas, const RouteMap& map, const RouteMapLayoutResult& layout,
                       const RouteMapEditorView& editor) {
    const int32_t roundBox = map.roundBox;
    const RouteStop* stop = FindRouteStop(map, editor.selectedStop);
    const StopPlace* place = layout.StopOf(map, editor.selectedStop);
    if (stop && place && editor.draggedLabel && place->box.x >= 0) {
        DrawStopLabel(canvas, map, layout, *stop, place->box, *editor.draggedLabel, kRed);
    }
    if (editor.clickPoint) {
        canvas.Disc(editor.clickPoint->x, editor.clickPoint->y, 4, kBlack);
        canvas.Disc(editor.clickPoint->x, editor.clickPoint->y, 3, kRed);
    }
    if (editor.placingBox) DrawStopBox(canvas, *editor.placingBox, roundBox, kWhite);
    if (editor.rubberBand) {
        const auto& band = *editor.rubberBand;
        for (int32_t y = band.y + 1; y < band.y + band.height - 1; ++y) {
            for (int32_t x = band.x + 1; x < band.x + band.width - 1; ++x) canvas.XorPixel(x, y, kRubberBandXor);
        }
        canvas.Rectangle(band.x, band.y, band.width, band.height, std::nullopt, kRubberBandOutline);
    }
}

// Any straight 1-pixel line, stepped along its longer axis.
void FreeLine(RouteMapCanvas& canvas, GridPoint a, GridPoint b, Rgb colour) {
    const int64_t dx = int64_t{b.x} - a.x;
    const int64_t dy = int64_t{b.y} - a.y;
    const int64_t steps = std::min<int64_t>(std::max(std::abs(dx), std::abs(dy)), 1 << 16);
    for (int64_t i = 0; i <= steps; ++i) {
        const double t = steps == 0 ? 0.0 : double(i) / double(steps);
        canvas.SetPixel(BoundedPixel(a.x + std::lround(t * double(dx))), BoundedPixel(a.y + std::lround(t * double(dy))), colour);
    }
}

}  // namespace

void DrawRouteMap(const RouteMap& map, const RouteMapLayoutResult& layout, RouteMapCanvas& canvas,
                  const RouteMapEditorView* editor) {
    canvas.Fill(kWhite);
    if (editor) DrawGrid(canvas, map.width, map.height);
    const LineLanes lanes = ComputeLineLanes(map, layout);
    std::vector<GridPoint> shifts;
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        const Connection& connection = map.connections[c];
        if (const RouteLine* line = FindRouteLine(map, connection.line)) {
            shifts.clear();
            for (const LaneShift& shift : lanes.shifts[c]) shifts.push_back(shift.Pixels());
            DrawConnection(canvas, map, connection, layout.connections[c], *line, *layout.LineOf(map, line->key),
                           shifts, editor);
        }
    }
    if (editor) {
        DrawSelectedNode(canvas, map, layout, *editor);
        DrawDraggedSign(canvas, map, layout, *editor);
    }
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const RouteStop& stop = map.stops[i];
        const StopBox& box = layout.stops[i].box;
        if (box.x < 0) continue;
        const bool selected = editor && editor->selectedStop == stop.key;
        if (!stop.exit) DrawStopBox(canvas, box, map.roundBox, selected ? kSelectedStopFill : kWhite);
        if (selected && editor->selectedSide >= 0 && editor->selectedPort >= 0) {
            const GridPoint port = CellCentre(PortPoint(box, editor->selectedSide, editor->selectedPort));
            canvas.Disc(port.x, port.y, 3, kRed);
        }
    }
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const RouteStop& stop = map.stops[i];
        const StopPlace& place = layout.stops[i];
        if (place.box.x < 0) continue;
        const Rgb colour = editor && editor->selectedStop == stop.key ? kRed : kBlack;
        for (const StopLabel& label : place.labels) {
            if (const std::optional<LabelLeader> leader = LeaderOf(map, stop, place.box, label)) {
                FreeLine(canvas, leader->from, leader->to, kLeaderColour);
            }
            DrawStopLabel(canvas, map, layout, stop, place.box, label, colour);
        }
    }
    if (editor) DrawEditorMarkers(canvas, map, layout, *editor);
}

}  // namespace tak
