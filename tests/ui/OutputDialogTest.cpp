#include "ui/OutputDialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "ScriptedDialogs.h"
#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "persist/ProgramSettings.h"
#include "support/TestSupport.h"
#include "ui/MainWindow.h"

namespace tak::ui {
namespace {

// Generous: the demo's timetables are written in well under a second, but
// the sanitizer build is many times slower.
constexpr int kRunTimeoutMs = 60000;

const QString kFirstPlanLine = "Fahrplan: Linie 1 Hauptbahnhof - Südbahnhof";
const QString kSecondPlanLine = "Fahrplan: Linie 3 Gewerbegebiet Ost - Hauptbahnhof";
const QString kCreatedLine = "Ausgabe erstellt!";

// Runs the real output but holds the worker right after it logged its first
// timetable line, until the test lets it go on: so a test can act while the
// run is known to be between its first and its second plan.
class HeldRun {
public:
    OutputRunner Runner() {
        return [this](const OutputSource& source, OutputRunControl& control, OutputLog& log) {
            OutputLog relay([&](const std::string& line) {
                log.LogLine(line);
                if (line.rfind("Fahrplan: ", 0) == 0) WaitForRelease();
            });
            return RunOutput(source, control, relay);
        };
    }

    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    // Bounded, so that a failing test cannot hang the worker and its join.
    void WaitForRelease() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(kRunTimeoutMs), [this] { return released_; });
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool released_ = false;
};

class OutputDialogTest : public ::testing::Test {
protected:
    OutputDialogTest() {
        fs::create_directories(work.path() / "output");
        fs::copy_file(test::SourceDir() / "examples" / "output" / "DemoMap.cfg",
                      work.path() / "output" / "DemoMap.cfg");
    }

    void TearDown() override {
        held.Release();
        window.reset();
    }

    void StartAndLoad(const fs::path& mapFolder) {
        ProgramPlaces places{work.path(), test::SourceDir() / "Language", work.path()};
        LoadStartState(context, places);
        window = std::make_unique<MainWindow>(context, places, dialogs);
        window->findChild<QLineEdit*>("mapFolderField")->setText(QString::fromStdString(mapFolder.string()));
        QTest::mouseClick(window->findChild<QPushButton*>("loadButton"), Qt::LeftButton);
    }

    void StartAndLoadDemo() { StartAndLoad(test::SourceDir() / "examples" / "DemoMap"); }

    OutputDialog* OpenDialog() {
        QTest::mouseClick(window->findChild<QPushButton*>("createOutputButton"), Qt::LeftButton);
        OutputDialog* dialog = window->CurrentOutputDialog();
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    template <typename Control>
    static Control* Find(OutputDialog* dialog, const char* name) {
        auto* control = dialog->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    static QStringList LogLines(OutputDialog* dialog) {
        auto* list = Find<QListWidget>(dialog, "logList");
        QStringList lines;
        for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
        return lines;
    }

    static QStringList PlanLines(OutputDialog* dialog) {
        return LogLines(dialog).filter(QRegularExpression("^Fahrplan: "));
    }

    static bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kRunTimeoutMs); }

    static bool WaitForLine(OutputDialog* dialog, const QString& line) {
        return WaitFor([&] { return LogLines(dialog).contains(line); });
    }

    // The documents written into the demo's output folder, all kinds or only
    // the timetables.
    int DocumentCount(const std::string& prefix = "") const {
        auto documents = ListFilesWithExtension(work.path() / "output" / "DemoMap", ".pdf");
        if (!documents) return 0;
        return static_cast<int>(std::count_if(documents->begin(), documents->end(), [&](const fs::path& path) {
            return path.filename().string().rfind(prefix, 0) == 0;
        }));
    }

    ProgramSettings StoredSettings() const { return ReadProgramSettings(work.path() / kProgramSettingsFileName); }

