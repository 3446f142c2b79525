#include "routemap/RouteMapLineOrder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>

#include "routemap/RouteMapDrawing.h"

namespace tak {

namespace {

// The widest the lanes of one step may spread, in pixels: eight cells.
constexpr int32_t kMaxLaneSpread = 128;

// One connection's step over a shared cell pair.
struct StepUse {
    std::size_t connection = 0;
    std::size_t step = 0;
    RouteKey line = kNoRouteKey;
    bool forward = true;  // walks from the pair's first cell to its second
};

// A pair of neighbouring cells, first the one that sorts lower by (x, y).
using CellPair = std::array<int32_t, 4>;

CellPair PairOf(GridPoint a, GridPoint b) {
    if (std::pair{b.x, b.y} < std::pair{a.x, a.y}) std::swap(a, b);
    return {a.x, a.y, b.x, b.y};
}

// The lane width of a line: its drawn band, casing included.
int32_t LaneWidth(const RouteLine& line, const LineLook& look) {
    return 2 * (std::clamp(line.thickness, 1, 32) - 1) + 1 + (NeedsCasing(look.colour) ? 2 : 0);
}

// Degrees by which the way turns at p1 coming from p0 and going on to p2,
// counter-clockwise on the screen positive, in (-180, 180].
double Turn(GridPoint p0, GridPoint p1, GridPoint p2) {
    const double in = std::atan2(-(p1.y - p0.y), p1.x - p0.x);
    const double out = std::atan2(-(p2.y - p1.y), p2.x - p1.x);
    double turn = (out - in) * 180.0 / std::numbers::pi;
    while (turn <= -180.0) turn += 360.0;
    while (turn > 180.0) turn -= 360.0;
    return turn;
}

class LaneChooser {
public:
    LaneChooser(const RouteMap& map, const RouteMapLayoutResult& layout, LaneOrdering ordering)
        : map_(map), layout_(layout), ordering_(ordering) {}

    // Positive when line `a` belongs left of line `b` looking from the
    // pair's first cell to its second, negative when right.
    int Compare(const StepUse& a, const StepUse& b, GridPoint first, GridPoint second) const {
        if (ordering_ == LaneOrdering::kFewCrossings) {
            if (int ahead = Parting(a, b, first, second, true); ahead != 0) return ahead;
            // Looking back, the line that turns left lies on the right.
            if (int back = Parting(a, b, second, first, false); back != 0) return -back;
        }
        // Otherwise the line first in the list lies left of the way its own
        // connection walks, the same along the whole stretch.
        const bool aFirst = LineIndex(a.line) < LineIndex(b.line);
        const StepUse& lower = aFirst ? a : b;
        const bool lowerLeft = lower.forward;
        return (lowerLeft == aFirst) ? 1 : -1;
    }

private:
    std::size_t LineIndex(RouteKey key) const {
        for (std::size_t i = 0; i < map_.lines.size(); ++i) {
            if (map_.lines[i].key == key) return i;
        }
        return map_.lines.size();
    }

    // The k-th cell (k >= 1) of the use's path beyond the pair, ahead (past
    // the second cell) or behind (before the first).
    std::optional<GridPoint> Beyond(const StepUse& use, std::size_t k, bool ahead) const {
        const auto& path = layout_.connections[use.connection].path;
        const bool up = use.forward == ahead;  // walking to higher indices
        if (up) {
            const std::size_t i = use.step + 1 + k;
            if (i < path.size()) return path[i];
            return std::nullopt;
        }
        if (k > use.step) return std::nullopt;
        return path[use.step - k];
    }

    // Walks both lines on from `to` (coming from `from`) while they share
    // cells; where they part, +1 when a turns further left than b, -1 when
    // further right, 0 when one of them ends first.
    int Parting(const StepUse& a, const StepUse& b, GridPoint from, GridPoint to, bool ahead) const {
        GridPoint before = from;
        GridPoint at = to;
        for (std::size_t k = 1;; ++k) {
            const std::optional<GridPoint> na = Beyond(a, k, ahead);
            const std::optional<GridPoint> nb = Beyond(b, k, ahead);
            if (!na || !nb) return 0;
            if (*na == *nb) {
                before = at;
                at = *na;
                continue;
            }
            const double ta = Turn(before, at, *na);
            const double tb = Turn(before, at, *nb);
            return ta > tb ? 1 : ta < tb ? -1 : 0;
        }
    }

