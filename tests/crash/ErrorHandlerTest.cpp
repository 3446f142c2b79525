#include "crash/ErrorHandler.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "base/FileSystem.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

std::string Report(const CrashDetails& details, std::size_t capacity = 4096) {
    std::string buffer(capacity, '#');
    std::size_t length = BuildCrashReport(details, buffer.data(), buffer.size());
    EXPECT_EQ(buffer[length], '\0');
    return buffer.substr(0, length);
}

TEST(CrashReportTest, AccessViolationHasEveryLineInOrder) {
    CrashDetails details;
    details.message = "Segmentation fault (SIGSEGV)";
    details.messageDetail = "address not mapped";
    details.code = 11;
    details.codeAddress = 94558120;
    details.hasTargetAddress = true;
    details.targetAddress = 0;
    details.sourceLine = 42;
    details.sourceFile = "MainWindow.cpp";
    details.registers[0] = {"RAX", 0};
    details.registers[1] = {"RBX", 0xFFFFFFFF80000000ull};
    details.registers[2] = {"RIP", 0x5A2C0DE};
    details.registerCount = 3;
    EXPECT_EQ(Report(details),
              "Error Message:\tSegmentation fault (SIGSEGV): address not mapped\r\n"
              "Error Code:\t11\r\n"
              "Code Address:\t94558120\r\n"
              "Target Address:\t0\r\n"
              "Sourcecode line:\t42\r\n"
              "Sourcecode file:\tMainWindow.cpp\r\n"
              "\r\n"
              "Register content:\r\n"
              "RAX\t=\t0x0\r\n"
              "RBX\t=\t0xFFFFFFFF80000000\r\n"
              "RIP\t=\t0x5A2C0DE\r\n");
}

TEST(CrashReportTest, OtherFailuresHaveNoTargetAddressAndKeepNegativeCodes) {
    CrashDetails details;
    details.message = "Program aborted (SIGABRT)";
    details.code = -1073741819;
    details.codeAddress = UINT64_MAX;
    EXPECT_EQ(Report(details),
              "Error Message:\tProgram aborted (SIGABRT)\r\n"
              "Error Code:\t-1073741819\r\n"
              "Code Address:\t18446744073709551615\r\n"
              "Sourcecode line:\t0\r\n"
              "Sourcecode file:\t\r\n"
              "\r\n"
              "Register content:\r\n");
}

TEST(CrashReportTest, LongReportIsCutToTheBuffer) {
    CrashDetails details;
    details.message = "Segmentation fault (SIGSEGV)";
    details.registerCount = kMaxCrashRegisters;
    for (auto& reg : details.registers) reg = {"R15", UINT64_MAX};
    std::string full = Report(details);
    std::string cut = Report(details, 20);
    EXPECT_EQ(cut, full.substr(0, 19));
    EXPECT_EQ(BuildCrashReport(details, nullptr, 0), 0u);
}

TEST(CrashMailLinkTest, ReportLinesAndTabsBecomeLineBreaksAndBlanks) {
    std::string report = "Error Message:\tBus error (SIGBUS)\r\nError Code:\t7\r\n\r\nRegister content:\r\nRAX\t=\t0x1F\r\n";
    EXPECT_EQ(CrashMailLink("support@taktarium.example", "0.1", report),
              "mailto:support@taktarium.example?subject=Taktarium Error Description&body="
              "Hello Taktarium team,%0A%0Ai discovered an Error with Taktarium V.0.10 :%0A"
              "Error Message: Bus error (SIGBUS)%0AError Code: 7%0A%0ARegister content:%0ARAX = 0x1F%0A");
}

TEST(CrashMailLinkTest, NothingElseIsEncoded) {
    std::string link = CrashMailLink("a@b.example", "1.36", "50% & more?\n\rend");
    EXPECT_EQ(link.substr(link.find(":%0A") + 4), "50% & more?\n\rend");
}

TEST(CrashMailLinkTest, OnlyAPlainAddressFromTheSettingsIsUsed) {
    EXPECT_TRUE(IsUsableMailAddress("help@example.org"));
    EXPECT_TRUE(IsUsableMailAddress("h\xC3\xA9lp@b\xC3\xBCro.example"));
    for (std::string_view bad : {"", "nobody", "@example.org", "help@", "a@b@c", "a@b?cc=c@d", "a@b&body=x", "a b@c",
                                 "a@b\n", "a@b%0A", "<a@b>", "a@b,c@d"}) {
        EXPECT_FALSE(IsUsableMailAddress(bad)) << bad;
    }
    EXPECT_FALSE(IsUsableMailAddress(std::string(250, 'a') + "@b.example"));
}

