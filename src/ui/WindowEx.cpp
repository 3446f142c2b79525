#include "ui/WindowEx.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <algorithm>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <QScreen>
#include <QWidget>

#include "app/AppContext.h"
#include "mapdata/MapLoader.h"

namespace tak::ui {

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(parent, title, startFolder);
}

void QtDialogs::ShowMessage(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text);
}

bool QtDialogs::AskYesNo(QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

Dialogs::Answer QtDialogs::AskYesNoCancel(QWidget* parent, const QString& title, const QString& text) {
    auto button = QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                        QMessageBox::Yes);
    if (button == QMessageBox::Yes) return Answer::Yes;
    if (button == QMessageBox::No) return Answer::No;
    return Answer::Cancel;
}

QString QtDialogs::InputText(QWidget* parent, const QString& title, const QString& prompt) {
    bool ok = false;
    QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text.left(kMaxFieldLength) : QString();
}

QString QtDialogs::ChooseItem(QWidget* parent, const QString& title, const QString& prompt, const QStringList& items,
                              int current) {
    bool ok = false;
    QString item = QInputDialog::getItem(parent, title, prompt, items, std::max(current, 0), false, &ok);
    return ok ? item : QString();
}

QColor QtDialogs::ChooseColour(QWidget* parent, const QColor& initial) { return QColorDialog::getColor(initial, parent); }

bool QtDialogs::RunDialog(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

QString LangText(const LanguageTable& language, std::string_view key) { return FromUtf8(language.Lang(key)); }

QString LangCaption(const LanguageTable& language, std::string_view key) { return FromUtf8(language.Caption(key)); }

QString LangLabel(const LanguageTable& language, std::string_view key) { return LangCaption(language, key) + ":"; }

QDate DateOf(DateValue date) {
    if (date == kNoDate) return {};
    CalendarDay day = DateToCalendar(date);
    return QDate(day.year, day.month, day.day);
}

DateValue DateValueOf(const QDate& date) {
    if (!date.isValid()) return kNoDate;
    return MakeDate(date.year(), date.month(), date.day());
}

void CenterOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) return;
    QRect area = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

bool SaveProjectOrTell(AppContext& context, Dialogs& dialogs, QWidget* parent) {
    if (SaveProjectFile(context)) return true;
    dialogs.ShowMessage(parent, kMessageTitle, LangText(context.language, "ErrSaveProject"));
    return false;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

QLineEdit* NewField(QWidget* parent, const char* name) {
    auto* field = Named(new QLineEdit(parent), name);
    field->setMaxLength(kMaxFieldLength);
    return field;
}

QCheckBox* NewBox(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QCheckBox(caption, parent), name);
}

QComboBox* NewChooser(QWidget* parent, const char* name) { return Named(new QComboBox(parent), name); }

QPushButton* NewArrowButton(QWidget* parent, const char* name, const char* arrow) {
    QPushButton* button = NewButton(parent, name, arrow);
    // Styles give text buttons a wide minimum; an arrow needs little room.
    button->setFixedWidth(button->fontMetrics().height() * 2 + 8);
    return button;
}

void KeepAbove(QWidget* window, QWidget* owner) {
    if (owner == nullptr) return;
    QWidget* ownerWindow = owner->window();
    ownerWindow->winId();
    window->winId();
    if (window->windowHandle() != nullptr) window->windowHandle()->setTransientParent(ownerWindow->windowHandle());
    QRect frame = window->frameGeometry();
    frame.moveCenter(ownerWindow->frameGeometry().center());
    window->move(KeptOnScreen(frame, ownerWindow->screen() ? ownerWindow->screen()->availableGeometry() : QRect()));
}

void SetFieldText(QLineEdit* field, const QString& text) {
    field->setText(text);
    field->setCursorPosition(0);
    field->setToolTip(text);
}

void ShowStartOfChooserText(QComboBox* chooser) {
    if (chooser->lineEdit() != nullptr) chooser->lineEdit()->setCursorPosition(0);
    chooser->setToolTip(chooser->currentText());
}

bool SelectionCanMove(const QListWidget* list, int step) {
    for (int i = 0; i < list->count(); ++i) {
        int next = i + step;
        if (list->item(i)->isSelected() && next >= 0 && next < list->count() && !list->item(next)->isSelected()) {
            return true;
        }
    }
    return false;
}

QPoint KeptOnScreen(const QRect& frame, const QRect& area) {
    if (!area.isValid()) return frame.topLeft();
    // Right and bottom first, so that a window larger than the screen keeps
    // its title bar and left edge in view.
    int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return {x, y};
}

void ReloadProject(AppContext& context) { LoadProjectFile(context); }

QString WindowTitleFor(const LanguageTable& language, std::string_view key) {
    return "Taktarium - " + LangText(language, key);
}

}  // namespace tak::ui
