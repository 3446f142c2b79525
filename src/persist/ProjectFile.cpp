// Loading and saving the project file as a whole; the records' stored forms
// live in ProjectPlans.cpp, ProjectRouteSpiders.cpp and ProjectRouteMap.cpp.
#include "persist/ProjectFile.h"

#include <algorithm>
#include <system_error>

#include "base/FileSystem.h"
#include "persist/ProjectRecords.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

namespace project {

int32_t ReadInt(const JsonValue* object, std::string_view key, int32_t fallback) {
    return GetInteger(ObjectGet(object, key), fallback);
}

bool ReadFlag(const JsonValue* object, std::string_view key, bool fallback) {
    return GetInteger(ObjectGet(object, key), fallback ? 1 : 0) != 0;
}

std::string ReadText(const JsonValue* object, std::string_view key, std::string_view fallback) {
    return GetString(ObjectGet(object, key), fallback);
}

void WriteInt(JsonValue& object, std::string_view key, int32_t value) { ObjectSet(&object, key, NewInteger(value)); }

void WriteFlag(JsonValue& object, std::string_view key, bool value) { WriteInt(object, key, value ? 1 : 0); }

void WriteText(JsonValue& object, std::string_view key, std::string_view value) {
    ObjectSet(&object, key, NewString(value));
}

JsonValue& WriteArray(JsonValue& object, std::string_view key) {
    ObjectSet(&object, key, NewArray());
    return *object.members.Find(key);
}

JsonValue& AppendObject(JsonValue& array) {
    ArrayAppend(&array, NewObject());
    return *array.elements.back();
}

const Trip* TripNamed(const MapData& map, std::string_view name) {
    for (const auto& trip : map.trips) {
        if (trip->name == name) return trip.get();
    }
    return nullptr;
}

const Line* LineNamed(const MapData& map, std::string_view name) {
    for (const auto& line : map.lines) {
        if (line->name == name) return line.get();
    }
    return nullptr;
}

const Tour* TourNamed(const Line& line, std::string_view name) {
    for (const auto& tour : line.tours) {
        if (tour.name == name) return &tour;
    }
    return nullptr;
}

}  // namespace project

namespace {

using namespace project;

void ResetProject(Project& project) {
    // Keys keep counting across reloads, so that a key held by a window from
    // before the reload can never name a record read afterwards.
    RouteSpiderKey nextSpiderKey = project.routeSpiders.nextKey;
    RouteKey nextRouteKey = project.routeMap.nextKey;
    project.outputOpt = DefaultOutputOpt();
    project.routeSpiders = RouteSpiderList{};
    project.routeSpiders.nextKey = nextSpiderKey;
    project.timeTablePlans.clear();
    project.tourPlans.clear();
    project.stopTables.clear();
    project.routeMap = RouteMap{};
    project.routeMap.nextKey = nextRouteKey;
    // A new route map is printed: a user who never opens its window still
    // gets the map as a document.
    project.routeMap.format = kRouteMapPdf;
    project.keepUnreadableFile = false;
}

void ClampRouteMapSize(RouteMap& routeMap) {
    routeMap.width = std::clamp(routeMap.width, 1, kMaxRouteMapCells);
    routeMap.height = std::clamp(routeMap.height, 1, kMaxRouteMapCells);
}

// Save writes next to `file` and renames over it, so that a failed write
// never leaves a half-written project behind.
bool SaveReplacing(const fs::path& file, JsonPtr root) {
    std::error_code error;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), error);
    return Save(file, std::move(root));
}

// Keeps a project file that did not parse as <name>.cfg.bak (".bak2",
// ".bak3" ... when that is taken: an older copy stays too), once, so that
// the first save after loading it cannot destroy what the user may recover.
// False when the copy could not be made; the file must not be replaced then.
bool KeepUnreadableFile(Project& project, const fs::path& file) {
    if (!project.keepUnreadableFile) return true;
    std::error_code error;
    if (fs::exists(file, error)) {
        constexpr int kMaxCopies = 100;
        bool copied = false;
        for (int number = 1; number <= kMaxCopies && !copied; ++number) {
            fs::path backup = file;
            backup += number == 1 ? std::string(".bak") : ".bak" + std::to_string(number);
            if (fs::exists(fs::symlink_status(backup, error))) continue;
            copied = fs::copy_file(file, backup, fs::copy_options::none, error);
            if (error) return false;  // try again at the next save
        }
        if (!copied) return false;
    }
    project.keepUnreadableFile = false;
    return true;
}

std::vector<SpiderNameOfKey> SpiderNames(const RouteSpiderList& list) {
    std::vector<SpiderNameOfKey> names;
    for (const auto& spider : list.spiders) names.push_back({spider.key, spider.name});
    return names;
}

