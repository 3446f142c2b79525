#include "cli/OutputCommand.h"

#include <cstdio>

#include "app/AppContext.h"
#include "base/FileSystem.h"
#include "fonts/FontFaces.h"
#include "mapdata/MapLoader.h"
#include "cli/CliContext.h"
#include "cli/CliText.h"
#include "persist/ProgramSettings.h"

namespace tak::cli {

int RunOutputCommand(const CliOptions& options, const char* argv0) {
    AppContext context;
    ProjectLoadResult load;
    if (!LoadCliLanguage(options, argv0, context)) return 2;
    if (!LoadCliContext(options, context, load)) return 1;
    // Without its project file a run would still write the default route
    // map and call that a success.
    if (!load.fileFound) {
        std::fprintf(stderr, "taktarium-cli: no project file %s; there is nothing to create\n",
                     VisibleText(PathText(ProjectFilePath(context))).c_str());
        fs::path undated = ProjectFilePath(context.workingFolder, ProjectNameFor(PathFromText(options.mapFolder), kNoDate));
        std::error_code error;
        if (options.date != kNoDate && fs::is_regular_file(undated, error)) {
            std::fprintf(stderr, "taktarium-cli: the plans without a date are in %s; run without --date to create them\n",
                         VisibleText(PathText(undated)).c_str());
        }
        return 1;
    }
    // Without the pinned fonts every row height and label is measured with
    // whatever the system substitutes: the documents are made, but they are
    // not the ones this map gives elsewhere, so the user is told.
    if (PinnedFontFolder().empty()) {
        std::fprintf(stderr,
                     "taktarium-cli: the Liberation fonts were not found (see the README, \"Fonts\"); the documents "
                     "are measured with substitute fonts\n");
    }
    // The warnings switch of the program settings, as the dialog's check box starts.
    context.settings = ReadProgramSettings(context.workingFolder / kProgramSettingsFileName);
    OutputRunControl control;
    control.warnings = context.settings.warnings != 0;
    OutputLog log([](const std::string& line) {
        std::printf("%s\n", VisibleText(line).c_str());
        std::fflush(stdout);
    });
    int failures = RunOutput(context, control, log);
    // A run that wrote nothing is no success, whatever the reason the log gave.
    return failures > 0 || control.documentsWritten.load() == 0 ? 1 : 0;
}

}  // namespace tak::cli
