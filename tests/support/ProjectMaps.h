// A small map built in memory, for tests of the project file and the route
// spider: stops, trips with stations and arrival times, lines with tours.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mapdata/MapData.h"
#include "support/TestSupport.h"

namespace tak::test {

struct StationSpec {
    int32_t id;
    std::string name;
};

// Adds a trip whose profiles give arrivals (seconds) per station; TimeUnset
// leaves a time out.
inline Trip& AddTestTrip(MapData& map, const std::string& name, const std::string& lineName,
                         const std::vector<StationSpec>& stations,
                         const std::vector<std::vector<int32_t>>& profileArrivals) {
    auto trip = std::make_unique<Trip>();
    trip->name = name;
    trip->lineName = lineName;
    for (const auto& spec : stations) {
        trip->stations.push_back(TripStation{spec.name, spec.id, trip.get()});
        map.stops.emplace(spec.id, Stop{spec.name, spec.id});
    }
    for (std::size_t p = 0; p < profileArrivals.size(); ++p) {
        TripProfile profile;
        profile.name = Numbered("P", static_cast<long long>(p));
        for (int32_t arrival : profileArrivals[p]) profile.times.push_back(StationTime{arrival, TimeUnset, 0});
        profile.times.push_back(StationTime{0, 0, 0});
        profile.duration = profileArrivals[p].empty() ? 0 : profileArrivals[p].back();
        trip->profiles.push_back(std::move(profile));
    }
    map.trips.push_back(std::move(trip));
    return *map.trips.back();
}

inline Line& AddTestLine(MapData& map, const std::string& name, const std::vector<std::string>& tourNames) {
    auto line = std::make_unique<Line>();
    line->name = name;
    for (const auto& tourName : tourNames) line->tours.push_back(Tour{tourName, 0x31F, {}});
    map.lines.push_back(std::move(line));
    return *map.lines.back();
}

// Line 1 runs Nord - Markt - Süd and back, line 2 West - Markt - Ost.
inline void FillSmallTown(MapData& map) {
    AddTestTrip(map, "1_out", "1", {{3, "Nord"}, {1, "Markt"}, {2, "S\xC3\xBC" "d"}}, {{0, 120, 300}});
    AddTestTrip(map, "1_back", "1", {{2, "S\xC3\xBC" "d"}, {1, "Markt"}, {3, "Nord"}}, {{0, 180, 300}});
    AddTestTrip(map, "2_out", "2", {{5, "West"}, {1, "Markt"}, {4, "Ost"}}, {{0, 240, 420}});
    AddTestLine(map, "1", {"1-01", "1-02"});
    AddTestLine(map, "2", {"2-01"});
}

}  // namespace tak::test
