#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "persist/JSON.h"
#include "persist/ProjectFile.h"
#include "persist/ProjectFields.h"
#include "support/ProjectMaps.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

const TripStation& StationOf(const MapData& map, int32_t id) { return *map.FindStationByStopId(id); }
const Trip& TripOf(MapData& map, std::string_view name) { return *map.FindTrip(name); }

// A project whose every field differs from its default.
Project MakeFullProject(MapData& map) {
    Project project;
    project.outputOpt = {kOutputText, "Times-Roman", 12, true, true, true, "1. Mai 2025", "Stadtwerke"};

    RouteSpider& ring = AddRouteSpider(project.routeSpiders, "Ring");
    ring.displayTravel = kTravelBeneath;
    // Adding a stop may move the way's stops: keep keys, not pointers.
    SpiderStop* nord = AddSpiderStop(ring, 0, StationOf(map, 3));
    nord->name = "Nord (Bf)";
    nord->important = true;
    nord->changes = "Bus 5\r\nBus 7";
    SpiderStopKey nordKey = nord->key;
    AddSpiderStop(ring, 0, StationOf(map, 1))->travelTime = 2;
    SpiderStop* sued = AddSpiderStop(ring, 0, StationOf(map, 2));
    sued->travelTime = 3;
    SpiderStopKey suedKey = sued->key;
    ring.ways.emplace_back();
    ring.ways[1].begin = nordKey;
    ring.ways[1].end = suedKey;
    AddSpiderStop(ring, 1, StationOf(map, 5))->travelTime = 4;
    RouteSpider& second = AddRouteSpider(project.routeSpiders, "Second");
    second.displayTravel = kTravelOnTop;

    TimeTablePlan& plan = project.timeTablePlans.emplace_back();
    plan.name = "Line 1";
    plan.headline = "Line \"1\" from C:\\Maps";
    plan.line = "1, 2";
    plan.autoLine = plan.hideEmpty = plan.hideBridge = plan.displayNote = false;
    plan.displayLine = plan.displayTour = plan.pageBreak = plan.mergeIterColumn = true;
    plan.breakHour = 3;
    plan.routeSpider = project.routeSpiders.spiders[0].key;
    plan.trips = {&TripOf(map, "1_out"), &TripOf(map, "1_back")};
    plan.days = {{"Mon - Fri", 0x31F}, {"Sun", 0x3C0}};
    plan.stops = {{&StationOf(map, 3), "Nord (Bf)", kRowArrival | kRowDeparture}, {&StationOf(map, 1), "Markt", kRowMerged}};

    TourPlan tour;
    tour.name = "1";
    tour.line = map.FindLine("1");
    tour.headline = "Duties of line 1";
    tour.hideEmpty = tour.hideBridge = false;
    tour.displayLine = tour.displayIbis = tour.displayTarget = tour.displayOutIns = tour.displayPause = true;
    tour.pageBreak = true;
    tour.tours["1-02"] = &map.FindLine("1")->tours[1];
    tour.trips = {{&TripOf(map, "1_out"), false, true, "101", "S\xC3\xBC" "d"},
                  {&TripOf(map, "1_back"), true, false, "", "Nord"}};
    tour.outward = {"1_out"};
    tour.returning = {"1_back"};
    tour.stopsOut = {{&StationOf(map, 1), "Markt", kRowDeparture}};
    tour.stopsRet = {{&StationOf(map, 2), "S\xC3\xBC" "d", kRowArrival}};
    project.tourPlans.emplace("1", std::move(tour));

    StopTable& table = project.stopTables.emplace_back();
    table.name = "Markt";
    table.headline = "Departures at Markt";
    table.sameInOne = table.mergeRow = true;
    table.breakHour = 2;
    table.routeSpider = project.routeSpiders.spiders[1].key;
    table.stations = {&StationOf(map, 1), &StationOf(map, 5)};
    table.days = {{"Daily", 0x3FF}};
    StopTableTrip& first = AddStopTableTrip(table, TripOf(map, "1_out"));
    first.alternative = true;
    first.footnote = "via West";
    StopTableTripKey firstKey = first.key;
    AddStopTableTrip(table, TripOf(map, "1_back")).sameWay = firstKey;
    table.selection = {"1_out", "1_back"};

    RouteMap& routeMap = project.routeMap;
    routeMap.format = kRouteMapPng;
    routeMap.width = 40;
    routeMap.height = 30;
    routeMap.roundBox = 3;
    routeMap.allowDiag = false;
    RouteLine& one = AddRouteLine(routeMap, "1");
    one.colourIndex = 3;
    one.customColour = PackRgb(RouteColourTable()[3].rgb);
    one.textColour = 0;
    one.arrowColour = 1;
    one.stroke = 1;
    one.thickness = 6;
    RouteKey oneKey = one.key;
    RouteLine& two = AddRouteLine(routeMap, "2");
    two.colourIndex = kCustomColour;
    two.customColour = 0x123456;
    two.textColour = 2;
    two.arrowColour = 0;
    two.autoNames = true;
    RouteKey twoKey = two.key;
    RouteStop& markt = AddRouteStop(routeMap, "Markt");
    markt.automatic = false;
    markt.stored = {4, 5, 2, 0};
    markt.labels = {{kLabelName, 3, -4, 90, kNoRouteKey, 0, false},
                    {kLabelLineFilled, -9, 8, 0, twoKey, 0, false},
                    {kLabelArrow, 0, 0, 0, kNoRouteKey, 3, true}};
    RouteKey marktKey = markt.key;
    RouteStop& nordStop = AddRouteStop(routeMap, "Nord");
    nordStop.exit = true;
    nordStop.labels.clear();
    RouteKey nordStopKey = nordStop.key;
    Connection& link = AddConnection(routeMap, oneKey, nordStopKey, marktKey);
    link.end[0].side = 2;
    link.end[0].port = 0;
    link.nodes = {{4, 2}};
    link.signs = {{kSignLineName, 0}, {kSignDotted, 2}};
    AddConnection(routeMap, twoKey, marktKey, kNoRouteKey);
    PrepareLoadedRouteMap(routeMap);
    return project;
}

