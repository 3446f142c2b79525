// The Windows part of the crash reporter: an unhandled-exception filter, and a
// handler for abort(), which the C run-time library ends with a signal rather
// than an exception.
//
// The filter runs inside the failing process, possibly on a thread whose stack
// has overflowed or while the heap is broken, so it allocates nothing: the
// report file's name, the reporter's command line and the report buffer are
// prepared when the handler is installed, and the report is written with
// CreateFileW/WriteFile and the reporter started with CreateProcessW.
//
// What the report can hold here: the exception (as message and code), the
// failing instruction's address and the registers from the exception context,
// and, for an access violation, the address that was touched. The source line
// and file stay 0 and empty, as on Linux.
#include "crash/ErrorHandler.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <string>

namespace tak {

namespace {

constexpr std::size_t kPathCapacity = 32768;
constexpr std::size_t kReportCapacity = 16 * 1024;
// Stack kept back for the filter when a thread's stack overflows.
constexpr ULONG kStackGuarantee = 64 * 1024;

// The state the filter can reach: it receives nothing but the exception, so
// this one place is global. Written only by InstallCrashHandler.
struct HandlerState {
    wchar_t reportFile[kPathCapacity] = {};
    wchar_t reporterProgram[kPathCapacity] = {};
    wchar_t commandLine[2 * kPathCapacity + 64] = {};
    char programName[256] = {};
    bool startReporter = false;
    char report[kReportCapacity] = {};
};

HandlerState handlerState;
std::atomic<bool> handlingFailure{false};

// UTF-16 text of a path, into a fixed buffer. False when it does not fit.
bool CopyWide(wchar_t* target, std::size_t capacity, const std::wstring& text) {
    if (text.size() + 1 > capacity) return false;
    std::memcpy(target, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return true;
}

bool CopyText(char* target, std::size_t capacity, const std::string& text) {
    if (text.size() + 1 > capacity) return false;
    std::memcpy(target, text.c_str(), text.size() + 1);
    return true;
}

// One argument of a command line, quoted the way CommandLineToArgvW reads it
// back: backslashes are doubled only before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

const char* ExceptionMessage(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "Access violation (EXCEPTION_ACCESS_VIOLATION)";
    case EXCEPTION_IN_PAGE_ERROR: return "Page could not be read (EXCEPTION_IN_PAGE_ERROR)";
    case EXCEPTION_STACK_OVERFLOW: return "Stack overflow (EXCEPTION_STACK_OVERFLOW)";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "Integer divide by zero (EXCEPTION_INT_DIVIDE_BY_ZERO)";
    case EXCEPTION_INT_OVERFLOW: return "Integer overflow (EXCEPTION_INT_OVERFLOW)";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "Floating-point divide by zero (EXCEPTION_FLT_DIVIDE_BY_ZERO)";
    case EXCEPTION_FLT_INVALID_OPERATION: return "Invalid floating-point operation (EXCEPTION_FLT_INVALID_OPERATION)";
    case EXCEPTION_FLT_OVERFLOW: return "Floating-point overflow (EXCEPTION_FLT_OVERFLOW)";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "Illegal instruction (EXCEPTION_ILLEGAL_INSTRUCTION)";
    case EXCEPTION_PRIV_INSTRUCTION: return "Privileged instruction (EXCEPTION_PRIV_INSTRUCTION)";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "Misaligned data (EXCEPTION_DATATYPE_MISALIGNMENT)";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "Array bounds exceeded (EXCEPTION_ARRAY_BOUNDS_EXCEEDED)";
    default: return "Unhandled exception";
    }
}

// For an access violation, the kind of access that failed.
const char* AccessDetail(const EXCEPTION_RECORD& record) {
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2) return "";
    switch (record.ExceptionInformation[0]) {
    case 0: return "read access";
    case 1: return "write access";
    case 8: return "execution prevented";
    default: return "";
    }
}

void AddRegister(CrashDetails& details, const char* name, uint64_t value) {
    if (details.registerCount >= kMaxCrashRegisters) return;
    details.registers[details.registerCount++] = CrashRegister{name, value};
}

void AddProcessorState(CrashDetails& details, const CONTEXT* context) {
#if defined(_M_X64) || defined(__x86_64__)
    const struct {
        const char* name;
        DWORD64 value;
    } registers[] = {
        {"RAX", context->Rax}, {"RBX", context->Rbx}, {"RCX", context->Rcx}, {"RDX", context->Rdx},
        {"RBP", context->Rbp}, {"RSI", context->Rsi}, {"RDI", context->Rdi}, {"RSP", context->Rsp},
        {"RIP", context->Rip}, {"R8", context->R8},   {"R9", context->R9},   {"R10", context->R10},
        {"R11", context->R11}, {"R12", context->R12}, {"R13", context->R13}, {"R14", context->R14},
        {"R15", context->R15}, {"EFLAGS", context->EFlags},
    };
    for (const auto& reg : registers) AddRegister(details, reg.name, reg.value);
#else
    (void)details;
    (void)context;
#endif
}

CrashDetails DetailsOf(const EXCEPTION_POINTERS* pointers) {
    CrashDetails details;
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    details.message = ExceptionMessage(record.ExceptionCode);
    details.messageDetail = AccessDetail(record);
    details.code = static_cast<int32_t>(record.ExceptionCode);
    details.codeAddress = reinterpret_cast<uint64_t>(record.ExceptionAddress);
    bool memoryAccess = record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION ||
                        record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR;
    if (memoryAccess && record.NumberParameters >= 2) {
        details.hasTargetAddress = true;
        details.targetAddress = static_cast<uint64_t>(record.ExceptionInformation[1]);
    }
    if (pointers->ContextRecord != nullptr) AddProcessorState(details, pointers->ContextRecord);
    return details;
}

void WriteAll(HANDLE file, const char* data, std::size_t length) {
    while (length > 0) {
        DWORD written = 0;
        DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return;
        data += written;
        length -= written;
    }
}

void WriteError(const char* text, std::size_t length) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE) WriteAll(error, text, length);
}

