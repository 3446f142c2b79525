#include "ui/RouteSpiderWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/AppContext.h"
#include "project/PlanEditing.h"
#include "project/ProjectLimits.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

constexpr const char* kTitleKey = "WinRouteSpider";
constexpr int kMaxChangesLength = 4000;

// Interchange notes keep CR LF in memory; the text field works with LF.
QString ChangesForField(const std::string& changes) {
    return FromUtf8(changes).replace("\r\n", "\n");
}
std::string ChangesFromField(const QString& text) {
    return ToUtf8(QString(text).replace("\r\n", "\n").replace("\n", "\r\n"));
}

QString StopText(const SpiderStop& stop) {
    return FromUtf8(StopRowText(stop.name, stop.station ? stop.station->id : 0));
}

}  // namespace

RouteSpiderWindow::RouteSpiderWindow(AppContext& context, Dialogs& dialogs, QWidget* owner)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context),
      dialogs_(dialogs),
      trips_(TripsByName(*context.map)),
      // An unreadable file leaves no spiders to go back to: on No the edited
      // ones are dropped all the same, as the user asked.
      changes_(*this, dialogs, context, "RSModified",
               {.save = [this] { return Save(); },
                .discard =
                    [this] {
                        static_cast<void>(
                            LoadRouteSpiders(context_.project, *context_.map, ProjectFilePath(context_)));
                    }}) {
    setObjectName("routeSpiderWindow");
    setWindowTitle(WindowTitleFor(context.language, kTitleKey));
    CreateControls();
    PlaceControls();
    ConnectControls();
    FillSpiderList(-1);
    FillStationChooser();
    changes_.SetApplyButton(applyButton_);
    KeepAbove(this, owner);
}

// Controls are made in reading order, which is also their tab order.
void RouteSpiderWindow::CreateControls() {
    const LanguageTable& language = context_.language;
    spiderList_ = new QListWidget(this);
    spiderList_->setObjectName("spiderList");
    newSpiderButton_ = NewButton(this, "newSpiderButton", LangText(language, "New") + "...");
    deleteSpiderButton_ = NewButton(this, "deleteSpiderButton", LangText(language, "Delete"));
    spiderNameField_ = new QLineEdit(this);
    spiderNameField_->setObjectName("spiderNameField");
    spiderNameField_->setMaxLength(kMaxFieldLength);
    displayTravelList_ = new QComboBox(this);
    displayTravelList_->setObjectName("displayTravelList");
    for (const char* key : {"DontDisplay", "OnTop", "Beneath"}) displayTravelList_->addItem(LangText(language, key));

    wayList_ = new QListWidget(this);
    wayList_->setObjectName("wayList");
    wayList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    newWayButton_ = NewButton(this, "newWayButton", LangText(language, "New"));
    deleteWayButton_ = NewButton(this, "deleteWayButton", LangText(language, "Delete"));
    wayUpButton_ = NewArrowButton(this, "wayUpButton", kUpArrow);
    wayDownButton_ = NewArrowButton(this, "wayDownButton", kDownArrow);
    beginWayList_ = new QComboBox(this);
    beginWayList_->setObjectName("beginWayList");
    endWayList_ = new QComboBox(this);
    endWayList_->setObjectName("endWayList");

    tripList_ = new QComboBox(this);
    tripList_->setObjectName("fromTripList");
    for (std::size_t i = 0; i < trips_.size(); ++i) tripList_->addItem(FromUtf8(trips_[i]->name), static_cast<int>(i));
    stationList_ = new QComboBox(this);
    stationList_->setObjectName("stationList");
    addAllButton_ = NewButton(this, "addAllButton", LangText(language, "AddAll"));
    addStationButton_ = NewButton(this, "addStationButton", LangText(language, "Add"));
    stopList_ = new QListWidget(this);
    stopList_->setObjectName("spiderStopList");
    stopUpButton_ = NewArrowButton(this, "stopUpButton", kUpArrow);
    stopDownButton_ = NewArrowButton(this, "stopDownButton", kDownArrow);
    deleteStopButton_ = NewButton(this, "deleteStopButton", LangText(language, "Delete"));
    stopNameField_ = new QLineEdit(this);
    stopNameField_->setObjectName("stopNameField");
    stopNameField_->setMaxLength(kMaxFieldLength);
    stopIdField_ = new QLineEdit(this);
    stopIdField_->setObjectName("stopIdField");
    stopIdField_->setReadOnly(true);
    importantBox_ = new QCheckBox(LangText(language, "ImportStop"), this);
    importantBox_->setObjectName("importantBox");
    travelTimeField_ = new QSpinBox(this);
    travelTimeField_->setObjectName("travelTimeField");
    travelTimeField_->setRange(0, kMaxSpiderTravelTime);
    changesField_ = new QPlainTextEdit(this);
    changesField_->setObjectName("changesField");
    changesField_->setTabChangesFocus(true);
    changesField_->setMinimumHeight(changesField_->fontMetrics().lineSpacing() * 4);

    okButton_ = NewButton(this, "okButton", LangText(language, "OK"));
    okButton_->setDefault(true);
    applyButton_ = NewButton(this, "applyButton", LangText(language, "Apply"));
    cancelButton_ = NewButton(this, "cancelButton", LangText(language, "Cancel"));
}

