#include "ui/StopTable.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

#include "PlanWindowFixture.h"

namespace tak::ui::test {
namespace {

// Lines 1 and 2 through Markt: 1_in ends there; 1_out and 2_out leave it on
// the same way to Hafen, 2_short on a shorter one.
class StopTableWindowTest : public PlanWindowFixture {
protected:
    StopTableWindowTest() {
        AddTestTrip(*context.map, "1_out", "1", {{2, "Nord"}, {1, "Markt"}, {3, "Sued"}, {4, "Hafen"}}, {{0, 1, 2, 3}});
        AddTestTrip(*context.map, "1_in", "1", {{2, "Nord"}, {1, "Markt"}}, {{0, 1}});
        AddTestTrip(*context.map, "2_out", "2", {{5, "West"}, {1, "Markt"}, {3, "Sued"}, {4, "Hafen"}}, {{0, 1, 2, 3}});
        AddTestTrip(*context.map, "2_short", "2", {{5, "West"}, {1, "Markt"}, {3, "Sued"}}, {{0, 1, 2}});
    }

    StopTableWindow* Open() {
        window = std::make_unique<StopTableWindow>(context, dialogs, &mainWindow);
        window->show();
        return window.get();
    }

    template <typename Control>
    Control* Find(const char* name) {
        return FindIn<Control>(window.get(), name);
    }

    // A new table named after the stop ("Markt" for "Markt (1)").
    void NewTableFor(const char* stop) {
        dialogs.inputs.push_back(QString(stop).section(" (", 0, 0));
        Click(window.get(), "newPlanButton");
        Choose(window.get(), "stopChooser", stop);
        Click(window.get(), "addStopButton");
    }

    // The trip item of that name, or null.
    QTreeWidgetItem* TripItem(const QString& name) {
        auto* tree = Find<QTreeWidget>("tripTree");
        for (int line = 0; line < tree->topLevelItemCount(); ++line) {
            for (int i = 0; i < tree->topLevelItem(line)->childCount(); ++i) {
                if (tree->topLevelItem(line)->child(i)->text(0) == name) return tree->topLevelItem(line)->child(i);
            }
        }
        return nullptr;
    }

    std::vector<std::string> TreeTrips() {
        std::vector<std::string> names;
        auto* tree = Find<QTreeWidget>("tripTree");
        for (int line = 0; line < tree->topLevelItemCount(); ++line) {
            for (int i = 0; i < tree->topLevelItem(line)->childCount(); ++i) {
                names.push_back(tree->topLevelItem(line)->child(i)->text(0).toStdString());
            }
        }
        return names;
    }