bool WriteReportFile(const char* report, std::size_t length) {
    // Created anew, so that nothing planted at the name is written through.
    DeleteFileW(handlerState.reportFile);
    HANDLE file = CreateFileW(handlerState.reportFile, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    WriteAll(file, report, length);
    CloseHandle(file);
    return true;
}

void StartReporter() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(handlerState.reporterProgram, handlerState.commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void Report(const CrashDetails& details) {
    std::size_t length = BuildCrashReport(details, handlerState.report, sizeof handlerState.report);
    WriteError("\r\n", 2);
    WriteError(handlerState.programName, std::strlen(handlerState.programName));
    WriteError(": run-time error\r\n", 18);
    WriteError(handlerState.report, length);
    if (WriteReportFile(handlerState.report, length) && handlerState.startReporter) StartReporter();
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    // A second failing thread waits for the first to end the process.
    if (handlingFailure.exchange(true)) {
        for (;;) Sleep(INFINITE);
    }
    Report(DetailsOf(pointers));
    // Ends the process with the exception code as its exit status, so that
    // whoever started the program sees that it failed.
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnAbort(int) {
    if (handlingFailure.exchange(true)) {
        for (;;) Sleep(INFINITE);
    }
    CrashDetails details;
    details.message = "Program aborted (SIGABRT)";
    details.code = SIGABRT;
    CONTEXT context = {};
    RtlCaptureContext(&context);
    AddProcessorState(details, &context);
#if defined(_M_X64) || defined(__x86_64__)
    details.codeAddress = context.Rip;
#endif
    Report(details);
    // As abort() itself ends the program.
    TerminateProcess(GetCurrentProcess(), 3);
}

}  // namespace

std::filesystem::path DefaultCrashReportFile() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    return folder / ("taktarium-crash-" + std::to_string(GetCurrentProcessId()) + ".txt");
}

std::filesystem::path RunningProgramFile() {
    static wchar_t buffer[kPathCapacity];
    DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(kPathCapacity));
    if (length == 0 || length >= kPathCapacity) return {};
    return std::filesystem::path(std::wstring(buffer, length));
}

bool InstallCrashHandler(const CrashHandlerSetup& setup) {
    if (!CopyWide(handlerState.reportFile, kPathCapacity, setup.reportFile.wstring())) return false;
    if (!CopyWide(handlerState.reporterProgram, kPathCapacity, setup.reporterProgram.wstring())) return false;
    std::string name = setup.programName.empty() ? "taktarium" : setup.programName;
    if (!CopyText(handlerState.programName, sizeof handlerState.programName, name)) return false;
    std::wstring line;
    AppendQuoted(line, setup.reporterProgram.wstring());
    line += L' ';
    line.append(kCrashReportOption, kCrashReportOption + std::strlen(kCrashReportOption));
    line += L' ';
    AppendQuoted(line, setup.reportFile.wstring());
    if (!CopyWide(handlerState.commandLine, std::size(handlerState.commandLine), line)) return false;
    handlerState.startReporter = !setup.reporterProgram.empty();

    // Room for the filter on a thread whose stack overflowed; without it every
    // other failure is still reported.
    ULONG guarantee = kStackGuarantee;
    SetThreadStackGuarantee(&guarantee);
    // No system dialog on a failure: the report takes its place.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(OnUnhandledException);
    return std::signal(SIGABRT, OnAbort) != SIG_ERR;
}

}  // namespace tak
