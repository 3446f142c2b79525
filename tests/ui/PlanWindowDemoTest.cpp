// A user's whole road on the demo map, in the windows: load the map, open the
// timetable plan window, build line 1's timetable and its route spider,
// create the output and save. The saved plan and spider equal the bundled
// demo project's, and the documents equal those of a run from the saved file.
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "PlanWindowFixture.h"
#include "base/FileSystem.h"
#include "output/Output.h"
#include "persist/JSON.h"
#include "ui/MainWindow.h"
#include "ui/OutputDialog.h"
#include "ui/RouteSpiderWindow.h"
#include "ui/TimeTable.h"

namespace tak::ui::test {
namespace {

class PlanWindowDemoTest : public PlanWindowFixture {
protected:
    void OpenFromMainWindow() {
        ProgramPlaces places{work.path(), SourceDir() / "Language", work.path()};
        LoadStartState(app, places);
        PlanWindowOpeners openers;
        openers.timeTable = [this] { timeTable = OpenTimeTableWindow(app, dialogs, main.get()); };
        main = std::make_unique<MainWindow>(app, places, dialogs, std::move(openers));
        main->show();
        auto* folder = main->findChild<QLineEdit*>("mapFolderField");
        folder->setText(QString::fromStdString((SourceDir() / "examples" / "DemoMap").string()) + "/");
        main->findChild<QCheckBox*>("dateSwitch")->setChecked(false);
        Click(main.get(), "loadButton");
        Click(main.get(), "timeTableButton");
    }

    void Import(RouteSpiderWindow* editor, int way, const char* trip) {
        ClickRow(FindIn<QListWidget>(editor, "wayList"), way);
        Choose(editor, "fromTripList", trip);
        Click(editor, "addAllButton");
    }

    void MarkStop(RouteSpiderWindow* editor, int stop, const QString& changes) {
        FindIn<QListWidget>(editor, "spiderStopList")->setCurrentRow(stop);
        Toggle(FindIn<QCheckBox>(editor, "importantBox"));
        if (!changes.isEmpty()) FindIn<QPlainTextEdit>(editor, "changesField")->setPlainText(changes);
    }

    // For a look by eye: TAKTARIUM_SCREENSHOT_DIR=<folder> keeps pictures of the windows.
    static void Screenshot(QWidget* window, const char* name) {
        if (const char* folder = std::getenv("TAKTARIUM_SCREENSHOT_DIR")) {
            window->grab().save(QString::fromLocal8Bit(folder) + "/" + name);
        }
    }

    void BuildSpider() {
        Toggle(FindIn<QCheckBox>(timeTable, "spiderBox"));
        Choose(timeTable, "spiderList", "Editor...");
        RouteSpiderWindow* editor = timeTable->SpiderEditor();
        ASSERT_NE(editor, nullptr);
        dialogs.inputs.push_back("Linie 1");
        Click(editor, "newSpiderButton");
        Choose(editor, "displayTravelList", "Oberhalb");
        Import(editor, 0, "1_Hbf-Suedbf");
        MarkStop(editor, 0, "Linie 3\nRegionalbahn");
        MarkStop(editor, 3, "Linie 2");
        MarkStop(editor, 9, "");
        Click(editor, "newWayButton");
        Import(editor, 1, "3_Hbf-GewerbegebietOst");
        Click(editor, "newWayButton");
        Import(editor, 2, "2_Nordfriedhof-Klinikum");
        Screenshot(editor, "route-spider-editor.png");
        Click(editor, "okButton");
        ASSERT_EQ(timeTable->SpiderEditor(), nullptr);
        // There was no spider to choose before; now checking the box takes the new one.
        auto* spiderBox = FindIn<QCheckBox>(timeTable, "spiderBox");
        EXPECT_FALSE(spiderBox->isChecked());
        Toggle(spiderBox);
        EXPECT_EQ(FindIn<QComboBox>(timeTable, "spiderList")->currentText(), "Linie 1");
    }

