// Documents as a whole: creation defaults, page sizes, the object layout of
// the file, the page-count alias, saving and its failures.
#include <gtest/gtest.h>

#include <functional>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale>

#include "PdfTestTools.h"
#include "pdf/Paginor.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;
using test::ObjectText;
using test::PageContents;
using test::RunTool;
using test::SaveChecked;

constexpr std::time_t kNewYear2024 = 1704067200;  // 2024-01-01 00:00:00 UTC

#if defined(_WIN32)
void SetZone(const char* zone) { _putenv_s("TZ", zone); }
void ClearZone() { _putenv_s("TZ", ""); }
#else
void SetZone(const char* zone) { setenv("TZ", zone, 1); }
void ClearZone() { unsetenv("TZ"); }
#endif

// The creation date is written in local time; tests that compare it pin the zone.
class UtcZone {
public:
    UtcZone() {
        const char* zone = std::getenv("TZ");
        if (zone) saved_ = zone;
        hadZone_ = zone != nullptr;
        SetZone("UTC");
        tzset();
    }
    ~UtcZone() {
        if (hadZone_) {
            SetZone(saved_.c_str());
        } else {
            ClearZone();
        }
        tzset();
    }

private:
    std::string saved_;
    bool hadZone_ = false;
};

// pdfinfo's report with every run of blanks made one blank.
std::string PageSizesByPdfinfo(const fs::path& file, int pages) {
    return test::SqueezeBlanks(RunTool("pdfinfo -f 1 -l " + std::to_string(pages), file).output);
}

TEST(PdfDocument, DefaultsGivePortraitA4InMillimetres) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdfinfo");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    EXPECT_NEAR(pdf.PageWidth(), 210.0f, 0.01f);
    EXPECT_NEAR(pdf.PageHeight(), 297.0f, 0.01f);
    EXPECT_NEAR(pdf.LeftMargin(), 10.0f, 0.005f);
    EXPECT_NEAR(pdf.RightMargin(), 10.0f, 0.005f);
    ASSERT_TRUE(pdf.NewPage());
    EXPECT_EQ(pdf.PageNumber(), 1);
    EXPECT_NEAR(pdf.CursorX(), 10.0f, 0.005f);
    EXPECT_NEAR(pdf.CursorY(), 10.0f, 0.005f);

    // The bottom margin of 20 mm: a cell reaching below 277 mm starts a new page.
    pdf.SelectFont("Helvetica", {}, 10);
    pdf.SetCursorY(270);
    pdf.PutCell(20, 6.9f, "fits");
    EXPECT_EQ(pdf.PageNumber(), 1);
    pdf.PutCell(20, 7.1f, "breaks");
    EXPECT_EQ(pdf.PageNumber(), 2);

    fs::path file = dir.path() / "a4.pdf";
    std::string bytes = SaveChecked(pdf, file);
    auto pages = PageContents(bytes);
    ASSERT_EQ(pages.contents.size(), 2u);
    // Line width 0.2 mm and a text 1 mm (the cell margin) right of the cell's edge.
    EXPECT_EQ(pages.contents[0].substr(0, 11), "2 J\n0.57 w\n");
    EXPECT_NE(pages.contents[0].find("BT 31.19 "), std::string::npos) << pages.contents[0];
    EXPECT_NE(PageSizesByPdfinfo(file, 2).find("Page 2 size: 595.28 x 841.89 pts (A4)"),
              std::string::npos);
}

