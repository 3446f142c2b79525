// The route spider strip: which stops it shows on which level, how it is
// fitted into rows, the minutes it prints, and the drawing itself checked
// with the PDF tools.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include "support/TestSupport.h"
#include "../output/PdfWords.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "mapdata/MapLoader.h"
#include "output/OutputRowHeights.h"
#include "pdf/Paginor.h"
#include "project/Project.h"
#include "routespider/RouteSpiderDrawing.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

// Builds a spider stop by stop; stops are looked up by name afterwards since
// adding stops moves the earlier ones of the same way.
class SpiderMaker {
public:
    SpiderMaker() : spider_(AddRouteSpider(list_, "Test")) {}

    SpiderMaker& Way(const std::string& beginName = "", const std::string& endName = "") {
        SpiderWay& way = spider_.ways.emplace_back();
        if (!beginName.empty()) way.begin = Stop(beginName).key;
        if (!endName.empty()) way.end = Stop(endName).key;
        return *this;
    }

    SpiderMaker& Add(const std::string& name, int32_t minutes = 2, bool important = false) {
        TripStation& station = stations_.emplace_back();
        station.name = name;
        station.id = static_cast<int32_t>(stations_.size());
        SpiderStop* stop = AddSpiderStop(spider_, spider_.ways.size() - 1, station);
        stop->travelTime = minutes;
        stop->important = important;
        return *this;
    }

    // A main way of `count` stops named prefix + number, two minutes apart.
    SpiderMaker& MainWay(int count, const std::string& prefix = "S") {
        for (int i = 0; i < count; ++i) Add(prefix + std::to_string(i), i == 0 ? 0 : 2);
        return *this;
    }

    const SpiderStop& Stop(const std::string& name) const {
        for (const auto& way : spider_.ways) {
            for (const auto& stop : way.stops) {
                if (stop.name == name) return stop;
            }
        }
        ADD_FAILURE() << "no stop " << name;
        return spider_.ways.front().stops.front();
    }

    RouteSpider& spider() { return spider_; }

private:
    RouteSpiderList list_;
    RouteSpider& spider_;
    std::deque<TripStation> stations_;
};

std::vector<std::string> Names(const SpiderGraph& graph) {
    std::vector<std::string> names;
    for (const auto& node : graph.nodes) names.push_back(node.stop->name);
    return names;
}

std::vector<int32_t> Levels(const SpiderGraph& graph) {
    std::vector<int32_t> levels;
    for (const auto& node : graph.nodes) levels.push_back(node.level);
    return levels;
}

std::vector<std::string> BeforeNames(const SpiderGraph& graph) {
    std::vector<std::string> names;
    for (const auto& node : graph.nodes) {
        if (node.before) names.push_back(node.stop->name);
    }
    return names;
}

const SpiderEdge* FindEdge(const SpiderGraph& graph, const std::string& from, const std::string& to) {
    for (const auto& edge : graph.edges) {
        if (graph.nodes[edge.from].stop->name == from && graph.nodes[edge.to].stop->name == to) return &edge;
    }
    return nullptr;
}

// Main way A-E; P, Q branch off A; N, M join at D; a way without stops
// bypasses B-D; X runs from C to D around everything below that stretch.
SpiderMaker BranchedSpider() {
    SpiderMaker maker;
    maker.Add("A", 0).Add("B").Add("C").Add("D").Add("E");
    maker.Way("A").Add("P", 3).Add("Q", 4);
    maker.Way("", "D").Add("N", 0).Add("M", 5);
    maker.Way("B", "D");
    maker.Way("C", "D").Add("X", 1);
    maker.Way();  // neither branch nor join point: not shown
    return maker;
}

