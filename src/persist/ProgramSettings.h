// The program settings kept between runs in the file Taktarium.cfg: the last
// map folder, the date, the language, the warnings switch and the code page of
// the simulator's files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tak {

inline constexpr const char* kProgramSettingsFileName = "Taktarium.cfg";
inline constexpr const char* kDefaultLanguage = "German";

struct ProgramSettings {
    // The map folder as the main window shows it, with this platform's separators.
    std::string map;
    // The date field's text "dd.mm.yyyy" while the date switch is on, else "".
    std::string date;
    // The language's file name without extension.
    std::string language = kDefaultLanguage;
    // 1 shows trip-order warnings during output.
    int32_t warnings = 1;
    // The code page the simulator's files are read in: 1250, 1251 or 1252.
    int32_t codePage = 1252;
    // Where a crash report is mailed ("SupportMail"); none by default, set by
    // whoever hands the program out. Only read, and kept when the file is written.
    std::string supportMail;
    // True when the values came from a settings file, false for the defaults.
    bool readFromFile = false;
};

// The settings of the file; the defaults when it is missing or unreadable.
ProgramSettings ReadProgramSettings(const std::filesystem::path& path);

// Writes the settings (the map folder with "/" for every separator); false
// when the file cannot be written.
[[nodiscard]] bool SaveProgramSettings(const std::filesystem::path& path, const ProgramSettings& settings);

}  // namespace tak
