#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <queue>

namespace tak {

// ---------------------------------------------------------------------------
// Open list

// Cells waiting to be expanded, taken by smallest f and, among equal f, in
// the order they were queued; that is a list kept sorted by f into which new
// and improved cells go behind all entries of equal f. An improved cell is
// queued again and its older entry is skipped when it comes up.
//
// Estimates are small whole numbers, so most entries go into one FIFO bucket
// per f; the rare larger f of long detours go into a heap behind them.
class OpenList {
public:
    struct Entry {
        int32_t f = 0;
        uint32_t order = 0;
        int32_t cell = 0;
        bool operator>(const Entry& other) const { return f != other.f ? f > other.f : order > other.order; }
    };

    void Clear() {
        for (int32_t f = usedLowest_; f <= highest_; ++f) buckets_[static_cast<std::size_t>(f)].Clear();
        lowest_ = usedLowest_ = kBucketCount;
        highest_ = -1;
        overflow_ = {};
        order_ = 0;
    }

    // Queues a cell and returns the order that marks this entry as its current one.
    uint32_t Push(int32_t f, int32_t cell) {
        const Entry entry{f, ++order_, cell};
        if (f >= 0 && f < kBucketCount) {
            if (buckets_.size() <= static_cast<std::size_t>(f)) buckets_.resize(static_cast<std::size_t>(f) + 1);
            buckets_[static_cast<std::size_t>(f)].entries.push_back(entry);
            lowest_ = std::min(lowest_, f);
            usedLowest_ = std::min(usedLowest_, f);
            highest_ = std::max(highest_, f);
        } else {
            overflow_.push(entry);
        }
        return entry.order;
    }

    std::optional<Entry> Pop() {
        for (; lowest_ <= highest_; ++lowest_) {
            Bucket& bucket = buckets_[static_cast<std::size_t>(lowest_)];
            if (bucket.head < bucket.entries.size()) return bucket.entries[bucket.head++];
        }
        if (overflow_.empty()) return std::nullopt;
        Entry entry = overflow_.top();
        overflow_.pop();
        return entry;
    }

private:
    static constexpr int32_t kBucketCount = 1 << 16;
    struct Bucket {
        std::vector<Entry> entries;
        std::size_t head = 0;
        void Clear() {
            entries.clear();
            head = 0;
        }
    };
    std::vector<Bucket> buckets_;
    int32_t lowest_ = kBucketCount;  // no entry waits below it
    int32_t usedLowest_ = kBucketCount;  // buckets from here to highest_ hold entries
    int32_t highest_ = -1;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> overflow_;
    uint32_t order_ = 0;
};

// ---------------------------------------------------------------------------
// Grid

LayoutGrid::LayoutGrid(int32_t width, int32_t height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)),
      isTouched_(cells_.size(), 0),
      distanceTenths_(static_cast<std::size_t>(width_ + 2) * static_cast<std::size_t>(height_ + 2)),
      open_(std::make_unique<OpenList>()) {
    // Aim points lie at most one step outside the grid, so differences reach
    // one more than the grid's size.
    for (int32_t dy = 0; dy <= height_ + 1; ++dy) {
        for (int32_t dx = 0; dx <= width_ + 1; ++dx) {
            double distance = std::sqrt(double(dx) * dx + double(dy) * dy);
            distanceTenths_[static_cast<std::size_t>(dy) * static_cast<std::size_t>(width_ + 2) +
                            static_cast<std::size_t>(dx)] = static_cast<int32_t>(std::floor(10.0 * distance + 0.5));
        }
    }
}

LayoutGrid::~LayoutGrid() = default;

int32_t LayoutGrid::DistanceTenths(int32_t dx, int32_t dy) const {
    return distanceTenths_[static_cast<std::size_t>(std::abs(dy)) * static_cast<std::size_t>(width_ + 2) +
                           static_cast<std::size_t>(std::abs(dx))];
}

void LayoutGrid::Touch(int32_t index) {
    auto& mark = isTouched_[static_cast<std::size_t>(index)];
    if (mark) return;
    mark = 1;
    touched_.push_back(index);
}

void LayoutGrid::ResetTouched() {
    for (int32_t index : touched_) {
        GridCell& cell = Cell(index);
        cell.flags = 0;
        cell.f = 0;
        cell.g = 0;
        cell.parent = -1;
        cell.h = -1;
        cell.portCost = {};
        isTouched_[static_cast<std::size_t>(index)] = 0;
    }
    touched_.clear();
}

void LayoutGrid::AddPendingBlock(GridPoint p) {
    if (Contains(p)) pending_.push_back(p);
}

