#include "output/Output.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <set>
#include <system_error>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "base/Text.h"
#include "output/OutputStopTable.h"
#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"
#include "output/OutputTourPlan.h"
#include "routemap/RouteMapOutput.h"

namespace tak {

namespace {

bool HasColumns(const TimetableGrid& grid) {
    return std::any_of(grid.groups.begin(), grid.groups.end(),
                       [](const DayGroup& group) { return !group.columns.empty(); });
}

// A tour prints when it has a column; return trips always stand below one.
bool HasPrintableTour(const TourPlanGrid& grid) { return HasColumns(grid.out); }

class OutputRun {
public:
    OutputRun(const OutputSource& source, OutputRunControl& control, OutputLog& log)
        : context_(source), lang_(source.language), control_(control), log_(log), folder_(source.folder) {}

    int Run() {
        // A control may serve several runs: the counts are this run's.
        control_.plansDone.store(0);
        control_.documentsWritten.store(0);
        control_.plansInRun.store(CountPlans());
        // An empty project from a file that is there but unreadable is no
        // success: nothing the user asked for was created.
        const ProjectLoadResult& load = context_.projectLoad;
        if (load.fileFound && !load.parsed) {
            log_.LogLine(FillPlaceholders(lang_.Lang("ErrReadProject"), {ProjectFileText()}));
            control_.state.store(kOutputFinished);
            return 1;
        }
        // Memory running out is the one failure that comes as an exception;
        // it ends the run with a log line instead of the program.
        if (!Guarded([this] {
                RunAllKinds();
                return true;
            })) {
            LogFailure(lang_.Lang("CreateOutput"));
        }
        int running = kOutputRunning;
        if (control_.state.compare_exchange_strong(running, kOutputFinished)) {
            LogOutcome();
        } else {
            LogStopped();
        }
        return failures_;
    }

private:
    int CountPlans() const {
        const Project& project = context_.project;
        std::size_t plans = project.timeTablePlans.size() + project.stopTables.size();
        for (const auto& entry : project.tourPlans) plans += entry.second.active ? 1 : 0;
        if (project.routeMap.format != kRouteMapNone) ++plans;
        return static_cast<int>(std::min<std::size_t>(plans, std::numeric_limits<int>::max()));
    }

    std::string ProjectFileText() const {
        std::u8string file = context_.projectFile.u8string();
        return std::string(file.begin(), file.end());
    }

    // The last line of a run that was not stopped: success only when a
    // document was written; otherwise why not.
    void LogOutcome() {
        if (control_.plansInRun.load() == 0) {
            log_.LogLine(FillPlaceholders(lang_.Lang("NoPlans"), {ProjectFileText()}));
        } else if (control_.documentsWritten.load() == 0) {
            log_.LogLine(lang_.Lang("NothingCreated"));
        } else {
            log_.LogLine(lang_.Lang("OutputCreated") + "!");
        }
    }

    // The last lines of a run the user stopped: how far it came and which
    // shared documents, holding pages already made, were not saved.
    void LogStopped() {
        log_.LogLine(FillPlaceholders(lang_.Lang("OutputStopped"), {std::to_string(control_.plansDone.load()),
                                                                    std::to_string(control_.plansInRun.load())}));
        for (const std::string& name : unsaved_) log_.LogLine(FillPlaceholders(lang_.Lang("NotWritten"), {name}));
    }

    void PlanDone() { control_.plansDone.fetch_add(1); }

    // Passes a writer's result on, counting a written document.
    bool Counted(bool written) {
        if (written) control_.documentsWritten.fetch_add(1);
        return written;
    }

    // A stop leaves a shared document unsaved; the log names it when it
    // already holds pages.
    void NoteUnsaved(bool hasPages, const std::string& name) {
        if (hasPages) unsaved_.push_back(name);
    }

    // Runs `work`, turning an exception into a failure.
    template <typename Work>
    static bool Guarded(Work&& work) {
        try {
            return work();
        } catch (const std::exception&) {
            return false;
        }
    }

    void RunAllKinds() {
        if (!context_.project.timeTablePlans.empty()) {
            log_.LogLine(lang_.Lang("CrTimeTables") + "...");
            RunTimetables();
        }
        if (HasActiveTourPlan()) {
            log_.LogLine(lang_.Lang("CrTourPlans") + "...");
            RunTourPlans();
        }
        if (!context_.project.stopTables.empty()) {
            log_.LogLine(lang_.Lang("CrStopTables") + "...");
            RunStopTables();
        }
        if (context_.project.routeMap.format != kRouteMapNone) {
            log_.LogLine(lang_.Lang("CrRouteMap") + "...");
            RunRouteMap();
        }
    }

    bool StopRequested() const { return control_.state.load() == kOutputStopRequested; }

    void LogFailure(std::string_view what) {
        log_.LogLine(FillPlaceholders(lang_.Lang("ErrCreateOutput"), {what}));
        ++failures_;
    }