// The spiders on the left, the ways of the chosen spider in the middle, the
// stops of the chosen way on the right.
void RouteSpiderWindow::PlaceControls() {
    const LanguageTable& language = context_.language;
    auto* spiderButtons = new QHBoxLayout;
    spiderButtons->addWidget(newSpiderButton_);
    spiderButtons->addWidget(deleteSpiderButton_);
    auto* spiderFields = new QFormLayout;
    spiderFields->addRow(LangLabel(language, "RSName"), spiderNameField_);
    spiderFields->addRow(LangLabel(language, "DisplayTravel"), displayTravelList_);
    auto* spiders = new QVBoxLayout;
    spiders->addWidget(spiderList_, 1);
    spiders->addLayout(spiderButtons);
    spiders->addLayout(spiderFields);

    auto* wayButtons = new QHBoxLayout;
    for (QPushButton* button : {newWayButton_, deleteWayButton_, wayUpButton_, wayDownButton_}) {
        wayButtons->addWidget(button);
    }
    auto* wayPoints = new QFormLayout;
    wayPoints->setRowWrapPolicy(QFormLayout::WrapAllRows);
    wayPoints->addRow(LangLabel(language, "BeginWay"), beginWayList_);
    wayPoints->addRow(LangLabel(language, "EndWay"), endWayList_);
    auto* waysFrame = new QGroupBox(LangText(language, "Ways"), this);
    auto* ways = new QVBoxLayout(waysFrame);
    ways->addWidget(wayList_, 1);
    ways->addLayout(wayButtons);
    ways->addLayout(wayPoints);

    auto* importRow = new QHBoxLayout;
    importRow->addWidget(addAllButton_);
    importRow->addWidget(addStationButton_);
    auto* import = new QFormLayout;
    import->addRow(LangLabel(language, "FromTrip"), tripList_);
    import->addRow(stationList_);
    import->addRow(importRow);
    auto* stopButtons = new QHBoxLayout;
    for (QPushButton* button : {stopUpButton_, stopDownButton_, deleteStopButton_}) stopButtons->addWidget(button);
    auto* stopRows = new QVBoxLayout;
    stopRows->addWidget(stopList_, 1);
    stopRows->addLayout(stopButtons);
    auto* stopFields = new QFormLayout;
    stopFields->setRowWrapPolicy(QFormLayout::WrapLongRows);
    stopFields->addRow(LangLabel(language, "Name"), stopNameField_);
    stopFields->addRow(LangLabel(language, "ID"), stopIdField_);
    stopFields->addRow(importantBox_);
    stopFields->addRow(LangLabel(language, "TravelTime"), travelTimeField_);
    stopFields->addRow(new QLabel(LangLabel(language, "Interchanges"), this));
    stopFields->addRow(changesField_);
    auto* selectedStop = new QHBoxLayout;
    selectedStop->addLayout(stopRows, 1);
    selectedStop->addLayout(stopFields, 1);
    auto* stopsFrame = new QGroupBox(LangText(language, "Stops"), this);
    auto* stops = new QVBoxLayout(stopsFrame);
    stops->addLayout(import);
    stops->addLayout(selectedStop, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(spiders, 2);
    columns->addWidget(waysFrame, 2);
    columns->addWidget(stopsFrame, 5);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(applyButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);
}

void RouteSpiderWindow::ConnectControls() {
    connect(spiderList_, &QListWidget::currentRowChanged, this, [this] {
        if (!showing_) ShowSpider();
    });
    connect(newSpiderButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnNewSpider);
    connect(deleteSpiderButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnDeleteSpider);
    connect(spiderNameField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        RouteSpider* spider = Spider();
        if (spider == nullptr) return;
        spider->name = ToUtf8(text);
        spiderList_->currentItem()->setText(text);
        Touch();
    });
    connect(displayTravelList_, &QComboBox::activated, this, [this](int index) {
        RouteSpider* spider = Spider();
        if (spider == nullptr || index < 0 || index == spider->displayTravel) return;
        spider->displayTravel = index;
        Touch();
    });

    connect(wayList_, &QListWidget::itemSelectionChanged, this, [this] {
        if (!showing_) SetEnabledStates();
    });
    connect(wayList_, &QListWidget::currentRowChanged, this, [this] {
        if (!showing_) ShowWay();
    });
    connect(newWayButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnNewWay);
    connect(deleteWayButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnDeleteWays);
    connect(wayUpButton_, &QPushButton::clicked, this, [this] { OnMoveWays(-1); });
    connect(wayDownButton_, &QPushButton::clicked, this, [this] { OnMoveWays(1); });
    connect(beginWayList_, &QComboBox::activated, this, [this] { OnWayPointChosen(beginWayList_, &SpiderWay::begin); });
    connect(endWayList_, &QComboBox::activated, this, [this] { OnWayPointChosen(endWayList_, &SpiderWay::end); });

    connect(tripList_, &QComboBox::currentIndexChanged, this, &RouteSpiderWindow::FillStationChooser);
    connect(addAllButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnAddAll);
    connect(addStationButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnAddStation);
    connect(stopList_, &QListWidget::currentRowChanged, this, [this] {
        if (!showing_) ShowStop();
    });
    connect(stopUpButton_, &QPushButton::clicked, this, [this] { OnMoveStop(-1); });
    connect(stopDownButton_, &QPushButton::clicked, this, [this] { OnMoveStop(1); });
    connect(deleteStopButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnDeleteStop);
    connect(stopNameField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        SpiderStop* stop = Stop();
        if (stop == nullptr) return;
        stop->name = ToUtf8(text);
        stopList_->currentItem()->setText(StopText(*stop));
        FillWayPointChoosers();
        Touch();
    });
    connect(importantBox_, &QCheckBox::toggled, this, [this](bool on) {
        SpiderStop* stop = Stop();
        if (showing_ || stop == nullptr || stop->important == on) return;
        stop->important = on;
        Touch();
    });
    connect(travelTimeField_, &QSpinBox::valueChanged, this, [this](int minutes) {
        SpiderStop* stop = Stop();
        if (showing_ || stop == nullptr || stop->travelTime == minutes) return;
        stop->travelTime = minutes;
        Touch();
    });
    connect(changesField_, &QPlainTextEdit::textChanged, this, [this] {
        SpiderStop* stop = Stop();
        if (showing_ || stop == nullptr) return;
        QString text = changesField_->toPlainText();
        if (text.size() > kMaxChangesLength) {
            // Typed or pasted past the bound: the field keeps the first part.
            showing_ = true;
            changesField_->setPlainText(text.left(kMaxChangesLength));
            showing_ = false;
            text = changesField_->toPlainText();
        }
        stop->changes = ChangesFromField(text);
        Touch();
    });

    connect(okButton_, &QPushButton::clicked, this, &RouteSpiderWindow::OnOk);
    connect(applyButton_, &QPushButton::clicked, this, [this] { changes_.Apply(); });
    connect(cancelButton_, &QPushButton::clicked, this, &RouteSpiderWindow::reject);
}