void LayoutGrid::ApplyPendingBlocks() {
    // Bits 4-7 are the diagonals NE, SE, SW, NW: the neighbours of a blocked
    // cell may not step diagonally across its corners.
    for (GridPoint p : pending_) {
        Cell(p).blocked = 0xFF;
        if (p.y > 0) Cell(GridPoint{p.x, p.y - 1}).blocked |= (1 << 5) | (1 << 6);
        if (p.x < width_ - 1) Cell(GridPoint{p.x + 1, p.y}).blocked |= (1 << 6) | (1 << 7);
        if (p.y < height_ - 1) Cell(GridPoint{p.x, p.y + 1}).blocked |= (1 << 4) | (1 << 7);
        if (p.x > 0) Cell(GridPoint{p.x - 1, p.y}).blocked |= (1 << 4) | (1 << 5);
    }
    pending_.clear();
}

// ---------------------------------------------------------------------------
// Search

namespace {

constexpr int32_t kStraightStepCost = 10;
constexpr int32_t kDiagonalStepCost = 14;
constexpr int32_t kTurnCost = 30;

struct AimPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t extraCost = 0;
};

class Heuristic {
public:
    Heuristic(const LayoutGrid& grid, const std::vector<SearchGoal>& goals) : grid_(grid) {
        for (const SearchGoal& goal : goals) {
            AimPoint aim{goal.x, goal.y, goal.extraCost};
            if (goal.side >= 0 && goal.side < 4) {
                aim.x += DirectionTable()[static_cast<std::size_t>(goal.side)].dx;
                aim.y += DirectionTable()[static_cast<std::size_t>(goal.side)].dy;
            }
            aims_.push_back(aim);
        }
    }
    int32_t operator()(GridCell& cell, GridPoint from) const {
        if (cell.h < 0) cell.h = Compute(from);
        return cell.h;
    }

private:
    int32_t Compute(GridPoint from) const {
        int32_t best = std::numeric_limits<int32_t>::max();
        for (const AimPoint& aim : aims_) {
            best = std::min(best, grid_.DistanceTenths(aim.x - from.x, aim.y - from.y) + aim.extraCost);
        }
        return best;
    }

    const LayoutGrid& grid_;
    std::vector<AimPoint> aims_;
};

}  // namespace

std::optional<GridPoint> FindPath(LayoutGrid& grid, bool allowDiag, const std::vector<SearchStart>& starts,
                                  const std::vector<SearchGoal>& goals, std::vector<int32_t>* blockedNeighbours) {
    OpenList& open = grid.Open();
    open.Clear();
    const Heuristic estimate(grid, goals);
    auto enqueue = [&](int32_t index) {
        GridCell& cell = grid.Cell(index);
        cell.openEntry = open.Push(cell.f, index);
        cell.flags |= kCellOpen;
    };

    for (const SearchStart& start : starts) {
        GridPoint p{start.x, start.y};
        if (!grid.Contains(p)) continue;
        int32_t index = grid.IndexOf(p);
        grid.Touch(index);
        GridCell& cell = grid.Cell(index);
        cell.flags |= kCellStart;
        cell.parent = -1;
        cell.f = cell.g + estimate(cell, p);
        enqueue(index);
    }
    for (const SearchGoal& goal : goals) {
        GridPoint p{goal.x, goal.y};
        if (!grid.Contains(p)) continue;
        grid.Touch(grid.IndexOf(p));
        grid.Cell(p).flags |= kCellGoal;
    }

    const int directionCount = allowDiag ? kDirectionCount : 4;
    while (std::optional<OpenList::Entry> popped = open.Pop()) {
        const OpenList::Entry entry = *popped;
        GridCell& current = grid.Cell(entry.cell);
        if (!(current.flags & kCellOpen) || current.openEntry != entry.order) continue;
        GridPoint r = grid.PointOf(entry.cell);
        if (current.flags & kCellGoal) return r;

        const int previousDirection = current.parent >= 0 ? current.parentDirection : -1;
        for (int i = 0; i < directionCount; ++i) {
            if (current.blocked & (1 << i)) continue;
            const DirectionStep& step = DirectionTable()[static_cast<std::size_t>(i)];
            GridPoint n{r.x + step.dx, r.y + step.dy};
            if (!grid.Contains(n)) continue;
            int32_t nIndex = grid.IndexOf(n);
            GridCell& next = grid.Cell(nIndex);
            if (next.flags & kCellClosed) continue;
            if (next.blocked & (1 << step.opposite)) {
                if (blockedNeighbours) blockedNeighbours->push_back(nIndex);
                continue;
            }

            int32_t cost = i < 4 ? kStraightStepCost : kDiagonalStepCost;
            if (previousDirection >= 0 && previousDirection != i) cost += kTurnCost;
            if (i < 4) cost += current.portCost[static_cast<std::size_t>(i)] + next.portCost[static_cast<std::size_t>(i)];
            int32_t g = current.g + cost;
            if ((next.flags & kCellOpen) && g >= next.g) continue;

            next.parent = entry.cell;
            next.parentDirection = static_cast<int8_t>(i);
            next.g = g;
            next.f = g + estimate(next, n);
            grid.Touch(nIndex);
            enqueue(nIndex);
        }
        current.flags = static_cast<uint8_t>((current.flags & ~kCellOpen) | kCellClosed);
    }
    return std::nullopt;
}

