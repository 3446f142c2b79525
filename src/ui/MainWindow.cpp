#include "ui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "mapdata/MapLoader.h"
#include "persist/ProgramSettings.h"
#include "ui/MapCheckWindow.h"
#include "ui/RouteMapWindow.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

constexpr int kWindowWidth = 410;
constexpr int kWindowHeight = 400;

// Item data roles of the two trees: a tour item carries its tour, a trip item
// its trip. Two roles, so that an item of one tree is never read as the other.
constexpr int kTourRole = Qt::UserRole;
constexpr int kTripRole = Qt::UserRole + 1;

// The day the date field shows while no date was stored.
const QDate kFirstDate(1990, 1, 1);

template <typename Record>
void SetRecord(QTreeWidgetItem* item, int role, const Record* record) {
    item->setData(0, role, QVariant::fromValue(reinterpret_cast<quintptr>(record)));
}

template <typename Record>
const Record* RecordOf(const QTreeWidgetItem* item, int role) {
    if (item == nullptr) return nullptr;
    QVariant data = item->data(0, role);
    return data.isValid() ? reinterpret_cast<const Record*>(data.value<quintptr>()) : nullptr;
}

QTreeWidget* NewTree(QWidget* parent, const char* name) {
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(name);
    tree->setHeaderHidden(true);
    tree->setIndentation(14);
    tree->setColumnCount(1);
    return tree;
}

}  // namespace

const Tour* TourOfItem(const QTreeWidgetItem* item) { return RecordOf<Tour>(item, kTourRole); }
const Trip* TripOfItem(const QTreeWidgetItem* item) { return RecordOf<Trip>(item, kTripRole); }

ProgramPlaces FindProgramPlaces(const char* argv0) {
    ProgramPlaces places;
    std::error_code ec;
    places.workingFolder = std::filesystem::current_path(ec);
    places.programFolder = ExecutableFolder(argv0);
    places.languageFolder = FindLanguageFolder(LanguageFolderCandidates(places.workingFolder, places.programFolder));
    return places;
}

void LoadStartState(AppContext& context, const ProgramPlaces& places) {
    context.workingFolder = places.workingFolder;
    context.settings = ReadProgramSettings(places.workingFolder / kProgramSettingsFileName);
    if (places.languageFolder) context.language.LoadLanguage(*places.languageFolder, context.settings.language);
}

MainWindow::MainWindow(AppContext& context, ProgramPlaces places, Dialogs& dialogs, PlanWindowOpeners openers,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      context_(context),
      places_(std::move(places)),
      dialogs_(dialogs),
      openers_(std::move(openers)) {
    setObjectName("mainWindow");
    setWindowTitle("Taktarium");
    setFixedSize(kWindowWidth, kWindowHeight);
    CreateControls();
    PlaceControls();
    SetCaptions();
    FillFromSettings();
    FillLanguageChooser();
    SetEnabledStates();
    CenterOnScreen(this);
}

// A dialog still running waits for its worker (see OutputDialog).
MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
    auto newButton = [this](const char* name) {
        auto* button = new QPushButton(this);
        button->setObjectName(name);
        return button;
    };
    auto newLabel = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        return label;
    };
    mapFolderLabel_ = newLabel("mapFolderLabel");
    mapFolderField_ = new QLineEdit(this);
    mapFolderField_->setObjectName("mapFolderField");
    chooseFolderButton_ = newButton("chooseFolderButton");
    chooseFolderButton_->setText("...");
    dateSwitch_ = new QCheckBox(this);
    dateSwitch_->setObjectName("dateSwitch");
    dateField_ = new QDateEdit(this);
    dateField_->setObjectName("dateField");
    dateField_->setDisplayFormat(kDateFieldFormat);
    dateField_->setCalendarPopup(true);
    dateField_->setMinimumDate(QDate(1900, 1, 1));  // the earliest day the loader takes
    eventChooser_ = new QComboBox(this);
    eventChooser_->setObjectName("eventChooser");
    languageChooser_ = new QComboBox(this);
    languageChooser_->setObjectName("languageChooser");
    loadButton_ = newButton("loadButton");
    mapCheckButton_ = newButton("mapCheckButton");
    lineToursLabel_ = newLabel("lineToursLabel");
    lineToursTree_ = NewTree(this, "lineToursTree");
    activeEventsLabel_ = newLabel("activeEventsLabel");
    activeEventsList_ = new QListWidget(this);
    activeEventsList_->setObjectName("activeEventsList");
    lineTripsLabel_ = newLabel("lineTripsLabel");
    lineTripsTree_ = NewTree(this, "lineTripsTree");
    timeTableButton_ = newButton("timeTableButton");
    tourPlanButton_ = newButton("tourPlanButton");
    stopTableButton_ = newButton("stopTableButton");
    routeMapButton_ = newButton("routeMapButton");
    createOutputButton_ = newButton("createOutputButton");

    connect(chooseFolderButton_, &QPushButton::clicked, this, &MainWindow::ChooseMapFolder);
    connect(dateSwitch_, &QCheckBox::toggled, this, &MainWindow::OnDateSwitchToggled);
    connect(eventChooser_, &QComboBox::activated, this, &MainWindow::OnEventChosen);
    connect(languageChooser_, &QComboBox::activated, this, &MainWindow::OnLanguageChosen);
    connect(loadButton_, &QPushButton::clicked, this, [this] { LoadMapOfFields(); });
    connect(mapCheckButton_, &QPushButton::clicked, this, [this] { OpenMapCheckWindow(); });
    connect(timeTableButton_, &QPushButton::clicked, this, [this] { OpenIfProjectLoaded(openers_.timeTable); });
    connect(tourPlanButton_, &QPushButton::clicked, this, [this] { OpenIfProjectLoaded(openers_.tourPlan); });
    connect(stopTableButton_, &QPushButton::clicked, this, [this] { OpenIfProjectLoaded(openers_.stopTable); });
    connect(routeMapButton_, &QPushButton::clicked, this, [this] {
        if (openers_.routeMap) openers_.routeMap();
    });
    connect(createOutputButton_, &QPushButton::clicked, this, [this] {
        if (!context_.projectName.empty()) OpenOutputDialog();
    });
}

