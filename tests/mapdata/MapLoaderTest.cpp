#include <gtest/gtest.h>

#include "MapFiles.h"
#include "base/FileSystem.h"
#include "mapdata/MapLoader.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Profile;
using test::StationsTyp2;
using test::StopListFile;
using test::TripHeader;

std::string ChronoSettings(const std::string& start, const std::string& end,
                           const std::vector<std::string>& deactivated = {}) {
    std::string text = "[name]\r\nCfg name\r\n";
    if (!start.empty()) text += "[startdate]\r\n" + start + "\r\n";
    if (!end.empty()) text += "[enddate]\r\n" + end + "\r\n";
    if (!deactivated.empty()) {
        text += "[deactivate_lines]\r\n" + std::to_string(deactivated.size()) + "\r\n";
        for (const auto& line : deactivated) text += " " + line + " \r\n";
    }
    return text;
}

class MapLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("TTData/Busstops.cfg", StopListFile({{"Markt", 1}, {"Rathaus", 2}}));
        dir.Write("TTData/12 Nord.ttp", TripHeader("12") + StationsTyp2({1, 2}) + Profile("A", "5") +
                                            Profile("B", "6"));
        dir.Write("TTData/12.ttl", test::Tour("Run 1", 799, {{"12 nord", 0, "300"}, {"12 NORD", 1, "320"},
                                                             {"12 Nord", 2, "340"}, {"missing", 0, "360"}}));
    }
    bool Load(DateValue date) { return LoadMap(map, dir.path(), date, "en"); }

    test::TempDir dir;
    MapData map;
};

TEST_F(MapLoaderTest, TourTripsResolveIgnoringCaseAndUnresolvableOnesAreRemoved) {
    ASSERT_TRUE(Load(kNoDate));
    ASSERT_EQ(map.lines.size(), 1u);
    const auto& trips = map.lines[0]->tours[0].trips;
    ASSERT_EQ(trips.size(), 2u);  // profile 2 of a two-profile trip and an unknown trip are gone
    const Trip* trip = map.FindTrip("12 Nord");
    EXPECT_EQ(trips[0].trip, trip);
    EXPECT_EQ(trips[0].profile, &trip->profiles[0]);
    EXPECT_EQ(trips[1].profile, &trip->profiles[1]);
    EXPECT_EQ(trips[1].startTime, 320 * 60);
}

TEST_F(MapLoaderTest, MissingTimetableFolderFailsButKeepsWhatWasRead) {
    test::TempDir empty;
    empty.Write("Chrono/Event/Chrono.cfg", ChronoSettings("20170301", ""));
    EXPECT_FALSE(LoadMap(map, empty.path(), kNoDate, "en"));
    EXPECT_EQ(map.chronoEvents.size(), 1u);
    EXPECT_TRUE(map.trips.empty());
}

TEST_F(MapLoaderTest, EventPeriodsIncludeBothBoundaries) {
    dir.Write("Chrono/March/Chrono.cfg", ChronoSettings("20170301", "20170331"));
    dir.Write("Chrono/Until/chrono.CFG", ChronoSettings("", "20170310"));
    dir.Write("Chrono/Always/x.txt", "");
    dir.Write("Chrono/.hidden/Chrono.cfg", ChronoSettings("20170301", ""));
    ASSERT_TRUE(Load(kNoDate));
    ASSERT_EQ(map.chronoEvents.size(), 3u);
    // Events without a start date sort first.
    EXPECT_EQ(map.chronoEvents[2].folder, "March");
    const ChronoEvent& march = map.chronoEvents[2];
    EXPECT_TRUE(IsChronoActive(MakeDate(2017, 3, 1), march));
    EXPECT_TRUE(IsChronoActive(MakeDate(2017, 3, 31), march));
    EXPECT_FALSE(IsChronoActive(MakeDate(2017, 2, 28), march));
    EXPECT_FALSE(IsChronoActive(MakeDate(2017, 4, 1), march));

    EXPECT_EQ(ListChronoEvents(map, kNoDate).size(), 0u);
    EXPECT_EQ(ListChronoEvents(map, AllEvents).size(), 3u);
    auto active = ListChronoEvents(map, MakeDate(2017, 3, 20));
    ASSERT_EQ(active.size(), 2u);  // "Always" has no dates; "Until" has ended
    EXPECT_EQ(active[0]->folder, "Always");
    EXPECT_EQ(active[1]->folder, "March");
    EXPECT_EQ(ListChronoEvents(map, MakeDate(1900, 1, 1)).size(), 2u);
}

