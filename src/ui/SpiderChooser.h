// The route spider chooser of the timetable and stop table windows: a check
// box telling whether the plan prints a route spider, and a list of the
// project's spiders whose first entry opens the route spider editor. It
// edits the spider of the plan its host shows and reports every change.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "routespider/RouteSpider.h"

class QCheckBox;
class QComboBox;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;
class RouteSpiderWindow;

// Finds the spider field of the plan the host shows, asked afresh at each
// use (the host looks its plan up by key); null when no plan is shown.
using SpiderFieldLookup = std::function<RouteSpiderKey*()>;

class SpiderChooserPanel : public QWidget {
    Q_OBJECT

public:
    // `host` is the window that waits, disabled, while the editor is open;
    // `caption` is the check box's caption.
    SpiderChooserPanel(AppContext& context, Dialogs& dialogs, QWidget* host, const QString& caption);

    // Shows the spider `lookup` finds and edits it from now on.
    void Show(SpiderFieldLookup lookup);
    // Fills the list again from the project's spiders.
    void Fill();
    // The open route spider editor, null while none is open.
    RouteSpiderWindow* Editor() const { return editor_; }

signals:
    void Changed();

private:
    RouteSpiderKey* Field() const { return fieldOf_ ? fieldOf_() : nullptr; }
    void ShowSpider();
    void SetEnabledStates();
    void OnSwitchToggled(bool on);
    void OnChosen(int index);
    void OpenEditor();
    void OnEditorClosed();
    void TakeSpiderForTickedBox();

    AppContext& context_;
    Dialogs& dialogs_;
    QWidget* host_;
    SpiderFieldLookup fieldOf_;
    RouteSpiderWindow* editor_ = nullptr;
    // The spiders there were when the editor opened from a ticked box.
    std::optional<std::vector<RouteSpiderKey>> keysBefore_;
    bool showing_ = false;  // set while controls are filled, so their signals are not edits

    QCheckBox* box_ = nullptr;
    QComboBox* list_ = nullptr;
};

}  // namespace tak::ui
