#include "ui/PlanListPanel.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "ui/WindowEx.h"

namespace tak::ui {

PlanListPanel::PlanListPanel(PlanList plans, const LanguageTable& language, Dialogs& dialogs, const Texts& texts,
                             QWidget* window)
    : QWidget(window),
      plans_(std::move(plans)),
      language_(language),
      dialogs_(dialogs),
      texts_(texts),
      window_(window) {
    setObjectName("planListPanel");
    list_ = new QListWidget(this);
    list_->setObjectName("planList");
    newButton_ = NewButton(this, "newPlanButton", texts_.newCaption);
    deleteButton_ = NewButton(this, "deletePlanButton", LangText(language, "Delete"));
    upButton_ = NewArrowButton(this, "planUpButton", kUpArrow);
    downButton_ = NewArrowButton(this, "planDownButton", kDownArrow);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {newButton_, deleteButton_, upButton_, downButton_}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(list_, &QListWidget::currentRowChanged, this, [this] {
        if (filling_) return;
        SetEnabledStates();
        emit Chosen();
    });
    connect(newButton_, &QPushButton::clicked, this, &PlanListPanel::OnNew);
    connect(deleteButton_, &QPushButton::clicked, this, &PlanListPanel::OnDelete);
    connect(upButton_, &QPushButton::clicked, this, [this] { OnMove(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { OnMove(1); });
}

std::optional<std::size_t> PlanListPanel::Selected() const {
    int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= plans_.Count()) return std::nullopt;
    return static_cast<std::size_t>(row);
}

QString PlanListPanel::RowText(std::size_t index) const {
    return FromUtf8(PlanListText(plans_.Name(index), language_));
}

void PlanListPanel::Select(std::optional<std::size_t> index) {
    filling_ = true;
    list_->clear();
    for (std::size_t i = 0; i < plans_.Count(); ++i) list_->addItem(RowText(i));
    list_->setCurrentRow(index && *index < plans_.Count() ? static_cast<int>(*index) : -1);
    filling_ = false;
    SetEnabledStates();
    emit Chosen();
}

void PlanListPanel::ShowSelectedName() {
    if (std::optional<std::size_t> index = Selected()) list_->item(static_cast<int>(*index))->setText(RowText(*index));
}

void PlanListPanel::SetEnabledStates() {
    std::optional<std::size_t> index = Selected();
    deleteButton_->setEnabled(index.has_value());
    upButton_->setEnabled(index && *index > 0);
    downButton_->setEnabled(index && *index + 1 < plans_.Count());
}

// No answer, no plan.
void PlanListPanel::OnNew() {
    QString name = dialogs_.InputText(window_, window_->windowTitle(), LangLabel(language_, texts_.nameQuestion));
    if (name.isEmpty()) return;
    emit NewPlanNamed(ToUtf8(name.left(kMaxFieldLength)));
}

void PlanListPanel::OnDelete() {
    std::optional<std::size_t> index = Selected();
    if (!index) return;
    if (!dialogs_.AskYesNo(window_, window_->windowTitle(), LangText(language_, texts_.deleteQuestion))) return;
    Select(plans_.Remove(*index));
    emit Changed();
}

void PlanListPanel::OnMove(int step) {
    std::optional<std::size_t> index = Selected();
    if (!index) return;
    std::optional<std::size_t> moved = plans_.Move(*index, step);
    if (!moved) return;
    Select(moved);
    emit Changed();
}

}  // namespace tak::ui
