// The crash reporter: a last-resort handler for run-time failures (invalid
// memory access, illegal instructions, arithmetic faults, aborts).
//
// When a failure happens the handler writes a report (message, code,
// addresses, source position, processor registers) to a file and starts the
// program again in its reporter mode, which shows the report in a window and
// offers to mail it. A window cannot safely be drawn from inside a failing
// process, so the handler itself only does what is safe there.
//
// This header is the platform-neutral part: the report's text form and the
// mail link. Each platform supplies InstallCrashHandler in a file of its own
// (ErrorHandlerLinux.cpp: fatal signals; ErrorHandlerWindows.cpp: an
// unhandled-exception filter and abort()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tak {

// Started as `<program> --crash-report <report file>`, the program shows the
// report window instead of its main window.
inline constexpr const char* kCrashReportOption = "--crash-report";

struct CrashRegister {
    const char* name = "";  // "RAX", "X0" …
    uint64_t value = 0;
};

inline constexpr int kMaxCrashRegisters = 40;

// What is known about one failure. Plain fixed-size data and static texts, so
// that a signal handler can fill it without allocating.
struct CrashDetails {
    const char* message = "";        // "Segmentation fault (SIGSEGV)"
    const char* messageDetail = "";  // "address not mapped"; may be empty
    // Linux: the signal number (SIGSEGV 11, SIGBUS 7, SIGFPE 8, SIGILL 4,
    // SIGABRT 6); Windows: the exception code (0xC0000005 for an access
    // violation), or SIGABRT 22 for abort().
    int32_t code = 0;
    uint64_t codeAddress = 0;        // address of the failing instruction
    bool hasTargetAddress = false;   // only for invalid memory access
    uint64_t targetAddress = 0;      // the address that could not be accessed
    int32_t sourceLine = 0;          // 0 when unknown
    const char* sourceFile = "";     // name part only; empty when unknown
    CrashRegister registers[kMaxCrashRegisters];
    int registerCount = 0;
};

// Writes the report into `buffer` and returns its length (without the
// terminating zero, which is always written). A report longer than the
// buffer is cut off. Lines end in "\r\n":
//
//   Error Message:<TAB>Segmentation fault (SIGSEGV): address not mapped
//   Error Code:<TAB>11
//   Code Address:<TAB><decimal>
//   Target Address:<TAB><decimal>          (invalid memory access only)
//   Sourcecode line:<TAB>0
//   Sourcecode file:<TAB>
//
//   Register content:
//   RAX<TAB>=<TAB>0x<upper-case hex without leading zeros>
//   …
//
// Uses no allocation, no locale and no library formatting, so it may be
// called from a signal handler.
std::size_t BuildCrashReport(const CrashDetails& details, char* buffer, std::size_t capacity);

// "0.1" → "0.10", "1.36" → "1.36", "2" → "2.00": the version as a number with
// two decimals, as the report window and the mail text show it.
std::string VersionWithTwoDecimals(std::string_view version);

// The mail link for a report: "mailto:<address>?subject=…&body=<greeting>
// %0A%0Ai discovered an Error with Taktarium V.<version> :%0A<report>", the
// report's "\r\n" written as "%0A" and its tabs as blanks. No other character
// is encoded; the mail handler receives the text as it is.
std::string CrashMailLink(std::string_view supportAddress, std::string_view version, std::string_view report);

// Whether a support address from the settings file can stand in a mail link:
// one "@" between non-empty parts, at most 254 characters, nothing that
// would end the address or add to the link (blanks, controls, "?&#<>,;:%\"").
bool IsUsableMailAddress(std::string_view address);

struct CrashHandlerSetup {
    // Where the handler writes the report (created anew, mode 0600).
    std::filesystem::path reportFile;
    // The program started as `reporterProgram --crash-report <reportFile>`
    // after a failure; empty starts nothing (the report file stays).
    std::filesystem::path reporterProgram;
    // argv[0] of the started reporter: the failing program's name.
    std::string programName = "taktarium";
};

// A fresh report file name in the system's temporary folder.
std::filesystem::path DefaultCrashReportFile();

// The running program's own file, for starting it again as the reporter.
std::filesystem::path RunningProgramFile();

// Installs the handler for the whole process (platform part). Call once at
// start on the main thread, before any other thread runs; a second call
// replaces the setup. The handler's own stack serves the calling thread, so a
// stack overflow is reported there; other threads' failures are reported
// except their stack overflows. False when installing failed.
[[nodiscard]] bool InstallCrashHandler(const CrashHandlerSetup& setup);

}  // namespace tak
