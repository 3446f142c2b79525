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
#include "project/ProjectLimits.h"
#include "ui/GlobalOpt.h"
#include "ui/PlanStop.h"
#include "ui/RouteSpiderWindow.h"
#include "ui/SpiderChooser.h"
#include "ui/TableDay.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

constexpr int kWindowWidth = 650;
constexpr int kWindowHeight = 545;
constexpr const char* kTitleKey = "WinTimeTable";

}  // namespace

TimeTableWindow::TimeTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow)
    : PlanWindow(context, dialogs, mainWindow, "TTModified") {
    setObjectName("timeTableWindow");
    setWindowTitle(WindowTitleFor(context.language, kTitleKey));
    template_ = NewTimeTablePlanTemplate(context.language);
    tripsByName_ = TripsByName(*context.map);
    CreateControls();
    PlaceControls();
    ConnectControls();
    globalOpt_->Show(&context_.project.outputOpt);
    allInOneBox_->setChecked(context_.project.outputOpt.ttAllInOne);
    FillPlanList(context_.project.timeTablePlans.empty() ? -1 : 0);
    changes_.SetApplyButton(applyButton_);
    resize(kWindowWidth, kWindowHeight);
    KeepAbove(this, mainWindow_);
}

// Controls are made in reading order, which is also their tab order.
void TimeTableWindow::CreateControls() {
    const LanguageTable& language = context_.language;
    planList_ = new QListWidget(this);
    planList_->setObjectName("planList");
    newPlanButton_ = NewButton(this, "newPlanButton", LangText(language, "New") + "...");
    deletePlanButton_ = NewButton(this, "deletePlanButton", LangText(language, "Delete"));
    planUpButton_ = NewArrowButton(this, "planUpButton", kUpArrow);
    planDownButton_ = NewArrowButton(this, "planDownButton", kDownArrow);

    nameField_ = NewField(this, "nameField");
    headlineField_ = NewField(this, "headlineField");
    lineField_ = NewField(this, "lineField");
    autoLineBox_ = NewBox(this, "autoLineBox", LangText(language, "Automatic"));
    spiderChooser_ = new SpiderChooserPanel(context_, dialogs_, this, LangText(language, "RouteSpider"));
    breakHourList_ = new QComboBox(this);
    breakHourList_->setObjectName("breakHourList");
    breakHourList_->addItem("-", kNoBreakHour);
    for (int hour = 0; hour <= kMaxBreakHour; ++hour) {
        breakHourList_->addItem(QString::number(kFirstBreakClock + hour), hour);
    }

    globalOpt_ = new GlobalOptPanel(language, this);
    allInOneBox_ = NewBox(this, "allInOneBox", LangText(language, "AllTTInOne"));

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

    okButton_ = NewButton(this, "okButton", LangText(language, "OK"));
    okButton_->setDefault(true);
    applyButton_ = NewButton(this, "applyButton", LangText(language, "Apply"));
    cancelButton_ = NewButton(this, "cancelButton", LangText(language, "Cancel"));
    createOutputButton_ = NewButton(this, "createOutputButton", LangText(language, "CreateOutput"));
}

