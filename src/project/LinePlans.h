// A line's first documents in one step: a timetable plan over both
// directions, its route spider and the line's tour plan, each made so that
// its document prints times without further editing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "project/Project.h"

namespace tak {

struct LinePlans {
    std::size_t timeTablePlan = 0;  // index into project.timeTablePlans
    RouteSpiderKey spider = kNoSpider;
};

// `base` when no name of `taken` is equal to it, else `base` followed by
// " 2", " 3", … (the first that is free).
std::string FreeName(const std::string& base, const std::vector<std::string>& taken);

// The default day rows (DefaultDayRows) on which some tour of the line runs:
// a row is kept when it shares a day of the week or the public holiday with
// a tour. All of them when no tour runs on any such day.
std::vector<TableDay> DayRowsForTours(const std::vector<TableDay>& rows, const Line& line);

// Makes, for `line`:
// - its tour plan with all its tours (an existing plan is made active and
//   keeps its switches, directions and rows), the stop rows of each
//   direction filled when empty;
// - a timetable plan named after the line with the outward and then the
//   return trips of the tour plan, one stop row per merged candidate in
//   route order (a stop passed in both directions has a row in each), the
//   new rows' options from NewStopRowFlags and the day rows the tours need;
// - a route spider named after the line from its trip with the most
//   stations, which the timetable plan shows.
// None when the line's tours run no trip.
std::optional<LinePlans> MakePlansForLine(Project& project, const Line& line, const LanguageTable& language);

}  // namespace tak
