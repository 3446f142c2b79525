#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>

#include "TimetableFixtures.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "output/OutputTimetable.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

using test::Clock;
using test::kMonFri;
namespace fs = std::filesystem;

class OutputRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trip& trip = fixture.AddTrip("T", "5", {1, 2}, {0, 5});
        fixture.AddTour("5", "5-01", kMonFri, trip, {Clock(6, 0), Clock(7, 0)});
        context.workingFolder = working.path();
        context.projectName = "Map_20250115";
        context.language = test::TimetableLanguage();
        context.project.outputOpt.format = kOutputText;
        for (const char* name : {"Line 5", "Line 5 back"}) {
            TimeTablePlan plan = fixture.Plan({&trip}, {1, 2}, {kMonFri});
            plan.name = name;
            context.project.timeTablePlans.push_back(plan);
        }
    }

    int Run() { return RunOutput(context, control, log); }
    fs::path Folder() const { return working.path() / "output" / "Map_20250115"; }

    test::TempDir working;
    AppContext context;
    test::TimetableMap fixture{*context.map};
    OutputRunControl control;
    OutputLog log;
};

TEST_F(OutputRunTest, AProjectWithoutPlansSaysSoNamingItsFileInsteadOfSuccess) {
    context.project.timeTablePlans.clear();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"No plans in " + ProjectFilePath(context).string()}));
    EXPECT_EQ(control.state, OutputState::Finished);
    EXPECT_EQ(control.plansInRun, 0);
    EXPECT_EQ(control.documentsWritten, 0);
}

TEST_F(OutputRunTest, TextTimetablesGoIntoTheProjectFolderWhichIsCreatedWithOutput) {
    context.project.outputOpt.ttAllInOne = true;  // no effect on text
    ASSERT_FALSE(fs::exists(working.path() / "output"));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Timetable: Line 5 back",
                                                     "Done!"}));
    std::string text = ReadFileBytes(Folder() / "Timetable Line 5.txt").value_or("");
    EXPECT_NE(text.find("Stop 1 dp | 06:00 07:00 "), std::string::npos) << text;
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.txt"));
    EXPECT_EQ(control.state, OutputState::Finished);
}

TEST_F(OutputRunTest, AllTimetablesShareOnePdfWhenAsked) {
    context.project.outputOpt.format = kOutputPdf;
    context.project.outputOpt.ttAllInOne = true;
    EXPECT_EQ(Run(), 0);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(Folder())) files.push_back(entry.path().filename());
    EXPECT_EQ(files, (std::vector<fs::path>{"Timetables.pdf"}));
    EXPECT_TRUE(ReadFileBytes(Folder() / "Timetables.pdf").value_or("").starts_with("%PDF-1.5"));

    context.project.outputOpt.ttAllInOne = false;
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5.pdf"));
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.pdf"));
}

TEST_F(OutputRunTest, AStopRequestedDuringAPlanEndsTheRunAfterItWithoutSavingTheSharedDocument) {
    context.project.outputOpt.format = kOutputPdf;
    context.project.outputOpt.ttAllInOne = true;
    OutputLog stopping([this](const std::string& line) {
        if (line == "Timetable: Line 5") control.state = OutputState::StopRequested;
    });
    EXPECT_EQ(RunOutput(context, control, stopping), 0);
    EXPECT_EQ(stopping.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Stopped after 1 of 2",
                                                          "Not written: Timetables.pdf"}));
    EXPECT_EQ(control.state, OutputState::StopRequested);
    EXPECT_EQ(control.documentsWritten, 0);
    EXPECT_FALSE(fs::exists(Folder() / "Timetables.pdf"));

    // Documents of their own that were written before the stop are not listed.
    context.project.outputOpt.ttAllInOne = false;
    control.state = OutputState::Running;
    OutputLog again([this](const std::string& line) {
        if (line == "Timetable: Line 5") control.state = OutputState::StopRequested;
    });
    RunOutput(context, control, again);
    EXPECT_EQ(again.Lines().back(), "Stopped after 1 of 2");
    EXPECT_EQ(control.documentsWritten, 1);
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5.pdf"));
}

TEST_F(OutputRunTest, AFailedDocumentIsLoggedAndTheRunGoesOn) {
    context.project.timeTablePlans[0].name = "Line 5/6";
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5/6", "Error: Line 5/6",
                                                     "Timetable: Line 5 back", "Incomplete: 1 of 2"}));
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.txt"));
    EXPECT_FALSE(fs::exists(Folder() / "Timetable Line 5"));

    // A shared document that cannot be saved names the kind.
    context.project.timeTablePlans[0].name = "Line 5";
    context.project.outputOpt.format = kOutputPdf;
    context.project.outputOpt.ttAllInOne = true;
    ASSERT_TRUE(
        context.language.LoadFromBytes("TimeTable = Timetable\nTimeTables = A/B\nErrCreateOutput = Error: %1\n"));
    OutputLog second;
    EXPECT_EQ(RunOutput(context, control, second), 1);
    EXPECT_EQ(second.Lines()[3], "Error: Timetable");
}

