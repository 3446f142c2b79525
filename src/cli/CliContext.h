// Loading the program-wide state for a command: language, map (as it stands
// on the chosen date) and the project file of the working folder, exactly
// as the program loads them after the user pressed the load button.
#pragma once

#include "app/AppContext.h"
#include "cli/CliOptions.h"

namespace tak::cli {

// Fills `context` with the current folder as working folder. False (after a
// message on stderr) when the map has no timetable folder.
bool LoadCliContext(const CliOptions& options, const char* argv0, AppContext& context, ProjectLoadResult& load);

}  // namespace tak::cli
