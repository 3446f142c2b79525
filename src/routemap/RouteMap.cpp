#include "routemap/RouteMap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "base/Language.h"
#include "base/Text.h"

namespace tak {

// ---------------------------------------------------------------------------
// Directions and ports

const std::array<DirectionStep, kDirectionCount>& DirectionTable() {
    static constexpr std::array<DirectionStep, kDirectionCount> table = {{
        {0, -1, 2, 90},   // north
        {1, 0, 3, 0},     // east
        {0, 1, 0, 90},    // south
        {-1, 0, 1, 0},    // west
        {1, -1, 6, 45},   // north-east
        {1, 1, 7, -45},   // south-east
        {-1, 1, 4, 45},   // south-west
        {-1, -1, 5, -45}, // north-west
    }};
    return table;
}

int StepDirection(GridPoint a, GridPoint b) {
    if (a.x == b.x) return a.y < b.y ? 2 : 0;
    if (a.y == b.y) return a.x < b.x ? 1 : 3;
    if (std::abs(int64_t{b.x} - a.x) != std::abs(int64_t{b.y} - a.y)) return kNoDirection;
    if (a.y < b.y) return a.x < b.x ? 5 : 6;
    return a.x < b.x ? 4 : 7;
}

GridPoint PortPoint(const StopBox& box, int side, int port) {
    switch (side) {
        case 0: return {box.x + port, box.y};
        case 1: return {box.width > 0 ? box.x + box.width - 1 : box.x, box.y + port};
        case 2: return {box.x + port, box.height > 0 ? box.y + box.height - 1 : box.y};
        case 3: return {box.x, box.y + port};
        default: return {box.x, box.y};
    }
}

int PortOffset(const StopBox& box, int side, GridPoint cell) {
    return (side == 0 || side == 2) ? cell.x - box.x : cell.y - box.y;
}

// ---------------------------------------------------------------------------
// Colours

int32_t BoundedPixel(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, -(1 << 24), 1 << 24)); }

GridPoint CellCentre(GridPoint cell) {
    return {BoundedPixel(int64_t{kCellPixels} * cell.x + kCellPixels / 2),
            BoundedPixel(int64_t{kCellPixels} * cell.y + kCellPixels / 2)};
}

GridPoint LabelAnchor(const StopBox& box) {
    return {BoundedPixel(int64_t{kCellPixels} * box.x + int64_t{kCellPixels / 2} * std::max(box.width, 1)),
            BoundedPixel(int64_t{kCellPixels} * box.y + int64_t{kCellPixels / 2} * std::max(box.height, 1))};
}

GridPoint LabelReference(const StopLabel& label, const StopBox& box) {
    GridPoint anchor = LabelAnchor(box);
    return {BoundedPixel(int64_t{anchor.x} + label.x), BoundedPixel(int64_t{anchor.y} + label.y)};
}

void ShiftCornerOffset(StopLabel& label, const StopBox& box) {
    label.x = BoundedPixel(int64_t{label.x} - int64_t{kCellPixels / 2} * std::max(box.width, 1));
    label.y = BoundedPixel(int64_t{label.y} - int64_t{kCellPixels / 2} * std::max(box.height, 1));
}

int32_t PackRgb(Rgb colour) { return (int32_t{colour.r} << 16) | (int32_t{colour.g} << 8) | colour.b; }

Rgb UnpackRgb(int32_t packed) {
    auto bits = static_cast<uint32_t>(packed);
    return Rgb{static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits)};
}

const std::array<RouteColour, 13>& RouteColourTable() {
    static const std::array<RouteColour, 13> table = {{
        {"Rot", {255, 0, 0}, kTextWhite},
        {"Gelb", {225, 225, 0}, kTextBlack},
        {"Grün", {0, 225, 0}, kTextBlack},
        {"Blau", {0, 0, 255}, kTextWhite},
        {"Braun", {192, 92, 0}, kTextWhite},
        {"Pink", {255, 0, 255}, kTextWhite},
        {"Türkis", {0, 225, 225}, kTextBlack},
        {"Grau", {192, 192, 192}, kTextBlack},
        {"Hellrot", {255, 192, 192}, kTextBlack},
        {"Hellgrün", {128, 255, 128}, kTextBlack},
        {"Hellblau", {160, 160, 255}, kTextBlack},
        {"Dunkelgrau", {128, 128, 128}, kTextWhite},
        {"Eigene Farbe...", {0, 0, 0}, kTextBlack},
    }};
    return table;
}

const std::array<Rgb, 3>& TextColourTable() {
    static const std::array<Rgb, 3> table = {{{0, 0, 0}, {128, 128, 128}, {255, 255, 255}}};
    return table;
}

