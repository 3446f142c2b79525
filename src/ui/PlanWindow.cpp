#include "ui/PlanWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AppContext.h"
#include "base/Language.h"
#include "project/ProjectLimits.h"
#include "ui/GlobalOpt.h"
#include "ui/SpiderChooser.h"
#include "ui/WindowEx.h"

namespace tak::ui {

PlanWindow::PlanWindow(AppContext& context, Dialogs& dialogs, QWidget* mainWindow, const Frame& frame)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      context_(context),
      dialogs_(dialogs),
      mainWindow_(mainWindow),
      // Leaving reads the project file again, changed or not, so that the
      // plans match the file once the window is gone.
      changes_(*this, dialogs, context, frame.modifiedKey,
               {.save = [this] { return SaveProjectAsking(context_, dialogs_, this); },
                .discard = [this] { ReloadProject(context_); },
                .discardWhenUnchanged = true}),
      size_(frame.size) {
    setObjectName(frame.objectName);
    setWindowTitle(WindowTitleFor(context.language, frame.titleKey));
    if (mainWindow_ != nullptr) mainWindow_->setEnabled(false);
}

void PlanWindow::Build() {
    CreateControls();
    PlaceControls();
    ConnectControls();
    ShowFirstPlan();
    resize(size_);
    KeepAbove(this, mainWindow_);
}

PlanWindow::~PlanWindow() {
    // A window that goes away without being closed still gives the main window back.
    if (!finished_ && mainWindow_ != nullptr) mainWindow_->setEnabled(true);
}

RouteSpiderWindow* PlanWindow::SpiderEditor() const {
    return spiderChooser_ != nullptr ? spiderChooser_->Editor() : nullptr;
}

bool PlanWindow::OthersAtWork() const { return outputDialogOpen_ || SpiderEditor() != nullptr; }

void PlanWindow::OnOk() {
    if (OthersAtWork()) return;
    if (changes_.Apply()) Finish();
}

void PlanWindow::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    if (OthersAtWork()) return;
    if (changes_.MayLeave()) Finish();
}

void PlanWindow::Finish() {
    finished_ = true;
    if (mainWindow_ != nullptr) {
        mainWindow_->setEnabled(true);
        mainWindow_->activateWindow();
    }
    hide();
    emit Closed();
}

void PlanWindow::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    event->ignore();
    reject();
}

void PlanWindow::OpenOutputDialog() {
    if (OthersAtWork()) return;
    setEnabled(false);
    outputDialog_ = std::make_unique<OutputDialog>(context_, this, outputRunner_);
    outputDialogOpen_ = true;
    connect(outputDialog_.get(), &OutputDialog::Closed, this, &PlanWindow::OnOutputDialogClosed);
    outputDialog_->show();
    outputDialog_->StartRun();
}

void PlanWindow::CreateOutputOptions(const char* captionKey, bool OutputOpt::*allInOne) {
    OutputOpt& options = context_.project.outputOpt;
    globalOpt_ = new GlobalOptPanel(context_.language, this);
    globalOpt_->Show(&options);
    allInOneBox_ = NewBox(this, "allInOneBox", LangText(context_.language, captionKey));
    allInOneBox_->setChecked(options.*allInOne);
    connect(globalOpt_, &GlobalOptPanel::Changed, this, &PlanWindow::Touch);
    connect(allInOneBox_, &QCheckBox::toggled, this, [this, &options, allInOne](bool on) {
        if (showing_ || on == options.*allInOne) return;
        options.*allInOne = on;
        Touch();
    });
}

void PlanWindow::CreateSpiderChooser(const QString& caption) {
    spiderChooser_ = new SpiderChooserPanel(context_, dialogs_, this, caption);
    connect(spiderChooser_, &SpiderChooserPanel::Changed, this, &PlanWindow::Touch);
}

void PlanWindow::CreateClosingButtons() {
    const LanguageTable& language = context_.language;
    okButton_ = NewButton(this, "okButton", LangText(language, "OK"));
    okButton_->setDefault(true);
    applyButton_ = NewButton(this, "applyButton", LangText(language, "Apply"));
    cancelButton_ = NewButton(this, "cancelButton", LangText(language, "Cancel"));
    createOutputButton_ = NewButton(this, "createOutputButton", LangText(language, "CreateOutput"));
    changes_.SetApplyButton(applyButton_);
    connect(okButton_, &QPushButton::clicked, this, &PlanWindow::OnOk);
    connect(applyButton_, &QPushButton::clicked, this, [this] { changes_.Apply(); });
    connect(cancelButton_, &QPushButton::clicked, this, &PlanWindow::reject);
    connect(createOutputButton_, &QPushButton::clicked, this, &PlanWindow::OpenOutputDialog);
}

QLayout* PlanWindow::OutputOptionsColumn() {
    auto* column = new QVBoxLayout;
    column->addWidget(globalOpt_);
    column->addWidget(allInOneBox_);
    column->addStretch(1);
    return column;
}

void PlanWindow::PlaceAboveClosingButtons(QLayout* body) {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(applyButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch(1);
    buttons->addWidget(createOutputButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
}

void PlanWindow::EditsText(QLineEdit* control, std::function<std::string*()> field, std::function<void()> then) {
    connect(control, &QLineEdit::textEdited, this, [this, field, then](const QString& text) {
        std::string* target = field();
        if (showing_ || target == nullptr) return;
        *target = ToUtf8(text);
        if (then) then();
        Touch();
    });
    editedTexts_.emplace_back(control, std::move(field));
}

void PlanWindow::EditsSwitch(QCheckBox* control, std::function<bool*()> field, std::function<void()> then) {
    connect(control, &QCheckBox::toggled, this, [this, field, then](bool on) {
        bool* target = field();
        if (showing_ || target == nullptr) return;
        *target = on;
        if (then) then();
        Touch();
    });
    editedSwitches_.emplace_back(control, std::move(field));
}

void PlanWindow::EditsBreakHour(QComboBox* control, std::function<int32_t*()> field) {
    connect(control, &QComboBox::currentIndexChanged, this, [this, control, field] {
        int32_t* target = field();
        if (showing_ || target == nullptr) return;
        *target = control->currentData().toInt();
        Touch();
    });
    editedBreakHours_.emplace_back(control, std::move(field));
}

void PlanWindow::ShowEditedFields() {
    bool wasShowing = std::exchange(showing_, true);
    for (const auto& [control, field] : editedTexts_) {
        const std::string* text = field();
        SetFieldText(control, text != nullptr ? FromUtf8(*text) : QString());
    }
    for (const auto& [control, field] : editedSwitches_) {
        const bool* on = field();
        control->setChecked(on != nullptr && *on);
    }
    for (const auto& [control, field] : editedBreakHours_) {
        const int32_t* hour = field();
        control->setCurrentIndex(LimitBreakHour(hour != nullptr ? *hour : kNoBreakHour) - kNoBreakHour);
    }
    showing_ = wasShowing;
}

QComboBox* NewBreakHourList(QWidget* parent) {
    QComboBox* list = NewChooser(parent, "breakHourList");
    list->addItem("-", kNoBreakHour);
    for (int hour = 0; hour <= kMaxBreakHour; ++hour) list->addItem(QString::number(kFirstBreakClock + hour), hour);
    return list;
}

void PlanWindow::OnOutputDialogClosed() {
    outputDialogOpen_ = false;
    setEnabled(true);
    activateWindow();
}

}  // namespace tak::ui