TEST(RouteSpiderGraphTest, AlternativeWaysHangBelowTheStretchTheyPassOneLevelDeeperEachTime) {
    SpiderMaker maker = BranchedSpider();
    SpiderGraph graph = BuildSpiderGraph(maker.spider(), nullptr);

    EXPECT_EQ(Names(graph), (std::vector<std::string>{"A", "P", "Q", "B", "C", "X", "N", "M", "D", "E"}));
    EXPECT_EQ(Levels(graph), (std::vector<int32_t>{0, 1, 1, 0, 0, 3, 1, 1, 0, 0}));
    EXPECT_EQ(graph.edges.size(), 11u);

    const SpiderEdge* bypass = FindEdge(graph, "B", "D");
    ASSERT_NE(bypass, nullptr);
    EXPECT_TRUE(bypass->bypass);
    EXPECT_EQ(bypass->level, 2);
    EXPECT_EQ(EdgeRunLevel(graph, *bypass), 2);

    // The main way's edge across the inserted stops stays on the main line;
    // a way's first and last edges run on the way's level.
    EXPECT_EQ(EdgeRunLevel(graph, *FindEdge(graph, "A", "B")), 0);
    EXPECT_EQ(EdgeRunLevel(graph, *FindEdge(graph, "A", "P")), 1);
    EXPECT_EQ(EdgeRunLevel(graph, *FindEdge(graph, "X", "D")), 3);
    ASSERT_NE(FindEdge(graph, "M", "D"), nullptr);
    EXPECT_EQ(FindEdge(graph, "Q", "B"), nullptr);  // P, Q never rejoin

    const SpiderNode& d = graph.nodes[8];
    EXPECT_EQ(d.incoming, 4);  // C, M, X and the bypass from B
    EXPECT_EQ(d.outgoing, 1);
    for (const auto& node : graph.nodes) EXPECT_FALSE(node.before || node.marked);
}

TEST(RouteSpiderGraphTest, BranchPointsThatAreNotShownLeaveTheirWayOut) {
    SpiderMaker maker;
    maker.Add("A", 0).Add("B");
    maker.Way().Add("Lost");             // neither point: not shown
    maker.Way("Lost").Add("Orphan");     // branches off a way that is not shown
    maker.Way("A").Add("Kept");
    maker.spider().ways[3].end = 9999;   // a join point that no longer exists
    SpiderGraph graph = BuildSpiderGraph(maker.spider(), nullptr);
    EXPECT_EQ(Names(graph), (std::vector<std::string>{"A", "Kept", "B"}));
    EXPECT_EQ(Levels(graph), (std::vector<int32_t>{0, 1, 0}));
}

TEST(RouteSpiderGraphTest, BranchesFromTheSamePointGoDeeperSoNoLineCrossesTheirStops) {
    // Each branch is put right after its branch point, before the older
    // ones, whose first lines then pass below the newer stops' level.
    SpiderMaker maker;
    maker.Add("A", 0).Add("B").Add("C");
    maker.Way("A").Add("P1");
    maker.Way("A").Add("R1");
    maker.Way("", "C").Add("Y1");
    maker.Way("", "C").Add("Z1");
    SpiderGraph graph = BuildSpiderGraph(maker.spider(), nullptr);
    EXPECT_EQ(Names(graph), (std::vector<std::string>{"A", "R1", "P1", "B", "Y1", "Z1", "C"}));
    EXPECT_EQ(Levels(graph), (std::vector<int32_t>{0, 2, 1, 0, 1, 2, 0}));
}

