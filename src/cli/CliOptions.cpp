#include "cli/CliOptions.h"

#include "base/CodePage.h"
#include "base/Text.h"
#include "mapdata/MapLoader.h"

namespace tak::cli {

bool ParseCliOptions(const std::vector<std::string_view>& args, CliOptions& options, std::string& error) {
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) return {};
            return args[++i];
        };
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--date") {
            std::string_view text = value();
            options.date = ParseDateText(text);
            if (options.date == kNoDate) {
                error = "--date needs a day from 1900-01-01 on as YYYY-MM-DD or DD.MM.YYYY, not \"" +
                        std::string(text) + "\"";
                return false;
            }
        } else if (arg == "--lang") {
            options.language = std::string(value());
            if (options.language.empty()) {
                error = "--lang needs a language name";
                return false;
            }
        } else if (arg == "--codepage") {
            std::string_view text = value();
            auto page = CodePageFromNumber(text.size() == 4 ? ParseLeadingInt(text) : 0);
            if (!page) {
                error = "--codepage needs 1250, 1251 or 1252, not \"" + std::string(text) + "\"";
                return false;
            }
            options.codePage = CodePageNumber(*page);
        } else if (arg == "--plain-pdf") {
            options.plainPdf = true;
        } else if (arg == "--standard-fonts") {
            options.standardFonts = true;
        } else if (arg.starts_with("--")) {
            error = "unknown option " + std::string(arg);
            return false;
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) {
        error = "expected a command and a map folder";
        return false;
    }
    options.command = std::string(positional[0]);
    options.mapFolder = std::string(positional[1]);
    return true;
}

}  // namespace tak::cli
