#include "ui/RouteMapWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "app/AppContext.h"
#include "project/ProjectLimits.h"
#include "ui/OutputDialog.h"
#include "ui/RouteMapDialogs.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

// Press and release closer than this in both directions is a click.
constexpr int kClickSlack = 3;
// The route key a connection's tree item carries.
constexpr int kKeyRole = Qt::UserRole;

// A small square of the colour, for the colour chooser's entries.
QPixmap Swatch(Rgb colour) {
    QPixmap swatch(8, 8);
    swatch.fill(QColor(colour.r, colour.g, colour.b));
    return swatch;
}

}  // namespace

// ---------------------------------------------------------------------------
// Canvas

RouteMapCanvasWidget::RouteMapCanvasWidget(const RouteMap& map, const RouteMapLayoutResult& layout,
                                           const RouteMapEditorView& view, QWidget* parent)
    : QWidget(parent), map_(map), layout_(layout), view_(view) {
    setObjectName("routeMapCanvas");
    setMouseTracking(true);
    FitToMap();
}

void RouteMapCanvasWidget::FitToMap() {
    setFixedSize(kCellPixels * std::clamp(map_.width, 0, kMaxRouteMapCells) + 1, kCellPixels * std::clamp(map_.height, 0, kMaxRouteMapCells) + 1);
}

// Only the exposed part is drawn: a large map costs what the window shows.
void RouteMapCanvasWidget::paintEvent(QPaintEvent* event) {
    const QRect exposed = event->rect().intersected(rect());
    if (exposed.isEmpty()) return;
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(),
                      RouteMapCrop(map_, layout_, exposed.x(), exposed.y(), exposed.width(), exposed.height(), &view_));
}

void RouteMapCanvasWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressedAt_ = event->position().toPoint();
}

void RouteMapCanvasWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit PointerAt(at);
    if (!pressedAt_) return;
    const QPoint moved = at - *pressedAt_;
    if (std::abs(moved.x()) >= kClickSlack || std::abs(moved.y()) >= kClickSlack) {
        emit BandChanged(QRect(*pressedAt_, at).normalized());
    }
}

void RouteMapCanvasWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressedAt_) return;
    const QPoint at = event->position().toPoint();
    const QPoint start = *pressedAt_;
    pressedAt_.reset();
    emit BandChanged(std::nullopt);
    const QPoint moved = at - start;
    if (std::abs(moved.x()) < kClickSlack && std::abs(moved.y()) < kClickSlack) {
        emit Clicked(start);
    } else {
        emit AreaChosen(QRect(start, at).normalized());
    }
}

// ---------------------------------------------------------------------------
// Window

RouteMapWindow::RouteMapWindow(AppContext& context, Dialogs& dialogs, QWidget* owner)
    : QWidget(nullptr, Qt::Window),
      context_(context),
      dialogs_(dialogs),
      owner_(owner),
      // Leaving reads the project file again, changed or not: unsaved
      // changes of every plan are dropped with it.
      changes_(*this, dialogs, context, "RMModified",
               {.save = [this] { return SaveProjectAsking(context_, dialogs_, this); },
                .discard = [this] { ReloadProject(context_); },
                .discardWhenUnchanged = true}) {
    setObjectName("routeMapWindow");
    setWindowTitle(WindowTitleFor(context_.language, "WinRouteMap"));
    CreateControls();
    LayOut();
    Refresh();
    ShowPage(0);
    resize(1180, 760);
    if (owner_) owner_->setEnabled(false);
}

RouteMapWindow::~RouteMapWindow() = default;

RouteMap& RouteMapWindow::Map() { return context_.project.routeMap; }

RouteLine* RouteMapWindow::Line() { return FindRouteLine(Map(), selectedLine_); }
RouteStop* RouteMapWindow::Stop() { return FindRouteStop(Map(), selectedStop_); }
Connection* RouteMapWindow::SelectedConnectionRecord() { return FindConnection(Map(), selectedConnection_); }

StopLabel* RouteMapWindow::Label() {
    RouteStop* stop = Stop();
    if (!stop || selectedLabel_ < 0 || selectedLabel_ >= static_cast<int>(stop->labels.size())) return nullptr;
    return &stop->labels[static_cast<std::size_t>(selectedLabel_)];
}

const StopPlace* RouteMapWindow::Place() const { return layout_.StopOf(context_.project.routeMap, selectedStop_); }

const StopLabel* RouteMapWindow::PlacedLabel() const {
    const StopPlace* place = Place();
    if (!place || selectedLabel_ < 0 || selectedLabel_ >= static_cast<int>(place->labels.size())) return nullptr;
    return &place->labels[static_cast<std::size_t>(selectedLabel_)];
}

const std::vector<GridPoint>& RouteMapWindow::SelectedPath() const {
    static const std::vector<GridPoint> none;
    const ConnectionRoute* route = layout_.RouteOf(context_.project.routeMap, selectedConnection_);
    return route ? route->path : none;
}

StopBox RouteMapWindow::ShownBox(const RouteStop& stop) const {
    const StopPlace* place = layout_.StopOf(context_.project.routeMap, stop.key);
    return stop.automatic && place && place->box.x >= 0 ? place->box : stop.stored;
}

StopLabel RouteMapWindow::ShownLabel(const StopLabel& label) const {
    const StopLabel* placed = PlacedLabel();
    return label.automatic && placed ? *placed : label;
}

namespace {

// Every control of the pages writes the model through this: unless the page
// is being filled from the model, the edit runs (and lays the map out anew).
template <typename Sender, typename Signal>
void OnEdit(QObject* receiver, const bool& refreshing, Sender* sender, Signal signal, std::function<void()> edit) {
    QObject::connect(sender, signal, receiver, [&refreshing, edit = std::move(edit)] {
        if (!refreshing) edit();
    });
}

QSpinBox* NewSpin(QWidget* parent, const char* name, int low, int high) {
    auto* spin = Named(new QSpinBox(parent), name);
    spin->setRange(low, high);
    spin->setKeyboardTracking(false);
    return spin;
}

}  // namespace