RouteSpider* RouteSpiderWindow::Spider() {
    auto& spiders = context_.project.routeSpiders.spiders;
    int row = spiderList_->currentRow();
    return row >= 0 && row < static_cast<int>(spiders.size()) ? &spiders[static_cast<std::size_t>(row)] : nullptr;
}

int RouteSpiderWindow::SelectedWay() const {
    auto& spiders = context_.project.routeSpiders.spiders;
    int spider = spiderList_->currentRow();
    if (spider < 0 || spider >= static_cast<int>(spiders.size())) return -1;
    int way = wayList_->currentRow();
    return way >= 0 && way < static_cast<int>(spiders[static_cast<std::size_t>(spider)].ways.size()) ? way : -1;
}

SpiderWay* RouteSpiderWindow::Way() {
    int way = SelectedWay();
    return way >= 0 ? &Spider()->ways[static_cast<std::size_t>(way)] : nullptr;
}

SpiderStop* RouteSpiderWindow::Stop() {
    SpiderWay* way = Way();
    int stop = stopList_->currentRow();
    if (way == nullptr || stop < 0 || stop >= static_cast<int>(way->stops.size())) return nullptr;
    return &way->stops[static_cast<std::size_t>(stop)];
}

std::vector<int> RouteSpiderWindow::SelectedWays() const {
    std::vector<int> ways;
    for (int i = 0; i < wayList_->count(); ++i) {
        if (wayList_->item(i)->isSelected()) ways.push_back(i);
    }
    return ways;
}

