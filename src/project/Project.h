// The project: everything the user defines for one map (output options,
// timetable plans, tour plans, stop table plans, route spiders and the route
// map), held in memory. The project file (persist/ProjectFile.h) stores it.
//
// References into MapData (trips, stations, lines, tours) are plain const
// pointers. They are valid only for the MapData the project was loaded
// against: after every map load the project file is loaded again, which
// rebuilds them from names, stop ids and indices and silently drops whatever
// no longer resolves.
//
// References between records of the project are keys (see RouteSpider.h and
// RouteMap.h): a plan's route spider, a stop table trip's same-way entry. A
// key is never reused, so adding, removing or reordering entries can never
// make a reference point at the wrong record; a key whose record is gone
// reads as "none" and is not written.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/Text.h"
#include "mapdata/MapData.h"
#include "routemap/RouteMap.h"
#include "routespider/RouteSpider.h"

namespace tak {

// Output formats of documents.
constexpr int32_t kOutputText = 0;
constexpr int32_t kOutputPdf = 1;

// Member initialisers of the records below are the values the project file's
// reader gives a key the file lacks (see persist/ProjectFields.h).
struct OutputOpt {
    int32_t format = kOutputPdf;
    std::string fontName = "Arial";
    int32_t fontSize = 10;
    bool ttAllInOne = false;
    bool tpAllInOne = false;
    bool stAllInOne = false;
    // Printed on every page: from when the documents hold (empty: the date
    // the map was loaded for, else the day they are made) and whose service
    // they show (empty: none).
    std::string validFrom;
    std::string operatorName;
    bool operator==(const OutputOpt&) const = default;
};

// The options of a project that has no file (Helvetica), and the values a
// file gives a key it lacks (the member initialisers, Arial).
OutputOpt DefaultOutputOpt();
OutputOpt FileDefaultOutputOpt();

// Row options of a plan's stop row.
constexpr int32_t kRowArrival = 1;
constexpr int32_t kRowDeparture = 2;
constexpr int32_t kRowMerged = 4;  // merged into the row above, shares its slots

struct PlanStop {
    const TripStation* station = nullptr;  // first station with the stored stop id
    std::string name;                      // the text printed for the row
    int32_t flags = 0;
    // Stations compare by address: equal rows refer to the same loaded map.
    bool operator==(const PlanStop&) const = default;
};

struct TableDay {
    std::string name;
    ServiceDays days = 0;
    bool operator==(const TableDay&) const = default;
};

struct TimeTablePlan {
    std::string name;
    std::string headline;
    std::string line;  // line text as shown, not resolved
    bool autoLine = true;
    bool hideEmpty = true;
    bool hideBridge = true;
    bool displayLine = false;
    bool displayTour = false;
    bool displayNote = true;
    bool pageBreak = false;
    bool mergeIterColumn = false;
    int32_t breakHour = -1;
    RouteSpiderKey routeSpider = kNoSpider;
    std::vector<const Trip*> trips;
    std::vector<TableDay> days;
    std::vector<PlanStop> stops;
    bool operator==(const TimeTablePlan&) const = default;
};

struct TourPlanTrip {
    const Trip* trip = nullptr;
    bool notInService = false;
    bool deactivate = false;
    std::string ibis;    // destination code
    std::string target;  // destination text
    bool operator==(const TourPlanTrip&) const = default;
};

// The driver plans of one line. The direction of a trip is its name's
// membership in `outward` or `returning`.
struct TourPlan {
    std::string name;              // the line's name, also the plan's key
    const Line* line = nullptr;    // first line with exactly that name
    bool active = true;            // inactive plans stay in memory but are not saved
    std::string headline;
    bool hideEmpty = true;
    bool hideBridge = true;
    bool displayLine = false;
    bool displayIbis = false;
    bool displayTarget = false;
    bool displayOutIns = false;
    bool displayPause = false;
    bool pageBreak = false;
    std::map<std::string, const Tour*> tours;  // selected tours of the line, by name
    std::vector<TourPlanTrip> trips;
    std::set<std::string> outward;
    std::set<std::string> returning;
    std::vector<PlanStop> stopsOut;
    std::vector<PlanStop> stopsRet;
    bool operator==(const TourPlan&) const = default;
};

using StopTableTripKey = uint32_t;
constexpr StopTableTripKey kNoStopTableTrip = 0;

struct StopTableTrip {
    StopTableTripKey key = kNoStopTableTrip;
    const Trip* trip = nullptr;
    StopTableTripKey sameWay = kNoStopTableTrip;  // an entry of the same plan
    bool alternative = false;
    std::string footnote;
    bool operator==(const StopTableTrip&) const = default;
};

struct StopTable {
    std::string name;
    std::string headline;
    bool sameInOne = false;
    int32_t breakHour = -1;
    bool mergeRow = false;
    RouteSpiderKey routeSpider = kNoSpider;
    std::vector<const TripStation*> stations;
    std::vector<TableDay> days;
    std::vector<StopTableTrip> trips;
    std::set<std::string> selection;  // names of the selected trips; only they are saved
    StopTableTripKey nextTripKey = 1;
    bool operator==(const StopTable&) const = default;
};

// Appends an entry for `trip` with a fresh key.
StopTableTrip& AddStopTableTrip(StopTable& table, const Trip& trip);
// The entry with that key, or null.
const StopTableTrip* FindStopTableTrip(const StopTable& table, StopTableTripKey key);

// Before a save: walking the trips in order, an entry whose same-way entry
// stands later in the list gets that entry moved directly before itself, so
// that the reference can be resolved when the file is read again.
void OrderSameWayTargetsFirst(StopTable& table);

// Line names in the order people read line numbers ("2A", "5", "29C").
struct LineNameOrder {
    bool operator()(const std::string& a, const std::string& b) const { return NaturalLess(a, b); }
};

struct Project {
    OutputOpt outputOpt = DefaultOutputOpt();
    RouteSpiderList routeSpiders;
    std::vector<TimeTablePlan> timeTablePlans;
    std::map<std::string, TourPlan, LineNameOrder> tourPlans;  // keyed by line name
    std::vector<StopTable> stopTables;
    RouteMap routeMap;
    // Set when loading found a file that does not parse: the next save keeps
    // that file once as <name>.cfg.bak before replacing it.
    bool keepUnreadableFile = false;
};

}  // namespace tak
