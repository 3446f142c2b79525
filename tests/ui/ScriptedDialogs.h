// The window tests answer the windows' questions from a script.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
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

    // Answers are taken from the front of their queue; an empty queue answers
    // No, Cancel or the empty text, as a user closing the box would.
    bool AskYesNo(QWidget*, const QString& title, const QString& text) override {
        questions.push_back({title, text});
        if (yesNoAnswers.empty()) return false;
        bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    Answer AskYesNoCancel(QWidget*, const QString& title, const QString& text) override {
        questions.push_back({title, text});
        if (answers.empty()) return Answer::Cancel;
        Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString InputText(QWidget*, const QString& title, const QString& prompt) override {
        inputRequests.push_back({title, prompt});
        if (inputs.empty()) return {};
        QString text = inputs.front();
        inputs.pop_front();
        return text;
    }

    QString ChooseItem(QWidget*, const QString& title, const QString& prompt, const QStringList& items,
                       int current) override {
        itemRequests.push_back({title, prompt, items, current});
        return nextItem;
    }

    QColor ChooseColour(QWidget*, const QColor&) override {
        if (colours.empty()) return {};
        QColor colour = colours.front();
        colours.pop_front();
        return colour;
    }
    // The next script step fills the dialog and presses its buttons; with no
    // step left the dialog counts as cancelled.
    bool RunDialog(QDialog& dialog) override {
        if (dialogSteps.empty()) return false;
        auto step = std::move(dialogSteps.front());
        dialogSteps.pop_front();
        step(dialog);
        return dialog.result() == QDialog::Accepted;
    }

    struct ItemRequest {
        QString title;
        QString prompt;
        QStringList items;
        int current = -1;
    };

    QString nextFolder;
    QString nextItem;  // the empty text: cancelled
    std::vector<ItemRequest> itemRequests;
    std::deque<bool> yesNoAnswers;
    std::deque<Answer> answers;
    std::deque<QString> inputs;
    std::deque<QColor> colours;  // an invalid colour: cancelled
    std::deque<std::function<void(QDialog&)>> dialogSteps;
    std::vector<Message> questions;      // of both kinds of question, title and text
    std::vector<Message> inputRequests;  // title and prompt
    std::vector<FolderRequest> folderRequests;
    std::vector<Message> messages;
};

}  // namespace tak::ui
