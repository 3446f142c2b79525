// Flate (zlib) compression of the streams the writer emits.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tak {

// zlib's fastest, default and best levels.
constexpr int kFastDeflate = 1;
constexpr int kDefaultDeflate = 6;
constexpr int kBestDeflate = 9;

// Page content a document compresses at the best level before it switches to
// the fastest. The best level takes several times as long, which a document
// of a few pages does not notice and a run of a thousand pages would; this
// much is about ten timetable pages and costs some 20 ms at most.
constexpr std::size_t kBestDeflateBudget = std::size_t{256} << 10;

// `bytes` compressed in the zlib format a PDF reader's FlateDecode filter
// takes, at a zlib level from 1 (fastest) to 9 (smallest); empty when memory
// could not be had.
std::string Deflate(std::string_view bytes, int level = kFastDeflate);

}  // namespace tak
