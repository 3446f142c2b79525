#include "base/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "base/Text.h"

namespace tak {

namespace {

// Differs between calls, threads and processes; the file is created
// exclusively, so the part needs to be unlikely to repeat, not secret.
std::string RandomNamePart() {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t start = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::chrono::system_clock::now().time_since_epoch().count());
    std::uint64_t value = start + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
    value ^= value >> 29;
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

enum class NewFileResult { Written, NotCreated, Failed };

thread_local std::error_code lastWriteError;

// The temporary files this process is writing, for the signal handler: a
// fixed table of paths it can read without allocating.
constexpr std::size_t kTemporarySlots = 16;
constexpr std::size_t kTemporaryPathBytes = 4096;
struct TemporarySlot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false};  // the path is complete
    char path[kTemporaryPathBytes] = {};
};
TemporarySlot temporarySlots[kTemporarySlots];

// Takes a slot for `path`; none when all are taken or the path is too long
// (the file is then only removed by a later run).
TemporarySlot* RegisterTemporary(const std::string& path) {
    if (path.size() >= kTemporaryPathBytes) return nullptr;
    for (TemporarySlot& slot : temporarySlots) {
        bool expected = false;
        if (!slot.used.compare_exchange_strong(expected, true)) continue;
        std::copy(path.begin(), path.end(), slot.path);
        slot.path[path.size()] = '\0';
        slot.ready.store(true);
        return &slot;
    }
    return nullptr;
}

void Unregister(TemporarySlot* slot) {
    if (!slot) return;
    slot->ready.store(false);
    slot->used.store(false);
}



#if defined(_WIN32)

// The system's reason for a failed call, in the portable terms the Linux build
// reports, so that a message reads alike on both ("Permission denied").
std::errc PortableReason(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return std::errc::no_such_file_or_directory;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::errc::no_space_on_device;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::errc::file_exists;
        case ERROR_WRITE_PROTECT:
            return std::errc::read_only_file_system;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
            return std::errc::invalid_argument;
        case ERROR_FILENAME_EXCED_RANGE:
            return std::errc::filename_too_long;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return std::errc::not_enough_memory;
        default:  // access denied, a file open in another program, and the rest
            return std::errc::permission_denied;
    }
}

// Keeps the last error of the system as the reason of a failed write; returns `result`.
NewFileResult NoteLastError(NewFileResult result) {
    lastWriteError = std::make_error_code(PortableReason(GetLastError()));
    return result;
}

std::optional<std::string> ReadRegularFile(const fs::path& path, std::uintmax_t limit) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    auto size = fs::file_size(path, ec);
    if (ec || size > limit) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > limit) return std::nullopt;  // grew while being read
    }
    if (in.bad()) return std::nullopt;
    return bytes;
}

NewFileResult WriteNewFile(const fs::path& path, const std::vector<std::string_view>& pieces) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return NoteLastError(NewFileResult::NotCreated);
    bool ok = true;
    for (std::string_view piece : pieces) {
        while (ok && !piece.empty()) {
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(piece.size(), 1u << 30));
            DWORD written = 0;
            ok = WriteFile(file, piece.data(), chunk, &written, nullptr) && written > 0;
            piece.remove_prefix(written);
        }
    }
    ok = ok && FlushFileBuffers(file);
    if (!ok) NoteLastError(NewFileResult::Failed);
    if (!CloseHandle(file) && ok) return NoteLastError(NewFileResult::Failed);
    return ok ? NewFileResult::Written : NewFileResult::Failed;
}

bool MoveOver(const fs::path& from, const fs::path& to) {
    // Windows refuses to replace a folder as it refuses a locked file; tell them apart.
    std::error_code ec;
    if (fs::is_directory(to, ec)) {
        lastWriteError = std::make_error_code(std::errc::is_a_directory);
        return false;
    }
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return true;
    NoteLastError(NewFileResult::Failed);
    return false;
}

#else

// Keeps errno as the reason of a failed write; returns `result`.
NewFileResult NoteErrno(NewFileResult result) {
    lastWriteError = std::error_code(errno, std::generic_category());
    return result;
}

