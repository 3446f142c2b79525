#include "ui/TimeTable.h"

#include <QCheckBox>
#include <QLineEdit>
#include <atomic>

#include "PlanWindowFixture.h"
#include "base/FileSystem.h"
#include "ui/OutputDialog.h"
#include "ui/RouteSpiderWindow.h"

namespace tak::ui::test {
namespace {

// Lines 5 and 7 with trips that share some stops: A-B-C and A-X-C, A-B and C-B.
class TimeTableWindowTest : public PlanWindowFixture {
protected:
    TimeTableWindowTest() {
        AddTestTrip(*context.map, "ABC", "5", {{1, "A"}, {2, "B"}, {3, "C"}}, {{0, 60, 120}});
        AddTestTrip(*context.map, "AXC", "7", {{1, "A"}, {4, "X"}, {3, "C"}}, {{0, 60, 120}});
        AddTestTrip(*context.map, "AB", "5", {{1, "A"}, {2, "B"}}, {{0, 60}});
        AddTestTrip(*context.map, "CB", "7", {{3, "C"}, {2, "B"}}, {{0, 60}});
    }

    TimeTableWindow* Open() {
        window = std::make_unique<TimeTableWindow>(context, dialogs, &mainWindow);
        window->show();
        return window.get();
    }

    template <typename Control>
    Control* Find(const char* name) {
        return FindIn<Control>(window.get(), name);
    }

    void NewPlan(const QString& name) {
        dialogs.inputs.push_back(name);
        Click(window.get(), "newPlanButton");
    }

    void AddTrip(const QString& name) {
        Choose(window.get(), "tripChooser", name);
        Click(window.get(), "addTripButton");
    }

    TimeTablePlan& PlanAt(std::size_t index) { return context.project.timeTablePlans.at(index); }

    std::unique_ptr<TimeTableWindow> window;
};

TEST_F(TimeTableWindowTest, StopCandidatesMergeTheTripsInAConsistentOrder) {
    Open();
    NewPlan("Merge");
    AddTrip("ABC");
    AddTrip("AXC");
    auto* candidates = Find<QComboBox>("candidateList");
    EXPECT_EQ(Texts(candidates), (std::vector<std::string>{"A (1)", "B (2)", "X (4)", "C (3)"}));

    // A station missing so far goes before the first later station found.
    Click(window.get(), "deleteTripButton");
    Click(window.get(), "deleteTripButton");
    AddTrip("AB");
    AddTrip("CB");
    EXPECT_EQ(Texts(candidates), (std::vector<std::string>{"A (1)", "C (3)", "B (2)"}));
}

TEST_F(TimeTableWindowTest, TripsAreListedOnceAndNameTheLinesAutomatically) {
    Open();
    NewPlan("Lines");
    auto* lineField = Find<QLineEdit>("lineField");
    EXPECT_FALSE(lineField->isEnabled());
    AddTrip("ABC");
    AddTrip("ABC");
    EXPECT_EQ(Texts(Find<QListWidget>("tripList")), std::vector<std::string>{"ABC"});
    ASSERT_EQ(PlanAt(0).trips.size(), 1U);

    AddTrip("AXC");
    EXPECT_EQ(lineField->text(), "5, 7");
    EXPECT_EQ(PlanAt(0).line, "5, 7");
    Find<QListWidget>("tripList")->setCurrentRow(0);
    Click(window.get(), "deleteTripButton");
    EXPECT_EQ(PlanAt(0).line, "7");
    // The selection stays at the deleted trip's place or the one before it.
    EXPECT_EQ(Find<QListWidget>("tripList")->currentRow(), 0);

    // Switched off, the text is the user's own.
    Find<QCheckBox>("autoLineBox")->setChecked(false);
    EXPECT_TRUE(lineField->isEnabled());
    QTest::keyClicks(lineField, " Nacht");
    EXPECT_EQ(PlanAt(0).line, "7 Nacht");
    AddTrip("ABC");
    EXPECT_EQ(PlanAt(0).line, "7 Nacht");
}

TEST_F(TimeTableWindowTest, SeveralChosenTripsMoveAndGoTogether) {
    Open();
    NewPlan("Many");
    for (const char* trip : {"ABC", "AXC", "AB", "CB"}) AddTrip(trip);
    auto* list = Find<QListWidget>("tripList");
    ClickRow(list, 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, list->visualItemRect(list->item(2)).center());
    ASSERT_EQ(list->selectedItems().size(), 2);
    auto* up = Find<QPushButton>("tripUpButton");
    Click(window.get(), "tripUpButton");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"AXC", "AB", "ABC", "CB"}));
    EXPECT_EQ(PlanAt(0).trips[1]->name, "AB");
    EXPECT_EQ(list->selectedItems().size(), 2);
    EXPECT_FALSE(up->isEnabled()) << "the chosen trips are at the top";
    EXPECT_TRUE(Find<QPushButton>("tripDownButton")->isEnabled());
    Click(window.get(), "deleteTripButton");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"ABC", "CB"}));
    ASSERT_EQ(PlanAt(0).trips.size(), 2U);
    EXPECT_EQ(PlanAt(0).line, "5, 7");
}

