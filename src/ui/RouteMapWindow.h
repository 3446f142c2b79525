// The route map window: the map drawn on a scrollable canvas beside four
// pages (general settings, lines, stops, connections). Every change writes
// the route map of the project, lays it out again, redraws it and marks it
// modified until it is saved. Clicks on the canvas select stops and
// connections or answer a pending pick ("Set position", a "..." button);
// a drag selects an area that the move arrows then shift.
#pragma once

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapDrawing.h"
#include "routemap/RouteMapEdit.h"
#include "routemap/RouteMapLayout.h"
#include "ui/EditorChanges.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class QVBoxLayout;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class OutputDialog;

// The map at 16 pixels a cell; only the part in view is drawn.
class RouteMapCanvasWidget : public QWidget {
    Q_OBJECT

public:
    RouteMapCanvasWidget(const RouteMap& map, const RouteMapLayoutResult& layout, const RouteMapEditorView& view,
                         QWidget* parent);
    // Follows the map's size (16 pixels a cell and one more).
    void FitToMap();

signals:
    void Clicked(QPoint pixel);
    void AreaChosen(QRect pixels);
    void PointerAt(QPoint pixel);
    void BandChanged(std::optional<QRect> band);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const RouteMap& map_;
    const RouteMapLayoutResult& layout_;
    const RouteMapEditorView& view_;
    std::optional<QPoint> pressedAt_;
};

class RouteMapWindow : public QWidget {
    Q_OBJECT

public:
    // `owner` is disabled while the window is open and enabled again when it closes.
    RouteMapWindow(AppContext& context, Dialogs& dialogs, QWidget* owner);
    ~RouteMapWindow() override;

    RouteMapWindow(const RouteMapWindow&) = delete;
    RouteMapWindow& operator=(const RouteMapWindow&) = delete;

    bool Modified() const { return changes_.IsModified(); }
    RouteMapCanvasWidget* Canvas() const { return canvas_; }
    const RouteMapEditorView& View() const { return view_; }
    const AreaSelection& Area() const { return area_; }
    RouteKey SelectedStop() const { return selectedStop_; }
    RouteKey SelectedConnection() const { return selectedConnection_; }
    // What the last layout made of the map the window shows.
    const RouteMapLayoutResult& Layout() const { return layout_; }
    // The searches the last layout reused and made.
    RouteMapLayoutCache::Stats LastLayout() const { return cache_.LastRun(); }

signals:
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Pick { kNone, kStopPosition, kLabelPosition, kEnd0, kEnd1, kNodePosition, kSignPosition };

    RouteMap& Map();
    void CreateControls();
    QWidget* CreateGeneralPage();
    QWidget* CreateLinesPage();
    QWidget* CreateStopsPage();
    QGridLayout* CreateStopFields(QWidget* page);
    void CreateLabelControls(QWidget* page, QVBoxLayout* layout);
    QWidget* CreateConnectionsPage();
    QGridLayout* CreateConnectionEnds(QWidget* page);
    QWidget* CreateNodePage(QWidget* parent);
    QWidget* CreateSignPage(QWidget* parent);
    // A spin box that edits one field of the selected stop's stored box, or
    // of the selected label.
    void BindStopBox(QSpinBox* spin, int32_t StopBox::*field);
    void BindLabel(QSpinBox* spin, int32_t StopLabel::*field);
    void ShowPage(int page);

    // A change of the model: lay out, redraw, mark modified, refresh the pages.
    void Changed();
    // Marks the map modified without a new layout (settings the drawing does not show).
    void MarkModified();
    // Lays the map out: the canvas, hit tests and the pages show the result.
    void LayOut();
    // Lays out and redraws.
    void Relayout();
    void Refresh();
    void RefreshGeneral();
    void RefreshLines();
    void RefreshLine();
    void RefreshStops();
    void RefreshStop();
    void RefreshLabel();
    void RefreshConnections();
    void RefreshConnection();
    void RefreshNodesAndSigns();
    void UpdateView();

    void OnCanvasClick(QPoint pixel);
    void OnArea(QRect pixels);
    void OnPointer(QPoint pixel);
    void ShowPickPreview(QPoint pixel);
    void StartPick(Pick pick, QPushButton* button);
    void EndPick();
    void MoveMapBy(int dx, int dy);

    void NewLine();
    void DeleteLine();
    void ChooseColour(int index);
    void AddStop();
    void DeleteStop();
    void AddNewLineFromDialog();
    void NewConnection();

    void OnOk();
    void OnApply();
    void OnCancel();
    void OpenOutput();

