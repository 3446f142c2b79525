// Command-line options shared by the commands of taktarium-cli.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mapdata/MapData.h"

namespace tak::cli {

struct CliOptions {
    std::string command;
    std::string mapFolder;
    DateValue date = kNoDate;
    std::string language = "German";
    bool json = false;
    // The code page of the map's files; 0 takes the one of the settings file.
    int codePage = 0;
    // PDF streams written uncompressed, for reading a file in an editor.
    bool plainPdf = false;
    // The 14 standard fonts, not embedded, as earlier versions wrote them.
    bool standardFonts = false;
};

// False with a message in `error` for unknown options or unreadable values.
[[nodiscard]] bool ParseCliOptions(const std::vector<std::string_view>& args, CliOptions& options, std::string& error);

}  // namespace tak::cli
