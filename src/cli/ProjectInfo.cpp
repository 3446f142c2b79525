#include "cli/ProjectInfo.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/FileSystem.h"
#include "cli/CliText.h"
#include "persist/ProjectFields.h"

namespace tak::cli {

namespace {

// --- Shared pieces ------------------------------------------------------------------

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

std::string HexDays(ServiceDays days) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", static_cast<unsigned>(days));
    return text;
}

std::string SpiderName(const Project& project, RouteSpiderKey key) {
    const RouteSpider* spider = FindRouteSpider(project.routeSpiders, key);
    return spider ? spider->name : "";
}

std::string FormatName(int32_t format) {
    switch (format) {
        case kRouteMapPdf: return "PDF";
        case kRouteMapPng: return "PNG";
        default: return "-";
    }
}

// The stop a way point refers to, as "name (id)".
std::string WayPointText(const RouteSpider& spider, SpiderStopKey key) {
    const SpiderStop* stop = FindSpiderStop(spider, key);
    if (!stop) return "";
    return stop->name + " (" + std::to_string(stop->station->id) + ")";
}

std::string RouteStopName(const RouteMap& map, RouteKey key) {
    const RouteStop* stop = FindRouteStop(map, key);
    return stop ? stop->name : "-";
}

std::string RouteLineName(const RouteMap& map, RouteKey key) {
    const RouteLine* line = FindRouteLine(map, key);
    return line ? line->name : "-";
}

// --- Text -------------------------------------------------------------------------------

std::string DaysText(const std::vector<TableDay>& days) {
    std::vector<std::string> parts;
    for (const auto& day : days) parts.push_back(day.name + " (" + HexDays(day.days) + ")");
    return Join(parts, "; ");
}

std::string StopsText(const std::vector<PlanStop>& stops) {
    std::vector<std::string> parts;
    for (const auto& stop : stops) {
        parts.push_back(stop.name + " (" + std::to_string(stop.station->id) + ", " + std::to_string(stop.flags) + ")");
    }
    return Join(parts, "; ");
}

void PrintLine(const char* indent, const std::string& label, const std::string& text) {
    std::printf("%s%s: %s\n", indent, VisibleText(label).c_str(), VisibleText(text).c_str());
}

void PrintTimeTablePlans(const ProjectView& view) {
    const LanguageTable& lang = view.lang;
    std::printf("\n%s:\n", VisibleText(lang.Lang("WinTimeTable")).c_str());
    if (view.project.timeTablePlans.empty()) std::printf("  %s\n", VisibleText(lang.Lang("InfoNone")).c_str());
    for (const auto& plan : view.project.timeTablePlans) {
        std::string spider = SpiderName(view.project, plan.routeSpider);
        std::printf("  %s%s%s\n", VisibleText(plan.name).c_str(),
                    spider.empty() ? "" : VisibleText("  [" + lang.Lang("RouteSpider") + ": " + spider + "]").c_str(),
                    plan.mergeIterColumn ? VisibleText("  [" + lang.Lang("MergeIterColumn") + "]").c_str() : "");
        std::vector<std::string> trips;
        for (const Trip* trip : plan.trips) trips.push_back(trip->name);
        PrintLine("    ", lang.Lang("Trips"), Join(trips, ", "));
        PrintLine("    ", lang.Lang("Days"), DaysText(plan.days));
        PrintLine("    ", lang.Lang("Stops"), StopsText(plan.stops));
    }
}

std::string TourTripText(const LanguageTable& lang, const TourPlanTrip& entry) {
    std::string text = entry.trip->name;
    if (!entry.ibis.empty() || !entry.target.empty()) text += " \"" + entry.ibis + " " + entry.target + "\"";
    if (entry.notInService) text += " [" + lang.Lang("NotInService") + "]";
    if (entry.deactivate) text += " [" + lang.Lang("Deactivate") + "]";
    return text;
}

void PrintTourPlans(const ProjectView& view) {
    const LanguageTable& lang = view.lang;
    std::printf("\n%s:\n", VisibleText(lang.Lang("WinTourPlan")).c_str());
    if (view.project.tourPlans.empty()) std::printf("  %s\n", VisibleText(lang.Lang("InfoNone")).c_str());
    for (const auto& [key, plan] : view.project.tourPlans) {
        std::vector<std::string> tours;
        for (const auto& [name, tour] : plan.tours) tours.push_back(name);
        std::printf("  %s: %s\n", VisibleText(key).c_str(), VisibleText(Join(tours, ", ")).c_str());
        std::vector<std::string> outward;
        std::vector<std::string> back;
        for (const auto& entry : plan.trips) {
            (plan.outward.contains(entry.trip->name) ? outward : back).push_back(TourTripText(lang, entry));
        }
        PrintLine("    ", lang.Lang("OutwardRun"), Join(outward, "; "));
        PrintLine("    ", lang.Lang("ReturnRun"), Join(back, "; "));
        PrintLine("    ", lang.Lang("Stops") + " (" + lang.Lang("OutwardRun") + ")", StopsText(plan.stopsOut));
        PrintLine("    ", lang.Lang("Stops") + " (" + lang.Lang("ReturnRun") + ")", StopsText(plan.stopsRet));
    }
}

void PrintStopTables(const ProjectView& view) {
    const LanguageTable& lang = view.lang;
    std::printf("\n%s:\n", VisibleText(lang.Lang("WinStopTable")).c_str());
    if (view.project.stopTables.empty()) std::printf("  %s\n", VisibleText(lang.Lang("InfoNone")).c_str());
    for (const auto& table : view.project.stopTables) {
        std::string spider = SpiderName(view.project, table.routeSpider);
        std::printf("  %s%s%s\n", VisibleText(table.name).c_str(),
                    spider.empty() ? "" : VisibleText("  [" + lang.Lang("RouteSpider") + ": " + spider + "]").c_str(),
                    table.mergeRow ? VisibleText("  [" + lang.Lang("MergeRow") + "]").c_str() : "");
        std::vector<std::string> stations;
        for (const TripStation* station : table.stations) {
            stations.push_back(station->name + " (" + std::to_string(station->id) + ")");
        }
        PrintLine("    ", lang.Lang("Stops"), Join(stations, "; "));
        PrintLine("    ", lang.Lang("Days"), DaysText(table.days));
        std::vector<std::string> trips;
        for (const auto& entry : table.trips) {
            std::string text = entry.trip->name;
            if (const StopTableTrip* same = FindStopTableTrip(table, entry.sameWay)) {
                text += " [" + lang.Lang("SameWay") + ": " + same->trip->name + "]";
            } else if (entry.alternative) {
                text += " [" + lang.Lang("AlterWayFoot") + ": " + entry.footnote + "]";
            }
            trips.push_back(text);
        }
        PrintLine("    ", lang.Lang("Trips"), Join(trips, "; "));
    }
}

void PrintRouteSpiders(const ProjectView& view) {
    const LanguageTable& lang = view.lang;
    std::printf("\n%s:\n", VisibleText(lang.Lang("WinRouteSpider")).c_str());
    if (view.project.routeSpiders.spiders.empty()) std::printf("  %s\n", VisibleText(lang.Lang("InfoNone")).c_str());
    for (const auto& spider : view.project.routeSpiders.spiders) {
        std::printf("  %s\n", VisibleText(spider.name).c_str());
        for (std::size_t w = 0; w < spider.ways.size(); ++w) {
            const SpiderWay& way = spider.ways[w];
            std::string label = w == 0 ? lang.Lang("MainWay") : lang.Lang("AlterWay") + " " + std::to_string(w);
            std::vector<std::string> links;
            if (way.begin) links.push_back(lang.Lang("BeginWay") + " " + WayPointText(spider, way.begin));
            if (way.end) links.push_back(lang.Lang("EndWay") + " " + WayPointText(spider, way.end));
            if (!links.empty()) label += " (" + Join(links, ", ") + ")";
            std::vector<std::string> stops;
            for (const auto& stop : way.stops) {
                stops.push_back(stop.name + " +" + std::to_string(stop.travelTime) + (stop.important ? " *" : ""));
            }
            PrintLine("    ", label, Join(stops, ", "));
        }
    }
}

void PrintRouteMap(const ProjectView& view) {
    const LanguageTable& lang = view.lang;
    const RouteMap& map = view.project.routeMap;
    std::printf("\n%s: %d x %d, %s\n", VisibleText(lang.Lang("WinRouteMap")).c_str(), map.width, map.height,
                VisibleText(FormatName(map.format)).c_str());
    // A list the map has nothing in reads "(none)", as the sections above do.
    const auto printList = [&lang](const char* label, const std::vector<std::string>& items, const char* separator) {
        PrintLine("    ", lang.Lang(label), items.empty() ? lang.Lang("InfoNone") : Join(items, separator));
    };
    std::vector<std::string> lines;
    for (const auto& line : map.lines) lines.push_back(line.name);
    printList("Lines", lines, ", ");
    std::vector<std::string> stops;
    for (const auto& stop : map.stops) {
        stops.push_back(stop.automatic ? stop.name
                                       : stop.name + " (" + std::to_string(stop.stored.x) + "," +
                                             std::to_string(stop.stored.y) + ")");
    }
    printList("Stops", stops, ", ");
    std::vector<std::string> connections;
    for (const auto& c : map.connections) {
        connections.push_back(RouteLineName(map, c.line) + ": " + ConnectionCaption(map, lang, c));
    }
    printList("Connection", connections, "; ");
}

// --- JSON ---------------------------------------------------------------------------------

JsonPtr TextOrNull(const std::string& text) { return text.empty() ? NewNull() : NewString(text); }
JsonPtr Bool(bool value) { return value ? NewTrue() : NewFalse(); }

JsonPtr ValueJson(int32_t value) { return NewInteger(value); }
JsonPtr ValueJson(uint32_t value) { return NewInteger(static_cast<int32_t>(value)); }
JsonPtr ValueJson(bool value) { return Bool(value); }
JsonPtr ValueJson(const std::string& value) { return NewString(value); }

// Every plain stored field of `record` under its member's name, in the order
// of the project file. The plans themselves are shown as a summary of chosen
// fields, and a spider stop in the order of its members, so those are listed
// by hand.
template <class Record>
void AddStoredFields(JsonValue& object, const Record& record) {
    ForEachStoredField<Record>(
        [&](const auto& field) { ObjectSet(&object, field.name, ValueJson(record.*field.member)); });
}

JsonPtr DaysJson(const std::vector<TableDay>& days) {
    JsonPtr array = NewArray();
    for (const auto& day : days) {
        JsonPtr object = NewObject();
        AddStoredFields(*object, day);
        ArrayAppend(array.get(), std::move(object));
    }
    return array;
}

JsonPtr StopsJson(const std::vector<PlanStop>& stops) {
    JsonPtr array = NewArray();
    for (const auto& stop : stops) {
        JsonPtr object = NewObject();
        ObjectSet(object.get(), "id", NewInteger(stop.station->id));
        AddStoredFields(*object, stop);
        ArrayAppend(array.get(), std::move(object));
    }
    return array;
}

JsonPtr TimeTablePlansJson(const Project& project) {
    JsonPtr array = NewArray();
    for (const auto& plan : project.timeTablePlans) {
        JsonPtr o = NewObject();
        ObjectSet(o.get(), "name", NewString(plan.name));
        ObjectSet(o.get(), "headline", NewString(plan.headline));
        ObjectSet(o.get(), "line", NewString(plan.line));
        ObjectSet(o.get(), "routeSpider", TextOrNull(SpiderName(project, plan.routeSpider)));
        ObjectSet(o.get(), "mergeIterColumn", Bool(plan.mergeIterColumn));
        ObjectSet(o.get(), "breakHour", NewInteger(plan.breakHour));
        JsonPtr trips = NewArray();
        for (const Trip* trip : plan.trips) ArrayAppend(trips.get(), NewString(trip->name));
        ObjectSet(o.get(), "trips", std::move(trips));
        ObjectSet(o.get(), "days", DaysJson(plan.days));
        ObjectSet(o.get(), "stops", StopsJson(plan.stops));
        ArrayAppend(array.get(), std::move(o));
    }
    return array;
}

JsonPtr TourPlansJson(const Project& project) {
    JsonPtr array = NewArray();
    for (const auto& [key, plan] : project.tourPlans) {
        JsonPtr o = NewObject();
        ObjectSet(o.get(), "line", NewString(key));
        ObjectSet(o.get(), "lineFound", Bool(plan.line != nullptr));
        ObjectSet(o.get(), "headline", NewString(plan.headline));
        JsonPtr tours = NewArray();
        for (const auto& [name, tour] : plan.tours) ArrayAppend(tours.get(), NewString(name));
        ObjectSet(o.get(), "tours", std::move(tours));
        JsonPtr trips = NewArray();
        for (const auto& entry : plan.trips) {
            JsonPtr t = NewObject();
            ObjectSet(t.get(), "name", NewString(entry.trip->name));
            ObjectSet(t.get(), "outward", Bool(plan.outward.contains(entry.trip->name)));
            AddStoredFields(*t, entry);
            ArrayAppend(trips.get(), std::move(t));
        }
        ObjectSet(o.get(), "trips", std::move(trips));
        ObjectSet(o.get(), "stopsOut", StopsJson(plan.stopsOut));
        ObjectSet(o.get(), "stopsRet", StopsJson(plan.stopsRet));
        ArrayAppend(array.get(), std::move(o));
    }
    return array;
}

JsonPtr StopTablesJson(const Project& project) {
    JsonPtr array = NewArray();
    for (const auto& table : project.stopTables) {
        JsonPtr o = NewObject();
        ObjectSet(o.get(), "name", NewString(table.name));
        ObjectSet(o.get(), "headline", NewString(table.headline));
        ObjectSet(o.get(), "routeSpider", TextOrNull(SpiderName(project, table.routeSpider)));
        ObjectSet(o.get(), "mergeRow", Bool(table.mergeRow));
        ObjectSet(o.get(), "sameInOne", Bool(table.sameInOne));
        JsonPtr stations = NewArray();
        for (const TripStation* station : table.stations) ArrayAppend(stations.get(), NewInteger(station->id));
        ObjectSet(o.get(), "stations", std::move(stations));
        ObjectSet(o.get(), "days", DaysJson(table.days));
        JsonPtr trips = NewArray();
        for (const auto& entry : table.trips) {
            JsonPtr t = NewObject();
            ObjectSet(t.get(), "name", NewString(entry.trip->name));
            const StopTableTrip* same = FindStopTableTrip(table, entry.sameWay);
            ObjectSet(t.get(), "sameWay", same ? NewString(same->trip->name) : NewNull());
            AddStoredFields(*t, entry);
            ArrayAppend(trips.get(), std::move(t));
        }
        ObjectSet(o.get(), "trips", std::move(trips));
        ArrayAppend(array.get(), std::move(o));
    }
    return array;
}

JsonPtr WayPointJson(const RouteSpider& spider, SpiderStopKey key) {
    auto place = LocateSpiderStop(spider, key);
    if (!place) return NewNull();
    JsonPtr o = NewObject();
    ObjectSet(o.get(), "way", NewInteger(static_cast<int32_t>(place->way)));
    ObjectSet(o.get(), "stop", NewInteger(static_cast<int32_t>(place->stop)));
    ObjectSet(o.get(), "name", NewString(spider.ways[place->way].stops[place->stop].name));
    return o;
}

JsonPtr RouteSpidersJson(const Project& project) {
    JsonPtr array = NewArray();
    for (const auto& spider : project.routeSpiders.spiders) {
        JsonPtr o = NewObject();
        AddStoredFields(*o, spider);
        JsonPtr ways = NewArray();
        for (const auto& way : spider.ways) {
            JsonPtr w = NewObject();
            ObjectSet(w.get(), "begin", WayPointJson(spider, way.begin));
            ObjectSet(w.get(), "end", WayPointJson(spider, way.end));
            JsonPtr stops = NewArray();
            for (const auto& stop : way.stops) {
                JsonPtr s = NewObject();
                ObjectSet(s.get(), "id", NewInteger(stop.station->id));
                ObjectSet(s.get(), "name", NewString(stop.name));
                ObjectSet(s.get(), "travelTime", NewInteger(stop.travelTime));
                ObjectSet(s.get(), "important", Bool(stop.important));
                ObjectSet(s.get(), "changes", NewString(stop.changes));
                ArrayAppend(stops.get(), std::move(s));
            }
            ObjectSet(w.get(), "stops", std::move(stops));
            ArrayAppend(ways.get(), std::move(w));
        }
        ObjectSet(o.get(), "ways", std::move(ways));
        ArrayAppend(array.get(), std::move(o));
    }
    return array;
}

JsonPtr RouteMapJson(const RouteMap& map) {
    JsonPtr o = NewObject();
    AddStoredFields(*o, map);
    JsonPtr lines = NewArray();
    const std::vector<LineLook> looks = ResolveColours(map);
    for (std::size_t i = 0; i < map.lines.size(); ++i) {
        const RouteLine& line = map.lines[i];
        JsonPtr l = NewObject();
        ObjectSet(l.get(), "name", NewString(line.name));
        ObjectSet(l.get(), "colourIndex", NewInteger(line.colourIndex));
        ObjectSet(l.get(), "effColourIndex", NewInteger(looks[i].colourIndex));
        ArrayAppend(lines.get(), std::move(l));
    }
    ObjectSet(o.get(), "lines", std::move(lines));
    JsonPtr stops = NewArray();
    for (const auto& stop : map.stops) {
        JsonPtr s = NewObject();
        ObjectSet(s.get(), "name", NewString(stop.name));
        ObjectSet(s.get(), "auto", Bool(stop.automatic));
        ObjectSet(s.get(), "x", NewInteger(stop.stored.x));
        ObjectSet(s.get(), "y", NewInteger(stop.stored.y));
        ObjectSet(s.get(), "width", NewInteger(stop.stored.width));
        ObjectSet(s.get(), "height", NewInteger(stop.stored.height));
        ObjectSet(s.get(), "exit", Bool(stop.exit));
        ObjectSet(s.get(), "labels", NewInteger(static_cast<int32_t>(stop.labels.size())));
        ObjectSet(s.get(), "connections", NewInteger(static_cast<int32_t>(stop.connections.size())));
        ArrayAppend(stops.get(), std::move(s));
    }
    ObjectSet(o.get(), "stops", std::move(stops));
    JsonPtr connections = NewArray();
    for (const auto& c : map.connections) {
        JsonPtr j = NewObject();
        ObjectSet(j.get(), "line", NewString(RouteLineName(map, c.line)));
        ObjectSet(j.get(), "from", NewString(RouteStopName(map, c.end[0].stop)));
        ObjectSet(j.get(), "to", NewString(RouteStopName(map, c.end[1].stop)));
        ObjectSet(j.get(), "nodes", NewInteger(static_cast<int32_t>(c.nodes.size())));
        ArrayAppend(connections.get(), std::move(j));
    }
    ObjectSet(o.get(), "connections", std::move(connections));
    return o;
}

}  // namespace