void RouteMapWindow::CreateControls() {
    const LanguageTable& language = context_.language;
    canvas_ = new RouteMapCanvasWidget(Map(), layout_, view_, this);
    scroll_ = Named(new QScrollArea(this), "canvasScroll");
    scroll_->setWidget(canvas_);
    status_ = Named(new QLabel(this), "statusText");

    auto* panel = new QWidget(this);
    panel->setFixedWidth(400);
    auto* panelLayout = new QVBoxLayout(panel);
    auto* pageRow = new QHBoxLayout;
    const char* pageKeys[] = {"General", "Lines", "Stops", "Connections"};
    const char* pageNames[] = {"generalPageButton", "linesPageButton", "stopsPageButton", "connectionsPageButton"};
    for (int i = 0; i < 4; ++i) {
        pageButtons_[i] = Named(new QPushButton(LangText(language, pageKeys[i]), panel), pageNames[i]);
        pageButtons_[i]->setCheckable(true);
        pageRow->addWidget(pageButtons_[i]);
        connect(pageButtons_[i], &QPushButton::clicked, this, [this, i] { ShowPage(i); });
    }
    panelLayout->addLayout(pageRow);
    pages_ = Named(new QStackedWidget(panel), "pages");
    pages_->addWidget(CreateGeneralPage());
    pages_->addWidget(CreateLinesPage());
    pages_->addWidget(CreateStopsPage());
    pages_->addWidget(CreateConnectionsPage());
    panelLayout->addWidget(pages_, 1);

    auto* bottom = new QHBoxLayout;
    auto* ok = Named(new QPushButton(LangText(language, "OK"), panel), "okButton");
    applyButton_ = Named(new QPushButton(LangText(language, "Apply"), panel), "applyButton");
    auto* cancel = Named(new QPushButton(LangText(language, "Cancel"), panel), "cancelButton");
    auto* output = Named(new QPushButton(LangText(language, "CreateOutput"), panel), "createOutputButton");
    changes_.SetApplyButton(applyButton_);
    for (QPushButton* button : {ok, applyButton_, cancel, output}) bottom->addWidget(button);
    panelLayout->addLayout(bottom);
    connect(ok, &QPushButton::clicked, this, &RouteMapWindow::OnOk);
    connect(applyButton_, &QPushButton::clicked, this, &RouteMapWindow::OnApply);
    connect(cancel, &QPushButton::clicked, this, &RouteMapWindow::OnCancel);
    connect(output, &QPushButton::clicked, this, &RouteMapWindow::OpenOutput);

    auto* left = new QVBoxLayout;
    left->addWidget(scroll_, 1);
    left->addWidget(status_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(panel);

    connect(canvas_, &RouteMapCanvasWidget::Clicked, this, &RouteMapWindow::OnCanvasClick);
    connect(canvas_, &RouteMapCanvasWidget::AreaChosen, this, &RouteMapWindow::OnArea);
    connect(canvas_, &RouteMapCanvasWidget::PointerAt, this, &RouteMapWindow::OnPointer);
    connect(canvas_, &RouteMapCanvasWidget::BandChanged, this, [this](std::optional<QRect> band) {
        view_.rubberBand.reset();
        if (band) view_.rubberBand = RouteMapEditorView::Band{band->x(), band->y(), band->width(), band->height()};
        canvas_->update();
    });
}

QWidget* RouteMapWindow::CreateGeneralPage() {
    const LanguageTable& language = context_.language;
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    formatCombo_ = Named(new QComboBox(page), "formatCombo");
    formatCombo_->addItems({LangText(language, "DontCreate"), "PDF-" + LangText(language, "File"),
                            "PNG-" + LangText(language, "File")});
    form->addRow(LangLabel(language, "OutputFormat"), formatCombo_);
    scaleCombo_ = Named(new QComboBox(page), "pngScaleCombo");
    for (int32_t scale : kPngScales) {
        scaleCombo_->addItem(scale == 1 ? LangText(language, "ScaleScreen") : QString::number(scale) + "\u00d7", scale);
    }
    form->addRow(LangLabel(language, "PngScale"), scaleCombo_);
    titleEdit_ = Named(new QLineEdit(page), "mapTitleEdit");
    titleEdit_->setMaxLength(static_cast<int>(kMaxHeadingText));
    form->addRow(LangLabel(language, "MapTitle"), titleEdit_);
    widthSpin_ = NewSpin(page, "mapWidthSpin", 1, kMaxRouteMapCells);
    heightSpin_ = NewSpin(page, "mapHeightSpin", 1, kMaxRouteMapCells);
    form->addRow(LangLabel(language, "MapWidth"), widthSpin_);
    form->addRow(LangLabel(language, "MapHeight"), heightSpin_);
    moveLabel_ = Named(new QLabel(page), "moveLabel");
    auto* arrows = new QHBoxLayout;
    struct Arrow {
        const char* name;
        const char* text;
        int dx, dy;
    };
    for (const Arrow& arrow : {Arrow{"moveUpButton", "\u2191", 0, -1}, Arrow{"moveDownButton", "\u2193", 0, 1},
                               Arrow{"moveLeftButton", "\u2190", -1, 0}, Arrow{"moveRightButton", "\u2192", 1, 0}}) {
        auto* button = Named(new QPushButton(QString::fromUtf8(arrow.text), page), arrow.name);
        button->setFixedWidth(32);
        arrows->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, arrow] { MoveMapBy(arrow.dx, arrow.dy); });
    }
    form->addRow(moveLabel_, arrows);
    roundSpin_ = NewSpin(page, "smoothStopSpin", 0, 64);
    form->addRow(LangLabel(language, "SmoothStop"), roundSpin_);
    diagonalBox_ = Named(new QCheckBox(LangText(language, "AllowDiagCon"), page), "allowDiagBox");
    form->addRow(diagonalBox_);
    auto* addLine = Named(new QPushButton(LangText(language, "AddNewLine"), page), "addNewLineButton");
    form->addRow(addLine);

    OnEdit(this, refreshing_, formatCombo_, &QComboBox::currentIndexChanged, [this] {
        Map().format = formatCombo_->currentIndex();
        Changed();
    });
    // Scale and title leave the drawing as it is: no new layout.
    OnEdit(this, refreshing_, scaleCombo_, &QComboBox::currentIndexChanged, [this] {
        Map().pngScale = LimitPngScale(scaleCombo_->currentData().toInt());
        MarkModified();
    });
    OnEdit(this, refreshing_, titleEdit_, &QLineEdit::textEdited, [this] {
        std::string title = LimitHeadingText(ToUtf8(titleEdit_->text()));
        if (title == Map().title) return;
        Map().title = std::move(title);
        MarkModified();
    });
    OnEdit(this, refreshing_, widthSpin_, &QSpinBox::valueChanged, [this] {
        Map().width = widthSpin_->value();
        Changed();
    });
    OnEdit(this, refreshing_, heightSpin_, &QSpinBox::valueChanged, [this] {
        Map().height = heightSpin_->value();
        Changed();
    });
    OnEdit(this, refreshing_, roundSpin_, &QSpinBox::valueChanged, [this] {
        Map().roundBox = roundSpin_->value();
        Changed();
    });
    OnEdit(this, refreshing_, diagonalBox_, &QCheckBox::toggled, [this] {
        Map().allowDiag = diagonalBox_->isChecked();
        Changed();
    });
    connect(addLine, &QPushButton::clicked, this, &RouteMapWindow::AddNewLineFromDialog);
    return page;
}

QWidget* RouteMapWindow::CreateLinesPage() {
    const LanguageTable& language = context_.language;
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    lineList_ = Named(new QListWidget(page), "lineList");
    layout->addWidget(lineList_, 1);
    auto* buttons = new QHBoxLayout;
    auto* newLine = Named(new QPushButton(LangText(language, "New") + "...", page), "newLineButton");
    auto* deleteLine = Named(new QPushButton(LangText(language, "Delete"), page), "deleteLineButton");
    auto* up = Named(new QPushButton("\u2191", page), "lineUpButton");
    auto* down = Named(new QPushButton("\u2193", page), "lineDownButton");
    for (QPushButton* button : {newLine, deleteLine, up, down}) buttons->addWidget(button);
    layout->addLayout(buttons);

    auto* form = new QFormLayout;
    lineName_ = Named(new QLineEdit(page), "lineNameEdit");
    form->addRow(LangLabel(language, "Name"), lineName_);
    colourCombo_ = Named(new QComboBox(page), "colourCombo");
    colourCombo_->addItem(LangText(language, "Automatic"));
    for (const RouteColour& entry : RouteColourTable()) colourCombo_->addItem(Swatch(entry.rgb), QString::fromUtf8(entry.name));
    form->addRow(LangLabel(language, "Color"), colourCombo_);
    textColourCombo_ = Named(new QComboBox(page), "textColourCombo");
    arrowColourCombo_ = Named(new QComboBox(page), "arrowColourCombo");
    for (QComboBox* combo : {textColourCombo_, arrowColourCombo_}) {
        combo->addItems({LangText(language, "Black"), LangText(language, "Gray"), LangText(language, "White")});
    }
    form->addRow(LangLabel(language, "TextColor"), textColourCombo_);
    form->addRow(LangLabel(language, "ArrowColor"), arrowColourCombo_);
    strokeCombo_ = Named(new QComboBox(page), "strokeCombo");
    strokeCombo_->addItems({LangText(language, "Normal"), LangText(language, "Dotted")});
    form->addRow(LangLabel(language, "StrokeType"), strokeCombo_);
    thicknessSpin_ = NewSpin(page, "thicknessSpin", 1, 32);
    form->addRow(LangLabel(language, "Thickness"), thicknessSpin_);
    autoNamesBox_ = Named(new QCheckBox(LangText(language, "AutoLineNames"), page), "autoNamesBox");
    form->addRow(autoNamesBox_);
    layout->addLayout(form);

    connect(lineList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshing_) return;
        selectedLine_ = row >= 0 && row < static_cast<int>(Map().lines.size()) ? Map().lines[static_cast<std::size_t>(row)].key
                                                                              : kNoRouteKey;
        refreshing_ = true;
        RefreshLine();
        refreshing_ = false;
    });
    connect(newLine, &QPushButton::clicked, this, &RouteMapWindow::NewLine);
    connect(deleteLine, &QPushButton::clicked, this, &RouteMapWindow::DeleteLine);
    connect(up, &QPushButton::clicked, this, [this] {
        if (MoveRouteLine(Map(), selectedLine_, -1)) Changed();
    });
    connect(down, &QPushButton::clicked, this, [this] {
        if (MoveRouteLine(Map(), selectedLine_, 1)) Changed();
    });
    OnEdit(this, refreshing_, lineName_, &QLineEdit::editingFinished, [this] {
        if (RouteLine* line = Line(); line && line->name != ToUtf8(lineName_->text())) {
            line->name = ToUtf8(lineName_->text());
            Changed();
        }
    });
    OnEdit(this, refreshing_, colourCombo_, &QComboBox::currentIndexChanged,
           [this] { ChooseColour(colourCombo_->currentIndex()); });
    OnEdit(this, refreshing_, textColourCombo_, &QComboBox::currentIndexChanged, [this] {
        if (RouteLine* line = Line()) {
            line->textColour = textColourCombo_->currentIndex();
            Changed();
        }
    });
    OnEdit(this, refreshing_, arrowColourCombo_, &QComboBox::currentIndexChanged, [this] {
        if (RouteLine* line = Line()) {
            line->arrowColour = arrowColourCombo_->currentIndex();
            Changed();
        }
    });
    OnEdit(this, refreshing_, strokeCombo_, &QComboBox::currentIndexChanged, [this] {
        if (RouteLine* line = Line()) {
            line->stroke = strokeCombo_->currentIndex();
            Changed();
        }
    });
    OnEdit(this, refreshing_, thicknessSpin_, &QSpinBox::valueChanged, [this] {
        if (RouteLine* line = Line()) {
            line->thickness = thicknessSpin_->value();
            Changed();
        }
    });
    OnEdit(this, refreshing_, autoNamesBox_, &QCheckBox::toggled, [this] {
        if (RouteLine* line = Line()) {
            line->autoNames = autoNamesBox_->isChecked();
            Changed();
        }
    });
    return page;
}

