// The crash reporter's window. It runs in a process of its own, started by the
// failing program with `--crash-report <file>`: it shows the report and lets
// the user end or mail it to the support address of the settings file.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace tak::ui {

class CrashReportWindow : public QWidget {
    Q_OBJECT

public:
    // `openLink` opens the mail link (the system's mail handler in the
    // program); `end` ends the program. Without a usable `supportAddress`
    // the mail button is disabled and says why.
    CrashReportWindow(const QString& programName, const QString& report, const QString& supportAddress,
                      std::function<void(const QString&)> openLink, std::function<void()> end,
                      QWidget* parent = nullptr);

    QString MailLink() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString report_;
    QString supportAddress_;
    std::function<void(const QString&)> openLink_;
    std::function<void()> end_;
};

// The window's title for a program version ("0.1" → "Taktarium V.0.10 [RunTime-Error]").
QString CrashWindowTitle();

// Reporter mode: reads and removes the report file, shows the window and
// returns the program's exit code once it is closed.
int RunCrashReporter(const char* argv0, const char* reportFile);

}  // namespace tak::ui
