// Images: parsing PNG and JPEG files, placing them and writing them as image
// objects. The compressed data is copied into the file as it is.
#include "pdf/PaginorImages.h"
#include "pdf/PaginorState.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "base/FileSystem.h"
#include "pdf/PaginorFormat.h"

namespace tak {

namespace {

constexpr std::string_view kPngSignatureStart = "\x89PNG";
constexpr std::string_view kJfifStart = "\xFF\xD8\xFF\xE0";
// Enough for the signature and a whole IHDR chunk, where the chunk walk starts.
constexpr std::size_t kPngFirstChunk = 33;

uint8_t ByteAt(std::string_view bytes, std::size_t pos) { return static_cast<uint8_t>(bytes[pos]); }

uint32_t BigEndian32(std::string_view bytes, std::size_t pos) {
    return uint32_t{ByteAt(bytes, pos)} << 24 | uint32_t{ByteAt(bytes, pos + 1)} << 16 |
           uint32_t{ByteAt(bytes, pos + 2)} << 8 | uint32_t{ByteAt(bytes, pos + 3)};
}

uint32_t BigEndian16(std::string_view bytes, std::size_t pos) {
    return uint32_t{ByteAt(bytes, pos)} << 8 | uint32_t{ByteAt(bytes, pos + 1)};
}

std::string PngDecodeParms(int colours, int bitDepth, uint32_t width) {
    std::string text = "/DecodeParms <</Predictor 15 /Colors ";
    AppendInteger(text, colours);
    text += " /BitsPerComponent ";
    AppendInteger(text, bitDepth);
    text += " /Columns ";
    AppendInteger(text, width);
    text += ">>";
    return text;
}

// Walks the chunks after IHDR, collecting the palette and the image data.
PdfError CollectPngChunks(std::string_view bytes, PdfImage& image) {
    std::size_t pos = kPngFirstChunk;
    for (;;) {
        if (bytes.size() - pos < 12) return PdfError::BadPng;  // no room for length, type and CRC
        uint32_t length = BigEndian32(bytes, pos);
        if (length > bytes.size() - pos - 12) return PdfError::BadPng;  // the chunk runs past the end
        std::string_view type = bytes.substr(pos + 4, 4);
        std::string_view data = bytes.substr(pos + 8, length);
        if (type == "PLTE") {
            if (!image.palette.Append(data)) return PdfError::OutOfMemory;
        } else if (type == "IDAT") {
            if (!image.data.Append(data)) return PdfError::OutOfMemory;
        } else if (type == "IEND") {
            return PdfError::None;
        }
        if (length == 0) return PdfError::None;
        pos += 12 + std::size_t{length};
    }
}

PdfError ParsePng(std::string_view bytes, PdfImage& image) {
    if (bytes.size() < kPngFirstChunk || bytes.substr(12, 4) != "IHDR") return PdfError::BadPng;
    uint32_t width = BigEndian32(bytes, 16);
    uint32_t height = BigEndian32(bytes, 20);
    // An image without area, or larger than PNG allows, cannot be placed.
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return PdfError::BadPng;
    int bitDepth = ByteAt(bytes, 24);
    if (bitDepth > 8) return PdfError::Png16Bit;
    if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8) return PdfError::BadPng;
    int colours = 0;
    switch (ByteAt(bytes, 25)) {
        case 0: image.colourSpace = "DeviceGray"; colours = 1; break;
        case 2: image.colourSpace = "DeviceRGB"; colours = 3; break;
        case 3: image.colourSpace = "Indexed"; colours = 1; break;
        default:
            return PdfError::PngAlpha;  // grey or RGB with alpha
    }
    if (ByteAt(bytes, 26) != 0) return PdfError::PngCompression;
    if (ByteAt(bytes, 27) != 0) return PdfError::PngFilter;
    if (ByteAt(bytes, 28) != 0) return PdfError::PngInterlaced;

