#include "mapdata/TimetableReader.h"

#include <algorithm>
#include <unordered_map>

#include "base/FileSystem.h"
#include "base/CodePage.h"
#include "base/Text.h"
#include "mapdata/MapCheck.h"
#include "mapdata/SectionFile.h"

namespace tak {

namespace {

// A file's name without its four-character extension, as UTF-8. Names that
// are not valid UTF-8 were stored in the Windows code page by an unzip tool.
std::string NameWithoutExtension(const fs::path& file) {
    std::string name = FileNameText(file);
    name.resize(name.size() >= 4 ? name.size() - 4 : 0);
    std::size_t pos = 0;
    while (pos < name.size()) {
        if (NextCodePoint(name, pos) == 0xFFFD) return DecodeMapText(name);
    }
    return name;
}

std::optional<SectionReader> OpenSectionFile(const fs::path& file) {
    auto bytes = ReadFileBytes(file);
    if (!bytes) return std::nullopt;
    return SectionReader(std::move(*bytes));
}

// Drops the first and the last character of single-byte text.
std::string_view DropFirstAndLastCharacter(std::string_view text) {
    return text.size() > 2 ? text.substr(1, text.size() - 2) : std::string_view{};
}

void ReadStopList(MapData& map, SectionReader& reader) {
    std::string_view previous;
    for (auto section = reader.NextSection(previous); !section.empty(); section = reader.NextSection(previous)) {
        if (section != "busstop") continue;
        std::string name = reader.NextText();
        reader.NextValue();
        int32_t id = reader.NextInteger();
        map.stops.try_emplace(id, Stop{std::move(name), id});  // the first definition of an id wins
    }
}

// Reads trip files into `map`, keeping an index of trips by case-folded name
// so that a replacement does not scan the whole list.
class TripFileReader {
public:
    // `record` (may be null) gets what the reading drops or replaces.
    TripFileReader(MapData& map, MapCheckRecord* record) : map_(map), record_(record) {
        for (auto& trip : map_.trips) index_.try_emplace(FoldCase(trip->name), trip.get());
    }

    // `file` names the file in the findings of the record.
    void Read(SectionReader& reader, const std::string& tripName, const std::string& file = {}) {
        file_ = file;
        Trip* trip = nullptr;  // inTrip while set
        bool inProfile = false;
        std::string_view previous;
        for (auto section = reader.NextSection(previous); !section.empty();
             section = reader.NextSection(previous)) {
            if (section == "trip") {
                trip = StartTrip(reader, tripName);
            } else if (!trip) {
                continue;
            } else if (section == "station") {
                ReadOldStation(reader, previous, *trip);
            } else if (section == "station_typ2") {
                ReadStation(reader, *trip);
            } else if (section == "profile") {
                inProfile = true;
                ReadProfile(reader, *trip);
            } else if (inProfile && !trip->profiles.empty()) {
                ReadProfileDetail(reader, section, *trip);
            }
        }
        if (!trip && record_) record_->Add("trip-file-without-trip", file_, 0, {tripName});
    }

private:
    Trip* StartTrip(SectionReader& reader, const std::string& name) {
        reader.NextValue();
        reader.NextValue();
        std::string lineName = DecodeMapText(TrimBlanks(reader.NextValue()));
        std::string key = FoldCase(name);
        if (auto old = index_.find(key); old != index_.end()) {
            NoteReplacedTrip(old->second, reader.HeaderLine());
            std::erase_if(map_.trips, [&](const auto& trip) { return trip.get() == old->second; });
            index_.erase(old);
        }
        auto& trip = map_.trips.emplace_back(std::make_unique<Trip>());
        trip->name = name;
        trip->lineName = std::move(lineName);
        index_.emplace(std::move(key), trip.get());
        if (record_) record_->tripFiles[trip.get()] = file_;
        return trip.get();
    }

    void NoteReplacedTrip(const Trip* old, int32_t headerLine) {
        if (!record_) return;
        auto oldFile = record_->tripFiles.find(old);
        std::string replaced = oldFile != record_->tripFiles.end() ? oldFile->second : std::string();
        if (oldFile != record_->tripFiles.end()) record_->tripFiles.erase(oldFile);
        record_->Add("trip-file-replaced", file_, headerLine, {old->name, replaced});
    }

    // Old form: either "id / ignored / name", or only "id" with the name taken
    // from the line before the header ("12 - Main Street": what follows the
    // dash and the blank after it, without the line's last character).
    static void ReadOldStation(SectionReader& reader, std::string_view previous, Trip& trip) {
        std::size_t dash = previous.find('-');
        TripStation station;
        station.trip = &trip;
        station.id = reader.NextInteger();
        if (dash == std::string_view::npos) {
            reader.NextValue();
            station.name = reader.NextText();
        } else {
            station.name = DecodeMapText(DropFirstAndLastCharacter(previous.substr(dash + 1)));
        }
        trip.stations.push_back(std::move(station));
    }

    void ReadStation(SectionReader& reader, Trip& trip) {
        const int32_t id = reader.NextInteger();
        const Stop* stop = map_.FindStop(id);
        if (stop) {
            trip.stations.push_back(TripStation{stop->name, stop->id, &trip});
        } else if (record_) {
            record_->Add("station-unknown-stop", file_, reader.HeaderLine(), {std::to_string(id), trip.name});
        }
    }

