#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "TimetableFixtures.h"
#include "base/FileSystem.h"
#include "output/OutputStopTable.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Clock;
using test::kMonFri;
using test::kSaturday;
using test::kSundayHoliday;
namespace fs = std::filesystem;

constexpr ServiceDays kMonSat = 0x33F;

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

// Trips reach stop 2 two minutes after their start.
class StopTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = &fixture.AddTrip("7_main", "7", {1, 2, 3}, {0, 2, 6});
        branch = &fixture.AddTrip("7_branch", "7", {1, 2, 4}, {0, 2, 5});
        table.name = "Square";
        table.stations = {fixture.map.FindStationByStopId(2)};
        table.days = {TableDay{"Mon-Sat", kMonSat}, TableDay{"Sun", kSundayHoliday}};
        Select(*main);
    }

    StopTableTrip& Select(const Trip& trip) {
        table.selection.insert(trip.name);
        return AddStopTableTrip(table, trip);
    }

    StopTableData Build() const { return BuildStopTable(table, fixture.map, lang); }
    std::string Text(const StopTableData& data) const {
        return StopTableText(StopTableWriteInput{data, table, lang, options, nullptr});
    }

    const std::vector<StopDeparture>& Hour(const StopTableData& data, std::size_t column, int hour) const {
        return data.columns[column].hours[static_cast<std::size_t>(hour)].departures;
    }

    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
    OutputOpt options;
    StopTable table;
    Trip* main = nullptr;
    Trip* branch = nullptr;
};

TEST_F(StopTableTest, AStopNoShownTripServesPrintsOnlyHeadingAndRules) {
    fixture.AddTour("7", "7-01", kMonFri, *main, {Clock(6, 0)});
    table.stations = {fixture.map.FindStationByStopId(4)};  // only the branch, which is not shown
    StopTableData data = Build();
    EXPECT_EQ(data.columns[0].capacity, kStopTableMinCapacity);
    // e = 5 ("Hour" and a blank); columns of capacity 6 are 23 wide.
    EXPECT_EQ(Lines(Text(data)),
              (std::vector<std::string>{" Hour | " + CenterText("Mon-Sat", 23) + " | " + CenterText("Sun", 23) +
                                            " | Hour ",
                                        "------|-" + std::string(23, '-') + "-|-" + std::string(23, '-') + "-|------",
                                        std::string(65, '-')}));
}

TEST_F(StopTableTest, EqualDeparturesOfSeveralToursJoinAndLateOnesSortAfterTheEvening) {
    fixture.AddTour("7", "7-01", kMonFri, *main, {Clock(6, 3), Clock(23, 40)});
    fixture.AddTour("7", "7-51", kSaturday, *main, {Clock(6, 3)});
    fixture.AddTour("7", "7-02", kMonSat, *main, {Clock(24, 8), Clock(23, 3)});
    StopTableData data = Build();
    // Mon-Fri and Sat at 6:05 make one Mon-Sat departure without a letter.
    ASSERT_EQ(Hour(data, 0, 6).size(), 1u);
    EXPECT_EQ(Hour(data, 0, 6)[0].days, kMonSat);
    EXPECT_EQ(Hour(data, 0, 6)[0].legend, kNoLegendEntry);
    EXPECT_TRUE(Hour(data, 1, 6).empty());
    // 24:10 stays in hour 24, after 23:05 and 23:42, and prints as hour 0.
    ASSERT_EQ(Hour(data, 0, 23).size(), 2u);
    EXPECT_EQ(Hour(data, 0, 23)[0].time, Clock(23, 5));
    EXPECT_EQ(Hour(data, 0, 24).size(), 1u);

    std::vector<std::string> lines = Lines(Text(data));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], "   6  | 05" + std::string(22, ' ') + "| " + std::string(24, ' ') + "|   6  ");
    EXPECT_EQ(lines[3], "  23  | 05  42a" + std::string(17, ' ') + "| " + std::string(24, ' ') + "|  23  ");
    EXPECT_EQ(lines[4], "   0  | 10" + std::string(22, ' ') + "| " + std::string(24, ' ') + "|   0  ");
    EXPECT_EQ(lines.back(), "a: not Sa");
}

