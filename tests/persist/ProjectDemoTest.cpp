// The demo map's project file, examples/output/DemoMap.cfg, as the program
// finds it after loading examples/DemoMap without a date.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "DemoProject.h"
#include "mapdata/MapLoader.h"
#include "persist/JSON.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

fs::path BundledFile() { return test::SourceDir() / "examples" / "output" / "DemoMap.cfg"; }

class DemoProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.language.LoadLanguage(test::SourceDir() / "Language", "German"));
        context.workingFolder = working.path();  // no project file yet
        ASSERT_TRUE(LoadMapAndProject(context, test::SourceDir() / "examples" / "DemoMap", kNoDate));
    }
    AppContext context;
    test::TempDir working;
};

TEST_F(DemoProjectTest, BundledFileIsTheProjectBuiltFromTheDemoMap) {
    Project project = test::BuildDemoProject(*context.map);
    ASSERT_TRUE(SaveProject(project, ProjectFilePath(context)));
    std::string saved = ReadFileBytes(ProjectFilePath(context)).value_or("");
    if (std::getenv("TAKTARIUM_UPDATE_GOLDEN")) {
        ASSERT_TRUE(WriteFileBytes(BundledFile(), saved));
    }
    EXPECT_EQ(ReadFileBytes(BundledFile()).value_or(""), saved)
        << "rebuild it with TAKTARIUM_UPDATE_GOLDEN=1 after changing the demo project";
}

TEST_F(DemoProjectTest, LoadingAndSavingTheBundledFileKeepsEveryByte) {
    fs::create_directories(working.path() / "output");
    fs::copy_file(BundledFile(), ProjectFilePath(context));
    ASSERT_TRUE(LoadProjectFile(context).parsed);
    ASSERT_TRUE(SaveProjectFile(context));
    EXPECT_EQ(ReadFileBytes(ProjectFilePath(context)).value_or(""), ReadFileBytes(BundledFile()).value_or("-"));
}

// Prints a tree as other JSON tools do: on one line, every character beyond
// ASCII and every control character as a \u escape (surrogate pairs beyond
// the basic plane), "/" as "\/", and every number as a floating-point value
// ("12.0", "1e-05").
class ForeignJsonPrinter {
public:
    static std::string Print(const JsonValue& node) {
        std::string out;
        Append(out, node);
        return out;
    }

private:
    static void AppendUnit(std::string& out, uint32_t unit) {
        char text[16];
        std::snprintf(text, sizeof text, "\\u%04x", unit);
        out += text;
    }

    static void AppendString(std::string& out, std::string_view text) {
        out += '"';
        std::size_t pos = 0;
        while (pos < text.size()) {
            char32_t c = NextCodePoint(text, pos);
            if (c == '"' || c == '\\' || c == '/') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c == '\n') {
                out += "\\n";
            } else if (c < 0x20 || c >= 0x7F) {
                if (c >= 0x10000) {
                    AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10));
                    AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
                } else {
                    AppendUnit(out, c);
                }
            } else {
                out += static_cast<char>(c);
            }
        }
        out += '"';
    }

    static void AppendNumber(std::string& out, double value) {
        char text[64];
        auto end = std::to_chars(text, text + sizeof text, value).ptr;
        std::string number(text, end);
        if (number.find_first_of(".e") == std::string::npos) number += ".0";
        out += number;
    }

    static void Append(std::string& out, const JsonValue& node) {
        switch (node.kind) {
            case JsonKind::Null: out += "null"; break;
            case JsonKind::True: out += "true"; break;
            case JsonKind::False: out += "false"; break;
            case JsonKind::Integer: AppendNumber(out, node.integer); break;
            case JsonKind::Number: AppendNumber(out, node.number); break;
            case JsonKind::String: AppendString(out, node.text); break;
            case JsonKind::Object: {
                out += '{';
                bool first = true;
                for (const auto& [name, value] : node.members) {
                    if (!first) out += ',';
                    first = false;
                    AppendString(out, name);
                    out += ':';
                    Append(out, *value);
                }
                out += '}';
                break;
            }
            case JsonKind::Array: {
                out += '[';
                for (std::size_t i = 0; i < node.elements.size(); ++i) {
                    if (i > 0) out += ',';
                    Append(out, *node.elements[i]);
                }
                out += ']';
                break;
            }
        }
    }
};

