#include "routemap/RouteMapLabels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapLineOrder.h"

namespace tak {

namespace {

constexpr int32_t kBadgeWidth = 28;
constexpr int32_t kBadgeHeight = 15;
constexpr double kPi = 3.14159265358979323846;

// Pixel sums from a hand-edited file are held far outside any image.
int32_t Bounded(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24)); }

GridPoint LabelReference(const StopLabel& label, const StopBox& box) {
    return {Bounded(16 * int64_t{box.x} + 8 * int64_t{std::max(box.width, 1)} + label.x),
            Bounded(16 * int64_t{box.y} + 8 * int64_t{std::max(box.height, 1)} + label.y)};
}

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
// drawing does, and the box around all of them. One pixel more on every side
// holds glyphs that reach a little past their advance.
PixelRect NameBounds(const std::string& name, GridPoint reference, int32_t angle) {
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
    for (int32_t i = 0; i < n; ++i) {
        const std::string& text = lines[static_cast<std::size_t>(i)];
        if (text.empty()) continue;  // drawn as nothing, not even a background
        const double shift = (2 * i - n) * h / 2.0;
        const double x = reference.x + std::lround(shift * sinA);
        const double y = reference.y + std::lround(shift * cosA);
        const double w = MeasureLabelText(text).width;
        for (auto [cx, cy] : {std::pair{0.0, 0.0}, std::pair{w, 0.0}, std::pair{0.0, h}, std::pair{w, h}}) {
            const double px = x + cx * cosA + cy * sinA;
            const double py = y - cx * sinA + cy * cosA;
            minX = std::min(minX, px);
            maxX = std::max(maxX, px);
            minY = std::min(minY, py);
            maxY = std::max(maxY, py);
        }
    }
    if (minX > maxX) return {};
    return {static_cast<int32_t>(std::floor(minX)) - 1, static_cast<int32_t>(std::floor(minY)) - 1,
            static_cast<int32_t>(std::ceil(maxX)) + 1, static_cast<int32_t>(std::ceil(maxY)) + 1};
}

PixelRect BadgeBounds(const RouteLine& line, GridPoint reference) {
    const int32_t w = std::max(MeasureLabelText(line.name).width, kBadgeWidth);
    const int32_t h = std::max(MeasureLabelText(" ").height, kBadgeHeight);
    const int32_t left = reference.x - w / 2;
    const int32_t top = reference.y - h / 2;
    return {left, top, left + w, top + h};
}

}  // namespace

PixelRect StopBoxBounds(const RouteStop& stop) {
    const StopBox& box = stop.box;
    if (stop.exit || box.x < 0) return {};
    // As the box is drawn: a 0-size side is a bar 9 pixels across the cell's
    // centre, an n-cell side spans its cells and one pixel more each way.
    const int32_t mx = box.width == 0 ? 4 : 1;
    const int32_t my = box.height == 0 ? 4 : 1;
    const int32_t left = Bounded(16 * int64_t{box.x} + (box.width == 0 ? 8 : 0) - mx);
    const int32_t top = Bounded(16 * int64_t{box.y} + (box.height == 0 ? 8 : 0) - my);
    return {left, top, Bounded(int64_t{left} + 16 * int64_t{box.width} + 2 * mx + 1),
            Bounded(int64_t{top} + 16 * int64_t{box.height} + 2 * my + 1)};
}

PixelRect StopLabelBounds(const RouteMap& map, const RouteStop& stop, const StopLabel& label) {
    if (stop.box.x < 0) return {};
    const GridPoint reference = LabelReference(label, stop.box);
    switch (label.type) {
        case kLabelName: return NameBounds(stop.name, reference, label.angle);
        case kLabelLineFilled:
        case kLabelLineOutlined:
            if (const RouteLine* line = FindRouteLine(map, label.line)) return BadgeBounds(*line, reference);
            return {};
        case kLabelArrow: return {reference.x - 3, reference.y - 3, reference.x + 4, reference.y + 4};
        default: return {};
    }
}

