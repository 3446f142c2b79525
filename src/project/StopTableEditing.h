// Edits the stop table window makes to stop tables that do not depend on a
// window: the stops a user can choose, adding a stop, which trips depart at a
// table's stops, the selection of trips with the automatic same way found by
// the trips' tails, and the "one document per stop" switch shared by tables
// of the same stops.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "project/Project.h"

namespace tak {

// One station per distinct stop id of all trips, ordered by name and, for
// equal names, by id.
std::vector<const TripStation*> StopChoices(const MapData& map);

// Appends the station unless the table lists its stop id already; an
// unnamed table takes the stop's name. False when nothing was added.
bool AddStopTableStop(StopTable& table, const TripStation& station);

// Whether the trip departs at one of the table's stops: a station other than
// its last has one of their ids.
bool DepartsAtTableStops(const StopTable& table, const Trip& trip);

// The stop ids from the trip's last station at one of the table's stops
// (its final station does not count) to its final station; empty when the
// trip has no such station.
std::vector<int32_t> TripTail(const StopTable& table, const Trip& trip);

// Makes the checked trips the table's selection. A checked trip without an
// entry gets one, referring to the first selected trip's entry with the same
// tail when there is one. Entries of unchecked trips stay (with their
// footnotes) until the next save; references to them are cleared.
void SelectStopTableTrips(StopTable& table, const std::vector<const Trip*>& checked);

// Sets "SameInOne" of the table and of every other table sharing a stop id
// with it.
void SetSameStopInOne(std::vector<StopTable>& tables, std::size_t index, bool on);

// The template new tables start from when none is selected: no break hour,
// no merged rows, the default day rows.
StopTable NewStopTableTemplate(const LanguageTable& language);

// A new unnamed table with the break hour, the merge switch and the day rows
// of `model`.
StopTable InheritStopTable(const StopTable& model);

}  // namespace tak
