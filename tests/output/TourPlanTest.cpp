#include <gtest/gtest.h>

#include <cstdlib>

#include "PlanFiles.h"
#include "TimetableFixtures.h"
#include "output/OutputTourPlan.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Clock;
using test::kMonFri;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The line of the text that starts with `label`, or "" when there is none.
std::string LineStartingWith(const std::string& text, const std::string& label) {
    for (const std::string& line : Lines(text)) {
        if (line.starts_with(label)) return line;
    }
    return "";
}

std::vector<int32_t> Column(const DayGroup& table, std::size_t c) { return table.columns[c].values; }

// Line 5 runs between stops 1 and 3; the depot is stop 9.
class TourPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trip& out = Trip10("5_out", {1, 2, 3}, {0, 4, 9}, 10);
        Trip& ret = Trip10("5_ret", {3, 2, 1}, {0, 5, 10}, 11);
        Trip& pullOut = Trip10("5_pullout", {9, 1}, {0, 6}, 6);
        Trip& pullIn = Trip10("5_pullin", {3, 9}, {0, 7}, 7);
        Trip& shortTrip = Trip10("5_short", {1, 2}, {0, 4}, 4);
        // Out of the depot, a round trip, a deactivated trip, one more
        // outward trip, back to the depot, and out again later.
        Tour& tour = fixture.AddTour("5", "5-01", kMonFri, pullOut, {Clock(5, 50)});
        for (auto [trip, start] : std::vector<std::pair<const Trip*, int32_t>>{
                 {&out, Clock(6, 0)}, {&ret, Clock(6, 15)}, {&shortTrip, Clock(6, 27)}, {&out, Clock(6, 30)},
                 {&pullIn, Clock(6, 42)}, {&pullOut, Clock(9, 0)}, {&out, Clock(9, 10)}, {&ret, Clock(9, 25)},
                 {&pullIn, Clock(9, 37)}}) {
            test::TimetableMap::AddStart(tour, *trip, start);
        }
        fixture.AddTour("5", "5-02", kMonFri, out, {Clock(7, 0)});

        plan.name = "5";
        plan.displayOutIns = true;
        plan.displayPause = true;
        plan.tours["5-01"] = &fixture.map.FindLine("5")->tours[0];
        AddEntry(out, true, false, false);
        AddEntry(ret, false, false, false);
        AddEntry(pullOut, true, true, false);
        AddEntry(pullIn, false, true, false);
        AddEntry(shortTrip, true, false, true);
        for (int32_t id : {1, 2, 3}) plan.stopsOut.push_back(Row(id));
        for (int32_t id : {3, 2, 1}) plan.stopsRet.push_back(Row(id));
    }

    Trip& Trip10(const std::string& name, const std::vector<int32_t>& stops, const std::vector<int>& minutes,
                 int duration) {
        Trip& trip = fixture.AddTrip(name, "5", stops, minutes);
        trip.profiles[0].duration = duration * 60;
        return trip;
    }

    void AddEntry(const Trip& trip, bool outward, bool notInService, bool deactivate) {
        TourPlanTrip entry;
        entry.trip = &trip;
        entry.notInService = notInService;
        entry.deactivate = deactivate;
        entry.ibis = outward ? "103" : "101";
        entry.target = outward ? "Three" : "One";
        plan.trips.push_back(entry);
        (outward ? plan.outward : plan.returning).insert(trip.name);
    }

    PlanStop Row(int32_t id) const {
        return PlanStop{fixture.map.FindStationByStopId(id), "Stop " + std::to_string(id), kRowDeparture};
    }

    TourPlanGrid Build() const { return BuildTourPlan(plan, fixture.map, lang); }

    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
    TourPlan plan;
    OutputOpt options;
};

