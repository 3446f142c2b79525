// The program-wide state, held in one context object that the windows, the
// output run and the command-line tool are handed explicitly: the loaded map,
// its project, the language texts and the program settings.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "base/Language.h"
#include "mapdata/MapCheck.h"
#include "mapdata/MapData.h"
#include "output/Output.h"
#include "persist/ProgramSettings.h"
#include "persist/ProjectFile.h"

namespace tak {

struct AppContext {
    // Shared with an output run that goes on while a new map is loaded: a
    // load puts a new map here, never into the one a run may be reading.
    std::shared_ptr<MapData> map = std::make_shared<MapData>();
    Project project;
    LanguageTable language;
    ProgramSettings settings;
    std::string projectName;  // empty until a map was loaded
    ProjectLoadResult projectLoad;  // how the project file was last loaded
    std::filesystem::path workingFolder;
    // Told after the project was saved or loaded again, so that what shows
    // the project (the main window's summary) follows at once.
    std::function<void()> projectChanged;
};

// workingFolder/output/<projectName>.cfg
std::filesystem::path ProjectFilePath(const AppContext& context);

// Loads the project file of the current project name against the loaded map.
// Without a project name (no map loaded) the project is only reset to its
// defaults.
ProjectLoadResult LoadProjectFile(AppContext& context);

// The load of a map as the window, the command-line tool and the tests do it:
// the map of `mapFolder` as it stands on `date` (kNoDate: the base
// timetable), its events named in the language's "LangShort", its trips in
// line order, the project name for folder and date, and the project file of
// that name (none without a name). `record` gets what the load dropped, for
// the map check. Returns whether the map's timetable was found; what could
// be read is kept either way.
bool LoadMapAndProject(AppContext& context, const std::filesystem::path& mapFolder, DateValue date,
                       MapCheckRecord* record = nullptr);

// output/<projectName>/ below the working folder.
std::filesystem::path OutputFolder(const AppContext& context);

// The output run over the context's map and a copy of its project, into
// OutputFolder. The context may change while the run goes on.
OutputSource OutputSourceOf(const AppContext& context);
int RunOutput(const AppContext& context, OutputRunControl& control, OutputLog& log);

// Saves the whole project; false when the file could not be written or no map
// is loaded (the caller tells the user: "ErrSaveProject"). A saved project
// counts as loaded from a good file from then on.
[[nodiscard]] bool SaveProjectFile(AppContext& context);

// True when the project file was there but did not parse: the project held
// is empty, and a save would replace the file's content by it. The next
// save keeps a copy of it first (see SaveProject) unless told otherwise.
bool ProjectFileIsBroken(const AppContext& context);

}  // namespace tak
