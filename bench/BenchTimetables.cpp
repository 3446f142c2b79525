// taktarium-bench-timetables: times the timetable builder and writers on a
// synthetic line: 100 trips (route variants over 30 stops) driven by 2,000
// tour trips on weekdays, Saturdays and Sundays, one plan with three day
// groups; then the whole timetable run of a project with 50 such plans;
// then a tour plan for a line with 60 tours and a stop table over a stop
// served by 3,000 departures a day; last the placement of columns by time
// for a line of many buses whose two directions share no stop.
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
#include "base/FileSystem.h"
#include "output/Output.h"
#include "output/OutputTimetable.h"
#include "output/OutputStopTable.h"
#include "output/OutputTimetableWriter.h"
#include "output/OutputTourPlan.h"

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

// --- Tour plan and stop table ---------------------------------------------------------

constexpr int kSheetStops = 20;
constexpr int kSheetTours = 60;
constexpr int kRoundTrips = 8;
constexpr int kStopTours = 100;
constexpr int kStopTripsPerTour = 30;  // 3,000 departures on a weekday

tak::Trip& AddSheetTrip(tak::MapData& map, const std::string& name, int firstId, int step, int count,
                        int minutesPerStop) {
    auto trip = std::make_unique<tak::Trip>();
    trip->name = name;
    trip->lineName = "9";
    tak::TripProfile profile;
    for (int i = 0; i < count; ++i) {
        int id = firstId + i * step;
        trip->stations.push_back(tak::TripStation{"Stop " + std::to_string(id), id, trip.get()});
        tak::StationTime time;
        time.arrival = i * minutesPerStop * 60;
        profile.times.push_back(time);
    }
    profile.duration = (count - 1) * minutesPerStop * 60;
    profile.times.push_back(tak::StationTime{0, 0, 0});
    trip->profiles.push_back(profile);
    map.trips.push_back(std::move(trip));
    return *map.trips.back();
}

void AddStart(tak::Tour& tour, const tak::Trip& trip, int32_t start) {
    tak::TourTrip tourTrip;
    tourTrip.startTime = start;
    tourTrip.trip = &trip;
    tourTrip.profile = &trip.profiles[0];
    tourTrip.tripName = trip.name;
    tour.trips.push_back(tourTrip);
}

// Line 9 between stops 101 and 120: 60 tours that pull out, drive eight
// round trips and pull in, and 100 tours that only serve stop 101.
struct SheetMap {
    tak::MapData map;
    tak::TourPlan tourPlan;
    tak::StopTable stopTable;
};

