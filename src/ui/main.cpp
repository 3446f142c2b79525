// taktarium: the desktop program.
#include <QApplication>
#include <QFileInfo>
#include <cstring>
#include <string>

#include "base/FileSystem.h"
#include "crash/ErrorHandler.h"
#include "ui/CrashReportWindow.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv) {
    // Started again by the crash handler of a failed run: show its report.
    if (argc == 3 && std::strcmp(argv[1], tak::kCrashReportOption) == 0) {
        QApplication app(argc, argv);
        // The report file's name as UTF-8: Windows hands `argv` over in the
        // ANSI code page, which cannot hold every user's temporary folder.
        const std::string reportFile = QCoreApplication::arguments().value(2).toStdString();
        return tak::ui::RunCrashReporter(argv[0], reportFile.c_str());
    }
    tak::CrashHandlerSetup crashSetup;
    crashSetup.reportFile = tak::DefaultCrashReportFile();
    crashSetup.reporterProgram = tak::RunningProgramFile();
    // `argv[0]` is in the ANSI code page on Windows, not UTF-8.
    crashSetup.programName = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    // Without a handler the program still runs, only without crash reports.
    static_cast<void>(tak::InstallCrashHandler(crashSetup));
    tak::RemoveTemporaryFilesOnSignals();

    QApplication app(argc, argv);
    return tak::ui::RunMainWindow(argv[0]);
}
