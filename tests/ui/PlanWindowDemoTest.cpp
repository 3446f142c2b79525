// A user's whole road on the demo map, in the windows: load the map, open the
// timetable plan window, build line 1's timetable and its route spider,
// create the output and save. The saved plan and spider equal the bundled
// demo project's, and the documents equal those of a run from the saved file.
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include "PlanWindowFixture.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "persist/JSON.h"
#include "ui/MainWindow.h"
#include "ui/OutputDialog.h"
#include "ui/RouteSpiderWindow.h"
#include "ui/StopTable.h"
#include "ui/TimeTable.h"
#include "ui/TourPlan.h"

namespace tak::ui::test {
namespace {

class PlanWindowDemoTest : public PlanWindowFixture {
protected:
    void OpenFromMainWindow(const char* button = "timeTableButton") {
        ProgramPlaces places{work.path(), SourceDir() / "Language", work.path()};
        LoadStartState(app, places);
        PlanWindowOpeners openers;
        openers.timeTable = [this] { timeTable = OpenPlanWindow<TimeTableWindow>(app, dialogs, main.get()); };
        openers.tourPlan = [this] { tourPlan = OpenPlanWindow<TourPlanWindow>(app, dialogs, main.get()); };
        openers.stopTable = [this] { stopTable = OpenPlanWindow<StopTableWindow>(app, dialogs, main.get()); };
        main = std::make_unique<MainWindow>(app, places, dialogs, std::move(openers));
        main->show();
        auto* folder = main->findChild<QLineEdit*>("mapFolderField");
        folder->setText(QString::fromStdString((SourceDir() / "examples" / "DemoMap").string()) + "/");
        main->findChild<QCheckBox*>("dateSwitch")->setChecked(false);
        Click(main.get(), "loadButton");
        Click(main.get(), button);
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
        // There was no spider to choose before; the ticked box takes the new one.
        auto* spiderBox = FindIn<QCheckBox>(timeTable, "spiderBox");
        EXPECT_TRUE(spiderBox->isChecked());
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
        // New rows print departures, the last stop arrivals; the short trip's
        // end shows both.
        rows->setCurrentRow(3);
        Toggle(FindIn<QCheckBox>(timeTable, "arrivalBox"));
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

    // Selects the trip in whichever list shows it; false when none does.
    bool SelectTrip(const QString& name) {
        for (const char* listName : {"outwardList", "returnList"}) {
            auto* list = FindIn<QListWidget>(tourPlan, listName);
            for (int row = 0; row < list->count(); ++row) {
                if (list->item(row)->text() == name) {
                    ClickRow(list, row);
                    return true;
                }
            }
        }
        return false;
    }

    // Sends the trip across and back again, which puts it last in the plan.
    void ToTheEnd(const QString& name) {
        ASSERT_TRUE(SelectTrip(name)) << name.toStdString();
        bool outward = !FindIn<QListWidget>(tourPlan, "outwardList")->selectedItems().isEmpty();
        Click(tourPlan, outward ? "toReturnButton" : "toOutwardButton");
        Click(tourPlan, outward ? "toOutwardButton" : "toReturnButton");
    }

    void SetTripTexts(const QString& trip, const char* ibis, const QString& target) {
        ASSERT_TRUE(SelectTrip(trip)) << trip.toStdString();
        QTest::keyClicks(FindIn<QLineEdit>(tourPlan, "ibisField"), ibis);
        // Typed as one edit: key clicks carry no letters beyond ASCII.
        FindIn<QLineEdit>(tourPlan, "targetField")->insert(target);
    }

    // Ten rows from the candidate `first` on: departures, the last an arrival.
    void AddStopRows(const QString& first) {
        Choose(tourPlan, "candidateList", first);
        for (int i = 0; i < 10; ++i) Click(tourPlan, "stopAddButton");
        auto* rows = FindIn<QListWidget>(tourPlan, "stopRowList");
        ASSERT_EQ(rows->count(), 10);
        for (int row = 0; row < rows->count(); ++row) {
            rows->setCurrentRow(row);
            for (auto [box, on] : {std::pair{"arrivalBox", row == 9}, std::pair{"departureBox", row != 9}}) {
                auto* control = FindIn<QCheckBox>(tourPlan, box);
                if (control->isChecked() != on) Toggle(control);
            }
        }
    }

    void BuildTourPlan() {
        auto* tree = FindIn<QTreeWidget>(tourPlan, "lineTree");
        QTreeWidgetItem* line = tree->topLevelItem(0);
        ASSERT_EQ(line->text(0), "1");
        for (int i = 0; i < line->childCount(); ++i) {
            QString tour = line->child(i)->text(0);
            if (tour == "1-03" || tour == "1-04" || tour == "1-06") line->child(i)->setCheckState(0, Qt::Checked);
        }
        QTest::keyClicks(FindIn<QLineEdit>(tourPlan, "headlineField"), "Dienstplan Linie 1");
        for (const char* box :
             {"displayLineBox", "displayIbisBox", "displayTargetBox", "displayOutInsBox", "displayPauseBox"}) {
            Toggle(FindIn<QCheckBox>(tourPlan, box));
        }
        // The first tour starts at the depot: the split comes out the wrong way round.
        Click(tourPlan, "exchangeButton");
        for (const char* trip : {"1_Hbf-Stadtbad", "1_Stadtbad-Hbf", "1_Hbf-Betriebshof", "1_Suedbf-Betriebshof"}) {
            ToTheEnd(trip);
        }
        for (const char* depotRun : {"1_Betriebshof-Hbf", "1_Hbf-Betriebshof", "1_Suedbf-Betriebshof"}) {
            ASSERT_TRUE(SelectTrip(depotRun));
            auto* notInService = FindIn<QCheckBox>(tourPlan, "notInServiceBox");
            if (!notInService->isChecked()) Toggle(notInService);
        }
        SetTripTexts("1_Hbf-Suedbf", "101", QString::fromUtf8("Südbahnhof"));
        SetTripTexts("1_Suedbf-Hbf", "110", "Hauptbahnhof");
        SetTripTexts("1_Hbf-Stadtbad", "108", "Stadtbad");
        SetTripTexts("1_Stadtbad-Hbf", "110", "Hauptbahnhof");
        Toggle(FindIn<QCheckBox>(tourPlan, "deactivateBox"));

        AddStopRows("Hauptbahnhof (101)");
        FindIn<QRadioButton>(tourPlan, "returnStopsButton")->click();
        AddStopRows(QString::fromUtf8("Südbahnhof (110)"));
    }

    QTreeWidgetItem* TreeTrip(const QString& name) {
        auto* tree = FindIn<QTreeWidget>(stopTable, "tripTree");
        for (int line = 0; line < tree->topLevelItemCount(); ++line) {
            QTreeWidgetItem* lineItem = tree->topLevelItem(line);
            for (int i = 0; i < lineItem->childCount(); ++i) {
                if (lineItem->child(i)->text(0) == name) return lineItem->child(i);
            }
        }
        ADD_FAILURE() << name.toStdString() << " is not in the trip tree";
        return nullptr;
    }

    void SetFootnote(const QString& trip, const QString& text) {
        auto* tree = FindIn<QTreeWidget>(stopTable, "tripTree");
        tree->setCurrentItem(TreeTrip(trip));
        Toggle(FindIn<QCheckBox>(stopTable, "alternativeBox"));
        FindIn<QLineEdit>(stopTable, "footnoteField")->insert(text);
    }

    // The table of the Marktplatz, with the spider "Linie 1" (made in the
    // editor; the table names it only).
    void BuildStopTable() {
        dialogs.inputs.push_back("Marktplatz");
        Click(stopTable, "newPlanButton");
        Choose(stopTable, "stopChooser", "Marktplatz (104)");
        Click(stopTable, "addStopButton");
        QTest::keyClicks(FindIn<QLineEdit>(stopTable, "headlineField"), "Abfahrten Marktplatz");
        Toggle(FindIn<QCheckBox>(stopTable, "spiderBox"));
        Choose(stopTable, "spiderList", "Editor...");
        RouteSpiderWindow* editor = stopTable->SpiderEditor();
        ASSERT_NE(editor, nullptr);
        dialogs.inputs.push_back("Linie 1");
        Click(editor, "newSpiderButton");
        Click(editor, "okButton");
        auto* spiderBox = FindIn<QCheckBox>(stopTable, "spiderBox");
        if (!spiderBox->isChecked()) Toggle(spiderBox);
        EXPECT_EQ(FindIn<QComboBox>(stopTable, "spiderList")->currentText(), "Linie 1");
        for (const char* trip : {"1_Hbf-Suedbf", "1_Hbf-Stadtbad", "1_Suedbf-Hbf", "1_Stadtbad-Hbf",
                                 "2_Nordfriedhof-Klinikum", "2_Schulzentrum-Klinikum"}) {
            TreeTrip(trip)->setCheckState(0, Qt::Checked);
        }
        SetFootnote("1_Hbf-Stadtbad", "nur bis Stadtbad");
        SetFootnote("2_Nordfriedhof-Klinikum", QString::fromUtf8("Linie 2 über Königstraße zum Klinikum"));
    }

    AppContext app;
    std::unique_ptr<MainWindow> main;
    TimeTableWindow* timeTable = nullptr;
    TourPlanWindow* tourPlan = nullptr;
    StopTableWindow* stopTable = nullptr;
};

TEST_F(PlanWindowDemoTest, LineOneTimetableAndSpiderBuiltInTheWindowsEqualTheDemoProject) {
    OpenFromMainWindow();
    ASSERT_NE(timeTable, nullptr);
    EXPECT_FALSE(main->isEnabled());
    BuildTimetable();
    BuildSpider();

    timeTable->SetOutputRunner([](const OutputSource& running, OutputRunControl& control, OutputLog& log) {
        return RunOutput(running, control, log);
    });
    Screenshot(timeTable, "timetable-window.png");
    Click(timeTable, "createOutputButton");
    OutputDialog* dialog = timeTable->CurrentOutputDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->WorkerRunning(); }, 60000));
    EXPECT_EQ(dialog->RunState(), OutputState::Finished);
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
    // From UTF-8 text: a plain literal would be read in the ANSI code page on Windows.
    fs::path document =
        work.path() / "output" / "DemoMap" / PathFromText("Fahrplan Linie 1 Hauptbahnhof - Südbahnhof.pdf");
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

TEST_F(PlanWindowDemoTest, LineOneTourPlanBuiltInTheWindowEqualsTheDemoProject) {
    OpenFromMainWindow("tourPlanButton");
    ASSERT_NE(tourPlan, nullptr);
    EXPECT_FALSE(main->isEnabled());
    BuildTourPlan();
    Screenshot(tourPlan, "tour-plan-window.png");

    tourPlan->SetOutputRunner([](const OutputSource& running, OutputRunControl& control, OutputLog& log) {
        return RunOutput(running, control, log);
    });
    Click(tourPlan, "createOutputButton");
    OutputDialog* dialog = tourPlan->CurrentOutputDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->WorkerRunning(); }, 60000));
    EXPECT_EQ(dialog->RunState(), OutputState::Finished);
    dialog->close();

    Click(tourPlan, "okButton");
    EXPECT_TRUE(main->isEnabled());
    fs::path saved = work.path() / "output" / "DemoMap.cfg";
    fs::path demo = SourceDir() / "examples" / "output" / "DemoMap.cfg";
    EXPECT_EQ(FirstOf(saved, "TourPlan"), FirstOf(demo, "TourPlan"));
    EXPECT_NE(FirstOf(saved, "TourPlan").find("1_Suedbf-Betriebshof"), std::string::npos);

    // A run from the saved file writes the same driver plans.
    fs::path document = work.path() / "output" / "DemoMap" / "Umlauf 1.pdf";
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

TEST_F(PlanWindowDemoTest, MarktplatzStopTableBuiltInTheWindowEqualsTheDemoProject) {
    OpenFromMainWindow("stopTableButton");
    ASSERT_NE(stopTable, nullptr);
    BuildStopTable();
    Screenshot(stopTable, "stop-table-window.png");
    // The same ways were found by the trips' tails.
    const StopTable& table = app.project.stopTables.at(0);
    ASSERT_EQ(table.trips.size(), 6U);
    EXPECT_EQ(table.trips[3].sameWay, table.trips[2].key);
    EXPECT_EQ(table.trips[5].sameWay, table.trips[4].key);

    Click(stopTable, "okButton");
    EXPECT_TRUE(main->isEnabled());
    fs::path saved = work.path() / "output" / "DemoMap.cfg";
    fs::path demo = SourceDir() / "examples" / "output" / "DemoMap.cfg";
    EXPECT_EQ(FirstOf(saved, "StopTable"), FirstOf(demo, "StopTable"));
    EXPECT_NE(FirstOf(saved, "StopTable").find("Linie 1"), std::string::npos);
}

}  // namespace
}  // namespace tak::ui::test
