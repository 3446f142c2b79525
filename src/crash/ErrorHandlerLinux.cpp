// The Linux part of the crash reporter: handlers for the fatal signals.
//
// Inside a signal handler only async-signal-safe calls are allowed: no
// allocation, no stdio, no locks. Everything the handler needs (the report
// file's name, the reporter's argument list, the report buffer and its own
// stack) is therefore prepared when the handler is installed, and the report
// is written with open/write and started with _Fork/execv.
//
// What the report can hold here: the signal (as message and code), the
// failing instruction's address and the registers from the signal context,
// and, for invalid memory access, the address that was touched. The source
// line and file are not known inside the handler (reading debug information
// is not signal-safe), so they stay 0 and empty.
#include "crash/ErrorHandler.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

namespace tak {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// A stack overflow leaves no room on the thread's own stack, so the handler
// runs on a stack of its own (large enough for the sanitizer builds too).
constexpr std::size_t kHandlerStackSize = 256 * 1024;
constexpr std::size_t kPathCapacity = 4096;
constexpr std::size_t kReportCapacity = 16 * 1024;

// The state a signal handler can reach: it receives nothing but the signal,
// so this one place is global. Written only by InstallCrashHandler, before
// any failure can use it.
struct HandlerState {
    char reportFile[kPathCapacity] = {};
    char reporterProgram[kPathCapacity] = {};
    char programName[256] = {};
    char option[32] = {};
    char* reporterArguments[4] = {};
    bool startReporter = false;
    char report[kReportCapacity] = {};
    void* handlerStack = nullptr;
};

HandlerState handlerState;
std::atomic<bool> handlingFailure{false};

bool CopyText(char* target, std::size_t capacity, const std::string& text) {
    if (text.size() + 1 > capacity) return false;
    std::memcpy(target, text.c_str(), text.size() + 1);
    return true;
}

const char* SignalMessage(int signalNumber) {
    switch (signalNumber) {
    case SIGSEGV: return "Segmentation fault (SIGSEGV)";
    case SIGBUS: return "Bus error (SIGBUS)";
    case SIGFPE: return "Arithmetic error (SIGFPE)";
    case SIGILL: return "Illegal instruction (SIGILL)";
    case SIGABRT: return "Program aborted (SIGABRT)";
    default: return "Fatal signal";
    }
}

// The kernel's reason for a fault; signals sent by a process (si_code <= 0)
// have none.
const char* SignalDetail(int signalNumber, int code) {
    if (signalNumber == SIGABRT) return "";
    if (code == SI_KERNEL) return "general protection fault";
    if (code <= 0) return "signal sent by a process";
    switch (signalNumber) {
    case SIGSEGV:
        if (code == SEGV_MAPERR) return "address not mapped";
        if (code == SEGV_ACCERR) return "access not permitted";
        break;
    case SIGBUS:
        if (code == BUS_ADRALN) return "misaligned address";
        if (code == BUS_ADRERR) return "address does not exist";
        if (code == BUS_OBJERR) return "hardware error";
        break;
    case SIGFPE:
        if (code == FPE_INTDIV) return "integer divide by zero";
        if (code == FPE_INTOVF) return "integer overflow";
        if (code == FPE_FLTDIV) return "floating-point divide by zero";
        if (code == FPE_FLTOVF) return "floating-point overflow";
        if (code == FPE_FLTUND) return "floating-point underflow";
        if (code == FPE_FLTRES) return "inexact floating-point result";
        if (code == FPE_FLTINV) return "invalid floating-point operation";
        break;
    case SIGILL:
        if (code == ILL_ILLOPC) return "illegal opcode";
        if (code == ILL_ILLOPN) return "illegal operand";
        if (code == ILL_PRVOPC) return "privileged opcode";
        break;
    default: break;
    }
    return "";
}

void AddRegister(CrashDetails& details, const char* name, uint64_t value) {
    if (details.registerCount >= kMaxCrashRegisters) return;
    details.registers[details.registerCount++] = CrashRegister{name, value};
}

// The failing instruction and the registers of the processor the program runs
// on: x86-64 and AArch64 report their general registers; elsewhere the
// report has no registers and the code address is known only for faults whose
// si_addr names the instruction (SIGILL, SIGFPE).
void AddProcessorState(CrashDetails& details, const ucontext_t* context) {
#if defined(__x86_64__)
    const greg_t* r = context->uc_mcontext.gregs;
    struct {
        const char* name;
        int index;
    } const kRegisters[] = {
        {"RAX", REG_RAX}, {"RBX", REG_RBX}, {"RCX", REG_RCX}, {"RDX", REG_RDX}, {"RBP", REG_RBP},
        {"RSI", REG_RSI}, {"RDI", REG_RDI}, {"RSP", REG_RSP}, {"RIP", REG_RIP}, {"R8", REG_R8},
        {"R9", REG_R9},   {"R10", REG_R10}, {"R11", REG_R11}, {"R12", REG_R12}, {"R13", REG_R13},
        {"R14", REG_R14}, {"R15", REG_R15}, {"EFLAGS", REG_EFL},
    };
    for (const auto& reg : kRegisters) AddRegister(details, reg.name, static_cast<uint64_t>(r[reg.index]));
    details.codeAddress = static_cast<uint64_t>(r[REG_RIP]);
#elif defined(__aarch64__)
    static const char* const kNames[31] = {"X0",  "X1",  "X2",  "X3",  "X4",  "X5",  "X6",  "X7",
                                           "X8",  "X9",  "X10", "X11", "X12", "X13", "X14", "X15",
                                           "X16", "X17", "X18", "X19", "X20", "X21", "X22", "X23",
                                           "X24", "X25", "X26", "X27", "X28", "X29", "X30"};
    for (int i = 0; i < 31; ++i) AddRegister(details, kNames[i], context->uc_mcontext.regs[i]);
    AddRegister(details, "SP", context->uc_mcontext.sp);
    AddRegister(details, "PC", context->uc_mcontext.pc);
    AddRegister(details, "PSTATE", context->uc_mcontext.pstate);
    details.codeAddress = context->uc_mcontext.pc;
#else
    (void)details;
    (void)context;
#endif
}

CrashDetails DetailsOf(int signalNumber, const siginfo_t* info, const ucontext_t* context) {
    CrashDetails details;
    details.message = SignalMessage(signalNumber);
    details.messageDetail = SignalDetail(signalNumber, info->si_code);
    details.code = signalNumber;
    if ((signalNumber == SIGILL || signalNumber == SIGFPE) && info->si_code > 0) {
        details.codeAddress = reinterpret_cast<uint64_t>(info->si_addr);
    }
    // Only a fault raised by the kernel for an access names the address.
    bool memoryAccess = signalNumber == SIGSEGV || signalNumber == SIGBUS;
    if (memoryAccess && info->si_code > 0 && info->si_code != SI_KERNEL) {
        details.hasTargetAddress = true;
        details.targetAddress = reinterpret_cast<uint64_t>(info->si_addr);
    }
    if (context != nullptr) AddProcessorState(details, context);
    return details;
}

void WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
}

