// Feeds arbitrary bytes to the PNG and JPEG parser of the PDF writer. Broken
// files must fail with one of the image codes and keep nothing; accepted ones
// must describe an image the writer can embed.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pdf/Paginor.h"
#include "pdf/PaginorImages.h"

namespace {

// The errors ParseImageBytes may fail with; any other is a fault.
bool IsImageFailureCode(tak::PdfError code) {
    using tak::PdfError;
    switch (code) {
        case PdfError::Png16Bit:
        case PdfError::PngAlpha:
        case PdfError::PngCompression:
        case PdfError::PngFilter:
        case PdfError::PngInterlaced:
        case PdfError::PngNoPalette:
        case PdfError::BadPng:
        case PdfError::NotJpeg:
        case PdfError::NotJpegOrPng:
        case PdfError::OutOfMemory:
            return true;
        default:
            return false;
    }
}

void CheckAccepted(const tak::PdfImage& image, std::string_view bytes) {
    if (image.width <= 0 || image.height <= 0) std::abort();
    if (image.data.Size() == 0 || image.data.Size() > bytes.size()) std::abort();
    const int bits = image.bitsPerComponent;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8) std::abort();
    if (image.colourSpace == "Indexed") {
        const std::size_t palette = image.palette.Size();
        if (palette == 0 || palette % 3 != 0 || palette > 768) std::abort();
    }
    // A JPEG is embedded as the whole file.
    if (image.filter == "DCTDecode" && image.data.View() != bytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tak::PdfImage image;
    tak::PdfError code = tak::ParseImageBytes(bytes, image);
    if (code == tak::PdfError::None) {
        CheckAccepted(image, bytes);
    } else {
        if (!IsImageFailureCode(code)) std::abort();
        if (image.data.Size() != 0 || image.palette.Size() != 0) std::abort();
    }
    return 0;
}
