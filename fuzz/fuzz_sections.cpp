// Feeds arbitrary bytes to the readers of stop lists, trip files and line
// files, then checks what they kept: every number the files gave is one the
// checked readers accept, and every time lies within the range of a map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/Text.h"
#include "mapdata/MapData.h"
#include "mapdata/SectionFile.h"
#include "mapdata/TimetableReader.h"

namespace {

bool IsMapTimeOrUnset(int32_t seconds) {
    return seconds == tak::TimeUnset || (seconds >= 0 && seconds <= tak::kMaxMapTime);
}

// The checked number readers agree with the plain ones wherever they accept a line.
void CheckNumberReaders(std::string_view bytes) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (auto whole = tak::ParseWholeNumber(line); whole && *whole != tak::ParseLeadingInt(line)) std::abort();
        if (auto minutes = tak::ParseMinutesChecked(line); minutes && *minutes != tak::ParseMinutes(line)) std::abort();
        start = end + 1;
    }
}

void CheckMap(const tak::MapData& map) {
    for (const auto& trip : map.trips) {
        for (const auto& profile : trip->profiles) {
            if (profile.duration < 0 || profile.duration > tak::kMaxMapTime) std::abort();
            for (const auto& time : profile.times) {
                if (!IsMapTimeOrUnset(time.arrival) || !IsMapTimeOrUnset(time.departure)) std::abort();
            }
        }
    }
    for (const auto& line : map.lines) {
        for (const auto& tour : line->tours) {
            if (tour.days > tak::kAllServiceDays) std::abort();
            for (const auto& tourTrip : tour.trips) {
                if (tourTrip.startTime < 0 || tourTrip.startTime > tak::kMaxMapTime) std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckNumberReaders(bytes);
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
    CheckMap(map);
    return 0;
}
