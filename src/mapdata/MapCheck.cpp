#include "mapdata/MapCheck.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "base/FileSystem.h"
#include "base/Text.h"
#include "mapdata/MapLoader.h"

namespace tak {

namespace {

struct CodeSeverity {
    std::string_view code;
    FindingSeverity severity;
};

// Errors: the load drops something or a document will print it wrong.
// Warnings: probably not what the author meant. Notes: worth a look.
constexpr std::array<CodeSeverity, 26> kCodes{{
    {"trip-file-without-trip", FindingSeverity::Error},
    {"stop-number-unusable", FindingSeverity::Error},
    {"stop-id-duplicate", FindingSeverity::Error},
    {"station-number-unusable", FindingSeverity::Error},
    {"profile-number-unusable", FindingSeverity::Error},
    {"tour-number-unusable", FindingSeverity::Error},
    {"tour-trip-number-unusable", FindingSeverity::Error},
    {"trip-without-stations", FindingSeverity::Error},
    {"station-unknown-stop", FindingSeverity::Error},
    {"profile-index-out-of-range", FindingSeverity::Error},
    {"times-backwards", FindingSeverity::Error},
    {"tour-trip-unknown-trip", FindingSeverity::Error},
    {"tour-trip-unknown-profile", FindingSeverity::Error},
    {"tour-never-printed", FindingSeverity::Error},
    {"tour-overlap", FindingSeverity::Error},
    {"line-prints-nothing", FindingSeverity::Error},
    {"chrono-date-unreadable", FindingSeverity::Error},
    {"trip-file-replaced", FindingSeverity::Warning},
    {"station-id-not-in-stop-list", FindingSeverity::Warning},
    {"profile-duration-differs", FindingSeverity::Warning},
    {"line-name-case", FindingSeverity::Warning},
    {"chrono-unknown-line", FindingSeverity::Warning},
    {"chrono-range-reversed", FindingSeverity::Warning},
    {"tour-without-trips", FindingSeverity::Warning},
    {"code-page-differs", FindingSeverity::Warning},
    {"trip-unused", FindingSeverity::Note},
}};

// "08:25", or "08:25:30" for a time with seconds; hours may pass 24.
std::string ClockText(int64_t seconds) {
    const char* sign = seconds < 0 ? "-" : "";
    if (seconds < 0) seconds = -seconds;
    char text[32];
    const auto hours = static_cast<long long>(seconds / 3600);
    const auto minutes = static_cast<int>(seconds / 60 % 60);
    const auto rest = static_cast<int>(seconds % 60);
    if (rest == 0) {
        std::snprintf(text, sizeof text, "%s%02lld:%02d", sign, hours, minutes);
    } else {
        std::snprintf(text, sizeof text, "%s%02lld:%02d:%02d", sign, hours, minutes, rest);
    }
    return text;
}

// Where the map's records came from, and where the findings go.
class MapChecker {
public:
    MapChecker(const MapData& map, const MapCheckRecord& record) : map_(map), record_(record) {}

    std::vector<MapFinding> Run() {
        findings_ = record_.findings;
        for (const auto& trip : map_.trips) CheckTrip(*trip);
        for (const auto& line : map_.lines) CheckLine(*line);
        CheckUnusedTrips();
        CheckLineNameCase();
        CheckEventsNotApplied();
        return std::move(findings_);
    }

private:
    void Add(std::string_view code, std::string file, int32_t line, std::vector<std::string> arguments) {
        findings_.push_back({SeverityOfCode(code), std::string(code), std::move(file), line, std::move(arguments)});
    }

    std::string FileOf(const Trip& trip) const {
        auto found = record_.tripFiles.find(&trip);
        return found != record_.tripFiles.end() ? found->second : std::string();
    }

    std::string FileOf(const Line& line) const {
        auto found = record_.lineFiles.find(&line);
        return found != record_.lineFiles.end() ? found->second : std::string();
    }

    void CheckTrip(const Trip& trip) {
        if (trip.stations.empty()) Add("trip-without-stations", FileOf(trip), 0, {trip.name});
        CheckStationsInStopList(trip);
        for (const auto& profile : trip.profiles) {
            if (!profile.usable) continue;  // its faulty number has a finding of its own
            CheckTimesRunForward(trip, profile);
            CheckDuration(trip, profile);
        }
    }