std::optional<LabelLeader> LeaderOf(const RouteMap& map, const RouteStop& stop, const StopLabel& label) {
    if (label.type != kLabelName || stop.box.x < 0) return std::nullopt;
    const PixelRect r = StopLabelBounds(map, stop, label);
    if (r.Empty()) return std::nullopt;
    PixelRect box = StopBoxBounds(stop);
    if (box.Empty()) {
        const GridPoint c = LabelReference(StopLabel{}, stop.box);
        box = {c.x - 4, c.y - 4, c.x + 5, c.y + 5};
    }
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

// Rectangles filed by the squares of 64 pixels they touch, so that a
// question about one place looks only at what lies near it.
class RectIndex {
public:
    explicit RectIndex(const PixelRect& area)
        : columns_(std::max(1, (area.right + kSquare - 1) / kSquare)),
          rows_(std::max(1, (area.bottom + kSquare - 1) / kSquare)),
          squares_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)) {}

    void Add(const PixelRect& r) {
        if (r.Empty()) return;
        const auto id = static_cast<int32_t>(rects_.size());
        rects_.push_back(r);
        seen_.push_back(0);
        ForSquares(r, [&](std::vector<int32_t>& square) { square.push_back(id); });
    }

    // How many filed rectangles the rectangle overlaps, counting up to `limit`.
    int32_t CountOverlaps(const PixelRect& r, int32_t limit = std::numeric_limits<int32_t>::max()) {
        if (r.Empty()) return 0;
        ++stamp_;
        int32_t count = 0;
        ForSquares(r, [&](std::vector<int32_t>& square) {
            for (int32_t id : square) {
                if (count >= limit || seen_[static_cast<std::size_t>(id)] == stamp_) continue;
                seen_[static_cast<std::size_t>(id)] = stamp_;
                if (rects_[static_cast<std::size_t>(id)].Overlaps(r)) ++count;
            }
        });
        return count;
    }

    // Every filed rectangle that overlaps the rectangle, with its filing number.
    template <typename Visit>
    void ForEachOverlap(const PixelRect& r, Visit visit) {
        if (r.Empty()) return;
        ++stamp_;
        ForSquares(r, [&](std::vector<int32_t>& square) {
            for (int32_t id : square) {
                if (seen_[static_cast<std::size_t>(id)] == stamp_) continue;
                seen_[static_cast<std::size_t>(id)] = stamp_;
                if (rects_[static_cast<std::size_t>(id)].Overlaps(r)) visit(id, rects_[static_cast<std::size_t>(id)]);
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
    std::vector<PixelRect> rects_;
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

class LabelPlacer {
public:
    explicit LabelPlacer(RouteMap& map)
        : map_(map),
          image_{0, 0, Bounded(16 * int64_t{map.width} + 1), Bounded(16 * int64_t{map.height} + 1)},
          taken_(image_),
          lines_(image_),
          outlines_(image_) {}

    int32_t Run();

private:
    void FileFixedThings();
    void FileLines();
    void PlaceName(RouteStop& stop, StopLabel& label);
    void PlaceBadgeBlock(RouteStop& stop);
    // `shifts` are the lanes of the connection's steps.
    void FileLineNames(const Connection& connection, const RouteLine& line, const std::vector<LaneShift>& shifts);
    // True when some other stop's box lies nearer to the rectangle than the
    // stop's own box: the label would seem to name that stop.
    bool NearerToAnother(const PixelRect& r, const RouteStop& stop);
    // The first of the rectangles that is free, crosses no line and lies
    // nearest its own stop (`clear`); else the best free one with `clear`
    // false; -1 when none is free.
    int32_t Best(const std::vector<PixelRect>& rects, const RouteStop& stop, bool& clear);

    RouteMap& map_;
    PixelRect image_;
    RectIndex taken_;  // stop boxes and labels already in place
    RectIndex lines_;  // pieces of drawn lines and their name signs
    RectIndex outlines_;  // every placed stop's box outline
    std::vector<RouteKey> outlineStops_;  // the stop of each filed outline
    int32_t crowded_ = 0;
};

// A badge block moves as one only when every badge of the stop is automatic;
// badges that follow a hand-placed badge keep their place in its block.
bool HasFixedBadge(const RouteStop& stop) {
    return std::any_of(stop.labels.begin(), stop.labels.end(),
                       [](const StopLabel& l) { return IsBadge(l) && !l.automatic; });
}

bool Moves(const RouteStop& stop, const StopLabel& label) {
    if (!label.automatic) return false;
    if (label.type == kLabelName) return true;
    return IsBadge(label) && !HasFixedBadge(stop);
}

int32_t LabelPlacer::Run() {
    FileLines();
    FileFixedThings();
    for (RouteStop& stop : map_.stops) {
        if (stop.box.x < 0) continue;
        for (StopLabel& label : stop.labels) {
            if (label.type == kLabelName && label.automatic) PlaceName(stop, label);
        }
        PlaceBadgeBlock(stop);
    }
    return crowded_;
}

PixelRect OutlineOf(const RouteStop& stop);

void LabelPlacer::FileFixedThings() {
    for (const RouteStop& stop : map_.stops) taken_.Add(StopBoxBounds(stop));
    for (const RouteStop& stop : map_.stops) {
        if (stop.box.x < 0) continue;
        outlines_.Add(OutlineOf(stop));
        outlineStops_.push_back(stop.key);
    }
    for (const RouteStop& stop : map_.stops) {
        if (stop.box.x < 0) continue;
        for (const StopLabel& label : stop.labels) {
            if (Moves(stop, label)) continue;
            const PixelRect r = StopLabelBounds(map_, stop, label);
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
    const LineLanes lanes = ComputeLineLanes(map_);
    for (std::size_t c = 0; c < map_.connections.size(); ++c) {
        const Connection& connection = map_.connections[c];
        const RouteLine* line = FindRouteLine(map_, connection.line);
        if (!line) continue;
        const int32_t h = std::clamp(line->thickness, 1, 32) - (NeedsCasing(line->colour) ? 0 : 1);
        for (std::size_t i = 1; i < connection.path.size(); ++i) {
            const GridPoint a = connection.path[i - 1];
            const GridPoint b = connection.path[i];
            const GridPoint shift = lanes.At(c, i - 1).Pixels();
            const int32_t ax = 16 * a.x + 8 + shift.x, ay = 16 * a.y + 8 + shift.y;
            const int32_t bx = 16 * b.x + 8 + shift.x, by = 16 * b.y + 8 + shift.y;
            if (ax == bx || ay == by) {
                lines_.Add({std::min(ax, bx) - h, std::min(ay, by) - h, std::max(ax, bx) + h + 1,
                            std::max(ay, by) + h + 1});
                continue;
            }
            // Every 2 pixels, so that even a 1-pixel line leaves no gap.
            for (int32_t k = 0; k <= 8; ++k) {
                const int32_t x = ax + (bx - ax) * k / 8;
                const int32_t y = ay + (by - ay) * k / 8;
                lines_.Add({x - h - 1, y - h - 1, x + h + 2, y + h + 2});
            }
        }
        FileLineNames(connection, *line, lanes.shifts[c]);
    }
}

// A line's name drawn along a straight stretch reaches beyond the line's band.
void LabelPlacer::FileLineNames(const Connection& connection, const RouteLine& line,
                                const std::vector<LaneShift>& shifts) {
    const int32_t n = static_cast<int32_t>(connection.path.size());
    for (const Sign& sign : connection.workSigns) {
        if (sign.type != kSignLineName) continue;
        const std::optional<GridPoint> c = SignPixel(connection.path, sign.pos);
        const int64_t s = int64_t{sign.pos} + n - 1;
        if (!c || s < 2 || s > 2 * (int64_t{n} - 2)) continue;
        const auto i = static_cast<std::size_t>(std::min<int64_t>(s / 2, int64_t{n} - 2));
        const int d = StepDirection(connection.path[i], connection.path[i + 1]);
        const GridPoint shift = i < shifts.size() ? shifts[i].Pixels() : GridPoint{0, 0};
        const GridPoint centre{c->x + shift.x, c->y + shift.y};
        const TextSize size = MeasureLabelText(line.name);
        int32_t halfWidth = size.width / 2 + 2;
        int32_t halfHeight = size.height / 2 + 2;
        if (d == 0 || d == 2) std::swap(halfWidth, halfHeight);
        if (d >= 4) halfWidth = halfHeight = (size.width + size.height) * 3 / 8 + 2;  // about (w + h) / 2 / sqrt 2
        lines_.Add({centre.x - halfWidth, centre.y - halfHeight, centre.x + halfWidth + 1, centre.y + halfHeight + 1});
    }
}

namespace {

int64_t SquaredGap(const PixelRect& a, const PixelRect& b) {
    const int64_t dx = std::max({int64_t{0}, int64_t{a.left} - b.right + 1, int64_t{b.left} - a.right + 1});
    const int64_t dy = std::max({int64_t{0}, int64_t{a.top} - b.bottom + 1, int64_t{b.top} - a.bottom + 1});
    return dx * dx + dy * dy;
}

int64_t SquareRootCeiling(int64_t v) {
    auto root = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
    while (root * root < v) ++root;
    return root;
}

}  // namespace

bool LabelPlacer::NearerToAnother(const PixelRect& r, const RouteStop& stop) {
    const int64_t own = SquaredGap(r, OutlineOf(stop));
    if (own == 0) return false;
    // Only boxes within the own box's distance can be nearer.
    const auto reach = static_cast<int32_t>(std::min<int64_t>(SquareRootCeiling(own), 1 << 20));
    bool nearer = false;
    outlines_.ForEachOverlap({r.left - reach, r.top - reach, r.right + reach, r.bottom + reach},
                             [&](int32_t id, const PixelRect& outline) {
                                 if (outlineStops_[static_cast<std::size_t>(id)] == stop.key) return;
                                 if (SquaredGap(r, outline) < own) nearer = true;
                             });
    return nearer;
}

int32_t LabelPlacer::Best(const std::vector<PixelRect>& rects, const RouteStop& stop, bool& clear) {
    // The first place that is wholly clear; else the free place crossing
    // the fewest lines, one that seems to name another stop only when no
    // other is free.
    int32_t best = -1;
    int64_t bestScore = std::numeric_limits<int64_t>::max();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const PixelRect& r = rects[i];
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

PixelRect OutlineOf(const RouteStop& stop) {
    const PixelRect box = StopBoxBounds(stop);
    if (!box.Empty()) return box;
    const GridPoint c = LabelReference(StopLabel{}, stop.box);
    return {c.x - 4, c.y - 4, c.x + 5, c.y + 5};
}

void LabelPlacer::PlaceName(RouteStop& stop, StopLabel& label) {
    const PixelRect outline = OutlineOf(stop);
    // The rule's own place first, then horizontal text around the box, then
    // text reading upwards, each ring further out.
    const StopLabel ruled = label;
    std::vector<Candidate> places{{label.angle, 0, 0}};
    std::vector<PixelRect> shapes;  // the label's rectangle at each angle, at its ruled offset
    const PixelRect flat = [&] {
        StopLabel probe = ruled;
        probe.angle = 0;
        return StopLabelBounds(map_, stop, probe);
    }();
    const PixelRect upright = [&] {
        StopLabel probe = ruled;
        probe.angle = 90;
        return StopLabelBounds(map_, stop, probe);
    }();
    if (flat.Empty()) return;
    auto addRing = [&](int32_t distance) {
        AddPlacesAround(places, outline, 0, flat.right - flat.left, flat.bottom - flat.top, distance);
        AddPlacesAround(places, outline, 90, upright.right - upright.left, upright.bottom - upright.top, distance);
    };
    for (int32_t distance : kRingDistances) addRing(distance);
    for (int32_t distance : kLeaderDistances) addRing(distance);
    std::vector<StopLabel> tries;
    std::vector<PixelRect> rects;
    tries.push_back(ruled);
    rects.push_back(StopLabelBounds(map_, stop, ruled));
    for (std::size_t i = 1; i < places.size(); ++i) {
        const Candidate& place = places[i];
        const PixelRect& shape = place.angle == 0 ? flat : upright;
        StopLabel moved = ruled;
        moved.angle = place.angle;
        moved.x = Bounded(int64_t{ruled.x} + place.left - shape.left);
        moved.y = Bounded(int64_t{ruled.y} + place.top - shape.top);
        tries.push_back(moved);
        rects.push_back(Moved(shape, place.left - shape.left, place.top - shape.top));
    }
    bool clear = false;
    const int32_t best = Best(rects, stop, clear);
    if (!clear) ++crowded_;
    if (best < 0) {
        taken_.Add(rects.front());
        return;
    }
    label = tries[static_cast<std::size_t>(best)];
    taken_.Add(rects[static_cast<std::size_t>(best)]);
}

void LabelPlacer::PlaceBadgeBlock(RouteStop& stop) {
    if (HasFixedBadge(stop)) return;  // filed with the fixed things
    PixelRect block;
    bool any = false;
    for (const StopLabel& label : stop.labels) {
        if (!IsBadge(label)) continue;
        any = true;
        block = Union(block, StopLabelBounds(map_, stop, label));
    }
    if (!any || block.Empty()) return;
    std::vector<Candidate> places{{0, block.left, block.top}};
    for (int32_t distance : kRingDistances) {
        AddPlacesAround(places, OutlineOf(stop), 0, block.right - block.left, block.bottom - block.top, distance);
    }
    // Badges have no leader line: they stay within one ring of leader distance.
    AddPlacesAround(places, OutlineOf(stop), 0, block.right - block.left, block.bottom - block.top,
                    kLeaderDistances[0]);
    std::vector<PixelRect> rects;
    for (const Candidate& place : places) rects.push_back(Moved(block, place.left - block.left, place.top - block.top));
    bool clear = false;
    const int32_t best = Best(rects, stop, clear);
    const int32_t chosen = best < 0 ? 0 : best;
    if (!clear) ++crowded_;
    const int32_t dx = places[static_cast<std::size_t>(chosen)].left - block.left;
    const int32_t dy = places[static_cast<std::size_t>(chosen)].top - block.top;
    for (StopLabel& label : stop.labels) {
        if (!IsBadge(label)) continue;
        label.x = Bounded(int64_t{label.x} + dx);
        label.y = Bounded(int64_t{label.y} + dy);
        taken_.Add(StopLabelBounds(map_, stop, label));
    }
}

}  // namespace

int32_t ClearStopLabels(RouteMap& map) {
    if (map.width <= 0 || map.height <= 0) return 0;
    LabelPlacer placer(map);
    return placer.Run();
}

}  // namespace tak