// Three columns in two bands (the plans with their trips, the plan's texts
// with its switches, the output options with the day rows), the stop rows
// across the whole width below them, and the buttons at the bottom.
void TimeTableWindow::PlaceControls() {
    const LanguageTable& language = context_.language;
    auto* planButtons = new QHBoxLayout;
    for (QPushButton* button : {newPlanButton_, deletePlanButton_, planUpButton_, planDownButton_}) {
        planButtons->addWidget(button);
    }
    auto* plans = new QVBoxLayout;
    plans->addWidget(planList_, 1);
    plans->addLayout(planButtons);

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

    auto* options = new QVBoxLayout;
    options->addWidget(globalOpt_);
    options->addWidget(allInOneBox_);
    options->addStretch(1);

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
    grid->addLayout(plans, 0, 0);
    grid->addLayout(fields, 0, 1);
    grid->addLayout(options, 0, 2);
    grid->addWidget(tripsFrame, 1, 0);
    grid->addWidget(rowsFrame, 1, 1);
    grid->addWidget(dayPanel_, 1, 2);
    grid->addWidget(stopPanel_, 2, 0, 1, 3);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(applyButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch(1);
    buttons->addWidget(createOutputButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);
}

void TimeTableWindow::ConnectControls() {
    connect(planList_, &QListWidget::currentRowChanged, this, [this] {
        if (!showing_) ShowPlan();
    });
    connect(newPlanButton_, &QPushButton::clicked, this, &TimeTableWindow::OnNewPlan);
    connect(deletePlanButton_, &QPushButton::clicked, this, &TimeTableWindow::OnDeletePlan);
    connect(planUpButton_, &QPushButton::clicked, this, [this] { OnMovePlan(-1); });
    connect(planDownButton_, &QPushButton::clicked, this, [this] { OnMovePlan(1); });

    connect(nameField_, &QLineEdit::textEdited, this, &TimeTableWindow::OnNameEdited);
    connect(headlineField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (TimeTablePlan* plan = Plan()) {
            plan->headline = ToUtf8(text);
            Touch();
        }
    });
    connect(lineField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (TimeTablePlan* plan = Plan()) {
            plan->line = ToUtf8(text);
            Touch();
        }
    });
    connect(autoLineBox_, &QCheckBox::toggled, this, &TimeTableWindow::OnAutoLineToggled);
    connect(spiderChooser_, &SpiderChooserPanel::Changed, this, [this] { Touch(); });
    connect(breakHourList_, &QComboBox::currentIndexChanged, this, [this] { OnSwitchToggled(); });
    for (QCheckBox* box : {hideEmptyBox_, hideBridgeBox_, displayLineBox_, displayTourBox_, displayNoteBox_,
                           pageBreakBox_, mergeIterBox_}) {
        connect(box, &QCheckBox::toggled, this, &TimeTableWindow::OnSwitchToggled);
    }

    connect(globalOpt_, &GlobalOptPanel::Changed, this, &TimeTableWindow::Touch);
    connect(allInOneBox_, &QCheckBox::toggled, this, [this](bool on) {
        if (showing_ || on == context_.project.outputOpt.ttAllInOne) return;
        context_.project.outputOpt.ttAllInOne = on;
        Touch();
    });
    connect(dayPanel_, &TableDayPanel::Changed, this, &TimeTableWindow::Touch);
    connect(stopPanel_, &PlanStopPanel::Changed, this, &TimeTableWindow::Touch);

    connect(tripChooser_, &QComboBox::currentIndexChanged, this, &TimeTableWindow::SetEnabledStates);
    connect(tripList_, &QListWidget::itemSelectionChanged, this, &TimeTableWindow::SetEnabledStates);
    connect(addTripButton_, &QPushButton::clicked, this, &TimeTableWindow::OnAddTrip);
    connect(deleteTripButton_, &QPushButton::clicked, this, &TimeTableWindow::OnDeleteTrip);
    connect(tripUpButton_, &QPushButton::clicked, this, [this] { OnMoveTrip(-1); });
    connect(tripDownButton_, &QPushButton::clicked, this, [this] { OnMoveTrip(1); });

    connect(okButton_, &QPushButton::clicked, this, &TimeTableWindow::OnOk);
    connect(applyButton_, &QPushButton::clicked, this, [this] { changes_.Apply(); });
    connect(cancelButton_, &QPushButton::clicked, this, &TimeTableWindow::reject);
    connect(createOutputButton_, &QPushButton::clicked, this, &TimeTableWindow::OpenOutputDialog);
}

int TimeTableWindow::SelectedPlan() const {
    int row = planList_->currentRow();
    return row >= 0 && row < static_cast<int>(context_.project.timeTablePlans.size()) ? row : -1;
}

TimeTablePlan* TimeTableWindow::Plan() {
    int row = SelectedPlan();
    return row >= 0 ? &context_.project.timeTablePlans[static_cast<std::size_t>(row)] : nullptr;
}

void TimeTableWindow::FillPlanList(int selected) {
    showing_ = true;
    planList_->clear();
    for (const TimeTablePlan& plan : context_.project.timeTablePlans) planList_->addItem(FromUtf8(plan.name));
    planList_->setCurrentRow(selected);
    showing_ = false;
    ShowPlan();
}

void TimeTableWindow::SelectPlan(std::size_t index) {
    FillPlanList(index < context_.project.timeTablePlans.size() ? static_cast<int>(index) : -1);
}

// Puts the plan into the controls. The panels look the selected plan up
// whenever they use it, so a plan list that grows or shrinks leaves them no
// stale address.
void TimeTableWindow::ShowPlan() {
    TimeTablePlan* plan = Plan();
    static const TimeTablePlan kEmpty;
    const TimeTablePlan& shown = plan ? *plan : kEmpty;
    showing_ = true;
    for (auto [field, text] : {std::pair{nameField_, &shown.name}, std::pair{headlineField_, &shown.headline},
                               std::pair{lineField_, &shown.line}}) {
        SetFieldText(field, FromUtf8(*text));
    }
    autoLineBox_->setChecked(plan && shown.autoLine);
    breakHourList_->setCurrentIndex(std::clamp(shown.breakHour, kNoBreakHour, kMaxBreakHour) + 1);
    hideEmptyBox_->setChecked(plan && shown.hideEmpty);
    hideBridgeBox_->setChecked(plan && shown.hideBridge);
    displayLineBox_->setChecked(shown.displayLine);
    displayTourBox_->setChecked(shown.displayTour);
    displayNoteBox_->setChecked(plan && shown.displayNote);
    pageBreakBox_->setChecked(shown.pageBreak);
    mergeIterBox_->setChecked(shown.mergeIterColumn);
    tripList_->clear();
    for (const Trip* trip : shown.trips) tripList_->addItem(FromUtf8(trip->name));
    showing_ = false;
    spiderChooser_->Show(FieldOfShownPlan(&TimeTablePlan::routeSpider));
    dayPanel_->Show(FieldOfShownPlan(&TimeTablePlan::days));
    stopPanel_->Show(FieldOfShownPlan(&TimeTablePlan::stops));
    stopPanel_->SetCandidatesFrom(shown.trips);
    SetEnabledStates();
}

