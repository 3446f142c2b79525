#include "ui/PlanWindow.h"

#include <QCloseEvent>
#include <QPushButton>

#include "app/AppContext.h"
#include "base/Language.h"
#include "ui/WindowEx.h"

namespace tak::ui {

PlanWindow::PlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow, const char* modifiedKey)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context),
      dialogs_(dialogs),
      mainWindow_(mainWindow),
      // Leaving reads the project file again, changed or not, so that the
      // plans match the file once the window is gone.
      changes_(*this, dialogs, context, modifiedKey,
               {.save = [this] { return SaveProjectAsking(context_, dialogs_, this); },
                .discard = [this] { ReloadProject(context_); },
                .discardWhenUnchanged = true}) {
    if (mainWindow_ != nullptr) mainWindow_->setEnabled(false);
}

PlanWindow::~PlanWindow() {
    // A window that goes away without being closed still gives the main window back.
    if (!finished_ && mainWindow_ != nullptr) mainWindow_->setEnabled(true);
}

void PlanWindow::OnOk() {
    if (OthersAtWork()) return;
    if (changes_.Apply()) Finish();
}

void PlanWindow::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    if (OthersAtWork()) return;
    if (changes_.MayLeave()) Finish();
}

void PlanWindow::Finish() {
    finished_ = true;
    if (mainWindow_ != nullptr) {
        mainWindow_->setEnabled(true);
        mainWindow_->activateWindow();
    }
    hide();
    emit Closed();
}

void PlanWindow::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

void PlanWindow::OpenOutputDialog() {
    if (OthersAtWork()) return;
    setEnabled(false);
    outputDialog_ = std::make_unique<OutputDialog>(context_, this, outputRunner_);
    outputDialogOpen_ = true;
    connect(outputDialog_.get(), &OutputDialog::Closed, this, &PlanWindow::OnOutputDialogClosed);
    outputDialog_->show();
    outputDialog_->StartRun();
}

void PlanWindow::OnOutputDialogClosed() {
    outputDialogOpen_ = false;
    setEnabled(true);
    activateWindow();
}

}  // namespace tak::ui
