// The in-memory content of one map: stops, trips with their timing profiles,
// lines with their tours, and chrono events. Filled by LoadMap only; nothing
// in it is ever written back to the simulator's files.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

// Whole seconds since 1970-01-01 00:00 at midnight of a day; kNoDate = none.
using DateValue = int64_t;
constexpr DateValue kNoDate = -1;

// A profile time that the trip file did not give.
constexpr int32_t TimeUnset = -65535;

// Bit set of kinds of day: bits 0-6 the week days, 7 public holiday, 8 and 9
// a complementary pair of day kinds, 10 the day after a holiday (output only).
using ServiceDays = uint32_t;
constexpr ServiceDays kWeekAndHoliday = 0xFFu;  // bits 0-7
constexpr ServiceDays kDayPair = 0x300u;        // bits 8 and 9
constexpr ServiceDays kAllServiceDays = 0x3FFu;  // every bit a line file may set

constexpr int32_t kSecondsPerDay = 86400;

// Every time a map file gives (a tour's start, a profile's times) lies
// between 0 and this; the reader drops what holds a time beyond it.
constexpr int32_t kMaxMapTime = 4 * kSecondsPerDay;

// Seconds to the nearest whole minute (in seconds); half a minute rounds up.
int32_t RoundToMinute(int32_t seconds);

struct Trip;

struct Stop {
    std::string name;
    int32_t id = 0;
};

struct TripStation {
    std::string name;
    int32_t id = 0;
    const Trip* trip = nullptr;  // the trip that owns this station
};

struct StationTime {
    int32_t arrival = TimeUnset;    // seconds after the trip's start
    int32_t departure = TimeUnset;  // seconds after the trip's start
    int32_t otherStopping = 0;  // the stopping code of the trip file; see below
};

// The stopping code of a bus that passes the station without stopping.
constexpr int32_t kOtherStoppingPassing = 2;

struct TripProfile {
    std::string name;
    int32_t duration = 0;  // seconds
    // One entry per station the trip had when the profile was read, plus one
    // trailing all-zero entry.
    std::vector<StationTime> times;
    // False when the trip file gave one of its numbers in a form or range
    // that cannot be a time; tours lose the trips that run it.
    bool usable = true;
};

// The times of a profile at each of `stationCount` stations. A station for
// which the file gives neither an arrival nor a departure gets both from a
// straight line between the nearest stations before and after it that have
// a time, spread evenly by station count; after the last station with a
// time it keeps that time. Stations with a time of their own keep it as given.
std::vector<StationTime> EstimatedStationTimes(const TripProfile& profile, std::size_t stationCount);

struct Trip {
    std::string name;
    std::string lineName;
    std::vector<TripStation> stations;
    std::vector<TripProfile> profiles;
};

struct TourTrip {
    int32_t startTime = 0;  // clock seconds of the service day, may pass 86 400
    const TripProfile* profile = nullptr;  // resolved by LoadMap
    const Trip* trip = nullptr;            // resolved by LoadMap
    int32_t profileIndex = 0;
    std::string tripName;  // lower case, as named by the line file
    int32_t fileLine = 0;  // the line of its "addtrip" section in the line file
};

struct Tour {
    std::string name;
    ServiceDays days = 0;
    std::vector<TourTrip> trips;
    int32_t fileLine = 0;  // the line of its "newtour" section in the line file
};

struct Line {
    std::string name;
    bool userAllowed = false;
    std::vector<Tour> tours;
};

struct ChronoEvent {
    std::string folder;
    std::string name;
    DateValue startDate = kNoDate;
    DateValue endDate = kNoDate;
    std::set<std::string> deactivatedLines;
};

struct MapData {
    // Keyed by stop id; the first stop read with an id wins.
    std::map<int32_t, Stop> stops;
    // Trips and lines are held by pointer so that references into them stay
    // valid while the lists grow or shrink during a load.
    std::vector<std::unique_ptr<Trip>> trips;
    std::vector<std::unique_ptr<Line>> lines;
    std::vector<ChronoEvent> chronoEvents;
    DateValue date = kNoDate;  // the day the map was loaded for; kNoDate: its base timetable

    void clear();

    // Linear look-ups, first match in list order wins.
    Trip* FindTrip(std::string_view name);             // exact
    Trip* FindTripIgnoringCase(std::string_view name);
    Line* FindLine(std::string_view name);             // exact
    const TripStation* FindStationByStopId(int32_t id) const;
    const Stop* FindStop(int32_t id) const;
};

Tour* FindTour(Line& line, std::string_view name);  // exact

struct MapCounts {
    std::size_t stops = 0;
    std::size_t trips = 0;
    std::size_t profiles = 0;
    std::size_t lines = 0;
    std::size_t tours = 0;
    std::size_t tourTrips = 0;
};
MapCounts CountMap(const MapData& map);

// Sorts trips by line name in the order people read line numbers ("2A",
// "5", "29C"; see NaturalLess), keeping the order of trips of the same
// line, as the program lists them after every load.
void SortTripsByLineName(MapData& map);

// Sorts the lines by name in the same order; the loader does it after every
// load, so every list and document of lines follows it.
void SortLinesByName(MapData& map);

}  // namespace tak
