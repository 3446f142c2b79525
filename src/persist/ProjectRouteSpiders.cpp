// Stored form of the route spiders: spiders, their ways with branch and join
// points given as way and stop positions, and their stops.
#include <algorithm>

#include "persist/ProjectRecords.h"

namespace tak::project {

namespace {

// Interchange notes keep their line breaks as the two characters backslash
// and n, so that the stored text stays on one line.
std::string ChangesFromStored(std::string_view stored) {
    std::string text;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == 'n') {
            text += "\r\n";
            ++i;
        } else {
            text += stored[i];
        }
    }
    return text;
}

std::string ChangesToStored(std::string_view text) {
    std::string stored;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            stored += "\\n";
            ++i;
        } else {
            stored += text[i];
        }
    }
    return stored;
}

// The stop at (way, index) among the ways read before the current one, or none.
SpiderStopKey ResolveWayPoint(const RouteSpider& spider, std::size_t currentWay, int32_t way, int32_t index) {
    if (way < 0 || index < 0 || static_cast<std::size_t>(way) >= currentWay) return kNoSpiderStop;
    const auto& stops = spider.ways[static_cast<std::size_t>(way)].stops;
    if (static_cast<std::size_t>(index) >= stops.size()) return kNoSpiderStop;
    return stops[static_cast<std::size_t>(index)].key;
}

void ReadSpiderStops(RouteSpider& spider, std::size_t way, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        const JsonValue* object = ArrayGet(array, i);
        const TripStation* station = map.FindStationByStopId(ReadInt(object, "ID", 0));
        if (!station) continue;
        SpiderStop* stop = AddSpiderStop(spider, way, *station);
        // A stored stop without a name has none; only a new stop of the
        // editor takes its station's name.
        stop->name.clear();
        ReadStoredFields(object, *stop);
        stop->changes = ChangesFromStored(ReadText(object, "Changes"));
    }
}

void ReadSpider(RouteSpiderList& list, const MapData& map, const JsonValue* object) {
    RouteSpider& spider = AddRouteSpider(list, "", false);
    ReadStoredFields(object, spider);
    const JsonValue* ways = ObjectGet(object, "Way");
    for (int32_t w = 0; w < std::max(ArraySize(ways), 0); ++w) {
        const JsonValue* wayObject = ArrayGet(ways, w);
        std::size_t way = spider.ways.size();
        SpiderWay& added = spider.ways.emplace_back();
        // Branch and join points can only lie on ways that come earlier.
        added.begin = ResolveWayPoint(spider, way, ReadInt(wayObject, "BeginWay", -1),
                                      ReadInt(wayObject, "BeginIndex", -1));
        added.end = ResolveWayPoint(spider, way, ReadInt(wayObject, "EndWay", -1),
                                    ReadInt(wayObject, "EndIndex", -1));
        ReadSpiderStops(spider, way, map, ObjectGet(wayObject, "Stop"));
    }
}

void WriteWayPoint(JsonValue& object, const RouteSpider& spider, SpiderStopKey key, std::string_view wayKey,
                   std::string_view indexKey) {
    auto place = LocateSpiderStop(spider, key);
    if (!place) return;
    WriteInt(object, wayKey, static_cast<int32_t>(place->way));
    WriteInt(object, indexKey, static_cast<int32_t>(place->stop));
}

void WriteSpider(JsonValue& object, const RouteSpider& spider) {
    WriteStoredFields(object, spider);
    JsonValue& ways = WriteArray(object, "Way");
    for (const auto& way : spider.ways) {
        JsonValue& wayObject = AppendObject(ways);
        WriteWayPoint(wayObject, spider, way.begin, "BeginWay", "BeginIndex");
        WriteWayPoint(wayObject, spider, way.end, "EndWay", "EndIndex");
        JsonValue& stops = WriteArray(wayObject, "Stop");
        for (const auto& stop : way.stops) {
            if (!stop.station) continue;
            JsonValue& stopObject = AppendObject(stops);
            WriteInt(stopObject, "ID", stop.station->id);
            WriteStoredFields(stopObject, stop);
            WriteText(stopObject, "Changes", ChangesToStored(stop.changes));
        }
    }
}

}  // namespace

void ReadRouteSpiderArray(RouteSpiderList& list, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) ReadSpider(list, map, ArrayGet(array, i));
}

void WriteRouteSpiderArray(JsonValue& root, const RouteSpiderList& list) {
    JsonValue& array = WriteArray(root, "RouteSpider");
    for (const auto& spider : list.spiders) WriteSpider(AppendObject(array), spider);
}

}  // namespace tak::project