// A path as the bytes the system calls take.
std::string NativeText(const fs::path& path) {
    auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::optional<std::string> ReadRegularFile(const fs::path& path, std::uintmax_t limit) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer forever.
    FileDescriptor file(::open(NativeText(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    if (status.st_size < 0 || static_cast<std::uintmax_t>(status.st_size) > limit) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > limit) return std::nullopt;  // grew while being read
    }
    return bytes;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

NewFileResult WriteNewFile(const fs::path& path, const std::vector<std::string_view>& pieces) {
    FileDescriptor file(::open(NativeText(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) return NoteErrno(NewFileResult::NotCreated);
    for (std::string_view piece : pieces) {
        if (!WriteAll(file.get(), piece)) return NoteErrno(NewFileResult::Failed);
    }
    // The data must be on the disk before the rename makes it the document.
    if (::fsync(file.get()) != 0) return NoteErrno(NewFileResult::Failed);
    return file.Close() ? NewFileResult::Written : NoteErrno(NewFileResult::Failed);
}

// The rename itself is made durable by flushing the folder that holds it.
void FlushFolder(const fs::path& folder) {
    FileDescriptor dir(::open(NativeText(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

bool MoveOver(const fs::path& from, const fs::path& to) {
    if (::rename(NativeText(from).c_str(), NativeText(to).c_str()) != 0) {
        lastWriteError = std::error_code(errno, std::generic_category());
        return false;
    }
    FlushFolder(to.has_parent_path() ? to.parent_path() : fs::path("."));
    return true;
}

#endif

}  // namespace

std::optional<std::string> ReadFileBytes(const fs::path& path, std::uintmax_t limit) {
    try {
        return ReadRegularFile(path, limit);
    } catch (const std::exception&) {  // no memory for the bytes
        return std::nullopt;
    }
}

fs::path HelperFileNextTo(const fs::path& target, std::string_view suffix) {
    // A long document name must still leave room for the helper's name.
    std::string name = FileNameText(target);
    std::size_t cut = std::min<std::size_t>(name.size(), 64);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    // Appended piece by piece: `"." + text` makes GCC 12 warn wrongly (-Wrestrict) in release builds.
    std::string stem = ".";
    stem.append(name, 0, cut).append(".");
    fs::path candidate = target;
    for (int attempt = 0; attempt < 16; ++attempt) {
        candidate.replace_filename(PathFromText(stem + RandomNamePart() + "." + std::string(suffix)));
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec))) break;
    }
    return candidate;  // creating it exclusively tells whether it was really free
}

bool WriteFileBytes(const fs::path& path, std::string_view bytes) { return WriteFilePieces(path, {bytes}); }

bool WriteFilePieces(const fs::path& path, const std::vector<std::string_view>& pieces) {
    fs::path temporary = HelperFileNextTo(path, "tmp");
    TemporaryFileGuard guard(temporary);
    NewFileResult result = WriteNewFile(temporary, pieces);
    if (result == NewFileResult::Written && MoveOver(temporary, path)) return true;
    // A file of that name made meanwhile by someone else is not ours to remove.
    if (result != NewFileResult::NotCreated) {
        std::error_code ec;
        fs::remove(temporary, ec);
    }
    return false;
}

std::string FileNameText(const fs::path& path) {
    auto u8 = path.filename().u8string();
    return {u8.begin(), u8.end()};
}

std::string PathText(const fs::path& path) {
    auto u8 = path.u8string();
    return {u8.begin(), u8.end()};
}

fs::path PathFromText(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

fs::path ExecutableFolder(const char* argv0) {
    std::error_code ec;
#if defined(__linux__)
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#elif defined(_WIN32)
    wchar_t buffer[32768];
    DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (length > 0 && length < std::size(buffer)) return fs::path(std::wstring(buffer, length)).parent_path();
#endif
    if (argv0 == nullptr) return {};
    return fs::absolute(fs::path(argv0), ec).parent_path();
}

namespace {

std::optional<fs::path> FindEntryIgnoringCase(const fs::path& folder, const fs::path& name) {
    std::error_code ec;
    fs::path exact = folder / name;
#if !defined(_WIN32)
    if (fs::exists(exact, ec)) return exact;
#endif
    // Windows finds an entry under any letter case of its name: the listing
    // tells the name as it is stored, which messages and documents show.
    std::string exactName = FileNameText(name);
    std::string wanted = FoldCase(exactName);
    std::vector<fs::path> matches;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entryName = FileNameText(it->path());
        if (entryName == exactName) return it->path();
        if (FoldCase(entryName) == wanted) matches.push_back(it->path());
    }
    if (matches.empty()) {
        if (fs::exists(exact, ec)) return exact;  // "..", a drive: nothing a listing shows
        return std::nullopt;
    }
    return *std::min_element(matches.begin(), matches.end());  // stable choice among several
}

}  // namespace

std::optional<fs::path> FindPathIgnoringCase(const fs::path& base, const fs::path& relative) {
    fs::path current = base;
    for (const auto& component : relative) {
        if (component.empty() || component == ".") continue;
        auto next = FindEntryIgnoringCase(current, component);
        if (!next) return std::nullopt;
        current = *next;
    }
    return current;
}

std::optional<std::vector<fs::path>> ListFilesWithExtension(const fs::path& folder,
                                                            std::string_view extension) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return std::nullopt;
    std::string wanted = FoldCase(extension);
    std::vector<std::pair<std::string, fs::path>> named;  // sorting by plain name text is cheaper than by path
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        auto ext = it->path().extension().u8string();
        if (FoldCase(std::string(ext.begin(), ext.end())) == wanted) named.emplace_back(FileNameText(it->path()), it->path());
    }
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<fs::path> files;
    files.reserve(named.size());
    for (auto& entry : named) files.push_back(std::move(entry.second));
    return files;
}

std::vector<fs::path> ListSubfolders(const fs::path& folder) {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError)) continue;
        if (FileNameText(it->path()).starts_with('.')) continue;
        folders.push_back(it->path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

TemporaryFileGuard::TemporaryFileGuard(const fs::path& path) {
    auto text = path.u8string();
    slot_ = RegisterTemporary(std::string(text.begin(), text.end()));
}

TemporaryFileGuard::~TemporaryFileGuard() {
    if (slot_) Unregister(static_cast<TemporarySlot*>(slot_));
}

std::error_code LastWriteError() { return lastWriteError; }

void ClearLastWriteError() { lastWriteError.clear(); }

#if defined(_WIN32)

namespace {

// Ctrl+C and Ctrl+Break reach a console program as SIGINT and SIGBREAK,
// handled on a thread of their own; SIGTERM only through raise().
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGBREAK};

void RemoveTemporariesAndResignal(int signalNumber) {
    for (TemporarySlot& slot : temporarySlots) {
        if (!slot.used.load() || !slot.ready.load()) continue;
        wchar_t widePath[kTemporaryPathBytes];
        int length = MultiByteToWideChar(CP_UTF8, 0, slot.path, -1, widePath, static_cast<int>(std::size(widePath)));
        if (length > 0) DeleteFileW(widePath);
    }
    // The run-time library has put back the default action before calling us.
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
    for (int signalNumber : kCleanupSignals) {
        auto previous = std::signal(signalNumber, RemoveTemporariesAndResignal);
        // A program run with the signal ignored keeps it so.
        if (previous == SIG_IGN) std::signal(signalNumber, SIG_IGN);
    }
}

#else

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(kCleanupSignals)];

// Only async-signal-safe calls: unlink, sigaction, raise.
void RemoveTemporariesAndResignal(int signalNumber) {
    for (TemporarySlot& slot : temporarySlots) {
        if (slot.used.load() && slot.ready.load()) ::unlink(slot.path);
    }
    for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i) {
        if (kCleanupSignals[i] == signalNumber) ::sigaction(signalNumber, &previousActions[i], nullptr);
    }
    ::raise(signalNumber);
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndResignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kCleanupSignals) sigaddset(&action.sa_mask, signalNumber);
    action.sa_flags = SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i) {
        struct sigaction previous {};
        ::sigaction(kCleanupSignals[i], nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue;  // a program run with the signal ignored keeps it so
        previousActions[i] = previous;
        ::sigaction(kCleanupSignals[i], &action, nullptr);
    }
}

#endif

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// ".<name>.<16 hex digits>.tmp", as HelperFileNextTo makes them for writes.
bool IsTemporaryFileName(std::string_view name) {
    constexpr std::string_view kSuffix = ".tmp";
    constexpr std::size_t kHexDigits = 16;
    if (!name.starts_with('.') || !name.ends_with(kSuffix)) return false;
    name.remove_suffix(kSuffix.size());
    if (name.size() < kHexDigits + 3) return false;  // ".", a name, ".", the digits
    std::string_view hex = name.substr(name.size() - kHexDigits);
    return name[name.size() - kHexDigits - 1] == '.' && std::all_of(hex.begin(), hex.end(), IsHexDigit);
}

}  // namespace

void RemoveStaleTemporaryFiles(const fs::path& folder, std::chrono::seconds minimumAge) {
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || !IsTemporaryFileName(FileNameText(it->path()))) continue;
        auto modified = it->last_write_time(entryError);
        if (entryError || now - modified < minimumAge) continue;
        fs::remove(it->path(), entryError);
    }
}

std::tm LocalTime(std::time_t time) {
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
    return local;
}

}  // namespace tak