QWidget* RouteMapWindow::CreateStopsPage() {
    const LanguageTable& language = context_.language;
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    stopList_ = Named(new QListWidget(page), "stopList");
    layout->addWidget(stopList_, 1);
    auto* addRow = new QHBoxLayout;
    stationCombo_ = Named(new QComboBox(page), "stationCombo");
    stationCombo_->setEditable(true);
    std::set<std::string> stations;
    for (const auto& trip : context_.map->trips) {
        for (const TripStation& station : trip->stations) stations.insert(station.name);
    }
    for (const std::string& name : stations) stationCombo_->addItem(FromUtf8(name));
    // Long stop names: the field shows their start, the list their whole text.
    stationCombo_->setMinimumContentsLength(18);
    stationCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    stationCombo_->view()->setMinimumWidth(stationCombo_->view()->sizeHintForColumn(0) + 24);
    connect(stationCombo_, &QComboBox::currentIndexChanged, this, [this] { ShowStartOfChooserText(stationCombo_); });
    ShowStartOfChooserText(stationCombo_);
    auto* add = Named(new QPushButton(LangText(language, "Add"), page), "addStopButton");
    auto* remove = Named(new QPushButton(LangText(language, "Delete"), page), "deleteStopButton");
    addRow->addWidget(stationCombo_, 1);
    addRow->addWidget(add);
    addRow->addWidget(remove);
    layout->addLayout(addRow);
    layout->addLayout(CreateStopFields(page));
    CreateLabelControls(page, layout);

    connect(stopList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshing_) return;
        selectedStop_ = row >= 0 && row < static_cast<int>(Map().stops.size()) ? Map().stops[static_cast<std::size_t>(row)].key
                                                                               : kNoRouteKey;
        selectedLabel_ = -1;
        UpdateView();
        refreshing_ = true;
        RefreshStop();
        refreshing_ = false;
        canvas_->update();
    });
    connect(add, &QPushButton::clicked, this, &RouteMapWindow::AddStop);
    connect(remove, &QPushButton::clicked, this, &RouteMapWindow::DeleteStop);
    return page;
}

void RouteMapWindow::BindStopBox(QSpinBox* spin, int32_t StopBox::*field) {
    OnEdit(this, refreshing_, spin, &QSpinBox::valueChanged, [this, spin, field] {
        if (RouteStop* stop = Stop()) {
            stop->stored.*field = spin->value();
            Changed();
        }
    });
}

void RouteMapWindow::BindLabel(QSpinBox* spin, int32_t StopLabel::*field) {
    OnEdit(this, refreshing_, spin, &QSpinBox::valueChanged, [this, spin, field] {
        if (StopLabel* label = Label()) {
            label->*field = spin->value();
            Changed();
        }
    });
}

QGridLayout* RouteMapWindow::CreateStopFields(QWidget* page) {
    const LanguageTable& language = context_.language;
    auto* grid = new QGridLayout;
    stopName_ = Named(new QLineEdit(page), "stopNameEdit");
    stopX_ = NewSpin(page, "stopXSpin", -1, kMaxRouteMapCells - 1);
    stopY_ = NewSpin(page, "stopYSpin", -1, kMaxRouteMapCells - 1);
    stopWidth_ = NewSpin(page, "stopWidthSpin", 0, 16);
    stopHeight_ = NewSpin(page, "stopHeightSpin", 0, 16);
    stopAuto_ = Named(new QCheckBox(LangText(language, "Automatic"), page), "stopAutoBox");
    setPosition_ = Named(new QPushButton(LangText(language, "SetPosition"), page), "setPositionButton");
    setPosition_->setCheckable(true);
    stopExit_ = Named(new QCheckBox(LangText(language, "ExitMap"), page), "stopExitBox");
    grid->addWidget(new QLabel(LangLabel(language, "Name"), page), 0, 0);
    grid->addWidget(stopName_, 0, 1, 1, 3);
    grid->addWidget(new QLabel("X:", page), 1, 0);
    grid->addWidget(stopX_, 1, 1);
    grid->addWidget(new QLabel("Y:", page), 1, 2);
    grid->addWidget(stopY_, 1, 3);
    grid->addWidget(new QLabel(LangLabel(language, "Width"), page), 2, 0);
    grid->addWidget(stopWidth_, 2, 1);
    grid->addWidget(new QLabel(LangLabel(language, "Height"), page), 2, 2);
    grid->addWidget(stopHeight_, 2, 3);
    grid->addWidget(stopAuto_, 3, 0, 1, 2);
    grid->addWidget(setPosition_, 3, 2, 1, 2);
    grid->addWidget(stopExit_, 4, 0, 1, 2);

    OnEdit(this, refreshing_, stopName_, &QLineEdit::editingFinished, [this] {
        if (RouteStop* stop = Stop(); stop && stop->name != ToUtf8(stopName_->text())) {
            RenameRouteStop(Map(), selectedStop_, ToUtf8(stopName_->text()));
            Changed();
        }
    });
    BindStopBox(stopX_, &StopBox::x);
    BindStopBox(stopY_, &StopBox::y);
    BindStopBox(stopWidth_, &StopBox::width);
    BindStopBox(stopHeight_, &StopBox::height);
    OnEdit(this, refreshing_, stopAuto_, &QCheckBox::toggled, [this] {
        if (RouteStop* stop = Stop()) {
            // A stop fixed by hand stays where the layout had put it.
            stop->stored = ShownBox(*stop);
            stop->automatic = stopAuto_->isChecked();
            Changed();
        }
    });
    OnEdit(this, refreshing_, stopExit_, &QCheckBox::toggled, [this] {
        if (RouteStop* stop = Stop()) {
            stop->exit = stopExit_->isChecked();
            Changed();
        }
    });
    connect(setPosition_, &QPushButton::clicked, this, [this] { StartPick(Pick::kStopPosition, setPosition_); });
    return grid;
}

