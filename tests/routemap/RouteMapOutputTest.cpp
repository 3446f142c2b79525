// The route map as an output file: PNG read back with libpng, PDF checked
// with qpdf and pdfimages.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/FileSystem.h"
#include "persist/ProjectFile.h"
#include "routemap/RouteMap.h"
#include "routemap/RouteMapLayout.h"
#include "routemap/RouteMapLayoutParts.h"
#include "routemap/RouteMapOutput.h"
#include "routemap/RouteMapPdf.h"
#include "routemap/RouteMapSamples.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

struct DecodedPng {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
    Rgb At(uint32_t x, uint32_t y) const {
        const std::size_t i = (std::size_t(y) * width + x) * 3;
        return Rgb{rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

std::optional<DecodedPng> ReadPng(const fs::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    // Read through our own reader: libpng's file opener takes a narrow path,
    // which on Windows is not UTF-8.
    std::optional<std::string> bytes = ReadFileBytes(file);
    if (!bytes || !png_image_begin_read_from_memory(&image, bytes->data(), bytes->size())) return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    DecodedPng decoded;
    decoded.width = image.width;
    decoded.height = image.height;
    decoded.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, decoded.rgb.data(), 0, nullptr)) return std::nullopt;
    return decoded;
}

// Two fixed stops joined by a thick red line, the route map of a 32 x 32 grid.
RouteMap TwoStopMap(int32_t format) {
    RouteMap map;
    map.format = format;
    map.allowDiag = false;
    RouteLine& line = AddRouteLine(map, "1");
    line.colourIndex = 0;
    RouteKey lineKey = line.key;
    RouteStop& a = AddRouteStop(map, "A");
    a.automatic = false;
    a.stored = {2, 5, 0, 1};
    RouteKey aKey = a.key;
    RouteStop& b = AddRouteStop(map, "B");
    b.automatic = false;
    b.stored = {12, 5, 0, 1};
    AddConnection(map, lineKey, aKey, b.key);
    return map;
}

TEST(RouteMapOutput, PngHasTheMapsSizeAndItsPixels) {
    test::TempDir dir;
    RouteMap map = TwoStopMap(kRouteMapPng);
    ASSERT_TRUE(WriteRouteMapOutput(map, dir.path() / "out" / "Maps", "Netzplan"));
    std::optional<DecodedPng> png = ReadPng(dir.path() / "out" / "Maps" / "Netzplan.png");
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(png->width, 513u);
    EXPECT_EQ(png->height, 513u);
    // The line along row 5 (y = 88), 7 pixels thick, between the stops' bars.
    EXPECT_EQ(png->At(120, 88), (Rgb{255, 0, 0}));
    EXPECT_EQ(png->At(120, 85), (Rgb{255, 0, 0}));
    EXPECT_EQ(png->At(120, 84), (Rgb{255, 255, 255}));
    // Stop A's bar: black outline at its left edge x = 36, white inside.
    EXPECT_EQ(png->At(36, 88), (Rgb{0, 0, 0}));
    EXPECT_EQ(png->At(40, 82), (Rgb{255, 255, 255}));
    EXPECT_EQ(png->At(500, 500), (Rgb{255, 255, 255}));
    // The layout completed the automatic end in its result only.
    EXPECT_EQ(LayoutRouteMap(map).connections[0].ends[0].side, 1);
    EXPECT_EQ(map.connections[0].end[0].side, -1);
}

// A poster scale draws the map anew at 2 or 4 image pixels per map pixel:
// the same picture block for block, with finer steps in names, round
// corners and diagonals than an enlarged copy would have.
TEST(RouteMapOutput, PngScaleDrawsTheMapSharpAtTwiceAndFourTimesTheSize) {
    test::TempDir dir;
    RouteMap map = TwoStopMap(kRouteMapPng);
    map.allowDiag = true;
    RouteStop& c = AddRouteStop(map, "Chaussee");
    c.automatic = false;
    c.stored = {17, 10, 0, 1};
    const RouteKey cKey = c.key;
    AddConnection(map, map.lines[0].key, map.stops[1].key, cKey);
    ASSERT_TRUE(WriteRouteMapOutput(map, dir.path() / "1", "Netz"));
    const std::optional<DecodedPng> plain = ReadPng(dir.path() / "1" / "Netz.png");
    ASSERT_TRUE(plain.has_value());
    ASSERT_EQ(plain->width, 513u);

    for (uint32_t scale : {2u, 4u}) {
        map.pngScale = static_cast<int32_t>(scale);
        const fs::path folder = dir.path() / std::to_string(scale);
        ASSERT_TRUE(WriteRouteMapOutput(map, folder, "Netz"));
        const std::optional<DecodedPng> png = ReadPng(folder / "Netz.png");
        ASSERT_TRUE(png.has_value());
        ASSERT_EQ(png->width, scale * plain->width);
        ASSERT_EQ(png->height, scale * plain->height);
        int sameColour = 0;
        int mixed = 0;
        for (uint32_t y = 0; y < plain->height; ++y) {
            for (uint32_t x = 0; x < plain->width; ++x) {
                const Rgb first = png->At(scale * x, scale * y);
                bool uniform = true;
                for (uint32_t j = 0; j < scale && uniform; ++j) {
                    for (uint32_t i = 0; i < scale && uniform; ++i) {
                        uniform = png->At(scale * x + i, scale * y + j) == first;
                    }
                }
                if (!uniform) {
                    ++mixed;
                } else if (first == plain->At(x, y)) {
                    ++sameColour;
                }
            }
        }
        const int blocks = static_cast<int>(plain->width * plain->height);
        EXPECT_GT(sameColour, blocks * 97 / 100) << "scale " << scale;
        // An enlarged copy has no mixed block at all.
        EXPECT_GT(mixed, 200) << "scale " << scale;
        // The line along row 5 is still red and 7 map pixels thick.
        EXPECT_EQ(png->At(scale * 120, scale * 88), (Rgb{255, 0, 0}));
        EXPECT_EQ(png->At(scale * 120, scale * 85), (Rgb{255, 0, 0}));
        EXPECT_EQ(png->At(scale * 120, scale * 84 + scale - 1), (Rgb{255, 255, 255}));
    }
    // A map too large for a poster image is drawn at a scale that fits.
    RouteMap large;
    large.width = 512;
    large.height = 512;
    EXPECT_EQ(FittingPngScale(large, 4), 1);
    large.width = 128;
    large.height = 128;
    EXPECT_EQ(FittingPngScale(large, 4), 4);
    EXPECT_EQ(FittingPngScale(large, 3), 2);
    large.width = 250;
    EXPECT_EQ(FittingPngScale(large, 4), 2);
}

std::string WithoutBlanks(const std::string& text) {
    std::string kept;
    for (char c : text) {
        if (c != ' ' && c != '\n' && c != '\r' && c != '\f') kept += c;
    }
    return kept;
}

// The PDF is drawn, not pictured: no image in it, its names are text, and the
// page holds the map with margins, a title and the legend of the lines.
TEST(RouteMapOutput, PdfIsAVectorPageWithTitleAndLegend) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf, pdftotext, pdfinfo and pdfimages");
    test::TempDir dir;
    RouteMap map = TwoStopMap(kRouteMapPdf);
    RouteMapPageTexts texts;
    texts.title = "Liniennetzplan Mühlbrück";
    texts.operatorName = "Stadtwerke";
    texts.validity = "ab 1.6.2025";
    texts.legendHeading = "Linien";
    ASSERT_TRUE(WriteRouteMapOutput(map, dir.path(), "RouteMap", &texts));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    const fs::path pdf = dir.path() / "RouteMap.pdf";
    ASSERT_TRUE(fs::exists(pdf));

