#include "ui/TimeTable.h"

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
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/AppContext.h"
#include "project/PlanEditing.h"
#include "ui/PlanListPanel.h"
#include "ui/PlanStop.h"
#include "ui/SpiderChooser.h"
#include "ui/TableDay.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

const PlanWindow::Frame kFrame = {"timeTableWindow", "WinTimeTable", "TTModified", {650, 545}};

}  // namespace

TimeTableWindow::TimeTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow)
    : PlanWindow(context, dialogs, mainWindow, kFrame),
      template_(NewTimeTablePlanTemplate(context.language)),
      tripsByName_(TripsByName(*context.map)) {
    Build();
}

void TimeTableWindow::CreateControls() {
    const LanguageTable& language = context_.language;
    planList_ = new PlanListPanel(PlanList(context_.project.timeTablePlans), language, dialogs_,
                                  {LangText(language, "New") + "...", "InputTTName", "QuestDelTT"}, this);

    nameField_ = NewField(this, "nameField");
    headlineField_ = NewField(this, "headlineField");
    lineField_ = NewField(this, "lineField");
    autoLineBox_ = NewBox(this, "autoLineBox", LangText(language, "Automatic"));
    CreateSpiderChooser(LangText(language, "RouteSpider"));
    breakHourList_ = NewBreakHourList(this);
    CreateOutputOptions("AllTTInOne", &OutputOpt::ttAllInOne);

    tripChooser_ = new QComboBox(this);
    tripChooser_->setObjectName("tripChooser");
    for (std::size_t i = 0; i < tripsByName_.size(); ++i) {
        tripChooser_->addItem(FromUtf8(tripsByName_[i]->name), static_cast<int>(i));
    }
    addTripButton_ = NewButton(this, "addTripButton", LangText(language, "Add"));
    deleteTripButton_ = NewButton(this, "deleteTripButton", LangText(language, "Delete"));
    tripUpButton_ = NewArrowButton(this, "tripUpButton", kUpArrow);
    tripDownButton_ = NewArrowButton(this, "tripDownButton", kDownArrow);
    tripList_ = new QListWidget(this);
    tripList_->setObjectName("tripList");
    tripList_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    hideEmptyBox_ = NewBox(this, "hideEmptyBox", LangText(language, "HideEmptyRows"));
    hideBridgeBox_ = NewBox(this, "hideBridgeBox", LangText(language, "HideRowsWithout"));
    displayLineBox_ = NewBox(this, "displayLineBox", LangText(language, "DispLineNumber"));
    displayTourBox_ = NewBox(this, "displayTourBox", LangText(language, "DispTourName"));
    displayNoteBox_ = NewBox(this, "displayNoteBox", LangText(language, "DispFootNote"));
    pageBreakBox_ = NewBox(this, "pageBreakBox", LangText(language, "EveryDayNewPage"));
    mergeIterBox_ = NewBox(this, "mergeIterBox", LangText(language, "MergeIterColumn"));

    dayPanel_ = new TableDayPanel(language, dialogs_, windowTitle(), this);
    stopPanel_ = new PlanStopPanel(language, this);
    CreateClosingButtons();
}

// Three columns in two bands (the plans with their trips, the plan's texts
// with its switches, the output options with the day rows), the stop rows
// across the whole width below them, and the buttons at the bottom.
void TimeTableWindow::PlaceControls() {
    const LanguageTable& language = context_.language;
    // The line text gets a row of its own: beside the automatic box it had
    // room for a few letters only.
    lineField_->setMinimumWidth(lineField_->fontMetrics().horizontalAdvance("0") * 14);
    auto* fields = new QFormLayout;
    fields->addRow(LangLabel(language, "TTName"), nameField_);
    fields->addRow(LangLabel(language, "Headline"), headlineField_);
    fields->addRow(LangLabel(language, "DispLines"), lineField_);
    fields->addRow(QString(), autoLineBox_);
    fields->addRow(spiderChooser_);
    fields->addRow(LangLabel(language, "BreakHour"), breakHourList_);

    auto* tripButtons = new QHBoxLayout;
    for (QPushButton* button : {addTripButton_, deleteTripButton_, tripUpButton_, tripDownButton_}) {
        tripButtons->addWidget(button);
    }
    auto* tripsFrame = new QGroupBox(LangText(language, "Trips"), this);
    auto* trips = new QVBoxLayout(tripsFrame);
    trips->addWidget(tripChooser_);
    trips->addLayout(tripButtons);
    trips->addWidget(tripList_, 1);

    auto* rowsFrame = new QGroupBox(LangLabel(language, "RowsInTable"), this);
    auto* rows = new QVBoxLayout(rowsFrame);
    for (QCheckBox* box : {hideEmptyBox_, hideBridgeBox_, displayLineBox_, displayTourBox_, displayNoteBox_,
                           pageBreakBox_, mergeIterBox_}) {
        rows->addWidget(box);
    }
    rows->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(planList_, 0, 0);
    grid->addLayout(fields, 0, 1);
    grid->addLayout(OutputOptionsColumn(), 0, 2);
    grid->addWidget(tripsFrame, 1, 0);
    grid->addWidget(rowsFrame, 1, 1);
    grid->addWidget(dayPanel_, 1, 2);
    grid->addWidget(stopPanel_, 2, 0, 1, 3);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 1);
    PlaceAboveClosingButtons(grid);
}