TEST_F(TimeTableWindowTest, DeletingTheLastPlanLeavesTheFormDisabled) {
    Open();
    NewPlan("Only");
    EXPECT_TRUE(Find<QLineEdit>("nameField")->isEnabled());
    EXPECT_TRUE(window->IsModified());

    dialogs.yesNoAnswers = {false, true};
    Click(window.get(), "deletePlanButton");
    ASSERT_EQ(context.project.timeTablePlans.size(), 1U);  // answered No
    Click(window.get(), "deletePlanButton");
    EXPECT_TRUE(context.project.timeTablePlans.empty());
    ASSERT_EQ(dialogs.questions.size(), 2U);
    EXPECT_EQ(dialogs.questions[0].title, "Taktarium - Timetables");
    EXPECT_EQ(dialogs.questions[0].text, "Delete the selected timetable?");

    for (const char* name : {"nameField", "headlineField", "lineField", "autoLineBox", "spiderBox", "breakHourList",
                             "hideEmptyBox", "mergeIterBox", "tripChooser", "addTripButton", "tripUpButton",
                             "tripDownButton", "deleteTripButton", "deletePlanButton", "planUpButton",
                             "planDownButton", "tableDayPanel", "planStopPanel"}) {
        EXPECT_FALSE(Find<QWidget>(name)->isEnabled()) << name;
    }
    EXPECT_TRUE(Find<QWidget>("newPlanButton")->isEnabled());
    EXPECT_TRUE(Find<QWidget>("applyButton")->isEnabled());
}

TEST_F(TimeTableWindowTest, ANewPlanInheritsSwitchesAndDayRowsButNoTrips) {
    Open();
    NewPlan("First");
    // Without a selected plan the template gives the default day rows.
    EXPECT_EQ(Texts(Find<QListWidget>("dayList")),
              (std::vector<std::string>{"Monday - Friday", "Saturday", "Sunday and public holiday"}));
    EXPECT_EQ(PlanAt(0).days.at(0).days, 0x31FU);
    EXPECT_EQ(PlanAt(0).days.at(2).days, 0x3C0U);
    EXPECT_TRUE(Find<QCheckBox>("hideEmptyBox")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("displayTourBox")->isChecked());

    QTest::keyClicks(Find<QLineEdit>("headlineField"), "Heading");
    Find<QCheckBox>("displayTourBox")->setChecked(true);
    Find<QCheckBox>("hideEmptyBox")->setChecked(false);
    Choose(window.get(), "breakHourList", "26");
    AddTrip("ABC");
    Click(window.get(), "stopAddAllButton");

    NewPlan("Second");
    ASSERT_EQ(context.project.timeTablePlans.size(), 2U);
    EXPECT_EQ(Find<QListWidget>("planList")->currentRow(), 1);
    const TimeTablePlan& second = PlanAt(1);
    EXPECT_TRUE(second.displayTour);
    EXPECT_FALSE(second.hideEmpty);
    EXPECT_EQ(second.breakHour, 2);
    EXPECT_EQ(second.days.size(), 3U);
    EXPECT_TRUE(second.trips.empty());
    EXPECT_TRUE(second.stops.empty());
    EXPECT_TRUE(second.headline.empty());
    EXPECT_TRUE(Find<QCheckBox>("displayTourBox")->isChecked());
    EXPECT_EQ(Find<QComboBox>("breakHourList")->currentText(), "26");
    EXPECT_EQ(Find<QListWidget>("tripList")->count(), 0);
    EXPECT_EQ(Find<QListWidget>("stopRowList")->count(), 0);

    // An empty answer adds nothing.
    NewPlan("");
    EXPECT_EQ(context.project.timeTablePlans.size(), 2U);
    ASSERT_EQ(dialogs.inputRequests.back().text, "Name of the new timetable:");
}

