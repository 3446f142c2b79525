// The route map window driven as a user drives it: opened from the main
// window, a line added from a trip, stops fixed by clicks on the canvas, an
// area selected and moved, a stop deleted through its dialog, and Cancel
// answered with No or Yes.
#include "ui/RouteMapWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "persist/ProgramSettings.h"
#include "support/ProjectMaps.h"
#include "support/TestSupport.h"
#include "ScriptedDialogs.h"
#include "ui/MainWindow.h"
#include "ui/RouteMapDialogs.h"

namespace tak::ui {
namespace {

template <typename Control>
Control* FindIn(QWidget* parent, const char* name) {
    auto* control = parent->findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

class RouteMapWindowTest : public ::testing::Test {
protected:
    RouteMapWindowTest() {
        fs::create_directories(work.path() / "output");
        projectFile = work.path() / "output" / "DemoMap.cfg";
        fs::copy_file(test::SourceDir() / "examples" / "output" / "DemoMap.cfg", projectFile);
    }

    // The main window with the program's own route map opener, the demo loaded.
    void StartWithDemo() {
        ProgramPlaces places{work.path(), test::SourceDir() / "Language", work.path()};
        LoadStartState(context, places);
        PlanWindowOpeners openers;
        openers.routeMap = [this] {
            window = OpenRouteMapWindow(context, dialogs, main.get());
            window->setAttribute(Qt::WA_DeleteOnClose, false);
        };
        main = std::make_unique<MainWindow>(context, places, dialogs, openers);
        FindIn<QLineEdit>(main.get(), "mapFolderField")
            ->setText(QString::fromStdString((test::SourceDir() / "examples" / "DemoMap").string()));
        QTest::mouseClick(FindIn<QPushButton>(main.get(), "loadButton"), Qt::LeftButton);
        ASSERT_EQ(context.projectName, "DemoMap");
    }

    void OpenWindow() {
        QTest::mouseClick(FindIn<QPushButton>(main.get(), "routeMapButton"), Qt::LeftButton);
        ASSERT_NE(window, nullptr);
    }

    template <typename Control>
    Control* Find(const char* name) {
        return FindIn<Control>(window, name);
    }
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    RouteMapCanvasWidget* Canvas() { return window->Canvas(); }
    void ClickCell(int x, int y) { QTest::mouseClick(Canvas(), Qt::LeftButton, {}, QPoint(16 * x + 8, 16 * y + 8)); }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(Canvas(), Qt::LeftButton, {}, from);
        QTest::mouseMove(Canvas(), to);
        QTest::mouseRelease(Canvas(), Qt::LeftButton, {}, to);
    }
    void SelectStop(const std::string& name) {
        auto* list = Find<QListWidget>("stopList");
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->text().toStdString() == name) list->setCurrentRow(row);
        }
    }
    RouteStop& StopNamed(const std::string& name) {
        for (RouteStop& stop : context.project.routeMap.stops) {
            if (stop.name == name) return stop;
        }
        ADD_FAILURE() << name;
        static RouteStop none;
        return none;
    }
    std::string FileBytes() const { return ReadFileBytes(projectFile).value_or(""); }

    test::TempDir work;
    fs::path projectFile;
    AppContext context;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> main;
    RouteMapWindow* window = nullptr;  // owned here once opened, see TearDown

    void TearDown() override { delete window; }
};

TEST_F(RouteMapWindowTest, MainWindowButtonOpensItOverADisabledMainWindow) {
    StartWithDemo();
    OpenWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Taktarium - Liniennetzplan");
    EXPECT_FALSE(main->isEnabled());
    EXPECT_EQ(Find<QStackedWidget>("pages")->currentIndex(), 0);
    EXPECT_FALSE(Find<QPushButton>("applyButton")->isEnabled());
    // Pictures of the four pages to look at, when asked for.
    if (qEnvironmentVariableIsSet("TAKTARIUM_SCREENSHOT")) {
        const char* pages[] = {"generalPageButton", "linesPageButton", "stopsPageButton", "connectionsPageButton"};
        for (int i = 0; i < 4; ++i) {
            Click(pages[i]);
            if (i == 1) Find<QListWidget>("lineList")->setCurrentRow(2);
            if (i == 2) SelectStop("Hauptbahnhof");
            window->grab().save(qEnvironmentVariable("TAKTARIUM_SCREENSHOT") + QString("-%1.png").arg(i));
        }
        Click("generalPageButton");
    }
    // Cancel without changes closes at once and gives the main window back.
    Click("cancelButton");
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(main->isEnabled());
}