    test::CommandResult check = test::RunCommand("qpdf --check '" + pdf.string() + "' 2>&1");
    EXPECT_EQ(check.status, 0) << check.output;
    test::CommandResult images = test::RunCommand("pdfimages -list '" + pdf.string() + "' 2>&1");
    ASSERT_EQ(images.status, 0) << images.output;
    EXPECT_EQ(images.output.find(" image "), std::string::npos) << images.output;
    const std::string text =
        WithoutBlanks(test::RunCommand("pdftotext -enc UTF-8 '" + pdf.string() + "' - 2>&1").output);
    for (const char* word : {"Liniennetzplan Mühlbrück", "Stadtwerke", "ab 1.6.2025", "Linien", "A \xE2\x80\x93 B"}) {
        EXPECT_NE(text.find(WithoutBlanks(word)), std::string::npos) << word << " in\n" << text;
    }
    // The stop names themselves, once each beside the legend's ends.
    auto count = [&](const std::string& word) {
        int n = 0;
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
        return n;
    };
    EXPECT_GE(count("A"), 2);
    EXPECT_GE(count("B"), 2);
    // The map's 513 points and 36-point margins, the title above it.
    test::CommandResult info = test::RunCommand("pdfinfo '" + pdf.string() + "' 2>&1");
    EXPECT_NE(info.output.find(" 585 x "), std::string::npos) << info.output;
}