TEST(RouteSpiderGraphTest, AMarkedStopKeepsWhatIsReachableAndTheWayTheLineCameFrom) {
    SpiderMaker maker = BranchedSpider();

    // From B: on along every way; back only along the main line.
    SpiderGraph fromB = BuildSpiderGraph(maker.spider(), &maker.Stop("B"));
    EXPECT_EQ(Names(fromB), (std::vector<std::string>{"A", "B", "C", "X", "D", "E"}));
    EXPECT_EQ(BeforeNames(fromB), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(fromB.nodes[1].marked);
    EXPECT_EQ(FindEdge(fromB, "M", "D"), nullptr);
    ASSERT_NE(FindEdge(fromB, "B", "D"), nullptr);

    // From Q on the branch: the stops back to A come up onto the main line.
    SpiderGraph fromQ = BuildSpiderGraph(maker.spider(), &maker.Stop("Q"));
    EXPECT_EQ(Names(fromQ), (std::vector<std::string>{"A", "P", "Q"}));
    EXPECT_EQ(Levels(fromQ), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(BeforeNames(fromQ), (std::vector<std::string>{"A", "P"}));

    // From M on the joining way: levels count from M's, so D and E stay on 0.
    SpiderGraph fromM = BuildSpiderGraph(maker.spider(), &maker.Stop("M"));
    EXPECT_EQ(Names(fromM), (std::vector<std::string>{"N", "M", "D", "E"}));
    EXPECT_EQ(Levels(fromM), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(BeforeNames(fromM), (std::vector<std::string>{"N"}));

    // A copy of the stop (same key) marks it as well.
    SpiderStop copy = maker.Stop("M");
    EXPECT_EQ(Names(BuildSpiderGraph(maker.spider(), &copy)), Names(fromM));
}

TEST(RouteSpiderGraphTest, GoingBackOnlyClimbsAndNeverFollowsBypasses) {
    // X lies on level 2 below a level-1 way; from X the way back climbs
    // through W1 to the main line, but not down again into the other branch.
    SpiderMaker maker;
    maker.Add("A", 0).Add("B").Add("C").Add("D");
    maker.Way("A", "D").Add("W1").Add("W2");
    maker.Way("W1", "W2").Add("X");
    maker.Way("A", "B");  // bypass into B
    SpiderGraph graph = BuildSpiderGraph(maker.spider(), nullptr);
    EXPECT_EQ(Names(graph), (std::vector<std::string>{"A", "W1", "X", "W2", "B", "C", "D"}));
    EXPECT_EQ(Levels(graph), (std::vector<int32_t>{0, 1, 2, 1, 0, 0, 0}));

    SpiderGraph fromX = BuildSpiderGraph(maker.spider(), &maker.Stop("X"));
    EXPECT_EQ(Names(fromX), (std::vector<std::string>{"A", "W1", "X", "W2", "D"}));
    EXPECT_EQ(Levels(fromX), (std::vector<int32_t>{0, 0, 0, 0, 0}));

    SpiderGraph fromB = BuildSpiderGraph(maker.spider(), &maker.Stop("B"));
    EXPECT_EQ(Names(fromB), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(FindEdge(fromB, "A", "B")->bypass, false);  // the main line's edge, not the bypass
    EXPECT_EQ(fromB.edges.size(), 3u);
}

TEST(RouteSpiderMinutesTest, MinutesAddUpAlongTheWayAndOnFromTheBranchPoint) {
    SpiderMaker maker = BranchedSpider();
    const RouteSpider& spider = maker.spider();
    EXPECT_EQ(SpiderMinutes(spider, nullptr, maker.Stop("A")), 0);
    EXPECT_EQ(SpiderMinutes(spider, nullptr, maker.Stop("E")), 8);
    EXPECT_EQ(SpiderMinutes(spider, nullptr, maker.Stop("Q")), 7);   // A + 3 + 4
    EXPECT_EQ(SpiderMinutes(spider, nullptr, maker.Stop("X")), 5);   // A, B, C = 4, then 1
    EXPECT_EQ(SpiderMinutes(spider, nullptr, maker.Stop("M")), 5);   // N starts its own way

    // Seen from B: stops behind it and stops not reached through it have none.
    const SpiderStop* b = &maker.Stop("B");
    EXPECT_EQ(SpiderMinutes(spider, b, maker.Stop("B")), 0);
    EXPECT_EQ(SpiderMinutes(spider, b, maker.Stop("E")), 6);
    EXPECT_EQ(SpiderMinutes(spider, b, maker.Stop("X")), 3);
    EXPECT_EQ(SpiderMinutes(spider, b, maker.Stop("A")), std::nullopt);
    EXPECT_EQ(SpiderMinutes(spider, b, maker.Stop("Q")), std::nullopt);
}

TEST(RouteSpiderMinutesTest, LongTravelTimesAddUpWithoutOverflow) {
    SpiderMaker maker;
    maker.Way().Add("A", 0).Add("B", 2147483647).Add("C", 2147483647).Add("D", 5);
    EXPECT_EQ(SpiderMinutes(maker.spider(), nullptr, maker.Stop("B")), 2147483647);
    EXPECT_EQ(SpiderMinutes(maker.spider(), nullptr, maker.Stop("D")), 2147483647) << "bounded, not wrapped";
    EXPECT_EQ(SpiderMinutes(maker.spider(), &maker.Stop("C"), maker.Stop("D")), 5);
}

// Every name as wide as `width` points.
SpiderNameWidth FixedWidth(float width) {
    return [width](const SpiderStop&) { return width; };
}

constexpr float kLeft = 28;
constexpr float kA4Width = 595.28f - 2 * 28.35f;  // A4 in points less 1 cm margins

TEST(RouteSpiderLayoutTest, AShortSpiderStandsCentredWithSpacing100) {
    SpiderMaker maker;
    maker.MainWay(4);
    const float nameWidth = 40;
    SpiderLayout layout = LayOutRouteSpider(maker.spider(), nullptr, kLeft, 500, FixedWidth(nameWidth));
    ASSERT_EQ(layout.rows.size(), 1u);
    const SpiderRow& row = layout.rows[0];
    EXPECT_EQ(row.nodeCount, 4u);
    EXPECT_FLOAT_EQ(row.spacing, 100);
    // Space left of the first mark and right of the last name are equal.
    float leftGap = row.left - 4 - kLeft;
    float rightEnd = row.left + 3 * row.spacing + nameWidth * std::cos(std::numbers::pi_v<float> / 4);
    float rightGap = kLeft + 500 - rightEnd;
    EXPECT_GT(leftGap, 50);
    EXPECT_NEAR(leftGap, rightGap, 1);
    EXPECT_FLOAT_EQ(layout.nameBand, std::round(nameWidth * std::sin(std::numbers::pi_v<float> / 4) + 10));
}

TEST(RouteSpiderLayoutTest, ATimetableSpiderTooWideForOneRowIsSplitIntoTwoHalves) {
    SpiderMaker maker;
    maker.MainWay(30);
    const float nameWidth = 80;
    SpiderLayout layout = LayOutRouteSpider(maker.spider(), nullptr, kLeft, kA4Width, FixedWidth(nameWidth));
    EXPECT_EQ(layout.removedNodes, 0);
    EXPECT_EQ(layout.graph.nodes.size(), 30u);
    ASSERT_EQ(layout.rows.size(), 2u);
    EXPECT_EQ(layout.rows[0].nodeCount, 15u);
    EXPECT_EQ(layout.rows[1].firstNode, 15u);
    EXPECT_EQ(layout.rows[1].nodeCount, 15u);
    for (const auto& row : layout.rows) {
        EXPECT_GE(row.spacing, 20);
        // The last name of the row, written upwards, ends inside the page's margins.
        float lastX = row.left + static_cast<float>(row.nodeCount - 1) * row.spacing;
        EXPECT_LE(lastX + nameWidth * 0.7071f, kLeft + kA4Width + 8.5f);
    }
    // The second row continues one spacing further right, where the line comes in.
    EXPECT_FLOAT_EQ(layout.rows[1].left, kLeft + layout.rows[1].spacing - 8 + 4);
}

TEST(RouteSpiderLayoutTest, LongerSpidersTakeAsManyRowsAsTheyNeed) {
    SpiderMaker maker;
    maker.MainWay(80);
    SpiderLayout layout = LayOutRouteSpider(maker.spider(), nullptr, kLeft, kA4Width, FixedWidth(60));
    ASSERT_GE(layout.rows.size(), 3u);
    std::size_t shown = 0;
    for (std::size_t r = 0; r < layout.rows.size(); ++r) {
        EXPECT_EQ(layout.rows[r].firstNode, shown);
        shown += layout.rows[r].nodeCount;
        EXPECT_GE(std::floor(layout.rows[r].spacing), 20) << r;
    }
    EXPECT_EQ(shown, 80u);

    // Names wider than the page never fit; the rows stop growing all the same.
    SpiderLayout hopeless = LayOutRouteSpider(maker.spider(), nullptr, kLeft, kA4Width, FixedWidth(2000));
    EXPECT_LE(hopeless.rows.size(), 78u);
    EXPECT_EQ(hopeless.graph.nodes.size(), 80u);
}

std::vector<std::string> RemovedNames(const SpiderLayout& layout, int count) {
    std::vector<std::string> removed;
    for (int i = 0; i < count; ++i) {
        std::string name = test::Numbered("S", i);
        bool shown = false;
        for (const auto& node : layout.graph.nodes) shown = shown || node.stop->name == name;
        if (!shown) removed.push_back(name);
    }
    return removed;
}

TEST(RouteSpiderLayoutTest, AStopTableLeavesOutStopsBeforeItsStopFirstKeepingImportantOnes) {
    SpiderMaker maker;
    for (int i = 0; i < 40; ++i) maker.Add(test::Numbered("S", i), i == 0 ? 0 : 2, i == 5);
    // 24 names of 80 points fit across A4: 16 of the 19 stops before S20 go.
    SpiderLayout layout =
        LayOutRouteSpider(maker.spider(), &maker.Stop("S20"), kLeft, kA4Width, FixedWidth(80));
    EXPECT_EQ(layout.removedNodes, 16);
    ASSERT_EQ(layout.rows.size(), 1u);
    std::vector<std::string> expected{"S1", "S2", "S3", "S4"};
    for (int i = 6; i <= 17; ++i) expected.push_back(test::Numbered("S", i));
    EXPECT_EQ(RemovedNames(layout, 40), expected);

    const SpiderEdge* dotted = FindEdge(layout.graph, "S0", "S5");
    ASSERT_NE(dotted, nullptr);
    EXPECT_TRUE(dotted->collapsed);
    EXPECT_TRUE(FindEdge(layout.graph, "S5", "S18")->collapsed);
    EXPECT_FALSE(FindEdge(layout.graph, "S18", "S19")->collapsed);
    EXPECT_EQ(BeforeNames(layout.graph), (std::vector<std::string>{"S0", "S5", "S18", "S19"}));
}

TEST(RouteSpiderLayoutTest, ThenStopsFromTheFarEndGoButNotNextToABranch) {
    SpiderMaker maker;
    maker.MainWay(40);
    maker.Way("S30").Add("B1").Add("B2");
    SpiderLayout layout = LayOutRouteSpider(maker.spider(), &maker.Stop("S2"), kLeft, kA4Width, FixedWidth(80));
    EXPECT_EQ(layout.graph.nodes.size(), 24u);
    EXPECT_EQ(layout.removedNodes, 18);
    ASSERT_EQ(layout.rows.size(), 1u);

    std::vector<std::string> expected{"S0", "S2"};
    for (int i = 3; i <= 18; ++i) expected.push_back(test::Numbered("S", i));
    for (const char* name : {"S29", "S30", "B1", "B2", "S31", "S39"}) expected.push_back(name);
    EXPECT_EQ(Names(layout.graph), expected);
    EXPECT_TRUE(FindEdge(layout.graph, "S0", "S2")->collapsed);
    EXPECT_TRUE(FindEdge(layout.graph, "S31", "S39")->collapsed);
    EXPECT_TRUE(FindEdge(layout.graph, "S18", "S29")->collapsed);
    EXPECT_FALSE(FindEdge(layout.graph, "S30", "B1")->collapsed);
}

TEST(RouteSpiderLayoutTest, SingleStopsAndEmptySpidersDoNotBreakTheLayout) {
    SpiderMaker one;
    one.MainWay(1);
    SpiderLayout single = LayOutRouteSpider(one.spider(), nullptr, kLeft, kA4Width, FixedWidth(50));
    ASSERT_EQ(single.rows.size(), 1u);
    EXPECT_EQ(single.rows[0].nodeCount, 1u);
    EXPECT_LE(single.rows[0].spacing, 100);

    RouteSpiderList list;
    RouteSpider& empty = AddRouteSpider(list, "Empty");
    EXPECT_TRUE(LayOutRouteSpider(empty, nullptr, kLeft, kA4Width, FixedWidth(50)).rows.empty());
    RouteSpider& noWays = AddRouteSpider(list, "No ways", false);
    EXPECT_TRUE(BuildSpiderGraph(noWays, nullptr).nodes.empty());
}

// --- The drawing, read back with the PDF tools ---------------------------------

test::CommandResult RunTool(const std::string& command) { return test::RunCommand(command + " 2>&1"); }

// The text of one page in content order with the line breaks taken out:
// names written at 45° come out one letter per line, so they read joined.
std::string PageText(const fs::path& file, int page) {
    std::string p = std::to_string(page);
    test::CommandResult run = RunTool("pdftotext -raw -enc UTF-8 -f " + p + " -l " + p + " '" + file.string() + "' -");
    EXPECT_EQ(run.status, 0) << run.output;
    std::string joined;
    for (char c : run.output) {
        if (c != '\n') joined += c;
    }
    return joined;
}

// Top of the first word `word` on the page as pdftotext -bbox places it.
std::optional<float> WordTop(const fs::path& file, int page, const std::string& word) {
    std::string p = std::to_string(page);
    test::CommandResult run = RunTool("pdftotext -bbox -enc UTF-8 -f " + p + " -l " + p + " '" + file.string() + "' -");
    std::size_t at = run.output.find(">" + word + "</word>");
    if (at == std::string::npos) return std::nullopt;
    std::size_t start = run.output.rfind("<word", at);
    std::size_t yMin = run.output.find("yMin=\"", start);
    if (yMin == std::string::npos || yMin > at) return std::nullopt;
    return std::stof(run.output.substr(yMin + 6, 12));
}

class RouteSpiderDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(context.language.LoadLanguage(test::SourceDir() / "Language", "German"));
        context.workingFolder = test::SourceDir() / "examples";  // holds output/DemoMap.cfg
        ASSERT_TRUE(LoadMapAndProject(context, test::SourceDir() / "examples" / "DemoMap", kNoDate));
        spider = SpiderForPlan(project.routeSpiders, "Linie 1");
        ASSERT_NE(spider, nullptr);
        heights = MeasureRowHeights(project.outputOpt);
        // Plain streams with the standard fonts, so that a test can find a
        // text and the paint before it in the file.
        pdf.SetWriterOptions(PdfWriterOptions{false, false});
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point));
        pdf.SelectFont("Helvetica", {}, 10);
        ASSERT_TRUE(pdf.NewPage());
    }

    const SpiderStop& MainStop(const std::string& name) const {
        for (const auto& stop : spider->ways.front().stops) {
            if (stop.name == name) return stop;
        }
        ADD_FAILURE() << name;
        return spider->ways.front().stops.front();
    }

    fs::path Save() {
        fs::path file = folder.path() / "spider.pdf";
        EXPECT_TRUE(pdf.SaveDocument(file.string())) << pdf.LastErrorText();
        test::CommandResult check = RunTool("qpdf --check '" + file.string() + "'");
        EXPECT_EQ(check.status, 0) << check.output;
        EXPECT_NE(check.output.find("No syntax or stream encoding errors found"), std::string::npos);
        return file;
    }

    AppContext context;
    Project& project = context.project;
    const RouteSpider* spider = nullptr;
    RowHeights heights;
    PdfDocument pdf;
    test::TempDir folder;
};