    std::unique_ptr<StopTableWindow> window;
};

TEST_F(StopTableWindowTest, NewAsksForTheNameAndNoAnswerMakesNoTable) {
    Open();
    Click(window.get(), "newPlanButton");  // cancelled
    EXPECT_TRUE(context.project.stopTables.empty());
    ASSERT_EQ(dialogs.inputRequests.size(), 1U);
    EXPECT_EQ(dialogs.inputRequests[0].text, "Name of the new stop timetable:");
    dialogs.inputs = {"Market square"};
    Click(window.get(), "newPlanButton");
    ASSERT_EQ(context.project.stopTables.size(), 1U);
    EXPECT_EQ(context.project.stopTables[0].name, "Market square");
    EXPECT_EQ(Find<QLineEdit>("nameField")->text(), "Market square");
    // The table up front cannot move up, the last one not down.
    EXPECT_FALSE(Find<QPushButton>("planUpButton")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("planDownButton")->isEnabled());
}

TEST_F(StopTableWindowTest, TheFirstStopNamesTheTableAndTripsEndingThereAreNotListed) {
    context.project.stopTables.emplace_back();  // a table without a name, from the project file
    Open();
    EXPECT_EQ(Texts(Find<QListWidget>("planList")), std::vector<std::string>{"<no name>"});
    Choose(window.get(), "stopChooser", "Markt (1)");
    Click(window.get(), "addStopButton");
    EXPECT_EQ(Find<QLineEdit>("nameField")->text(), "Markt");
    EXPECT_EQ(Texts(Find<QListWidget>("planList")), std::vector<std::string>{"Markt"});
    EXPECT_EQ(TreeTrips(), (std::vector<std::string>{"1_out", "2_out", "2_short"}));
    // A second stop keeps the name.
    Choose(window.get(), "stopChooser", "Nord (2)");
    Click(window.get(), "addStopButton");
    EXPECT_EQ(context.project.stopTables[0].name, "Markt");
    EXPECT_EQ(TreeTrips(), (std::vector<std::string>{"1_out", "1_in", "2_out", "2_short"}));
    EXPECT_TRUE(window->IsModified());
}

// The day rows panel and the spider chooser find the shown table anew at
// each use, so tables added while one is shown do not leave them editing a
// table that has moved.
TEST_F(StopTableWindowTest, ThePanelsEditTheShownTableAfterTheTableListMovedInMemory) {
    RouteSpiderKey spider = AddRouteSpider(context.project.routeSpiders, "Spider A").key;
    Open();
    NewTableFor("Markt (1)");
    dialogs.inputs = {"Night"};
    Click(window.get(), "dayNewButton");
    std::size_t night = context.project.stopTables[0].days.size() - 1;

    auto& tables = context.project.stopTables;
    const StopTable* before = tables.data();
    for (std::size_t capacity = tables.capacity(); tables.size() <= capacity;) tables.emplace_back();
    ASSERT_NE(tables.data(), before);

    Toggle(Find<QCheckBox>("dayBox6"));
    EXPECT_EQ(tables[0].days.at(night).days, 0x40U);
    Click(window.get(), "dayUpButton");
    EXPECT_EQ(tables[0].days.at(night - 1).name, "Night");
    Toggle(Find<QCheckBox>("spiderBox"));
    EXPECT_EQ(tables[0].routeSpider, spider);
    EXPECT_TRUE(Find<QComboBox>("spiderList")->isEnabled());
    for (std::size_t i = 1; i < tables.size(); ++i) EXPECT_EQ(tables[i], StopTable{}) << i;
}

TEST_F(StopTableWindowTest, CheckedTripsFindTheirSameWayAndAFootnoteOutlivesAnUncheck) {
    Open();
    NewTableFor("Markt (1)");
    auto* tree = Find<QTreeWidget>("tripTree");
    tree->topLevelItem(1)->setCheckState(0, Qt::Checked);  // line 2: both its trips
    TripItem("1_out")->setCheckState(0, Qt::Checked);
    StopTable& table = context.project.stopTables[0];
    ASSERT_EQ(table.trips.size(), 3U);
    EXPECT_EQ(table.trips[0].trip->name, "2_out");
    EXPECT_EQ(table.trips[2].sameWay, table.trips[0].key);  // 1_out runs 2_out's way
    EXPECT_EQ(table.trips[1].sameWay, kNoStopTableTrip);
    EXPECT_EQ(tree->topLevelItem(0)->checkState(0), Qt::Checked);

    tree->setCurrentItem(TripItem("2_short"));
    Toggle(Find<QCheckBox>("alternativeBox"));
    QTest::keyClicks(Find<QLineEdit>("footnoteField"), "short way");
    TripItem("2_short")->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(tree->topLevelItem(1)->checkState(0), Qt::PartiallyChecked);
    EXPECT_FALSE(Find<QLineEdit>("footnoteField")->isEnabled());
    TripItem("2_short")->setCheckState(0, Qt::Checked);
    EXPECT_EQ(Find<QLineEdit>("footnoteField")->text(), "short way");
    EXPECT_TRUE(Find<QCheckBox>("alternativeBox")->isChecked());

    // Leaving 2_out out clears the reference to it.
    TripItem("2_out")->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(table.trips[2].sameWay, kNoStopTableTrip);
}

TEST_F(StopTableWindowTest, SameStopInOneSpreadsToTablesSharingAStop) {
    Open();
    NewTableFor("Markt (1)");
    NewTableFor("Hafen (4)");
    NewTableFor("Nord (2)");
    Choose(window.get(), "stopChooser", "Markt (1)");
    Click(window.get(), "addStopButton");
    Toggle(Find<QCheckBox>("sameInOneBox"));
    auto& tables = context.project.stopTables;
    EXPECT_TRUE(tables[0].sameInOne);
    EXPECT_FALSE(tables[1].sameInOne);
    EXPECT_TRUE(tables[2].sameInOne);
    Find<QListWidget>("planList")->setCurrentRow(0);
    EXPECT_TRUE(Find<QCheckBox>("sameInOneBox")->isChecked());

    EXPECT_EQ(tables[1].days.size(), 3U);  // the default day rows, handed on

    // Escape asks; No reloads the project, of which nothing was saved.
    dialogs.answers.push_back(Dialogs::Answer::No);
    QTest::keyClick(Find<QLineEdit>("headlineField"), Qt::Key_Escape);
    ASSERT_EQ(dialogs.questions.size(), 1U);
    EXPECT_EQ(dialogs.questions[0].text.toStdString(), context.language.Lang("STModified"));
    EXPECT_TRUE(mainWindow.isEnabled());
    EXPECT_TRUE(context.project.stopTables.empty());
}

}  // namespace
}  // namespace tak::ui::test
