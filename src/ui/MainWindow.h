// The main window: the user picks a map folder and, optionally, a date, loads
// the map, looks at its chrono events, lines with tours and lines with trips,
// and from here opens the plan windows and the output run. It also owns the
// start of the program and its one event loop.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "mapdata/MapCheck.h"
#include "mapdata/MapData.h"
#include "ui/OutputDialog.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QTranslator;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class MapCheckWindow;

// Where the program finds its files.
struct ProgramPlaces {
    // Settings file, project files and output live here.
    std::filesystem::path workingFolder;
    // The Language folder; none when no candidate folder had one.
    std::optional<std::filesystem::path> languageFolder;
    // Where the folder chooser starts while the map folder field is empty.
    std::filesystem::path programFolder;
};

// The places of the running program: the current folder as working folder,
// the Language folder looked for there, beside the program and in the
// installed data folder.
ProgramPlaces FindProgramPlaces(const char* argv0);

// The language the program falls back to when the chosen one cannot be read.
inline constexpr const char* kFallbackLanguage = "German";

// Reads the program settings and loads their language into the context. A
// language that cannot be loaded is replaced by the fallback language (also
// in the settings held, not in the file); the result then names the language
// that was asked for, and is empty otherwise.
std::string LoadStartState(AppContext& context, const ProgramPlaces& places);

// What the plan buttons open. A button whose window does not exist yet has no
// opener and stays disabled.
struct PlanWindowOpeners {
    std::function<void()> timeTable;
    std::function<void()> tourPlan;
    std::function<void()> stopTable;
    std::function<void()> routeMap;
    // Opens the timetable window on the plan with that index.
    std::function<void(std::size_t)> timeTableAt;
};

// The tour carried by an item of the lines-and-tours tree, the trip carried by
// an item of the lines-and-trips tree; null for line items.
const Tour* TourOfItem(const QTreeWidgetItem* item);
const Trip* TripOfItem(const QTreeWidgetItem* item);

class MainWindow : public QWidget {
    Q_OBJECT

public:
    MainWindow(AppContext& context, ProgramPlaces places, Dialogs& dialogs, PlanWindowOpeners openers = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The load button's action: loads the map of the folder field on the
    // chosen date, fills the trees and lists, loads the project and saves the
    // settings. Returns whether the map's timetable was found.
    bool LoadMapOfFields();

    // The create output button's action: disables this window, opens the
    // create-output dialog and starts its run.
    void OpenOutputDialog();
    // The "plans for a line" button's action: asks for a line (the one
    // chosen in the trees first), makes its timetable plan, route spider and
    // tour plan, saves the project and opens the timetable window on the new
    // plan. Returns whether plans were made.
    bool MakePlansForChosenLine();

    // The map check button's action: opens the list of the findings of the
    // last load (a window of its own, closed with this one).
    MapCheckWindow* OpenMapCheckWindow();
    const std::vector<MapFinding>& Findings() const { return findings_; }

    // The open create-output dialog; null while none is open.
    OutputDialog* CurrentOutputDialog() const { return outputDialogOpen_ ? outputDialog_.get() : nullptr; }
    // The run the next create-output dialog starts (RunOutput unless set).
    void SetOutputRunner(OutputRunner runner) { outputRunner_ = std::move(runner); }

protected:
    // While the create-output dialog is open this window is disabled and
    // does not close: the run works on the map this window holds.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void PlaceControls();
    void SetCaptions();
    void FillFromSettings();
    void FillLanguageChooser();
    void SetEnabledStates();
    void SetButtonHints();
    void ShowProject();
    void FitWindow();
    void ApplyQtLanguage();

    void ChooseMapFolder();
    void OnDateSwitchToggled(bool on);
    void OnEventChosen(int index);
    void OnLanguageChosen(int index);
    void OpenIfProjectLoaded(const std::function<void()>& opener);
    // The line of the item chosen in either tree, or null.
    const Line* ChosenLine() const;

    void ClearMapViews();
    void FillLineTours();
    void FillLineTrips();
    void FillEvents(DateValue date);
    void SaveSettings();
    void OnOutputDialogClosed();

    AppContext& context_;
    ProgramPlaces places_;
    Dialogs& dialogs_;
    PlanWindowOpeners openers_;
    bool mapLoaded_ = false;
    bool timetableFound_ = false;
    std::filesystem::path loadedFolder_;  // of the last load
    DateValue loadedDate_ = kNoDate;
    // Qt's translation of its own dialogs into the program's language.
    std::unique_ptr<QTranslator> qtTranslator_;
    std::vector<MapFinding> findings_;  // of the last load
    OutputRunner outputRunner_ = kRunOutput;
    // The last dialog is kept until the next one opens or this window goes:
    // it cannot be deleted while it sends its closed signal.
    std::unique_ptr<OutputDialog> outputDialog_;
    bool outputDialogOpen_ = false;

    QLabel* mapFolderLabel_ = nullptr;
    QLineEdit* mapFolderField_ = nullptr;
    QPushButton* chooseFolderButton_ = nullptr;
    QCheckBox* dateSwitch_ = nullptr;
    QDateEdit* dateField_ = nullptr;
    QComboBox* eventChooser_ = nullptr;
    QComboBox* languageChooser_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QPushButton* mapCheckButton_ = nullptr;
    QLabel* projectLabel_ = nullptr;
    QLabel* lineToursLabel_ = nullptr;
    QTreeWidget* lineToursTree_ = nullptr;
    QLabel* activeEventsLabel_ = nullptr;
    QListWidget* activeEventsList_ = nullptr;
    QLabel* lineTripsLabel_ = nullptr;
    QTreeWidget* lineTripsTree_ = nullptr;
    QPushButton* timeTableButton_ = nullptr;
    QPushButton* tourPlanButton_ = nullptr;
    QPushButton* stopTableButton_ = nullptr;
    QPushButton* routeMapButton_ = nullptr;
    QPushButton* linePlansButton_ = nullptr;
    QPushButton* createOutputButton_ = nullptr;
};

// Start-up after the crash handler is in place: reads the settings and the
// language, opens the main window and runs the event loop until it closes.
int RunMainWindow(const char* argv0);

}  // namespace tak::ui
