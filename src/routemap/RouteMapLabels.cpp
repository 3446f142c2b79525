#include "routemap/RouteMapLabels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapLineOrder.h"

namespace tak {

namespace {

constexpr int32_t kBadgeWidth = 28;
constexpr int32_t kBadgeHeight = 15;
constexpr double kPi = 3.14159265358979323846;


bool IsBadge(const StopLabel& label) { return label.type == kLabelLineFilled || label.type == kLabelLineOutlined; }

PixelRect Union(const PixelRect& a, const PixelRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

PixelRect Moved(const PixelRect& r, int32_t dx, int32_t dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The lines of a name, each turned around its own top-left corner as the
// drawing does: the rectangle around all of them along and across the text,
// and the box around that. One pixel more on every side holds glyphs that
// reach a little past their advance.
LabelShape NameShape(const std::string& name, GridPoint reference, int32_t angle) {
    const std::vector<std::string> lines = SplitStopName(name);
    const auto n = static_cast<int32_t>(lines.size());
    const double h = MeasureLabelText(" ").height;
    const double a = angle * kPi / 180.0;
    const double sinA = std::sin(a);
    const double cosA = std::cos(a);
    double minX = std::numeric_limits<double>::max();
    double minY = minX;
    double maxX = std::numeric_limits<double>::lowest();
    double maxY = maxX;
    // Along the text (cos, -sin) and across it (sin, cos), from the reference.
    double minU = minX, minV = minX, maxU = maxX, maxV = maxX;
    for (int32_t i = 0; i < n; ++i) {
        const std::string& text = lines[static_cast<std::size_t>(i)];
        if (text.empty()) continue;  // drawn as nothing, not even a background
        const double shift = (2 * i - n) * h / 2.0;
        const double dx = static_cast<double>(std::lround(shift * sinA));
        const double dy = static_cast<double>(std::lround(shift * cosA));
        const double x = reference.x + dx;
        const double y = reference.y + dy;
        const double w = MeasureLabelText(text).width;
        for (auto [cx, cy] : {std::pair{0.0, 0.0}, std::pair{w, 0.0}, std::pair{0.0, h}, std::pair{w, h}}) {
            const double px = x + cx * cosA + cy * sinA;
            const double py = y - cx * sinA + cy * cosA;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
        const double u = dx * cosA - dy * sinA;
        const double v = dx * sinA + dy * cosA;
        minU = std::min(minU, u);
        maxU = std::max(maxU, u + w);
        minV = std::min(minV, v);
        maxV = std::max(maxV, v + h);
    }
    if (minX > maxX) return {};
    LabelShape shape;
    shape.bounds = {static_cast<int32_t>(std::floor(minX)) - 1, static_cast<int32_t>(std::floor(minY)) - 1,
                    static_cast<int32_t>(std::ceil(maxX)) + 1, static_cast<int32_t>(std::ceil(maxY)) + 1};
    // A name along a grid axis is its bounds; its corners still tell where
    // its text starts and ends.
    shape.turned = angle % 90 != 0;
    auto corner = [&](double u, double v) {
        return LabelShape::Corner{reference.x + u * cosA + v * sinA, reference.y - u * sinA + v * cosA};
    };
    // Turned text is drawn a little wider at larger output scales: half a
    // pixel more there.
    const double m = shape.turned ? 1.5 : 1.0;
    shape.corners = {corner(minU - m, minV - m), corner(maxU + m, minV - m), corner(maxU + m, maxV + m),
                     corner(minU - m, maxV + m)};
    if (shape.turned) {
        double left = shape.corners[0].x, right = left, top = shape.corners[0].y, bottom = top;
        for (const LabelShape::Corner& c : shape.corners) {
            left = std::min(left, c.x);
            right = std::max(right, c.x);
            top = std::min(top, c.y);
            bottom = std::max(bottom, c.y);
        }
        shape.bounds = {static_cast<int32_t>(std::floor(left)), static_cast<int32_t>(std::floor(top)),
                        static_cast<int32_t>(std::ceil(right)), static_cast<int32_t>(std::ceil(bottom))};
    }
    return shape;
}

PixelRect BadgeBounds(const RouteLine& line, GridPoint reference) {
    const int32_t w = std::max(MeasureLabelText(line.name).width, kBadgeWidth);
    const int32_t h = std::max(MeasureLabelText(" ").height, kBadgeHeight);
    const int32_t left = reference.x - w / 2;
    const int32_t top = reference.y - h / 2;
    return {left, top, left + w, top + h};
}

}  // namespace

PixelRect StopBoxPixels(const StopBox& box) {
    // A 0-size side is a bar 9 pixels across the cell's centre, an n-cell
    // side spans its cells and one pixel more each way.
    const int32_t mx = box.width == 0 ? 4 : 1;
    const int32_t my = box.height == 0 ? 4 : 1;
    const int32_t left = BoundedPixel(kCellPixels * int64_t{box.x} + (box.width == 0 ? 8 : 0) - mx);
    const int32_t top = BoundedPixel(kCellPixels * int64_t{box.y} + (box.height == 0 ? 8 : 0) - my);
    return {left, top, BoundedPixel(int64_t{left} + kCellPixels * int64_t{box.width} + 2 * mx + 1),
            BoundedPixel(int64_t{top} + kCellPixels * int64_t{box.height} + 2 * my + 1)};
}

PixelRect StopBoxBounds(const RouteStop& stop, const StopBox& box) {
    if (stop.exit || box.x < 0) return {};
    return StopBoxPixels(box);
}

LabelShape LabelShape::Of(const PixelRect& rect) {
    LabelShape shape;
    shape.bounds = rect;
    shape.corners = {Corner{double(rect.left), double(rect.top)}, Corner{double(rect.right), double(rect.top)},
                     Corner{double(rect.right), double(rect.bottom)}, Corner{double(rect.left), double(rect.bottom)}};
    return shape;
}

namespace {

using Corners = std::array<LabelShape::Corner, 4>;

// True when the projections of the two shapes on the normal of one of the
// first shape's edges do not meet (touching is not meeting).
bool SeparatedByAnEdgeOf(const Corners& a, const Corners& b) {
    for (std::size_t i = 0; i < 4; ++i) {
        const LabelShape::Corner& p = a[i];
        const LabelShape::Corner& q = a[(i + 1) % 4];
        const double nx = q.y - p.y;
        const double ny = p.x - q.x;
        double minA = std::numeric_limits<double>::max(), maxA = std::numeric_limits<double>::lowest();
        double minB = minA, maxB = maxA;
        for (const LabelShape::Corner& c : a) {
            minA = std::min(minA, c.x * nx + c.y * ny);
            maxA = std::max(maxA, c.x * nx + c.y * ny);
        }
        for (const LabelShape::Corner& c : b) {
            minB = std::min(minB, c.x * nx + c.y * ny);
            maxB = std::max(maxB, c.x * nx + c.y * ny);
        }
        // A thousandth of a pixel of slack, so that shapes that only touch are apart.
        const double slack = 1e-3 * std::sqrt(nx * nx + ny * ny);
        if (maxA <= minB + slack || maxB <= minA + slack) return true;
    }
    return false;
}

double SquaredDistanceToSegment(LabelShape::Corner p, LabelShape::Corner a, LabelShape::Corner b) {
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double length = ex * ex + ey * ey;
    const double t = length > 0 ? std::clamp(((p.x - a.x) * ex + (p.y - a.y) * ey) / length, 0.0, 1.0) : 0.0;
    const double dx = a.x + t * ex - p.x, dy = a.y + t * ey - p.y;
    return dx * dx + dy * dy;
}

}  // namespace

bool LabelShape::Overlaps(const LabelShape& other) const {
    if (!bounds.Overlaps(other.bounds)) return false;
    if (!turned && !other.turned) return true;
    // An unturned shape is its bounds, whatever its corners say.
    const Corners mine = turned ? corners : Of(bounds).corners;
    const Corners theirs = other.turned ? other.corners : Of(other.bounds).corners;
    return !SeparatedByAnEdgeOf(mine, theirs) && !SeparatedByAnEdgeOf(theirs, mine);
}

double SquaredGap(const LabelShape& label, const PixelRect& box) {
    if (!label.turned) {
        const PixelRect& a = label.bounds;
        const int64_t dx = std::max({int64_t{0}, int64_t{a.left} - box.right + 1, int64_t{box.left} - a.right + 1});
        const int64_t dy = std::max({int64_t{0}, int64_t{a.top} - box.bottom + 1, int64_t{box.top} - a.bottom + 1});
        return static_cast<double>(dx * dx + dy * dy);
    }
    const LabelShape boxShape = LabelShape::Of(box);
    if (label.Overlaps(boxShape)) return 0;
    // Apart, two convex shapes are nearest at a corner of one of them.
    double best = std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < 4; ++i) {
        for (const auto& [from, to] : {std::pair{&label, &boxShape}, std::pair{&boxShape, &label}}) {
            for (const LabelShape::Corner& p : from->corners) {
                best = std::min(best, SquaredDistanceToSegment(p, to->corners[i], to->corners[(i + 1) % 4]));
            }
        }
    }
    return best;
}

LabelShape StopLabelShape(const RouteMap& map, const RouteStop& stop, const StopBox& box, const StopLabel& label) {
    if (box.x < 0) return {};
    if (label.type == kLabelName) return NameShape(stop.name, LabelReference(label, box), label.angle);
    return LabelShape::Of(StopLabelBounds(map, stop, box, label));
}

PixelRect StopLabelBounds(const RouteMap& map, const RouteStop& stop, const StopBox& box, const StopLabel& label) {
    if (box.x < 0) return {};
    const GridPoint reference = LabelReference(label, box);
    switch (label.type) {
        case kLabelName: return NameShape(stop.name, reference, label.angle).bounds;
        case kLabelLineFilled:
        case kLabelLineOutlined:
            if (const RouteLine* line = FindRouteLine(map, label.line)) return BadgeBounds(*line, reference);
            return {};
        case kLabelArrow: return {reference.x - 3, reference.y - 3, reference.x + 4, reference.y + 4};
        default: return {};
    }
}

PixelRect StopOutline(const RouteStop& stop, const StopBox& stopBox) {
    const PixelRect box = StopBoxBounds(stop, stopBox);
    if (!box.Empty()) return box;
    const GridPoint c = LabelAnchor(stopBox);
    return {c.x - 4, c.y - 4, c.x + 5, c.y + 5};
}

std::optional<LabelLeader> LeaderOf(const RouteMap& map, const RouteStop& stop, const StopBox& stopBox,
                                    const StopLabel& label) {
    if (label.type != kLabelName || stopBox.x < 0) return std::nullopt;
    const PixelRect r = StopLabelBounds(map, stop, stopBox, label);
    if (r.Empty()) return std::nullopt;
    const PixelRect box = StopOutline(stop, stopBox);
    // The label's point nearest to the box's centre, and the box's point nearest to that.
    const int32_t cx = box.left + (box.right - box.left) / 2;
    const int32_t cy = box.top + (box.bottom - box.top) / 2;
    const GridPoint to{std::clamp(cx, r.left, r.right - 1), std::clamp(cy, r.top, r.bottom - 1)};
    const GridPoint from{std::clamp(to.x, box.left, box.right - 1), std::clamp(to.y, box.top, box.bottom - 1)};
    const int64_t dx = int64_t{to.x} - from.x;
    const int64_t dy = int64_t{to.y} - from.y;
    if (dx * dx + dy * dy <= int64_t{kLeaderGap} * kLeaderGap) return std::nullopt;
    return LabelLeader{from, to};
}

namespace {

// Shapes filed by the squares of 64 pixels their bounds touch, so that a
// question about one place looks only at what lies near it.
class RectIndex {
public:
    explicit RectIndex(const PixelRect& area)
        : columns_(std::max(1, (area.right + kSquare - 1) / kSquare)),
          rows_(std::max(1, (area.bottom + kSquare - 1) / kSquare)),
          squares_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)) {}

    void Add(const PixelRect& r) { Add(LabelShape::Of(r)); }
    void Add(const LabelShape& shape) {
        if (shape.Empty()) return;
        const auto id = static_cast<int32_t>(shapes_.size());
        shapes_.push_back(shape);
        seen_.push_back(0);
        ForSquares(shape.bounds, [&](std::vector<int32_t>& square) { square.push_back(id); });
    }

    // How many shapes are filed; RollBack to it forgets the ones filed after.
    std::size_t Mark() const { return shapes_.size(); }
    void RollBack(std::size_t mark) {
        while (shapes_.size() > mark) {
            const auto id = static_cast<int32_t>(shapes_.size() - 1);
            // The newest filing is last in each of its squares.
            ForSquares(shapes_.back().bounds, [&](std::vector<int32_t>& square) {
                if (!square.empty() && square.back() == id) square.pop_back();
            });
            shapes_.pop_back();
            seen_.pop_back();
        }
    }

    // How many filed shapes the shape overlaps, counting up to `limit`.
    int32_t CountOverlaps(const PixelRect& r, int32_t limit = std::numeric_limits<int32_t>::max()) {
        return CountOverlaps(LabelShape::Of(r), limit);
    }
    int32_t CountOverlaps(const LabelShape& shape, int32_t limit = std::numeric_limits<int32_t>::max()) {
        if (shape.Empty()) return 0;
        ++stamp_;
        int32_t count = 0;
        ForSquares(shape.bounds, [&](std::vector<int32_t>& square) {
            for (int32_t id : square) {
                if (count >= limit || seen_[static_cast<std::size_t>(id)] == stamp_) continue;
                seen_[static_cast<std::size_t>(id)] = stamp_;
                if (shapes_[static_cast<std::size_t>(id)].Overlaps(shape)) ++count;
            }
        });
        return count;
    }

    // Every filed shape whose bounds overlap the rectangle, with its filing
    // number and its bounds.
    template <typename Visit>
    void ForEachOverlap(const PixelRect& r, Visit visit) {
        if (r.Empty()) return;
        ++stamp_;
        ForSquares(r, [&](std::vector<int32_t>& square) {
            for (int32_t id : square) {
                if (seen_[static_cast<std::size_t>(id)] == stamp_) continue;
                seen_[static_cast<std::size_t>(id)] = stamp_;
                const PixelRect& bounds = shapes_[static_cast<std::size_t>(id)].bounds;
                if (bounds.Overlaps(r)) visit(id, bounds);
            }
        });
    }

private:
    static constexpr int32_t kSquare = 64;

    template <typename Visit>
    void ForSquares(const PixelRect& r, Visit visit) {
        // Whatever lies outside the image is filed with the squares at its edge.
        auto column = [&](int32_t x) { return std::clamp(x / kSquare, 0, columns_ - 1); };
        auto row = [&](int32_t y) { return std::clamp(y / kSquare, 0, rows_ - 1); };
        for (int32_t j = row(r.top); j <= row(r.bottom - 1); ++j) {
            for (int32_t i = column(r.left); i <= column(r.right - 1); ++i) {
                visit(squares_[static_cast<std::size_t>(j) * static_cast<std::size_t>(columns_) +
                               static_cast<std::size_t>(i)]);
            }
        }
    }

    int32_t columns_;
    int32_t rows_;
    std::vector<std::vector<int32_t>> squares_;
    std::vector<LabelShape> shapes_;
    std::vector<uint32_t> seen_;
    uint32_t stamp_ = 0;
};

// Where a label or a block of badges may go: its rectangle moved so that its
// top-left corner lands on (left, top), or turned to another angle first.
struct Candidate {
    int32_t angle = 0;
    int32_t left = 0;
    int32_t top = 0;
};

// Places around the box's drawn outline (for an exit, the bar it would have),
// nearest first: right, left, above, below, then the four corners; each ring
// a little further out than the last.
void AddPlacesAround(std::vector<Candidate>& places, const PixelRect& box, int32_t angle, int32_t width,
                     int32_t height, int32_t distance) {
    const int32_t cx = (box.left + box.right) / 2;
    const int32_t cy = (box.top + box.bottom) / 2;
    const int32_t gap = 2 + distance;
    places.push_back({angle, box.right + gap, cy - height / 2});
    places.push_back({angle, box.left - gap - width, cy - height / 2});
    places.push_back({angle, cx - width / 2, box.top - gap - height});
    places.push_back({angle, cx - width / 2, box.bottom + gap});
    places.push_back({angle, box.right + distance, box.top - height - distance});
    places.push_back({angle, box.right + distance, box.bottom + distance});
    places.push_back({angle, box.left - width - distance, box.top - height - distance});
    places.push_back({angle, box.left - width - distance, box.bottom + distance});
}

// Rings next to the box, and rings further out where the label is joined to
// its box by a leader line.
constexpr int32_t kRingDistances[] = {0, 8, 16};
constexpr int32_t kLeaderDistances[] = {32, 48, 72, 104};

// Stops one after the other along a straight stretch of line, in their
// order from left to right or from top to bottom.
struct Stretch {
    bool horizontal = true;
    std::vector<std::size_t> stops;  // indices into the map's stops
};

// Stops further apart than this (centre to centre) have room enough for
// level names between them; they end a stretch.
constexpr int32_t kStretchSpacing = 64;


// Runs of three or more placed stops whose centres lie in one row or one
// column, each joined to the next by a straight path and to no other stop
// in that row or column; a stop belongs to one run at most.
std::vector<Stretch> FindStretches(const RouteMap& map, const RouteMapLayoutResult& layout) {
    const std::size_t n = map.stops.size();
    std::vector<std::pair<RouteKey, std::size_t>> byKey;
    for (std::size_t i = 0; i < n; ++i) byKey.emplace_back(map.stops[i].key, i);
    std::sort(byKey.begin(), byKey.end());
    auto indexOf = [&](RouteKey key) -> std::optional<std::size_t> {
        auto it = std::lower_bound(byKey.begin(), byKey.end(), std::pair{key, std::size_t{0}});
        if (it == byKey.end() || it->first != key) return std::nullopt;
        return it->second;
    };
    // Per axis (0 rows, 1 columns) and stop: the stops joined to it after and before it.
    std::array<std::vector<std::vector<std::size_t>>, 2> after{std::vector<std::vector<std::size_t>>(n),
                                                               std::vector<std::vector<std::size_t>>(n)};
    std::array<std::vector<std::vector<std::size_t>>, 2> before = after;
    auto link = [](std::vector<std::size_t>& list, std::size_t i) {
        if (std::find(list.begin(), list.end(), i) == list.end()) list.push_back(i);
    };
    for (const ConnectionRoute& c : layout.connections) {
        if (c.path.size() < 2) continue;
        const int d = StepDirection(c.path[0], c.path[1]);
        if (d < 0 || d > 3) continue;
        bool straight = true;
        for (std::size_t i = 2; i < c.path.size() && straight; ++i) {
            straight = StepDirection(c.path[i - 1], c.path[i]) == d;
        }
        const std::optional<std::size_t> a = indexOf(c.ends[0].stop);
        const std::optional<std::size_t> b = indexOf(c.ends[1].stop);
        if (!straight || !a || !b || *a == *b) continue;
        const StopBox& boxA = layout.stops[*a].box;
        const StopBox& boxB = layout.stops[*b].box;
        if (boxA.x < 0 || boxB.x < 0) continue;
        const int axis = d == 1 || d == 3 ? 0 : 1;
        const GridPoint ca = LabelAnchor(boxA);
        const GridPoint cb = LabelAnchor(boxB);
        if (axis == 0 ? ca.y != cb.y : ca.x != cb.x) continue;
        const int64_t along = axis == 0 ? int64_t{cb.x} - ca.x : int64_t{cb.y} - ca.y;
        if (along == 0 || std::abs(along) > kStretchSpacing) continue;
        const std::size_t first = along > 0 ? *a : *b;
        const std::size_t second = along > 0 ? *b : *a;
        link(after[static_cast<std::size_t>(axis)][first], second);
        link(before[static_cast<std::size_t>(axis)][second], first);
    }
    std::vector<Stretch> stretches;
    std::vector<bool> used(n, false);
    for (std::size_t axis = 0; axis < 2; ++axis) {
        // The one stop joined after i, when it has i as its one stop before.
        auto next = [&](std::size_t i) -> std::optional<std::size_t> {
            if (after[axis][i].size() != 1) return std::nullopt;
            const std::size_t j = after[axis][i].front();
            if (before[axis][j].size() != 1 || used[j]) return std::nullopt;
            return j;
        };
        for (std::size_t i = 0; i < n; ++i) {
            if (used[i]) continue;
            if (before[axis][i].size() == 1) {
                const std::size_t p = before[axis][i].front();
                if (!used[p] && after[axis][p].size() == 1) continue;  // inside a run: its start takes it
            }
            Stretch stretch{axis == 0, {i}};
            while (const std::optional<std::size_t> j = next(stretch.stops.back())) stretch.stops.push_back(*j);
            if (stretch.stops.size() < 3) continue;
            for (std::size_t s : stretch.stops) used[s] = true;
            stretches.push_back(std::move(stretch));
        }
    }
    return stretches;
}

class LabelPlacer {
public:
    LabelPlacer(const RouteMap& map, RouteMapLayoutResult& layout)
        : map_(map),
          layout_(layout),
          image_{0, 0, BoundedPixel(kCellPixels * int64_t{map.width} + 1), BoundedPixel(kCellPixels * int64_t{map.height} + 1)},
          taken_(image_),
          lines_(image_),
          outlines_(image_) {}

