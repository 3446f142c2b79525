// Private to the project file: one reader and one writer per stored record,
// so that every key name, default and writing condition of the stored form
// lives in exactly one place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "persist/JSON.h"
#include "persist/Project.h"

namespace tak::project {

// The output font sizes the option list offers, in points.
constexpr int32_t kMinFontSize = 6;
constexpr int32_t kMaxFontSize = 72;
// The break hours the plan windows offer: -1 (none) and 0 ... 6 (24 ... 30 o'clock).
constexpr int32_t kMaxBreakHour = 6;
// A route spider's travel time from one stop to the next, in minutes.
constexpr int32_t kMaxSpiderTravelTime = 24 * 60;

// Typed access to object members with the stored form's defaults. A member
// of another kind than expected reads as missing.
int32_t ReadInt(const JsonValue* object, std::string_view key, int32_t fallback);
// An integer bounded to what its control offers, so that a value only a
// hand-edited file can hold never reaches the builders and drawings.
int32_t ReadBoundedInt(const JsonValue* object, std::string_view key, int32_t fallback, int32_t low, int32_t high);
bool ReadFlag(const JsonValue* object, std::string_view key, bool fallback);
std::string ReadText(const JsonValue* object, std::string_view key, std::string_view fallback = "");

void WriteInt(JsonValue& object, std::string_view key, int32_t value);
void WriteFlag(JsonValue& object, std::string_view key, bool value);
void WriteText(JsonValue& object, std::string_view key, std::string_view value);
JsonValue& WriteArray(JsonValue& object, std::string_view key);
JsonValue& AppendObject(JsonValue& array);

// Exact-name look-ups into the loaded map; first match in list order.
const Trip* TripNamed(const MapData& map, std::string_view name);
const Line* LineNamed(const MapData& map, std::string_view name);
const Tour* TourNamed(const Line& line, std::string_view name);

OutputOpt ReadOutputOpt(const JsonValue* object);
void WriteOutputOpt(JsonValue& root, const OutputOpt& options);

void ReadTimeTablePlans(Project& project, const MapData& map, const JsonValue* array);
void WriteTimeTablePlans(JsonValue& root, const Project& project);

void ReadTourPlans(Project& project, const MapData& map, const JsonValue* array);
void WriteTourPlans(JsonValue& root, const Project& project);

void ReadStopTables(Project& project, const MapData& map, const JsonValue* array);
// Reorders each table's trips first (OrderSameWayTargetsFirst).
void WriteStopTables(JsonValue& root, Project& project);

void ReadRouteSpiderArray(RouteSpiderList& list, const MapData& map, const JsonValue* array);
void WriteRouteSpiderArray(JsonValue& root, const RouteSpiderList& list);

// Reads into a route map that was reset to its defaults; `version` decides
// whether stops carry the old single name text.
void ReadRouteMap(RouteMap& routeMap, const JsonValue* object, int32_t version);
void WriteRouteMap(JsonValue& root, const RouteMap& routeMap);

}  // namespace tak::project