// The travel-time table of a timetable grows with the square of its rows: a
// plan beyond the limit is refused with an error line, and the run goes on.
TEST_F(OutputRunTest, APlanWithTooManyRowsIsRefusedAndTheNextOneIsWritten) {
    TimeTablePlan& huge = context.project.timeTablePlans[0];
    PlanStop row = huge.stops[0];
    row.flags = kRowDeparture;  // one slot per row
    huge.stops.assign(static_cast<std::size_t>(kMaxTimetableSlots) + 1, row);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Error: Line 5",
                                                     "Timetable: Line 5 back", "Incomplete: 1 of 2"}));
    EXPECT_FALSE(fs::exists(Folder() / "Timetable Line 5.txt"));
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.txt"));

    // At the limit the plan is still written.
    huge.stops.resize(static_cast<std::size_t>(kMaxTimetableSlots));
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5.txt"));
}

TEST_F(OutputRunTest, TourPlansAndStopTablesFollowTheTimetablesOneTextFilePerPlan) {
    context.project.timeTablePlans.resize(1);
    TourPlan& tourPlan = context.project.tourPlans["5"];
    tourPlan.name = "5";
    tourPlan.tours["5-01"] = &context.map->lines[0]->tours[0];
    tourPlan.trips.push_back(TourPlanTrip{context.map->trips[0].get(), false, false, "", ""});
    tourPlan.outward.insert("T");
    tourPlan.stopsOut = context.project.timeTablePlans[0].stops;
    context.project.tourPlans["6"].active = false;  // not run
    for (const char* name : {"Market", "A/B", "Market again"}) {
        StopTable& table = context.project.stopTables.emplace_back();
        table.name = name;
        table.sameInOne = true;  // no effect on text
        table.stations = {context.map->FindStationByStopId(1)};
        table.days = {TableDay{"Mon-Fri", kMonFri}};
        AddStopTableTrip(table, *context.map->trips[0]);
        table.selection.insert("T");
    }
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Tour plans...",
                                                     "Tour plan: 5", "Stop tables...", "Stop table: Market",
                                                     "Stop table: A/B", "Error: A/B", "Stop table: Market again",
                                                     "Incomplete: 4 of 5"}));
    // Destinations that are not printed do not widen the columns.
    std::string tours = ReadFileBytes(Folder() / "Tour 5.txt").value_or("");
    EXPECT_NE(tours.find("Stop 1 dp | 06:00 07:00 "), std::string::npos) << tours;
    EXPECT_NE(ReadFileBytes(Folder() / "Stop Market.txt").value_or("").find("   6  | 00 "), std::string::npos);
    EXPECT_TRUE(fs::exists(Folder() / "Stop Market again.txt"));
}

TEST_F(OutputRunTest, ADocumentWhoseFileNameIsTakenIsNotWrittenOverTheFirst) {
    // Names that differ only in letter case are one file on Windows.
    context.project.timeTablePlans[1].name = "LINE 5";
    context.project.timeTablePlans[1].stops.pop_back();
    for (const char* name : {"Market", "Market"}) {
        StopTable& table = context.project.stopTables.emplace_back();
        table.name = name;
        table.stations = {context.map->FindStationByStopId(1)};
        table.days = {TableDay{"Mon-Fri", kMonFri}};
        AddStopTableTrip(table, *context.map->trips[0]);
        table.selection.insert("T");
    }
    context.project.stopTables[1].stations = {context.map->FindStationByStopId(2)};
    for (int format : {kOutputText, kOutputPdf}) {
        fs::remove_all(working.path() / "output");
        context.project.outputOpt.format = format;
        control.state = OutputState::Running;
        OutputLog run;
        EXPECT_EQ(RunOutput(context, control, run), 2);
        std::string extension = format == kOutputPdf ? ".pdf" : ".txt";
        EXPECT_EQ(run.Lines(), (std::vector<std::string>{
                                   "Timetables...", "Timetable: Line 5", "Timetable: LINE 5",
                                   "Error: LINE 5 (Timetable LINE 5" + extension + " is taken)", "Stop tables...",
                                   "Stop table: Market", "Stop table: Market",
                                   format == kOutputPdf ? "Error: Stop Market (Stop Market.pdf is taken)"
                                                        : "Error: Market (Stop Market.txt is taken)",
                                   "Incomplete: 2 of 4"}));
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(Folder())) files.push_back(entry.path().filename());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<fs::path>{"Stop Market" + extension, "Timetable Line 5" + extension}));
    }
    // The first plan's times stay, not the second's (stop 2 leaves at 6:05).
    fs::remove_all(working.path() / "output");
    context.project.outputOpt.format = kOutputText;
    control.state = OutputState::Running;
    Run();
    std::string text = ReadFileBytes(Folder() / "Stop Market.txt").value_or("");
    EXPECT_NE(text.find("   6  | 00 "), std::string::npos) << text;
    std::string timetable = ReadFileBytes(Folder() / "Timetable Line 5.txt").value_or("");
    EXPECT_NE(timetable.find("Stop 2"), std::string::npos) << "the first plan, with both stops";
}

