// taktarium-bench-pdf: times writing a large timetable-like document with our
// PdfDocument and, when it was found at configure time, with libharu drawing
// the same cells with the same operators: a filled and stroked rectangle per
// cell and its text, positioned in the cell, in Helvetica without compression.
// With --compressed both writers compress their streams, and ours embeds the
// font subset it measures with, joins adjacent text shows and packs its
// dictionaries into an object stream, as documents are written by default.
//
//   taktarium-bench-pdf [--pages N] [--out DIR] [--compressed]
//
// Each writer runs three times, alternating; the median wall time counts. The
// processor time is printed beside it, since on a shared machine it is the
// steadier of the two. The files are left in DIR (default: the system temp folder) so that they can be checked.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "pdf/Paginor.h"

#ifdef TAKTARIUM_HAVE_HPDF
#include <hpdf.h>
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 3;

// The table of every page, in millimetres, on landscape A4 with the writer's
// default 10 mm margins: 40 rows of 25 cells, a wide first column for the stop
// names and 24 columns of departure times.
constexpr int kRows = 40;
constexpr int kColumns = 25;
constexpr float kMargin = 10.0f;
constexpr float kPageWidthMm = 297.0f;
constexpr float kPageHeightMm = 210.0f;
constexpr float kRowHeight = 4.75f;
constexpr float kFirstColumnWidth = 41.0f;
constexpr float kTimeColumnWidth = (kPageWidthMm - 2 * kMargin - kFirstColumnWidth) / (kColumns - 1);
constexpr float kFontSizePt = 6.0f;
constexpr float kPointsPerMm = 72.0f / 25.4f;
// Our writer's defaults for 10 mm margins, which the libharu run copies.
constexpr float kCellMargin = kMargin / 10;
constexpr float kLineWidthPt = 0.567f;

// Grey levels 0-255: the header row, the shaded body rows and the text.
constexpr int kHeaderGrey = 200;
constexpr int kShadeGrey = 235;

struct Options {
    int pages = 1000;
    fs::path outFolder;
    bool compressed = false;
};

// Whether this run compresses (set once from the options, before any timing).
bool compressedRun = false;

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--pages" && i + 1 < argc) {
            std::string_view text = argv[++i];
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), options.pages);
            if (error != std::errc() || end != text.data() + text.size() || options.pages < 1) return false;
        } else if (arg == "--out" && i + 1 < argc) {
            options.outFolder = argv[++i];
        } else if (arg == "--compressed") {
            options.compressed = true;
        } else {
            return false;
        }
    }
    return true;
}

// The texts of the table, made before any timing so that both writers get
// them ready: UTF-8 for our writer, Windows-1252 bytes for libharu.
struct TableTexts {
    std::vector<std::string> stopsUtf8;
    std::vector<std::string> stops1252;
    std::vector<std::string> headers;  // "Stop" and one per trip column, ASCII
    std::vector<std::string> clock;    // "HH:MM" for every minute of the day, ASCII
};

TableTexts MakeTexts() {
    static constexpr std::string_view kNames[] = {
        "Hauptbahnhof", "Rathaus", "Müllerstraße", "Am Südring", "Schloßallee",
        "Marktplatz", "Kirchweg", "Lindenhof", "Gärtnerei", "Industriestraße",
    };
    TableTexts texts;
    for (int row = 1; row < kRows; ++row) {
        std::string name(kNames[static_cast<std::size_t>(row) % std::size(kNames)]);
        name += ' ';
        name += std::to_string(row);
        texts.stopsUtf8.push_back(name);
        // The names hold only ä, ö, ü and ß beyond ASCII: two UTF-8 bytes
        // (C3 xx) whose code point is also the Windows-1252 code.
        std::string latin;
        for (std::size_t i = 0; i < name.size(); ++i) {
            auto byte = static_cast<unsigned char>(name[i]);
            if (byte == 0xC3 && i + 1 < name.size()) {
                latin += static_cast<char>(0xC0 | (static_cast<unsigned char>(name[++i]) & 0x3F));
            } else {
                latin += name[i];
            }
        }
        texts.stops1252.push_back(latin);
    }
    texts.headers.push_back("Haltestelle");
    for (int column = 1; column < kColumns; ++column) texts.headers.push_back("Fahrt " + std::to_string(column));
    for (int minute = 0; minute < 24 * 60; ++minute) {
        char text[6] = {static_cast<char>('0' + minute / 600), static_cast<char>('0' + minute / 60 % 10), ':',
                        static_cast<char>('0' + minute % 60 / 10), static_cast<char>('0' + minute % 10), 0};
        texts.clock.emplace_back(text);
    }
    return texts;
}

