// Feeds arbitrary bytes as the chrono events of a small map and loads it on
// a date, as the load button does: event settings and descriptions, their own
// stop lists, trip files and line files, deactivated lines and the resolving
// of tour trips. The input is split at NUL bytes into the date text and, for
// up to three events, Chrono.cfg, Chrono_en.dsc, TTData/Busstops.cfg,
// TTData/T.ttp and TTData/10.ttl. The files stay in memory (LoadMapBytes):
// each input is a load, not a round of file creation and folder listing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mapdata/MapLoader.h"

namespace {

const tak::TimetableFileBytes& BaseTimetable() {
    static const tak::TimetableFileBytes base{
        "[busstop]\r\nMarkt\r\n\r\n1\r\n[busstop]\r\nBahnhof\r\n\r\n2\r\n",
        {{"T", "[trip]\r\n\r\n\r\n10\r\n[station_typ2]\r\n1\r\n[station_typ2]\r\n2\r\n[profile]\r\nP\r\n4\r\n"}},
        {{"10", "[newtour]\r\nRun\r\n\r\n31\r\n[addtrip]\r\nt\r\n0\r\n300\r\n"}}};
    return base;
}

std::string_view NextPart(std::string_view& bytes) {
    std::size_t end = bytes.find('\0');
    std::string_view part = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tak::DateValue date = tak::ParseDateText(NextPart(bytes));
    std::vector<tak::ChronoEventBytes> events;
    for (int event = 0; event < 3 && !bytes.empty(); ++event) {
        tak::ChronoEventBytes& files = events.emplace_back();
        files.folder = "E" + std::to_string(event);
        files.settings = NextPart(bytes);
        files.description = NextPart(bytes);
        files.timetable.stopList = NextPart(bytes);
        files.timetable.tripFiles = {{"T", std::string(NextPart(bytes))}};
        files.timetable.lineFiles = {{"10", std::string(NextPart(bytes))}};
    }

    tak::MapData loaded;
    tak::LoadMapBytes(loaded, BaseTimetable(), events, date);
    for (const tak::ChronoEvent* event : tak::ListChronoEvents(loaded, date)) {
        if (!tak::IsChronoActive(date, *event)) std::abort();
    }
    if (tak::ListChronoEvents(loaded, tak::AllEvents).size() != loaded.chronoEvents.size()) std::abort();
    for (const tak::ChronoEvent& event : loaded.chronoEvents) {
        // A date is a day from the earliest one on, or none.
        for (tak::DateValue day : {event.startDate, event.endDate}) {
            if (day != tak::kNoDate && (day < tak::kEarliestDate || day % tak::kSecondsPerDay != 0)) std::abort();
        }
    }
    for (const auto& line : loaded.lines) {
        for (const auto& tour : line->tours) {
            for (const auto& tourTrip : tour.trips) {
                // Every tour trip left is resolved to a trip of the map and one of its profiles.
                if (!tourTrip.trip || !tourTrip.profile || !tourTrip.profile->usable) std::abort();
                const auto& profiles = tourTrip.trip->profiles;
                if (tourTrip.profile < profiles.data() || tourTrip.profile >= profiles.data() + profiles.size()) {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
