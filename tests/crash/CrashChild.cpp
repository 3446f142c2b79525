// A program that fails on purpose with the crash handler installed, for the
// Windows handler's tests (Windows has no fork):
//
//   crash-child null|divide|abort|overflow REPORTFILE [REPORTER]
//       installs the handler and fails the way named;
//   crash-child --crash-report REPORTFILE
//       as the reporter: copies the report to "seen.txt" beside it and writes
//       its own arguments, one a line, to "arguments.txt" there.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/FileSystem.h"
#include "crash/ErrorHandler.h"

namespace {

volatile int* volatile nullTarget = nullptr;
volatile int zeroDivisor = 0;
volatile int recursionLimit = 1 << 30;

// Its frame is still read after the call, so that the compiler cannot turn
// the recursion into a loop.
__attribute__((noinline)) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth >= recursionLimit) return frame[0];
    frame[1] = static_cast<char>(Recurse(depth + 1));
    return frame[0] + frame[1];
}

int ActAsReporter(const std::filesystem::path& reportFile, const std::wstring& self) {
    std::filesystem::path folder = reportFile.parent_path();
    auto report = tak::ReadFileBytes(reportFile);
    if (!report || !tak::WriteFileBytes(folder / "seen.txt", *report)) return 3;
    std::string arguments = tak::PathText(self) + "\n" + tak::kCrashReportOption + "\n" + tak::PathText(reportFile);
    return tak::WriteFileBytes(folder / "arguments.txt", arguments) ? 0 : 3;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args || count < 3) return 2;
    std::wstring kind = args[1];
    std::filesystem::path reportFile(args[2]);
    if (kind == L"--crash-report") return ActAsReporter(reportFile, args[0]);

    tak::CrashHandlerSetup setup;
    setup.reportFile = reportFile;
    if (count > 3) setup.reporterProgram = std::filesystem::path(args[3]);
    setup.programName = "crash-child";
    if (!tak::InstallCrashHandler(setup)) return 98;
    if (kind == L"null") return *nullTarget;
    if (kind == L"divide") return 7 / zeroDivisor;
    if (kind == L"abort") std::abort();
    if (kind == L"overflow") return Recurse(0);
    return 2;
}
