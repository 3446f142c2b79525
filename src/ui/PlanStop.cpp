#include "ui/PlanStop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "project/PlanEditing.h"
#include "ui/WindowEx.h"

namespace tak::ui {

PlanStopPanel::PlanStopPanel(const LanguageTable& language, QWidget* parent)
    : QGroupBox(LangText(language, "Stops"), parent) {
    setObjectName("planStopPanel");
    candidateList_ = new QComboBox(this);
    candidateList_->setObjectName("candidateList");
    candidateList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    candidateList_->setMinimumContentsLength(16);
    addButton_ = NewButton(this, "stopAddButton", LangText(language, "Add"));
    addAllButton_ = NewButton(this, "stopAddAllButton", LangText(language, "AddAll"));
    rowList_ = new QListWidget(this);
    rowList_->setObjectName("stopRowList");
    // Shift and Ctrl pick several rows; the option boxes then set all of them.
    rowList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    nameField_ = new QLineEdit(this);
    nameField_->setObjectName("stopNameField");
    nameField_->setMaxLength(kMaxFieldLength);
    idField_ = new QLineEdit(this);
    idField_->setObjectName("stopIdField");
    idField_->setReadOnly(true);
    arrivalBox_ = new QCheckBox(LangText(language, "Arrival"), this);
    arrivalBox_->setObjectName("arrivalBox");
    departureBox_ = new QCheckBox(LangText(language, "Departure"), this);
    departureBox_->setObjectName("departureBox");
    mergeBox_ = new QCheckBox(LangText(language, "MergeStops"), this);
    mergeBox_->setObjectName("mergeStopsBox");
    upButton_ = NewArrowButton(this, "stopUpButton", kUpArrow);
    downButton_ = NewArrowButton(this, "stopDownButton", kDownArrow);
    deleteButton_ = NewButton(this, "stopDeleteButton", LangText(language, "Delete"));

    // Left: the candidates and the rows; right: the selected row.
    auto* pick = new QHBoxLayout;
    pick->addWidget(candidateList_, 1);
    pick->addWidget(addButton_);
    pick->addWidget(addAllButton_);
    auto* left = new QVBoxLayout;
    left->addLayout(pick);
    left->addWidget(rowList_, 1);
    auto* fields = new QFormLayout;
    fields->addRow(LangLabel(language, "Name"), nameField_);
    fields->addRow(LangLabel(language, "ID"), idField_);
    auto* moves = new QHBoxLayout;
    for (QPushButton* button : {upButton_, downButton_, deleteButton_}) moves->addWidget(button);
    auto* right = new QVBoxLayout;
    right->addLayout(fields);
    for (QCheckBox* box : {arrivalBox_, departureBox_, mergeBox_}) right->addWidget(box);
    right->addLayout(moves);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addLayout(right, 2);

    connect(addButton_, &QPushButton::clicked, this, &PlanStopPanel::OnAdd);
    connect(addAllButton_, &QPushButton::clicked, this, &PlanStopPanel::OnAddAll);
    connect(deleteButton_, &QPushButton::clicked, this, &PlanStopPanel::OnDelete);
    connect(upButton_, &QPushButton::clicked, this, [this] { OnMove(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { OnMove(1); });
    connect(rowList_, &QListWidget::currentRowChanged, this, &PlanStopPanel::OnRowSelected);
    connect(nameField_, &QLineEdit::textEdited, this, &PlanStopPanel::OnNameEdited);
    connect(rowList_, &QListWidget::itemSelectionChanged, this, &PlanStopPanel::SetEnabledStates);
    // A click is the user's choice for every selected row; a box filled
    // from the current row sends no click.
    connect(arrivalBox_, &QCheckBox::clicked, this, [this](bool on) { ApplyFlag(kRowArrival, on); });
    connect(departureBox_, &QCheckBox::clicked, this, [this](bool on) { ApplyFlag(kRowDeparture, on); });
    connect(mergeBox_, &QCheckBox::clicked, this, [this](bool on) { ApplyFlag(kRowMerged, on); });
    Show({});
}

void PlanStopPanel::Show(StopRowsLookup lookup) {
    rowsOf_ = std::move(lookup);
    std::vector<PlanStop>* rows = Rows();
    setEnabled(rows != nullptr);
    FillRowList(-1);
}

void PlanStopPanel::SetCandidatesFrom(const std::vector<const Trip*>& trips) {
    trips_ = trips;
    candidates_ = MergeStopCandidates(trips);
    candidateList_->clear();
    for (const TripStation* station : candidates_) {
        candidateList_->addItem(FromUtf8(StopRowText(station->name, station->id)));
    }
    SetEnabledStates();
}

void PlanStopPanel::FillRowList(int selected) {
    showing_ = true;
    rowList_->clear();
    if (const std::vector<PlanStop>* rows = Rows()) {
        for (const PlanStop& row : *rows) rowList_->addItem(FromUtf8(StopRowText(row)));
    }
    rowList_->setCurrentRow(selected);
    showing_ = false;
    OnRowSelected();
}

int PlanStopPanel::SelectedRow() const {
    const std::vector<PlanStop>* rows = Rows();
    int row = rowList_->currentRow();
    return rows != nullptr && row >= 0 && row < static_cast<int>(rows->size()) ? row : -1;
}

// The selected rows in list order; the current row alone when the list has
// no selection.
std::vector<int> PlanStopPanel::SelectedRows() const {
    std::vector<int> selected;
    const std::vector<PlanStop>* rows = Rows();
    if (rows == nullptr) return selected;
    for (int i = 0; i < rowList_->count() && i < static_cast<int>(rows->size()); ++i) {
        if (rowList_->item(i)->isSelected()) selected.push_back(i);
    }
    if (selected.empty() && SelectedRow() >= 0) selected.push_back(SelectedRow());
    return selected;
}

PlanStop* PlanStopPanel::Selected() {
    int row = SelectedRow();
    return row >= 0 ? &(*Rows())[static_cast<std::size_t>(row)] : nullptr;
}

void PlanStopPanel::OnAdd() {
    std::vector<PlanStop>* rows = Rows();
    int candidate = candidateList_->currentIndex();
    if (rows == nullptr || candidate < 0 || candidate >= static_cast<int>(candidates_.size())) return;
    const TripStation* station = candidates_[static_cast<std::size_t>(candidate)];
    int row = SelectedRow();
    int place = row >= 0 ? row + 1 : static_cast<int>(rows->size());
    rows->insert(rows->begin() + place, PlanStop{station, station->name, NewStopRowFlags(station->id, trips_)});
    FillRowList(place);
    // The next press adds the next stop of the line.
    if (candidate + 1 < candidateList_->count()) candidateList_->setCurrentIndex(candidate + 1);
    emit Changed();
}

void PlanStopPanel::OnAddAll() {
    std::vector<PlanStop>* rows = Rows();
    if (rows == nullptr || AddAllStopRows(*rows, candidates_, trips_) == 0) return;
    FillRowList(SelectedRow());
    emit Changed();
}

void PlanStopPanel::OnDelete() {
    std::vector<int> selected = SelectedRows();
    if (selected.empty()) return;
    std::vector<PlanStop>& rows = *Rows();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) rows.erase(rows.begin() + *it);
    FillRowList(std::min(selected.front(), static_cast<int>(rows.size()) - 1));
    emit Changed();
}

void PlanStopPanel::OnMove(int step) {
    int row = SelectedRow();
    int other = row + step;
    if (row < 0 || other < 0 || other >= static_cast<int>(Rows()->size())) return;
    std::vector<PlanStop>& rows = *Rows();
    std::swap(rows[static_cast<std::size_t>(row)], rows[static_cast<std::size_t>(other)]);
    FillRowList(other);
    emit Changed();
}

void PlanStopPanel::OnRowSelected() {
    if (showing_) return;
    const PlanStop* row = Selected();
    showing_ = true;
    nameField_->setText(row ? FromUtf8(row->name) : QString());
    idField_->setText(row && row->station ? QString::number(row->station->id) : QString());
    int flags = row ? row->flags : 0;
    arrivalBox_->setChecked(flags & kRowArrival);
    departureBox_->setChecked(flags & kRowDeparture);
    mergeBox_->setChecked(flags & kRowMerged);
    showing_ = false;
    SetEnabledStates();
}

void PlanStopPanel::OnNameEdited(const QString& text) {
    PlanStop* row = Selected();
    if (showing_ || row == nullptr) return;
    row->name = ToUtf8(text);
    rowList_->currentItem()->setText(FromUtf8(StopRowText(*row)));
    emit Changed();
}

// Sets or clears one option in every selected row. The first row has no
// row above to merge with and keeps its own.
void PlanStopPanel::ApplyFlag(int32_t flag, bool on) {
    if (showing_) return;
    bool changed = false;
    for (int index : SelectedRows()) {
        if (flag == kRowMerged && index == 0) continue;
        PlanStop& row = (*Rows())[static_cast<std::size_t>(index)];
        int32_t flags = on ? (row.flags | flag) : (row.flags & ~flag);
        changed = changed || flags != row.flags;
        row.flags = flags;
    }
    SetEnabledStates();
    if (changed) emit Changed();
}

// A merged row prints in the slots of the row above, so its own name and
// times do not apply; the first row has nothing to merge with.
void PlanStopPanel::SetEnabledStates() {
    const std::vector<PlanStop>* rows = Rows();
    bool shown = rows != nullptr;
    int row = SelectedRow();
    int count = shown ? static_cast<int>(rows->size()) : 0;
    addButton_->setEnabled(shown && candidateList_->currentIndex() >= 0);
    addAllButton_->setEnabled(shown && !candidates_.empty());
    bool merged = row >= 0 && mergeBox_->isChecked();
    std::vector<int> selected = SelectedRows();
    mergeBox_->setEnabled(!selected.empty() && selected.back() > 0);
    arrivalBox_->setEnabled(row >= 0 && !merged);
    departureBox_->setEnabled(row >= 0 && !merged);
    nameField_->setEnabled(row >= 0 && !merged);
    idField_->setEnabled(row >= 0);
    upButton_->setEnabled(row > 0);
    downButton_->setEnabled(row >= 0 && row + 1 < count);
    deleteButton_->setEnabled(row >= 0);
}

}  // namespace tak::ui
