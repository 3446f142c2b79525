#include "output/Output.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <system_error>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "base/Text.h"
#include "mapdata/MapLoader.h"
#include "output/OutputDocument.h"
#include "output/OutputStopTable.h"
#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"
#include "output/OutputTourPlan.h"
#include "routemap/RouteMapOutput.h"

namespace tak {

namespace {

// The date as the language writes it.
std::string DateText(const LanguageTable& lang, int year, int month, int day) {
    // Appended, not `"0" + text`: that makes GCC 12 warn wrongly (-Wrestrict) in optimised builds.
    auto twoDigits = [](int value) {
        std::string text = value < 10 ? "0" : "";
        return text.append(std::to_string(value));
    };
    return FillPlaceholders(lang.Lang("DateText"), {std::to_string(year), twoDigits(month), twoDigits(day)});
}

// What every document of the run says about itself: valid from the
// project's date text, else the day the map was loaded for, else today.
DocumentStamp StampOf(const OutputSource& source) {
    DocumentStamp stamp;
    const OutputOpt& options = source.project.outputOpt;
    stamp.operatorName = options.operatorName;
    if (!options.validFrom.empty()) {
        stamp.validFrom = options.validFrom;
    } else if (source.map->date != kNoDate) {
        CalendarDay day = DateToCalendar(source.map->date);
        stamp.validFrom = DateText(source.language, day.year, day.month, day.day);
    } else {
        std::tm today = LocalTime(std::time(nullptr));
        stamp.validFrom = DateText(source.language, today.tm_year + 1900, today.tm_mon + 1, today.tm_mday);
    }
    const RouteMap& routeMap = source.project.routeMap;
    const std::vector<LineLook> looks = ResolveColours(routeMap);
    for (std::size_t i = 0; i < routeMap.lines.size(); ++i) {
        stamp.lineColours.try_emplace(routeMap.lines[i].name, static_cast<uint32_t>(PackRgb(looks[i].colour)));
    }
    return stamp;
}

bool HasColumns(const TimetableGrid& grid) {
    return std::any_of(grid.groups.begin(), grid.groups.end(),
                       [](const DayGroup& group) { return !group.columns.empty(); });
}

// A tour prints when it has a column; return trips always stand below one.
bool HasPrintableTour(const TourPlanGrid& grid) { return HasColumns(grid.out); }

// A plan built for its document. `draw` adds its pages (or its text) to the
// document; it is empty when the plan has nothing to print.
struct BuiltPlan {
    bool built = false;  // false: the plan could not be built
    std::function<void(DocumentTarget&)> draw;
};

// What sets one kind of plan (timetables, tour plans, stop tables) apart in
// the run; the plans are known by their index.
struct PlanKind {
    const char* planKey = "";  // names each plan in the log, and the shared document's failures
    const char* fileKey = "";  // begins the file name of a document of its own
    std::string sharedName;    // the file holding every plan when they go into one
    bool shared = false;
    std::vector<std::vector<std::size_t>> documents;  // the plans of each document, in run order
    std::function<const std::string&(std::size_t)> planName;
    std::function<std::string(std::size_t)> documentLabel;  // names a document, by its first plan, in failures
    std::function<BuiltPlan(std::size_t)> build;
};

// The lines that log the warnings of one plan's build. A kind of warning
// that repeats (a trip of 50,000 stations can give one per station) is logged
// once, followed by the count of its repeats. Lines of the warning keys below
// are of one kind each; other lines are only merged when they are the same
// text.
std::vector<std::string> PlanWarningLines(const LanguageTable& lang, const std::vector<std::string>& warnings) {
    struct Kind {
        std::string id;
        const std::string* first;
        int count = 0;
    };
    // The key's text up to its first placeholder; lines that begin with it
    // come from that key.
    std::vector<std::pair<std::string, std::string>> keyed;  // key, fixed text
    for (const char* key : {"WarnWrongOrder"}) {
        std::string text = lang.Lang(key);
        keyed.emplace_back(key, text.substr(0, text.find('%')));
    }
    auto kindOf = [&keyed](const std::string& line) {
        for (const auto& [key, fixed] : keyed) {
            if (!fixed.empty() && line.starts_with(fixed)) return key;
        }
        return line;
    };
    std::vector<Kind> kinds;
    for (const std::string& line : warnings) {
        std::string id = kindOf(line);
        auto found = std::find_if(kinds.begin(), kinds.end(), [&](const Kind& kind) { return kind.id == id; });
        if (found == kinds.end()) {
            kinds.push_back(Kind{std::move(id), &line, 1});
        } else {
            ++found->count;
        }
    }
    std::vector<std::string> lines;
    for (const Kind& kind : kinds) {
        lines.push_back(*kind.first);
        if (kind.count > 1) lines.push_back(FillPlaceholders(lang.Lang("WarnRepeated"), {std::to_string(kind.count - 1)}));
    }
    return lines;
}

// How far the plans of one document came.
struct DocumentProgress {
    bool complete = true;    // every plan was built and drawn
    bool printable = false;  // some plan had something to print
    bool hasPages = false;   // some plan was drawn
};

class OutputRun {
public:
    OutputRun(const OutputSource& source, OutputRunControl& control, OutputLog& log)
        : source_(source), lang_(source.language), control_(control), log_(log), folder_(source.folder),
          stamp_(StampOf(source)) {}