void RouteSpiderWindow::FillSpiderList(int selected) {
    showing_ = true;
    spiderList_->clear();
    for (const RouteSpider& spider : context_.project.routeSpiders.spiders) spiderList_->addItem(FromUtf8(spider.name));
    spiderList_->setCurrentRow(selected);
    showing_ = false;
    ShowSpider();
}

void RouteSpiderWindow::ShowSpider() {
    const RouteSpider* spider = Spider();
    showing_ = true;
    spiderNameField_->setText(spider ? FromUtf8(spider->name) : QString());
    displayTravelList_->setCurrentIndex(spider ? spider->displayTravel : -1);
    showing_ = false;
    FillWayList({}, spider && !spider->ways.empty() ? 0 : -1);
}

void RouteSpiderWindow::FillWayList(const std::vector<int>& selected, int current) {
    const RouteSpider* spider = Spider();
    const LanguageTable& language = context_.language;
    showing_ = true;
    wayList_->clear();
    if (spider != nullptr) {
        for (std::size_t w = 0; w < spider->ways.size(); ++w) {
            wayList_->addItem(w == 0 ? LangText(language, "MainWay")
                                     : LangText(language, "AlterWay") + " " + QString::number(w));
        }
    }
    wayList_->setCurrentRow(current);
    for (int way : selected) {
        if (way >= 0 && way < wayList_->count()) wayList_->item(way)->setSelected(true);
    }
    showing_ = false;
    ShowWay();
}

void RouteSpiderWindow::ShowWay() {
    FillWayPointChoosers();
    FillStopList(-1);
}

// A way may branch off or join any stop of the ways before it.
void RouteSpiderWindow::FillWayPointChoosers() {
    const RouteSpider* spider = Spider();
    int selected = SelectedWay();
    const LanguageTable& language = context_.language;
    showing_ = true;
    for (QComboBox* chooser : {beginWayList_, endWayList_}) {
        chooser->clear();
        chooser->addItem(QString(), static_cast<uint>(kNoSpiderStop));
    }
    for (int w = 0; spider != nullptr && w < selected; ++w) {
        QString wayText = w == 0 ? LangText(language, "MainWayShort")
                                 : FromUtf8(FillPlaceholders(language.Lang("AlterWayShort"), {std::to_string(w)}));
        for (const SpiderStop& stop : spider->ways[static_cast<std::size_t>(w)].stops) {
            for (QComboBox* chooser : {beginWayList_, endWayList_}) {
                chooser->addItem(wayText + ": " + StopText(stop), static_cast<uint>(stop.key));
            }
        }
    }
    const SpiderWay* way = selected >= 0 ? &spider->ways[static_cast<std::size_t>(selected)] : nullptr;
    beginWayList_->setCurrentIndex(way ? std::max(beginWayList_->findData(static_cast<uint>(way->begin)), 0) : -1);
    endWayList_->setCurrentIndex(way ? std::max(endWayList_->findData(static_cast<uint>(way->end)), 0) : -1);
    showing_ = false;
}

void RouteSpiderWindow::FillStopList(int selected) {
    const SpiderWay* way = Way();
    showing_ = true;
    stopList_->clear();
    if (way != nullptr) {
        for (const SpiderStop& stop : way->stops) stopList_->addItem(StopText(stop));
    }
    stopList_->setCurrentRow(selected);
    showing_ = false;
    ShowStop();
}

void RouteSpiderWindow::ShowStop() {
    const SpiderStop* stop = Stop();
    showing_ = true;
    stopNameField_->setText(stop ? FromUtf8(stop->name) : QString());
    stopIdField_->setText(stop && stop->station ? QString::number(stop->station->id) : QString());
    importantBox_->setChecked(stop && stop->important);
    travelTimeField_->setValue(stop ? stop->travelTime : 0);
    changesField_->setPlainText(stop ? ChangesForField(stop->changes) : QString());
    showing_ = false;
    SetEnabledStates();
}

