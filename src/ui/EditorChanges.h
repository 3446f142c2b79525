// What every editor window does with its unsaved changes: a modified flag
// that the Apply button shows, saving on OK and Apply, and the question asked
// when the user leaves with changes (Yes saves, No discards them by reading
// the file again, Cancel stays). The plan, route map and route spider
// windows each hold one and differ only in what saving and discarding mean.
#pragma once

#include <QString>
#include <functional>

class QPushButton;
class QWidget;

namespace tak {
struct AppContext;
}

namespace tak::ui {

class Dialogs;

class EditorChanges {
public:
    struct Steps {
        std::function<bool()> save;     // writes the changes; false when nothing was written
        std::function<void()> discard;  // drops the changes, reading the file again
        // Whether leaving without changes discards too (the windows that
        // edit the whole project read it again, so that no change made
        // through another way survives unsaved).
        bool discardWhenUnchanged = false;
    };

    // `window` asks the questions, under its title; `questionKey` names the
    // leave question in the language table.
    EditorChanges(QWidget& window, Dialogs& dialogs, const AppContext& context, const char* questionKey, Steps steps);

    // The button that shows the flag: enabled while there are changes.
    void SetApplyButton(QPushButton* button);
    bool IsModified() const { return modified_; }
    void SetModified(bool modified);
    void Touch() { SetModified(true); }

    // Saves; the flag is cleared when that worked. Returns whether it did.
    bool Apply();
    // Whether the window may close, asking first when there are changes.
    bool MayLeave();

private:
    QWidget& window_;
    Dialogs& dialogs_;
    const AppContext& context_;
    const char* questionKey_;
    Steps steps_;
    QPushButton* applyButton_ = nullptr;
    bool modified_ = false;
};

// Saves the whole project, first asking what to do with a project file that
// did not parse (its plans were left empty, so saving would put that in its
// place): keep a copy, replace it, or not save. A failed save is told.
bool SaveProjectAsking(AppContext& context, Dialogs& dialogs, QWidget* window);

}  // namespace tak::ui
