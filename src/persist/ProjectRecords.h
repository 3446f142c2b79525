// Private to the project file: one reader and one writer per stored record.
// Plain fields come from the tables of ProjectFields.h; what the readers and
// writers spell out themselves are references, lists and formed keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "persist/JSON.h"
#include "persist/ProjectFile.h"
#include "persist/ProjectFields.h"

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

// One value of a plain field, by the member's type: integers and day sets as
// integers, switches as the flags 0 and 1, texts as strings.
inline int32_t ReadValue(const JsonValue* object, std::string_view key, int32_t fallback) {
    return ReadInt(object, key, fallback);
}
inline uint32_t ReadValue(const JsonValue* object, std::string_view key, uint32_t fallback) {
    return static_cast<uint32_t>(ReadInt(object, key, static_cast<int32_t>(fallback)));
}
inline bool ReadValue(const JsonValue* object, std::string_view key, bool fallback) {
    return ReadFlag(object, key, fallback);
}
inline std::string ReadValue(const JsonValue* object, std::string_view key, const std::string& fallback) {
    return ReadText(object, key, fallback);
}

inline void WriteValue(JsonValue& object, std::string_view key, int32_t value) { WriteInt(object, key, value); }
inline void WriteValue(JsonValue& object, std::string_view key, uint32_t value) {
    WriteInt(object, key, static_cast<int32_t>(value));
}
inline void WriteValue(JsonValue& object, std::string_view key, bool value) { WriteFlag(object, key, value); }
inline void WriteValue(JsonValue& object, std::string_view key, std::string_view value) {
    WriteText(object, key, value);
}

// Reads every plain field of `record` from `object`; a missing key (or a
// value of another kind) keeps the value the record holds.
template <class Record>
void ReadStoredFields(const JsonValue* object, Record& record) {
    ForEachStoredField<Record>([&](const auto& field) {
        auto& value = record.*field.member;
        value = ReadValue(object, field.key, value);
        if (field.limit) value = field.limit(value);
    });
}

// Writes every plain field of `record` whose condition holds, in table order.
template <class Record>
void WriteStoredFields(JsonValue& object, const Record& record) {
    ForEachStoredField<Record>([&](const auto& field) {
        if (field.writtenWhen && !field.writtenWhen(record)) return;
        WriteValue(object, field.key, record.*field.member);
    });
}

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
