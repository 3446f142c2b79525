// The create-output dialog: runs every plan of the loaded map on a worker
// thread and shows the run's log as it grows, with a bar of the plans done.
// Cancel (or Escape) asks the run to stop before its next plan; OK (or
// Enter), enabled once the worker has ended, closes the dialog. While the
// worker runs, a close through the close box is only noted and carried out
// once the worker has ended.
#pragma once

#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "app/AppContext.h"

class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tak::ui {

// The run the dialog starts on its worker thread, over what the context
// held when the run started. The program uses RunOutput; tests may wrap it to
// hold the worker at a chosen point.
using OutputRunner = std::function<int(const OutputSource&, OutputRunControl&, OutputLog&)>;
inline const OutputRunner kRunOutput = [](const OutputSource& source, OutputRunControl& control, OutputLog& log) {
    return RunOutput(source, control, log);
};

class OutputDialog : public QWidget {
    Q_OBJECT

public:
    // `owner` is the window the output was started from: the dialog stays on
    // top of it. The context must not change until the dialog is gone; only
    // its warnings setting is written, by the check box.
    OutputDialog(AppContext& context, QWidget* owner, OutputRunner runner = kRunOutput);
    // Asks a run that is still going to stop and waits for its worker.
    ~OutputDialog() override;

    OutputDialog(const OutputDialog&) = delete;
    OutputDialog& operator=(const OutputDialog&) = delete;

    // Starts the run on the worker thread (once).
    void StartRun();

    OutputState RunState() const { return control_.state.load(); }
    // Opens a folder or a document with the system's own program; tests
    // hand in one that only notes what it was given.
    void SetFileOpener(std::function<void(const QString&)> opener) { fileOpener_ = std::move(opener); }
    bool WorkerRunning() const { return workerRunning_; }

signals:
    // The dialog has closed (through OK or its close box) after its worker ended.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls(const LanguageTable& language);
    // Called on the worker thread for every logged line.
    void QueueLine(const std::string& line);
    // Moves the queued lines into the list, follows its end and updates the
    // progress bar.
    void ShowQueuedLines();
    void ShowProgress();
    void OnWorkerEnded();
    // Lists the documents of the output folder this run wrote.
    void ShowDocumentsWritten();
    void OpenDocument(QListWidgetItem* item);
    void OnWarningsToggled(bool on);
    void OnOk();
    void OnCancel();

    AppContext& context_;
    OutputRunner runner_;
    OutputRunControl control_;
    // Built after the controls: its callback hands lines to the log list.
    std::unique_ptr<OutputLog> log_;
    std::thread worker_;
    bool workerRunning_ = false;
    bool closeRequested_ = false;
    std::filesystem::path folder_;  // where the run writes
    // When the run started: files changed since then are this run's documents.
    std::filesystem::file_time_type startTime_;
    std::function<void(const QString&)> fileOpener_;

    // Lines the worker logged that the list does not show yet.
    std::mutex queueMutex_;
    QStringList queuedLines_;

    QListWidget* logList_ = nullptr;
    QLabel* folderLabel_ = nullptr;
    QPushButton* openFolderButton_ = nullptr;
    QLabel* documentsLabel_ = nullptr;
    QListWidget* documentList_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QCheckBox* warningsBox_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QTimer* showTimer_ = nullptr;
};

}  // namespace tak::ui
