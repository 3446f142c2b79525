// Window helpers shared by the program's windows: captions from the language
// table, the modal questions a window asks (behind one seam so that tests
// answer them), date conversions and placing a window.
#pragma once

#include <QColor>
#include <QDate>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <string_view>

#include "base/Language.h"
#include "mapdata/MapData.h"

class QCheckBox;
class QDialog;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
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
    enum class Answer { Yes, No, Cancel };

    virtual ~Dialogs() = default;
    // The chosen folder, or the empty text when the user cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
    // An information message with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& title, const QString& text) = 0;
    // A question with Yes and No; true for Yes (closing the box counts as No).
    virtual bool AskYesNo(QWidget* parent, const QString& title, const QString& text) = 0;
    // A question with Yes, No and Cancel; closing the box counts as Cancel.
    virtual Answer AskYesNoCancel(QWidget* parent, const QString& title, const QString& text) = 0;
    // A line of text typed by the user; the empty text when cancelled.
    virtual QString InputText(QWidget* parent, const QString& title, const QString& prompt) = 0;
    // One of `items`, starting at `current`; the empty text when cancelled.
    virtual QString ChooseItem(QWidget* parent, const QString& title, const QString& prompt, const QStringList& items,
                               int current) = 0;
    // A colour, starting at `initial`; an invalid colour when cancelled.
    virtual QColor ChooseColour(QWidget* parent, const QColor& initial) = 0;
    // Runs a window's own dialog until it closes; true when it was accepted.
    virtual bool RunDialog(QDialog& dialog) = 0;
};

class QtDialogs : public Dialogs {
public:
    QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    void ShowMessage(QWidget* parent, const QString& title, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& title, const QString& text) override;
    Answer AskYesNoCancel(QWidget* parent, const QString& title, const QString& text) override;
    QString InputText(QWidget* parent, const QString& title, const QString& prompt) override;
    QString ChooseItem(QWidget* parent, const QString& title, const QString& prompt, const QStringList& items,
                       int current) override;
    QColor ChooseColour(QWidget* parent, const QColor& initial) override;
    bool RunDialog(QDialog& dialog) override;
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

// Reloads the project file, discarding every unsaved change of every plan kind.
void ReloadProject(AppContext& context);

// The title of the questions a plan window asks: "Taktarium - " + Lang(key).
QString WindowTitleFor(const LanguageTable& language, std::string_view key);

// Captions of the up and down buttons of the plan windows' lists.
inline constexpr const char* kUpArrow = "\u2227";
inline constexpr const char* kDownArrow = "\u2228";

// Controls carry an object name: tests find them by it.
template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// A push button with a caption.
QPushButton* NewButton(QWidget* parent, const char* name, const QString& text);
// A one-line text field that takes at most kMaxFieldLength characters.
QLineEdit* NewField(QWidget* parent, const char* name);
// A check box with a caption.
QCheckBox* NewBox(QWidget* parent, const char* name, const QString& caption);
// A drop-down list to choose from.
QComboBox* NewChooser(QWidget* parent, const char* name);
// A narrow button with an arrow caption (kUpArrow or kDownArrow).
QPushButton* NewArrowButton(QWidget* parent, const char* name, const char* arrow);

// Keeps a window that has no parent (a parent would disable it together with
// its owner) above `owner` and centred on it.
void KeepAbove(QWidget* window, QWidget* owner);

// Puts `text` into a field so that its start shows (a field cut short shows
// its first letters), with the whole text a hover away.
void SetFieldText(QLineEdit* field, const QString& text);
// The same for the text field of an editable chooser.
void ShowStartOfChooserText(QComboBox* chooser);

// Whether moving the selected items of a list one place by `step` (-1 up,
// +1 down) changes anything: some selected item has an unselected neighbour
// on that side.
bool SelectionCanMove(const QListWidget* list, int step);

// Where a window with `frame` goes so that it lies inside `area` (the
// screen's free area) as far as it fits; an invalid area changes nothing.
QPoint KeptOnScreen(const QRect& frame, const QRect& area);

// The longest text a user can type into a name or text field of a plan.
inline constexpr int kMaxFieldLength = 1000;

}  // namespace tak::ui