void WriteText(int fd, const char* text) { WriteAll(fd, text, std::strlen(text)); }

bool WriteReportFile(const char* report, std::size_t length) {
    // Created anew and exclusively, so that nothing planted at the name in the
    // shared temporary folder is followed or written through.
    unlink(handlerState.reportFile);
    int fd = open(handlerState.reportFile, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    WriteAll(fd, report, length);
    close(fd);
    return true;
}

void StartReporter() {
    pid_t child = _Fork();
    if (child != 0) return;
    // The handler's blocked signals would otherwise stay blocked in the reporter.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(handlerState.reporterProgram, handlerState.reporterArguments);
    _exit(127);
}

void OnFatalSignal(int signalNumber, siginfo_t* info, void* context) {
    // A second failing thread waits for the first to end the process.
    if (handlingFailure.exchange(true)) {
        for (;;) pause();
    }
    int savedErrno = errno;
    CrashDetails details = DetailsOf(signalNumber, info, static_cast<const ucontext_t*>(context));
    std::size_t length = BuildCrashReport(details, handlerState.report, sizeof handlerState.report);

    WriteText(STDERR_FILENO, "\n");
    WriteText(STDERR_FILENO, handlerState.programName);
    WriteText(STDERR_FILENO, ": run-time error\n");
    WriteAll(STDERR_FILENO, handlerState.report, length);
    bool written = WriteReportFile(handlerState.report, length);
    if (written && handlerState.startReporter) StartReporter();

    // SA_RESETHAND has restored the default action; the signal raised again
    // ends the process as soon as the handler returns, so whoever started the
    // program sees that it failed (and a core dump is written where enabled).
    errno = savedErrno;
    raise(signalNumber);
}

bool PrepareHandlerStack() {
    if (handlerState.handlerStack == nullptr) {
        void* memory = mmap(nullptr, kHandlerStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return false;
        handlerState.handlerStack = memory;
    }
    stack_t stack = {};
    stack.ss_sp = handlerState.handlerStack;
    stack.ss_size = kHandlerStackSize;
    return sigaltstack(&stack, nullptr) == 0;
}

}  // namespace

std::filesystem::path DefaultCrashReportFile() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) folder = "/tmp";
    return folder / ("taktarium-crash-" + std::to_string(getpid()) + ".txt");
}

// Executing the link itself starts the very same program file, even when it
// was replaced on disk after the start.
std::filesystem::path RunningProgramFile() { return "/proc/self/exe"; }

bool InstallCrashHandler(const CrashHandlerSetup& setup) {
    if (!CopyText(handlerState.reportFile, kPathCapacity, setup.reportFile.string())) return false;
    if (!CopyText(handlerState.reporterProgram, kPathCapacity, setup.reporterProgram.string())) return false;
    std::string name = setup.programName.empty() ? "taktarium" : setup.programName;
    if (!CopyText(handlerState.programName, sizeof handlerState.programName, name)) return false;
    CopyText(handlerState.option, sizeof handlerState.option, kCrashReportOption);
    handlerState.reporterArguments[0] = handlerState.programName;
    handlerState.reporterArguments[1] = handlerState.option;
    handlerState.reporterArguments[2] = handlerState.reportFile;
    handlerState.reporterArguments[3] = nullptr;
    handlerState.startReporter = !setup.reporterProgram.empty();

    // Without its own stack the handler still catches every failure but a
    // stack overflow, so a failure here does not stop the installation.
    bool stackReady = PrepareHandlerStack();

    struct sigaction action = {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_RESETHAND | (stackReady ? SA_ONSTACK : 0);
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kFatalSignals) sigaddset(&action.sa_mask, signalNumber);
    bool installed = true;
    for (int signalNumber : kFatalSignals) installed = sigaction(signalNumber, &action, nullptr) == 0 && installed;
    return installed;
}

}  // namespace tak
