#include "ui/TourPlan.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "app/AppContext.h"
#include "ui/PlanStop.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

const PlanWindow::Frame kFrame = {"tourPlanWindow", "WinTourPlan", "TPModified", {650, 510}};
constexpr int kLineRole = Qt::UserRole;  // a line item's index into the map's lines

QListWidget* NewTripList(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
}

QTreeWidgetItem* TopOf(QTreeWidgetItem* item) {
    while (item != nullptr && item->parent() != nullptr) item = item->parent();
    return item;
}

}  // namespace

TourPlanWindow::TourPlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow)
    : PlanWindow(context, dialogs, mainWindow, kFrame), template_(NewTourPlanTemplate()) {
    Build();
}

void TourPlanWindow::CreateControls() {
    const LanguageTable& language = context_.language;
    lineTree_ = new QTreeWidget(this);
    lineTree_->setObjectName("lineTree");
    lineTree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lineTree_->setHeaderHidden(true);

    headlineField_ = NewField(this, "headlineField");
    hideEmptyBox_ = NewBox(this, "hideEmptyBox", LangText(language, "HideEmptyRows"));
    hideBridgeBox_ = NewBox(this, "hideBridgeBox", LangText(language, "HideRowsWithout"));
    displayLineBox_ = NewBox(this, "displayLineBox", LangText(language, "DispLineNumber"));
    displayIbisBox_ = NewBox(this, "displayIbisBox", LangText(language, "DispIbisRoute"));
    displayTargetBox_ = NewBox(this, "displayTargetBox", LangText(language, "DispManConTarget"));
    displayOutInsBox_ = NewBox(this, "displayOutInsBox", LangText(language, "DispOutInsMove"));
    displayPauseBox_ = NewBox(this, "displayPauseBox", LangText(language, "DispPauseTime"));
    pageBreakBox_ = NewBox(this, "pageBreakBox", LangText(language, "EveryTourNewPage"));

    CreateOutputOptions("AllTPInOne", &OutputOpt::tpAllInOne);

    outwardList_ = NewTripList(this, "outwardList");
    toReturnButton_ = NewArrowButton(this, "toReturnButton", ">");
    toOutwardButton_ = NewArrowButton(this, "toOutwardButton", "<");
    exchangeButton_ = NewArrowButton(this, "exchangeButton", "<>");
    tripUpButton_ = NewArrowButton(this, "tripUpButton", kUpArrow);
    tripDownButton_ = NewArrowButton(this, "tripDownButton", kDownArrow);
    returnList_ = NewTripList(this, "returnList");

    tripField_ = NewField(this, "tripField");
    tripField_->setReadOnly(true);
    notInServiceBox_ = NewBox(this, "notInServiceBox", LangText(language, "NotInService"));
    deactivateBox_ = NewBox(this, "deactivateBox", LangText(language, "Deactivate"));
    ibisField_ = NewField(this, "ibisField");
    targetField_ = NewField(this, "targetField");
    ringLineBox_ = NewBox(this, "ringLineBox", LangText(language, "RingLine"));
    automaticButton_ = NewButton(this, "automaticButton", LangText(language, "Automatic"));

    outwardStopsButton_ = new QRadioButton(LangText(language, "OutwardRun"), this);
    outwardStopsButton_->setObjectName("outwardStopsButton");
    outwardStopsButton_->setChecked(true);
    returnStopsButton_ = new QRadioButton(LangText(language, "ReturnRun"), this);
    returnStopsButton_->setObjectName("returnStopsButton");
    auto* group = new QButtonGroup(this);
    group->addButton(outwardStopsButton_);
    group->addButton(returnStopsButton_);
    stopPanel_ = new PlanStopPanel(language, this);
    CreateClosingButtons();
}