TEST_F(TourPlanTest, RoundTripsStayAlignedWithMovesPausesAndAGapAfterTheDepot) {
    TourPlanGrid grid = Build();
    ASSERT_EQ(grid.tours.size(), 1u) << "only the selected tour";
    ASSERT_TRUE(grid.hasReturn);
    const DayGroup& out = grid.out.groups[0];
    const DayGroup& ret = grid.ret.groups[0];
    // Outward: 6:00, 6:30 (the deactivated trip left no column), the gap of
    // the depot visit, 9:10. Return: 6:15, nothing after 6:30, the gap, 9:25.
    ASSERT_EQ(out.columns.size(), 4u);
    ASSERT_EQ(ret.columns.size(), 4u);
    EXPECT_EQ(Column(out, 0), (std::vector<int32_t>{Clock(6, 0), Clock(6, 4), Clock(6, 9)}));
    EXPECT_EQ(Column(out, 1), (std::vector<int32_t>{Clock(6, 30), Clock(6, 34), Clock(6, 39)}));
    EXPECT_EQ(Column(out, 2), (std::vector<int32_t>{NotServed, NotServed, NotServed}));
    EXPECT_EQ(Column(out, 3)[0], Clock(9, 10));
    EXPECT_EQ(Column(ret, 0), (std::vector<int32_t>{Clock(6, 15), Clock(6, 20), Clock(6, 25)}));
    EXPECT_EQ(Column(ret, 1)[0], NotServed);
    EXPECT_EQ(Column(ret, 3)[0], Clock(9, 25));

    // The first move out shows above the first trip, the move back after the
    // 6:30 trip as its move in, the second move out above the 9:10 trip.
    EXPECT_EQ(out.columns[0].outMoveTime, Clock(5, 50));
    EXPECT_EQ(out.columns[1].inMoveTime, Clock(6, 49));
    EXPECT_EQ(out.columns[3].outMoveTime, Clock(9, 0));
    EXPECT_EQ(ret.columns[3].inMoveTime, Clock(9, 44));
    // Pauses run from a trip's end (start + duration) to the next start; a
    // trip followed by a move to the depot has none.
    EXPECT_EQ(out.columns[0].pauseTime, 5 * 60);
    EXPECT_EQ(ret.columns[0].pauseTime, 4 * 60);
    EXPECT_EQ(out.columns[1].pauseTime, NotServed);
    EXPECT_EQ(out.columns[3].pauseTime, 5 * 60);
    EXPECT_EQ(ret.columns[3].pauseTime, NotServed);
}

TEST_F(TourPlanTest, AReturnTripAfterAMoveShowsTheMoveBetweenTheTables) {
    // A tour that starts with a move and a return trip.
    Tour& tour = fixture.map.FindLine("5")->tours[1];
    tour.trips.clear();
    test::TimetableMap::AddStart(tour, *fixture.map.FindTrip("5_pullout"), Clock(7, 0));
    test::TimetableMap::AddStart(tour, *fixture.map.FindTrip("5_ret"), Clock(7, 10));
    plan.tours = {{"5-02", &tour}};
    TourPlanGrid grid = Build();
    ASSERT_EQ(grid.out.groups[0].columns.size(), 1u);
    EXPECT_EQ(grid.out.groups[0].columns[0].values[0], NotServed);
    EXPECT_EQ(grid.out.groups[0].columns[0].inMoveTime, Clock(7, 0));
    EXPECT_EQ(grid.ret.groups[0].columns[0].values[0], Clock(7, 10));

    std::string text = TourPlanText(TourPlanWriteInput{grid, plan, lang, options});
    EXPECT_EQ(LineStartingWith(text, "  In/out"), "  In/out  | 07:00 ");
}

TEST_F(TourPlanTest, PausesAddUpWithThePrintedTimesAndAnOverlapPrintsSigned) {
    // The outward trip ends at 6:09:30, printed 06:10.
    fixture.map.FindTrip("5_out")->profiles[0].duration = 9 * 60 + 30;
    Tour& tour = fixture.map.FindLine("5")->tours[1];
    tour.trips.clear();
    test::TimetableMap::AddStart(tour, *fixture.map.FindTrip("5_out"), Clock(6, 0));
    test::TimetableMap::AddStart(tour, *fixture.map.FindTrip("5_ret"), Clock(6, 15));
    plan.tours = {{"5-02", &tour}};
    TourPlanGrid grid = Build();
    EXPECT_EQ(grid.out.groups[0].columns[0].pauseTime, 5 * 60) << "06:10 + 5 minutes = 06:15";
    EXPECT_EQ(LineStartingWith(TourPlanText(TourPlanWriteInput{grid, plan, lang, options}), "  Layover"),
              "  Layover | 00:05 ");

    // Leaving before the trip before has arrived is a fault of the map, shown as such.
    tour.trips[1].startTime = Clock(6, 5);
    grid = Build();
    std::string text = TourPlanText(TourPlanWriteInput{grid, plan, lang, options});
    EXPECT_EQ(LineStartingWith(text, "  Layover"), "  Layover | -00:05");
    EXPECT_EQ(LineStartingWith(text, "Stop 3"), "Stop 3 dp | 06:09 ") << "the columns stay aligned";
}

