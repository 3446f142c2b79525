#include "routemap/RouteMapEdit.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "routemap/RouteMapLabels.h"
#include "routemap/RouteMapLineOrder.h"

namespace tak {

namespace {

void Unregister(RouteMap& map, RouteKey stop, RouteKey connection) {
    RouteStop* found = FindRouteStop(map, stop);
    if (!found) return;
    auto it = std::find(found->connections.begin(), found->connections.end(), connection);
    if (it != found->connections.end()) found->connections.erase(it);
}

bool Joins(const Connection& c, RouteKey line, RouteKey a, RouteKey b) {
    if (c.line != line) return false;
    return (c.end[0].stop == a && c.end[1].stop == b) || (c.end[0].stop == b && c.end[1].stop == a);
}

RouteKey StopNamed(const RouteMap& map, const std::string& name) {
    for (const RouteStop& stop : map.stops) {
        if (stop.name == name) return stop.key;
    }
    return kNoRouteKey;
}

int EndAt(const Connection& c, RouteKey stop) {
    if (c.end[0].stop == stop) return 0;
    if (c.end[1].stop == stop) return 1;
    return -1;
}

}  // namespace

NewLineResult AddLineFromStops(RouteMap& map, const std::string& lineName, const std::vector<std::string>& stopNames) {
    NewLineResult result;
    if (lineName.empty()) return result;
    for (const RouteLine& line : map.lines) {
        if (line.name == lineName) {
            result.line = line.key;
            break;
        }
    }
    if (result.line == kNoRouteKey) {
        result.line = AddRouteLine(map, lineName).key;
        result.lineCreated = true;
    }
    std::vector<RouteKey> stops;
    for (const std::string& name : stopNames) {
        RouteKey stop = StopNamed(map, name);
        if (stop == kNoRouteKey) {
            stop = AddRouteStop(map, name).key;
            ++result.newStops;
        }
        stops.push_back(stop);
    }
    for (std::size_t i = 1; i < stops.size(); ++i) {
        // A trip that stands at one stop twice in a row gives no connection.
        if (stops[i - 1] == stops[i]) continue;
        const bool joined = std::any_of(map.connections.begin(), map.connections.end(), [&](const Connection& c) {
            return Joins(c, result.line, stops[i - 1], stops[i]);
        });
        if (joined) continue;
        AddConnection(map, result.line, stops[i - 1], stops[i]);
        ++result.newConnections;
    }
    return result;
}

std::vector<LineAtStop> LinesAtStop(const RouteMap& map, RouteKey stop) {
    std::vector<LineAtStop> result;
    for (const RouteLine& line : map.lines) {
        LineAtStop entry{line.key, {}};
        bool any = false;
        for (const Connection& c : map.connections) {
            if (c.line != line.key) continue;
            const int e = EndAt(c, stop);
            if (e < 0) continue;
            any = true;
            entry.neighbours.push_back(c.end[static_cast<std::size_t>(1 - e)].stop);
        }
        if (any) result.push_back(std::move(entry));
    }
    return result;
}

void DeleteConnection(RouteMap& map, RouteKey connection) {
    auto it = std::find_if(map.connections.begin(), map.connections.end(),
                           [&](const Connection& c) { return c.key == connection; });
    if (it == map.connections.end()) return;
    for (const ConnectionEnd& end : it->end) Unregister(map, end.stop, connection);
    map.connections.erase(it);
}

namespace {

std::vector<RouteKey> ConnectionsOfLineAt(const RouteMap& map, RouteKey line, RouteKey stop) {
    std::vector<RouteKey> found;
    for (const Connection& c : map.connections) {
        if (c.line == line && EndAt(c, stop) >= 0) found.push_back(c.key);
    }
    return found;
}

// Two connections meeting at the stop become one: the first takes over the
// second's far stop. A connection that finds no partner (an end of the line,
// or the odd one of a branch) is deleted.
void JoinAcross(RouteMap& map, RouteKey line, RouteKey stop) {
    std::vector<RouteKey> here = ConnectionsOfLineAt(map, line, stop);
    for (std::size_t i = 0; i + 1 < here.size(); i += 2) {
        Connection* keep = FindConnection(map, here[i]);
        const Connection* other = FindConnection(map, here[i + 1]);
        const int keepEnd = EndAt(*keep, stop);
        const int otherEnd = EndAt(*other, stop);
        if (keepEnd < 0 || otherEnd < 0) continue;
        const RouteKey far = other->end[static_cast<std::size_t>(1 - otherEnd)].stop;
        // A connection from a stop back to the same stop would be no line.
        const RouteKey keepKey = keep->key;
        const RouteKey otherKey = other->key;
        DeleteConnection(map, otherKey);
        keep = FindConnection(map, keepKey);
        if (far == keep->end[static_cast<std::size_t>(1 - keepEnd)].stop) {
            DeleteConnection(map, keepKey);
            continue;
        }
        SetConnectionEnd(map, *keep, keepEnd, far);
        keep->end[static_cast<std::size_t>(keepEnd)].side = -1;
        keep->end[static_cast<std::size_t>(keepEnd)].port = -1;
    }
    if (here.size() % 2 == 1) DeleteConnection(map, here.back());
}

}  // namespace

void DeleteRouteStop(RouteMap& map, RouteKey stop, const std::map<RouteKey, StopDeleteChoice>& choices) {
    if (!FindRouteStop(map, stop)) return;
    for (const LineAtStop& entry : LinesAtStop(map, stop)) {
        auto chosen = choices.find(entry.line);
        const StopDeleteChoice choice = chosen == choices.end() ? StopDeleteChoice::kDeleteConnections : chosen->second;
        switch (choice) {
            case StopDeleteChoice::kDeleteConnections:
                for (RouteKey c : ConnectionsOfLineAt(map, entry.line, stop)) DeleteConnection(map, c);
                break;
            case StopDeleteChoice::kJoinAcross: JoinAcross(map, entry.line, stop); break;
            case StopDeleteChoice::kLeaveFree:
                for (RouteKey key : ConnectionsOfLineAt(map, entry.line, stop)) {
                    Connection* c = FindConnection(map, key);
                    for (ConnectionEnd& end : c->end) {
                        if (end.stop == stop) end = ConnectionEnd{};
                    }
                }
                break;
        }
    }
    // Connections of no line (from a damaged file) let go of the stop too.
    for (Connection& c : map.connections) {
        for (ConnectionEnd& end : c.end) {
            if (end.stop == stop) end = ConnectionEnd{};
        }
    }
    map.stops.erase(std::remove_if(map.stops.begin(), map.stops.end(), [&](const RouteStop& s) { return s.key == stop; }),
                    map.stops.end());
}

void DeleteRouteLine(RouteMap& map, RouteKey line) {
    std::vector<RouteKey> doomed;
    for (const Connection& c : map.connections) {
        if (c.line == line) doomed.push_back(c.key);
    }
    for (RouteKey c : doomed) DeleteConnection(map, c);
    for (RouteStop& stop : map.stops) {
        for (StopLabel& label : stop.labels) {
            if (label.line == line) label.line = kNoRouteKey;
        }
    }
    map.lines.erase(std::remove_if(map.lines.begin(), map.lines.end(), [&](const RouteLine& l) { return l.key == line; }),
                    map.lines.end());
}

int32_t ConnectionCount(const RouteMap& map, RouteKey line) {
    return static_cast<int32_t>(
        std::count_if(map.connections.begin(), map.connections.end(), [&](const Connection& c) { return c.line == line; }));
}

bool MoveRouteLine(RouteMap& map, RouteKey line, int step) {
    auto it = std::find_if(map.lines.begin(), map.lines.end(), [&](const RouteLine& l) { return l.key == line; });
    if (it == map.lines.end() || (step != -1 && step != 1)) return false;
    const auto index = std::distance(map.lines.begin(), it);
    const auto target = index + step;
    if (target < 0 || target >= static_cast<std::ptrdiff_t>(map.lines.size())) return false;
    std::swap(map.lines[static_cast<std::size_t>(index)], map.lines[static_cast<std::size_t>(target)]);
    return true;
}

bool MoveConnectionInLine(RouteMap& map, RouteKey connection, int step) {
    auto it = std::find_if(map.connections.begin(), map.connections.end(),
                           [&](const Connection& c) { return c.key == connection; });
    if (it == map.connections.end() || (step != -1 && step != 1)) return false;
    // The neighbour of the same line in that direction; connections of a line
    // are kept together, so it is the next one in the list when there is one.
    const auto index = std::distance(map.connections.begin(), it);
    const auto target = index + step;
    if (target < 0 || target >= static_cast<std::ptrdiff_t>(map.connections.size())) return false;
    if (map.connections[static_cast<std::size_t>(target)].line != it->line) return false;
    std::swap(map.connections[static_cast<std::size_t>(index)], map.connections[static_cast<std::size_t>(target)]);
    return true;
}

void RenameRouteStop(RouteMap& map, RouteKey stop, std::string name) {
    auto it = std::find_if(map.stops.begin(), map.stops.end(), [&](const RouteStop& s) { return s.key == stop; });
    if (it == map.stops.end()) return;
    RouteStop moved = std::move(*it);
    map.stops.erase(it);
    moved.name = std::move(name);
    auto place = std::find_if(map.stops.begin(), map.stops.end(),
                              [&](const RouteStop& s) { return StopNameLess(moved.name, s.name); });
    map.stops.insert(place, std::move(moved));
}

void MoveConnectionToLine(RouteMap& map, RouteKey connection, RouteKey line) {
    auto& list = map.connections;
    auto it = std::find_if(list.begin(), list.end(), [&](const Connection& c) { return c.key == connection; });
    if (it == list.end() || !FindRouteLine(map, line)) return;
    Connection moved = std::move(*it);
    list.erase(it);
    moved.line = line;
    auto last = std::find_if(list.rbegin(), list.rend(), [&](const Connection& c) { return c.line == line; });
    list.insert(last == list.rend() ? list.end() : last.base(), std::move(moved));
}

void SetLineColour(RouteLine& line, int32_t entry) {
    if (entry < 0 || entry >= kLineColourCount) {
        line.colourIndex = kAutomaticColour;
        line.customColour = -1;
        line.textColour = -1;
        line.arrowColour = -1;
        return;
    }
    const RouteColour& colour = RouteColourTable()[static_cast<std::size_t>(entry)];
    line.colourIndex = entry;
    line.customColour = PackRgb(colour.rgb);
    line.textColour = colour.textColour;
    line.arrowColour = colour.textColour;
}

void SetCustomLineColour(RouteLine& line, Rgb colour) {
    line.colourIndex = kCustomColour;
    line.customColour = PackRgb(colour);
    if (line.textColour == -1) line.textColour = kTextWhite;
    if (line.arrowColour == -1) line.arrowColour = kTextWhite;
}

namespace {

bool FitsAfterShift(const RouteMap& map, int64_t x, int64_t y, int64_t w, int64_t h) {
    return x >= 0 && y >= 0 && x + std::max<int64_t>(w, 1) - 1 < map.width && y + std::max<int64_t>(h, 1) - 1 < map.height;
}

}  // namespace

bool MoveRouteMap(RouteMap& map, int32_t dx, int32_t dy, const AreaSelection* area) {
    // The layout places automatic stops afresh around the fixed ones.
    auto stopMoves = [&](const RouteStop& s) {
        return !s.automatic && s.stored.x >= 0 && s.stored.y >= 0 && (!area || area->stops.count(s.key));
    };
    auto nodesMove = [&](const Connection& c) { return !area || area->connections.count(c.key); };
    for (const RouteStop& s : map.stops) {
        if (stopMoves(s) && !FitsAfterShift(map, int64_t{s.stored.x} + dx, int64_t{s.stored.y} + dy, s.stored.width,
                                             s.stored.height)) {
            return false;
        }
    }
    for (const Connection& c : map.connections) {
        if (!nodesMove(c)) continue;
        for (const GridPoint& node : c.nodes) {
            // A node already outside the grid stays a dead node; it does not
            // hold the others back.
            const bool inside = node.x >= 0 && node.y >= 0 && node.x < map.width && node.y < map.height;
            if (inside && !FitsAfterShift(map, int64_t{node.x} + dx, int64_t{node.y} + dy, 1, 1)) return false;
        }
    }
    for (RouteStop& s : map.stops) {
        if (!stopMoves(s)) continue;
        s.stored.x += dx;
        s.stored.y += dy;
    }
    for (Connection& c : map.connections) {
        if (!nodesMove(c)) continue;
        for (GridPoint& node : c.nodes) {
            if (node.x < 0 || node.y < 0 || node.x >= map.width || node.y >= map.height) continue;
            node.x += dx;
            node.y += dy;
        }
    }
    return true;
}

namespace {

// The pixels a click finds a stop in: its drawn box, or for an exit, which
// has no drawn box, its top-left cell.
PixelRect ClickArea(const RouteStop& stop, const StopBox& box) {
    const PixelRect drawn = StopBoxBounds(stop, box);
    if (!drawn.Empty()) return drawn;
    return {kCellPixels * box.x, kCellPixels * box.y, kCellPixels * box.x + kCellPixels, kCellPixels * box.y + kCellPixels};
}

}  // namespace

AreaSelection SelectArea(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t left, int32_t top,
                         int32_t right, int32_t bottom) {
    const PixelRect area{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    AreaSelection selection;
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const StopBox& box = layout.stops[i].box;
        if (box.x >= 0 && ClickArea(map.stops[i], box).Inside(area)) selection.stops.insert(map.stops[i].key);
    }
    for (std::size_t c = 0; c < map.connections.size(); ++c) {
        for (const GridPoint& p : layout.connections[c].path) {
            const int32_t x = kCellPixels * p.x + 8;
            const int32_t y = kCellPixels * p.y + 8;
            if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) {
                selection.connections.insert(map.connections[c].key);
                break;
            }
        }
    }
    return selection;
}

