// Writing the route map as an output document: laid out, and drawn at full
// size and saved as a PNG file, or drawn as a one-page vector PDF with a title
// and a legend of the lines (RouteMapPdf.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapPdf.h"

namespace tak {

// Lays the route map out, draws it and writes "<fileStem>.png" (at the map's
// PNG scale, lowered for a map too large for it) or "<fileStem>.pdf" into
// `outputFolder` (created when missing), as the map's format asks; a map
// whose format is "do not create" writes nothing and succeeds. `fileStem` is
// the language's word for the route map, Lang("RouteMap"); it must be a valid
// file name. `texts` are the PDF page's title and legend texts; without them
// the title is the map's own or the file stem.
//
// False when the image, the document or the file could not be made. The
// caller then logs Lang("ErrCreateOutput") with "%1" replaced by
// Lang("RouteMap") and goes on with the other outputs.
[[nodiscard]] bool WriteRouteMapOutput(const RouteMap& routeMap, const std::filesystem::path& outputFolder,
                                       std::string_view fileStem, const RouteMapPageTexts* texts = nullptr);

// True when the map asks for a document and has a stop to show: a new
// project's empty map is not printed as an empty page.
bool RouteMapToPrint(const RouteMap& routeMap);

// The map drawn at full size as the output shows it, placed as the layout
// placed it, at `scale` image pixels per map pixel (1, 2 or 4).
std::optional<RouteMapImage> RenderRouteMap(const RouteMap& routeMap, const RouteMapLayoutResult& layout,
                                            int32_t scale = 1);

// An 8-bit palette PNG of the image; false when the file cannot be written.
[[nodiscard]] bool WriteRouteMapPng(const RouteMapImage& image, const std::filesystem::path& file);

}  // namespace tak
