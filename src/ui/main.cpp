// taktarium: the desktop program.
#include <QApplication>
#include <cstring>
#include <filesystem>

#include "base/FileSystem.h"
#include "crash/ErrorHandler.h"
#include "ui/CrashReportWindow.h"
#include "ui/MainWindow.h"

int main(int argc, char** argv) {
    // Started again by the crash handler of a failed run: show its report.
    if (argc == 3 && std::strcmp(argv[1], tak::kCrashReportOption) == 0) {
        QApplication app(argc, argv);
        return tak::ui::RunCrashReporter(argv[0], argv[2]);
    }
    tak::CrashHandlerSetup crashSetup;
    crashSetup.reportFile = tak::DefaultCrashReportFile();
    crashSetup.reporterProgram = tak::RunningProgramFile();
    crashSetup.programName = std::filesystem::path(argv[0]).filename().string();
    // Without a handler the program still runs, only without crash reports.
    static_cast<void>(tak::InstallCrashHandler(crashSetup));
    tak::RemoveTemporaryFilesOnSignals();

    QApplication app(argc, argv);
    return tak::ui::RunMainWindow(argv[0]);
}