std::vector<GridPoint> PathTo(LayoutGrid& grid, GridPoint goal) {
    std::vector<GridPoint> path;
    if (!grid.Contains(goal)) return path;
    for (int32_t index = grid.IndexOf(goal); index >= 0; index = grid.Cell(index).parent) {
        path.push_back(grid.PointOf(index));
    }
    std::reverse(path.begin(), path.end());
    return path;
}

// ---------------------------------------------------------------------------
// Labels

namespace {

constexpr int32_t kBadgeWidth = 28;
constexpr int32_t kBadgeHeight = 15;

bool IsBadge(const StopLabel& label) { return label.type == kLabelLineFilled || label.type == kLabelLineOutlined; }

void PlaceNameLabel(StopLabel& label, const StopBox& box) {
    if (box.width > box.height) {
        label.x = 8 * box.width + 5;
        label.y = 0;
        label.angle = 0;
    } else {
        label.x = 0;
        label.y = -(8 * box.height + 5);
        label.angle = 90;
    }
}

// Badges fill a block row by row; walking from an anchor badge to this one
// moves right along a row and wraps to the start of the next.
void WalkBadges(StopLabel& label, const StopLabel& anchor, int32_t from, int32_t to, int32_t columns) {
    int32_t x = anchor.x;
    int32_t y = anchor.y;
    for (int32_t j = from + 1; j <= to; ++j) {
        if (j % columns == 0) {
            x -= (columns - 1) * kBadgeWidth;
            y += kBadgeHeight;
        } else {
            x += kBadgeWidth;
        }
    }
    for (int32_t j = from - 1; j >= to; --j) {
        if (j % columns == columns - 1) {
            x += (columns - 1) * kBadgeWidth;
            y -= kBadgeHeight;
        } else {
            x -= kBadgeWidth;
        }
    }
    label.x = x;
    label.y = y;
}

void PlaceBadge(StopPlace& stop, std::size_t labelIndex) {
    std::vector<std::size_t> badges;  // label indices of the stop's badges
    for (std::size_t i = 0; i < stop.labels.size(); ++i) {
        if (IsBadge(stop.labels[i])) badges.push_back(i);
    }
    auto count = static_cast<int32_t>(badges.size());
    auto idx = static_cast<int32_t>(std::find(badges.begin(), badges.end(), labelIndex) - badges.begin());
    int32_t columns = count <= 3 ? 1 : count <= 6 ? 2 : 3;
    int32_t rows = count / columns;

    int32_t anchor = -1;
    if (idx > 0) {
        anchor = idx - 1;
    } else {
        for (int32_t j = idx + 1; j < count; ++j) {
            if (!stop.labels[badges[static_cast<std::size_t>(j)]].automatic) {
                anchor = j;
                break;
            }
        }
    }
    StopLabel& label = stop.labels[labelIndex];
    if (anchor >= 0) {
        WalkBadges(label, stop.labels[badges[static_cast<std::size_t>(anchor)]], anchor, idx, columns);
        return;
    }
    const StopBox& box = stop.box;
    if (box.width > box.height) {
        label.x = -(8 * box.width + kBadgeWidth * columns - 8);
        label.y = (-kBadgeHeight * (rows - 1)) / 2;
    } else {
        label.x = (-kBadgeWidth * (columns - 1)) / 2;
        label.y = 8 * box.height + 14;
    }
}

}  // namespace

void PlaceStopLabel(StopPlace& stop, std::size_t labelIndex) {
    if (labelIndex >= stop.labels.size()) return;
    StopLabel& label = stop.labels[labelIndex];
    switch (label.type) {
        case kLabelName: PlaceNameLabel(label, stop.box); break;
        case kLabelLineFilled:
        case kLabelLineOutlined: PlaceBadge(stop, labelIndex); break;
        case kLabelArrow:
            label.x = 0;
            label.y = 0;
            break;
        default: break;
    }
}

}  // namespace tak
