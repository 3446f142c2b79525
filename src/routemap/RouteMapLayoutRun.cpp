// One layout run: stops, connections and signs of the whole route map.
#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

#include "routemap/RouteMapLabels.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"

namespace tak {

// ---------------------------------------------------------------------------
// Searches kept between runs

// A search is a pure function of its starts and goals, their cells' port
// costs, and the blocked sets of the cells it looked at: the touched cells and
// the neighbours it turned away as blocked. An earlier answer is reused when
// all of these are equal.
struct RouteMapLayoutCache::Impl {
    struct Entry {
        std::vector<int32_t> key;
        std::optional<std::vector<GridPoint>> path;
        std::vector<std::pair<int32_t, uint8_t>> reads;  // cell index, its blocked set
    };
    using Table = std::unordered_map<uint64_t, std::vector<Entry>>;

    Table previous;  // the entries of the last run
    Table current;   // the entries this run used or made
    int32_t width = -1;
    int32_t height = -1;
    std::vector<uint32_t> seen;
    uint32_t stamp = 0;
    std::vector<int32_t> blockedNeighbours;  // of the search being made
    RouteMapLayoutCache::Stats stats;

    void BeginRun(const RouteMap& map) {
        if (map.width != width || map.height != height) {
            width = map.width;
            height = map.height;
            current.clear();
            seen.assign(static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)), 0);
            stamp = 0;
        }
        // Entries no run used since the last one are dropped, so that the
        // cache never holds more than one run's searches.
        previous = std::move(current);
        current.clear();
        stats = {};
    }

    static std::vector<int32_t> KeyOf(LayoutGrid& grid, bool allowDiag, const std::vector<SearchStart>& starts,
                                      const std::vector<SearchGoal>& goals) {
        std::vector<int32_t> key{allowDiag ? 1 : 0, static_cast<int32_t>(starts.size())};
        auto costs = [&](int32_t x, int32_t y) {
            const GridCell& cell = grid.Cell(GridPoint{x, y});
            key.insert(key.end(), cell.portCost.begin(), cell.portCost.end());
        };
        for (const SearchStart& s : starts) {
            key.insert(key.end(), {s.x, s.y});
            costs(s.x, s.y);
        }
        for (const SearchGoal& g : goals) {
            key.insert(key.end(), {g.x, g.y, g.extraCost, g.side});
            costs(g.x, g.y);
        }
        return key;
    }

    static uint64_t HashOf(const std::vector<int32_t>& key) {
        uint64_t hash = 1469598103934665603ull;
        for (int32_t v : key) {
            hash ^= static_cast<uint32_t>(v);
            hash *= 1099511628211ull;
        }
        return hash;
    }

    static bool StillValid(LayoutGrid& grid, const Entry& entry) {
        for (const auto& [index, blocked] : entry.reads) {
            if (grid.Cell(index).blocked != blocked) return false;
        }
        return true;
    }

    // An equal, still valid entry of the last run (moved to this run's
    // table) or of this run.
    const Entry* Reuse(LayoutGrid& grid, uint64_t hash, const std::vector<int32_t>& key) {
        if (auto it = previous.find(hash); it != previous.end()) {
            auto& entries = it->second;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].key != key || !StillValid(grid, entries[i])) continue;
                auto& kept = current[hash];
                kept.push_back(std::move(entries[i]));
                entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
                return &kept.back();
            }
        }
        if (auto it = current.find(hash); it != current.end()) {
            for (const Entry& entry : it->second) {
                if (entry.key == key && StillValid(grid, entry)) return &entry;
            }
        }
        return nullptr;
    }

    std::optional<std::vector<GridPoint>> Search(LayoutGrid& grid, bool allowDiag, const std::vector<SearchStart>& starts,
                                                 const std::vector<SearchGoal>& goals) {
        std::vector<int32_t> key = KeyOf(grid, allowDiag, starts, goals);
        const uint64_t hash = HashOf(key);
        if (const Entry* entry = Reuse(grid, hash, key)) {
            ++stats.reused;
            return entry->path;
        }
        ++stats.searched;
        Entry entry;
        entry.key = std::move(key);
        blockedNeighbours.clear();
        if (std::optional<GridPoint> goal = FindPath(grid, allowDiag, starts, goals, &blockedNeighbours)) {
            entry.path = PathTo(grid, *goal);
        }
        RecordReads(grid, entry);
        current[hash].push_back(std::move(entry));
        return current[hash].back().path;
    }

    // The touched cells and the neighbours turned away for being blocked:
    // every cell whose blocked set the search read.
    void RecordReads(LayoutGrid& grid, Entry& entry) {
        if (++stamp == 0) {
            std::fill(seen.begin(), seen.end(), 0);
            stamp = 1;
        }
        auto record = [&](int32_t at) {
            if (seen[static_cast<std::size_t>(at)] == stamp) return;
            seen[static_cast<std::size_t>(at)] = stamp;
            entry.reads.emplace_back(at, grid.Cell(at).blocked);
        };
        for (int32_t index : grid.Touched()) record(index);
        for (int32_t index : blockedNeighbours) record(index);
    }
};