TEST_F(MapLoaderTest, DescriptionInTheUsersLanguageNamesTheEvent) {
    dir.Write("Chrono/Works/Chrono.cfg", ChronoSettings("20170301", ""));
    dir.Write("Chrono/Works/Chrono_en.dsc", "[name]\r\nRoad works\r\n");
    dir.Write("Chrono/Works/Chrono_de.dsc", "[name]\r\nBaustelle Stra\xDF" "e\r\n");
    dir.Write("Chrono/Plain/Chrono.cfg", ChronoSettings("20170302", ""));
    ASSERT_TRUE(Load(kNoDate));
    EXPECT_EQ(map.chronoEvents[0].name, "Road works");
    EXPECT_EQ(map.chronoEvents[1].name, "Cfg name");
    ASSERT_TRUE(LoadMap(map, dir.path(), kNoDate, "de"));
    EXPECT_EQ(map.chronoEvents[0].name, "Baustelle Straße");
}

TEST_F(MapLoaderTest, ActiveEventReplacesADeactivatedLineAndAddsOthers) {
    dir.Write("Chrono/Works/Chrono.cfg", ChronoSettings("20170301", "20170331", {"12"}));
    dir.Write("Chrono/Works/TTData/12.ttl", test::Tour("Detour", 799, {{"12 umleitung", 0, "400"}}));
    dir.Write("Chrono/Works/TTData/12 Umleitung.ttp", TripHeader("12") + StationsTyp2({2}) + Profile("A", "3"));
    dir.Write("Chrono/Extra/Chrono.cfg", ChronoSettings("20170301", ""));
    dir.Write("Chrono/Extra/TTData/12.ttl", test::Tour("Extra", 800, {}));

    ASSERT_TRUE(Load(MakeDate(2017, 2, 1)));
    ASSERT_EQ(map.lines.size(), 1u);
    EXPECT_EQ(map.lines[0]->tours[0].name, "Run 1");

    ASSERT_TRUE(Load(MakeDate(2017, 3, 15)));
    // "Extra" sorts before "Works" (same start date, folder order) and only adds;
    // "Works" then switches off both lines named 12 and brings its own.
    ASSERT_EQ(map.lines.size(), 1u);
    EXPECT_EQ(map.lines[0]->tours[0].name, "Detour");
    EXPECT_EQ(map.lines[0]->tours[0].trips.size(), 1u);
    EXPECT_EQ(map.trips.size(), 2u);

    ASSERT_TRUE(Load(MakeDate(2017, 4, 15)));
    ASSERT_EQ(map.lines.size(), 2u);  // base line and the one "Extra" brings
}

// Line files come in folder order ("30Y.ttl" before "5.ttl"); lists and
// documents want the order people read line numbers in.
TEST_F(MapLoaderTest, LinesAndTripsComeInTheOrderLineNumbersAreRead) {
    for (const char* line : {"30Y", "5", "29C", "2A", "10"}) {
        dir.Write(std::string("TTData/") + line + ".ttl", test::Tour("Run 1", 799, {{"12 nord", 0, "300"}}));
        dir.Write(std::string("TTData/") + line + " trip.ttp", TripHeader(line) + StationsTyp2({1, 2}) + Profile("A", "5"));
    }
    ASSERT_TRUE(Load(kNoDate));
    std::vector<std::string> lines;
    for (const auto& line : map.lines) lines.push_back(line->name);
    EXPECT_EQ(lines, (std::vector<std::string>{"2A", "5", "10", "12", "29C", "30Y"}));
    SortTripsByLineName(map);
    std::vector<std::string> tripLines;
    for (const auto& trip : map.trips) tripLines.push_back(trip->lineName);
    EXPECT_EQ(tripLines, (std::vector<std::string>{"2A", "5", "10", "12", "29C", "30Y"}));
}

TEST_F(MapLoaderTest, EventCannotRenameAStopButReplacesTripsByName) {
    dir.Write("Chrono/E/Chrono.cfg", ChronoSettings("", ""));
    dir.Write("Chrono/E/TTData/Busstops.cfg", StopListFile({{"Renamed", 1}, {"New", 3}}));
    dir.Write("Chrono/E/TTData/12 NORD.ttp", TripHeader("12") + StationsTyp2({3, 1}) + Profile("A", "5"));
    ASSERT_TRUE(Load(MakeDate(2020, 1, 1)));
    EXPECT_EQ(map.FindStop(1)->name, "Markt");
    EXPECT_EQ(map.FindStop(3)->name, "New");
    ASSERT_EQ(map.trips.size(), 1u);
    EXPECT_EQ(map.trips[0]->name, "12 NORD");
    EXPECT_EQ(map.trips[0]->stations[0].name, "New");
    // Profile 1 no longer exists in the replacing trip.
    EXPECT_EQ(map.lines[0]->tours[0].trips.size(), 1u);
}