void RouteMapWindow::CreateLabelControls(QWidget* page, QVBoxLayout* layout) {
    const LanguageTable& language = context_.language;
    labelList_ = Named(new QListWidget(page), "labelList");
    labelList_->setMaximumHeight(90);
    layout->addWidget(labelList_);
    auto* labelButtons = new QHBoxLayout;
    auto* newLabel = Named(new QPushButton(LangText(language, "New"), page), "newLabelButton");
    auto* deleteLabel = Named(new QPushButton(LangText(language, "Delete"), page), "deleteLabelButton");
    labelButtons->addWidget(newLabel);
    labelButtons->addWidget(deleteLabel);
    layout->addLayout(labelButtons);
    auto* labelGrid = new QGridLayout;
    labelType_ = Named(new QComboBox(page), "labelTypeCombo");
    labelType_->addItems({LangText(language, "NameStop"), LangText(language, "LineFilled"),
                          LangText(language, "LineOutlined"), LangText(language, "DirectArrow")});
    labelLine_ = Named(new QComboBox(page), "labelLineCombo");
    labelDir_ = Named(new QComboBox(page), "labelDirCombo");
    labelDir_->addItems({LangText(language, "North"), LangText(language, "East"), LangText(language, "South"),
                         LangText(language, "West")});
    labelX_ = NewSpin(page, "labelXSpin", -9999, 9999);
    labelY_ = NewSpin(page, "labelYSpin", -9999, 9999);
    labelAngle_ = NewSpin(page, "labelAngleSpin", -360, 360);
    labelAuto_ = Named(new QCheckBox(LangText(language, "Automatic"), page), "labelAutoBox");
    labelPick_ = Named(new QPushButton("...", page), "labelPickButton");
    labelPick_->setCheckable(true);
    labelGrid->addWidget(labelType_, 0, 0, 1, 2);
    labelGrid->addWidget(labelLine_, 0, 2, 1, 2);
    labelGrid->addWidget(labelDir_, 1, 0, 1, 2);
    labelGrid->addWidget(labelAuto_, 1, 2, 1, 2);
    labelGrid->addWidget(new QLabel("X,Y:", page), 2, 0);
    labelGrid->addWidget(labelX_, 2, 1);
    labelGrid->addWidget(labelY_, 2, 2);
    labelGrid->addWidget(labelPick_, 2, 3);
    labelGrid->addWidget(labelAngle_, 3, 1);
    layout->addLayout(labelGrid);

    connect(labelList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshing_) return;
        selectedLabel_ = row;
        refreshing_ = true;
        RefreshLabel();
        refreshing_ = false;
    });
    connect(newLabel, &QPushButton::clicked, this, [this] {
        if (RouteStop* stop = Stop()) {
            stop->labels.push_back(StopLabel{});
            selectedLabel_ = static_cast<int>(stop->labels.size()) - 1;
            Changed();
        }
    });
    connect(deleteLabel, &QPushButton::clicked, this, [this] {
        RouteStop* stop = Stop();
        if (!stop || !Label()) return;
        stop->labels.erase(stop->labels.begin() + selectedLabel_);
        selectedLabel_ = -1;
        Changed();
    });
    OnEdit(this, refreshing_, labelType_, &QComboBox::currentIndexChanged, [this] {
        if (StopLabel* label = Label()) {
            label->type = labelType_->currentIndex();
            Changed();
        }
    });
    OnEdit(this, refreshing_, labelLine_, &QComboBox::currentIndexChanged, [this] {
        const int index = labelLine_->currentIndex();
        if (StopLabel* label = Label(); label && index >= 0 && index < static_cast<int>(Map().lines.size())) {
            label->line = Map().lines[static_cast<std::size_t>(index)].key;
            Changed();
        }
    });
    OnEdit(this, refreshing_, labelDir_, &QComboBox::currentIndexChanged, [this] {
        if (StopLabel* label = Label()) {
            label->dir = labelDir_->currentIndex();
            Changed();
        }
    });
    BindLabel(labelX_, &StopLabel::x);
    BindLabel(labelY_, &StopLabel::y);
    BindLabel(labelAngle_, &StopLabel::angle);
    OnEdit(this, refreshing_, labelAuto_, &QCheckBox::toggled, [this] {
        if (StopLabel* label = Label()) {
            // A label fixed by hand stays where the layout had put it.
            *label = ShownLabel(*label);
            label->automatic = labelAuto_->isChecked();
            Changed();
        }
    });
    connect(labelPick_, &QPushButton::clicked, this, [this] { StartPick(Pick::kLabelPosition, labelPick_); });
}

QWidget* RouteMapWindow::CreateConnectionsPage() {
    const LanguageTable& language = context_.language;
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    connectionTree_ = Named(new QTreeWidget(page), "connectionTree");
    connectionTree_->setHeaderHidden(true);
    layout->addWidget(connectionTree_, 1);
    auto* buttons = new QHBoxLayout;
    auto* add = Named(new QPushButton(LangText(language, "New"), page), "newConnectionButton");
    auto* remove = Named(new QPushButton(LangText(language, "Delete"), page), "deleteConnectionButton");
    auto* up = Named(new QPushButton("\u2191", page), "connectionUpButton");
    auto* down = Named(new QPushButton("\u2193", page), "connectionDownButton");
    for (QPushButton* button : {add, remove, up, down}) buttons->addWidget(button);
    layout->addLayout(buttons);
    layout->addLayout(CreateConnectionEnds(page));

    auto* extraRow = new QHBoxLayout;
    auto* nodeButton = Named(new QPushButton(LangText(language, "Node"), page), "nodePageButton");
    auto* signButton = Named(new QPushButton(LangText(language, "SignLines"), page), "signPageButton");
    nodeButton->setCheckable(true);
    signButton->setCheckable(true);
    nodeButton->setChecked(true);
    extraRow->addWidget(nodeButton);
    extraRow->addWidget(signButton);
    layout->addLayout(extraRow);
    extraPages_ = Named(new QStackedWidget(page), "extraPages");
    extraPages_->addWidget(CreateNodePage(page));
    extraPages_->addWidget(CreateSignPage(page));
    layout->addWidget(extraPages_);

    connect(nodeButton, &QPushButton::clicked, this, [this, nodeButton, signButton] {
        nodeButton->setChecked(true);
        signButton->setChecked(false);
        extraPages_->setCurrentIndex(0);
    });
    connect(signButton, &QPushButton::clicked, this, [this, nodeButton, signButton] {
        nodeButton->setChecked(false);
        signButton->setChecked(true);
        extraPages_->setCurrentIndex(1);
    });
    connect(connectionTree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (refreshing_) return;
        selectedConnection_ = item ? item->data(0, kKeyRole).value<RouteKey>() : kNoRouteKey;
        if (const Connection* c = SelectedConnectionRecord()) selectedLine_ = c->line;
        selectedNode_ = -1;
        selectedSign_ = -1;
        UpdateView();
        refreshing_ = true;
        RefreshConnection();
        refreshing_ = false;
        canvas_->update();
    });
    connect(add, &QPushButton::clicked, this, &RouteMapWindow::NewConnection);
    connect(remove, &QPushButton::clicked, this, [this] {
        if (!SelectedConnectionRecord()) return;
        DeleteConnection(Map(), selectedConnection_);
        selectedConnection_ = kNoRouteKey;
        Changed();
    });
    connect(up, &QPushButton::clicked, this, [this] {
        if (MoveConnectionInLine(Map(), selectedConnection_, -1)) Changed();
    });
    connect(down, &QPushButton::clicked, this, [this] {
        if (MoveConnectionInLine(Map(), selectedConnection_, 1)) Changed();
    });
    return page;
}

