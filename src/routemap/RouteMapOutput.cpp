#include "routemap/RouteMapOutput.h"

#include <png.h>

#include <cerrno>
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

std::vector<png_byte> RgbRows(const RouteMapImage& image) {
    std::vector<png_byte> rgb;
    rgb.reserve(image.pixels.size() * 3);
    for (uint32_t pixel : image.pixels) {
        rgb.push_back(static_cast<png_byte>(pixel >> 16));
        rgb.push_back(static_cast<png_byte>(pixel >> 8));
        rgb.push_back(static_cast<png_byte>(pixel));
    }
    return rgb;
}

bool WritePngStream(const RouteMapImage& image, FILE* stream) {
    if (image.width <= 0 || image.height <= 0) return false;
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    header.width = static_cast<png_uint_32>(image.width);
    header.height = static_cast<png_uint_32>(image.height);
    header.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb = RgbRows(image);
    int written = png_image_write_to_stdio(&header, stream, 0, rgb.data(), 0, nullptr);
    png_image_free(&header);
    return written != 0;
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