TEST_F(MapLoaderTest, GarbageEventFilesAreHarmless) {
    dir.Write("Chrono/Bad/Chrono.cfg", "[startdate]\r\n2017\r\n[enddate]\r\n20171399\r\n"
                                       "[deactivate_lines]\r\n2000000000\r\nA\r\n");
    ASSERT_TRUE(Load(MakeDate(2020, 1, 1)));
    ASSERT_EQ(map.chronoEvents.size(), 1u);
    EXPECT_EQ(map.chronoEvents[0].startDate, kNoDate);
    EXPECT_EQ(map.chronoEvents[0].endDate, kNoDate);
    EXPECT_EQ(map.chronoEvents[0].deactivatedLines, std::set<std::string>{"A"});
}

// A start of year 0 (or one before 1900) is as unreadable as month 13: the
// event has no start, instead of one in antiquity.
TEST_F(MapLoaderTest, EventDatesBeforeTheEarliestDayAreNoDates) {
    dir.Write("Chrono/Old/Chrono.cfg", "[startdate]\r\n00000101\r\n[enddate]\r\n18991231\r\n");
    ASSERT_TRUE(Load(MakeDate(2020, 1, 1)));
    ASSERT_EQ(map.chronoEvents.size(), 1u);
    EXPECT_EQ(map.chronoEvents[0].startDate, kNoDate);
    EXPECT_EQ(map.chronoEvents[0].endDate, kNoDate);
}

// The load from bytes takes the same steps as the load from folders: two
// events, one replacing line 12 and one switching off what the first brought.
TEST_F(MapLoaderTest, LoadingFromBytesGivesWhatLoadingFromFoldersGives) {
    const std::string works = ChronoSettings("20170301", "20170331", {"12"});
    const std::string later = ChronoSettings("20170310", "", {"13"});
    const std::string line12 = test::Tour("Event run", 799, {{"12 nord", 1, "400"}, {"13 sued", 0, "500"}});
    const std::string trip13 = TripHeader("13") + StationsTyp2({2, 1}) + Profile("C", "4");
    const std::string line13 = test::Tour("Run 13", 799, {{"13 sued", 0, "600"}});
    dir.Write("Chrono/Works/Chrono.cfg", works);
    dir.Write("Chrono/Works/Chrono_en.dsc", "[name]\r\nRoad works\r\n");
    dir.Write("Chrono/Works/TTData/12.ttl", line12);
    dir.Write("Chrono/Works/TTData/13 Sued.ttp", trip13);
    dir.Write("Chrono/Works/TTData/13.ttl", line13);
    dir.Write("Chrono/Later/Chrono.cfg", later);

    TimetableFileBytes base{StopListFile({{"Markt", 1}, {"Rathaus", 2}}),
                            {{"12 Nord", ReadFileBytes(dir.path() / "TTData/12 Nord.ttp").value_or("")}},
                            {{"12", ReadFileBytes(dir.path() / "TTData/12.ttl").value_or("")}}};
    std::vector<ChronoEventBytes> events(2);
    events[0] = {"Later", later, "", {}};
    events[1] = {"Works", works, "[name]\r\nRoad works\r\n", {"", {{"13 Sued", trip13}}, {{"12", line12}, {"13", line13}}}};

    // What each load gives, as text that names every line, tour and tour trip.
    auto describe = [](const MapData& loaded) {
        std::string text;
        for (const ChronoEvent& event : loaded.chronoEvents) text += event.name + " " + std::to_string(event.startDate) + "\n";
        for (const auto& line : loaded.lines) {
            for (const Tour& tour : line->tours) {
                text += line->name + "/" + tour.name + ":";
                for (const TourTrip& trip : tour.trips) {
                    text += " " + trip.trip->name + "@" + std::to_string(trip.startTime) + "/" + trip.profile->name;
                }
                text += "\n";
            }
        }
        return text;
    };
    for (DateValue date : {kNoDate, MakeDate(2017, 3, 5), MakeDate(2017, 3, 15), MakeDate(2017, 4, 1)}) {
        ASSERT_TRUE(Load(date));
        MapData fromBytes;
        LoadMapBytes(fromBytes, base, events, date);
        EXPECT_EQ(describe(fromBytes), describe(map)) << date;
    }
    // The dates tell the loads apart: on 15 March line 12 is the event's and
    // the later event switched off the line 13 the first one brought.
    LoadMapBytes(map, base, events, MakeDate(2017, 3, 15));
    ASSERT_EQ(map.lines.size(), 1u);
    EXPECT_EQ(map.lines[0]->tours[0].name, "Event run");
    EXPECT_EQ(map.lines[0]->tours[0].trips.size(), 2u) << "line 13 is off, its trip still runs in line 12";
}

