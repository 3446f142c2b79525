#include "ui/TourPlan.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <cstdlib>

#include "PlanWindowFixture.h"
#include "persist/JSON.h"

namespace tak::ui::test {
namespace {

// Line 1 runs A and B in turn (with a depot run of a single station at the
// end of its second tour) and C; line 2 has a tour of its own.
class TourPlanWindowTest : public PlanWindowFixture {
protected:
    TourPlanWindowTest() {
        const Trip* a = &AddTestTrip(*context.map, "A", "1", {{1, "Nord"}, {2, "Markt"}}, {{0, 60}});
        const Trip* b = &AddTestTrip(*context.map, "B", "1", {{2, "Markt"}, {1, "Nord"}}, {{0, 60}});
        const Trip* c = &AddTestTrip(*context.map, "C", "1", {{1, "Nord"}, {3, "Hafen"}}, {{0, 60}});
        const Trip* depot = &AddTestTrip(*context.map, "Depot", "1", {{1, "Nord"}}, {{0}});
        Line& one = AddTestLine(*context.map, "1", {"1-01", "1-02"});
        Runs(one.tours[0], {a, b, a, b, c});
        Runs(one.tours[1], {b, a, depot});
        Line& two = AddTestLine(*context.map, "2", {"2-01"});
        Runs(two.tours[0], {c});
    }

    static void Runs(Tour& tour, const std::vector<const Trip*>& trips) {
        for (const Trip* trip : trips) tour.trips.push_back(TourTrip{0, nullptr, trip, 0, trip->name, 0});
    }

    TourPlanWindow* Open() {
        window = std::make_unique<TourPlanWindow>(context, dialogs, &mainWindow);
        window->show();
        return window.get();
    }

    template <typename Control>
    Control* Find(const char* name) {
        return FindIn<Control>(window.get(), name);
    }

    QTreeWidgetItem* LineItem(int line) { return Find<QTreeWidget>("lineTree")->topLevelItem(line); }
    void Check(QTreeWidgetItem* item, bool on) { item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked); }

    std::vector<std::string> Outward() { return Texts(Find<QListWidget>("outwardList")); }
    std::vector<std::string> Return() { return Texts(Find<QListWidget>("returnList")); }

    // The plan's trips of one direction in the plan's own order.
    std::vector<std::string> PlanOrder(const std::set<std::string>& direction) {
        std::vector<std::string> names;
        for (const TourPlanTrip& entry : context.project.tourPlans.at("1").trips) {
            if (direction.count(entry.trip->name)) names.push_back(entry.trip->name);
        }
        return names;
    }

    void ChooseTrip(const char* list, int row, bool adding = false) {
        auto* widget = Find<QListWidget>(list);
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, adding ? Qt::ControlModifier : Qt::NoModifier,
                          widget->visualItemRect(widget->item(row)).center());
    }

    std::unique_ptr<TourPlanWindow> window;
};

TEST_F(TourPlanWindowTest, CheckingALineSplitsAlternatingTripsAndMarksSingleStationTripsNotInService) {
    Open();
    EXPECT_FALSE(mainWindow.isEnabled());
    EXPECT_FALSE(Find<QCheckBox>("hideEmptyBox")->isEnabled());
    Check(LineItem(0), true);
    EXPECT_EQ(LineItem(0)->child(1)->checkState(0), Qt::Checked);
    EXPECT_EQ(Outward(), (std::vector<std::string>{"A", "C"}));
    // The second tour starts with B: its phase comes from B's known place.
    EXPECT_EQ(Return(), (std::vector<std::string>{"B", "Depot"}));
    EXPECT_TRUE(Find<QCheckBox>("hideEmptyBox")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>("ringLineBox")->isChecked());

    ChooseTrip("returnList", 1);
    EXPECT_EQ(Find<QLineEdit>("tripField")->text(), "Depot");
    EXPECT_TRUE(Find<QCheckBox>("notInServiceBox")->isChecked());
    if (const char* folder = std::getenv("TAKTARIUM_SCREENSHOT_DIR")) {  // for a look by eye
        window->grab().save(QString::fromLocal8Bit(folder) + "/tour-plan-window-english.png");
    }
    ChooseTrip("outwardList", 0);
    EXPECT_FALSE(Find<QCheckBox>("notInServiceBox")->isChecked());
    EXPECT_TRUE(Find<QListWidget>("returnList")->selectedItems().isEmpty());
    EXPECT_TRUE(window->IsModified());

    // Leaving one tour out drops the trips only it runs.
    Check(LineItem(0)->child(1), false);
    EXPECT_EQ(LineItem(0)->checkState(0), Qt::PartiallyChecked);
    EXPECT_EQ(Return(), std::vector<std::string>{"B"});
}

TEST_F(TourPlanWindowTest, UncheckedLineKeepsItsPlanUnsavedAndGetsItBackWithItsSwitches) {
    Open();
    Check(LineItem(0), true);
    Toggle(Find<QCheckBox>("displayIbisBox"));
    QTest::keyClicks(Find<QLineEdit>("headlineField"), "Dienste");
    ChooseTrip("outwardList", 0);
    QTest::keyClicks(Find<QLineEdit>("ibisField"), "101");

    Check(LineItem(0), false);
    EXPECT_TRUE(Outward().empty() && Return().empty());
    EXPECT_FALSE(Find<QLineEdit>("headlineField")->isEnabled());
    // An inactive plan is not written.
    Click(window.get(), "applyButton");
    JsonPtr saved = Load(ProjectFile());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(ArraySize(ObjectGet(saved.get(), "TourPlan")), 0);

    Check(LineItem(0), true);
    EXPECT_TRUE(Find<QCheckBox>("displayIbisBox")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("headlineField")->text(), "Dienste");
    EXPECT_EQ(Outward(), (std::vector<std::string>{"A", "C"}));
    ChooseTrip("outwardList", 0);
    EXPECT_EQ(Find<QLineEdit>("ibisField")->text(), "101");

    // A second line's new plan takes the shown plan's switches.
    Check(LineItem(1), true);
    EXPECT_TRUE(Find<QCheckBox>("displayIbisBox")->isChecked());
    EXPECT_EQ(Outward(), std::vector<std::string>{"C"});
    EXPECT_TRUE(context.project.tourPlans.at("2").displayIbis);

    // Cancel asks; No reloads the file saved while line 1 was unchecked: no plan is left.
    dialogs.answers.push_back(Dialogs::Answer::No);
    Click(window.get(), "cancelButton");
    ASSERT_EQ(dialogs.questions.size(), 1U);
    EXPECT_EQ(dialogs.questions[0].text.toStdString(), context.language.Lang("TPModified"));
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_TRUE(context.project.tourPlans.empty());
}

