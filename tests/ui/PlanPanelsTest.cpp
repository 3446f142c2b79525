// The three panels the plan windows share, each hosted alone in a window.
#include <QCheckBox>
#include <QLineEdit>

#include "PlanWindowFixture.h"
#include "ui/GlobalOpt.h"
#include "ui/PlanStop.h"
#include "ui/TableDay.h"

namespace tak::ui::test {
namespace {

class PlanPanelsTest : public PlanWindowFixture {
protected:
    template <typename Panel>
    int CountChanges(Panel* panel) {
        QObject::connect(panel, &Panel::Changed, [this] { ++changes; });
        return 0;
    }

    int changes = 0;
};

TEST_F(PlanPanelsTest, AFontTheListLacksShowsAsTheFirstButIsKeptUntilChosen) {
    OutputOpt options;
    options.fontName = "Arial";
    options.fontSize = 13;
    options.format = kOutputText;
    GlobalOptPanel panel(context.language, nullptr);
    CountChanges(&panel);
    panel.Show(&options);
    EXPECT_EQ(FindIn<QComboBox>(&panel, "fontNameList")->currentText(), "Helvetica");
    EXPECT_EQ(FindIn<QComboBox>(&panel, "fontSizeList")->currentText(), "10");
    EXPECT_EQ(FindIn<QComboBox>(&panel, "outputFormatList")->currentText(), "TXT-file");
    EXPECT_EQ(options.fontName, "Arial");
    EXPECT_EQ(options.fontSize, 13);

    Choose(&panel, "fontSizeList", "10");
    EXPECT_EQ(options.fontSize, 10);
    EXPECT_EQ(changes, 1);
    Choose(&panel, "fontSizeList", "10");  // the same again is no change
    EXPECT_EQ(changes, 1);
    Choose(&panel, "fontNameList", "Times-Bold");
    Choose(&panel, "outputFormatList", "PDF-file");
    EXPECT_EQ(options.fontName, "Times-Bold");
    EXPECT_EQ(options.format, kOutputPdf);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(FindIn<QComboBox>(&panel, "fontSizeList")->count(), 16);
    EXPECT_EQ(FindIn<QComboBox>(&panel, "fontNameList")->count(), 14);
}

TEST_F(PlanPanelsTest, DayRowsStartWithoutDaysAndTakeTheCheckedBits) {
    std::vector<TableDay> rows{{"Weekdays", 0x1F}};
    TableDayPanel panel(context.language, dialogs, "Taktarium - Host", nullptr);
    CountChanges(&panel);
    panel.Show([&rows] { return &rows; });
    panel.show();
    auto* list = FindIn<QListWidget>(&panel, "dayList");
    auto* saturday = FindIn<QCheckBox>(&panel, "dayBox5");
    EXPECT_FALSE(saturday->isEnabled());  // no row selected
    list->setCurrentRow(0);
    EXPECT_TRUE(FindIn<QCheckBox>(&panel, "dayBox4")->isChecked());
    EXPECT_FALSE(saturday->isChecked());
    EXPECT_EQ(saturday->text(), "Sat");

    dialogs.inputs = {"Night"};
    Click(&panel, "dayNewButton");
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[1].name, "Night");
    EXPECT_EQ(rows[1].days, 0U);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_FALSE(FindIn<QCheckBox>(&panel, "dayBox0")->isChecked());
    EXPECT_EQ(dialogs.inputRequests.at(0).title, "Taktarium - Host");
    EXPECT_EQ(dialogs.inputRequests.at(0).text, "Name of the day group:");

    Toggle(saturday);
    QTest::mouseClick(FindIn<QCheckBox>(&panel, "dayBox9"), Qt::LeftButton);
    EXPECT_EQ(rows[1].days, 0x220U);
    Click(&panel, "dayUpButton");
    EXPECT_EQ(rows[0].name, "Night");
    EXPECT_EQ(list->item(0)->text(), "Night");
    EXPECT_EQ(list->currentRow(), 0);
    Click(&panel, "dayDeleteButton");
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0].name, "Weekdays");
    EXPECT_EQ(changes, 5);

    dialogs.inputs = {""};  // cancelled
    Click(&panel, "dayNewButton");
    EXPECT_EQ(rows.size(), 1U);
    panel.Show([]() -> std::vector<TableDay>* { return nullptr; });
    EXPECT_FALSE(panel.isEnabled());
}

class StopPanelTest : public PlanPanelsTest {
protected:
    StopPanelTest() {
        trip = &AddTestTrip(*context.map, "ABC", "1", {{1, "A"}, {2, "B"}, {3, "C"}}, {{0, 60, 120}});
        panel = std::make_unique<PlanStopPanel>(context.language, nullptr);
        CountChanges(panel.get());
        panel->SetCandidatesFrom({trip});
        panel->Show([this] { return &rows; });
        panel->show();
    }

    QListWidget* RowList() { return FindIn<QListWidget>(panel.get(), "stopRowList"); }

    const Trip* trip = nullptr;
    std::vector<PlanStop> rows;
    std::unique_ptr<PlanStopPanel> panel;
};