TEST_F(RouteMapWindowTest, LineFromATripAndTwoStopsFixedByClicksAreRouted) {
    StartWithDemo();
    context.project.routeMap = RouteMap{};
    context.project.routeMap.width = 24;
    context.project.routeMap.height = 30;
    OpenWindow();

    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto* trips = FindIn<QComboBox>(&dialog, "tripCombo");
        trips->setCurrentIndex(trips->findText("1_Hbf-Suedbf"));
        QTest::mouseClick(FindIn<QPushButton>(&dialog, "addStopsButton"), Qt::LeftButton);
        QTest::mouseClick(FindIn<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    });
    Click("addNewLineButton");
    const RouteMap& map = context.project.routeMap;
    ASSERT_EQ(map.lines.size(), 1u);
    EXPECT_EQ(map.lines[0].name, "1");
    EXPECT_EQ(map.stops.size(), 10u);
    EXPECT_EQ(map.connections.size(), 9u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text.toStdString(),
              "Linie 1 wurde angelegt, 10 neue Haltestellen und 9 neue Verbindungen hinzugefügt.");
    EXPECT_TRUE(Find<QPushButton>("applyButton")->isEnabled());

    // The same trip again adds nothing and says nothing.
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto* trips = FindIn<QComboBox>(&dialog, "tripCombo");
        trips->setCurrentIndex(trips->findText("1_Suedbf-Hbf"));
        QTest::mouseClick(FindIn<QPushButton>(&dialog, "addStopsButton"), Qt::LeftButton);
        QTest::mouseClick(FindIn<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    });
    Click("addNewLineButton");
    EXPECT_EQ(map.connections.size(), 9u);
    EXPECT_EQ(dialogs.messages.size(), 1u);

    // Both ends fixed by a click each: their boxes become bars across a
    // vertical line first.
    Click("stopsPageButton");
    for (const auto& [name, row] : {std::pair{std::string("Hauptbahnhof"), 3}, std::pair{std::string("Südbahnhof"), 24}}) {
        SelectStop(name);
        Find<QSpinBox>("stopWidthSpin")->setValue(1);
        Find<QSpinBox>("stopHeightSpin")->setValue(0);
        Click("setPositionButton");
        // The pending pick shows the box where the click would put it.
        QTest::mouseMove(Canvas(), QPoint(16 * 5 + 8, 16 * row + 8));
        ASSERT_TRUE(window->View().placingBox.has_value());
        EXPECT_EQ(*window->View().placingBox, (StopBox{5, row, 1, 0}));
        ClickCell(5, row);
        EXPECT_FALSE(window->View().placingBox.has_value());
        EXPECT_FALSE(Find<QPushButton>("setPositionButton")->isChecked());
    }
    const RouteStop& first = StopNamed("Hauptbahnhof");
    const RouteMapLayoutResult& layout = window->Layout();
    EXPECT_FALSE(first.automatic);
    EXPECT_EQ(layout.StopOf(map, first.key)->box, (StopBox{5, 3, 1, 0}));
    EXPECT_EQ(layout.StopOf(map, StopNamed("Südbahnhof").key)->box, (StopBox{5, 24, 1, 0}));
    // The layout has placed the eight stops between and routed every stretch
    // straight down column 5.
    for (const RouteStop& stop : map.stops) {
        const StopBox& box = layout.StopOf(map, stop.key)->box;
        EXPECT_EQ(box.x, 5) << stop.name;
        EXPECT_GE(box.y, 3) << stop.name;
        EXPECT_LE(box.y, 24) << stop.name;
    }
    for (const ConnectionRoute& c : layout.connections) {
        ASSERT_FALSE(c.path.empty());
        for (const GridPoint& p : c.path) EXPECT_EQ(p.x, 5);
    }

    // Over a stop the status line names it; a click on it selects it.
    QTest::mouseMove(Canvas(), QPoint(16 * 5 + 8, 16 * 3 + 8));
    EXPECT_TRUE(Find<QLabel>("statusText")->text().contains("Hauptbahnhof"));
    Click("generalPageButton");
    ClickCell(5, 24);
    EXPECT_EQ(window->SelectedStop(), StopNamed("Südbahnhof").key);
    EXPECT_EQ(Find<QStackedWidget>("pages")->currentIndex(), 2);
    EXPECT_EQ(Find<QLineEdit>("stopNameEdit")->text(), "Südbahnhof");
}