TEST_F(RouteSpiderDrawingTest, TheDemoSpiderShowsItsStopsInterchangesAndMinutes) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    float top = pdf.CursorY();
    DrawRouteSpider(pdf, *spider, nullptr, heights);
    EXPECT_GT(pdf.CursorY(), top + 60);  // names, line, interchange texts
    pdf.PutCell(0, 12, "Below the strip", PdfBorder::None, PdfCursor::NextLine);
    ASSERT_TRUE(pdf.NewPage());
    DrawRouteSpider(pdf, *spider, &MainStop("Marktplatz"), heights);
    fs::path file = Save();

    std::string timetable = PageText(file, 1);
    for (const char* name : {"Hauptbahnhof", "Bahnhofstraße", "GewerbegebietOst", "Nordfriedhof", "Schulzentrum",
                             "Südbahnhof", "Regionalbahn", "Linie 2", "Below the strip"}) {
        EXPECT_NE(timetable.find(name), std::string::npos) << name;
    }
    // Minutes from Hauptbahnhof in strip order, the alternative ways counting on from their branch point
    // or from their own start.
    EXPECT_NE(timetable.find("0 2 4 6 9 11 13 16 2 4 0 2 4 6 6 8 10 12 14 16 18"), std::string::npos);

    std::string stopTable = PageText(file, 2);
    EXPECT_NE(stopTable.find("Hauptbahnhof"), std::string::npos);
    EXPECT_EQ(stopTable.find("Post"), std::string::npos);          // branch behind the stop
    EXPECT_EQ(stopTable.find("Nordfriedhof"), std::string::npos);  // cannot be reached from it
    EXPECT_NE(stopTable.find("0 2 4 6 8 10 12"), std::string::npos);
    EXPECT_EQ(stopTable.find("18"), std::string::npos);
}

