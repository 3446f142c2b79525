#include "output/Output.h"

#include <system_error>

#include "base/FileSystem.h"
#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"
#include "persist/Language.h"

namespace tak {

namespace {

class OutputRun {
public:
    OutputRun(const AppContext& context, OutputRunControl& control, OutputLog& log)
        : context_(context), lang_(context.language), control_(control), log_(log), folder_(OutputFolder(context)) {}

    int Run() {
        if (!context_.project.timeTablePlans.empty()) {
            log_.LogLine(lang_.Lang("CrTimeTables") + "...");
            RunTimetables();
        }
        // Tour plans, stop tables and the route map follow here in this order
        // once their writers exist (the next issues wire them in).
        int running = kOutputRunning;
        if (control_.state.compare_exchange_strong(running, kOutputFinished)) {
            log_.LogLine(lang_.Lang("OutputCreated") + "!");
        }
        return failures_;
    }

private:
    bool StopRequested() const { return control_.state.load() == kOutputStopRequested; }

    void LogFailure(std::string_view what) {
        log_.LogLine(FillPlaceholders(lang_.Lang("ErrCreateOutput"), {what}));
        ++failures_;
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
        for (const TimeTablePlan& plan : context_.project.timeTablePlans) {
            if (StopRequested()) return;  // a shared document is then not saved
            log_.LogLine(lang_.Lang("TimeTable") + ": " + plan.name);
            TimetableGrid grid = BuildTimetable(plan, context_.map, pdf && plan.mergeIterColumn, build);
            grid.outputFolder = folder_;
            TimetableWriteInput input{grid, plan, lang_, options, &context_.project.routeSpiders};
            bool written = false;
            if (!pdf) {
                written = WriteTimetableText(input);
            } else if (shared) {
                written = WriteTimetablePdf(sharedTarget, input);
            } else {
                TimetablePdfTarget target;
                written = WriteTimetablePdf(target, input);
            }
            if (!written) LogFailure(plan.name);
        }
        if (shared) {
            std::string name = lang_.Lang("TimeTables") + ".pdf";
            bool saved = IsValidFileNamePart(name) &&
                         sharedTarget.pdf.SaveDocument(PathText(folder_ / PathFromText(name)));
            if (!saved) LogFailure(lang_.Lang("TimeTable"));
        }
    }

    const AppContext& context_;
    const LanguageTable& lang_;
    OutputRunControl& control_;
    OutputLog& log_;
    std::filesystem::path folder_;
    int failures_ = 0;
};

}  // namespace

std::filesystem::path OutputFolder(const AppContext& context) {
    return context.workingFolder / "output" / PathFromText(context.projectName);
}

int RunOutput(const AppContext& context, OutputRunControl& control, OutputLog& log) {
    return OutputRun(context, control, log).Run();
}

}  // namespace tak