// A laid-out map written as PDF and read back: qpdf finds nothing wrong,
// no picture is in it, and pdftotext finds the title, every stop's name
// and each line's end stops in the legend.
void CheckPrintedMap(RouteMap& map, const std::string& what) {
    map.format = kRouteMapPdf;
    const test::LaidOut laid(map);
    EXPECT_EQ(laid.Crowded(), 0) << what;
    test::TempDir dir;
    RouteMapPageTexts texts;
    texts.title = "Liniennetzplan " + what;
    texts.legendHeading = "Linien";
    ASSERT_TRUE(WriteRouteMapOutput(map, dir.path(), "Liniennetzplan", &texts)) << what;
    const std::string pdf = (dir.path() / "Liniennetzplan.pdf").string();
    test::CommandResult check = test::RunCommand("qpdf --check '" + pdf + "' 2>&1");
    EXPECT_EQ(check.status, 0) << what << "\n" << check.output;
    test::CommandResult images = test::RunCommand("pdfimages -list '" + pdf + "' 2>&1");
    EXPECT_EQ(images.output.find(" image "), std::string::npos) << what << "\n" << images.output;
    // Text turned upright comes out broken into words: blanks and line ends
    // are left out of the comparison.
    const std::string text = WithoutBlanks(test::RunCommand("pdftotext -raw -enc UTF-8 '" + pdf + "' - 2>&1").output);
    EXPECT_NE(text.find(WithoutBlanks(texts.title)), std::string::npos) << what;
    int names = 0;
    for (const RouteStop& stop : map.stops) {
        if (laid.Box(stop).x < 0) continue;
        for (const std::string& part : SplitStopName(stop.name)) {
            if (part.empty()) continue;
            ++names;
            EXPECT_NE(text.find(WithoutBlanks(part)), std::string::npos) << what << ": " << part;
        }
    }
    EXPECT_GE(names, 17) << what;
    const std::vector<LineLegendEntry> legend = LineLegendEntries(map);
    EXPECT_EQ(legend.size(), map.lines.size()) << what;
    for (const LineLegendEntry& entry : legend) {
        const std::string ends = entry.firstStop + " \xE2\x80\x93 " + entry.lastStop;
        EXPECT_NE(text.find(WithoutBlanks(ends)), std::string::npos) << what << ": " << ends;
    }
}

TEST(RouteMapOutput, DemoAndRealMapsPrintAsSearchableVectorPages) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    Project project;
    MapData noMap;
    ASSERT_TRUE(LoadProject(project, noMap, test::SourceDir() / "examples" / "output" / "DemoMap.cfg").parsed);
    CheckPrintedMap(project.routeMap, "Mühlbrück");

    RouteMap generated = test::GeneratedRouteMap(5);
    CheckPrintedMap(generated, "generated");

    TAKTARIUM_REAL_MAPS_OR_SKIP(realMaps);
    std::optional<RouteMap> real = test::NewDavisvilleRouteMap(realMaps / "NewDavisville");
    ASSERT_TRUE(real);
    CheckPrintedMap(*real, "NewDavisville");
}

