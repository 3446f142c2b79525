// The demo map examples/DemoMap loaded as a user would: without a date and on
// a date inside each of its chrono events. The figures are those that
// examples/README.md promises.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "mapdata/MapLoader.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

constexpr int32_t kDay = 86400;

struct Figures {
    std::size_t stops = 0, trips = 0, profiles = 0, lines = 0, tours = 0, tourTrips = 0, afterMidnight = 0;
};

Figures Count(const MapData& map) {
    Figures figures;
    figures.stops = map.stops.size();
    figures.trips = map.trips.size();
    for (const auto& trip : map.trips) figures.profiles += trip->profiles.size();
    figures.lines = map.lines.size();
    for (const auto& line : map.lines) {
        figures.tours += line->tours.size();
        for (const auto& tour : line->tours) {
            figures.tourTrips += tour.trips.size();
            for (const auto& tourTrip : tour.trips) figures.afterMidnight += tourTrip.startTime >= kDay;
        }
    }
    return figures;
}

std::vector<std::string> LineNames(const MapData& map) {
    std::vector<std::string> names;
    for (const auto& line : map.lines) names.push_back(line->name);
    return names;
}

std::vector<std::string> EventFolders(const std::vector<const ChronoEvent*>& events) {
    std::vector<std::string> folders;
    for (const ChronoEvent* event : events) folders.push_back(event->folder);
    return folders;
}

std::vector<std::string> StationNames(const Trip& trip) {
    std::vector<std::string> names;
    for (const auto& station : trip.stations) names.push_back(station.name);
    return names;
}

std::vector<int32_t> StationIds(const Trip& trip) {
    std::vector<int32_t> ids;
    for (const auto& station : trip.stations) ids.push_back(station.id);
    return ids;
}

class DemoMapTest : public ::testing::Test {
protected:
    // Loads the demo map; "" loads without a date.
    void Load(const std::string& date, const std::string& language = "de") {
        DateValue value = date.empty() ? kNoDate : ParseDateText(date);
        ASSERT_TRUE(date.empty() || value != kNoDate) << date;
        ASSERT_TRUE(LoadMap(map, test::SourceDir() / "examples" / "DemoMap", value, language));
        activeEvents = EventFolders(ListChronoEvents(map, value));
    }

    // The line of that name when there is exactly one, else null.
    Line* OnlyLine(const std::string& name) {
        auto count = std::count_if(map.lines.begin(), map.lines.end(), [&](const auto& l) { return l->name == name; });
        return count == 1 ? map.FindLine(name) : nullptr;
    }

    MapData map;
    std::vector<std::string> activeEvents;
};

struct DatedLoad {
    std::string date;
    std::vector<std::string> activeEvents;
    Figures figures;
    std::vector<std::string> lines;
};

TEST_F(DemoMapTest, EveryLoadGivesTheFiguresOfTheReadme) {
    const std::vector<DatedLoad> loads = {
        {"", {}, {27, 14, 24, 3, 23, 587, 16}, {"1", "2", "3"}},
        {"2025-01-15", {}, {27, 14, 24, 3, 23, 587, 16}, {"1", "2", "3"}},
        {"2024-11-20", {"Fahrplan2024"}, {27, 14, 24, 3, 23, 587, 16}, {"1", "2", "3"}},
        {"2025-04-09", {"Baustelle_Koenigstrasse"}, {28, 16, 28, 3, 23, 587, 16}, {"1", "2", "3"}},
        {"2025-06-21", {"Stadtfest2025"}, {28, 16, 26, 4, 32, 870, 42}, {"1", "2", "3", "F"}},
    };
    for (const DatedLoad& load : loads) {
        SCOPED_TRACE(load.date.empty() ? "no date" : load.date);
        ASSERT_NO_FATAL_FAILURE(Load(load.date));
        EXPECT_EQ(activeEvents, load.activeEvents);
        Figures got = Count(map);
        EXPECT_EQ(got.stops, load.figures.stops);
        EXPECT_EQ(got.trips, load.figures.trips);
        EXPECT_EQ(got.profiles, load.figures.profiles);
        EXPECT_EQ(got.lines, load.figures.lines);
        EXPECT_EQ(got.tours, load.figures.tours);
        EXPECT_EQ(got.tourTrips, load.figures.tourTrips);
        EXPECT_EQ(got.afterMidnight, load.figures.afterMidnight);
        EXPECT_EQ(LineNames(map), load.lines);
        for (const auto& line : map.lines) {
            for (const auto& tour : line->tours) {
                for (const auto& tourTrip : tour.trips) {
                    ASSERT_NE(tourTrip.trip, nullptr);
                    EXPECT_EQ(tourTrip.profile, &tourTrip.trip->profiles.at(static_cast<std::size_t>(tourTrip.profileIndex)));
                }
            }
        }
    }
}

