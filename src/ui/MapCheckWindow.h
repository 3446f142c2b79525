// The findings of the map check, listed for the map's author: sortable by
// severity, place and text, and copyable as the command line prints them.
#pragma once

#include <QDialog>
#include <vector>

#include "mapdata/MapCheck.h"

class QTreeWidget;

namespace tak {
class LanguageTable;
}

namespace tak::ui {

class MapCheckWindow : public QDialog {
    Q_OBJECT

public:
    MapCheckWindow(std::vector<MapFinding> findings, const LanguageTable& language, QWidget* parent = nullptr);

    // The findings as text, one line each, grouped by file: what "Copy" puts
    // on the clipboard.
    QString FindingsAsText() const { return text_; }

private:
    QTreeWidget* list_ = nullptr;
    QString text_;
};

// The main window's summary of a check: "2 errors, 1 warnings" in words of
// the language, or its words for no findings at all.
QString FindingsSummary(const std::vector<MapFinding>& findings, const LanguageTable& language);

}  // namespace tak::ui