TEST_F(TourPlanWindowTest, RingLineGathersAllTripsAndAutomaticSplitsAgainKeepingTexts) {
    Open();
    Check(LineItem(0), true);
    ChooseTrip("returnList", 0);
    QTest::keyClicks(Find<QLineEdit>("targetField"), "Nord");
    Find<QRadioButton>("returnStopsButton")->setChecked(true);
    EXPECT_EQ(Texts(Find<QComboBox>("candidateList")), (std::vector<std::string>{"Markt (2)", "Nord (1)"}));

    Toggle(Find<QCheckBox>("ringLineBox"));
    EXPECT_TRUE(Return().empty());
    EXPECT_EQ(Outward(), (std::vector<std::string>{"A", "B", "C", "Depot"}));
    EXPECT_TRUE(Find<QRadioButton>("outwardStopsButton")->isChecked());
    EXPECT_FALSE(Find<QPushButton>("toOutwardButton")->isEnabled());

    Click(window.get(), "automaticButton");
    EXPECT_EQ(Outward(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Return(), (std::vector<std::string>{"B", "Depot"}));
    EXPECT_FALSE(Find<QCheckBox>("ringLineBox")->isChecked());
    ChooseTrip("returnList", 0);
    EXPECT_EQ(Find<QLineEdit>("targetField")->text(), "Nord");

    // Escape asks too; Cancel stays.
    dialogs.answers.push_back(Dialogs::Answer::Cancel);
    QTest::keyClick(Find<QLineEdit>("targetField"), Qt::Key_Escape);
    EXPECT_EQ(dialogs.questions.size(), 1U);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());
}

TEST_F(TourPlanWindowTest, MovingSeveralTripsKeepsThePlansOrderInStepWithTheLists) {
    Open();
    Check(LineItem(0), true);
    ChooseTrip("outwardList", 0);
    ChooseTrip("outwardList", 1, true);
    Click(window.get(), "toReturnButton");
    EXPECT_TRUE(Outward().empty());
    EXPECT_EQ(Return(), (std::vector<std::string>{"B", "Depot", "A", "C"}));
    EXPECT_EQ(Find<QListWidget>("returnList")->selectedItems().size(), 2);
    EXPECT_FALSE(Find<QCheckBox>("ringLineBox")->isChecked());

    Click(window.get(), "tripUpButton");
    EXPECT_EQ(Return(), (std::vector<std::string>{"B", "A", "C", "Depot"}));
    Click(window.get(), "tripUpButton");
    EXPECT_EQ(Return(), (std::vector<std::string>{"A", "C", "B", "Depot"}));
    // A and C stand at the top: up can do nothing more, down can.
    EXPECT_FALSE(Find<QPushButton>("tripUpButton")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("tripDownButton")->isEnabled());
    const auto& plan = context.project.tourPlans.at("1");
    EXPECT_EQ(PlanOrder(plan.returning), Return());

    ChooseTrip("returnList", 2);
    ChooseTrip("returnList", 3, true);
    Click(window.get(), "toOutwardButton");
    EXPECT_EQ(Outward(), (std::vector<std::string>{"B", "Depot"}));
    EXPECT_EQ(PlanOrder(plan.outward), Outward());
    Click(window.get(), "exchangeButton");
    EXPECT_EQ(Outward(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Return(), (std::vector<std::string>{"B", "Depot"}));
    EXPECT_EQ(PlanOrder(plan.returning), Return());
}

TEST_F(TourPlanWindowTest, SeveralChosenToursAndTripsAreSetInOneStep) {
    Open();
    auto* tree = Find<QTreeWidget>("lineTree");
    tree->expandAll();
    QTreeWidgetItem* first = LineItem(0)->child(0);
    QTreeWidgetItem* second = LineItem(0)->child(1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(first).center());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::ControlModifier, tree->visualItemRect(second).center());
    ASSERT_EQ(tree->selectedItems().size(), 2);
    Check(first, true);
    EXPECT_EQ(second->checkState(0), Qt::Checked);
    EXPECT_EQ(LineItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(context.project.tourPlans.at("1").tours.size(), 2U);
    EXPECT_EQ(LineItem(1)->checkState(0), Qt::Unchecked) << "another line's tours stay";

    // The switches of the trip detail set every chosen trip.
    ChooseTrip("outwardList", 0);
    ChooseTrip("outwardList", 1, true);
    auto* deactivate = Find<QCheckBox>("deactivateBox");
    Toggle(deactivate);
    for (const TourPlanTrip& entry : context.project.tourPlans.at("1").trips) {
        bool chosen = entry.trip->name == "A" || entry.trip->name == "C";
        EXPECT_EQ(entry.deactivate, chosen) << entry.trip->name;
    }
}

}  // namespace
}  // namespace tak::ui::test