TEST_F(OutputRunTest, PlansWithNothingToPrintWriteNoDocumentAndSayWhyWhenWarningsAreOn) {
    // A timetable of Saturdays for a weekday tour, and a tour plan whose only
    // trip is switched off.
    context.project.timeTablePlans.resize(1);
    context.project.timeTablePlans[0].days = {TableDay{"Sat", test::kSaturday}};
    TourPlan& tourPlan = context.project.tourPlans["5"];
    tourPlan.name = "5";
    tourPlan.tours["5-01"] = &context.map->lines[0]->tours[0];
    tourPlan.trips.push_back(TourPlanTrip{context.map->trips[0].get(), false, true, "", ""});
    tourPlan.outward.insert("T");
    tourPlan.stopsOut = context.project.timeTablePlans[0].stops;
    for (int format : {kOutputText, kOutputPdf}) {
        for (bool shared : {false, true}) {
            fs::remove_all(working.path() / "output");
            context.project.outputOpt.format = format;
            context.project.outputOpt.ttAllInOne = shared;
            context.project.outputOpt.tpAllInOne = shared;
            control.state = OutputState::Running;
            OutputLog run;
            EXPECT_EQ(RunOutput(context, control, run), 0);
            EXPECT_EQ(run.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5",
                                                             "Empty timetable Line 5", "Tour plans...",
                                                             "Tour plan: 5", "Empty tour plan 5",
                                                             "Nothing created"}));
            EXPECT_TRUE(fs::is_empty(Folder())) << "not even an empty shared document";
        }
    }
    control.warnings = false;
    control.state = OutputState::Running;
    OutputLog quiet;
    EXPECT_EQ(RunOutput(context, control, quiet), 0);
    EXPECT_EQ(quiet.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Tour plans...",
                                                       "Tour plan: 5", "Nothing created"}));
    EXPECT_TRUE(fs::is_empty(Folder()));
}

TEST_F(OutputRunTest, APlanThatPrintsNoTimeIsWarnedOfEvenWithWarningsOffAndTheRunSaysSo) {
    control.warnings = false;
    // Rows without arrivals or departures, and a row whose times go to the
    // row above it, print no time.
    for (PlanStop& row : context.project.timeTablePlans[1].stops) row.flags = 0;
    context.project.timeTablePlans[1].stops.back().flags = kRowMerged | kRowDeparture;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Timetables...", "Timetable: Line 5", "Timetable: Line 5 back",
                               "No times in timetable Line 5 back: tick Departure or Arrival in Timetables",
                               "Done, but 1 document has no times"}));
    // The document is still written: the user sees what the warning means.
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.txt"));

    // Arrivals alone are times too.
    context.project.timeTablePlans[1].stops.front().flags = kRowArrival;
    control.state = OutputState::Running;
    OutputLog mended;
    EXPECT_EQ(RunOutput(context, control, mended), 0);
    EXPECT_EQ(mended.Lines().back(), "Done!");
}

TEST_F(OutputRunTest, ATourPlanWithoutTimesInOneDirectionIsWarnedOf) {
    Trip& out = *context.map->trips.front();
    Trip& back = fixture.AddTrip("B", "5", {2, 1}, {0, 5});
    TourPlan plan;
    plan.name = "5";
    plan.line = context.map->lines.front().get();
    plan.trips = {TourPlanTrip{&out, false, false, "", ""}, TourPlanTrip{&back, false, false, "", ""}};
    plan.outward = {"T"};
    plan.returning = {"B"};
    plan.tours = {{"5-01", &plan.line->tours.front()}};
    plan.stopsOut = {PlanStop{&out.stations[0], "One", kRowDeparture}, PlanStop{&out.stations[1], "Two", kRowArrival}};
    plan.stopsRet = {PlanStop{&back.stations[0], "Two", 0}, PlanStop{&back.stations[1], "One", 0}};
    context.project.timeTablePlans.clear();
    context.project.tourPlans["5"] = plan;
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "No times in tour plan 5: tick Departure or Arrival in Tour plans");
    EXPECT_EQ(lines.back(), "Done, but 1 document has no times");

    // A ring line prints no return rows: none are needed.
    context.project.tourPlans["5"].returning.clear();
    context.project.tourPlans["5"].outward = {"T", "B"};
    control.state = OutputState::Running;
    OutputLog ring;
    EXPECT_EQ(RunOutput(context, control, ring), 0);
    EXPECT_EQ(ring.Lines().back(), "Done!");
}

