#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "../mapdata/MapFiles.h"
#include "base/FileSystem.h"
#include "persist/JSON.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::CommandResult;

// Runs taktarium-cli from the repository's top folder, where Language/ lies.
CommandResult RunCli(const std::string& arguments) {
    return test::RunCommand("cd '" + test::SourceDir().string() + "' && '" TAKTARIUM_CLI_PATH "' " + arguments +
                            " 2>&1");
}

class CliInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"S\xFC" "d", 2}}));
        map.Write("TTData/B.ttp", test::TripHeader("9") + test::StationsTyp2({2, 1}) + test::Profile("P", "4"));
        map.Write("TTData/A.ttp", test::TripHeader("10") + test::StationsTyp2({1, 2}) + test::Profile("P", "4"));
        map.Write("TTData/10.ttl", test::Tour("Run 1", 0x31F, {{"a", 0, "300"}, {"b", 0, "320"}}));
        map.Write("Chrono/Works/Chrono.cfg", "[startdate]\r\n20270301\r\n[deactivate_lines]\r\n1\r\n10\r\n");
        map.Write("Chrono/Works/Chrono_en.dsc", "[name]\r\nRoad works\r\n");
    }
    test::TempDir map;
};

TEST_F(CliInfoTest, PrintsEventsToursTripsAndCountsInTheChosenLanguage) {
    auto result = RunCli("info '" + map.path().string() + "/' --lang English");
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Road works"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Run 1"), std::string::npos);
    EXPECT_NE(result.output.find("Mon"), std::string::npos) << "tour days in the language's words";
    // Trips are listed under their line names, sorted by line name.
    EXPECT_LT(result.output.find("\n  10\n    A"), result.output.find("\n  9\n    B")) << result.output;
}

TEST_F(CliInfoTest, JsonCountsFollowTheDate) {
    auto before = RunCli("info '" + map.path().string() + "' --json --lang English");
    ASSERT_EQ(before.status, 0) << before.output;
    JsonPtr root = Parse(before.output);
    ASSERT_TRUE(root) << before.output;
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "stops"), -1), 2);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "trips"), -1), 2);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "lines"), -1), 1);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "tourTrips"), -1), 2);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "chronoEvents"), -1), 1);
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "activeChronoEvents"), -1), 0);
    EXPECT_EQ(GetString(ObjectGet(root.get(), "projectName"), ""), map.path().filename().string());

    auto during = RunCli("info '" + map.path().string() + "' --json --date 2027-03-15");
    ASSERT_EQ(during.status, 0) << during.output;
    root = Parse(during.output);
    ASSERT_TRUE(root) << during.output;
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "lines"), -1), 0) << "the event switches line 10 off";
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "activeChronoEvents"), -1), 1);
    EXPECT_EQ(GetString(ObjectGet(root.get(), "projectName"), ""),
              map.path().filename().string() + "_20270315");
}

// Runs taktarium-cli in `working`, which gets the English language file.
CommandResult RunCliIn(const test::TempDir& working, const std::string& arguments) {
    auto english = ReadFileBytes(test::SourceDir() / "Language" / "English.txt");
    working.Write("Language/English.txt", english.value_or(""));
    return test::RunCommand("cd '" + working.path().string() + "' && '" TAKTARIUM_CLI_PATH "' " + arguments +
                            " --lang English 2>&1");
}

