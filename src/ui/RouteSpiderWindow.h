// The route spider editor: the project's route spiders with their ways and
// stops, mostly filled by importing the stations of trips. Changes stay in
// memory until applied; applying writes only the route spiders into the
// project file. Leaving without saving reads them back from the file.
#pragma once

#include <QDialog>
#include <vector>

#include "mapdata/MapData.h"
#include "routespider/RouteSpider.h"
#include "ui/EditorChanges.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;

class RouteSpiderWindow : public QDialog {
    Q_OBJECT

public:
    // `owner` is the plan window it was opened from; it stays above it.
    RouteSpiderWindow(AppContext& context, Dialogs& dialogs, QWidget* owner);

    bool IsModified() const { return changes_.IsModified(); }

signals:
    // The window has closed; the spiders were saved or read back.
    void Closed();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void PlaceControls();
    void ConnectControls();
    void Touch() { changes_.Touch(); }

    RouteSpider* Spider();
    int SelectedWay() const;
    SpiderWay* Way();
    SpiderStop* Stop();
    std::vector<int> SelectedWays() const;

    void FillSpiderList(int selected);
    void ShowSpider();
    void FillWayList(const std::vector<int>& selected, int current);
    void ShowWay();
    void FillWayPointChoosers();
    void FillStopList(int selected);
    void ShowStop();
    void FillStationChooser();
    void SetEnabledStates();

    void OnNewSpider();
    void OnDeleteSpider();
    void OnNewWay();
    void OnDeleteWays();
    void OnMoveWays(int step);
    void OnWayPointChosen(QComboBox* chooser, SpiderStopKey SpiderWay::*point);
    void OnAddAll();
    void OnAddStation();
    void OnDeleteStop();
    void OnMoveStop(int step);

    void OnOk();
    bool Save();
    void Finish();

    AppContext& context_;
    Dialogs& dialogs_;
    std::vector<const Trip*> trips_;
    EditorChanges changes_;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits
    bool finished_ = false;

    QListWidget* spiderList_ = nullptr;
    QPushButton* newSpiderButton_ = nullptr;
    QPushButton* deleteSpiderButton_ = nullptr;
    QLineEdit* spiderNameField_ = nullptr;
    QComboBox* displayTravelList_ = nullptr;
    QListWidget* wayList_ = nullptr;
    QPushButton* newWayButton_ = nullptr;
    QPushButton* deleteWayButton_ = nullptr;
    QPushButton* wayUpButton_ = nullptr;
    QPushButton* wayDownButton_ = nullptr;
    QComboBox* beginWayList_ = nullptr;
    QComboBox* endWayList_ = nullptr;
    QComboBox* tripList_ = nullptr;
    QComboBox* stationList_ = nullptr;
    QPushButton* addAllButton_ = nullptr;
    QPushButton* addStationButton_ = nullptr;
    QListWidget* stopList_ = nullptr;
    QPushButton* stopUpButton_ = nullptr;
    QPushButton* stopDownButton_ = nullptr;
    QPushButton* deleteStopButton_ = nullptr;
    QLineEdit* stopNameField_ = nullptr;
    QLineEdit* stopIdField_ = nullptr;
    QCheckBox* importantBox_ = nullptr;
    QSpinBox* travelTimeField_ = nullptr;
    QPlainTextEdit* changesField_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace tak::ui
