// Stored form of the route map: its settings, lines, stops with their labels,
// and connections. References between them are stored as positions in the
// written arrays and become keys when read.
#include <algorithm>

#include "persist/ProjectRecords.h"

namespace tak::project {

namespace {

// Positions as read ↔ keys. A position outside the array reads as none.
RouteKey KeyAt(const std::vector<RouteKey>& keys, int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= keys.size()) return kNoRouteKey;
    return keys[static_cast<std::size_t>(index)];
}

template <typename Record>
int32_t PositionOf(const std::vector<Record>& records, RouteKey key) {
    if (key == kNoRouteKey) return -1;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].key == key) return static_cast<int32_t>(i);
    }
    return -1;
}

bool HasLineBadge(int32_t type) { return type == kLabelLineFilled || type == kLabelLineOutlined; }

// --- Lines ---------------------------------------------------------------------------

// Not AddRouteLine: a new line of the editor has other defaults than a line
// read from a file that lacks keys.
void ReadLine(RouteMap& routeMap, const JsonValue* object) {
    RouteLine& line = routeMap.lines.emplace_back();
    line.key = routeMap.nextKey++;
    ReadStoredFields(object, line);
}

// --- Stops and labels -------------------------------------------------------------------

StopLabel ReadLabel(const JsonValue* object, const std::vector<RouteKey>& lineKeys) {
    StopLabel label;
    ReadStoredFields(object, label);
    if (HasLineBadge(label.type)) label.line = KeyAt(lineKeys, ReadInt(object, "Line", -1));
    return label;
}

void WriteLabel(JsonValue& object, const StopLabel& label, const RouteMap& routeMap) {
    WriteStoredFields(object, label);
    int32_t line = PositionOf(routeMap.lines, label.line);
    if (HasLineBadge(label.type) && line >= 0) WriteInt(object, "Line", line);
}

// Before version 46 a stop had one name text with its own keys; it becomes
// one name label. Its offset, like that of every label of such a file, still
// counts from the box's corner until the reader has moved it.
void ConvertOldStopText(RouteStop& stop, const JsonValue* object) {
    if (ReadInt(object, "ShowText", 1) == 0) return;
    StopLabel& label = stop.labels.emplace_back();
    label.type = kLabelName;
    label.x = ReadInt(object, "TextX", 0);
    label.y = ReadInt(object, "TextY", 0);
    label.automatic = ReadFlag(object, "TextAuto", true);
    label.angle = ReadInt(object, "TextAngle", 0);
}

RouteKey ReadStop(RouteMap& routeMap, const JsonValue* object, const std::vector<RouteKey>& lineKeys,
                  int32_t version) {
    RouteStop& stop = routeMap.stops.emplace_back();
    stop.key = routeMap.nextKey++;
    ReadStoredFields(object, stop);
    ReadStoredFields(object, stop.stored);
    const JsonValue* labels = ObjectGet(object, "Text");
    for (int32_t i = 0; i < std::max(ArraySize(labels), 0); ++i) {
        stop.labels.push_back(ReadLabel(ArrayGet(labels, i), lineKeys));
    }
    if (version <= kLastVersionWithStopTexts) ConvertOldStopText(stop, object);
    return stop.key;
}

void WriteStop(JsonValue& object, const RouteStop& stop, const RouteMap& routeMap) {
    WriteStoredFields(object, stop);
    if (!stop.automatic) WriteStoredFields(object, stop.stored);  // the layout places the others
    JsonValue& labels = WriteArray(object, "Text");
    for (const auto& label : stop.labels) WriteLabel(AppendObject(labels), label, routeMap);
}

// --- Connections --------------------------------------------------------------------------

// "Stop0", "StopDir1" …: the key prefix followed by the end's number. These
// keys are formed, and the stop is a position, so the ends are read and
// written here rather than from a field table.
std::string EndKey(std::string_view prefix, std::size_t end) { return std::string(prefix) + std::to_string(end); }

