#include "ui/StopTable.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "app/AppContext.h"
#include "project/PlanEditing.h"
#include "project/PlanList.h"
#include "project/StopTableEditing.h"
#include "ui/PlanListPanel.h"
#include "ui/SpiderChooser.h"
#include "ui/TableDay.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

const PlanWindow::Frame kFrame = {"stopTableWindow", "WinStopTable", "STModified", {650, 510}};
constexpr int kTripRole = Qt::UserRole;  // a trip item's index into the trips by line

}  // namespace

StopTableWindow::StopTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow)
    : PlanWindow(context, dialogs, mainWindow, kFrame),
      template_(NewStopTableTemplate(context.language)),
      stopChoices_(StopChoices(*context.map)) {
    for (const auto& trip : context.map->trips) tripsByLine_.push_back(trip.get());
    std::stable_sort(tripsByLine_.begin(), tripsByLine_.end(),
                     [](const Trip* a, const Trip* b) { return a->lineName < b->lineName; });
    Build();
}

void StopTableWindow::CreateControls() {
    const LanguageTable& language = context_.language;
    planList_ = new PlanListPanel(PlanList(context_.project.stopTables), language, dialogs_,
                                  {LangText(language, "New"), "InputSTName", "QuestDelST"}, this);

    nameField_ = NewField(this, "nameField");
    headlineField_ = NewField(this, "headlineField");
    sameInOneBox_ = NewBox(this, "sameInOneBox", LangText(language, "SameSTInOne"));
    breakHourList_ = NewBreakHourList(this);
    CreateSpiderChooser(LangLabel(language, "RouteSpider"));
    mergeRowBox_ = NewBox(this, "mergeRowBox", LangText(language, "MergeRow"));

    CreateOutputOptions("AllSTInOne", &OutputOpt::stAllInOne);

    stopChooser_ = NewChooser(this, "stopChooser");
    for (std::size_t i = 0; i < stopChoices_.size(); ++i) {
        stopChooser_->addItem(FromUtf8(StopRowText(stopChoices_[i]->name, stopChoices_[i]->id)), static_cast<int>(i));
    }
    addStopButton_ = NewButton(this, "addStopButton", LangText(language, "Add"));
    deleteStopButton_ = NewButton(this, "deleteStopButton", LangText(language, "Delete"));
    stopList_ = new QListWidget(this);
    stopList_->setObjectName("stopList");
    dayPanel_ = new TableDayPanel(language, dialogs_, windowTitle(), this);

    tripTree_ = new QTreeWidget(this);
    tripTree_->setObjectName("tripTree");
    tripTree_->setHeaderHidden(true);
    // Lines with their trips need room: ten rows at least, the window grows for them.
    tripTree_->setMinimumHeight(tripTree_->fontMetrics().height() * 10);
    sameWayList_ = NewChooser(this, "sameWayList");
    alternativeBox_ = NewBox(this, "alternativeBox", LangText(language, "AlterWayFoot"));
    footnoteField_ = NewField(this, "footnoteField");
    CreateClosingButtons();
}

// The tables, the table's texts and switches and the output options in the
// top band; its stops, day rows and trips with the trip detail below.
void StopTableWindow::PlaceControls() {
    const LanguageTable& language = context_.language;
    auto* fields = new QFormLayout;
    fields->addRow(LangLabel(language, "STName"), nameField_);
    fields->addRow(LangLabel(language, "Headline"), headlineField_);
    fields->addRow(sameInOneBox_);
    fields->addRow(LangLabel(language, "BreakHour"), breakHourList_);
    fields->addRow(spiderChooser_);
    fields->addRow(mergeRowBox_);

    auto* stopsFrame = new QGroupBox(LangText(language, "Stops"), this);
    auto* stops = new QVBoxLayout(stopsFrame);
    stops->addWidget(stopChooser_);
    auto* stopButtons = new QHBoxLayout;
    stopButtons->addWidget(addStopButton_);
    stopButtons->addWidget(deleteStopButton_);
    stops->addLayout(stopButtons);
    stops->addWidget(stopList_, 1);

    auto* tripsFrame = new QGroupBox(LangText(language, "Trips"), this);
    auto* trips = new QVBoxLayout(tripsFrame);
    trips->addWidget(tripTree_, 1);
    auto* detail = new QFormLayout;
    detail->setRowWrapPolicy(QFormLayout::WrapAllRows);  // the fields get the frame's whole width
    detail->addRow(new QLabel(LangText(language, "SameWay") + "...", this), sameWayList_);
    detail->addRow(alternativeBox_);
    detail->addRow(LangLabel(language, "FootNoteText"), footnoteField_);
    trips->addLayout(detail);

    auto* grid = new QGridLayout;
    grid->addWidget(planList_, 0, 0);
    grid->addLayout(fields, 0, 1);
    grid->addLayout(OutputOptionsColumn(), 0, 2);
    grid->addWidget(stopsFrame, 1, 0);
    grid->addWidget(dayPanel_, 1, 1);
    grid->addWidget(tripsFrame, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 4);
    grid->setRowStretch(1, 1);
    PlaceAboveClosingButtons(grid);
}