TEST_F(RouteSpiderDrawingTest, StopsBeforeTheMarkedStopAreGreyAndTheCallersFontAndColoursComeBack) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    pdf.SelectFont("Times", {.italic = true}, 11);
    DrawRouteSpider(pdf, *spider, &MainStop("Rathaus"), heights);
    EXPECT_EQ(pdf.FontFamily(), "Times");
    EXPECT_EQ(pdf.FontStyle(), PdfFontStyle{.italic = true});
    EXPECT_EQ(pdf.FontSizePt(), 11);
    pdf.PutText(50, 700, "after");
    fs::path file = Save();
    std::string content = ReadFileBytes(file).value_or("");
    ASSERT_FALSE(content.empty());

    // The names behind the stop are written in grey, the others in black;
    // the stop itself is filled darker than the important stops.
    auto colourBefore = [&](const std::string& text) {
        std::size_t at = content.find("(" + text + ") Tj");
        std::size_t line = content.rfind('\n', at);
        return content.substr(line + 1, at - line - 1);
    };
    EXPECT_NE(colourBefore("Bahnhofstra\xDF" "e").find("q 0.753 g"), std::string::npos);
    EXPECT_NE(colourBefore("Marktplatz").find("q 0.000 g"), std::string::npos);
    EXPECT_NE(colourBefore("after").find("q 0.000 g"), std::string::npos);
    EXPECT_NE(content.find("0.502 g"), std::string::npos);
    // Important stops in the bold form of the caller's italic font.
    EXPECT_NE(content.find("/Times-BoldItalic"), std::string::npos);
    // Nothing behind the stop has minutes; Südbahnhof is 14 minutes on.
    std::string text = PageText(file, 1);
    EXPECT_NE(text.find("0 2 4 6 8 10 12 14"), std::string::npos);
}

