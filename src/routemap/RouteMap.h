// The schematic route map: lines and stop boxes on a square grid, the
// connections that join the stops line by line, and the labels drawn at the
// stops. There is one route map per project; it refers to stops and lines
// only by its own names, never by identifiers of the simulator data.
//
// Coordinates are grid cells: x from 0 (left) to width - 1, y from 0 (top)
// to height - 1, growing downwards. One cell is 16 pixels when drawn. Label
// offsets are pixels from the centre of their stop's box.
//
// References. Connections refer to their line and end stops, labels to a
// line, stops to the connections ending there. All of them are keys handed out
// once by the route map's counter and never reused: stops are kept sorted by
// name and the editor inserts, deletes and reorders lines, stops and
// connections, so positions would shift under a reference and pointers would
// dangle. A key whose record is gone resolves to nothing and is read as
// "none". Only the stored form uses positions (see the project file).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

class LanguageTable;

using RouteKey = uint32_t;
constexpr RouteKey kNoRouteKey = 0;

struct GridPoint {
    int32_t x = -1;
    int32_t y = -1;
    bool operator==(const GridPoint&) const = default;
};

// One grid cell drawn on the screen, in pixels.
constexpr int32_t kCellPixels = 16;
// The most cells a route map may have across and down; more would make every
// layout and drawing allocate without bound.
constexpr int32_t kMaxRouteMapCells = 512;

// A stop's box: top-left cell and size in cells; x = y = -1 is not placed.
// A size of 0 is one cell thick, drawn as a thin bar, without ports.
struct StopBox {
    int32_t x = -1;
    int32_t y = -1;
    int32_t width = 0;
    int32_t height = 1;
    bool operator==(const StopBox&) const = default;
};

// ---------------------------------------------------------------------------
// Directions

// Codes 0-3 are north, east, south, west (also the sides of a stop box:
// top, right, bottom, left); 4-7 the diagonals north-east, south-east,
// south-west, north-west.
constexpr int kDirectionCount = 8;
constexpr int kNoDirection = -1;

struct DirectionStep {
    int dx = 0;
    int dy = 0;
    int opposite = 0;
    int textAngle = 0;  // degrees at which text runs along such a step
};

// The eight steps, indexed by direction code.
const std::array<DirectionStep, kDirectionCount>& DirectionTable();

// The code of the straight step from a to b; 0 for equal points, -1 when b is
// neither in a's row, column nor on one of its 45-degree diagonals.
int StepDirection(GridPoint a, GridPoint b);

// The cell of port `port` on side `side` of a box, and back from a cell to
// its port number along that side (counted from the left on the top and
// bottom sides, from the top on the left and right sides).
GridPoint PortPoint(const StopBox& box, int side, int port);
int PortOffset(const StopBox& box, int side, GridPoint cell);

// ---------------------------------------------------------------------------
// Colours

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// Colours are stored in the project file as one integer 0xRRGGBB; -1 = none.
int32_t PackRgb(Rgb colour);
Rgb UnpackRgb(int32_t packed);

struct RouteColour {
    const char* name;  // fixed names, not language keys
    Rgb rgb;
    int textColour;  // index into the text colour table that reads well on it
};

// Entries 0-11 are the line colours; entry 12 stands for a colour the user
// picks freely (its RGB is a placeholder).
constexpr int kLineColourCount = 12;
constexpr int kCustomColourEntry = 12;
const std::array<RouteColour, 13>& RouteColourTable();

// Black, grey, white; line text and arrow colours index it.
constexpr int kTextBlack = 0;
constexpr int kTextGrey = 1;
constexpr int kTextWhite = 2;
const std::array<Rgb, 3>& TextColourTable();
// The text colour of an index; black for -1 and anything outside the table.
Rgb TextColour(int index);

// Each component times 0.7, rounded; the highlight shade of the editor.
Rgb DarkenColour(Rgb colour);

