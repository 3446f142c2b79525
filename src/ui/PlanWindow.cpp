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
      modifiedKey_(modifiedKey) {
    if (mainWindow_ != nullptr) mainWindow_->setEnabled(false);
}

PlanWindow::~PlanWindow() {
    // A window that goes away without being closed still gives the main window back.
    if (!finished_ && mainWindow_ != nullptr) mainWindow_->setEnabled(true);
}

void PlanWindow::SetModified(bool modified) {
    modified_ = modified;
    if (applyButton_ != nullptr) applyButton_->setEnabled(modified);
}

// A project file that did not parse left the plans empty; saving would put
// that in its place, so the user decides first and may keep a copy.
bool PlanWindow::Save() {
    if (ProjectFileIsBroken(context_)) {
        auto path = ProjectFilePath(context_).u8string();
        std::string file(path.begin(), path.end());
        std::string question = FillPlaceholders(context_.language.Lang("AskReplaceBrokenProject"), {file});
        switch (dialogs_.AskYesNoCancel(this, windowTitle(), FromUtf8(question))) {
            case Dialogs::Answer::Yes:
                context_.project.keepUnreadableFile = true;  // the save copies it, or does not save
                break;
            case Dialogs::Answer::No:
                context_.project.keepUnreadableFile = false;
                break;
            case Dialogs::Answer::Cancel:
                return false;
        }
    }
    return SaveProjectOrTell(context_, dialogs_, this);
}

void PlanWindow::OnOk() {
    if (OthersAtWork()) return;
    if (Save()) Finish();
}

void PlanWindow::Reload() {
    ReleasePlans();
    ReloadProject(context_);
}

bool PlanWindow::LeaveAsked() {
    if (!modified_) {
        Reload();
        return true;
    }
    switch (dialogs_.AskYesNoCancel(this, windowTitle(), LangText(context_.language, modifiedKey_))) {
        case Dialogs::Answer::Yes:
            return Save();
        case Dialogs::Answer::No:
            Reload();
            return true;
        case Dialogs::Answer::Cancel:
            break;
    }
    return false;
}

void PlanWindow::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    if (OthersAtWork()) return;
    if (LeaveAsked()) Finish();
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