    test::TempDir work;
    AppContext context;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    HeldRun held;
};

TEST_F(OutputDialogTest, RunsTheDemoToOutputCreatedAndOkKeepsTheWarningsSwitch) {
    work.Write(kProgramSettingsFileName, "{\"Language\": \"German\", \"Warnings\": 0}");
    StartAndLoadDemo();
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Taktarium - Ausgabe erstellen");
    // The dialog's size, wider where the captions need it; none is cut.
    EXPECT_EQ(dialog->height(), 420);
    EXPECT_GE(dialog->width(), 480);
    EXPECT_FALSE(window->isEnabled());
    auto* warnings = Find<QCheckBox>(dialog, "warningsBox");
    EXPECT_EQ(warnings->text(), "&Warnungen anzeigen");
    EXPECT_GE(warnings->width(), warnings->sizeHint().width());
    EXPECT_FALSE(warnings->isChecked());

    auto* ok = Find<QPushButton>(dialog, "okButton");
    ASSERT_TRUE(WaitFor([&] { return ok->isEnabled(); }));
    QStringList lines = LogLines(dialog);
    ASSERT_FALSE(lines.isEmpty());
    // For a look by eye: TAKTARIUM_SCREENSHOT_DIR=<folder> keeps a picture of the dialog.
    if (const char* folder = std::getenv("TAKTARIUM_SCREENSHOT_DIR")) {
        dialog->grab().save(QString::fromLocal8Bit(folder) + "/output-dialog.png");
    }
    EXPECT_EQ(lines.first(), "Erstelle Fahrpläne...");
    EXPECT_EQ(PlanLines(dialog), QStringList({kFirstPlanLine, kSecondPlanLine}));
    EXPECT_EQ(lines.last(), kCreatedLine);
    EXPECT_EQ(dialog->RunState(), OutputState::Finished);
    EXPECT_EQ(DocumentCount("Fahrplan "), 2);

    // Where the documents are, which were written, and a way to open them.
    QString folder = QDir::toNativeSeparators(QString::fromStdString((work.path() / "output" / "DemoMap").string()));
    EXPECT_EQ(Find<QLabel>(dialog, "folderLabel")->text(), "Ausgabeordner: " + folder);
    auto* documents = Find<QListWidget>(dialog, "documentList");
    QStringList written;  // the folder is new: all its files are this run's
    for (const auto& entry : fs::directory_iterator(work.path() / "output" / "DemoMap")) {
        written << QString::fromStdString(entry.path().filename().string());
    }
    written.sort();
    ASSERT_EQ(written.size(), DocumentCount() + 1) << "the PDFs and one picture";
    QStringList listed;
    for (int i = 0; i < documents->count(); ++i) listed << documents->item(i)->text();
    EXPECT_EQ(listed, written);
    EXPECT_EQ(Find<QLabel>(dialog, "documentsLabel")->text(),
              QString::number(written.size()) + " Dokumente in diesem Lauf geschrieben:");
    QStringList opened;
    dialog->SetFileOpener([&](const QString& path) { opened << path; });
    QTest::mouseClick(Find<QPushButton>(dialog, "openFolderButton"), Qt::LeftButton);
    documents->setCurrentRow(0);
    QTest::keyClick(documents, Qt::Key_Return);
    EXPECT_EQ(opened, QStringList({folder, QDir::toNativeSeparators(folder + "/" + written.first())}));
    EXPECT_TRUE(dialog->isVisible()) << "Enter in the list opens the document only";

    // The switch is the setting at once, and the file keeps it after OK.
    QTest::mouseClick(warnings, Qt::LeftButton);
    EXPECT_EQ(context.settings.warnings, 1);
    EXPECT_EQ(StoredSettings().warnings, 0);  // written by the load, before the change
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(window->CurrentOutputDialog(), nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(StoredSettings().warnings, 1);
}

TEST_F(OutputDialogTest, CancelStopsBeforeTheNextPlan) {
    StartAndLoadDemo();
    window->SetOutputRunner(held.Runner());
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForLine(dialog, kFirstPlanLine));

    QTest::mouseClick(Find<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
    EXPECT_EQ(dialog->RunState(), OutputState::StopRequested);
    held.Release();
    ASSERT_TRUE(WaitFor([&] { return !dialog->WorkerRunning(); }));

    // The plan being written when Cancel came is finished; the next is not begun.
    QStringList lines = LogLines(dialog);
    EXPECT_EQ(PlanLines(dialog), QStringList({kFirstPlanLine}));
    // Later kinds announce themselves and stop before their first plan; the
    // last line says that the user stopped the run, and how far it came.
    EXPECT_TRUE(lines.contains("Erstelle Umlaufpläne..."));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(QRegularExpression("^Vom Benutzer angehalten nach 1 von [4-9] Plänen\\.$").match(lines.last()).hasMatch())
        << lines.last().toStdString();
    int firstPlan = static_cast<int>(lines.indexOf(kFirstPlanLine));
    for (const QString& line : lines.mid(firstPlan + 1, lines.size() - firstPlan - 2)) {
        EXPECT_TRUE(line.endsWith("...")) << line.toStdString();
    }
    EXPECT_FALSE(lines.contains(kCreatedLine));
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(dialog->RunState(), OutputState::StopRequested);
    auto* progress = Find<QProgressBar>(dialog, "progressBar");
    EXPECT_EQ(progress->value(), 1);
    EXPECT_GE(progress->maximum(), 4);

    // OK closes the stopped run's dialog; Cancel has nothing left to stop.
    auto* ok = Find<QPushButton>(dialog, "okButton");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(dialog, "cancelButton")->isEnabled());
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(window->CurrentOutputDialog(), nullptr);
    EXPECT_TRUE(window->isEnabled());
}

TEST_F(OutputDialogTest, CloseBoxWhileRunningClosesOnceTheWorkerEnded) {
    StartAndLoadDemo();
    window->SetOutputRunner(held.Runner());
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForLine(dialog, kFirstPlanLine));
    EXPECT_FALSE(Find<QPushButton>(dialog, "okButton")->isEnabled());