// ---------------------------------------------------------------------------
// Records
//
// Member initialisers of the stored fields are the values the project file's
// reader gives a key the file lacks; the editor's new lines and stops differ
// and are made by AddRouteLine and AddRouteStop.

constexpr int32_t kAutomaticColour = -1;
constexpr int32_t kCustomColour = -2;

struct RouteLine {
    RouteKey key = kNoRouteKey;
    std::string name;
    int32_t colourIndex = kAutomaticColour;  // -1 automatic, -2 custom, 0-11 table entry
    int32_t customColour = -1;               // packed RGB; -1 when automatic
    int32_t textColour = -1;                 // text colour index, -1 automatic
    int32_t arrowColour = kTextWhite;        // text colour index, -1 automatic
    int32_t stroke = 0;                      // 0 normal, 1 dotted
    int32_t thickness = 4;                   // drawn 2T - 1 pixels wide
    bool autoNames = true;                   // the layout places line-name labels
    bool operator==(const RouteLine&) const = default;
};

// A line's colours as drawn: its own, or for automatic ones those the
// colour resolution hands out.
struct LineLook {
    int32_t colourIndex = kAutomaticColour;  // table entry, or kCustomColour
    Rgb colour;
    int32_t textColour = -1;   // text colour index
    int32_t arrowColour = -1;  // text colour index
    bool operator==(const LineLook&) const = default;
};

enum StopLabelType : int32_t {
    kLabelName = 0,
    kLabelLineFilled = 1,
    kLabelLineOutlined = 2,
    kLabelArrow = 3,
};

struct StopLabel {
    int32_t type = kLabelName;
    int32_t x = 0;  // pixel offset from the centre of the stop's box
    int32_t y = 0;
    int32_t angle = 0;           // degrees, name labels only
    RouteKey line = kNoRouteKey;  // badges only
    int32_t dir = 0;             // direction code 0-3, arrows only
    bool automatic = true;       // position and angle chosen by the layout
    bool operator==(const StopLabel&) const = default;
};

struct RouteStop {
    RouteKey key = kNoRouteKey;
    std::string name;
    StopBox stored;          // as the user fixed it (X, Y, Width, Height)
    bool automatic = true;   // the layout chooses position and size
    bool exit = false;       // a map exit: no box, an arrowhead on lines ending here
    std::vector<StopLabel> labels;
    std::vector<RouteKey> connections;  // connections ending here, once per end
    bool operator==(const RouteStop&) const = default;
};

struct ConnectionEnd {
    RouteKey stop = kNoRouteKey;
    int32_t side = -1;  // side of the box the line leaves by, -1 automatic
    int32_t port = -1;  // port along that side, -1 automatic
    bool operator==(const ConnectionEnd&) const = default;
};

enum SignType : int32_t {
    kSignLineName = -1,
    kSignArrowOut = -2,
    kSignArrowReturn = -3,
    kSignDotted = 1,
};

// A mark on a connection; `pos` counts half grid steps from the path's middle.
struct Sign {
    int32_t type = 0;
    int32_t pos = 0;
    bool operator==(const Sign&) const = default;
};

struct Connection {
    RouteKey key = kNoRouteKey;
    RouteKey line = kNoRouteKey;
    std::array<ConnectionEnd, 2> end;
    std::vector<GridPoint> nodes;  // via points the path must pass
    std::vector<Sign> signs;       // placed by the user
    bool operator==(const Connection&) const = default;
};

// The scales the PNG output offers.
constexpr int32_t kPngScales[] = {1, 2, 4};
// The offered scale nearest below `scale`, at least 1.
constexpr int32_t LimitPngScale(int32_t scale) { return scale >= 4 ? 4 : scale >= 2 ? 2 : 1; }

// Output format of the route map.
enum RouteMapFormat : int32_t {
    kRouteMapNone = 0,
    kRouteMapPdf = 1,
    kRouteMapPng = 2,
};