TEST_F(StopTableTest, LettersRunInOrderOfFirstUseAndSameWayTripsShareOne) {
    StopTableTrip& branchEntry = Select(*branch);
    branchEntry.alternative = true;
    branchEntry.footnote = "to stop 4";
    Trip& other = fixture.AddTrip("7_other", "7", {2, 4}, {0, 3});
    Select(other).sameWay = branchEntry.key;
    fixture.AddTour("7", "7-01", kMonSat, *main, {Clock(7, 0)});
    fixture.AddTour("7", "7-02", kMonFri, *main, {Clock(7, 30)});    // b: fewer days
    fixture.AddTour("7", "7-03", kMonSat, *branch, {Clock(7, 10)});  // a: the other way, earlier in the table
    fixture.AddTour("7", "7-04", kMonSat, other, {Clock(8, 20)});    // a again: the same way
    fixture.AddTour("7", "7-05", kSaturday, other, {Clock(8, 40)});  // c: that way on fewer days
    StopTableData data = Build();
    ASSERT_EQ(data.legend.size(), 3u);
    EXPECT_EQ(data.legend[0].letter + ": " + data.legend[0].text, "a: to stop 4");
    EXPECT_EQ(data.legend[1].letter + ": " + data.legend[1].text, "b: not Sa");
    EXPECT_EQ(data.legend[2].letter + ": " + data.legend[2].text, "c: to stop 4, only Sa");
    std::vector<std::string> lines = Lines(Text(data));
    // The branch ends elsewhere: its departures also carry the mark of their route.
    EXPECT_EQ(lines[2].substr(0, 23), "   7  | A02  B12a A32b ");
    EXPECT_EQ(lines[3].substr(0, 23), "   8  | B20a B40c      ");
    EXPECT_EQ(LegendLetter(25), "z");
    EXPECT_EQ(LegendLetter(26), "A");
    EXPECT_EQ(LegendLetter(60), "#");
}

TEST_F(StopTableTest, DeparturesWhoseLegendReadsTheSameShareOneLetter) {
    // Two ways of their own, both running on fewer days than the column:
    // one sentence, one letter.
    Trip& other = fixture.AddTrip("7_other", "7", {2, 4}, {0, 3});
    Select(*branch);
    Select(other);
    fixture.AddTour("7", "7-01", kMonFri, *main, {Clock(7, 0)});
    fixture.AddTour("7", "7-02", kMonFri, *branch, {Clock(7, 10)});
    fixture.AddTour("7", "7-03", kMonFri, other, {Clock(7, 20)});
    fixture.AddTour("7", "7-04", test::kSaturday, other, {Clock(8, 20)});
    StopTableData data = Build();
    ASSERT_EQ(data.legend.size(), 2u);
    EXPECT_EQ(data.legend[0].letter + ": " + data.legend[0].text, "a: not Sa");
    EXPECT_EQ(data.legend[1].letter + ": " + data.legend[1].text, "b: only Sa");
    std::vector<std::string> lines = Lines(Text(data));
    EXPECT_EQ(lines[2].substr(0, 23), "   7  | A02a B12a B20a ");
}

