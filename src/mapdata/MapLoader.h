// Loading a map as it stands on a date: chrono events, the base timetable,
// the timetables of the events active on the date, and tour-trip resolution.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mapdata/MapData.h"

namespace tak {

struct MapCheckRecord;

// Passed to ListChronoEvents to list every event regardless of date.
constexpr DateValue AllEvents = -65535;

// 1900-01-01, the earliest day a user can choose; days before 1970 are
// negative like the markers below, which no midnight can equal.
constexpr DateValue kEarliestDate = -2208988800;

// True for a day, false for kNoDate and AllEvents.
constexpr bool IsDay(DateValue date) { return date != kNoDate && date != AllEvents; }

// True when `date` lies inside the event's period (both bounds inclusive,
// an open bound admits every date).
bool IsChronoActive(DateValue date, const ChronoEvent& event);

// Events in list order: none for kNoDate, all for AllEvents, otherwise those
// active on `date`.
std::vector<const ChronoEvent*> ListChronoEvents(const MapData& map, DateValue date);

// Clears `map` and loads the map folder as it stands on `date` (kNoDate: the
// base timetable alone). `languageShort` picks the events' description files
// ("Chrono_<languageShort>.dsc"). Returns false when the map has no listable
// timetable folder; whatever could be read stays in `map` even then, and the
// caller tells the user ("CantFindTT"). `record`, when given, is cleared and
// gets what the load drops or replaces, for a check of the map.
bool LoadMap(MapData& map, const std::filesystem::path& mapFolder, DateValue date,
             std::string_view languageShort, MapCheckRecord* record = nullptr);

// The files of a timetable set (the map's own or an event's) as bytes.
struct TimetableFileBytes {
    std::string stopList;  // TTData/Busstops.cfg
    std::vector<std::pair<std::string, std::string>> tripFiles;  // name without ".ttp", bytes
    std::vector<std::pair<std::string, std::string>> lineFiles;  // name without ".ttl", bytes
};

// One chrono event as its folder's files give it.
struct ChronoEventBytes {
    std::string folder;
    std::string settings;     // Chrono.cfg
    std::string description;  // Chrono_<languageShort>.dsc
    TimetableFileBytes timetable;
};

// LoadMap over files already read, in the same steps: the events' settings
// and names, the base timetable, the timetables of the events active on
// `date` after their deactivated lines, and the resolving of tour trips.
// For callers without a folder (the fuzzer, which would spend its time on
// the file system).
void LoadMapBytes(MapData& map, const TimetableFileBytes& base, const std::vector<ChronoEventBytes>& events,
                  DateValue date);

// Names the events of a loaded map anew in another language, from the same
// files as the load: the description in that language, else the event's own
// name, else its folder name. Nothing else of the map changes.
void RenameChronoEvents(MapData& map, const std::filesystem::path& mapFolder, std::string_view languageShort);

// The name of a map's project: the map folder's last component (with or
// without a trailing separator) and, for a date, "_" and "yyyymmdd".
std::string ProjectNameFor(const std::filesystem::path& mapFolder, DateValue date);

// The day at 00:00 as a DateValue; an impossible date (month 13, day 0)
// gives kNoDate.
DateValue MakeDate(int year, int month, int day);

// "yyyy-mm-dd" or "dd.mm.yyyy" to a DateValue; kNoDate when unreadable or
// before kEarliestDate.
DateValue ParseDateText(std::string_view text);

// The calendar day of a DateValue.
struct CalendarDay {
    int year = 0;
    int month = 0;
    int day = 0;
};
CalendarDay DateToCalendar(DateValue date);

}  // namespace tak