TEST_F(TimeTableWindowTest, PlansMoveWithTheirNames) {
    Open();
    NewPlan("One");
    NewPlan("Two");
    EXPECT_FALSE(Find<QPushButton>("planDownButton")->isEnabled());
    Click(window.get(), "planUpButton");
    EXPECT_EQ(PlanAt(0).name, "Two");
    EXPECT_EQ(Texts(Find<QListWidget>("planList")), (std::vector<std::string>{"Two", "One"}));
    EXPECT_EQ(Find<QListWidget>("planList")->currentRow(), 0);
    EXPECT_FALSE(Find<QPushButton>("planUpButton")->isEnabled());

    QTest::keyClick(Find<QLineEdit>("nameField"), Qt::Key_End);
    QTest::keyClicks(Find<QLineEdit>("nameField"), "!");
    EXPECT_EQ(PlanAt(0).name, "Two!");
    EXPECT_EQ(Find<QListWidget>("planList")->item(0)->text(), "Two!");
}

// A timetable whose name was cleared keeps a row one can see, as a stop
// table without a name does.
TEST_F(TimeTableWindowTest, APlanWithoutANameIsListedAsNoName) {
    context.project.timeTablePlans.emplace_back();  // unnamed in the project file
    context.project.timeTablePlans.back().name = "Kept";
    context.project.timeTablePlans.emplace_back();
    Open();
    EXPECT_EQ(Texts(Find<QListWidget>("planList")), (std::vector<std::string>{"Kept", "<no name>"}));

    auto* name = Find<QLineEdit>("nameField");
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(name, Qt::Key_Delete);
    EXPECT_EQ(PlanAt(0).name, "");
    EXPECT_EQ(Texts(Find<QListWidget>("planList")), (std::vector<std::string>{"<no name>", "<no name>"}));
    QTest::keyClicks(name, "New");
    EXPECT_EQ(Find<QListWidget>("planList")->item(0)->text(), "New");
    EXPECT_TRUE(window->IsModified());
}

TEST_F(TimeTableWindowTest, OkAndApplySaveTheProject) {
    Open();
    NewPlan("Saved");
    EXPECT_TRUE(Find<QPushButton>("okButton")->isDefault());
    Click(window.get(), "applyButton");
    EXPECT_FALSE(window->IsModified());
    EXPECT_FALSE(Find<QPushButton>("applyButton")->isEnabled());
    Project onDisk;
    LoadProject(onDisk, *context.map, ProjectFile());
    ASSERT_EQ(onDisk.timeTablePlans.size(), 1U);
    EXPECT_EQ(onDisk.timeTablePlans[0].name, "Saved");

    EXPECT_FALSE(mainWindow.isEnabled());
    int closed = 0;
    QObject::connect(window.get(), &TimeTableWindow::Closed, [&] { ++closed; });
    AddTrip("AB");
    Click(window.get(), "okButton");
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_FALSE(window->isVisible());
    LoadProject(onDisk, *context.map, ProjectFile());
    EXPECT_EQ(onDisk.timeTablePlans.at(0).trips.size(), 1U);
    EXPECT_TRUE(dialogs.questions.empty());
}

