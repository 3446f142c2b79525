// The Windows crash handler, run in a child program that fails on purpose
// (CrashChild.cpp), in a folder whose name is not ANSI text.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <thread>

#include "base/FileSystem.h"
#include "crash/ErrorHandler.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

// Runs the crash child with `arguments` and returns its exit code; nullopt
// when it could not be started or did not end within a minute.
std::optional<DWORD> RunChild(const std::wstring& arguments) {
    std::wstring program = (ExecutableFolder(nullptr) / "crash-child.exe").wstring();
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return std::nullopt;
    }
    CloseHandle(process.hThread);
    DWORD code = 0;
    bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    if (!ended) return std::nullopt;
    return code;
}

// The rest of the report line that starts with `prefix` ("Error Code:\t",
// "RAX\t=\t"); nullopt without one.
std::optional<std::string> LineValue(const std::string& report, const std::string& prefix) {
    std::size_t start = report.rfind(prefix, 0) == 0 ? 0 : report.find("\r\n" + prefix);
    if (start == std::string::npos) return std::nullopt;
    if (start != 0) start += 2;
    start += prefix.size();
    std::size_t end = report.find("\r\n", start);
    if (end == std::string::npos) return std::nullopt;
    return report.substr(start, end - start);
}

std::optional<uint64_t> RegisterValue(const std::string& report, const std::string& name) {
    auto value = LineValue(report, name + "\t=\t");
    if (!value || value->rfind("0x", 0) != 0) return std::nullopt;
    return std::stoull(value->substr(2), nullptr, 16);
}

class WindowsCrashHandlerTest : public ::testing::Test {
protected:
    WindowsCrashHandlerTest() : folder(temp.path() / PathFromText("Täktarium Ünfall")) {
        std::filesystem::create_directories(folder);
    }
    std::wstring ReportArgument() const { return L"\"" + (folder / "report.txt").wstring() + L"\""; }
    std::string Report() const { return ReadFileBytes(folder / "report.txt").value_or(""); }

    test::TempDir temp;
    std::filesystem::path folder;
};

TEST_F(WindowsCrashHandlerTest, AccessViolationReportsTheAddressAndTheRegisters) {
    std::optional<DWORD> code = RunChild(L"null " + ReportArgument());
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));  // still ends as failed

    std::string report = Report();
    EXPECT_EQ(report.rfind("Error Message:\tAccess violation (EXCEPTION_ACCESS_VIOLATION): read access\r\n", 0), 0u)
        << report;
    EXPECT_EQ(LineValue(report, "Error Code:\t"), std::to_string(static_cast<int32_t>(EXCEPTION_ACCESS_VIOLATION)));
    EXPECT_EQ(LineValue(report, "Target Address:\t"), "0");
    for (const char* name : {"RAX", "RBX", "RCX", "RDX", "RBP", "RSI", "RDI", "RSP", "RIP", "R8", "R15", "EFLAGS"}) {
        EXPECT_TRUE(RegisterValue(report, name).has_value()) << name;
    }
    // The code address is the instruction pointer.
    auto codeAddress = LineValue(report, "Code Address:\t");
    ASSERT_TRUE(codeAddress.has_value());
    EXPECT_EQ(std::stoull(*codeAddress), RegisterValue(report, "RIP").value_or(0));
    EXPECT_NE(*codeAddress, "0");
}

TEST_F(WindowsCrashHandlerTest, DivisionAndAbortAreReported) {
    std::optional<DWORD> code = RunChild(L"divide " + ReportArgument());
    EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_INT_DIVIDE_BY_ZERO));
    std::string report = Report();
    EXPECT_EQ(report.rfind("Error Message:\tInteger divide by zero (EXCEPTION_INT_DIVIDE_BY_ZERO)\r\n", 0), 0u)
        << report;
    EXPECT_EQ(report.find("Target Address"), std::string::npos);

    code = RunChild(L"abort " + ReportArgument());
    EXPECT_EQ(code, 3u);
    report = Report();  // replaced, not appended
    EXPECT_EQ(report.rfind("Error Message:\tProgram aborted (SIGABRT)\r\nError Code:\t" + std::to_string(SIGABRT) +
                               "\r\n",
                           0),
              0u)
        << report;
}

// Wine exports this from its ntdll; Windows does not.
bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST_F(WindowsCrashHandlerTest, StackOverflowIsReported) {
    // Wine keeps no stack in reserve for the handlers (the guarantee the
    // handler asks for is not granted) and ends the program before any runs.
    if (RunningUnderWine()) GTEST_SKIP() << "Wine runs no handler on a stack overflow";
    std::optional<DWORD> code = RunChild(L"overflow " + ReportArgument());
    EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_STACK_OVERFLOW));
    EXPECT_EQ(Report().rfind("Error Message:\tStack overflow (EXCEPTION_STACK_OVERFLOW)\r\n", 0), 0u) << Report();
}

TEST_F(WindowsCrashHandlerTest, ReporterIsStartedWithTheReportFile) {
    std::filesystem::path reporter = ExecutableFolder(nullptr) / "crash-child.exe";
    std::optional<DWORD> code = RunChild(L"null " + ReportArgument() + L" \"" + reporter.wstring() + L"\"");
    EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    // The reporter runs on its own; wait for it a little.
    std::filesystem::path arguments = folder / "arguments.txt";
    for (int i = 0; i < 200 && !std::filesystem::exists(arguments); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(std::filesystem::exists(arguments));
    EXPECT_EQ(ReadFileBytes(arguments), PathText(reporter) + "\n--crash-report\n" + PathText(folder / "report.txt"));
    EXPECT_EQ(ReadFileBytes(folder / "seen.txt"), ReadFileBytes(folder / "report.txt"));
}

TEST(WindowsCrashHandlerSetupTest, DefaultReportFileIsInTheTemporaryFolder) {
    std::filesystem::path file = DefaultCrashReportFile();
    // (The temporary folder's name ends in a separator on Windows.)
    EXPECT_EQ(file.parent_path(), (std::filesystem::temp_directory_path() / "x").parent_path());
    EXPECT_EQ(file.filename().string(), "taktarium-crash-" + std::to_string(GetCurrentProcessId()) + ".txt");
    EXPECT_EQ(RunningProgramFile().filename(), "tests_crash.exe");
}

}  // namespace
}  // namespace tak