TEST(CrashMailLinkTest, VersionHasTwoDecimals) {
    EXPECT_EQ(VersionWithTwoDecimals("1.36"), "1.36");
    EXPECT_EQ(VersionWithTwoDecimals("0.1"), "0.10");
    EXPECT_EQ(VersionWithTwoDecimals("2"), "2.00");
    EXPECT_EQ(VersionWithTwoDecimals("0.1.7"), "0.10");
    EXPECT_EQ(VersionWithTwoDecimals("3.141"), "3.14");
}

// The handler itself, on Linux (ErrorHandlerWindowsTest.cpp tests the Windows
// one).
#if !defined(_WIN32)

// Failures caused on purpose in a child process. The sanitizers are switched
// off for them, so that the child really faults instead of being stopped by
// a sanitizer's report first.
#define TAK_UNCHECKED __attribute__((noinline, no_sanitize("address", "undefined")))

volatile int* volatile nullTarget = nullptr;
volatile int zeroDivisor = 0;
volatile int recursionLimit = 1 << 30;

TAK_UNCHECKED void ReadNull() { (void)*nullTarget; }

TAK_UNCHECKED void DivideByZero() {
    volatile int result = 7 / zeroDivisor;
    (void)result;
}

TAK_UNCHECKED int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth >= recursionLimit) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

struct ChildEnd {
    bool signalled = false;
    int signalNumber = 0;
};

// Forks a child that installs the handler and then runs `fail`.
template <typename Failure>
ChildEnd RunFailingChild(const CrashHandlerSetup& setup, Failure fail) {
    pid_t child = fork();
    if (child == 0) {
        if (!InstallCrashHandler(setup)) _exit(98);
        fail();
        _exit(99);  // the failure did not end the child
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFSIGNALED(status), WIFSIGNALED(status) ? WTERMSIG(status) : 0};
}

std::string ReadText(const fs::path& file) { return ReadFileBytes(file).value_or(""); }

// The rest of the report line that starts with `prefix`; nullopt without one.
std::optional<std::string> LineValue(const std::string& report, const std::string& prefix) {
    std::size_t start = report.rfind(prefix, 0) == 0 ? 0 : report.find("\r\n" + prefix);
    if (start == std::string::npos) return std::nullopt;
    if (start != 0) start += 2;
    start += prefix.size();
    std::size_t end = report.find("\r\n", start);
    if (end == std::string::npos) return std::nullopt;
    return report.substr(start, end - start);
}

