// Stored form of the output options and the three plan kinds: timetable
// plans, tour plans and stop table plans, with their stop and day rows.
#include <algorithm>

#include "persist/ProjectRecords.h"

namespace tak {

namespace project {

namespace {

// --- Stop rows and day rows -------------------------------------------------

void ReadPlanStops(std::vector<PlanStop>& rows, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        const JsonValue* object = ArrayGet(array, i);
        const TripStation* station = map.FindStationByStopId(ReadInt(object, "ID", 0));
        if (!station) continue;
        PlanStop& row = rows.emplace_back();
        row.station = station;
        row.name = station->name;  // what a row without a name of its own prints
        ReadStoredFields(object, row);
    }
}

void WritePlanStops(JsonValue& plan, std::string_view key, const std::vector<PlanStop>& rows) {
    JsonValue& array = WriteArray(plan, key);
    for (const auto& row : rows) {
        if (!row.station) continue;
        JsonValue& object = AppendObject(array);
        WriteInt(object, "ID", row.station->id);
        WriteStoredFields(object, row);
    }
}

void ReadTableDays(std::vector<TableDay>& days, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        ReadStoredFields(ArrayGet(array, i), days.emplace_back());
    }
}

void WriteTableDays(JsonValue& plan, const std::vector<TableDay>& days) {
    JsonValue& array = WriteArray(plan, "Days");
    for (const auto& day : days) WriteStoredFields(AppendObject(array), day);
}

// --- Route spider references ---------------------------------------------------

RouteSpiderKey ReadSpiderReference(const Project& project, const JsonValue* plan) {
    const JsonValue* name = ObjectGet(plan, "RouteSpider");
    if (!name || name->kind != JsonKind::String) return kNoSpider;
    const RouteSpider* spider = SpiderForPlan(project.routeSpiders, name->text);
    return spider ? spider->key : kNoSpider;
}

void WriteSpiderReference(JsonValue& plan, const Project& project, RouteSpiderKey key) {
    if (const RouteSpider* spider = FindRouteSpider(project.routeSpiders, key)) {
        WriteText(plan, "RouteSpider", spider->name);
    }
}

// --- Timetable plans ---------------------------------------------------------------

TimeTablePlan ReadTimeTablePlan(const Project& project, const MapData& map, const JsonValue* object) {
    TimeTablePlan plan;
    ReadStoredFields(object, plan);
    plan.routeSpider = ReadSpiderReference(project, object);
    const JsonValue* trips = ObjectGet(object, "Trip");
    for (int32_t i = 0; i < std::max(ArraySize(trips), 0); ++i) {
        const JsonValue* name = ArrayGet(trips, i);
        if (name->kind != JsonKind::String) continue;
        if (const Trip* trip = TripNamed(map, name->text)) plan.trips.push_back(trip);
    }
    ReadTableDays(plan.days, ObjectGet(object, "Days"));
    ReadPlanStops(plan.stops, map, ObjectGet(object, "Stop"));
    return plan;
}

void WriteTimeTablePlan(JsonValue& object, const Project& project, const TimeTablePlan& plan) {
    WriteStoredFields(object, plan);
    WriteSpiderReference(object, project, plan.routeSpider);
    JsonValue& trips = WriteArray(object, "Trip");
    for (const Trip* trip : plan.trips) {
        if (trip) ArrayAppend(&trips, NewString(trip->name));
    }
    WriteTableDays(object, plan.days);
    WritePlanStops(object, "Stop", plan.stops);
}

// --- Tour plans ------------------------------------------------------------------------

void ReadTourPlanTrips(TourPlan& plan, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        const JsonValue* object = ArrayGet(array, i);
        const Trip* trip = TripNamed(map, ReadText(object, "Name"));
        if (!trip) continue;
        TourPlanTrip& entry = plan.trips.emplace_back();
        entry.trip = trip;
        ReadStoredFields(object, entry);
        (ReadFlag(object, "IsOut", false) ? plan.outward : plan.returning).insert(trip->name);
    }
}

TourPlan ReadTourPlan(const MapData& map, const JsonValue* object) {
    TourPlan plan;
    plan.name = ReadText(object, "Name");
    plan.line = LineNamed(map, plan.name);
    plan.active = true;
    // Older files called the pause switch "DisplayWait"; "DisplayPause" wins.
    plan.displayPause = ReadFlag(object, "DisplayWait", plan.displayPause);
    ReadStoredFields(object, plan);
    const JsonValue* tours = ObjectGet(object, "Tour");
    for (int32_t i = 0; i < std::max(ArraySize(tours), 0); ++i) {
        const JsonValue* name = ArrayGet(tours, i);
        if (!plan.line || name->kind != JsonKind::String) continue;
        if (const Tour* tour = TourNamed(*plan.line, name->text)) plan.tours[tour->name] = tour;
    }
    ReadTourPlanTrips(plan, map, ObjectGet(object, "Trip"));
    ReadPlanStops(plan.stopsOut, map, ObjectGet(object, "StopOut"));
    ReadPlanStops(plan.stopsRet, map, ObjectGet(object, "StopRet"));
    return plan;
}