Rgb TextColour(int index) {
    const auto& table = TextColourTable();
    if (index < 0 || index >= static_cast<int>(table.size())) return table[kTextBlack];
    return table[static_cast<std::size_t>(index)];
}

Rgb DarkenColour(Rgb colour) {
    auto darken = [](uint8_t c) { return static_cast<uint8_t>(std::lround(c * 0.7)); };
    return Rgb{darken(colour.r), darken(colour.g), darken(colour.b)};
}

namespace {

bool IsTableColour(int32_t index) { return index >= 0 && index < kLineColourCount; }

// The least used table colour among the lines resolved so far, first in table order.
int LeastUsedColour(const std::vector<LineLook>& looks) {
    std::array<int, kLineColourCount> counts{};
    for (const auto& look : looks) {
        if (IsTableColour(look.colourIndex)) ++counts[static_cast<std::size_t>(look.colourIndex)];
    }
    return static_cast<int>(std::min_element(counts.begin(), counts.end()) - counts.begin());
}

}  // namespace

std::vector<LineLook> ResolveColours(const RouteMap& map) {
    std::vector<LineLook> looks;
    looks.reserve(map.lines.size());
    for (const auto& line : map.lines) {
        looks.push_back(LineLook{line.colourIndex, Rgb{}, line.textColour, line.arrowColour});
    }
    for (std::size_t i = 0; i < map.lines.size(); ++i) {
        const RouteLine& line = map.lines[i];
        LineLook& look = looks[i];
        // An index the table does not have (a hand-edited file) counts as
        // automatic, so that nothing reads past the colour table.
        if (IsTableColour(line.colourIndex) || line.colourIndex == kCustomColour) continue;
        look.colourIndex = kAutomaticColour;
        int index = LeastUsedColour(looks);
        const RouteColour& entry = RouteColourTable()[static_cast<std::size_t>(index)];
        look = LineLook{index, entry.rgb, entry.textColour, entry.textColour};
    }
    for (std::size_t i = 0; i < map.lines.size(); ++i) {
        const RouteLine& line = map.lines[i];
        if (IsTableColour(line.colourIndex)) {
            looks[i].colour = RouteColourTable()[static_cast<std::size_t>(line.colourIndex)].rgb;
        } else if (line.colourIndex == kCustomColour) {
            looks[i].colour = UnpackRgb(line.customColour);
        }
    }
    return looks;
}

// ---------------------------------------------------------------------------
// Look-ups

namespace {

template <typename Record>
Record* FindByKey(std::vector<Record>& records, RouteKey key) {
    if (key == kNoRouteKey) return nullptr;
    for (auto& record : records) {
        if (record.key == key) return &record;
    }
    return nullptr;
}

}  // namespace

RouteLine* FindRouteLine(RouteMap& map, RouteKey key) { return FindByKey(map.lines, key); }
RouteStop* FindRouteStop(RouteMap& map, RouteKey key) { return FindByKey(map.stops, key); }
Connection* FindConnection(RouteMap& map, RouteKey key) { return FindByKey(map.connections, key); }

const RouteLine* FindRouteLine(const RouteMap& map, RouteKey key) {
    return FindRouteLine(const_cast<RouteMap&>(map), key);
}
const RouteStop* FindRouteStop(const RouteMap& map, RouteKey key) {
    return FindRouteStop(const_cast<RouteMap&>(map), key);
}
const Connection* FindConnection(const RouteMap& map, RouteKey key) {
    return FindConnection(const_cast<RouteMap&>(map), key);
}

// ---------------------------------------------------------------------------
// Building

namespace {

std::u16string Utf16Units(std::string_view utf8) {
    std::u16string units;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = NextCodePoint(utf8, pos);
        if (cp >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp);
        }
    }
    return units;
}

void Unregister(RouteStop& stop, RouteKey connection) {
    auto it = std::find(stop.connections.begin(), stop.connections.end(), connection);
    if (it != stop.connections.end()) stop.connections.erase(it);
}

void Register(RouteMap& map, RouteKey stop, RouteKey connection) {
    if (RouteStop* target = FindRouteStop(map, stop)) target->connections.push_back(connection);
}

}  // namespace

bool StopNameLess(std::string_view a, std::string_view b) {
    // UTF-8 byte order equals code point order, which differs from UTF-16
    // order only where characters beyond U+FFFF meet U+E000 ... U+FFFF.
    return Utf16Units(a) < Utf16Units(b);
}

