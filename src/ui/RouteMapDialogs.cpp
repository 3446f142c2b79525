#include "ui/RouteMapDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "routemap/RouteMapDrawing.h"
#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

QString Title(const LanguageTable& language, const char* key) {
    return QString(kMessageTitle) + " - " + LangText(language, key);
}

}  // namespace

QImage RouteMapCrop(const RouteMap& map, const RouteMapLayoutResult& layout, int x, int y, int width, int height,
                    const RouteMapEditorView* editor) {
    RouteMapImage image{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height, 0), {{255, 255, 255}}};
    {
        RouteMapCanvas canvas(image, GridPoint{x, y});
        DrawRouteMap(map, layout, canvas, editor);
    }
    QImage shown(width, height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (const Rgb& c : image.palette) colours.push_back(qRgb(c.r, c.g, c.b));
    shown.setColorTable(colours);
    for (int row = 0; row < height; ++row) {
        std::copy_n(image.pixels.data() + static_cast<std::size_t>(row) * width, width, shown.scanLine(row));
    }
    return shown;
}

// ---------------------------------------------------------------------------
// New line

NewLineDialog::NewLineDialog(const RouteMap& routeMap, const MapData& map, const LanguageTable& language,
                             QWidget* parent)
    : QDialog(parent), map_(map) {
    setWindowTitle(Title(language, "WinNewLine"));
    lineNameCombo_ = new QComboBox(this);
    lineNameCombo_->setObjectName("lineNameCombo");
    lineNameCombo_->setEditable(true);
    for (const RouteLine& line : routeMap.lines) lineNameCombo_->addItem(FromUtf8(line.name));
    lineNameCombo_->setCurrentText("");
    tripCombo_ = new QComboBox(this);
    tripCombo_->setObjectName("tripCombo");
    for (const auto& trip : map.trips) tripCombo_->addItem(FromUtf8(trip->name));
    stopList_ = new QListWidget(this);
    stopList_->setObjectName("stopList");
    QPushButton* addStops = NewButton(this, "addStopsButton", LangText(language, "AddStops"));
    QPushButton* clear = NewButton(this, "deleteListButton", LangText(language, "DeleteList"));
    QPushButton* reverse = NewButton(this, "swapListButton", LangText(language, "SwapList"));
    QPushButton* ok = NewButton(this, "okButton", LangText(language, "OK"));
    QPushButton* cancel = NewButton(this, "cancelButton", LangText(language, "Cancel"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(LangLabel(language, "NameOfLine"), this), 0, 0);
    layout->addWidget(lineNameCombo_, 0, 1, 1, 2);
    layout->addWidget(new QLabel(LangLabel(language, "StopsFromTrip"), this), 1, 0);
    layout->addWidget(tripCombo_, 1, 1);
    layout->addWidget(addStops, 1, 2);
    layout->addWidget(new QLabel(LangLabel(language, "StopList"), this), 2, 0);
    layout->addWidget(stopList_, 3, 0, 1, 3);
    layout->addWidget(clear, 4, 0);
    layout->addWidget(reverse, 4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons, 5, 0, 1, 3);

    // Enter confirms the dialog wherever the focus is; only a click or the
    // space bar presses the list buttons, so that a second Enter does not
    // append the trip's stops again.
    for (QPushButton* button : {addStops, clear, reverse, cancel}) button->setAutoDefault(false);
    ok->setDefault(true);
    lineNameCombo_->setInsertPolicy(QComboBox::NoInsert);

    connect(addStops, &QPushButton::clicked, this, &NewLineDialog::AddStopsOfTrip);
    connect(clear, &QPushButton::clicked, stopList_, &QListWidget::clear);
    connect(reverse, &QPushButton::clicked, this, &NewLineDialog::ReverseList);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void NewLineDialog::AddStopsOfTrip() {
    const int index = tripCombo_->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= map_.trips.size()) return;
    const Trip& trip = *map_.trips[static_cast<std::size_t>(index)];
    for (const TripStation& station : trip.stations) stopList_->addItem(FromUtf8(station.name));
    // A trip chosen before a line name gives the line its name.
    if (lineNameCombo_->currentText().isEmpty()) lineNameCombo_->setCurrentText(FromUtf8(trip.lineName));
}

void NewLineDialog::ReverseList() {
    QStringList names;
    for (int i = stopList_->count() - 1; i >= 0; --i) names.push_back(stopList_->item(i)->text());
    stopList_->clear();
    stopList_->addItems(names);
}

std::string NewLineDialog::LineName() const { return ToUtf8(lineNameCombo_->currentText()); }

std::vector<std::string> NewLineDialog::StopNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < stopList_->count(); ++i) names.push_back(ToUtf8(stopList_->item(i)->text()));
    return names;
}