RouteMapLayoutCache::RouteMapLayoutCache() : impl_(std::make_unique<Impl>()) {}
RouteMapLayoutCache::~RouteMapLayoutCache() = default;
RouteMapLayoutCache::Stats RouteMapLayoutCache::LastRun() const { return impl_->stats; }

namespace {

// Port costs: a port no other line crosses straight through costs a little,
// a port where another line leaves on the opposite side costs more, and a
// port continuing the same line straight through costs nothing.
constexpr int16_t kPortCost = 75;
constexpr int16_t kConflictPortCost = 90;

int Opposite(int direction) { return DirectionTable()[static_cast<std::size_t>(direction)].opposite; }

// An entry of the chain search: a connection reached from its parent entry,
// and the end of it that points away from the start.
struct ChainEntry {
    const Connection* connection = nullptr;
    int parent = -1;
    int farEnd = 0;
    int depth = 1;
    int next = -1;  // the work list is a linked list in this order
};

// A chain of unplaced stops between two placed ones: the search's entries
// and the one whose far end is the placed stop found.
struct StopChain {
    std::vector<ChainEntry> entries;
    int end = -1;
};

// Reads the saved map and writes what it works out into a result whose lists
// run parallel to the map's, so that a saved record's place in its list is
// its result's place too.
class LayoutRun {
public:
    LayoutRun(const RouteMap& map, RouteMapLayoutResult& out, RouteMapLayoutCache::Impl* cache)
        : map_(map), out_(out), grid_(map.width, map.height), cache_(cache) {
        for (const auto& stop : map_.stops) stops_[stop.key] = &stop;
        for (const auto& connection : map_.connections) {
            connections_[connection.key] = &connection;
            byLine_[connection.line].push_back(&connection);
        }
    }

    void Run();

private:
    const RouteStop* Stop(RouteKey key) const {
        auto it = stops_.find(key);
        return it == stops_.end() ? nullptr : it->second;
    }
    StopPlace& Place(const RouteStop& stop) const {
        return out_.stops[static_cast<std::size_t>(&stop - map_.stops.data())];
    }
    ConnectionRoute& Route(const Connection& connection) const {
        return out_.connections[static_cast<std::size_t>(&connection - map_.connections.data())];
    }
    const std::array<ConnectionEnd, 2>& Ends(const Connection& connection) const { return Route(connection).ends; }
    bool IsPlaced(const RouteStop* stop) const { return stop && Place(*stop).box.x >= 0; }
    const Connection* FindConnectionByKey(RouteKey key) const {
        auto it = connections_.find(key);
        return it == connections_.end() ? nullptr : it->second;
    }
    const std::vector<const Connection*>& ConnectionsOf(RouteKey line) const {
        static const std::vector<const Connection*> none;
        auto it = byLine_.find(line);
        return it == byLine_.end() ? none : it->second;
    }
    bool BothEndsPlaced(const Connection& c) const {
        return IsPlaced(Stop(Ends(c)[0].stop)) && IsPlaced(Stop(Ends(c)[1].stop));
    }

