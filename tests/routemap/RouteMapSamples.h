// Route maps to test the layout and its documents on: a large generated
// network, and the map a user makes of the real NewDavisville timetable.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "mapdata/MapData.h"
#include "mapdata/MapLoader.h"
#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapEdit.h"
#include "routemap/RouteMapLabels.h"
#include "routemap/RouteMapLayout.h"

namespace tak::test {

// A map and what the layout made of it, with the look-ups the checks use:
// a saved stop's box, labels and drawn areas as the layout placed them.
struct LaidOut {
    const RouteMap& map;
    RouteMapLayoutResult layout;

    explicit LaidOut(const RouteMap& laidOutMap) : map(laidOutMap), layout(LayoutRouteMap(laidOutMap)) {}

    const StopPlace& Place(const RouteStop& stop) const {
        return layout.stops[static_cast<std::size_t>(&stop - map.stops.data())];
    }
    const StopPlace& Place(RouteKey stop) const { return Place(*FindRouteStop(map, stop)); }
    const StopBox& Box(const RouteStop& stop) const { return Place(stop).box; }
    const std::vector<StopLabel>& Labels(const RouteStop& stop) const { return Place(stop).labels; }
    const std::vector<GridPoint>& Path(std::size_t connection) const { return layout.connections[connection].path; }
    int32_t Crowded() const { return layout.crowdedLabels; }

