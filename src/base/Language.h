// Language tables: every visible word of the program is looked up by key in
// the table loaded from one language file, Language/<name>.txt.
//
// A language file is INI-style text, UTF-8 when it starts with a byte-order
// mark and Windows-1252 otherwise: "key = value" lines, ";" starts a comment
// line, the first "[" group line ends the part that is read, and "|" in a
// value stands for a line break. In captions of buttons and fields "&" marks
// the key that reaches them with Alt ("&Laden"); "&&" stands for "&".
#pragma once

#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

inline constexpr const char* kLanguageFolderName = "Language";

class LanguageTable {
public:
    // Replaces the table with the keys of `bytes` (a whole language file).
    // Text without any key leaves the table unchanged and returns false.
    [[nodiscard]] bool LoadFromBytes(std::string_view bytes);

    // Loads Language/<name>.txt below `languageFolder` (the file name is
    // matched ignoring letter case). A file that cannot be read or has no keys
    // leaves the table unchanged and returns false.
    [[nodiscard]] bool LoadLanguage(const std::filesystem::path& languageFolder, std::string_view name);

    // The text of `key` as it is read and printed, without key marks; the
    // empty text for a missing key. Never changes the table, so the output
    // thread may call it while nothing loads a language.
    std::string Lang(std::string_view key) const;
    // The text of `key` with its key marks, for a caption.
    std::string Caption(std::string_view key) const;

    bool Contains(std::string_view key) const;
    std::size_t Size() const { return texts_.size(); }

private:
    std::map<std::string, std::string, std::less<>> texts_;
};

// `caption` without its key marks: "&" before a letter or digit is dropped,
// "&&" becomes "&", any other "&" ("Mo & Sa") stays.
std::string WithoutKeyMarks(std::string_view caption);

// The names of the language files (*.txt) of the folder without their
// extension, sorted by file name.
std::vector<std::string> ListLanguages(const std::filesystem::path& languageFolder);

// Where the Language folder is looked for, in this order: the working folder,
// the folder of the executable, the data folder of the installation the
// executable lies in (<bin>/../share/taktarium, wherever it was installed),
// and the data folder compiled in (not on Windows, where an installation
// keeps Language beside the program).
std::vector<std::filesystem::path> LanguageFolderCandidates(const std::filesystem::path& workingFolder,
                                                            const std::filesystem::path& executableFolder);

// The first existing Language folder below one of the candidate folders
// (the name "Language" is matched ignoring letter case).
std::optional<std::filesystem::path> FindLanguageFolder(const std::vector<std::filesystem::path>& candidates);

// Replaces "%1" … "%9" in `text` by the matching argument. The text is read
// once, so an argument that itself contains "%2" is kept as it is. A
// placeholder without an argument stays. A choice "{one/many}" after a
// placeholder gives the form for its count: the first when the argument is
// 1, the second otherwise ("%2 {Warnung/Warnungen}"); a choice before any
// placeholder stays as it is.
std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> arguments);

}  // namespace tak
