// Edits the tour plan window makes to a line's tour plan that do not depend
// on a window: which trips the plan's tours run and in which direction each
// is printed, the ring line, and the moves of trips between and within the
// two directions. A trip's direction is its name's membership in `outward` or
// `returning`; each direction's list is the plan's trip entries of that
// direction in the plan's order, so moves keep both in step.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "mapdata/MapData.h"
#include "project/Project.h"

namespace tak {

enum class TripDirection { Outward, Return };

// The switches a new tour plan starts with when there is no plan to copy.
TourPlan NewTourPlanTemplate();

// The plan of `line`, made active. A line without a plan gets a new one
// keyed by its name that takes the switches and the headline of `model`.
TourPlan& ActivateTourPlan(Project& project, const Line& line, const TourPlan& model);

// Makes the plan's tour set the tours of its line named in `tourNames`.
void SetTourPlanTours(TourPlan& plan, const Line& line, const std::set<std::string>& tourNames);

// Brings the plan's trips in line with its tours: a trip met for the first
// time joins the direction its place in the tour gives (tours alternate, in
// the phase the plan's known trips show), a trip no tour runs any more is
// dropped. A trip with at most one station is marked not in service.
void CollectTourPlanTrips(TourPlan& plan);

// Splits the trips anew, every tour starting outward, keeping each trip's
// texts and switches.
void SplitTourPlanAutomatically(TourPlan& plan);

// All trips in one direction: the return trips join the outward ones.
void MakeRingLine(TourPlan& plan);

// Indexes into plan.trips of the trips of one direction, in the plan's order.
std::vector<std::size_t> TourPlanTripsOf(const TourPlan& plan, TripDirection direction);

// Moves the named trips to `to`; each entry goes to the end of the plan's
// trips and so to the end of its new direction.
void MoveTourPlanTrips(TourPlan& plan, const std::set<std::string>& names, TripDirection to);

// Every outward trip becomes a return trip and the other way round.
void ExchangeTourPlanDirections(TourPlan& plan);

// Moves each named trip of `direction` one place up (step -1) or down (+1)
// within that direction, swapping it with its neighbour there. A trip that
// would pass the end or another named trip that cannot move stays.
void ShiftTourPlanTrips(TourPlan& plan, TripDirection direction, const std::set<std::string>& names, int step);

}  // namespace tak
