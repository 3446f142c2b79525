// taktarium-bench-routemap: times the route map layout and the full output
// image on a synthetic map: a 300 x 300 grid, 40 lines, 400 stops (a quarter
// fixed, the rest placed by the layout) and 600 connections; and what one
// edit in the route map window costs there: the layout after it, with and
// without the searches of the run before, and the redraw of the window's view.
//
//   taktarium-bench-routemap [--repeat N] [--write FILE.png]
//   taktarium-bench-routemap --project FILE.cfg --write FILE.png [--dump]
//
// With --project it lays out and draws the route map of a project file
// instead, to look at, and counts the labels that cannot be read (clipped,
// overlapping, on other stops' boxes) as the plain rule and as the layout
// place them; --dump prints the layout as text.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "mapdata/MapData.h"
#include "persist/ProjectFile.h"
#include "routemap/RouteMapEdit.h"
#include "routemap/RouteMapLabels.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"
#include "routemap/RouteMapLineOrder.h"
#include "routemap/RouteMapOutput.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kGrid = 300;
constexpr int kLines = 40;
constexpr int kLattice = 10;        // fixed stops on a 10 x 10 lattice
constexpr int kLatticeStep = 30;    // cells between fixed stops
constexpr int kStopsPerLine = 16;   // 15 connections each
constexpr int kAutoStops = 300;