std::string SpiderName(const Project& project, RouteSpiderKey key) {
    const RouteSpider* spider = FindRouteSpider(project.routeSpiders, key);
    return spider ? spider->name : "<none>";
}

// Keys are handed out anew by every load, so two projects compare by what
// the keys stand for: a plan's spider by its name (checked beside), the other
// keys by the position of the record they name. Pointers into the map data
// compare by address, which is what these tests want: both projects are
// read against the same MapData.
TimeTablePlan WithoutSpiderKey(TimeTablePlan plan) {
    plan.routeSpider = kNoSpider;
    return plan;
}

StopTable WithPositionKeys(StopTable table) {
    table.routeSpider = kNoSpider;
    std::map<StopTableTripKey, StopTableTripKey> position;  // a key missing here is none
    for (std::size_t i = 0; i < table.trips.size(); ++i) position[table.trips[i].key] = static_cast<uint32_t>(i + 1);
    for (auto& entry : table.trips) {
        entry.key = position[entry.key];
        entry.sameWay = position[entry.sameWay];
    }
    table.nextTripKey = kNoStopTableTrip;
    return table;
}

RouteSpider WithPositionKeys(RouteSpider spider) {
    std::map<SpiderStopKey, SpiderStopKey> position;  // a key missing here is none
    SpiderStopKey next = 1;
    for (const auto& way : spider.ways) {
        for (const auto& stop : way.stops) position[stop.key] = next++;
    }
    for (auto& way : spider.ways) {
        way.begin = position[way.begin];
        way.end = position[way.end];
        for (auto& stop : way.stops) stop.key = position[stop.key];
    }
    spider.key = kNoSpider;
    spider.nextStopKey = kNoSpiderStop;
    return spider;
}

void ExpectSameSpiders(const Project& a, const Project& b) {
    ASSERT_EQ(a.routeSpiders.spiders.size(), b.routeSpiders.spiders.size());
    for (std::size_t s = 0; s < a.routeSpiders.spiders.size(); ++s) {
        EXPECT_TRUE(WithPositionKeys(a.routeSpiders.spiders[s]) == WithPositionKeys(b.routeSpiders.spiders[s]))
            << "spider " << s;
    }
}

void ExpectSamePlans(const Project& a, const Project& b) {
    ASSERT_EQ(a.timeTablePlans.size(), b.timeTablePlans.size());
    for (std::size_t i = 0; i < a.timeTablePlans.size(); ++i) {
        const TimeTablePlan& x = a.timeTablePlans[i];
        const TimeTablePlan& y = b.timeTablePlans[i];
        EXPECT_EQ(SpiderName(a, x.routeSpider), SpiderName(b, y.routeSpider));
        EXPECT_TRUE(WithoutSpiderKey(x) == WithoutSpiderKey(y)) << "timetable plan " << x.name;
    }
    EXPECT_TRUE(a.tourPlans == b.tourPlans);
    ASSERT_EQ(a.stopTables.size(), b.stopTables.size());
    for (std::size_t i = 0; i < a.stopTables.size(); ++i) {
        const StopTable& x = a.stopTables[i];
        const StopTable& y = b.stopTables[i];
        EXPECT_EQ(SpiderName(a, x.routeSpider), SpiderName(b, y.routeSpider));
        EXPECT_TRUE(WithPositionKeys(x) == WithPositionKeys(y)) << "stop table " << x.name;
    }
}

// A route map as text: every stored field with references as positions.
std::string Describe(const RouteMap& m) {
    auto position = [](const auto& records, RouteKey key) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (records[i].key == key) return std::to_string(i);
        }
        return std::string("-");
    };
    std::string text = std::to_string(m.format) + " " + std::to_string(m.width) + "x" + std::to_string(m.height) +
                       " r" + std::to_string(m.roundBox) + (m.allowDiag ? " diag\n" : " straight\n");
    for (const auto& l : m.lines) {
        text += "line " + l.name + " " + std::to_string(l.colourIndex) + " " + std::to_string(l.customColour) +
                " " + std::to_string(l.textColour) + " " + std::to_string(l.arrowColour) + " " +
                std::to_string(l.stroke) + " " + std::to_string(l.thickness) + " " + std::to_string(l.autoNames) +
                "\n";
    }
    for (const auto& s : m.stops) {
        text += "stop " + s.name + " " + std::to_string(s.exit) + " " + std::to_string(s.automatic) + " " +
                std::to_string(s.stored.x) + "," + std::to_string(s.stored.y) + " " + std::to_string(s.stored.width) +
                "x" + std::to_string(s.stored.height) + " connections " + std::to_string(s.connections.size()) +
                "\n";
        for (const auto& l : s.labels) {
            text += "  label " + std::to_string(l.type) + " " + std::to_string(l.x) + "," + std::to_string(l.y) +
                    " a" + std::to_string(l.angle) + " line " + position(m.lines, l.line) + " d" +
                    std::to_string(l.dir) + " auto " + std::to_string(l.automatic) + "\n";
        }
    }
    for (const auto& c : m.connections) {
        text += "connection line " + position(m.lines, c.line);
        for (const auto& e : c.end) {
            text += " [" + position(m.stops, e.stop) + " " + std::to_string(e.side) + " " + std::to_string(e.port) +
                    "]";
        }
        for (const auto& n : c.nodes) text += " node " + std::to_string(n.x) + "," + std::to_string(n.y);
        for (const auto& s : c.signs) text += " sign " + std::to_string(s.type) + "@" + std::to_string(s.pos);
        text += "\n";
    }
    return text;
}