    RouteLine* Line();
    RouteStop* Stop();
    StopLabel* Label();
    Connection* SelectedConnectionRecord();
    // The selected via point and sign of the selected connection; null when none.
    GridPoint* SelectedNode();
    Sign* SelectedSign();
    // The layout's stop, label and path of the selection; null or empty when
    // the layout has none.
    const StopPlace* Place() const;
    const StopLabel* PlacedLabel() const;
    const std::vector<GridPoint>& SelectedPath() const;
    // A stop's box and the selected label as shown: where the layout put
    // them when they are automatic, else as the user fixed them.
    StopBox ShownBox(const RouteStop& stop) const;
    StopLabel ShownLabel(const StopLabel& label) const;

    AppContext& context_;
    Dialogs& dialogs_;
    QWidget* owner_;
    RouteMapLayoutCache cache_;
    RouteMapLayoutResult layout_;
    RouteMapEditorView view_;
    AreaSelection area_;
    EditorChanges changes_;
    bool refreshing_ = false;
    bool closing_ = false;
    Pick pick_ = Pick::kNone;
    QPushButton* pickButton_ = nullptr;
    RouteKey selectedLine_ = kNoRouteKey;
    RouteKey selectedStop_ = kNoRouteKey;
    int selectedLabel_ = -1;
    RouteKey selectedConnection_ = kNoRouteKey;
    int selectedNode_ = -1;
    int selectedSign_ = -1;
    std::unique_ptr<OutputDialog> outputDialog_;

    RouteMapCanvasWidget* canvas_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* pageButtons_[4] = {};
    QStackedWidget* pages_ = nullptr;
    QPushButton* applyButton_ = nullptr;

    // General
    QComboBox* formatCombo_ = nullptr;
    QSpinBox* widthSpin_ = nullptr;
    QSpinBox* heightSpin_ = nullptr;
    QLabel* moveLabel_ = nullptr;
    QSpinBox* roundSpin_ = nullptr;
    QCheckBox* diagonalBox_ = nullptr;
    QComboBox* scaleCombo_ = nullptr;
    QLineEdit* titleEdit_ = nullptr;

    // Lines
    QListWidget* lineList_ = nullptr;
    QLineEdit* lineName_ = nullptr;
    QComboBox* colourCombo_ = nullptr;
    QComboBox* textColourCombo_ = nullptr;
    QComboBox* arrowColourCombo_ = nullptr;
    QComboBox* strokeCombo_ = nullptr;
    QSpinBox* thicknessSpin_ = nullptr;
    QCheckBox* autoNamesBox_ = nullptr;
    int shownColourItem_ = 0;

    // Stops
    QListWidget* stopList_ = nullptr;
    QComboBox* stationCombo_ = nullptr;
    QLineEdit* stopName_ = nullptr;
    QSpinBox* stopX_ = nullptr;
    QSpinBox* stopY_ = nullptr;
    QSpinBox* stopWidth_ = nullptr;
    QSpinBox* stopHeight_ = nullptr;
    QCheckBox* stopAuto_ = nullptr;
    QPushButton* setPosition_ = nullptr;
    QCheckBox* stopExit_ = nullptr;
    QListWidget* labelList_ = nullptr;
    QComboBox* labelType_ = nullptr;
    QComboBox* labelLine_ = nullptr;
    QComboBox* labelDir_ = nullptr;
    QSpinBox* labelX_ = nullptr;
    QSpinBox* labelY_ = nullptr;
    QSpinBox* labelAngle_ = nullptr;
    QCheckBox* labelAuto_ = nullptr;
    QPushButton* labelPick_ = nullptr;

    // Connections
    QTreeWidget* connectionTree_ = nullptr;
    QComboBox* connectionLine_ = nullptr;
    QComboBox* endStop_[2] = {};
    QPushButton* endPick_[2] = {};
    QComboBox* endSide_[2] = {};
    QSpinBox* endPort_[2] = {};
    QStackedWidget* extraPages_ = nullptr;
    QListWidget* nodeList_ = nullptr;
    QSpinBox* nodeX_ = nullptr;
    QSpinBox* nodeY_ = nullptr;
    QPushButton* nodePick_ = nullptr;
    QListWidget* signList_ = nullptr;
    QComboBox* signType_ = nullptr;
    QSpinBox* signPos_ = nullptr;
    QPushButton* signPick_ = nullptr;
};

// Opens the route map window over `owner` (disabled until it closes) and
// hands it back; it deletes itself when it closes.
RouteMapWindow* OpenRouteMapWindow(AppContext& context, Dialogs& dialogs, QWidget* owner);

}  // namespace tak::ui