void RelinkPlanSpiders(Project& project, const std::vector<SpiderNameOfKey>& oldNames) {
    for (auto& plan : project.timeTablePlans) {
        plan.routeSpider = RelinkSpiderKey(project.routeSpiders, oldNames, plan.routeSpider);
    }
    for (auto& table : project.stopTables) {
        table.routeSpider = RelinkSpiderKey(project.routeSpiders, oldNames, table.routeSpider);
    }
}

void ClearSpiderList(RouteSpiderList& list) {
    list.spiders.clear();  // nextKey goes on counting
}

}  // namespace

fs::path ProjectFilePath(const fs::path& workingFolder, std::string_view projectName) {
    return workingFolder / "output" / PathFromText(std::string(projectName) + ".cfg");
}

void ReadRouteSpiders(Project& project, const MapData& map, const JsonValue& root) {
    std::vector<SpiderNameOfKey> oldNames = SpiderNames(project.routeSpiders);
    ClearSpiderList(project.routeSpiders);
    ReadRouteSpiderArray(project.routeSpiders, map, ObjectGet(&root, "RouteSpider"));
    RelinkPlanSpiders(project, oldNames);
}

bool LoadRouteSpiders(Project& project, const MapData& map, const fs::path& file) {
    std::vector<SpiderNameOfKey> oldNames = SpiderNames(project.routeSpiders);
    ClearSpiderList(project.routeSpiders);
    JsonPtr root = Load(file);
    if (!root || root->kind != JsonKind::Object) return false;
    ReadRouteSpiderArray(project.routeSpiders, map, ObjectGet(root.get(), "RouteSpider"));
    RelinkPlanSpiders(project, oldNames);
    return true;
}

void WriteRouteSpiders(const Project& project, JsonValue& root) { WriteRouteSpiderArray(root, project.routeSpiders); }

bool SaveRouteSpiders(const Project& project, const fs::path& file) {
    JsonPtr root = Load(file);
    if (!root || root->kind != JsonKind::Object) return false;
    WriteRouteSpiders(project, *root);
    return SaveReplacing(file, std::move(root));
}

namespace {

ProjectLoadResult ReadProjectRoot(Project& project, const MapData& map, JsonPtr root, bool fileFound) {
    ResetProject(project);
    ProjectLoadResult result;
    result.fileFound = fileFound;
    if (!root || root->kind != JsonKind::Object) {
        project.keepUnreadableFile = result.fileFound;
        return result;
    }
    result.parsed = true;
    result.version = ReadInt(root.get(), "Version", kLastVersionWithStopTexts);
    project.outputOpt = ReadOutputOpt(ObjectGet(root.get(), "OutputOpt"));
    ReadRouteSpiders(project, map, *root);
    ReadTimeTablePlans(project, map, ObjectGet(root.get(), "TimeTablePlan"));
    ReadTourPlans(project, map, ObjectGet(root.get(), "TourPlan"));
    ReadStopTables(project, map, ObjectGet(root.get(), "StopTable"));
    // A file without a route map (written before it had one) starts a new
    // one, printed like any new route map; a stored one keeps its format.
    if (const JsonValue* routeMap = ObjectGet(root.get(), "RouteMap")) {
        project.routeMap.format = kRouteMapNone;
        ReadRouteMap(project.routeMap, routeMap, result.version);
    }
    ClampRouteMapSize(project.routeMap);
    PrepareLoadedRouteMap(project.routeMap);
    if (result.version <= kLastVersionWithStopTexts) ShiftOldLabelOffsets(project.routeMap);
    return result;
}

}  // namespace

ProjectLoadResult LoadProject(Project& project, const MapData& map, const fs::path& file) {
    std::error_code error;
    bool fileFound = fs::exists(file, error);
    return ReadProjectRoot(project, map, Load(file), fileFound);
}

ProjectLoadResult LoadProjectBytes(Project& project, const MapData& map, std::string_view bytes) {
    return ReadProjectRoot(project, map, Parse(DecodeJsonFileBytes(bytes)), true);
}

bool SaveProject(Project& project, const fs::path& file) {
    JsonPtr root = NewObject();
    WriteInt(*root, "Version", kProjectVersion);
    WriteOutputOpt(*root, project.outputOpt);
    WriteRouteSpiders(project, *root);
    WriteTimeTablePlans(*root, project);
    WriteTourPlans(*root, project);
    WriteStopTables(*root, project);
    WriteRouteMap(*root, project.routeMap);
    if (!KeepUnreadableFile(project, file)) return false;
    return SaveReplacing(file, std::move(root));
}

}  // namespace tak