// Names turned beside crowded rows, reading upwards and slanted, come back
// whole from the PDF's text.
TEST(RouteMapOutput, TurnedNamesAreSearchableInThePdf) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf, pdftotext and pdfimages");
    RouteMap upright = test::RowOfStops(13, 1, 12, 25, [](int i) { return "Am Hang|Nord " + std::to_string(10 + i); });
    CheckPrintedMap(upright, "Reihe");
    EXPECT_EQ(LayoutRouteMap(upright).stops[0].labels[0].angle, 90);
    RouteMap slanted = test::SlantedRow();
    CheckPrintedMap(slanted, "Schräg");
    EXPECT_EQ(LayoutRouteMap(slanted).stops[0].labels[0].angle, 45);
    // Slanted names come back as words, not letter by letter, also where
    // the text is read in reading order rather than as drawn.
    test::TempDir dir;
    ASSERT_TRUE(WriteRouteMapOutput(slanted, dir.path(), "Netz"));
    const std::string pdf = (dir.path() / "Netz.pdf").string();
    for (const char* mode : {"", "-raw "}) {
        const std::string text =
            test::RunCommand("pdftotext " + std::string(mode) + "-enc UTF-8 '" + pdf + "' -").output;
        for (const RouteStop& stop : slanted.stops) {
            EXPECT_NE(text.find(stop.name), std::string::npos) << mode << stop.name;
        }
    }
}

// The legend names each line's two end stops, also for a line entered
// from its far end, and goes into a corner of the map where it covers
// nothing, or below the map when every corner is taken.
TEST(RouteMapOutput, LegendNamesLineEndsAndCoversNothing) {
    RouteMap map;
    const RouteKey line = AddRouteLine(map, "7").key;
    std::vector<RouteKey> stops;
    for (const char* name : {"Nord", "Mitte", "Süd", "Ost"}) stops.push_back(AddRouteStop(map, name).key);
    // Entered as Mitte-Süd, Nord-Mitte, Ost-Süd: the ends are Nord and Ost.
    AddConnection(map, line, stops[1], stops[2]);
    AddConnection(map, line, stops[0], stops[1]);
    AddConnection(map, line, stops[3], stops[2]);
    AddRouteLine(map, "unused");
    std::vector<LineLegendEntry> entries = LineLegendEntries(map);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(std::min(entries[0].firstStop, entries[0].lastStop), "Nord");
    EXPECT_EQ(std::max(entries[0].firstStop, entries[0].lastStop), "Ost");

    for (uint32_t seed : {1u, 2u}) {
        const RouteMap generated = test::GeneratedRouteMap(seed, 6);
        const test::LaidOut laid(generated);
        const std::optional<PixelRect> corner = FreeCorner(generated, laid.layout, 200, 120);
        ASSERT_TRUE(corner) << "seed " << seed;
        for (const RouteStop& stop : generated.stops) {
            EXPECT_FALSE(laid.BoxBounds(stop).Overlaps(*corner)) << stop.name;
            for (const StopLabel& label : laid.Labels(stop)) {
                EXPECT_FALSE(laid.Bounds(stop, label).Overlaps(*corner)) << stop.name;
            }
        }
        for (const ConnectionRoute& c : laid.layout.connections) {
            for (const GridPoint& p : c.path) {
                EXPECT_FALSE(corner->Overlaps({16 * p.x + 4, 16 * p.y + 4, 16 * p.x + 13, 16 * p.y + 13}));
            }
        }
    }
    // Lines along the top and the bottom row take every corner.
    RouteMap full;
    full.width = 14;
    full.height = 2;
    for (int row = 0; row < 2; ++row) {
        const RouteKey l = AddRouteLine(full, std::to_string(row)).key;
        RouteStop& a = AddRouteStop(full, test::Numbered("A", row));
        a.automatic = false;
        a.stored = {0, row, 0, 1};
        const RouteKey aKey = a.key;
        RouteStop& b = AddRouteStop(full, test::Numbered("B", row));
        b.automatic = false;
        b.stored = {13, row, 0, 1};
        AddConnection(full, l, aKey, b.key);
    }
    const RouteMapLayoutResult laidFull = LayoutRouteMap(full);
    ASSERT_FALSE(laidFull.connections[1].path.empty());
    EXPECT_FALSE(FreeCorner(full, laidFull, 40, 12));
}

