#include "ui/CrashReportWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <system_error>

#include "base/FileSystem.h"
#include "crash/ErrorHandler.h"
#include "persist/ProgramSettings.h"
#include "ui/WindowEx.h"

namespace tak::ui {

QString CrashWindowTitle() {
    return "Taktarium V." + FromUtf8(VersionWithTwoDecimals(TAKTARIUM_VERSION)) + " [RunTime-Error]";
}

// The window's texts are fixed English words: after a failure the language
// table may be what failed.
CrashReportWindow::CrashReportWindow(const QString& programName, const QString& report, const QString& supportAddress,
                                     std::function<void(const QString&)> openLink, std::function<void()> end,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      report_(report),
      supportAddress_(supportAddress),
      openLink_(std::move(openLink)),
      end_(std::move(end)) {
    setObjectName("crashReportWindow");
    setWindowTitle(CrashWindowTitle());
    setFixedSize(400, 270);

    auto* icon = new QLabel(this);
    icon->setObjectName("errorIcon");
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    icon->setGeometry(10, 10, 32, 32);

    auto* text = new QLabel("An Error occured while running '" + programName + "'", this);
    text->setObjectName("errorText");
    text->setWordWrap(true);
    text->setGeometry(60, 10, 280, 32);

    auto* field = new QPlainTextEdit(this);
    field->setObjectName("reportField");
    field->setReadOnly(true);
    // Long lines (the error message first) wrap rather than hide behind a scroll bar.
    field->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // One tab stop just past the longest label keeps every value in view.
    field->setTabStopDistance(field->fontMetrics().horizontalAdvance("Sourcecode line:  "));
    // The report's lines end in CR LF (the mail text needs them); the field
    // shows plain lines.
    QString shown = report + "\r\n";
    field->setPlainText(shown.replace("\r\n", "\n"));
    field->setGeometry(10, 50, 380, 170);

    auto* endButton = new QPushButton("&End", this);
    endButton->setObjectName("endButton");
    endButton->setGeometry(10, 230, 120, 27);
    connect(endButton, &QPushButton::clicked, this, [this] { end_(); });

    auto* mailButton = new QPushButton("&Send email", this);
    mailButton->setObjectName("sendMailButton");
    mailButton->setGeometry(270, 230, 120, 27);
    // The window stays open, so the user can still end the program.
    connect(mailButton, &QPushButton::clicked, this, [this] { openLink_(MailLink()); });
    if (!IsUsableMailAddress(ToUtf8(supportAddress_))) {
        mailButton->setEnabled(false);
        mailButton->setToolTip("No support address is set: add \"SupportMail\": \"<address>\" to " +
                               QString(kProgramSettingsFileName) + " in the working folder.");
    }
    CenterOnScreen(this);
}

QString CrashReportWindow::MailLink() const {
    return FromUtf8(CrashMailLink(ToUtf8(supportAddress_), TAKTARIUM_VERSION, ToUtf8(report_)));
}

void CrashReportWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    end_();
}

int RunCrashReporter(const char* argv0, const char* reportFile) {
    std::filesystem::path file = PathFromText(reportFile);
    std::string report = ReadFileBytes(file).value_or("(The report file " + std::string(reportFile) + " could not be read.)");
    // The report lives on in the window and in the mail; the temporary file is not needed any more.
    std::error_code ec;
    std::filesystem::remove(file, ec);

    QString programName = QFileInfo(QString::fromLocal8Bit(argv0)).fileName();
    // The reporter starts in the failed program's working folder, beside its settings.
    std::error_code noFolder;
    ProgramSettings settings = ReadProgramSettings(std::filesystem::current_path(noFolder) / kProgramSettingsFileName);
    CrashReportWindow window(
        programName, FromUtf8(report), FromUtf8(settings.supportMail),
        [](const QString& link) { QDesktopServices::openUrl(QUrl(link, QUrl::TolerantMode)); },
        [] { QApplication::exit(0); });
    window.show();
    return QApplication::exec();
}

}  // namespace tak::ui
