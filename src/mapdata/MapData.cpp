#include "mapdata/MapData.h"

#include <algorithm>

#include "base/Text.h"

namespace tak {

void MapData::clear() {
    stops.clear();
    trips.clear();
    lines.clear();
    chronoEvents.clear();
}

Trip* MapData::FindTrip(std::string_view name) {
    for (auto& trip : trips) {
        if (trip->name == name) return trip.get();
    }
    return nullptr;
}

Trip* MapData::FindTripIgnoringCase(std::string_view name) {
    std::string wanted = FoldCase(name);
    for (auto& trip : trips) {
        if (FoldCase(trip->name) == wanted) return trip.get();
    }
    return nullptr;
}

Line* MapData::FindLine(std::string_view name) {
    for (auto& line : lines) {
        if (line->name == name) return line.get();
    }
    return nullptr;
}

const TripStation* MapData::FindStationByStopId(int32_t id) const {
    for (const auto& trip : trips) {
        for (const auto& station : trip->stations) {
            if (station.id == id) return &station;
        }
    }
    return nullptr;
}

const Stop* MapData::FindStop(int32_t id) const {
    auto it = stops.find(id);
    return it == stops.end() ? nullptr : &it->second;
}

Tour* FindTour(Line& line, std::string_view name) {
    for (auto& tour : line.tours) {
        if (tour.name == name) return &tour;
    }
    return nullptr;
}

MapCounts CountMap(const MapData& map) {
    MapCounts counts;
    counts.stops = map.stops.size();
    counts.trips = map.trips.size();
    for (const auto& trip : map.trips) counts.profiles += trip->profiles.size();
    counts.lines = map.lines.size();
    for (const auto& line : map.lines) {
        counts.tours += line->tours.size();
        for (const auto& tour : line->tours) counts.tourTrips += tour.trips.size();
    }
    return counts;
}

void SortTripsByLineName(MapData& map) {
    std::stable_sort(map.trips.begin(), map.trips.end(),
                     [](const auto& a, const auto& b) { return a->lineName < b->lineName; });
}

}  // namespace tak
