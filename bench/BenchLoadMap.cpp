// taktarium-bench-loadmap: times LoadMap on a map folder, warm cache, next to
// the time of only reading the bytes of the same files. Reading is the floor
// no loader can beat; the ratio tells how much the parsing costs on top.
//
//   taktarium-bench-loadmap MAPDIR [--repeat N] [--date YYYY-MM-DD] [--lang SHORT]

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/FileSystem.h"
#include "mapdata/MapCheck.h"
#include "mapdata/MapData.h"
#include "mapdata/MapLoader.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    fs::path mapFolder;
    int repeat = 10;
    tak::DateValue date = tak::kNoDate;
    std::string languageShort = "de";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            std::string_view text = argv[++i];
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), options.repeat);
            if (error != std::errc() || end != text.data() + text.size() || options.repeat < 1) return false;
        } else if (arg == "--date" && i + 1 < argc) {
            options.date = tak::ParseDateText(argv[++i]);
            if (options.date == tak::kNoDate) return false;
        } else if (arg == "--lang" && i + 1 < argc) {
            options.languageShort = argv[++i];
        } else if (arg.starts_with("--") || !options.mapFolder.empty()) {
            return false;
        } else {
            options.mapFolder = tak::PathFromText(arg);
        }
    }
    return !options.mapFolder.empty();
}

// The folders whose files a load reads: the map's TTData and, for every
// event, its folder (settings and descriptions) and, when the event is active
// on the date, its TTData.
std::vector<fs::path> FoldersOfLoad(const Options& options, const tak::MapData& loaded) {
    std::vector<fs::path> folders;
    if (auto ttData = tak::FindPathIgnoringCase(options.mapFolder, "TTData")) folders.push_back(*ttData);
    auto chrono = tak::FindPathIgnoringCase(options.mapFolder, "Chrono");
    if (!chrono) return folders;
    for (const auto& event : loaded.chronoEvents) {
        fs::path eventFolder = *chrono / tak::PathFromText(event.folder);
        folders.push_back(eventFolder);
        if (options.date != tak::kNoDate && tak::IsChronoActive(options.date, event)) {
            if (auto ttData = tak::FindPathIgnoringCase(eventFolder, "TTData")) folders.push_back(*ttData);
        }
    }
    return folders;
}

struct ReadTotals {
    int files = 0;
    uint64_t bytes = 0;
};

// Lists each folder and reads every regular file in it to the end with plain
// stdio into one reused buffer: the least work that touches every byte.
ReadTotals ReadAllBytes(const std::vector<fs::path>& folders, std::vector<char>& buffer) {
    ReadTotals totals;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) continue;
            std::FILE* file = std::fopen(it->path().c_str(), "rb");
            if (!file) continue;
            std::size_t got = 0;
            while ((got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) totals.bytes += got;
            std::fclose(file);
            ++totals.files;
        }
    }
    return totals;
}

// The same, through the project's own file helper, which the loader uses.
uint64_t ReadAllWithHelper(const std::vector<fs::path>& folders) {
    uint64_t bytes = 0;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) continue;
            if (auto content = tak::ReadFileBytes(it->path())) bytes += content->size();
        }
    }
    return bytes;
}

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

struct Timing {
    double median = 0;
    double min = 0;
    double max = 0;
};

Timing Summarize(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::size_t n = samples.size();
    double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {median, samples.front(), samples.back()};
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: taktarium-bench-loadmap MAPDIR [--repeat N] [--date YYYY-MM-DD] [--lang SHORT]\n"
                     "Times LoadMap (median of N runs, default 10, after one warm-up run) next to only\n"
                     "listing and reading the bytes of the files that load reads.\n");
        return 2;
    }

    // Warm-up: fills the page cache and tells which event folders the load reads.
    tak::MapData warm;
    if (!tak::LoadMap(warm, options.mapFolder, options.date, options.languageShort)) {
        std::fprintf(stderr, "taktarium-bench-loadmap: %s has no timetable folder\n",
                     options.mapFolder.string().c_str());
        return 1;
    }
    const tak::MapCounts counts = tak::CountMap(warm);
    const std::vector<fs::path> folders = FoldersOfLoad(options, warm);
    std::vector<char> buffer(1 << 16);
    const ReadTotals read = ReadAllBytes(folders, buffer);
    ReadAllWithHelper(folders);

    std::vector<double> loadTimes, readTimes, helperTimes, recordedLoadTimes, checkTimes;
    std::size_t findings = 0;
    for (int run = 0; run < options.repeat; ++run) {
        {
            tak::MapData map;
            auto start = Clock::now();
            tak::LoadMap(map, options.mapFolder, options.date, options.languageShort);
            loadTimes.push_back(Milliseconds(Clock::now() - start));
        }  // freeing the map is not part of the load
        {
            tak::MapData map;
            tak::MapCheckRecord record;
            auto start = Clock::now();
            tak::LoadMap(map, options.mapFolder, options.date, options.languageShort, &record);
            recordedLoadTimes.push_back(Milliseconds(Clock::now() - start));
            start = Clock::now();
            findings = tak::CheckMap(map, record).size();
            checkTimes.push_back(Milliseconds(Clock::now() - start));
        }
        auto start = Clock::now();
        ReadAllBytes(folders, buffer);
        readTimes.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        ReadAllWithHelper(folders);
        helperTimes.push_back(Milliseconds(Clock::now() - start));
    }

    const Timing load = Summarize(loadTimes);
    const Timing raw = Summarize(readTimes);
    const Timing helper = Summarize(helperTimes);
    std::printf("map: %s\n", options.mapFolder.string().c_str());
    std::printf("  %d files, %.1f MB read; %zu stops, %zu trips, %zu profiles, %zu lines, %zu tours, "
                "%zu tour trips, %zu chrono events\n",
                read.files, static_cast<double>(read.bytes) / 1e6, counts.stops, counts.trips, counts.profiles,
                counts.lines, counts.tours, counts.tourTrips, warm.chronoEvents.size());
    std::printf("runs: %d (after one warm-up)\n", options.repeat);
    std::printf("LoadMap                    median %8.1f ms  (min %.1f, max %.1f)\n", load.median, load.min,
                load.max);
    std::printf("raw read (list + fread)    median %8.1f ms  (min %.1f, max %.1f)\n", raw.median, raw.min,
                raw.max);
    std::printf("raw read (ReadFileBytes)   median %8.1f ms  (min %.1f, max %.1f)\n", helper.median, helper.min,
                helper.max);
    std::printf("ratio LoadMap / raw read   %.2fx\n", raw.median > 0 ? load.median / raw.median : 0.0);
    const Timing recorded = Summarize(recordedLoadTimes);
    const Timing check = Summarize(checkTimes);
    std::printf("LoadMap noting for a check median %8.1f ms  (min %.1f, max %.1f)\n", recorded.median,
                recorded.min, recorded.max);
    std::printf("CheckMap                   median %8.1f ms  (min %.1f, max %.1f), %zu findings\n", check.median,
                check.min, check.max, findings);
    return 0;
}
