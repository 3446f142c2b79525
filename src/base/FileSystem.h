// File system helpers. The simulator's file names are matched without regard
// to letter case, because maps made on Windows are often copied to file
// systems that are case-sensitive.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

namespace fs = std::filesystem;

// Reads a whole file as bytes; nullopt when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const fs::path& path);

// Writes bytes to a file (created or truncated); false on any failure.
bool WriteFileBytes(const fs::path& path, std::string_view bytes);
// Writes the pieces one after the other, as one file.
bool WriteFilePieces(const fs::path& path, const std::vector<std::string_view>& pieces);

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

// The folder of the running program; falls back to the folder of `argv0`
// (which may be null) where the system cannot tell.
fs::path ExecutableFolder(const char* argv0);

// A path from UTF-8 text.
fs::path PathFromText(std::string_view utf8);

}  // namespace tak
