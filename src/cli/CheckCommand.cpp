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

// Names from the map's files (file names, trip and stop names) may hold
// control characters, a line break too; they are shown as visible escapes
// before they are set into the report's lines.
std::vector<MapFinding> WithVisibleNames(std::vector<MapFinding> findings) {
    for (MapFinding& finding : findings) {
        finding.file = VisibleText(finding.file);
        for (std::string& argument : finding.arguments) argument = VisibleText(argument);
    }
    return findings;
}

}  // namespace

int RunCheck(const CliOptions& options, const char* argv0) {
    AppContext context;
    if (!LoadCliLanguage(options, argv0, context)) return 2;
    const LanguageTable& lang = context.language;
    MapCheckRecord record;
    if (!LoadMap(*context.map, PathFromText(options.mapFolder), options.date, lang.Lang("LangShort"), &record)) {
        std::fprintf(stderr, "taktarium-cli: %s: %s\n", VisibleText(options.mapFolder).c_str(),
                     VisibleLines(lang.Lang("CantFindTT")).c_str());
        return 1;
    }
    std::vector<MapFinding> findings = CheckMap(*context.map, record);
    if (options.json) {
        std::printf("%s\n", StandardJsonText(*FindingsJson(findings, lang)).c_str());
    } else {
        std::fputs(VisibleLines(FindingsText(WithVisibleNames(findings), lang)).c_str(), stdout);
    }
    return CountFindings(findings).errors == 0 ? 0 : 1;
}

}  // namespace tak::cli