void TimeTableWindow::ConnectControls() {
    connect(planList_, &PlanListPanel::Chosen, this, &TimeTableWindow::ShowPlan);
    connect(planList_, &PlanListPanel::NewPlanNamed, this, &TimeTableWindow::OnNewPlan);
    connect(planList_, &PlanListPanel::Changed, this, &TimeTableWindow::Touch);

    EditsText(nameField_, FieldOfShownPlan(this, &TimeTablePlan::name), [this] { planList_->ShowSelectedName(); });
    EditsText(headlineField_, FieldOfShownPlan(this, &TimeTablePlan::headline));
    EditsText(lineField_, FieldOfShownPlan(this, &TimeTablePlan::line));
    EditsSwitch(autoLineBox_, FieldOfShownPlan(this, &TimeTablePlan::autoLine), [this] { OnAutoLineToggled(); });
    EditsBreakHour(breakHourList_, FieldOfShownPlan(this, &TimeTablePlan::breakHour));
    const std::pair<QCheckBox*, bool TimeTablePlan::*> switches[] = {
        {hideEmptyBox_, &TimeTablePlan::hideEmpty},      {hideBridgeBox_, &TimeTablePlan::hideBridge},
        {displayLineBox_, &TimeTablePlan::displayLine},  {displayTourBox_, &TimeTablePlan::displayTour},
        {displayNoteBox_, &TimeTablePlan::displayNote},  {pageBreakBox_, &TimeTablePlan::pageBreak},
        {mergeIterBox_, &TimeTablePlan::mergeIterColumn}};
    for (auto [box, field] : switches) EditsSwitch(box, FieldOfShownPlan(this, field));

    connect(dayPanel_, &TableDayPanel::Changed, this, &TimeTableWindow::Touch);
    connect(stopPanel_, &PlanStopPanel::Changed, this, &TimeTableWindow::Touch);

    connect(tripChooser_, &QComboBox::currentIndexChanged, this, &TimeTableWindow::SetEnabledStates);
    connect(tripList_, &QListWidget::itemSelectionChanged, this, &TimeTableWindow::SetEnabledStates);
    connect(addTripButton_, &QPushButton::clicked, this, &TimeTableWindow::OnAddTrip);
    connect(deleteTripButton_, &QPushButton::clicked, this, &TimeTableWindow::OnDeleteTrip);
    connect(tripUpButton_, &QPushButton::clicked, this, [this] { OnMoveTrip(-1); });
    connect(tripDownButton_, &QPushButton::clicked, this, [this] { OnMoveTrip(1); });
}

void TimeTableWindow::ShowFirstPlan() { planList_->Select(0); }

TimeTablePlan* TimeTableWindow::Plan() { return planList_->SelectedIn(context_.project.timeTablePlans); }

void TimeTableWindow::SelectPlan(std::size_t index) { planList_->Select(index); }

// Puts the plan into the controls. The panels look the selected plan up
// whenever they use it, so a plan list that grows or shrinks leaves them no
// stale address.
void TimeTableWindow::ShowPlan() {
    static const TimeTablePlan kEmpty;
    const TimeTablePlan* plan = Plan();
    const TimeTablePlan& shown = plan ? *plan : kEmpty;
    ShowEditedFields();
    showing_ = true;
    tripList_->clear();
    for (const Trip* trip : shown.trips) tripList_->addItem(FromUtf8(trip->name));
    showing_ = false;
    spiderChooser_->Show(FieldOfShownPlan(this, &TimeTablePlan::routeSpider));
    dayPanel_->Show(FieldOfShownPlan(this, &TimeTablePlan::days));
    stopPanel_->Show(FieldOfShownPlan(this, &TimeTablePlan::stops));
    stopPanel_->SetCandidatesFrom(shown.trips);
    SetEnabledStates();
}