void BuildSheetMap(SheetMap& sheets) {
    tak::MapData& map = sheets.map;
    tak::Trip& out = AddSheetTrip(map, "9_out", 101, 1, kSheetStops, 2);
    tak::Trip& ret = AddSheetTrip(map, "9_ret", 100 + kSheetStops, -1, kSheetStops, 2);
    tak::Trip& pullOut = AddSheetTrip(map, "9_pullout", 199, 0, 2, 6);
    tak::Trip& pullIn = AddSheetTrip(map, "9_pullin", 101, 0, 2, 6);
    tak::Trip& shortTrip = AddSheetTrip(map, "9_short", 101, 1, kSheetStops / 2, 2);
    auto line = std::make_unique<tak::Line>();
    line->name = "9";
    const ServiceDays days[] = {0x31F, 0x320, 0x3C0};
    for (int t = 0; t < kSheetTours; ++t) {
        tak::Tour tour{"9-" + std::to_string(t), days[t % 3], {}};
        int32_t start = 4 * 3600 + t * 300;
        AddStart(tour, pullOut, start);
        start += 15 * 60;
        for (int k = 0; k < kRoundTrips; ++k) {
            AddStart(tour, out, start);
            AddStart(tour, ret, start + 45 * 60);
            start += 90 * 60;
        }
        AddStart(tour, pullIn, start - 5 * 60);
        line->tours.push_back(tour);
    }
    Random random;
    for (int t = 0; t < kStopTours; ++t) {
        // A quarter of them run Monday to Thursday only: letters in the table.
        tak::Tour tour{"9-S" + std::to_string(t), t % 4 == 3 ? 0x30Fu : 0x31Fu, {}};
        for (int k = 0; k < kStopTripsPerTour; ++k) {
            int32_t start = 5 * 3600 + static_cast<int32_t>(random.Next(19 * 3600));
            AddStart(tour, random.Next(5) == 0 ? shortTrip : out, start);
        }
        line->tours.push_back(tour);
    }
    map.lines.push_back(std::move(line));

    tak::TourPlan& plan = sheets.tourPlan;
    plan.name = "9";
    plan.displayLine = plan.displayIbis = plan.displayTarget = plan.displayOutIns = plan.displayPause = true;
    for (int t = 0; t < kSheetTours; ++t) plan.tours[map.lines[0]->tours[t].name] = &map.lines[0]->tours[t];
    for (const tak::Trip* trip : {&out, &ret, &pullOut, &pullIn}) {
        bool outward = trip == &out || trip == &pullOut;
        plan.trips.push_back({trip, trip == &pullOut || trip == &pullIn, false, outward ? "901" : "902",
                              outward ? "Stop 120" : "Stop 101"});
        (outward ? plan.outward : plan.returning).insert(trip->name);
    }
    for (int i = 0; i < kSheetStops; ++i) {
        plan.stopsOut.push_back({&out.stations[static_cast<std::size_t>(i)], out.stations[i].name, 2});
        plan.stopsRet.push_back({&ret.stations[static_cast<std::size_t>(i)], ret.stations[i].name, 2});
    }

    tak::StopTable& table = sheets.stopTable;
    table.name = "Stop 101";
    table.stations = {&out.stations[0]};
    table.days = {{"Weekdays", 0x31F}, {"Saturday", 0x320}, {"Sunday", 0x3C0}};
    for (const tak::Trip* trip : {&out, &shortTrip}) {
        tak::StopTableTrip& entry = tak::AddStopTableTrip(table, *trip);
        entry.alternative = trip == &shortTrip;
        entry.footnote = trip == &shortTrip ? "to stop 110 only" : "";
        table.selection.insert(trip->name);
    }
}

// A plan as the output run writes it: a document begun, drawn and saved.
template <typename Draw>
bool SavePlan(tak::DocumentFormat format, const fs::path& folder, const std::string& fileName, Draw draw) {
    tak::DocumentTarget target;
    if (!tak::BeginDocument(target, format)) return false;
    draw(target);
    return tak::SaveDocument(target, folder, fileName);
}

template <typename Work>
double Best(int repeat, Work work) {
    double best = 1e9;
    for (int r = 0; r < repeat; ++r) {
        auto start = Clock::now();
        work();
        best = std::min(best, Seconds(start));
    }
    return best;
}

