// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tak::test {

namespace fs = std::filesystem;

// `prefix` followed by the decimal number, e.g. Numbered("S", 3) == "S3". Tests
// name generated stops and lines with it: written as "S" + std::to_string(3),
// the concatenation sets off a false -Wrestrict alarm of GCC 12 in optimised
// builds.
std::string Numbered(std::string_view prefix, long long number);

// The repository's top folder.
fs::path SourceDir();

// The folder of real maps made by others; empty when it is not present.
fs::path RealMapsDir();

// True when the tests run under continuous integration (the variable CI is set),
// where nothing a test needs may be missing.
bool RunningUnderCi();

struct CommandResult {
    int status = -1;  // the exit status; -1 when the command could not run or was killed
    std::string output;
};

// Runs a shell command and collects what it writes to standard output
// (append " 2>&1" to the command to collect its errors too).
CommandResult RunCommand(const std::string& command);

// A fresh folder below the system's temporary folder, removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    // Writes `bytes` to `relative` below the folder, creating parent folders.
    fs::path Write(const fs::path& relative, std::string_view bytes) const;

private:
    fs::path path_;
};

}  // namespace tak::test

// Skips the test where the Debian tools it reads documents back with (qpdf,
// poppler-utils, a POSIX shell) cannot run: in the Windows test programs under
// Wine, which see nothing of the Linux machine. The Linux run of the same test
// checks the same documents; on Linux the macro does nothing, and a missing
// tool fails the test there.
#if defined(_WIN32)
#define TAKTARIUM_REQUIRE_LINUX_TOOLS(tools) \
    GTEST_SKIP() << "reads its documents back with " tools " (Linux programs, out of reach under Wine)"
#else
#define TAKTARIUM_REQUIRE_LINUX_TOOLS(tools) static_cast<void>(0)
#endif

// Declares `variable` as the real maps folder. When it is missing, the test is
// skipped on a developer's machine but fails under continuous integration, so
// that the real-map checks cannot silently stop running there.
#define TAKTARIUM_REAL_MAPS_OR_SKIP(variable)                                              \
    const ::std::filesystem::path variable = ::tak::test::RealMapsDir();                   \
    if (variable.empty()) {                                                                \
        if (::tak::test::RunningUnderCi()) FAIL() << "real maps folder missing under CI"; \
        GTEST_SKIP() << "real maps folder not present";                                    \
    }
