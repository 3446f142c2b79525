// The stop table plan window: edits the project's stop tables in memory (the
// stops a table is for, the trips it lists with their same-way references and
// footnotes, its texts, switches and day rows) and saves the whole project on
// OK or Apply. Leaving without saving reloads the project file, which
// discards unsaved changes of every plan kind.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "project/Project.h"
#include "ui/PlanWindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class GlobalOptPanel;
class RouteSpiderWindow;
class SpiderChooserPanel;
class TableDayPanel;

class StopTableWindow : public PlanWindow {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    StopTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

    StopTableWindow(const StopTableWindow&) = delete;
    StopTableWindow& operator=(const StopTableWindow&) = delete;

    RouteSpiderWindow* SpiderEditor() const;

private:
    // The spider editor works on the plans too.
    bool OthersAtWork() const override;

    void CreateControls();
    void PlaceControls();
    void ConnectControls();
    void FillPlanList(int selected);
    void ShowPlan();
    void FillStopList();
    void FillTripTree();
    void ShowTripEntry();
    void SetEnabledStates();
    StopTable* Plan();
    // Finds that field of the selected plan at each call, for the panels.
    template <typename Field>
    std::function<Field*()> FieldOfShownPlan(Field StopTable::*field) {
        return [this, field]() -> Field* {
            StopTable* plan = Plan();
            return plan != nullptr ? &(plan->*field) : nullptr;
        };
    }
    int SelectedPlan() const;
    StopTableTrip* SelectedEntry();
    QString ShownName(const StopTable& table) const;

    void OnNewPlan();
    void OnDeletePlan();
    void OnMovePlan(int step);
    void OnNameEdited(const QString& text);
    void OnSwitchToggled();
    void OnSameInOneToggled(bool on);
    void OnAddStop();
    void OnDeleteStop();
    void OnTripItemChanged(QTreeWidgetItem* item);
    void OnSameWayChosen(int index);
    void OnTripTextsEdited();

    StopTable template_;
    std::vector<const TripStation*> stopChoices_;
    std::vector<const Trip*> tripsByLine_;

    QListWidget* planList_ = nullptr;
    QPushButton* newPlanButton_ = nullptr;
    QPushButton* deletePlanButton_ = nullptr;
    QPushButton* planUpButton_ = nullptr;
    QPushButton* planDownButton_ = nullptr;
    GlobalOptPanel* globalOpt_ = nullptr;
    QCheckBox* allInOneBox_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* headlineField_ = nullptr;
    QCheckBox* sameInOneBox_ = nullptr;
    QComboBox* breakHourList_ = nullptr;
    SpiderChooserPanel* spiderChooser_ = nullptr;
    QCheckBox* mergeRowBox_ = nullptr;
    QComboBox* stopChooser_ = nullptr;
    QPushButton* addStopButton_ = nullptr;
    QPushButton* deleteStopButton_ = nullptr;
    QListWidget* stopList_ = nullptr;
    TableDayPanel* dayPanel_ = nullptr;
    QTreeWidget* tripTree_ = nullptr;
    QComboBox* sameWayList_ = nullptr;
    QCheckBox* alternativeBox_ = nullptr;
    QLineEdit* footnoteField_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* createOutputButton_ = nullptr;
};

// Opens the window (it deletes itself once closed) and returns it.
StopTableWindow* OpenStopTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

}  // namespace tak::ui
