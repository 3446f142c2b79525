// Edits the plan windows make to plan records that do not depend on a window:
// the stop candidates of a plan's trips, adding all candidates as rows, the
// automatic line text, the day rows and switches a new plan starts with.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "project/Project.h"

namespace tak {

// Every stop of the trips once (by stop id), in an order consistent with each
// trip: a station not yet present goes directly before the first of its
// trip's later stations that is present, or to the end when none is.
std::vector<const TripStation*> MergeStopCandidates(const std::vector<const Trip*>& trips);

// How a stop row or a candidate is shown: name, blank, id in parentheses.
std::string StopRowText(const std::string& name, int32_t id);
std::string StopRowText(const PlanStop& row);

// The options a new row for the stop starts with, so that the table prints
// times right away: departures, and arrivals where the trips only end (a
// stop that is the last of some trip and departed from by none).
int32_t NewStopRowFlags(int32_t stopId, const std::vector<const Trip*>& trips);

// Inserts a row for every candidate whose shown text no row has: after the
// row that matched the candidate before it, else at the end. Rows are
// compared by their shown text, so a renamed row does not stop its candidate.
// New rows start with NewStopRowFlags over `trips`. Returns how many rows
// were added.
std::size_t AddAllStopRows(std::vector<PlanStop>& rows, const std::vector<const TripStation*>& candidates,
                           const std::vector<const Trip*>& trips);

// The distinct line names of the trips, in the order they first appear,
// joined by ", ".
std::string AutoLineText(const std::vector<const Trip*>& trips);

// The three day rows a new table plan starts with: Monday to Friday,
// Saturday, Sunday and public holiday (all with both school day kinds).
std::vector<TableDay> DefaultDayRows(const LanguageTable& language);

// The day rows a new plan takes from `model`: the default rows in the
// current language when the model's rows are the default rows (same days,
// in the same order) perhaps named in another language; else the model's
// rows as they are.
std::vector<TableDay> DayRowsFrom(const std::vector<TableDay>& model, const LanguageTable& language);

// The template the timetable window starts new plans from when no plan is
// selected: the switches of a new plan and the default day rows.
TimeTablePlan NewTimeTablePlanTemplate(const LanguageTable& language);

// A new plan named `name` that takes the automatic line switch, the seven
// display switches, the break hour and the day rows of `model`; its texts,
// spider, trips and stop rows start empty.
TimeTablePlan InheritTimeTablePlan(const TimeTablePlan& model, std::string name);

// The spider a plan takes when its route spider box was ticked before the
// editor opened and the plan has none yet: the first spider that is not
// among `before` (one the editor just made), else the first spider; none
// when the list is empty.
RouteSpiderKey SpiderForTickedBox(const RouteSpiderList& list, const std::vector<RouteSpiderKey>& before);
std::vector<RouteSpiderKey> SpiderKeys(const RouteSpiderList& list);

// Moves the chosen entries one place up (`step` -1) or down (+1); a block
// of chosen entries moves together and stops at the end of the list.
// `chosen` (one flag per entry) moves with them.
template <typename Item>
void ShiftChosen(std::vector<Item>& items, std::vector<bool>& chosen, int step) {
    int count = static_cast<int>(std::min(items.size(), chosen.size()));
    // Walk against the move, so that a chosen entry stopped at the end
    // stops the ones behind it.
    for (int n = 0; n < count; ++n) {
        int from = step < 0 ? n : count - 1 - n;
        int to = from + step;
        if (to < 0 || to >= count) continue;
        auto at = static_cast<std::size_t>(from);
        auto next = static_cast<std::size_t>(to);
        if (!chosen[at] || chosen[next]) continue;
        std::swap(items[at], items[next]);
        chosen[next] = true;
        chosen[at] = false;
    }
}

// The map's trips ordered by name (byte order), for the trip choosers. The
// map's own order is left alone: names and ids resolve against it.
std::vector<const Trip*> TripsByName(const MapData& map);

}  // namespace tak
