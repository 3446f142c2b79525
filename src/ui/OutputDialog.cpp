#include "ui/OutputDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "ui/WindowEx.h"

namespace tak::ui {

namespace {

constexpr int kDialogWidth = 330;
constexpr int kDialogHeight = 300;
constexpr int kFollowEndIntervalMs = 50;

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

}  // namespace

OutputDialog::OutputDialog(AppContext& context, QWidget* owner, OutputRunner runner)
    : QWidget(nullptr, Qt::Window | Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      context_(context),
      runner_(std::move(runner)) {
    setObjectName("outputDialog");
    setWindowTitle("Taktarium - " + LangText(context.language, "CreateOutput"));
    setFixedSize(kDialogWidth, kDialogHeight);
    CreateControls(context.language);
    control_.warnings.store(context.settings.warnings != 0);
    // Called on the worker thread: the line travels to the list as an event
    // of this dialog, so no widget is touched from the worker.
    log_ = std::make_unique<OutputLog>([this](const std::string& line) {
        QMetaObject::invokeMethod(this, [this, text = FromUtf8(line)] { AppendLine(text); }, Qt::QueuedConnection);
    });
    StayAbove(this, owner);
}

OutputDialog::~OutputDialog() {
    if (!worker_.joinable()) return;
    // Only reached when the program ends while a run goes on: the plan being
    // written is finished, the rest is skipped.
    int running = kOutputRunning;
    control_.state.compare_exchange_strong(running, kOutputStopRequested);
    worker_.join();
}

void OutputDialog::CreateControls(const LanguageTable& language) {
    logList_ = new QListWidget(this);
    logList_->setObjectName("logList");
    logList_->setGeometry(10, 10, 310, 250);
    // Scrolling lays the whole list out again, and a run may log thousands of
    // warnings: the list follows its end at most every few frames.
    followEndTimer_ = new QTimer(this);
    followEndTimer_->setSingleShot(true);
    followEndTimer_->setInterval(kFollowEndIntervalMs);
    connect(followEndTimer_, &QTimer::timeout, logList_, &QListWidget::scrollToBottom);

    warningsBox_ = new QCheckBox(LangText(language, "ShowWarnings"), this);
    warningsBox_->setObjectName("warningsBox");
    warningsBox_->setGeometry(10, 270, 110, 20);
    warningsBox_->setChecked(context_.settings.warnings != 0);
    warningsBox_->setToolTip(warningsBox_->text());

    okButton_ = new QPushButton(LangText(language, "OK"), this);
    okButton_->setObjectName("okButton");
    okButton_->setGeometry(130, 270, 90, 20);
    okButton_->setEnabled(false);

    cancelButton_ = new QPushButton(LangText(language, "Cancel"), this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setGeometry(230, 270, 90, 20);

    connect(warningsBox_, &QCheckBox::toggled, this, &OutputDialog::OnWarningsToggled);
    connect(okButton_, &QPushButton::clicked, this, &OutputDialog::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &OutputDialog::OnCancel);
}

void OutputDialog::StartRun() {
    if (worker_.joinable()) return;
    workerRunning_ = true;
    worker_ = std::thread([this] {
        runner_(context_, control_, *log_);
        QMetaObject::invokeMethod(this, [this] { OnWorkerEnded(); }, Qt::QueuedConnection);
    });
}

void OutputDialog::AppendLine(const QString& line) {
    // Warnings are longer than the list is wide: the whole line is a hover away.
    auto* item = new QListWidgetItem(line, logList_);
    item->setToolTip(line);
    if (!followEndTimer_->isActive()) followEndTimer_->start();
}

// Runs after every line the worker logged has reached the list: the worker
// posted this event after them.
void OutputDialog::OnWorkerEnded() {
    worker_.join();
    workerRunning_ = false;
    followEndTimer_->stop();
    logList_->scrollToBottom();
    okButton_->setEnabled(control_.state.load() == kOutputFinished);
    if (closeRequested_) close();
}

void OutputDialog::OnWarningsToggled(bool on) {
    control_.warnings.store(on);
    context_.settings.warnings = on ? 1 : 0;
}

void OutputDialog::OnOk() { close(); }

// A finished run stays finished: the stop request only applies while it runs.
void OutputDialog::OnCancel() {
    int running = kOutputRunning;
    control_.state.compare_exchange_strong(running, kOutputStopRequested);
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
