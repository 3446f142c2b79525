// Helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tak::test {

namespace fs = std::filesystem;

// The repository's top folder.
fs::path SourceDir();

// The folder of real maps made by others; empty when it is not present.
fs::path RealMapsDir();

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
