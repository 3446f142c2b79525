// The demo map's tour plan and stop tables: the text forms against files
// checked by hand against the demo's trip and line files, and the whole run
// in PDF through the Debian PDF tools.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "mapdata/MapLoader.h"
#include "output/Output.h"
#include "output/OutputStopTable.h"
#include "output/OutputTourPlan.h"
#include "support/TestSupport.h"
#include "PdfWords.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

// The demo map with its bundled project, examples/output/DemoMap.cfg; a test
// that writes documents moves the working folder elsewhere first.
void LoadDemo(AppContext& context) {
    ASSERT_TRUE(context.language.LoadLanguage(test::SourceDir() / "Language", "German"));
    context.workingFolder = test::SourceDir() / "examples";
    ASSERT_TRUE(LoadMapAndProject(context, test::SourceDir() / "examples" / "DemoMap", kNoDate));
    ASSERT_TRUE(context.projectLoad.parsed);
}

void ExpectGolden(const std::string& file, const std::string& text) {
    fs::path golden = test::SourceDir() / "tests" / "data" / "output" / file;
    if (std::getenv("TAKTARIUM_UPDATE_GOLDEN")) {
        ASSERT_TRUE(WriteFileBytes(golden, text));
    }
    EXPECT_EQ(ReadFileBytes(golden).value_or(""), text)
        << file << ": check the new text by hand, then rebuild with TAKTARIUM_UPDATE_GOLDEN=1";
}

TEST(DemoSheets, TourPlanAndStopTablesMatchTheirCheckedText) {
    AppContext context;
    LoadDemo(context);
    ASSERT_EQ(context.project.tourPlans.size(), 1u);
    ASSERT_EQ(context.project.stopTables.size(), 2u);
    const TourPlan& plan = context.project.tourPlans.begin()->second;
    TourPlanGrid grid = BuildTourPlan(plan, *context.map, context.language);
    ExpectGolden("DemoTourPlan1.txt",
                 TourPlanText(TourPlanWriteInput{grid, plan, context.language, context.project.outputOpt}));
    const char* goldens[] = {"DemoStopMarktplatz.txt", "DemoStopHauptbahnhof.txt"};
    for (std::size_t i = 0; i < 2; ++i) {
        const StopTable& table = context.project.stopTables[i];
        StopTableData data = BuildStopTable(table, *context.map, context.language);
        ExpectGolden(goldens[i], StopTableText(StopTableWriteInput{data, table, context.language,
                                                                   context.project.outputOpt, nullptr}));
    }
}

class DemoPdfRun : public ::testing::Test {
protected:
    void SetUp() override {
        TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
        for (const char* tool : {"pdftotext", "qpdf"}) {
            if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0) {
                GTEST_SKIP() << tool << " is not installed";
            }
        }
        LoadDemo(context);
        context.workingFolder = working.path();
        context.project.timeTablePlans.clear();
        context.project.outputOpt.format = kOutputPdf;
    }

    fs::path File(const std::string& name) const { return working.path() / "output" / "DemoMap" / name; }

    std::string CheckedText(const std::string& name) const {
        test::CommandResult check = test::RunCommand("qpdf --check '" + File(name).string() + "' 2>&1");
        EXPECT_EQ(check.status, 0) << name << "\n" << check.output;
        EXPECT_EQ(check.output.find("WARNING"), std::string::npos) << check.output;
        return test::RunCommand("pdftotext -layout -enc UTF-8 '" + File(name).string() + "' - 2>/dev/null").output;
    }

    test::TempDir working;
    AppContext context;
    OutputRunControl control;
    OutputLog log;
};

