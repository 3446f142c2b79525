// A small map built in memory for the timetable tests: stops, trips with one
// profile each, and tours driving them, so that a test states only the times
// that matter to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "project/Project.h"

namespace tak::test {

constexpr ServiceDays kMonFri = 0x31F;
constexpr ServiceDays kSaturday = 0x320;
constexpr ServiceDays kSundayHoliday = 0x3C0;

inline int32_t Clock(int hours, int minutes) { return hours * 3600 + minutes * 60; }

class TimetableMap {
public:
    TimetableMap() : map(ownMap) {}
    // Builds into a map held elsewhere (an AppContext's).
    explicit TimetableMap(MapData& target) : map(target) {}
    TimetableMap(const TimetableMap&) = delete;
    TimetableMap& operator=(const TimetableMap&) = delete;

    // A trip over `stopIds` whose stations are reached `minutes` after its start.
    Trip& AddTrip(const std::string& name, const std::string& lineName, const std::vector<int32_t>& stopIds,
                  const std::vector<int>& minutes) {
        auto trip = std::make_unique<Trip>();
        trip->name = name;
        trip->lineName = lineName;
        TripProfile profile;
        profile.name = "P";
        for (std::size_t i = 0; i < stopIds.size(); ++i) {
            trip->stations.push_back(TripStation{"Stop " + std::to_string(stopIds[i]), stopIds[i], trip.get()});
            StationTime time;
            time.arrival = minutes[i] * 60;
            profile.times.push_back(time);
        }
        profile.times.push_back(StationTime{0, 0, 0});
        trip->profiles.push_back(profile);
        map.trips.push_back(std::move(trip));
        return *map.trips.back();
    }

    // A tour of `lineName` driving `trip` at each start time.
    Tour& AddTour(const std::string& lineName, const std::string& tourName, ServiceDays days, const Trip& trip,
                  const std::vector<int32_t>& starts) {
        Line* line = map.FindLine(lineName);
        if (!line) {
            map.lines.push_back(std::make_unique<Line>());
            line = map.lines.back().get();
            line->name = lineName;
        }
        Tour tour;
        tour.name = tourName;
        tour.days = days;
        for (int32_t start : starts) AddStart(tour, trip, start);
        line->tours.push_back(tour);
        return line->tours.back();
    }

    static void AddStart(Tour& tour, const Trip& trip, int32_t start) {
        TourTrip tourTrip;
        tourTrip.startTime = start;
        tourTrip.trip = &trip;
        tourTrip.profile = &trip.profiles[0];
        tourTrip.tripName = trip.name;
        tour.trips.push_back(tourTrip);
    }

    // A plan over `trips` with one row per stop id (departure rows unless
    // `flags` says otherwise) and the given day groups.
    TimeTablePlan Plan(const std::vector<const Trip*>& trips, const std::vector<int32_t>& stopIds,
                       const std::vector<ServiceDays>& groups, const std::vector<int32_t>& flags = {}) const {
        TimeTablePlan plan;
        plan.name = "Test plan";
        plan.line = trips.empty() ? "" : trips.front()->lineName;
        plan.trips = trips;
        for (std::size_t i = 0; i < stopIds.size(); ++i) {
            PlanStop row;
            row.station = map.FindStationByStopId(stopIds[i]);
            row.name = "Stop " + std::to_string(stopIds[i]);
            row.flags = i < flags.size() ? flags[i] : kRowDeparture;
            plan.stops.push_back(row);
        }
        for (ServiceDays days : groups) plan.days.push_back(TableDay{"Days " + std::to_string(days), days});
        return plan;
    }

private:
    MapData ownMap;

public:
    MapData& map;
};

inline LanguageTable TimetableLanguage() {
    LanguageTable lang;
    EXPECT_TRUE(lang.LoadFromBytes(
        "Day0 = Mo\nDay1 = Tu\nDay2 = We\nDay3 = Th\nDay4 = Fr\nDay5 = Sa\nDay6 = Su\nDay7 = Hol\n"
        "Day8 = School\nDay9 = Holidays\nAnd = and\nOr = or\nOnly = only\nNot = not\n"
        "AfterHoliday = after holidays\nTour = Tour\nTimeTable = Timetable\nTimeTables = Timetables\n"
        "Page = Page\nArrShort = ar\nDepShort = dp\nTourName = Tour\nLineNumber = Line\nFootNote = Note\n"
        "IterUniXS = %1min\nIterUniShort = every|%1min\nIterUniNorm = every|%1|mins\nIterIrrXXS = (%1m)\n"
        "IterIrrXS = cycle|%1min\nIterIrrShort = cycle|every|%1min\nIterIrrNorm = cycle|every|%1|mins\n"
        "WarnWrongOrder = In %1: %3 after %2\nWarnRepeated = ... %1 more\nErrCreateOutput = Error: %1\n"
        "ErrCreateOutputReason = Error: %1: %2\nOutputCreated = Done\nOutputIncomplete = Incomplete: %1 of %2\n"
        "ErrSameFileName = %1 (%2 is taken)\nWarnEmptyTimetable = Empty timetable %1\n"
        "WarnEmptyTourPlan = Empty tour plan %1\nNoPlans = No plans in %1\nNothingCreated = Nothing created\n"
        "OutputStopped = Stopped after %1 of %2\nNotWritten = Not written: %1\n"
        "WarnTimetableNoTimes = No times in timetable %1: tick %3 or %2 in %4\n"
        "WarnTourPlanNoTimes = No times in tour plan %1: tick %3 or %2 in %4\n"
        "OutputCreatedNoTimes = Done, but %1 {document has/documents have} no times\n"
        "Arrival = Arrival\nDeparture = Departure\nWinTimeTable = &Timetables\nWinTourPlan = Tour &plans\n"
        "CrTimeTables = Timetables\nCrTourPlans = Tour plans\nCrStopTables = Stop tables\nTourPlan = Tour plan\n"
        "TourPlans = Tour plans\nIbisRoute = Code\nManConTarget = Dest\nOutMove = Out\nInsMove = In\n"
        "OutInsMove = In/out\nPauseTime = Layover\nStopTable = Stop table\nStop = Stop\nHour = Hour\n"
        "HeadingLine = Line %1\nHeadingDirection = to %1\nRouteTowards = Line %1 > %2\nRouteTowardsShort = %1 > %2\n"));
    return lang;
}

}  // namespace tak::test