TEST_F(CliInfoTest, ReadsThePlansFromTheWorkingFoldersProjectFile) {
    test::TempDir working;
    std::string projectName = map.path().filename().string();
    working.Write("output/" + projectName + ".cfg", R"({"Version": 136,
        "RouteSpider": [{"Name": "S", "Way": [{"Stop": [{"ID": 1, "Name": "Markt", "TravelTime": 0},
                                                        {"ID": 2, "Name": "Sued", "TravelTime": 3}]}]}],
        "TimeTablePlan": [{"Name": "Line 10", "RouteSpider": "S", "Trip": ["A", "gone"],
                           "Days": [{"Name": "Weekdays", "Flags": 799}], "Stop": [{"ID": 1}, {"ID": 2}]}],
        "TourPlan": [{"Name": "10", "Tour": ["Run 1"], "Trip": [{"Name": "A", "IsOut": 1}, {"Name": "B"}]}],
        "StopTable": [{"Name": "At Markt", "Stations": [1], "Trips": [{"Name": "A", "Alternativ": 1,
                       "Footnote": "detour"}, {"Name": "B", "SameWay": "A"}]}],
        "RouteMap": {"Format": 2, "Width": 20, "Line": [{"Name": "10"}], "Stop": [{"Name": "Markt"}, {"Name": "Sued"}],
                     "Connect": [{"Line": 0, "Stop0": 0, "Stop1": 1}]}})");

    auto json = RunCliIn(working, "info '" + map.path().string() + "' --json");
    ASSERT_EQ(json.status, 0) << json.output;
    JsonPtr root = Parse(json.output);
    ASSERT_TRUE(root) << json.output;
    EXPECT_EQ(ObjectGet(ObjectGet(root.get(), "projectFile"), "parsed")->kind, JsonKind::True);
    const JsonValue* plan = ArrayGet(ObjectGet(root.get(), "timeTablePlans"), 0);
    EXPECT_EQ(GetString(ObjectGet(plan, "name"), ""), "Line 10");
    EXPECT_EQ(GetString(ObjectGet(plan, "routeSpider"), ""), "S");
    EXPECT_EQ(ArraySize(ObjectGet(plan, "trips")), 1) << "the missing trip is dropped";
    EXPECT_EQ(ArraySize(ObjectGet(plan, "stops")), 2);
    const JsonValue* tour = ArrayGet(ObjectGet(root.get(), "tourPlans"), 0);
    EXPECT_EQ(ArraySize(ObjectGet(tour, "tours")), 1);
    EXPECT_EQ(ObjectGet(ArrayGet(ObjectGet(tour, "trips"), 0), "outward")->kind, JsonKind::True);
    const JsonValue* trips = ObjectGet(ArrayGet(ObjectGet(root.get(), "stopTables"), 0), "trips");
    EXPECT_EQ(GetString(ObjectGet(ArrayGet(trips, 0), "footnote"), ""), "detour");
    EXPECT_EQ(GetString(ObjectGet(ArrayGet(trips, 1), "sameWay"), ""), "A");
    const JsonValue* spider = ArrayGet(ObjectGet(root.get(), "routeSpiders"), 0);
    EXPECT_EQ(ArraySize(ObjectGet(ArrayGet(ObjectGet(spider, "ways"), 0), "stops")), 2);
    const JsonValue* routeMap = ObjectGet(root.get(), "routeMap");
    EXPECT_EQ(GetInteger(ObjectGet(routeMap, "width"), 0), 20);
    EXPECT_EQ(GetString(ObjectGet(ArrayGet(ObjectGet(routeMap, "connections"), 0), "to"), ""), "Sued");

    auto text = RunCliIn(working, "info '" + map.path().string() + "'");
    ASSERT_EQ(text.status, 0) << text.output;
    for (const char* part : {"Line 10", "Weekdays (0x31F)", "At Markt", "detour", "Markt +0, Sued +3", "20 x 32, PNG",
                             "10: Markt - Sued"}) {
        EXPECT_NE(text.output.find(part), std::string::npos) << part << "\n" << text.output;
    }
}

TEST(CliProject, TheDemoProjectLoadsAsTheReadmeTellsAndABrokenFileIsReported) {
    test::TempDir working;
    working.Write("output/DemoMap.cfg",
                  ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or(""));
    auto demo = RunCliIn(working, "info '" + (test::SourceDir() / "examples/DemoMap").string() + "' --json");
    ASSERT_EQ(demo.status, 0) << demo.output;
    JsonPtr root = Parse(demo.output);
    ASSERT_TRUE(root) << demo.output;
    EXPECT_EQ(ArraySize(ObjectGet(root.get(), "timeTablePlans")), 2);
    EXPECT_EQ(ArraySize(ObjectGet(root.get(), "tourPlans")), 1);
    EXPECT_EQ(ArraySize(ObjectGet(root.get(), "stopTables")), 2);
    EXPECT_EQ(ArraySize(ObjectGet(ArrayGet(ObjectGet(root.get(), "routeSpiders"), 0), "ways")), 3);
    EXPECT_EQ(ArraySize(ObjectGet(ObjectGet(root.get(), "routeMap"), "lines")), 3);

    working.Write("output/DemoMap.cfg", "\xEF\xBB\xBF{\"Version\": 136, \"TimeTablePlan\": [");
    auto broken = RunCliIn(working, "info '" + (test::SourceDir() / "examples/DemoMap").string() + "'");
    EXPECT_EQ(broken.status, 0) << broken.output;
    EXPECT_NE(broken.output.find("does not parse"), std::string::npos) << broken.output;
}

