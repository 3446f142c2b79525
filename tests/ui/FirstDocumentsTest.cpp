// A map author's first documents: from a map without a project file to
// documents that print times, by the windows alone.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "ScriptedDialogs.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "output/PdfWords.h"
#include "support/TestSupport.h"
#include "ui/MainWindow.h"
#include "ui/TimeTable.h"

namespace tak::ui {
namespace {

constexpr int kRunTimeoutMs = 60000;

class FirstDocumentsTest : public ::testing::Test {
protected:
    FirstDocumentsTest() { fs::create_directories(work.path() / "output"); }

    void Start(const char* language) {
        work.Write("Taktarium.cfg", std::string("{\"Language\": \"") + language + "\"}");
        ProgramPlaces places{work.path(), test::SourceDir() / "Language", work.path()};
        LoadStartState(context, places);
        PlanWindowOpeners openers;
        openers.timeTable = [this] { timeTable = OpenPlanWindow<TimeTableWindow>(context, dialogs, window.get()); };
        openers.timeTableAt = [this](std::size_t plan) {
            timeTable = OpenPlanWindow<TimeTableWindow>(context, dialogs, window.get());
            timeTable->SelectPlan(plan);
        };
        window = std::make_unique<MainWindow>(context, places, dialogs, std::move(openers));
        window->show();
    }

    void Load(const fs::path& folder) {
        Find<QLineEdit>(window.get(), "mapFolderField")->setText(QString::fromStdString(folder.string()));
        QTest::mouseClick(Find<QPushButton>(window.get(), "loadButton"), Qt::LeftButton);
    }

    static fs::path RealMap() { return fs::path(TAKTARIUM_REALMAPS_DIR) / "NewDavisville"; }

    template <typename Control>
    static Control* Find(QWidget* parent, const char* name) {
        auto* control = parent->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    static void Click(QWidget* parent, const char* name) {
        auto* button = Find<QPushButton>(parent, name);
        ASSERT_TRUE(button->isEnabled()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Runs the output from the main window; the log's lines once it ended.
    QStringList CreateOutput() {
        Click(window.get(), "createOutputButton");
        OutputDialog* dialog = window->CurrentOutputDialog();
        if (dialog == nullptr) return {};
        auto* ok = Find<QPushButton>(dialog, "okButton");
        EXPECT_TRUE(QTest::qWaitFor([&] { return ok->isEnabled(); }, kRunTimeoutMs));
        QStringList lines;
        auto* log = Find<QListWidget>(dialog, "logList");
        for (int i = 0; i < log->count(); ++i) lines << log->item(i)->text();
        QTest::mouseClick(ok, Qt::LeftButton);
        return lines;
    }

    // The clock times a PDF prints ("5:07", "17:45").
    static int TimesIn(const fs::path& pdf) {
        int count = 0;
        QRegularExpression time("^\\d{1,2}[:.]\\d\\d$");
        for (const test::PdfWord& word : test::PdfWords(pdf)) {
            if (time.match(QString::fromStdString(word.text)).hasMatch()) ++count;
        }
        return count;
    }

    fs::path Folder() const { return work.path() / "output" / "NewDavisville"; }

    test::TempDir work;
    AppContext context;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    TimeTableWindow* timeTable = nullptr;
};

TEST_F(FirstDocumentsTest, PlansForALineGiveATimetableAndATourPlanWithTimes) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    Start("German");
    Load(RealMap());
    auto* label = Find<QLabel>(window.get(), "projectLabel");
    EXPECT_EQ(label->text(),
              "Projekt NewDavisville.cfg: 0 Fahrpläne, 0 Umlaufpläne, 0 Aushangfahrpläne, 0 Liniennetzpläne");

    // The line chosen in the tree is offered first.
    auto* tours = Find<QTreeWidget>(window.get(), "lineToursTree");
    ASSERT_EQ(tours->topLevelItemCount(), 2);
    tours->setCurrentItem(tours->topLevelItem(1)->child(0));
    QString line = tours->topLevelItem(1)->text(0);
    dialogs.nextItem = line;
    Click(window.get(), "linePlansButton");
    ASSERT_EQ(dialogs.itemRequests.size(), 1u);
    EXPECT_EQ(dialogs.itemRequests[0].current, 1);
    ASSERT_NE(timeTable, nullptr);
    EXPECT_FALSE(window->isEnabled());
    // Saved at once, so the summary counts the new plans.
    EXPECT_EQ(label->text(),
              "Projekt NewDavisville.cfg: 1 Fahrplan, 1 Umlaufplan, 0 Aushangfahrpläne, 0 Liniennetzpläne");
    EXPECT_EQ(Find<QListWidget>(timeTable, "planList")->currentItem()->text(), line);
    EXPECT_EQ(Find<QLineEdit>(timeTable, "nameField")->text(), line);
    Click(timeTable, "okButton");
    ASSERT_TRUE(window->isEnabled());

    QStringList lines = CreateOutput();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), "Ausgabe erstellt!") << lines.join("\n").toStdString();
    EXPECT_GT(TimesIn(Folder() / ("Fahrplan " + line.toStdString() + ".pdf")), 20);
    EXPECT_GT(TimesIn(Folder() / ("Umlauf " + line.toStdString() + ".pdf")), 20);
}

// The way without the line button: a new plan, its trips, "Add all", OK.
TEST_F(FirstDocumentsTest, ATimetableMadeByHandPrintsTimesInEnglishWithEnglishDayRows) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    Start("English");
    Load(RealMap());
    Click(window.get(), "timeTableButton");
    ASSERT_NE(timeTable, nullptr);
    dialogs.inputs = {"Bayview"};
    Click(timeTable, "newPlanButton");
    auto* days = Find<QListWidget>(timeTable, "dayList");
    ASSERT_GE(days->count(), 1);
    EXPECT_EQ(days->item(0)->text(), "Monday - Friday");
    auto* chooser = Find<QComboBox>(timeTable, "tripChooser");
    for (int i = 0; i < chooser->count(); ++i) {
        chooser->setCurrentIndex(i);
        Click(timeTable, "addTripButton");
    }
    Click(timeTable, "stopAddAllButton");
    Click(timeTable, "okButton");
    EXPECT_EQ(Find<QLabel>(window.get(), "projectLabel")->text(),
              "Project NewDavisville.cfg: 1 timetable, 0 tour plans, 0 stop timetables, 0 route maps");

    QStringList lines = CreateOutput();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), "Output created!") << lines.join("\n").toStdString();
    EXPECT_GT(TimesIn(Folder() / "Timetable Bayview.pdf"), 20);
}

}  // namespace
}  // namespace tak::ui
