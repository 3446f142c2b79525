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

void ReadLine(RouteMap& routeMap, const JsonValue* object) {
    RouteLine& line = AddRouteLine(routeMap, ReadText(object, "Name"));
    line.colourIndex = ReadInt(object, "ColorIndex", kAutomaticColour);
    line.customColour = ReadInt(object, "CustomColor", -1);
    line.textColour = ReadInt(object, "CustomTextColor", -1);
    line.arrowColour = ReadInt(object, "CustomArrowColor", kTextWhite);
    line.stroke = ReadInt(object, "Stroke", 0);
    line.thickness = ReadInt(object, "Thickness", 4);
    line.autoNames = ReadFlag(object, "TextAuto", true);
}

void WriteLine(JsonValue& object, const RouteLine& line) {
    WriteText(object, "Name", line.name);
    WriteInt(object, "ColorIndex", line.colourIndex);
    if (line.colourIndex == kCustomColour) WriteInt(object, "CustomColor", line.customColour);
    if (line.colourIndex != kAutomaticColour) {
        WriteInt(object, "CustomTextColor", line.textColour);
        WriteInt(object, "CustomArrowColor", line.arrowColour);
    }
    WriteInt(object, "Stroke", line.stroke);
    WriteInt(object, "Thickness", line.thickness);
    WriteFlag(object, "TextAuto", line.autoNames);
}

// --- Stops and labels -------------------------------------------------------------------

StopLabel ReadLabel(const JsonValue* object, const std::vector<RouteKey>& lineKeys) {
    StopLabel label;
    label.type = ReadInt(object, "Type", kLabelName);
    label.automatic = ReadFlag(object, "Auto", true);
    label.x = ReadInt(object, "X", 0);
    label.y = ReadInt(object, "Y", 0);
    label.angle = ReadInt(object, "Angle", 0);
    if (HasLineBadge(label.type)) label.line = KeyAt(lineKeys, ReadInt(object, "Line", -1));
    label.dir = ReadInt(object, "Dir", 0);
    return label;
}

void WriteLabel(JsonValue& object, const StopLabel& label, const RouteMap& routeMap) {
    WriteInt(object, "Type", label.type);
    WriteFlag(object, "Auto", label.automatic);
    if (!label.automatic) {
        WriteInt(object, "X", label.x);
        WriteInt(object, "Y", label.y);
        if (label.type == kLabelName) WriteInt(object, "Angle", label.angle);
    }
    int32_t line = PositionOf(routeMap.lines, label.line);
    if (HasLineBadge(label.type) && line >= 0) WriteInt(object, "Line", line);
    if (label.type == kLabelArrow) WriteInt(object, "Dir", label.dir);
}

// Before version 46 a stop had one name text with its own keys; it becomes
// one name label, and every label of such a file is marked as converted.
void ConvertOldStopText(RouteStop& stop, const JsonValue* object) {
    for (auto& label : stop.labels) label.legacy = true;
    if (ReadInt(object, "ShowText", 1) == 0) return;
    StopLabel& label = stop.labels.emplace_back();
    label.type = kLabelName;
    label.x = ReadInt(object, "TextX", 0);
    label.y = ReadInt(object, "TextY", 0);
    label.automatic = ReadFlag(object, "TextAuto", true);
    label.angle = ReadInt(object, "TextAngle", 0);
    label.legacy = true;
}

RouteKey ReadStop(RouteMap& routeMap, const JsonValue* object, const std::vector<RouteKey>& lineKeys,
                  int32_t version) {
    RouteStop& stop = routeMap.stops.emplace_back();
    stop.key = routeMap.nextKey++;
    stop.name = ReadText(object, "Name");
    stop.exit = ReadFlag(object, "Exit", false);
    stop.automatic = ReadFlag(object, "Auto", true);
    stop.stored.x = ReadInt(object, "X", -1);
    stop.stored.y = ReadInt(object, "Y", -1);
    stop.stored.width = ReadInt(object, "Width", 0);
    stop.stored.height = ReadInt(object, "Height", 1);
    const JsonValue* labels = ObjectGet(object, "Text");
    for (int32_t i = 0; i < std::max(ArraySize(labels), 0); ++i) {
        stop.labels.push_back(ReadLabel(ArrayGet(labels, i), lineKeys));
    }
    if (version <= kLastVersionWithStopTexts) ConvertOldStopText(stop, object);
    return stop.key;
}

void WriteStop(JsonValue& object, const RouteStop& stop, const RouteMap& routeMap) {
    WriteText(object, "Name", stop.name);
    WriteFlag(object, "Exit", stop.exit);
    WriteFlag(object, "Auto", stop.automatic);
    if (!stop.automatic) {
        WriteInt(object, "X", stop.stored.x);
        WriteInt(object, "Y", stop.stored.y);
        WriteInt(object, "Width", stop.stored.width);
        WriteInt(object, "Height", stop.stored.height);
    }
    JsonValue& labels = WriteArray(object, "Text");
    for (const auto& label : stop.labels) WriteLabel(AppendObject(labels), label, routeMap);
}

// --- Connections --------------------------------------------------------------------------

// "Stop0", "StopDir1" …: the key prefix followed by the end's number.
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
        const JsonValue* node = ArrayGet(nodes, i);
        connection.nodes.push_back(GridPoint{ReadInt(node, "X", -1), ReadInt(node, "Y", -1)});
    }
    const JsonValue* signs = ObjectGet(object, "Sign");
    for (int32_t i = 0; i < std::max(ArraySize(signs), 0); ++i) {
        const JsonValue* sign = ArrayGet(signs, i);
        connection.signs.push_back(Sign{ReadInt(sign, "Type", 0), ReadInt(sign, "Pos", 0)});
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
    for (const auto& node : connection.nodes) {
        JsonValue& point = AppendObject(nodes);
        WriteInt(point, "X", node.x);
        WriteInt(point, "Y", node.y);
    }
    JsonValue& signs = WriteArray(object, "Sign");
    for (const auto& sign : connection.signs) {
        JsonValue& mark = AppendObject(signs);
        WriteInt(mark, "Type", sign.type);
        WriteInt(mark, "Pos", sign.pos);
    }
}

}  // namespace

void ReadRouteMap(RouteMap& routeMap, const JsonValue* object, int32_t version) {
    routeMap.format = ReadInt(object, "Format", routeMap.format);
    routeMap.width = ReadInt(object, "Width", routeMap.width);
    routeMap.height = ReadInt(object, "Height", routeMap.height);
    routeMap.roundBox = ReadInt(object, "RoundBox", routeMap.roundBox);
    routeMap.allowDiag = ReadFlag(object, "AllowDiag", routeMap.allowDiag);

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
    WriteInt(*object, "Format", routeMap.format);
    WriteInt(*object, "Width", routeMap.width);
    WriteInt(*object, "Height", routeMap.height);
    WriteInt(*object, "RoundBox", routeMap.roundBox);
    WriteFlag(*object, "AllowDiag", routeMap.allowDiag);
    JsonValue& lines = WriteArray(*object, "Line");
    for (const auto& line : routeMap.lines) WriteLine(AppendObject(lines), line);
    JsonValue& stops = WriteArray(*object, "Stop");
    for (const auto& stop : routeMap.stops) WriteStop(AppendObject(stops), stop, routeMap);
    JsonValue& connections = WriteArray(*object, "Connect");
    for (const auto& connection : routeMap.connections) {
        WriteConnection(AppendObject(connections), connection, routeMap);
    }
    ObjectSet(&root, "RouteMap", std::move(object));
}

}  // namespace tak::project
