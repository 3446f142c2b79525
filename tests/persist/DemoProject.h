// The project of the demo map (examples/DemoMap loaded without a date), built
// with the project's own operations. examples/output/DemoMap.cfg is this
// project as saved; ProjectDemoTest checks that the two agree.
#pragma once

#include <string>
#include <vector>

#include "project/Project.h"

namespace tak::test {

namespace demo {

inline const Trip& TripNamed(MapData& map, std::string_view name) { return *map.FindTrip(name); }

inline std::vector<TableDay> WeekDayRows() {
    return {{"Montag - Freitag", 0x31F}, {"Samstag", 0x320}, {"Sonn- und Feiertag", 0x3C0}};
}

// One row per station of the trip: departures, the last row arrivals.
inline std::vector<PlanStop> RowsOf(const Trip& trip) {
    std::vector<PlanStop> rows;
    for (const auto& station : trip.stations) rows.push_back({&station, station.name, kRowDeparture});
    if (!rows.empty()) rows.back().flags = kRowArrival;
    return rows;
}

inline void AddTimetables(Project& project, MapData& map, RouteSpiderKey spider) {
    TimeTablePlan& line1 = project.timeTablePlans.emplace_back();
    line1.name = "Linie 1 Hauptbahnhof - S\xC3\xBC" "dbahnhof";
    line1.line = "1";
    line1.mergeIterColumn = true;
    line1.routeSpider = spider;
    line1.trips = {&TripNamed(map, "1_Hbf-Suedbf"), &TripNamed(map, "1_Hbf-Stadtbad")};
    line1.days = WeekDayRows();
    line1.stops = RowsOf(TripNamed(map, "1_Hbf-Suedbf"));
    line1.stops[3].flags = kRowArrival | kRowDeparture;  // the rush-hour stand at Marktplatz

    TimeTablePlan& line3 = project.timeTablePlans.emplace_back();
    line3.name = "Linie 3 Gewerbegebiet Ost - Hauptbahnhof";
    line3.headline = "Linie 3: Gewerbegebiet Ost - \xC3\x96lm\xC3\xBChle - Hauptbahnhof";
    line3.line = "3";
    line3.displayTour = true;
    line3.breakHour = 3;
    line3.trips = {&TripNamed(map, "3_GewerbegebietOst-Hbf")};
    line3.days = {{"Montag - Freitag", 0x31F}, {"Samstag", 0x320}};
    line3.stops = RowsOf(TripNamed(map, "3_GewerbegebietOst-Hbf"));
}

inline void AddTourPlan(Project& project, MapData& map) {
    TourPlan plan;
    plan.name = "1";
    plan.line = map.FindLine("1");
    plan.headline = "Dienstplan Linie 1";
    plan.displayLine = plan.displayIbis = plan.displayTarget = true;
    plan.displayOutIns = plan.displayPause = true;
    for (const char* tour : {"1-03", "1-04", "1-06"}) plan.tours[tour] = FindTour(*map.FindLine("1"), tour);
    struct Entry {
        const char* trip;
        bool outward;
        bool notInService;
        bool deactivate;
        const char* ibis;
        const char* target;
    };
    const Entry entries[] = {
        {"1_Betriebshof-Hbf", false, true, false, "", ""},
        {"1_Hbf-Suedbf", true, false, false, "101", "S\xC3\xBC" "dbahnhof"},
        {"1_Suedbf-Hbf", false, false, false, "110", "Hauptbahnhof"},
        {"1_Hbf-Stadtbad", true, false, false, "108", "Stadtbad"},
        {"1_Stadtbad-Hbf", false, false, true, "110", "Hauptbahnhof"},
        {"1_Hbf-Betriebshof", true, true, false, "", ""},
        {"1_Suedbf-Betriebshof", false, true, false, "", ""},
    };
    for (const Entry& entry : entries) {
        const Trip& trip = TripNamed(map, entry.trip);
        plan.trips.push_back({&trip, entry.notInService, entry.deactivate, entry.ibis, entry.target});
        (entry.outward ? plan.outward : plan.returning).insert(trip.name);
    }
    plan.stopsOut = RowsOf(TripNamed(map, "1_Hbf-Suedbf"));
    plan.stopsRet = RowsOf(TripNamed(map, "1_Suedbf-Hbf"));
    project.tourPlans.emplace(plan.name, std::move(plan));
}

inline void AddStopTables(Project& project, MapData& map, RouteSpiderKey spider) {
    StopTable& markt = project.stopTables.emplace_back();
    markt.name = "Marktplatz";
    markt.headline = "Abfahrten Marktplatz";
    markt.routeSpider = spider;
    markt.stations = {map.FindStationByStopId(104)};
    markt.days = WeekDayRows();
    AddStopTableTrip(markt, TripNamed(map, "1_Hbf-Suedbf"));
    StopTableTrip& shortTurn = AddStopTableTrip(markt, TripNamed(map, "1_Hbf-Stadtbad"));
    shortTurn.alternative = true;
    shortTurn.footnote = "nur bis Stadtbad";
    StopTableTripKey toStation = AddStopTableTrip(markt, TripNamed(map, "1_Suedbf-Hbf")).key;
    AddStopTableTrip(markt, TripNamed(map, "1_Stadtbad-Hbf")).sameWay = toStation;
    StopTableTrip& line2 = AddStopTableTrip(markt, TripNamed(map, "2_Nordfriedhof-Klinikum"));
    line2.alternative = true;
    line2.footnote = "Linie 2 \xC3\xBC" "ber K\xC3\xB6nigstra\xC3\x9F" "e zum Klinikum";
    StopTableTripKey line2Key = line2.key;
    AddStopTableTrip(markt, TripNamed(map, "2_Schulzentrum-Klinikum")).sameWay = line2Key;
    for (const auto& entry : markt.trips) markt.selection.insert(entry.trip->name);

    StopTable& station = project.stopTables.emplace_back();
    station.name = "Hauptbahnhof";
    station.mergeRow = true;
    station.breakHour = 2;
    station.stations = {map.FindStationByStopId(101)};
    station.days = WeekDayRows();
    for (const char* trip : {"1_Hbf-Suedbf", "1_Hbf-Stadtbad", "3_Hbf-GewerbegebietOst"}) {
        AddStopTableTrip(station, TripNamed(map, trip));
        station.selection.insert(trip);
    }
}

// Main way line 1; alternative ways: line 3 branching off at Hauptbahnhof,
// and line 2 from Nordfriedhof joining at Marktplatz.
inline RouteSpiderKey AddSpider(Project& project, MapData& map) {
    RouteSpider& spider = AddRouteSpider(project.routeSpiders, "Linie 1");
    spider.displayTravel = kTravelOnTop;
    ImportTrip(spider, 0, TripNamed(map, "1_Hbf-Suedbf"));
    spider.ways.emplace_back();
    ImportTrip(spider, 1, TripNamed(map, "3_Hbf-GewerbegebietOst"));
    spider.ways.emplace_back();
    ImportTrip(spider, 2, TripNamed(map, "2_Nordfriedhof-Klinikum"));
    SpiderStop& hbf = spider.ways[0].stops.front();
    hbf.important = true;
    hbf.changes = "Linie 3\r\nRegionalbahn";
    SpiderStop& markt = spider.ways[0].stops[3];
    markt.important = true;
    markt.changes = "Linie 2";
    spider.ways[0].stops.back().important = true;
    return spider.key;
}

// A route map stop by exact name, made when missing.
inline RouteKey StopFor(RouteMap& routeMap, const std::string& name) {
    for (const auto& stop : routeMap.stops) {
        if (stop.name == name) return stop.key;
    }
    return AddRouteStop(routeMap, name).key;
}

inline void AddLineFromTrip(RouteMap& routeMap, RouteKey line, const Trip& trip) {
    RouteKey previous = kNoRouteKey;
    for (const auto& station : trip.stations) {
        RouteKey stop = StopFor(routeMap, station.name);
        if (previous != kNoRouteKey) AddConnection(routeMap, line, previous, stop);
        previous = stop;
    }
}

inline void FixStop(RouteMap& routeMap, const std::string& name, StopBox box) {
    RouteStop* stop = FindRouteStop(routeMap, StopFor(routeMap, name));
    stop->automatic = false;
    stop->stored = box;
}

inline void AddRouteMap(Project& project, MapData& map) {
    RouteMap& routeMap = project.routeMap;
    routeMap.format = kRouteMapPng;
    routeMap.height = 36;  // room above line 3 for its upright stop names
    RouteLine& one = AddRouteLine(routeMap, "1");
    one.colourIndex = 0;
    one.customColour = PackRgb(RouteColourTable()[0].rgb);
    one.textColour = one.arrowColour = RouteColourTable()[0].textColour;
    one.thickness = 5;
    one.autoNames = true;
    RouteKey oneKey = one.key;
    RouteKey twoKey = AddRouteLine(routeMap, "2").key;
    RouteLine& three = AddRouteLine(routeMap, "3");
    three.colourIndex = kCustomColour;
    three.customColour = PackRgb({0, 128, 128});
    three.textColour = three.arrowColour = kTextWhite;
    three.stroke = 1;
    RouteKey threeKey = three.key;
    AddLineFromTrip(routeMap, oneKey, TripNamed(map, "1_Hbf-Suedbf"));
    AddLineFromTrip(routeMap, twoKey, TripNamed(map, "2_Nordfriedhof-Klinikum"));
    AddLineFromTrip(routeMap, threeKey, TripNamed(map, "3_Hbf-GewerbegebietOst"));

    FixStop(routeMap, "Hauptbahnhof", {8, 7, 2, 0});
    FixStop(routeMap, "Marktplatz", {8, 17, 2, 0});
    FixStop(routeMap, "S\xC3\xBC" "dbahnhof", {8, 32, 1, 0});
    FixStop(routeMap, "Nordfriedhof", {1, 9, 0, 1});
    FixStop(routeMap, "Klinikum", {24, 29, 1, 0});
    FixStop(routeMap, "Gewerbegebiet Ost", {28, 7, 0, 1});
    RouteStop& hbf = *FindRouteStop(routeMap, StopFor(routeMap, "Hauptbahnhof"));
    // Placed by hand: the name left of the box, the two badges side by side
    // under it, clear of each other and of the stops nearby.
    hbf.labels = {{kLabelName, -94, 0, 0, kNoRouteKey, 0, false},
                  {kLabelLineFilled, -15, 14, 0, oneKey, 0, false},
                  {kLabelLineOutlined, 15, 14, 0, threeKey, 0, false}};
    RouteStop& ost = *FindRouteStop(routeMap, StopFor(routeMap, "Gewerbegebiet Ost"));
    ost.exit = true;
    ost.labels.push_back({kLabelArrow, 0, 0, 0, kNoRouteKey, 1, true});

    // The first connection of line 1 shows its direction.
    routeMap.connections.front().signs = {{kSignArrowOut, 0}};
    PrepareLoadedRouteMap(routeMap);
}

}  // namespace demo

inline Project BuildDemoProject(MapData& map) {
    Project project;
    RouteSpiderKey spider = demo::AddSpider(project, map);
    demo::AddTimetables(project, map, spider);
    demo::AddTourPlan(project, map);
    demo::AddStopTables(project, map, spider);
    demo::AddRouteMap(project, map);
    return project;
}

}  // namespace tak::test
