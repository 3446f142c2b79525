// The two dialogs of the route map window: one that adds a whole line from a
// list of stop names (usually the stations of a trip), and one that asks,
// line by line, what becomes of the connections at a stop being deleted.
#pragma once

#include <QDialog>
#include <QImage>
#include <map>
#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapEdit.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QRadioButton;

namespace tak::ui {

// The laid-out map's pixels from (x, y) on, drawn as the output draws them or,
// with an editor view, as the window shows them.
QImage RouteMapCrop(const RouteMap& map, const RouteMapLayoutResult& layout, int x, int y, int width, int height,
                    const RouteMapEditorView* editor = nullptr);

class NewLineDialog : public QDialog {
    Q_OBJECT

public:
    NewLineDialog(const RouteMap& routeMap, const MapData& map, const LanguageTable& language, QWidget* parent);

    std::string LineName() const;
    std::vector<std::string> StopNames() const;

private:
    void AddStopsOfTrip();
    void ReverseList();

    const MapData& map_;
    QComboBox* lineNameCombo_ = nullptr;
    QComboBox* tripCombo_ = nullptr;
    QListWidget* stopList_ = nullptr;
};

// Steps through the lines with connections at the stop; OK takes the chosen
// option for the shown line (and, with "ApplyAll", for every line still to
// come) and shows the next, accepting after the last.
class DeleteStopDialog : public QDialog {
    Q_OBJECT

public:
    DeleteStopDialog(const RouteMap& routeMap, const RouteMapLayoutResult& layout, RouteKey stop,
                     const LanguageTable& language, QWidget* parent);

    const std::map<RouteKey, StopDeleteChoice>& Choices() const { return choices_; }

private:
    void ShowLine();
    void TakeChoice();

    const RouteMap& routeMap_;
    const RouteMapLayoutResult& layout_;
    const LanguageTable& language_;
    RouteKey stop_;
    std::vector<LineAtStop> lines_;
    std::size_t shown_ = 0;
    std::map<RouteKey, StopDeleteChoice> choices_;

    QLabel* caption_ = nullptr;
    QLabel* preview_ = nullptr;
    QRadioButton* options_[3] = {nullptr, nullptr, nullptr};
    QCheckBox* applyAll_ = nullptr;
};

}  // namespace tak::ui