TEST(CliOutput, WritesTheDemoDocumentsAndPrintsTheLog) {
    test::TempDir working;
    working.Write("output/DemoMap.cfg",
                  ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or(""));
    auto run = RunCliIn(working, "output '" + (test::SourceDir() / "examples/DemoMap").string() + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "Creating timetables...\n"
              "Timetable: Linie 1 Hauptbahnhof - S\xC3\xBC" "dbahnhof\n"
              "Timetable: Linie 3 Gewerbegebiet Ost - Hauptbahnhof\n"
              "Creating tour plans...\n"
              "Tour plan: 1\n"
              "Creating stop timetables...\n"
              "Stop timetable: Marktplatz\n"
              "Stop timetable: Hauptbahnhof\n"
              "Creating route map...\n"
              "Output created!\n");
    fs::path folder = working.path() / "output" / "DemoMap";
    auto pdf = ReadFileBytes(folder / "Timetable Linie 3 Gewerbegebiet Ost - Hauptbahnhof.pdf");
    ASSERT_TRUE(pdf);
    EXPECT_TRUE(pdf->starts_with("%PDF-1.3"));
    EXPECT_TRUE(fs::exists(folder / "Timetable Linie 1 Hauptbahnhof - S\xC3\xBC" "dbahnhof.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Tour 1.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Stop Marktplatz.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Stop Hauptbahnhof.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Route map.png"));
}

TEST(CliOutput, ExitsWithOneWhenADocumentCannotBeCreated) {
    test::TempDir map;
    map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"Bahnhof", 2}}));
    map.Write("TTData/A.ttp", test::TripHeader("10") + test::StationsTyp2({1, 2}) + test::Profile("P", "4"));
    map.Write("TTData/10.ttl", test::Tour("Run 1", 0x31F, {{"a", 0, "300"}}));
    test::TempDir working;
    working.Write("output/" + map.path().filename().string() + ".cfg", R"({"Version": 136,
        "OutputOpt": {"Format": 0},
        "TimeTablePlan": [{"Name": "10/11", "Line": "10", "Trip": ["A"], "Days": [{"Name": "Mo-Fr", "Flags": 799}],
                           "Stop": [{"ID": 1, "Flags": 2}, {"ID": 2, "Flags": 1}]},
                          {"Name": "10", "Line": "10", "Trip": ["A"], "Days": [{"Name": "Mo-Fr", "Flags": 799}],
                           "Stop": [{"ID": 1, "Flags": 2}, {"ID": 2, "Flags": 1}]}]})");
    auto run = RunCliIn(working, "output '" + map.path().string() + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("Error: 10/11 could not be created."), std::string::npos) << run.output;
    fs::path folder = working.path() / "output" / map.path().filename();
    auto text = ReadFileBytes(folder / "Timetable 10.txt");
    ASSERT_TRUE(text) << run.output;
    EXPECT_NE(text->find("Markt   dep | 05:00 "), std::string::npos) << *text;
}

// A project file that is there but cannot be read gives an empty project:
// that is no success, and the file stays for the user to mend.
TEST(CliOutput, AnUnreadableProjectFileFailsAndStaysAsItIs) {
    test::TempDir working;
    const std::string broken = "\xEF\xBB\xBF{\"Version\": 136, \"TimeTablePlan\": [";
    fs::path project = working.Write("output/DemoMap.cfg", broken);
    auto run = RunCliIn(working, "output '" + (test::SourceDir() / "examples/DemoMap").string() + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("The project file " + project.string() + " could not be read or does not parse"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Output created"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFileBytes(project).value_or(""), broken);

    fs::remove(project);
    fs::create_directories(project);  // a folder where the file should be
    run = RunCliIn(working, "output '" + (test::SourceDir() / "examples/DemoMap").string() + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("could not be read or does not parse"), std::string::npos) << run.output;
}

// True when `text` holds a control character other than the line feeds
// that end its lines.
bool HasControlCharacter(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F) return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
    }
    return false;
}

