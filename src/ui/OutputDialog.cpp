#include "ui/OutputDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QUrl>
#include <QKeyEvent>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>

#include "base/FileSystem.h"

#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

constexpr int kDialogWidth = 480;
constexpr int kDialogHeight = 420;
// How often the list takes the lines the worker logged meanwhile.
constexpr int kShowIntervalMs = 50;

// Keeps the dialog above the window it was started from without making it a
// child widget: a child would be disabled together with that window.
void StayAbove(QWidget* dialog, QWidget* owner) {
    if (owner == nullptr) return;
    QWidget* ownerWindow = owner->window();
    ownerWindow->winId();
    dialog->winId();
    if (dialog->windowHandle() != nullptr) dialog->windowHandle()->setTransientParent(ownerWindow->windowHandle());
    QRect area = ownerWindow->frameGeometry();
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(area.center());
    dialog->move(frame.topLeft());
}

QString PathText(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return QDir::toNativeSeparators(
        QString::fromUtf8(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size())));
}

void OpenWithSystem(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

}  // namespace

OutputDialog::OutputDialog(AppContext& context, QWidget* owner, OutputRunner runner)
    : QWidget(nullptr, Qt::Window | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      context_(context),
      runner_(std::move(runner)),
      folder_(OutputFolder(context)),
      fileOpener_(OpenWithSystem) {
    setObjectName("outputDialog");
    setWindowTitle("Taktarium - " + LangText(context.language, "CreateOutput"));
    CreateControls(context.language);
    // The dialog's size, or larger where a larger font needs the room.
    resize(QSize(kDialogWidth, kDialogHeight).expandedTo(minimumSizeHint()));
    control_.warnings.store(context.settings.warnings != 0);
    log_ = std::make_unique<OutputLog>([this](const std::string& line) { QueueLine(line); });
    StayAbove(this, owner);
}

OutputDialog::~OutputDialog() {
    if (!worker_.joinable()) return;
    // Only reached when the program ends while a run goes on: the plan being
    // written is finished, the rest is skipped.
    OutputState running = OutputState::Running;
    control_.state.compare_exchange_strong(running, OutputState::StopRequested);
    worker_.join();
}

void OutputDialog::CreateControls(const LanguageTable& language) {
    logList_ = new QListWidget(this);
    logList_->setObjectName("logList");
    logList_->setUniformItemSizes(true);  // thousands of lines lay out at once
    // The worker posts no event per line: a run logging thousands of lines
    // would keep the event queue full, and the list is only painted once the
    // queue is empty. A timer takes the new lines a few times a second.
    showTimer_ = new QTimer(this);
    showTimer_->setInterval(kShowIntervalMs);
    connect(showTimer_, &QTimer::timeout, this, &OutputDialog::ShowQueuedLines);

    // Where the documents go, and those this run wrote, once it has ended.
    folderLabel_ = new QLabel(FromUtf8(FillPlaceholders(language.Lang("OutputFolder"), {ToUtf8(PathText(folder_))})),
                              this);
    folderLabel_->setObjectName("folderLabel");
    folderLabel_->setWordWrap(true);
    folderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    openFolderButton_ = new QPushButton(LangCaption(language, "OpenFolder"), this);
    openFolderButton_->setObjectName("openFolderButton");
    openFolderButton_->setAutoDefault(false);
    openFolderButton_->setEnabled(false);
    documentsLabel_ = new QLabel(this);
    documentsLabel_->setObjectName("documentsLabel");
    documentList_ = new QListWidget(this);
    documentList_->setObjectName("documentList");
    documentList_->setToolTip(LangText(language, "OpenDocumentHint"));
    documentsLabel_->setVisible(false);
    documentList_->setVisible(false);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 0);  // busy until the run has counted its plans
    progressBar_->setFormat("%v / %m");

    warningsBox_ = new QCheckBox(LangCaption(language, "ShowWarnings"), this);
    warningsBox_->setObjectName("warningsBox");
    warningsBox_->setChecked(context_.settings.warnings != 0);
    warningsBox_->setToolTip(LangText(language, "ShowWarnings"));

    okButton_ = new QPushButton(LangText(language, "OK"), this);
    okButton_->setObjectName("okButton");
    okButton_->setEnabled(false);
    okButton_->setDefault(true);

    cancelButton_ = new QPushButton(LangText(language, "Cancel"), this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setAutoDefault(true);  // Enter on a focused Cancel presses Cancel

    // The captions take the room they need; the list takes the rest.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(warningsBox_);
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(logList_, 2);
    layout->addWidget(progressBar_);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folderLabel_, 1);
    folderRow->addWidget(openFolderButton_);
    layout->addLayout(folderRow);
    layout->addWidget(documentsLabel_);
    layout->addWidget(documentList_, 1);
    layout->addLayout(buttons);
    setTabOrder(warningsBox_, okButton_);
    setTabOrder(okButton_, cancelButton_);

    connect(warningsBox_, &QCheckBox::toggled, this, &OutputDialog::OnWarningsToggled);
    connect(okButton_, &QPushButton::clicked, this, &OutputDialog::OnOk);
    connect(openFolderButton_, &QPushButton::clicked, this, [this] { fileOpener_(PathText(folder_)); });
    connect(documentList_, &QListWidget::itemActivated, this, &OutputDialog::OpenDocument);
    documentList_->installEventFilter(this);
    connect(cancelButton_, &QPushButton::clicked, this, &OutputDialog::OnCancel);
}

