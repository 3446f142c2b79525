#include "base/FileSystem.h"

#include <algorithm>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "base/Text.h"

namespace tak {

std::optional<std::string> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    if (!ec) bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool WriteFileBytes(const fs::path& path, std::string_view bytes) { return WriteFilePieces(path, {bytes}); }

bool WriteFilePieces(const fs::path& path, const std::vector<std::string_view>& pieces) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (std::string_view piece : pieces) out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    out.close();
    return !out.fail();
}

std::string FileNameText(const fs::path& path) {
    auto u8 = path.filename().u8string();
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
    if (fs::exists(exact, ec)) return exact;
    std::string wanted = FoldCase(FileNameText(name));
    std::vector<fs::path> matches;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (FoldCase(FileNameText(it->path())) == wanted) matches.push_back(it->path());
    }
    if (matches.empty()) return std::nullopt;
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

}  // namespace tak
