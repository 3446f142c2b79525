// The plan list of the timetable and stop table windows: the plans' names in
// list order with the buttons New, Delete, up and down. New asks for the
// name and hands it to the window, which makes the plan; the panel deletes
// (after asking) and moves plans itself, keeps its buttons enabled as the
// selection allows and tells the window which plan to show.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "base/Language.h"
#include "project/PlanList.h"

class QListWidget;
class QPushButton;

namespace tak::ui {

class Dialogs;

class PlanListPanel : public QWidget {
    Q_OBJECT

public:
    struct Texts {
        QString newCaption;          // the new button's caption
        const char* nameQuestion;    // key of the prompt for a new plan's name
        const char* deleteQuestion;  // key of the question before a plan is deleted
    };

    // The questions are titled as `window` is.
    PlanListPanel(PlanList plans, const LanguageTable& language, Dialogs& dialogs, const Texts& texts, QWidget* window);

    // The selected plan's index; none while no plan is selected.
    std::optional<std::size_t> Selected() const;
    // The selected plan of `plans` (the list the panel shows), or null.
    template <typename Plan>
    Plan* SelectedIn(std::vector<Plan>& plans) const {
        std::optional<std::size_t> index = Selected();
        return index && *index < plans.size() ? &plans[*index] : nullptr;
    }

    // Lists the plans anew and selects the one at `index` (none when there
    // is no such plan); emits Chosen.
    void Select(std::optional<std::size_t> index);
    // Shows the selected plan's name again after it changed.
    void ShowSelectedName();

signals:
    // Another plan, or none, is selected: the window shows it.
    void Chosen();
    // The user named a new plan: the window appends it and selects it.
    void NewPlanNamed(const std::string& name);
    // A plan was deleted or moved.
    void Changed();

private:
    void OnNew();
    void OnDelete();
    void OnMove(int step);
    void SetEnabledStates();
    QString RowText(std::size_t index) const;

    PlanList plans_;
    const LanguageTable& language_;
    Dialogs& dialogs_;
    Texts texts_;
    QWidget* window_;
    bool filling_ = false;
    QListWidget* list_ = nullptr;
    QPushButton* newButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
};

}  // namespace tak::ui