// The departure shown in a cell: trips every 20 minutes, 3 minutes a stop,
// shifted a little from page to page so that pages differ.
const std::string& DepartureText(const TableTexts& texts, int page, int row, int column) {
    int minute = (5 * 60 + page * 7 + column * 20 + row * 3) % (24 * 60);
    return texts.clock[static_cast<std::size_t>(minute)];
}

int RowGrey(int row) { return row == 0 ? kHeaderGrey : row % 2 == 0 ? kShadeGrey : -1; }

float ColumnWidth(int column) { return column == 0 ? kFirstColumnWidth : kTimeColumnWidth; }

// --- Our writer ---------------------------------------------------------------

bool WriteWithPaginor(const TableTexts& texts, int pages, const fs::path& file) {
    tak::PdfDocument pdf;
    pdf.SetWriterOptions(tak::PdfWriterOptions{compressedRun, compressedRun});
    pdf.SetCreationTime(std::time_t{0});
    if (!pdf.CreateDocument(tak::PdfOrientation::Landscape, tak::PdfUnit::Millimetre, tak::kPdfA4)) return false;
    pdf.SetAutoBreak(false);
    for (int page = 0; page < pages; ++page) {
        if (!pdf.NewPage()) return false;
        pdf.SelectFont("Helvetica", {}, kFontSizePt);
        for (int row = 0; row < kRows; ++row) {
            int grey = RowGrey(row);
            if (grey >= 0) pdf.SetFillGrey(static_cast<float>(grey));
            for (int column = 0; column < kColumns; ++column) {
                const std::string& text = row == 0      ? texts.headers[static_cast<std::size_t>(column)]
                                          : column == 0 ? texts.stopsUtf8[static_cast<std::size_t>(row - 1)]
                                                        : DepartureText(texts, page, row, column);
                tak::PdfCursor next = column == kColumns - 1 ? tak::PdfCursor::NextLine : tak::PdfCursor::Right;
                pdf.PutCell(ColumnWidth(column), kRowHeight, text, tak::PdfBorder::Frame, next,
                            column == 0 ? tak::PdfAlign::Left : tak::PdfAlign::Centre, grey >= 0);
            }
        }
    }
    return pdf.SaveDocument(file.string());
}

// --- libharu --------------------------------------------------------------------

#ifdef TAKTARIUM_HAVE_HPDF

void NoteHpdfError(HPDF_STATUS error, HPDF_STATUS detail, void* userData) {
    auto* failed = static_cast<bool*>(userData);
    if (!*failed) std::fprintf(stderr, "libharu error 0x%04X (detail %u)\n", static_cast<unsigned>(error),
                                static_cast<unsigned>(detail));
    *failed = true;
}

// The same cells as WriteWithPaginor, with the operators our writer emits:
// "re B" or "re S" per cell, and the text wrapped in "q 0 g ... Q", since the
// header row makes the fill paint grey before the first text.
void DrawHpdfPage(HPDF_Page page, HPDF_Font font, const TableTexts& texts, int pageIndex) {
    constexpr float k = kPointsPerMm;
    HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_LANDSCAPE);
    HPDF_Page_SetLineWidth(page, kLineWidthPt);
    HPDF_Page_SetFontAndSize(page, font, kFontSizePt);
    const float pageHeightPt = HPDF_Page_GetHeight(page);
    const float fontSizeMm = kFontSizePt / k;
    float y = kMargin;
    for (int row = 0; row < kRows; ++row, y += kRowHeight) {
        int grey = RowGrey(row);
        if (grey >= 0) HPDF_Page_SetGrayFill(page, static_cast<float>(grey) / 255);
        float x = kMargin;
        for (int column = 0; column < kColumns; x += ColumnWidth(column), ++column) {
            const float width = ColumnWidth(column);
            const std::string& text = row == 0      ? texts.headers[static_cast<std::size_t>(column)]
                                      : column == 0 ? texts.stops1252[static_cast<std::size_t>(row - 1)]
                                                    : DepartureText(texts, pageIndex, row, column);
            HPDF_Page_Rectangle(page, x * k, pageHeightPt - (y + kRowHeight) * k, width * k, kRowHeight * k);
            if (grey >= 0) {
                HPDF_Page_FillStroke(page);
            } else {
                HPDF_Page_Stroke(page);
            }
            float dx = kCellMargin;
            if (column > 0) dx = (width - HPDF_Page_TextWidth(page, text.c_str()) / k) / 2;
            HPDF_Page_GSave(page);
            HPDF_Page_SetGrayFill(page, 0);
            HPDF_Page_BeginText(page);
            HPDF_Page_MoveTextPos(page, (x + dx) * k, pageHeightPt - (y + 0.5f * kRowHeight + 0.3f * fontSizeMm) * k);
            HPDF_Page_ShowText(page, text.c_str());
            HPDF_Page_EndText(page);
            HPDF_Page_GRestore(page);
        }
    }
}

