#include "routemap/RouteMapOutput.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "base/FileSystem.h"
#include "pdf/Paginor.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

namespace {

std::string PathText(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The image's colours when there are at most 256 of them (the map is drawn
// without smoothing, so there usually are a few dozen); none otherwise.
std::optional<std::vector<uint32_t>> Palette(const RouteMapImage& image) {
    std::vector<uint32_t> colours;
    uint32_t last = 0xFFFFFFFF;
    for (uint32_t pixel : image.pixels) {
        if (pixel == last) continue;
        last = pixel;
        if (std::find(colours.begin(), colours.end(), pixel) != colours.end()) continue;
        if (colours.size() == 256) return std::nullopt;
        colours.push_back(pixel);
    }
    std::sort(colours.begin(), colours.end());
    return colours;
}

// One row of the image as palette indices or as RGB bytes.
void PackRow(const RouteMapImage& image, int32_t y, const std::vector<uint32_t>* palette, std::vector<png_byte>& row) {
    const uint32_t* pixels = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
    std::size_t out = 0;
    uint32_t last = 0xFFFFFFFF;
    png_byte lastIndex = 0;
    for (int32_t x = 0; x < image.width; ++x) {
        const uint32_t pixel = pixels[x];
        if (palette) {
            if (pixel != last) {
                last = pixel;
                lastIndex = static_cast<png_byte>(std::lower_bound(palette->begin(), palette->end(), pixel) -
                                                  palette->begin());
            }
            row[out++] = lastIndex;
        } else {
            row[out++] = static_cast<png_byte>(pixel >> 16);
            row[out++] = static_cast<png_byte>(pixel >> 8);
            row[out++] = static_cast<png_byte>(pixel);
        }
    }
}

// libpng reports errors by jumping back to the setjmp below; everything that
// owns memory is made before it, so the jump leaks nothing.
bool WritePngStream(const RouteMapImage& image, FILE* stream) {
    if (image.width <= 0 || image.height <= 0) return false;
    const std::optional<std::vector<uint32_t>> palette = Palette(image);
    std::vector<png_color> plte;
    if (palette) {
        for (uint32_t colour : *palette) {
            plte.push_back(png_color{static_cast<png_byte>(colour >> 16), static_cast<png_byte>(colour >> 8),
                                     static_cast<png_byte>(colour)});
        }
    }
    std::vector<png_byte> row(static_cast<std::size_t>(image.width) * (palette ? 1 : 3));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, stream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (palette) png_set_PLTE(png, info, plte.data(), static_cast<int>(plte.size()));
    // Flat colours in long runs compress well even at the fastest level.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int32_t y = 0; y < image.height; ++y) {
        PackRow(image, y, palette ? &*palette : nullptr, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// A new file of a name nobody else can have chosen, opened exclusively so
// that a file planted under that name is never written through.
FILE* CreateTemporaryPng(std::filesystem::path& chosen) {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) return nullptr;
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = "taktarium-routemap-" + std::to_string(entropy()) + "-" + std::to_string(entropy()) + ".png";
        chosen = folder / name;
        if (FILE* stream = std::fopen(PathText(chosen).c_str(), "wbx")) return stream;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

}  // namespace

std::optional<RouteMapImage> RenderRouteMap(const RouteMap& routeMap) {
    std::optional<RouteMapImage> image = CreateRouteMapImage(routeMap);
    if (!image) return std::nullopt;
    RouteMapCanvas canvas(*image);
    DrawRouteMap(routeMap, canvas);
    return image;
}

bool WriteRouteMapPng(const RouteMapImage& image, const std::filesystem::path& file) {
    FILE* stream = std::fopen(PathText(file).c_str(), "wb");
    if (!stream) return false;
    bool written = WritePngStream(image, stream);
    bool closed = std::fclose(stream) == 0;
    if (written && closed) return true;
    std::error_code ignored;
    std::filesystem::remove(file, ignored);  // no half-written image is left behind
    return false;
}

bool WriteRouteMapPdf(const RouteMapImage& image, const std::filesystem::path& file) {
    std::filesystem::path temporary;
    FILE* stream = CreateTemporaryPng(temporary);
    if (!stream) return false;
    bool written = WritePngStream(image, stream);
    written = std::fclose(stream) == 0 && written;

    bool saved = false;
    if (written) {
        PdfDocument document;
        std::string pageFormat = std::to_string(image.width) + "," + std::to_string(image.height);
        if (document.CreateDocument("", "pt", pageFormat) && document.NewPage("", "")) {
            document.PlaceImage(PathText(temporary), 0, 0, 0, 0, 0);
            // A page without its image is no route map.
            if (document.LastError() == 0) saved = document.SaveDocument(PathText(file));
        }
    }
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return saved;
}

bool WriteRouteMapOutput(RouteMap& routeMap, const std::filesystem::path& outputFolder, std::string_view fileStem) {
    if (routeMap.format != kRouteMapPdf && routeMap.format != kRouteMapPng) return true;
    if (!IsValidFileNamePart(fileStem)) return false;
    std::optional<RouteMapImage> image = CreateRouteMapImage(routeMap);
    if (!image) return false;
    LayoutRouteMap(routeMap);
    {
        RouteMapCanvas canvas(*image);
        DrawRouteMap(routeMap, canvas);
    }
    std::error_code error;
    std::filesystem::create_directories(outputFolder, error);
    if (error) return false;
    const std::string stem(fileStem);
    if (routeMap.format == kRouteMapPdf) return WriteRouteMapPdf(*image, outputFolder / PathFromText(stem + ".pdf"));
    return WriteRouteMapPng(*image, outputFolder / PathFromText(stem + ".png"));
}

}  // namespace tak