    PixelRect BoxBounds(const RouteStop& stop) const { return StopBoxBounds(stop, Box(stop)); }
    LabelShape Shape(const RouteStop& stop, const StopLabel& label) const {
        return StopLabelShape(map, stop, Box(stop), label);
    }
    PixelRect Bounds(const RouteStop& stop, const StopLabel& label) const {
        return StopLabelBounds(map, stop, Box(stop), label);
    }
};

// A network of `lines` lines over a lattice of fixed stops 18 cells apart,
// each line walking from lattice stop to lattice stop with two or three
// automatic stops between; with 18 lines some 280 stops, of which the layout
// places about 230. Stop names are street-like and of mixed length.
inline RouteMap GeneratedRouteMap(uint32_t seed, int lines = 18) {
    static const char* const kStreets[] = {"Gartenstraße", "Am Hang", "Schloßplatz", "Bahnhofstraße", "Rathaus",
                                           "Klinikum West", "Ölmühle", "Markt", "Industriegebiet Nord", "Lindenallee",
                                           "Friedhof", "Schulzentrum", "Hafen", "Kirchweg", "Mount Pleasant Road W"};
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    constexpr int kLattice = 8;
    constexpr int kStep = 18;
    RouteMap map;
    map.width = kLattice * kStep + 6;
    map.height = kLattice * kStep + 6;
    std::vector<RouteKey> fixed;
    int named = 0;
    auto nextName = [&] {
        const int n = named++;
        return std::string(kStreets[n % 15]) + " " + std::to_string(n / 15 + 1);
    };
    for (int i = 0; i < kLattice * kLattice; ++i) {
        RouteStop& stop = AddRouteStop(map, nextName());
        stop.automatic = false;
        stop.stored = StopBox{4 + kStep * (i % kLattice), 4 + kStep * (i / kLattice), below(3) == 0 ? 1 : 0, 1};
        fixed.push_back(stop.key);
    }
    for (int l = 0; l < lines; ++l) {
        RouteLine& line = AddRouteLine(map, std::to_string(l + 1));
        line.autoNames = l % 2 == 0;
        const RouteKey lineKey = line.key;
        // A walk without revisits over neighbouring lattice stops.
        std::vector<int> walk{below(kLattice * kLattice)};
        while (walk.size() < 6) {
            const int at = walk.back();
            std::vector<int> next;
            for (int n : {at - 1, at + 1, at - kLattice, at + kLattice}) {
                if (n < 0 || n >= kLattice * kLattice) continue;
                if ((n == at - 1 || n == at + 1) && n / kLattice != at / kLattice) continue;
                bool seen = false;
                for (int w : walk) seen = seen || w == n;
                if (!seen) next.push_back(n);
            }
            if (next.empty()) break;
            walk.push_back(next[static_cast<std::size_t>(below(static_cast<int>(next.size())))]);
        }
        std::vector<RouteKey> chain;
        for (std::size_t i = 0; i < walk.size(); ++i) {
            chain.push_back(fixed[static_cast<std::size_t>(walk[i])]);
            if (i + 1 == walk.size()) break;
            for (int a = 2 + below(2); a > 0; --a) chain.push_back(AddRouteStop(map, nextName()).key);
        }
        for (std::size_t i = 1; i < chain.size(); ++i) AddConnection(map, lineKey, chain[i - 1], chain[i]);
    }
    return map;
}

// A straight row of fixed stops `spacing` cells apart on row `row`, joined
// in order by one line: bars across the line, as the layout makes them for
// stops along a horizontal stretch. Nine free cells left and right of the
// row leave room for names slanting away from its ends. Stop i is named
// name(i).
template <typename Name>
RouteMap RowOfStops(int count, int spacing, int row, int height, Name name) {
    RouteMap map;
    map.width = 18 + spacing * (count - 1) + 1;
    map.height = height;
    map.allowDiag = false;
    std::vector<RouteKey> keys;
    for (int i = 0; i < count; ++i) {
        RouteStop& stop = AddRouteStop(map, name(i));
        stop.automatic = false;
        stop.stored = StopBox{9 + spacing * i, row, 0, 1};
        keys.push_back(stop.key);
    }
    const RouteKey line = AddRouteLine(map, "1").key;
    for (std::size_t i = 1; i < keys.size(); ++i) AddConnection(map, line, keys[i - 1], keys[i]);
    return map;
}

// A row of eighteen stops two cells apart whose names are too long to stand
// upright between the row and the image's top and bottom edges, but not too
// long to slant at 45 degrees there: the rows above and below hold the
// slanted name's length and height times the sine of 45 degrees and a few
// pixels of gap and margin.
inline RouteMap SlantedRow() {
    auto name = [](int i) { return "Industriegebiet Nord " + std::to_string(10 + i); };
    const TextSize text = MeasureLabelText(name(0));
    const int rows = static_cast<int>(std::ceil(((text.width + text.height + 2) * 0.7072 + 8) / 16.0));
    return RowOfStops(18, 2, rows, 2 * rows + 1, name);
}

// The route map a user makes of NewDavisville: a line added from each trip's
// stops, the ends of each trip and a few stops of the second fixed on the
// grid, everything else left to the layout; the 42 lines run side by side in
// a straight row of six stops. None when the map cannot be read.
inline std::optional<RouteMap> NewDavisvilleRouteMap(const std::filesystem::path& mapFolder) {
    MapData data;
    if (!LoadMap(data, mapFolder, kNoDate, "en")) return std::nullopt;
    RouteMap map;
    map.width = 48;
    map.height = 44;
    // Cells of the trips' first and last stops, in trip order.
    const std::vector<std::pair<GridPoint, GridPoint>> ends = {
        {{4, 6}, {37, 6}}, {{37, 6}, {4, 6}}, {{6, 30}, {40, 30}}, {{40, 38}, {6, 38}}};
    std::size_t tripIndex = 0;
    for (const auto& trip : data.trips) {
        std::vector<std::string> names;
        for (const TripStation& station : trip->stations) names.push_back(station.name);
        if (names.size() < 2 || tripIndex >= ends.size()) return std::nullopt;
        AddLineFromStops(map, trip->lineName, names);
        for (int e = 0; e < 2; ++e) {
            const std::string& name = e == 0 ? names.front() : names.back();
            for (RouteStop& stop : map.stops) {
                if (stop.name != name || !stop.automatic) continue;
                const GridPoint cell = e == 0 ? ends[tripIndex].first : ends[tripIndex].second;
                stop.automatic = false;
                stop.stored = StopBox{cell.x, cell.y, 0, 1};
            }
        }
        ++tripIndex;
    }
    // The second trip's stops of its own, and two it shares, fixed a block
    // lower, so that it runs beside the first.
    const std::pair<const char*, GridPoint> fixedByHand[] = {
        {"Cleveland Street", {31, 18}},     {"Acacia Road", {10, 18}},   {"Mount Pleasant Road E", {18, 22}},
        {"Mount Pleasant Road W", {13, 22}}, {"84 Davisville Ave - The Salvation Army", {7, 22}},
        {"Yonge Street", {2, 22}}};
    for (const auto& [name, cell] : fixedByHand) {
        for (RouteStop& stop : map.stops) {
            if (stop.name != name) continue;
            stop.automatic = false;
            stop.stored = StopBox{cell.x, cell.y, 0, 1};
        }
    }
    return map;
}

}  // namespace tak::test