    EXPECT_FALSE(dialog->close());
    EXPECT_TRUE(dialog->isVisible());
    // The main window neither closes nor wakes up while the run goes on.
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->isEnabled());

    held.Release();
    ASSERT_TRUE(WaitFor([&] { return window->CurrentOutputDialog() == nullptr; }));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(window->isEnabled());
    // Closing is no stop request: the run went on to its end.
    EXPECT_EQ(dialog->RunState(), OutputState::Finished);
    EXPECT_EQ(LogLines(dialog).last(), kCreatedLine);
    EXPECT_EQ(DocumentCount("Fahrplan "), 2);
    EXPECT_TRUE(StoredSettings().readFromFile);
}

TEST_F(OutputDialogTest, WarningsSwitchedOnDuringTheRunAreLogged) {
    work.Write(kProgramSettingsFileName, "{\"Language\": \"German\", \"Warnings\": 0}");
    StartAndLoadDemo();
    // Rows listed against the direction of travel: every trip that way is
    // served in the wrong order.
    for (TimeTablePlan& plan : context.project.timeTablePlans) std::reverse(plan.stops.begin(), plan.stops.end());
    window->SetOutputRunner(held.Runner());
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForLine(dialog, kFirstPlanLine));
    EXPECT_TRUE(LogLines(dialog).filter("Warnung").isEmpty());

    // The first plan is built after this point, with the switch on.
    QTest::mouseClick(Find<QCheckBox>(dialog, "warningsBox"), Qt::LeftButton);
    held.Release();
    ASSERT_TRUE(WaitForLine(dialog, kCreatedLine));
    QStringList lines = LogLines(dialog);
    int secondPlan = static_cast<int>(lines.indexOf(kSecondPlanLine));
    ASSERT_GT(secondPlan, 0);
    QStringList firstPlanWarnings = lines.mid(0, secondPlan).filter("Warnung in " + kFirstPlanLine.mid(10) + ":");
    EXPECT_FALSE(firstPlanWarnings.isEmpty());
}