void StopTableWindow::ConnectControls() {
    connect(planList_, &PlanListPanel::Chosen, this, &StopTableWindow::ShowPlan);
    connect(planList_, &PlanListPanel::NewPlanNamed, this, &StopTableWindow::OnNewPlan);
    connect(planList_, &PlanListPanel::Changed, this, &StopTableWindow::Touch);
    EditsText(nameField_, FieldOfShownPlan(this, &StopTable::name), [this] { planList_->ShowSelectedName(); });
    EditsText(headlineField_, FieldOfShownPlan(this, &StopTable::headline));
    connect(sameInOneBox_, &QCheckBox::toggled, this, &StopTableWindow::OnSameInOneToggled);
    EditsBreakHour(breakHourList_, FieldOfShownPlan(this, &StopTable::breakHour));
    EditsSwitch(mergeRowBox_, FieldOfShownPlan(this, &StopTable::mergeRow));
    connect(dayPanel_, &TableDayPanel::Changed, this, &StopTableWindow::Touch);
    connect(addStopButton_, &QPushButton::clicked, this, &StopTableWindow::OnAddStop);
    connect(deleteStopButton_, &QPushButton::clicked, this, &StopTableWindow::OnDeleteStop);
    connect(stopList_, &QListWidget::currentRowChanged, this, &StopTableWindow::SetEnabledStates);
    connect(tripTree_, &QTreeWidget::itemChanged, this, &StopTableWindow::OnTripItemChanged);
    connect(tripTree_, &QTreeWidget::currentItemChanged, this, &StopTableWindow::ShowTripEntry);
    connect(sameWayList_, &QComboBox::activated, this, &StopTableWindow::OnSameWayChosen);
    connect(alternativeBox_, &QCheckBox::toggled, this, &StopTableWindow::OnTripTextsEdited);
    connect(footnoteField_, &QLineEdit::textEdited, this, &StopTableWindow::OnTripTextsEdited);
}

void StopTableWindow::ShowFirstPlan() { planList_->Select(0); }

StopTable* StopTableWindow::Plan() { return planList_->SelectedIn(context_.project.stopTables); }

void StopTableWindow::ShowPlan() {
    const StopTable* plan = Plan();
    ShowEditedFields();
    showing_ = true;
    sameInOneBox_->setChecked(plan && plan->sameInOne);
    showing_ = false;
    spiderChooser_->Show(FieldOfShownPlan(this, &StopTable::routeSpider));
    dayPanel_->Show(FieldOfShownPlan(this, &StopTable::days));
    FillStopList();
    FillTripTree();
}

void StopTableWindow::FillStopList() {
    const StopTable* plan = Plan();
    stopList_->clear();
    if (plan == nullptr) return;
    for (const TripStation* station : plan->stations) {
        stopList_->addItem(FromUtf8(StopRowText(station->name, station->id)));
    }
}