void RouteSpiderWindow::FillStationChooser() {
    stationList_->clear();
    int chosen = tripList_->currentIndex();
    if (chosen < 0) return;
    const Trip& trip = *trips_[static_cast<std::size_t>(tripList_->itemData(chosen).toInt())];
    for (std::size_t s = 0; s < trip.stations.size(); ++s) {
        const TripStation& station = trip.stations[s];
        stationList_->addItem(FromUtf8(StopRowText(station.name, station.id)), static_cast<int>(s));
    }
    SetEnabledStates();
}

void RouteSpiderWindow::SetEnabledStates() {
    bool spider = Spider() != nullptr;
    int way = SelectedWay();
    std::vector<int> ways = SelectedWays();
    int wayCount = wayList_->count();
    int stop = stopList_->currentRow();
    bool hasStop = Stop() != nullptr;
    deleteSpiderButton_->setEnabled(spider);
    spiderNameField_->setEnabled(spider);
    displayTravelList_->setEnabled(spider);
    wayList_->setEnabled(spider);
    newWayButton_->setEnabled(spider);
    // The main way stays first and is never deleted.
    bool alternativeSelected = std::any_of(ways.begin(), ways.end(), [](int w) { return w > 0; });
    deleteWayButton_->setEnabled(spider && alternativeSelected);
    bool movable = !ways.empty() && ways.front() > 0;
    wayUpButton_->setEnabled(spider && movable && ways.front() > 1);
    wayDownButton_->setEnabled(spider && movable && ways.back() + 1 < wayCount);
    beginWayList_->setEnabled(way > 0);
    endWayList_->setEnabled(way > 0);
    tripList_->setEnabled(way >= 0);
    stationList_->setEnabled(way >= 0);
    addAllButton_->setEnabled(way >= 0 && tripList_->currentIndex() >= 0);
    addStationButton_->setEnabled(way >= 0 && stationList_->currentIndex() >= 0);
    stopList_->setEnabled(way >= 0);
    stopUpButton_->setEnabled(hasStop && stop > 0);
    stopDownButton_->setEnabled(hasStop && stop + 1 < stopList_->count());
    deleteStopButton_->setEnabled(hasStop);
    for (QWidget* field : std::initializer_list<QWidget*>{stopNameField_, stopIdField_, importantBox_,
                                                         travelTimeField_, changesField_}) {
        field->setEnabled(hasStop);
    }
}

void RouteSpiderWindow::OnNewSpider() {
    QString name = dialogs_.InputText(this, windowTitle(), LangLabel(context_.language, "InputRSName"));
    if (name.isEmpty()) return;
    auto& list = context_.project.routeSpiders;
    AddRouteSpider(list, ToUtf8(name.left(kMaxFieldLength)));
    FillSpiderList(static_cast<int>(list.spiders.size()) - 1);
    Touch();
}

void RouteSpiderWindow::OnDeleteSpider() {
    int row = spiderList_->currentRow();
    auto& spiders = context_.project.routeSpiders.spiders;
    if (row < 0 || row >= static_cast<int>(spiders.size())) return;
    if (!dialogs_.AskYesNo(this, windowTitle(), LangText(context_.language, "QuestDelRS"))) return;
    spiders.erase(spiders.begin() + row);
    FillSpiderList(std::min(row, static_cast<int>(spiders.size()) - 1));
    Touch();
}

void RouteSpiderWindow::OnNewWay() {
    RouteSpider* spider = Spider();
    if (spider == nullptr) return;
    spider->ways.emplace_back();
    int added = static_cast<int>(spider->ways.size()) - 1;
    FillWayList({added}, added);
    Touch();
}

void RouteSpiderWindow::OnDeleteWays() {
    RouteSpider* spider = Spider();
    if (spider == nullptr) return;
    std::vector<std::size_t> ways;
    for (int way : SelectedWays()) ways.push_back(static_cast<std::size_t>(way));
    if (RemoveSpiderWays(*spider, ways) == 0) return;
    FillWayList({0}, 0);
    Touch();
}

