#include "cli/CheckCommand.h"

#include <cstdio>

#include "app/MapCheckReport.h"
#include "base/FileSystem.h"
#include "cli/CliContext.h"
#include "mapdata/MapCheck.h"
#include "mapdata/MapLoader.h"

namespace tak::cli {

int RunCheck(const CliOptions& options, const char* argv0) {
    AppContext context;
    LoadCliLanguage(options, argv0, context);
    const LanguageTable& lang = context.language;
    MapCheckRecord record;
    if (!LoadMap(context.map, PathFromText(options.mapFolder), options.date, lang.Lang("LangShort"), &record)) {
        std::fprintf(stderr, "taktarium-cli: %s: %s\n", options.mapFolder.c_str(), lang.Lang("CantFindTT").c_str());
        return 1;
    }
    std::vector<MapFinding> findings = CheckMap(context.map, record);
    std::string text = options.json ? FindingsJson(findings, lang) : FindingsText(findings, lang);
    std::fputs(text.c_str(), stdout);
    return CountFindings(findings).errors == 0 ? 0 : 1;
}

}  // namespace tak::cli
