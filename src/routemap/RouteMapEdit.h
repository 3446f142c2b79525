// The edits of the route map window as plain operations on the model: adding
// a whole line from a list of stop names, deleting stops, lines and
// connections, moving the map or a selected area, reordering, and finding
// what lies under a point of the canvas. The window calls these and then
// lays the map out again; none of them lays out by itself.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

// What adding a line from a list of stops created.
struct NewLineResult {
    RouteKey line = kNoRouteKey;
    bool lineCreated = false;
    int32_t newStops = 0;
    int32_t newConnections = 0;
    bool Created() const { return lineCreated || newStops > 0 || newConnections > 0; }
};

// The line named `lineName` (made when missing), a stop for every name (made
// when no stop has exactly that name) and a connection for every pair of
// consecutive stops the line does not join yet in either direction. An empty
// line name adds nothing.
NewLineResult AddLineFromStops(RouteMap& map, const std::string& lineName, const std::vector<std::string>& stopNames);

// What happens to a line's connections at a stop that is deleted.
enum class StopDeleteChoice {
    kDeleteConnections = 1,  // the line's connections ending at the stop go
    kJoinAcross = 2,         // connections at the stop are joined pairwise across it
    kLeaveFree = 3,          // they stay with that end empty
};

// The lines with connections at the stop, in line list order, each with the
// names of the stops on the far side of its connections there.
struct LineAtStop {
    RouteKey line = kNoRouteKey;
    std::vector<RouteKey> neighbours;
};
std::vector<LineAtStop> LinesAtStop(const RouteMap& map, RouteKey stop);

// Deletes the stop; every line with connections there is handled by its
// choice (lines without one lose their connections there).
void DeleteRouteStop(RouteMap& map, RouteKey stop, const std::map<RouteKey, StopDeleteChoice>& choices);

// Deletes the connection and its registration at both end stops.
void DeleteConnection(RouteMap& map, RouteKey connection);

// Deletes the line, its connections and every badge's reference to it.
void DeleteRouteLine(RouteMap& map, RouteKey line);

// The number of connections of a line.
int32_t ConnectionCount(const RouteMap& map, RouteKey line);

// Moves a line one place up (-1) or down (+1) in the line list; a connection
// one place within its line's connections. False when it is already at the end.
bool MoveRouteLine(RouteMap& map, RouteKey line, int step);
bool MoveConnectionInLine(RouteMap& map, RouteKey connection, int step);

// Gives the connection to another line; it goes behind that line's last
// connection, so that connections stay grouped by line.
void MoveConnectionToLine(RouteMap& map, RouteKey connection, RouteKey line);

// Gives the line colour entry `entry` of the colour table with its text and
// arrow colours, or for -1 automatic colours throughout.
void SetLineColour(RouteLine& line, int32_t entry);
// Gives the line a colour of the user's own; text and arrows left automatic
// become white.
void SetCustomLineColour(RouteLine& line, Rgb colour);

// Renames a stop and moves it to its sorted place.
void RenameRouteStop(RouteMap& map, RouteKey stop, std::string name);

// An area of the map chosen on the canvas: its stops and connections.
struct AreaSelection {
    std::set<RouteKey> stops;
    std::set<RouteKey> connections;
    bool Empty() const { return stops.empty() && connections.empty(); }
};

// Shifts by (dx, dy) cells every fixed stop that has a stored position and
// every node of every connection, or with an area only the area's stops and the
// nodes of its connections. Labels go along with their stops. Nothing moves
// when anything that would move would leave the grid, so that a shift never
// loses a position; false then.
bool MoveRouteMap(RouteMap& map, int32_t dx, int32_t dy, const AreaSelection* area = nullptr);

// The stops whose drawn box lies in the pixel rectangle and the connections
// with a path point in it, as the layout placed and routed them.
AreaSelection SelectArea(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t left, int32_t top,
                         int32_t right, int32_t bottom);

// The placed stop whose box holds the pixel; the connection whose path, as
// drawn in its lane beside the lines it shares cells with, passes nearest to
// the pixel within half a cell (of equally near ones the last drawn, on top).
RouteKey StopAtPixel(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t x, int32_t y);
RouteKey ConnectionAtPixel(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t x, int32_t y);

// The cell that holds the pixel.
GridPoint CellAtPixel(int32_t x, int32_t y);

}  // namespace tak