// The trips that depart at the table's stops, below their line names; a
// line item shows the combined state of its trips.
void StopTableWindow::FillTripTree() {
    const StopTable* plan = Plan();
    showing_ = true;
    tripTree_->clear();
    QTreeWidgetItem* lineItem = nullptr;
    for (std::size_t i = 0; plan != nullptr && i < tripsByLine_.size(); ++i) {
        const Trip& trip = *tripsByLine_[i];
        if (!DepartsAtTableStops(*plan, trip)) continue;
        if (lineItem == nullptr || lineItem->text(0) != FromUtf8(trip.lineName)) {
            lineItem = new QTreeWidgetItem(tripTree_, {FromUtf8(trip.lineName)});
            lineItem->setFlags(lineItem->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        }
        auto* tripItem = new QTreeWidgetItem(lineItem, {FromUtf8(trip.name)});
        tripItem->setData(0, kTripRole, static_cast<int>(i));
        tripItem->setFlags(tripItem->flags() | Qt::ItemIsUserCheckable);
        tripItem->setCheckState(0, plan->selection.count(trip.name) ? Qt::Checked : Qt::Unchecked);
    }
    tripTree_->expandAll();
    showing_ = false;
    ShowTripEntry();
}

// The entry of the trip chosen in the tree, while the trip is selected.
StopTableTrip* StopTableWindow::SelectedEntry() {
    StopTable* plan = Plan();
    QTreeWidgetItem* item = tripTree_->currentItem();
    if (plan == nullptr || item == nullptr || item->parent() == nullptr) return nullptr;
    const Trip* trip = tripsByLine_[static_cast<std::size_t>(item->data(0, kTripRole).toInt())];
    if (!plan->selection.count(trip->name)) return nullptr;
    for (StopTableTrip& entry : plan->trips) {
        if (entry.trip == trip) return &entry;
    }
    return nullptr;
}

void StopTableWindow::ShowTripEntry() {
    const StopTable* plan = Plan();
    const StopTableTrip* entry = SelectedEntry();
    showing_ = true;
    sameWayList_->clear();
    if (entry != nullptr) {
        sameWayList_->addItem(QString(), static_cast<uint>(kNoStopTableTrip));
        for (const StopTableTrip& other : plan->trips) {
            if (other.key == entry->key || !plan->selection.count(other.trip->name)) continue;
            sameWayList_->addItem(FromUtf8(other.trip->name), static_cast<uint>(other.key));
        }
        sameWayList_->setCurrentIndex(std::max(0, sameWayList_->findData(static_cast<uint>(entry->sameWay))));
    }
    alternativeBox_->setChecked(entry && entry->alternative);
    SetFieldText(footnoteField_, entry ? FromUtf8(entry->footnote) : QString());
    showing_ = false;
    SetEnabledStates();
}

void StopTableWindow::SetEnabledStates() {
    bool shown = Plan() != nullptr;
    for (QWidget* control : std::initializer_list<QWidget*>{nameField_, headlineField_, sameInOneBox_, breakHourList_,
                                                            mergeRowBox_, stopChooser_, stopList_, tripTree_}) {
        control->setEnabled(shown);
    }
    addStopButton_->setEnabled(shown && stopChooser_->currentIndex() >= 0);
    deleteStopButton_->setEnabled(shown && stopList_->currentRow() >= 0);
    const StopTableTrip* entry = SelectedEntry();
    sameWayList_->setEnabled(entry != nullptr);
    alternativeBox_->setEnabled(entry != nullptr);
    footnoteField_->setEnabled(entry != nullptr && entry->alternative);
}

// A new table is named at once, as a new timetable is.
void StopTableWindow::OnNewPlan(const std::string& name) {
    const StopTable* model = Plan();
    StopTable added = InheritStopTable(model ? *model : template_);
    added.name = name;
    added.days = DayRowsFrom(added.days, context_.language);
    context_.project.stopTables.push_back(std::move(added));
    planList_->Select(context_.project.stopTables.size() - 1);
    Touch();
}

void StopTableWindow::OnSameInOneToggled(bool on) {
    std::optional<std::size_t> index = planList_->Selected();
    if (showing_ || !index) return;
    SetSameStopInOne(context_.project.stopTables, *index, on);
    Touch();
}

void StopTableWindow::OnAddStop() {
    StopTable* plan = Plan();
    int chosen = stopChooser_->currentIndex();
    if (plan == nullptr || chosen < 0) return;
    const TripStation& station = *stopChoices_[static_cast<std::size_t>(stopChooser_->itemData(chosen).toInt())];
    if (!AddStopTableStop(*plan, station)) return;
    showing_ = true;
    SetFieldText(nameField_, FromUtf8(plan->name));
    showing_ = false;
    planList_->ShowSelectedName();
    FillStopList();
    stopList_->setCurrentRow(stopList_->count() - 1);
    FillTripTree();
    Touch();
}

void StopTableWindow::OnDeleteStop() {
    StopTable* plan = Plan();
    int row = stopList_->currentRow();
    if (plan == nullptr || row < 0 || row >= static_cast<int>(plan->stations.size())) return;
    plan->stations.erase(plan->stations.begin() + row);
    FillStopList();
    stopList_->setCurrentRow(std::min(row, stopList_->count() - 1));
    FillTripTree();
    Touch();
}

// The selection is rebuilt from all checked trip items, whichever item
// changed, so a line item that checks all its trips at once counts the same.
void StopTableWindow::OnTripItemChanged(QTreeWidgetItem* item) {
    StopTable* plan = Plan();
    if (showing_ || plan == nullptr || item == nullptr) return;
    std::vector<const Trip*> checked;
    for (int line = 0; line < tripTree_->topLevelItemCount(); ++line) {
        QTreeWidgetItem* lineItem = tripTree_->topLevelItem(line);
        for (int i = 0; i < lineItem->childCount(); ++i) {
            QTreeWidgetItem* tripItem = lineItem->child(i);
            if (tripItem->checkState(0) != Qt::Checked) continue;
            checked.push_back(tripsByLine_[static_cast<std::size_t>(tripItem->data(0, kTripRole).toInt())]);
        }
    }
    std::set<std::string> before = plan->selection;
    SelectStopTableTrips(*plan, checked);
    if (plan->selection == before) return;
    ShowTripEntry();
    Touch();
}

void StopTableWindow::OnSameWayChosen(int index) {
    StopTableTrip* entry = SelectedEntry();
    if (showing_ || entry == nullptr || index < 0) return;
    StopTableTripKey key = sameWayList_->itemData(index).toUInt();
    if (key == entry->sameWay) return;
    entry->sameWay = key;
    Touch();
}

void StopTableWindow::OnTripTextsEdited() {
    StopTableTrip* entry = SelectedEntry();
    if (showing_ || entry == nullptr) return;
    entry->alternative = alternativeBox_->isChecked();
    entry->footnote = ToUtf8(footnoteField_->text());
    SetEnabledStates();
    Touch();
}

}  // namespace tak::ui