// A small deterministic generator, so that every run times the same map.
struct Random {
    uint32_t state = 20261207;
    uint32_t Next(uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

// A walk over the lattice of fixed stops without revisits, as long as it
// finds unvisited neighbours.
std::vector<int> LatticeWalk(Random& random, int length) {
    std::vector<int> walk{static_cast<int>(random.Next(kLattice * kLattice))};
    while (static_cast<int>(walk.size()) < length) {
        int at = walk.back();
        std::vector<int> next;
        const int x = at % kLattice;
        const int y = at / kLattice;
        if (x > 0) next.push_back(at - 1);
        if (x < kLattice - 1) next.push_back(at + 1);
        if (y > 0) next.push_back(at - kLattice);
        if (y < kLattice - 1) next.push_back(at + kLattice);
        next.erase(std::remove_if(next.begin(), next.end(),
                                  [&](int n) { return std::find(walk.begin(), walk.end(), n) != walk.end(); }),
                   next.end());
        if (next.empty()) break;
        walk.push_back(next[random.Next(static_cast<uint32_t>(next.size()))]);
    }
    return walk;
}

tak::RouteMap BuildMap() {
    Random random;
    tak::RouteMap map;
    map.width = kGrid;
    map.height = kGrid;
    std::vector<tak::RouteKey> fixed;
    for (int i = 0; i < kLattice * kLattice; ++i) {
        tak::RouteStop& stop = tak::AddRouteStop(map, "Fixed " + std::to_string(i));
        stop.automatic = false;
        stop.stored = tak::StopBox{15 + kLatticeStep * (i % kLattice), 15 + kLatticeStep * (i / kLattice), 3, 3};
        fixed.push_back(stop.key);
    }
    int autoMade = 0;
    for (int l = 0; l < kLines; ++l) {
        std::string name = "L";
        name += std::to_string(l + 1);  // not "L" + ...: GCC 12 warns falsely on that in Release
        tak::RouteLine& line = tak::AddRouteLine(map, name);
        line.autoNames = true;
        line.stroke = l % 8 == 7 ? 1 : 0;
        line.thickness = 2 + l % 3;
        const tak::RouteKey lineKey = line.key;
        // 7 or 8 automatic stops per line make 300 in all; the rest of its
        // 16 stops are fixed stops along a lattice walk.
        const int autoCount = l % 2 == 0 ? 7 : 8;
        std::vector<int> walk = LatticeWalk(random, kStopsPerLine - autoCount);
        std::vector<tak::RouteKey> chain;
        int autoLeft = autoCount;
        for (std::size_t i = 0; i < walk.size(); ++i) {
            chain.push_back(fixed[static_cast<std::size_t>(walk[i])]);
            const int gapsLeft = static_cast<int>(walk.size() - i) - 1;
            const int here = gapsLeft > 0 ? (autoLeft + gapsLeft - 1) / gapsLeft : 0;
            for (int a = 0; a < here && autoMade < kAutoStops; ++a, --autoLeft) {
                chain.push_back(tak::AddRouteStop(map, "Auto " + std::to_string(autoMade++)).key);
            }
        }
        for (std::size_t i = 1; i < chain.size(); ++i) tak::AddConnection(map, lineKey, chain[i - 1], chain[i]);
    }
    return map;
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Processor time of this process: the machine may be shared, and wall time
// then counts the waits for a core as well.
double ProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The layout as text: boxes of placed stops, then each connection's ends and path.
void DumpLayout(const tak::RouteMap& map, const tak::RouteMapLayoutResult& layout) {
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        const tak::StopBox& box = layout.stops[i].box;
        std::printf("stop %s: %d,%d %dx%d\n", map.stops[i].name.c_str(), box.x, box.y, box.width, box.height);
    }
    for (const auto& c : layout.connections) {
        const tak::RouteStop* a = tak::FindRouteStop(map, c.ends[0].stop);
        const tak::RouteStop* b = tak::FindRouteStop(map, c.ends[1].stop);
        std::printf("%s (%d/%d) - %s (%d/%d):", a ? a->name.c_str() : "?", c.ends[0].side, c.ends[0].port,
                    b ? b->name.c_str() : "?", c.ends[1].side, c.ends[1].port);
        for (const auto& p : c.path) std::printf(" %d,%d", p.x, p.y);
        std::printf("\n");
    }
}

// Labels that cannot be read: those reaching past the image, pairs of labels
// that overlap, and labels overlapping a stop box other than their own.
struct LabelTrouble {
    int clipped = 0;
    int overlappingLabels = 0;
    int onBoxes = 0;
};

LabelTrouble CountLabelTrouble(const tak::RouteMap& map, const tak::RouteMapLayoutResult& layout) {
    struct Placed {
        tak::RouteKey stop;
        tak::LabelShape rect;  // turned with its label
    };
    std::vector<Placed> labels;
    const tak::PixelRect image{0, 0, 16 * map.width + 1, 16 * map.height + 1};
    LabelTrouble trouble;
    for (std::size_t s = 0; s < map.stops.size(); ++s) {
        const tak::RouteStop& stop = map.stops[s];
        for (const auto& label : layout.stops[s].labels) {
            const tak::LabelShape r = tak::StopLabelShape(map, stop, layout.stops[s].box, label);
            if (r.Empty()) continue;
            if (!r.Inside(image)) ++trouble.clipped;
            labels.push_back({stop.key, r});
        }
    }
    for (std::size_t i = 0; i < labels.size(); ++i) {
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            if (labels[i].rect.Overlaps(labels[j].rect)) ++trouble.overlappingLabels;
        }
        for (std::size_t s = 0; s < map.stops.size(); ++s) {
            const tak::PixelRect box = tak::StopBoxBounds(map.stops[s], layout.stops[s].box);
            if (map.stops[s].key != labels[i].stop && labels[i].rect.Overlaps(tak::LabelShape::Of(box))) {
                ++trouble.onBoxes;
            }
        }
    }
    return trouble;
}

void PrintLabelTrouble(const char* when, const LabelTrouble& t) {
    std::printf("%s: %d labels clipped, %d overlapping label pairs, %d labels on other stops' boxes\n", when, t.clipped,
                t.overlappingLabels, t.onBoxes);
}

// The editor's cost of one edit: the edit, the layout, and the redraw of a
// window's view of 1200 x 800 pixels around the edited place, in editor mode.
void BenchEdits(const tak::RouteMap& source, int edits, bool useCache) {
    tak::RouteMap map = source;
    std::printf("%s\n", useCache ? "with the searches of the last run kept:" : "every layout from scratch:");
    tak::RouteMapLayoutCache cache;
    const double firstStart = ProcessorMilliseconds();
    tak::RouteMapLayoutResult layout = tak::LayoutRouteMap(map, useCache ? &cache : nullptr);
    if (useCache) {
        // An edit that changes every search (the grid's size, diagonals) costs this.
        std::printf("  first layout, every search made and kept: processor time %.1f ms\n",
                    ProcessorMilliseconds() - firstStart);
    }
    int64_t reused = 0;
    int64_t searched = 0;
    Random random;
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> layoutOnly;
    tak::RouteMapImage view{1200, 800, std::vector<uint8_t>(1200 * 800), {{255, 255, 255}}};
    for (int i = 0; i < edits; ++i) {
        const double cpuStart = ProcessorMilliseconds();
        Clock::time_point start = Clock::now();
        tak::GridPoint at{0, 0};
        if (i % 3 != 2) {
            // Move one fixed stop a cell, as the area arrows do.
            std::vector<const tak::RouteStop*> fixed;
            for (const auto& candidate : map.stops) {
                if (!candidate.automatic) fixed.push_back(&candidate);
            }
            const tak::RouteStop& stop = *fixed[random.Next(static_cast<uint32_t>(fixed.size()))];
            tak::AreaSelection area;
            area.stops.insert(stop.key);
            const int d = static_cast<int>(random.Next(4));
            tak::MoveRouteMap(map, d == 0 ? 1 : d == 1 ? -1 : 0, d == 2 ? 1 : d == 3 ? -1 : 0, &area);
            at = {stop.stored.x, stop.stored.y};
        } else {
            // Switch a line's automatic names.
            auto& line = map.lines[random.Next(static_cast<uint32_t>(map.lines.size()))];
            line.autoNames = !line.autoNames;
        }
        layout = tak::LayoutRouteMap(map, useCache ? &cache : nullptr);
        reused += cache.LastRun().reused;
        searched += cache.LastRun().searched;
        layoutOnly.push_back(Milliseconds(Clock::now() - start));
        tak::RouteMapEditorView editor;
        tak::RouteMapCanvas canvas(view, tak::GridPoint{std::max(0, 16 * at.x - 600), std::max(0, 16 * at.y - 400)});
        tak::DrawRouteMap(map, layout, canvas, &editor);
        wall.push_back(Milliseconds(Clock::now() - start));
        cpu.push_back(ProcessorMilliseconds() - cpuStart);
    }
    auto percentile = [](std::vector<double> v, double q) {
        std::sort(v.begin(), v.end());
        return v[static_cast<std::size_t>(q * double(v.size() - 1))];
    };
    if (useCache) {
        std::printf("  searches reused %lld, made %lld\n", static_cast<long long>(reused), static_cast<long long>(searched));
    }
    std::printf("  edit + layout:          median %.1f ms, 90%% %.1f ms over %d edits\n", percentile(layoutOnly, 0.5),
                percentile(layoutOnly, 0.9), edits);
    std::printf("  edit + layout + redraw: median %.1f ms, 90%% %.1f ms (processor time median %.1f ms, 90%% %.1f ms)\n",
                percentile(wall, 0.5), percentile(wall, 0.9), percentile(cpu, 0.5), percentile(cpu, 0.9));
}

int RenderProject(const char* projectFile, const char* pngFile, bool dump) {
    tak::Project project;
    tak::MapData noMap;
    tak::ProjectLoadResult loaded = tak::LoadProject(project, noMap, projectFile);
    if (!loaded.parsed) {
        std::fprintf(stderr, "cannot read %s\n", projectFile);
        return 1;
    }
    const tak::RouteMap& map = project.routeMap;
    const tak::RouteMapLayoutResult layout = tak::LayoutRouteMap(map);
    if (dump) DumpLayout(map, layout);
    {
        // The plain rule's places, as the layout had them before it cleared them.
        tak::RouteMapLayoutResult plain = layout;
        for (auto& stop : plain.stops) {
            if (stop.box.x < 0) continue;
            for (std::size_t i = 0; i < stop.labels.size(); ++i) {
                if (stop.labels[i].automatic) tak::PlaceStopLabel(stop, i);
            }
        }
        PrintLabelTrouble("labels by the plain rule", CountLabelTrouble(map, plain));
        PrintLabelTrouble("labels as laid out     ", CountLabelTrouble(map, layout));
        std::printf("labels left crowded by the layout: %d\n", layout.crowdedLabels);
    }
    std::optional<tak::RouteMapImage> image = tak::RenderRouteMap(map, layout);
    if (!image || !tak::WriteRouteMapPng(*image, pngFile)) {
        std::fprintf(stderr, "cannot write %s\n", pngFile);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 9;
    const char* projectFile = nullptr;
    const char* pngFile = nullptr;
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dump") == 0) dump = true;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--project") == 0) projectFile = argv[i + 1];
        if (std::strcmp(argv[i], "--write") == 0) pngFile = argv[i + 1];
    }
    if (projectFile) return pngFile ? RenderProject(projectFile, pngFile, dump) : 2;

    const tak::RouteMap source = BuildMap();
    BenchEdits(source, 60, false);
    BenchEdits(source, 60, true);
    std::vector<double> layoutTimes;
    std::vector<double> layoutCpuTimes;
    std::vector<double> fullTimes;
    std::vector<double> fullCpuTimes;
    std::vector<double> drawTimes;
    std::vector<double> pngTimes;
    tak::RouteMapLayoutResult laidOut;
    const fs::path png = fs::temp_directory_path() / "taktarium-bench-routemap.png";
    for (int run = 0; run < repeat; ++run) {
        const double cpuStart = ProcessorMilliseconds();
        Clock::time_point start = Clock::now();
        tak::RouteMapLayoutResult layout = tak::LayoutRouteMap(source);
        layoutTimes.push_back(Milliseconds(Clock::now() - start));
        layoutCpuTimes.push_back(ProcessorMilliseconds() - cpuStart);

        const double fullCpuStart = ProcessorMilliseconds();
        start = Clock::now();
        layout = tak::LayoutRouteMap(source);
        Clock::time_point laid = Clock::now();
        std::optional<tak::RouteMapImage> image = tak::RenderRouteMap(source, layout);
        Clock::time_point drawn = Clock::now();
        bool written = image && tak::WriteRouteMapPng(*image, pngFile ? fs::path(pngFile) : png);
        Clock::time_point saved = Clock::now();
        fullTimes.push_back(Milliseconds(saved - start));
        fullCpuTimes.push_back(ProcessorMilliseconds() - fullCpuStart);
        drawTimes.push_back(Milliseconds(drawn - laid));
        pngTimes.push_back(Milliseconds(saved - drawn));
        if (!written) {
            std::fprintf(stderr, "cannot write the image\n");
            return 1;
        }
        laidOut = std::move(layout);
    }
    if (!pngFile) fs::remove(png);

    std::size_t placed = std::count_if(laidOut.stops.begin(), laidOut.stops.end(),
                                       [](const tak::StopPlace& s) { return s.box.x >= 0; });
    std::size_t routed = std::count_if(laidOut.connections.begin(), laidOut.connections.end(),
                                       [](const tak::ConnectionRoute& c) { return !c.path.empty(); });
    std::printf("map: %dx%d grid, %zu lines, %zu stops (%zu placed after layout), %zu connections (%zu routed)\n",
                kGrid, kGrid, source.lines.size(), source.stops.size(), placed, source.connections.size(), routed);
    std::printf("labels left crowded by the layout: %d\n", laidOut.crowdedLabels);
    std::printf("line crossings: %d with the lines in list order, %d in the chosen lanes\n",
                tak::CountLineCrossings(source, laidOut,
                                        tak::ComputeLineLanes(source, laidOut, tak::LaneOrdering::kListOrder)),
                tak::CountLineCrossings(source, laidOut, tak::ComputeLineLanes(source, laidOut)));
    std::printf("layout:               median %.1f ms over %d runs (processor time %.1f ms)\n",
                Median(layoutTimes), repeat, Median(layoutCpuTimes));
    std::printf("layout + render + PNG: median %.1f ms over %d runs (processor time %.1f ms; drawing %.1f ms, "
                "PNG file %.1f ms)\n",
                Median(fullTimes), repeat, Median(fullCpuTimes), Median(drawTimes), Median(pngTimes));
    return 0;
}
