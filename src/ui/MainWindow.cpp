#include "ui/MainWindow.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTranslator>
#include <QTreeWidget>
#include <utility>

#include "app/AppContext.h"
#include "project/LinePlans.h"
#include "base/CodePage.h"
#include "base/FileSystem.h"
#include "base/Text.h"
#include "mapdata/MapLoader.h"
#include "persist/ProgramSettings.h"
#include "routemap/RouteMapOutput.h"
#include "ui/MapCheckWindow.h"
#include "ui/RouteMapWindow.h"
#include "ui/StopTable.h"
#include "ui/TimeTable.h"
#include "ui/TourPlan.h"
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

std::string LoadStartState(AppContext& context, const ProgramPlaces& places) {
    context.workingFolder = places.workingFolder;
    context.settings = ReadProgramSettings(places.workingFolder / kProgramSettingsFileName);
    SetMapCodePage(CodePageFromNumber(context.settings.codePage).value_or(kDefaultCodePage));
    // Without a Language folder nothing can be loaded; the chooser stays empty.
    if (!places.languageFolder) return {};
    if (context.language.LoadLanguage(*places.languageFolder, context.settings.language)) return {};
    std::string missing = context.settings.language;
    if (context.language.LoadLanguage(*places.languageFolder, kFallbackLanguage)) {
        context.settings.language = kFallbackLanguage;
    }
    return missing;
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
    CreateControls();
    PlaceControls();
    ApplyQtLanguage();
    SetCaptions();
    FillFromSettings();
    FillLanguageChooser();
    SetEnabledStates();
    CenterOnScreen(this);
    context_.projectChanged = [this] { ShowProject(); };
}

// A dialog still running waits for its worker (see OutputDialog).
MainWindow::~MainWindow() { context_.projectChanged = nullptr; }