TEST(PdfDocument, OrientationUnitAndFormatShapeThePages) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    {
        PdfDocument pdf;  // the form the table outputs use
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Point, kPdfA4));
        EXPECT_NEAR(pdf.PageWidth(), 841.89f, 0.001f);
        EXPECT_NEAR(pdf.PageHeight(), 595.28f, 0.001f);
        EXPECT_NEAR(pdf.LeftMargin(), 28.35f, 0.001f);
        pdf.SelectFont("Times", {}, 10);
        ASSERT_TRUE(pdf.NewPage());
        pdf.PutCell(100, 10, "x");  // text starts at the cell margin of 2.835 pt
        std::string bytes = SaveChecked(pdf, dir.path() / "landscape.pdf");
        EXPECT_NE(PageContents(bytes).contents[0].find("BT 31.19 "), std::string::npos);
        EXPECT_NE(bytes.find("/MediaBox [0 0 841.89 595.28]"), std::string::npos);
        EXPECT_NE(bytes.find("/OpenAction [3 0 R /FitH null]"), std::string::npos);
    }
    {
        PdfDocument pdf;
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Millimetre));
        EXPECT_NEAR(pdf.PageWidth(), 297.0f, 0.01f);
        EXPECT_NEAR(pdf.PageHeight(), 210.0f, 0.01f);
    }
    {
        PdfDocument pdf;
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Centimetre));
        EXPECT_NEAR(pdf.PageWidth(), 21.0f, 0.001f);
        EXPECT_NEAR(pdf.LeftMargin(), 1.0f, 0.001f);
    }
    {
        PdfDocument pdf;
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Inch, {720, 360}));
        EXPECT_NEAR(pdf.PageWidth(), 5.0f, 0.001f);
        EXPECT_NEAR(pdf.PageHeight(), 10.0f, 0.001f);
    }
    {
        PdfDocument pdf;
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {1200, 800}));
        ASSERT_TRUE(pdf.NewPage());
        std::string bytes = SaveChecked(pdf, dir.path() / "custom.pdf");
        EXPECT_NE(bytes.find("/MediaBox [0 0 1200.00 800.00]"), std::string::npos);
    }
}

TEST(PdfDocument, EveryPageKeepsTheSizeItWasBegunWith) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdfinfo");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point));
    ASSERT_TRUE(pdf.NewPage());
    ASSERT_TRUE(pdf.NewPage(PdfOrientation::Landscape));
    EXPECT_NEAR(pdf.PageWidth(), 841.89f, 0.001f);
    ASSERT_TRUE(pdf.NewPage());  // back to the document's orientation
    ASSERT_TRUE(pdf.NewPage(PdfOrientation::Landscape, PdfPageSize{300, 400}));  // a new default format, turned
    ASSERT_TRUE(pdf.NewPage());
    // The break position follows the new page height (300 - 56.7).
    pdf.SelectFont("Courier", {}, 10);
    pdf.SetCursorY(200);
    pdf.PutCell(10, 40, "x", PdfBorder::None, PdfCursor::NextLine);
    EXPECT_EQ(pdf.PageNumber(), 5);
    pdf.PutCell(10, 5, "x");
    EXPECT_EQ(pdf.PageNumber(), 6);

    fs::path file = dir.path() / "sizes.pdf";
    SaveChecked(pdf, file);
    std::string info = PageSizesByPdfinfo(file, 6);
    EXPECT_NE(info.find("Page 1 size: 595.28 x 841.89 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Page 2 size: 841.89 x 595.28 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Page 3 size: 595.28 x 841.89 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Page 4 size: 400 x 300 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Page 5 size: 400 x 300 pts"), std::string::npos) << info;
    EXPECT_NE(info.find("Pages: 6"), std::string::npos) << info;
}

TEST(PdfDocument, WhatANewPageDoesNotSayIsTheDocuments) {
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Point));
    ASSERT_TRUE(pdf.NewPage(std::nullopt, PdfPageSize{300, 400}));  // a new format, still landscape
    EXPECT_FLOAT_EQ(pdf.PageWidth(), 400);
    EXPECT_FLOAT_EQ(pdf.PageHeight(), 300);
    ASSERT_TRUE(pdf.NewPage(PdfOrientation::Portrait));
    EXPECT_FLOAT_EQ(pdf.PageWidth(), 300);
    ASSERT_TRUE(pdf.NewPage());
    EXPECT_FLOAT_EQ(pdf.PageWidth(), 400);
    ASSERT_TRUE(pdf.NewPage(PdfOrientation::Portrait, PdfPageSize{0, -5}));  // no area: A4
    EXPECT_FLOAT_EQ(pdf.PageWidth(), 595.28f);
    EXPECT_FLOAT_EQ(pdf.PageHeight(), 841.89f);

    pdf.SetMargins(5, 7);
    EXPECT_FLOAT_EQ(pdf.RightMargin(), 5);
    pdf.SetMargins(5, 7, -1);  // a margin, not a request for the left one
    EXPECT_FLOAT_EQ(pdf.RightMargin(), -1);
}