TEST_F(TourPlanTest, DestinationsKeepTheirWholeTextWhereThePageHasRoom) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    for (TourPlanTrip& entry : plan.trips) {
        if (entry.target == "Three") entry.target = "Three Bridges Terminus";
    }
    plan.displayTarget = true;
    auto pdfText = [&](const TourPlanGrid& grid) {
        test::TempDir folder;
        EXPECT_TRUE(test::WriteTourPlanFile(DocumentFormat::Pdf, folder.path(), TourPlanWriteInput{grid, plan, lang, options}));
        return test::RunCommand("pdftotext -layout '" + (folder.path() / "Tour 5.pdf").string() + "' - 2>/dev/null")
            .output;
    };
    std::string text = pdfText(Build());
    EXPECT_NE(text.find("Three Bridges Terminus"), std::string::npos) << text;

    // A page full of columns leaves the text the width of a time.
    Tour& tour = fixture.map.FindLine("5")->tours[1];
    tour.trips.clear();
    for (int i = 0; i < 40; ++i) {
        test::TimetableMap::AddStart(tour, *fixture.map.FindTrip("5_out"), Clock(6, 0) + i * 1800);
    }
    plan.tours = {{"5-02", &tour}};
    text = pdfText(Build());
    EXPECT_EQ(text.find("Three Bridges Terminus"), std::string::npos);
    EXPECT_NE(text.find("Three"), std::string::npos) << text;
}

TEST_F(TourPlanTest, AnOutwardTripThatGoesOnWhereTheLastEndedJoinsItsColumn) {
    // 6:00 from stop 1 to stop 2, then on from stop 3 at 6:10, then back.
    Trip& first = Trip10("5_first", {1, 2}, {0, 4}, 5);
    Trip& second = Trip10("5_second", {3}, {0}, 2);
    Tour& tour = fixture.map.FindLine("5")->tours[1];
    tour.trips.clear();
    for (auto [trip, start] : std::vector<std::pair<const Trip*, int32_t>>{
             {&first, Clock(6, 0)}, {&second, Clock(6, 10)}, {fixture.map.FindTrip("5_ret"), Clock(6, 20)}}) {
        test::TimetableMap::AddStart(tour, *trip, start);
    }
    AddEntry(first, true, false, false);
    AddEntry(second, true, false, false);
    plan.tours = {{"5-02", &tour}};
    TourPlanGrid grid = Build();
    ASSERT_EQ(grid.out.groups[0].columns.size(), 1u);
    EXPECT_EQ(Column(grid.out.groups[0], 0), (std::vector<int32_t>{Clock(6, 0), Clock(6, 4), Clock(6, 10)}));
    EXPECT_EQ(grid.out.groups[0].columns[0].pauseTime, 8 * 60) << "from the joined trip's end";
    ASSERT_EQ(grid.ret.groups[0].columns.size(), 1u);
    EXPECT_EQ(Column(grid.ret.groups[0], 0)[0], Clock(6, 20));

    // A shown line number keeps trips of different lines apart.
    second.lineName = "5E";
    plan.displayLine = true;
    grid = Build();
    ASSERT_EQ(grid.out.groups[0].columns.size(), 2u);
    EXPECT_EQ(Column(grid.ret.groups[0], 1)[0], Clock(6, 20)) << "the return trip pairs with the last outward one";
}

TEST_F(TourPlanTest, TextPrintsEachSwitchedRowInItsPlace) {
    plan.displayLine = true;
    plan.displayIbis = true;
    plan.displayTarget = true;
    plan.name = "5";
    TourPlanGrid grid = Build();
    std::string text = TourPlanText(TourPlanWriteInput{grid, plan, lang, options});
    std::vector<std::string> lines = Lines(text);
    ASSERT_GT(lines.size(), 10u);
    EXPECT_NE(lines[0].find("5-01"), std::string::npos);
    EXPECT_EQ(text.find("5-02"), std::string::npos) << "unselected tour";
    // W = 6 ("Stop 1") plus the label field of 3.
    EXPECT_EQ(lines[1], std::string(9, '-') + "-|-" + std::string(120, '-'));
    EXPECT_EQ(lines[2], "  Line    |   5     5           5   ");
    EXPECT_EQ(lines[3], "  Code    |  103   103         103  ");
    EXPECT_EQ(lines[4], "  Dest    | Three Three       Three ");
    EXPECT_EQ(lines[5], "  Out     | 05:50             09:00 ");
    EXPECT_EQ(lines[7], "Stop 1 dp | 06:00 06:30       09:10 ");
    // Between the tables: the outward layovers, the return heads and the
    // outward trips' moves in; below the return table its own.
    EXPECT_EQ(LineStartingWith(text, "  Layover"), "  Layover | 00:05             00:05 ");
    EXPECT_EQ(LineStartingWith(text, "  In/out"), "  In/out  |       06:49             ");
    EXPECT_EQ(LineStartingWith(text, "Stop 3 dp | 06:15"), "Stop 3 dp | 06:15             09:25 ");
    EXPECT_EQ(LineStartingWith(text, "  In  "), "  In      |                   09:44 ");
    EXPECT_EQ(lines[lines.size() - 2], std::string(9, '-') + "---" + std::string(120, '-'));
    EXPECT_EQ(lines.back(), "");
}

