// Flate (zlib) compression of the streams the writer emits.
#pragma once

#include <string>
#include <string_view>

namespace tak {

// `bytes` compressed in the zlib format a PDF reader's FlateDecode filter
// takes; empty when memory could not be had.
std::string Deflate(std::string_view bytes);

}  // namespace tak