// Faint colours get a dark casing on the PNG: yellow does, red does not.
TEST(RouteMapOutput, FaintLinesAreCased) {
    EXPECT_TRUE(NeedsCasing(RouteColourTable()[1].rgb));   // yellow
    EXPECT_FALSE(NeedsCasing(RouteColourTable()[0].rgb));  // red
    EXPECT_FALSE(NeedsCasing(RouteColourTable()[3].rgb));  // blue
    test::TempDir dir;
    RouteMap map = TwoStopMap(kRouteMapPng);
    map.lines[0].colourIndex = 1;
    ASSERT_TRUE(WriteRouteMapOutput(map, dir.path(), "RouteMap"));
    std::optional<DecodedPng> png = ReadPng(dir.path() / "RouteMap.png");
    ASSERT_TRUE(png.has_value());
    const Rgb yellow = RouteColourTable()[1].rgb;
    EXPECT_EQ(png->At(120, 88), yellow);
    EXPECT_EQ(png->At(120, 85), yellow);
    EXPECT_EQ(png->At(120, 84), CasingColour(yellow));
    EXPECT_EQ(png->At(120, 83), (Rgb{255, 255, 255}));
}

// An empty route map is not printed, whatever its format.
TEST(RouteMapOutput, OnlyAMapWithStopsIsPrinted) {
    RouteMap empty;
    empty.format = kRouteMapPdf;
    EXPECT_FALSE(RouteMapToPrint(empty));
    EXPECT_TRUE(RouteMapToPrint(TwoStopMap(kRouteMapPdf)));
    EXPECT_FALSE(RouteMapToPrint(TwoStopMap(kRouteMapNone)));
}

TEST(RouteMapOutput, FailuresAreReportedAndNothingIsWrittenWhenNotWanted) {
    test::TempDir dir;
    RouteMap none = TwoStopMap(kRouteMapNone);
    EXPECT_TRUE(WriteRouteMapOutput(none, dir.path() / "none", "RouteMap"));
    EXPECT_FALSE(fs::exists(dir.path() / "none"));

    RouteMap png = TwoStopMap(kRouteMapPng);
    EXPECT_FALSE(WriteRouteMapOutput(png, dir.path(), "Route/Map"));  // not a file name
    EXPECT_FALSE(WriteRouteMapOutput(png, dir.path(), ""));
    // A file stands where the folder should be.
    dir.Write("blocked", "x");
    EXPECT_FALSE(WriteRouteMapOutput(png, dir.path() / "blocked", "RouteMap"));
    RouteMap pdf = TwoStopMap(kRouteMapPdf);
    EXPECT_FALSE(WriteRouteMapOutput(pdf, dir.path() / "blocked", "RouteMap"));
    // A grid too large for an image.
    png.width = kMaxRouteMapImageCells + 1;
    EXPECT_FALSE(WriteRouteMapOutput(png, dir.path(), "RouteMap"));
}

