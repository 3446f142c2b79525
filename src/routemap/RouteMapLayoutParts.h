// The pieces the route map layout is made of: the search grid with its A*
// search, and the placing of automatic labels. Only the layout's own files
// and their tests use them; everyone else calls LayoutRouteMap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

// ---------------------------------------------------------------------------
// The search grid

enum GridCellFlag : uint8_t {
    kCellOpen = 1,
    kCellClosed = 2,
    kCellStart = 4,
    kCellGoal = 8,
};

struct GridCell {
    uint8_t flags = 0;
    uint8_t blocked = 0;          // bit d: a step out of this cell in direction d is forbidden
    int8_t parentDirection = -1;  // the step from the parent here, valid with a parent
    int32_t f = 0;
    int32_t g = 0;
    std::array<int16_t, 4> portCost{};  // extra cost of orthogonal steps in or out (0, 75 or 90)
    int32_t parent = -1;                // cell index; -1 for start cells
    int32_t h = -1;                     // the search's estimate, once computed
    uint32_t openEntry = 0;             // which open-list entry of the cell is current
};

// Width x Height cells with the set of cells the last search wrote (reset
// before the next one) and the cells to be blocked before the next search.
// Only touched cells are reset, so a search costs what it visits.
class OpenList;

class LayoutGrid {
public:
    LayoutGrid(int32_t width, int32_t height);
    ~LayoutGrid();
    LayoutGrid(const LayoutGrid&) = delete;
    LayoutGrid& operator=(const LayoutGrid&) = delete;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Contains(GridPoint p) const { return p.x >= 0 && p.y >= 0 && p.x < width_ && p.y < height_; }
    int32_t IndexOf(GridPoint p) const { return p.y * width_ + p.x; }
    GridPoint PointOf(int32_t index) const { return {index % width_, index / width_}; }
    GridCell& Cell(int32_t index) { return cells_[static_cast<std::size_t>(index)]; }
    GridCell& Cell(GridPoint p) { return Cell(IndexOf(p)); }

    // 10 times the length of (dx, dy), rounded half up; |dx| <= Width + 1,
    // |dy| <= Height + 1.
    int32_t DistanceTenths(int32_t dx, int32_t dy) const;

    void Touch(int32_t index);
    // The cells written since the last reset.
    const std::vector<int32_t>& Touched() const { return touched_; }
    // Flags, costs and parents of every touched cell back to zero.
    void ResetTouched();
    void AddPendingBlock(GridPoint p);
    // Blocks every pending cell in all directions and forbids diagonal steps
    // that would cut one of its corners.
    void ApplyPendingBlocks();

    // The search's open list, kept with the grid so that its storage serves
    // every search of a layout run.
    OpenList& Open() { return *open_; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<GridCell> cells_;
    std::vector<int32_t> touched_;
    std::vector<uint8_t> isTouched_;
    std::vector<GridPoint> pending_;
    std::vector<int32_t> distanceTenths_;
    std::unique_ptr<OpenList> open_;
};

struct SearchStart {
    int32_t x = 0;
    int32_t y = 0;
};

// With side >= 0 the heuristic aims one step outside the goal on that side.
struct SearchGoal {
    int32_t x = 0;
    int32_t y = 0;
    int32_t extraCost = 0;
    int32_t side = -1;
};

// A* from any start to the cheapest goal: orthogonal steps cost 10, diagonal
// ones 14 (only with allowDiag), a change of direction 30 more, plus the port
// costs of the cells stepped out of and into. Equal estimates are taken in
// the order they were queued. Returns the goal reached; the path is read back
// through the cells' parents. Starts and goals must lie inside the grid.
// With `blockedNeighbours`, the cells turned away for their blocked sets
// without being touched are appended to it: with the touched cells they are
// every cell whose blocked set the search read.
std::optional<GridPoint> FindPath(LayoutGrid& grid, bool allowDiag, const std::vector<SearchStart>& starts,
                                  const std::vector<SearchGoal>& goals,
                                  std::vector<int32_t>* blockedNeighbours = nullptr);

// The cells of the path ending at `goal`, from its start to the goal.
std::vector<GridPoint> PathTo(LayoutGrid& grid, GridPoint goal);

// ---------------------------------------------------------------------------
// Labels

// Places the automatic label at `labelIndex` of the stop's labels around the
// stop's box; badges continue the block of the badge before them.
void PlaceStopLabel(StopPlace& stop, std::size_t labelIndex);

}  // namespace tak