    int32_t Run();

private:
    void FileFixedThings();
    void FileLines();
    // Every automatic name and badge block not placed yet, stop by stop.
    void PlaceAll(const std::vector<bool>& namedByStretch);
    void PlaceName(std::size_t stop, StopLabel& label);
    // Turns the names of a stretch's stops as the first option that gives
    // every one of them a clear place (or the one that gives most of them
    // one) lays them, and marks the stops so placed.
    void TurnStretch(const Stretch& stretch, std::vector<bool>& namedByStretch);
    // The label turned by `angle` beside the stop's box on `side` (0-3 as
    // the box's sides), with the end of its text that is nearer the box
    // centred on the box.
    StopLabel TurnedBeside(std::size_t stop, StopLabel label, int32_t angle, int side);
    // Inside the image, on no other label, box or line, and nearer its own
    // stop than any other.
    bool Clear(const LabelShape& shape, std::size_t stop);
    void PlaceBadgeBlock(std::size_t stop);
    // `shifts` are the lanes of the connection's steps.
    void FileLineNames(const ConnectionRoute& route, const RouteLine& line, const std::vector<LaneShift>& shifts);
    // True when some other stop's box lies nearer to the rectangle than the
    // stop's own box: the label would seem to name that stop.
    bool NearerToAnother(const LabelShape& shape, std::size_t stop);
    // The first of the shapes that is free, crosses no line and lies
    // nearest its own stop (`clear`); else the best free one with `clear`
    // false; -1 when none is free.
    int32_t Best(const std::vector<LabelShape>& shapes, std::size_t stop, bool& clear);