void WriteTourPlan(JsonValue& object, const TourPlan& plan, const std::string& key) {
    WriteText(object, "Name", key);
    WriteStoredFields(object, plan);
    JsonValue& tours = WriteArray(object, "Tour");
    for (const auto& [name, tour] : plan.tours) ArrayAppend(&tours, NewString(name));
    JsonValue& trips = WriteArray(object, "Trip");
    for (const auto& entry : plan.trips) {
        if (!entry.trip) continue;
        JsonValue& trip = AppendObject(trips);
        WriteText(trip, "Name", entry.trip->name);
        WriteFlag(trip, "IsOut", plan.outward.contains(entry.trip->name));
        WriteStoredFields(trip, entry);
    }
    WritePlanStops(object, "StopOut", plan.stopsOut);
    WritePlanStops(object, "StopRet", plan.stopsRet);
}

// --- Stop tables ---------------------------------------------------------------------------

void ReadStopTableTrips(StopTable& table, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        const JsonValue* object = ArrayGet(array, i);
        const Trip* trip = TripNamed(map, ReadText(object, "Name"));
        if (!trip) continue;
        StopTableTrip& entry = AddStopTableTrip(table, *trip);
        ReadStoredFields(object, entry);
        // Only entries read so far, this one included, can be the same way.
        std::string sameWay = ReadText(object, "SameWay");
        if (!sameWay.empty()) {
            auto target = std::find_if(table.trips.begin(), table.trips.end(),
                                       [&](const StopTableTrip& e) { return e.trip->name == sameWay; });
            if (target != table.trips.end()) entry.sameWay = target->key;
        }
        table.selection.insert(trip->name);
    }
}

StopTable ReadStopTable(const Project& project, const MapData& map, const JsonValue* object) {
    StopTable table;
    ReadStoredFields(object, table);
    table.routeSpider = ReadSpiderReference(project, object);
    const JsonValue* stations = ObjectGet(object, "Stations");
    for (int32_t i = 0; i < std::max(ArraySize(stations), 0); ++i) {
        const JsonValue* id = ArrayGet(stations, i);
        // Other tools write the id as "104.0".
        if (id->kind != JsonKind::Integer && id->kind != JsonKind::Number) continue;
        if (const TripStation* station = map.FindStationByStopId(GetInteger(id, 0))) table.stations.push_back(station);
    }
    ReadTableDays(table.days, ObjectGet(object, "Days"));
    ReadStopTableTrips(table, map, ObjectGet(object, "Trips"));
    return table;
}

void WriteStopTable(JsonValue& object, const Project& project, const StopTable& table) {
    WriteStoredFields(object, table);
    WriteSpiderReference(object, project, table.routeSpider);
    JsonValue& stations = WriteArray(object, "Stations");
    for (const TripStation* station : table.stations) {
        if (station) ArrayAppend(&stations, NewInteger(station->id));
    }
    WriteTableDays(object, table.days);
    JsonValue& trips = WriteArray(object, "Trips");
    for (const auto& entry : table.trips) {
        if (!entry.trip || !table.selection.contains(entry.trip->name)) continue;
        JsonValue& trip = AppendObject(trips);
        WriteText(trip, "Name", entry.trip->name);
        const StopTableTrip* sameWay = FindStopTableTrip(table, entry.sameWay);
        if (sameWay && sameWay->trip) {
            WriteText(trip, "SameWay", sameWay->trip->name);
            continue;
        }
        WriteStoredFields(trip, entry);
    }
}

}  // namespace

// --- Output options and the three plan arrays --------------------------------------------

OutputOpt ReadOutputOpt(const JsonValue* object) {
    OutputOpt options = FileDefaultOutputOpt();
    ReadStoredFields(object, options);
    return options;
}

void WriteOutputOpt(JsonValue& root, const OutputOpt& options) {
    JsonPtr object = NewObject();
    WriteStoredFields(*object, options);
    ObjectSet(&root, "OutputOpt", std::move(object));
}

void ReadTimeTablePlans(Project& project, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        project.timeTablePlans.push_back(ReadTimeTablePlan(project, map, ArrayGet(array, i)));
    }
}

void WriteTimeTablePlans(JsonValue& root, const Project& project) {
    JsonValue& array = WriteArray(root, "TimeTablePlan");
    for (const auto& plan : project.timeTablePlans) WriteTimeTablePlan(AppendObject(array), project, plan);
}

void ReadTourPlans(Project& project, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        TourPlan plan = ReadTourPlan(map, ArrayGet(array, i));
        std::string key = plan.name;
        project.tourPlans.insert_or_assign(std::move(key), std::move(plan));  // the later one wins
    }
}

void WriteTourPlans(JsonValue& root, const Project& project) {
    JsonValue& array = WriteArray(root, "TourPlan");
    for (const auto& [key, plan] : project.tourPlans) {
        if (plan.active) WriteTourPlan(AppendObject(array), plan, key);
    }
}

void ReadStopTables(Project& project, const MapData& map, const JsonValue* array) {
    for (int32_t i = 0; i < std::max(ArraySize(array), 0); ++i) {
        project.stopTables.push_back(ReadStopTable(project, map, ArrayGet(array, i)));
    }
}

void WriteStopTables(JsonValue& root, Project& project) {
    JsonValue& array = WriteArray(root, "StopTable");
    for (auto& table : project.stopTables) {
        OrderSameWayTargetsFirst(table);
        WriteStopTable(AppendObject(array), project, table);
    }
}

}  // namespace project
}  // namespace tak
