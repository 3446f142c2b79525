// Loading the program-wide state for a command: language, map (as it stands
// on the chosen date) and the project file of the working folder, exactly
// as the program loads them after the user pressed the load button.
#pragma once

#include "app/AppContext.h"
#include "cli/CliOptions.h"

namespace tak::cli {

// Loads the language of the options into `context` (a message on stderr when
// it cannot be found; the texts then stay empty).
void LoadCliLanguage(const CliOptions& options, const char* argv0, AppContext& context);

// Fills `context` with the current folder as working folder. False (after a
// message on stderr) when the map has no timetable folder.
[[nodiscard]] bool LoadCliContext(const CliOptions& options, const char* argv0, AppContext& context, ProjectLoadResult& load);

}  // namespace tak::cli