bool WriteWithHpdf(const TableTexts& texts, int pages, const fs::path& file) {
    bool failed = false;
    HPDF_Doc pdf = HPDF_New(NoteHpdfError, &failed);
    if (!pdf) return false;
    HPDF_SetCompressionMode(pdf, compressedRun ? HPDF_COMP_ALL : HPDF_COMP_NONE);
    HPDF_Font font = HPDF_GetFont(pdf, "Helvetica", "WinAnsiEncoding");
    for (int page = 0; page < pages && !failed; ++page) DrawHpdfPage(HPDF_AddPage(pdf), font, texts, page);
    if (!failed) HPDF_SaveToFile(pdf, file.string().c_str());
    HPDF_Free(pdf);
    return !failed;
}

#endif  // TAKTARIUM_HAVE_HPDF

// --- Timing and report ----------------------------------------------------------

using Writer = bool (*)(const TableTexts&, int, const fs::path&);

struct Contender {
    const char* name;
    Writer write;
    fs::path file;
    std::vector<double> seconds{};
    std::vector<double> cpuSeconds{};
    bool ok = true;
};

// One timed run: building the document, saving it and freeing it.
void TimeOnce(Contender& contender, const TableTexts& texts, int pages) {
    auto start = Clock::now();
    std::clock_t cpuStart = std::clock();
    bool ok = contender.write(texts, pages, contender.file);
    contender.cpuSeconds.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    contender.seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    contender.ok = contender.ok && ok;
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

void Report(const Contender& contender) {
    if (!contender.ok) {
        std::printf("%-10s FAILED to write %s\n", contender.name, contender.file.string().c_str());
        return;
    }
    std::error_code ec;
    auto bytes = fs::file_size(contender.file, ec);
    std::printf("%-10s median %8.3f s  (runs:", contender.name, Median(contender.seconds));
    for (double s : contender.seconds) std::printf(" %.3f", s);
    std::printf(")  cpu %.3f s  %12ju bytes  %s\n", Median(contender.cpuSeconds),
                static_cast<uintmax_t>(ec ? 0 : bytes), contender.file.string().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: taktarium-bench-pdf [--pages N] [--out DIR] [--compressed]\n"
                     "Writes N landscape A4 pages (default 1000) of 40 x 25 table cells with our PDF\n"
                     "writer and with libharu, %d times each, into DIR (default: the temp folder).\n",
                     kRuns);
        return 2;
    }
    std::error_code ec;
    if (options.outFolder.empty()) options.outFolder = fs::temp_directory_path(ec);
    fs::create_directories(options.outFolder, ec);
    if (ec || !fs::is_directory(options.outFolder)) {
        std::fprintf(stderr, "taktarium-bench-pdf: cannot use folder %s\n", options.outFolder.string().c_str());
        return 1;
    }

    compressedRun = options.compressed;
    const TableTexts texts = MakeTexts();
    std::vector<Contender> contenders;
    contenders.push_back({"Paginor", WriteWithPaginor, options.outFolder / "taktarium-bench-paginor.pdf"});
#ifdef TAKTARIUM_HAVE_HPDF
    contenders.push_back({"libharu", WriteWithHpdf, options.outFolder / "taktarium-bench-libharu.pdf"});
#endif

    std::printf("%d landscape A4 pages, %d x %d cells each, Helvetica %g pt, %s; median of %d runs\n",
                options.pages, kRows, kColumns, static_cast<double>(kFontSizePt),
                options.compressed ? "compressed (ours with the embedded font subset)" : "no compression", kRuns);
    for (int run = 0; run < kRuns; ++run) {
        for (Contender& contender : contenders) TimeOnce(contender, texts, options.pages);
    }
    for (const Contender& contender : contenders) Report(contender);
#ifndef TAKTARIUM_HAVE_HPDF
    std::printf("libharu   not compared: hpdf.h or libhpdf was not found when the build was configured\n");
#endif
    bool allOk = std::all_of(contenders.begin(), contenders.end(), [](const Contender& c) { return c.ok; });
    return allOk ? 0 : 1;
}