TEST_F(RouteMapWindowTest, AnAreaDraggedOnTheCanvasMovesAlone) {
    StartWithDemo();
    OpenWindow();
    const StopBox hauptbahnhof = StopNamed("Hauptbahnhof").stored;
    const StopBox suedbahnhof = StopNamed("Südbahnhof").stored;
    // A drag around Hauptbahnhof's box (cells 8-9 of row 7), not Südbahnhof's.
    Click("stopsPageButton");
    Drag(QPoint(16 * 7, 16 * 6), QPoint(16 * 11, 16 * 9));
    EXPECT_EQ(window->Area().stops.count(StopNamed("Hauptbahnhof").key), 1u);
    EXPECT_EQ(window->Area().stops.count(StopNamed("Südbahnhof").key), 0u);
    EXPECT_EQ(Find<QStackedWidget>("pages")->currentIndex(), 0);
    EXPECT_EQ(Find<QLabel>("moveLabel")->text(), "Auswahl verschieben:");
    EXPECT_FALSE(window->View().rubberBand.has_value());  // gone after the release

    Click("moveRightButton");
    Click("moveDownButton");
    // The layout after the edit reused the searches the move left alone.
    EXPECT_GT(window->LastLayout().reused, 0);
    EXPECT_EQ(StopNamed("Hauptbahnhof").stored.x, hauptbahnhof.x + 1);
    EXPECT_EQ(StopNamed("Hauptbahnhof").stored.y, hauptbahnhof.y + 1);
    EXPECT_EQ(StopNamed("Südbahnhof").stored, suedbahnhof);

    // A click on an empty cell ends the area: the arrows move the whole map.
    ClickCell(30, 1);
    EXPECT_EQ(Find<QLabel>("moveLabel")->text(), "Karte verschieben:");
    Click("moveLeftButton");
    EXPECT_EQ(StopNamed("Südbahnhof").stored.x, suedbahnhof.x - 1);
}

// The stops page shows an automatic stop and label where the layout put
// them; fixed by hand they stay there, and nothing of it is saved before.
TEST_F(RouteMapWindowTest, AStopOrLabelFixedByHandStaysWhereTheLayoutHadIt) {
    StartWithDemo();
    OpenWindow();
    const RouteMap& map = context.project.routeMap;
    const RouteStop* automatic = nullptr;
    for (const RouteStop& stop : map.stops) {
        const StopPlace* place = window->Layout().StopOf(map, stop.key);
        if (stop.automatic && place->box.x >= 0 && !stop.labels.empty() && stop.labels[0].automatic) {
            automatic = &stop;
            break;
        }
    }
    ASSERT_NE(automatic, nullptr) << "the demo has a placed automatic stop with an automatic name";
    const RouteKey key = automatic->key;
    const std::string name = automatic->name;
    const StopPlace placed = *window->Layout().StopOf(map, key);
    EXPECT_NE(automatic->stored, placed.box) << "the layout's place is not saved in the stop";

    Click("stopsPageButton");
    SelectStop(name);
    EXPECT_EQ(Find<QSpinBox>("stopXSpin")->value(), placed.box.x);
    EXPECT_EQ(Find<QSpinBox>("stopYSpin")->value(), placed.box.y);
    EXPECT_EQ(Find<QSpinBox>("stopHeightSpin")->value(), placed.box.height);
    Find<QListWidget>("labelList")->setCurrentRow(0);
    EXPECT_EQ(Find<QSpinBox>("labelXSpin")->value(), placed.labels[0].x);
    EXPECT_EQ(Find<QSpinBox>("labelAngleSpin")->value(), placed.labels[0].angle);

    Find<QCheckBox>("labelAutoBox")->setChecked(false);
    Find<QCheckBox>("stopAutoBox")->setChecked(false);
    const RouteStop& fixed = *FindRouteStop(map, key);
    EXPECT_FALSE(fixed.automatic);
    EXPECT_EQ(fixed.stored, placed.box);
    EXPECT_FALSE(fixed.labels[0].automatic);
    EXPECT_EQ(fixed.labels[0].x, placed.labels[0].x);
    EXPECT_EQ(fixed.labels[0].y, placed.labels[0].y);
    EXPECT_EQ(fixed.labels[0].angle, placed.labels[0].angle);
    const StopPlace& after = *window->Layout().StopOf(map, key);
    EXPECT_EQ(after.box, placed.box);
    EXPECT_EQ(after.labels[0].x, placed.labels[0].x);
    EXPECT_EQ(after.labels[0].y, placed.labels[0].y);
}