void MainWindow::CreateControls() {
    auto newButton = [this](const char* name) {
        auto* button = new QPushButton(this);
        button->setObjectName(name);
        button->setAutoDefault(true);  // Enter on a focused button presses it
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
    mapFolderLabel_->setBuddy(mapFolderField_);
    chooseFolderButton_ = newButton("chooseFolderButton");
    chooseFolderButton_->setText("...");
    // As narrow as its three dots: the folder field takes the width.
    chooseFolderButton_->setFixedWidth(std::max(28, chooseFolderButton_->fontMetrics().horizontalAdvance("...") + 16));
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
    projectLabel_ = newLabel("projectLabel");
    projectLabel_->setWordWrap(true);
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
    linePlansButton_ = newButton("linePlansButton");
    createOutputButton_ = newButton("createOutputButton");

    connect(chooseFolderButton_, &QPushButton::clicked, this, &MainWindow::ChooseMapFolder);
    connect(dateSwitch_, &QCheckBox::toggled, this, &MainWindow::OnDateSwitchToggled);
    connect(eventChooser_, &QComboBox::activated, this, &MainWindow::OnEventChosen);
    connect(languageChooser_, &QComboBox::activated, this, &MainWindow::OnLanguageChosen);
    connect(loadButton_, &QPushButton::clicked, this, [this] { LoadMapOfFields(); });
    connect(mapFolderField_, &QLineEdit::returnPressed, this, [this] { LoadMapOfFields(); });
    connect(mapCheckButton_, &QPushButton::clicked, this, [this] { OpenMapCheckWindow(); });
    connect(timeTableButton_, &QPushButton::clicked, this, [this] { OpenIfProjectLoaded(openers_.timeTable); });
    connect(tourPlanButton_, &QPushButton::clicked, this, [this] { OpenIfProjectLoaded(openers_.tourPlan); });
    connect(stopTableButton_, &QPushButton::clicked, this, [this] { OpenIfProjectLoaded(openers_.stopTable); });
    connect(linePlansButton_, &QPushButton::clicked, this, [this] { MakePlansForChosenLine(); });
    connect(routeMapButton_, &QPushButton::clicked, this, [this] {
        if (openers_.routeMap) openers_.routeMap();
    });
    connect(createOutputButton_, &QPushButton::clicked, this, [this] {
        if (!context_.projectName.empty()) OpenOutputDialog();
    });
}

// The map folder, the date and the load row at the top, the active project
// below them, the map's lists in the middle (the short tour names in a
// narrow column on the left), the plan buttons and the output button at the
// bottom. Layouts give every caption the room it needs; the lists take the
// rest.
void MainWindow::PlaceControls() {
    auto* top = new QGridLayout;
    top->setColumnStretch(1, 1);
    top->addWidget(mapFolderLabel_, 0, 0);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(mapFolderField_, 1);
    folderRow->addWidget(chooseFolderButton_);
    top->addLayout(folderRow, 0, 1);
    top->addWidget(dateSwitch_, 1, 0);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(dateField_);
    dateRow->addWidget(eventChooser_, 1);
    top->addLayout(dateRow, 1, 1);
    auto* loadRow = new QHBoxLayout;
    loadRow->addWidget(languageChooser_, 1);
    loadRow->addWidget(mapCheckButton_, 1);
    loadRow->addWidget(loadButton_, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(lineToursLabel_);
    left->addWidget(lineToursTree_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(activeEventsLabel_);
    right->addWidget(activeEventsList_, 1);
    right->addWidget(lineTripsLabel_);
    right->addWidget(lineTripsTree_, 2);
    auto* lists = new QHBoxLayout;
    lists->addLayout(left, 1);
    lists->addLayout(right, 2);

    auto* buttons = new QGridLayout;
    buttons->addWidget(timeTableButton_, 0, 0);
    buttons->addWidget(tourPlanButton_, 0, 1);
    buttons->addWidget(stopTableButton_, 1, 0);
    buttons->addWidget(routeMapButton_, 1, 1);
    buttons->addWidget(linePlansButton_, 2, 0, 1, 2);
    buttons->addWidget(createOutputButton_, 0, 2, 3, 1);
    createOutputButton_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 8);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addLayout(loadRow);
    layout->addWidget(projectLabel_);
    layout->addLayout(lists, 1);
    layout->addLayout(buttons);
}

void MainWindow::SetCaptions() {
    const LanguageTable& language = context_.language;
    mapFolderLabel_->setText(LangLabel(language, "MapDir"));
    dateSwitch_->setText(LangLabel(language, "Date"));
    loadButton_->setText(LangCaption(language, "Load"));
    lineToursLabel_->setText(LangLabel(language, "LineTours"));
    activeEventsLabel_->setText(LangLabel(language, "ChronoEvents"));
    lineTripsLabel_->setText(LangLabel(language, "LineTrips"));
    routeMapButton_->setText(LangCaption(language, "WinRouteMap"));
    stopTableButton_->setText(LangCaption(language, "WinStopTable"));
    timeTableButton_->setText(LangCaption(language, "WinTimeTable"));
    tourPlanButton_->setText(LangCaption(language, "WinTourPlan"));
    linePlansButton_->setText(LangCaption(language, "PlansForLine"));
    createOutputButton_->setText(LangCaption(language, "CreateOutput"));
    mapCheckButton_->setText(mapLoaded_ ? FindingsSummary(findings_, language)
                                        : LangText(language, "CheckWindowTitle"));
    // Long captions may be cut in the narrow places; the full text is a hover away.
    for (QWidget* control : std::initializer_list<QWidget*>{lineToursLabel_, activeEventsLabel_, lineTripsLabel_,
                                                           createOutputButton_, stopTableButton_}) {
        control->setToolTip(FromUtf8(WithoutKeyMarks(ToUtf8(control->property("text").toString()))));
    }
    mapCheckButton_->setToolTip(mapLoaded_ ? LangText(language, "CheckWindowTitle") + ": " + mapCheckButton_->text()
                                           : LangText(language, "CheckWindowTitle"));
    ShowProject();
    SetButtonHints();
    FitWindow();
}

// The window keeps its size unless its captions need more room (a larger
// font, a longer language).
void MainWindow::FitWindow() {
    setFixedSize(QSize(kWindowWidth, kWindowHeight).expandedTo(layout()->totalMinimumSize()));
}

// The project the plan windows and the output work on: its file, its plans
// of each kind and the date it stands for. Empty until a map is loaded.
void MainWindow::ShowProject() {
    if (!mapLoaded_ || context_.projectName.empty()) {
        projectLabel_->clear();
        projectLabel_->setToolTip({});
        return;
    }
    const Project& project = context_.project;
    std::size_t tourPlans = 0;
    for (const auto& entry : project.tourPlans) tourPlans += entry.second.active ? 1 : 0;
    std::string file = FileNameText(ProjectFilePath(context_));
    // A route map counts when the output prints it: a format and some stops.
    std::size_t routeMaps = RouteMapToPrint(project.routeMap) ? 1 : 0;
    std::string text = FillPlaceholders(context_.language.Lang("ProjectShown"),
                                        {file, std::to_string(project.timeTablePlans.size()),
                                         std::to_string(tourPlans), std::to_string(project.stopTables.size()),
                                         std::to_string(routeMaps)});
    if (loadedDate_ != kNoDate) {
        std::string day = ToUtf8(DateOf(loadedDate_).toString(kDateFieldFormat));
        text += ' ';
        text += FillPlaceholders(context_.language.Lang("ProjectDate"), {day});
    }
    projectLabel_->setText(FromUtf8(text));
    std::u8string path = ProjectFilePath(context_).u8string();
    projectLabel_->setToolTip(
        QDir::toNativeSeparators(QString::fromUtf8(reinterpret_cast<const char*>(path.data()), static_cast<qsizetype>(path.size()))));
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
    // A folder without a timetable gives no plan to create (the route map is
    // made in its own window).
    createOutputButton_->setEnabled(mapLoaded_ && timetableFound_ && !context_.projectName.empty());
    enable(stopTableButton_, openers_.stopTable, mapLoaded_ && timetableFound_);
    enable(timeTableButton_, openers_.timeTable, mapLoaded_ && timetableFound_);
    enable(tourPlanButton_, openers_.tourPlan, mapLoaded_ && timetableFound_);
    linePlansButton_->setEnabled(static_cast<bool>(openers_.timeTableAt) && mapLoaded_ && timetableFound_ &&
                                 !context_.map->lines.empty());
    SetButtonHints();
}

// A disabled button says why in its tooltip; an enabled one shows its whole caption.
void MainWindow::SetButtonHints() {
    const LanguageTable& language = context_.language;
    auto hint = [&](QPushButton* button, const std::function<void()>* opener, bool needsTimetable) {
        QString why;
        if (opener != nullptr && !*opener) {
            why = LangText(language, "HintWindowLater");
        } else if (!mapLoaded_) {
            why = LangText(language, "HintLoadMap");
        } else if (needsTimetable && !timetableFound_) {
            why = LangText(language, "HintNoTimetable");
        }
        QString caption = FromUtf8(WithoutKeyMarks(ToUtf8(button->text())));
        button->setToolTip(button->isEnabled() || why.isEmpty() ? caption : caption + ": " + why);
    };
    hint(timeTableButton_, &openers_.timeTable, true);
    hint(tourPlanButton_, &openers_.tourPlan, true);
    hint(linePlansButton_, nullptr, true);
    hint(stopTableButton_, &openers_.stopTable, true);
    hint(routeMapButton_, &openers_.routeMap, false);
    hint(createOutputButton_, nullptr, true);
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
    const auto& events = context_.map->chronoEvents;
    if (!ok || eventIndex < 0 || eventIndex >= static_cast<int>(events.size())) return;
    const ChronoEvent& event = events[static_cast<std::size_t>(eventIndex)];
    DateValue date = event.startDate != kNoDate ? event.startDate : event.endDate;
    if (date != kNoDate) dateField_->setDate(DateOf(date));
}

void MainWindow::OnLanguageChosen(int index) {
    if (index < 0) return;
    std::string name = ToUtf8(languageChooser_->itemText(index));
    context_.settings.language = name;
    if (places_.languageFolder) static_cast<void>(context_.language.LoadLanguage(*places_.languageFolder, name));
    SaveSettings();
    ApplyQtLanguage();
    // The loaded map's events are named in the new language at once.
    if (mapLoaded_) {
        RenameChronoEvents(*context_.map, loadedFolder_, context_.language.Lang("LangShort"));
        activeEventsList_->clear();
        eventChooser_->clear();
        FillEvents(loadedDate_);
    }
    SetCaptions();
}

// Qt's own dialogs (file and folder choosers, the calendar) and date texts
// follow the program's language: Qt's translation of the language's short
// name ("LangShort") is installed when Qt has one.
void MainWindow::ApplyQtLanguage() {
    std::string shortName = context_.language.Lang("LangShort");
    if (qtTranslator_) QCoreApplication::removeTranslator(qtTranslator_.get());
    qtTranslator_.reset();
    if (shortName.empty()) return;
    QLocale locale(FromUtf8(shortName));
    QLocale::setDefault(locale);
    auto translator = std::make_unique<QTranslator>();
    // Qt's own folder where Qt is installed (Linux), else the one the
    // Windows package carries beside the program.
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  QCoreApplication::applicationDirPath() + "/translations"}) {
        if (translator->load(locale, "qtbase", "_", folder)) {
            QCoreApplication::installTranslator(translator.get());
            qtTranslator_ = std::move(translator);
            return;
        }
    }
}

