// The tour plan window: edits the project's tour plans in memory (which tours
// of a line get driver plans, the plan's switches, the split of its trips
// into outward and return runs with per-trip texts, and the stop rows of each
// direction) and saves the whole project on OK or Apply. Leaving without
// saving reloads the project file, which discards unsaved changes of every
// plan kind.
#pragma once

#include <QDialog>
#include <memory>
#include <set>
#include <string>

#include "app/TourPlanEditing.h"
#include "persist/Project.h"
#include "ui/OutputDialog.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class GlobalOptPanel;
class PlanStopPanel;

class TourPlanWindow : public QDialog {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    TourPlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);
    ~TourPlanWindow() override;

    TourPlanWindow(const TourPlanWindow&) = delete;
    TourPlanWindow& operator=(const TourPlanWindow&) = delete;

    bool IsModified() const { return modified_; }
    // The open create-output dialog, null while none is open.
    OutputDialog* CurrentOutputDialog() const { return outputDialogOpen_ ? outputDialog_.get() : nullptr; }
    // The run the next create-output dialog starts (RunOutput unless set).
    void SetOutputRunner(OutputRunner runner) { outputRunner_ = std::move(runner); }

signals:
    // The window has closed; the main window is enabled again.
    void Closed();

public slots:
    // Cancel and Escape: leave, asking first when something changed.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void PlaceControls();
    void ConnectControls();
    void FillTree();
    void ShowPlan();
    void FillTripLists(const std::set<std::string>& selected);
    void ShowStops();
    void ShowDetail();
    void SetEnabledStates();
    TourPlan* Plan();
    const Line* LineOf(QTreeWidgetItem* item) const;
    void SetModified(bool modified);
    void Touch() { SetModified(true); }

    void OnTreeItemChanged(QTreeWidgetItem* item);
    void OnSwitchToggled();
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

    void OnOk();
    bool Save();
    // Asks whether to save when modified; false when the user chose to stay.
    bool LeaveAsked();
    void Finish();
    void OpenOutputDialog();
    void OnOutputDialogClosed();

    AppContext& context_;
    Dialogs& dialogs_;
    QWidget* mainWindow_ = nullptr;
    TourPlan template_;
    std::string planLine_;    // the line whose plan is shown; empty for none
    std::string detailTrip_;  // the trip whose entry the detail shows; empty for none
    bool modified_ = false;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits
    bool finished_ = false;
    OutputRunner outputRunner_ = kRunOutput;
    std::unique_ptr<OutputDialog> outputDialog_;
    bool outputDialogOpen_ = false;

    QTreeWidget* lineTree_ = nullptr;
    GlobalOptPanel* globalOpt_ = nullptr;
    QCheckBox* allInOneBox_ = nullptr;
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
    QPushButton* okButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* createOutputButton_ = nullptr;
};

// Opens the window (it deletes itself once closed) and returns it.
TourPlanWindow* OpenTourPlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

}  // namespace tak::ui
