// taktarium-cli: inspects a map and creates its output without windows.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/CodePage.h"
#include "base/FileSystem.h"
#include "cli/CheckCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliText.h"
#include "cli/InfoCommand.h"
#include "cli/OutputCommand.h"
#include "pdf/Paginor.h"
#include "persist/ProgramSettings.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

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
    "  Every command also takes:\n"
    "      --codepage  code page of the map's files: 1250, 1251 or 1252 (default:\n"
    "                  the \"CodePage\" of Taktarium.cfg in the current folder, else 1252)\n"
    "      --plain-pdf write PDF streams uncompressed, for reading them in an editor\n"
    "      --standard-fonts  name the 14 standard PDF fonts instead of embedding\n"
    "                  the fonts text is measured with (Windows-1252 text only)\n"
    "  taktarium-cli --help\n"
    "\n"
    "Exit status: 0 on success, 1 when the map has no timetable folder, a\n"
    "document could not be created or the check found an error, 2 for bad usage\n"
    "or a language that is not there.\n";

// The arguments as UTF-8. Windows hands `main` its arguments in the ANSI code
// page, which cannot hold every folder name; the wide command line can.
std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#if defined(_WIN32)
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string text(bytes > 0 ? static_cast<std::size_t>(bytes) : 1, '\0');
            if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), bytes, nullptr, nullptr);
            text.pop_back();  // the terminating zero
            args.push_back(std::move(text));
        }
        LocalFree(wide);
        return args;
    }
#endif
    args.assign(argv + 1, argv + argc);
    return args;
}

int Run(const std::vector<std::string>& arguments, const char* argv0) {
    std::vector<std::string_view> args(arguments.begin(), arguments.end());
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
    // The code page and the PDF options hold for everything the command reads and writes.
    int codePage = options.codePage;
    if (codePage == 0) {
        std::error_code noFolder;
        codePage = tak::ReadProgramSettings(std::filesystem::current_path(noFolder) / tak::kProgramSettingsFileName)
                       .codePage;
    }
    tak::SetMapCodePage(tak::CodePageFromNumber(codePage).value_or(tak::kDefaultCodePage));
    tak::PdfWriterOptions pdf = tak::PdfDocument::DefaultWriterOptions();
    if (options.plainPdf) pdf.compressStreams = false;
    if (options.standardFonts) pdf.embedFonts = false;
    tak::PdfDocument::SetDefaultWriterOptions(pdf);
    if (options.command == "info") return tak::cli::RunInfo(options, argv0);
    if (options.command == "output") return tak::cli::RunOutputCommand(options, argv0);
    if (options.command == "check") return tak::cli::RunCheck(options, argv0);
    std::fprintf(stderr, "taktarium-cli: unknown command \"%s\"\n\n%s", tak::cli::VisibleText(options.command).c_str(),
                 kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    tak::RemoveTemporaryFilesOnSignals();
#if defined(_WIN32)
    // Everything the tool prints is UTF-8.
    SetConsoleOutputCP(CP_UTF8);
#endif
    // The commands report their failures themselves; what still escapes them
    // (a folder that vanished, a working folder that cannot be read) ends the
    // run with a message instead of an abort.
    try {
        return Run(Utf8Arguments(argc, argv), argc > 0 ? argv[0] : nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "taktarium-cli: %s\n", tak::cli::VisibleText(e.what()).c_str());
    } catch (...) {
        std::fprintf(stderr, "taktarium-cli: unexpected failure\n");
    }
    return 1;
}