// A stop served by two lines: each departure carries the mark of its line
// and destination, the legend explains the marks before the letters, and
// the heading names every route; one route alone needs no mark.
TEST_F(StopTableTest, SeveralLinesOrDestinationsMarkEachDepartureAndFillTheHeading) {
    Trip& express = fixture.AddTrip("12_express", "12", {1, 2, 5}, {0, 3, 9});
    Select(express);
    fixture.AddTour("7", "7-01", kMonSat, *main, {Clock(7, 0), Clock(7, 30)});
    fixture.AddTour("12", "12-01", kMonFri, express, {Clock(7, 10)});
    StopTableData data = Build();
    ASSERT_EQ(data.routes.size(), 2u);
    // Lines in number order, not text order: 7 before 12.
    EXPECT_EQ(data.routes[0].line + "/" + data.routes[0].destination + "/" + data.routes[0].mark, "7/Stop 3/A");
    EXPECT_EQ(data.routes[1].line + "/" + data.routes[1].destination + "/" + data.routes[1].mark, "12/Stop 5/B");
    std::vector<std::string> lines = Lines(Text(data));
    EXPECT_EQ(lines[2].substr(0, 23), "   7  | A02  B13a A32  ");
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"A: Line 7 > Stop 3", "B: Line 12 > Stop 5", "a: not Sa"}));
    StopTableWriteInput input{data, table, lang, options, nullptr};
    PageHeading heading = StopTableHeading(input);
    EXPECT_EQ(heading.direction, "7 > Stop 3, 12 > Stop 5");
    EXPECT_EQ(PageHeadingText(lang, heading, "\n"), "Stop Square\n7 > Stop 3, 12 > Stop 5\n\n");

    table.selection.erase(express.name);
    StopTableData single = Build();
    ASSERT_EQ(single.routes.size(), 1u);
    EXPECT_TRUE(single.routes[0].mark.empty());
    EXPECT_EQ(Lines(Text(single))[2].substr(0, 17), "   7  | 02  32   ");
    StopTableWriteInput singleInput{single, table, lang, options, nullptr};
    EXPECT_EQ(PageHeadingText(lang, StopTableHeading(singleInput), "\n"), "Stop Square\nLine 7 > Stop 3\n\n");

    EXPECT_EQ(RouteMark(0), "A");
    EXPECT_EQ(RouteMark(25), "Z");
    EXPECT_EQ(RouteMark(26), "AA");
    EXPECT_EQ(RouteMark(53), "BB");
}

TEST_F(StopTableTest, MergedRowsJoinEqualHoursIntoOneLabelledLine) {
    table.mergeRow = true;
    fixture.AddTour("7", "7-01", kMonSat, *main,
                    {Clock(6, 3), Clock(6, 33), Clock(7, 3), Clock(7, 33), Clock(8, 3), Clock(8, 33), Clock(9, 3)});
    fixture.AddTour("7", "7-51", kSundayHoliday, *main, {Clock(6, 3), Clock(7, 3), Clock(8, 3)});
    StopTableData data = Build();
    // Sunday's hours must match too: 6-8 at Sunday prints one departure each.
    std::vector<std::string> lines = Lines(Text(data));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 9), "  Hour  |");
    EXPECT_EQ(lines[2], "  6-8   | 05  35" + std::string(18, ' ') + "| 05" + std::string(22, ' ') + "|   6-8  ");
    EXPECT_EQ(lines[3], "   9    | 05" + std::string(22, ' ') + "| " + std::string(24, ' ') + "|    9   ");

    // One hour that differs in one column breaks the group.
    fixture.map.FindLine("7")->tours[1].trips.pop_back();
    lines = Lines(Text(Build()));
    EXPECT_EQ(lines[2].substr(0, 9), "  6-7   |");
    EXPECT_EQ(lines[3].substr(0, 9), "   8    |");
}

TEST_F(StopTableTest, BreakHourMovesLateTripsToTheNextDayAndPassingTripsAddNothing) {
    table.breakHour = 3;
    fixture.AddTour("7", "7-51", kSaturday, *main, {Clock(27, 8), Clock(26, 8)});
    Trip& passing = fixture.AddTrip("7_express", "7", {1, 2, 3}, {0, 2, 6});
    passing.profiles[0].times[1].otherStopping = 2;
    Select(passing);
    fixture.AddTour("7", "7-52", kSaturday, passing, {Clock(6, 0)});
    StopTableData data = Build();
    // Saturday 27:10 belongs to Sunday 3:10; 26:10 stays Saturday's hour 26.
    ASSERT_EQ(Hour(data, 1, 3).size(), 1u);
    EXPECT_EQ(Hour(data, 1, 3)[0].time, Clock(3, 10));
    EXPECT_EQ(Hour(data, 0, 26).size(), 1u);
    EXPECT_TRUE(Hour(data, 0, 6).empty()) << "the express passes the stop";
}

