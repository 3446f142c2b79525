// A check of a loaded map for map authors: what the timetable files get wrong,
// from faults that make the load drop something to what is merely unusual.
//
// The load writes down what it drops or replaces, with the file and line it
// found it in (a MapCheckRecord); CheckMap adds what the loaded map itself
// shows and returns every finding in a stable order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mapdata/MapData.h"

namespace tak {

enum class FindingSeverity {
    Error,    // something is dropped or will print wrong
    Warning,  // probably unintended
    Note,
};

struct MapFinding {
    FindingSeverity severity = FindingSeverity::Note;
    std::string code;  // stable, for scripts: "station-unknown-stop"
    std::string file;  // relative to the map folder, with "/": "TTData/10.ttp"; "" for the map as a whole
    int32_t line = 0;  // 1-based line of the section in the file; 0 when not known
    // The values the finding's sentence names, in the order of its placeholders.
    std::vector<std::string> arguments;
};

// What the load of one map noted on its way, besides the map it filled.
struct MapCheckRecord {
    std::filesystem::path mapFolder;
    DateValue date = kNoDate;  // the date the map was loaded for
    std::vector<MapFinding> findings;
    // The file each trip and line was read from, as finding files.
    std::unordered_map<const Trip*, std::string> tripFiles;
    std::unordered_map<const Line*, std::string> lineFiles;
    // Where each stop id was first defined: the definition that holds.
    struct Place {
        std::string file;
        int32_t line = 0;
    };
    std::unordered_map<int32_t, Place> stopPlaces;

    // The file as findings name it: relative to the map folder, with "/".
    std::string FileName(const std::filesystem::path& file) const;
    void Add(std::string_view code, std::string file, int32_t line, std::initializer_list<std::string> arguments);
};

// The severity of a finding code; every code CheckMap produces has one.
FindingSeverity SeverityOfCode(std::string_view code);

// The language key of a finding's sentence: "Check" and the code in
// UpperCamelCase ("station-unknown-stop" → "CheckStationUnknownStop").
std::string FindingTextKey(std::string_view code);

// Every finding of the loaded map: those the load recorded and those the map
// shows, sorted by file, line and code.
std::vector<MapFinding> CheckMap(const MapData& map, const MapCheckRecord& record);

struct FindingCounts {
    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::size_t notes = 0;
};
FindingCounts CountFindings(const std::vector<MapFinding>& findings);

}  // namespace tak