TEST_F(TimeTableWindowTest, LeavingAsksAndNoReloadsEveryPlanKind) {
    TimeTablePlan kept;
    kept.name = "Kept";
    context.project.timeTablePlans.push_back(kept);
    ASSERT_TRUE(SaveProjectFile(context));
    Open();
    NewPlan("Unsaved");
    // A change of another plan kind made meanwhile goes too.
    context.project.stopTables.emplace_back().name = "Unsaved table";

    dialogs.answers = {Dialogs::Answer::Cancel};
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_EQ(dialogs.questions.size(), 1U);
    EXPECT_EQ(dialogs.questions[0].text, "The timetables have been changed.\nDo you want to save the changes?");
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_EQ(context.project.timeTablePlans.size(), 2U);

    dialogs.answers = {Dialogs::Answer::No};
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
    ASSERT_EQ(context.project.timeTablePlans.size(), 1U);
    EXPECT_EQ(context.project.timeTablePlans[0].name, "Kept");
    EXPECT_TRUE(context.project.stopTables.empty());
}

TEST_F(TimeTableWindowTest, LeavingUnchangedReloadsWithoutAQuestionAndYesSaves) {
    Open();
    context.project.stopTables.emplace_back();  // changed behind the window's back
    Click(window.get(), "cancelButton");
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(context.project.stopTables.empty());
    EXPECT_TRUE(mainWindow.isEnabled());

    Open();
    NewPlan("Yes");
    dialogs.answers = {Dialogs::Answer::Yes};
    Click(window.get(), "cancelButton");
    EXPECT_FALSE(window->isVisible());
    Project onDisk;
    LoadProject(onDisk, *context.map, ProjectFile());
    ASSERT_EQ(onDisk.timeTablePlans.size(), 1U);
    EXPECT_EQ(onDisk.timeTablePlans[0].name, "Yes");
}

TEST_F(TimeTableWindowTest, AFailedSaveIsToldAndKeepsTheWindowOpen) {
    Open();
    NewPlan("Nowhere");
    fs::remove_all(work.path() / "output");
    work.Write("output", "a file where the folder should be");
    Click(window.get(), "okButton");
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_EQ(dialogs.messages[0].text.left(39), "The project file could not be saved.\nDo");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->IsModified());
    EXPECT_FALSE(mainWindow.isEnabled());
}