TEST_F(DemoMapTest, EventsAreListedByStartDateWithNamesInTheChosenLanguage) {
    ASSERT_NO_FATAL_FAILURE(Load("", "de"));
    ASSERT_EQ(map.chronoEvents.size(), 3u);
    EXPECT_EQ(EventFolders(ListChronoEvents(map, AllEvents)),
              (std::vector<std::string>{"Fahrplan2024", "Baustelle_Koenigstrasse", "Stadtfest2025"}));
    EXPECT_TRUE(activeEvents.empty());
    EXPECT_EQ(map.chronoEvents[0].name, "Fahrplan 2024 (gültig bis 14.12.2024)");
    EXPECT_EQ(map.chronoEvents[0].startDate, kNoDate);
    EXPECT_EQ(map.chronoEvents[0].endDate, MakeDate(2024, 12, 14));
    EXPECT_EQ(map.chronoEvents[1].name, "Baustelle Königstraße: Linie 2 mit Umleitung");
    EXPECT_EQ(map.chronoEvents[1].deactivatedLines, (std::set<std::string>{"2"}));
    // The festival's files have LF line ends, description files named in
    // other letter cases, and no line end after the settings' last line.
    EXPECT_EQ(map.chronoEvents[2].name, "Stadtfest Mühlbrück");
    EXPECT_EQ(map.chronoEvents[2].startDate, MakeDate(2025, 6, 20));
    EXPECT_EQ(map.chronoEvents[2].endDate, MakeDate(2025, 6, 22));

    ASSERT_NO_FATAL_FAILURE(Load("", "en"));
    EXPECT_EQ(map.chronoEvents[0].name, "Timetable 2024 (valid until 14 Dec 2024)");
    EXPECT_EQ(map.chronoEvents[1].name, "Road works in Königstraße: line 2 diverted");
    EXPECT_EQ(map.chronoEvents[2].name, "Mühlbrück town festival");

    // Both bounds of an event's period count.
    for (const char* date : {"2025-03-03", "2025-05-30"}) {
        EXPECT_EQ(EventFolders(ListChronoEvents(map, ParseDateText(date))),
                  std::vector<std::string>{"Baustelle_Koenigstrasse"}) << date;
    }
    for (const char* date : {"2024-12-15", "2025-03-02", "2025-05-31", "2025-06-23"}) {
        EXPECT_TRUE(ListChronoEvents(map, ParseDateText(date)).empty()) << date;
    }
    EXPECT_EQ(EventFolders(ListChronoEvents(map, ParseDateText("2024-12-14"))),
              std::vector<std::string>{"Fahrplan2024"});
}

