// Window helpers shared by the program's windows: captions from the language
// table, the modal questions a window asks (behind one seam so that tests
// answer them), date conversions and placing a window.
#pragma once

#include <QDate>
#include <QString>
#include <string_view>

#include "mapdata/MapData.h"
#include "persist/Language.h"

class QWidget;

namespace tak {
struct AppContext;
}

namespace tak::ui {

// Every message box of the program carries this title.
inline constexpr const char* kMessageTitle = "Taktarium";

// The modal dialogs a window opens. The program uses QtDialogs; tests hand in
// scripted answers, so that no test ever waits for a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The chosen folder, or the empty text when the user cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
    // An information message with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& title, const QString& text) = 0;
};

class QtDialogs : public Dialogs {
public:
    QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    void ShowMessage(QWidget* parent, const QString& title, const QString& text) override;
};

// Lang(key) as a Qt text, without key marks (titles, messages, lists).
QString LangText(const LanguageTable& language, std::string_view key);
// The caption of a button or check box, with its key mark ("&Laden").
QString LangCaption(const LanguageTable& language, std::string_view key);
// The caption followed by ":", the caption of a label (its mark works when
// the label has a buddy).
QString LangLabel(const LanguageTable& language, std::string_view key);

// Text between the core (UTF-8) and Qt.
QString FromUtf8(std::string_view text);
std::string ToUtf8(const QString& text);

// The calendar day of a date value and back; kNoDate for an invalid QDate.
QDate DateOf(DateValue date);
DateValue DateValueOf(const QDate& date);

// The date field's format, "dd.mm.yyyy" as the settings file stores it.
inline constexpr const char* kDateFieldFormat = "dd.MM.yyyy";

// Places a window in the middle of the screen it is on.
void CenterOnScreen(QWidget* window);

// Saves the project; when the file cannot be written the user is told
// ("ErrSaveProject") in a message box. Returns whether it was saved.
bool SaveProjectOrTell(AppContext& context, Dialogs& dialogs, QWidget* parent);

}  // namespace tak::ui
