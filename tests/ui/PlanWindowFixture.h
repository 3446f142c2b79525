// A plan window test's world: a small map built in memory (or the demo map),
// a project named "Test" in a temporary working folder, the English or German
// texts, scripted answers and a stand-in for the main window.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/AppContext.h"
#include "support/ProjectMaps.h"
#include "ScriptedDialogs.h"
#include "support/TestSupport.h"

namespace tak::ui::test {

using namespace tak::test;

class PlanWindowFixture : public ::testing::Test {
protected:
    PlanWindowFixture() {
        fs::create_directories(work.path() / "output");
        context.workingFolder = work.path();
        context.projectName = "Test";
        UseLanguage("English");
    }

    void UseLanguage(const char* name) { ASSERT_TRUE(context.language.LoadLanguage(SourceDir() / "Language", name)); }

    fs::path ProjectFile() const { return ProjectFilePath(context); }

    template <typename Control>
    static Control* FindIn(QWidget* window, const char* name) {
        auto* control = window->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    static void Click(QWidget* window, const char* button) {
        auto* control = FindIn<QPushButton>(window, button);
        ASSERT_TRUE(control->isEnabled()) << button;
        QTest::mouseClick(control, Qt::LeftButton);
    }

    // Clicks a check box on its indicator: a wide box takes no click beyond its caption.
    static void Toggle(QCheckBox* box) {
        ASSERT_TRUE(box->isEnabled()) << box->objectName().toStdString();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    // Clicks a list entry, which selects it alone.
    static void ClickRow(QListWidget* list, int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    // Chooses the entry with that text, as the user would with the mouse.
    static void Choose(QWidget* window, const char* chooser, const QString& text) {
        auto* list = FindIn<QComboBox>(window, chooser);
        int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString() << " in " << chooser;
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    static std::vector<std::string> Texts(QListWidget* list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list->count(); ++i) texts.push_back(list->item(i)->text().toStdString());
        return texts;
    }

    static std::vector<std::string> Texts(QComboBox* list) {
        std::vector<std::string> texts;
        for (int i = 0; i < list->count(); ++i) texts.push_back(list->itemText(i).toStdString());
        return texts;
    }

    TempDir work;
    AppContext context;
    ScriptedDialogs dialogs;
    QWidget mainWindow;
};

}  // namespace tak::ui::test
