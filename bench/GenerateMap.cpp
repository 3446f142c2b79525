// taktarium-genmap: writes a large synthetic map in the simulator's timetable
// format, for timing the map loader. The same seed always gives the same files.
//
//   taktarium-genmap OUTDIR [--stops N] [--trips N] [--lines N] [--tour-trips N]
//                           [--events N] [--seed N]

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/FileSystem.h"
#include "base/Text.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    fs::path outDir;
    int stops = 2500;
    int trips = 6000;
    int lines = 120;
    int tourTrips = 120000;
    int events = 2;
    uint64_t seed = 1;
};

// SplitMix64: small, fast and, unlike the standard distributions, gives the
// same numbers with every standard library.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number in [0, bound).
    int Below(int bound) { return bound <= 1 ? 0 : static_cast<int>(Next() % static_cast<uint64_t>(bound)); }
    // A number in [low, high].
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool OneIn(int n) { return Below(n) == 0; }

private:
    uint64_t state_;
};

// ---------------------------------------------------------------------------
// The generated network

struct GenStop {
    int32_t id = 0;
    std::string name;  // UTF-8
};

struct GenLine {
    std::string name;             // also the line file's name
    std::vector<int32_t> route;   // stop ids from one end to the other
};

struct GenProfile {
    std::string name;                   // UTF-8
    std::vector<int32_t> legSeconds;    // running time to each next station
    int32_t dwellStation = -1;          // a station where the bus stands a minute
    int32_t otherStoppingStation = -1;
};

enum class StationForm { Typ2, OldPreviousLine, OldThreeValues };

struct GenTrip {
    std::string name;  // file name without extension
    std::string extension;
    std::string description;
    std::size_t line = 0;
    std::vector<int32_t> stations;
    std::vector<GenProfile> profiles;
    StationForm form = StationForm::Typ2;
    bool forward = true;
};

struct GenTourTrip {
    std::string tripName;
    int32_t profileIndex = 0;
    int32_t startSeconds = 0;
};

struct GenTour {
    std::string name;
    uint32_t days = 0;
    std::vector<GenTourTrip> trips;
};

constexpr std::string_view kFirstParts[] = {
    "Haupt", "Linden", "Mühlen", "Brücken", "Schloß", "Kirch", "Garten", "Birken", "Eichen", "Tannen",
    "Rosen", "Berg", "Wiesen", "Süd", "Nord", "Grün", "Königs", "Bürger", "Weiß", "Öl",
    "Markt", "Schul", "Wald", "Fluss", "Sonnen", "Kloster", "Jäger", "Schäfer", "Bäcker", "Fähr"};
constexpr std::string_view kSecondParts[] = {
    "straße", "weg", "platz", "allee", "ring", "markt", "hof", "gasse", "brücke", "park",
    "tor", "feld", "höhe", "grund", "au", "anger", "stieg", "damm"};
constexpr std::string_view kQualifiers[] = {"", "", "", " Nord", " Süd", " Ost", " West", " Mitte"};
// Line files are named "<number> <destination>"; file names stay ASCII.
constexpr std::string_view kLineDestinations[] = {"Nordstadt", "Suedstadt", "Altstadt", "Hafen", "Messe",
                                                  "Klinikum", "Universitaet", "Bahnhof", "Zentrum", "Flughafen"};
constexpr std::string_view kProfileNames[] = {"Standard", "HVZ", "Spätverkehr"};
constexpr uint32_t kDayKinds[] = {0x31F, 0x31F, 0x31F, 0x320, 0x3C0, 0x11F};

std::vector<GenStop> MakeStops(Random& random, int count) {
    std::vector<GenStop> stops;
    stops.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        GenStop stop;
        stop.id = 1000 + 3 * i + random.Below(3);
        stop.name = std::string(kFirstParts[random.Below(std::size(kFirstParts))]) +
                    std::string(kSecondParts[random.Below(std::size(kSecondParts))]) +
                    std::string(kQualifiers[random.Below(std::size(kQualifiers))]);
        stops.push_back(std::move(stop));
    }
    return stops;
}

