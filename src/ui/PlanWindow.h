// What the timetable, tour plan and stop table windows share: each edits the
// project's plans in memory while the main window waits disabled, saves the
// whole project on OK or Apply, asks before leaving with changes (No reloads
// the project file, which discards unsaved changes of every plan kind), and
// starts the output run on the plans in memory. They also share the output
// options with an all-in-one box, the closing buttons, and plan fields that
// their controls edit one to one (texts, switches, the break hour).
#pragma once

#include <QDialog>
#include <QSize>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "project/Project.h"
#include "ui/EditorChanges.h"
#include "ui/OutputDialog.h"

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLayout;
class QLineEdit;
class QPushButton;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class GlobalOptPanel;
class RouteSpiderWindow;
class SpiderChooserPanel;

class PlanWindow : public QDialog {
    Q_OBJECT

public:
    // What tells the plan windows apart from outside.
    struct Frame {
        const char* objectName;   // tests find the window by it
        const char* titleKey;     // the title is "Taktarium - " + Lang(titleKey)
        const char* modifiedKey;  // the question asked when the user leaves with changes
        QSize size;               // at opening
    };

    ~PlanWindow() override;

    PlanWindow(const PlanWindow&) = delete;
    PlanWindow& operator=(const PlanWindow&) = delete;

    bool IsModified() const { return changes_.IsModified(); }
    // The open create-output dialog, null while none is open.
    OutputDialog* CurrentOutputDialog() const { return outputDialogOpen_ ? outputDialog_.get() : nullptr; }
    // The run the next create-output dialog starts (RunOutput unless set).
    void SetOutputRunner(OutputRunner runner) { outputRunner_ = std::move(runner); }
    // The route spider editor opened from the window, null while none is open.
    RouteSpiderWindow* SpiderEditor() const;

signals:
    // The window has closed; the main window is enabled again.
    void Closed();

public slots:
    // Cancel and Escape: leave, asking first when something changed.
    void reject() override;

protected:
    // Disables `mainWindow` until the window closes.
    PlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow, const Frame& frame);

    // Opening, once at the end of a window's constructor: makes, places and
    // connects the controls, shows the first plan, and puts the window over
    // the main window.
    void Build();

    void closeEvent(QCloseEvent* event) override;

    void Touch() { changes_.Touch(); }

    // Controls a window makes where they belong in its reading order.
    // The output options panel and the box captioned `captionKey` that sets
    // `allInOne` of the project's output options.
    void CreateOutputOptions(const char* captionKey, bool OutputOpt::*allInOne);
    // The route spider chooser (spiderChooser_) of a window whose plans
    // print a spider, its box captioned `caption`.
    void CreateSpiderChooser(const QString& caption);
    // OK, Apply, Cancel and CreateOutput, the last controls of a window.
    void CreateClosingButtons();
    // The output options with the box below them, for the window's layout.
    QLayout* OutputOptionsColumn();
    // Lays the window out: `body` above, the closing buttons in a row below.
    void PlaceAboveClosingButtons(QLayout* body);

    // Plan fields a control edits one to one. `field` finds the field of the
    // shown plan (null while none is shown) at each use. Every edit writes
    // the field, runs `then` when given and sets modified.
    void EditsText(QLineEdit* control, std::function<std::string*()> field, std::function<void()> then = {});
    void EditsSwitch(QCheckBox* control, std::function<bool*()> field, std::function<void()> then = {});
    // A list made by NewBreakHourList.
    void EditsBreakHour(QComboBox* control, std::function<int32_t*()> field);
    // Puts the shown plan's fields into those controls: empty, unchecked and
    // no break hour while no plan is shown.
    void ShowEditedFields();

    AppContext& context_;
    Dialogs& dialogs_;
    QWidget* mainWindow_ = nullptr;
    EditorChanges changes_;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits
    SpiderChooserPanel* spiderChooser_ = nullptr;

private:
    // The steps of Build. Controls are made in reading order, which is also
    // their tab order.
    virtual void CreateControls() = 0;
    virtual void PlaceControls() = 0;
    virtual void ConnectControls() = 0;
    virtual void ShowFirstPlan() = 0;

    // Whether something else works on the plans (the output run, the spider
    // editor): OK, Cancel, Escape and CreateOutput wait until it has ended.
    bool OthersAtWork() const;
    // OK: saves and leaves. A save that failed keeps the window open, so
    // that no change is lost unseen.
    void OnOk();
    void OpenOutputDialog();
    void Finish();
    void OnOutputDialogClosed();

    GlobalOptPanel* globalOpt_ = nullptr;
    QCheckBox* allInOneBox_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* createOutputButton_ = nullptr;
    std::vector<std::pair<QLineEdit*, std::function<std::string*()>>> editedTexts_;
    std::vector<std::pair<QCheckBox*, std::function<bool*()>>> editedSwitches_;
    std::vector<std::pair<QComboBox*, std::function<int32_t*()>>> editedBreakHours_;

    QSize size_;
    bool finished_ = false;
    OutputRunner outputRunner_ = kRunOutput;
    std::unique_ptr<OutputDialog> outputDialog_;
    bool outputDialogOpen_ = false;
};

// Finds that field of the plan `window` shows (its Plan()) at each call,
// null while it shows none; a plan list that grows or shrinks leaves the
// controls and panels that use it no stale address.
template <typename Window, typename Plan, typename Field>
std::function<Field*()> FieldOfShownPlan(Window* window, Field Plan::*field) {
    return [window, field]() -> Field* {
        Plan* plan = window->Plan();
        return plan != nullptr ? &(plan->*field) : nullptr;
    };
}

// The break hour list of the timetable and stop table windows: "-" for no
// break hour, then the clock hours 24 to 30.
QComboBox* NewBreakHourList(QWidget* parent);

// Shows a new plan window of type `Window`, deleted once it has closed.
template <typename Window>
Window* OpenPlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow) {
    auto* window = new Window(context, dialogs, mainWindow);
    QObject::connect(window, &PlanWindow::Closed, window, &QObject::deleteLater);
    window->show();
    return window;
}

}  // namespace tak::ui
