#include "ui/TableDay.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

// Week days in the first line of boxes, the other kinds in the second.
constexpr int kBoxesPerLine = 5;

}  // namespace

TableDayPanel::TableDayPanel(const LanguageTable& language, Dialogs& dialogs, QString questionTitle,
                             QWidget* parent)
    : QGroupBox(LangText(language, "Days"), parent),
      language_(language),
      dialogs_(dialogs),
      questionTitle_(std::move(questionTitle)) {
    setObjectName("tableDayPanel");
    newButton_ = NewButton(this, "dayNewButton", LangText(language, "New") + "...");
    deleteButton_ = NewButton(this, "dayDeleteButton", LangText(language, "Delete"));
    upButton_ = NewArrowButton(this, "dayUpButton", kUpArrow);
    downButton_ = NewArrowButton(this, "dayDownButton", kDownArrow);
    rowList_ = new QListWidget(this);
    rowList_->setObjectName("dayList");
    auto* boxes = new QGridLayout;
    for (int i = 0; i < kDayBoxCount; ++i) {
        auto* box = new QCheckBox(LangText(language, "ShortDay" + std::to_string(i)), this);
        box->setObjectName(QString("dayBox%1").arg(i));
        dayBoxes_[static_cast<std::size_t>(i)] = box;
        boxes->addWidget(box, i / kBoxesPerLine, i % kBoxesPerLine);
        connect(box, &QCheckBox::toggled, this, &TableDayPanel::OnDayBoxToggled);
    }

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {newButton_, deleteButton_, upButton_, downButton_}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(rowList_, 1);
    layout->addLayout(boxes);

    connect(newButton_, &QPushButton::clicked, this, &TableDayPanel::OnNew);
    connect(deleteButton_, &QPushButton::clicked, this, &TableDayPanel::OnDelete);
    connect(upButton_, &QPushButton::clicked, this, [this] { OnMove(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { OnMove(1); });
    connect(rowList_, &QListWidget::currentRowChanged, this, &TableDayPanel::OnRowSelected);
    Show({});
}

void TableDayPanel::Show(DayRowsLookup lookup) {
    rowsOf_ = std::move(lookup);
    std::vector<TableDay>* rows = Rows();
    showing_ = true;
    rowList_->clear();
    if (rows != nullptr) {
        for (const TableDay& row : *rows) rowList_->addItem(FromUtf8(row.name));
    }
    showing_ = false;
    setEnabled(rows != nullptr);
    OnRowSelected();
}

int TableDayPanel::SelectedRow() const {
    const std::vector<TableDay>* rows = Rows();
    int row = rowList_->currentRow();
    return rows != nullptr && row >= 0 && row < static_cast<int>(rows->size()) ? row : -1;
}

void TableDayPanel::OnNew() {
    if (Rows() == nullptr) return;
    QString name = dialogs_.InputText(this, questionTitle_, LangLabel(language_, "InputDayName"));
    // Looked up again: the plans may have changed while the question was open.
    std::vector<TableDay>* rows = Rows();
    if (name.isEmpty() || rows == nullptr) return;
    rows->push_back({ToUtf8(name.left(kMaxFieldLength)), 0});
    rowList_->addItem(name.left(kMaxFieldLength));
    rowList_->setCurrentRow(rowList_->count() - 1);
    emit Changed();
}

void TableDayPanel::OnDelete() {
    int row = SelectedRow();
    if (row < 0) return;
    std::vector<TableDay>& rows = *Rows();
    rows.erase(rows.begin() + row);
    showing_ = true;
    delete rowList_->takeItem(row);
    showing_ = false;
    OnRowSelected();
    emit Changed();
}

void TableDayPanel::OnMove(int step) {
    int row = SelectedRow();
    int other = row + step;
    if (row < 0 || other < 0 || other >= static_cast<int>(Rows()->size())) return;
    std::vector<TableDay>& rows = *Rows();
    std::swap(rows[static_cast<std::size_t>(row)], rows[static_cast<std::size_t>(other)]);
    rowList_->item(row)->setText(FromUtf8(rows[static_cast<std::size_t>(row)].name));
    rowList_->item(other)->setText(FromUtf8(rows[static_cast<std::size_t>(other)].name));
    rowList_->setCurrentRow(other);
    emit Changed();
}

void TableDayPanel::OnRowSelected() {
    if (showing_) return;
    int row = SelectedRow();
    ServiceDays days = row >= 0 ? (*Rows())[static_cast<std::size_t>(row)].days : 0;
    showing_ = true;
    for (int i = 0; i < kDayBoxCount; ++i) dayBoxes_[static_cast<std::size_t>(i)]->setChecked((days >> i) & 1U);
    showing_ = false;
    SetEnabledStates();
}

void TableDayPanel::OnDayBoxToggled() {
    int row = SelectedRow();
    if (showing_ || row < 0) return;
    ServiceDays days = 0;
    for (int i = 0; i < kDayBoxCount; ++i) {
        if (dayBoxes_[static_cast<std::size_t>(i)]->isChecked()) days |= ServiceDays{1} << i;
    }
    (*Rows())[static_cast<std::size_t>(row)].days = days;
    emit Changed();
}

void TableDayPanel::SetEnabledStates() {
    const std::vector<TableDay>* rows = Rows();
    int row = SelectedRow();
    int count = rows != nullptr ? static_cast<int>(rows->size()) : 0;
    deleteButton_->setEnabled(row >= 0);
    upButton_->setEnabled(row > 0);
    downButton_->setEnabled(row >= 0 && row + 1 < count);
    for (QCheckBox* box : dayBoxes_) box->setEnabled(row >= 0);
}

}  // namespace tak::ui
