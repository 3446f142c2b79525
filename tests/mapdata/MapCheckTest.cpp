// The map check: one small map per kind of fault, each giving exactly its codes.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "MapFiles.h"
#include "mapdata/MapCheck.h"
#include "mapdata/MapLoader.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

// Line L10 with trip A over four stops (10 minutes) run twice by one tour on
// school days and holidays of the working week: a map without findings.
struct CheckMapFiles {
    std::string stops = test::StopListFile({{"Markt", 1}, {"Post", 2}, {"Kirche", 3}, {"Bahnhof", 4}});
    std::string tripA = test::TripHeader("L10") + test::StationsTyp2({1, 2, 3, 4}) + test::Profile("P", "10");
    std::string line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 0, "320"}});
    std::vector<std::pair<std::string, std::string>> extra;  // more files: path, text
};

struct CheckResult {
    std::vector<MapFinding> findings;
    std::set<std::string> codes;
};

CheckResult CheckFiles(const CheckMapFiles& files, DateValue date = kNoDate) {
    test::TempDir map;
    map.Write("TTData/Busstops.cfg", files.stops);
    map.Write("TTData/A.ttp", files.tripA);
    map.Write("TTData/L10.ttl", files.line);
    for (const auto& [path, text] : files.extra) map.Write(path, text);
    MapData data;
    MapCheckRecord record;
    LoadMap(data, map.path(), date, "en", &record);
    CheckResult result;
    result.findings = CheckMap(data, record);
    for (const auto& finding : result.findings) result.codes.insert(finding.code);
    return result;
}

struct FaultCase {
    const char* name;
    std::function<void(CheckMapFiles&)> change;
    std::set<std::string> codes;
};

std::vector<FaultCase> FaultCases() {
    using test::Profile;
    using test::StationsTyp2;
    using test::TimeSection;
    using test::TripHeader;
    return {
        {"no fault", [](CheckMapFiles&) {}, {}},
        {"trip file without a trip section",
         [](CheckMapFiles& f) { f.extra = {{"TTData/X.ttp", StationsTyp2({1, 2}) + Profile("P", "5")}}; },
         {"trip-file-without-trip"}},
        {"trip without stations",
         [](CheckMapFiles& f) {
             f.extra = {{"TTData/B.ttp", TripHeader("L10") + Profile("P", "5")}};
             f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"b", 0, "320"}});
         },
         {"trip-without-stations"}},
        {"station missing from the stop list",
         [](CheckMapFiles& f) { f.tripA = TripHeader("L10") + StationsTyp2({1, 9, 2, 3, 4}) + Profile("P", "10"); },
         {"station-unknown-stop"}},
        {"profile time for a station the trip does not have",
         [](CheckMapFiles& f) { f.tripA += TimeSection("profile_man_arr_time", 7, "3"); },
         {"profile-index-out-of-range"}},
        {"times running backwards",
         [](CheckMapFiles& f) {
             f.tripA += TimeSection("profile_man_dep_time", 1, "6") + TimeSection("profile_man_dep_time", 2, "4");
         },
         {"times-backwards"}},
        {"tour trip naming a missing trip",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"zz", 0, "320"}}); },
         {"tour-trip-unknown-trip"}},
        {"tour trip naming a missing profile",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 1, "320"}}); },
         {"tour-trip-unknown-profile"}},
        {"tour on no school day kind",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x01F, {{"a", 0, "300"}}); },
         {"tour-never-printed", "line-prints-nothing"}},
        {"tour on no day of the week",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x300, {{"a", 0, "300"}}); },
         {"tour-never-printed", "line-prints-nothing"}},
        {"one bus in two places",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 0, "305"}}); },
         {"tour-overlap"}},
#if !defined(_WIN32)  // names that differ only in letter case are one file there
        {"two trip files for one trip",
         [](CheckMapFiles& f) { f.extra = {{"TTData/a.TTP", f.tripA}}; },
         {"trip-file-replaced"}},