// Moves the selected alternative ways one place; the main way stays first.
void RouteSpiderWindow::OnMoveWays(int step) {
    RouteSpider* spider = Spider();
    std::vector<int> ways = SelectedWays();
    if (spider == nullptr || ways.empty() || ways.front() < 1) return;
    int count = static_cast<int>(spider->ways.size());
    if ((step < 0 && ways.front() <= 1) || (step > 0 && ways.back() + 1 >= count)) return;
    if (step > 0) std::reverse(ways.begin(), ways.end());
    for (int& way : ways) {
        std::swap(spider->ways[static_cast<std::size_t>(way)], spider->ways[static_cast<std::size_t>(way + step)]);
        way += step;
    }
    ClearLinksToLaterWays(*spider);
    FillWayList(ways, wayList_->currentRow() + step);
    Touch();
}

void RouteSpiderWindow::OnWayPointChosen(QComboBox* chooser, SpiderStopKey SpiderWay::*point) {
    SpiderWay* way = Way();
    if (showing_ || way == nullptr || SelectedWay() == 0) return;
    SpiderStopKey key = chooser->currentData().toUInt();
    if (way->*point == key) return;
    way->*point = key;
    Touch();
}

void RouteSpiderWindow::OnAddAll() {
    RouteSpider* spider = Spider();
    int way = SelectedWay();
    int trip = tripList_->currentIndex();
    if (spider == nullptr || way < 0 || trip < 0) return;
    const Trip& chosen = *trips_[static_cast<std::size_t>(tripList_->itemData(trip).toInt())];
    ImportTrip(*spider, static_cast<std::size_t>(way), chosen);
    FillWayPointChoosers();
    FillStopList(stopList_->currentRow());
    Touch();
}

void RouteSpiderWindow::OnAddStation() {
    RouteSpider* spider = Spider();
    int way = SelectedWay();
    int trip = tripList_->currentIndex();
    int station = stationList_->currentIndex();
    if (spider == nullptr || way < 0 || trip < 0 || station < 0) return;
    const Trip& chosen = *trips_[static_cast<std::size_t>(tripList_->itemData(trip).toInt())];
    int stop = stopList_->currentRow();
    std::optional<std::size_t> after;
    if (stop >= 0) after = static_cast<std::size_t>(stop);
    AddSpiderStop(*spider, static_cast<std::size_t>(way),
                  chosen.stations[static_cast<std::size_t>(stationList_->itemData(station).toInt())], after);
    FillStopList(stop >= 0 ? stop + 1 : stopList_->count());
    Touch();
}

void RouteSpiderWindow::OnDeleteStop() {
    RouteSpider* spider = Spider();
    int way = SelectedWay();
    int stop = stopList_->currentRow();
    if (spider == nullptr || Stop() == nullptr) return;
    RemoveSpiderStop(*spider, static_cast<std::size_t>(way), static_cast<std::size_t>(stop));
    FillWayPointChoosers();
    FillStopList(std::min(stop, stopList_->count() - 2));
    Touch();
}

// Stops keep their keys when moved, so branch and join points move with them.
void RouteSpiderWindow::OnMoveStop(int step) {
    SpiderWay* way = Way();
    int stop = stopList_->currentRow();
    int other = stop + step;
    if (way == nullptr || Stop() == nullptr || other < 0 || other >= static_cast<int>(way->stops.size())) return;
    std::swap(way->stops[static_cast<std::size_t>(stop)], way->stops[static_cast<std::size_t>(other)]);
    FillWayPointChoosers();
    FillStopList(other);
    Touch();
}

// Only the spiders are written. A project without a file yet has nowhere to
// put them on their own: they stay in memory and go to disk with the plans,
// and the user is told so.
bool RouteSpiderWindow::Save() {
    std::filesystem::path file = ProjectFilePath(context_);
    std::error_code error;
    if (!context_.projectName.empty() && !std::filesystem::exists(file, error)) {
        dialogs_.ShowMessage(this, kMessageTitle, LangText(context_.language, "RSSavedWithPlans"));
        return true;
    }
    if (!context_.projectName.empty() && SaveRouteSpiders(context_.project, file)) return true;
    dialogs_.ShowMessage(this, kMessageTitle, LangText(context_.language, "ErrSaveProject"));
    return false;
}

void RouteSpiderWindow::OnOk() {
    if (changes_.Apply()) Finish();
}

void RouteSpiderWindow::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    if (changes_.MayLeave()) Finish();
}

void RouteSpiderWindow::Finish() {
    finished_ = true;
    hide();
    emit Closed();
}

void RouteSpiderWindow::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

}  // namespace tak::ui
