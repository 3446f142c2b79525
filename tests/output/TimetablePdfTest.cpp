#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "PlanFiles.h"
#include "TimetableFixtures.h"
#include "base/FileSystem.h"
#include "output/OutputTimetableWriter.h"
#include "routespider/RouteSpider.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Clock;
using test::kMonFri;
namespace fs = std::filesystem;

// The text of a PDF (pages `first` to `last`, 0 = all) as pdftotext reads it;
// nullopt when pdftotext is not installed.
std::optional<std::string> PdfText(const fs::path& file, int first = 0, int last = 0) {
    std::string command = "pdftotext -layout -enc UTF-8";
    if (first > 0) command += " -f " + std::to_string(first) + " -l " + std::to_string(last);
    command += " '" + file.string() + "' - 2>/dev/null";
    test::CommandResult result = test::RunCommand(command);
    if (result.status != 0) return std::nullopt;
    return result.output;
}

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class TimetablePdfTest : public ::testing::Test {
protected:
    void SetUp() override {
        TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
        if (std::system("command -v pdftotext >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "pdftotext is not installed";
        }
        Trip& trip = fixture.AddTrip("T", "5", {1, 2, 3}, {0, 4, 9});
        // Every 10 minutes on weekdays, one trip not on Fridays, two on Saturdays.
        fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0), Clock(6, 10), Clock(6, 20), Clock(6, 30)});
        fixture.AddTour("5", "LongTourName", 0x30F, trip, {Clock(8, 0)});
        fixture.AddTour("5", "5-51", test::kSaturday, trip, {Clock(9, 0), Clock(10, 0)});
        plan = fixture.Plan({&trip}, {1, 2, 3}, {kMonFri, test::kSaturday});
        plan.stops[0].name = "Markt";
        plan.stops[1].name = "Rathaus";
        plan.stops[2].name = "Bahnhof";
        plan.mergeIterColumn = true;
        grid = BuildTimetable(plan, fixture.map, true, lang);
    }

    fs::path File(const std::string& name) const { return folder.path() / ("Timetable " + name + ".pdf"); }

    test::TempDir folder;
    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
    OutputOpt options;
    TimeTablePlan plan;
    TimetableGrid grid;
};

TEST_F(TimetablePdfTest, PagesShowTitleGroupsTimesIntervalsAndFootnotes) {
    ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Pdf, folder.path(), TimetableWriteInput{grid, plan, lang, options}));
    auto text = PdfText(File("Test plan"));
    ASSERT_TRUE(text);
    EXPECT_EQ(Count(*text, "Timetable Test plan"), 2) << "title once on top, once in the footer\n" << *text;
    EXPECT_NE(text->find("Timetable Test plan - Page 1/1"), std::string::npos);
    for (const char* part : {"Days 799", "Days 800", "Markt", "Bahnhof", "06:00", "06:39", "every", "10", "mins",
                             "08:09", "N5 = not Fr", "09:04", "10:09", "dp"}) {
        EXPECT_NE(text->find(part), std::string::npos) << part << "\n" << *text;
    }
    EXPECT_EQ(text->find("06:10"), std::string::npos) << "condensed into the interval column";
}

TEST_F(TimetablePdfTest, PageBreakPutsEachGroupOnItsOwnPageWithoutATrailingBlankPage) {
    plan.pageBreak = true;
    plan.headline = "Line 5 to the station";
    ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Pdf, folder.path(), TimetableWriteInput{grid, plan, lang, options}));
    auto first = PdfText(File("Test plan"), 1, 1);
    auto second = PdfText(File("Test plan"), 2, 2);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->find("Days 799"), std::string::npos);
    EXPECT_EQ(first->find("Days 800"), std::string::npos);
    EXPECT_NE(second->find("Days 800"), std::string::npos);
    EXPECT_NE(second->find("Line 5 to the station - Page 2/2"), std::string::npos) << *second;
    EXPECT_EQ(Count(*first + *second, "Line 5 to the station"), 4) << "the title heads every page";
}