#endif
        {"old-style station numbered outside the stop list",
         [](CheckMapFiles& f) {
             f.tripA = TripHeader("L10") + StationsTyp2({1, 2}) + "[station]\r\n77\r\n0\r\nFeld\r\n" +
                       StationsTyp2({4}) + Profile("P", "10");
         },
         {"station-id-not-in-stop-list"}},
        {"duration and last time disagree",
         [](CheckMapFiles& f) { f.tripA += TimeSection("profile_man_arr_time", 3, "8"); },
         {"profile-duration-differs"}},
        {"line file named in other letter case",
         [](CheckMapFiles& f) { f.tripA = TripHeader("l10") + StationsTyp2({1, 2, 3, 4}) + Profile("P", "10"); },
         {"line-name-case"}},
        {"event switching off a line that does not exist",
         [](CheckMapFiles& f) {
             f.extra = {{"Chrono/Works/Chrono.cfg", "[startdate]\r\n20270301\r\n[deactivate_lines]\r\n1\r\nL99\r\n"}};
         },
         {"chrono-unknown-line"}},
        {"event date that is no day",
         [](CheckMapFiles& f) { f.extra = {{"Chrono/Works/Chrono.cfg", "[enddate]\r\n2027-03-31\r\n"}}; },
         {"chrono-date-unreadable"}},
        {"event date of year 0",
         [](CheckMapFiles& f) { f.extra = {{"Chrono/Works/Chrono.cfg", "[startdate]\r\n00000101\r\n"}}; },
         {"chrono-date-unreadable"}},
        {"event ending before it begins",
         [](CheckMapFiles& f) {
             f.extra = {{"Chrono/Works/Chrono.cfg", "[startdate]\r\n20270331\r\n[enddate]\r\n20270301\r\n"}};
         },
         {"chrono-range-reversed"}},
        {"event of one day",
         [](CheckMapFiles& f) {
             f.extra = {{"Chrono/Works/Chrono.cfg", "[startdate]\r\n20270301\r\n[enddate]\r\n20270301\r\n"}};
         },
         {}},
        {"tour without trips",
         [](CheckMapFiles& f) { f.line += test::Tour("Empty", 0x31F, {}); },
         {"tour-without-trips"}},
        {"trip no tour runs",
         [](CheckMapFiles& f) {
             f.extra = {{"TTData/C.ttp", TripHeader("L10") + StationsTyp2({4, 1}) + Profile("P", "10")}};
         },
         {"trip-unused"}},
        {"tour departure that is no number",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 0, "NaN"}}); },
         {"tour-trip-number-unusable"}},
        {"tour departure far beyond a day",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 0, "1e999"}}); },
         {"tour-trip-number-unusable"}},
        {"tour departure before midnight of the day",
         [](CheckMapFiles& f) { f.line = test::Tour("T", 0x31F, {{"a", 0, "-5"}, {"a", 0, "320"}}); },
         {"tour-trip-number-unusable"}},
        {"tour days that are no number",
         [](CheckMapFiles& f) { f.line += "[newtour]\r\nX\r\nDepot\r\nall\r\n\r\n[addtrip]\r\na\r\n0\r\n400\r\n"; },
         {"tour-number-unusable"}},
        {"profile time that is no number",
         [](CheckMapFiles& f) {
             f.tripA += Profile("Q", "10") + TimeSection("profile_man_arr_time", 1, "1e999");
             f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 1, "320"}});
         },
         {"profile-number-unusable"}},
        {"profile duration below zero",
         [](CheckMapFiles& f) {
             f.tripA += Profile("Q", "-5");
             f.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 1, "320"}});
         },
         {"profile-number-unusable"}},
        {"station that is no number",
         [](CheckMapFiles& f) { f.tripA = TripHeader("L10") + StationsTyp2({1, 2, 3, 4}) + "[station_typ2]\r\nx4\r\n" + Profile("P", "10"); },
         {"station-number-unusable"}},
        {"stop that is no number",
         [](CheckMapFiles& f) { f.stops += "[busstop]\r\nFeld\r\n0\r\nfive\r\n80.0\r\n"; },
         {"stop-number-unusable"}},
        {"stop id defined twice in the stop list",
         [](CheckMapFiles& f) { f.stops += test::StopListFile({{"Markt Nord", 1}}); },
         {"stop-id-duplicate"}},
        {"line file without tours",
         [](CheckMapFiles& f) { f.extra = {{"TTData/L20.ttl", "[userallowed]\r\n"}}; },
         {"line-prints-nothing"}},
    };
}

TEST(MapCheck, EachFaultGivesExactlyItsFindings) {
    for (const FaultCase& fault : FaultCases()) {
        CheckMapFiles files;
        fault.change(files);
        CheckResult result = CheckFiles(files);
        EXPECT_EQ(result.codes, fault.codes) << fault.name;
        for (const auto& finding : result.findings) {
            EXPECT_EQ(finding.severity, SeverityOfCode(finding.code)) << fault.name;
            EXPECT_FALSE(finding.arguments.empty()) << fault.name << ": " << finding.code;
        }
    }
}

