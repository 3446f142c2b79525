// The stop table plan window: edits the project's stop tables in memory (the
// stops a table is for, the trips it lists with their same-way references and
// footnotes, its texts, switches and day rows) and saves the whole project on
// OK or Apply. Leaving without saving reloads the project file, which
// discards unsaved changes of every plan kind.
#pragma once

#include <functional>
#include <string>
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
class PlanListPanel;
class RouteSpiderWindow;
class SpiderChooserPanel;
class TableDayPanel;

class StopTableWindow : public PlanWindow {
    Q_OBJECT

public:
    // Disables `mainWindow` until this window closes.
    StopTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

    // The plan the window shows, null while none.
    StopTable* Plan();

    RouteSpiderWindow* SpiderEditor() const;

private:
    // The spider editor works on the plans too.
    bool OthersAtWork() const override;

    void CreateControls();
    void PlaceControls();
    void ConnectControls();
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
};

// Opens the window (it deletes itself once closed) and returns it.
StopTableWindow* OpenStopTableWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow);

}  // namespace tak::ui