class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override { test::FillSmallTown(map); }
    fs::path File() const { return ProjectFilePath(dir.path(), "Town"); }
    std::string Text() const { return ReadFileBytes(File()).value_or(""); }
    void WriteFile(std::string_view json) const { dir.Write("output/Town.cfg", "\xEF\xBB\xBF" + std::string(json)); }

    MapData map;
    test::TempDir dir;
};

TEST_F(ProjectFileTest, EveryRecordSurvivesSaveAndLoad) {
    Project original = MakeFullProject(map);
    ASSERT_TRUE(SaveProject(original, File()));
    std::string firstSave = Text();

    Project loaded;
    ProjectLoadResult result = LoadProject(loaded, map, File());
    EXPECT_TRUE(result.parsed);
    EXPECT_EQ(result.version, kProjectVersion);
    EXPECT_TRUE(loaded.outputOpt == original.outputOpt);
    ExpectSameSpiders(original, loaded);
    ExpectSamePlans(original, loaded);
    EXPECT_EQ(Describe(loaded.routeMap), Describe(original.routeMap));

    ASSERT_TRUE(SaveProject(loaded, File()));
    EXPECT_EQ(Text(), firstSave) << "a second save writes the same bytes";
}

TEST_F(ProjectFileTest, SavedFileMatchesTheCheckedLayout) {
    // Keys appear in the order of the stored form's tables, conditional keys
    // only under their conditions; a person has read this file.
    Project project = MakeFullProject(map);
    ASSERT_TRUE(SaveProject(project, File()));
    fs::path goldenFile = test::SourceDir() / "tests/data/project/every_record.cfg";
    if (std::getenv("TAKTARIUM_UPDATE_GOLDEN")) {
        ASSERT_TRUE(WriteFileBytes(goldenFile, Text()));
    }
    auto golden = ReadFileBytes(goldenFile);
    ASSERT_TRUE(golden.has_value());
    EXPECT_EQ(Text(), *golden);
}

TEST_F(ProjectFileTest, InterchangeLineBreaksAreStoredAsBackslashN) {
    Project project = MakeFullProject(map);
    ASSERT_TRUE(SaveProject(project, File()));
    JsonPtr root = Load(File());
    const JsonValue* stop = ArrayGet(ObjectGet(ArrayGet(ObjectGet(ArrayGet(ObjectGet(root.get(), "RouteSpider"), 0),
                                                                 "Way"), 0), "Stop"), 0);
    EXPECT_EQ(GetString(ObjectGet(stop, "Changes"), ""), "Bus 5\\nBus 7");
}

TEST_F(ProjectFileTest, MissingFileAndMissingObjectsGiveTheirDefaults) {
    Project project = MakeFullProject(map);
    ProjectLoadResult none = LoadProject(project, map, File());
    EXPECT_FALSE(none.fileFound);
    EXPECT_TRUE(project.timeTablePlans.empty() && project.tourPlans.empty() && project.stopTables.empty());
    EXPECT_TRUE(project.routeSpiders.spiders.empty() && project.routeMap.lines.empty());
    EXPECT_EQ(project.outputOpt.fontName, "Helvetica");
    EXPECT_EQ(project.outputOpt.format, kOutputPdf);
    EXPECT_EQ(project.routeMap.width, 32);
    // A new project's route map is printed unless the user says otherwise.
    EXPECT_EQ(project.routeMap.format, kRouteMapPdf);

    WriteFile(R"({"Version": 136, "TimeTablePlan": [{}], "TourPlan": [{"Name": "1"}], "StopTable": [{}],
                  "RouteMap": {"Line": [{}], "Stop": [{}], "Connect": [{}]}})");
    ProjectLoadResult empty = LoadProject(project, map, File());
    EXPECT_TRUE(empty.parsed);
    EXPECT_EQ(project.outputOpt.fontName, "Arial");
    EXPECT_EQ(project.outputOpt.fontSize, 10);
    ASSERT_EQ(project.timeTablePlans.size(), 1u);
    const TimeTablePlan& plan = project.timeTablePlans[0];
    EXPECT_TRUE(plan.autoLine && plan.hideEmpty && plan.hideBridge && plan.displayNote);
    EXPECT_FALSE(plan.displayLine || plan.displayTour || plan.pageBreak || plan.mergeIterColumn);
    EXPECT_EQ(plan.breakHour, -1);
    EXPECT_EQ(plan.routeSpider, kNoSpider);
    const TourPlan& tour = project.tourPlans.at("1");
    EXPECT_TRUE(tour.active && tour.hideEmpty && tour.hideBridge);
    EXPECT_FALSE(tour.displayPause || tour.displayIbis);
    EXPECT_EQ(project.stopTables.at(0).breakHour, -1);
    const RouteLine& line = project.routeMap.lines.at(0);
    EXPECT_EQ(line.colourIndex, kAutomaticColour);
    EXPECT_EQ(line.arrowColour, kTextWhite);
    EXPECT_EQ(line.thickness, 4);
    EXPECT_TRUE(line.autoNames);
    const RouteStop& stop = project.routeMap.stops.at(0);
    EXPECT_TRUE(stop.automatic);
    EXPECT_EQ(stop.stored, (StopBox{-1, -1, 0, 1}));
    EXPECT_TRUE(stop.labels.empty()) << "version 136 keeps the (missing) label list as stored";
    const Connection& connection = project.routeMap.connections.at(0);
    EXPECT_EQ(connection.line, kNoRouteKey);
    EXPECT_EQ(connection.end[0], (ConnectionEnd{kNoRouteKey, -1, -1}));
    // A stored route map without a format is not printed; a file that has no
    // route map at all starts a new one, which is.
    EXPECT_EQ(project.routeMap.format, kRouteMapNone);
    WriteFile(R"({"Version": 136, "RouteMap": {"Format": 2}})");
    ASSERT_TRUE(LoadProject(project, map, File()).parsed);
    EXPECT_EQ(project.routeMap.format, kRouteMapPng);
    WriteFile(R"({"Version": 136, "TimeTablePlan": []})");
    ASSERT_TRUE(LoadProject(project, map, File()).parsed);
    EXPECT_EQ(project.routeMap.format, kRouteMapPdf);
}