// A grid made smaller than a fixed stop's place hands the stop to the
// layout, as the saved map then says.
TEST_F(RouteMapWindowTest, AGridTooSmallForAFixedStopHandsItToTheLayout) {
    StartWithDemo();
    OpenWindow();
    const RouteMap& map = context.project.routeMap;
    const RouteStop* farthest = nullptr;
    for (const RouteStop& stop : map.stops) {
        if (!stop.automatic && (!farthest || stop.stored.x > farthest->stored.x)) farthest = &stop;
    }
    ASSERT_NE(farthest, nullptr);
    const RouteKey key = farthest->key;
    const int32_t x = farthest->stored.x;
    ASSERT_GT(x, 1);
    Find<QSpinBox>("mapWidthSpin")->setValue(x);
    EXPECT_EQ(map.width, x);
    EXPECT_TRUE(FindRouteStop(map, key)->automatic);
    EXPECT_TRUE(window->Modified());
}

// The PNG scale and the page title are set on the General page, mark the
// map modified and are saved by Apply; reopening shows them again.
TEST_F(RouteMapWindowTest, ScaleAndTitleAreEditedOnTheGeneralPageAndSaved) {
    StartWithDemo();
    OpenWindow();
    auto* scale = Find<QComboBox>("pngScaleCombo");
    auto* title = Find<QLineEdit>("mapTitleEdit");
    ASSERT_EQ(scale->count(), 3);
    EXPECT_EQ(scale->currentIndex(), 0);
    EXPECT_EQ(scale->itemText(0).toStdString(), "1× (Bildschirm)");
    EXPECT_TRUE(title->text().isEmpty());

    scale->setCurrentIndex(2);
    EXPECT_EQ(context.project.routeMap.pngScale, 4);
    EXPECT_TRUE(Find<QPushButton>("applyButton")->isEnabled());
    QTest::keyClicks(title, "Netzplan Nord");
    EXPECT_EQ(context.project.routeMap.title, "Netzplan Nord");
    Click("applyButton");
    EXPECT_FALSE(window->Modified());
    Project reread;
    ASSERT_TRUE(LoadProject(reread, *context.map, projectFile).parsed);
    EXPECT_EQ(reread.routeMap.pngScale, 4);
    EXPECT_EQ(reread.routeMap.title, "Netzplan Nord");

    Click("okButton");
    delete window;
    window = nullptr;
    OpenWindow();
    EXPECT_EQ(Find<QComboBox>("pngScaleCombo")->currentIndex(), 2);
    EXPECT_EQ(Find<QLineEdit>("mapTitleEdit")->text().toStdString(), "Netzplan Nord");
}

// Whatever size the General page lets a user set is what the file keeps:
// the reader must not cut it back on the next load.
TEST_F(RouteMapWindowTest, TheLargestGridThePageOffersSurvivesASave) {
    StartWithDemo();
    OpenWindow();
    auto* width = Find<QSpinBox>("mapWidthSpin");
    auto* height = Find<QSpinBox>("mapHeightSpin");
    width->setValue(width->maximum());
    height->setValue(height->maximum() + 1);
    Click("applyButton");
    Project reread;
    ASSERT_TRUE(LoadProject(reread, *context.map, projectFile).parsed);
    EXPECT_EQ(reread.routeMap.width, width->maximum());
    EXPECT_EQ(reread.routeMap.height, height->maximum());
}

