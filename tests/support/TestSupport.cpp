#include "support/TestSupport.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace tak::test {

std::string Numbered(std::string_view prefix, long long number) {
    std::string text(prefix);
    text += std::to_string(number);
    return text;
}

fs::path SourceDir() { return fs::path(TAKTARIUM_SOURCE_DIR); }

fs::path RealMapsDir() {
    fs::path dir(TAKTARIUM_REALMAPS_DIR);
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : fs::path();
}

bool RunningUnderCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0';
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
#if defined(_WIN32)
    FILE* pipe = _popen(command.c_str(), "rb");
#else
    FILE* pipe = popen(command.c_str(), "r");
#endif
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) result.output.append(buffer.data(), n);
#if defined(_WIN32)
    result.status = _pclose(pipe);  // the exit code itself
#else
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("taktarium-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path TempDir::Write(const fs::path& relative, std::string_view bytes) const {
    fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return target;
}

}  // namespace tak::test
