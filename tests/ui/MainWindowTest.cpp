#include "ui/MainWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "persist/ProgramSettings.h"
#include "support/TestSupport.h"
#include "ScriptedDialogs.h"
#include "ui/MapCheckWindow.h"
#include "ui/WindowEx.h"

namespace tak::ui {
namespace {

struct OpenCounts {
    int timeTable = 0;
    int tourPlan = 0;
    int stopTable = 0;
    int routeMap = 0;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { fs::create_directories(work.path() / "output"); }

    ProgramPlaces Places() const {
        return {work.path(), test::SourceDir() / "Language", work.path() / "programs"};
    }

    void Start(PlanWindowOpeners openers = {}) {
        LoadStartState(context, Places());
        window = std::make_unique<MainWindow>(context, Places(), dialogs, std::move(openers));
    }

    PlanWindowOpeners CountingOpeners() {
        return {[this] { ++opened.timeTable; }, [this] { ++opened.tourPlan; }, [this] { ++opened.stopTable; },
                [this] { ++opened.routeMap; }, {}};
    }

    template <typename Control>
    Control* Find(const char* name) {
        auto* control = window->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    // The caption as the user reads it, without its key mark.
    QString Caption(const char* name) {
        return QString::fromStdString(WithoutKeyMarks(Find<QWidget>(name)->property("text").toString().toStdString()));
    }

    void LoadFolder(const QString& folder, const QDate& date = {}) {
        Find<QLineEdit>("mapFolderField")->setText(folder);
        Find<QCheckBox>("dateSwitch")->setChecked(date.isValid());
        if (date.isValid()) Find<QDateEdit>("dateField")->setDate(date);
        QTest::mouseClick(Find<QPushButton>("loadButton"), Qt::LeftButton);
    }

    static QString DemoMap() { return QString::fromStdString((test::SourceDir() / "examples" / "DemoMap").string()); }

    // The enabled state of the timetable, tour plan, stop table, route map and
    // create output buttons, in that order.
    std::vector<bool> PlanButtonsEnabled() {
        std::vector<bool> states;
        for (const char* name :
             {"timeTableButton", "tourPlanButton", "stopTableButton", "routeMapButton", "createOutputButton"}) {
            states.push_back(Find<QPushButton>(name)->isEnabled());
        }
        return states;
    }

    static QStringList TopLevelTexts(QTreeWidget* tree) {
        QStringList texts;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) texts << tree->topLevelItem(i)->text(0);
        return texts;
    }

    static QStringList ListTexts(QListWidget* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
        return texts;
    }

    ProgramSettings StoredSettings() const { return ReadProgramSettings(work.path() / kProgramSettingsFileName); }

