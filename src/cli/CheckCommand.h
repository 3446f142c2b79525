// "taktarium-cli check": what a map's timetable files get wrong, for its authors.
#pragma once

#include "cli/CliOptions.h"

namespace tak::cli {

// Prints the findings to stdout; returns 0 when none is an error, 1 when one
// is or the map has no timetable folder.
int RunCheck(const CliOptions& options, const char* argv0);

}  // namespace tak::cli
