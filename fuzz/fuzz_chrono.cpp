// Feeds arbitrary bytes as the chrono folders of a small map and loads it on
// a date, as the load button does: event settings and descriptions, their own
// stop lists, trip files and line files, deactivated lines and the resolving
// of tour trips. The input is split at NUL bytes into the date text and, for
// up to three events, Chrono.cfg, Chrono_en.dsc, TTData/Busstops.cfg,
// TTData/T.ttp and TTData/10.ttl. The files go to a folder of this process.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "mapdata/MapLoader.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const fs::path& MapFolder() {
    static const fs::path folder = [] {
        // A folder in memory when the system has one: the files change with every input.
        std::error_code error;
        fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path map = base / ("taktarium-fuzz-chrono-" + std::to_string(getpid()));
        fs::remove_all(map);
        WriteFile(map / "TTData" / "Busstops.cfg", "[busstop]\r\nMarkt\r\n\r\n1\r\n[busstop]\r\nBahnhof\r\n\r\n2\r\n");
        WriteFile(map / "TTData" / "T.ttp",
                  "[trip]\r\n\r\n\r\n10\r\n[station_typ2]\r\n1\r\n[station_typ2]\r\n2\r\n[profile]\r\nP\r\n4\r\n");
        WriteFile(map / "TTData" / "10.ttl", "[newtour]\r\nRun\r\n\r\n31\r\n[addtrip]\r\nt\r\n0\r\n300\r\n");
        std::atexit([] { std::error_code ignored; fs::remove_all(MapFolder(), ignored); });
        return map;
    }();
    return folder;
}

std::string_view NextPart(std::string_view& bytes) {
    std::size_t end = bytes.find('\0');
    std::string_view part = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const fs::path& map = MapFolder();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tak::DateValue date = tak::ParseDateText(NextPart(bytes));
    fs::remove_all(map / "Chrono");
    static const char* const kFiles[] = {"Chrono.cfg", "Chrono_en.dsc", "TTData/Busstops.cfg", "TTData/T.ttp",
                                         "TTData/10.ttl"};
    for (int event = 0; event < 3 && !bytes.empty(); ++event) {
        fs::path folder = map / "Chrono" / ("E" + std::to_string(event));
        for (const char* file : kFiles) {
            if (bytes.empty()) break;
            WriteFile(folder / file, NextPart(bytes));
        }
    }

    tak::MapData loaded;
    tak::LoadMap(loaded, map, date, "en");
    for (const tak::ChronoEvent* event : tak::ListChronoEvents(loaded, date)) {
        if (!tak::IsChronoActive(date, *event)) std::abort();
    }
    if (tak::ListChronoEvents(loaded, tak::AllEvents).size() != loaded.chronoEvents.size()) std::abort();
    for (const auto& line : loaded.lines) {
        for (const auto& tour : line->tours) {
            for (const auto& tourTrip : tour.trips) {
                // Every tour trip left is resolved to a trip of the map and one of its profiles.
                if (!tourTrip.trip || !tourTrip.profile) std::abort();
                const auto& profiles = tourTrip.trip->profiles;
                if (tourTrip.profile < profiles.data() || tourTrip.profile >= profiles.data() + profiles.size()) {
                    std::abort();
                }
            }
        }
    }
    (void)tak::ProjectNameFor(map, date);
    return 0;
}