    void PlaceFixedStops();
    void MarkBoxOccupied(const StopBox& box);
    // The path of one segment of a line's route between two ends through
    // via points, from its start to the goal reached.
    std::optional<std::vector<GridPoint>> RouteSegment(RouteKey line, const std::array<ConnectionEnd, 2>& ends,
                                                       const std::vector<GridPoint>& nodes, std::size_t k);
    void AddPortCandidates(RouteKey line, const ConnectionEnd& end, int e, std::vector<SearchStart>& starts,
                           std::vector<SearchGoal>& goals);
    void RouteConnection(const Connection& connection);
    void AddDottedMarks(const Connection& connection);
    void PlaceAutoStops(const RouteLine& line);
    bool PlaceFromEnd(const Connection& c, int e);
    std::optional<StopChain> FindStopChain(const Connection& c, int e) const;
    std::optional<std::vector<GridPoint>> RouteChain(const Connection& c, int e, const ChainEntry& chainEnd);
    void SpreadChainStops(const StopChain& chain, const std::vector<GridPoint>& cells, bool horizontal);
    int32_t LinesAtStop(const RouteStop& stop) const;
    void PlaceLineNameSigns(const Connection& connection);
    bool NameSignNearby(const Connection& connection) const;
    void PlaceLabels();

    const RouteMap& map_;
    RouteMapLayoutResult& out_;
    LayoutGrid grid_;
    RouteMapLayoutCache::Impl* cache_;
    std::unordered_map<RouteKey, const RouteStop*> stops_;
    std::unordered_map<RouteKey, const Connection*> connections_;
    std::unordered_map<RouteKey, std::vector<const Connection*>> byLine_;
};

void LayoutRun::Run() {
    PlaceFixedStops();
    for (const auto& line : map_.lines) {
        PlaceAutoStops(line);
        for (const Connection* connection : ConnectionsOf(line.key)) {
            if (BothEndsPlaced(*connection)) RouteConnection(*connection);
            if (line.stroke == 1) AddDottedMarks(*connection);
        }
        if (!line.autoNames) continue;
        for (const Connection* connection : ConnectionsOf(line.key)) {
            if (BothEndsPlaced(*connection)) PlaceLineNameSigns(*connection);
        }
    }
    PlaceLabels();
    out_.crowdedLabels = ClearStopLabels(map_, out_);
    // Line names are drawn over everything else of their connection.
    for (auto& route : out_.connections) {
        std::stable_partition(route.signs.begin(), route.signs.end(),
                              [](const Sign& sign) { return sign.type != kSignLineName; });
    }
}

void LayoutRun::PlaceFixedStops() {
    for (const auto& stop : map_.stops) {
        StopBox& box = Place(stop).box;
        // A fixed stop that no longer fits the grid is left to the layout.
        if (!stop.automatic && InsideGrid(stop.stored, grid_.Width(), grid_.Height())) {
            box = stop.stored;
            // A negative size from a hand-edited file counts as 0.
            box.width = std::max(box.width, 0);
            box.height = std::max(box.height, 0);
        }
        MarkBoxOccupied(box);
    }
}

void LayoutRun::MarkBoxOccupied(const StopBox& box) {
    if (box.x < 0) return;
    for (int32_t dy = 0; dy < std::max(box.height, 1); ++dy) {
        for (int32_t dx = 0; dx < std::max(box.width, 1); ++dx) {
            grid_.AddPendingBlock(GridPoint{box.x + dx, box.y + dy});
        }
    }
}

// ---------------------------------------------------------------------------
// Routing

std::optional<std::vector<GridPoint>> LayoutRun::RouteSegment(RouteKey line, const std::array<ConnectionEnd, 2>& ends,
                                                              const std::vector<GridPoint>& nodes, std::size_t k) {
    grid_.ResetTouched();
    grid_.ApplyPendingBlocks();
    std::vector<SearchStart> starts;
    std::vector<SearchGoal> goals;
    if (k > 0) {
        GridPoint node = nodes[k - 1];
        if (grid_.Contains(node)) starts.push_back(SearchStart{node.x, node.y});
    } else {
        AddPortCandidates(line, ends[0], 0, starts, goals);
    }
    if (k < nodes.size()) {
        GridPoint node = nodes[k];
        if (grid_.Contains(node)) goals.push_back(SearchGoal{node.x, node.y, 0, -1});
    } else {
        AddPortCandidates(line, ends[1], 1, starts, goals);
    }
    if (starts.empty() || goals.empty()) return std::nullopt;
    if (cache_) return cache_->Search(grid_, map_.allowDiag, starts, goals);
    std::optional<GridPoint> goal = FindPath(grid_, map_.allowDiag, starts, goals);
    if (!goal) return std::nullopt;
    return PathTo(grid_, *goal);
}

void LayoutRun::AddPortCandidates(RouteKey line, const ConnectionEnd& end, int e, std::vector<SearchStart>& starts,
                                  std::vector<SearchGoal>& goals) {
    const RouteStop* stop = Stop(end.stop);
    if (!IsPlaced(stop)) return;
    const StopBox& box = Place(*stop).box;
    for (int s = 0; s < 4; ++s) {
        if (end.side != -1 && end.side != s) continue;
        const int32_t ports = (s == 0 || s == 2) ? box.width : box.height;
        for (int32_t p = 0; p < ports; ++p) {
            if (end.port != -1 && end.port != p) continue;
            bool taken = false;
            bool sameLine = false;
            bool conflict = false;
            for (RouteKey key : stop->connections) {
                const Connection* other = FindConnectionByKey(key);
                if (!other) continue;
                for (const ConnectionEnd& otherEnd : Ends(*other)) {
                    if (otherEnd.stop != stop->key || otherEnd.port != p) continue;
                    if (otherEnd.side == s && other->line != line) taken = true;
                    if (otherEnd.side == Opposite(s)) (other->line == line ? sameLine : conflict) = true;
                }
            }
            GridPoint cell = PortPoint(box, s, p);
            // Automatic boxes may reach beyond the grid; their outer ports are no use.
            if (taken || !grid_.Contains(cell)) continue;
            const int16_t cost = conflict ? kConflictPortCost : sameLine ? 0 : kPortCost;
            // Touched now, so that its port cost is reset even if no search runs.
            grid_.Touch(grid_.IndexOf(cell));
            GridCell& gridCell = grid_.Cell(cell);
            gridCell.blocked = static_cast<uint8_t>(gridCell.blocked & ~(1 << s));
            grid_.AddPendingBlock(cell);
            if (e == 0) {
                gridCell.portCost[static_cast<std::size_t>(s)] = cost;
                starts.push_back(SearchStart{cell.x, cell.y});
            } else {
                gridCell.portCost[static_cast<std::size_t>(Opposite(s))] = cost;
                goals.push_back(SearchGoal{cell.x, cell.y, cost, s});
            }
        }
    }
}

void LayoutRun::RouteConnection(const Connection& connection) {
    ConnectionRoute& route = Route(connection);
    const std::size_t segments = connection.nodes.size() + 1;
    std::optional<GridPoint> reachedNode;
    for (std::size_t k = 0; k < segments; ++k) {
        std::optional<std::vector<GridPoint>> found = RouteSegment(connection.line, route.ends, connection.nodes, k);
        std::optional<GridPoint> goal;
        if (found) goal = found->back();
        if (!goal) {
            // The path ends at the last node it reached.
            if (reachedNode) route.path.push_back(*reachedNode);
            return;
        }
        reachedNode = goal;
        const std::vector<GridPoint>& segment = *found;  // start ... goal
        const bool last = k + 1 == segments;
        if (segment.size() >= 2) {
            if (last) {
                ConnectionEnd& end = route.ends[1];
                int d = StepDirection(segment[segment.size() - 2], *goal);
                if (end.side == -1) end.side = Opposite(d);
                if (end.port == -1) {
                    if (const RouteStop* stop = Stop(end.stop)) end.port = PortOffset(Place(*stop).box, end.side, *goal);
                }
            }
            if (k == 0) {
                ConnectionEnd& end = route.ends[0];
                if (end.side == -1) end.side = StepDirection(segment[0], segment[1]);
                if (end.port == -1) {
                    if (const RouteStop* stop = Stop(end.stop)) {
                        end.port = PortOffset(Place(*stop).box, end.side, segment[0]);
                    }
                }
            }
        }
        route.path.insert(route.path.end(), segment.begin(), segment.end() - 1);
        if (last) route.path.push_back(*goal);
    }
}

void LayoutRun::AddDottedMarks(const Connection& connection) {
    ConnectionRoute& route = Route(connection);
    const auto n = static_cast<int32_t>(route.path.size());
    std::vector<Sign> marks;
    for (int32_t k = 1; k <= n - 2; ++k) marks.push_back(Sign{kSignDotted, 2 * k - (n - 1)});
    route.signs.insert(route.signs.begin(), marks.begin(), marks.end());
}

// ---------------------------------------------------------------------------
// Automatic stops

void LayoutRun::PlaceAutoStops(const RouteLine& line) {
    std::vector<const Connection*> todo;
    for (const Connection* c : ConnectionsOf(line.key)) {
        const RouteStop* a = Stop(c->end[0].stop);
        const RouteStop* b = Stop(c->end[1].stop);
        if (a && b && (!IsPlaced(a) || !IsPlaced(b))) todo.push_back(c);
    }
    // Each pass ends at the first connection that placed something, which
    // then leaves the list; the search stops after a pass that placed nothing.
    bool placed = true;
    while (placed) {
        placed = false;
        for (std::size_t i = 0; i < todo.size() && !placed; ++i) {
            const Connection& c = *todo[i];
            if (!Stop(Ends(c)[0].stop) || !Stop(Ends(c)[1].stop)) continue;
            for (int e = 0; e < 2 && !placed; ++e) {
                if (IsPlaced(Stop(Ends(c)[static_cast<std::size_t>(e)].stop)) &&
                    !IsPlaced(Stop(Ends(c)[static_cast<std::size_t>(1 - e)].stop))) {
                    placed = PlaceFromEnd(c, e);
                }
            }
            if (placed) todo.erase(todo.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// Searches the chain of unplaced stops from placed stop A (end e of c) to
// the next placed stop B, routes A to B and spreads the chain's stops evenly
// along that path. True when at least one stop was placed.
bool LayoutRun::PlaceFromEnd(const Connection& c, int e) {
    std::optional<StopChain> chain = FindStopChain(c, e);
    if (!chain) return false;
    const ChainEntry& chainEnd = chain->entries[static_cast<std::size_t>(chain->end)];
    std::optional<std::vector<GridPoint>> cells = RouteChain(c, e, chainEnd);
    if (!cells) return false;
    const StopBox& a = Place(*Stop(Ends(c)[static_cast<std::size_t>(e)].stop)).box;
    const StopBox& b = Place(*Stop(Ends(*chainEnd.connection)[static_cast<std::size_t>(chainEnd.farEnd)].stop)).box;
    const bool horizontal = std::abs(a.x - b.x) >= std::abs(a.y - b.y);
    SpreadChainStops(*chain, *cells, horizontal);
    return true;
}

// Walks the line's connections from the far end of c, deepest first, until
// one ends at a placed stop; none when the chain never reaches one.
std::optional<StopChain> LayoutRun::FindStopChain(const Connection& c, int e) const {
    std::vector<ChainEntry> entries{ChainEntry{&c, -1, 1 - e, 1, -1}};
    std::unordered_set<const Connection*> visited{&c};
    int head = 0;
    int current = 0;
    while (current >= 0) {
        const ChainEntry entry = entries[static_cast<std::size_t>(current)];
        const RouteKey farStop = Ends(*entry.connection)[static_cast<std::size_t>(entry.farEnd)].stop;
        if (entry.connection != &c && IsPlaced(Stop(farStop))) return StopChain{std::move(entries), current};
        const int following = entry.next;
        int lastAdded = -1;
        const auto& lineConnections = ConnectionsOf(c.line);
        for (auto it = lineConnections.rbegin(); it != lineConnections.rend(); ++it) {
            const Connection* candidate = *it;
            if (visited.count(candidate)) continue;
            const auto& ends = Ends(*candidate);
            int e2 = ends[0].stop == farStop ? 0 : ends[1].stop == farStop ? 1 : -1;
            if (e2 < 0 || !Stop(ends[static_cast<std::size_t>(1 - e2)].stop)) continue;
            visited.insert(candidate);
            ChainEntry added{candidate, current, 1 - e2, entry.depth + 1, -1};
            auto index = static_cast<int>(entries.size());
            if (following >= 0) {
                added.next = entries[static_cast<std::size_t>(following)].next;
                entries.push_back(added);
                entries[static_cast<std::size_t>(following)].next = index;
            } else {
                added.next = head;
                entries.push_back(added);
                head = index;
            }
            lastAdded = index;
        }
        current = lastAdded >= 0 ? lastAdded : following;
    }
    return std::nullopt;
}

// The cells of a path from A (end e of c) to the chain's placed stop B, B's
// port first; none when there is no path or it has no cell between the ports.
std::optional<std::vector<GridPoint>> LayoutRun::RouteChain(const Connection& c, int e, const ChainEntry& chainEnd) {
    const std::array<ConnectionEnd, 2> ends{Ends(c)[static_cast<std::size_t>(e)],
                                            Ends(*chainEnd.connection)[static_cast<std::size_t>(chainEnd.farEnd)]};
    std::optional<std::vector<GridPoint>> route = RouteSegment(c.line, ends, {}, 0);
    if (!route) return std::nullopt;
    std::reverse(route->begin(), route->end());
    if (route->size() <= 2) return std::nullopt;
    return route;
}

// Places the chain's stops at even steps along `cells`, each box as tall (or
// wide) as the lines that meet at its stop.
void LayoutRun::SpreadChainStops(const StopChain& chain, const std::vector<GridPoint>& cells, bool horizontal) {
    const auto n = static_cast<int32_t>(cells.size()) - 1;
    int k = chain.entries[static_cast<std::size_t>(chain.end)].depth;
    int entryIndex = chain.end;
    // A path too short for every stop of the chain takes the ones nearest A;
    // the rest wait for a later pass that routes from a stop placed now.
    while (k > n) {
        --k;
        entryIndex = chain.entries[static_cast<std::size_t>(entryIndex)].parent;
    }
    for (int i = 1; i <= k - 1 && entryIndex >= 0; ++i) {
        const ChainEntry& entry = chain.entries[static_cast<std::size_t>(entryIndex)];
        const RouteStop* s = Stop(Ends(*entry.connection)[static_cast<std::size_t>(1 - entry.farEnd)].stop);
        const int32_t index = (i * n + k - 1) / k;  // ceil(i * n / k)
        if (s && index > 0) {
            const int32_t lineCount = LinesAtStop(*s);
            const GridPoint cell = cells[static_cast<std::size_t>(index)];
            StopBox& box = Place(*s).box;
            box = horizontal ? StopBox{cell.x, cell.y, 0, lineCount} : StopBox{cell.x, cell.y, lineCount, 0};
            MarkBoxOccupied(box);
        }
        entryIndex = entry.parent;
    }
}

int32_t LayoutRun::LinesAtStop(const RouteStop& stop) const {
    std::unordered_set<RouteKey> linesAtStop;
    for (RouteKey key : stop.connections) {
        if (const Connection* atStop = FindConnectionByKey(key)) linesAtStop.insert(atStop->line);
    }
    return static_cast<int32_t>(linesAtStop.size());
}

// ---------------------------------------------------------------------------
// Signs and labels

bool LayoutRun::NameSignNearby(const Connection& connection) const {
    struct Entry {
        const Connection* connection;
        int depth;
    };
    std::vector<Entry> pending{{&connection, 1}};
    std::unordered_set<const Connection*> visited{&connection};
    const auto& lineConnections = ConnectionsOf(connection.line);
    while (!pending.empty()) {
        Entry entry = pending.back();
        pending.pop_back();
        for (const Sign& sign : Route(*entry.connection).signs) {
            if (sign.type == kSignLineName) return true;
        }
        if (entry.depth >= 3) continue;
        for (const ConnectionEnd& end : Ends(*entry.connection)) {
            if (end.stop == kNoRouteKey) continue;
            for (const Connection* other : lineConnections) {
                if (visited.count(other)) continue;
                if (Ends(*other)[0].stop != end.stop && Ends(*other)[1].stop != end.stop) continue;
                visited.insert(other);
                pending.push_back(Entry{other, entry.depth + 1});
            }
        }
    }
    return false;
}

void LayoutRun::PlaceLineNameSigns(const Connection& connection) {
    ConnectionRoute& route = Route(connection);
    const auto n = static_cast<int32_t>(route.path.size());
    if (n < 3 || NameSignNearby(connection)) return;
    int32_t pos = 0;
    if (n % 2 == 1) {
        const auto middle = static_cast<std::size_t>((n - 1) / 2);
        const auto& path = route.path;
        const bool straight = StepDirection(path[middle - 1], path[middle]) == StepDirection(path[middle], path[middle + 1]);
        if (!straight) {
            // On a bend the name moves to the step before it, if there is one
            // that is not the first step of the path.
            if (n <= 3) return;
            pos = -1;
        }
    }
    route.signs.push_back(Sign{kSignLineName, pos});
}

void LayoutRun::PlaceLabels() {
    for (const auto& stop : map_.stops) {
        StopPlace& place = Place(stop);
        if (place.box.x < 0) continue;
        for (std::size_t i = 0; i < place.labels.size(); ++i) {
            if (place.labels[i].automatic) PlaceStopLabel(place, i);
        }
    }
}

}  // namespace

const LineLook* RouteMapLayoutResult::LineOf(const RouteMap& map, RouteKey key) const {
    const RouteLine* line = FindRouteLine(map, key);
    const auto index = line ? static_cast<std::size_t>(line - map.lines.data()) : lines.size();
    return index < lines.size() ? &lines[index] : nullptr;
}

const StopPlace* RouteMapLayoutResult::StopOf(const RouteMap& map, RouteKey key) const {
    const RouteStop* stop = FindRouteStop(map, key);
    const auto index = stop ? static_cast<std::size_t>(stop - map.stops.data()) : stops.size();
    return index < stops.size() ? &stops[index] : nullptr;
}

const ConnectionRoute* RouteMapLayoutResult::RouteOf(const RouteMap& map, RouteKey key) const {
    const Connection* connection = FindConnection(map, key);
    const auto index = connection ? static_cast<std::size_t>(connection - map.connections.data()) : connections.size();
    return index < connections.size() ? &connections[index] : nullptr;
}

RouteMapLayoutResult UnplacedLayout(const RouteMap& map) {
    RouteMapLayoutResult result;
    result.lines = ResolveColours(map);
    result.stops.reserve(map.stops.size());
    for (const auto& stop : map.stops) {
        result.stops.push_back(StopPlace{StopBox{-1, -1, stop.stored.width, stop.stored.height}, stop.labels});
    }
    result.connections.reserve(map.connections.size());
    for (const auto& connection : map.connections) {
        result.connections.push_back(ConnectionRoute{connection.end, {}, connection.signs});
    }
    return result;
}

RouteMapLayoutResult LayoutRouteMap(const RouteMap& map) { return LayoutRouteMap(map, nullptr); }

RouteMapLayoutResult LayoutRouteMap(const RouteMap& map, RouteMapLayoutCache* cache) {
    RouteMapLayoutResult result = UnplacedLayout(map);
    // No grid of a larger size can be had; nothing is placed or routed.
    if (map.width > kMaxLayoutGridSide || map.height > kMaxLayoutGridSide) return result;
    if (cache) cache->impl_->BeginRun(map);
    LayoutRun run(map, result, cache ? cache->impl_.get() : nullptr);
    run.Run();
    return result;
}

void ShiftOldLabelOffsets(RouteMap& map) {
    const RouteMapLayoutResult layout = LayoutRouteMap(map);
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        for (StopLabel& label : map.stops[i].labels) {
            if (!label.automatic) ShiftCornerOffset(label, layout.stops[i].box);
        }
    }
}

}  // namespace tak
