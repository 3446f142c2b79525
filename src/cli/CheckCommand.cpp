#include "cli/CheckCommand.h"

#include <cstdio>

#include "app/MapCheckReport.h"
#include "base/FileSystem.h"
#include "cli/CliContext.h"
#include "cli/CliText.h"
#include "mapdata/MapCheck.h"
#include "mapdata/MapLoader.h"

namespace tak::cli {

namespace {

// Names from the map's files may hold control characters; each line is
// shown with them as visible escapes.
void PrintVisibleLines(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::printf("%s\n", VisibleText(text.substr(start, end - start)).c_str());
        start = end + 1;
    }
}

}  // namespace

int RunCheck(const CliOptions& options, const char* argv0) {
    AppContext context;
    LoadCliLanguage(options, argv0, context);
    const LanguageTable& lang = context.language;
    MapCheckRecord record;
    if (!LoadMap(context.map, PathFromText(options.mapFolder), options.date, lang.Lang("LangShort"), &record)) {
        std::fprintf(stderr, "taktarium-cli: %s: %s\n", VisibleText(options.mapFolder).c_str(),
                     VisibleText(lang.Lang("CantFindTT")).c_str());
        return 1;
    }
    std::vector<MapFinding> findings = CheckMap(context.map, record);
    if (options.json) {
        std::printf("%s\n", StandardJsonText(*FindingsJson(findings, lang)).c_str());
    } else {
        PrintVisibleLines(FindingsText(findings, lang));
    }
    return CountFindings(findings).errors == 0 ? 0 : 1;
}

}  // namespace tak::cli