// A project file rewritten by another JSON tool (escapes, "12.0") loads to
// the same plans: saved again, it gives the bundled file byte for byte.
TEST_F(DemoProjectTest, AFileRewrittenByAnotherJsonToolLoadsToTheSamePlans) {
    JsonPtr root = Load(BundledFile());
    ASSERT_NE(root, nullptr);
    std::string foreign = ForeignJsonPrinter::Print(*root);
    ASSERT_NE(foreign.find("S\\u00fcdbahnhof"), std::string::npos) << "the demo has names beyond ASCII";
    ASSERT_NE(foreign.find(".0,"), std::string::npos);
    ProjectLoadResult load = LoadProjectBytes(context.project, *context.map, foreign);
    ASSERT_TRUE(load.parsed);
    fs::create_directories(working.path() / "output");
    ASSERT_TRUE(SaveProjectFile(context));
    EXPECT_EQ(ReadFileBytes(ProjectFilePath(context)).value_or(""), ReadFileBytes(BundledFile()).value_or("-"));
}

// Counts the entries of `key` in every element of `plans`.
int CountAll(const JsonValue* plans, std::string_view key) {
    int count = 0;
    for (int32_t i = 0; i < std::max(ArraySize(plans), 0); ++i) count += ArraySize(ObjectGet(ArrayGet(plans, i), key));
    return count;
}

TEST_F(DemoProjectTest, EveryReferenceOfTheBundledFileResolves) {
    ASSERT_EQ(context.projectName, "DemoMap");
    fs::create_directories(working.path() / "output");
    fs::copy_file(BundledFile(), ProjectFilePath(context));
    ProjectLoadResult load = LoadProjectFile(context);
    ASSERT_TRUE(load.parsed);
    EXPECT_EQ(load.version, kProjectVersion);

    JsonPtr root = Load(BundledFile());
    const Project& p = context.project;
    const JsonValue* timetables = ObjectGet(root.get(), "TimeTablePlan");
    ASSERT_EQ(ArraySize(timetables), static_cast<int32_t>(p.timeTablePlans.size()));
    for (std::size_t i = 0; i < p.timeTablePlans.size(); ++i) {
        const JsonValue* stored = ArrayGet(timetables, static_cast<int32_t>(i));
        EXPECT_EQ(ArraySize(ObjectGet(stored, "Trip")), static_cast<int32_t>(p.timeTablePlans[i].trips.size()));
        EXPECT_EQ(ArraySize(ObjectGet(stored, "Stop")), static_cast<int32_t>(p.timeTablePlans[i].stops.size()));
        EXPECT_EQ(ObjectGet(stored, "RouteSpider") != nullptr, p.timeTablePlans[i].routeSpider != kNoSpider);
    }
    const JsonValue* tourPlans = ObjectGet(root.get(), "TourPlan");
    ASSERT_EQ(ArraySize(tourPlans), 1);
    const TourPlan& tour = p.tourPlans.at("1");
    EXPECT_NE(tour.line, nullptr);
    EXPECT_EQ(CountAll(tourPlans, "Tour"), static_cast<int>(tour.tours.size()));
    EXPECT_EQ(CountAll(tourPlans, "Trip"), static_cast<int>(tour.trips.size()));
    EXPECT_EQ(CountAll(tourPlans, "StopOut"), static_cast<int>(tour.stopsOut.size()));
    EXPECT_EQ(CountAll(tourPlans, "StopRet"), static_cast<int>(tour.stopsRet.size()));
    const JsonValue* stopTables = ObjectGet(root.get(), "StopTable");
    ASSERT_EQ(ArraySize(stopTables), static_cast<int32_t>(p.stopTables.size()));
    for (std::size_t i = 0; i < p.stopTables.size(); ++i) {
        const JsonValue* stored = ArrayGet(stopTables, static_cast<int32_t>(i));
        const StopTable& table = p.stopTables[i];
        EXPECT_EQ(ArraySize(ObjectGet(stored, "Stations")), static_cast<int32_t>(table.stations.size()));
        ASSERT_EQ(ArraySize(ObjectGet(stored, "Trips")), static_cast<int32_t>(table.trips.size()));
        for (std::size_t t = 0; t < table.trips.size(); ++t) {
            bool storedSameWay = ObjectGet(ArrayGet(ObjectGet(stored, "Trips"), static_cast<int32_t>(t)), "SameWay");
            EXPECT_EQ(storedSameWay, FindStopTableTrip(table, table.trips[t].sameWay) != nullptr);
        }
    }
    const JsonValue* spiders = ObjectGet(root.get(), "RouteSpider");
    ASSERT_EQ(ArraySize(spiders), 1);
    const RouteSpider& spider = p.routeSpiders.spiders.at(0);
    const JsonValue* ways = ObjectGet(ArrayGet(spiders, 0), "Way");
    ASSERT_EQ(ArraySize(ways), static_cast<int32_t>(spider.ways.size()));
    for (std::size_t w = 0; w < spider.ways.size(); ++w) {
        const JsonValue* stored = ArrayGet(ways, static_cast<int32_t>(w));
        EXPECT_EQ(ArraySize(ObjectGet(stored, "Stop")), static_cast<int32_t>(spider.ways[w].stops.size()));
        EXPECT_EQ(ObjectGet(stored, "BeginWay") != nullptr, spider.ways[w].begin != kNoSpiderStop);
        EXPECT_EQ(ObjectGet(stored, "EndWay") != nullptr, spider.ways[w].end != kNoSpiderStop);
    }
    const JsonValue* routeMap = ObjectGet(root.get(), "RouteMap");
    EXPECT_EQ(ArraySize(ObjectGet(routeMap, "Line")), static_cast<int32_t>(p.routeMap.lines.size()));
    EXPECT_EQ(ArraySize(ObjectGet(routeMap, "Stop")), static_cast<int32_t>(p.routeMap.stops.size()));
    const JsonValue* connections = ObjectGet(routeMap, "Connect");
    ASSERT_EQ(ArraySize(connections), static_cast<int32_t>(p.routeMap.connections.size()));
    for (const auto& connection : p.routeMap.connections) {
        EXPECT_NE(FindRouteLine(p.routeMap, connection.line), nullptr);
        EXPECT_NE(FindRouteStop(p.routeMap, connection.end[0].stop), nullptr);
        EXPECT_NE(FindRouteStop(p.routeMap, connection.end[1].stop), nullptr);
    }
}

