// The stop table plan window: edits the project's stop tables in memory (the
// stops a table is for, the trips it lists with their same-way references and
// footnotes, its texts, switches and day rows) and saves the whole project on
// OK or Apply. Leaving without saving reloads the project file, which
// discards unsaved changes of every plan kind.
#pragma once

#include <string>
#include <vector>

#include "ui/PlanWindow.h"

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tak::ui {

class PlanListPanel;
class TableDayPanel;

class StopTableWindow : public PlanWindow {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    StopTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

    // The plan the window shows, null while none.
    StopTable* Plan();

private:
    void CreateControls() override;
    void PlaceControls() override;
    void ConnectControls() override;
    void ShowFirstPlan() override;
    void ShowPlan();
    void FillStopList();
    void FillTripTree();
    void ShowTripEntry();
    void SetEnabledStates();
    StopTableTrip* SelectedEntry();

    void OnNewPlan(const std::string& name);
    void OnSameInOneToggled(bool on);
    void OnAddStop();
    void OnDeleteStop();
    void OnTripItemChanged(QTreeWidgetItem* item);
    void OnSameWayChosen(int index);
    void OnTripTextsEdited();

    StopTable template_;
    std::vector<const TripStation*> stopChoices_;
    std::vector<const Trip*> tripsByLine_;

    PlanListPanel* planList_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* headlineField_ = nullptr;
    QCheckBox* sameInOneBox_ = nullptr;
    QComboBox* breakHourList_ = nullptr;
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
};

}  // namespace tak::ui
