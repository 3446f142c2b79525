#include "ui/RouteSpiderWindow.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "PlanWindowFixture.h"

namespace tak::ui::test {
namespace {

// A main line A-B-C-D, a branch that leaves it after B and rejoins at D, and
// a trip that starts on its own.
class RouteSpiderWindowTest : public PlanWindowFixture {
protected:
    RouteSpiderWindowTest() {
        AddTestTrip(*context.map, "Main", "1", {{1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}}, {{0, 120, 300, 420}});
        AddTestTrip(*context.map, "Branch", "1", {{1, "A"}, {2, "B"}, {5, "X"}, {6, "Y"}, {4, "D"}, {7, "E"}},
                    {{0, 120, 240, 400, 600, 700}});
    }

    RouteSpiderWindow* Open() {
        window = std::make_unique<RouteSpiderWindow>(context, dialogs, &mainWindow);
        window->show();
        return window.get();
    }

    template <typename Control>
    Control* Find(const char* name) {
        return FindIn<Control>(window.get(), name);
    }

    void NewSpider(const QString& name) {
        dialogs.inputs.push_back(name);
        Click(window.get(), "newSpiderButton");
    }

    void ImportInto(int way, const QString& trip) {
        ClickRow(Find<QListWidget>("wayList"), way);
        Choose(window.get(), "fromTripList", trip);
        Click(window.get(), "addAllButton");
    }

    RouteSpider& Spider(std::size_t index = 0) { return context.project.routeSpiders.spiders.at(index); }

    // A spider with the main line and the branch as its first alternative way.
    void BuildMainAndBranch() {
        NewSpider("Line 1");
        ImportInto(0, "Main");
        Click(window.get(), "newWayButton");
        ImportInto(1, "Branch");
    }