// One record of each kind as made in code with nothing but its references
// set; a plan stop's name is its station's, the one default that depends on
// what the record refers to.
Project MakeDefaultRecords(MapData& map) {
    const TripStation& markt = StationOf(map, 1);
    const Trip& trip = TripOf(map, "1_out");
    Project project;
    project.outputOpt = OutputOpt{};
    RouteSpider& spider = AddRouteSpider(project.routeSpiders, "");
    AddSpiderStop(spider, 0, markt)->name.clear();
    TimeTablePlan& plan = project.timeTablePlans.emplace_back();
    plan.days.emplace_back();
    plan.stops.emplace_back().station = &markt;
    plan.stops.back().name = markt.name;
    TourPlan& tour = project.tourPlans[""];
    tour.trips.emplace_back().trip = &trip;
    tour.returning.insert(trip.name);
    StopTable& table = project.stopTables.emplace_back();
    AddStopTableTrip(table, trip);
    table.selection.insert(trip.name);
    RouteMap& routeMap = project.routeMap;
    routeMap.lines.emplace_back().key = routeMap.nextKey++;
    RouteStop& stop = routeMap.stops.emplace_back();
    stop.key = routeMap.nextKey++;
    stop.labels.emplace_back();
    Connection& connection = routeMap.connections.emplace_back();
    connection.key = routeMap.nextKey++;
    connection.nodes.emplace_back();
    connection.signs.emplace_back();
    PrepareLoadedRouteMap(routeMap);  // as after every load
    return project;
}

void ExpectSameRecords(const Project& a, const Project& b) {
    EXPECT_TRUE(a.outputOpt == b.outputOpt) << "fonts " << a.outputOpt.fontName << ", " << b.outputOpt.fontName;
    EXPECT_TRUE(a.routeSpiders.spiders == b.routeSpiders.spiders);
    EXPECT_TRUE(a.timeTablePlans == b.timeTablePlans);
    EXPECT_TRUE(a.tourPlans == b.tourPlans);
    EXPECT_TRUE(a.stopTables == b.stopTables);
    EXPECT_TRUE(a.routeMap.lines == b.routeMap.lines);
    EXPECT_TRUE(a.routeMap.stops == b.routeMap.stops);
    EXPECT_TRUE(a.routeMap.connections == b.routeMap.connections);
    EXPECT_TRUE(a.routeMap == b.routeMap);
}

// The values a record is made with in code are the values the reader gives
// the keys a file lacks: a record read from an object without keys equals
// it, and so does that record written and read back.
TEST_F(ProjectFileTest, RecordsWithoutKeysReadAsRecordsMadeInCode) {
    const Project made = MakeDefaultRecords(map);
    WriteFile(R"({"Version": 136, "OutputOpt": {},
        "RouteSpider": [{"Way": [{"Stop": [{"ID": 1}]}]}],
        "TimeTablePlan": [{"Days": [{}], "Stop": [{"ID": 1}]}],
        "TourPlan": [{"Trip": [{"Name": "1_out"}]}],
        "StopTable": [{"Trips": [{"Name": "1_out"}]}],
        "RouteMap": {"Line": [{}], "Stop": [{"Text": [{}]}], "Connect": [{"Node": [{}], "Sign": [{}]}]}})");
    Project read;
    ASSERT_TRUE(LoadProject(read, map, File()).parsed);
    ExpectSameRecords(read, made);

    Project written = MakeDefaultRecords(map);
    ASSERT_TRUE(SaveProject(written, File()));
    Project reread;
    ASSERT_TRUE(LoadProject(reread, map, File()).parsed);
    ExpectSameRecords(reread, made);
}

// The PNG scale and the map's title are stored only when set, so that older
// files read and write as they were; a hand-edited value is held to what the
// window offers.
TEST_F(ProjectFileTest, RouteMapScaleAndTitleAreStoredWhenSetAndBounded) {
    Project project;
    project.routeMap.format = kRouteMapPng;
    ASSERT_TRUE(SaveProject(project, File()));
    auto root = Load(File());  // keeps the tree alive while its members are read
    const JsonValue* stored = ObjectGet(root.get(), "RouteMap");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(ObjectGet(stored, "PngScale"), nullptr);
    EXPECT_EQ(ObjectGet(stored, "Title"), nullptr);

    project.routeMap.pngScale = 4;
    project.routeMap.title = "Liniennetz Nordstadt";
    ASSERT_TRUE(SaveProject(project, File()));
    Project reread;
    ASSERT_TRUE(LoadProject(reread, map, File()).parsed);
    EXPECT_EQ(reread.routeMap.pngScale, 4);
    EXPECT_EQ(reread.routeMap.title, "Liniennetz Nordstadt");

    for (auto [written, read] :
         {std::pair{2, 2}, std::pair{3, 2}, std::pair{99, 4}, std::pair{0, 1}, std::pair{-7, 1}}) {
        WriteFile(R"({"Version": 136, "RouteMap": {"PngScale": )" + std::to_string(written) + "}}");
        ASSERT_TRUE(LoadProject(reread, map, File()).parsed);
        EXPECT_EQ(reread.routeMap.pngScale, read) << written;
    }
    // A title is one line of at most the heading texts' length.
    WriteFile(R"({"Version": 136, "RouteMap": {"Title": "Netz\nplan )" + std::string(300, 'x') + R"("}})");
    ASSERT_TRUE(LoadProject(reread, map, File()).parsed);
    EXPECT_EQ(reread.routeMap.title.size(), kMaxHeadingText);
    EXPECT_EQ(reread.routeMap.title.substr(0, 10), "Netz plan ");
}