TEST(RouteMapOutput, AFullDiskKeepsTheEarlierMapWhole) {
    test::TempDir dir;
    for (int32_t format : {kRouteMapPng, kRouteMapPdf}) {
        RouteMap map = TwoStopMap(format);
        ASSERT_TRUE(WriteRouteMapOutput(map, dir.path(), "RouteMap"));
        fs::path file = dir.path() / (format == kRouteMapPng ? "RouteMap.png" : "RouteMap.pdf");
        std::string before = ReadFileBytes(file).value_or("");
        ASSERT_GT(before.size(), 200u);
        {
            test::FileSizeLimit disk(100);
            TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(disk);
            EXPECT_FALSE(WriteRouteMapOutput(map, dir.path(), "RouteMap"));
        }
        EXPECT_EQ(ReadFileBytes(file).value_or(""), before);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "only the two maps, no temporary file";
}

// Values only a hand-edited project file holds: the run must neither crash
// (the sanitizer build checks for overflows too) nor take long.
TEST(RouteMapOutput, HostileValuesAreDrawnOrSkippedSafely) {
    constexpr int32_t kBig = std::numeric_limits<int32_t>::max();
    constexpr int32_t kSmall = std::numeric_limits<int32_t>::min();
    RouteMap map = TwoStopMap(kRouteMapPng);
    map.width = 16;
    map.height = 16;
    map.roundBox = kBig;
    map.lines[0].thickness = kBig;
    map.lines[0].stroke = 1;
    map.lines[0].autoNames = true;
    RouteLine& thin = AddRouteLine(map, "thin");
    thin.thickness = kSmall;
    RouteStop& odd = AddRouteStop(map, "Odd");
    odd.automatic = false;
    odd.stored = {3, 9, kSmall, kSmall};
    StopLabel far;
    far.automatic = false;
    far.x = kBig;
    far.y = kSmall;
    far.angle = 12345;
    StopLabel noLine;
    noLine.type = kLabelLineFilled;
    noLine.line = 999;
    StopLabel badArrow;
    badArrow.type = kLabelArrow;
    badArrow.dir = 9;
    odd.labels = {far, noLine, badArrow};
    Connection& c = map.connections[0];
    c.signs = {{kSignLineName, kBig}, {kSignArrowOut, kSmall}, {7, 0}, {kSignArrowReturn, 1}};
    Connection& wild = AddConnection(map, thin.key, map.stops[0].key, odd.key);
    wild.nodes = {{kBig, kSmall}};
    wild.end[0].port = kBig;

    test::TempDir dir;
    ASSERT_TRUE(WriteRouteMapOutput(map, dir.path(), "RouteMap"));
    std::optional<DecodedPng> png = ReadPng(dir.path() / "RouteMap.png");
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(png->width, 257u);
    EXPECT_FALSE(LayoutRouteMap(map).connections[0].path.empty());

    // A grid no layout can hold places and routes nothing.
    map.width = kMaxLayoutGridSide + 1;
    const RouteMapLayoutResult none = LayoutRouteMap(map);
    EXPECT_TRUE(none.connections[0].path.empty());
    EXPECT_EQ(none.stops[0].box.x, -1);
}

TEST(RouteMapOutput, DemoProjectIsLaidOutCompletely) {
    Project project;
    MapData noMap;
    ProjectLoadResult loaded = LoadProject(project, noMap, test::SourceDir() / "examples" / "output" / "DemoMap.cfg");
    ASSERT_TRUE(loaded.parsed);
    const RouteMap& map = project.routeMap;
    const test::LaidOut laid(map);
    for (const RouteStop& stop : map.stops) EXPECT_GE(laid.Box(stop).x, 0) << stop.name;
    for (const ConnectionRoute& c : laid.layout.connections) {
        EXPECT_GE(c.path.size(), 2u);
        for (std::size_t i = 1; i < c.path.size(); ++i) EXPECT_GE(StepDirection(c.path[i - 1], c.path[i]), 0);
    }
    // No two stops share a cell.
    for (std::size_t i = 0; i < map.stops.size(); ++i) {
        for (std::size_t j = i + 1; j < map.stops.size(); ++j) {
            const StopBox& a = laid.layout.stops[i].box;
            const StopBox& b = laid.layout.stops[j].box;
            EXPECT_FALSE(a.x == b.x && a.y == b.y) << map.stops[i].name << " and " << map.stops[j].name;
        }
    }
    test::TempDir dir;
    EXPECT_TRUE(WriteRouteMapOutput(map, dir.path(), "RouteMap"));
}

}  // namespace
}  // namespace tak
