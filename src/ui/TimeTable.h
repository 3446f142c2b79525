// The timetable plan window: edits the project's timetable plans in memory
// (which trips a timetable covers, its texts, switches, day rows and stop
// rows) and saves the whole project on OK or Apply. Leaving without saving
// reloads the project file, which discards unsaved changes of every plan kind.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "persist/Project.h"
#include "ui/OutputDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class GlobalOptPanel;
class PlanStopPanel;
class RouteSpiderWindow;
class TableDayPanel;

class TimeTableWindow : public QDialog {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    TimeTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);
    ~TimeTableWindow() override;

    TimeTableWindow(const TimeTableWindow&) = delete;
    TimeTableWindow& operator=(const TimeTableWindow&) = delete;

    bool IsModified() const { return modified_; }
    // The open route spider editor, null while none is open.
    RouteSpiderWindow* SpiderEditor() const { return spiderEditor_; }
    // The open create-output dialog, null while none is open.
    OutputDialog* CurrentOutputDialog() const { return outputDialogOpen_ ? outputDialog_.get() : nullptr; }
    // The run the next create-output dialog starts (RunOutput unless set).
    void SetOutputRunner(OutputRunner runner) { outputRunner_ = std::move(runner); }

    // Fills the route spider chooser again (after the editor saved or reloaded).
    void FillSpiderChooser();

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
    void FillPlanList(int selected);
    void ShowPlan();
    void DetachPanels();
    void SetEnabledStates();
    TimeTablePlan* Plan();
    int SelectedPlan() const;
    void SetModified(bool modified);
    void Touch() { SetModified(true); }

    void OnNewPlan();
    void OnDeletePlan();
    void OnMovePlan(int step);
    void OnNameEdited(const QString& text);
    void OnSwitchToggled();
    void OnAutoLineToggled(bool on);
    void OnSpiderSwitchToggled(bool on);
    void OnSpiderChosen(int index);
    void OnAddTrip();
    void OnDeleteTrip();
    void OnMoveTrip(int step);
    void AfterTripsChanged(int selectedTrip);
    void UpdateAutoLine();
    void ShowSpiderOfPlan();
    void OpenSpiderEditor();
    void OnSpiderEditorClosed();

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
    TimeTablePlan template_;
    std::vector<const Trip*> tripsByName_;
    bool modified_ = false;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits
    bool finished_ = false;
    RouteSpiderWindow* spiderEditor_ = nullptr;
    OutputRunner outputRunner_ = kRunOutput;
    std::unique_ptr<OutputDialog> outputDialog_;
    bool outputDialogOpen_ = false;

    QListWidget* planList_ = nullptr;
    QPushButton* newPlanButton_ = nullptr;
    QPushButton* deletePlanButton_ = nullptr;
    QPushButton* planUpButton_ = nullptr;
    QPushButton* planDownButton_ = nullptr;
    GlobalOptPanel* globalOpt_ = nullptr;
    QCheckBox* allInOneBox_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* headlineField_ = nullptr;
    QLineEdit* lineField_ = nullptr;
    QCheckBox* autoLineBox_ = nullptr;
    QCheckBox* spiderBox_ = nullptr;
    QComboBox* spiderList_ = nullptr;
    QComboBox* breakHourList_ = nullptr;
    QCheckBox* hideEmptyBox_ = nullptr;
    QCheckBox* hideBridgeBox_ = nullptr;
    QCheckBox* displayLineBox_ = nullptr;
    QCheckBox* displayTourBox_ = nullptr;
    QCheckBox* displayNoteBox_ = nullptr;
    QCheckBox* pageBreakBox_ = nullptr;
    QCheckBox* mergeIterBox_ = nullptr;
    QComboBox* tripChooser_ = nullptr;
    QPushButton* addTripButton_ = nullptr;
    QPushButton* deleteTripButton_ = nullptr;
    QPushButton* tripUpButton_ = nullptr;
    QPushButton* tripDownButton_ = nullptr;
    QListWidget* tripList_ = nullptr;
    TableDayPanel* dayPanel_ = nullptr;
    PlanStopPanel* stopPanel_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* createOutputButton_ = nullptr;
};

// Opens the window (it deletes itself once closed) and returns it.
TimeTableWindow* OpenTimeTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

}  // namespace tak::ui
