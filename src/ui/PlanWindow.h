// What the timetable, tour plan and stop table windows share: each edits the
// project's plans in memory while the main window waits disabled, saves the
// whole project on OK or Apply, asks before leaving with changes (No reloads
// the project file, which discards unsaved changes of every plan kind), and
// starts the output run on the plans in memory.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/EditorChanges.h"
#include "ui/OutputDialog.h"

class QCloseEvent;
class QPushButton;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;

class PlanWindow : public QDialog {
    Q_OBJECT

public:
    ~PlanWindow() override;

    PlanWindow(const PlanWindow&) = delete;
    PlanWindow& operator=(const PlanWindow&) = delete;

    bool IsModified() const { return changes_.IsModified(); }
    // The open create-output dialog, null while none is open.
    OutputDialog* CurrentOutputDialog() const { return outputDialogOpen_ ? outputDialog_.get() : nullptr; }
    // The run the next create-output dialog starts (RunOutput unless set).
    void SetOutputRunner(OutputRunner runner) { outputRunner_ = std::move(runner); }

signals:
    // The window has closed; the main window is enabled again.
    void Closed();

public slots:
    // Cancel and Escape: leave, asking first when something changed.
    void reject() override;

protected:
    // Disables `mainWindow` until the window closes. `modifiedKey` names the
    // question asked when the user leaves with unsaved changes.
    PlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow, const char* modifiedKey);

    void closeEvent(QCloseEvent* event) override;

    // Whether something else works on the plans (the output run, an editor
    // the window opened): OK, Cancel and Escape wait until it has ended.
    virtual bool OthersAtWork() const { return outputDialogOpen_; }

    void Touch() { changes_.Touch(); }
    // OK: saves and leaves. A save that failed keeps the window open, so
    // that no change is lost unseen.
    void OnOk();
    void OpenOutputDialog();

    AppContext& context_;
    Dialogs& dialogs_;
    QWidget* mainWindow_ = nullptr;
    QPushButton* applyButton_ = nullptr;  // made by the window's own controls
    EditorChanges changes_;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits

private:
    void Finish();
    void OnOutputDialogClosed();

    bool finished_ = false;
    OutputRunner outputRunner_ = kRunOutput;
    std::unique_ptr<OutputDialog> outputDialog_;
    bool outputDialogOpen_ = false;
};

// Shows a new plan window of type `Window`, deleted once it has closed.
template <typename Window>
Window* OpenPlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow) {
    auto* window = new Window(context, dialogs, mainWindow);
    QObject::connect(window, &PlanWindow::Closed, window, &QObject::deleteLater);
    window->show();
    return window;
}

}  // namespace tak::ui