// The lines and tours on the left; the plan's texts and switches, the output
// options and the two trip lists with the selected trip's detail beside
// them; the stop rows of one direction across the width below; the buttons
// at the bottom.
void TourPlanWindow::PlaceControls() {
    const LanguageTable& language = context_.language;
    auto* headline = new QFormLayout;
    headline->addRow(LangLabel(language, "Headline"), headlineField_);
    auto* rowsFrame = new QGroupBox(LangLabel(language, "RowsInPlan"), this);
    auto* rows = new QGridLayout(rowsFrame);
    QCheckBox* switches[] = {hideEmptyBox_,     hideBridgeBox_,    displayLineBox_,  displayIbisBox_,
                             displayTargetBox_, displayOutInsBox_, displayPauseBox_, pageBreakBox_};
    for (int i = 0; i < 8; ++i) rows->addWidget(switches[i], i % 4, i / 4);
    auto* planColumn = new QVBoxLayout;
    planColumn->addLayout(headline);
    planColumn->addWidget(rowsFrame);

    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    for (QPushButton* button : {toReturnButton_, toOutwardButton_, exchangeButton_, tripUpButton_, tripDownButton_}) {
        arrows->addWidget(button);
    }
    arrows->addStretch(1);
    auto* outward = new QVBoxLayout;
    outward->addWidget(new QLabel(LangLabel(language, "OutwardRun"), this));
    outward->addWidget(outwardList_, 1);
    auto* returning = new QVBoxLayout;
    returning->addWidget(new QLabel(LangLabel(language, "ReturnRun"), this));
    returning->addWidget(returnList_, 1);
    auto* split = new QHBoxLayout;
    split->addWidget(ringLineBox_);
    split->addStretch(1);
    split->addWidget(automaticButton_);
    auto* detail = new QFormLayout;
    detail->addRow(tripField_);
    detail->addRow(notInServiceBox_, deactivateBox_);
    detail->addRow(LangLabel(language, "IbisRoute"), ibisField_);
    detail->addRow(LangLabel(language, "ManConTarget"), targetField_);
    auto* tripsFrame = new QGroupBox(LangText(language, "Trips"), this);
    auto* trips = new QGridLayout(tripsFrame);
    trips->addLayout(outward, 0, 0);
    trips->addLayout(arrows, 0, 1);
    trips->addLayout(returning, 0, 2);
    trips->addLayout(detail, 0, 3);
    trips->addLayout(split, 1, 0, 1, 3);
    trips->setColumnStretch(0, 2);
    trips->setColumnStretch(2, 2);
    trips->setColumnStretch(3, 3);

    auto* directionFrame = new QGroupBox(LangText(language, "OutwardStops"), this);
    auto* direction = new QVBoxLayout(directionFrame);
    direction->addWidget(outwardStopsButton_);
    direction->addWidget(returnStopsButton_);
    direction->addStretch(1);

    auto* grid = new QGridLayout;
    grid->addWidget(lineTree_, 0, 0, 2, 1);
    grid->addLayout(planColumn, 0, 1);
    grid->addLayout(OutputOptionsColumn(), 0, 2);
    grid->addWidget(tripsFrame, 1, 1, 1, 2);
    grid->addWidget(directionFrame, 2, 0);
    grid->addWidget(stopPanel_, 2, 1, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 1);
    PlaceAboveClosingButtons(grid);
}

void TourPlanWindow::ConnectControls() {
    connect(lineTree_, &QTreeWidget::itemChanged, this, &TourPlanWindow::OnTreeItemChanged);
    connect(lineTree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (showing_) return;
        const Line* line = LineOf(item);
        planLine_ = line ? line->name : std::string();
        ShowPlan();
    });
    EditsText(headlineField_, FieldOfShownPlan(this, &TourPlan::headline));
    const std::pair<QCheckBox*, bool TourPlan::*> switches[] = {
        {hideEmptyBox_, &TourPlan::hideEmpty},         {hideBridgeBox_, &TourPlan::hideBridge},
        {displayLineBox_, &TourPlan::displayLine},     {displayIbisBox_, &TourPlan::displayIbis},
        {displayTargetBox_, &TourPlan::displayTarget}, {displayOutInsBox_, &TourPlan::displayOutIns},
        {displayPauseBox_, &TourPlan::displayPause},   {pageBreakBox_, &TourPlan::pageBreak}};
    for (auto [box, field] : switches) EditsSwitch(box, FieldOfShownPlan(this, field));

    for (QListWidget* list : {outwardList_, returnList_}) {
        connect(list, &QListWidget::itemSelectionChanged, this, [this, list] { OnTripSelected(list); });
        connect(list, &QListWidget::currentItemChanged, this, [this, list] { OnTripSelected(list); });
    }
    connect(toReturnButton_, &QPushButton::clicked, this, [this] { OnMoveAcross(TripDirection::Return); });
    connect(toOutwardButton_, &QPushButton::clicked, this, [this] { OnMoveAcross(TripDirection::Outward); });
    connect(exchangeButton_, &QPushButton::clicked, this, &TourPlanWindow::OnExchange);
    connect(tripUpButton_, &QPushButton::clicked, this, [this] { OnShift(-1); });
    connect(tripDownButton_, &QPushButton::clicked, this, [this] { OnShift(1); });
    connect(ringLineBox_, &QCheckBox::toggled, this, &TourPlanWindow::OnRingLineToggled);
    connect(automaticButton_, &QPushButton::clicked, this, &TourPlanWindow::OnAutomatic);
    // The two boxes set every chosen trip; the texts belong to the shown one.
    connect(notInServiceBox_, &QCheckBox::clicked, this,
            [this](bool on) { SetChosenTrips(&TourPlanTrip::notInService, on); });
    connect(deactivateBox_, &QCheckBox::clicked, this,
            [this](bool on) { SetChosenTrips(&TourPlanTrip::deactivate, on); });
    for (QLineEdit* field : {ibisField_, targetField_}) {
        connect(field, &QLineEdit::textEdited, this, &TourPlanWindow::OnDetailEdited);
    }

    connect(outwardStopsButton_, &QRadioButton::toggled, this, [this] {
        if (!showing_) ShowStops();
    });
    connect(stopPanel_, &PlanStopPanel::Changed, this, &TourPlanWindow::Touch);
}