TEST(MapCheck, FindingsNameTheFileAndTheLineOfTheSection) {
    CheckMapFiles files;
    files.tripA = test::TripHeader("L10") + test::StationsTyp2({1, 9, 2, 3, 4}) + test::Profile("P", "10");
    files.line = test::Tour("T", 0x31F, {{"a", 0, "300"}, {"zz", 0, "320"}});
    CheckResult result = CheckFiles(files);
    ASSERT_EQ(result.findings.size(), 2u);
    // Sorted by file: the trip file first. Its second [station_typ2] header
    // follows seven lines of header and [trip] section and three of the first
    // station.
    const MapFinding& station = result.findings[0];
    EXPECT_EQ(station.code, "station-unknown-stop");
    EXPECT_EQ(station.file, "TTData/A.ttp");
    EXPECT_EQ(station.line, 11);
    EXPECT_EQ(station.arguments, (std::vector<std::string>{"9", "A"}));
    const MapFinding& tourTrip = result.findings[1];
    EXPECT_EQ(tourTrip.file, "TTData/L10.ttl");
    EXPECT_EQ(tourTrip.line, 11) << "the second [addtrip] of the tour";
    EXPECT_EQ(tourTrip.arguments, (std::vector<std::string>{"zz", "T"}));
}

// A number that cannot be what it stands for drops its owner only: the tour
// keeps its good trip, and the finding names the value where it stands.
TEST(MapCheck, UnusableNumbersNameFileLineAndValueAndDropOnlyTheirOwner) {
    test::TempDir map;
    map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"Post", 2}}) +
                                         test::StopListFile({{"Markt Nord", 1}}));
    map.Write("TTData/A.ttp", test::TripHeader("L10") + test::StationsTyp2({1, 2}) + test::Profile("P", "10") +
                                  test::Profile("Q", "10") + test::TimeSection("profile_man_dep_time", 0, "NaN"));
    map.Write("TTData/L10.ttl", test::Tour("T", 0x31F, {{"a", 0, "300"}, {"a", 0, "1e999"}, {"a", 1, "400"}}));
    MapData data;
    MapCheckRecord record;
    LoadMap(data, map.path(), kNoDate, "en", &record);
    ASSERT_EQ(data.lines.size(), 1u);
    ASSERT_EQ(data.lines[0]->tours.size(), 1u);
    const Tour& tour = data.lines[0]->tours[0];
    ASSERT_EQ(tour.trips.size(), 1u) << "the start 1e999 and the trip on profile Q are dropped";
    EXPECT_EQ(tour.trips[0].startTime, 300 * 60);
    EXPECT_EQ(data.stops.at(1).name, "Markt");

    std::vector<MapFinding> findings = CheckMap(data, record);
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0].code, "profile-number-unusable");
    EXPECT_EQ(findings[0].file, "TTData/A.ttp");
    EXPECT_EQ(findings[0].line, 22);
    EXPECT_EQ(findings[0].arguments, (std::vector<std::string>{"NaN", "profile_man_dep_time", "A", "Q"}));
    EXPECT_EQ(findings[1].code, "stop-id-duplicate");
    EXPECT_EQ(findings[1].file, "TTData/Busstops.cfg");
    EXPECT_EQ(findings[1].line, 17);
    EXPECT_EQ(findings[1].arguments, (std::vector<std::string>{"1", "Markt Nord", "Markt", "TTData/Busstops.cfg", "3"}));
    EXPECT_EQ(findings[2].code, "tour-trip-number-unusable");
    EXPECT_EQ(findings[2].file, "TTData/L10.ttl");
    EXPECT_EQ(findings[2].line, 14);
    EXPECT_EQ(findings[2].arguments, (std::vector<std::string>{"1e999", "a", "T"}));
}

