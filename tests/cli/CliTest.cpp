#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "../mapdata/MapFiles.h"
#include "base/FileSystem.h"
#include "persist/JSON.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::CommandResult;

// Copies the program's language files into `working`, as an installation
// would have them beside the working folder.
void CopyLanguages(const test::TempDir& working) {
    for (const char* name : {"German.txt", "English.txt"}) {
        working.Write(fs::path("Language") / name,
                      ReadFileBytes(test::SourceDir() / "Language" / name).value_or(""));
    }
}

// Runs taktarium-cli in `working` with `environment` ("NAME='value' ..."
// assignments) added to its own.
CommandResult RunCliWith(const test::TempDir& working, const std::string& environment,
                         const std::string& arguments) {
    CopyLanguages(working);
    return test::RunCommand("cd '" + working.path().string() + "' && " + environment + " '" TAKTARIUM_CLI_PATH "' " +
                            arguments + " 2>&1");
}

// Runs taktarium-cli in a working folder of its own, in its default language.
CommandResult RunCli(const std::string& arguments) {
    test::TempDir working;
    return RunCliWith(working, "", arguments);
}

// Runs taktarium-cli in `working`, in English.
CommandResult RunCliIn(const test::TempDir& working, const std::string& arguments) {
    return RunCliWith(working, "", arguments + " --lang English");
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
    // Trips are listed under their line names, in the order line numbers are read.
    EXPECT_LT(result.output.find("\n  9\n    B"), result.output.find("\n  10\n    A")) << result.output;
    // Without a project file the route map has nothing, and says so.
    EXPECT_NE(result.output.find("    Lines: (none)\n    Stops: (none)\n    Connection: (none)\n"), std::string::npos)
        << result.output;
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

// Run from the build folder or an installation, the tool finds the language
// files beside itself whatever the working folder: documents never get names
// without their kind ("output/DemoMap/ 1.pdf").
TEST(CliOutput, FindsItsLanguageFilesWithoutAnyInTheWorkingFolder) {
    test::TempDir working;
    working.Write("output/DemoMap.cfg",
                  ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or(""));
    auto run = test::RunCommand("cd '" + working.path().string() + "' && '" TAKTARIUM_CLI_PATH "' output '" +
                                (test::SourceDir() / "examples/DemoMap").string() + "' --lang English 2>&1");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("not found"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(working.path() / "output" / "DemoMap" / "Tour 1.pdf")) << run.output;
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
    EXPECT_TRUE(pdf->starts_with("%PDF-1.5"));
    EXPECT_TRUE(fs::exists(folder / "Timetable Linie 1 Hauptbahnhof - S\xC3\xBC" "dbahnhof.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Tour 1.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Stop Marktplatz.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Stop Hauptbahnhof.pdf"));
    EXPECT_TRUE(fs::exists(folder / "Route map.png"));
}

// A font configuration of a machine with other fonts than ours: the DejaVu
// fonts, renamed while scanned so that they claim every family the documents
// and the route map name, with a user's own rendering settings on top.
fs::path WriteForeignFontConfiguration(const test::TempDir& dir) {
    const fs::path system = "/usr/share/fonts/truetype/dejavu";
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf",
                             "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf"}) {
        dir.Write(fs::path("fonts") / name, ReadFileBytes(system / name).value_or(""));
    }
    auto claim = [](const char* real, std::initializer_list<const char*> families) {
        std::string rule = "<match target=\"scan\"><test name=\"family\"><string>" + std::string(real) +
                           "</string></test><edit name=\"family\" mode=\"assign_replace\">";
        for (const char* family : families) rule += "<string>" + std::string(family) + "</string>";
        return rule + "</edit></match>\n";
    };
    std::string config = "<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>" + (dir.path() / "fonts").string() +
                         "</dir>\n<cachedir>" + (dir.path() / "cache").string() + "</cachedir>\n";
    config += claim("DejaVu Sans", {"Helvetica", "Arial", "Liberation Sans", "sans-serif"});
    config += claim("DejaVu Serif", {"Times", "Times New Roman", "Liberation Serif", "serif"});
    config += claim("DejaVu Sans Mono", {"Courier", "Liberation Mono", "monospace"});
    config += "<match target=\"font\"><edit name=\"hintstyle\" mode=\"assign\"><const>hintnone</const></edit>"
              "<edit name=\"rgba\" mode=\"assign\"><const>rgb</const></edit>"
              "<edit name=\"antialias\" mode=\"assign\"><bool>false</bool></edit></match>\n</fontconfig>\n";
    return dir.Write("fonts.conf", config);
}

