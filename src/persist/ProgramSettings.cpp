#include "persist/ProgramSettings.h"

#include <algorithm>

#include "base/CodePage.h"
#include "persist/JSON.h"

namespace tak {

namespace {

// The file stores "/" for every separator so that it reads the same on every
// platform; in memory the folder uses the platform's own separator.
std::string StoredMapPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string PlatformMapPath(std::string path) {
    constexpr auto separator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::replace(path.begin(), path.end(), '/', separator);
    return path;
}

}  // namespace

ProgramSettings ReadProgramSettings(const std::filesystem::path& path) {
    ProgramSettings settings;
    JsonPtr root = Load(path);
    if (!root || root->kind != JsonKind::Object) return settings;
    settings.readFromFile = true;
    settings.map = PlatformMapPath(GetString(ObjectGet(root.get(), "Map"), ""));
    settings.date = GetString(ObjectGet(root.get(), "Date"), "");
    settings.language = GetString(ObjectGet(root.get(), "Language"), kDefaultLanguage);
    // An empty name would load no language at all and leave every caption empty.
    if (settings.language.empty()) settings.language = kDefaultLanguage;
    settings.warnings = GetInteger(ObjectGet(root.get(), "Warnings"), 1);
    settings.supportMail = GetString(ObjectGet(root.get(), "SupportMail"), "");
    // A hand-edited number that names no code page falls back to the default.
    int32_t codePage = GetInteger(ObjectGet(root.get(), "CodePage"), CodePageNumber(kDefaultCodePage));
    settings.codePage = CodePageFromNumber(codePage) ? codePage : CodePageNumber(kDefaultCodePage);
    return settings;
}

bool SaveProgramSettings(const std::filesystem::path& path, const ProgramSettings& settings) {
    JsonPtr root = NewObject();
    ObjectSet(root.get(), "Map", NewString(StoredMapPath(settings.map)));
    ObjectSet(root.get(), "Date", NewString(settings.date));
    ObjectSet(root.get(), "Language", NewString(settings.language));
    ObjectSet(root.get(), "Warnings", NewInteger(settings.warnings));
    ObjectSet(root.get(), "CodePage", NewInteger(settings.codePage));
    if (!settings.supportMail.empty()) ObjectSet(root.get(), "SupportMail", NewString(settings.supportMail));
    return Save(path, std::move(root));
}

}  // namespace tak