// Each line runs through a stretch of the stop list, so that together the
// lines serve every stop and neighbouring lines share some.
std::vector<GenLine> MakeLines(Random& random, const std::vector<GenStop>& stops, int count) {
    std::vector<GenLine> lines;
    const int stopCount = static_cast<int>(stops.size());
    const int stretch = std::max(12, stopCount / count + 4);
    for (int i = 0; i < count; ++i) {
        GenLine line;
        line.name = std::to_string(100 + i) + " " + std::string(kLineDestinations[static_cast<std::size_t>(i) %
                                                                                  std::size(kLineDestinations)]);
        int start = static_cast<int>(static_cast<int64_t>(i) * stopCount / count);
        int length = std::min(stopCount, stretch + random.Below(8));
        for (int k = 0; k < length; ++k) line.route.push_back(stops[static_cast<std::size_t>((start + k) % stopCount)].id);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<GenProfile> MakeProfiles(Random& random, std::size_t stationCount) {
    std::vector<int32_t> baseLegs;
    for (std::size_t i = 0; i + 1 < stationCount; ++i) baseLegs.push_back(15 * random.Between(4, 12));
    int profileCount = random.OneIn(4) ? 1 : random.OneIn(3) ? 3 : 2;
    const int factorsPercent[] = {100, 125, 85};
    std::vector<GenProfile> profiles;
    for (int p = 0; p < profileCount; ++p) {
        GenProfile profile;
        profile.name = std::string(kProfileNames[p]);
        for (int32_t leg : baseLegs) {
            int32_t scaled = leg * factorsPercent[p] / 100;
            profile.legSeconds.push_back(std::max(30, scaled / 15 * 15));
        }
        if (stationCount > 4) {
            profile.dwellStation = random.Between(1, static_cast<int>(stationCount) - 2);
            if (random.OneIn(3)) profile.otherStoppingStation = random.Between(1, static_cast<int>(stationCount) - 2);
        }
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

std::vector<GenTrip> MakeTrips(Random& random, const std::vector<GenLine>& lines, int count) {
    std::vector<GenTrip> trips;
    const int lineCount = static_cast<int>(lines.size());
    for (int l = 0; l < lineCount; ++l) {
        const GenLine& line = lines[static_cast<std::size_t>(l)];
        int perLine = count / lineCount + (l < count % lineCount ? 1 : 0);
        for (int k = 0; k < perLine; ++k) {
            GenTrip trip;
            trip.line = static_cast<std::size_t>(l);
            trip.forward = k % 2 == 0;
            // The first two trips run the whole route; the others are short
            // turns and variants that leave out a few stops at either end.
            std::size_t cutFront = k < 2 ? 0 : static_cast<std::size_t>(random.Below(4));
            std::size_t cutBack = k < 2 ? 0 : static_cast<std::size_t>(random.Below(4));
            trip.stations.assign(line.route.begin() + static_cast<std::ptrdiff_t>(cutFront),
                                 line.route.end() - static_cast<std::ptrdiff_t>(cutBack));
            if (!trip.forward) std::reverse(trip.stations.begin(), trip.stations.end());
            trip.name = line.name.substr(0, line.name.find(' ')) + "_" + std::to_string(k / 2) +
                        (trip.forward ? "_H" : "_R");
            trip.extension = random.OneIn(50) ? ".TTP" : ".ttp";
            trip.description = line.name + (trip.forward ? " Hinfahrt" : " Rückfahrt");
            trip.profiles = MakeProfiles(random, trip.stations.size());
            trip.form = random.OneIn(40) ? StationForm::OldPreviousLine
                        : random.OneIn(40) ? StationForm::OldThreeValues : StationForm::Typ2;
            trips.push_back(std::move(trip));
        }
    }
    return trips;
}

int32_t ProfileDuration(const GenProfile& profile) {
    int32_t total = 0;
    for (std::size_t i = 0; i < profile.legSeconds.size(); ++i) {
        total += profile.legSeconds[i];
        if (static_cast<int32_t>(i) + 1 == profile.dwellStation) total += 60;
    }
    return total;
}

// Tours of one line: vehicles that go back and forth between the ends from
// early morning until past midnight, `count` tour trips in all.
std::vector<GenTour> MakeTours(Random& random, const GenLine& line, const std::vector<const GenTrip*>& trips,
                               int count) {
    std::vector<GenTour> tours;
    std::vector<const GenTrip*> forward, backward;
    for (const GenTrip* trip : trips) (trip->forward ? forward : backward).push_back(trip);
    if (forward.empty() || backward.empty()) return tours;
    const std::string number = line.name.substr(0, line.name.find(' '));
    int written = 0;
    while (written < count) {
        GenTour tour;
        tour.name = number + "-" + std::to_string(tours.size() + 1);
        tour.days = kDayKinds[random.Below(std::size(kDayKinds))];
        int32_t time = 60 * random.Between(270, 480);
        bool goForward = random.OneIn(2);
        int tripCap = random.Between(20, 60);
        for (int n = 0; n < tripCap && written < count && time < 26 * 3600; ++n, ++written) {
            const auto& pool = goForward ? forward : backward;
            // Mostly the full route, now and then a variant.
            const GenTrip* trip = random.OneIn(5) ? pool[static_cast<std::size_t>(random.Below(static_cast<int>(pool.size())))]
                                                  : pool.front();
            GenTourTrip tourTrip;
            tourTrip.tripName = trip->name;
            tourTrip.profileIndex = random.Below(static_cast<int>(trip->profiles.size()));
            tourTrip.startSeconds = time;
            // Editors differ in the letter case of names; now and then a
            // tour names a trip that no longer exists.
            if (random.OneIn(500)) tourTrip.tripName = tak::FoldCase(tourTrip.tripName);
            if (random.OneIn(1000)) tourTrip.tripName += "_alt";
            int32_t duration = ProfileDuration(trip->profiles[static_cast<std::size_t>(tourTrip.profileIndex)]);
            time += duration + 60 * random.Between(3, 12);
            time = (time + 29) / 30 * 30;
            goForward = !goForward;
            tour.trips.push_back(std::move(tourTrip));
        }
        tours.push_back(std::move(tour));
    }
    return tours;
}

// ---------------------------------------------------------------------------
// Writing files the way the simulator's editor does: Windows-1252, CR LF.

class FileText {
public:
    void Line(std::string_view utf8 = {}) {
        for (std::size_t pos = 0; pos < utf8.size();) {
            char32_t c = tak::NextCodePoint(utf8, pos);
            bytes_ += c < 0x100 ? static_cast<char>(c) : '?';
        }
        bytes_ += "\r\n";
    }
    void Number(int64_t value) {
        char buffer[24];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        bytes_.append(buffer, result.ptr);
        bytes_ += "\r\n";
    }
    // Seconds written as minutes with three decimals ("2.250").
    void Minutes(int32_t seconds) {
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds / 60);
        bytes_.append(buffer, result.ptr);
        int thousandths = (seconds % 60) * 1000 / 60;
        bytes_ += '.';
        bytes_ += static_cast<char>('0' + thousandths / 100);
        bytes_ += static_cast<char>('0' + thousandths / 10 % 10);
        bytes_ += static_cast<char>('0' + thousandths % 10);
        bytes_ += "\r\n";
    }
    void Header(std::string_view kind) {
        Line("-----------------------");
        Line(kind);
        Line("-----------------------");
        Line();
        Line("Generated by taktarium-genmap");
        Line();
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

struct WriteTotals {
    int files = 0;
    uint64_t bytes = 0;
    bool failed = false;
};

void Save(const fs::path& path, const FileText& text, WriteTotals& totals) {
    if (!tak::WriteFileBytes(path, text.bytes())) {
        std::fprintf(stderr, "taktarium-genmap: cannot write %s\n", path.string().c_str());
        totals.failed = true;
        return;
    }
    ++totals.files;
    totals.bytes += text.bytes().size();
}

FileText StopListText(const std::vector<GenStop>& stops) {
    FileText text;
    text.Header("Time Table BusStopList File");
    for (const GenStop& stop : stops) {
        text.Line("[busstop]");
        text.Line(stop.name);
        text.Number(0);
        text.Number(stop.id);
        text.Line("0.0000000000");
        text.Number(0);
        text.Number(0);
        text.Line();
    }
    return text;
}

void WriteStations(FileText& text, const GenTrip& trip, const std::vector<GenStop>& stops) {
    auto nameOf = [&](int32_t id) -> std::string_view {
        auto it = std::lower_bound(stops.begin(), stops.end(), id,
                                   [](const GenStop& stop, int32_t wanted) { return stop.id < wanted; });
        return it != stops.end() && it->id == id ? std::string_view(it->name) : std::string_view("?");
    };
    for (int32_t id : trip.stations) {
        switch (trip.form) {
        case StationForm::Typ2:
            text.Line("[station_typ2]");
            text.Number(id);
            break;
        case StationForm::OldPreviousLine:
            text.Line(std::to_string(id) + " - " + std::string(nameOf(id)) + ";");
            text.Line("[station]");
            text.Number(id);
            break;
        case StationForm::OldThreeValues:
            text.Line("[station]");
            text.Number(id);
            text.Number(0);
            text.Line(nameOf(id));
            break;
        }
        text.Line();
    }
}

void WriteProfile(FileText& text, const GenProfile& profile) {
    text.Line("[profile]");
    text.Line(profile.name);
    text.Minutes(ProfileDuration(profile));
    text.Line();
    int32_t time = 0;
    for (std::size_t i = 0; i < profile.legSeconds.size(); ++i) {
        int32_t station = static_cast<int32_t>(i) + 1;
        time += profile.legSeconds[i];
        text.Line("[profile_man_arr_time]");
        text.Number(station);
        text.Minutes(time);
        text.Line();
        if (station == profile.dwellStation) {
            time += 60;
            text.Line("[profile_man_dep_time]");
            text.Number(station);
            text.Minutes(time);
            text.Line();
        }
    }
    if (profile.otherStoppingStation >= 0) {
        text.Line("[profile_otherstopping]");
        text.Number(profile.otherStoppingStation);
        text.Number(1);
        text.Line();
    }
}

FileText TripText(const GenTrip& trip, const std::vector<GenStop>& stops, std::string_view lineName) {
    FileText text;
    text.Header("Time Table Trip File");
    text.Line("[trip]");
    text.Line();
    text.Line(trip.description);
    text.Line(lineName.substr(0, lineName.find(' ')));
    text.Line();
    text.Line(".........................");
    WriteStations(text, trip, stops);
    text.Line(".........................");
    text.Line();
    for (const GenProfile& profile : trip.profiles) WriteProfile(text, profile);
    return text;
}

FileText LineText(const std::vector<GenTour>& tours) {
    FileText text;
    text.Header("Time Table Line File");
    text.Line("[userallowed]");
    text.Line();
    for (const GenTour& tour : tours) {
        text.Line("[newtour]");
        text.Line(tour.name);
        text.Line("Betriebshof");
        text.Number(tour.days);
        text.Line();
        for (const GenTourTrip& trip : tour.trips) {
            text.Line("[addtrip]");
            text.Line(trip.tripName);
            text.Number(trip.profileIndex);
            text.Minutes(trip.startSeconds);
            text.Line();
        }
    }
    return text;
}

void WriteTimetable(const fs::path& folder, const std::vector<GenStop>& stops, const std::vector<GenStop>& allStops,
                    const std::vector<GenTrip>& trips, const std::vector<GenLine>& lines,
                    const std::vector<std::pair<std::size_t, std::vector<GenTour>>>& lineTours, WriteTotals& totals) {
    fs::path ttData = folder / "TTData";
    std::error_code ec;
    fs::create_directories(ttData, ec);
    if (!stops.empty()) Save(ttData / "Busstops.cfg", StopListText(stops), totals);
    for (const GenTrip& trip : trips) {
        Save(ttData / (trip.name + trip.extension), TripText(trip, allStops, lines[trip.line].name), totals);
    }
    for (const auto& [line, tours] : lineTours) Save(ttData / (lines[line].name + ".ttl"), LineText(tours), totals);
}

std::string DateText(int year, int month, int day) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", year, month, day);
    return buffer;
}

// Event e switches off line e and brings its own version of it (fewer
// tours), replaces two trips of that line by files whose names differ only
// in letter case, and adds one stop.
void WriteEvent(Random& random, const fs::path& chrono, int e, const std::vector<GenStop>& stops,
                const std::vector<GenTrip>& trips, const std::vector<GenLine>& lines, int tourTripsOfLine,
                WriteTotals& totals) {
    const std::size_t lineIndex = static_cast<std::size_t>(e) % lines.size();
    const GenLine& line = lines[lineIndex];
    fs::path folder = chrono / ("Ereignis_" + std::to_string(e + 1));
    std::error_code ec;
    fs::create_directories(folder, ec);

    FileText settings;
    settings.Line("[startdate]");
    settings.Line(DateText(2025, 3 + e % 9, 1));
    settings.Line();
    settings.Line("[enddate]");
    settings.Line(DateText(2025, 3 + e % 9, 28));
    settings.Line();
    settings.Line("[name]");
    settings.Line("Baustelle " + std::to_string(e + 1));
    settings.Line();
    settings.Line("[deactivate_lines]");
    settings.Number(1);
    settings.Line(line.name);
    Save(folder / "Chrono.cfg", settings, totals);
    FileText german, english;
    german.Line("[name]");
    german.Line("Baustelle Nr. " + std::to_string(e + 1) + ", Umleitung Linie " + line.name);
    english.Line("[name]");
    english.Line("Road works no. " + std::to_string(e + 1) + ", line " + line.name + " diverted");
    Save(folder / "Chrono_de.dsc", german, totals);
    Save(folder / "Chrono_en.dsc", english, totals);

    std::vector<GenStop> newStops{GenStop{900000 + e, "Ersatzhaltestelle " + std::to_string(e + 1)}};
    std::vector<GenTrip> replaced;
    std::vector<const GenTrip*> lineTrips;
    for (const GenTrip& trip : trips) {
        if (trip.line != lineIndex) continue;
        lineTrips.push_back(&trip);
        if (replaced.size() < 2) {
            GenTrip copy = trip;
            std::transform(copy.name.begin(), copy.name.end(), copy.name.begin(),
                           [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
            copy.stations[copy.stations.size() / 2] = newStops.front().id;
            replaced.push_back(std::move(copy));
        }
    }
    std::vector<GenStop> allStops = stops;
    allStops.push_back(newStops.front());
    std::vector<std::pair<std::size_t, std::vector<GenTour>>> lineTours;
    lineTours.emplace_back(lineIndex, MakeTours(random, line, lineTrips, tourTripsOfLine / 2));
    WriteTimetable(folder, newStops, allStops, replaced, lines, lineTours, totals);
}

// ---------------------------------------------------------------------------

bool ParseCount(std::string_view text, int& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto number = [&](int& target) { return i + 1 < argc && ParseCount(argv[++i], target); };
        if (arg == "--stops") {
            if (!number(options.stops)) return false;
        } else if (arg == "--trips") {
            if (!number(options.trips)) return false;
        } else if (arg == "--lines") {
            if (!number(options.lines)) return false;
        } else if (arg == "--tour-trips") {
            if (!number(options.tourTrips)) return false;
        } else if (arg == "--events") {
            if (!number(options.events)) return false;
        } else if (arg == "--seed") {
            int seed = 0;
            if (!number(seed)) return false;
            options.seed = static_cast<uint64_t>(seed);
        } else if (arg.starts_with("--") || !options.outDir.empty()) {
            return false;
        } else {
            options.outDir = tak::PathFromText(arg);
        }
    }
    return !options.outDir.empty() && options.stops >= 12 && options.lines >= 1 &&
           options.trips >= 2 * options.lines;
}

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: taktarium-genmap OUTDIR [--stops N] [--trips N] [--lines N] [--tour-trips N]\n"
                 "                        [--events N] [--seed N]\n"
                 "Writes a synthetic map (defaults: 2500 stops, 6000 trips, 120 lines, 120000 tour trips,\n"
                 "2 chrono events, seed 1) into OUTDIR, which must be new or empty.\n"
                 "Needs at least 12 stops, 1 line and two trips per line.\n");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintUsage();
        return 2;
    }
    std::error_code ec;
    if (fs::exists(options.outDir, ec) && !fs::is_empty(options.outDir, ec)) {
        std::fprintf(stderr, "taktarium-genmap: %s is not empty; choose a new folder\n",
                     options.outDir.string().c_str());
        return 1;
    }

    Random random(options.seed);
    std::vector<GenStop> stops = MakeStops(random, options.stops);
    std::vector<GenLine> lines = MakeLines(random, stops, options.lines);
    std::vector<GenTrip> trips = MakeTrips(random, lines, options.trips);

    std::vector<std::vector<const GenTrip*>> tripsOfLine(lines.size());
    for (const GenTrip& trip : trips) tripsOfLine[trip.line].push_back(&trip);
    std::vector<std::pair<std::size_t, std::vector<GenTour>>> lineTours;
    const int lineCount = static_cast<int>(lines.size());
    for (int l = 0; l < lineCount; ++l) {
        int count = options.tourTrips / lineCount + (l < options.tourTrips % lineCount ? 1 : 0);
        auto index = static_cast<std::size_t>(l);
        lineTours.emplace_back(index, MakeTours(random, lines[index], tripsOfLine[index], count));
    }

    WriteTotals totals;
    WriteTimetable(options.outDir, stops, stops, trips, lines, lineTours, totals);
    for (int e = 0; e < options.events; ++e) {
        WriteEvent(random, options.outDir / "Chrono", e, stops, trips, lines, options.tourTrips / lineCount,
                   totals);
    }
    if (totals.failed) return 1;
    std::printf("wrote %d files, %.1f MB: %d stops, %d trips, %d lines, %d tour trips, %d chrono events\n",
                totals.files, static_cast<double>(totals.bytes) / 1e6, options.stops, options.trips,
                options.lines, options.tourTrips, options.events);
    return 0;
}