    // The stop at `i` of the map, its box and the label's area there.
    const RouteStop& Stop(std::size_t i) const { return map_.stops[i]; }
    StopPlace& Place(std::size_t i) const { return layout_.stops[i]; }
    PixelRect Outline(std::size_t i) const { return StopOutline(Stop(i), Place(i).box); }
    LabelShape ShapeOf(std::size_t i, const StopLabel& label) const {
        return StopLabelShape(map_, Stop(i), Place(i).box, label);
    }
    PixelRect BoundsOf(std::size_t i, const StopLabel& label) const {
        return StopLabelBounds(map_, Stop(i), Place(i).box, label);
    }

    const RouteMap& map_;
    RouteMapLayoutResult& layout_;
    PixelRect image_;
    RectIndex taken_;  // stop boxes and labels already in place
    RectIndex lines_;  // pieces of drawn lines and their name signs
    RectIndex outlines_;  // every placed stop's box outline
    std::vector<std::size_t> outlineStops_;  // the stop of each filed outline
    int32_t crowded_ = 0;
    // Per stop: its automatic names all found a clear place next to the box.
    std::vector<bool> namedNear_;
};

// A badge block moves as one only when every badge of the stop is automatic;
// badges that follow a hand-placed badge keep their place in its block.
bool HasFixedBadge(const StopPlace& stop) {
    return std::any_of(stop.labels.begin(), stop.labels.end(),
                       [](const StopLabel& l) { return IsBadge(l) && !l.automatic; });
}

bool Moves(const StopPlace& stop, const StopLabel& label) {
    if (!label.automatic) return false;
    if (label.type == kLabelName) return true;
    return IsBadge(label) && !HasFixedBadge(stop);
}

int32_t LabelPlacer::Run() {
    FileLines();
    FileFixedThings();
    const std::vector<Stretch> stretches = FindStretches(map_, layout_);
    const std::size_t fixedMark = taken_.Mark();
    const int32_t fixedCrowded = crowded_;
    std::vector<std::vector<StopLabel>> ruled;
    if (!stretches.empty()) {
        for (const StopPlace& place : layout_.stops) ruled.push_back(place.labels);
    }
    namedNear_.assign(map_.stops.size(), true);
    std::vector<bool> namedByStretch(map_.stops.size(), false);
    PlaceAll(namedByStretch);

    std::vector<const Stretch*> crowdedStretches;
    for (const Stretch& stretch : stretches) {
        if (std::any_of(stretch.stops.begin(), stretch.stops.end(), [&](std::size_t i) { return !namedNear_[i]; })) {
            crowdedStretches.push_back(&stretch);
        }
    }
    if (crowdedStretches.empty()) return crowded_;
    // Once more from the plain rule's places, the crowded stretches first.
    // Should that leave more names without a clear place, the first way stays.
    std::vector<std::vector<StopLabel>> unturned;
    for (std::size_t i = 0; i < map_.stops.size(); ++i) {
        unturned.push_back(std::move(Place(i).labels));
        Place(i).labels = ruled[i];
    }
    const int32_t unturnedCrowded = crowded_;
    taken_.RollBack(fixedMark);
    crowded_ = fixedCrowded;
    for (const Stretch* stretch : crowdedStretches) TurnStretch(*stretch, namedByStretch);
    PlaceAll(namedByStretch);
    if (crowded_ > unturnedCrowded) {
        for (std::size_t i = 0; i < map_.stops.size(); ++i) Place(i).labels = std::move(unturned[i]);
        crowded_ = unturnedCrowded;
    }
    return crowded_;
}

// The first automatic name of the stop, the one a stretch turns.
StopLabel* FirstAutomaticName(StopPlace& stop) {
    for (StopLabel& label : stop.labels) {
        if (label.type == kLabelName && label.automatic) return &label;
    }
    return nullptr;
}

void LabelPlacer::PlaceAll(const std::vector<bool>& namedByStretch) {
    for (std::size_t i = 0; i < map_.stops.size(); ++i) {
        StopPlace& place = Place(i);
        if (place.box.x < 0) continue;
        const StopLabel* turned = namedByStretch[i] ? FirstAutomaticName(place) : nullptr;
        for (StopLabel& label : place.labels) {
            if (label.type == kLabelName && label.automatic && &label != turned) PlaceName(i, label);
        }
        PlaceBadgeBlock(i);
    }
}

void LabelPlacer::FileFixedThings() {
    for (std::size_t i = 0; i < map_.stops.size(); ++i) taken_.Add(StopBoxBounds(Stop(i), Place(i).box));
    for (std::size_t i = 0; i < map_.stops.size(); ++i) {
        if (Place(i).box.x < 0) continue;
        outlines_.Add(Outline(i));
        outlineStops_.push_back(i);
    }
    for (std::size_t i = 0; i < map_.stops.size(); ++i) {
        const StopPlace& place = Place(i);
        if (place.box.x < 0) continue;
        for (const StopLabel& label : place.labels) {
            if (Moves(place, label)) continue;
            const LabelShape r = ShapeOf(i, label);
            // An automatic badge that has to stay in a hand-placed block is
            // counted when its place is not free. Arrows belong on their box.
            if (label.automatic && IsBadge(label) && !r.Empty() &&
                (!r.Inside(image_) || taken_.CountOverlaps(r, 1) > 0 || lines_.CountOverlaps(r, 1) > 0)) {
                ++crowded_;
            }
            taken_.Add(r);
        }
    }
}

// Each step of a path as the rectangle its drawn band covers, in its lane;
// a diagonal step as small squares along it.
void LabelPlacer::FileLines() {
    const LineLanes lanes = ComputeLineLanes(map_, layout_);
    for (std::size_t c = 0; c < map_.connections.size(); ++c) {
        const Connection& connection = map_.connections[c];
        const ConnectionRoute& route = layout_.connections[c];
        const RouteLine* line = FindRouteLine(map_, connection.line);
        if (!line) continue;
        const LineLook& look = *layout_.LineOf(map_, connection.line);
        const int32_t h = std::clamp(line->thickness, 1, 32) - (NeedsCasing(look.colour) ? 0 : 1);
        for (std::size_t i = 1; i < route.path.size(); ++i) {
            const GridPoint a = route.path[i - 1];
            const GridPoint b = route.path[i];
            const GridPoint shift = lanes.At(c, i - 1).Pixels();
            const int32_t ax = kCellPixels * a.x + 8 + shift.x, ay = kCellPixels * a.y + 8 + shift.y;
            const int32_t bx = kCellPixels * b.x + 8 + shift.x, by = kCellPixels * b.y + 8 + shift.y;
            if (ax == bx || ay == by) {
                lines_.Add(PixelRect{std::min(ax, bx) - h, std::min(ay, by) - h, std::max(ax, bx) + h + 1,
                                     std::max(ay, by) + h + 1});
                continue;
            }
            // Every 2 pixels, so that even a 1-pixel line leaves no gap.
            for (int32_t k = 0; k <= 8; ++k) {
                const int32_t x = ax + (bx - ax) * k / 8;
                const int32_t y = ay + (by - ay) * k / 8;
                lines_.Add(PixelRect{x - h - 1, y - h - 1, x + h + 2, y + h + 2});
            }
        }
        FileLineNames(route, *line, lanes.shifts[c]);
    }
}

// A line's name drawn along a straight stretch reaches beyond the line's band.
void LabelPlacer::FileLineNames(const ConnectionRoute& route, const RouteLine& line,
                                const std::vector<LaneShift>& shifts) {
    const int32_t n = static_cast<int32_t>(route.path.size());
    for (const Sign& sign : route.signs) {
        if (sign.type != kSignLineName) continue;
        const std::optional<GridPoint> c = SignPixel(route.path, sign.pos);
        const int64_t s = int64_t{sign.pos} + n - 1;
        if (!c || s < 2 || s > 2 * (int64_t{n} - 2)) continue;
        const auto i = static_cast<std::size_t>(std::min<int64_t>(s / 2, int64_t{n} - 2));
        const int d = StepDirection(route.path[i], route.path[i + 1]);
        const GridPoint shift = i < shifts.size() ? shifts[i].Pixels() : GridPoint{0, 0};
        const GridPoint centre{c->x + shift.x, c->y + shift.y};
        const TextSize size = MeasureLabelText(line.name);
        int32_t halfWidth = size.width / 2 + 2;
        int32_t halfHeight = size.height / 2 + 2;
        if (d == 0 || d == 2) std::swap(halfWidth, halfHeight);
        if (d >= 4) halfWidth = halfHeight = (size.width + size.height) * 3 / 8 + 2;  // about (w + h) / 2 / sqrt 2
        lines_.Add(PixelRect{centre.x - halfWidth, centre.y - halfHeight, centre.x + halfWidth + 1,
                             centre.y + halfHeight + 1});
    }
}

bool LabelPlacer::NearerToAnother(const LabelShape& shape, std::size_t stop) {
    const double own = SquaredGap(shape, Outline(stop));
    if (own == 0) return false;
    // Only boxes within the own box's distance can be nearer.
    const auto reach = static_cast<int32_t>(std::min(std::ceil(std::sqrt(own)), double{1 << 20}));
    const PixelRect& r = shape.bounds;
    bool nearer = false;
    outlines_.ForEachOverlap({r.left - reach, r.top - reach, r.right + reach, r.bottom + reach},
                             [&](int32_t id, const PixelRect& outline) {
                                 if (outlineStops_[static_cast<std::size_t>(id)] == stop) return;
                                 if (SquaredGap(shape, outline) < own) nearer = true;
                             });
    return nearer;
}

int32_t LabelPlacer::Best(const std::vector<LabelShape>& shapes, std::size_t stop, bool& clear) {
    // The first place that is wholly clear; else the free place crossing
    // the fewest lines, one that seems to name another stop only when no
    // other is free.
    int32_t best = -1;
    int64_t bestScore = std::numeric_limits<int64_t>::max();
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const LabelShape& r = shapes[i];
        if (!r.Empty() && (!r.Inside(image_) || taken_.CountOverlaps(r, 1) > 0)) continue;
        const int64_t crossed = r.Empty() ? 0 : lines_.CountOverlaps(r);
        const int64_t score = (NearerToAnother(r, stop) ? int64_t{1} << 40 : 0) + crossed;
        if (score >= bestScore) continue;
        best = static_cast<int32_t>(i);
        bestScore = score;
        if (score == 0) break;
    }
    clear = best >= 0 && bestScore == 0;
    return best;
}

bool LabelPlacer::Clear(const LabelShape& shape, std::size_t stop) {
    return !shape.Empty() && shape.Inside(image_) && taken_.CountOverlaps(shape, 1) == 0 &&
           lines_.CountOverlaps(shape, 1) == 0 && !NearerToAnother(shape, stop);
}

void LabelPlacer::PlaceName(std::size_t stop, StopLabel& label) {
    const PixelRect outline = Outline(stop);
    // The rule's own place first, then horizontal text around the box, then
    // text reading upwards, each ring further out.
    const StopLabel ruled = label;
    std::vector<Candidate> places{{label.angle, 0, 0}};
    std::vector<int32_t> distances{0};
    const PixelRect flat = [&] {
        StopLabel probe = ruled;
        probe.angle = 0;
        return BoundsOf(stop, probe);
    }();
    const PixelRect upright = [&] {
        StopLabel probe = ruled;
        probe.angle = 90;
        return BoundsOf(stop, probe);
    }();
    if (flat.Empty()) return;
    auto addRing = [&](int32_t distance) {
        AddPlacesAround(places, outline, 0, flat.right - flat.left, flat.bottom - flat.top, distance);
        AddPlacesAround(places, outline, 90, upright.right - upright.left, upright.bottom - upright.top, distance);
        distances.resize(places.size(), distance);
    };
    for (int32_t distance : kRingDistances) addRing(distance);
    for (int32_t distance : kLeaderDistances) addRing(distance);
    std::vector<StopLabel> tries;
    std::vector<LabelShape> shapes;
    tries.push_back(ruled);
    shapes.push_back(ShapeOf(stop, ruled));
    for (std::size_t i = 1; i < places.size(); ++i) {
        const Candidate& place = places[i];
        const PixelRect& shape = place.angle == 0 ? flat : upright;
        StopLabel moved = ruled;
        moved.angle = place.angle;
        moved.x = BoundedPixel(int64_t{ruled.x} + place.left - shape.left);
        moved.y = BoundedPixel(int64_t{ruled.y} + place.top - shape.top);
        tries.push_back(moved);
        shapes.push_back(LabelShape::Of(Moved(shape, place.left - shape.left, place.top - shape.top)));
    }
    bool clear = false;
    const int32_t best = Best(shapes, stop, clear);
    if (!clear) ++crowded_;
    // Next to the box means at most half a cell away from it.
    if (!clear || distances[static_cast<std::size_t>(std::max(best, 0))] > 8) namedNear_[stop] = false;
    if (best < 0) {
        taken_.Add(shapes.front());
        return;
    }
    label = tries[static_cast<std::size_t>(best)];
    taken_.Add(shapes[static_cast<std::size_t>(best)]);
}

void LabelPlacer::PlaceBadgeBlock(std::size_t stop) {
    StopPlace& place = Place(stop);
    if (HasFixedBadge(place)) return;  // filed with the fixed things
    PixelRect block;
    bool any = false;
    for (const StopLabel& label : place.labels) {
        if (!IsBadge(label)) continue;
        any = true;
        block = Union(block, BoundsOf(stop, label));
    }
    if (!any || block.Empty()) return;
    std::vector<Candidate> places{{0, block.left, block.top}};
    for (int32_t distance : kRingDistances) {
        AddPlacesAround(places, Outline(stop), 0, block.right - block.left, block.bottom - block.top, distance);
    }
    // Badges have no leader line: they stay within one ring of leader distance.
    AddPlacesAround(places, Outline(stop), 0, block.right - block.left, block.bottom - block.top,
                    kLeaderDistances[0]);
    std::vector<LabelShape> shapes;
    for (const Candidate& candidate : places) {
        shapes.push_back(LabelShape::Of(Moved(block, candidate.left - block.left, candidate.top - block.top)));
    }
    bool clear = false;
    const int32_t best = Best(shapes, stop, clear);
    const int32_t chosen = best < 0 ? 0 : best;
    if (!clear) ++crowded_;
    const int32_t dx = places[static_cast<std::size_t>(chosen)].left - block.left;
    const int32_t dy = places[static_cast<std::size_t>(chosen)].top - block.top;
    for (StopLabel& label : place.labels) {
        if (!IsBadge(label)) continue;
        label.x = BoundedPixel(int64_t{label.x} + dx);
        label.y = BoundedPixel(int64_t{label.y} + dy);
        taken_.Add(BoundsOf(stop, label));
    }
}

StopLabel LabelPlacer::TurnedBeside(std::size_t stop, StopLabel label, int32_t angle, int side) {
    label.angle = angle;
    label.x = 0;
    label.y = 0;
    const LabelShape centred = ShapeOf(stop, label);
    if (centred.Empty()) return label;
    const PixelRect box = Outline(stop);
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    const auto& c = centred.corners;
    const LabelShape::Corner start{(c[0].x + c[3].x) / 2, (c[0].y + c[3].y) / 2};
    const LabelShape::Corner end{(c[1].x + c[2].x) / 2, (c[1].y + c[2].y) / 2};
    constexpr int32_t kGap = 3;
    // Above and right of the box the text starts at it; below and left it ends there.
    switch (side) {
        case 0:
            label.x = static_cast<int32_t>(std::lround(cx - start.x));
            label.y = box.top - kGap - centred.bounds.bottom;
            break;
        case 1:
            label.x = box.right + kGap - centred.bounds.left;
            label.y = static_cast<int32_t>(std::lround(cy - start.y));
            break;
        case 2:
            label.x = static_cast<int32_t>(std::lround(cx - end.x));
            label.y = box.bottom + kGap - centred.bounds.top;
            break;
        default:
            label.x = box.left - kGap - centred.bounds.right;
            label.y = static_cast<int32_t>(std::lround(cy - end.y));
            break;
    }
    return label;
}

void LabelPlacer::TurnStretch(const Stretch& stretch, std::vector<bool>& namedByStretch) {
    struct Option {
        int32_t angle;
        int side;        // of the first name
        bool alternate;  // every second name on the other side
    };
    // Beside a horizontal stretch names read upwards or slanted, beside a
    // vertical one level or slanted; one side first, both when one has no room.
    const int32_t square = stretch.horizontal ? 90 : 0;
    const int sideA = stretch.horizontal ? 0 : 1;
    const int sideB = stretch.horizontal ? 2 : 3;
    const Option options[] = {{square, sideA, false}, {square, sideB, false}, {45, sideA, false},
                              {45, sideB, false},     {square, sideA, true},  {square, sideB, true},
                              {45, sideA, true},      {45, sideB, true}};
    struct Turned {
        std::size_t stop;
        StopLabel label;
        LabelShape shape;
        bool clear = false;
    };
    auto lay = [&](const Option& option) {
        std::vector<Turned> laid;
        const std::size_t mark = taken_.Mark();
        for (std::size_t i : stretch.stops) {
            const StopLabel* name = FirstAutomaticName(Place(i));
            if (!name) continue;
            const int side = option.alternate && laid.size() % 2 == 1 ? (option.side + 2) % 4 : option.side;
            Turned turned{i, TurnedBeside(i, *name, option.angle, side), {}};
            turned.shape = ShapeOf(i, turned.label);
            turned.clear = Clear(turned.shape, i);
            if (turned.clear) taken_.Add(turned.shape);
            laid.push_back(std::move(turned));
        }
        taken_.RollBack(mark);
        return laid;
    };
    std::vector<Turned> best;
    std::ptrdiff_t bestClear = -1;
    for (const Option& option : options) {
        std::vector<Turned> laid = lay(option);
        const auto clear = std::count_if(laid.begin(), laid.end(), [](const Turned& t) { return t.clear; });
        if (clear <= bestClear) continue;
        bestClear = clear;
        best = std::move(laid);
        if (clear == static_cast<std::ptrdiff_t>(best.size())) break;
    }
    // Names without a clear place in the best option are placed one by one later.
    for (const Turned& turned : best) {
        if (!turned.clear) continue;
        *FirstAutomaticName(Place(turned.stop)) = turned.label;
        taken_.Add(turned.shape);
        namedByStretch[turned.stop] = true;
    }
}

}  // namespace

int32_t ClearStopLabels(const RouteMap& map, RouteMapLayoutResult& layout) {
    if (map.width <= 0 || map.height <= 0) return 0;
    LabelPlacer placer(map, layout);
    return placer.Run();
}

}  // namespace tak
