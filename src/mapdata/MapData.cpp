#include "mapdata/MapData.h"

#include <algorithm>
#include <limits>

#include "base/Text.h"

namespace tak {

namespace {

bool HasTime(const StationTime& time) { return time.arrival != TimeUnset || time.departure != TimeUnset; }

// When the bus leaves a station and when it reaches one: each falls back on
// the other where the file gives only one.
int32_t LeavesAt(const StationTime& time) { return time.departure != TimeUnset ? time.departure : time.arrival; }
int32_t ReachesAt(const StationTime& time) { return time.arrival != TimeUnset ? time.arrival : time.departure; }

// from + (to - from) * step / steps, rounded to the nearest second (halves up).
int32_t Interpolate(int32_t from, int32_t to, std::size_t step, std::size_t steps) {
    int64_t numerator = (int64_t{to} - from) * static_cast<int64_t>(step) * 2 + static_cast<int64_t>(steps);
    int64_t denominator = static_cast<int64_t>(steps) * 2;
    int64_t quotient = numerator / denominator;
    if (numerator % denominator != 0 && numerator < 0) --quotient;  // floor, also below zero
    return static_cast<int32_t>(int64_t{from} + quotient);
}

}  // namespace

int32_t RoundToMinute(int32_t seconds) {
    // Half a minute goes up, so that a trip leaving at hh:mm:30 prints
    // stops one minute apart as one minute apart.
    int64_t shifted = int64_t{seconds} + 30;
    int64_t minutes = shifted / 60 - (shifted % 60 < 0 ? 1 : 0);
    return static_cast<int32_t>(
        std::clamp<int64_t>(minutes * 60, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

std::vector<StationTime> EstimatedStationTimes(const TripProfile& profile, std::size_t stationCount) {
    std::vector<StationTime> times(stationCount);
    for (std::size_t i = 0; i < stationCount && i < profile.times.size(); ++i) times[i] = profile.times[i];
    std::size_t before = stationCount;  // the last station with a time seen so far
    for (std::size_t i = 0; i < stationCount; ++i) {
        if (HasTime(times[i])) {
            before = i;
            continue;
        }
        if (before == stationCount) continue;  // nothing known yet to start from
        std::size_t after = i + 1;
        while (after < stationCount && !HasTime(times[after])) ++after;
        int32_t from = LeavesAt(times[before]);
        int32_t estimate = from;
        if (after < stationCount) estimate = Interpolate(from, ReachesAt(times[after]), i - before, after - before);
        times[i].arrival = estimate;
        times[i].departure = estimate;
    }
    return times;
}

void MapData::clear() {
    stops.clear();
    trips.clear();
    lines.clear();
    chronoEvents.clear();
    date = kNoDate;
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
                     [](const auto& a, const auto& b) { return NaturalLess(a->lineName, b->lineName); });
}

void SortLinesByName(MapData& map) {
    std::stable_sort(map.lines.begin(), map.lines.end(),
                     [](const auto& a, const auto& b) { return NaturalLess(a->name, b->name); });
}

}  // namespace tak