// The file fontconfig would take for `family` under the configuration `file`.
std::string MatchedFileUnder(const fs::path& file, const char* family) {
    FcConfig* config = FcConfigCreate();
    std::string found;
    if (FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(file.c_str()), FcTrue) &&
        FcConfigBuildFonts(config)) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcChar8* path = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
            found = reinterpret_cast<const char*>(path);
        }
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return found;
}

// `bytes` without its "/CreationDate (D:<digits>)" entries.
std::string WithoutCreationDates(std::string bytes) {
    static constexpr std::string_view kEntry = "/CreationDate (D:";
    for (std::size_t at = bytes.find(kEntry); at != std::string::npos; at = bytes.find(kEntry, at)) {
        std::size_t end = bytes.find(')', at + kEntry.size());
        if (end == std::string::npos) break;
        bytes.erase(at, end + 1 - at);
    }
    return bytes;
}

// The files of a folder by name, with the PDF creation dates taken out.
std::map<std::string, std::string> DocumentsWithoutDates(const fs::path& folder) {
    std::map<std::string, std::string> documents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        documents[entry.path().filename().string()] = WithoutCreationDates(ReadFileBytes(entry.path()).value_or(""));
    }
    return documents;
}

TEST(CliOutput, DocumentsAreTheSameWhateverFontsTheMachineHas) {
    test::TempDir fonts;
    fs::path config = WriteForeignFontConfiguration(fonts);
    // The configuration really puts other fonts in place of ours.
    for (const char* family : {"Helvetica", "Arial", "Times", "Liberation Sans"}) {
        EXPECT_NE(MatchedFileUnder(config, family).find(fonts.path().string()), std::string::npos) << family;
    }

    const std::string demoMap = "'" + (test::SourceDir() / "examples/DemoMap").string() + "'";
    const std::string project = ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or("");
    test::TempDir usual, foreign;
    usual.Write("output/DemoMap.cfg", project);
    foreign.Write("output/DemoMap.cfg", project);
    auto usualRun = RunCliWith(usual, "", "output " + demoMap);
    auto foreignRun = RunCliWith(foreign, "FONTCONFIG_FILE='" + config.string() + "'", "output " + demoMap);
    ASSERT_EQ(usualRun.status, 0) << usualRun.output;
    ASSERT_EQ(foreignRun.status, 0) << foreignRun.output;
    EXPECT_EQ(foreignRun.output, usualRun.output);

    auto expected = DocumentsWithoutDates(usual.path() / "output" / "DemoMap");
    auto got = DocumentsWithoutDates(foreign.path() / "output" / "DemoMap");
    EXPECT_EQ(expected.size(), 6u) << "two timetables, a tour plan, two stop tables, the route map";
    ASSERT_EQ(got.size(), expected.size());
    for (const auto& [name, bytes] : expected) {
        EXPECT_TRUE(got[name] == bytes) << name << " differs under other fonts";
    }
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
    EXPECT_NE(run.output.find("Output incomplete: 1 of 2 documents created."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Output created"), std::string::npos) << run.output;
    fs::path folder = working.path() / "output" / map.path().filename();
    auto text = ReadFileBytes(folder / "Timetable 10.txt");
    ASSERT_TRUE(text) << run.output;
    EXPECT_NE(text->find("Markt   dep | 05:00 "), std::string::npos) << *text;
}

// A map of the tests' data whose stop names are written in `codePage`, with a
// project that prints its one line as a PDF timetable.
fs::path EasternMap(const test::TempDir& working, int codePage) {
    const std::string name = "Stops" + std::to_string(codePage);
    working.Write("output/" + name + ".cfg", R"({"Version": 136, "OutputOpt": {"Format": 1, "FontName": "Helvetica"},
        "TimeTablePlan": [{"Name": "10", "Line": "10", "Trip": ["A"], "Days": [{"Name": "Mo-Fr", "Flags": 799}],
                           "Stop": [{"ID": 1, "Flags": 2}, {"ID": 2, "Flags": 2}, {"ID": 3, "Flags": 2},
                                    {"ID": 4, "Flags": 1}]}]})");
    return test::SourceDir() / "tests" / "data" / "maps" / name;
}

TEST(CliOutput, StopNamesOfTheChosenCodePagePrintWithEmbeddedFonts) {
    const std::map<int, std::vector<std::string>> names = {
        {1250,
         {"\xC5\x81\xC3\xB3\x64\xC5\xBA Kaliska", "\xC5\x98\xC3\xAD\xC4\x8D\x61ny n\xC3\xA1m.",
          "K\xC5\x91szeg F\xC5\x91 t\xC3\xA9r", "\xC5\xBDilina-Z\xC3\xA1stranie"}},
        {1251,
         {"\xD0\x9D\xD0\xB8\xD1\x88",
          "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xD0\x9F\xD0\xB0\xD0\xB2\xD0\xB5\xD0\xBB\xD0\xB5\xD1\x86"
          "\xD0\xBA\xD0\xB0\xD1\x8F",
          "\xD0\x91\xD0\xB5\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xB4 \xD0\xA6\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0\xD1\x80",
          "\xD0\x9A\xD0\xB8\xD1\x97\xD0\xB2"}},
    };
    for (const auto& [codePage, stops] : names) {
        test::TempDir working;
        fs::path map = EasternMap(working, codePage);
        auto run = RunCliIn(working, "output '" + map.string() + "' --codepage " + std::to_string(codePage));
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("Warning"), std::string::npos) << run.output;
        fs::path pdf = working.path() / "output" / map.filename() / "Timetable 10.pdf";
        ASSERT_TRUE(fs::exists(pdf)) << run.output;
        std::string quoted = " '" + pdf.string() + "'";

        auto text = test::RunCommand("pdftotext -enc UTF-8" + quoted + " - 2>&1");
        // Each name whole, ended by the line or by the blank before its label.
        for (const std::string& stop : stops) {
            bool whole = text.output.find(stop + "\n") != std::string::npos ||
                         text.output.find(stop + " dep") != std::string::npos ||
                         text.output.find(stop + " arr") != std::string::npos;
            EXPECT_TRUE(whole) << stop << "\n" << text.output;
        }
        auto fonts = test::RunCommand("pdffonts" + quoted + " 2>&1");
        EXPECT_EQ(fonts.status, 0) << fonts.output;
        std::size_t fontLines = 0;
        for (std::size_t at = fonts.output.find("CID TrueType"); at != std::string::npos;
             at = fonts.output.find("CID TrueType", at + 1)) {
            ++fontLines;
        }
        EXPECT_EQ(fontLines + 2, static_cast<std::size_t>(std::count(fonts.output.begin(), fonts.output.end(), '\n')))
            << "every font an embedded TrueType subset:\n" << fonts.output;
        EXPECT_EQ(fonts.output.find(" no "), std::string::npos) << fonts.output;
        auto check = test::RunCommand("qpdf --check" + quoted + " 2>&1");
        EXPECT_EQ(check.status, 0) << check.output;
        auto render = test::RunCommand("pdftoppm -r 30 -png" + quoted + " '" + (working.path() / "page").string() + "' 2>&1");
        EXPECT_EQ(render.status, 0);
        EXPECT_EQ(render.output, "") << "the renderer complains";
    }
}

