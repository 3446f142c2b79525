#include "pdf/PaginorCompress.h"

#include <zlib.h>

namespace tak {

std::string Deflate(std::string_view bytes) {
    std::string out;
    if (bytes.size() > 0x7FFFFFFF) return out;  // beyond what one zlib call takes
    uLong room = compressBound(static_cast<uLong>(bytes.size()));
    out.resize(room);
    // Level 6 is zlib's balance of size and speed; higher levels gain a few
    // per cent of size for twice the time.
    int result = compress2(reinterpret_cast<Bytef*>(out.data()), &room,
                           reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()), 6);
    if (result != Z_OK) return {};
    out.resize(room);
    return out;
}

}  // namespace tak
