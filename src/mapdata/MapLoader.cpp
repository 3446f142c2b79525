#include "mapdata/MapLoader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <unordered_map>

#include "base/FileSystem.h"
#include "base/CodePage.h"
#include "base/Text.h"
#include "mapdata/MapCheck.h"
#include "mapdata/SectionFile.h"
#include "mapdata/TimetableReader.h"

namespace tak {

namespace {

std::optional<SectionReader> OpenEventFile(const fs::path& eventFolder, const std::string& name,
                                           fs::path* found = nullptr) {
    auto file = FindPathIgnoringCase(eventFolder, PathFromText(name));
    if (!file) return std::nullopt;
    auto bytes = ReadFileBytes(*file);
    if (!bytes) return std::nullopt;
    if (found) *found = *file;
    return SectionReader(std::move(*bytes));
}

// "YYYYMMDD", split by position.
DateValue ParseEventDate(std::string_view text) {
    auto part = [&](std::size_t pos, std::size_t length) {
        return pos < text.size() ? ParseLeadingInt(text.substr(pos, length)) : 0;
    };
    return MakeDate(part(0, 4), part(4, 2), part(6, 2));
}

bool IsEightDigits(std::string_view text) {
    return text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Where the settings of one event are read from, for the findings of a check.
struct EventFileNote {
    MapCheckRecord* record = nullptr;
    std::string file;
};

DateValue ReadEventDate(SectionReader& reader, const EventFileNote& note) {
    std::string_view text = TrimBlanks(reader.NextValue());
    DateValue date = ParseEventDate(text);
    if (date < kEarliestDate) date = kNoDate;  // "00000101" is no day a timetable runs on
    if (note.record && (date == kNoDate || !IsEightDigits(text))) {
        note.record->Add("chrono-date-unreadable", note.file, reader.HeaderLine(), {DecodeMapText(text)});
    }
    return date;
}

std::string DateText(DateValue date) {
    CalendarDay day = DateToCalendar(date);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return text;
}

void ReadEventSettings(SectionReader& reader, ChronoEvent& event, const EventFileNote& note) {
    std::string_view previous;
    int32_t endLine = 0;
    for (auto section = reader.NextSection(previous); !section.empty(); section = reader.NextSection(previous)) {
        if (section == "startdate") {
            event.startDate = ReadEventDate(reader, note);
        } else if (section == "enddate") {
            endLine = reader.HeaderLine();
            event.endDate = ReadEventDate(reader, note);
        } else if (section == "name") {
            event.name = reader.NextText();
        } else if (section == "deactivate_lines") {
            // The count is only trusted as far as the file has lines.
            for (int32_t count = reader.NextInteger(); count > 0 && !reader.AtEnd(); --count) {
                event.deactivatedLines.emplace(DecodeMapText(TrimBlanks(reader.NextValue())));
            }
        }
    }
    // Such an event is active on no day at all.
    if (note.record && event.startDate != kNoDate && event.endDate != kNoDate && event.endDate < event.startDate) {
        note.record->Add("chrono-range-reversed", note.file, endLine,
                         {DateText(event.startDate), DateText(event.endDate)});
    }
}

void ReadEventName(SectionReader& reader, ChronoEvent& event) {
    std::string_view previous;
    for (auto section = reader.NextSection(previous); !section.empty(); section = reader.NextSection(previous)) {
        if (section == "name") event.name = reader.NextText();
    }
}

// The event's name in the user's language, where the event has a description in it.
void ReadEventDescription(const fs::path& eventFolder, std::string_view languageShort, ChronoEvent& event) {
    std::string description = "Chrono_" + std::string(languageShort) + ".dsc";
    if (auto names = OpenEventFile(eventFolder, description)) ReadEventName(*names, event);
}

// Events without a start come first.
void SortChronoEvents(MapData& map) {
    std::stable_sort(map.chronoEvents.begin(), map.chronoEvents.end(),
                     [](const auto& a, const auto& b) { return a.startDate < b.startDate; });
}

void ReadChronoEvents(MapData& map, const fs::path& mapFolder, std::string_view languageShort,
                      MapCheckRecord* record) {
    auto chronoFolder = FindPathIgnoringCase(mapFolder, "Chrono");
    if (!chronoFolder) return;
    for (const auto& folder : ListSubfolders(*chronoFolder)) {
        ChronoEvent& event = map.chronoEvents.emplace_back();
        event.folder = event.name = FileNameText(folder);
        fs::path settingsFile;
        if (auto settings = OpenEventFile(folder, "Chrono.cfg", &settingsFile)) {
            EventFileNote note{record, record ? record->FileName(settingsFile) : std::string()};
            ReadEventSettings(*settings, event, note);
        }
        ReadEventDescription(folder, languageShort, event);
    }
    SortChronoEvents(map);
}

void RemoveLines(MapData& map, const ChronoEvent& event, MapCheckRecord* record) {
    if (record) {
        for (const std::string& name : event.deactivatedLines) {
            bool exists = std::any_of(map.lines.begin(), map.lines.end(),
                                      [&](const auto& line) { return line->name == name; });
            if (!exists) record->Add("chrono-unknown-line", "Chrono/" + event.folder, 0, {name, event.name});
        }
    }
    std::erase_if(map.lines, [&](const auto& line) {
        bool removed = event.deactivatedLines.contains(line->name);
        if (removed && record) record->lineFiles.erase(line.get());
        return removed;
    });
}

std::string LineFileOf(const MapCheckRecord& record, const Line& line) {
    auto found = record.lineFiles.find(&line);
    return found != record.lineFiles.end() ? found->second : std::string();
}

// Links every tour trip to the first trip in list order with its name
// (ignoring case) and to that trip's profile; drops those that do not resolve.
void ResolveTourTrips(MapData& map, MapCheckRecord* record) {
    std::unordered_map<std::string, Trip*> tripsByName;
    tripsByName.reserve(map.trips.size());
    for (auto& trip : map.trips) tripsByName.try_emplace(FoldCase(trip->name), trip.get());

    for (auto& line : map.lines) {
        for (auto& tour : line->tours) {
            std::erase_if(tour.trips, [&](TourTrip& tourTrip) {
                auto found = tripsByName.find(tourTrip.tripName);
                if (found == tripsByName.end()) {
                    if (record) {
                        record->Add("tour-trip-unknown-trip", LineFileOf(*record, *line), tourTrip.fileLine,
                                    {tourTrip.tripName, tour.name});
                    }
                    return true;
                }
                Trip* trip = found->second;
                if (tourTrip.profileIndex < 0 ||
                    static_cast<std::size_t>(tourTrip.profileIndex) >= trip->profiles.size()) {
                    if (record) {
                        record->Add("tour-trip-unknown-profile", LineFileOf(*record, *line), tourTrip.fileLine,
                                    {std::to_string(tourTrip.profileIndex), trip->name,
                                     std::to_string(trip->profiles.size()), tour.name});
                    }
                    return true;
                }
                const TripProfile& profile = trip->profiles[static_cast<std::size_t>(tourTrip.profileIndex)];
                if (!profile.usable) return true;  // the check names the profile's faulty number
                tourTrip.trip = trip;
                tourTrip.profile = &profile;
                return false;
            });
        }
    }
}

}  // namespace

void RenameChronoEvents(MapData& map, const fs::path& mapFolder, std::string_view languageShort) {
    auto chronoFolder = FindPathIgnoringCase(mapFolder, "Chrono");
    if (!chronoFolder) return;
    for (ChronoEvent& event : map.chronoEvents) {
        fs::path folder = *chronoFolder / PathFromText(event.folder);
        event.name = event.folder;
        if (auto settings = OpenEventFile(folder, "Chrono.cfg")) ReadEventName(*settings, event);
        ReadEventDescription(folder, languageShort, event);
    }
}

bool IsChronoActive(DateValue date, const ChronoEvent& event) {
    return (event.startDate == kNoDate || event.startDate <= date) &&
           (event.endDate == kNoDate || date <= event.endDate);
}

std::vector<const ChronoEvent*> ListChronoEvents(const MapData& map, DateValue date) {
    std::vector<const ChronoEvent*> events;
    if (date == kNoDate) return events;
    for (const auto& event : map.chronoEvents) {
        if (date == AllEvents || IsChronoActive(date, event)) events.push_back(&event);
    }
    return events;
}

namespace {

// Notes the first word of the timetable files that reads as another code page
// than the chosen one; one finding, since a map is written in one code page.
void NoteOtherCodePage(const fs::path& mapFolder, MapCheckRecord& record) {
    auto ttData = FindPathIgnoringCase(mapFolder, "TTData");
    if (!ttData) return;
    std::vector<fs::path> files;
    if (auto stopList = FindPathIgnoringCase(*ttData, "Busstops.cfg")) files.push_back(*stopList);
    for (const char* extension : {".ttp", ".ttl"}) {
        auto found = ListFilesWithExtension(*ttData, extension);
        if (found) files.insert(files.end(), found->begin(), found->end());
    }
    for (const fs::path& file : files) {
        auto bytes = ReadFileBytes(file);
        if (!bytes) continue;
        if (auto hint = FindOtherCodePage(*bytes, MapCodePage())) {
            record.Add("code-page-differs", record.FileName(file), 0,
                       {hint->word, std::to_string(CodePageNumber(hint->other)),
                        std::to_string(CodePageNumber(MapCodePage()))});
            return;
        }
    }
}

}  // namespace

bool LoadMap(MapData& map, const fs::path& mapFolder, DateValue date, std::string_view languageShort,
             MapCheckRecord* record) {
    map.clear();
    map.date = IsDay(date) ? date : kNoDate;
    if (record) *record = MapCheckRecord{mapFolder, date, {}, {}, {}, {}};
    ReadChronoEvents(map, mapFolder, languageShort, record);
    bool ok = ReadTimetable(map, mapFolder, record);
    if (record) NoteOtherCodePage(mapFolder, *record);
    if (IsDay(date)) {
        auto chronoFolder = FindPathIgnoringCase(mapFolder, "Chrono");
        for (const auto& event : map.chronoEvents) {
            if (!IsChronoActive(date, event)) continue;
            // Deactivation comes first, so an event can replace a line by
            // switching it off and bringing a line file of the same name.
            RemoveLines(map, event, record);
            if (chronoFolder) ReadTimetable(map, *chronoFolder / PathFromText(event.folder), record);
        }
    }
    ResolveTourTrips(map, record);
    SortLinesByName(map);
    return ok;
}

namespace {

void ReadTimetableBytes(MapData& map, const TimetableFileBytes& files) {
    ReadStopListBytes(map, files.stopList);
    for (const auto& [name, bytes] : files.tripFiles) ReadTripFileBytes(map, name, bytes);
    for (const auto& [name, bytes] : files.lineFiles) ReadLineFileBytes(map, name, bytes);
}

}  // namespace

void LoadMapBytes(MapData& map, const TimetableFileBytes& base, const std::vector<ChronoEventBytes>& events,
                  DateValue date) {
    map.clear();
    for (const ChronoEventBytes& files : events) {
        ChronoEvent& event = map.chronoEvents.emplace_back();
        event.folder = event.name = files.folder;
        SectionReader settings(files.settings);
        ReadEventSettings(settings, event, EventFileNote{});
        SectionReader description(files.description);
        ReadEventName(description, event);
    }
    SortChronoEvents(map);
    ReadTimetableBytes(map, base);
    if (IsDay(date)) {
        for (const auto& event : map.chronoEvents) {
            if (!IsChronoActive(date, event)) continue;
            RemoveLines(map, event, nullptr);
            auto files = std::find_if(events.begin(), events.end(),
                                      [&](const ChronoEventBytes& e) { return e.folder == event.folder; });
            ReadTimetableBytes(map, files->timetable);
        }
    }
    ResolveTourTrips(map, nullptr);
    SortLinesByName(map);
}

std::string ProjectNameFor(const fs::path& mapFolder, DateValue date) {
    fs::path folder = mapFolder;
    while (folder.has_relative_path() && folder.filename().empty()) folder = folder.parent_path();
    // "." or ".." name no folder: the folder they stand for gives the name.
    // Other names stay as given, also when they are links to another folder.
    if (folder.filename() == "." || folder.filename() == "..") {
        std::error_code error;
        fs::path resolved = fs::weakly_canonical(fs::absolute(folder, error), error);
        folder = error ? fs::absolute(folder, error).lexically_normal() : resolved;
        while (folder.has_relative_path() && folder.filename().empty()) folder = folder.parent_path();
    }
    std::string name = FileNameText(folder);
    if (IsDay(date)) {
        CalendarDay day = DateToCalendar(date);
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "_%04d%02d%02d", day.year, day.month, day.day);
        name += suffix;
    }
    return name;
}

DateValue MakeDate(int year, int month, int day) {
    using namespace std::chrono;
    year_month_day ymd{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                       std::chrono::day(static_cast<unsigned>(day))};
    // The calendar counts no year 0: 0000-01-01 is as impossible as month 13.
    if (year < 1 || month < 1 || day < 1 || !ymd.ok()) return kNoDate;
    return static_cast<DateValue>(sys_days(ymd).time_since_epoch().count()) * kSecondsPerDay;
}

CalendarDay DateToCalendar(DateValue date) {
    using namespace std::chrono;
    auto days = std::chrono::days(date >= 0 ? date / kSecondsPerDay : -((-date + kSecondsPerDay - 1) / kSecondsPerDay));
    year_month_day ymd{sys_days(days)};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

DateValue ParseDateText(std::string_view text) {
    text = TrimBlanksAndTabs(text);
    auto digitsAt = [&](std::size_t pos, std::size_t count) {
        if (pos + count > text.size()) return -1;
        int value = 0;
        for (std::size_t i = pos; i < pos + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    DateValue date = kNoDate;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        date = MakeDate(digitsAt(0, 4), digitsAt(5, 2), digitsAt(8, 2));
    } else if (text.size() == 10 && text[2] == '.' && text[5] == '.') {
        date = MakeDate(digitsAt(6, 4), digitsAt(3, 2), digitsAt(0, 2));
    }
    return date >= kEarliestDate ? date : kNoDate;
}

}  // namespace tak