TEST(CliOutput, ACharacterTheFontsLackIsNamedInTheLog) {
    test::TempDir working;
    fs::path map = EasternMap(working, 1250);
    // A headline with a snowman, which the fonts have no glyph for.
    std::string project = ReadFileBytes(working.path() / "output" / "Stops1250.cfg").value_or("");
    project.replace(project.find("\"Name\": \"10\""), 12, "\"Name\": \"10\", \"Headline\": \"Bus \xE2\x98\x83\"");
    working.Write("output/Stops1250.cfg", project);
    auto run = RunCliIn(working, "output '" + map.string() + "' --codepage 1250");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Warning in 10: the fonts have no glyph for \xE2\x98\x83; a replacement was printed "
                              "instead.\n"),
              std::string::npos)
        << run.output;
    auto text = test::RunCommand("pdftotext -enc UTF-8 '" +
                                 (working.path() / "output" / "Stops1250" / "Timetable 10.pdf").string() + "' - 2>&1");
    EXPECT_NE(text.output.find("Bus ?"), std::string::npos) << text.output;
}

TEST(CliCheck, WarnsWhenTheFilesLookLikeAnotherCodePage) {
    const fs::path maps = test::SourceDir() / "tests" / "data" / "maps";
    test::TempDir working;
    auto wrong = RunCliIn(working, "check '" + (maps / "Stops1250").string() + "'");
    EXPECT_EQ(wrong.status, 0) << wrong.output;  // a warning, not an error
    EXPECT_NE(wrong.output.find("TTData/Busstops.cfg\n  warning The word \"\xC5\x81\xC3\xB3\x64\xC5\xBA\" reads as code "
                                "page 1250, but the map's files are read in code page 1252"),
              std::string::npos)
        << wrong.output;
    auto cyrillic = RunCliIn(working, "check '" + (maps / "Stops1251").string() + "' --codepage 1250");
    EXPECT_NE(cyrillic.output.find("reads as code page 1251"), std::string::npos) << cyrillic.output;

    // The settings file chooses the code page when the command line does not.
    working.Write("Taktarium.cfg", R"({"CodePage": 1251})");
    auto right = RunCliIn(working, "check '" + (maps / "Stops1251").string() + "'");
    EXPECT_EQ(right.output.find("code page"), std::string::npos) << right.output;

    EXPECT_EQ(RunCli("check x --codepage 1253").status, 2);
    EXPECT_EQ(RunCli("check x --codepage").status, 2);
}