TEST_F(ProjectFileTest, OldFilesTurnStopTextsIntoLabels) {
    // No "Version": the file is of version 45.
    WriteFile(R"({"RouteMap": {"Line": [{"Name": "1"}], "Stop": [
        {"Name": "Markt", "ShowText": 1, "TextX": 5, "TextY": -3, "TextAuto": 0, "TextAngle": 90,
         "Text": [{"Type": 1, "Line": 0, "Auto": 0, "X": 2, "Y": 2}]},
        {"Name": "Nord", "ShowText": 0},
        {"Name": "Ost"}]}})");
    Project project;
    ProjectLoadResult result = LoadProject(project, map, File());
    EXPECT_EQ(result.version, 45);
    // Offsets of labels placed by hand now count from the centre of a box
    // of one cell, as no line places these stops; automatic ones are placed anew.
    EXPECT_EQ(Describe(project.routeMap),
              "0 32x32 r5 diag\n"
              "line 1 -1 -1 -1 2 0 4 1\n"
              "stop Markt 0 1 -1,-1 0x1 connections 0\n"
              "  label 1 -6,-6 a0 line 0 d0 auto 0\n"
              "  label 0 -3,-11 a90 line - d0 auto 0\n"
              "stop Nord 0 1 -1,-1 0x1 connections 0\n"
              "stop Ost 0 1 -1,-1 0x1 connections 0\n"
              "  label 0 0,0 a0 line - d0 auto 1\n");

    WriteFile(R"({"Version": 46, "RouteMap": {"Stop": [{"Name": "Markt", "ShowText": 1, "TextX": 5}]}})");
    result = LoadProject(project, map, File());
    EXPECT_TRUE(project.routeMap.stops.at(0).labels.empty()) << "newer files keep their label list";
}

TEST_F(ProjectFileTest, OldLabelOffsetsAreMovedOnceWhenRead) {
    AppContext context;
    context.workingFolder = dir.path();
    context.projectName = "Town";
    // The old file's stop text becomes a label counted from the box's centre.
    WriteFile(R"({"Version": 45, "RouteMap": {"RoundBox": 2, "Stop": [{"Name": "Markt", "Auto": 0, "X": 3, "Y": 3,
        "Width": 1, "Height": 1, "ShowText": 1, "TextX": 5, "TextAuto": 0}]}})");
    Project asRead;
    ASSERT_EQ(LoadProject(asRead, map, File()).version, 45);
    EXPECT_EQ(asRead.routeMap.stops.at(0).labels.at(0).x, 5 - 8) << "the offset now counts from the box's centre";
    LoadProjectFile(context);
    EXPECT_EQ(context.project.routeMap, asRead.routeMap) << "the program reads it the same way";
    // Saved in the new form and read again, it is not moved a second time.
    ASSERT_TRUE(SaveProject(asRead, File()));
    Project again;
    ASSERT_EQ(LoadProject(again, map, File()).version, kProjectVersion);
    EXPECT_EQ(again.routeMap.stops.at(0).labels.at(0).x, 5 - 8);

    WriteFile(R"({"Version": 46, "RouteMap": {"RoundBox": 2, "Stop": [{"Name": "Markt"}]}})");
    ASSERT_EQ(LoadProject(asRead, map, File()).version, 46);
    LoadProjectFile(context);
    EXPECT_EQ(context.project.routeMap, asRead.routeMap);
    EXPECT_TRUE(SaveProjectFile(context));
    EXPECT_EQ(context.project.routeMap.roundBox, 2);

    context.projectName.clear();  // no map loaded
    EXPECT_FALSE(SaveProjectFile(context));
    EXPECT_FALSE(LoadProjectFile(context).fileFound);
    EXPECT_EQ(context.project.routeMap.roundBox, 5);
}