QGridLayout* RouteMapWindow::CreateConnectionEnds(QWidget* page) {
    const LanguageTable& language = context_.language;
    auto* grid = new QGridLayout;
    connectionLine_ = Named(new QComboBox(page), "connectionLineCombo");
    grid->addWidget(new QLabel(LangLabel(language, "Line"), page), 0, 0);
    grid->addWidget(connectionLine_, 0, 1, 1, 3);
    const char* endKeys[] = {"From", "To"};
    for (int e = 0; e < 2; ++e) {
        endStop_[e] = Named(new QComboBox(page), e == 0 ? "fromCombo" : "toCombo");
        endPick_[e] = Named(new QPushButton("...", page), e == 0 ? "fromPickButton" : "toPickButton");
        endPick_[e]->setCheckable(true);
        endSide_[e] = Named(new QComboBox(page), e == 0 ? "fromSideCombo" : "toSideCombo");
        endSide_[e]->addItems({LangText(language, "Automatic"), LangText(language, "North"), LangText(language, "East"),
                               LangText(language, "South"), LangText(language, "West")});
        endPort_[e] = NewSpin(page, e == 0 ? "fromPortSpin" : "toPortSpin", -1, 64);
        grid->addWidget(new QLabel(LangLabel(language, endKeys[e]), page), 1 + 2 * e, 0);
        grid->addWidget(endStop_[e], 1 + 2 * e, 1, 1, 2);
        grid->addWidget(endPick_[e], 1 + 2 * e, 3);
        grid->addWidget(new QLabel(LangLabel(language, "Direction"), page), 2 + 2 * e, 0);
        grid->addWidget(endSide_[e], 2 + 2 * e, 1);
        grid->addWidget(new QLabel(LangLabel(language, "Pos"), page), 2 + 2 * e, 2);
        grid->addWidget(endPort_[e], 2 + 2 * e, 3);
    }

    OnEdit(this, refreshing_, connectionLine_, &QComboBox::currentIndexChanged, [this] {
        const int index = connectionLine_->currentIndex();
        if (!SelectedConnectionRecord() || index < 0 || index >= static_cast<int>(Map().lines.size())) return;
        selectedLine_ = Map().lines[static_cast<std::size_t>(index)].key;
        MoveConnectionToLine(Map(), selectedConnection_, selectedLine_);
        Changed();
    });
    for (int e = 0; e < 2; ++e) {
        connect(endStop_[e], &QComboBox::currentIndexChanged, this, [this, e](int index) {
            if (refreshing_) return;
            Connection* c = SelectedConnectionRecord();
            if (!c) return;
            const RouteKey stop = index >= 1 && index <= static_cast<int>(Map().stops.size())
                                      ? Map().stops[static_cast<std::size_t>(index - 1)].key
                                      : kNoRouteKey;
            SetConnectionEnd(Map(), *c, e, stop);
            Changed();
        });
        connect(endSide_[e], &QComboBox::currentIndexChanged, this, [this, e](int index) {
            if (refreshing_) return;
            if (Connection* c = SelectedConnectionRecord()) {
                c->end[static_cast<std::size_t>(e)].side = index - 1;
                Changed();
            }
        });
        connect(endPort_[e], &QSpinBox::valueChanged, this, [this, e](int value) {
            if (refreshing_) return;
            if (Connection* c = SelectedConnectionRecord()) {
                c->end[static_cast<std::size_t>(e)].port = value;
                Changed();
            }
        });
        connect(endPick_[e], &QPushButton::clicked, this,
                [this, e] { StartPick(e == 0 ? Pick::kEnd0 : Pick::kEnd1, endPick_[e]); });
    }
    return grid;
}

GridPoint* RouteMapWindow::SelectedNode() {
    Connection* c = SelectedConnectionRecord();
    if (!c || selectedNode_ < 0 || selectedNode_ >= static_cast<int>(c->nodes.size())) return nullptr;
    return &c->nodes[static_cast<std::size_t>(selectedNode_)];
}

Sign* RouteMapWindow::SelectedSign() {
    Connection* c = SelectedConnectionRecord();
    if (!c || selectedSign_ < 0 || selectedSign_ >= static_cast<int>(c->signs.size())) return nullptr;
    return &c->signs[static_cast<std::size_t>(selectedSign_)];
}

QWidget* RouteMapWindow::CreateNodePage(QWidget* parent) {
    const LanguageTable& language = context_.language;
    auto* nodePage = new QWidget(parent);
    auto* nodeLayout = new QGridLayout(nodePage);
    nodeLayout->addWidget(new QLabel(LangLabel(language, "ExtraNodes"), nodePage), 0, 0, 1, 4);
    nodeList_ = Named(new QListWidget(nodePage), "nodeList");
    nodeList_->setMaximumHeight(80);
    nodeLayout->addWidget(nodeList_, 1, 0, 1, 4);
    auto* newNode = Named(new QPushButton(LangText(language, "New") + "...", nodePage), "newNodeButton");
    auto* deleteNode = Named(new QPushButton(LangText(language, "Delete"), nodePage), "deleteNodeButton");
    nodePick_ = Named(new QPushButton("...", nodePage), "nodePickButton");
    nodePick_->setCheckable(true);
    nodeX_ = NewSpin(nodePage, "nodeXSpin", 0, kMaxRouteMapCells - 1);
    nodeY_ = NewSpin(nodePage, "nodeYSpin", 0, kMaxRouteMapCells - 1);
    nodeLayout->addWidget(newNode, 2, 0);
    nodeLayout->addWidget(deleteNode, 2, 1);
    nodeLayout->addWidget(nodePick_, 2, 2);
    nodeLayout->addWidget(new QLabel("X,Y:", nodePage), 3, 0);
    nodeLayout->addWidget(nodeX_, 3, 1);
    nodeLayout->addWidget(nodeY_, 3, 2);

    connect(nodeList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshing_) return;
        selectedNode_ = row;
        UpdateView();
        refreshing_ = true;
        RefreshNodesAndSigns();
        refreshing_ = false;
        canvas_->update();
    });
    connect(newNode, &QPushButton::clicked, this, [this] {
        Connection* c = SelectedConnectionRecord();
        if (!c) return;
        // A new via point goes where the next click on the map puts it.
        const std::vector<GridPoint>& path = SelectedPath();
        c->nodes.push_back(path.empty() ? GridPoint{0, 0} : path[path.size() / 2]);
        selectedNode_ = static_cast<int>(c->nodes.size()) - 1;
        Changed();
        StartPick(Pick::kNodePosition, nodePick_);
    });
    connect(deleteNode, &QPushButton::clicked, this, [this] {
        if (!SelectedNode()) return;
        Connection* c = SelectedConnectionRecord();
        c->nodes.erase(c->nodes.begin() + selectedNode_);
        selectedNode_ = -1;
        Changed();
    });
    connect(nodePick_, &QPushButton::clicked, this, [this] { StartPick(Pick::kNodePosition, nodePick_); });
    for (auto [spin, field] : {std::pair{nodeX_, &GridPoint::x}, std::pair{nodeY_, &GridPoint::y}}) {
        OnEdit(this, refreshing_, spin, &QSpinBox::valueChanged, [this, spin = spin, field = field] {
            if (GridPoint* node = SelectedNode()) {
                node->*field = spin->value();
                Changed();
            }
        });
    }
    return nodePage;
}

QWidget* RouteMapWindow::CreateSignPage(QWidget* parent) {
    const LanguageTable& language = context_.language;
    auto* signPage = new QWidget(parent);
    auto* signLayout = new QGridLayout(signPage);
    signList_ = Named(new QListWidget(signPage), "signList");
    signList_->setMaximumHeight(80);
    signLayout->addWidget(signList_, 0, 0, 1, 4);
    auto* newSign = Named(new QPushButton(LangText(language, "New"), signPage), "newSignButton");
    auto* deleteSign = Named(new QPushButton(LangText(language, "Delete"), signPage), "deleteSignButton");
    signType_ = Named(new QComboBox(signPage), "signTypeCombo");
    signType_->addItems({LangText(language, "LineName"), LangText(language, "ArrowOut"), LangText(language, "ArrowRet"),
                         LangText(language, "Dotted")});
    signPos_ = NewSpin(signPage, "signPosSpin", -9999, 9999);
    signPick_ = Named(new QPushButton("...", signPage), "signPickButton");
    signPick_->setCheckable(true);
    signLayout->addWidget(newSign, 1, 0);
    signLayout->addWidget(deleteSign, 1, 1);
    signLayout->addWidget(signType_, 2, 0, 1, 2);
    signLayout->addWidget(new QLabel(LangLabel(language, "Pos"), signPage), 3, 0);
    signLayout->addWidget(signPos_, 3, 1);
    signLayout->addWidget(signPick_, 3, 2);

    connect(signList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (refreshing_) return;
        selectedSign_ = row;
        refreshing_ = true;
        RefreshNodesAndSigns();
        refreshing_ = false;
    });
    connect(newSign, &QPushButton::clicked, this, [this] {
        Connection* c = SelectedConnectionRecord();
        if (!c) return;
        c->signs.push_back(Sign{kSignLineName, 0});
        selectedSign_ = static_cast<int>(c->signs.size()) - 1;
        Changed();
    });
    connect(deleteSign, &QPushButton::clicked, this, [this] {
        if (!SelectedSign()) return;
        Connection* c = SelectedConnectionRecord();
        c->signs.erase(c->signs.begin() + selectedSign_);
        selectedSign_ = -1;
        Changed();
    });
    OnEdit(this, refreshing_, signType_, &QComboBox::currentIndexChanged, [this] {
        const int index = signType_->currentIndex();
        Sign* sign = SelectedSign();
        if (!sign || index < 0) return;
        const int32_t types[] = {kSignLineName, kSignArrowOut, kSignArrowReturn, kSignDotted};
        sign->type = types[index];
        Changed();
    });
    OnEdit(this, refreshing_, signPos_, &QSpinBox::valueChanged, [this] {
        if (Sign* sign = SelectedSign()) {
            sign->pos = signPos_->value();
            Changed();
        }
    });
    connect(signPick_, &QPushButton::clicked, this, [this] { StartPick(Pick::kSignPosition, signPick_); });
    return signPage;
}