// A font so large that every coordinate runs far off the page: the dotted
// edges of left-out stops must still be drawn in a bounded number of dashes.
TEST_F(RouteSpiderDrawingTest, AHugeFontEndsWithABoundedPage) {
    for (float size : {3e7f, 2147483647.0f}) {
        ASSERT_TRUE(pdf.NewPage());
        pdf.SelectFont("Helvetica", {}, size);
        DrawRouteSpider(pdf, *spider, &MainStop("Marktplatz"), heights);
    }
    pdf.SelectFont("Helvetica", {}, 10);
    fs::path file = folder.path() / "huge.pdf";
    ASSERT_TRUE(pdf.SaveDocument(file.string()));
    EXPECT_LT(fs::file_size(file), 4u << 20);
}

TEST_F(RouteSpiderDrawingTest, TheTravelDisplayDecidesWhetherAndWhereTheMinutesStand) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    RouteSpider shown = *spider;
    const std::array<int32_t, 4> displays{kTravelOnTop, kTravelBeneath, kTravelNotShown, 7};
    for (std::size_t page = 0; page < displays.size(); ++page) {
        if (page > 0) {
            ASSERT_TRUE(pdf.NewPage());
        }
        shown.displayTravel = displays[page];
        DrawRouteSpider(pdf, shown, nullptr, heights);
    }
    fs::path file = Save();
    auto onTop = WordTop(file, 1, "18");
    auto beneath = WordTop(file, 2, "18");
    ASSERT_TRUE(onTop && beneath);
    // Above the marks the minutes stand between names and line; beneath them
    // they stand between line and interchange texts.
    auto interchange = WordTop(file, 2, "Regionalbahn");
    ASSERT_TRUE(interchange);
    EXPECT_GT(*beneath, *onTop + 10);
    EXPECT_LT(*beneath, *interchange);
    EXPECT_EQ(WordTop(file, 3, "18"), std::nullopt);
    EXPECT_EQ(WordTop(file, 4, "18"), std::nullopt);
    EXPECT_NE(PageText(file, 4).find("Südbahnhof"), std::string::npos);
}