// The run works on what the context held when it started: plans changed and
// a map loaded anew meanwhile (the sanitizer build would catch a run still
// reading the map the load let go) change nothing of what it writes.
TEST_F(OutputDialogTest, TheRunWritesWhatThePlansWereWhenItStarted) {
    StartAndLoadDemo();
    window->SetOutputRunner(held.Runner());
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForLine(dialog, kFirstPlanLine));

    const MapData* mapOfTheRun = context.map.get();
    ASSERT_TRUE(LoadMapAndProject(context, test::SourceDir() / "examples" / "DemoMap", kNoDate));
    ASSERT_NE(context.map.get(), mapOfTheRun);
    context.project.timeTablePlans.clear();
    context.project.tourPlans.clear();
    held.Release();
    ASSERT_TRUE(WaitForLine(dialog, kCreatedLine));
    EXPECT_EQ(PlanLines(dialog), QStringList({kFirstPlanLine, kSecondPlanLine}));
    EXPECT_EQ(DocumentCount("Fahrplan "), 2);
    EXPECT_EQ(DocumentCount("Umlauf "), 1);
}

TEST_F(OutputDialogTest, AMapWithoutPlansSaysSoNamingTheProjectFileEachTime) {
    fs::remove(work.path() / "output" / "DemoMap.cfg");
    StartAndLoadDemo();
    for (int run = 0; run < 2; ++run) {
        OutputDialog* dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        auto* ok = Find<QPushButton>(dialog, "okButton");
        ASSERT_TRUE(WaitFor([&] { return ok->isEnabled(); }));
        QStringList lines = LogLines(dialog);
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].startsWith("Das Projekt ")) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains("DemoMap.cfg")) << lines[0].toStdString();
        EXPECT_EQ(Find<QProgressBar>(dialog, "progressBar")->value(), 1) << "an empty run shows as done";
        // Enter presses OK once the run has ended.
        QTest::keyClick(dialog, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(window->isEnabled());
    }
}

TEST_F(OutputDialogTest, EscapeCancelsTheRunAndThenClosesTheDialog) {
    StartAndLoadDemo();
    window->SetOutputRunner(held.Runner());
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForLine(dialog, kFirstPlanLine));
    // Enter does nothing while the run goes on: OK is not enabled yet.
    QTest::keyClick(dialog, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog->RunState(), OutputState::StopRequested);
    EXPECT_TRUE(dialog->isVisible());
    held.Release();
    ASSERT_TRUE(WaitFor([&] { return !dialog->WorkerRunning(); }));
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(window->CurrentOutputDialog(), nullptr);
}

// Counts the paints of a widget while a flag is set.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const std::atomic<bool>& counting) : counting_(counting) {}
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && counting_.load()) ++paints;
        return QObject::eventFilter(watched, event);
    }

private:
    const std::atomic<bool>& counting_;
};

// A run that logs without pause (thousands of plans, many warnings) must not
// keep the list from being painted until its end.
TEST_F(OutputDialogTest, TheListIsPaintedWhileARunLogsWithoutPause) {
    StartAndLoadDemo();
    std::atomic<bool> logging{true};
    window->SetOutputRunner([&](const OutputSource&, OutputRunControl& control, OutputLog& log) {
        control.plansInRun = 1500;
        // A line every few microseconds, without a pause, for a second.
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; std::chrono::steady_clock::now() - start < std::chrono::seconds(1); ++i) {
            log.LogLine("Fahrplan: " + std::to_string(i));
            control.plansDone = std::min(i / 20, 1500);
            auto next = std::chrono::steady_clock::now() + std::chrono::microseconds(10);
            while (std::chrono::steady_clock::now() < next) {
            }
        }
        logging = false;
        control.state = OutputState::Finished;
        return 0;
    });
    PaintCounter counter(logging);
    OutputDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    auto* list = Find<QListWidget>(dialog, "logList");
    list->viewport()->installEventFilter(&counter);
    ASSERT_TRUE(WaitFor([&] { return !dialog->WorkerRunning(); }));
    EXPECT_GE(counter.paints, 3) << "painted while the worker logged";
    EXPECT_GT(list->count(), 1000);
    EXPECT_EQ(Find<QProgressBar>(dialog, "progressBar")->maximum(), 1500);
    list->viewport()->removeEventFilter(&counter);
}

}  // namespace
}  // namespace tak::ui