void RouteMapWindow::ShowPage(int page) {
    pages_->setCurrentIndex(page);
    for (int i = 0; i < 4; ++i) pageButtons_[i]->setChecked(i == page);
}

// ---------------------------------------------------------------------------
// Model to controls

void RouteMapWindow::Changed() {
    Relayout();
    MarkModified();
    Refresh();
}

void RouteMapWindow::MarkModified() { changes_.Touch(); }

void RouteMapWindow::LayOut() {
    // A grid made smaller hands the fixed stops it no longer holds to the layout.
    ReleaseStopsOutsideGrid(Map());
    layout_ = LayoutRouteMap(Map(), &cache_);
}

void RouteMapWindow::Relayout() {
    LayOut();
    UpdateView();
    canvas_->FitToMap();
    canvas_->update();
}

void RouteMapWindow::UpdateView() {
    view_.selectedStop = selectedStop_;
    view_.selectedConnection = selectedConnection_;
    view_.selectedNode = selectedNode_;
}

void RouteMapWindow::Refresh() {
    refreshing_ = true;
    RefreshGeneral();
    RefreshLines();
    RefreshStops();
    RefreshConnections();
    refreshing_ = false;
}

void RouteMapWindow::RefreshGeneral() {
    const RouteMap& map = Map();
    formatCombo_->setCurrentIndex(std::clamp(map.format, 0, 2));
    scaleCombo_->setCurrentIndex(std::max(scaleCombo_->findData(LimitPngScale(map.pngScale)), 0));
    if (ToUtf8(titleEdit_->text()) != map.title) titleEdit_->setText(FromUtf8(map.title));
    widthSpin_->setValue(map.width);
    heightSpin_->setValue(map.height);
    roundSpin_->setValue(map.roundBox);
    diagonalBox_->setChecked(map.allowDiag);
    moveLabel_->setText(LangLabel(context_.language, area_.Empty() ? "MoveMap" : "MoveArea"));
    // Coordinates reach to the grid's last cell.
    for (QSpinBox* spin : {stopX_, nodeX_}) spin->setMaximum(std::max(map.width - 1, 0));
    for (QSpinBox* spin : {stopY_, nodeY_}) spin->setMaximum(std::max(map.height - 1, 0));
}

void RouteMapWindow::RefreshLines() {
    lineList_->clear();
    labelLine_->clear();
    connectionLine_->clear();
    int row = -1;
    for (std::size_t i = 0; i < Map().lines.size(); ++i) {
        const RouteLine& line = Map().lines[i];
        lineList_->addItem(FromUtf8(line.name));
        labelLine_->addItem(FromUtf8(line.name));
        connectionLine_->addItem(FromUtf8(line.name));
        if (line.key == selectedLine_) row = static_cast<int>(i);
    }
    lineList_->setCurrentRow(row);
    RefreshLine();
}

void RouteMapWindow::RefreshLine() {
    const RouteLine* line = Line();
    for (QWidget* w : std::initializer_list<QWidget*>{lineName_, colourCombo_, textColourCombo_, arrowColourCombo_,
                                                      strokeCombo_, thicknessSpin_, autoNamesBox_}) {
        w->setEnabled(line != nullptr);
    }
    if (!line) return;
    lineName_->setText(FromUtf8(line->name));
    shownColourItem_ = line->colourIndex == kCustomColour                ? kCustomColourEntry + 1
                       : line->colourIndex >= 0 && line->colourIndex < kLineColourCount ? line->colourIndex + 1
                                                                                         : 0;
    if (line->colourIndex == kCustomColour) colourCombo_->setItemIcon(kCustomColourEntry + 1, Swatch(UnpackRgb(line->customColour)));
    colourCombo_->setCurrentIndex(shownColourItem_);
    const LineLook* look = layout_.LineOf(Map(), line->key);
    textColourCombo_->setCurrentIndex(std::clamp(look ? look->textColour : line->textColour, 0, 2));
    arrowColourCombo_->setCurrentIndex(std::clamp(look ? look->arrowColour : line->arrowColour, 0, 2));
    strokeCombo_->setCurrentIndex(std::clamp(line->stroke, 0, 1));
    thicknessSpin_->setValue(line->thickness);
    autoNamesBox_->setChecked(line->autoNames);
}

void RouteMapWindow::RefreshStops() {
    stopList_->clear();
    int row = -1;
    for (std::size_t i = 0; i < Map().stops.size(); ++i) {
        const RouteStop& stop = Map().stops[i];
        stopList_->addItem(FromUtf8(StopCaption(Map(), context_.language, stop.key)));
        if (stop.key == selectedStop_) row = static_cast<int>(i);
    }
    stopList_->setCurrentRow(row);
    RefreshStop();
}

void RouteMapWindow::RefreshStop() {
    const RouteStop* stop = Stop();
    for (QWidget* w : std::initializer_list<QWidget*>{stopName_, stopX_, stopY_, stopWidth_, stopHeight_, stopAuto_,
                                                      setPosition_, stopExit_, labelList_}) {
        w->setEnabled(stop != nullptr);
    }
    labelList_->clear();
    if (stop) {
        stopName_->setText(FromUtf8(stop->name));
        const StopBox box = ShownBox(*stop);
        stopX_->setValue(box.x);
        stopY_->setValue(box.y);
        stopWidth_->setValue(box.width);
        stopHeight_->setValue(box.height);
        stopAuto_->setChecked(stop->automatic);
        stopExit_->setChecked(stop->exit);
        for (const StopLabel& label : stop->labels) labelList_->addItem(labelType_->itemText(std::clamp(label.type, 0, 3)));
        labelList_->setCurrentRow(selectedLabel_);
    }
    RefreshLabel();
}

void RouteMapWindow::RefreshLabel() {
    const StopLabel* label = Label();
    for (QWidget* w : std::initializer_list<QWidget*>{labelType_, labelLine_, labelDir_, labelX_, labelY_, labelAngle_,
                                                      labelAuto_, labelPick_}) {
        w->setEnabled(label != nullptr);
    }
    if (!label) return;
    const StopLabel shown = ShownLabel(*label);
    labelType_->setCurrentIndex(std::clamp(label->type, 0, 3));
    int lineRow = -1;
    for (std::size_t i = 0; i < Map().lines.size(); ++i) {
        if (Map().lines[i].key == label->line) lineRow = static_cast<int>(i);
    }
    labelLine_->setCurrentIndex(lineRow);
    labelDir_->setCurrentIndex(std::clamp(label->dir, 0, 3));
    labelX_->setValue(shown.x);
    labelY_->setValue(shown.y);
    labelAngle_->setValue(shown.angle);
    labelAuto_->setChecked(label->automatic);
}