TEST_F(ProjectFileTest, UnresolvedReferencesAreDroppedSilently) {
    WriteFile(R"({"Version": 136,
      "RouteSpider": [{"Name": "S", "Way": [
          {"Stop": [{"ID": 99, "Name": "gone"}, {"ID": 1, "Name": "Markt"}]},
          {"BeginWay": 0, "BeginIndex": 1, "EndWay": 1, "EndIndex": 0, "Stop": [{"ID": 4}]}]}],
      "TimeTablePlan": [{"Name": "P", "RouteSpider": "Missing", "Trip": ["1_out", "nope", "1_OUT"],
                         "Stop": [{"ID": 1}, {"ID": 77, "Name": "x"}]}],
      "TourPlan": [{"Name": "9", "Headline": "kept", "Tour": ["1-01"],
                    "Trip": [{"Name": "1_out", "IsOut": 1}, {"Name": "zzz", "IsOut": 1}]},
                   {"Name": "1", "Tour": ["1-01", "9-99"]}],
      "StopTable": [{"Name": "T", "Stations": [1, 55, "2"], "Trips": [{"Name": "gone"}, {"Name": "2_out"}]}]})");
    Project project;
    LoadProject(project, map, File());

    const RouteSpider& spider = project.routeSpiders.spiders.at(0);
    ASSERT_EQ(spider.ways.at(0).stops.size(), 1u) << "stop 99 does not exist";
    EXPECT_EQ(spider.ways[0].stops[0].name, "Markt");
    EXPECT_EQ(spider.ways[1].begin, kNoSpiderStop) << "index 1 of the main way was dropped with its stop";
    EXPECT_EQ(spider.ways[1].end, kNoSpiderStop) << "a way cannot join itself";

    const TimeTablePlan& plan = project.timeTablePlans.at(0);
    EXPECT_EQ(plan.routeSpider, kNoSpider);
    EXPECT_EQ(plan.trips, std::vector<const Trip*>{map.FindTrip("1_out")}) << "trip names are matched exactly";
    ASSERT_EQ(plan.stops.size(), 1u);
    EXPECT_EQ(plan.stops[0].name, "Markt") << "a missing name is the station's";

    const TourPlan& orphan = project.tourPlans.at("9");
    EXPECT_EQ(orphan.line, nullptr);
    EXPECT_EQ(orphan.headline, "kept");
    EXPECT_TRUE(orphan.tours.empty()) << "a plan without its line has no tours";
    EXPECT_EQ(orphan.trips.size(), 1u);
    EXPECT_EQ(project.tourPlans.at("1").tours.size(), 1u);

    const StopTable& table = project.stopTables.at(0);
    EXPECT_EQ(table.stations, std::vector<const TripStation*>{map.FindStationByStopId(1)});
    ASSERT_EQ(table.trips.size(), 1u);
    EXPECT_EQ(table.selection, std::set<std::string>{"2_out"});
}

TEST_F(ProjectFileTest, TourPlansAreKeyedByLineAndReadTheOldPauseKey) {
    WriteFile(R"({"TourPlan": [{"Name": "1", "Headline": "first", "DisplayWait": 1},
                               {"Name": "2", "DisplayWait": 1, "DisplayPause": 0},
                               {"Name": "1", "Headline": "second"}]})");
    Project project;
    LoadProject(project, map, File());
    ASSERT_EQ(project.tourPlans.size(), 2u);
    EXPECT_EQ(project.tourPlans.at("1").headline, "second") << "the later plan of a line wins";
    EXPECT_FALSE(project.tourPlans.at("1").displayPause);
    EXPECT_FALSE(project.tourPlans.at("2").displayPause) << "DisplayPause overrides DisplayWait";

    WriteFile(R"({"TourPlan": [{"Name": "1", "DisplayWait": 1}]})");
    LoadProject(project, map, File());
    EXPECT_TRUE(project.tourPlans.at("1").displayPause);
    project.tourPlans.at("1").active = false;
    project.tourPlans["2"].name = "2";
    ASSERT_TRUE(SaveProject(project, File()));
    std::string text = Text();
    EXPECT_EQ(text.find("DisplayWait"), std::string::npos);
    LoadProject(project, map, File());
    EXPECT_EQ(project.tourPlans.size(), 1u) << "an inactive plan is not saved";
    EXPECT_TRUE(project.tourPlans.contains("2"));
}

TEST_F(ProjectFileTest, SameWayToALaterTripSurvivesOneSave) {
    WriteFile(R"({"StopTable": [{"Name": "T", "Stations": [1], "Trips": [
        {"Name": "1_out", "SameWay": "2_out"}, {"Name": "1_back", "SameWay": "1_out"}, {"Name": "2_out"}]}]})");
    Project project;
    LoadProject(project, map, File());
    StopTable& table = project.stopTables.at(0);
    EXPECT_EQ(table.trips[0].sameWay, kNoStopTableTrip) << "the target was not read yet";
    EXPECT_EQ(table.trips[1].sameWay, table.trips[0].key);

    table.trips[0].sameWay = table.trips[2].key;  // as the window would set it
    ASSERT_TRUE(SaveProject(project, File()));
    std::vector<std::string> order;
    for (const auto& entry : project.stopTables[0].trips) order.push_back(entry.trip->name);
    EXPECT_EQ(order, (std::vector<std::string>{"2_out", "1_out", "1_back"})) << "the target moves before its user";

    LoadProject(project, map, File());
    const StopTable& reread = project.stopTables.at(0);
    ASSERT_EQ(reread.trips.size(), 3u);
    EXPECT_EQ(reread.trips[1].sameWay, reread.trips[0].key);
    EXPECT_EQ(reread.trips[2].sameWay, reread.trips[1].key);
}

TEST_F(ProjectFileTest, TripsOutsideTheSelectionAreLostAtTheNextSave) {
    Project project = MakeFullProject(map);
    StopTable& table = project.stopTables[0];
    table.selection.erase("1_out");
    ASSERT_TRUE(SaveProject(project, File()));
    LoadProject(project, map, File());
    ASSERT_EQ(project.stopTables[0].trips.size(), 1u);
    EXPECT_EQ(project.stopTables[0].trips[0].trip->name, "1_back");
    EXPECT_EQ(project.stopTables[0].trips[0].sameWay, kNoStopTableTrip);
}