TEST_F(RouteMapWindowTest, CancelAnsweredNoRestoresTheProjectFileAndYesSavesIt) {
    StartWithDemo();
    const std::string stored = FileBytes();
    const std::string planName = context.project.timeTablePlans.front().name;
    OpenWindow();
    Click("moveRightButton");
    EXPECT_TRUE(window->Modified());
    context.project.timeTablePlans.front().name = "changed elsewhere";

    dialogs.answers = {Dialogs::Answer::Cancel, Dialogs::Answer::No};
    Click("cancelButton");
    EXPECT_TRUE(window->isVisible());  // Cancel keeps the window open
    Click("cancelButton");
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[1].title.toStdString(), "Taktarium - Liniennetzplan");
    EXPECT_EQ(FileBytes(), stored);
    EXPECT_EQ(context.project.timeTablePlans.front().name, planName);
    EXPECT_EQ(StopNamed("Südbahnhof").stored.x, 8);

    delete window;
    window = nullptr;
    OpenWindow();
    Click("moveRightButton");
    dialogs.answers = {Dialogs::Answer::Yes};
    Click("cancelButton");
    EXPECT_FALSE(window->isVisible());
    EXPECT_NE(FileBytes(), stored);
    Project reread;
    ASSERT_TRUE(LoadProject(reread, *context.map, projectFile).parsed);
    for (const RouteStop& stop : reread.routeMap.stops) {
        if (stop.name != "Südbahnhof") continue;
        EXPECT_EQ(stop.stored.x, 9);
    }
}

// A project file that did not parse left the plans empty: saving the route
// map would put that in the file's place, so the window asks first, as the
// plan windows do, and keeps a copy on Yes.
TEST_F(RouteMapWindowTest, SavingOverAProjectFileThatDidNotParseAsksFirst) {
    const std::string broken = "{\"Version\": 136, \"TimeTablePlan\": [{\"Name\": \"Mine\",";
    std::ofstream(projectFile, std::ios::binary) << broken;
    StartWithDemo();
    OpenWindow();
    Click("moveRightButton");
    const std::size_t before = dialogs.questions.size();

    dialogs.answers = {Dialogs::Answer::Cancel};
    Click("applyButton");
    ASSERT_EQ(dialogs.questions.size(), before + 1);
    EXPECT_TRUE(dialogs.questions.back().text.contains(QString::fromStdString(projectFile.string())));
    EXPECT_EQ(FileBytes(), broken);
    EXPECT_TRUE(window->Modified());

    dialogs.answers = {Dialogs::Answer::Yes};
    Click("okButton");
    EXPECT_FALSE(window->isVisible());
    fs::path copy = projectFile;
    copy += ".bak";
    EXPECT_EQ(ReadFileBytes(copy).value_or(""), broken);
    Project reread;
    EXPECT_TRUE(LoadProject(reread, *context.map, projectFile).parsed);
}

TEST_F(RouteMapWindowTest, DeletingAStopAsksPerLineAndJoinsAcrossIt) {
    StartWithDemo();
    OpenWindow();
    Click("stopsPageButton");
    SelectStop("Rathaus");
    const RouteKey rathaus = StopNamed("Rathaus").key;
    // Cancel keeps the stop.
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        QTest::mouseClick(FindIn<QPushButton>(&dialog, "cancelButton"), Qt::LeftButton);
    });
    Click("deleteStopButton");
    EXPECT_NE(FindRouteStop(context.project.routeMap, rathaus), nullptr);

    QString caption;
    dialogs.dialogSteps.push_back([&caption](QDialog& dialog) {
        caption = FindIn<QLabel>(&dialog, "lineCaption")->text();
        FindIn<QRadioButton>(&dialog, "option2")->setChecked(true);
        FindIn<QCheckBox>(&dialog, "applyAllBox")->setChecked(true);
        QTest::mouseClick(FindIn<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    });
    Click("deleteStopButton");
    EXPECT_EQ(FindRouteStop(context.project.routeMap, rathaus), nullptr);
    EXPECT_TRUE(caption.startsWith("1 / ")) << caption.toStdString();
    // Line 1 now runs from Brückenstraße straight to Schulzentrum.
    bool joined = false;
    for (const Connection& c : context.project.routeMap.connections) {
        const RouteStop* a = FindRouteStop(context.project.routeMap, c.end[0].stop);
        const RouteStop* b = FindRouteStop(context.project.routeMap, c.end[1].stop);
        if (a && b && ((a->name == "Brückenstraße" && b->name == "Schulzentrum") ||
                       (a->name == "Schulzentrum" && b->name == "Brückenstraße"))) {
            joined = true;
        }
    }
    EXPECT_TRUE(joined);
}