TEST(CliCheck, PrintsFindingsByFileAndFailsOnAnError) {
    test::TempDir map;
    map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"Bahnhof", 2}}));
    map.Write("TTData/A.ttp", test::TripHeader("10") + test::StationsTyp2({1, 7, 2}) + test::Profile("P", "4"));
    map.Write("TTData/10.ttl", test::Tour("Run 1", 0x31F, {{"a", 0, "300"}}));
    auto text = RunCli("check '" + map.path().string() + "' --lang English");
    EXPECT_EQ(text.status, 1) << text.output;
    EXPECT_EQ(text.output,
              "TTData/A.ttp\n"
              "  error line 11: Stop 7 of trip A is not in the stop list; the trip loses this station and its later "
              "station numbers shift. [station-unknown-stop]\n"
              "1 error, 0 warnings, 0 notes\n");

    auto json = RunCli("check '" + map.path().string() + "' --json");
    EXPECT_EQ(json.status, 1);
    JsonPtr root = Parse(json.output);
    ASSERT_TRUE(root) << json.output;
    EXPECT_EQ(GetInteger(ObjectGet(root.get(), "errors"), -1), 1);
    const JsonValue* finding = ArrayGet(ObjectGet(root.get(), "findings"), 0);
    EXPECT_EQ(GetString(ObjectGet(finding, "code"), ""), "station-unknown-stop");
    EXPECT_EQ(GetInteger(ObjectGet(finding, "line"), 0), 11);
    EXPECT_NE(GetString(ObjectGet(finding, "text"), "").find("Haltestelle 7 der Fahrt A"), std::string::npos);

    // Mended, the map passes: warnings and notes alone do not fail a check.
    map.Write("TTData/A.ttp", test::TripHeader("10") + test::StationsTyp2({1, 2}) + test::Profile("P", "4"));
    map.Write("TTData/B.ttp", test::TripHeader("10") + test::StationsTyp2({2, 1}) + test::Profile("P", "4"));
    auto mended = RunCli("check '" + map.path().string() + "' --lang English");
    EXPECT_EQ(mended.status, 0) << mended.output;
    EXPECT_NE(mended.output.find("note Trip B (line 10) is run by no tour. [trip-unused]"), std::string::npos)
        << mended.output;
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
                  R"({"OutputOpt": {"Format": 0}, "TimeTablePlan": [{"Name": "Plan)" "\x1B" R"([31m",
                      "Line": "10", "Trip": ["A"], "Days": [{"Name": "Mo-Fr", "Flags": 799}],
                      "Stop": [{"ID": 1, "Flags": 2}, {"ID": 2, "Flags": 1}]}]})");

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

