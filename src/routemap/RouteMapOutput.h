// Writing the route map as an output document: laid out, drawn at full size
// and saved as a PNG file, or as a one-page PDF whose page has exactly the
// image's size (one pixel per point) and holds the same pixels.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"

namespace tak {

// Lays the route map out, draws it and writes "<fileStem>.png" or
// "<fileStem>.pdf" into `outputFolder` (created when missing), as the map's
// format asks; a map whose format is "do not create" writes nothing and
// succeeds. `fileStem` is the language's word for the route map,
// Lang("RouteMap"); it must be a valid file name.
//
// False when the image, the document or the file could not be made. The
// caller then logs Lang("ErrCreateOutput") with "%1" replaced by
// Lang("RouteMap") and goes on with the other outputs.
//
// The layout rewrites the map's derived fields and the stored boxes of
// automatic stops; callers that must not change the edited model pass a copy.
[[nodiscard]] bool WriteRouteMapOutput(RouteMap& routeMap, const std::filesystem::path& outputFolder, std::string_view fileStem);

// The map drawn at full size as the output shows it (no layout is run).
std::optional<RouteMapImage> RenderRouteMap(const RouteMap& routeMap);

// An 8-bit palette PNG of the image; false when the file cannot be written.
[[nodiscard]] bool WriteRouteMapPng(const RouteMapImage& image, const std::filesystem::path& file);

// A one-page PDF of the image's size holding it, through a uniquely named
// temporary PNG in the system's temporary folder that is removed afterwards.
[[nodiscard]] bool WriteRouteMapPdf(const RouteMapImage& image, const std::filesystem::path& file);

}  // namespace tak