TEST_F(DemoProjectTest, TheDemoShowsEveryKindOfPlan) {
    fs::create_directories(working.path() / "output");
    fs::copy_file(BundledFile(), ProjectFilePath(context));
    LoadProjectFile(context);
    const Project& p = context.project;

    ASSERT_GE(p.timeTablePlans.size(), 2u);
    EXPECT_TRUE(p.timeTablePlans[0].mergeIterColumn);
    EXPECT_EQ(FindRouteSpider(p.routeSpiders, p.timeTablePlans[0].routeSpider)->name, "Linie 1");

    const TourPlan& tour = p.tourPlans.at("1");
    EXPECT_FALSE(tour.outward.empty());
    EXPECT_FALSE(tour.returning.empty());
    EXPECT_TRUE(std::any_of(tour.trips.begin(), tour.trips.end(), [](const auto& t) { return t.notInService; }));
    EXPECT_TRUE(std::any_of(tour.trips.begin(), tour.trips.end(), [](const auto& t) { return t.deactivate; }));

    ASSERT_EQ(p.stopTables.size(), 2u);
    const auto& markt = p.stopTables[0].trips;
    EXPECT_TRUE(std::any_of(markt.begin(), markt.end(), [](const auto& t) { return t.sameWay != kNoStopTableTrip; }));
    EXPECT_TRUE(std::any_of(markt.begin(), markt.end(), [](const auto& t) { return t.alternative; }));
    EXPECT_TRUE(p.stopTables[1].mergeRow);

    const RouteSpider& spider = p.routeSpiders.spiders.at(0);
    ASSERT_EQ(spider.ways.size(), 3u);
    EXPECT_EQ(FindSpiderStop(spider, spider.ways[1].begin)->name, "Hauptbahnhof");
    EXPECT_EQ(FindSpiderStop(spider, spider.ways[2].end)->name, "Marktplatz");
    EXPECT_EQ(spider.ways[0].stops.size(), 10u);

    const RouteMap& routeMap = p.routeMap;
    EXPECT_EQ(routeMap.format, kRouteMapPng);
    EXPECT_EQ(routeMap.lines.size(), 3u);
    auto fixed = std::count_if(routeMap.stops.begin(), routeMap.stops.end(), [](const auto& s) { return !s.automatic; });
    EXPECT_GE(fixed, 3);
    EXPECT_LT(static_cast<std::size_t>(fixed), routeMap.stops.size());
}

}  // namespace
}  // namespace tak