void TimeTableWindow::SetEnabledStates() {
    const TimeTablePlan* plan = Plan();
    bool shown = plan != nullptr;
    for (QWidget* control : std::initializer_list<QWidget*>{
             nameField_, headlineField_, autoLineBox_, breakHourList_, hideEmptyBox_, hideBridgeBox_, displayLineBox_,
             displayTourBox_, displayNoteBox_, pageBreakBox_, mergeIterBox_, tripChooser_, tripList_}) {
        control->setEnabled(shown);
    }
    lineField_->setEnabled(shown && !plan->autoLine);
    addTripButton_->setEnabled(shown && tripChooser_->currentIndex() >= 0);
    deleteTripButton_->setEnabled(shown && !tripList_->selectedItems().isEmpty());
    tripUpButton_->setEnabled(shown && SelectionCanMove(tripList_, -1));
    tripDownButton_->setEnabled(shown && SelectionCanMove(tripList_, 1));
}

void TimeTableWindow::OnNewPlan(const std::string& name) {
    const TimeTablePlan* model = Plan();
    TimeTablePlan added = InheritTimeTablePlan(model ? *model : template_, name);
    added.days = DayRowsFrom(added.days, context_.language);
    context_.project.timeTablePlans.push_back(std::move(added));
    planList_->Select(context_.project.timeTablePlans.size() - 1);
    Touch();
}

void TimeTableWindow::OnAutoLineToggled() {
    UpdateAutoLine();
    // The text is the user's now: typing goes on at its end.
    if (!Plan()->autoLine) lineField_->end(false);
    SetEnabledStates();
}

void TimeTableWindow::UpdateAutoLine() {
    TimeTablePlan* plan = Plan();
    if (plan == nullptr || !plan->autoLine) return;
    plan->line = AutoLineText(plan->trips);
    SetFieldText(lineField_, FromUtf8(plan->line));
}

void TimeTableWindow::OnAddTrip() {
    TimeTablePlan* plan = Plan();
    int chosen = tripChooser_->currentIndex();
    if (plan == nullptr || chosen < 0) return;
    const Trip* trip = tripsByName_[static_cast<std::size_t>(tripChooser_->itemData(chosen).toInt())];
    QString name = FromUtf8(trip->name);
    for (int i = 0; i < tripList_->count(); ++i) {
        if (tripList_->item(i)->text() == name) return;
    }
    plan->trips.push_back(trip);
    tripList_->addItem(name);
    AfterTripsChanged({}, tripList_->count() - 1);
}

// The chosen trips, one flag per trip of the plan.
std::vector<bool> TimeTableWindow::ChosenTrips() const {
    std::vector<bool> chosen;
    for (int i = 0; i < tripList_->count(); ++i) chosen.push_back(tripList_->item(i)->isSelected());
    return chosen;
}

void TimeTableWindow::OnDeleteTrip() {
    TimeTablePlan* plan = Plan();
    std::vector<bool> chosen = ChosenTrips();
    if (plan == nullptr || chosen.size() != plan->trips.size()) return;
    int first = -1;
    for (std::size_t i = chosen.size(); i-- > 0;) {
        if (!chosen[i]) continue;
        plan->trips.erase(plan->trips.begin() + static_cast<std::ptrdiff_t>(i));
        first = static_cast<int>(i);
    }
    if (first < 0) return;
    FillTripList();
    AfterTripsChanged({}, std::min(first, tripList_->count() - 1));
}

void TimeTableWindow::OnMoveTrip(int step) {
    TimeTablePlan* plan = Plan();
    std::vector<bool> chosen = ChosenTrips();
    if (plan == nullptr || chosen.size() != plan->trips.size() || !SelectionCanMove(tripList_, step)) return;
    ShiftChosen(plan->trips, chosen, step);
    FillTripList();
    auto first = std::find(chosen.begin(), chosen.end(), true);
    AfterTripsChanged(chosen, static_cast<int>(first - chosen.begin()));
}

void TimeTableWindow::FillTripList() {
    TimeTablePlan* plan = Plan();
    tripList_->clear();
    if (plan == nullptr) return;
    for (const Trip* trip : plan->trips) tripList_->addItem(FromUtf8(trip->name));
}

// `chosen` (one flag per trip) says which trips stay selected; without it
// the trip `current` alone is.
void TimeTableWindow::AfterTripsChanged(const std::vector<bool>& chosen, int current) {
    TimeTablePlan* plan = Plan();
    if (chosen.empty()) {
        tripList_->setCurrentRow(current, QItemSelectionModel::ClearAndSelect);
    } else {
        tripList_->setCurrentRow(current, QItemSelectionModel::NoUpdate);
        for (int i = 0; i < tripList_->count() && i < static_cast<int>(chosen.size()); ++i) {
            tripList_->item(i)->setSelected(chosen[static_cast<std::size_t>(i)]);
        }
    }
    stopPanel_->SetCandidatesFrom(plan->trips);
    UpdateAutoLine();
    SetEnabledStates();
    Touch();
}

}  // namespace tak::ui
