#include "ui/WindowEx.h"

#include <QFileDialog>
#include <QMessageBox>
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

}  // namespace tak::ui
