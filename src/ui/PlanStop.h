// The stop rows panel shared by the plan windows: the rows a table prints,
// picked from the stations of the plan's trips (merged into one sequence of
// candidates), each with a printed name and its row options. It edits the
// host plan's rows in place and reports every change.
#pragma once

#include <QGroupBox>
#include <functional>
#include <vector>

#include "base/Language.h"
#include "project/Project.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tak::ui {

// Finds the rows a panel edits, asked afresh at each use: the host looks its
// plan up by key, so the panel never keeps an address into a list of plans
// that may have moved since (a vector moves its elements when it grows).
using StopRowsLookup = std::function<std::vector<PlanStop>*()>;

class PlanStopPanel : public QGroupBox {
    Q_OBJECT

public:
    PlanStopPanel(const LanguageTable& language, QWidget* parent);

    // Shows the rows `lookup` finds and edits them from now on; an empty
    // lookup, or one that finds nothing, disables the panel.
    void Show(StopRowsLookup lookup);
    // Offers the stations of `trips` as candidates (after the host's trips changed).
    void SetCandidatesFrom(const std::vector<const Trip*>& trips);

signals:
    void Changed();

private:
    void OnAdd();
    void OnAddAll();
    void OnDelete();
    void OnMove(int step);
    void OnRowSelected();
    void OnNameEdited(const QString& text);
    void FillRowList(int selected);
    void SetEnabledStates();
    void ApplyFlag(int32_t flag, bool on);
    int SelectedRow() const;
    std::vector<int> SelectedRows() const;
    PlanStop* Selected();

    // The rows as the host finds them now; null when it shows no plan.
    std::vector<PlanStop>* Rows() const { return rowsOf_ ? rowsOf_() : nullptr; }

    StopRowsLookup rowsOf_;
    std::vector<const Trip*> trips_;  // the candidates' trips, which give new rows their options
    std::vector<const TripStation*> candidates_;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits

    QComboBox* candidateList_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* addAllButton_ = nullptr;
    QListWidget* rowList_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* idField_ = nullptr;
    QCheckBox* arrivalBox_ = nullptr;
    QCheckBox* departureBox_ = nullptr;
    QCheckBox* mergeBox_ = nullptr;
};

}  // namespace tak::ui
