// The output run: every plan of the loaded map through its builder and
// writer, into output/<projectName>/ below the working folder. The run goes
// on a worker thread while a dialog shows its log; the user may ask it to
// stop, which it honours before the next plan.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>

#include "base/Language.h"
#include "mapdata/MapData.h"
#include "output/OutputLog.h"
#include "project/Project.h"

namespace tak {

// How far a run is: the dialog may ask a running run to stop, which it
// honours before the next plan; the run marks itself finished at its end.
enum class OutputState { Running, StopRequested, Finished };

// The only values the worker and the user-interface thread share besides
// the log: the dialog may change the state and the warnings switch while
// the run goes on; the run counts its progress for the dialog to show.
struct OutputRunControl {
    std::atomic<OutputState> state{OutputState::Running};
    std::atomic<bool> warnings{true};  // log trip-order warnings
    std::atomic<int> plansInRun{0};    // set when the run starts (the route map counts as one)
    std::atomic<int> plansDone{0};
    std::atomic<int> documentsWritten{0};
};

// What a run reads and where it writes. The run owns what it reads: a copy
// of the project and of the texts taken when it starts, and a share of the
// map the project refers to, so the windows may go on editing, and a new
// map may be loaded, while it runs.
struct OutputSource {
    std::shared_ptr<const MapData> map;
    Project project;
    LanguageTable language;
    bool projectUnreadable = false;     // the project file is there but did not parse: the run stops
    std::filesystem::path projectFile;  // named in the log when it could not be read
    std::filesystem::path folder;       // where the documents go
};

// Runs every timetable plan, tour plan and stop table plan and then the
// route map, in this order, and logs progress, warnings and failures. The
// last line says how the run ended: "OutputCreated" only when documents were
// written; a project without plans, a run that wrote nothing and a run
// stopped by the user (with the shared documents left unwritten) each have
// their own line.
// Returns the number of documents that could not be created
// ("ErrCreateOutput" lines).
int RunOutput(const OutputSource& source, OutputRunControl& control, OutputLog& log);

}  // namespace tak
