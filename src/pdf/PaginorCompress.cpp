#include "pdf/PaginorCompress.h"

#include <algorithm>

#include <zlib.h>

namespace tak {

std::string Deflate(std::string_view bytes, int level) {
    std::string out;
    if (bytes.size() > 0x7FFFFFFF) return out;  // beyond what one zlib call takes
    uLong room = compressBound(static_cast<uLong>(bytes.size()));
    out.resize(room);
    int result = compress2(reinterpret_cast<Bytef*>(out.data()), &room,
                           reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                           std::clamp(level, kFastDeflate, kBestDeflate));
    if (result != Z_OK) return {};
    out.resize(room);
    return out;
}

}  // namespace tak
