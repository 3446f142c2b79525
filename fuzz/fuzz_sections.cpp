// Feeds arbitrary bytes to the readers of stop lists, trip files and line
// files, then resolves tour trips, as a map load would.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mapdata/MapData.h"
#include "mapdata/TimetableReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Three files in one input, separated by NUL bytes.
    std::string_view parts[3];
    for (auto& part : parts) {
        std::size_t end = bytes.find('\0');
        part = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    }
    tak::MapData map;
    tak::ReadStopListBytes(map, parts[0]);
    tak::ReadTripFileBytes(map, "trip", parts[1]);
    tak::ReadTripFileBytes(map, "TRIP", parts[1]);
    tak::ReadLineFileBytes(map, "line", parts[2]);
    return 0;
}