    // Old-style stations carry a number of their own; one that names no stop
    // of the stop list cannot be found by stop in any plan.
    void CheckStationsInStopList(const Trip& trip) {
        if (map_.stops.empty()) return;  // a map without a stop list numbers its stations freely
        std::string missing;
        for (const auto& station : trip.stations) {
            if (map_.stops.contains(station.id)) continue;
            if (!missing.empty()) missing += ", ";
            missing += std::to_string(station.id);
        }
        if (!missing.empty()) Add("station-id-not-in-stop-list", FileOf(trip), 0, {missing, trip.name});
    }

    // The times a profile gives, in station order (arrival before departure),
    // must not run backwards; the first step back is reported.
    void CheckTimesRunForward(const Trip& trip, const TripProfile& profile) {
        int32_t latest = TimeUnset;
        std::size_t latestStation = 0;
        const std::size_t stations = std::min(trip.stations.size(), profile.times.size() - 1);
        for (std::size_t i = 0; i < stations; ++i) {
            for (int32_t time : {profile.times[i].arrival, profile.times[i].departure}) {
                if (time == TimeUnset) continue;
                if (latest != TimeUnset && time < latest) {
                    Add("times-backwards", FileOf(trip), 0,
                        {trip.name, profile.name, trip.stations[latestStation].name, ClockText(latest),
                         trip.stations[i].name, ClockText(time)});
                    return;
                }
                latest = time;
                latestStation = i;
            }
        }
    }

    // The last station's arrival starts as the duration; a manual time there
    // (or beyond it anywhere) that says otherwise leaves the two disagreeing.
    void CheckDuration(const Trip& trip, const TripProfile& profile) {
        const std::size_t stations = std::min(trip.stations.size(), profile.times.size() - 1);
        if (stations < 2) return;
        int32_t last = profile.times[stations - 1].arrival;
        for (std::size_t i = 0; i < stations; ++i) {
            for (int32_t time : {profile.times[i].arrival, profile.times[i].departure}) {
                if (time != TimeUnset && time > profile.duration) last = std::max(last, time);
            }
        }
        if (last == TimeUnset || last == profile.duration) return;
        Add("profile-duration-differs", FileOf(trip), 0,
            {trip.name, profile.name, ClockText(profile.duration), ClockText(last)});
    }

    void CheckLine(const Line& line) {
        bool printsSomething = false;
        for (const auto& tour : line.tours) {
            used_.reserve(used_.size() + tour.trips.size());
            for (const auto& tourTrip : tour.trips) used_.insert(tourTrip.trip);
            const bool printed = CheckTourDays(line, tour);
            if (tour.trips.empty()) {
                Add("tour-without-trips", FileOf(line), tour.fileLine, {tour.name});
                continue;
            }
            printsSomething |= printed;
            CheckTourOverlap(line, tour);
        }
        if (!printsSomething) Add("line-prints-nothing", FileOf(line), 0, {line.name});
    }

    // A tour runs on some kind of week day and on at least one of the pair of
    // day kinds (school days, school holidays); otherwise no plan prints it.
    bool CheckTourDays(const Line& line, const Tour& tour) {
        if ((tour.days & kWeekAndHoliday) != 0 && (tour.days & kDayPair) != 0) return true;
        Add("tour-never-printed", FileOf(line), tour.fileLine, {tour.name, std::to_string(tour.days)});
        return false;
    }

    // One bus cannot be in two places: taken in order of their start, each
    // trip of a tour must start no earlier than the one before it arrives.
    void CheckTourOverlap(const Line& line, const Tour& tour) {
        std::vector<const TourTrip*> byStart;
        byStart.reserve(tour.trips.size());
        for (const auto& trip : tour.trips) byStart.push_back(&trip);
        std::stable_sort(byStart.begin(), byStart.end(),
                         [](const TourTrip* a, const TourTrip* b) { return a->startTime < b->startTime; });
        const TourTrip* first = nullptr;
        const TourTrip* firstNext = nullptr;
        std::size_t overlaps = 0;
        for (std::size_t i = 1; i < byStart.size(); ++i) {
            const TourTrip& before = *byStart[i - 1];
            const TourTrip& after = *byStart[i];
            if (static_cast<int64_t>(after.startTime) >= ArrivalOf(before)) continue;
            if (overlaps++ == 0) {
                first = &before;
                firstNext = &after;
            }
        }
        if (overlaps == 0) return;
        Add("tour-overlap", FileOf(line), firstNext->fileLine,
            {tour.name, first->trip->name, ClockText(ArrivalOf(*first)), firstNext->trip->name,
             ClockText(firstNext->startTime), std::to_string(overlaps)});
    }

