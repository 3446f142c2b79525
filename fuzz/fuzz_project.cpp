// Feeds arbitrary bytes as the project file of the demo map and runs every
// plan through the output builders and writers in memory: a shared PDF that
// is never saved and the text forms, so nothing is written to disk. A value
// only a hand-edited file can hold must neither hang nor crash the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "base/Language.h"
#include "mapdata/MapLoader.h"
#include "output/OutputStopTable.h"
#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"
#include "output/OutputTourPlan.h"
#include "persist/Project.h"

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

void RunPlans(const tak::Project& project, const DemoMap& demo) {
    const tak::OutputOpt& options = project.outputOpt;
    tak::TimetableBuildContext build{demo.lang};
    tak::DocumentTarget target;
    if (!tak::BeginSharedDocument(target)) return;
    for (const tak::TimeTablePlan& plan : project.timeTablePlans) {
        if (tak::CountSlots(plan.stops) > tak::kMaxTimetableSlots) continue;  // refused by the output run
        tak::TimetableGrid grid = tak::BuildTimetable(plan, demo.map, plan.mergeIterColumn, build);
        tak::TimetableWriteInput input{grid, plan, demo.lang, options, &project.routeSpiders};
        tak::WriteTimetablePdf(target, input);
        if (!plan.mergeIterColumn) (void)tak::TimetableText(input);
    }
    for (const auto& [name, plan] : project.tourPlans) {
        tak::TourPlanGrid grid = tak::BuildTourPlan(plan, demo.map, build);
        tak::TourPlanWriteInput input{grid, plan, demo.lang, options};
        tak::WriteTourPlanPdf(target, input);
        (void)tak::TourPlanText(input);
    }
    for (const tak::StopTable& table : project.stopTables) {
        tak::StopTableData data = tak::BuildStopTable(table, demo.map, demo.lang);
        tak::StopTableWriteInput input{data, table, demo.lang, options, &project.routeSpiders, {}};
        tak::WriteStopTablePages(target, input);
        (void)tak::StopTableText(input);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const DemoMap& demo = Demo();
    tak::Project project;
    tak::LoadProjectBytes(project, demo.map, std::string_view(reinterpret_cast<const char*>(data), size));
    RunPlans(project, demo);
    return 0;
}