TEST(PdfDocument, FileHasTheFixedObjectLayout) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    UtcZone utc;
    test::TempDir dir;
    PdfDocument pdf;
    pdf.SetCreationTime(kNewYear2024 + 3723);
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {200, 100}));
    ASSERT_TRUE(pdf.NewPage());
    std::string bytes = SaveChecked(pdf, dir.path() / "layout.pdf");

    std::string producer = "\xFE\xFF";
    for (char c : std::string_view("Paginor v2.23 For Korvex X86")) {
        producer += '\0';
        producer += c;
    }
    const std::string expected =
        "%PDF-1.3\n"
        "3 0 obj\n<</Type /Page\n/Parent 1 0 R\n/MediaBox [0 0 200.00 100.00]\n/Resources 2 0 R\n"
        "/Contents 4 0 R>>\nendobj\n"
        "4 0 obj\n<</Length 11>>\nstream\n2 J\n0.57 w\n\nendstream\nendobj\n"
        "1 0 obj\n<</Type /Pages\n/Kids [3 0 R ]\n/Count 1\n>>\nendobj\n"
        "2 0 obj\n<<\n/ProcSet [/PDF /Text /ImageB /ImageC /ImageI]\n/Font <<\n>>\n>>\nendobj\n"
        "5 0 obj\n<<\n/Producer (" + producer + ")\n/CreationDate (D:20240101010203)\n>>\nendobj\n"
        "6 0 obj\n<<\n/Type /Catalog\n/Pages 1 0 R\n/OpenAction [3 0 R /FitH null]\n"
        "/PageLayout /OneColumn\n>>\nendobj\n"
        "xref\n0 7\n0000000000 65535 f \n";
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(0, expected.size()), expected);
    std::size_t xref = bytes.find("xref\n");
    const std::string tail = "trailer\n<<\n/Size 7\n/Root 6 0 R\n/Info 5 0 R\n>>\nstartxref\n" +
                             std::to_string(xref) + "\n%%EOF\n";
    EXPECT_EQ(bytes.substr(expected.size() + 6 * 20), tail);
}

TEST(PdfDocument, ObjectsAreNumberedPagesThenFontsThenInfoAndCatalog) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Millimetre));
    pdf.SelectFont("Times", {.bold = true}, 12);
    for (int page = 0; page < 3; ++page) {
        ASSERT_TRUE(pdf.NewPage());
        pdf.SelectFont("Courier", {}, 9);
        pdf.PutCell(40, 6, "page");
        pdf.SelectFont("Times", {.bold = true}, 12);
    }
    std::string bytes = SaveChecked(pdf, dir.path() / "numbers.pdf");
    // 3 pages: objects 3-8; fonts 9 and 10 in order of first use; info 11; catalog 12.
    EXPECT_NE(ObjectText(bytes, 9).find("/BaseFont /Times-Bold"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 10).find("/BaseFont /Courier"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 11).find("/Producer"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 12).find("/Type /Catalog"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 2).find("/F1 9 0 R\n/F2 10 0 R\n"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 1).find("/Kids [3 0 R 5 0 R 7 0 R ]\n/Count 3"), std::string::npos);
    EXPECT_NE(bytes.find("/Size 13\n/Root 12 0 R\n/Info 11 0 R\n"), std::string::npos);
}

TEST(PdfDocument, PageCountAliasIsPatchedWithMatchingLengths) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Point, kPdfA4));
    pdf.SelectFont("Helvetica", {}, 9);
    pdf.SetFooterHandler([](PdfDocument& doc) {
        doc.SetCursorY(-20);
        doc.PutCell(0, 10, "Seite " + std::to_string(doc.PageNumber()) + " von {nb}", PdfBorder::None, PdfCursor::Right,
                    PdfAlign::Centre);
    });
    pdf.SetPageCountAlias("{nb}");
    ASSERT_TRUE(pdf.NewPage());
    for (int row = 0; row < 200; ++row) pdf.PutCell(100, 20, "{nb} rows", PdfBorder::None, PdfCursor::NextLine);
    EXPECT_EQ(pdf.PageNumber(), 8);
    for (int page = 9; page <= 12; ++page) ASSERT_TRUE(pdf.NewPage());

    fs::path file = dir.path() / "alias.pdf";
    std::string bytes = SaveChecked(pdf, file);
    EXPECT_EQ(bytes.find("{nb}"), std::string::npos);
    auto pages = PageContents(bytes);
    EXPECT_TRUE(pages.lengthsMatch);
    ASSERT_EQ(pages.contents.size(), 12u);
    EXPECT_NE(pages.contents[2].find("(Seite 3 von 12)"), std::string::npos);
    EXPECT_NE(pages.contents[0].find("(12 rows)"), std::string::npos);
    std::string text = test::ExtractedText(file);
    EXPECT_NE(text.find("Seite 12 von 12"), std::string::npos);
}