void TourPlanWindow::ShowFirstPlan() {
    FillTree();
    ShowPlan();
}

// Lines at the first level, their tours below; a line is checked while it
// has an active plan, a tour while it is in that plan's tour set.
void TourPlanWindow::FillTree() {
    showing_ = true;
    lineTree_->clear();
    const auto& lines = context_.map->lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = *lines[i];
        auto found = context_.project.tourPlans.find(line.name);
        const TourPlan* plan =
            found != context_.project.tourPlans.end() && found->second.active ? &found->second : nullptr;
        auto* lineItem = new QTreeWidgetItem(lineTree_, {FromUtf8(line.name)});
        lineItem->setData(0, kLineRole, static_cast<int>(i));
        lineItem->setFlags(lineItem->flags() | Qt::ItemIsUserCheckable);
        int checkedTours = 0;
        for (const Tour& tour : line.tours) {
            auto* tourItem = new QTreeWidgetItem(lineItem, {FromUtf8(tour.name)});
            tourItem->setFlags(tourItem->flags() | Qt::ItemIsUserCheckable);
            bool checked = plan != nullptr && plan->tours.count(tour.name) > 0;
            checkedTours += checked ? 1 : 0;
            tourItem->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        }
        Qt::CheckState state = Qt::Unchecked;
        if (plan != nullptr) {
            state = checkedTours < static_cast<int>(line.tours.size()) && checkedTours > 0 ? Qt::PartiallyChecked
                                                                                           : Qt::Checked;
        }
        lineItem->setCheckState(0, state);
    }
    showing_ = false;
}

const Line* TourPlanWindow::LineOf(QTreeWidgetItem* item) const {
    QTreeWidgetItem* top = TopOf(item);
    if (top == nullptr) return nullptr;
    int index = top->data(0, kLineRole).toInt();
    const auto& lines = context_.map->lines;
    return index >= 0 && index < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(index)].get()
                                                                : nullptr;
}

TourPlan* TourPlanWindow::Plan() {
    if (planLine_.empty()) return nullptr;
    auto found = context_.project.tourPlans.find(planLine_);
    return found != context_.project.tourPlans.end() && found->second.active ? &found->second : nullptr;
}

// A line's box checks or clears all its tours; a tour's box makes the line
// checked, partly checked or unchecked. Then the line's plan follows.
void TourPlanWindow::OnTreeItemChanged(QTreeWidgetItem* item) {
    if (showing_) return;
    QTreeWidgetItem* top = TopOf(item);
    const Line* line = LineOf(top);
    if (line == nullptr) return;
    showing_ = true;
    if (item == top) {
        Qt::CheckState state = top->checkState(0) == Qt::Unchecked ? Qt::Unchecked : Qt::Checked;
        for (int i = 0; i < top->childCount(); ++i) top->child(i)->setCheckState(0, state);
    } else {
        // A box ticked among several chosen tours sets all of them.
        if (item->isSelected()) {
            for (int i = 0; i < top->childCount(); ++i) {
                if (top->child(i)->isSelected()) top->child(i)->setCheckState(0, item->checkState(0));
            }
        }
        int checked = 0;
        for (int i = 0; i < top->childCount(); ++i) checked += top->child(i)->checkState(0) == Qt::Checked ? 1 : 0;
        top->setCheckState(0, checked == 0                   ? Qt::Unchecked
                              : checked == top->childCount() ? Qt::Checked
                                                             : Qt::PartiallyChecked);
    }
    lineTree_->setCurrentItem(top, 0, QItemSelectionModel::NoUpdate);  // the chosen tours stay chosen
    showing_ = false;

    if (top->checkState(0) != Qt::Unchecked) {
        const TourPlan* shown = Plan();
        TourPlan& plan = ActivateTourPlan(context_.project, *line, shown ? *shown : template_);
        std::set<std::string> tours;
        for (int i = 0; i < top->childCount(); ++i) {
            if (top->child(i)->checkState(0) == Qt::Checked) tours.insert(ToUtf8(top->child(i)->text(0)));
        }
        SetTourPlanTours(plan, *line, tours);
        CollectTourPlanTrips(plan);
    } else if (auto found = context_.project.tourPlans.find(line->name); found != context_.project.tourPlans.end()) {
        found->second.active = false;  // kept in memory, neither shown nor saved
    }
    planLine_ = line->name;
    ShowPlan();
    Touch();
}