TEST_F(DemoPdfRun, WritesEachPlanAsACheckedPdfWithItsTimesAndLegend) {
    EXPECT_EQ(RunOutput(context, control, log), 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Erstelle Umlaufpläne...", "Umlaufplan: 1",
                                                     "Erstelle Aushangfahrpläne...", "Aushangfahrplan: Marktplatz",
                                                     "Aushangfahrplan: Hauptbahnhof", "Erstelle Liniennetzplan...",
                                                     "Ausgabe erstellt!"}));
    EXPECT_TRUE(fs::is_regular_file(File("Liniennetzplan.png"))) << "the demo's route map asks for PNG";
    std::string tours = CheckedText("Umlauf 1.pdf");
    for (const char* part : {"Dienstplan Linie 1", "Umlauf: 1-03", "Umlauf: 1-06", "Ausrücken", "04:59", "05:14",
                             "Ein-/Ausrücken", "19:27", "Dienstplan Linie 1 - Seite 1/3"}) {
        EXPECT_NE(tours.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(tours.find("Umlauf: 1-01"), std::string::npos) << "not selected";

    std::string market = CheckedText("Haltestelle Marktplatz.pdf");
    for (const char* part : {"Abfahrten Marktplatz", "Montag - Freitag", "Sonn- und Feiertag", "a: Linie 2 über",
                             "c: Linie 2 über Königstraße zum Klinikum, nur Schultage", "Regionalbahn"}) {
        EXPECT_NE(market.find(part), std::string::npos) << part << "\n" << market;
    }
    std::string station = CheckedText("Haltestelle Hauptbahnhof.pdf");
    EXPECT_NE(station.find("Haltestelle Hauptbahnhof"), std::string::npos);
    EXPECT_NE(station.find("9-13"), std::string::npos) << station;
}

// Every document says from when it holds: the project's text, else the day
// the map was loaded for; and whose service it is.
TEST_F(DemoPdfRun, DocumentsSayFromWhenTheyHoldAndWhoseServiceTheyShow) {
    context.project.outputOpt.format = kOutputText;
    context.project.outputOpt.operatorName = "Stadtwerke Mühlbrück";
    context.map->date = MakeDate(2025, 3, 1);
    EXPECT_EQ(RunOutput(context, control, log), 0);
    std::string market = ReadFileBytes(File("Haltestelle Marktplatz.txt")).value_or("");
    EXPECT_EQ(market.rfind("Abfahrten Marktplatz\r\n1 → Hauptbahnhof, 1 → Stadtbad, 1 → Südbahnhof, 2 → Klinikum\r\n", 0),
              0u)
        << market;
    EXPECT_NE(market.find("\r\ngültig ab 01.03.2025\r\nStadtwerke Mühlbrück\r\n"), std::string::npos) << market;

    context.project.outputOpt.validFrom = "Fahrplanwechsel 2025";
    context.project.outputOpt.format = kOutputPdf;
    EXPECT_EQ(RunOutput(context, control, log), 0);
    std::string tours = CheckedText("Umlauf 1.pdf");
    int pages = 0;
    for (std::size_t at = tours.find("gültig ab Fahrplanwechsel 2025"); at != std::string::npos;
         at = tours.find("gültig ab Fahrplanwechsel 2025", at + 1)) {
        ++pages;
    }
    EXPECT_EQ(pages, 3) << "every page of the tour plan\n" << tours;
}

TEST_F(DemoPdfRun, SharedDocumentsHoldEveryPlanOfTheirKindAndAStopEndsTheRun) {
    context.project.outputOpt.tpAllInOne = true;
    context.project.outputOpt.stAllInOne = true;
    EXPECT_EQ(RunOutput(context, control, log), 0);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(File(""))) files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<fs::path>{"Aushangfahrplan.pdf", "Liniennetzplan.png", "Umlaufpläne.pdf"}));
    std::string both = CheckedText("Aushangfahrplan.pdf");
    // Pages count through the shared document: Marktplatz takes two pages,
    // Hauptbahnhof one.
    EXPECT_NE(both.find("Abfahrten Marktplatz - Seite 2/3"), std::string::npos) << both;
    EXPECT_NE(both.find("Haltestelle Hauptbahnhof - Seite 3/3"), std::string::npos) << both;

    // A stop asked for during the tour plan: the later kinds only log their start.
    fs::remove_all(File(""));
    control.state = OutputState::Running;
    OutputLog stopping([this](const std::string& line) {
        if (line == "Umlaufplan: 1") control.state = OutputState::StopRequested;
    });
    EXPECT_EQ(RunOutput(context, control, stopping), 0);
    EXPECT_EQ(stopping.Lines(), (std::vector<std::string>{"Erstelle Umlaufpläne...", "Umlaufplan: 1",
                                                          "Erstelle Aushangfahrpläne...", "Erstelle Liniennetzplan...",
                                                          "Vom Benutzer angehalten nach 1 von 4 Plänen."}));
    EXPECT_EQ(control.state, OutputState::StopRequested);
    EXPECT_FALSE(fs::exists(File("Aushangfahrplan.pdf")));
    EXPECT_FALSE(fs::exists(File("Liniennetzplan.png")));
    EXPECT_TRUE(fs::exists(File("Umlaufpläne.pdf"))) << "the plan under way is finished and saved";
}

TEST_F(DemoPdfRun, EveryTextOfEveryDocumentStaysInsideThePageMargins) {
    LoadProject(context.project, *context.map, test::SourceDir() / "examples" / "output" / "DemoMap.cfg");
    context.project.outputOpt.format = kOutputPdf;
    EXPECT_EQ(RunOutput(context, control, log), 0);
    int documents = 0;
    for (const auto& entry : fs::directory_iterator(File(""))) {
        if (entry.path().extension() != ".pdf") continue;
        ++documents;
        EXPECT_GT(test::PdfWords(entry.path()).size(), 100u) << entry.path();
        std::vector<std::string> outside = test::WordsOutsideMargins(entry.path(), 28.35f);
        EXPECT_TRUE(outside.empty()) << outside.front() << " and " << outside.size() - 1 << " more";
    }
    EXPECT_EQ(documents, 5);
}