// The window has a fixed size, so the controls have fixed places: the map
// folder, the date and the load row at the top, the map's lists in the
// middle (the short tour names in a narrow column on the left), the plan
// buttons and the output button at the bottom.
void MainWindow::PlaceControls() {
    mapFolderLabel_->setGeometry(10, 10, 92, 24);
    mapFolderField_->setGeometry(104, 10, 264, 24);
    chooseFolderButton_->setGeometry(372, 10, 28, 24);

    dateSwitch_->setGeometry(10, 40, 92, 24);
    dateField_->setGeometry(104, 40, 104, 24);
    eventChooser_->setGeometry(212, 40, 188, 24);

    languageChooser_->setGeometry(10, 70, 140, 26);
    mapCheckButton_->setGeometry(154, 70, 132, 26);
    loadButton_->setGeometry(290, 70, 110, 26);

    lineToursLabel_->setGeometry(10, 104, 124, 18);
    lineToursTree_->setGeometry(10, 122, 124, 206);
    activeEventsLabel_->setGeometry(140, 104, 260, 18);
    activeEventsList_->setGeometry(140, 122, 260, 58);
    lineTripsLabel_->setGeometry(140, 186, 260, 18);
    lineTripsTree_->setGeometry(140, 204, 260, 124);

    timeTableButton_->setGeometry(10, 336, 124, 26);
    tourPlanButton_->setGeometry(140, 336, 124, 26);
    stopTableButton_->setGeometry(10, 366, 124, 26);
    routeMapButton_->setGeometry(140, 366, 124, 26);
    createOutputButton_->setGeometry(270, 336, 130, 56);
}

void MainWindow::SetCaptions() {
    const LanguageTable& language = context_.language;
    mapFolderLabel_->setText(LangLabel(language, "MapDir"));
    dateSwitch_->setText(LangLabel(language, "Date"));
    loadButton_->setText(LangText(language, "Load"));
    lineToursLabel_->setText(LangLabel(language, "LineTours"));
    activeEventsLabel_->setText(LangLabel(language, "ChronoEvents"));
    lineTripsLabel_->setText(LangLabel(language, "LineTrips"));
    routeMapButton_->setText(LangText(language, "WinRouteMap"));
    stopTableButton_->setText(LangText(language, "WinStopTable"));
    timeTableButton_->setText(LangText(language, "WinTimeTable"));
    tourPlanButton_->setText(LangText(language, "WinTourPlan"));
    createOutputButton_->setText(LangText(language, "CreateOutput"));
    mapCheckButton_->setText(mapLoaded_ ? FindingsSummary(findings_, language)
                                        : LangText(language, "CheckWindowTitle"));
    // Long captions may be cut in the narrow places; the full text is a hover away.
    for (QWidget* control : std::initializer_list<QWidget*>{lineToursLabel_, activeEventsLabel_, lineTripsLabel_,
                                                           createOutputButton_, stopTableButton_}) {
        control->setToolTip(control->property("text").toString());
    }
    mapCheckButton_->setToolTip(mapLoaded_ ? LangText(language, "CheckWindowTitle") + ": " + mapCheckButton_->text()
                                           : LangText(language, "CheckWindowTitle"));
}

