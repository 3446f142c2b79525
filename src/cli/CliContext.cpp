#include "cli/CliContext.h"

#include <cstdio>

#include "base/FileSystem.h"
#include "cli/CliText.h"
#include "mapdata/MapLoader.h"

namespace tak::cli {

void LoadCliLanguage(const CliOptions& options, const char* argv0, AppContext& context) {
    context.workingFolder = fs::current_path();
    auto folder = FindLanguageFolder(LanguageFolderCandidates(context.workingFolder, ExecutableFolder(argv0)));
    if (!folder || !context.language.LoadLanguage(*folder, options.language)) {
        std::fprintf(stderr, "taktarium-cli: language \"%s\" not found; texts stay empty\n",
                     VisibleText(options.language).c_str());
    }
}

bool LoadCliContext(const CliOptions& options, const char* argv0, AppContext& context, ProjectLoadResult& load) {
    LoadCliLanguage(options, argv0, context);
    if (!LoadMapAndProject(context, PathFromText(options.mapFolder), options.date)) {
        std::fprintf(stderr, "taktarium-cli: %s: %s\n", VisibleText(options.mapFolder).c_str(),
                     VisibleText(context.language.Lang("CantFindTT")).c_str());
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