RouteLine& AddRouteLine(RouteMap& map, std::string name) {
    RouteLine& line = map.lines.emplace_back();
    line.key = map.nextKey++;
    line.name = std::move(name);
    // A line the user adds starts fully automatic and without line-name
    // labels, unlike a line read from a file that lacks these keys.
    line.arrowColour = -1;
    line.autoNames = false;
    return line;
}

RouteStop& AddRouteStop(RouteMap& map, std::string name) {
    auto place = std::find_if(map.stops.begin(), map.stops.end(),
                              [&](const RouteStop& stop) { return StopNameLess(name, stop.name); });
    RouteStop stop;
    stop.key = map.nextKey++;
    stop.name = std::move(name);
    stop.labels.push_back(StopLabel{});
    return *map.stops.insert(place, std::move(stop));
}

Connection& AddConnection(RouteMap& map, RouteKey line, RouteKey stopA, RouteKey stopB) {
    auto lastOfLine = std::find_if(map.connections.rbegin(), map.connections.rend(),
                                   [&](const Connection& c) { return c.line == line; });
    auto place = lastOfLine == map.connections.rend() ? map.connections.end() : lastOfLine.base();
    Connection connection;
    connection.key = map.nextKey++;
    connection.line = line;
    connection.end[0].stop = stopA;
    connection.end[1].stop = stopB;
    RouteKey key = connection.key;
    Connection& inserted = *map.connections.insert(place, std::move(connection));
    Register(map, stopA, key);
    Register(map, stopB, key);
    return inserted;
}

void SetConnectionEnd(RouteMap& map, Connection& connection, int e, RouteKey stop) {
    if (e != 0 && e != 1) return;
    ConnectionEnd& end = connection.end[static_cast<std::size_t>(e)];
    if (RouteStop* old = FindRouteStop(map, end.stop)) Unregister(*old, connection.key);
    end.stop = stop;
    Register(map, stop, connection.key);
}

void PrepareLoadedRouteMap(RouteMap& map) {
    std::stable_sort(map.stops.begin(), map.stops.end(),
                     [](const RouteStop& a, const RouteStop& b) { return StopNameLess(a.name, b.name); });
    for (auto& line : map.lines) {
        if (IsTableColour(line.colourIndex)) {
            line.customColour = PackRgb(RouteColourTable()[static_cast<std::size_t>(line.colourIndex)].rgb);
        }
    }
    for (auto& stop : map.stops) {
        stop.connections.clear();
        for (auto& label : stop.labels) {
            if (!FindRouteLine(map, label.line)) label.line = kNoRouteKey;
        }
    }
    for (auto& connection : map.connections) {
        if (!FindRouteLine(map, connection.line)) connection.line = kNoRouteKey;
        for (auto& end : connection.end) {
            if (!FindRouteStop(map, end.stop)) end.stop = kNoRouteKey;
            Register(map, end.stop, connection.key);
        }
    }
}

bool InsideGrid(const StopBox& box, int32_t width, int32_t height) {
    // In 64 bits: sizes come from the project file and may be anything.
    return box.x >= 0 && box.y >= 0 && int64_t{box.x} + std::max(box.width, 1) - 1 < width &&
           int64_t{box.y} + std::max(box.height, 1) - 1 < height;
}

void ReleaseStopsOutsideGrid(RouteMap& map) {
    for (auto& stop : map.stops) {
        if (!InsideGrid(stop.stored, map.width, map.height)) stop.automatic = true;
    }
}

// ---------------------------------------------------------------------------
// Captions

std::string StopCaption(const RouteMap& map, const LanguageTable& lang, RouteKey stop) {
    auto it = std::find_if(map.stops.begin(), map.stops.end(),
                           [&](const RouteStop& s) { return stop != kNoRouteKey && s.key == stop; });
    // Built piece by piece: `"<" + text` makes GCC 12 warn wrongly (-Wrestrict) in release builds.
    auto inAngles = [](std::string text) { return std::string("<").append(text).append(">"); };
    if (it == map.stops.end()) return inAngles(lang.Lang("Free"));
    if (it->name.empty()) return inAngles(lang.Lang("NoName"));
    int rank = 1;
    for (auto before = it; before != map.stops.begin() && std::prev(before)->name == it->name; --before) ++rank;
    if (rank < 2) return it->name;
    return it->name + " (" + std::to_string(rank) + ")";
}

std::string ConnectionCaption(const RouteMap& map, const LanguageTable& lang, const Connection& connection) {
    return StopCaption(map, lang, connection.end[0].stop) + " - " + StopCaption(map, lang, connection.end[1].stop);
}

}  // namespace tak