// An event's own stop list repeats the map's stops; only an id that now
// names another stop is a fault.
TEST(MapCheck, AnEventRepeatingTheStopsIsNoDuplicateButARenamingIs) {
    CheckMapFiles files;
    files.extra = {{"Chrono/Works/Chrono.cfg", "[startdate]\r\n20270301\r\n"},
                   {"Chrono/Works/TTData/Busstops.cfg", files.stops}};
    EXPECT_TRUE(CheckFiles(files, MakeDate(2027, 3, 15)).findings.empty());
    files.extra[1].second = test::StopListFile({{"Post", 2}, {"Rathaus", 3}});
    CheckResult result = CheckFiles(files, MakeDate(2027, 3, 15));
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(result.findings[0].code, "stop-id-duplicate");
    EXPECT_EQ(result.findings[0].file, "Chrono/Works/TTData/Busstops.cfg");
    EXPECT_EQ(result.findings[0].arguments[1], "Rathaus");
    EXPECT_EQ(result.findings[0].arguments[2], "Kirche");
}

TEST(MapCheck, TimesAndOverlapsAreNamedInClockTimes) {
    CheckMapFiles files;
    files.tripA += test::TimeSection("profile_man_dep_time", 1, "6.5") + test::TimeSection("profile_man_dep_time", 2, "4");
    files.line = test::Tour("T", 0x31F, {{"a", 0, "1500"}, {"a", 0, "1505"}, {"a", 0, "1507"}});
    CheckResult result = CheckFiles(files);
    ASSERT_EQ(result.codes, (std::set<std::string>{"times-backwards", "tour-overlap"}));
    for (const auto& finding : result.findings) {
        if (finding.code == "times-backwards") {
            EXPECT_EQ(finding.arguments, (std::vector<std::string>{"A", "P", "Post", "00:06:30", "Kirche", "00:04"}));
        } else {
            // 25:00 + 10 minutes; two trips start before the one before them arrives.
            EXPECT_EQ(finding.arguments, (std::vector<std::string>{"T", "A", "25:10", "A", "25:05", "2"}));
        }
    }
}

TEST(MapCheck, AnEventAppliedOnTheDateIsReportedOnce) {
    CheckMapFiles files;
    files.extra = {{"Chrono/Works/Chrono.cfg", "[startdate]\r\n20270301\r\n[deactivate_lines]\r\n1\r\nL99\r\n"}};
    for (DateValue date : {kNoDate, MakeDate(2027, 3, 15), MakeDate(2027, 2, 1)}) {
        CheckResult result = CheckFiles(files, date);
        ASSERT_EQ(result.findings.size(), 1u) << date;
        EXPECT_EQ(result.findings[0].file, "Chrono/Works");
        EXPECT_EQ(result.findings[0].arguments, (std::vector<std::string>{"L99", "Works"}));
    }
}

// The demo keeps two faults on purpose: a deleted trip that a tour still
// names, and a stale second entry of stop 103 in its stop list.
TEST(MapCheck, TheDemoHasOnlyItsDeliberateFaults) {
    MapData data;
    MapCheckRecord record;
    ASSERT_TRUE(LoadMap(data, test::SourceDir() / "examples" / "DemoMap", kNoDate, "de", &record));
    std::vector<MapFinding> findings = CheckMap(data, record);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].code, "tour-trip-unknown-trip");
    EXPECT_EQ(findings[0].file, "TTData/3.TTL");
    EXPECT_EQ(findings[0].arguments, (std::vector<std::string>{"3_hbf-kirchplatz", "3-51"}));
    EXPECT_EQ(findings[1].code, "stop-id-duplicate");
    EXPECT_EQ(findings[1].file, "TTData/Busstops.cfg");
    EXPECT_EQ(findings[1].arguments,
              (std::vector<std::string>{"103", "Rathaus (alt)", "Rathaus", "TTData/Busstops.cfg", "26"}));
}

TEST(MapCheck, NewDavisvilleGivesItsKnownFindings) {
    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    MapData data;
    MapCheckRecord record;
    ASSERT_TRUE(LoadMap(data, realMaps / "NewDavisville", kNoDate, "en", &record));
    std::vector<MapFinding> findings = CheckMap(data, record);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].code, "profile-duration-differs");
    EXPECT_EQ(findings[0].file, "TTData/42_1_42A.ttp");
    EXPECT_EQ(findings[0].arguments, (std::vector<std::string>{"42_1_42A", "midday", "00:04", "00:03"}));
}

TEST(MapCheck, FindingTextKeysAreTheCodesInUpperCamelCase) {
    EXPECT_EQ(FindingTextKey("station-unknown-stop"), "CheckStationUnknownStop");
    EXPECT_EQ(FindingTextKey("trip-unused"), "CheckTripUnused");
}

}  // namespace
}  // namespace tak
