// Reading PNG and JPEG files into image records. Separate from the document so
// that the parsers can be tested and fuzzed on bytes alone.
#pragma once

#include <string_view>

#include "pdf/Paginor.h"

namespace tak {

// Fills `image` (size, colour space, bits, filter, data, palette) from the
// bytes of a PNG or JFIF JPEG file. Returns PdfError::None, or why not: the
// Png… errors and BadPng for PNG, NotJpeg for JPEG, NotJpegOrPng for any other
// kind of file, OutOfMemory when the image buffers cannot grow. Every length
// read from the file is checked against its size.
PdfError ParseImageBytes(std::string_view bytes, PdfImage& image);

}  // namespace tak