TEST_F(TimetablePdfTest, ASharedDocumentHoldsEveryPlanUnderItsOwnTitle) {
    DocumentTarget target;
    ASSERT_TRUE(BeginSharedDocument(target));
    plan.displayTour = true;
    DrawTimetable(target, TimetableWriteInput{grid, plan, lang, options});
    TimeTablePlan second = plan;
    second.name = "Other";
    second.displayTour = false;
    DrawTimetable(target, TimetableWriteInput{grid, second, lang, options});
    fs::path file = folder.path() / "All.pdf";
    ASSERT_TRUE(target.pdf.SaveDocument(PathText(file)));
    auto text = PdfText(file);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("Timetable Test plan - Page 1/2"), std::string::npos) << *text;
    EXPECT_NE(text->find("Timetable Other - Page 2/2"), std::string::npos) << *text;
    // The long tour name is cut to its column.
    EXPECT_NE(text->find("Long"), std::string::npos);
    EXPECT_EQ(text->find("LongTourName"), std::string::npos);
}

// A trip over `stops` stops, one minute apart, driven at 6:00 on weekdays
// and at 7:00 except on Fridays (a column with a note).
class TallTimetableTest : public TimetablePdfTest {
protected:
    // `variant` > 0 makes a further trip of its own stops in the same map.
    TimeTablePlan TallPlan(int stops, int variant = 0) {
        std::vector<int32_t> ids;
        std::vector<int> minutes;
        for (int i = 0; i < stops; ++i) {
            ids.push_back(100 + 1000 * variant + i);
            minutes.push_back(i);
        }
        Trip& trip = fixture.AddTrip("Tall" + (variant > 0 ? std::to_string(variant) : ""), "9", ids, minutes);
        fixture.AddTour("9", "9-01", kMonFri, trip, {Clock(6, 0)});
        fixture.AddTour("9", "9-02", 0x30F, trip, {Clock(7, 0)});
        TimeTablePlan tall = fixture.Plan({&trip}, ids, {kMonFri});
        tall.name = "Tall";
        tall.displayNote = true;
        tallGrid = BuildTimetable(tall, fixture.map, false, lang);
        return tall;
    }
    TimetableGrid tallGrid;
};

TEST_F(TallTimetableTest, ATableLongerThanAPageGoesOnUnderItsHeadingWithItsNotesBelowTheLastRow) {
    TimeTablePlan tall = TallPlan(120);
    ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Pdf, folder.path(), TimetableWriteInput{tallGrid, tall, lang, options}));
    auto all = PdfText(File("Tall"));
    ASSERT_TRUE(all);
    std::size_t total = all->find("Page 1/");
    ASSERT_NE(total, std::string::npos);
    int pages = std::atoi(all->c_str() + total + 7);
    ASSERT_GE(pages, 2) << *all;
    for (int p = 1; p <= pages; ++p) {
        auto page = PdfText(File("Tall"), p, p);
        ASSERT_TRUE(page);
        EXPECT_EQ(Count(*page, "Days 799"), 1) << *page;
        EXPECT_EQ(Count(*page, "Note"), 1) << "the note row heads every part of the table\n" << *page;
        // Rows start their lines; the heading names the last stop on every page.
        EXPECT_EQ(page->find("\nStop 219") != std::string::npos, p == pages) << *page;
        EXPECT_EQ(page->find("N5 = not Fr") != std::string::npos, p == pages) << *page;
    }
    EXPECT_EQ(Count(*all, "\nStop 2"), 20) << "every row once";
}

TEST_F(TallTimetableTest, ATableThatDoesNotFitUnderTheSpiderStartsUnderItAndGoesOn) {
    TimeTablePlan tall = TallPlan(45);
    RouteSpiderList spiders;
    RouteSpider& spider = AddRouteSpider(spiders, "Tall");
    ImportTrip(spider, 0, *fixture.map.FindTrip("Tall"));
    tall.routeSpider = spider.key;
    ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Pdf, folder.path(), TimetableWriteInput{tallGrid, tall, lang, options, &spiders}));
    auto first = PdfText(File("Tall"), 1, 1);
    ASSERT_TRUE(first);
    EXPECT_NE(first->find("Days 799"), std::string::npos) << "no page with only the spider\n" << *first;
    EXPECT_NE(first->find("Stop 100 "), std::string::npos) << *first;
}

