// The window tests answer the windows' questions from a script.
#pragma once

#include <QString>
#include <vector>

#include "ui/WindowEx.h"

namespace tak::ui {

// Answers the window's questions from a script and keeps what it was asked.
class ScriptedDialogs : public Dialogs {
public:
    struct FolderRequest {
        QString title;
        QString startFolder;
    };
    struct Message {
        QString title;
        QString text;
    };

    QString ChooseFolder(QWidget*, const QString& title, const QString& startFolder) override {
        folderRequests.push_back({title, startFolder});
        return nextFolder;
    }
    void ShowMessage(QWidget*, const QString& title, const QString& text) override {
        messages.push_back({title, text});
    }

    QString nextFolder;
    std::vector<FolderRequest> folderRequests;
    std::vector<Message> messages;
};

}  // namespace tak::ui
