// The day rows panel shared by the plan windows: one table per day row, each
// row a name and the kinds of day it covers (ten check boxes). It edits the
// host plan's rows in place and reports every change.
#pragma once

#include <QGroupBox>
#include <array>
#include <functional>
#include <vector>

#include "base/Language.h"
#include "project/Project.h"

class QCheckBox;
class QListWidget;
class QPushButton;

namespace tak::ui {

// Finds the rows a panel edits, asked afresh at each use: the host looks its
// plan up by key, so the panel never keeps an address into a list of plans
// that may have moved since (a vector moves its elements when it grows).
using DayRowsLookup = std::function<std::vector<TableDay>*()>;

class Dialogs;

// The kinds of day a row can pick: bits 0-9 of its days.
inline constexpr int kDayBoxCount = 10;

class TableDayPanel : public QGroupBox {
    Q_OBJECT

public:
    // `questionTitle` titles the name question of "New".
    TableDayPanel(const LanguageTable& language, Dialogs& dialogs, QString questionTitle, QWidget* parent);

    // Shows the rows `lookup` finds and edits them from now on; an empty
    // lookup, or one that finds nothing, disables the panel.
    void Show(DayRowsLookup lookup);

signals:
    void Changed();

private:
    void OnNew();
    void OnDelete();
    void OnMove(int step);
    void OnRowSelected();
    void OnDayBoxToggled();
    void SetEnabledStates();
    int SelectedRow() const;

    const LanguageTable& language_;
    Dialogs& dialogs_;
    QString questionTitle_;
    // The rows as the host finds them now; null when it shows no plan.
    std::vector<TableDay>* Rows() const { return rowsOf_ ? rowsOf_() : nullptr; }

    DayRowsLookup rowsOf_;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits

    QPushButton* newButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
    QListWidget* rowList_ = nullptr;
    std::array<QCheckBox*, kDayBoxCount> dayBoxes_{};
};

}  // namespace tak::ui