// A spider taller than a third of the page shares it only with a table that
// fits under it whole; a longer table starts on the next page.
TEST_F(TallTimetableTest, ATallSpiderSharesItsPageOnlyWithATableThatFitsUnderIt) {
    TimeTablePlan longLine = TallPlan(150, 1);
    RouteSpiderList spiders;
    RouteSpider& spider = AddRouteSpider(spiders, "Long line");
    ImportTrip(spider, 0, *fixture.map.FindTrip("Tall1"));
    for (int stops : {6, 45}) {
        TimeTablePlan tall = TallPlan(stops, stops);
        tall.routeSpider = spider.key;
        ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Pdf, folder.path(), TimetableWriteInput{tallGrid, tall, lang, options, &spiders}));
        auto first = PdfText(File("Tall"), 1, 1);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->find("Days 799") != std::string::npos, stops == 6) << stops << " rows\n" << *first;
    }
}

// Whatever the length, no page shows the table's last few rows alone: with
// more rows than fit one page, every page holds at least four.
TEST_F(TallTimetableTest, NoPageOfASplitTableHoldsFewerThanFourRows) {
    for (int stops = 60; stops <= 110; ++stops) {
        TimeTablePlan tall = TallPlan(stops, stops);
        ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Pdf, folder.path(), TimetableWriteInput{tallGrid, tall, lang, options}));
        auto all = PdfText(File("Tall"));
        ASSERT_TRUE(all);
        int rows = 0;
        std::size_t start = 0;
        for (std::size_t feed = all->find('\f'); feed != std::string::npos; feed = all->find('\f', start)) {
            int onPage = Count(all->substr(start, feed - start), "\nStop ");
            if (onPage > 0) {
                EXPECT_GE(onPage, 4) << stops << " stops, page text:\n" << all->substr(start, feed - start);
            }
            rows += onPage;
            start = feed + 1;
        }
        EXPECT_EQ(rows, stops) << "every row once";
    }
}

TEST(TableBreaks, RowsFillEachPageAndTheTailKeepsFourRowsAndItsNotes) {
    // All fit: no break.
    EXPECT_TRUE(PlanTableBreaks(std::vector<float>(5, 10), 100, 200, 20).empty());
    // 21 rows, 20 fit the first page, the last needs its notes too: the
    // greedy break would leave it alone, so the last four go over.
    EXPECT_EQ(PlanTableBreaks(std::vector<float>(21, 10), 205, 300, 30), (std::vector<std::size_t>{17}));
    // Six rows over two small pages share them rather than leave one alone.
    EXPECT_EQ(PlanTableBreaks(std::vector<float>(6, 10), 55, 300, 1), (std::vector<std::size_t>{3}));
    // Long tables: full pages, then a tail of at least four.
    std::vector<std::size_t> breaks = PlanTableBreaks(std::vector<float>(101, 10), 200, 200, 1);
    ASSERT_FALSE(breaks.empty());
    EXPECT_GE(101 - breaks.back(), 4u);
    EXPECT_EQ(breaks.front(), 20u);
    for (std::size_t i = 0; i + 2 < breaks.size(); ++i) EXPECT_EQ(breaks[i + 1] - breaks[i], 20u);
    // A tail that would not fit a page with the rows it takes over stays.
    EXPECT_EQ(PlanTableBreaks(std::vector<float>(21, 10), 205, 35, 1), (std::vector<std::size_t>{20}));
    // A row taller than any page still gets a page, and no page stays empty.
    EXPECT_EQ(PlanTableBreaks({500, 500}, 100, 200, 0), (std::vector<std::size_t>{1}));
}

}  // namespace
}  // namespace tak
