// File system helpers. The simulator's file names are matched without regard
// to letter case, because maps made on Windows are often copied to file
// systems that are case-sensitive.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tak {

namespace fs = std::filesystem;

// The largest file any reader takes in; larger files count as unreadable.
constexpr std::uintmax_t kMaxReadFileBytes = std::uintmax_t{256} << 20;

// Reads a whole regular file (symbolic links followed) as bytes. nullopt when
// it cannot be opened or read, is no regular file (a folder, a device, a
// FIFO: none of them can hang or exhaust the reader) or holds more than
// `limit` bytes. Every file the program reads goes through here.
std::optional<std::string> ReadFileBytes(const fs::path& path, std::uintmax_t limit = kMaxReadFileBytes);

// Writes bytes to a file, replacing it only once it is complete: the bytes go
// to a new file in the same folder, are flushed to the disk and renamed over
// `path`. On any failure the old file stays as it was, the new one is
// removed, and the result is false.
[[nodiscard]] bool WriteFileBytes(const fs::path& path, std::string_view bytes);
// Writes the pieces one after the other, as one file, the same way.
[[nodiscard]] bool WriteFilePieces(const fs::path& path, const std::vector<std::string_view>& pieces);

// Why the last failed write of this thread failed, as the system told
// (a permission, a full disk); no error when nothing failed since
// ClearLastWriteError or when the write was refused before any system call.
std::error_code LastWriteError();
void ClearLastWriteError();

// Makes SIGINT, SIGTERM and SIGHUP (on Windows SIGINT, SIGTERM and SIGBREAK:
// Ctrl+C, Ctrl+Break) remove the temporary files that writes of this process
// have open before the process ends as the signal asks.
// Called once by a program's main; without it such files stay behind.
void RemoveTemporaryFilesOnSignals();

// Holds a temporary file in the list those signals clear, while it lives.
// The writes above use it; up to 16 files at once are held.
class TemporaryFileGuard {
public:
    explicit TemporaryFileGuard(const fs::path& path);
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

private:
    void* slot_ = nullptr;
};

// Removes the temporary files that interrupted writes left in `folder`:
// names of the form ".<name>.<16 hex digits>.tmp" not modified for
// `minimumAge`, which a write in progress never reaches. Other files stay.
void RemoveStaleTemporaryFiles(const fs::path& folder,
                               std::chrono::seconds minimumAge = std::chrono::seconds(300));

// A name in the folder of `target` for a helper file that belongs to it
// (".<target name>.<random>.<suffix>"); no file of that name exists yet.
fs::path HelperFileNextTo(const fs::path& target, std::string_view suffix);

// Follows `relative` (one or more components) below `base`, taking for each
// component the exact name when it exists, else the first entry of the folder
// whose name equals it ignoring case. nullopt when some component is missing.
std::optional<fs::path> FindPathIgnoringCase(const fs::path& base, const fs::path& relative);

// The regular files of `folder` whose extension equals `extension` (".ttp")
// ignoring case, sorted by file name so that every platform reads a map in the
// same order. nullopt when the folder cannot be listed.
std::optional<std::vector<fs::path>> ListFilesWithExtension(const fs::path& folder,
                                                            std::string_view extension);

// The sub-folders of `folder` whose names do not begin with ".", sorted by
// name; empty when the folder cannot be listed.
std::vector<fs::path> ListSubfolders(const fs::path& folder);

// The file name of a path as UTF-8 text.
std::string FileNameText(const fs::path& path);

// A whole path as UTF-8 text, with the system's separators (the way a user of
// that system writes it), so that every message and file names it alike.
std::string PathText(const fs::path& path);

// The folder of the running program; falls back to the folder of `argv0`
// (which may be null) where the system cannot tell.
fs::path ExecutableFolder(const char* argv0);

// A path from UTF-8 text.
fs::path PathFromText(std::string_view utf8);

// `time` as the calendar and clock of this machine's time zone, on every
// platform (the thread-safe call differs between them).
std::tm LocalTime(std::time_t time);

}  // namespace tak