TEST_F(StopPanelTest, AddAllComparesShownTextsSoARenamedRowIsAddedAgain) {
    Click(panel.get(), "stopAddAllButton");
    EXPECT_EQ(Texts(RowList()), (std::vector<std::string>{"A (1)", "B (2)", "C (3)"}));
    Click(panel.get(), "stopAddAllButton");  // nothing is missing
    EXPECT_EQ(rows.size(), 3U);
    EXPECT_EQ(changes, 1);

    RowList()->setCurrentRow(1);
    auto* name = FindIn<QLineEdit>(panel.get(), "stopNameField");
    EXPECT_EQ(FindIn<QLineEdit>(panel.get(), "stopIdField")->text(), "2");
    name->selectAll();
    QTest::keyClicks(name, "Bee");
    EXPECT_EQ(rows[1].name, "Bee");
    EXPECT_EQ(RowList()->item(1)->text(), "Bee (2)");
    Click(panel.get(), "stopAddAllButton");
    EXPECT_EQ(Texts(RowList()), (std::vector<std::string>{"A (1)", "B (2)", "Bee (2)", "C (3)"}));
}

TEST_F(StopPanelTest, AddPutsTheCandidateAfterTheSelectedRowAndMovesToTheNext) {
    Choose(panel.get(), "candidateList", "C (3)");
    Click(panel.get(), "stopAddButton");
    Choose(panel.get(), "candidateList", "A (1)");
    RowList()->setCurrentRow(-1);
    Click(panel.get(), "stopAddButton");  // no selection: at the end
    EXPECT_EQ(FindIn<QComboBox>(panel.get(), "candidateList")->currentText(), "B (2)");
    RowList()->setCurrentRow(0);
    Click(panel.get(), "stopAddButton");
    EXPECT_EQ(Texts(RowList()), (std::vector<std::string>{"C (3)", "B (2)", "A (1)"}));
    EXPECT_EQ(RowList()->currentRow(), 1);
    Click(panel.get(), "stopDownButton");
    EXPECT_EQ(rows[2].name, "B");
    Click(panel.get(), "stopDeleteButton");
    EXPECT_EQ(Texts(RowList()), (std::vector<std::string>{"C (3)", "A (1)"}));
}

TEST_F(StopPanelTest, NewRowsPrintTimesAndTheOptionBoxesSetEverySelectedRow) {
    Click(panel.get(), "stopAddAllButton");
    EXPECT_EQ(rows[0].flags, kRowDeparture);
    EXPECT_EQ(rows[1].flags, kRowDeparture);
    EXPECT_EQ(rows[2].flags, kRowArrival);  // where the trip ends
    auto* list = RowList();
    auto* arrival = FindIn<QCheckBox>(panel.get(), "arrivalBox");
    auto* departure = FindIn<QCheckBox>(panel.get(), "departureBox");
    auto* merge = FindIn<QCheckBox>(panel.get(), "mergeStopsBox");
    // Click the last row, Shift-click the first: all three are selected and
    // the boxes show the first row's options.
    ClickRow(list, 2);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(list->selectedItems().size(), 3);
    ASSERT_FALSE(arrival->isChecked());
    int before = changes;
    Toggle(arrival);
    for (const PlanStop& row : rows) EXPECT_TRUE(row.flags & kRowArrival);
    EXPECT_EQ(rows[0].flags & kRowDeparture, kRowDeparture) << "the other option stays";
    EXPECT_FALSE(rows[2].flags & kRowDeparture);
    EXPECT_EQ(changes, before + 1);
    Toggle(departure);  // off, as the first row shows it
    for (const PlanStop& row : rows) EXPECT_FALSE(row.flags & kRowDeparture);
    Toggle(departure);
    for (const PlanStop& row : rows) EXPECT_TRUE(row.flags & kRowDeparture);

    // Merging applies from the second row on; the first has no row above.
    Toggle(merge);
    EXPECT_FALSE(rows[0].flags & kRowMerged);
    EXPECT_TRUE(rows[1].flags & kRowMerged);
    EXPECT_TRUE(rows[2].flags & kRowMerged);

    // Ctrl-click takes a row out; Delete removes the selected ones only.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(1)).center());
    ASSERT_EQ(list->selectedItems().size(), 2);
    Click(panel.get(), "stopDeleteButton");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"B (2)"}));
}

TEST_F(StopPanelTest, MergingARowDisablesItsOwnTimesAndName) {
    Click(panel.get(), "stopAddAllButton");
    auto* arrival = FindIn<QCheckBox>(panel.get(), "arrivalBox");
    auto* departure = FindIn<QCheckBox>(panel.get(), "departureBox");
    auto* merge = FindIn<QCheckBox>(panel.get(), "mergeStopsBox");
    RowList()->setCurrentRow(0);
    EXPECT_FALSE(merge->isEnabled());  // nothing above the first row
    EXPECT_TRUE(departure->isChecked());  // a new row prints departures
    Toggle(arrival);
    EXPECT_EQ(rows[0].flags, kRowArrival | kRowDeparture);

    RowList()->setCurrentRow(1);
    EXPECT_TRUE(merge->isEnabled());
    EXPECT_FALSE(arrival->isChecked());
    Toggle(merge);
    EXPECT_EQ(rows[1].flags, kRowMerged | kRowDeparture);
    EXPECT_FALSE(arrival->isEnabled());
    EXPECT_FALSE(departure->isEnabled());
    EXPECT_FALSE(FindIn<QLineEdit>(panel.get(), "stopNameField")->isEnabled());
    RowList()->setCurrentRow(0);
    EXPECT_TRUE(arrival->isEnabled());
    EXPECT_TRUE(arrival->isChecked());
}

}  // namespace
}  // namespace tak::ui::test