void BenchSheets(int repeat, const tak::AppContext& context, const fs::path& working) {
    SheetMap sheets;
    BuildSheetMap(sheets);
    const tak::LanguageTable& lang = context.language;
    const tak::OutputOpt& options = context.project.outputOpt;
    const tak::LanguageTable& build = lang;

    tak::TourPlanGrid grid;
    double buildPlan = Best(repeat, [&] { grid = tak::BuildTourPlan(sheets.tourPlan, sheets.map, build); });
    tak::TourPlanWriteInput planInput{grid, sheets.tourPlan, lang, options};
    auto drawPlan = [&](tak::DocumentTarget& target) { tak::DrawTourPlan(target, planInput); };
    double planText = Best(repeat, [&] { SavePlan(tak::DocumentFormat::Text, working, "Tour plan.txt", drawPlan); });
    double planPdf = Best(repeat, [&] { SavePlan(tak::DocumentFormat::Pdf, working, "Tour plan.pdf", drawPlan); });
    std::printf("tour plan, %d tours of %d trips each (best of %d):\n", kSheetTours, 2 * kRoundTrips + 2, repeat);
    std::printf("  build                    %8.1f ms\n", buildPlan * 1000);
    std::printf("  write TXT                %8.1f ms\n", planText * 1000);
    std::printf("  write PDF                %8.1f ms\n", planPdf * 1000);

    tak::StopTableData data;
    double buildTable = Best(repeat, [&] { data = tak::BuildStopTable(sheets.stopTable, sheets.map, lang); });
    std::size_t weekday = 0;
    for (const tak::StopHour& hour : data.columns[0].hours) weekday += hour.departures.size();
    tak::StopTableWriteInput tableInput{data, sheets.stopTable, lang, options, nullptr};
    auto drawTable = [&](tak::DocumentTarget& target) { tak::DrawStopTable(target, tableInput); };
    double tableText = Best(repeat, [&] { SavePlan(tak::DocumentFormat::Text, working, "Stop table.txt", drawTable); });
    bool tableSaved = true;
    double tablePdf = Best(repeat, [&] {
        tableSaved = SavePlan(tak::DocumentFormat::Pdf, working, "Stop table.pdf", drawTable) && tableSaved;
    });
    if (!tableSaved) std::printf("  (the stop table PDF could not be saved: the figure below is not a full write)\n");
    std::printf("stop table, %zu weekday departures at one stop, %zu letters (best of %d):\n", weekday,
                data.legend.size(), repeat);
    std::printf("  build                    %8.1f ms\n", buildTable * 1000);
    std::printf("  write TXT                %8.1f ms\n", tableText * 1000);
    std::printf("  write PDF                %8.1f ms\n", tablePdf * 1000);
}

// --- Placement of many columns ------------------------------------------------------

constexpr int kShuttleStops = 5;  // per direction, each on its own side of the street

// `departures` trips of line 8 out and back, driven by buses of 100 round
// trips each that leave one after the other: the columns a plan of both
// directions places and joins.
tak::TimeTablePlan BuildShuttle(tak::MapData& map, int departures) {
    tak::Trip* directions[2] = {};
    for (int d = 0; d < 2; ++d) {
        auto trip = std::make_unique<tak::Trip>();
        trip->name = d == 0 ? "8_out" : "8_back";
        trip->lineName = "8";
        tak::TripProfile profile;
        for (int i = 0; i < kShuttleStops; ++i) {
            int id = 800 + 10 * d + i;
            map.stops[id] = tak::Stop{"Stop " + std::to_string(id), id};
            trip->stations.push_back(tak::TripStation{"Stop " + std::to_string(id), id, trip.get()});
            tak::StationTime time;
            time.arrival = i * 120;
            profile.times.push_back(time);
        }
        profile.times.push_back(tak::StationTime{0, 0, 0});
        trip->profiles.push_back(profile);
        directions[d] = trip.get();
        map.trips.push_back(std::move(trip));
    }
    constexpr int kBusRoundTrips = 100;
    constexpr int32_t kCycle = 3600;
    int buses = std::max(1, departures / (2 * kBusRoundTrips));
    auto line = std::make_unique<tak::Line>();
    line->name = "8";
    for (int bus = 0; bus < buses; ++bus) {
        tak::Tour tour{"8-" + std::to_string(bus), 0x31F, {}};
        int32_t start = 4 * 3600 + static_cast<int32_t>(int64_t{bus} * kCycle / buses);
        for (int k = 0; k < kBusRoundTrips; ++k) {
            AddStart(tour, *directions[0], start + k * kCycle);
            AddStart(tour, *directions[1], start + k * kCycle + kCycle / 2);
        }
        line->tours.push_back(std::move(tour));
    }
    map.lines.push_back(std::move(line));

    tak::TimeTablePlan plan;
    plan.name = "8";
    plan.line = "8";
    plan.trips = {directions[0], directions[1]};
    for (const tak::Trip* trip : plan.trips) {
        for (const tak::TripStation& station : trip->stations) {
            plan.stops.push_back(tak::PlanStop{&station, station.name, tak::kRowDeparture});
        }
    }
    plan.days = {{"Weekdays", 0x31F}};
    return plan;
}