TEST_F(TourPlanTest, ALabelLongerThanTheStopNamesWidensTheFieldForEveryRow) {
    ASSERT_TRUE(lang.LoadFromBytes("PauseTime = Layover time\nDepShort = dp\n"));
    std::string text = TourPlanText(TourPlanWriteInput{Build(), plan, lang, options});
    EXPECT_EQ(LineStartingWith(text, "  Layover"), "  Layover time | 00:05             00:05 ");
    EXPECT_EQ(LineStartingWith(text, "Stop 1"), "Stop 1 dp      | 06:00 06:30       09:10 ");
    EXPECT_EQ(Lines(text)[1], std::string(14, '-') + "-|-" + std::string(120, '-'));
}

TEST_F(TourPlanTest, APlanWithOnlyOutwardTripsPrintsOneTablePerTour) {
    plan.trips.erase(plan.trips.begin() + 1);
    plan.returning.erase("5_ret");
    plan.displayPause = false;
    plan.displayOutIns = false;
    plan.tours["5-02"] = &fixture.map.FindLine("5")->tours[1];
    TourPlanGrid grid = Build();
    EXPECT_FALSE(grid.hasReturn);
    ASSERT_EQ(grid.tours.size(), 2u);
    // No padding between the outward trips, not even for the depot visit.
    ASSERT_EQ(grid.out.groups[0].columns.size(), 3u);
    EXPECT_EQ(grid.out.groups[0].columns[2].values[0], Clock(9, 10));

    std::string text = TourPlanText(TourPlanWriteInput{grid, plan, lang, options});
    EXPECT_EQ(text.find("Layover"), std::string::npos);
    EXPECT_EQ(text.find("  Out "), std::string::npos);
    EXPECT_EQ(text.find("  In "), std::string::npos);
    EXPECT_EQ(LineStartingWith(text, "Stop 3"), "Stop 3 dp | 06:09 06:39 09:19 ");
    int stopOneRows = 0;
    for (const std::string& line : Lines(text)) stopOneRows += line.starts_with("Stop 1");
    EXPECT_EQ(stopOneRows, 2) << "one table for each of the two tours";
}

// Short tours share pages unless the plan asks for a page per tour; a page
// holds whole tours and every page is started by one.
TEST_F(TourPlanTest, ShortToursSharePagesUnlessEachTourStartsAPage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdfinfo");
    if (std::system("command -v pdfinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdfinfo is not installed";
    const Trip& out = *fixture.map.FindTrip("5_out");
    for (int i = 3; i <= 12; ++i) {
        fixture.AddTour("5", "5-" + std::to_string(i), kMonFri, out, {Clock(5 + i, 0), Clock(5 + i, 30)});
    }
    plan.tours.clear();
    for (const Tour& tour : fixture.map.FindLine("5")->tours) plan.tours[tour.name] = &tour;
    auto pages = [&] {
        test::TempDir folder;
        TourPlanGrid grid = Build();
        EXPECT_TRUE(test::WriteTourPlanFile(DocumentFormat::Pdf, folder.path(), TourPlanWriteInput{grid, plan, lang, options}));
        std::string file = (folder.path() / "Tour 5.pdf").string();
        EXPECT_EQ(test::RunCommand("qpdf --check '" + file + "' >/dev/null 2>&1").status, 0);
        std::string info = test::RunCommand("pdfinfo '" + file + "' 2>/dev/null").output;
        std::size_t at = info.find("Pages:");
        return at == std::string::npos ? 0 : std::stoi(info.substr(at + 6));
    };
    ASSERT_EQ(plan.tours.size(), 12u);
    plan.pageBreak = false;
    int shared = pages();
    RecordProperty("sharedPages", shared);
    EXPECT_GE(shared, 2);
    EXPECT_LE(shared, 4) << "twelve tours of a few rows each fill few pages";
    plan.pageBreak = true;
    EXPECT_EQ(pages(), 12);
}

TEST_F(TourPlanTest, TheLineIsFoundIgnoringCaseAndMissingLinesGiveNoTables) {
    fixture.map.FindLine("5")->name = "Bus5";
    plan.name = "BUS5";
    EXPECT_EQ(Build().tours.size(), 1u);
    plan.name = "Bus6";
    TourPlanGrid grid = Build();
    EXPECT_TRUE(grid.tours.empty());
    EXPECT_EQ(TourPlanText(TourPlanWriteInput{grid, plan, lang, options}), "");
}

}  // namespace
}  // namespace tak
