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

// A value line for a finding: decoded, and cut short when it is long.
std::string ValueText(std::string_view value) {
    constexpr std::size_t kMaxShown = 40;
    std::string text = DecodeWindows1252(value.substr(0, kMaxShown));
    if (value.size() > kMaxShown) text += "...";
    return text;
}

// A time of a map file (a tour's start, a profile's times) lies within a
// few days; anything else is a typing slip that would print as garbage.
bool IsMapTime(const std::optional<int32_t>& seconds) {
    return seconds && *seconds >= 0 && *seconds <= kMaxMapTime;
}

void ReadStopList(MapData& map, SectionReader& reader, MapCheckRecord* record, const std::string& file) {
    std::string_view previous;
    for (auto section = reader.NextSection(previous); !section.empty(); section = reader.NextSection(previous)) {
        if (section != "busstop") continue;
        std::string name = reader.NextText();
        reader.NextValue();
        std::optional<int32_t> id = reader.NextWholeNumber();
        if (!id) {
            if (record) {
                record->Add("stop-number-unusable", file, reader.LastValueLine(),
                            {ValueText(reader.LastValue()), name});
            }
            continue;
        }
        auto [stop, added] = map.stops.try_emplace(*id, Stop{name, *id});  // the first definition of an id wins
        if (!record) continue;
        const MapCheckRecord::Place here{file, reader.HeaderLine()};
        auto [first, firstSeen] = record->stopPlaces.try_emplace(*id, here);
        // Event folders repeat the stops of the map; only a second
        // definition in the same file or one under another name is a fault.
        if (!added && (first->second.file == file || stop->second.name != name)) {
            record->Add("stop-id-duplicate", file, reader.HeaderLine(),
                        {std::to_string(*id), name, stop->second.name, first->second.file,
                         std::to_string(first->second.line)});
        }
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
    void ReadOldStation(SectionReader& reader, std::string_view previous, Trip& trip) {
        std::size_t dash = previous.find('-');
        TripStation station;
        station.trip = &trip;
        std::optional<int32_t> id = reader.NextWholeNumber();
        if (!id) {
            NoteUnusableStation(reader, trip);
            return;
        }
        station.id = *id;
        if (dash == std::string_view::npos) {
            reader.NextValue();
            station.name = reader.NextText();
        } else {
            station.name = DecodeMapText(DropFirstAndLastCharacter(previous.substr(dash + 1)));
        }
        trip.stations.push_back(std::move(station));
    }

    void ReadStation(SectionReader& reader, Trip& trip) {
        const std::optional<int32_t> id = reader.NextWholeNumber();
        if (!id) {
            NoteUnusableStation(reader, trip);
            return;
        }
        const Stop* stop = map_.FindStop(*id);
        if (stop) {
            trip.stations.push_back(TripStation{stop->name, stop->id, &trip});
        } else if (record_) {
            record_->Add("station-unknown-stop", file_, reader.HeaderLine(), {std::to_string(*id), trip.name});
        }
    }

    void NoteUnusableStation(const SectionReader& reader, const Trip& trip) {
        if (record_) {
            record_->Add("station-number-unusable", file_, reader.LastValueLine(),
                         {ValueText(reader.LastValue()), trip.name});
        }
    }

    void ReadProfile(SectionReader& reader, Trip& trip) {
        TripProfile profile;
        profile.name = reader.NextText();
        std::optional<int32_t> duration = reader.NextMinutesChecked();
        if (IsMapTime(duration)) {
            profile.duration = *duration;
        } else {
            NoteUnusableProfile(reader, "profile", trip, profile);
            profile.usable = false;
        }
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
        TripProfile& profile = trip.profiles.back();
        std::optional<int32_t> station = reader.NextWholeNumber();
        if (!station) {
            NoteUnusableProfile(reader, section, trip, profile);
            profile.usable = false;
            return;
        }
        if (*station < 0 || static_cast<std::size_t>(*station) >= trip.stations.size()) {
            NoteIndexOutOfRange(reader, section, *station, trip.stations.size(), trip);
            return;
        }
        std::optional<int32_t> value = stopping ? reader.NextWholeNumber() : reader.NextMinutesChecked();
        if (stopping ? !value : !IsMapTime(value)) {
            NoteUnusableProfile(reader, section, trip, profile);
            profile.usable = false;
            return;
        }
        const int32_t index = *station;
        auto& times = profile.times;
        if (static_cast<std::size_t>(index) + 1 >= times.size()) {
            // A station read after the profile has no entry in it.
            NoteIndexOutOfRange(reader, section, index, times.size() - 1, trip);
            return;
        }
        StationTime& entry = times[static_cast<std::size_t>(index)];
        (arrival ? entry.arrival : departure ? entry.departure : entry.otherStopping) = *value;
    }

    void NoteUnusableProfile(const SectionReader& reader, std::string_view section, const Trip& trip,
                             const TripProfile& profile) {
        if (!record_) return;
        record_->Add("profile-number-unusable", file_, reader.LastValueLine(),
                     {ValueText(reader.LastValue()), std::string(section), trip.name, profile.name});
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

Line& ReadLineFile(MapData& map, SectionReader& reader, std::string lineName, MapCheckRecord* record,
                   const std::string& file) {
    auto& line = map.lines.emplace_back(std::make_unique<Line>());
    line->name = std::move(lineName);
    Tour* tour = nullptr;  // inTour while set
    auto value = [&] { return ValueText(reader.LastValue()); };
    std::string_view previous;
    for (auto section = reader.NextSection(previous); !section.empty(); section = reader.NextSection(previous)) {
        if (section == "userallowed") {
            line->userAllowed = true;
        } else if (section == "newtour") {
            std::string name = reader.NextText();
            reader.NextValue();
            std::optional<int32_t> days = reader.NextWholeNumber();
            if (!days || *days < 0 || static_cast<ServiceDays>(*days) > kAllServiceDays) {
                // The tour's trips go with it.
                if (record) record->Add("tour-number-unusable", file, reader.LastValueLine(), {value(), name});
                tour = nullptr;
                continue;
            }
            Tour& added = line->tours.emplace_back();
            added.name = std::move(name);
            added.days = static_cast<ServiceDays>(*days);
            added.fileLine = reader.HeaderLine();
            tour = &added;
        } else if (section == "addtrip" && tour) {
            TourTrip trip;
            trip.fileLine = reader.HeaderLine();
            trip.tripName = FoldCase(reader.NextText());
            std::optional<int32_t> profileIndex = reader.NextWholeNumber();
            std::string badValue = profileIndex ? std::string() : value();
            int32_t badLine = reader.LastValueLine();
            std::optional<int32_t> startTime = reader.NextMinutesChecked();
            if (profileIndex && !IsMapTime(startTime)) {
                badValue = value();
                badLine = reader.LastValueLine();
            }
            if (!profileIndex || !IsMapTime(startTime)) {
                if (record) record->Add("tour-trip-number-unusable", file, badLine, {badValue, trip.tripName, tour->name});
                continue;
            }
            trip.profileIndex = *profileIndex;
            trip.startTime = *startTime;
            tour->trips.push_back(std::move(trip));
        }
    }
    return *line;
}

}  // namespace

bool ReadTimetable(MapData& map, const fs::path& folder, MapCheckRecord* record) {
    auto ttData = FindPathIgnoringCase(folder, "TTData");
    if (!ttData) return false;
    if (auto stopList = FindPathIgnoringCase(*ttData, "Busstops.cfg")) {
        if (auto reader = OpenSectionFile(*stopList)) {
            ReadStopList(map, *reader, record, record ? record->FileName(*stopList) : std::string());
        }
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
        std::string fileName = record ? record->FileName(file) : std::string();
        Line& line = ReadLineFile(map, *reader, NameWithoutExtension(file), record, fileName);
        if (record) record->lineFiles[&line] = fileName;
    }
    return true;
}

void ReadStopListBytes(MapData& map, std::string_view bytes) {
    SectionReader reader{std::string(bytes)};
    ReadStopList(map, reader, nullptr, {});
}

void ReadTripFileBytes(MapData& map, std::string_view tripName, std::string_view bytes) {
    SectionReader reader{std::string(bytes)};
    TripFileReader(map, nullptr).Read(reader, std::string(tripName));
}

void ReadLineFileBytes(MapData& map, std::string_view lineName, std::string_view bytes) {
    SectionReader reader{std::string(bytes)};
    ReadLineFile(map, reader, std::string(lineName), nullptr, {});
}

}  // namespace tak
