// The project file: the whole project (project/Project.h) stored in one
// JSON-like file, output/<projectName>.cfg below the working folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "mapdata/MapData.h"
#include "project/Project.h"

namespace tak {

struct JsonValue;

// The format version this program writes. Files of version 45 or lower keep
// one name text per route map stop instead of a label list.
constexpr int32_t kProjectVersion = 136;
constexpr int32_t kLastVersionWithStopTexts = 45;

// output/<projectName>.cfg below the working folder.
std::filesystem::path ProjectFilePath(const std::filesystem::path& workingFolder, std::string_view projectName);

struct ProjectLoadResult {
    bool fileFound = false;  // a file existed at the path
    bool parsed = false;     // and it parsed
    int32_t version = 0;     // "Version" of the file (45 when missing)
};

// Replaces the whole project by the content of `file`, resolved against `map`.
// A missing file, or one that does not parse, leaves an empty project with the
// defaults for a project without a file.
ProjectLoadResult LoadProject(Project& project, const MapData& map, const std::filesystem::path& file);
// The same from the bytes of a project file (fileFound is then true).
ProjectLoadResult LoadProjectBytes(Project& project, const MapData& map, std::string_view bytes);

// Writes the whole project to `file`: into a temporary file in the same folder
// that then replaces the old one, creating the folder when missing. Reorders
// stop table trips (OrderSameWayTargetsFirst). False when nothing could be
// written; the old file is then untouched.
[[nodiscard]] bool SaveProject(Project& project, const std::filesystem::path& file);

// Reads the route spiders from the "RouteSpider" array of `root` and points
// the plans' spider references to the first new spider of their old spider's
// name.
void ReadRouteSpiders(Project& project, const MapData& map, const JsonValue& root);
// The same from the project file on disk (the route spider editor's "No"):
// the spider list is emptied first; false when the file cannot be read, and
// the plans then keep no spider.
[[nodiscard]] bool LoadRouteSpiders(Project& project, const MapData& map, const std::filesystem::path& file);

// Puts the "RouteSpider" array into `root`.
void WriteRouteSpiders(const Project& project, JsonValue& root);
// Replaces only the route spiders in the project file on disk. Nothing is
// written, and false returned, when the file is missing or does not parse.
[[nodiscard]] bool SaveRouteSpiders(const Project& project, const std::filesystem::path& file);

}  // namespace tak
