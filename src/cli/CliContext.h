// Loading the program-wide state for a command: language, map (as it stands
// on the chosen date) and the project file of the working folder, exactly
// as the program loads them after the user pressed the load button.
#pragma once

#include "app/AppContext.h"
#include "cli/CliOptions.h"

namespace tak::cli {

// Sets the current folder as the working folder of `context` and loads the
// language of the options into it. False (after a message on stderr naming
// the languages there are) when it cannot be loaded: a run with empty texts
// would write documents named " 1.pdf".
[[nodiscard]] bool LoadCliLanguage(const CliOptions& options, const char* argv0, AppContext& context);

// Loads map and project into `context`, whose language is loaded. False
// (after a message on stderr) when the map has no timetable folder.
[[nodiscard]] bool LoadCliContext(const CliOptions& options, AppContext& context, ProjectLoadResult& load);

}  // namespace tak::cli
