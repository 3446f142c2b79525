// Edits the plan windows make to plan records that do not depend on a window:
// the stop candidates of a plan's trips, adding all candidates as rows, the
// automatic line text, the day rows and switches a new plan starts with.
#pragma once

#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "persist/Project.h"

namespace tak {

// Every stop of the trips once (by stop id), in an order consistent with each
// trip: a station not yet present goes directly before the first of its
// trip's later stations that is present, or to the end when none is.
std::vector<const TripStation*> MergeStopCandidates(const std::vector<const Trip*>& trips);

// How a stop row or a candidate is shown: name, blank, id in parentheses.
std::string StopRowText(const std::string& name, int32_t id);
std::string StopRowText(const PlanStop& row);

// Inserts a row for every candidate whose shown text no row has: after the
// row that matched the candidate before it, else at the end. Rows are
// compared by their shown text, so a renamed row does not stop its candidate.
// Returns how many rows were added.
std::size_t AddAllStopRows(std::vector<PlanStop>& rows, const std::vector<const TripStation*>& candidates);

// The distinct line names of the trips, in the order they first appear,
// joined by ", ".
std::string AutoLineText(const std::vector<const Trip*>& trips);

// The three day rows a new table plan starts with: Monday to Friday,
// Saturday, Sunday and public holiday (all with both school day kinds).
std::vector<TableDay> DefaultDayRows(const LanguageTable& language);

// The template the timetable window starts new plans from when no plan is
// selected: the switches of a new plan and the default day rows.
TimeTablePlan NewTimeTablePlanTemplate(const LanguageTable& language);

// A new plan named `name` that takes the automatic line switch, the seven
// display switches, the break hour and the day rows of `model`; its texts,
// spider, trips and stop rows start empty.
TimeTablePlan InheritTimeTablePlan(const TimeTablePlan& model, std::string name);

// The map's trips ordered by name (byte order), for the trip choosers. The
// map's own order is left alone: names and ids resolve against it.
std::vector<const Trip*> TripsByName(const MapData& map);

}  // namespace tak
