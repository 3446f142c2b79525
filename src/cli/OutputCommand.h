// "taktarium-cli output": creates the map's documents as the output dialog
// would, printing the run's log lines as they come.
#pragma once

#include "cli/CliOptions.h"

namespace tak::cli {

// Returns the process exit status: 0 when every document was created.
int RunOutputCommand(const CliOptions& options, const char* argv0);

}  // namespace tak::cli