void BenchPlacement(int repeat, const tak::LanguageTable& lang) {
    std::printf("placing the columns of a line out and back, 100 round trips per bus (best of %d):\n", repeat);
    for (int departures : {60000, 1000000}) {
        tak::MapData map;
        tak::TimeTablePlan plan = BuildShuttle(map, departures);
        std::size_t columns = 0;
        double cpu = 1e9;
        double wall = Best(repeat, [&] {
            double cpuStart = CpuSeconds();
            tak::TimetableGrid grid = tak::BuildTimetable(plan, map, false, lang);
            cpu = std::min(cpu, CpuSeconds() - cpuStart);
            columns = CountColumns(grid);
        });
        std::printf("  %8d departures     %8.1f ms wall, %8.1f ms processor  (%zu columns)\n", departures,
                    wall * 1000, cpu * 1000, columns);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 3;
    if (argc == 3 && std::strcmp(argv[1], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[2]));

    tak::AppContext context;
    BuildMap(*context.map);
    bool textsLoaded = context.language.LoadFromBytes(
        "TimeTable = Timetable\nTimeTables = Timetables\nPage = Page\nArrShort = arr\n"
        "DepShort = dep\nFootNote = Note\nIterUniNorm = every|%1|min\nTour = Tour\n"
        "TourPlan = Tour plan\nStop = Stop\nHour = Hour\nLineNumber = Line\n"
        "PauseTime = Layover\n");
    if (!textsLoaded) return 1;
    fs::path working = fs::temp_directory_path() / "taktarium-bench-timetables";
    fs::remove_all(working);
    context.workingFolder = working;
    context.projectName = "Bench";
    tak::TimeTablePlan plan = MakePlan(*context.map, 0);
    const tak::LanguageTable& build = context.language;

    double buildPdf = 1e9, buildText = 1e9, writePdf = 1e9, writeText = 1e9;
    std::size_t columnsPdf = 0, columnsText = 0;
    fs::create_directories(working);
    for (int r = 0; r < repeat; ++r) {
        auto start = Clock::now();
        tak::TimetableGrid grid = tak::BuildTimetable(plan, *context.map, true, build);
        buildPdf = std::min(buildPdf, Seconds(start));
        columnsPdf = CountColumns(grid);
        start = Clock::now();
        tak::TimetableWriteInput pdfInput{grid, plan, context.language, context.project.outputOpt, nullptr};
        SavePlan(tak::DocumentFormat::Pdf, working, "Timetable.pdf",
                 [&](tak::DocumentTarget& target) { tak::DrawTimetable(target, pdfInput); });
        writePdf = std::min(writePdf, Seconds(start));

        start = Clock::now();
        tak::TimetableGrid textGrid = tak::BuildTimetable(plan, *context.map, false, build);
        buildText = std::min(buildText, Seconds(start));
        columnsText = CountColumns(textGrid);
        start = Clock::now();
        tak::TimetableWriteInput textInput{textGrid, plan, context.language, context.project.outputOpt, nullptr};
        SavePlan(tak::DocumentFormat::Text, working, "Timetable.txt",
                 [&](tak::DocumentTarget& target) { tak::DrawTimetable(target, textInput); });
        writeText = std::min(writeText, Seconds(start));
    }
    std::printf("one plan, %d trips, %d tour trips, 3 day groups (best of %d):\n", kTrips, kTourTrips, repeat);
    std::printf("  build with condensation  %8.1f ms  (%zu columns)\n", buildPdf * 1000, columnsPdf);
    std::printf("  write PDF                %8.1f ms\n", writePdf * 1000);
    std::printf("  build without            %8.1f ms  (%zu columns)\n", buildText * 1000, columnsText);
    std::printf("  write TXT                %8.1f ms\n", writeText * 1000);

    for (int i = 0; i < kPlans; ++i) context.project.timeTablePlans.push_back(MakePlan(*context.map, i));
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
    fs::create_directories(working);
    BenchSheets(repeat, context, working);
    BenchPlacement(repeat, context.language);
    fs::remove_all(working);
    return 0;
}