void TimeTableWindow::SetEnabledStates() {
    const TimeTablePlan* plan = Plan();
    bool shown = plan != nullptr;
    int row = SelectedPlan();
    int plans = static_cast<int>(context_.project.timeTablePlans.size());
    deletePlanButton_->setEnabled(shown);
    planUpButton_->setEnabled(row > 0);
    planDownButton_->setEnabled(shown && row + 1 < plans);
    for (QWidget* control : std::initializer_list<QWidget*>{
             nameField_, headlineField_, autoLineBox_, breakHourList_, hideEmptyBox_, hideBridgeBox_,
             displayLineBox_, displayTourBox_, displayNoteBox_, pageBreakBox_, mergeIterBox_, tripChooser_,
             tripList_}) {
        control->setEnabled(shown);
    }
    lineField_->setEnabled(shown && !plan->autoLine);
    addTripButton_->setEnabled(shown && tripChooser_->currentIndex() >= 0);
    deleteTripButton_->setEnabled(shown && !tripList_->selectedItems().isEmpty());
    tripUpButton_->setEnabled(shown && SelectionCanMove(tripList_, -1));
    tripDownButton_->setEnabled(shown && SelectionCanMove(tripList_, 1));
}

void TimeTableWindow::OnNewPlan() {
    QString name = dialogs_.InputText(this, windowTitle(), LangLabel(context_.language, "InputTTName"));
    if (name.isEmpty()) return;
    const TimeTablePlan* model = Plan();
    TimeTablePlan added = InheritTimeTablePlan(model ? *model : template_, ToUtf8(name.left(kMaxFieldLength)));
    added.days = DayRowsFrom(added.days, context_.language);
    auto& plans = context_.project.timeTablePlans;
    plans.push_back(std::move(added));
    FillPlanList(static_cast<int>(plans.size()) - 1);
    Touch();
}

void TimeTableWindow::OnDeletePlan() {
    int row = SelectedPlan();
    if (row < 0) return;
    if (!dialogs_.AskYesNo(this, windowTitle(), LangText(context_.language, "QuestDelTT"))) return;
    auto& plans = context_.project.timeTablePlans;
    plans.erase(plans.begin() + row);
    FillPlanList(std::min(row, static_cast<int>(plans.size()) - 1));
    Touch();
}

void TimeTableWindow::OnMovePlan(int step) {
    int row = SelectedPlan();
    int other = row + step;
    auto& plans = context_.project.timeTablePlans;
    if (row < 0 || other < 0 || other >= static_cast<int>(plans.size())) return;
    std::swap(plans[static_cast<std::size_t>(row)], plans[static_cast<std::size_t>(other)]);
    FillPlanList(other);
    Touch();
}

void TimeTableWindow::OnNameEdited(const QString& text) {
    TimeTablePlan* plan = Plan();
    if (showing_ || plan == nullptr) return;
    plan->name = ToUtf8(text);
    planList_->currentItem()->setText(text);
    Touch();
}

void TimeTableWindow::OnSwitchToggled() {
    TimeTablePlan* plan = Plan();
    if (showing_ || plan == nullptr) return;
    plan->hideEmpty = hideEmptyBox_->isChecked();
    plan->hideBridge = hideBridgeBox_->isChecked();
    plan->displayLine = displayLineBox_->isChecked();
    plan->displayTour = displayTourBox_->isChecked();
    plan->displayNote = displayNoteBox_->isChecked();
    plan->pageBreak = pageBreakBox_->isChecked();
    plan->mergeIterColumn = mergeIterBox_->isChecked();
    plan->breakHour = breakHourList_->currentData().toInt();
    Touch();
}

void TimeTableWindow::OnAutoLineToggled(bool on) {
    TimeTablePlan* plan = Plan();
    if (showing_ || plan == nullptr) return;
    plan->autoLine = on;
    UpdateAutoLine();
    // The text is the user's now: typing goes on at its end.
    if (!on) lineField_->end(false);
    SetEnabledStates();
    Touch();
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

RouteSpiderWindow* TimeTableWindow::SpiderEditor() const { return spiderChooser_->Editor(); }

bool TimeTableWindow::OthersAtWork() const { return PlanWindow::OthersAtWork() || SpiderEditor() != nullptr; }

TimeTableWindow* OpenTimeTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow) {
    return OpenPlanWindow<TimeTableWindow>(context, dialogs, mainWindow);
}

}  // namespace tak::ui
