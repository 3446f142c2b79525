#include "ui/EditorChanges.h"

#include <QPushButton>
#include <QWidget>
#include <string>
#include <utility>

#include "app/AppContext.h"
#include "ui/WindowEx.h"

namespace tak::ui {

EditorChanges::EditorChanges(QWidget& window, Dialogs& dialogs, const AppContext& context, const char* questionKey,
                             Steps steps)
    : window_(window), dialogs_(dialogs), context_(context), questionKey_(questionKey), steps_(std::move(steps)) {}

void EditorChanges::SetApplyButton(QPushButton* button) {
    applyButton_ = button;
    SetModified(modified_);
}

void EditorChanges::SetModified(bool modified) {
    modified_ = modified;
    if (applyButton_ != nullptr) applyButton_->setEnabled(modified);
}

bool EditorChanges::Apply() {
    if (!steps_.save()) return false;
    SetModified(false);
    return true;
}

bool EditorChanges::MayLeave() {
    if (!modified_) {
        if (steps_.discardWhenUnchanged) steps_.discard();
        return true;
    }
    switch (dialogs_.AskYesNoCancel(&window_, window_.windowTitle(), LangText(context_.language, questionKey_))) {
        case Dialogs::Answer::Yes:
            return Apply();
        case Dialogs::Answer::No:
            steps_.discard();
            return true;
        case Dialogs::Answer::Cancel:
            break;
    }
    return false;
}

bool SaveProjectAsking(AppContext& context, Dialogs& dialogs, QWidget* window) {
    if (ProjectFileIsBroken(context)) {
        auto path = ProjectFilePath(context).u8string();
        std::string file(path.begin(), path.end());
        std::string question = FillPlaceholders(context.language.Lang("AskReplaceBrokenProject"), {file});
        switch (dialogs.AskYesNoCancel(window, window->windowTitle(), FromUtf8(question))) {
            case Dialogs::Answer::Yes:
                context.project.keepUnreadableFile = true;  // the save copies it, or does not save
                break;
            case Dialogs::Answer::No:
                context.project.keepUnreadableFile = false;
                break;
            case Dialogs::Answer::Cancel:
                return false;
        }
    }
    return SaveProjectOrTell(context, dialogs, window);
}

}  // namespace tak::ui