// What a print shop checks on every sheet: destinations are whole words,
// every page of a timetable explains its interval columns and labels, and
// every route mark of a stop table has its legend line.
TEST_F(DemoPdfRun, DestinationsAreWholeAndEveryMarkIsExplained) {
    LoadProject(context.project, *context.map, test::SourceDir() / "examples" / "output" / "DemoMap.cfg");
    context.project.outputOpt.format = kOutputPdf;
    EXPECT_EQ(RunOutput(context, control, log), 0);

    int destinations = 0;
    for (const test::PdfWord& word : test::PdfWords(File("Umlauf 1.pdf"))) {
        for (std::string_view whole : {"Südbahnhof", "Hauptbahnhof", "Stadtbad"}) {
            destinations += word.text == whole;
            bool cut = word.text.size() >= 3 && word.text != whole && whole.starts_with(word.text);
            EXPECT_FALSE(cut) << word.text << " on page " << word.page;
        }
    }
    EXPECT_GT(destinations, 50);

    auto pageTexts = [this](const std::string& name) {
        std::vector<std::string> pages;
        for (int page = 1; page < 10; ++page) {
            test::CommandResult text = test::RunCommand("pdftotext -layout -enc UTF-8 -f " + std::to_string(page) +
                                                        " -l " + std::to_string(page) + " '" + File(name).string() +
                                                        "' - 2>/dev/null");
            if (text.status != 0) break;
            pages.push_back(text.output);
        }
        return pages;
    };
    std::vector<std::string> line1 = pageTexts("Fahrplan Linie 1 Hauptbahnhof - Südbahnhof.pdf");
    EXPECT_GE(line1.size(), 2u);
    for (const std::string& page : line1) {
        if (page.find("alle") != std::string::npos) {
            EXPECT_NE(page.find("fahren die Busse in diesem Abstand"), std::string::npos) << page;
        }
        EXPECT_NE(page.find("an = Ankunft, ab = Abfahrt"), std::string::npos) << page;
    }
    std::vector<std::string> tours = pageTexts("Umlauf 1.pdf");
    EXPECT_GE(tours.size(), 2u);
    for (const std::string& page : tours) EXPECT_NE(page.find("ab = Abfahrt"), std::string::npos) << page;

    std::string market = CheckedText("Haltestelle Marktplatz.pdf");
    // A mark is a capital letter right before the minutes it belongs to.
    std::string marks;
    std::vector<test::PdfWord> words = test::PdfWords(File("Haltestelle Marktplatz.pdf"));
    auto startsWithMinute = [](const std::string& text) {
        return text.size() >= 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
               std::isdigit(static_cast<unsigned char>(text[1]));
    };
    for (const test::PdfWord& mark : words) {
        if (mark.text.size() != 1 || !std::isupper(static_cast<unsigned char>(mark.text[0]))) continue;
        bool beforeMinute = std::any_of(words.begin(), words.end(), [&](const test::PdfWord& next) {
            return next.page == mark.page && std::abs(next.yMax - mark.yMax) < 2 && next.xMin >= mark.xMax &&
                   next.xMin - mark.xMax < 3 && startsWithMinute(next.text);
        });
        if (beforeMinute && marks.find(mark.text[0]) == std::string::npos) marks += mark.text;
    }
    EXPECT_EQ(marks.size(), 4u) << marks;
    for (char mark : marks) {
        EXPECT_NE(market.find(std::string(1, mark) + ": Linie "), std::string::npos) << mark << "\n" << market;
    }
}

TEST_F(DemoPdfRun, TheRouteMapComesLastAsPdfAndAFailureIsLoggedUnderItsName) {
    context.project.tourPlans.clear();
    context.project.stopTables.clear();
    context.project.routeMap.format = kRouteMapPdf;
    EXPECT_EQ(RunOutput(context, control, log), 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Erstelle Liniennetzplan...", "Ausgabe erstellt!"}));
    CheckedText("Liniennetzplan.pdf");

    // A folder where the file should go: the map cannot be written.
    fs::remove(File("Liniennetzplan.pdf"));
    fs::create_directories(File("Liniennetzplan.pdf"));
    control.state = OutputState::Running;
    OutputLog failing;
    EXPECT_EQ(RunOutput(context, control, failing), 1);
    EXPECT_EQ(failing.Lines()[1], FillPlaceholders(context.language.Lang("ErrCreateOutput"), {"Liniennetzplan"}));
}

// The route map page is headed by the map's own title when it has one,
// else by the language's word for it and the project's name.
TEST_F(DemoPdfRun, TheRouteMapPageIsHeadedByItsOwnTitle) {
    context.project.timeTablePlans.clear();
    context.project.tourPlans.clear();
    context.project.stopTables.clear();
    context.project.routeMap.format = kRouteMapPdf;
    ASSERT_EQ(RunOutput(context, control, log), 0);
    EXPECT_NE(CheckedText("Liniennetzplan.pdf").find("Liniennetzplan DemoMap"), std::string::npos);

    context.project.routeMap.title = "Busnetz Musterstadt";
    control.state = OutputState::Running;
    OutputLog again;
    ASSERT_EQ(RunOutput(context, control, again), 0);
    const std::string text = CheckedText("Liniennetzplan.pdf");
    EXPECT_NE(text.find("Busnetz Musterstadt"), std::string::npos) << text;
    EXPECT_EQ(text.find("Liniennetzplan DemoMap"), std::string::npos) << text;
}

}  // namespace
}  // namespace tak