    static void ReadProfile(SectionReader& reader, Trip& trip) {
        TripProfile profile;
        profile.name = reader.NextText();
        profile.duration = reader.NextMinutes();
        std::size_t stationCount = trip.stations.size();
        profile.times.resize(stationCount + 1);
        profile.times.back() = StationTime{0, 0, 0};
        if (stationCount >= 1) {
            profile.times.front().arrival = 0;
            profile.times.front().departure = 0;
            profile.times[stationCount - 1].arrival = profile.duration;
        }
        trip.profiles.push_back(std::move(profile));
    }

    // Station indices are checked against the trip's stations and also
    // against the profile's own entries: stations read after the profile have
    // no entry in it.
    void ReadProfileDetail(SectionReader& reader, std::string_view section, Trip& trip) {
        bool arrival = section == "profile_man_arr_time";
        bool departure = section == "profile_man_dep_time";
        bool stopping = section == "profile_otherstopping";
        if (!arrival && !departure && !stopping) return;
        int32_t index = reader.NextInteger();
        if (index < 0 || static_cast<std::size_t>(index) >= trip.stations.size()) {
            NoteIndexOutOfRange(reader, section, index, trip.stations.size(), trip);
            return;
        }
        int32_t value = stopping ? reader.NextInteger() : reader.NextMinutes();
        auto& times = trip.profiles.back().times;
        if (static_cast<std::size_t>(index) + 1 >= times.size()) {
            // A station read after the profile has no entry in it.
            NoteIndexOutOfRange(reader, section, index, times.size() - 1, trip);
            return;
        }
        StationTime& entry = times[static_cast<std::size_t>(index)];
        (arrival ? entry.arrival : departure ? entry.departure : entry.otherStopping) = value;
    }

    void NoteIndexOutOfRange(const SectionReader& reader, std::string_view section, int32_t index,
                             std::size_t stationCount, const Trip& trip) {
        if (!record_) return;
        record_->Add("profile-index-out-of-range", file_, reader.HeaderLine(),
                     {std::string(section), std::to_string(index), std::to_string(stationCount), trip.name,
                      trip.profiles.back().name});
    }

    MapData& map_;
    MapCheckRecord* record_ = nullptr;
    std::string file_;
    std::unordered_map<std::string, Trip*> index_;
};

Line& ReadLineFile(MapData& map, SectionReader& reader, std::string lineName) {
    auto& line = map.lines.emplace_back(std::make_unique<Line>());
    line->name = std::move(lineName);
    Tour* tour = nullptr;  // inTour while set
    std::string_view previous;
    for (auto section = reader.NextSection(previous); !section.empty(); section = reader.NextSection(previous)) {
        if (section == "userallowed") {
            line->userAllowed = true;
        } else if (section == "newtour") {
            Tour& added = line->tours.emplace_back();
            added.name = reader.NextText();
            reader.NextValue();
            added.days = static_cast<ServiceDays>(reader.NextInteger());
            added.fileLine = reader.HeaderLine();
            tour = &added;
        } else if (section == "addtrip" && tour) {
            TourTrip& trip = tour->trips.emplace_back();
            trip.fileLine = reader.HeaderLine();
            trip.tripName = FoldCase(reader.NextText());
            trip.profileIndex = reader.NextInteger();
            trip.startTime = reader.NextMinutes();
        }
    }
    return *line;
}

}  // namespace

bool ReadTimetable(MapData& map, const fs::path& folder, MapCheckRecord* record) {
    auto ttData = FindPathIgnoringCase(folder, "TTData");
    if (!ttData) return false;
    if (auto stopList = FindPathIgnoringCase(*ttData, "Busstops.cfg")) {
        if (auto reader = OpenSectionFile(*stopList)) ReadStopList(map, *reader);
    }

    auto tripFiles = ListFilesWithExtension(*ttData, ".ttp");
    if (!tripFiles) return false;
    TripFileReader trips(map, record);
    for (const auto& file : *tripFiles) {
        if (auto reader = OpenSectionFile(file)) {
            trips.Read(*reader, NameWithoutExtension(file), record ? record->FileName(file) : std::string());
        }
    }

    auto lineFiles = ListFilesWithExtension(*ttData, ".ttl");
    if (!lineFiles) return false;
    for (const auto& file : *lineFiles) {
        auto reader = OpenSectionFile(file);
        if (!reader) continue;
        Line& line = ReadLineFile(map, *reader, NameWithoutExtension(file));
        if (record) record->lineFiles[&line] = record->FileName(file);
    }
    return true;
}

void ReadStopListBytes(MapData& map, std::string_view bytes) {
    SectionReader reader{std::string(bytes)};
    ReadStopList(map, reader);
}

void ReadTripFileBytes(MapData& map, std::string_view tripName, std::string_view bytes) {
    SectionReader reader{std::string(bytes)};
    TripFileReader(map, nullptr).Read(reader, std::string(tripName));
}

void ReadLineFileBytes(MapData& map, std::string_view lineName, std::string_view bytes) {
    SectionReader reader{std::string(bytes)};
    ReadLineFile(map, reader, std::string(lineName));
}

}  // namespace tak