    if (PdfError code = CollectPngChunks(bytes, image); code != PdfError::None) return code;
    if (image.colourSpace == "Indexed") {
        if (image.palette.Size() == 0) return PdfError::PngNoPalette;
        // A palette holds at most 256 whole RGB entries.
        if (image.palette.Size() % 3 != 0 || image.palette.Size() > 768) return PdfError::BadPng;
    }
    if (image.data.Size() == 0) return PdfError::BadPng;  // nothing to show

    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bitsPerComponent = bitDepth;
    image.decodeParms = PngDecodeParms(colours, bitDepth, width);
    image.filter = "FlateDecode";
    return PdfError::None;
}

PdfError ParseJpeg(std::string_view bytes, PdfImage& image) {
    if (bytes.size() < 6) return PdfError::NotJpeg;
    // The scan starts after the first segment (APP0).
    std::size_t pos = 4 + BigEndian16(bytes, 4);
    while (pos + 9 < bytes.size()) {  // every field of a frame header lies below pos + 10
        if (ByteAt(bytes, pos) != 0xFF) return PdfError::NotJpeg;
        if (ByteAt(bytes, pos + 1) == 0xC0) {  // baseline start of frame
            int bits = ByteAt(bytes, pos + 4);
            uint32_t height = BigEndian16(bytes, pos + 5);
            uint32_t width = BigEndian16(bytes, pos + 7);
            int components = ByteAt(bytes, pos + 9);
            if (bits != 8 || width == 0 || height == 0) return PdfError::NotJpeg;
            switch (components) {
                case 1: image.colourSpace = "DeviceGray"; break;
                case 3: image.colourSpace = "DeviceRGB"; break;
                case 4: image.colourSpace = "DeviceCMYK"; break;
                default:
                    return PdfError::NotJpeg;
            }
            image.width = static_cast<int>(width);
            image.height = static_cast<int>(height);
            image.bitsPerComponent = bits;
            image.filter = "DCTDecode";
            image.decodeParms.clear();
            return image.data.Append(bytes) ? PdfError::None : PdfError::OutOfMemory;
        }
        pos += BigEndian16(bytes, pos + 2) + 2;
    }
    return PdfError::NotJpeg;
}

std::optional<std::string> ReadImageFile(std::string_view file) {
    try {
        return ReadFileBytes(PathFromText(file));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace

PdfError ParseImageBytes(std::string_view bytes, PdfImage& image) {
    PdfError code = PdfError::NotJpegOrPng;
    if (bytes.substr(0, 4) == kPngSignatureStart) {
        code = ParsePng(bytes, image);
    } else if (bytes.substr(0, 4) == kJfifStart) {
        code = ParseJpeg(bytes, image);
    }
    if (code != PdfError::None) {
        image.data.Release();
        image.palette.Release();
    }
    return code;
}

void PdfDocument::PlaceImage(std::string_view file, float x, float y, float w, float h) {
    auto found = std::find_if(s_->images_.begin(), s_->images_.end(),
                              [file](const PdfImage& image) { return image.fileName == file; });
    if (found == s_->images_.end()) {
        PdfImage image;
        image.fileName = file;
        image.data.SetCapacityLimit(s_->bufferLimit_);
        image.palette.SetCapacityLimit(s_->bufferLimit_);
        std::optional<std::string> bytes = ReadImageFile(file);
        PdfError code = bytes ? ParseImageBytes(*bytes, image) : PdfError::ImageNotOpened;
        if (code != PdfError::None) {
            s_->lastError_ = code;
            return;
        }
        image.index = static_cast<int>(s_->images_.size()) + 1;
        s_->images_.push_back(std::move(image));
        found = s_->images_.end() - 1;
    }

    const float width = static_cast<float>(found->width);
    const float height = static_cast<float>(found->height);
    if (w == 0 && h == 0) {  // one pixel per point
        w = width / s_->scale_;
        h = height / s_->scale_;
    }
    if (w == 0) w = h * width / height;
    if (h == 0) h = w * height / width;

    std::string line = "q ";
    AppendNumber(line, w * s_->scale_, 2);
    line += " 0 0 ";
    AppendNumber(line, h * s_->scale_, 2);
    line += ' ';
    AppendNumber(line, x * s_->scale_, 2);
    line += ' ';
    AppendNumber(line, (s_->pageHeight_ - (y + h)) * s_->scale_, 2);
    line += " cm /I";
    AppendInteger(line, found->index);
    line += " Do Q";
    EmitContent(line);
}

void PdfDocument::PutImages() {
    std::string line;
    for (PdfImage& image : s_->images_) {
        NewObject();
        image.objectNumber = s_->objectCount_;
        EmitLine("<</Type /XObject");
        EmitLine("/Subtype /Image");
        line = "/Width ";
        AppendInteger(line, image.width);
        EmitLine(line);
        line = "/Height ";
        AppendInteger(line, image.height);
        EmitLine(line);
        bool indexed = image.colourSpace == "Indexed";
        if (indexed) {
            // The palette follows as the next object.
            line = "/ColorSpace [/Indexed /DeviceRGB ";
            AppendInteger(line, static_cast<int64_t>(image.palette.Size() / 3) - 1);
            line += ' ';
            AppendInteger(line, image.objectNumber + 1);
            line += " 0 R]";
            EmitLine(line);
        } else {
            EmitLine("/ColorSpace /" + image.colourSpace);
            if (image.colourSpace == "DeviceCMYK") EmitLine("/Decode [1 0 1 0 1 0 1 0]");
        }
        line = "/BitsPerComponent ";
        AppendInteger(line, image.bitsPerComponent);
        EmitLine(line);
        EmitLine("/Filter /" + image.filter);
        if (!image.decodeParms.empty()) EmitLine(image.decodeParms);
        line = "/Length ";
        AppendInteger(line, static_cast<int64_t>(image.data.Size()));
        line += ">>";
        EmitLine(line);
        SpliceStream(image.data, 0);
        EmitLine("endobj");
        if (indexed) {
            NewObject();
            line = "<</Length ";
            AppendInteger(line, static_cast<int64_t>(image.palette.Size()));
            line += ">>";
            EmitLine(line);
            SpliceStream(image.palette, 0);
            EmitLine("endobj");
        }
    }
}

}  // namespace tak
