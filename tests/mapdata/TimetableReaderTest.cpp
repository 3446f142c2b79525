#include <gtest/gtest.h>

#include "MapFiles.h"
#include "mapdata/TimetableReader.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Profile;
using test::StationsTyp2;
using test::StopListFile;
using test::TimeSection;
using test::TripHeader;

class TimetableReaderTest : public ::testing::Test {
protected:
    void WriteStops() {
        dir.Write("TTData/Busstops.cfg",
                  StopListFile({{"Markt", 1}, {"S\xFC" "dbahnhof", 2}, {"Rathaus", 3}, {"Doppelt", 1}}));
    }
    const Trip& OnlyTrip() {
        EXPECT_EQ(map.trips.size(), 1u);
        return *map.trips.at(0);
    }

    test::TempDir dir;
    MapData map;
};

TEST_F(TimetableReaderTest, StopListKeepsTheFirstNameOfAnIdAndDecodesTheCodePage) {
    WriteStops();
    dir.Write("TTData/keep.ttp", "");
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    ASSERT_EQ(map.stops.size(), 3u);
    EXPECT_EQ(map.FindStop(1)->name, "Markt");
    EXPECT_EQ(map.FindStop(2)->name, "Südbahnhof");
}

TEST_F(TimetableReaderTest, FailsOnlyWhenTheTimetableFolderIsMissing) {
    EXPECT_FALSE(ReadTimetable(map, dir.path()));
    std::filesystem::create_directories(dir.path() / "ttdata");  // no stop list, no files: still a timetable
    EXPECT_TRUE(ReadTimetable(map, dir.path()));
    EXPECT_TRUE(map.trips.empty());
}

TEST_F(TimetableReaderTest, Typ2StationsTakeStopNamesAndDropUnknownIds) {
    WriteStops();
    dir.Write("TTData/12 Nord.TTP", TripHeader("  12  ") + StationsTyp2({1, 99, 2, 3}) + Profile("Std", "10"));
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    const Trip& trip = OnlyTrip();
    EXPECT_EQ(trip.name, "12 Nord");
    EXPECT_EQ(trip.lineName, "12");
    ASSERT_EQ(trip.stations.size(), 3u);
    EXPECT_EQ(trip.stations[1].name, "Südbahnhof");
    EXPECT_EQ(trip.stations[1].trip, &trip);
}

TEST_F(TimetableReaderTest, OldStationFormTakesTheNameFromThePreviousLineOrTheThirdValue) {
    dir.Write("TTData/old.ttp", TripHeader("7") +
                                    "12 - Main Street\r\n[station]\r\n12\r\n"
                                    "[station]\r\n13\r\nignored\r\nBahnhof\r\n"
                                    "4 -\r\n[station]\r\n4\r\n");
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    const Trip& trip = OnlyTrip();
    ASSERT_EQ(trip.stations.size(), 3u);
    EXPECT_EQ(trip.stations[0].name, "Main Stree");  // the line's last character is dropped
    EXPECT_EQ(trip.stations[0].id, 12);
    EXPECT_EQ(trip.stations[1].name, "Bahnhof");
    EXPECT_EQ(trip.stations[1].id, 13);
    EXPECT_EQ(trip.stations[2].name, "");
}

TEST_F(TimetableReaderTest, ProfileTimesStartPresetAndTakeManualTimesInRangeOnly) {
    WriteStops();
    dir.Write("TTData/t.ttp", TripHeader("1") + StationsTyp2({1, 2, 3}) + Profile("Peak", "12.5") +
                                  TimeSection("profile_man_arr_time", 1, "4.5") +
                                  TimeSection("profile_man_dep_time", 1, "5") +
                                  TimeSection("profile_man_arr_time", -1, "9") +
                                  TimeSection("profile_man_arr_time", 3, "9") +
                                  TimeSection("profile_otherstopping", 2, "4") + Profile("Off", "10"));
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    const Trip& trip = OnlyTrip();
    ASSERT_EQ(trip.profiles.size(), 2u);
    const auto& times = trip.profiles[0].times;
    ASSERT_EQ(times.size(), 4u);
    EXPECT_EQ(trip.profiles[0].duration, 750);
    EXPECT_EQ(times[0].arrival, 0);
    EXPECT_EQ(times[0].departure, 0);
    EXPECT_EQ(times[1].arrival, 270);
    EXPECT_EQ(times[1].departure, 300);
    EXPECT_EQ(times[2].arrival, 750);
    EXPECT_EQ(times[2].departure, TimeUnset);
    EXPECT_EQ(times[2].otherStopping, 4);
    EXPECT_EQ(times[3].arrival, 0);  // the trailing entry stays all zero
    EXPECT_EQ(times[3].departure, 0);
    EXPECT_EQ(trip.profiles[1].times[1].arrival, TimeUnset);
}