TEST(RouteSpiderMarginTest, LongNamesAndInterchangesStayInsideTheMarginsShortenedWhereNeeded) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    // Real maps have long stop names; the last one reaches furthest right.
    SpiderMaker maker;
    for (int i = 0; i < 24; ++i) {
        maker.Add("Mount Pleasant Road at Belle Ayre Boulevard " + std::to_string(i), i == 0 ? 0 : 2, i % 5 == 0);
    }
    maker.Add("84 Davisville Avenue - The Salvation Army Community Church and Family Services Centre");
    maker.spider().ways.front().stops.front().changes =
        "Subway line 1 Yonge-University-Spadina, regional trains to Richmond Hill, Barrie, Stouffville and "
        "Lakeshore East, Milton, Kitchener and Niagara Falls, airport express to Pearson, night buses 300, 301, 320, "
        "385 and 320\r\nGO buses";
    maker.spider().ways.front().stops.back().changes = "Streetcar 512";
    RowHeights heights = MeasureRowHeights(OutputOpt{});
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Point, kPdfA4));
    pdf.SelectFont("Helvetica", {}, 10);
    ASSERT_TRUE(pdf.NewPage());
    DrawRouteSpider(pdf, maker.spider(), nullptr, heights);
    ASSERT_TRUE(pdf.NewPage());
    DrawRouteSpider(pdf, maker.spider(), &maker.Stop("Mount Pleasant Road at Belle Ayre Boulevard 3"), heights);
    test::TempDir folder;
    fs::path file = folder.path() / "long.pdf";
    ASSERT_TRUE(pdf.SaveDocument(file.string()));

    std::vector<std::string> outside = test::WordsOutsideMargins(file, pdf.LeftMargin());
    EXPECT_TRUE(outside.empty()) << outside.front() << " and " << outside.size() - 1 << " more";
    std::string text = PageText(file, 1);
    EXPECT_NE(text.find("Streetcar 512"), std::string::npos) << "a short text under the last stop stays whole";
    EXPECT_NE(text.find("\xE2\x80\xA6"), std::string::npos) << "what does not fit ends with an ellipsis";
}

}  // namespace
}  // namespace tak