TEST_F(StopTableTest, DeparturesPastTheSecondMidnightComeBackWithTheBreakHourOrStayAway) {
    // Reaches the stop at 48:10 on Saturday: Sunday's 24:10 with break hour 2.
    fixture.AddTour("7", "7-51", kSaturday, *main, {Clock(48, 8)});
    table.breakHour = 2;
    StopTableData data = Build();
    ASSERT_EQ(Hour(data, 1, 24).size(), 1u);
    EXPECT_EQ(Hour(data, 1, 24)[0].time, Clock(24, 10));
    // Hour 0 of the Sunday column; the letter tells it runs only after a Saturday.
    EXPECT_NE(Text(data).find("   0  |                         | 10a"), std::string::npos) << Text(data);

    table.breakHour = -1;
    data = Build();
    for (const StopDayColumn& column : data.columns) {
        for (const StopHour& hour : column.hours) EXPECT_TRUE(hour.departures.empty());
    }
}

TEST_F(StopTableTest, AStopWithoutATimeOfItsOwnDepartsAtItsEstimatedTime) {
    // Stop 2 lies halfway between the start and the 5-minute end.
    Trip& bare = fixture.AddTrip("7_bare", "7", {1, 2, 3}, {0, 0, 5});
    bare.profiles[0].times[1].arrival = TimeUnset;
    Select(bare);
    fixture.AddTour("7", "7-01", kMonFri, bare, {Clock(6, 0)});
    StopTableData data = Build();
    ASSERT_EQ(Hour(data, 0, 6).size(), 1u);
    EXPECT_EQ(Hour(data, 0, 6)[0].time, Clock(6, 2) + 30);
    EXPECT_NE(Text(data).find("  6  | 03"), std::string::npos) << Text(data);
}

// An hour with a departure every minute does not fit across the page: it
// goes on over more lines instead of running off the right edge.
TEST_F(StopTableTest, ACrowdedHourFoldsOntoMoreLinesInsideThePage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    std::vector<int32_t> starts;
    for (int minute = 0; minute < 60; ++minute) starts.push_back(Clock(5, minute) + 60 * 58);
    fixture.AddTour("7", "7-01", kMonSat, *main, starts);
    StopTableData data = Build();
    ASSERT_EQ(data.columns[0].capacity, 60);
    test::TempDir folder;
    DocumentTarget target;
    ASSERT_TRUE(BeginSharedDocument(target));
    WriteStopTablePages(target, StopTableWriteInput{data, table, lang, options, nullptr});
    fs::path file = folder.path() / "Crowded.pdf";
    ASSERT_TRUE(target.pdf.SaveDocument(PathText(file)));
    // Read only what lies on the page: every minute must be there, hour 6
    // on the first line and the rest folded below it.
    auto text = test::RunCommand("pdftotext -layout -x 0 -y 0 -W 842 -H 595 '" + file.string() + "' - 2>/dev/null");
    ASSERT_EQ(text.status, 0);
    for (int minute = 0; minute < 60; ++minute) {
        EXPECT_NE(text.output.find(test::Numbered(minute < 10 ? "0" : "", minute)), std::string::npos) << minute;
    }
    std::size_t first = text.output.find(" 00 ");
    std::size_t last = text.output.find(" 59");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    EXPECT_NE(text.output.substr(first, last - first).find('\n'), std::string::npos) << text.output;
}