TEST_F(TimetableReaderTest, ProfileSizeFollowsTheStationsReadBeforeIt) {
    WriteStops();
    dir.Write("TTData/single.ttp", TripHeader("1") + StationsTyp2({1}) + Profile("P", "3"));
    dir.Write("TTData/early.ttp", TripHeader("1") + Profile("P", "3") + StationsTyp2({1, 2}) +
                                      TimeSection("profile_man_arr_time", 1, "2"));
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    const Trip* single = map.FindTrip("single");
    ASSERT_NE(single, nullptr);
    // With one station the last-station rule overrides the first-station one.
    EXPECT_EQ(single->profiles[0].times[0].arrival, 180);
    EXPECT_EQ(single->profiles[0].times[0].departure, 0);
    const Trip* early = map.FindTrip("early");
    ASSERT_NE(early, nullptr);
    ASSERT_EQ(early->profiles[0].times.size(), 1u);
    EXPECT_EQ(early->profiles[0].times[0].arrival, 0);  // index 1 has no entry to write into
}

TEST_F(TimetableReaderTest, TripSectionIsRequiredAndProfileDetailsNeedAProfile) {
    WriteStops();
    dir.Write("TTData/notrip.ttp", StationsTyp2({1, 2}) + Profile("P", "3"));
    dir.Write("TTData/twice.ttp", TripHeader("1") + StationsTyp2({1}) + Profile("P", "3") + TripHeader("2") +
                                      StationsTyp2({1, 2}) + TimeSection("profile_man_arr_time", 0, "1"));
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    ASSERT_EQ(map.trips.size(), 1u);  // the second trip section replaced the first
    const Trip& trip = *map.trips[0];
    EXPECT_EQ(trip.name, "twice");
    EXPECT_EQ(trip.lineName, "2");
    EXPECT_TRUE(trip.profiles.empty());
}

TEST_F(TimetableReaderTest, LaterTripFileReplacesAnEarlierOneOfTheSameNameIgnoringCase) {
    dir.Write("TTData/Abc.ttp", TripHeader("1"));
    dir.Write("TTData/other.ttp", TripHeader("2"));
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    dir.Write("event/TTData/ABC.ttp", TripHeader("3"));
    ASSERT_TRUE(ReadTimetable(map, dir.path() / "event"));
    ASSERT_EQ(map.trips.size(), 2u);
    EXPECT_EQ(map.trips[0]->name, "other");
    EXPECT_EQ(map.trips[1]->name, "ABC");
    EXPECT_EQ(map.trips[1]->lineName, "3");
}

TEST_F(TimetableReaderTest, LineFilesReadToursAndTourTripsWithLowerCaseNames) {
    dir.Write("TTData/12.ttl", "[userallowed]\r\n\r\n[addtrip]\r\nbefore any tour\r\n0\r\n1\r\n" +
                                   test::Tour("Run 1", 799, {{"12 NORD", 1, "331.5"}, {"12 S\xDC" "d", 0, "1500"}}));
    dir.Write("TTData/a.TTL", "");
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    ASSERT_EQ(map.lines.size(), 2u);
    const Line& line = *map.lines[0];
    EXPECT_EQ(line.name, "12");
    EXPECT_TRUE(line.userAllowed);
    ASSERT_EQ(line.tours.size(), 1u);
    EXPECT_EQ(line.tours[0].days, 799u);
    ASSERT_EQ(line.tours[0].trips.size(), 2u);
    EXPECT_EQ(line.tours[0].trips[0].tripName, "12 nord");
    EXPECT_EQ(line.tours[0].trips[0].profileIndex, 1);
    EXPECT_EQ(line.tours[0].trips[0].startTime, 19890);
    EXPECT_EQ(line.tours[0].trips[1].tripName, "12 süd");
    EXPECT_EQ(line.tours[0].trips[1].startTime, 90000);
    EXPECT_EQ(map.lines[1]->name, "a");
    EXPECT_FALSE(map.lines[1]->userAllowed);
}

TEST_F(TimetableReaderTest, GarbageFilesContributeNothingAndDoNotCrash) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) % 256);
    dir.Write("TTData/Busstops.cfg", "[busstop]\nA\n0\n99999999999999\n[busstop]\n");
    dir.Write("TTData/binary.ttp", binary);
    dir.Write("TTData/huge.ttp", TripHeader("1") + std::string(1 << 20, 'x') + "\n[profile]\n");
    dir.Write("TTData/empty.ttl", "");
    dir.Write("TTData/cut.ttl", "[newtour]\nT\n");
    ASSERT_TRUE(ReadTimetable(map, dir.path()));
    EXPECT_TRUE(map.stops.empty()) << "an id beyond 32 bits names no stop";
    ASSERT_NE(map.FindTrip("huge"), nullptr);
    EXPECT_EQ(map.FindTrip("huge")->profiles.size(), 1u);
    EXPECT_EQ(map.lines.size(), 2u);
    for (const auto& line : map.lines) EXPECT_TRUE(line->tours.empty()) << "a tour without its days is dropped";
}

}  // namespace
}  // namespace tak