    // A plan with nothing to print writes no document; with warnings on
    // the log says why.
    void WarnNothingToPrint(const char* key, std::string_view planName) {
        if (control_.warnings.load()) log_.LogLine(FillPlaceholders(lang_.Lang(key), {planName}));
    }

    // Takes a document's file name for this run. A name that an earlier
    // document of the run already has, also in another letter case (one file
    // on Windows), is refused and logged under `what`, so that no document
    // is written over another. An empty name (no valid file name) is left to
    // the writer, which then fails.
    bool ClaimFileName(const std::string& fileName, std::string_view what) {
        if (fileName.empty() || claimedNames_.insert(FoldCase(fileName)).second) return true;
        LogFailure(FillPlaceholders(lang_.Lang("ErrSameFileName"), {what, fileName}));
        return false;
    }

    // The project's folder, and output/ itself on a fresh install. A folder
    // that cannot be made shows up as a failure of each document.
    void CreateFolder() {
        std::error_code error;
        std::filesystem::create_directories(folder_, error);
    }

    void RunTimetables() {
        CreateFolder();
        const OutputOpt& options = context_.project.outputOpt;
        bool pdf = options.format == kOutputPdf;
        bool shared = pdf && options.ttAllInOne;
        TimetablePdfTarget sharedTarget;
        if (shared && !BeginSharedTimetablePdf(sharedTarget)) {
            LogFailure(lang_.Lang("TimeTable"));
            return;
        }
        TimetableBuildContext build{lang_, &log_, &control_.warnings};
        bool sharedHasPages = false;
        const std::string sharedName = lang_.Lang("TimeTables") + ".pdf";
        for (const TimeTablePlan& plan : context_.project.timeTablePlans) {
            if (StopRequested()) {  // a shared document is then not saved
                NoteUnsaved(shared && sharedHasPages, sharedName);
                return;
            }
            log_.LogLine(lang_.Lang("TimeTable") + ": " + plan.name);
            bool written = CountSlots(plan.stops) <= kMaxTimetableSlots && Guarded([&] {
                TimetableGrid grid = BuildTimetable(plan, context_.map, pdf && plan.mergeIterColumn, build);
                if (!HasColumns(grid)) {
                    WarnNothingToPrint("WarnEmptyTimetable", plan.name);
                    return true;
                }
                if (!shared && !ClaimFileName(TimetableFileName(lang_, plan, pdf ? ".pdf" : ".txt"), plan.name)) {
                    return true;  // the clash is logged
                }
                sharedHasPages = true;
                grid.outputFolder = folder_;
                TimetableWriteInput input{grid, plan, lang_, options, &context_.project.routeSpiders};
                if (!pdf) return Counted(WriteTimetableText(input));
                if (shared) return WriteTimetablePdf(sharedTarget, input);
                TimetablePdfTarget target;
                return Counted(WriteTimetablePdf(target, input));
            });
            if (!written) LogFailure(plan.name);
            PlanDone();
        }
        if (shared && sharedHasPages) SaveSharedDocument(sharedTarget, sharedName, lang_.Lang("TimeTable"));
    }

    bool HasActiveTourPlan() const {
        for (const auto& [name, plan] : context_.project.tourPlans) {
            if (plan.active) return true;
        }
        return false;
    }

    bool SaveShared(TimetablePdfTarget& target, const std::string& name) {
        return IsValidFileNamePart(name) && target.pdf.SaveDocument(PathText(folder_ / PathFromText(name)));
    }

    // Saves a document that holds every plan of a kind, logged under `what`.
    void SaveSharedDocument(TimetablePdfTarget& target, const std::string& name, const std::string& what) {
        if (ClaimFileName(name, what) && !Counted(SaveShared(target, name))) LogFailure(what);
    }

    void RunTourPlans() {
        CreateFolder();
        const OutputOpt& options = context_.project.outputOpt;
        bool pdf = options.format == kOutputPdf;
        bool shared = pdf && options.tpAllInOne;
        TimetablePdfTarget sharedTarget;
        if (shared && !BeginSharedTimetablePdf(sharedTarget)) {
            LogFailure(lang_.Lang("TourPlan"));
            return;
        }
        TimetableBuildContext build{lang_, &log_, &control_.warnings};
        bool sharedHasPages = false;
        const std::string sharedName = lang_.Lang("TourPlans") + ".pdf";
        // No structured binding: the fuzz build's clang cannot capture one in a lambda.
        for (const auto& entry : context_.project.tourPlans) {
            const TourPlan& plan = entry.second;
            if (!plan.active) continue;
            if (StopRequested()) {  // a shared document is then not saved
                NoteUnsaved(shared && sharedHasPages, sharedName);
                return;
            }
            log_.LogLine(lang_.Lang("TourPlan") + ": " + plan.name);
            bool written = Guarded([&] {
                TourPlanGrid grid = BuildTourPlan(plan, context_.map, build);
                if (!HasPrintableTour(grid)) {
                    WarnNothingToPrint("WarnEmptyTourPlan", plan.name);
                    return true;
                }
                if (!shared && !ClaimFileName(TourPlanFileName(lang_, plan, pdf ? ".pdf" : ".txt"), plan.name)) {
                    return true;  // the clash is logged
                }
                sharedHasPages = true;
                grid.outputFolder = folder_;
                TourPlanWriteInput input{grid, plan, lang_, options};
                if (!pdf) return Counted(WriteTourPlanText(input));
                if (shared) return WriteTourPlanPdf(sharedTarget, input);
                TimetablePdfTarget target;
                return Counted(WriteTourPlanPdf(target, input));
            });
            if (!written) LogFailure(plan.name);
            PlanDone();
        }
        if (shared && sharedHasPages) SaveSharedDocument(sharedTarget, sharedName, lang_.Lang("TourPlan"));
    }