void OutputDialog::StartRun() {
    if (worker_.joinable()) return;
    workerRunning_ = true;
    // Whole seconds: a file system may keep coarse times.
    startTime_ = std::chrono::floor<std::chrono::seconds>(std::filesystem::file_time_type::clock::now());
    showTimer_->start();
    worker_ = std::thread([this, source = OutputSourceOf(context_)] {
        runner_(source, control_, *log_);
        QMetaObject::invokeMethod(this, [this] { OnWorkerEnded(); }, Qt::QueuedConnection);
    });
}

// No widget is touched from the worker: the line waits for the show timer.
void OutputDialog::QueueLine(const std::string& line) {
    std::lock_guard lock(queueMutex_);
    queuedLines_ << FromUtf8(line);
}

void OutputDialog::ShowQueuedLines() {
    QStringList lines;
    {
        std::lock_guard lock(queueMutex_);
        lines.swap(queuedLines_);
    }
    for (const QString& line : lines) {
        // Warnings are longer than the list is wide: the whole line is a hover away.
        auto* item = new QListWidgetItem(line, logList_);
        item->setToolTip(line);
    }
    if (!lines.isEmpty()) logList_->scrollToBottom();
    ShowProgress();
}

void OutputDialog::ShowProgress() {
    int total = control_.plansInRun.load();
    if (total <= 0 && workerRunning_) return;  // not counted yet: the bar stays busy
    progressBar_->setRange(0, std::max(total, 1));
    progressBar_->setValue(total <= 0 ? 1 : std::min(control_.plansDone.load(), total));
}

// Runs after the worker logged its last line. The list shows every line
// then, also one queued after the last show event was posted. OK closes the
// dialog whether the run finished or was stopped: its last line says which.
void OutputDialog::OnWorkerEnded() {
    worker_.join();
    workerRunning_ = false;
    showTimer_->stop();
    ShowQueuedLines();
    ShowDocumentsWritten();
    okButton_->setEnabled(true);
    cancelButton_->setEnabled(false);
    okButton_->setFocus();
    if (closeRequested_) close();
}

void OutputDialog::ShowDocumentsWritten() {
    std::error_code error;
    openFolderButton_->setEnabled(std::filesystem::is_directory(folder_, error));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        std::error_code entryError;
        if (!entry.is_regular_file(entryError) || entry.last_write_time(entryError) < startTime_ || entryError) continue;
        std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    documentList_->clear();
    for (const std::string& name : names) documentList_->addItem(FromUtf8(name));
    documentsLabel_->setText(FromUtf8(
        FillPlaceholders(context_.language.Lang("DocumentsWritten"), {std::to_string(names.size())})));
    documentsLabel_->setVisible(true);
    documentList_->setVisible(!names.empty());
}

void OutputDialog::OpenDocument(QListWidgetItem* item) {
    if (item != nullptr) fileOpener_(PathText(folder_ / PathFromText(ToUtf8(item->text()))));
}

// Enter in the document list opens the document and goes no further: it
// would press OK and close the dialog.
bool OutputDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == documentList_ && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenDocument(documentList_->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OutputDialog::OnWarningsToggled(bool on) {
    control_.warnings.store(on);
    context_.settings.warnings = on ? 1 : 0;
}

void OutputDialog::OnOk() { close(); }

// A finished run stays finished: the stop request only applies while it runs.
void OutputDialog::OnCancel() {
    OutputState running = OutputState::Running;
    control_.state.compare_exchange_strong(running, OutputState::StopRequested);
}

// Enter presses OK once the worker has ended; Escape cancels the run or,
// after it, closes the dialog.
void OutputDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (okButton_->isEnabled()) okButton_->click();
            break;
        case Qt::Key_Escape:
            if (workerRunning_) {
                OnCancel();
            } else {
                close();
            }
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void OutputDialog::closeEvent(QCloseEvent* event) {
    if (workerRunning_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

}  // namespace tak::ui
