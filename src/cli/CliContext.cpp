#include "cli/CliContext.h"

#include <cstdio>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "cli/CliText.h"
#include "mapdata/MapLoader.h"

namespace tak::cli {

bool LoadCliLanguage(const CliOptions& options, const char* argv0, AppContext& context) {
    context.workingFolder = fs::current_path();
    auto folder = FindLanguageFolder(LanguageFolderCandidates(context.workingFolder, ExecutableFolder(argv0)));
    if (!folder) {
        std::fprintf(stderr, "taktarium-cli: no Language folder found; language \"%s\" cannot be loaded\n",
                     VisibleText(options.language).c_str());
        return false;
    }
    if (context.language.LoadLanguage(*folder, options.language)) return true;
    std::string found;
    for (const std::string& name : ListLanguages(*folder)) found += (found.empty() ? "" : ", ") + name;
    std::fprintf(stderr, "taktarium-cli: unknown language \"%s\"; the languages found are: %s\n",
                 VisibleText(options.language).c_str(), found.empty() ? "(none)" : VisibleText(found).c_str());
    return false;
}

bool LoadCliContext(const CliOptions& options, AppContext& context, ProjectLoadResult& load) {
    if (!LoadMapAndProject(context, PathFromText(options.mapFolder), options.date)) {
        std::fprintf(stderr, "taktarium-cli: %s: %s\n", VisibleText(options.mapFolder).c_str(),
                     VisibleLines(context.language.Lang("CantFindTT")).c_str());
        return false;
    }
    load = context.projectLoad;
    if (load.fileFound && !load.parsed) {
        std::fprintf(stderr, "taktarium-cli: %s could not be read or does not parse; the project is empty\n",
                     VisibleText(PathText(ProjectFilePath(context))).c_str());
    }
    return true;
}

}  // namespace tak::cli