void MainWindow::OpenIfProjectLoaded(const std::function<void()>& opener) {
    if (opener && !context_.projectName.empty()) opener();
}

const Line* MainWindow::ChosenLine() const {
    std::string name;
    if (const QTreeWidgetItem* item = lineToursTree_->currentItem()) {
        name = ToUtf8((item->parent() ? item->parent() : item)->text(0));
    } else if (const QTreeWidgetItem* tripItem = lineTripsTree_->currentItem()) {
        name = ToUtf8((tripItem->parent() ? tripItem->parent() : tripItem)->text(0));
    }
    for (const auto& line : context_.map->lines) {
        if (line->name == name) return line.get();
    }
    return nullptr;
}

bool MainWindow::MakePlansForChosenLine() {
    if (context_.projectName.empty() || !openers_.timeTableAt || context_.map->lines.empty()) return false;
    const LanguageTable& language = context_.language;
    QStringList names;
    const Line* chosen = ChosenLine();
    int current = 0;
    for (const auto& line : context_.map->lines) {
        if (line.get() == chosen) current = static_cast<int>(names.size());
        names.push_back(FromUtf8(line->name));
    }
    QString answer = dialogs_.ChooseItem(this, WindowTitleFor(language, "PlansForLine"),
                                         LangText(language, "ChooseLine"), names, current);
    int index = names.indexOf(answer);
    if (answer.isEmpty() || index < 0) return false;
    const Line& line = *context_.map->lines[static_cast<std::size_t>(index)];
    std::optional<LinePlans> made = MakePlansForLine(context_.project, line, language);
    if (!made) {
        dialogs_.ShowMessage(this, kMessageTitle,
                             FromUtf8(FillPlaceholders(language.Lang("LineRunsNoTrip"), {line.name})));
        return false;
    }
    // Saved at once: the plans stay even when the window is left with Cancel.
    if (!SaveProjectOrTell(context_, dialogs_, this)) return false;
    openers_.timeTableAt(made->timeTablePlan);
    return true;
}