void PrintProjectText(const ProjectView& view) {
    std::string status = view.load.parsed ? "" : " " + view.lang.Lang("InfoNone");
    std::printf("\n%s: %s%s\n", VisibleText(view.lang.Lang("InfoProject")).c_str(),
                VisibleText(FileNameText(view.file)).c_str(), VisibleText(status).c_str());
    PrintTimeTablePlans(view);
    PrintTourPlans(view);
    PrintStopTables(view);
    PrintRouteSpiders(view);
    PrintRouteMap(view);
}

void AddProjectJson(JsonValue& root, const ProjectView& view) {
    JsonPtr file = NewObject();
    ObjectSet(file.get(), "path", NewString(PathText(view.file)));
    ObjectSet(file.get(), "found", Bool(view.load.fileFound));
    ObjectSet(file.get(), "parsed", Bool(view.load.parsed));
    ObjectSet(file.get(), "version", view.load.parsed ? NewInteger(view.load.version) : NewNull());
    ObjectSet(&root, "projectFile", std::move(file));
    ObjectSet(&root, "timeTablePlans", TimeTablePlansJson(view.project));
    ObjectSet(&root, "tourPlans", TourPlansJson(view.project));
    ObjectSet(&root, "stopTables", StopTablesJson(view.project));
    ObjectSet(&root, "routeSpiders", RouteSpidersJson(view.project));
    ObjectSet(&root, "routeMap", RouteMapJson(view.project.routeMap));
}

}  // namespace tak::cli