TEST_F(DemoMapTest, WindowsTextArrivesAsUtf8AndTripsKeepTheirTimings) {
    ASSERT_NO_FATAL_FAILURE(Load(""));
    for (int32_t id : {103, 105, 110, 207, 309}) ASSERT_NE(map.FindStop(id), nullptr) << id;
    EXPECT_EQ(map.FindStop(110)->name, "Südbahnhof");
    EXPECT_EQ(map.FindStop(105)->name, "Schloßplatz");
    EXPECT_EQ(map.FindStop(207)->name, "Weißdornweg");
    EXPECT_EQ(map.FindStop(309)->name, "Ölmühle");
    EXPECT_EQ(map.FindStop(103)->name, "Rathaus");  // not the stale second entry

    const Trip* trip = map.FindTrip("1_Hbf-Suedbf");
    ASSERT_NE(trip, nullptr);
    EXPECT_EQ(trip->lineName, "1");
    ASSERT_EQ(trip->stations.size(), 10u);
    EXPECT_EQ(trip->stations.front().name, "Hauptbahnhof");
    EXPECT_EQ(trip->stations[5].name, "Königstraße");
    EXPECT_EQ(trip->stations.back().name, "Südbahnhof");
    ASSERT_EQ(trip->profiles.size(), 3u);
    EXPECT_EQ(trip->profiles[2].name, "Spätverkehr");

    // Rush hour: 21.5 minutes, one minute standing at Marktplatz (station 3).
    const TripProfile& rush = trip->profiles[0];
    EXPECT_EQ(rush.name, "HVZ");
    EXPECT_EQ(rush.duration, 1290);
    ASSERT_EQ(rush.times.size(), 11u);
    EXPECT_EQ(rush.times[3].arrival, 390);
    EXPECT_EQ(rush.times[3].departure, 450);
    EXPECT_EQ(rush.times[4].arrival, 600);
    EXPECT_EQ(rush.times[4].departure, TimeUnset);
    EXPECT_EQ(rush.times[9].arrival, 1290);
    EXPECT_EQ(trip->profiles[2].times[7].otherStopping, 1);
    EXPECT_EQ(trip->profiles[2].times[6].otherStopping, 0);

    // The .TTP file of the depot run is found, and both old station forms
    // give names and ids.
    const Trip* pullOut = map.FindTrip("1_Betriebshof-Hbf");
    ASSERT_NE(pullOut, nullptr);
    EXPECT_EQ(StationNames(*pullOut),
              (std::vector<std::string>{"Betriebshof", "Möbelhaus", "Post", "Hauptbahnhof"}));
    EXPECT_EQ(StationIds(*pullOut), (std::vector<int32_t>{307, 305, 301, 101}));
    const Trip* pullIn = map.FindTrip("1_Hbf-Betriebshof");
    ASSERT_NE(pullIn, nullptr);
    EXPECT_EQ(StationNames(*pullIn),
              (std::vector<std::string>{"Hauptbahnhof", "Post", "Möbelhaus", "Betriebshof"}));
    EXPECT_EQ(StationIds(*pullIn), (std::vector<int32_t>{101, 301, 305, 307}));
    ASSERT_EQ(pullIn->profiles.size(), 1u);
    EXPECT_EQ(pullIn->profiles[0].duration, 600);
    EXPECT_EQ(pullIn->profiles[0].times[1].arrival, 180);
    EXPECT_EQ(pullIn->profiles[0].times[2].arrival, 420);
}

TEST_F(DemoMapTest, ToursCoverEveryKindOfDayAndRunPastMidnight) {
    ASSERT_NO_FATAL_FAILURE(Load(""));
    Line* line1 = OnlyLine("1");
    Line* line2 = OnlyLine("2");
    Line* line3 = OnlyLine("3");
    ASSERT_TRUE(line1 && line2 && line3);
    EXPECT_TRUE(line1->userAllowed);
    EXPECT_FALSE(line3->userAllowed);  // read from 3.TTL, upper-case extension

    std::vector<ServiceDays> days;
    int32_t latest = 0;
    for (const auto& tour : line1->tours) {
        days.push_back(tour.days);
        for (const auto& tourTrip : tour.trips) latest = std::max(latest, tourTrip.startTime);
    }
    EXPECT_EQ(std::count(days.begin(), days.end(), 0x31Fu), 7);
    EXPECT_EQ(std::count(days.begin(), days.end(), 0x320u), 3);
    EXPECT_EQ(std::count(days.begin(), days.end(), 0x3C0u), 2);
    // Saturday night: the last trip leaves at 1:30, the bus reaches the
    // depot run at Südbahnhof at 1:46:30.
    EXPECT_EQ(latest, 25 * 3600 + 46 * 60 + 30);

    // The first weekday tour leaves the depot at 4:33 and starts its first
    // trip at 4:48 on the evening profile.
    const Tour& first = line1->tours.front();
    EXPECT_EQ(first.name, "1-01");
    ASSERT_GE(first.trips.size(), 2u);
    EXPECT_EQ(first.trips[0].trip->name, "1_Betriebshof-Hbf");
    EXPECT_EQ(first.trips[0].startTime, 4 * 3600 + 33 * 60);
    EXPECT_EQ(first.trips[1].trip->name, "1_Hbf-Suedbf");
    EXPECT_EQ(first.trips[1].profile->name, "Spätverkehr");

    const Tour* school = FindTour(*line2, "2-81");
    ASSERT_NE(school, nullptr);
    EXPECT_EQ(school->days, 0x11Fu);

    // Tour 3-51 names a deleted trip in the file; it is dropped on loading.
    const Tour* saturday3 = FindTour(*line3, "3-51");
    ASSERT_NE(saturday3, nullptr);
    EXPECT_EQ(saturday3->trips.size(), 16u);
    EXPECT_EQ(saturday3->trips.front().trip->name, "3_Hbf-GewerbegebietOst");
}

