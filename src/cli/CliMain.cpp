// taktarium-cli: inspects a map and creates its output without windows.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileSystem.h"
#include "cli/CheckCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliText.h"
#include "cli/InfoCommand.h"
#include "cli/OutputCommand.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  taktarium-cli info MAPFOLDER [--date YYYY-MM-DD] [--lang NAME] [--json]\n"
    "      Loads the map (as it stands on the date, when one is given) and prints its\n"
    "      chrono events, its lines with their tours, its lines with their trips and\n"
    "      the counts of stops, trips, profiles, lines, tours and tour trips, then the\n"
    "      plans of the project file output/<project>.cfg below the current folder.\n"
    "      --date   apply the chrono events active on that day (also DD.MM.YYYY)\n"
    "      --lang   language file to use (default: German), e.g. English\n"
    "      --json   print one JSON object instead of text\n"
    "  taktarium-cli output MAPFOLDER [--date YYYY-MM-DD] [--lang NAME]\n"
    "      Loads the map and the project file as above and creates every timetable\n"
    "      plan of the project as PDF or text (as the project's output options say)\n"
    "      in output/<project>/ below the current folder, which is created when\n"
    "      missing. Prints the run's log lines as they come.\n"
    "  taktarium-cli check MAPFOLDER [--date YYYY-MM-DD] [--lang NAME] [--json]\n"
    "      Loads the map as above and prints what its timetable files get wrong,\n"
    "      grouped by file: errors (something is dropped or prints wrong), warnings\n"
    "      (probably unintended) and notes. Exits with 1 when there is an error.\n"
    "  taktarium-cli --help\n"
    "\n"
    "Exit status: 0 on success, 1 when the map has no timetable folder, a\n"
    "document could not be created or the check found an error, 2 for bad usage\n"
    "or a language that is not there.\n";

}  // namespace

int main(int argc, char** argv) {
    tak::RemoveTemporaryFilesOnSignals();
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    tak::cli::CliOptions options;
    std::string error;
    if (!tak::cli::ParseCliOptions(args, options, error)) {
        std::fprintf(stderr, "taktarium-cli: %s\n\n%s", tak::cli::VisibleText(error).c_str(), kUsage);
        return 2;
    }
    if (options.command == "info") return tak::cli::RunInfo(options, argv[0]);
    if (options.command == "output") return tak::cli::RunOutputCommand(options, argv[0]);
    if (options.command == "check") return tak::cli::RunCheck(options, argv[0]);
    std::fprintf(stderr, "taktarium-cli: unknown command \"%s\"\n\n%s", tak::cli::VisibleText(options.command).c_str(),
                 kUsage);
    return 2;
}