bool AllOf(const std::string& text, const char* allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

uint64_t DecimalAfter(const std::string& report, const std::string& label) {
    auto value = LineValue(report, label + "\t");
    return value && AllOf(*value, "0123456789") ? std::stoull(*value) : 0;
}

// A register line is "<name>\t=\t0x<upper-case hex digits>".
std::optional<uint64_t> RegisterValue(const std::string& report, const std::string& name) {
    auto value = LineValue(report, name + "\t=\t0x");
    if (!value || !AllOf(*value, "0123456789ABCDEF")) return std::nullopt;
    return std::stoull(*value, nullptr, 16);
}

class CrashHandlerTest : public ::testing::Test {
protected:
    CrashHandlerSetup Setup() const {
        CrashHandlerSetup setup;
        setup.reportFile = temp.path() / "report.txt";
        setup.programName = "tests_crash";
        return setup;
    }
    test::TempDir temp;
};

TEST_F(CrashHandlerTest, NullReadReportsTheAccessAndTheRegisters) {
    ChildEnd end = RunFailingChild(Setup(), ReadNull);
    EXPECT_TRUE(end.signalled);
    EXPECT_EQ(end.signalNumber, SIGSEGV);  // the process still ends by its signal

    std::string report = ReadText(temp.path() / "report.txt");
    EXPECT_NE(report.find("Error Message:\tSegmentation fault (SIGSEGV): address not mapped\r\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("Error Code:\t11\r\n"), std::string::npos);
    EXPECT_NE(report.find("Target Address:\t0\r\n"), std::string::npos);
    EXPECT_NE(report.find("Sourcecode line:\t0\r\nSourcecode file:\t\r\n\r\nRegister content:\r\n"), std::string::npos);
#if defined(__x86_64__)
    for (const char* name : {"RAX", "RBX", "RCX", "RDX", "RBP", "RSI", "RDI", "RSP", "RIP", "R8", "R15", "EFLAGS"}) {
        EXPECT_TRUE(RegisterValue(report, name).has_value()) << name;
    }
    // The code address is the instruction pointer, and it lies in this program.
    uint64_t codeAddress = DecimalAfter(report, "Code Address:");
    EXPECT_EQ(codeAddress, RegisterValue(report, "RIP").value_or(0));
    EXPECT_NE(codeAddress, 0u);
    EXPECT_NE(RegisterValue(report, "RSP").value_or(0), 0u);
#endif
    struct stat info = {};
    ASSERT_EQ(stat((temp.path() / "report.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // the report is the user's alone
}

TEST_F(CrashHandlerTest, StackOverflowIsCaughtOnTheHandlersOwnStack) {
    ChildEnd end = RunFailingChild(Setup(), [] { Recurse(0); });
    EXPECT_EQ(end.signalNumber, SIGSEGV);
    std::string report = ReadText(temp.path() / "report.txt");
    EXPECT_NE(report.find("Error Message:\tSegmentation fault (SIGSEGV)"), std::string::npos) << report;
    // The touched address lies just below the stack pointer of the failing frame.
    uint64_t target = DecimalAfter(report, "Target Address:");
    uint64_t stackPointer = RegisterValue(report, "RSP").value_or(0);
    EXPECT_NE(target, 0u);
#if defined(__x86_64__)
    EXPECT_LT(stackPointer > target ? stackPointer - target : target - stackPointer, 64u * 1024u);
#endif
}

TEST_F(CrashHandlerTest, DivisionByZeroAndAbortHaveNoTargetAddress) {
    ChildEnd division = RunFailingChild(Setup(), DivideByZero);
    EXPECT_EQ(division.signalNumber, SIGFPE);
    std::string report = ReadText(temp.path() / "report.txt");
    EXPECT_NE(report.find("Error Message:\tArithmetic error (SIGFPE): integer divide by zero\r\nError Code:\t8\r\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("Target Address"), std::string::npos);

    ChildEnd abortEnd = RunFailingChild(Setup(), [] { std::abort(); });
    EXPECT_EQ(abortEnd.signalNumber, SIGABRT);
    report = ReadText(temp.path() / "report.txt");  // replaced, not appended
    EXPECT_EQ(report.rfind("Error Message:\tProgram aborted (SIGABRT)\r\nError Code:\t6\r\n", 0), 0u) << report;
    EXPECT_EQ(report.find("Target Address"), std::string::npos);
}

TEST_F(CrashHandlerTest, ReporterIsStartedWithTheReportFile) {
    // A stand-in reporter that keeps its arguments and a copy of the report.
    fs::path reporter = temp.Write("reporter.sh",
                                   "#!/bin/sh\n"
                                   "printf '%s|%s|%s' \"$0\" \"$1\" \"$2\" > \"$(dirname \"$2\")/arguments.tmp\"\n"
                                   "cp \"$2\" \"$(dirname \"$2\")/seen.txt\"\n"
                                   "mv \"$(dirname \"$2\")/arguments.tmp\" \"$(dirname \"$2\")/arguments.txt\"\n");
    fs::permissions(reporter, fs::perms::owner_all);
    CrashHandlerSetup setup = Setup();
    setup.reporterProgram = reporter;

    ChildEnd end = RunFailingChild(setup, ReadNull);
    EXPECT_EQ(end.signalNumber, SIGSEGV);
    // The reporter runs on its own; wait for it a little.
    fs::path arguments = temp.path() / "arguments.txt";
    for (int i = 0; i < 100 && !fs::exists(arguments); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(arguments));
    fs::path reportFile = temp.path() / "report.txt";
    EXPECT_EQ(ReadText(arguments), reporter.string() + "|--crash-report|" + reportFile.string());
    EXPECT_EQ(ReadText(temp.path() / "seen.txt"), ReadText(reportFile));
}

TEST(CrashHandlerSetupTest, DefaultReportFileIsInTheTemporaryFolder) {
    fs::path file = DefaultCrashReportFile();
    EXPECT_EQ(file.parent_path(), fs::temp_directory_path());
    EXPECT_EQ(file.filename().string(), "taktarium-crash-" + std::to_string(getpid()) + ".txt");
}
#endif  // !_WIN32

}  // namespace
}  // namespace tak