// A mistyped language would run on with empty texts and name documents
// " 1.pdf": it is refused before anything is read or written.
TEST(CliUsage, AnUnknownLanguageFailsBeforeAnythingIsWritten) {
    test::TempDir working;
    working.Write("output/DemoMap.cfg",
                  ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or(""));
    const std::string map = "'" + (test::SourceDir() / "examples/DemoMap").string() + "'";
    for (const char* command : {"output ", "info ", "check "}) {
        auto run = RunCliWith(working, "", command + map + " --lang Englsh");
        EXPECT_EQ(run.status, 2) << command << run.output;
        EXPECT_NE(run.output.find("unknown language \"Englsh\"; the languages found are: English, German"),
                  std::string::npos)
            << run.output;
    }
    EXPECT_FALSE(fs::exists(working.path() / "output" / "DemoMap"));
}

// A date names another project: without its file there is nothing to
// create, and the run says so instead of writing the default route map.
TEST(CliOutput, ADateWithoutItsProjectFileFailsAndPointsToTheUndatedOne) {
    test::TempDir working;
    working.Write("output/DemoMap.cfg",
                  ReadFileBytes(test::SourceDir() / "examples/output/DemoMap.cfg").value_or(""));
    auto run = RunCliIn(working, "output '" + (test::SourceDir() / "examples/DemoMap").string() + "' --date 2027-03-15");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("no project file " + (working.path() / "output/DemoMap_20270315.cfg").string()),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("the plans without a date are in " + (working.path() / "output/DemoMap.cfg").string()),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("Output created"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(working.path() / "output" / "DemoMap_20270315"));
}

// Names from the map's files reach the terminal in the check's report too.
TEST(CliCheck, ControlCharactersInFileNamesAreShownAsEscapes) {
    test::TempDir map;
    map.Write("TTData/Busstops.cfg", test::StopListFile({{"Markt", 1}, {"Bahnhof", 2}}));
    map.Write("TTData/A\nB\x1B[2J.ttp", test::TripHeader("10") + test::StationsTyp2({1, 7, 2}) + test::Profile("P", "4"));
    map.Write("TTData/10.ttl", test::Tour("Run 1", 0x31F, {{"b", 0, "300"}}));
    auto text = RunCli("check '" + map.path().string() + "' --lang English");
    EXPECT_EQ(text.status, 1) << text.output;
    EXPECT_FALSE(HasControlCharacter(text.output)) << text.output;
    EXPECT_NE(text.output.find("\nTTData/A\\nB\\x1B[2J.ttp\n  "), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("of trip A\\nB\\x1B[2J is not"), std::string::npos) << text.output;
}

TEST(CliUsage, FailsClearlyOnBadInput) {
    test::TempDir empty;
    auto missing = RunCli("info '" + empty.path().string() + "' --lang English");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find(empty.path().string()), std::string::npos) << missing.output;
    // The message's line break is a line break, not an escape.
    EXPECT_NE(missing.output.find("is missing).\nPlease check"), std::string::npos) << missing.output;
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
