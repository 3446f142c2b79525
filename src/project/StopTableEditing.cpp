#include "project/StopTableEditing.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "project/PlanEditing.h"

namespace tak {

namespace {

bool HasStop(const StopTable& table, int32_t id) {
    return std::any_of(table.stations.begin(), table.stations.end(),
                       [id](const TripStation* station) { return station != nullptr && station->id == id; });
}

bool ShareAStop(const StopTable& one, const StopTable& other) {
    return std::any_of(one.stations.begin(), one.stations.end(),
                       [&](const TripStation* station) { return station != nullptr && HasStop(other, station->id); });
}

bool IsSelected(const StopTable& table, const StopTableTrip& entry) {
    return entry.trip != nullptr && table.selection.count(entry.trip->name) > 0;
}

// The first entry of another selected trip that runs the same tail.
StopTableTripKey SameWayOf(const StopTable& table, const StopTableTrip& entry) {
    std::vector<int32_t> tail = TripTail(table, *entry.trip);
    if (tail.empty()) return kNoStopTableTrip;
    for (const StopTableTrip& other : table.trips) {
        if (other.key == entry.key || other.trip == entry.trip || !IsSelected(table, other)) continue;
        if (TripTail(table, *other.trip) == tail) return other.key;
    }
    return kNoStopTableTrip;
}

}  // namespace

std::vector<const TripStation*> StopChoices(const MapData& map) {
    std::map<int32_t, const TripStation*> byId;
    for (const auto& trip : map.trips) {
        for (const TripStation& station : trip->stations) byId.emplace(station.id, &station);
    }
    std::vector<const TripStation*> choices;
    for (const auto& [id, station] : byId) choices.push_back(station);
    std::stable_sort(choices.begin(), choices.end(), [](const TripStation* a, const TripStation* b) {
        return std::tie(a->name, a->id) < std::tie(b->name, b->id);
    });
    return choices;
}

bool AddStopTableStop(StopTable& table, const TripStation& station) {
    if (HasStop(table, station.id)) return false;
    table.stations.push_back(&station);
    if (table.name.empty()) table.name = station.name;
    return true;
}

bool DepartsAtTableStops(const StopTable& table, const Trip& trip) {
    for (std::size_t i = 0; i + 1 < trip.stations.size(); ++i) {
        if (HasStop(table, trip.stations[i].id)) return true;
    }
    return false;
}

std::vector<int32_t> TripTail(const StopTable& table, const Trip& trip) {
    std::vector<int32_t> tail;
    if (trip.stations.size() < 2) return tail;
    for (std::size_t i = trip.stations.size() - 1; i-- > 0;) {
        if (!HasStop(table, trip.stations[i].id)) continue;
        for (std::size_t j = i; j < trip.stations.size(); ++j) tail.push_back(trip.stations[j].id);
        break;
    }
    return tail;
}

void SelectStopTableTrips(StopTable& table, const std::vector<const Trip*>& checked) {
    table.selection.clear();
    for (const Trip* trip : checked) table.selection.insert(trip->name);
    for (const Trip* trip : checked) {
        bool known = std::any_of(table.trips.begin(), table.trips.end(),
                                 [&](const StopTableTrip& entry) { return entry.trip == trip; });
        if (known) continue;
        StopTableTrip& added = AddStopTableTrip(table, *trip);
        added.sameWay = SameWayOf(table, added);
    }
    for (StopTableTrip& entry : table.trips) {
        const StopTableTrip* target = FindStopTableTrip(table, entry.sameWay);
        if (target == nullptr || !IsSelected(table, *target)) entry.sameWay = kNoStopTableTrip;
    }
}

void SetSameStopInOne(std::vector<StopTable>& tables, std::size_t index, bool on) {
    if (index >= tables.size()) return;
    const StopTable& changed = tables[index];
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (i == index || ShareAStop(changed, tables[i])) tables[i].sameInOne = on;
    }
}

StopTable NewStopTableTemplate(const LanguageTable& language) {
    StopTable table;
    table.breakHour = -1;
    table.mergeRow = false;
    table.days = DefaultDayRows(language);
    return table;
}

StopTable InheritStopTable(const StopTable& model) {
    StopTable table;
    table.breakHour = model.breakHour;
    table.mergeRow = model.mergeRow;
    table.days = model.days;
    return table;
}

}  // namespace tak
