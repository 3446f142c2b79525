// The route map as a vector document: one page drawn with the PDF writer's
// own paths and text, so that it prints sharp at any size and its names can
// be searched and copied. The page holds a title, the laid-out map and a
// legend of the lines (badge, name, end stops), with margins around all.
//
// Geometry follows the raster drawing: one pixel of the image is one point
// of the page, so labels the layout placed clear of each other stay clear.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapLabels.h"

namespace tak {

// The texts of the page besides the map's own names.
struct RouteMapPageTexts {
    std::string title;
    std::string operatorName;  // left out when empty
    std::string validity;      // left out when empty
    std::string legendHeading;
};

// A line as the legend lists it: its name, colours and the names of the
// stops its connections begin and end at.
struct LineLegendEntry {
    RouteKey line = kNoRouteKey;
    std::string firstStop;
    std::string lastStop;
};

// One entry per line that has a connection, in line list order. The ends are
// the stops only one connection of the line touches (the first two in
// connection order); a ring line has none and names the first connection's
// start twice.
std::vector<LineLegendEntry> LineLegendEntries(const RouteMap& map);

// Where the legend goes on the map, in map pixels: the first corner of the
// map where a box of `width` x `height` covers no stop, label or line; none
// when every corner is taken (the legend then goes below the map).
std::optional<PixelRect> FreeCorner(const RouteMap& map, const RouteMapLayoutResult& layout, int32_t width,
                                    int32_t height);

// Writes the map as the layout placed it as a one-page PDF. False when the
// document could not be made or saved.
[[nodiscard]] bool WriteRouteMapVectorPdf(const RouteMap& map, const RouteMapLayoutResult& layout,
                                          const RouteMapPageTexts& texts, const std::filesystem::path& file);

}  // namespace tak
