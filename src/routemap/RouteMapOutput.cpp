#include "routemap/RouteMapOutput.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <string>
#include <system_error>
#include <vector>

#include "base/FileSystem.h"
#include "pdf/Paginor.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

namespace {

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* bytes = static_cast<std::string*>(png_get_io_ptr(png));
    bool appended = true;
    try {
        bytes->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::exception&) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");  // jumps back to EncodePng
}

void FlushNothing(png_structp) {}

// libpng reports errors by jumping back to the setjmp below; everything that
// owns memory is made before it, so the jump leaks nothing.
bool EncodePng(const RouteMapImage& image, std::string& bytes) {
    if (image.width <= 0 || image.height <= 0 || image.palette.empty() || image.palette.size() > 256 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        return false;
    }
    std::vector<png_color> palette;
    for (Rgb colour : image.palette) palette.push_back(png_color{colour.r, colour.g, colour.b});
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &bytes, AppendPngBytes, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    // Flat colours in long runs compress well even at the fastest level.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int32_t y = 0; y < image.height; ++y) {
        png_write_row(png, image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool RouteMapToPrint(const RouteMap& routeMap) {
    return (routeMap.format == kRouteMapPdf || routeMap.format == kRouteMapPng) && !routeMap.stops.empty();
}

std::optional<RouteMapImage> RenderRouteMap(const RouteMap& routeMap, const RouteMapLayoutResult& layout,
                                            int32_t scale) {
    std::optional<RouteMapImage> image = CreateRouteMapImage(routeMap, scale);
    if (!image) return std::nullopt;
    RouteMapCanvas canvas(*image, GridPoint{0, 0}, scale);
    DrawRouteMap(routeMap, layout, canvas);
    return image;
}

bool WriteRouteMapPng(const RouteMapImage& image, const std::filesystem::path& file) {
    std::string bytes;
    return EncodePng(image, bytes) && WriteFileBytes(file, bytes);
}

bool WriteRouteMapOutput(const RouteMap& routeMap, const std::filesystem::path& outputFolder,
                         std::string_view fileStem, const RouteMapPageTexts* texts) {
    if (routeMap.format != kRouteMapPdf && routeMap.format != kRouteMapPng) return true;
    if (!IsValidFileNamePart(fileStem)) return false;
    // The image is made first: a map too large for one is too large to print.
    // A poster scale is lowered for a map whose image would grow too large.
    const int32_t scale = routeMap.format == kRouteMapPng ? FittingPngScale(routeMap, routeMap.pngScale) : 1;
    std::optional<RouteMapImage> image = CreateRouteMapImage(routeMap, scale);
    if (!image) return false;
    const RouteMapLayoutResult layout = LayoutRouteMap(routeMap);
    std::error_code error;
    std::filesystem::create_directories(outputFolder, error);
    if (error) return false;
    const std::string stem(fileStem);
    if (routeMap.format == kRouteMapPdf) {
        RouteMapPageTexts plain;
        plain.title = routeMap.title.empty() ? stem : routeMap.title;
        return WriteRouteMapVectorPdf(routeMap, layout, texts ? *texts : plain,
                                      outputFolder / PathFromText(stem + ".pdf"));
    }
    {
        RouteMapCanvas canvas(*image, GridPoint{0, 0}, scale);
        DrawRouteMap(routeMap, layout, canvas);
    }
    return WriteRouteMapPng(*image, outputFolder / PathFromText(stem + ".png"));
}

}  // namespace tak
