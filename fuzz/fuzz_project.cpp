// Feeds arbitrary bytes as the project file of the demo map (through the
// reader's standard-JSON path) and runs one of its plans through the output
// builders and writers in memory: a shared PDF that is never saved, or the
// text form, so nothing is written to disk. A value only a hand-edited file
// can hold must neither hang nor crash the run.
//
// Which plan and which form is taken from the input's size: each input stays
// small work (one plan, not every plan of the project in both forms), and the
// mutations that change the size reach every plan and both forms.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string_view>

#include "base/Language.h"
#include "mapdata/MapLoader.h"
#include "output/OutputStopTable.h"
#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"
#include "output/OutputTourPlan.h"
#include "persist/ProjectFile.h"

namespace {

struct DemoMap {
    tak::MapData map;
    tak::LanguageTable lang;

    DemoMap() {
        const std::filesystem::path source = TAKTARIUM_SOURCE_DIR;
        tak::LoadMap(map, source / "examples" / "DemoMap", tak::kNoDate, "de");
        // Without the texts the run would cover less than it claims to.
        if (!lang.LoadLanguage(source / "Language", "German")) {
            std::fprintf(stderr, "fuzz_project: no German language file below %s\n", TAKTARIUM_SOURCE_DIR);
            std::abort();
        }
    }
};

const DemoMap& Demo() {
    static const DemoMap demo;
    return demo;
}

// Runs plan number `chosen` of the project, counting timetables, tour plans
// and stop tables in that order; as PDF or as text.
void RunPlan(const tak::Project& project, const DemoMap& demo, std::size_t chosen, bool pdf) {
    const tak::OutputOpt& options = project.outputOpt;
    const tak::LanguageTable& build = demo.lang;
    tak::DocumentTarget target;
    if (pdf && !tak::BeginSharedDocument(target)) return;
    if (chosen < project.timeTablePlans.size()) {
        const tak::TimeTablePlan& plan = project.timeTablePlans[chosen];
        if (tak::CountSlots(plan.stops) > tak::kMaxTimetableSlots) return;  // refused by the output run
        tak::TimetableGrid grid = tak::BuildTimetable(plan, demo.map, pdf && plan.mergeIterColumn, build);
        tak::TimetableWriteInput input{grid, plan, demo.lang, options, &project.routeSpiders};
        if (pdf) {
            tak::DrawTimetable(target, input);
        } else {
            (void)tak::TimetableText(input);
        }
        return;
    }
    chosen -= project.timeTablePlans.size();
    if (chosen < project.tourPlans.size()) {
        const tak::TourPlan& plan = std::next(project.tourPlans.begin(), static_cast<std::ptrdiff_t>(chosen))->second;
        tak::TourPlanGrid grid = tak::BuildTourPlan(plan, demo.map, build);
        tak::TourPlanWriteInput input{grid, plan, demo.lang, options};
        if (pdf) {
            tak::DrawTourPlan(target, input);
        } else {
            (void)tak::TourPlanText(input);
        }
        return;
    }
    chosen -= project.tourPlans.size();
    if (chosen < project.stopTables.size()) {
        const tak::StopTable& table = project.stopTables[chosen];
        tak::StopTableData data = tak::BuildStopTable(table, demo.map, demo.lang);
        tak::StopTableWriteInput input{data, table, demo.lang, options, &project.routeSpiders, {}};
        if (pdf) {
            tak::WriteStopTablePages(target, input);
        } else {
            (void)tak::StopTableText(input);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const DemoMap& demo = Demo();
    tak::Project project;
    tak::LoadProjectBytes(project, demo.map, std::string_view(reinterpret_cast<const char*>(data), size));
    const std::size_t plans = project.timeTablePlans.size() + project.tourPlans.size() + project.stopTables.size();
    if (plans > 0) RunPlan(project, demo, size / 2 % plans, size % 2 == 0);
    return 0;
}
