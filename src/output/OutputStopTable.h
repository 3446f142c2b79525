// Stop departure tables: the table posted at a stop, one block per day
// group, one line per hour with the departure minutes of every trip, letters
// for departures that run on fewer days or by another way, and their legend.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "output/OutputTimetableWriter.h"
#include "project/Project.h"

namespace tak {

class LanguageTable;

// Hours of one service day; times run past midnight into the next day.
constexpr int32_t kStopTableHours = 48;
constexpr int32_t kStopTableMinCapacity = 6;
constexpr int kNoLegendEntry = -1;

struct StopDeparture {
    int32_t time = 0;  // seconds of the service day
    const StopTableTrip* way = nullptr;  // the way group; null when the trip has no entry
    ServiceDays days = 0;
    int legend = kNoLegendEntry;  // index into StopTableData::legend
    std::size_t route = 0;        // index into StopTableData::routes
};

struct StopHour {
    int32_t mergeCount = 0;  // later hours printed on this hour's line
    bool mergedAway = false;  // printed on an earlier hour's line
    std::vector<StopDeparture> departures;  // in time order
};

struct StopDayColumn {
    const TableDay* day = nullptr;
    int32_t capacity = 0;  // departure slots of the widest hour
    std::array<StopHour, kStopTableHours> hours;
};

struct LegendEntry {
    std::string text;
    ServiceDays missing = 0;
    std::string letter;
    const StopTableTrip* way = nullptr;
};

// A line and the stop its trips end at: what a passenger at the stop must
// tell apart. With several in one table every departure carries the mark of
// its own, and the legend explains the marks.
struct StopRoute {
    std::string line;
    std::string destination;
    std::string mark;  // "A", "B", …; empty while the table holds one route
};

struct StopTableData {
    std::vector<StopDayColumn> columns;
    std::vector<LegendEntry> legend;
    std::vector<StopRoute> routes;  // by line, then destination
};

// The entry a trip's departures are grouped under: its own entry followed
// along its same-way links to the last one. Null when the trip has none.
const StopTableTrip* WayGroupOf(const StopTable& table, const Trip& trip);

// The letter of the n-th legend entry (0-based): a to z, then A to Z, then
// "#" for every further one.
std::string LegendLetter(std::size_t index);

// The mark of the n-th route (0-based): A to Z, then AA, AB, …
std::string RouteMark(std::size_t index);

// "Linie 5 → Südbahnhof".
std::string RouteText(const LanguageTable& lang, const StopRoute& route);

// Collects the departures, letters, capacities and (with "MergeRow") the
// hour groups of one plan.
StopTableData BuildStopTable(const StopTable& table, const MapData& map, const LanguageTable& lang);

struct StopTableWriteInput {
    const StopTableData& data;
    const StopTable& table;
    const LanguageTable& lang;
    const OutputOpt& options;
    const RouteSpiderList* spiders = nullptr;
    const DocumentStamp* stamp = nullptr;  // validity, operator and line colours
};

// "<Stop> <plan name><extension>"; empty when that could not be a file name.
std::string StopTableFileName(const LanguageTable& lang, const StopTable& table, std::string_view extension);

// What every page (and the text document) of the table starts with: the
// lines of its selected trips and where they go ("5 Südbahnhof" for each line
// when there are several).
PageHeading StopTableHeading(const StopTableWriteInput& input);

std::string StopTableText(const StopTableWriteInput& input);

// Adds the plan's pages to an open document.
void WriteStopTablePages(DocumentTarget& target, const StopTableWriteInput& input);

// Adds the plan to a begun document of either format.
void DrawStopTable(DocumentTarget& target, const StopTableWriteInput& input);

// Which plans share a document: each plan not yet placed starts one, and
// with "SameInOne" takes every later such plan that shares a stop with it.
std::vector<std::vector<std::size_t>> GroupStopTableDocuments(const std::vector<StopTable>& tables);

}  // namespace tak