void MainWindow::FillFromSettings() {
    const ProgramSettings& settings = context_.settings;
    if (settings.readFromFile) mapFolderField_->setText(FromUtf8(settings.map));
    // A stored date switches the date on; a text that is no date counts as none.
    QDate stored = settings.readFromFile && !settings.date.empty() ? DateOf(ParseDateText(settings.date)) : QDate();
    dateSwitch_->setChecked(stored.isValid());
    dateField_->setDate(stored.isValid() ? stored : kFirstDate);
}

void MainWindow::FillLanguageChooser() {
    if (!places_.languageFolder) return;
    for (const std::string& name : ListLanguages(*places_.languageFolder)) {
        languageChooser_->addItem(FromUtf8(name));
        if (EqualsIgnoringCase(name, context_.settings.language)) {
            languageChooser_->setCurrentIndex(languageChooser_->count() - 1);
        }
    }
    // No entry for an unknown stored language: the chooser shows none.
    if (!EqualsIgnoringCase(ToUtf8(languageChooser_->currentText()), context_.settings.language)) {
        languageChooser_->setCurrentIndex(-1);
    }
}

void MainWindow::SetEnabledStates() {
    bool dateOn = dateSwitch_->isChecked();
    dateField_->setEnabled(dateOn);
    eventChooser_->setEnabled(mapLoaded_ && dateOn);
    mapCheckButton_->setEnabled(mapLoaded_);
    // The route map and the output need a loaded project; the three plan
    // windows also need the map's trips. A button whose window does not exist
    // yet (no opener) stays disabled: the plan windows come with later work.
    auto enable = [](QPushButton* button, const std::function<void()>& opener, bool wanted) {
        button->setEnabled(wanted && static_cast<bool>(opener));
    };
    enable(routeMapButton_, openers_.routeMap, mapLoaded_);
    createOutputButton_->setEnabled(mapLoaded_);
    enable(stopTableButton_, openers_.stopTable, mapLoaded_ && timetableFound_);
    enable(timeTableButton_, openers_.timeTable, mapLoaded_ && timetableFound_);
    enable(tourPlanButton_, openers_.tourPlan, mapLoaded_ && timetableFound_);
}

void MainWindow::ChooseMapFolder() {
    QString start = mapFolderField_->text();
    if (start.isEmpty()) start = QString::fromStdString(places_.programFolder.string());
    QString chosen = dialogs_.ChooseFolder(this, LangText(context_.language, "MapDir"), start);
    if (!chosen.isEmpty()) mapFolderField_->setText(QDir::toNativeSeparators(chosen));
}

void MainWindow::OnDateSwitchToggled(bool) { SetEnabledStates(); }

void MainWindow::OnEventChosen(int index) {
    bool ok = false;
    int eventIndex = eventChooser_->itemData(index).toInt(&ok);
    const auto& events = context_.map.chronoEvents;
    if (!ok || eventIndex < 0 || eventIndex >= static_cast<int>(events.size())) return;
    const ChronoEvent& event = events[static_cast<std::size_t>(eventIndex)];
    DateValue date = event.startDate != kNoDate ? event.startDate : event.endDate;
    if (date != kNoDate) dateField_->setDate(DateOf(date));
}

void MainWindow::OnLanguageChosen(int index) {
    if (index < 0) return;
    std::string name = ToUtf8(languageChooser_->itemText(index));
    context_.settings.language = name;
    if (places_.languageFolder) context_.language.LoadLanguage(*places_.languageFolder, name);
    SaveSettings();
    SetCaptions();
}

void MainWindow::OpenIfProjectLoaded(const std::function<void()>& opener) {
    if (opener && !context_.projectName.empty()) opener();
}