bool MainWindow::LoadMapOfFields() {
    std::string folderText = ToUtf8(mapFolderField_->text());
    DateValue date = dateSwitch_->isChecked() ? DateValueOf(dateField_->date()) : kNoDate;
    std::filesystem::path folder = PathFromText(folderText);

    // The trees point into the map that is about to be replaced.
    ClearMapViews();
    MapCheckRecord record;
    // A folder with or without a trailing separator names the same project.
    bool ok = LoadMapAndProject(context_, folder, date, &record);
    if (!ok) dialogs_.ShowMessage(this, kMessageTitle, LangText(context_.language, "CantFindTT"));
    findings_ = CheckMap(*context_.map, record);
    loadedFolder_ = folder;
    loadedDate_ = date;

    FillLineTours();
    FillLineTrips();
    FillEvents(date);
    mapLoaded_ = true;
    timetableFound_ = ok;
    SetEnabledStates();
    SetCaptions();  // also shows the project

    std::string mapName = ProjectNameFor(folder, kNoDate);
    setWindowTitle(mapName.empty() ? QString("Taktarium") : "Taktarium - " + FromUtf8(mapName));
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
    for (const auto& line : context_.map->lines) {
        auto* lineItem = new QTreeWidgetItem(lineToursTree_, QStringList(FromUtf8(line->name)));
        lineItem->setToolTip(0, lineItem->text(0));
        for (const Tour& tour : line->tours) {
            auto* tourItem = new QTreeWidgetItem(lineItem, QStringList(FromUtf8(tour.name)));
            // The column is narrow: long names are a hover away.
            tourItem->setToolTip(0, tourItem->text(0));
            SetRecord(tourItem, kTourRole, &tour);
        }
    }
}