    int Run() {
        // A control may serve several runs: the counts are this run's.
        control_.plansDone.store(0);
        control_.documentsWritten.store(0);
        control_.plansInRun.store(CountPlans());
        // An empty project from a file that is there but unreadable is no
        // success: nothing the user asked for was created.
        if (source_.projectUnreadable) {
            log_.LogLine(FillPlaceholders(lang_.Lang("ErrReadProject"), {ProjectFileText()}));
            control_.state.store(OutputState::Finished);
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
        OutputState running = OutputState::Running;
        if (control_.state.compare_exchange_strong(running, OutputState::Finished)) {
            LogOutcome();
        } else {
            LogStopped();
        }
        return failures_;
    }

private:
    int CountPlans() const {
        const Project& project = source_.project;
        std::size_t plans = project.timeTablePlans.size() + project.stopTables.size();
        for (const auto& entry : project.tourPlans) plans += entry.second.active ? 1 : 0;
        if (RouteMapToPrint(project.routeMap)) ++plans;
        return static_cast<int>(std::min<std::size_t>(plans, std::numeric_limits<int>::max()));
    }

    std::string ProjectFileText() const {
        std::u8string file = source_.projectFile.u8string();
        return std::string(file.begin(), file.end());
    }

    // The last line of a run that was not stopped: success only when a
    // document was written; otherwise why not.
    void LogOutcome() {
        if (control_.plansInRun.load() == 0) {
            log_.LogLine(FillPlaceholders(lang_.Lang("NoPlans"), {ProjectFileText()}));
        } else if (control_.documentsWritten.load() == 0) {
            log_.LogLine(lang_.Lang("NothingCreated"));
        } else if (failures_ > 0) {
            // Not a success: say how much of the run's output is there.
            int written = control_.documentsWritten.load();
            log_.LogLine(FillPlaceholders(lang_.Lang("OutputIncomplete"),
                                          {std::to_string(written), std::to_string(written + failures_)}));
        } else if (withoutTimes_ > 0) {
            log_.LogLine(FillPlaceholders(lang_.Lang("OutputCreatedNoTimes"), {std::to_string(withoutTimes_)}));
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
        if (!source_.project.timeTablePlans.empty()) {
            log_.LogLine(lang_.Lang("CrTimeTables") + "...");
            RunPlans(TimetableKind());
        }
        if (HasActiveTourPlan()) {
            log_.LogLine(lang_.Lang("CrTourPlans") + "...");
            RunPlans(TourPlanKind());
        }
        if (!source_.project.stopTables.empty()) {
            log_.LogLine(lang_.Lang("CrStopTables") + "...");
            RunPlans(StopTableKind());
        }
        if (RouteMapToPrint(source_.project.routeMap)) {
            log_.LogLine(lang_.Lang("CrRouteMap") + "...");
            RunRouteMap();
        }
    }

    bool StopRequested() const { return control_.state.load() == OutputState::StopRequested; }

    void LogFailure(std::string_view what) {
        log_.LogLine(FillPlaceholders(lang_.Lang("ErrCreateOutput"), {what}));
        ++failures_;
    }

    // Saves a document, logging a failure under `what` with the system's
    // reason when there is one ("Permission denied"). A saved PDF says which
    // of its characters printed as a replacement, whatever the warnings
    // switch: the document is wrong.
    bool SaveLogged(DocumentTarget& target, const std::string& name, std::string_view what) {
        ClearLastWriteError();
        if (Counted(SaveDocument(target, folder_, name))) {
            if (target.format == DocumentFormat::Pdf) {
                std::string missing = target.pdf.MissingCharacters();
                if (!missing.empty()) log_.LogLine(FillPlaceholders(lang_.Lang("WarnMissingGlyphs"), {what, missing}));
            }
            return true;
        }
        std::error_code reason = LastWriteError();
        if (!reason) {
            LogFailure(what);
        } else {
            log_.LogLine(FillPlaceholders(lang_.Lang("ErrCreateOutputReason"), {what, reason.message()}));
            ++failures_;
        }
        return false;
    }

    // A plan with nothing to print writes no document; with warnings on
    // the log says why.
    void WarnNothingToPrint(const char* key, std::string_view planName) {
        if (control_.warnings.load()) log_.LogLine(FillPlaceholders(lang_.Lang(key), {planName}));
    }

    // A plan whose rows print no time gives a document of names and dashes
    // that looks finished; the log says so and how to mend it, whatever the
    // warnings switch says.
    void WarnNoTimes(const char* key, const char* windowKey, std::string_view planName) {
        log_.LogLine(FillPlaceholders(lang_.Lang(key), {planName, lang_.Lang("Arrival"), lang_.Lang("Departure"),
                                                        lang_.Lang(windowKey)}));
        ++withoutTimes_;
    }

    // Takes a document's file name for this run. A name that an earlier
    // document of the run already has, also in another letter case (one file
    // on Windows), is refused and logged under `what`, so that no document
    // is written over another. An empty name (no valid file name) is left to
    // the save, which then fails.
    bool ClaimFileName(const std::string& fileName, std::string_view what) {
        if (fileName.empty() || claimedNames_.insert(FoldCase(fileName)).second) return true;
        LogFailure(FillPlaceholders(lang_.Lang("ErrSameFileName"), {what, fileName}));
        return false;
    }

    // The project's folder, and output/ itself on a fresh install. A folder
    // that cannot be made shows up as a failure of each document. What
    // interrupted runs left there (and the project file's save in output/)
    // goes.
    void CreateFolder() {
        std::error_code error;
        std::filesystem::create_directories(folder_, error);
        RemoveStaleTemporaryFiles(folder_);
        if (folder_.has_parent_path()) RemoveStaleTemporaryFiles(folder_.parent_path());
    }

    DocumentFormat Format() const {
        return source_.project.outputOpt.format == kOutputPdf ? DocumentFormat::Pdf : DocumentFormat::Text;
    }

    // Runs every plan of a kind, document by document. A document whose
    // plans all had nothing to print is not written; a stop leaves the
    // document being written unsaved.
    void RunPlans(const PlanKind& kind) {
        CreateFolder();
        DocumentTarget sharedTarget;
        if (kind.shared && !BeginSharedDocument(sharedTarget)) {
            LogFailure(lang_.Lang(kind.planKey));
            return;
        }
        bool sharedHasPages = false;
        const DocumentFormat format = Format();
        for (const std::vector<std::size_t>& document : kind.documents) {
            DocumentTarget ownTarget;
            DocumentTarget& target = kind.shared ? sharedTarget : ownTarget;
            bool created = kind.shared || BeginDocument(ownTarget, format);
            std::string name =
                DocumentFileName(lang_, kind.fileKey, kind.planName(document.front()), DocumentExtension(format));
            DocumentProgress progress;
            for (std::size_t plan : document) {
                if (StopRequested()) {
                    NoteUnsaved(kind.shared ? sharedHasPages : progress.hasPages, kind.shared ? kind.sharedName : name);
                    return;
                }
                log_.LogLine(lang_.Lang(kind.planKey) + ": " + kind.planName(plan));
                AddPlan(kind, plan, created ? &target : nullptr, progress);
                sharedHasPages = sharedHasPages || progress.hasPages;
                PlanDone();
            }
            FinishDocument(kind, document, ownTarget, created, progress, name);
        }
        if (kind.shared && sharedHasPages) SaveSharedDocument(sharedTarget, kind.sharedName, lang_.Lang(kind.planKey));
    }

    // Builds a plan and draws it into `target`, which is null when its
    // document could not be created.
    static void AddPlan(const PlanKind& kind, std::size_t plan, DocumentTarget* target, DocumentProgress& progress) {
        BuiltPlan built;
        if (!Guarded([&] {
                built = kind.build(plan);
                return built.built;
            })) {
            progress.complete = false;
            return;
        }
        if (!built.draw) return;  // nothing to print
        progress.printable = true;
        if (!target) return;
        bool drawn = Guarded([&] {
            built.draw(*target);
            return true;
        });
        progress.complete = progress.complete && drawn;
        progress.hasPages = progress.hasPages || drawn;
    }

    // A document of its own is saved under its name, which no earlier
    // document of the run may have; a shared one only reports its failures
    // here and is saved when every plan is in.
    void FinishDocument(const PlanKind& kind, const std::vector<std::size_t>& document, DocumentTarget& own,
                        bool created, const DocumentProgress& progress, const std::string& name) {
        std::string what = kind.documentLabel(document.front());
        if (kind.shared || !progress.printable) {
            if (!progress.complete) LogFailure(what);
            return;
        }
        if (!ClaimFileName(name, what)) return;
        if (!created || !progress.complete) {
            LogFailure(what);
            return;
        }
        SaveLogged(own, name, what);
    }

    bool HasActiveTourPlan() const {
        for (const auto& [name, plan] : source_.project.tourPlans) {
            if (plan.active) return true;
        }
        return false;
    }

    // Saves a document that holds every plan of a kind, logged under `what`.
    void SaveSharedDocument(DocumentTarget& target, const std::string& name, const std::string& what) {
        if (ClaimFileName(name, what)) SaveLogged(target, name, what);
    }

    // Each plan is a document of its own.
    template <typename Plans>
    static std::vector<std::vector<std::size_t>> OnePerDocument(const Plans& plans) {
        std::vector<std::vector<std::size_t>> documents;
        for (std::size_t i = 0; i < plans.size(); ++i) documents.push_back({i});
        return documents;
    }

    PlanKind TimetableKind() {
        const std::vector<TimeTablePlan>& plans = source_.project.timeTablePlans;
        const OutputOpt& options = source_.project.outputOpt;
        bool pdf = options.format == kOutputPdf;
        PlanKind kind;
        kind.planKey = "TimeTable";
        kind.fileKey = "TimeTable";
        kind.sharedName = lang_.Lang("TimeTables") + ".pdf";
        kind.shared = pdf && options.ttAllInOne;
        kind.documents = OnePerDocument(plans);
        kind.planName = [&plans](std::size_t i) -> const std::string& { return plans[i].name; };
        kind.documentLabel = kind.planName;
        kind.build = [this, &plans, pdf](std::size_t i) { return BuildTimetablePlan(plans[i], pdf); };
        return kind;
    }

    BuiltPlan BuildTimetablePlan(const TimeTablePlan& plan, bool pdf) {
        if (CountSlots(plan.stops) > kMaxTimetableSlots) return BuiltPlan{};
        auto grid = std::make_shared<TimetableGrid>(
            BuildTimetable(plan, *source_.map, pdf && plan.mergeIterColumn, lang_));
        LogWarnings(grid->warnings);
        if (!HasColumns(*grid)) {
            WarnNothingToPrint("WarnEmptyTimetable", plan.name);
            return BuiltPlan{true, {}};
        }
        if (!RowsPrintTimes(plan.stops)) WarnNoTimes("WarnTimetableNoTimes", "WinTimeTable", plan.name);
        const Project& project = source_.project;
        return BuiltPlan{true, [this, grid, &plan, &project](DocumentTarget& target) {
                             DrawTimetable(target, TimetableWriteInput{*grid, plan, lang_, project.outputOpt,
                                                                       &project.routeSpiders, &stamp_});
                         }};
    }

    PlanKind TourPlanKind() {
        auto plans = std::make_shared<std::vector<const TourPlan*>>();
        for (const auto& entry : source_.project.tourPlans) {
            if (entry.second.active) plans->push_back(&entry.second);
        }
        const OutputOpt& options = source_.project.outputOpt;
        PlanKind kind;
        kind.planKey = "TourPlan";
        kind.fileKey = "Tour";
        kind.sharedName = lang_.Lang("TourPlans") + ".pdf";
        kind.shared = options.format == kOutputPdf && options.tpAllInOne;
        kind.documents = OnePerDocument(*plans);
        kind.planName = [plans](std::size_t i) -> const std::string& { return (*plans)[i]->name; };
        kind.documentLabel = kind.planName;
        kind.build = [this, plans](std::size_t i) { return BuildTourPlanPlan(*(*plans)[i]); };
        return kind;
    }

    BuiltPlan BuildTourPlanPlan(const TourPlan& plan) {
        auto grid = std::make_shared<TourPlanGrid>(BuildTourPlan(plan, *source_.map, lang_));
        LogWarnings(grid->warnings);
        if (!HasPrintableTour(*grid)) {
            WarnNothingToPrint("WarnEmptyTourPlan", plan.name);
            return BuiltPlan{true, {}};
        }
        // Return trips print in the return rows, unless the line is a ring.
        bool returnRowsNeeded = !plan.returning.empty();
        if (!RowsPrintTimes(plan.stopsOut) || (returnRowsNeeded && !RowsPrintTimes(plan.stopsRet))) {
            WarnNoTimes("WarnTourPlanNoTimes", "WinTourPlan", plan.name);
        }
        return BuiltPlan{true, [this, grid, &plan](DocumentTarget& target) {
                             DrawTourPlan(target, TourPlanWriteInput{*grid, plan, lang_, source_.project.outputOpt, &stamp_});
                         }};
    }

    // In a PDF, stop tables that share a stop may share a document, which is
    // then named after its first plan.
    PlanKind StopTableKind() {
        const std::vector<StopTable>& tables = source_.project.stopTables;
        const OutputOpt& options = source_.project.outputOpt;
        bool pdf = options.format == kOutputPdf;
        PlanKind kind;
        kind.planKey = "StopTable";
        kind.fileKey = "Stop";
        kind.sharedName = lang_.Lang("StopTable") + ".pdf";
        kind.shared = pdf && options.stAllInOne;
        kind.documents = pdf ? GroupStopTableDocuments(tables) : OnePerDocument(tables);
        kind.planName = [&tables](std::size_t i) -> const std::string& { return tables[i].name; };
        kind.documentLabel = [this, &tables, pdf](std::size_t first) {
            return pdf ? lang_.Lang("Stop") + " " + tables[first].name : tables[first].name;
        };
        kind.build = [this, &tables](std::size_t i) { return BuildStopTablePlan(tables[i]); };
        return kind;
    }

    BuiltPlan BuildStopTablePlan(const StopTable& table) {
        auto data = std::make_shared<StopTableData>(BuildStopTable(table, *source_.map, lang_));
        const Project& project = source_.project;
        return BuiltPlan{
            true, [this, data, &table, &project](DocumentTarget& target) {
                DrawStopTable(target,
                              StopTableWriteInput{*data, table, lang_, project.outputOpt, &project.routeSpiders, &stamp_});
            }};
    }

    // The switch may change while the run goes on: it is read at each plan.
    void LogWarnings(const std::vector<std::string>& warnings) {
        if (warnings.empty() || !control_.warnings.load()) return;
        for (const std::string& line : PlanWarningLines(lang_, warnings)) log_.LogLine(line);
    }

    // The route map page's title and legend texts. The title is the map's
    // own when it has one, else it names the map (the project's folder);
    // operator and validity are the project's.
    RouteMapPageTexts RouteMapTexts() const {
        RouteMapPageTexts texts;
        std::u8string project = folder_.filename().u8string();
        if (project.empty()) project = folder_.parent_path().filename().u8string();
        texts.title = source_.project.routeMap.title;
        if (texts.title.empty()) {
            texts.title = lang_.Lang("RouteMap") + " " + std::string(project.begin(), project.end());
        }
        texts.legendHeading = lang_.Lang("RouteMapLines");
        texts.operatorName = stamp_.operatorName;
        if (!stamp_.validFrom.empty()) texts.validity = FillPlaceholders(lang_.Lang("ValidFrom"), {stamp_.validFrom});
        return texts;
    }

    void RunRouteMap() {
        if (StopRequested()) return;
        const RouteMap& routeMap = source_.project.routeMap;
        std::string name = lang_.Lang("RouteMap");
        const RouteMapPageTexts texts = RouteMapTexts();
        if (!Guarded([&] { return Counted(WriteRouteMapOutput(routeMap, folder_, name, &texts)); })) LogFailure(name);
        PlanDone();
    }

    const OutputSource& source_;
    const LanguageTable& lang_;
    OutputRunControl& control_;
    OutputLog& log_;
    std::filesystem::path folder_;
    DocumentStamp stamp_;
    std::set<std::string> claimedNames_;  // file names of this run's documents, case folded
    std::vector<std::string> unsaved_;     // shared documents a stop left unsaved
    int failures_ = 0;
    int withoutTimes_ = 0;  // plans written without any time
};

}  // namespace

int RunOutput(const OutputSource& source, OutputRunControl& control, OutputLog& log) {
    return OutputRun(source, control, log).Run();
}

}  // namespace tak
