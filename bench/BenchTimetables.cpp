// taktarium-bench-timetables: times the timetable builder and writers on a
// synthetic line: 100 trips (route variants over 30 stops) driven by 2,000
// tour trips on weekdays, Saturdays and Sundays, one plan with three day
// groups; then the whole timetable run of a project with 50 such plans.
//
//   taktarium-bench-timetables [--repeat N]

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/AppContext.h"
#include "output/Output.h"
#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tak::ServiceDays;

constexpr int kStops = 30;
constexpr int kTrips = 100;
constexpr int kTourTrips = 2000;
constexpr int kPlans = 50;

// A small deterministic generator, so that every run times the same map.
struct Random {
    uint32_t state = 12345;
    uint32_t Next(uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

void BuildMap(tak::MapData& map) {
    Random random;
    for (int id = 1; id <= kStops; ++id) map.stops[id] = tak::Stop{"Stop " + std::to_string(id), id};
    for (int t = 0; t < kTrips; ++t) {
        auto trip = std::make_unique<tak::Trip>();
        trip->name = "Trip " + std::to_string(t);
        trip->lineName = "7";
        // Variants start and end at different stops and skip a few.
        int first = static_cast<int>(random.Next(5));
        int last = kStops - static_cast<int>(random.Next(5));
        tak::TripProfile profile;
        int minute = 0;
        for (int id = first + 1; id <= last; ++id) {
            if (id != first + 1 && id != last && random.Next(8) == 0) continue;
            trip->stations.push_back(tak::TripStation{"Stop " + std::to_string(id), id, trip.get()});
            tak::StationTime time;
            time.arrival = minute * 60;
            if (random.Next(4) == 0) time.departure = minute * 60 + 30;
            profile.times.push_back(time);
            minute += 1 + static_cast<int>(random.Next(3));
        }
        profile.times.push_back(tak::StationTime{0, 0, 0});
        trip->profiles.push_back(profile);
        map.trips.push_back(std::move(trip));
    }
    auto line = std::make_unique<tak::Line>();
    line->name = "7";
    const ServiceDays days[] = {0x31F, 0x320, 0x3C0};
    constexpr int kPerTour = 50;
    int regularInGroup[3] = {0, 0, 0};
    for (int tour = 0; tour * kPerTour < kTourTrips; ++tour) {
        tak::Tour record;
        record.name = "7-" + std::to_string(tour);
        int group = tour % 3;
        record.days = days[group];
        // Half of the tours run a ten-minute service over a window of their
        // own (the columns an interval condenses); the others run scattered
        // trips in the evening.
        bool regular = tour % 2 == 0;
        int32_t start = regular ? 4 * 3600 + regularInGroup[group]++ * kPerTour * 600
                                : 18 * 3600 + static_cast<int32_t>(random.Next(3600));
        for (int k = 0; k < kPerTour; ++k) {
            const tak::Trip& trip = *map.trips[regular ? 0 : random.Next(kTrips)];
            tak::TourTrip tourTrip;
            tourTrip.startTime = start;
            tourTrip.trip = &trip;
            tourTrip.profile = &trip.profiles[0];
            record.trips.push_back(tourTrip);
            start += regular ? 600 : 60 + static_cast<int32_t>(random.Next(600));
        }
        line->tours.push_back(record);
    }
    map.lines.push_back(std::move(line));
}

tak::TimeTablePlan MakePlan(const tak::MapData& map, int index) {
    tak::TimeTablePlan plan;
    plan.name = "Plan " + std::to_string(index);
    plan.line = "7";
    plan.mergeIterColumn = true;
    for (const auto& trip : map.trips) plan.trips.push_back(trip.get());
    for (int id = 1; id <= kStops; ++id) {
        tak::PlanStop row;
        row.station = map.FindStationByStopId(id);
        row.name = "Stop " + std::to_string(id);
        row.flags = id == 10 ? tak::kRowArrival | tak::kRowDeparture : tak::kRowDeparture;
        plan.stops.push_back(row);
    }
    plan.days = {{"Weekdays", 0x31F}, {"Saturday", 0x320}, {"Sunday", 0x3C0}};
    return plan;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Processor time of this process, so that a busy machine does not hide the cost.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::size_t CountColumns(const tak::TimetableGrid& grid) {
    std::size_t count = 0;
    for (const auto& group : grid.groups) count += group.columns.size();
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 3;
    if (argc == 3 && std::strcmp(argv[1], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[2]));

    tak::AppContext context;
    BuildMap(context.map);
    context.language.LoadFromBytes("TimeTable = Timetable\nTimeTables = Timetables\nPage = Page\nArrShort = arr\n"
                                   "DepShort = dep\nFootNote = Note\nIterUniNorm = every|%1|min\n");
    fs::path working = fs::temp_directory_path() / "taktarium-bench-timetables";
    fs::remove_all(working);
    context.workingFolder = working;
    context.projectName = "Bench";
    tak::TimeTablePlan plan = MakePlan(context.map, 0);
    tak::TimetableBuildContext build{context.language};

    double buildPdf = 1e9, buildText = 1e9, writePdf = 1e9, writeText = 1e9;
    std::size_t columnsPdf = 0, columnsText = 0;
    fs::create_directories(working);
    for (int r = 0; r < repeat; ++r) {
        auto start = Clock::now();
        tak::TimetableGrid grid = tak::BuildTimetable(plan, context.map, true, build);
        buildPdf = std::min(buildPdf, Seconds(start));
        columnsPdf = CountColumns(grid);
        grid.outputFolder = working;
        start = Clock::now();
        tak::TimetablePdfTarget target;
        tak::WriteTimetablePdf(target, {grid, plan, context.language, context.project.outputOpt, nullptr});
        writePdf = std::min(writePdf, Seconds(start));

        start = Clock::now();
        tak::TimetableGrid textGrid = tak::BuildTimetable(plan, context.map, false, build);
        buildText = std::min(buildText, Seconds(start));
        columnsText = CountColumns(textGrid);
        textGrid.outputFolder = working;
        start = Clock::now();
        tak::WriteTimetableText({textGrid, plan, context.language, context.project.outputOpt, nullptr});
        writeText = std::min(writeText, Seconds(start));
    }
    std::printf("one plan, %d trips, %d tour trips, 3 day groups (best of %d):\n", kTrips, kTourTrips, repeat);
    std::printf("  build with condensation  %8.1f ms  (%zu columns)\n", buildPdf * 1000, columnsPdf);
    std::printf("  write PDF                %8.1f ms\n", writePdf * 1000);
    std::printf("  build without            %8.1f ms  (%zu columns)\n", buildText * 1000, columnsText);
    std::printf("  write TXT                %8.1f ms\n", writeText * 1000);

    for (int i = 0; i < kPlans; ++i) context.project.timeTablePlans.push_back(MakePlan(context.map, i));
    for (int format : {tak::kOutputPdf, tak::kOutputText}) {
        context.project.outputOpt.format = format;
        double best = 1e9, bestCpu = 1e9;
        for (int r = 0; r < repeat; ++r) {
            tak::OutputRunControl control;
            tak::OutputLog log;
            auto start = Clock::now();
            double cpuStart = CpuSeconds();
            int failures = tak::RunOutput(context, control, log);
            best = std::min(best, Seconds(start));
            bestCpu = std::min(bestCpu, CpuSeconds() - cpuStart);
            if (failures != 0) std::printf("  %d documents failed\n", failures);
        }
        std::uintmax_t bytes = 0;
        for (const auto& entry : fs::directory_iterator(working / "output" / "Bench")) bytes += entry.file_size();
        std::printf("run of %d plans as %s  %8.1f ms wall, %8.1f ms processor, %6.1f MB written\n", kPlans,
                    format == tak::kOutputPdf ? "PDF" : "TXT", best * 1000, bestCpu * 1000,
                    static_cast<double>(bytes) / 1e6);
        fs::remove_all(working / "output");
    }
    fs::remove_all(working);
    return 0;
}