void RouteMapWindow::RefreshConnections() {
    connectionTree_->clear();
    for (QComboBox* combo : endStop_) {
        combo->clear();
        combo->addItem(FromUtf8(StopCaption(Map(), context_.language, kNoRouteKey)));
        for (const RouteStop& stop : Map().stops) combo->addItem(FromUtf8(StopCaption(Map(), context_.language, stop.key)));
    }
    QTreeWidgetItem* current = nullptr;
    for (const RouteLine& line : Map().lines) {
        auto* top = new QTreeWidgetItem(connectionTree_, QStringList{FromUtf8(line.name)});
        for (const Connection& c : Map().connections) {
            if (c.line != line.key) continue;
            auto* item = new QTreeWidgetItem(top, QStringList{FromUtf8(ConnectionCaption(Map(), context_.language, c))});
            item->setData(0, kKeyRole, QVariant::fromValue(c.key));
            if (c.key == selectedConnection_) current = item;
        }
        top->setExpanded(true);
    }
    connectionTree_->setCurrentItem(current);
    RefreshConnection();
}

void RouteMapWindow::RefreshConnection() {
    const Connection* c = SelectedConnectionRecord();
    for (QWidget* w : std::initializer_list<QWidget*>{connectionLine_, endStop_[0], endStop_[1], endPick_[0], endPick_[1],
                                                      endSide_[0], endSide_[1], endPort_[0], endPort_[1]}) {
        w->setEnabled(c != nullptr);
    }
    if (c) {
        for (std::size_t i = 0; i < Map().lines.size(); ++i) {
            if (Map().lines[i].key == c->line) connectionLine_->setCurrentIndex(static_cast<int>(i));
        }
        for (int e = 0; e < 2; ++e) {
            const ConnectionEnd& end = c->end[static_cast<std::size_t>(e)];
            int row = 0;
            for (std::size_t i = 0; i < Map().stops.size(); ++i) {
                if (Map().stops[i].key == end.stop) row = static_cast<int>(i) + 1;
            }
            endStop_[e]->setCurrentIndex(row);
            endSide_[e]->setCurrentIndex(std::clamp(end.side + 1, 0, 4));
            endPort_[e]->setValue(end.port);
        }
    }
    RefreshNodesAndSigns();
}

void RouteMapWindow::RefreshNodesAndSigns() {
    const Connection* c = SelectedConnectionRecord();
    nodeList_->clear();
    signList_->clear();
    if (!c) return;
    for (const GridPoint& node : c->nodes) nodeList_->addItem(QString("%1, %2").arg(node.x).arg(node.y));
    nodeList_->setCurrentRow(selectedNode_);
    if (selectedNode_ >= 0 && selectedNode_ < static_cast<int>(c->nodes.size())) {
        nodeX_->setValue(c->nodes[static_cast<std::size_t>(selectedNode_)].x);
        nodeY_->setValue(c->nodes[static_cast<std::size_t>(selectedNode_)].y);
    }
    for (const Sign& sign : c->signs) {
        const char* key = sign.type == kSignLineName      ? "Line"
                          : sign.type == kSignArrowOut    ? "ShortOut"
                          : sign.type == kSignArrowReturn ? "ShortRet"
                                                          : "ShortDotted";
        signList_->addItem(LangText(context_.language, key) + " (" + QString::number(sign.pos) + ")");
    }
    signList_->setCurrentRow(selectedSign_);
    if (selectedSign_ >= 0 && selectedSign_ < static_cast<int>(c->signs.size())) {
        const Sign& sign = c->signs[static_cast<std::size_t>(selectedSign_)];
        signType_->setCurrentIndex(sign.type == kSignLineName      ? 0
                                   : sign.type == kSignArrowOut    ? 1
                                   : sign.type == kSignArrowReturn ? 2
                                                                   : 3);
        signPos_->setValue(sign.pos);
    }
}

// ---------------------------------------------------------------------------
// The canvas

namespace {

// The half-step position on the path nearest to the pixel.
int32_t NearestSignPos(const std::vector<GridPoint>& path, QPoint pixel) {
    const auto n = static_cast<int32_t>(path.size());
    int32_t best = 0;
    int64_t bestDistance = -1;
    for (int32_t s = 0; s <= 2 * (n - 1); ++s) {
        const std::optional<GridPoint> at = SignPixel(path, s - (n - 1));
        if (!at) continue;
        const int64_t dx = at->x - pixel.x();
        const int64_t dy = at->y - pixel.y();
        if (bestDistance < 0 || dx * dx + dy * dy < bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = s - (n - 1);
        }
    }
    return best;
}

}  // namespace

void RouteMapWindow::OnPointer(QPoint pixel) {
    const LanguageTable& language = context_.language;
    const GridPoint cell = CellAtPixel(pixel.x(), pixel.y());
    QString text = LangText(language, "Position") + ": " + QString::number(cell.x) + ", " + QString::number(cell.y);
    if (RouteKey stop = StopAtPixel(Map(), layout_, pixel.x(), pixel.y())) {
        text += "  " + LangText(language, "Stop") + ": " + FromUtf8(StopCaption(Map(), language, stop));
    } else if (RouteKey key = ConnectionAtPixel(Map(), layout_, pixel.x(), pixel.y())) {
        text += "  " + LangText(language, "Connection") + ": " +
                FromUtf8(ConnectionCaption(Map(), language, *FindConnection(Map(), key)));
    }
    status_->setText(text);
    ShowPickPreview(pixel);
}

// While a pick waits for its click, the canvas shows what the click would
// do: the stop's box at the pointer's cell, the label or the sign where it
// would go, or a point marker.
void RouteMapWindow::ShowPickPreview(QPoint pixel) {
    const bool shown = view_.clickPoint || view_.placingBox || view_.draggedLabel || view_.draggedSign;
    view_.clickPoint.reset();
    view_.placingBox.reset();
    view_.draggedLabel.reset();
    view_.draggedSign.reset();
    const GridPoint cell = CellAtPixel(pixel.x(), pixel.y());
    switch (pick_) {
        case Pick::kNone:
            if (shown) canvas_->update();
            return;
        case Pick::kStopPosition:
            if (const RouteStop* stop = Stop()) {
                const StopBox box = ShownBox(*stop);
                view_.placingBox = StopBox{cell.x, cell.y, box.width, box.height};
            }
            break;
        case Pick::kLabelPosition:
            if (const StopPlace* place = Place(); place && Label() && place->box.x >= 0) {
                StopLabel moved = ShownLabel(*Label());
                const GridPoint anchor = LabelAnchor(place->box);
                moved.x = pixel.x() - anchor.x;
                moved.y = pixel.y() - anchor.y;
                view_.draggedLabel = moved;
            }
            break;
        case Pick::kSignPosition:
            if (const Connection* c = SelectedConnectionRecord(); c && !SelectedPath().empty() && selectedSign_ >= 0 &&
                                                                   selectedSign_ < static_cast<int>(c->signs.size())) {
                Sign moved = c->signs[static_cast<std::size_t>(selectedSign_)];
                moved.pos = NearestSignPos(SelectedPath(), pixel);
                view_.draggedSign = moved;
            }
            break;
        default: view_.clickPoint = GridPoint{pixel.x(), pixel.y()}; break;
    }
    canvas_->update();
}

void RouteMapWindow::StartPick(Pick pick, QPushButton* button) {
    // Pressing a pick button again cancels its pick.
    const bool cancel = pick_ == pick;
    EndPick();
    if (cancel) return;
    pick_ = pick;
    pickButton_ = button;
    if (button) button->setChecked(true);
}

void RouteMapWindow::EndPick() {
    if (pickButton_) pickButton_->setChecked(false);
    pick_ = Pick::kNone;
    pickButton_ = nullptr;
    view_.clickPoint.reset();
    view_.placingBox.reset();
    view_.draggedLabel.reset();
    view_.draggedSign.reset();
}