    std::unique_ptr<RouteSpiderWindow> window;
};

TEST_F(RouteSpiderWindowTest, AddAllOnAnAlternativeWayBranchesAtTheLastSharedStation) {
    Open();
    BuildMainAndBranch();
    ASSERT_EQ(Spider().ways.size(), 2U);
    EXPECT_EQ(Texts(Find<QListWidget>("wayList")), (std::vector<std::string>{"Main route", "Alternative route 1"}));
    EXPECT_EQ(Texts(Find<QListWidget>("spiderStopList")), (std::vector<std::string>{"X (5)", "Y (6)"}));
    EXPECT_EQ(Find<QComboBox>("beginWayList")->currentText(), "Main: B (2)");
    EXPECT_EQ(Find<QComboBox>("endWayList")->currentText(), "Main: D (4)");
    const SpiderWay& branch = Spider().ways[1];
    EXPECT_EQ(FindSpiderStop(Spider(), branch.begin)->name, "B");
    EXPECT_EQ(FindSpiderStop(Spider(), branch.end)->name, "D");
    // Minutes from the branch point: X two minutes after B.
    EXPECT_EQ(branch.stops[0].travelTime, 2);
    EXPECT_TRUE(window->IsModified());
}

TEST_F(RouteSpiderWindowTest, TheMainWayIsNeverDeleted) {
    Open();
    BuildMainAndBranch();
    auto* ways = Find<QListWidget>("wayList");
    ClickRow(ways, 0);
    EXPECT_FALSE(Find<QPushButton>("deleteWayButton")->isEnabled());
    EXPECT_FALSE(Find<QComboBox>("beginWayList")->isEnabled());

    // With the main way among the selected ones only the others go.
    ways->item(1)->setSelected(true);
    Click(window.get(), "deleteWayButton");
    ASSERT_EQ(Spider().ways.size(), 1U);
    EXPECT_EQ(Spider().ways[0].stops.size(), 4U);
}

TEST_F(RouteSpiderWindowTest, DeletingAWayClearsTheLinksOfWaysThatBranchFromIt) {
    Open();
    BuildMainAndBranch();
    Click(window.get(), "newWayButton");
    Choose(window.get(), "beginWayList", "Alt. 1: Y (6)");
    Choose(window.get(), "endWayList", "Main: C (3)");
    ASSERT_NE(Spider().ways[2].begin, kNoSpiderStop);

    ClickRow(Find<QListWidget>("wayList"), 1);
    Click(window.get(), "deleteWayButton");
    ASSERT_EQ(Spider().ways.size(), 2U);
    EXPECT_EQ(Spider().ways[1].begin, kNoSpiderStop);
    EXPECT_EQ(FindSpiderStop(Spider(), Spider().ways[1].end)->name, "C");
}

TEST_F(RouteSpiderWindowTest, MovingAWayAboveItsBranchPointClearsIt) {
    Open();
    BuildMainAndBranch();
    Click(window.get(), "newWayButton");
    Choose(window.get(), "beginWayList", "Alt. 1: X (5)");
    EXPECT_FALSE(Find<QPushButton>("wayDownButton")->isEnabled());
    Click(window.get(), "wayUpButton");
    EXPECT_EQ(Find<QListWidget>("wayList")->currentRow(), 1);
    EXPECT_EQ(Spider().ways[1].begin, kNoSpiderStop);
    EXPECT_TRUE(Spider().ways[1].stops.empty());
    // The branch, now second, keeps its points on the main way.
    EXPECT_EQ(FindSpiderStop(Spider(), Spider().ways[2].begin)->name, "B");
    EXPECT_FALSE(Find<QPushButton>("wayUpButton")->isEnabled());
}

TEST_F(RouteSpiderWindowTest, StopsAreAddedEditedMovedAndDeletedWithTheirLinks) {
    Open();
    BuildMainAndBranch();
    ClickRow(Find<QListWidget>("wayList"), 0);
    auto* stops = Find<QListWidget>("spiderStopList");
    stops->setCurrentRow(0);
    Choose(window.get(), "fromTripList", "Branch");
    Choose(window.get(), "stationList", "X (5)");
    Click(window.get(), "addStationButton");
    EXPECT_EQ(Texts(stops), (std::vector<std::string>{"A (1)", "X (5)", "B (2)", "C (3)", "D (4)"}));
    EXPECT_EQ(stops->currentRow(), 1);
    EXPECT_EQ(Spider().ways[0].stops[1].travelTime, 0);

    auto* name = Find<QLineEdit>("stopNameField");
    name->selectAll();
    QTest::keyClicks(name, "Xanten");
    Toggle(Find<QCheckBox>("importantBox"));
    Find<QSpinBox>("travelTimeField")->setValue(3);
    Find<QPlainTextEdit>("changesField")->setPlainText("Bus 4\nTrain");
    const SpiderStop& edited = Spider().ways[0].stops[1];
    EXPECT_EQ(edited.name, "Xanten");
    EXPECT_TRUE(edited.important);
    EXPECT_EQ(edited.travelTime, 3);
    EXPECT_EQ(edited.changes, "Bus 4\r\nTrain");
    EXPECT_EQ(Find<QLineEdit>("stopIdField")->text(), "5");

    // B is the branch's begin; moving it keeps the link, deleting it clears it.
    stops->setCurrentRow(2);
    Click(window.get(), "stopUpButton");
    EXPECT_EQ(FindSpiderStop(Spider(), Spider().ways[1].begin)->name, "B");
    Click(window.get(), "deleteStopButton");
    EXPECT_EQ(Spider().ways[1].begin, kNoSpiderStop);
    EXPECT_EQ(Texts(stops), (std::vector<std::string>{"A (1)", "Xanten (5)", "C (3)", "D (4)"}));
}

TEST_F(RouteSpiderWindowTest, OkWritesOnlyTheSpidersIntoTheProjectFile) {
    TimeTablePlan plan;
    plan.name = "Saved plan";
    context.project.timeTablePlans.push_back(plan);
    ASSERT_TRUE(SaveProjectFile(context));
    context.project.timeTablePlans[0].name = "Unsaved plan";

    Open();
    EXPECT_FALSE(Find<QWidget>("wayList")->isEnabled());
    BuildMainAndBranch();
    EXPECT_TRUE(Find<QPushButton>("okButton")->isDefault());
    int closed = 0;
    QObject::connect(window.get(), &RouteSpiderWindow::Closed, [&] { ++closed; });
    Click(window.get(), "okButton");
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(dialogs.messages.empty());

    Project onDisk;
    LoadProject(onDisk, *context.map, ProjectFile());
    ASSERT_EQ(onDisk.routeSpiders.spiders.size(), 1U);
    EXPECT_EQ(onDisk.routeSpiders.spiders[0].ways.size(), 2U);
    EXPECT_EQ(onDisk.timeTablePlans.at(0).name, "Saved plan");
}

TEST_F(RouteSpiderWindowTest, NoReadsTheSpidersBackAndCancelStays) {
    AddRouteSpider(context.project.routeSpiders, "On disk");
    ASSERT_TRUE(SaveProjectFile(context));
    Open();
    NewSpider("Only in memory");
    dialogs.answers = {Dialogs::Answer::Cancel, Dialogs::Answer::No};
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dialogs.questions.at(0).text, "The route diagrams have been changed.\nDo you want to save the changes?");
    Click(window.get(), "cancelButton");
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(context.project.routeSpiders.spiders.size(), 1U);
    EXPECT_EQ(Spider().name, "On disk");
}

TEST_F(RouteSpiderWindowTest, WithoutAProjectFileTheSpidersWaitForThePlansSave) {
    Open();
    NewSpider("New");
    dialogs.yesNoAnswers = {false};
    Click(window.get(), "deleteSpiderButton");  // answered No
    Click(window.get(), "applyButton");
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("There is no project file yet"));
    EXPECT_FALSE(fs::exists(ProjectFile()));
    EXPECT_EQ(context.project.routeSpiders.spiders.size(), 1U);

    dialogs.yesNoAnswers = {true};
    Click(window.get(), "deleteSpiderButton");
    EXPECT_TRUE(context.project.routeSpiders.spiders.empty());
    EXPECT_FALSE(Find<QWidget>("spiderNameField")->isEnabled());
    EXPECT_EQ(dialogs.questions.back().text, "Delete the selected route diagram?");
}

}  // namespace
}  // namespace tak::ui::test