void ReadConnection(RouteMap& routeMap, const JsonValue* object, const std::vector<RouteKey>& lineKeys,
                    const std::vector<RouteKey>& stopKeys) {
    Connection& connection = routeMap.connections.emplace_back();
    connection.key = routeMap.nextKey++;
    connection.line = KeyAt(lineKeys, ReadInt(object, "Line", -1));
    for (std::size_t e = 0; e < 2; ++e) {
        connection.end[e].stop = KeyAt(stopKeys, ReadInt(object, EndKey("Stop", e), -1));
        connection.end[e].side = ReadInt(object, EndKey("StopDir", e), -1);
        connection.end[e].port = ReadInt(object, EndKey("StopPos", e), -1);
    }
    const JsonValue* nodes = ObjectGet(object, "Node");
    for (int32_t i = 0; i < std::max(ArraySize(nodes), 0); ++i) {
        ReadStoredFields(ArrayGet(nodes, i), connection.nodes.emplace_back());
    }
    const JsonValue* signs = ObjectGet(object, "Sign");
    for (int32_t i = 0; i < std::max(ArraySize(signs), 0); ++i) {
        ReadStoredFields(ArrayGet(signs, i), connection.signs.emplace_back());
    }
}

void WriteConnection(JsonValue& object, const Connection& connection, const RouteMap& routeMap) {
    WriteInt(object, "Line", PositionOf(routeMap.lines, connection.line));
    for (std::size_t e = 0; e < 2; ++e) {
        int32_t stop = PositionOf(routeMap.stops, connection.end[e].stop);
        if (stop < 0) continue;
        WriteInt(object, EndKey("Stop", e), stop);
        WriteInt(object, EndKey("StopDir", e), connection.end[e].side);
        WriteInt(object, EndKey("StopPos", e), connection.end[e].port);
    }
    JsonValue& nodes = WriteArray(object, "Node");
    for (const auto& node : connection.nodes) WriteStoredFields(AppendObject(nodes), node);
    JsonValue& signs = WriteArray(object, "Sign");
    for (const auto& sign : connection.signs) WriteStoredFields(AppendObject(signs), sign);
}

}  // namespace

void ReadRouteMap(RouteMap& routeMap, const JsonValue* object, int32_t version) {
    ReadStoredFields(object, routeMap);

    std::vector<RouteKey> lineKeys;
    const JsonValue* lines = ObjectGet(object, "Line");
    for (int32_t i = 0; i < std::max(ArraySize(lines), 0); ++i) {
        ReadLine(routeMap, ArrayGet(lines, i));
        lineKeys.push_back(routeMap.lines.back().key);
    }
    std::vector<RouteKey> stopKeys;
    const JsonValue* stops = ObjectGet(object, "Stop");
    for (int32_t i = 0; i < std::max(ArraySize(stops), 0); ++i) {
        stopKeys.push_back(ReadStop(routeMap, ArrayGet(stops, i), lineKeys, version));
    }
    const JsonValue* connections = ObjectGet(object, "Connect");
    for (int32_t i = 0; i < std::max(ArraySize(connections), 0); ++i) {
        ReadConnection(routeMap, ArrayGet(connections, i), lineKeys, stopKeys);
    }
}

void WriteRouteMap(JsonValue& root, const RouteMap& routeMap) {
    JsonPtr object = NewObject();
    WriteStoredFields(*object, routeMap);
    JsonValue& lines = WriteArray(*object, "Line");
    for (const auto& line : routeMap.lines) WriteStoredFields(AppendObject(lines), line);
    JsonValue& stops = WriteArray(*object, "Stop");
    for (const auto& stop : routeMap.stops) WriteStop(AppendObject(stops), stop, routeMap);
    JsonValue& connections = WriteArray(*object, "Connect");
    for (const auto& connection : routeMap.connections) {
        WriteConnection(AppendObject(connections), connection, routeMap);
    }
    ObjectSet(&root, "RouteMap", std::move(object));
}

}  // namespace tak::project