TEST(PdfDocument, SavingWithoutPagesStillWritesOnePageWithHeaderAndFooter) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    pdf.SelectFont("Helvetica", {}, 10);
    int headers = 0, footers = 0;
    pdf.SetHeaderHandler([&headers](PdfDocument& doc) {
        ++headers;
        doc.PutCell(0, 10, "Kopf", PdfBorder::None, PdfCursor::NextLine);
    });
    pdf.SetFooterHandler([&footers](PdfDocument& doc) {
        ++footers;
        doc.PutCell(0, 10, "Fuss", PdfBorder::None, PdfCursor::NextLine);
    });
    fs::path file = dir.path() / "blank.pdf";
    std::string bytes = SaveChecked(pdf, file);
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(footers, 1);
    EXPECT_NE(bytes.find("/Count 1\n"), std::string::npos);
    std::string text = test::ExtractedText(file);
    EXPECT_NE(text.find("Kopf"), std::string::npos);
    EXPECT_NE(text.find("Fuss"), std::string::npos);
}

TEST(PdfDocument, OpenViewChoosesTheOpenActionAndLayout) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    struct Case {
        std::function<void(PdfDocument&)> set;
        const char* actionLine;
        const char* layoutLine;
    };
    const Case cases[] = {
        {[](PdfDocument& pdf) { pdf.SetOpenView(PdfZoom::FitPage, PdfPageLayout::SinglePage); },
         "/OpenAction [3 0 R /Fit]\n", "/PageLayout /SinglePage\n"},
        {[](PdfDocument& pdf) { pdf.SetOpenView(PdfZoom::RealSize, PdfPageLayout::TwoColumnLeft); },
         "/OpenAction [3 0 R /XYZ null null 1]\n", "/PageLayout /TwoColumnLeft\n"},
        {[](PdfDocument& pdf) { pdf.SetOpenView(PdfZoom::FullScreen, PdfPageLayout::OneColumn); },
         "/PageMode/FullScreen\n", "/PageLayout /OneColumn\n"},
        {[](PdfDocument& pdf) { pdf.SetOpenView(150, PdfPageLayout::OneColumn); },
         "/OpenAction [3 0 R /XYZ null null 1.50]\n", "/PageLayout /OneColumn\n"},
        // A percentage is never read as one of the named views.
        {[](PdfDocument& pdf) { pdf.SetOpenView(-4, PdfPageLayout::OneColumn); },
         "/OpenAction [3 0 R /XYZ null null 0.01]\n", "/PageLayout /OneColumn\n"},
    };
    test::TempDir dir;
    int number = 0;
    for (const Case& c : cases) {
        PdfDocument pdf;
        ASSERT_TRUE(pdf.CreateDocument());
        c.set(pdf);
        std::string bytes = SaveChecked(pdf, dir.path() / ("view" + std::to_string(++number) + ".pdf"));
        EXPECT_NE(bytes.find(c.actionLine), std::string::npos) << number;
        EXPECT_NE(bytes.find(c.layoutLine), std::string::npos) << number;
        if (number == 3) {
            EXPECT_EQ(bytes.find("/OpenAction"), std::string::npos);
        }
    }
}

TEST(PdfDocument, SaveChecksTheNameAndReportsWriteFailures) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    auto attempt = [](std::string_view name) {
        PdfDocument pdf;
        EXPECT_TRUE(pdf.CreateDocument());
        bool saved = pdf.SaveDocument(name);
        return std::pair(saved, pdf.LastError());
    };
    EXPECT_EQ(attempt(""), std::pair(true, PdfError::None));  // finishes without writing
    EXPECT_EQ(attempt((dir.path() / "what?.pdf").string()), std::pair(false, PdfError::BadFileName));
    EXPECT_EQ(attempt((dir.path() / "a<b.pdf").string()), std::pair(false, PdfError::BadFileName));
    EXPECT_EQ(attempt(dir.path().string() + "\\"), std::pair(false, PdfError::BadFileName));
    EXPECT_EQ(attempt(dir.path().string() + "/"), std::pair(false, PdfError::BadFileName));
    EXPECT_EQ(attempt((dir.path() / "tab\there.pdf").string()), std::pair(false, PdfError::BadFileName));
    EXPECT_EQ(attempt((dir.path() / "missing" / "x.pdf").string()), std::pair(false, PdfError::FileNotCreated));
    EXPECT_TRUE(fs::is_empty(dir.path()));

    EXPECT_EQ(PdfDocument::ErrorText(PdfError::BadFileName), "Filename is not correct.");
    EXPECT_EQ(PdfDocument::ErrorText(PdfError::FileNotCreated), "Error creating file.");
    EXPECT_EQ(PdfDocument::ErrorText(PdfError::OutOfMemory), "Out of memory.");
    EXPECT_EQ(PdfDocument::ErrorText(PdfError::None), "");

    // An existing file is replaced.
    fs::path file = dir.path() / "again.pdf";
    dir.Write("again.pdf", std::string(100000, 'x'));
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    SaveChecked(pdf, file);
    EXPECT_LT(fs::file_size(file), 2000u);
}

