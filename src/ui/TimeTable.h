// The timetable plan window: edits the project's timetable plans in memory
// (which trips a timetable covers, its texts, switches, day rows and stop
// rows) and saves the whole project on OK or Apply. Leaving without saving
// reloads the project file, which discards unsaved changes of every plan kind.
#pragma once

#include <string>
#include <vector>

#include "ui/PlanWindow.h"

class QListWidget;

namespace tak::ui {

class PlanListPanel;
class PlanStopPanel;
class TableDayPanel;

class TimeTableWindow : public PlanWindow {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    TimeTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

    // The plan the window shows, null while none.
    TimeTablePlan* Plan();

    // Selects and shows the plan with that index (none past the end).
    void SelectPlan(std::size_t index);

private:
    void CreateControls() override;
    void PlaceControls() override;
    void ConnectControls() override;
    void ShowFirstPlan() override;
    void ShowPlan();
    void SetEnabledStates();

    void OnNewPlan(const std::string& name);
    void OnAutoLineToggled();
    void OnAddTrip();
    void OnDeleteTrip();
    void OnMoveTrip(int step);
    void AfterTripsChanged(const std::vector<bool>& chosen, int current);
    std::vector<bool> ChosenTrips() const;
    void FillTripList();
    void UpdateAutoLine();

    TimeTablePlan template_;
    std::vector<const Trip*> tripsByName_;

    PlanListPanel* planList_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* headlineField_ = nullptr;
    QLineEdit* lineField_ = nullptr;
    QCheckBox* autoLineBox_ = nullptr;
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
};

}  // namespace tak::ui