struct RouteMap {
    int32_t format = kRouteMapNone;
    int32_t width = 32;
    int32_t height = 32;
    int32_t roundBox = 5;  // corner radius of drawn boxes in pixels
    bool allowDiag = true;
    // Image pixels per map pixel of the PNG output: 1 (as on screen), 2 or 4,
    // for posters that must stay sharp when printed large.
    int32_t pngScale = 1;
    // The PDF page's heading; empty gives the language's word and the project.
    std::string title;
    std::vector<RouteLine> lines;          // creation order
    std::vector<RouteStop> stops;          // sorted by name (UTF-16 code units)
    std::vector<Connection> connections;   // grouped by line
    RouteKey nextKey = 1;
    bool operator==(const RouteMap&) const = default;
};

// ---------------------------------------------------------------------------
// Operations

// Look-ups by key; null for kNoRouteKey and for keys whose record is gone.
const RouteLine* FindRouteLine(const RouteMap& map, RouteKey key);
RouteLine* FindRouteLine(RouteMap& map, RouteKey key);
const RouteStop* FindRouteStop(const RouteMap& map, RouteKey key);
RouteStop* FindRouteStop(RouteMap& map, RouteKey key);
const Connection* FindConnection(const RouteMap& map, RouteKey key);
Connection* FindConnection(RouteMap& map, RouteKey key);

// True when a sorts before b by UTF-16 code units (the stop list's order).
bool StopNameLess(std::string_view a, std::string_view b);

// Appends a line with the editor's defaults (automatic colours, normal
// stroke, thickness 4, line names not placed automatically).
RouteLine& AddRouteLine(RouteMap& map, std::string name);

// Inserts a stop before the first stop whose name sorts after it; automatic,
// not placed, size 0 x 1, with one automatic name label.
RouteStop& AddRouteStop(RouteMap& map, std::string name);

// Inserts a connection after the last connection of `line` (at the end when
// the line has none), from stopA to stopB with automatic sides and ports, and
// registers it with both stops.
Connection& AddConnection(RouteMap& map, RouteKey line, RouteKey stopA, RouteKey stopB);

// Replaces the stop of end `e` (0 or 1), moving the registration from the old
// stop to the new one. Does nothing for another `e`.
void SetConnectionEnd(RouteMap& map, Connection& connection, int e, RouteKey stop);

// Every line's colours as drawn, one per line in the map's line order.
// Automatic lines take the least used table colour, first in table order.
std::vector<LineLook> ResolveColours(const RouteMap& map);

// What follows reading the record from a project file: stops sorted, every
// connection registered at its end stops, references to vanished records
// dropped.
void PrepareLoadedRouteMap(RouteMap& map);

// Fixed stops whose box no longer lies inside the grid (the grid shrank, or
// a hand-edited file) become automatic, so that the layout places them.
void ReleaseStopsOutsideGrid(RouteMap& map);

// True when the box lies inside a grid of that size, a size-0 side counting
// as one cell.
bool InsideGrid(const StopBox& box, int32_t width, int32_t height);

// Pixel geometry of the drawn map. Sums with offsets from a hand-edited file
// are worked out in 64 bits and held far outside any image, where nothing is
// drawn.
int32_t BoundedPixel(int64_t value);
// The centre pixel of a grid cell.
GridPoint CellCentre(GridPoint cell);
// The pixel a stop's label offsets start from: the centre of its box, a box of
// size 0 counting as one cell thick.
GridPoint LabelAnchor(const StopBox& box);
// The pixel a label's offset points at.
GridPoint LabelReference(const StopLabel& label, const StopBox& box);
// A label read from a file older than centre-based offsets: its offset
// counted from the top-left corner of the box, moved to count from the centre.
void ShiftCornerOffset(StopLabel& label, const StopBox& box);

// The text naming a stop in lists: "<Free>" without a stop, "<NoName>" for an
// empty name, else its name and " (k)" when it is the k-th (k >= 2) of a run
// of stops with equal names.
std::string StopCaption(const RouteMap& map, const LanguageTable& lang, RouteKey stop);
std::string ConnectionCaption(const RouteMap& map, const LanguageTable& lang, const Connection& connection);

}  // namespace tak
