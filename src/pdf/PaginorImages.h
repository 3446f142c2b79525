// Reading PNG and JPEG files into image records. Separate from the document so
// that the parsers can be tested and fuzzed on bytes alone.
#pragma once

#include <string_view>

#include "pdf/Paginor.h"

namespace tak {

// Fills `image` (size, colour space, bits, filter, data, palette) from the
// bytes of a PNG or JFIF JPEG file. Returns 0, or the failure code of
// PdfDocument::ErrorText: 1-6 and 12 for PNG, 11 for JPEG, 14 for any other
// kind of file, 18 when the image buffers cannot grow. Every length read from
// the file is checked against its size.
int ParseImageBytes(std::string_view bytes, PdfImage& image);

}  // namespace tak