TEST_F(OutputRunTest, WrongOrderWarningsFollowTheSwitch) {
    Trip& back = fixture.AddTrip("B", "5", {2, 1}, {0, 5});
    fixture.AddTour("5", "5-02", kMonFri, back, {Clock(8, 0)});
    context.project.timeTablePlans[1].trips = {&back};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(log.Lines().size(), 5u) << "one warning in the second plan";
    EXPECT_EQ(log.Lines()[3], "In Line 5 back: Stop 1 (1) after Stop 2 (2)");

    control.state = OutputState::Running;
    control.warnings = false;
    OutputLog quiet;
    EXPECT_EQ(RunOutput(context, control, quiet), 0);
    EXPECT_EQ(quiet.Lines().size(), 4u);
}

// A trip that runs back and forth past the plan's stops gives a warning at
// nearly every station: the plan's log shows the first and counts the rest.
TEST_F(OutputRunTest, RepeatedWarningsOfAPlanAreLoggedOnceWithTheirCount) {
    std::vector<int32_t> stops;
    std::vector<int> minutes;
    for (int i = 0; i < 200; ++i) {
        stops.push_back(i % 2 == 0 ? 2 : 1);
        minutes.push_back(i);
    }
    Trip& zigzag = fixture.AddTrip("Z", "5", stops, minutes);
    fixture.AddTour("5", "5-02", kMonFri, zigzag, {Clock(8, 0)});
    TimeTablePlan& plan = context.project.timeTablePlans[1];
    plan.trips = {&zigzag};
    // What the builder itself warns of for this plan.
    const std::vector<std::string> direct = BuildTimetable(plan, *context.map, false, context.language).warnings;
    const std::size_t warnings = direct.size();
    ASSERT_GT(warnings, 2u);

    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Timetable: Line 5 back",
                                                     direct[0],
                                                     "... " + std::to_string(warnings - 1) + " more", "Done!"}));
}

// A save the system refuses says why, in the system's words.
TEST_F(OutputRunTest, ADocumentTheSystemRefusesNamesTheReason) {
    fs::create_directories(Folder() / "Timetable Line 5.txt");  // a folder where the document goes
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Timetables...", "Timetable: Line 5",
                                                     "Error: Line 5: " + std::make_error_code(std::errc::is_a_directory).message(),
                                                     "Timetable: Line 5 back", "Incomplete: 1 of 2"}));
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.txt"));
}

// What a killed run left in the folder goes with the next run.
TEST_F(OutputRunTest, TemporaryFilesThatKilledRunsLeftAreRemoved) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::path left = working.Write("output/Map_20250115/.Timetable Line 5.txt.00112233445566ff.tmp", "part");
    fs::path project = working.Write("output/.Map_20250115.cfg.00112233445566ff.tmp", "part");
    fs::last_write_time(left, old);
    fs::last_write_time(project, old);
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_FALSE(fs::exists(project));
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5.txt"));
}

TEST_F(OutputRunTest, AnUnreadableProjectFileIsReportedInsteadOfSuccess) {
    ASSERT_TRUE(context.language.LoadFromBytes("ErrReadProject = Unreadable: %1\nOutputCreated = Done\n"));
    context.projectLoad.fileFound = true;
    context.projectLoad.parsed = false;
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Unreadable: " + ProjectFilePath(context).string()}));
    EXPECT_EQ(control.state, OutputState::Finished) << "the dialog can be closed";
    EXPECT_FALSE(fs::exists(Folder()));
}

// Running out of memory comes as an exception; here the log throws it while
// the first plan is being built. That plan fails, the others are written.
TEST_F(OutputRunTest, MemoryRunningOutFailsOnlyThePlanBeingBuilt) {
    Trip& back = fixture.AddTrip("B", "5", {2, 1}, {0, 5});
    fixture.AddTour("5", "5-02", kMonFri, back, {Clock(8, 0)});
    context.project.timeTablePlans[0].trips = {&back};
    std::vector<std::string> lines;
    OutputLog failing([&lines](const std::string& line) {
        if (line.starts_with("In ")) throw std::bad_alloc();
        lines.push_back(line);
    });
    EXPECT_EQ(RunOutput(context, control, failing), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{"Timetables...", "Timetable: Line 5", "Error: Line 5",
                                               "Timetable: Line 5 back", "Incomplete: 1 of 2"}));
    EXPECT_TRUE(fs::exists(Folder() / "Timetable Line 5 back.txt"));
}

}  // namespace
}  // namespace tak