// ---------------------------------------------------------------------------
// Delete stop

DeleteStopDialog::DeleteStopDialog(const RouteMap& routeMap, const RouteMapLayoutResult& mapLayout, RouteKey stop,
                                   const LanguageTable& language, QWidget* parent)
    : QDialog(parent),
      routeMap_(routeMap),
      layout_(mapLayout),
      language_(language),
      stop_(stop),
      lines_(LinesAtStop(routeMap, stop)) {
    setWindowTitle(Title(language, "WinDelStop"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LangLabel(language, "DelStopAffCon"), this));
    caption_ = new QLabel(this);
    caption_->setObjectName("lineCaption");
    layout->addWidget(caption_);
    preview_ = new QLabel(this);
    preview_->setObjectName("preview");
    layout->addWidget(preview_);
    const char* keys[] = {"DelStopOpt1", "DelStopOpt2", "DelStopOpt3"};
    for (int i = 0; i < 3; ++i) {
        options_[i] = new QRadioButton(LangText(language, keys[i]), this);
        options_[i]->setObjectName(QString("option%1").arg(i + 1));
        layout->addWidget(options_[i]);
    }
    options_[0]->setChecked(true);
    applyAll_ = new QCheckBox(LangText(language, "ApplyAll"), this);
    applyAll_->setObjectName("applyAllBox");
    layout->addWidget(applyAll_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = NewButton(this, "okButton", LangText(language, "OK"));
    QPushButton* cancel = NewButton(this, "cancelButton", LangText(language, "Cancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &DeleteStopDialog::TakeChoice);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ShowLine();
}

void DeleteStopDialog::ShowLine() {
    if (shown_ >= lines_.size()) return;
    const LineAtStop& entry = lines_[shown_];
    const RouteLine* line = FindRouteLine(routeMap_, entry.line);
    QString text = FromUtf8(line ? line->name : std::string()) + " / ";
    QStringList neighbours;
    for (RouteKey neighbour : entry.neighbours) neighbours.push_back(FromUtf8(StopCaption(routeMap_, language_, neighbour)));
    caption_->setText(text + neighbours.join(", "));
    if (const StopPlace* place = layout_.StopOf(routeMap_, stop_); place && place->box.x >= 0) {
        const StopBox& box = place->box;
        preview_->setPixmap(QPixmap::fromImage(
            RouteMapCrop(routeMap_, layout_, kCellPixels * box.x - 72, kCellPixels * box.y - 56, 160, 128)));
    }
}

void DeleteStopDialog::TakeChoice() {
    StopDeleteChoice choice = StopDeleteChoice::kDeleteConnections;
    if (options_[1]->isChecked()) choice = StopDeleteChoice::kJoinAcross;
    if (options_[2]->isChecked()) choice = StopDeleteChoice::kLeaveFree;
    const std::size_t last = applyAll_->isChecked() ? lines_.size() : shown_ + 1;
    for (; shown_ < last && shown_ < lines_.size(); ++shown_) choices_[lines_[shown_].line] = choice;
    if (shown_ >= lines_.size()) {
        accept();
        return;
    }
    ShowLine();
}

}  // namespace tak::ui