    void BuildTimetable() {
        dialogs.inputs.push_back(QString::fromUtf8("Linie 1 Hauptbahnhof - Südbahnhof"));
        Click(timeTable, "newPlanButton");
        Toggle(FindIn<QCheckBox>(timeTable, "mergeIterBox"));
        for (const char* trip : {"1_Hbf-Suedbf", "1_Hbf-Stadtbad"}) {
            Choose(timeTable, "tripChooser", trip);
            Click(timeTable, "addTripButton");
        }
        Click(timeTable, "stopAddAllButton");
        auto* rows = FindIn<QListWidget>(timeTable, "stopRowList");
        ASSERT_EQ(rows->count(), 10);
        for (int row = 0; row < rows->count(); ++row) {
            rows->setCurrentRow(row);
            if (row == 3 || row == 9) Toggle(FindIn<QCheckBox>(timeTable, "arrivalBox"));
            if (row != 9) Toggle(FindIn<QCheckBox>(timeTable, "departureBox"));
        }
    }

    // The member `key`[0] of a project file as text.
    static std::string FirstOf(const fs::path& file, const char* key) {
        JsonPtr root = Load(file);
        EXPECT_NE(root, nullptr) << file;
        return root ? ToText(ArrayGet(ObjectGet(root.get(), key), 0), 0) : std::string();
    }

    // A document's bytes without the moment it was written.
    static std::string DocumentBytes(const fs::path& file) {
        std::string bytes = ReadFileBytes(file).value_or("");
        std::size_t date = bytes.find("/CreationDate (");
        if (date != std::string::npos) bytes.erase(date, bytes.find(')', date) + 1 - date);
        return bytes;
    }

    AppContext app;
    std::unique_ptr<MainWindow> main;
    TimeTableWindow* timeTable = nullptr;
};

TEST_F(PlanWindowDemoTest, LineOneTimetableAndSpiderBuiltInTheWindowsEqualTheDemoProject) {
    OpenFromMainWindow();
    ASSERT_NE(timeTable, nullptr);
    EXPECT_FALSE(main->isEnabled());
    BuildTimetable();
    BuildSpider();

    timeTable->SetOutputRunner([](const AppContext& running, OutputRunControl& control, OutputLog& log) {
        return RunOutput(running, control, log);
    });
    Screenshot(timeTable, "timetable-window.png");
    Click(timeTable, "createOutputButton");
    OutputDialog* dialog = timeTable->CurrentOutputDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->WorkerRunning(); }, 60000));
    EXPECT_EQ(dialog->RunState(), kOutputFinished);
    dialog->close();

    Click(timeTable, "okButton");
    EXPECT_TRUE(main->isEnabled());
    fs::path saved = work.path() / "output" / "DemoMap.cfg";
    fs::path demo = SourceDir() / "examples" / "output" / "DemoMap.cfg";
    EXPECT_EQ(FirstOf(saved, "TimeTablePlan"), FirstOf(demo, "TimeTablePlan"));
    EXPECT_EQ(FirstOf(saved, "RouteSpider"), FirstOf(demo, "RouteSpider"));
    // The only message told that the spiders wait for the plan's save.
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Es gibt noch keine Projektdatei"));

    // A run from the saved file writes the same timetable.
    fs::path document = work.path() / "output" / "DemoMap" / "Fahrplan Linie 1 Hauptbahnhof - Südbahnhof.pdf";
    ASSERT_TRUE(fs::exists(document));
    std::string fromWindow = DocumentBytes(document);
    fs::remove_all(work.path() / "output" / "DemoMap");
    ASSERT_TRUE(LoadProjectFile(app).parsed);
    OutputRunControl control;
    OutputLog log([](const std::string&) {});
    EXPECT_EQ(RunOutput(app, control, log), 0);
    EXPECT_EQ(DocumentBytes(document), fromWindow);
    EXPECT_GT(fromWindow.size(), 1000U);
}

}  // namespace
}  // namespace tak::ui::test
