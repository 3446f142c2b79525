// The platform part for systems without a crash handler yet: the program runs
// as usual, and a failure ends it the way the system ends any program.
#include "crash/ErrorHandler.h"

#include <system_error>

namespace tak {

std::filesystem::path DefaultCrashReportFile() {
    std::error_code ec;
    return std::filesystem::temp_directory_path(ec) / "taktarium-crash.txt";
}

std::filesystem::path RunningProgramFile() { return {}; }

bool InstallCrashHandler(const CrashHandlerSetup&) { return false; }

}  // namespace tak