// Names from map and project files reach the terminal: an escape sequence in
// them must show as text, and JSON must escape it.
TEST(CliInfo, ControlCharactersInNamesAreShownAsEscapes) {
    test::TempDir map;
    map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"Bahnhof", 2}}));
    map.Write("TTData/A.ttp", test::TripHeader("10") + test::StationsTyp2({1, 2}) + test::Profile("P", "4"));
    map.Write("TTData/10\x1B[2J.ttl", test::Tour("Run\t1", 0x31F, {{"a", 0, "300"}}));
    map.Write("Chrono/Works/Chrono.cfg", "[name]\r\nWorks\x1B]0;title\x07 \x81\r\n");
    test::TempDir working;
    working.Write("output/" + map.path().filename().string() + ".cfg",
                  R"({"OutputOpt": {"Format": 0}, "TimeTablePlan": [{"Name": "Plan)" "\x1B" R"([31m"}]})");

    auto text = RunCliIn(working, "info '" + map.path().string() + "'");
    ASSERT_EQ(text.status, 0) << text.output;
    EXPECT_FALSE(HasControlCharacter(text.output)) << text.output;
    for (const char* shown : {"10\\x1B[2J", "Run\\t1", "Works\\x1B]0;title\\x07 \\u0081", "Plan\\x1B[31m"}) {
        EXPECT_NE(text.output.find(shown), std::string::npos) << shown << "\n" << text.output;
    }

    auto json = RunCliIn(working, "info '" + map.path().string() + "' --json");
    ASSERT_EQ(json.status, 0) << json.output;
    EXPECT_FALSE(HasControlCharacter(json.output)) << json.output;
    for (const char* escaped : {"\"10\\u001b[2J\"", "\"Run\\t1\"", "\"Works\\u001b]0;title\\u0007 \\u0081\"",
                                "\"Plan\\u001b[31m\""}) {
        EXPECT_NE(json.output.find(escaped), std::string::npos) << escaped << "\n" << json.output;
    }

    auto output = RunCliIn(working, "output '" + map.path().string() + "'");
    EXPECT_EQ(output.status, 1) << "no file can carry that name";
    EXPECT_FALSE(HasControlCharacter(output.output)) << output.output;
    EXPECT_NE(output.output.find("Timetable: Plan\\x1B[31m"), std::string::npos) << output.output;
}

TEST(CliInfo, TheDemoMapGivesValidJsonWithItsTwoLineInterchange) {
    test::TempDir working;
    working.Write("output/DemoMap.cfg",
                  ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or(""));
    auto json = RunCliIn(working, "info '" + (test::SourceDir() / "examples/DemoMap").string() + "' --json");
    ASSERT_EQ(json.status, 0) << json.output;
    EXPECT_FALSE(HasControlCharacter(json.output)) << json.output;
    EXPECT_NE(json.output.find("\"Linie 3\\r\\nRegionalbahn\""), std::string::npos) << json.output;
}

TEST(CliUsage, FailsClearlyOnBadInput) {
    test::TempDir empty;
    auto missing = RunCli("info '" + empty.path().string() + "' --lang English");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find(empty.path().string()), std::string::npos) << missing.output;
    EXPECT_EQ(RunCli("info").status, 2);
    EXPECT_EQ(RunCli("info x --date 2027-02-30").status, 2);
    EXPECT_EQ(RunCli("info x --bogus").status, 2);
    auto help = RunCli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--date"), std::string::npos);
    EXPECT_NE(help.output.find("taktarium-cli output MAPFOLDER"), std::string::npos);
    EXPECT_EQ(RunCli("output").status, 2);
}

}  // namespace
}  // namespace tak
