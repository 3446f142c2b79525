// The tour plan window: edits the project's tour plans in memory (which tours
// of a line get driver plans, the plan's switches, the split of its trips
// into outward and return runs with per-trip texts, and the stop rows of each
// direction) and saves the whole project on OK or Apply. Leaving without
// saving reloads the project file, which discards unsaved changes of every
// plan kind.
#pragma once

#include <set>
#include <string>

#include "project/Project.h"
#include "project/TourPlanEditing.h"
#include "ui/PlanWindow.h"

class QListWidget;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tak::ui {

class PlanStopPanel;

class TourPlanWindow : public PlanWindow {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    TourPlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

    // The plan the window shows, null while none.
    TourPlan* Plan();

private:
    void CreateControls() override;
    void PlaceControls() override;
    void ConnectControls() override;
    void ShowFirstPlan() override;
    void FillTree();
    void ShowPlan();
    void FillTripLists(const std::set<std::string>& selected);
    void ShowStops();
    void ShowDetail();
    void SetEnabledStates();
    // Sets a switch of every chosen trip's entry.
    void SetChosenTrips(bool TourPlanTrip::*flag, bool on);
    const Line* LineOf(QTreeWidgetItem* item) const;

    void OnTreeItemChanged(QTreeWidgetItem* item);
    void OnTripSelected(QListWidget* list);
    void OnDetailEdited();
    TourPlanTrip* DetailEntry();
    void OnRingLineToggled(bool on);
    void OnAutomatic();
    void OnMoveAcross(TripDirection to);
    void OnExchange();
    void OnShift(int step);
    void AfterTripsChanged(const std::set<std::string>& selected);
    std::set<std::string> SelectedNames(QListWidget* list) const;

    TourPlan template_;
    std::string planLine_;    // the line whose plan is shown; empty for none
    std::string detailTrip_;  // the trip whose entry the detail shows; empty for none

    QTreeWidget* lineTree_ = nullptr;
    QLineEdit* headlineField_ = nullptr;
    QCheckBox* hideEmptyBox_ = nullptr;
    QCheckBox* hideBridgeBox_ = nullptr;
    QCheckBox* displayLineBox_ = nullptr;
    QCheckBox* displayIbisBox_ = nullptr;
    QCheckBox* displayTargetBox_ = nullptr;
    QCheckBox* displayOutInsBox_ = nullptr;
    QCheckBox* displayPauseBox_ = nullptr;
    QCheckBox* pageBreakBox_ = nullptr;
    QLineEdit* tripField_ = nullptr;
    QCheckBox* notInServiceBox_ = nullptr;
    QCheckBox* deactivateBox_ = nullptr;
    QLineEdit* ibisField_ = nullptr;
    QLineEdit* targetField_ = nullptr;
    QListWidget* outwardList_ = nullptr;
    QListWidget* returnList_ = nullptr;
    QCheckBox* ringLineBox_ = nullptr;
    QPushButton* automaticButton_ = nullptr;
    QPushButton* toReturnButton_ = nullptr;
    QPushButton* toOutwardButton_ = nullptr;
    QPushButton* exchangeButton_ = nullptr;
    QPushButton* tripUpButton_ = nullptr;
    QPushButton* tripDownButton_ = nullptr;
    QRadioButton* outwardStopsButton_ = nullptr;
    QRadioButton* returnStopsButton_ = nullptr;
    PlanStopPanel* stopPanel_ = nullptr;
};

}  // namespace tak::ui