TEST(PdfDocument, ContentLostForLackOfMemoryFailsTheSave) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    pdf.SetBufferCapacityLimit(128000);
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point));
    pdf.SelectFont("Helvetica", {}, 8);
    pdf.SetAutoBreak(false);
    ASSERT_TRUE(pdf.NewPage());
    for (int row = 0; row < 3000; ++row)
        pdf.PutCell(50, 1, "a cell that fills the page buffer", PdfBorder::Frame, PdfCursor::NextLine);
    EXPECT_EQ(pdf.LastError(), PdfError::OutOfMemory);
    fs::path file = dir.path() / "truncated.pdf";
    EXPECT_FALSE(pdf.SaveDocument(file.string()));
    EXPECT_EQ(pdf.LastError(), PdfError::OutOfMemory);
    EXPECT_FALSE(fs::exists(file));

    // The same document fits when the buffers may grow.
    PdfDocument roomy;
    ASSERT_TRUE(roomy.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point));
    roomy.SelectFont("Helvetica", {}, 8);
    roomy.SetAutoBreak(false);
    ASSERT_TRUE(roomy.NewPage());
    for (int row = 0; row < 3000; ++row)
        roomy.PutCell(50, 1, "a cell that fills the page buffer", PdfBorder::Frame, PdfCursor::NextLine);
    SaveChecked(roomy, file);
}

TEST(PdfDocument, OneWriterServesDocumentAfterDocument) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    pdf.SelectFont("Times", {}, 12);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(0, 10, "never saved");
    // A new document drops the unsaved one entirely.
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Point));
    pdf.SelectFont("Helvetica", {}, 12);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(0, 10, "second");
    fs::path second = dir.path() / "second.pdf";
    std::string bytes = SaveChecked(pdf, second);
    EXPECT_EQ(bytes.find("never saved"), std::string::npos);
    EXPECT_EQ(bytes.find("Times"), std::string::npos);

    // A saved document takes neither pages nor a second save.
    EXPECT_FALSE(pdf.NewPage());
    EXPECT_FALSE(pdf.SaveDocument((dir.path() / "twice.pdf").string()));
    EXPECT_FALSE(fs::exists(dir.path() / "twice.pdf"));

    ASSERT_TRUE(pdf.CreateDocument());
    pdf.SelectFont("Helvetica", {}, 12);
    pdf.PutCell(0, 10, "before any page");  // dropped: it would land between the objects
    std::string third = SaveChecked(pdf, dir.path() / "third.pdf");
    EXPECT_EQ(third.find("before any page"), std::string::npos);
    EXPECT_EQ(third.substr(0, 12), "%PDF-1.3\n3 0");
}

TEST(PdfDocument, NumbersDoNotDependOnTheUserLocale) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    auto write = [](const fs::path& file) {
        PdfDocument pdf;
        pdf.SetCreationTime(kNewYear2024);
        EXPECT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Millimetre));
        pdf.SelectFont("Helvetica", {.bold = true}, 10.5f);
        pdf.NewPage();
        pdf.SetFillPaint(216, 216, 216);
        pdf.PutCell(33.3f, 6.25f, "1.234,5", PdfBorder::Frame, PdfCursor::Right, PdfAlign::Right, true);
        pdf.RotateAround(12.5f, 50, 50);
        pdf.DrawCircle(50, 50, 3.3f, PdfPaint::FillAndStroke);
        return SaveChecked(pdf, file);
    };
    test::TempDir dir;
    std::string plain = write(dir.path() / "plain.pdf");

    std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    std::locale previousGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    std::string german = write(dir.path() / "german.pdf");
    std::locale::global(previousGlobal);
    std::setlocale(LC_ALL, previous.c_str());

    EXPECT_EQ(german, plain);
    EXPECT_NE(german.find("10.50 Tf"), std::string::npos);
}

}  // namespace
}  // namespace tak