    const RouteMap& map_;
    const RouteMapLayoutResult& layout_;
    LaneOrdering ordering_;
};

}  // namespace

GridPoint LaneShift::Pixels() const {
    return {static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
}

LaneShift LineLanes::At(std::size_t index, std::size_t step) const {
    if (index >= shifts.size() || step >= shifts[index].size()) return {};
    return shifts[index][step];
}

LineLanes ComputeLineLanes(const RouteMap& map, const RouteMapLayoutResult& layout, LaneOrdering ordering) {
    LineLanes lanes;
    lanes.shifts.resize(map.connections.size());
    // Every step with its cell pair, sorted so that the uses of a pair meet.
    std::vector<std::pair<CellPair, StepUse>> uses;
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        const Connection& connection = map.connections[c];
        const std::vector<GridPoint>& path = layout.connections[c].path;
        if (path.size() < 2) continue;
        lanes.shifts[c].resize(path.size() - 1);
        if (!FindRouteLine(map, connection.line)) continue;
        for (std::size_t i = 0; i + 1 < path.size(); ++i) {
            const GridPoint a = path[i];
            const GridPoint b = path[i + 1];
            if (a == b || StepDirection(a, b) < 0) continue;
            const CellPair pair = PairOf(a, b);
            const bool forward = a.x == pair[0] && a.y == pair[1];
            uses.emplace_back(pair, StepUse{c, i, connection.line, forward});
        }
    }
    std::sort(uses.begin(), uses.end(), [](const auto& a, const auto& b) {
        return a.first < b.first || (a.first == b.first && a.second.connection < b.second.connection);
    });
    const LaneChooser chooser(map, layout, ordering);
    std::vector<const StepUse*> lines;
    for (std::size_t begin = 0, end = 0; begin < uses.size(); begin = end) {
        const CellPair pair = uses[begin].first;
        end = begin + 1;
        while (end < uses.size() && uses[end].first == pair) ++end;
        if (end - begin < 2) continue;
        // One lane per line, held by the line's first use.
        lines.clear();
        for (std::size_t u = begin; u < end; ++u) {
            const StepUse& use = uses[u].second;
            if (std::none_of(lines.begin(), lines.end(), [&](const StepUse* l) { return l->line == use.line; })) {
                lines.push_back(&use);
            }
        }
        if (lines.size() < 2) continue;
        const GridPoint first{pair[0], pair[1]};
        const GridPoint second{pair[2], pair[3]};
        // Pairwise choices need not be transitive; the lines are ranked by
        // how many others they belong left of.
        std::vector<int> wins(lines.size(), 0);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (std::size_t j = i + 1; j < lines.size(); ++j) {
                if (chooser.Compare(*lines[i], *lines[j], first, second) > 0) {
                    ++wins[i];
                } else {
                    ++wins[j];
                }
            }
        }
        std::vector<std::size_t> rank(lines.size());
        for (std::size_t i = 0; i < rank.size(); ++i) rank[i] = i;
        std::stable_sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) { return wins[a] > wins[b]; });

        std::vector<int32_t> widths;
        int32_t total = -1;
        for (std::size_t r : rank) {
            const RouteKey line = lines[r]->line;
            widths.push_back(LaneWidth(*FindRouteLine(map, line), *layout.LineOf(map, line)));
            total += widths.back() + 1;
        }
        // Many thick lines on one step are pressed together rather than
        // spread over half the map.
        const double squeeze = total > kMaxLaneSpread ? double(kMaxLaneSpread) / total : 1.0;
        const double length = std::hypot(second.x - first.x, second.y - first.y);
        const double leftX = (second.y - first.y) / length;
        const double leftY = -(second.x - first.x) / length;
        double used = 0;
        std::map<RouteKey, LaneShift> shiftOf;
        for (std::size_t k = 0; k < rank.size(); ++k) {
            const double across = squeeze * (total / 2.0 - (used + widths[k] / 2.0));
            shiftOf[lines[rank[k]]->line] = LaneShift{across * leftX, across * leftY};
            used += widths[k] + 1;
        }
        for (std::size_t u = begin; u < end; ++u) {
            const StepUse& use = uses[u].second;
            lanes.shifts[use.connection][use.step] = shiftOf[use.line];
        }
    }
    return lanes;
}

int32_t CountLineCrossings(const RouteMap& map, const RouteMapLayoutResult& layout, const LineLanes& lanes) {
    // Where a line enters and leaves a cell, as angles around the cell's
    // centre of points far out on its two steps, moved by their lanes.
    struct Pass {
        RouteKey line;
        double enter;
        double leave;
    };
    constexpr double kReach = 1000.0;
    auto angleOf = [&](GridPoint centre, GridPoint towards, LaneShift shift) {
        const double dx = towards.x - centre.x;
        const double dy = towards.y - centre.y;
        const double length = std::hypot(dx, dy);
        return std::atan2(-(kReach * dy / length + shift.y), kReach * dx / length + shift.x);
    };
    std::map<std::pair<int32_t, int32_t>, std::vector<Pass>> passes;
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        const auto& path = layout.connections[c].path;
        for (std::size_t i = 1; i + 1 < path.size(); ++i) {
            if (path[i - 1] == path[i] || path[i] == path[i + 1]) continue;
            passes[{path[i].x, path[i].y}].push_back(Pass{map.connections[c].line,
                                                          angleOf(path[i], path[i - 1], lanes.At(c, i - 1)),
                                                          angleOf(path[i], path[i + 1], lanes.At(c, i))});
        }
    }
    int32_t crossings = 0;
    for (const auto& [cell, list] : passes) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            const double low = std::min(list[i].enter, list[i].leave);
            const double high = std::max(list[i].enter, list[i].leave);
            auto inside = [&](double angle) { return angle > low && angle < high; };
            for (std::size_t j = i + 1; j < list.size(); ++j) {
                if (list[i].line == list[j].line) continue;
                if (inside(list[j].enter) != inside(list[j].leave)) ++crossings;
            }
        }
    }
    return crossings;
}

}  // namespace tak
