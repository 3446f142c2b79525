#include "project/TourPlanEditing.h"

#include <algorithm>
#include <map>
#include <utility>

#include "project/PlanEditing.h"

namespace tak {

namespace {

const TourPlanTrip* FindEntry(const TourPlan& plan, const std::string& name) {
    for (const TourPlanTrip& entry : plan.trips) {
        if (entry.trip != nullptr && entry.trip->name == name) return &entry;
    }
    return nullptr;
}

std::set<std::string>& SetOf(TourPlan& plan, int direction) { return direction == 0 ? plan.outward : plan.returning; }

// The direction the tour's first trip runs in, read from the first trip the
// plan already places by itself. Trips not in service or deactivated tell
// nothing about the phase: the trip after one counts as a first trip again.
int TourPhase(const TourPlan& plan, const Tour& tour) {
    int direction = 0;
    for (const TourTrip& tourTrip : tour.trips) {
        if (tourTrip.trip == nullptr) continue;
        const std::string& name = tourTrip.trip->name;
        if (const TourPlanTrip* entry = FindEntry(plan, name)) {
            if (!entry->notInService && !entry->deactivate) {
                return plan.outward.count(name) ? direction : 1 - direction;
            }
            direction = 1;
        }
        direction = 1 - direction;
    }
    return 0;
}

void WalkTour(TourPlan& plan, const Tour& tour, std::set<std::string>& seen) {
    int direction = TourPhase(plan, tour);
    for (const TourTrip& tourTrip : tour.trips) {
        if (tourTrip.trip == nullptr) continue;
        const Trip& trip = *tourTrip.trip;
        bool here = SetOf(plan, direction).count(trip.name) > 0;
        bool there = SetOf(plan, 1 - direction).count(trip.name) > 0;
        if (!here && !there) {
            SetOf(plan, direction).insert(trip.name);
            TourPlanTrip& entry = plan.trips.emplace_back();
            entry.trip = &trip;
            entry.notInService = trip.stations.size() <= 1;
        } else if (there) {
            direction = 1 - direction;  // the tour runs the other way than counted so far
        }
        seen.insert(trip.name);
        direction = 1 - direction;
    }
}

const std::string& NameOf(const TourPlanTrip& entry) {
    static const std::string kNone;
    return entry.trip != nullptr ? entry.trip->name : kNone;
}

}  // namespace

TourPlan NewTourPlanTemplate() {
    TourPlan plan;
    plan.hideEmpty = true;
    plan.hideBridge = true;
    plan.displayLine = plan.displayIbis = plan.displayTarget = false;
    plan.displayOutIns = plan.displayPause = plan.pageBreak = false;
    return plan;
}

TourPlan& ActivateTourPlan(Project& project, const Line& line, const TourPlan& model) {
    auto found = project.tourPlans.find(line.name);
    if (found == project.tourPlans.end()) {
        TourPlan plan;
        plan.name = line.name;
        plan.line = &line;
        plan.headline = model.headline;
        plan.hideEmpty = model.hideEmpty;
        plan.hideBridge = model.hideBridge;
        plan.displayLine = model.displayLine;
        plan.displayIbis = model.displayIbis;
        plan.displayTarget = model.displayTarget;
        plan.displayOutIns = model.displayOutIns;
        plan.displayPause = model.displayPause;
        plan.pageBreak = model.pageBreak;
        found = project.tourPlans.emplace(line.name, std::move(plan)).first;
    }
    found->second.active = true;
    if (found->second.line == nullptr) found->second.line = &line;
    return found->second;
}

void SetTourPlanTours(TourPlan& plan, const Line& line, const std::set<std::string>& tourNames) {
    plan.tours.clear();
    for (const Tour& tour : line.tours) {
        if (tourNames.count(tour.name)) plan.tours.emplace(tour.name, &tour);  // the first of a name wins
    }
}

void CollectTourPlanTrips(TourPlan& plan) {
    std::set<std::string> seen;
    for (const auto& [name, tour] : plan.tours) {
        if (tour != nullptr) WalkTour(plan, *tour, seen);
    }
    std::erase_if(plan.trips, [&](const TourPlanTrip& entry) {
        const std::string& name = NameOf(entry);
        if (seen.count(name)) return false;
        plan.outward.erase(name);
        plan.returning.erase(name);
        return true;
    });
}

void SplitTourPlanAutomatically(TourPlan& plan) {
    std::vector<TourPlanTrip> old = std::move(plan.trips);
    plan.trips.clear();
    plan.outward.clear();
    plan.returning.clear();
    CollectTourPlanTrips(plan);
    std::map<std::string, const TourPlanTrip*> byName;
    for (const TourPlanTrip& entry : old) byName.emplace(NameOf(entry), &entry);
    for (TourPlanTrip& entry : plan.trips) {
        auto found = byName.find(NameOf(entry));
        if (found == byName.end()) continue;
        entry.notInService = found->second->notInService;
        entry.deactivate = found->second->deactivate;
        entry.ibis = found->second->ibis;
        entry.target = found->second->target;
    }
}

void MakeRingLine(TourPlan& plan) {
    plan.outward.insert(plan.returning.begin(), plan.returning.end());
    plan.returning.clear();
}

std::vector<std::size_t> TourPlanTripsOf(const TourPlan& plan, TripDirection direction) {
    const std::set<std::string>& names = direction == TripDirection::Outward ? plan.outward : plan.returning;
    std::vector<std::size_t> indexes;
    for (std::size_t i = 0; i < plan.trips.size(); ++i) {
        if (names.count(NameOf(plan.trips[i]))) indexes.push_back(i);
    }
    return indexes;
}

void MoveTourPlanTrips(TourPlan& plan, const std::set<std::string>& names, TripDirection to) {
    std::set<std::string>& from = to == TripDirection::Outward ? plan.returning : plan.outward;
    std::set<std::string>& into = to == TripDirection::Outward ? plan.outward : plan.returning;
    std::vector<TourPlanTrip> moved;
    std::erase_if(plan.trips, [&](TourPlanTrip& entry) {
        const std::string& name = NameOf(entry);
        if (!names.count(name) || !from.count(name)) return false;
        from.erase(name);
        into.insert(name);
        moved.push_back(std::move(entry));
        return true;
    });
    for (TourPlanTrip& entry : moved) plan.trips.push_back(std::move(entry));
}

void ExchangeTourPlanDirections(TourPlan& plan) { std::swap(plan.outward, plan.returning); }

void ShiftTourPlanTrips(TourPlan& plan, TripDirection direction, const std::set<std::string>& names, int step) {
    std::vector<std::size_t> list = TourPlanTripsOf(plan, direction);
    std::vector<bool> chosen;
    std::vector<TourPlanTrip> trips;  // this direction's trips, in plan order
    for (std::size_t index : list) {
        chosen.push_back(names.count(NameOf(plan.trips[index])) > 0);
        trips.push_back(std::move(plan.trips[index]));
    }
    ShiftChosen(trips, chosen, step);
    for (std::size_t i = 0; i < list.size(); ++i) plan.trips[list[i]] = std::move(trips[i]);
}

}  // namespace tak
