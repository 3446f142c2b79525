#include "project/LinePlans.h"

#include <algorithm>
#include <set>

#include "project/PlanEditing.h"
#include "project/TourPlanEditing.h"

namespace tak {

namespace {

// Week days and the public holiday: the kinds of day a tour and a day row
// must share. The two school day kinds alone never make a row needed.
constexpr ServiceDays kCalendarDays = 0xFF;

std::vector<const Trip*> TripsOf(const TourPlan& plan, TripDirection direction) {
    std::vector<const Trip*> trips;
    for (std::size_t index : TourPlanTripsOf(plan, direction)) {
        if (plan.trips[index].trip != nullptr) trips.push_back(plan.trips[index].trip);
    }
    return trips;
}

void FillEmptyRows(std::vector<PlanStop>& rows, const std::vector<const Trip*>& trips) {
    if (rows.empty()) AddAllStopRows(rows, MergeStopCandidates(trips), trips);
}

const Trip* LongestTrip(const std::vector<const Trip*>& trips) {
    const Trip* longest = nullptr;
    for (const Trip* trip : trips) {
        if (longest == nullptr || trip->stations.size() > longest->stations.size()) longest = trip;
    }
    return longest;
}

}  // namespace

std::string FreeName(const std::string& base, const std::vector<std::string>& taken) {
    auto isTaken = [&](const std::string& name) { return std::find(taken.begin(), taken.end(), name) != taken.end(); };
    if (!isTaken(base)) return base;
    for (std::size_t n = 2;; ++n) {
        std::string name = base + " " + std::to_string(n);
        if (!isTaken(name)) return name;
    }
}

std::vector<TableDay> DayRowsForTours(const std::vector<TableDay>& rows, const Line& line) {
    std::vector<TableDay> kept;
    for (const TableDay& row : rows) {
        bool needed = std::any_of(line.tours.begin(), line.tours.end(), [&](const Tour& tour) {
            return !tour.trips.empty() && (tour.days & row.days & kCalendarDays) != 0;
        });
        if (needed) kept.push_back(row);
    }
    return kept.empty() ? rows : kept;
}

std::optional<LinePlans> MakePlansForLine(Project& project, const Line& line, const LanguageTable& language) {
    // The tour plan decides the directions; the timetable follows it.
    auto existing = project.tourPlans.find(line.name);
    TourPlan model = existing != project.tourPlans.end() ? existing->second : NewTourPlanTemplate();
    TourPlan& tourPlan = ActivateTourPlan(project, line, model);
    std::set<std::string> tours;
    for (const Tour& tour : line.tours) tours.insert(tour.name);
    SetTourPlanTours(tourPlan, line, tours);
    CollectTourPlanTrips(tourPlan);
    std::vector<const Trip*> outward = TripsOf(tourPlan, TripDirection::Outward);
    std::vector<const Trip*> returning = TripsOf(tourPlan, TripDirection::Return);
    if (outward.empty() && returning.empty()) return std::nullopt;
    FillEmptyRows(tourPlan.stopsOut, outward);
    if (!returning.empty()) FillEmptyRows(tourPlan.stopsRet, returning);

    std::vector<const Trip*> trips = outward;
    trips.insert(trips.end(), returning.begin(), returning.end());

    std::vector<std::string> spiderNames;
    for (const RouteSpider& spider : project.routeSpiders.spiders) spiderNames.push_back(spider.name);
    RouteSpider& spider = AddRouteSpider(project.routeSpiders, FreeName(line.name, spiderNames));
    ImportTrip(spider, 0, *LongestTrip(trips));

    std::vector<std::string> planNames;
    for (const TimeTablePlan& plan : project.timeTablePlans) planNames.push_back(plan.name);
    TimeTablePlan plan = InheritTimeTablePlan(NewTimeTablePlanTemplate(language), FreeName(line.name, planNames));
    plan.trips = trips;
    plan.line = AutoLineText(trips);
    plan.routeSpider = spider.key;
    plan.days = DayRowsForTours(plan.days, line);
    // Every candidate gets a row, also a stop met again on the way back, so
    // that the return trips find their rows below the outward ones.
    for (const TripStation* station : MergeStopCandidates(trips)) {
        plan.stops.push_back(PlanStop{station, station->name, NewStopRowFlags(station->id, trips)});
    }
    project.timeTablePlans.push_back(std::move(plan));
    return LinePlans{project.timeTablePlans.size() - 1, spider.key};
}

}  // namespace tak