RouteKey StopAtPixel(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t x, int32_t y) {
    const PixelRect pixel{x, y, x + 1, y + 1};
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const StopBox& box = layout.stops[i].box;
        if (box.x >= 0 && ClickArea(map.stops[i], box).Overlaps(pixel)) return map.stops[i].key;
    }
    return kNoRouteKey;
}

RouteKey ConnectionAtPixel(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t x, int32_t y) {
    // Lines that share cells are drawn side by side, each in its lane: the
    // step nearest to the pixel, measured to where it is drawn, wins.
    const LineLanes lanes = ComputeLineLanes(map, layout);
    const double px = x;
    const double py = y;
    RouteKey found = kNoRouteKey;
    double nearest = 8.0 * 8.0;  // at most half a cell away
    for (std::size_t ci = 0; ci < map.connections.size(); ++ci) {
        const Connection& c = map.connections[ci];
        const std::vector<GridPoint>& path = layout.connections[ci].path;
        for (std::size_t i = 0; i + 1 < path.size() || (i == 0 && path.size() == 1); ++i) {
            const GridPoint a = path[i];
            const GridPoint b = i + 1 < path.size() ? path[i + 1] : a;
            const LaneShift shift = lanes.At(ci, i);
            const double ax = 16.0 * a.x + 8 + shift.x, ay = 16.0 * a.y + 8 + shift.y;
            const double ex = 16.0 * (b.x - a.x), ey = 16.0 * (b.y - a.y);
            const double length = ex * ex + ey * ey;
            const double t = length > 0 ? std::clamp(((px - ax) * ex + (py - ay) * ey) / length, 0.0, 1.0) : 0.0;
            const double dx = ax + t * ex - px, dy = ay + t * ey - py;
            // Of equally near steps the one drawn last, on top, wins.
            if (dx * dx + dy * dy <= nearest) {
                nearest = dx * dx + dy * dy;
                found = c.key;
            }
        }
    }
    return found;
}

GridPoint CellAtPixel(int32_t x, int32_t y) {
    auto cell = [](int32_t v) { return v >= 0 ? v / 16 : (v - 15) / 16; };
    return {cell(x), cell(y)};
}

}  // namespace tak
