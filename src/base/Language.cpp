#include "base/Language.h"

#include "base/FileSystem.h"
#include "base/Text.h"

namespace tak {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string_view TrimTrailingBlanksAndTabs(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

std::string_view TrimLeadingBlanksAndTabs(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

// "|" stands for a line break in a value.
std::string ValueText(std::string_view raw) {
    std::string value(TrimBlanksAndTabs(raw));
    for (char& c : value) {
        if (c == '|') c = '\n';
    }
    return value;
}

// Reads the key lines up to the first group line into `texts`.
void ReadKeyLines(std::string_view text, std::map<std::string, std::string, std::less<>>& texts) {
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        line = TrimLeadingBlanksAndTabs(line);
        if (line.starts_with('[')) return;
        if (line.empty() || line.starts_with(';')) continue;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string_view key = TrimTrailingBlanksAndTabs(line.substr(0, equals));
        if (key.empty()) continue;
        texts.insert_or_assign(std::string(key), ValueText(line.substr(equals + 1)));
    }
}

}  // namespace

bool LanguageTable::LoadFromBytes(std::string_view bytes) {
    std::string text =
        bytes.starts_with(kUtf8Mark) ? std::string(bytes.substr(kUtf8Mark.size())) : DecodeUnmarkedText(bytes);
    std::map<std::string, std::string, std::less<>> texts;
    ReadKeyLines(text, texts);
    if (texts.empty()) return false;
    texts_ = std::move(texts);
    return true;
}

bool LanguageTable::LoadLanguage(const std::filesystem::path& languageFolder, std::string_view name) {
    // A name is one file name, never a way out of the folder.
    if (name.empty() || name.find_first_of("/\\") != std::string_view::npos) return false;
    auto file = FindPathIgnoringCase(languageFolder, PathFromText(std::string(name) + ".txt"));
    if (!file) return false;
    auto bytes = ReadFileBytes(*file);
    return bytes && LoadFromBytes(*bytes);
}

std::string LanguageTable::Lang(std::string_view key) const {
    auto it = texts_.find(key);
    if (it == texts_.end()) return std::string();
    // Most texts have no mark: they are handed on without a copy pass.
    return it->second.find('&') == std::string::npos ? it->second : WithoutKeyMarks(it->second);
}

std::string LanguageTable::Caption(std::string_view key) const {
    auto it = texts_.find(key);
    return it == texts_.end() ? std::string() : it->second;
}

namespace {

// A letter or digit, or the first byte of a non-ASCII letter.
bool IsMarkedKey(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

}  // namespace

std::string WithoutKeyMarks(std::string_view caption) {
    std::string text;
    text.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&' || i + 1 == caption.size()) {
            text += caption[i];
            continue;
        }
        auto next = static_cast<unsigned char>(caption[i + 1]);
        if (next == '&') {
            text += '&';
            ++i;
        } else if (!IsMarkedKey(next)) {
            text += '&';  // not a mark: "Mo & Sa"
        }
        // before a letter or digit (also a non-ASCII letter) the mark is dropped
    }
    return text;
}

bool LanguageTable::Contains(std::string_view key) const { return texts_.find(key) != texts_.end(); }

std::vector<std::string> ListLanguages(const std::filesystem::path& languageFolder) {
    std::vector<std::string> names;
    auto files = ListFilesWithExtension(languageFolder, ".txt");
    if (!files) return names;
    for (const auto& file : *files) {
        std::string name = FileNameText(file);
        names.push_back(name.substr(0, name.size() - 4));
    }
    return names;
}

std::vector<std::filesystem::path> LanguageFolderCandidates(const std::filesystem::path& workingFolder,
                                                            const std::filesystem::path& executableFolder) {
    std::vector<std::filesystem::path> folders{workingFolder, executableFolder};
    if (!executableFolder.empty()) folders.push_back(executableFolder.parent_path() / "share" / "taktarium");
#if defined(TAKTARIUM_DATA_DIR)
    folders.emplace_back(TAKTARIUM_DATA_DIR);
#endif
    return folders;
}

std::optional<std::filesystem::path> FindLanguageFolder(const std::vector<std::filesystem::path>& candidates) {
    for (const auto& candidate : candidates) {
        if (candidate.empty()) continue;
        auto folder = FindPathIgnoringCase(candidate, kLanguageFolderName);
        std::error_code ec;
        if (folder && std::filesystem::is_directory(*folder, ec)) return folder;
    }
    return std::nullopt;
}

namespace {

// Whether an argument is the count 1 ("1", also "+1" or "01").
bool IsOne(std::string_view argument) {
    while (!argument.empty() && (argument.front() == '+' || argument.front() == '0')) argument.remove_prefix(1);
    return argument == "1";
}

// The length of a form choice "{one/many}" at the start of `text`, 0 when
// none starts there.
std::size_t ChoiceLength(std::string_view text) {
    if (text.empty() || text.front() != '{') return 0;
    std::size_t close = text.find_first_of("{}", 1);
    if (close == std::string_view::npos || text[close] != '}') return 0;
    std::string_view inside = text.substr(1, close - 1);
    return inside.find('/') == std::string_view::npos ? 0 : close + 1;
}

}  // namespace

std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> arguments) {
    std::string out;
    out.reserve(text.size());
    std::optional<std::string_view> lastArgument;  // of the placeholder last filled
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool placeholder = text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9';
        auto number = placeholder ? static_cast<std::size_t>(text[i + 1] - '1') : 0;
        if (placeholder && number < arguments.size()) {
            lastArgument = *(arguments.begin() + number);
            out += *lastArgument;
            ++i;
        } else if (std::size_t length = lastArgument ? ChoiceLength(text.substr(i)) : 0; length > 0) {
            std::string_view inside = text.substr(i + 1, length - 2);
            std::size_t slash = inside.find('/');
            out += IsOne(*lastArgument) ? inside.substr(0, slash) : inside.substr(slash + 1);
            i += length - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace tak