// A project file that did not parse left the plans empty: Apply asks before
// it replaces the file, Cancel keeps the file, Yes keeps a copy first.
TEST_F(TimeTableWindowTest, ApplyOnAProjectFileThatDidNotParseAsksAndMayKeepACopy) {
    const std::string broken = "\xEF\xBB\xBF{\"Version\": 136, \"TimeTablePlan\": [{\"Name\": \"Mine\",";
    work.Write("output/Test.cfg", broken);
    context.projectLoad = LoadProject(context.project, *context.map, ProjectFile());
    ASSERT_TRUE(context.projectLoad.fileFound);
    ASSERT_FALSE(context.projectLoad.parsed);
    Open();
    NewPlan("New");

    dialogs.answers = {Dialogs::Answer::Cancel};
    Click(window.get(), "applyButton");
    ASSERT_EQ(dialogs.questions.size(), 1U);
    EXPECT_TRUE(dialogs.questions[0].text.contains(QString::fromStdString(ProjectFile().string())));
    EXPECT_EQ(ReadFileBytes(ProjectFile()).value_or(""), broken);
    EXPECT_TRUE(window->IsModified());

    dialogs.answers = {Dialogs::Answer::Yes};
    Click(window.get(), "applyButton");
    EXPECT_EQ(dialogs.questions.size(), 2U);
    EXPECT_FALSE(window->IsModified());
    fs::path copy = ProjectFile();
    copy += ".bak";
    EXPECT_EQ(ReadFileBytes(copy).value_or(""), broken);
    Project onDisk;
    ASSERT_TRUE(LoadProject(onDisk, *context.map, ProjectFile()).parsed);
    EXPECT_EQ(onDisk.timeTablePlans.at(0).name, "New");

    // Once saved the file is good: no more questions.
    AddTrip("AB");
    Click(window.get(), "okButton");
    EXPECT_EQ(dialogs.questions.size(), 2U);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(TimeTableWindowTest, NoSavesOverABrokenProjectFileWithoutACopyAndANewCopyKeepsTheOld) {
    work.Write("output/Test.cfg", "{broken");
    work.Write("output/Test.cfg.bak", "an older copy");
    context.projectLoad = LoadProject(context.project, *context.map, ProjectFile());
    Open();
    NewPlan("New");
    dialogs.answers = {Dialogs::Answer::Yes};
    Click(window.get(), "applyButton");
    fs::path second = ProjectFile();
    second += ".bak2";
    EXPECT_EQ(ReadFileBytes(second).value_or(""), "{broken");
    EXPECT_EQ(ReadFileBytes(work.path() / "output/Test.cfg.bak").value_or(""), "an older copy");
    Click(window.get(), "okButton");

    work.Write("output/Test.cfg", "{broken again");
    context.projectLoad = LoadProject(context.project, *context.map, ProjectFile());
    Open();
    NewPlan("Other");
    dialogs.answers = {Dialogs::Answer::No};
    Click(window.get(), "applyButton");
    EXPECT_EQ(dialogs.questions.size(), 2U);
    EXPECT_FALSE(fs::exists(work.path() / "output/Test.cfg.bak3"));
    EXPECT_TRUE(LoadProject(context.project, *context.map, ProjectFile()).parsed);
}

TEST_F(TimeTableWindowTest, TheSpiderChooserSetsTheSpiderAndItsFirstEntryOpensTheEditor) {
    AddRouteSpider(context.project.routeSpiders, "Spider A");
    RouteSpiderKey second = AddRouteSpider(context.project.routeSpiders, "Spider B").key;
    Open();
    NewPlan("With spider");
    auto* list = Find<QComboBox>("spiderList");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"Editor...", "Spider A", "Spider B"}));
    EXPECT_FALSE(list->isEnabled());
    Find<QCheckBox>("spiderBox")->setChecked(true);
    EXPECT_EQ(FindRouteSpider(context.project.routeSpiders, PlanAt(0).routeSpider)->name, "Spider A");
    Choose(window.get(), "spiderList", "Spider B");
    EXPECT_EQ(PlanAt(0).routeSpider, second);

    Choose(window.get(), "spiderList", "Editor...");
    ASSERT_NE(window->SpiderEditor(), nullptr);
    EXPECT_EQ(PlanAt(0).routeSpider, second);
    EXPECT_EQ(list->currentText(), "Spider B");
    EXPECT_FALSE(window->isEnabled());

    // The editor renames the spider; after it closes the chooser shows the new name.
    RouteSpiderWindow* editor = window->SpiderEditor();
    FindIn<QListWidget>(editor, "spiderList")->setCurrentRow(1);
    QTest::keyClicks(FindIn<QLineEdit>(editor, "spiderNameField"), "!");
    dialogs.answers = {Dialogs::Answer::Yes};
    editor->close();
    EXPECT_EQ(window->SpiderEditor(), nullptr);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"Editor...", "Spider A", "Spider B!"}));
    EXPECT_EQ(list->currentText(), "Spider B!");

    Find<QCheckBox>("spiderBox")->setChecked(false);
    EXPECT_EQ(PlanAt(0).routeSpider, kNoSpider);
}

