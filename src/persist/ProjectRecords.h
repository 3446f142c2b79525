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

// Typed access to object members with the stored form's defaults. A member
// of another kind than expected reads as missing.
int32_t ReadInt(const JsonValue* object, std::string_view key, int32_t fallback);
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