TEST_F(DemoMapTest, EventsReplaceTripsAndLinesAndAddStops) {
    // Until December 2024 line 1 did not stop at Grüner Weg; the event's
    // trip files replace the base ones whose names differ only in case.
    ASSERT_NO_FATAL_FAILURE(Load("2024-11-20"));
    const Trip* old = map.FindTripIgnoringCase("1_hbf-suedbf");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->name, "1_HBF-SUEDBF");
    EXPECT_EQ(old->stations.size(), 9u);
    EXPECT_EQ(map.FindTrip("1_Hbf-Suedbf"), nullptr);
    ASSERT_NE(OnlyLine("1"), nullptr);
    EXPECT_EQ(OnlyLine("1")->tours.front().trips[1].trip, old);

    // Road works: line 2 is switched off and comes back in the event's own
    // version, which serves a replacement stop instead of Königstraße.
    ASSERT_NO_FATAL_FAILURE(Load("2025-04-09"));
    ASSERT_NE(map.FindStop(209), nullptr);
    EXPECT_EQ(map.FindStop(209)->name, "Königstraße Ersatzhaltestelle");
    EXPECT_EQ(map.FindStop(106)->name, "Königstraße");  // the event cannot rename a stop
    const Line* line2 = OnlyLine("2");
    ASSERT_NE(line2, nullptr);
    ASSERT_FALSE(line2->tours.empty());
    for (const auto& tour : line2->tours) {
        for (const auto& tourTrip : tour.trips) {
            auto ids = StationIds(*tourTrip.trip);
            EXPECT_EQ(std::count(ids.begin(), ids.end(), 106), 0) << tourTrip.trip->name;
            EXPECT_EQ(std::count(ids.begin(), ids.end(), 209), 1) << tourTrip.trip->name;
        }
    }
    EXPECT_EQ(line2->tours.front().trips.front().trip->name, "2U_Nordfriedhof-Klinikum");
    const Trip* school = map.FindTripIgnoringCase("2_Schulzentrum-Klinikum");
    ASSERT_NE(school, nullptr);
    EXPECT_EQ(school->name, "2_schulzentrum-klinikum");
    // Replacements go to the end of the trip list.
    ASSERT_GE(map.trips.size(), 2u);
    EXPECT_EQ((std::set<std::string>{map.trips.rbegin()[0]->name, map.trips.rbegin()[1]->name}),
              (std::set<std::string>{"2_schulzentrum-klinikum", "2_KLINIKUM-SCHULZENTRUM"}));

    // The festival adds line F and its stop; its files have LF line ends.
    ASSERT_NO_FATAL_FAILURE(Load("2025-06-21"));
    ASSERT_NE(map.FindStop(501), nullptr);
    EXPECT_EQ(map.FindStop(501)->name, "Festplatz Schützenwiese");
    const Line* festival = OnlyLine("F");
    ASSERT_NE(festival, nullptr);
    ASSERT_EQ(festival->tours.size(), 9u);
    EXPECT_EQ(festival->tours.front().days, 0x310u);
    const Trip* shuttle = map.FindTrip("F_Hbf-Festplatz");
    ASSERT_NE(shuttle, nullptr);
    EXPECT_EQ(StationNames(*shuttle),
              (std::vector<std::string>{"Hauptbahnhof", "Rathaus", "Festplatz Schützenwiese"}));
    EXPECT_EQ(shuttle->profiles.at(0).duration, 450);
}

}  // namespace
}  // namespace tak