void TourPlanWindow::ShowPlan() {
    const TourPlan* plan = Plan();
    ShowEditedFields();
    showing_ = true;
    ringLineBox_->setChecked(plan && plan->returning.empty());
    showing_ = false;
    detailTrip_.clear();
    FillTripLists({});
    ShowStops();
    ShowDetail();
    SetEnabledStates();
}

// Each list shows the plan's trips of its direction in the plan's order.
void TourPlanWindow::FillTripLists(const std::set<std::string>& selected) {
    TourPlan* plan = Plan();
    showing_ = true;
    for (auto [list, direction] :
         {std::pair{outwardList_, TripDirection::Outward}, std::pair{returnList_, TripDirection::Return}}) {
        list->clear();
        if (plan == nullptr) continue;
        for (std::size_t index : TourPlanTripsOf(*plan, direction)) {
            QString name = FromUtf8(plan->trips[index].trip->name);
            auto* item = new QListWidgetItem(name, list);
            if (selected.count(plan->trips[index].trip->name)) {
                if (list->currentItem() == nullptr || !list->currentItem()->isSelected()) list->setCurrentItem(item);
                item->setSelected(true);
            }
        }
    }
    showing_ = false;
}

void TourPlanWindow::ShowStops() {
    TourPlan* plan = Plan();
    bool outward = outwardStopsButton_->isChecked();
    std::vector<const Trip*> trips;
    if (plan != nullptr) {
        for (std::size_t index : TourPlanTripsOf(*plan, outward ? TripDirection::Outward : TripDirection::Return)) {
            trips.push_back(plan->trips[index].trip);
        }
    }
    stopPanel_->Show([this, outward]() -> std::vector<PlanStop>* {
        TourPlan* now = Plan();
        if (now == nullptr) return nullptr;
        return outward ? &now->stopsOut : &now->stopsRet;
    });
    stopPanel_->SetCandidatesFrom(trips);
}

TourPlanTrip* TourPlanWindow::DetailEntry() {
    TourPlan* plan = Plan();
    if (plan == nullptr || detailTrip_.empty()) return nullptr;
    for (TourPlanTrip& entry : plan->trips) {
        if (entry.trip != nullptr && entry.trip->name == detailTrip_) return &entry;
    }
    return nullptr;
}

void TourPlanWindow::ShowDetail() {
    const TourPlanTrip* entry = DetailEntry();
    showing_ = true;
    SetFieldText(tripField_, entry ? FromUtf8(entry->trip->name) : QString());
    notInServiceBox_->setChecked(entry && entry->notInService);
    deactivateBox_->setChecked(entry && entry->deactivate);
    SetFieldText(ibisField_, entry ? FromUtf8(entry->ibis) : QString());
    SetFieldText(targetField_, entry ? FromUtf8(entry->target) : QString());
    showing_ = false;
    for (QWidget* control :
         std::initializer_list<QWidget*>{tripField_, notInServiceBox_, deactivateBox_, ibisField_, targetField_}) {
        control->setEnabled(entry != nullptr);
    }
}

// The detail's edits go into the shown trip's entry at once, so that no
// later action (a move, "Automatic", a save) can miss them.
void TourPlanWindow::OnDetailEdited() {
    TourPlanTrip* entry = DetailEntry();
    if (showing_ || entry == nullptr) return;
    entry->ibis = ToUtf8(ibisField_->text());
    entry->target = ToUtf8(targetField_->text());
    Touch();
}

void TourPlanWindow::SetChosenTrips(bool TourPlanTrip::*flag, bool on) {
    TourPlan* plan = Plan();
    if (showing_ || plan == nullptr) return;
    std::set<std::string> names = SelectedNames(outwardList_);
    names.merge(SelectedNames(returnList_));
    names.insert(detailTrip_);
    for (TourPlanTrip& entry : plan->trips) {
        if (entry.trip != nullptr && names.count(entry.trip->name)) entry.*flag = on;
    }
    Touch();
}

