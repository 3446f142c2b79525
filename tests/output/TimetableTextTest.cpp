#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "PlanFiles.h"
#include "TimetableFixtures.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "mapdata/MapLoader.h"
#include "output/OutputTimetableWriter.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Clock;
using test::kMonFri;

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class TimetableTextTest : public ::testing::Test {
protected:
    std::string Text(const TimeTablePlan& plan) {
        grid = BuildTimetable(plan, fixture.map, false, lang);
        return TimetableText(TimetableWriteInput{grid, plan, lang, options});
    }
    test::TimetableMap fixture;
    LanguageTable lang = test::TimetableLanguage();
    OutputOpt options;
    TimetableGrid grid;
};

TEST_F(TimetableTextTest, TwentyFiveColumnsMakeTwoBlocksWithFullWidthRules) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    std::vector<int32_t> starts;
    for (int i = 0; i < 25; ++i) starts.push_back(Clock(6, 0) + i * 600);
    fixture.AddTour("5", "5-01", kMonFri, trip, starts);
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri, test::kSaturday});
    plan.stops[0].name = "Markt";
    plan.stops[1].name = "Südbahnhof";
    plan.displayNote = false;
    std::string text = Text(plan);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end with CR LF";
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
    auto lines = SplitLines(text);
    // Per block: heading, rule, two slots, closing rule, empty line; the
    // Saturday group has no columns and prints nothing.
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], std::string(13, ' ') + " | " + CenterText("Days 799", 120));
    EXPECT_EQ(lines[1], std::string(13, '-') + "-|-" + std::string(120, '-'));
    EXPECT_EQ(lines[2].substr(0, 28), "Markt      dp | 06:00 06:10 ");
    EXPECT_EQ(lines[3].substr(0, 22), "Südbahnhof dp | 06:05");
    EXPECT_EQ(lines[4], std::string(13 + 3 + 120, '-'));
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[8], "Markt      dp | 09:20 09:30 09:40 09:50 10:00 ");
    EXPECT_EQ(lines[10], lines[4]) << "the closing rule keeps its width for five columns";
}

TEST_F(TimetableTextTest, HeaderRowsCutTourNamesAndFootnotesFollowTheBlock) {
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    fixture.AddTour("5", "LongTourName", 0x30F, trip, {Clock(6, 0)});
    fixture.AddTour("5", "B", kMonFri, trip, {Clock(7, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri}, {kRowDeparture, kRowArrival});
    plan.displayTour = true;
    plan.displayLine = true;
    auto lines = SplitLines(Text(plan));
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[2], "  Tour    | LongT   B   ");
    EXPECT_EQ(lines[3], "  Line    |   5     5   ");
    EXPECT_EQ(lines[4], "  Note    |  N5         ");
    EXPECT_EQ(lines[5], "Stop 1 dp | 06:00 07:00 ");
    EXPECT_EQ(lines[6], "Stop 2 ar | 06:05 07:05 ");
    EXPECT_EQ(lines[8], "N5 = not Fr");

    // Without a mark in the table the note row is left out.
    fixture.map.lines[0]->tours[0].days = kMonFri;
    lines = SplitLines(Text(plan));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[3], "  Line    |   5     5   ");
    EXPECT_EQ(lines[4], "Stop 1 dp | 06:00 07:00 ");
}

TEST_F(TimetableTextTest, HiddenRowsDependOnTheBlockAndLongerLabelsWidenTheirField) {
    // Stops 2 and 3 are only passed, stop 5 is never served.
    Trip& trip = fixture.AddTrip("T", "5", {1, 2, 4}, {0, 3, 6});
    trip.profiles[0].times[1].otherStopping = 2;
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2, 3, 4, 5}, {kMonFri});
    plan.displayNote = false;
    auto lines = SplitLines(Text(plan));
    ASSERT_EQ(lines.size(), 6u) << "stops 2, 3 and 5 are hidden";

    plan.hideBridge = false;
    lines = SplitLines(Text(plan));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3], "Stop 2 dp | " + FormatClock(PassThrough) + " ");

    plan.hideEmpty = false;
    ASSERT_TRUE(lang.LoadFromBytes("DepShort = dep\nArrShort = arr\n"));
    lines = SplitLines(Text(plan));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1], std::string(10, '-') + "-|-" + std::string(120, '-'));
    EXPECT_EQ(lines[6], "Stop 5 dep |       ");
}

TEST_F(TimetableTextTest, PlanNamesThatCannotBeFileNamesAreNotWritten) {
    test::TempDir folder;
    Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
    fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0)});
    auto plan = fixture.Plan({&trip}, {1, 2}, {kMonFri});
    grid = BuildTimetable(plan, fixture.map, false, lang);
    fs::path out = folder.path() / "out";
    fs::create_directories(out);
    for (const char* name : {"../escape", "a\\b", "x:y", "tab\there", "q?"}) {
        plan.name = name;
        for (DocumentFormat format : {DocumentFormat::Text, DocumentFormat::Pdf}) {
            EXPECT_FALSE(test::WriteTimetableFile(format, out, TimetableWriteInput{grid, plan, lang, options})) << name;
        }
    }
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_FALSE(fs::exists(folder.path() / "escape.txt"));

    plan.name = "Linie 5";
    ASSERT_TRUE(test::WriteTimetableFile(DocumentFormat::Text, out, TimetableWriteInput{grid, plan, lang, options}));
    EXPECT_TRUE(fs::exists(out / "Timetable Linie 5.txt"));
}

// The demo map's timetable plans in the text form, checked by hand against
// the demo's trip files and tours.
TEST(TimetableTextDemo, DemoPlansMatchTheirCheckedText) {
    AppContext context;
    ASSERT_TRUE(context.language.LoadLanguage(test::SourceDir() / "Language", "German"));
    context.workingFolder = test::SourceDir() / "examples";  // holds output/DemoMap.cfg
    ASSERT_TRUE(LoadMapAndProject(context, test::SourceDir() / "examples" / "DemoMap", kNoDate));
    ASSERT_TRUE(context.projectLoad.parsed);
    ASSERT_EQ(context.project.timeTablePlans.size(), 2u);
    const char* goldens[] = {"DemoLine1.txt", "DemoLine3.txt"};
    for (std::size_t i = 0; i < 2; ++i) {
        const TimeTablePlan& plan = context.project.timeTablePlans[i];
        TimetableGrid grid = BuildTimetable(plan, *context.map, false, context.language);
        std::string text =
            TimetableText(TimetableWriteInput{grid, plan, context.language, context.project.outputOpt});
        fs::path golden = test::SourceDir() / "tests" / "data" / "output" / goldens[i];
        if (std::getenv("TAKTARIUM_UPDATE_GOLDEN")) {
            ASSERT_TRUE(WriteFileBytes(golden, text));
        }
        EXPECT_EQ(ReadFileBytes(golden).value_or(""), text)
            << goldens[i] << ": check the new text by hand, then rebuild with TAKTARIUM_UPDATE_GOLDEN=1";
    }
}

}  // namespace
}  // namespace tak