    static int64_t ArrivalOf(const TourTrip& trip) {
        return static_cast<int64_t>(trip.startTime) + (trip.profile ? trip.profile->duration : 0);
    }

    void CheckUnusedTrips() {
        for (const auto& trip : map_.trips) {
            if (!used_.contains(trip.get())) Add("trip-unused", FileOf(*trip), 0, {trip->name, trip->lineName});
        }
    }

    // Trips name their line; a line file whose name differs from that only in
    // letter case works on one file system and not on another.
    void CheckLineNameCase() {
        std::unordered_set<std::string> exact;
        std::unordered_map<std::string, std::vector<const Line*>> byFoldedName;
        for (const auto& line : map_.lines) {
            exact.insert(line->name);
            byFoldedName[FoldCase(line->name)].push_back(line.get());
        }
        std::unordered_set<std::string> reported;
        for (const auto& trip : map_.trips) {
            if (trip->lineName.empty() || exact.contains(trip->lineName)) continue;
            auto lines = byFoldedName.find(FoldCase(trip->lineName));
            if (lines == byFoldedName.end()) continue;
            for (const Line* line : lines->second) {
                if (reported.insert(line->name + '\n' + trip->lineName).second) {
                    Add("line-name-case", FileOf(*line), 0, {line->name, trip->lineName});
                }
            }
        }
    }

    // Events applied by the load were checked against the lines of their
    // moment; the others are checked against the lines as loaded.
    void CheckEventsNotApplied() {
        std::unordered_set<std::string> lines;
        for (const auto& line : map_.lines) lines.insert(line->name);
        for (const auto& event : map_.chronoEvents) {
            if (IsDay(record_.date) && IsChronoActive(record_.date, event)) continue;
            for (const auto& name : event.deactivatedLines) {
                if (!lines.contains(name)) Add("chrono-unknown-line", "Chrono/" + event.folder, 0, {name, event.name});
            }
        }
    }

    const MapData& map_;
    const MapCheckRecord& record_;
    std::vector<MapFinding> findings_;
    std::unordered_set<const Trip*> used_;
};

}  // namespace

std::string MapCheckRecord::FileName(const std::filesystem::path& file) const {
    std::filesystem::path relative = file.lexically_relative(mapFolder);
    if (relative.empty() || *relative.begin() == "..") relative = file;
    auto text = relative.generic_u8string();
    return {text.begin(), text.end()};
}

void MapCheckRecord::Add(std::string_view code, std::string file, int32_t line,
                         std::initializer_list<std::string> arguments) {
    findings.push_back({SeverityOfCode(code), std::string(code), std::move(file), line, arguments});
}

FindingSeverity SeverityOfCode(std::string_view code) {
    for (const auto& known : kCodes) {
        if (known.code == code) return known.severity;
    }
    return FindingSeverity::Note;
}

std::string FindingTextKey(std::string_view code) {
    std::string key = "Check";
    bool upper = true;
    for (char c : code) {
        if (c == '-') {
            upper = true;
            continue;
        }
        key += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        upper = false;
    }
    return key;
}

std::vector<MapFinding> CheckMap(const MapData& map, const MapCheckRecord& record) {
    std::vector<MapFinding> findings = MapChecker(map, record).Run();
    std::stable_sort(findings.begin(), findings.end(), [](const MapFinding& a, const MapFinding& b) {
        return std::tie(a.file, a.line, a.severity, a.code) < std::tie(b.file, b.line, b.severity, b.code);
    });
    return findings;
}

FindingCounts CountFindings(const std::vector<MapFinding>& findings) {
    FindingCounts counts;
    for (const auto& finding : findings) {
        switch (finding.severity) {
            case FindingSeverity::Error: ++counts.errors; break;
            case FindingSeverity::Warning: ++counts.warnings; break;
            case FindingSeverity::Note: ++counts.notes; break;
        }
    }
    return counts;
}

}  // namespace tak