    test::TempDir work;
    AppContext context;
    ScriptedDialogs dialogs;
    OpenCounts opened;
    std::unique_ptr<MainWindow> window;
};

const std::vector<bool> kAllDisabled{false, false, false, false, false};
const std::vector<bool> kAllEnabled{true, true, true, true, true};

TEST_F(MainWindowTest, StartsWithoutSettingsFileInGermanWithTheFirstDate) {
    Start(CountingOpeners());
    EXPECT_EQ(window->windowTitle(), "Taktarium");
    EXPECT_EQ(window->size(), QSize(410, 400));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable

    EXPECT_EQ(Caption("mapFolderLabel"), "Kartenordner:");
    EXPECT_EQ(Caption("dateSwitch"), "Datum:");
    EXPECT_EQ(Caption("loadButton"), "Laden");
    EXPECT_EQ(Caption("lineToursLabel"), "Linien und Umläufe:");
    EXPECT_EQ(Caption("createOutputButton"), "Ausgabe erstellen");
    EXPECT_EQ(Find<QLineEdit>("mapFolderField")->text(), "");

    auto* dateSwitch = Find<QCheckBox>("dateSwitch");
    auto* dateField = Find<QDateEdit>("dateField");
    EXPECT_FALSE(dateSwitch->isChecked());
    EXPECT_EQ(dateField->date(), QDate(1990, 1, 1));
    EXPECT_EQ(dateField->text(), "01.01.1990");
    EXPECT_FALSE(dateField->isEnabled());
    EXPECT_FALSE(Find<QComboBox>("eventChooser")->isEnabled());
    EXPECT_EQ(PlanButtonsEnabled(), kAllDisabled);

    auto* languages = Find<QComboBox>("languageChooser");
    ASSERT_EQ(languages->count(), 2);
    EXPECT_EQ(languages->itemText(0), "English");
    EXPECT_EQ(languages->currentText(), "German");
    // Settings are written after a load or a language change, not at start.
    EXPECT_FALSE(fs::exists(work.path() / kProgramSettingsFileName));
}

TEST_F(MainWindowTest, StartsWithStoredMapDateAndLanguage) {
    work.Write(kProgramSettingsFileName,
               "{\"Map\": \"/maps/Neustadt\", \"Date\": \"21.06.2025\", \"Language\": \"english\", \"Warnings\": 0}");
    Start();
    EXPECT_EQ(Find<QLineEdit>("mapFolderField")->text(), QDir::toNativeSeparators("/maps/Neustadt"));
    EXPECT_TRUE(Find<QCheckBox>("dateSwitch")->isChecked());
    EXPECT_TRUE(Find<QDateEdit>("dateField")->isEnabled());
    EXPECT_EQ(Find<QDateEdit>("dateField")->date(), QDate(2025, 6, 21));
    // No map is loaded at start, even when one is stored.
    EXPECT_FALSE(Find<QComboBox>("eventChooser")->isEnabled());
    EXPECT_TRUE(context.projectName.empty());

    EXPECT_EQ(Find<QComboBox>("languageChooser")->currentText(), "English");
    EXPECT_EQ(Caption("mapFolderLabel"), "Map folder:");
    EXPECT_EQ(Caption("loadButton"), "Load");
    EXPECT_EQ(context.settings.warnings, 0);
}

TEST_F(MainWindowTest, StoredEmptyDateAndUnknownLanguage) {
    work.Write(kProgramSettingsFileName, "{\"Map\": \"/maps/Neustadt\", \"Date\": \"\", \"Language\": \"Klingon\"}");
    // A missing language file gives German, and the start says which was missing.
    EXPECT_EQ(LoadStartState(context, Places()), "Klingon");
    window = std::make_unique<MainWindow>(context, Places(), dialogs, PlanWindowOpeners{});
    EXPECT_FALSE(Find<QCheckBox>("dateSwitch")->isChecked());
    EXPECT_EQ(Find<QDateEdit>("dateField")->date(), QDate(1990, 1, 1));
    EXPECT_EQ(Find<QComboBox>("languageChooser")->currentText(), "German");
    EXPECT_EQ(Caption("mapFolderLabel"), "Kartenordner:");
    EXPECT_EQ(Caption("loadButton"), "Laden");
    EXPECT_FALSE(context.language.Lang("LanguageNotFound").empty());
    // The file keeps the choice until the user makes another.
    EXPECT_EQ(ReadFileBytes(work.path() / kProgramSettingsFileName).value_or("").find("German"), std::string::npos);

    AppContext known;
    work.Write(kProgramSettingsFileName, "{\"Language\": \"English\"}");
    EXPECT_EQ(LoadStartState(known, Places()), "");
}

TEST_F(MainWindowTest, LoadsTheDemoWithAndWithoutDateUnderTwoProjectNames) {
    fs::copy_file(test::SourceDir() / "examples" / "output" / "DemoMap.cfg", work.path() / "output" / "DemoMap.cfg");
    Start(CountingOpeners());

    LoadFolder(DemoMap());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(context.projectName, "DemoMap");
    // The project file of that name was loaded after the map.
    EXPECT_FALSE(context.project.timeTablePlans.empty());
    EXPECT_FALSE(context.project.timeTablePlans.front().trips.empty());

    auto* tours = Find<QTreeWidget>("lineToursTree");
    EXPECT_EQ(TopLevelTexts(tours), QStringList({"1", "2", "3"}));
    QTreeWidgetItem* line1 = tours->topLevelItem(0);
    ASSERT_EQ(line1->childCount(), 12);
    EXPECT_EQ(line1->child(0)->text(0), "1-01");
    EXPECT_EQ(TourOfItem(line1->child(0)), &context.map->lines[0]->tours[0]);
    EXPECT_EQ(TourOfItem(line1), nullptr);

    auto* trips = Find<QTreeWidget>("lineTripsTree");
    EXPECT_EQ(TopLevelTexts(trips), QStringList({"1", "2", "3"}));
    int tripCount = 0;
    for (int i = 0; i < trips->topLevelItemCount(); ++i) {
        QTreeWidgetItem* line = trips->topLevelItem(i);
        for (int j = 0; j < line->childCount(); ++j, ++tripCount) {
            const Trip* trip = TripOfItem(line->child(j));
            ASSERT_NE(trip, nullptr);
            EXPECT_EQ(line->child(j)->text(0).toStdString(), trip->name);
            EXPECT_EQ(line->text(0).toStdString(), trip->lineName);
        }
    }
    EXPECT_EQ(tripCount, 14);
    EXPECT_EQ(TourOfItem(trips->topLevelItem(0)->child(0)), nullptr);  // a trip item carries no tour

    auto* events = Find<QComboBox>("eventChooser");
    ASSERT_EQ(events->count(), 3);  // every event, sorted by start date
    EXPECT_EQ(events->itemText(2), "Stadtfest Mühlbrück");
    EXPECT_EQ(events->currentIndex(), -1);  // none chosen until the user picks one
    EXPECT_FALSE(events->isEnabled());  // the date switch is off
    EXPECT_EQ(Find<QListWidget>("activeEventsList")->count(), 0);

    LoadFolder(DemoMap(), QDate(2025, 6, 21));
    EXPECT_EQ(context.projectName, "DemoMap_20250621");
    EXPECT_TRUE(context.project.timeTablePlans.empty());  // that project has no file yet
    EXPECT_EQ(TopLevelTexts(tours), QStringList({"1", "2", "3", "F"}));
    EXPECT_EQ(ListTexts(Find<QListWidget>("activeEventsList")), QStringList({"Stadtfest Mühlbrück"}));
    EXPECT_TRUE(events->isEnabled());
    EXPECT_EQ(events->count(), 3);  // filled anew, not appended
}

TEST_F(MainWindowTest, TripsAreGroupedByLineWhenAnEventBringsTrips) {
    Start();
    LoadFolder(DemoMap(), QDate(2025, 4, 9));  // the road works bring a line 2 of their own
    // The event's line is read last but listed in number order.
    EXPECT_EQ(TopLevelTexts(Find<QTreeWidget>("lineToursTree")), QStringList({"1", "2", "3"}));
    auto* trips = Find<QTreeWidget>("lineTripsTree");
    EXPECT_EQ(TopLevelTexts(trips), QStringList({"1", "2", "3"}));
    QStringList line2;
    for (int i = 0; i < trips->topLevelItem(1)->childCount(); ++i) line2 << trips->topLevelItem(1)->child(i)->text(0);
    EXPECT_TRUE(line2.contains("2U_Nordfriedhof-Klinikum"));
    EXPECT_EQ(line2.size(), 6);
}

TEST_F(MainWindowTest, SettingsAreWrittenAfterEveryLoad) {
    Start();
    LoadFolder(DemoMap(), QDate(2025, 4, 9));
    ProgramSettings stored = StoredSettings();
    EXPECT_TRUE(stored.readFromFile);
    EXPECT_EQ(stored.map, QDir::toNativeSeparators(DemoMap()).toStdString());
    EXPECT_EQ(stored.date, "09.04.2025");
    EXPECT_EQ(stored.language, "German");
    EXPECT_EQ(stored.warnings, 1);

    // A failed load writes them too; the date switch off stores no date.
    QString missing = QString::fromStdString((work.path() / "Nowhere").string());
    LoadFolder(missing);
    stored = StoredSettings();
    EXPECT_EQ(stored.map, missing.toStdString());
    EXPECT_EQ(stored.date, "");
}

TEST_F(MainWindowTest, FolderWithTrailingSeparatorIsTheSameMap) {
    Start(CountingOpeners());
    LoadFolder(DemoMap() + "/");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(context.projectName, "DemoMap");
    EXPECT_EQ(Find<QTreeWidget>("lineToursTree")->topLevelItemCount(), 3);
    EXPECT_EQ(PlanButtonsEnabled(), kAllEnabled);
}

TEST_F(MainWindowTest, FailedLoadTellsTheUserAndEnablesOnlyRouteMapAndOutput) {
    fs::create_directories(work.path() / "Empty");
    Start(CountingOpeners());
    EXPECT_EQ(PlanButtonsEnabled(), kAllDisabled);

    LoadFolder(QString::fromStdString((work.path() / "Empty").string()));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Taktarium");
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Im Kartenordner wurde kein Fahrplan gefunden"));
    EXPECT_TRUE(dialogs.messages[0].text.contains('\n'));  // "|" in the language file
    EXPECT_EQ(context.projectName, "Empty");
    // Nothing to create without a timetable; the disabled buttons say why.
    EXPECT_EQ(PlanButtonsEnabled(), std::vector<bool>({false, false, false, true, false}));
    EXPECT_TRUE(Find<QPushButton>("createOutputButton")->toolTip().endsWith("kein Fahrplan gefunden."))
        << Find<QPushButton>("createOutputButton")->toolTip().toStdString();
    EXPECT_EQ(Find<QTreeWidget>("lineToursTree")->topLevelItemCount(), 0);

    LoadFolder(DemoMap());
    EXPECT_EQ(PlanButtonsEnabled(), kAllEnabled);
    QTest::mouseClick(Find<QPushButton>("tourPlanButton"), Qt::LeftButton);
    EXPECT_EQ(opened.tourPlan, 1);
}

TEST_F(MainWindowTest, EmptyFolderGivesNoProjectToOpen) {
    Start(CountingOpeners());
    LoadFolder("");
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(context.projectName.empty());
    EXPECT_FALSE(fs::exists(work.path() / "output" / ".cfg"));
    // The output needs a project; the route map editor opens without one.
    QTest::mouseClick(Find<QPushButton>("createOutputButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("routeMapButton"), Qt::LeftButton);
    EXPECT_EQ(window->CurrentOutputDialog(), nullptr);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(opened.routeMap, 1);
}

TEST_F(MainWindowTest, ButtonsOfWindowsThatDoNotExistStayDisabled) {
    Start();
    LoadFolder(DemoMap());
    EXPECT_EQ(PlanButtonsEnabled(), std::vector<bool>({false, false, false, false, true}));
}

TEST_F(MainWindowTest, ButtonsOfWindowsThatComeLaterSaySoInATooltip) {
    PlanWindowOpeners openers;
    openers.timeTable = [this] { ++opened.timeTable; };
    Start(std::move(openers));
    LoadFolder(DemoMap());
    EXPECT_EQ(PlanButtonsEnabled(), std::vector<bool>({true, false, false, false, true}));
    EXPECT_EQ(Find<QPushButton>("tourPlanButton")->toolTip(),
              QString::fromUtf8("Umlaufpläne: Dieses Fenster kommt mit einer späteren Version."));
    EXPECT_TRUE(Find<QPushButton>("stopTableButton")->toolTip().endsWith("späteren Version."));
    EXPECT_FALSE(Find<QPushButton>("timeTableButton")->toolTip().contains("Version"));
    QTest::mouseClick(Find<QPushButton>("timeTableButton"), Qt::LeftButton);
    EXPECT_EQ(opened.timeTable, 1);
}

TEST_F(MainWindowTest, EventChooserSetsTheDateWithoutReloading) {
    Start();
    LoadFolder(DemoMap(), QDate(2025, 1, 15));
    auto* events = Find<QComboBox>("eventChooser");
    auto* dateField = Find<QDateEdit>("dateField");
    ASSERT_EQ(events->count(), 3);

    events->setCurrentIndex(1);
    emit events->activated(1);  // as a user's choice does
    EXPECT_EQ(dateField->date(), QDate(2025, 3, 3));  // the road works start
    events->setCurrentIndex(0);
    emit events->activated(0);
    EXPECT_EQ(dateField->date(), QDate(2024, 12, 14));  // no start date: its end date
    EXPECT_EQ(context.projectName, "DemoMap_20250115");

    auto* dateSwitch = Find<QCheckBox>("dateSwitch");
    QTest::mouseClick(dateSwitch, Qt::LeftButton);
    EXPECT_FALSE(dateSwitch->isChecked());
    EXPECT_FALSE(events->isEnabled());
    EXPECT_FALSE(dateField->isEnabled());
    QTest::mouseClick(dateSwitch, Qt::LeftButton);
    EXPECT_TRUE(events->isEnabled());
    EXPECT_TRUE(dateField->isEnabled());
    EXPECT_EQ(context.projectName, "DemoMap_20250115");
}

TEST_F(MainWindowTest, LanguageChoiceRecaptionsAndIsRemembered) {
    Start();
    auto* languages = Find<QComboBox>("languageChooser");
    int english = languages->findText("English");
    languages->setCurrentIndex(english);
    emit languages->activated(english);

    EXPECT_EQ(Caption("mapFolderLabel"), "Map folder:");
    EXPECT_EQ(Caption("dateSwitch"), "Date:");
    EXPECT_EQ(Caption("loadButton"), "Load");
    EXPECT_EQ(Caption("lineToursLabel"), "Lines and tours:");
    EXPECT_EQ(Caption("activeEventsLabel"), "Active timetable changes:");
    EXPECT_EQ(Caption("lineTripsLabel"), "Lines and trips:");
    EXPECT_EQ(Caption("routeMapButton"), "Route map");
    EXPECT_EQ(Caption("stopTableButton"), "Stop timetables");
    EXPECT_EQ(Caption("timeTableButton"), "Timetables");
    EXPECT_EQ(Caption("tourPlanButton"), "Tour plans");
    EXPECT_EQ(Caption("createOutputButton"), "Create output");
    EXPECT_EQ(StoredSettings().language, "English");

    // The events of the next load are named in the new language.
    LoadFolder(DemoMap(), QDate(2025, 6, 21));
    EXPECT_EQ(ListTexts(Find<QListWidget>("activeEventsList")), QStringList({"Mühlbrück town festival"}));
}

TEST_F(MainWindowTest, TheMapCheckIsSummedUpAfterALoadAndListedOnRequest) {
    Start();
    auto* checkButton = Find<QPushButton>("mapCheckButton");
    EXPECT_FALSE(checkButton->isEnabled()) << "nothing to check before a load";
    EXPECT_EQ(window->OpenMapCheckWindow(), nullptr);

    test::TempDir map;
    map.Write("TTData/A.ttp", "[trip]\r\n\r\n\r\n7\r\n[station]\r\n1\r\n\r\nMarkt\r\n");
    map.Write("TTData/7.ttl", "[newtour]\r\nT\r\n\r\n799\r\n[addtrip]\r\na\r\n0\r\n300\r\n");
    LoadFolder(QString::fromStdString(map.path().string()));
    EXPECT_TRUE(checkButton->isEnabled());
    // The trip has no profile: the tour loses its only trip and the line
    // prints nothing (two errors), the tour is empty (a warning), and the trip
    // is run by no tour (a note).
    EXPECT_EQ(checkButton->text(), "2 Fehler, 1 Warnung");

    MapCheckWindow* list = window->OpenMapCheckWindow();
    ASSERT_NE(list, nullptr);
    auto* findings = list->findChild<QTreeWidget*>("findingsList");
    ASSERT_NE(findings, nullptr);
    ASSERT_EQ(findings->topLevelItemCount(), 4);
    // Errors first, then warnings, then notes.
    QStringList severities;
    for (int i = 0; i < findings->topLevelItemCount(); ++i) severities << findings->topLevelItem(i)->text(0);
    EXPECT_EQ(severities, (QStringList{"Fehler", "Fehler", "Warnung", "Hinweis"}));
    EXPECT_EQ(findings->topLevelItem(0)->text(1), "TTData/7.ttl");
    EXPECT_EQ(findings->topLevelItem(1)->text(1), "TTData/7.ttl:5");
    QTest::mouseClick(list->findChild<QPushButton*>("copyButton"), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), list->FindingsAsText());
    EXPECT_TRUE(list->FindingsAsText().contains("[tour-trip-unknown-profile]")) << list->FindingsAsText().toStdString();

    // The demo keeps one tour trip naming a deleted trip and a stale second
    // entry of a stop number.
    LoadFolder(DemoMap());
    EXPECT_EQ(checkButton->text(), "2 Fehler, 0 Warnungen");
    EXPECT_EQ(checkButton->toolTip(), "Kartenprüfung: 2 Fehler, 0 Warnungen");
}

TEST_F(MainWindowTest, FolderChooserStartsAtTheFieldOrTheProgramFolder) {
    Start();
    dialogs.nextFolder = "/maps/Neustadt";
    QTest::mouseClick(Find<QPushButton>("chooseFolderButton"), Qt::LeftButton);
    ASSERT_EQ(dialogs.folderRequests.size(), 1u);
    EXPECT_EQ(dialogs.folderRequests[0].title, "Kartenordner");
    EXPECT_EQ(dialogs.folderRequests[0].startFolder.toStdString(), (work.path() / "programs").string());
    EXPECT_EQ(Find<QLineEdit>("mapFolderField")->text(), QDir::toNativeSeparators("/maps/Neustadt"));

    dialogs.nextFolder.clear();  // cancelled
    QTest::mouseClick(Find<QPushButton>("chooseFolderButton"), Qt::LeftButton);
    EXPECT_EQ(dialogs.folderRequests[1].startFolder, QDir::toNativeSeparators("/maps/Neustadt"));
    EXPECT_EQ(Find<QLineEdit>("mapFolderField")->text(), QDir::toNativeSeparators("/maps/Neustadt"));
}

TEST_F(MainWindowTest, ChosenFolderWithoutSeparatorLoads) {
    Start();
    dialogs.nextFolder = DemoMap();  // choosers give folders without a trailing separator
    QTest::mouseClick(Find<QPushButton>("chooseFolderButton"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("loadButton"), Qt::LeftButton);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(context.projectName, "DemoMap");
}

TEST_F(MainWindowTest, FailedProjectSaveIsShown) {
    Start();
    LoadFolder(DemoMap());
    EXPECT_TRUE(SaveProjectOrTell(context, dialogs, window.get()));
    EXPECT_TRUE(fs::exists(work.path() / "output" / "DemoMap.cfg"));
    EXPECT_TRUE(dialogs.messages.empty());

    // A file in the place of the output folder makes the save fail.
    fs::remove_all(work.path() / "output");
    work.Write("output", "not a folder");
    EXPECT_FALSE(SaveProjectOrTell(context, dialogs, window.get()));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Taktarium");
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("Die Projektdatei konnte nicht gespeichert werden."));
}


TEST_F(MainWindowTest, TheActiveProjectAndTheMapAreShownAfterEveryLoad) {
    fs::copy_file(test::SourceDir() / "examples" / "output" / "DemoMap.cfg", work.path() / "output" / "DemoMap.cfg");
    Start(CountingOpeners());
    auto* project = Find<QLabel>("projectLabel");
    EXPECT_TRUE(project->text().isEmpty());

    // Enter in the folder field loads.
    auto* field = Find<QLineEdit>("mapFolderField");
    field->setText(DemoMap());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(context.projectName, "DemoMap");
    EXPECT_EQ(window->windowTitle(), "Taktarium - DemoMap");
    EXPECT_EQ(project->text(),
              "Projekt DemoMap.cfg: 2 Fahrpläne, 1 Umlaufplan, 2 Aushangfahrpläne, 1 Liniennetzplan");

    // A dated load works on a project of its own, and says so.
    LoadFolder(DemoMap(), QDate(2025, 4, 9));
    EXPECT_EQ(window->windowTitle(), "Taktarium - DemoMap");
    EXPECT_EQ(project->text(),
              "Projekt DemoMap_20250409.cfg: 0 Fahrpläne, 0 Umlaufpläne, 0 Aushangfahrpläne, 0 Liniennetzpläne "
              "(Stand 09.04.2025)");
    EXPECT_TRUE(project->toolTip().endsWith("DemoMap_20250409.cfg"));
}

TEST_F(MainWindowTest, DisabledButtonsSayWhyAndEnterPressesAFocusedButton) {
    Start({{}, {}, {}, [this] { ++opened.routeMap; }, {}});
    auto* timeTable = Find<QPushButton>("timeTableButton");
    auto* routeMap = Find<QPushButton>("routeMapButton");
    EXPECT_TRUE(routeMap->toolTip().endsWith("Zuerst eine Karte laden.")) << routeMap->toolTip().toStdString();
    EXPECT_TRUE(timeTable->toolTip().endsWith("kommt mit einer späteren Version.")) << timeTable->toolTip().toStdString();

    LoadFolder(DemoMap());
    ASSERT_TRUE(routeMap->isEnabled());
    EXPECT_EQ(routeMap->toolTip(), "Liniennetzplan");
    routeMap->setFocus();
    QTest::keyClick(routeMap, Qt::Key_Return);
    EXPECT_EQ(opened.routeMap, 1);
    // The main actions carry a key mark.
    EXPECT_EQ(Find<QPushButton>("loadButton")->text(), "&Laden");
    EXPECT_EQ(Find<QPushButton>("createOutputButton")->text(), "&Ausgabe erstellen");
    EXPECT_EQ(Find<QLabel>("mapFolderLabel")->buddy(), Find<QLineEdit>("mapFolderField"));
}

TEST_F(MainWindowTest, ALanguageChangeRenamesTheEventsAndQtsOwnDialogs) {
    Start();
    LoadFolder(DemoMap(), QDate(2025, 6, 21));
    EXPECT_EQ(ListTexts(Find<QListWidget>("activeEventsList")), QStringList({"Stadtfest Mühlbrück"}));
    // Qt's own texts follow the program's language where Qt has a translation.
    if (QCoreApplication::translate("QPlatformTheme", "Cancel") == "Cancel") {
        ADD_FAILURE() << "Qt's German translation is not installed (package qt6-translations-l10n)";
    }
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");

    auto* languages = Find<QComboBox>("languageChooser");
    int english = languages->findText("English");
    languages->setCurrentIndex(english);
    emit languages->activated(english);
    // Without loading the map again.
    EXPECT_EQ(ListTexts(Find<QListWidget>("activeEventsList")), QStringList({"Mühlbrück town festival"}));
    EXPECT_EQ(Find<QComboBox>("eventChooser")->itemText(2), "Mühlbrück town festival");
    EXPECT_EQ(context.projectName, "DemoMap_20250621");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

TEST_F(MainWindowTest, NoCaptionIsCutWithALargerFont) {
    QFont previous = QApplication::font();
    QFont large = previous;
    large.setPointSize(12);
    QApplication::setFont(large);
    Start();
    LoadFolder(DemoMap());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_GE(window->width(), 410);
    // For a look by eye: TAKTARIUM_SCREENSHOT_DIR=<folder> keeps a picture of the window.
    if (const char* folder = std::getenv("TAKTARIUM_SCREENSHOT_DIR")) {
        window->grab().save(QString::fromLocal8Bit(folder) + "/main-window-12pt.png");
    }
    for (const char* name : {"mapFolderLabel", "dateSwitch", "loadButton", "timeTableButton", "tourPlanButton",
                             "stopTableButton", "routeMapButton", "createOutputButton", "lineToursLabel"}) {
        auto* control = Find<QWidget>(name);
        EXPECT_GE(control->width(), control->sizeHint().width()) << name;
    }
    QApplication::setFont(previous);
}

TEST(KeptOnScreen, AWindowCentredOnItsOwnerStaysInsideTheScreen) {
    QRect screen(0, 0, 1024, 768);
    // Room enough: the place stays.
    EXPECT_EQ(KeptOnScreen(QRect(100, 100, 650, 545), screen), QPoint(100, 100));
    // Centred on a window at the left or right edge it would stick out.
    EXPECT_EQ(KeptOnScreen(QRect(-120, 50, 650, 545), screen), QPoint(0, 50));
    EXPECT_EQ(KeptOnScreen(QRect(600, 400, 650, 545), screen), QPoint(374, 223));
    // Larger than the screen: its title bar and left edge stay in view.
    EXPECT_EQ(KeptOnScreen(QRect(-50, -30, 1200, 900), screen), QPoint(0, 0));
    EXPECT_EQ(KeptOnScreen(QRect(-50, -30, 10, 10), QRect()), QPoint(-50, -30));
}

}  // namespace
}  // namespace tak::ui