void TourPlanWindow::SetEnabledStates() {
    bool shown = Plan() != nullptr;
    for (QWidget* control : std::initializer_list<QWidget*>{
             headlineField_, hideEmptyBox_, hideBridgeBox_, displayLineBox_, displayIbisBox_, displayTargetBox_,
             displayOutInsBox_, displayPauseBox_, pageBreakBox_, outwardList_, returnList_, ringLineBox_,
             automaticButton_, exchangeButton_, outwardStopsButton_, returnStopsButton_}) {
        control->setEnabled(shown);
    }
    bool outwardChosen = !outwardList_->selectedItems().isEmpty();
    bool returnChosen = !returnList_->selectedItems().isEmpty();
    toReturnButton_->setEnabled(shown && outwardChosen);
    toOutwardButton_->setEnabled(shown && returnChosen);
    QListWidget* chosenList = outwardChosen ? outwardList_ : returnList_;
    tripUpButton_->setEnabled(shown && SelectionCanMove(chosenList, -1));
    tripDownButton_->setEnabled(shown && SelectionCanMove(chosenList, 1));
}

// Choosing in one list clears the other; the detail shows the list's
// current trip, or its first chosen one.
void TourPlanWindow::OnTripSelected(QListWidget* list) {
    if (showing_) return;
    QList<QListWidgetItem*> chosen = list->selectedItems();
    if (!chosen.isEmpty()) {
        showing_ = true;
        (list == outwardList_ ? returnList_ : outwardList_)->clearSelection();
        showing_ = false;
        QListWidgetItem* current = list->currentItem();
        detailTrip_ = ToUtf8(current != nullptr && current->isSelected() ? current->text() : chosen.front()->text());
    } else if (outwardList_->selectedItems().isEmpty() && returnList_->selectedItems().isEmpty()) {
        detailTrip_.clear();
    }
    ShowDetail();
    SetEnabledStates();
}

std::set<std::string> TourPlanWindow::SelectedNames(QListWidget* list) const {
    std::set<std::string> names;
    for (QListWidgetItem* item : list->selectedItems()) names.insert(ToUtf8(item->text()));
    return names;
}

void TourPlanWindow::OnMoveAcross(TripDirection to) {
    TourPlan* plan = Plan();
    std::set<std::string> names = SelectedNames(to == TripDirection::Return ? outwardList_ : returnList_);
    if (plan == nullptr || names.empty()) return;
    MoveTourPlanTrips(*plan, names, to);
    AfterTripsChanged(names);
}

void TourPlanWindow::OnExchange() {
    TourPlan* plan = Plan();
    if (plan == nullptr) return;
    std::set<std::string> names = SelectedNames(outwardList_);
    names.merge(SelectedNames(returnList_));
    ExchangeTourPlanDirections(*plan);
    AfterTripsChanged(names);
}

void TourPlanWindow::OnShift(int step) {
    TourPlan* plan = Plan();
    bool outward = !outwardList_->selectedItems().isEmpty();
    std::set<std::string> names = SelectedNames(outward ? outwardList_ : returnList_);
    if (plan == nullptr || names.empty()) return;
    ShiftTourPlanTrips(*plan, outward ? TripDirection::Outward : TripDirection::Return, names, step);
    AfterTripsChanged(names);
}

void TourPlanWindow::OnRingLineToggled(bool on) {
    TourPlan* plan = Plan();
    if (showing_ || plan == nullptr || !on) return;
    MakeRingLine(*plan);
    showing_ = true;
    outwardStopsButton_->setChecked(true);
    showing_ = false;
    AfterTripsChanged(SelectedNames(outwardList_));
}

void TourPlanWindow::OnAutomatic() {
    TourPlan* plan = Plan();
    if (plan == nullptr) return;
    SplitTourPlanAutomatically(*plan);
    AfterTripsChanged({});
}

// The lists, the ring line box, the stop candidates and the detail follow
// the plan's trips; the moved trips stay chosen.
void TourPlanWindow::AfterTripsChanged(const std::set<std::string>& selected) {
    TourPlan* plan = Plan();
    FillTripLists(selected);
    showing_ = true;
    ringLineBox_->setChecked(plan != nullptr && plan->returning.empty());
    showing_ = false;
    if (!selected.count(detailTrip_)) detailTrip_.clear();
    ShowStops();
    ShowDetail();
    SetEnabledStates();
    Touch();
}

}  // namespace tak::ui