// The panels find the shown plan anew at each use: plans added while one is
// shown (the list moves its plans in memory as it grows) leave no panel
// editing a plan that is gone.
TEST_F(TimeTableWindowTest, ThePanelsEditTheShownPlanAfterThePlanListMovedInMemory) {
    RouteSpiderKey spider = AddRouteSpider(context.project.routeSpiders, "Spider A").key;
    Open();
    NewPlan("Shown");
    AddTrip("ABC");
    dialogs.inputs = {"Night"};
    Click(window.get(), "dayNewButton");
    std::size_t night = PlanAt(0).days.size() - 1;

    auto& plans = context.project.timeTablePlans;
    const TimeTablePlan* before = plans.data();
    for (std::size_t capacity = plans.capacity(); plans.size() <= capacity;) plans.emplace_back();
    ASSERT_NE(plans.data(), before);

    Toggle(Find<QCheckBox>("dayBox5"));
    EXPECT_EQ(PlanAt(0).days.at(night).days, 0x20U);
    Click(window.get(), "stopAddAllButton");
    ASSERT_EQ(PlanAt(0).stops.size(), 3U);
    Find<QListWidget>("stopRowList")->setCurrentRow(1);
    auto* name = Find<QLineEdit>("stopNameField");
    name->selectAll();
    QTest::keyClicks(name, "Bee");
    EXPECT_EQ(PlanAt(0).stops[1].name, "Bee");
    Find<QCheckBox>("spiderBox")->setChecked(true);
    EXPECT_EQ(PlanAt(0).routeSpider, spider);
    for (std::size_t i = 1; i < plans.size(); ++i) EXPECT_EQ(PlanAt(i), TimeTablePlan{}) << i;
}

TEST_F(TimeTableWindowTest, CreateOutputRunsThePlansAsTheyAreInMemory) {
    Open();
    NewPlan("Not saved yet");
    std::vector<std::string> seen;
    window->SetOutputRunner([&seen](const OutputSource& running, OutputRunControl& control, OutputLog&) {
        for (const auto& plan : running.project.timeTablePlans) seen.push_back(plan.name);
        control.state.store(OutputState::Finished);
        return 0;
    });
    Click(window.get(), "createOutputButton");
    OutputDialog* dialog = window->CurrentOutputDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(window->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->WorkerRunning(); }, 5000));
    EXPECT_EQ(seen, std::vector<std::string>{"Not saved yet"});
    EXPECT_FALSE(fs::exists(ProjectFile()));

    // While the dialog is open the window does not close.
    window->close();
    EXPECT_TRUE(window->isVisible());
    dialog->close();
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(window->CurrentOutputDialog(), nullptr);
}

TEST_F(TimeTableWindowTest, TabGoesThroughTheControlsInReadingOrder) {
    Open();
    NewPlan("Tab");
    std::vector<std::string> order;
    QWidget* widget = window.get();
    do {
        widget = widget->nextInFocusChain();
        if (!widget->objectName().isEmpty()) order.push_back(widget->objectName().toStdString());
    } while (widget != window.get());
    auto place = [&](const char* name) { return std::find(order.begin(), order.end(), name) - order.begin(); };
    std::vector<const char*> reading = {"planList",     "newPlanButton", "nameField",     "headlineField",
                                        "lineField",    "spiderBox",     "breakHourList", "outputFormatList",
                                        "fontSizeList", "allInOneBox",   "tripChooser",   "tripList",
                                        "hideEmptyBox", "mergeIterBox",  "dayNewButton",  "dayBox9",
                                        "candidateList", "stopRowList",  "stopNameField", "stopDeleteButton",
                                        "okButton",     "applyButton",   "cancelButton",  "createOutputButton"};
    for (std::size_t i = 1; i < reading.size(); ++i) {
        EXPECT_LT(place(reading[i - 1]), place(reading[i])) << reading[i - 1] << " before " << reading[i];
    }
    EXPECT_LT(place("createOutputButton"), static_cast<std::ptrdiff_t>(order.size()));
}

}  // namespace
}  // namespace tak::ui::test