// A click on a line selects its connection; a via point set by a click bends
// its path through that cell, and a line-name mark goes where it is clicked.
TEST_F(RouteMapWindowTest, ViaPointsAndMarksAreSetByClicks) {
    StartWithDemo();
    OpenWindow();
    const RouteMap& map = context.project.routeMap;
    // Line 1 runs down column 8 from Grüner Weg (row 24) to Stadtbad (row 27).
    ClickCell(8, 26);
    const Connection* picked = FindConnection(map, window->SelectedConnection());
    ASSERT_NE(picked, nullptr);
    EXPECT_EQ(FindRouteLine(map, picked->line)->name, "1");
    EXPECT_EQ(Find<QStackedWidget>("pages")->currentIndex(), 3);
    QTest::mouseMove(Canvas(), QPoint(16 * 8 + 8, 16 * 26 + 8));
    EXPECT_TRUE(Find<QLabel>("statusText")->text().contains("Verbindung")) << Find<QLabel>("statusText")->text().toStdString();

    Click("newNodeButton");
    ClickCell(4, 26);
    picked = FindConnection(map, window->SelectedConnection());
    ASSERT_EQ(picked->nodes.size(), 1u);
    EXPECT_EQ(picked->nodes[0], (GridPoint{4, 26}));
    // A copy: every edit lays the map out anew.
    const std::vector<GridPoint> path = window->Layout().RouteOf(map, picked->key)->path;
    EXPECT_NE(std::find(path.begin(), path.end(), GridPoint{4, 26}), path.end());
    EXPECT_EQ(Find<QListWidget>("nodeList")->count(), 1);

    Click("signPageButton");
    Click("newSignButton");
    Click("signPickButton");
    const GridPoint at = path[path.size() / 2];
    const auto n = static_cast<int32_t>(path.size());
    ClickCell(at.x, at.y);
    picked = FindConnection(map, window->SelectedConnection());
    ASSERT_EQ(picked->signs.size(), 1u);
    EXPECT_EQ(picked->signs[0].type, kSignLineName);
    // The mark sits on the clicked path point: half steps from the middle.
    EXPECT_EQ(picked->signs[0].pos, 2 * (n / 2) - (n - 1));
    EXPECT_TRUE(window->Modified());
}

TEST_F(RouteMapWindowTest, DeletingALineWithConnectionsAsksFirst) {
    StartWithDemo();
    OpenWindow();
    Click("linesPageButton");
    Find<QListWidget>("lineList")->setCurrentRow(2);
    dialogs.yesNoAnswers = {false, true};
    Click("deleteLineButton");
    EXPECT_EQ(context.project.routeMap.lines.size(), 3u);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].text.contains("3")) << dialogs.questions[0].text.toStdString();
    Click("deleteLineButton");
    EXPECT_EQ(context.project.routeMap.lines.size(), 2u);
    for (const RouteStop& stop : context.project.routeMap.stops) {
        for (const StopLabel& label : stop.labels) {
            EXPECT_TRUE(label.line == kNoRouteKey || FindRouteLine(context.project.routeMap, label.line));
        }
    }
}

// Enter confirms the new line wherever the focus is, also right after the
// stops of a trip were taken with a click.
TEST(NewLineDialogTest, EnterConfirmsInsteadOfAddingTheStopsAgain) {
    MapData map;
    test::AddTestTrip(map, "7 out", "7", {{1, "A"}, {2, "B"}, {3, "C"}}, {{0, 60, 120}});
    LanguageTable language;
    ASSERT_TRUE(language.LoadLanguage(test::SourceDir() / "Language", "German"));
    RouteMap routeMap;
    NewLineDialog dialog(routeMap, map, language, nullptr);
    dialog.show();
    auto* add = FindIn<QPushButton>(&dialog, "addStopsButton");
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_EQ(dialog.StopNames().size(), 3u);
    add->setFocus();
    QTest::keyClick(add, Qt::Key_Return);
    EXPECT_EQ(dialog.StopNames().size(), 3u);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.LineName(), "7");

    // In the line name field, Enter confirms too and keeps the typed name.
    NewLineDialog second(routeMap, map, language, nullptr);
    second.show();
    auto* name = FindIn<QComboBox>(&second, "lineNameCombo");
    name->setFocus();
    QTest::keyClicks(name, "N1");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(second.result(), QDialog::Accepted);
    EXPECT_EQ(second.LineName(), "N1");
}

}  // namespace
}  // namespace tak::ui
