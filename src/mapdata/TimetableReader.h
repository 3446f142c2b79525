// Reader of one set of simulator timetable files: the stop list
// (TTData/Busstops.cfg), trip files (*.ttp) and line files (*.ttl).
#pragma once

#include <filesystem>
#include <string_view>

#include "mapdata/MapData.h"

namespace tak {

struct MapCheckRecord;

// Reads the stop list, all trip files and all line files below `folder`
// (a map folder or a chrono event folder) into `map`, adding to what it
// holds. False only when the folder's TTData folder cannot be listed.
// `record`, when given, gets what the reading drops or replaces and the file
// of every trip and line.
bool ReadTimetable(MapData& map, const std::filesystem::path& folder, MapCheckRecord* record = nullptr);

// Readers of one file's bytes (Windows-1252), for callers that hold them.
void ReadStopListBytes(MapData& map, std::string_view bytes);
void ReadTripFileBytes(MapData& map, std::string_view tripName, std::string_view bytes);
void ReadLineFileBytes(MapData& map, std::string_view lineName, std::string_view bytes);

}  // namespace tak