bool MainWindow::LoadMapOfFields() {
    std::string folderText = ToUtf8(mapFolderField_->text());
    DateValue date = dateSwitch_->isChecked() ? DateValueOf(dateField_->date()) : kNoDate;
    std::filesystem::path folder = PathFromText(folderText);

    // The trees point into the map that is about to be replaced.
    ClearMapViews();
    MapCheckRecord record;
    bool ok = LoadMap(context_.map, folder, date, context_.language.Lang("LangShort"), &record);
    if (!ok) dialogs_.ShowMessage(this, kMessageTitle, LangText(context_.language, "CantFindTT"));
    findings_ = CheckMap(context_.map, record);
    SortTripsByLineName(context_.map);
    // A folder with or without a trailing separator names the same project.
    context_.projectName = ProjectNameFor(folder, date);

    FillLineTours();
    FillLineTrips();
    FillEvents(date);
    mapLoaded_ = true;
    timetableFound_ = ok;
    SetEnabledStates();
    SetCaptions();

    // Without a name there is no project file to read ("output/.cfg").
    if (!context_.projectName.empty()) LoadProjectFile(context_);
    SaveSettings();
    return ok;
}

MapCheckWindow* MainWindow::OpenMapCheckWindow() {
    if (!mapLoaded_) return nullptr;
    auto* window = new MapCheckWindow(findings_, context_.language, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void MainWindow::ClearMapViews() {
    lineToursTree_->clear();
    lineTripsTree_->clear();
    activeEventsList_->clear();
    eventChooser_->clear();
}

void MainWindow::FillLineTours() {
    for (const auto& line : context_.map.lines) {
        auto* lineItem = new QTreeWidgetItem(lineToursTree_, QStringList(FromUtf8(line->name)));
        for (const Tour& tour : line->tours) {
            auto* tourItem = new QTreeWidgetItem(lineItem, QStringList(FromUtf8(tour.name)));
            SetRecord(tourItem, kTourRole, &tour);
        }
    }
}

// The trips are sorted by line name; each run of one line gets a line item.
void MainWindow::FillLineTrips() {
    QTreeWidgetItem* lineItem = nullptr;
    const std::string* lineName = nullptr;
    for (const auto& trip : context_.map.trips) {
        if (lineItem == nullptr || *lineName != trip->lineName) {
            lineItem = new QTreeWidgetItem(lineTripsTree_, QStringList(FromUtf8(trip->lineName)));
            lineName = &trip->lineName;
        }
        auto* tripItem = new QTreeWidgetItem(lineItem, QStringList(FromUtf8(trip->name)));
        tripItem->setToolTip(0, tripItem->text(0));
        SetRecord(tripItem, kTripRole, trip.get());
    }
}

void MainWindow::FillEvents(DateValue date) {
    const auto& events = context_.map.chronoEvents;
    for (std::size_t i = 0; i < events.size(); ++i) {
        eventChooser_->addItem(FromUtf8(events[i].name), static_cast<int>(i));
    }
    // Nothing is chosen until the user picks an event (choosing sets the date).
    eventChooser_->setCurrentIndex(-1);
    for (const ChronoEvent* event : ListChronoEvents(context_.map, date)) {
        auto* item = new QListWidgetItem(FromUtf8(event->name), activeEventsList_);
        item->setToolTip(item->text());
    }
}

void MainWindow::SaveSettings() {
    ProgramSettings& settings = context_.settings;
    settings.map = ToUtf8(mapFolderField_->text());
    settings.date = dateSwitch_->isChecked() ? ToUtf8(dateField_->text()) : std::string();
    // A file that cannot be written is not reported; the settings are a convenience.
    SaveProgramSettings(context_.workingFolder / kProgramSettingsFileName, settings);
}

void MainWindow::OpenOutputDialog() {
    if (outputDialogOpen_) return;
    setEnabled(false);
    outputDialog_ = std::make_unique<OutputDialog>(context_, this, outputRunner_);
    outputDialogOpen_ = true;
    connect(outputDialog_.get(), &OutputDialog::Closed, this, &MainWindow::OnOutputDialogClosed);
    outputDialog_->show();
    outputDialog_->StartRun();
}

// The dialog closes only after its worker ended. The settings are saved so
// that a change of its warnings switch is kept.
void MainWindow::OnOutputDialogClosed() {
    setEnabled(true);
    activateWindow();
    SaveSettings();
    outputDialogOpen_ = false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (outputDialogOpen_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

int RunMainWindow(const char* argv0) {
    ProgramPlaces places = FindProgramPlaces(argv0);
    AppContext context;
    LoadStartState(context, places);
    QtDialogs dialogs;
    QtRouteMapQuestions routeMapQuestions;
    // Plan windows without an opener keep their buttons disabled.
    MainWindow* owner = nullptr;
    PlanWindowOpeners openers;
    openers.routeMap = [&] { OpenRouteMapWindow(context, dialogs, routeMapQuestions, owner); };
    MainWindow window(context, places, dialogs, openers);
    owner = &window;
    window.show();
    return QApplication::exec();
}

}  // namespace tak::ui
