// "taktarium-cli info": a map's summary as the main window would show it.
#pragma once

#include "cli/CliOptions.h"

namespace tak::cli {

// Prints the summary to stdout; returns the process exit status.
int RunInfo(const CliOptions& options, const char* argv0);

}  // namespace tak::cli