TEST_F(ProjectFileTest, ReloadingTheSpidersRelinksPlansByName) {
    Project project = MakeFullProject(map);
    ASSERT_TRUE(SaveProject(project, File()));
    LoadProject(project, map, File());
    RouteSpiderKey before = project.timeTablePlans[0].routeSpider;

    // The editor renames the second spider, changes a plan and saves only the spiders.
    project.routeSpiders.spiders[1].name = "Renamed";
    project.timeTablePlans[0].name = "not saved";
    ASSERT_TRUE(SaveRouteSpiders(project, File()));
    ASSERT_TRUE(LoadRouteSpiders(project, map, File()));
    EXPECT_NE(project.timeTablePlans[0].routeSpider, before) << "spiders get new keys when read";
    EXPECT_EQ(SpiderName(project, project.timeTablePlans[0].routeSpider), "Ring");
    EXPECT_EQ(SpiderName(project, project.stopTables[0].routeSpider), "Renamed");

    LoadProject(project, map, File());
    EXPECT_EQ(project.timeTablePlans[0].name, "Line 1") << "saving the spiders leaves the plans on disk alone";
    EXPECT_EQ(project.stopTables[0].routeSpider, kNoSpider) << "the table named the spider's old name";

    test::TempDir other;
    fs::path missing = ProjectFilePath(other.path(), "None");
    EXPECT_FALSE(SaveRouteSpiders(project, missing));
    EXPECT_FALSE(fs::exists(missing)) << "no file is made for the spiders alone";
    EXPECT_FALSE(LoadRouteSpiders(project, map, missing));
    EXPECT_TRUE(project.routeSpiders.spiders.empty());
}

TEST_F(ProjectFileTest, SavingCreatesTheFolderAndNeverLeavesAHalfFile) {
    Project project = MakeFullProject(map);
    ASSERT_FALSE(fs::exists(dir.path() / "output"));
    ASSERT_TRUE(SaveProject(project, File())) << "output/ is made when missing";
    std::string saved = Text();

    // A disk that fills up makes the write fail.
    project.timeTablePlans.clear();
    {
        test::FileSizeLimit disk(64);
        TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(disk);
        EXPECT_FALSE(SaveProject(project, File()));
    }
    EXPECT_EQ(Text(), saved) << "the old file stays as it was";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "output"), fs::directory_iterator()), 1)
        << "no temporary file is left";
}

TEST_F(ProjectFileTest, AnUnreadableFileIsKeptOnceBeforeItIsReplaced) {
    const std::string broken = "\xEF\xBB\xBF{\"Version\": 136, \"TimeTablePlan\": [{\"Name\": \"half";
    dir.Write("output/Town.cfg", broken);
    Project project;
    ProjectLoadResult result = LoadProject(project, map, File());
    EXPECT_TRUE(result.fileFound);
    EXPECT_FALSE(result.parsed);
    EXPECT_TRUE(project.timeTablePlans.empty());

    project.timeTablePlans.emplace_back().name = "new";
    ASSERT_TRUE(SaveProject(project, File()));
    fs::path backup = File();
    backup += ".bak";
    EXPECT_EQ(ReadFileBytes(backup).value_or(""), broken);
    ASSERT_TRUE(SaveProject(project, File()));
    EXPECT_EQ(ReadFileBytes(backup).value_or(""), broken) << "the second save does not touch the copy";

    // Broken again: the older copy stays, the new one takes the next name.
    dir.Write("output/Town.cfg", "{also broken");
    LoadProject(project, map, File());
    ASSERT_TRUE(SaveProject(project, File()));
    EXPECT_EQ(ReadFileBytes(backup).value_or(""), broken);
    fs::path second = File();
    second += ".bak2";
    EXPECT_EQ(ReadFileBytes(second).value_or(""), "{also broken");

    // Without a copy the broken file is not replaced.
    dir.Write("output/Town.cfg", "{broken once more");
    LoadProject(project, map, File());
    fs::remove(second);
    fs::create_directories(second);  // the free name is taken by a folder that cannot be written over
    fs::path third = File();
    third += ".bak3";
    fs::create_directories(third / "inside");
    for (int number = 4; number <= 100; ++number) {
        fs::path taken = File();
        taken += ".bak" + std::to_string(number);
        dir.Write(taken.lexically_relative(dir.path()).string(), "taken");
    }
    EXPECT_FALSE(SaveProject(project, File()));
    EXPECT_EQ(ReadFileBytes(File()).value_or(""), "{broken once more");
}