void RouteMapWindow::OnCanvasClick(QPoint pixel) {
    const GridPoint cell = CellAtPixel(pixel.x(), pixel.y());
    const Pick pick = pick_;
    if (pick != Pick::kNone) EndPick();
    switch (pick) {
        case Pick::kStopPosition:
            if (RouteStop* stop = Stop()) {
                stop->stored = ShownBox(*stop);
                stop->stored.x = cell.x;
                stop->stored.y = cell.y;
                stop->automatic = false;
                Changed();
            }
            return;
        case Pick::kLabelPosition:
            if (const StopPlace* place = Place(); place && Label() && place->box.x >= 0) {
                StopLabel* label = Label();
                // The layout's turn stays with a label fixed by hand.
                *label = ShownLabel(*label);
                const GridPoint anchor = LabelAnchor(place->box);
                label->x = pixel.x() - anchor.x;
                label->y = pixel.y() - anchor.y;
                label->automatic = false;
                Changed();
            }
            return;
        case Pick::kEnd0:
        case Pick::kEnd1:
            if (Connection* c = SelectedConnectionRecord()) {
                if (RouteKey stop = StopAtPixel(Map(), layout_, pixel.x(), pixel.y())) {
                    SetConnectionEnd(Map(), *c, pick == Pick::kEnd0 ? 0 : 1, stop);
                    Changed();
                }
            }
            return;
        case Pick::kNodePosition:
            if (Connection* c = SelectedConnectionRecord()) {
                if (selectedNode_ >= 0 && selectedNode_ < static_cast<int>(c->nodes.size())) {
                    c->nodes[static_cast<std::size_t>(selectedNode_)] = cell;
                } else {
                    c->nodes.push_back(cell);
                    selectedNode_ = static_cast<int>(c->nodes.size()) - 1;
                }
                Changed();
            }
            return;
        case Pick::kSignPosition:
            if (Connection* c = SelectedConnectionRecord(); c && !SelectedPath().empty() && selectedSign_ >= 0 &&
                                                             selectedSign_ < static_cast<int>(c->signs.size())) {
                c->signs[static_cast<std::size_t>(selectedSign_)].pos = NearestSignPos(SelectedPath(), pixel);
                Changed();
            }
            return;
        case Pick::kNone: break;
    }
    area_ = {};
    if (RouteKey stop = StopAtPixel(Map(), layout_, pixel.x(), pixel.y())) {
        selectedStop_ = stop;
        selectedLabel_ = -1;
        UpdateView();
        Refresh();
        ShowPage(2);
    } else if (RouteKey connection = ConnectionAtPixel(Map(), layout_, pixel.x(), pixel.y())) {
        selectedConnection_ = connection;
        selectedLine_ = FindConnection(Map(), connection)->line;
        selectedNode_ = -1;
        selectedSign_ = -1;
        UpdateView();
        Refresh();
        ShowPage(3);
    } else {
        refreshing_ = true;
        RefreshGeneral();
        refreshing_ = false;
    }
    canvas_->update();
}

void RouteMapWindow::OnArea(QRect pixels) {
    if (pick_ != Pick::kNone) return;  // a pick waits for a click, not a drag
    area_ = SelectArea(Map(), layout_, pixels.left(), pixels.top(), pixels.right() + 1, pixels.bottom() + 1);
    refreshing_ = true;
    RefreshGeneral();
    refreshing_ = false;
    if (!area_.Empty()) ShowPage(0);
}

void RouteMapWindow::MoveMapBy(int dx, int dy) {
    if (MoveRouteMap(Map(), dx, dy, area_.Empty() ? nullptr : &area_)) Changed();
}

// ---------------------------------------------------------------------------
// Lines, stops, connections

void RouteMapWindow::NewLine() {
    const LanguageTable& language = context_.language;
    QString name = dialogs_.InputText(this, WindowTitleFor(language, "WinRouteMap"), LangLabel(language, "InputLineName"));
    if (name.isEmpty()) return;
    selectedLine_ = AddRouteLine(Map(), ToUtf8(name)).key;
    Changed();
    ShowPage(1);
}

void RouteMapWindow::DeleteLine() {
    const RouteLine* line = Line();
    if (!line) return;
    const int32_t count = ConnectionCount(Map(), line->key);
    if (count > 0) {
        QString question = FromUtf8(FillPlaceholders(context_.language.Lang("QuestDelLine"),
                                                     {std::to_string(count), line->name}))
                               .replace("|", "\n");
        if (!dialogs_.AskYesNo(this, WindowTitleFor(context_.language, "WinRouteMap"), question)) return;
    }
    DeleteRouteLine(Map(), selectedLine_);
    selectedLine_ = kNoRouteKey;
    if (!SelectedConnectionRecord()) selectedConnection_ = kNoRouteKey;
    Changed();
}

void RouteMapWindow::ChooseColour(int index) {
    RouteLine* line = Line();
    if (!line) return;
    if (index >= 0 && index <= kLineColourCount) {
        SetLineColour(*line, index - 1);
    } else {
        QColor chosen = dialogs_.ChooseColour(this, QColor(0, 0, 0));
        if (!chosen.isValid()) {
            // Cancelled: the combo shows the line's colour again.
            refreshing_ = true;
            colourCombo_->setCurrentIndex(shownColourItem_);
            refreshing_ = false;
            return;
        }
        SetCustomLineColour(*line, Rgb{static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                                       static_cast<uint8_t>(chosen.blue())});
    }
    Changed();
}

void RouteMapWindow::AddStop() {
    const QString name = stationCombo_->currentText();
    selectedStop_ = AddRouteStop(Map(), ToUtf8(name)).key;
    selectedLabel_ = -1;
    Changed();
}

void RouteMapWindow::DeleteStop() {
    RouteStop* stop = Stop();
    if (!stop) return;
    std::map<RouteKey, StopDeleteChoice> choices;
    if (!LinesAtStop(Map(), stop->key).empty()) {
        DeleteStopDialog dialog(Map(), layout_, stop->key, context_.language, this);
        if (!dialogs_.RunDialog(dialog)) return;
        choices = dialog.Choices();
    }
    DeleteRouteStop(Map(), selectedStop_, choices);
    selectedStop_ = kNoRouteKey;
    selectedLabel_ = -1;
    if (!SelectedConnectionRecord()) selectedConnection_ = kNoRouteKey;
    Changed();
}

void RouteMapWindow::AddNewLineFromDialog() {
    NewLineDialog dialog(Map(), *context_.map, context_.language, this);
    if (!dialogs_.RunDialog(dialog)) return;
    const NewLineResult result = AddLineFromStops(Map(), dialog.LineName(), dialog.StopNames());
    if (!result.Created()) return;
    selectedLine_ = result.line;
    Changed();
    const LanguageTable& language = context_.language;
    std::string message = result.lineCreated ? language.Lang("MessageAddNL1") + ", " : std::string();
    message += language.Lang("MessageAddNL2");
    QString text = FromUtf8(FillPlaceholders(message, {dialog.LineName(), std::to_string(result.newStops),
                                                       std::to_string(result.newConnections)}));
    dialogs_.ShowMessage(this, WindowTitleFor(language, "WinNewLine"), text);
}

void RouteMapWindow::NewConnection() {
    RouteKey line = selectedLine_;
    if (!FindRouteLine(Map(), line)) line = Map().lines.empty() ? kNoRouteKey : Map().lines.front().key;
    if (line == kNoRouteKey) return;
    selectedConnection_ = AddConnection(Map(), line, kNoRouteKey, kNoRouteKey).key;
    selectedLine_ = line;
    Changed();
    ShowPage(3);
}

// ---------------------------------------------------------------------------
// Saving and closing

void RouteMapWindow::OnOk() {
    if (!changes_.Apply()) return;
    closing_ = true;
    close();
}

void RouteMapWindow::OnApply() { changes_.Apply(); }

void RouteMapWindow::OnCancel() { close(); }

void RouteMapWindow::closeEvent(QCloseEvent* event) {
    if (outputDialog_ && outputDialog_->isVisible()) {
        event->ignore();
        return;
    }
    if (!closing_ && !changes_.MayLeave()) {
        event->ignore();
        return;
    }
    closing_ = true;
    if (owner_) {
        owner_->setEnabled(true);
        owner_->activateWindow();
    }
    event->accept();
    emit Closed();
}

void RouteMapWindow::OpenOutput() {
    if (outputDialog_ && outputDialog_->isVisible()) return;
    setEnabled(false);
    outputDialog_ = std::make_unique<OutputDialog>(context_, this);
    connect(outputDialog_.get(), &OutputDialog::Closed, this, [this] { setEnabled(true); });
    outputDialog_->show();
    outputDialog_->StartRun();
}

RouteMapWindow* OpenRouteMapWindow(AppContext& context, Dialogs& dialogs, QWidget* owner) {
    auto* window = new RouteMapWindow(context, dialogs, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

}  // namespace tak::ui