TEST(Dates, CalendarDaysConvertBothWays) {
    EXPECT_EQ(MakeDate(1970, 1, 1), 0);
    EXPECT_EQ(MakeDate(2017, 3, 24), 1490313600);
    EXPECT_EQ(MakeDate(2017, 2, 29), kNoDate);
    EXPECT_EQ(MakeDate(2017, 13, 1), kNoDate);
    EXPECT_EQ(MakeDate(2017, 1, 0), kNoDate);
    EXPECT_EQ(MakeDate(0, 1, 1), kNoDate) << "the calendar has no year 0";
    EXPECT_EQ(ParseDateText("0000-01-01"), kNoDate);
    EXPECT_EQ(ParseDateText("01.01.0000"), kNoDate);
    auto day = DateToCalendar(MakeDate(1969, 12, 31));
    EXPECT_EQ(day.year, 1969);
    EXPECT_EQ(day.month, 12);
    EXPECT_EQ(day.day, 31);
    EXPECT_EQ(ParseDateText("2017-03-24"), MakeDate(2017, 3, 24));
    EXPECT_EQ(ParseDateText("24.03.2017"), MakeDate(2017, 3, 24));
    EXPECT_EQ(ParseDateText("2017-3-24"), kNoDate);
    EXPECT_EQ(ParseDateText("2017-02-30"), kNoDate);
}

TEST(RealMap, LoadsWithTheFiguresItsAuthorsGive) {
    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    MapData map;
    ASSERT_TRUE(LoadMap(map, realMaps / "NewDavisville", kNoDate, "en"));
    EXPECT_EQ(map.stops.size(), 34u);
    EXPECT_EQ(map.trips.size(), 4u);
    std::size_t profiles = 0, tours = 0, tourTrips = 0;
    for (const auto& trip : map.trips) profiles += trip->profiles.size();
    for (const auto& line : map.lines) {
        tours += line->tours.size();
        for (const auto& tour : line->tours) tourTrips += tour.trips.size();
    }
    EXPECT_EQ(profiles, 4u);
    EXPECT_EQ(map.lines.size(), 2u);
    EXPECT_EQ(tours, 6u);
    EXPECT_EQ(tourTrips, 523u);
    EXPECT_TRUE(map.chronoEvents.empty());
}

}  // namespace
}  // namespace tak

namespace tak {
namespace {

TEST(ProjectName, IsTheFolderNameWithOrWithoutSeparatorPlusTheDate) {
    EXPECT_EQ(ProjectNameFor("maps/MyMap", kNoDate), "MyMap");
    EXPECT_EQ(ProjectNameFor("maps/MyMap/", MakeDate(2017, 3, 24)), "MyMap_20170324");
    EXPECT_EQ(ProjectNameFor("maps/MyMap//", kNoDate), "MyMap");
}

// "." and ".." would put the documents straight into output/ (or above it)
// and the project file at output/..cfg.
TEST(ProjectName, DotsNameTheFolderTheyStandFor) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    fs::create_directories(dir.path() / "MyMap" / "TTData");
    const std::string name = dir.path().filename().string();
    EXPECT_EQ(ProjectNameFor(dir.path() / "MyMap" / "TTData" / "..", kNoDate), "MyMap");
    EXPECT_EQ(ProjectNameFor(dir.path() / "MyMap" / "TTData" / ".." / "", kNoDate), "MyMap");
    EXPECT_EQ(ProjectNameFor(dir.path() / "MyMap" / ".", MakeDate(2017, 3, 24)), "MyMap_20170324");
    EXPECT_EQ(ProjectNameFor(dir.path() / "MyMap" / "..", kNoDate), name);
    EXPECT_EQ(ProjectNameFor(".", kNoDate), fs::current_path().filename().string());
}

// Days before 1970 are negative like the no-date marker; they are days all
// the same, from 1900-01-01 on.
TEST_F(MapLoaderTest, DaysBefore1970AreDaysLikeAnyOther) {
    dir.Write("Chrono/Old/Chrono.cfg", ChronoSettings("19691201", "19700105", {"12"}));
    DateValue date = ParseDateText("1969-12-31");
    ASSERT_NE(date, kNoDate);
    ASSERT_TRUE(Load(date));
    EXPECT_EQ(ListChronoEvents(map, date).size(), 1u);
    EXPECT_TRUE(map.lines.empty()) << "the active event is applied";
    EXPECT_EQ(ProjectNameFor("maps/Old", date), "Old_19691231");
    EXPECT_EQ(ParseDateText("01.01.1900"), MakeDate(1900, 1, 1));
    EXPECT_EQ(ParseDateText("1899-12-31"), kNoDate) << "earlier days are refused";
}

}  // namespace
}  // namespace tak