TEST_F(StopTableTest, ATableJustTooWideTakesRoomFromAQuietColumnBeforeFolding) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    // 26 departures in one hour beside a Sunday column of two: 32 slots of
    // 23 points and the hour fields need 803 of the page's 785 points.
    std::vector<int32_t> starts;
    for (int i = 0; i < 26; ++i) starts.push_back(Clock(5, 58) + i * 120);
    fixture.AddTour("7", "7-01", kMonSat, *main, starts);
    fixture.AddTour("7", "7-71", kSundayHoliday, *main, {Clock(9, 0), Clock(9, 30)});
    StopTableData data = Build();
    test::TempDir folder;
    DocumentTarget target;
    ASSERT_TRUE(BeginSharedDocument(target));
    WriteStopTablePages(target, StopTableWriteInput{data, table, lang, options, nullptr});
    fs::path file = folder.path() / "Wide.pdf";
    ASSERT_TRUE(target.pdf.SaveDocument(PathText(file)));
    auto text = test::RunCommand("pdftotext -layout -x 0 -y 0 -W 842 -H 595 '" + file.string() + "' - 2>/dev/null");
    ASSERT_EQ(text.status, 0);
    std::string hourSix;
    std::istringstream lines(text.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" 6 ") != std::string::npos && line.find(" 00 ") != std::string::npos) hourSix = line;
    }
    EXPECT_NE(hourSix.find(" 48 "), std::string::npos) << text.output;
    EXPECT_NE(hourSix.find(" 50 "), std::string::npos) << "the whole hour on one line\n" << text.output;
}

TEST_F(StopTableTest, ATableLongerThanAPageRepeatsItsHeadingAndLegendOnEveryPage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
    // A departure in every hour of the service day and its night, one of
    // them on fewer days (a legend line).
    std::vector<int32_t> starts;
    for (int hour = 0; hour < 47; ++hour) starts.push_back(Clock(hour, 10));
    fixture.AddTour("7", "7-01", kMonSat, *main, starts);
    fixture.AddTour("7", "7-02", kMonFri, *main, {Clock(46, 30)});
    StopTableData data = Build();
    ASSERT_EQ(data.legend.size(), 1u);
    test::TempDir folder;
    DocumentTarget target;
    ASSERT_TRUE(BeginSharedDocument(target));
    WriteStopTablePages(target, StopTableWriteInput{data, table, lang, options, nullptr});
    fs::path file = folder.path() / "Long.pdf";
    ASSERT_TRUE(target.pdf.SaveDocument(PathText(file)));
    std::vector<std::string> pages;
    for (int p = 1; p <= 20; ++p) {  // a bound, should the tool never fail
        auto text = test::RunCommand("pdftotext -layout -f " + std::to_string(p) + " -l " + std::to_string(p) + " '" +
                                     file.string() + "' - 2>/dev/null");
        if (text.status != 0) break;
        pages.push_back(text.output);
    }
    ASSERT_GE(pages.size(), 2u);
    for (const std::string& page : pages) {
        EXPECT_NE(page.find("Mon-Sat"), std::string::npos) << "every page has the heading\n" << page;
        EXPECT_NE(page.find(" 12 "), std::string::npos) << "and departures\n" << page;
        EXPECT_NE(page.find("a: not Sa"), std::string::npos) << "and the legend\n" << page;
    }
}

TEST(StopTableDocuments, PlansSharingAStopGoIntoOneDocumentWhenAsked) {
    TripStation a{"A", 1, nullptr};
    TripStation b{"B", 2, nullptr};
    std::vector<StopTable> tables(4);
    tables[0].stations = {&a};
    tables[1].stations = {&b};
    tables[2].stations = {&b, &a};
    tables[3].stations = {&a};
    EXPECT_EQ(GroupStopTableDocuments(tables), (std::vector<std::vector<std::size_t>>{{0}, {1}, {2}, {3}}));
    for (std::size_t i : {0, 2, 3}) tables[i].sameInOne = true;
    EXPECT_EQ(GroupStopTableDocuments(tables), (std::vector<std::vector<std::size_t>>{{0, 2, 3}, {1}}));
}

}  // namespace
}  // namespace tak