TEST_F(ProjectFileTest, BadInputNeverCrashesNorLeavesReferencesOutOfRange) {
    const char* files[] = {
        // wrong kinds everywhere
        R"({"Version": "136", "OutputOpt": [], "TimeTablePlan": {"Name": 1}, "TourPlan": [1, "x", null],
            "StopTable": [{"Name": 3, "Trips": [7, {"Name": ["1_out"]}], "Stations": [{}]}],
            "RouteSpider": [{"Way": [{"Stop": [{"ID": "1"}]}, 5]}],
            "RouteMap": {"Width": "wide", "Line": 4, "Stop": [{"Text": [{"Type": 1, "Line": "0"}]}],
                         "Connect": [{"Stop0": 1.5, "Node": [1, {"X": "a"}], "Sign": {}}]}})",
        // negative and huge indices and sizes
        R"({"RouteSpider": [{"Way": [{"Stop": [{"ID": 1}]},
                                     {"BeginWay": 2147483647, "BeginIndex": 0, "EndWay": 0, "EndIndex": -5},
                                     {"BeginWay": 0, "BeginIndex": 2147483647}]}],
            "RouteMap": {"Width": 2147483647, "Height": -4, "Line": [{"Name": "1"}],
                         "Stop": [{"Name": "A", "Text": [{"Type": 2, "Line": -1}, {"Type": 1, "Line": 99999}]}],
                         "Connect": [{"Line": -2147483648, "Stop0": 0, "Stop1": 2147483647},
                                     {"Line": 1, "Stop0": -1, "Stop1": 0}]}})",
        // duplicated keys: the later value counts
        R"({"Version": 136, "Version": 45, "OutputOpt": {"FontSize": 9, "FontSize": 11}})",
        // truncated
        R"({"Version": 136, "RouteMap": {"Stop": [{"Name": "A")",
    };
    for (const char* file : files) {
        WriteFile(file);
        Project project;
        LoadProject(project, map, File());
        const RouteMap& m = project.routeMap;
        EXPECT_GE(m.width, 1);
        EXPECT_LE(m.width, 512);
        EXPECT_GE(m.height, 1);
        for (const auto& connection : m.connections) {
            EXPECT_TRUE(connection.line == kNoRouteKey || FindRouteLine(m, connection.line));
            for (const auto& end : connection.end) EXPECT_TRUE(end.stop == kNoRouteKey || FindRouteStop(m, end.stop));
        }
        for (const auto& stop : m.stops) {
            for (const auto& label : stop.labels) EXPECT_TRUE(label.line == kNoRouteKey || FindRouteLine(m, label.line));
        }
        for (const auto& spider : project.routeSpiders.spiders) {
            for (std::size_t w = 0; w < spider.ways.size(); ++w) {
                for (SpiderStopKey key : {spider.ways[w].begin, spider.ways[w].end}) {
                    auto place = LocateSpiderStop(spider, key);
                    EXPECT_TRUE(key == kNoSpiderStop || (place && place->way < w)) << file;
                }
            }
        }
        EXPECT_TRUE(SaveProject(project, File())) << file;
        Project again;
        EXPECT_TRUE(LoadProject(again, map, File()).parsed) << "whatever was read saves as a valid file";
    }

    WriteFile(files[2]);
    Project project;
    EXPECT_EQ(LoadProject(project, map, File()).version, 45);
    EXPECT_EQ(project.outputOpt.fontSize, 11);

    WriteFile(files[1]);
    LoadProject(project, map, File());
    const Connection& second = project.routeMap.connections.at(1);
    EXPECT_EQ(second.end[0].stop, kNoRouteKey);
    EXPECT_EQ(second.end[1].stop, project.routeMap.stops.at(0).key);
    EXPECT_EQ(project.routeMap.stops.at(0).connections.size(), 2u) << "each end that names the stop registers";
}

// Numbers no window can enter are bounded to what the windows offer, so that
// no builder or drawing ever sees them.
TEST_F(ProjectFileTest, NumbersOnlyAHandEditedFileHoldsAreBoundedToTheirControls) {
    WriteFile(R"({"Version": 136, "OutputOpt": {"FontSize": 2147483647},
        "TimeTablePlan": [{"Name": "a", "BreakHour": 2147483647}, {"Name": "b", "BreakHour": -2147483648}],
        "StopTable": [{"Name": "c", "BreakHour": 30}, {"Name": "d", "BreakHour": 3}],
        "RouteSpider": [{"Name": "s", "DisplayTravel": 2147483647,
                         "Way": [{"Stop": [{"ID": 3, "TravelTime": 2147483647}, {"ID": 1, "TravelTime": -9},
                                           {"ID": 2, "TravelTime": 17}]}]}]})");
    Project project;
    ASSERT_TRUE(LoadProject(project, map, File()).parsed);
    EXPECT_EQ(project.outputOpt.fontSize, 72);
    ASSERT_EQ(project.timeTablePlans.size(), 2u);
    EXPECT_EQ(project.timeTablePlans[0].breakHour, 6);
    EXPECT_EQ(project.timeTablePlans[1].breakHour, -1);
    ASSERT_EQ(project.stopTables.size(), 2u);
    EXPECT_EQ(project.stopTables[0].breakHour, 6);
    EXPECT_EQ(project.stopTables[1].breakHour, 3);
    ASSERT_EQ(project.routeSpiders.spiders.size(), 1u);
    const RouteSpider& spider = project.routeSpiders.spiders[0];
    EXPECT_EQ(spider.displayTravel, kTravelNotShown);
    ASSERT_EQ(spider.ways.at(0).stops.size(), 3u);
    EXPECT_EQ(spider.ways[0].stops[0].travelTime, 24 * 60);
    EXPECT_EQ(spider.ways[0].stops[1].travelTime, 0);
    EXPECT_EQ(spider.ways[0].stops[2].travelTime, 17);

    WriteFile(R"({"OutputOpt": {"FontSize": -3}})");
    LoadProject(project, map, File());
    EXPECT_EQ(project.outputOpt.fontSize, 6);
}

TEST_F(ProjectFileTest, AHandEditedFileInUtf8WithoutMarkKeepsItsUmlautsAcrossASave) {
    dir.Write("output/Town.cfg", "{\"Version\": 136, \"TimeTablePlan\": [{\"Name\": \"S\xC3\xBC" "dbahnhof\"}]}");
    Project project;
    ASSERT_TRUE(LoadProject(project, map, File()).parsed);
    ASSERT_EQ(project.timeTablePlans.size(), 1u);
    EXPECT_EQ(project.timeTablePlans[0].name, "S\xC3\xBC" "dbahnhof");
    ASSERT_TRUE(SaveProject(project, File()));
    Project again;
    ASSERT_TRUE(LoadProject(again, map, File()).parsed);
    EXPECT_EQ(again.timeTablePlans.at(0).name, "S\xC3\xBC" "dbahnhof");
}

TEST_F(ProjectFileTest, DeeplyNestedInputDoesNotParse) {
    std::string deep = "{\"TimeTablePlan\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    WriteFile(deep);
    Project project;
    ProjectLoadResult result = LoadProject(project, map, File());
    EXPECT_TRUE(result.fileFound);
    EXPECT_FALSE(result.parsed);
}

}  // namespace
}  // namespace tak