    StopTableWriteInput StopTableInput(const StopTableData& data, const StopTable& table) const {
        return StopTableWriteInput{data, table, lang_, context_.project.outputOpt, &context_.project.routeSpiders,
                                   folder_};
    }

    // Logs and builds one plan; false when a stop was requested before it.
    // `built` is false when the plan could not be built.
    bool BuildStopTablePlan(const StopTable& table, StopTableData& data, bool& built) {
        if (StopRequested()) return false;
        log_.LogLine(lang_.Lang("StopTable") + ": " + table.name);
        built = Guarded([&] {
            data = BuildStopTable(table, context_.map, lang_);
            return true;
        });
        return true;
    }

    void RunStopTables() {
        CreateFolder();
        const OutputOpt& options = context_.project.outputOpt;
        const std::vector<StopTable>& tables = context_.project.stopTables;
        if (options.format != kOutputPdf) {
            for (const StopTable& table : tables) {
                StopTableData data;
                bool built = false;
                if (!BuildStopTablePlan(table, data, built)) return;
                PlanDone();
                if (built && !ClaimFileName(StopTableFileName(lang_, table, ".txt"), table.name)) continue;
                if (!built || !Guarded([&] { return Counted(WriteStopTableText(StopTableInput(data, table))); })) {
                    LogFailure(table.name);
                }
            }
            return;
        }
        bool shared = options.stAllInOne;
        TimetablePdfTarget sharedTarget;
        if (shared && !BeginSharedTimetablePdf(sharedTarget)) {
            LogFailure(lang_.Lang("StopTable"));
            return;
        }
        const std::string sharedName = lang_.Lang("StopTable") + ".pdf";
        bool sharedHasPages = false;
        for (const std::vector<std::size_t>& document : GroupStopTableDocuments(tables)) {
            TimetablePdfTarget ownTarget;
            TimetablePdfTarget& target = shared ? sharedTarget : ownTarget;
            const StopTable& first = tables[document.front()];
            std::string name = StopTableFileName(lang_, first, ".pdf");
            std::string what = lang_.Lang("Stop") + " " + first.name;
            // Stop tables always add their pages to an open document, which is saved here.
            bool created = shared || BeginSharedTimetablePdf(ownTarget);
            bool complete = true;
            bool hasPages = false;
            for (std::size_t index : document) {
                StopTableData data;
                bool built = false;
                if (!BuildStopTablePlan(tables[index], data, built)) {
                    NoteUnsaved(shared ? sharedHasPages : hasPages, shared ? sharedName : name);
                    return;
                }
                complete = complete && built && (!created || Guarded([&] {
                    WriteStopTablePages(target, StopTableInput(data, tables[index]));
                    return true;
                }));
                hasPages = hasPages || complete;
                sharedHasPages = sharedHasPages || hasPages;
                PlanDone();
            }
            if (shared) {
                if (!complete) LogFailure(what);
            } else if (ClaimFileName(name, what) && !(created && complete && Counted(SaveShared(ownTarget, name)))) {
                LogFailure(what);
            }
        }
        if (shared) SaveSharedDocument(sharedTarget, sharedName, lang_.Lang("StopTable"));
    }

    void RunRouteMap() {
        if (StopRequested()) return;
        // The layout rewrites the map's derived fields; the project keeps the
        // map as the user edited it.
        RouteMap routeMap = context_.project.routeMap;
        std::string name = lang_.Lang("RouteMap");
        if (!Guarded([&] { return Counted(WriteRouteMapOutput(routeMap, folder_, name)); })) LogFailure(name);
        PlanDone();
    }

    const OutputSource& context_;
    const LanguageTable& lang_;
    OutputRunControl& control_;
    OutputLog& log_;
    std::filesystem::path folder_;
    std::set<std::string> claimedNames_;  // file names of this run's documents, case folded
    std::vector<std::string> unsaved_;     // shared documents a stop left unsaved
    int failures_ = 0;
};

}  // namespace

int RunOutput(const OutputSource& source, OutputRunControl& control, OutputLog& log) {
    return OutputRun(source, control, log).Run();
}

}  // namespace tak