// The trips are sorted by line name; each run of one line gets a line item.
void MainWindow::FillLineTrips() {
    QTreeWidgetItem* lineItem = nullptr;
    const std::string* lineName = nullptr;
    for (const auto& trip : context_.map->trips) {
        if (lineItem == nullptr || *lineName != trip->lineName) {
            lineItem = new QTreeWidgetItem(lineTripsTree_, QStringList(FromUtf8(trip->lineName)));
            lineItem->setToolTip(0, lineItem->text(0));
            lineName = &trip->lineName;
        }
        auto* tripItem = new QTreeWidgetItem(lineItem, QStringList(FromUtf8(trip->name)));
        tripItem->setToolTip(0, tripItem->text(0));
        SetRecord(tripItem, kTripRole, trip.get());
    }
}

void MainWindow::FillEvents(DateValue date) {
    const auto& events = context_.map->chronoEvents;
    for (std::size_t i = 0; i < events.size(); ++i) {
        eventChooser_->addItem(FromUtf8(events[i].name), static_cast<int>(i));
    }
    // Nothing is chosen until the user picks an event (choosing sets the date).
    eventChooser_->setCurrentIndex(-1);
    for (const ChronoEvent* event : ListChronoEvents(*context_.map, date)) {
        auto* item = new QListWidgetItem(FromUtf8(event->name), activeEventsList_);
        item->setToolTip(item->text());
    }
}

void MainWindow::SaveSettings() {
    ProgramSettings& settings = context_.settings;
    settings.map = ToUtf8(mapFolderField_->text());
    settings.date = dateSwitch_->isChecked() ? ToUtf8(dateField_->text()) : std::string();
    // A file that cannot be written is not reported; the settings are a convenience.
    static_cast<void>(SaveProgramSettings(context_.workingFolder / kProgramSettingsFileName, settings));
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
    std::string missingLanguage = LoadStartState(context, places);
    QtDialogs dialogs;
    MainWindow* owner = nullptr;
    PlanWindowOpeners openers;
    openers.timeTable = [&] { OpenPlanWindow<TimeTableWindow>(context, dialogs, owner); };
    openers.tourPlan = [&] { OpenPlanWindow<TourPlanWindow>(context, dialogs, owner); };
    openers.stopTable = [&] { OpenPlanWindow<StopTableWindow>(context, dialogs, owner); };
    openers.routeMap = [&] { OpenRouteMapWindow(context, dialogs, owner); };
    openers.timeTableAt = [&](std::size_t plan) {
        OpenPlanWindow<TimeTableWindow>(context, dialogs, owner)->SelectPlan(plan);
    };
    MainWindow window(context, places, dialogs, std::move(openers));
    owner = &window;
    window.show();
    if (!missingLanguage.empty()) {
        dialogs.ShowMessage(&window, kMessageTitle,
                            FromUtf8(FillPlaceholders(context.language.Lang("LanguageNotFound"),
                                                       {missingLanguage, context.settings.language})));
    }
    return QApplication::exec();
}

}  // namespace tak::ui
