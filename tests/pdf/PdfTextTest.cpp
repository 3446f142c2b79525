// Fonts, measuring, cells, running text and the cursor, checked in the page
// content and by reading the text back with pdftotext.
#include <gtest/gtest.h>

#include <algorithm>

#include "PdfTestTools.h"
#include "pdf/Paginor.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;
using test::ObjectText;
using test::PageContents;
using test::SaveChecked;
using test::SplitLines;

// A small portrait page in points: 400 x 300, margins 28.35, cell margin
// 2.835, page break below y = 243.3.
class PdfText : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {400, 300})); }

    // Saves, checks the file, and returns the content of each page.
    std::vector<std::string> Save() {
        bytes = SaveChecked(pdf, file);
        auto pages = PageContents(bytes);
        EXPECT_TRUE(pages.lengthsMatch);
        return pages.contents;
    }

    static int Count(std::string_view text, std::string_view piece) {
        int count = 0;
        for (std::size_t pos = text.find(piece); pos != std::string_view::npos; pos = text.find(piece, pos + 1)) {
            ++count;
        }
        return count;
    }

    test::TempDir dir;
    fs::path file = dir.path() / "text.pdf";
    PdfDocument pdf;
    std::string bytes;
};

TEST_F(PdfText, FontSelectionIsEmittedOnceAndMapsArialStylesAndSymbols) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SelectFont("Arial", {.bold = true, .underline = true}, 12);  // before the first page: nothing emitted yet
    ASSERT_TRUE(pdf.NewPage());
    pdf.SelectFont("Arial", {.bold = true, .underline = true}, 12);  // unchanged: nothing emitted
    EXPECT_EQ(pdf.FontStyle(), (PdfFontStyle{.bold = true, .underline = true}));
    pdf.PutCell(100, 20, "Ab");
    pdf.SelectFont("Arial", {.bold = true}, 10);
    pdf.SelectFont("", {}, 0);  // keeps family and size, never the style
    pdf.SelectFont("Times", {.bold = true, .italic = true}, 10);
    pdf.SelectFont("Symbol", {.bold = true}, 10);
    pdf.SelectFont("zapfdingbats", {.italic = true}, 0);
    EXPECT_EQ(pdf.FontStyle(), PdfFontStyle{});  // the symbol fonts have no styles
    auto pages = Save();

    std::vector<std::string> lines = SplitLines(pages[0]);
    const std::vector<std::string> expected = {
        "2 J",
        "0.57 w",
        "BT /F1 12.00 Tf ET",
        "BT 31.19 258.05 Td (Ab) Tj ET 31.19 256.85 16.00 -1.20 re f",  // bold: a doubled underline
        "BT /F1 10.00 Tf ET",
        "BT /F2 10.00 Tf ET",
        "BT /F3 10.00 Tf ET",
        "BT /F4 10.00 Tf ET",
        "BT /F5 10.00 Tf ET",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_NE(ObjectText(bytes, 5).find("/BaseFont /Helvetica-Bold\n/Subtype /Type1\n/Encoding /WinAnsiEncoding"),
              std::string::npos);
    EXPECT_NE(ObjectText(bytes, 6).find("/BaseFont /Helvetica\n"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 7).find("/BaseFont /Times-BoldItalic\n"), std::string::npos);
    std::string symbol = ObjectText(bytes, 8);
    EXPECT_NE(symbol.find("/BaseFont /Symbol\n"), std::string::npos);
    EXPECT_EQ(symbol.find("/Encoding"), std::string::npos);
    std::string dingbats = ObjectText(bytes, 9);
    EXPECT_NE(dingbats.find("/BaseFont /ZapfDingbats\n"), std::string::npos);
    EXPECT_EQ(dingbats.find("/Encoding"), std::string::npos);
}

TEST_F(PdfText, WidthsFollowTheWrittenBytes) {
    pdf.SelectFont("Helvetica", {}, 10);
    EXPECT_FLOAT_EQ(pdf.TextWidth("Ab"), 12.23f);
    EXPECT_FLOAT_EQ(pdf.TextWidth(""), 0.0f);
    pdf.SelectFont("Times", {}, 10);
    EXPECT_FLOAT_EQ(pdf.TextWidth("\xE2\x82\xAC"), 5.0f);   // € as code 0x80
    EXPECT_FLOAT_EQ(pdf.TextWidth("\xC5\x81"), 4.44f);      // Ł is written and measured as "?"
    EXPECT_FLOAT_EQ(pdf.TextWidth("\xC3\xA4"), 4.44f);      // ä
    pdf.SelectFont("Courier", {.bold = true}, 10);
    EXPECT_FLOAT_EQ(pdf.TextWidth("\xC3\xA4x\xE4\xB8\xAD"), 18.0f);

    PdfDocument millimetres;
    ASSERT_TRUE(millimetres.CreateDocument(PdfOrientation::Portrait, PdfUnit::Millimetre));
    millimetres.SelectFont("Helvetica", {}, 10);
    EXPECT_NEAR(millimetres.TextWidth("Ab"), 12.23f / 2.8346457f, 1e-5f);
}

TEST_F(PdfText, CellsDrawFramesEdgesFillsAndAlignedText) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SelectFont("Helvetica", {}, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(100, 10, "", PdfBorder::Left | PdfBorder::Top, PdfCursor::NextLine);        // left and top edge
    pdf.PutCell(100, 10, "", PdfBorder::Frame, PdfCursor::NextLine, PdfAlign::Left, true);  // frame and fill
    pdf.PutCell(100, 10, "", PdfBorder::None, PdfCursor::NextLine, PdfAlign::Left, true);   // fill only
    pdf.PutCell(100, 10, "", PdfBorder::Frame, PdfCursor::NextLine);                        // frame only
    pdf.PutCell(100, 10, "", PdfBorder::Left | PdfBorder::Top | PdfBorder::Right | PdfBorder::Bottom,
                PdfCursor::NextLine);                                                 // all four edges
    pdf.PutCell(100, 10, "", PdfBorder::None, PdfCursor::NextLine);                   // nothing to draw
    pdf.PutCell(0, 10, "x", PdfBorder::None, PdfCursor::NextLine, PdfAlign::Centre);  // to the right margin, centred
    pdf.PutCell(100, 10, "x", PdfBorder::None, PdfCursor::NextLine, PdfAlign::Right);
    pdf.PutCell(100, 10, "x\r\n", PdfBorder::None, PdfCursor::Right, PdfAlign::Left);  // one line end is dropped
    auto pages = Save();
    std::vector<std::string> lines = SplitLines(pages[0]);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[3], "28.35 271.65 m 28.35 261.65 l S 28.35 271.65 m 128.35 271.65 l S ");
    EXPECT_EQ(lines[4], "28.35 261.65 100.00 -10.00 re B ");
    EXPECT_EQ(lines[5], "28.35 251.65 100.00 -10.00 re f ");
    EXPECT_EQ(lines[6], "28.35 241.65 100.00 -10.00 re S ");
    EXPECT_EQ(Count(lines[7], " l S "), 4);
    EXPECT_EQ(lines[8], "");
    // "x" is 5 units wide: centred in 343.3 it starts at 28.35 + 169.15.
    EXPECT_EQ(lines[9], "BT 197.50 203.65 Td (x) Tj ET");
    EXPECT_EQ(lines[10], "BT 120.51 193.65 Td (x) Tj ET");  // 28.35 + 100 - 2.835 - 5, just below half in float
    EXPECT_EQ(lines[11], "BT 31.19 183.65 Td (x) Tj ET");
    EXPECT_NEAR(pdf.CursorX(), 128.35f, 1e-3f);
    EXPECT_NEAR(pdf.CursorY(), 108.35f, 1e-3f);
    pdf.LineFeed();  // by the last cell's height
    EXPECT_NEAR(pdf.CursorX(), 28.35f, 1e-3f);
    EXPECT_NEAR(pdf.CursorY(), 118.35f, 1e-3f);
    pdf.SetCursorY(-20);  // from the bottom edge
    EXPECT_NEAR(pdf.CursorY(), 280.0f, 1e-3f);
}

TEST_F(PdfText, AutomaticPageBreakKeepsXAndCarriesFontAndPaints) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SelectFont("Helvetica", {}, 10);
    pdf.SetHeaderHandler([](PdfDocument& doc) {
        doc.SelectFont("Times", {.bold = true}, 14);
        doc.SetFillPaint(255, 255, 0);
        doc.PutCell(0, 20, "Fahrplan", PdfBorder::Frame, PdfCursor::NextLine, PdfAlign::Centre, true);
    });
    ASSERT_TRUE(pdf.NewPage());
    pdf.SetFillGrey(128);
    pdf.SetStrokePaint(255, 0, 0);
    pdf.SetCursorY(240);
    pdf.PutCell(40, 3, "");
    pdf.PutCell(50, 10, "next", PdfBorder::Frame);  // its bottom (250) passes 243.3
    EXPECT_EQ(pdf.PageNumber(), 2);
    EXPECT_NEAR(pdf.CursorX(), 118.35f, 1e-3f);
    EXPECT_NEAR(pdf.CursorY(), 48.35f, 1e-3f);  // below the header's cell
    auto pages = Save();
    ASSERT_EQ(pages.size(), 2u);

    std::vector<std::string> lines = SplitLines(pages[1]);
    const std::vector<std::string> expected = {
        "2 J",
        "0.57 w",
        "BT /F1 10.00 Tf ET",
        "1.000 0.000 0.000 RG",
        "0.502 g",
        // the header, in its own font and fill
        "BT /F2 14.00 Tf ET",
        "1.000 1.000 0.000 rg",
        "28.35 271.65 343.30 -20.00 re B q 0 g BT 171.99 257.45 Td (Fahrplan) Tj ET Q",
        // back to the state before the break
        "BT /F1 10.00 Tf ET",
        "0.502 g",
        "68.35 251.65 50.00 -10.00 re S q 0 g BT 71.18 243.65 Td (next) Tj ET Q",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(PdfText, FooterNeverBreaksThePage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    pdf.SelectFont("Helvetica", {}, 8);
    int footers = 0;
    pdf.SetFooterHandler([&footers](PdfDocument& doc) {
        ++footers;
        doc.SetCursorY(-20);
        doc.PutCell(0, 10, "Seite " + std::to_string(doc.PageNumber()), PdfBorder::None, PdfCursor::Right,
                    PdfAlign::Centre);
    });
    for (int page = 0; page < 3; ++page) ASSERT_TRUE(pdf.NewPage());
    EXPECT_EQ(footers, 2);
    Save();
    EXPECT_EQ(footers, 3);
    EXPECT_NE(bytes.find("/Count 3\n"), std::string::npos);
    std::string text = test::ExtractedText(file);
    for (const char* footer : {"Seite 1", "Seite 2", "Seite 3"}) {
        EXPECT_NE(text.find(footer), std::string::npos) << footer;
    }
}

TEST_F(PdfText, JustifiedCellsSpreadTheirBlanksAndResetTheSpacing) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SelectFont("Helvetica", {}, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(200, 10, "a b c", PdfBorder::None, PdfCursor::NextLine, PdfAlign::Justified);
    pdf.PutCell(200, 10, "a b", PdfBorder::None, PdfCursor::NextLine, PdfAlign::Left);
    auto pages = Save();
    std::vector<std::string> lines = SplitLines(pages[0]);
    ASSERT_EQ(lines.size(), 7u);
    // (200 - 2 * 2.835 - 21.68) / 2 blanks
    EXPECT_EQ(lines[3], "86.325 Tw");
    EXPECT_EQ(lines[4], "BT 31.19 263.65 Td (a b c) Tj ET");
    EXPECT_EQ(lines[5], "0 Tw");
    EXPECT_EQ(lines[6], "BT 31.19 253.65 Td (a b) Tj ET");
}

TEST_F(PdfText, FlowTextWrapsAtBlanksAndInsideLongWords) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SelectFont("Courier", {}, 10);  // 6 units a character: 56 fit on a line
    ASSERT_TRUE(pdf.NewPage());
    const std::string longWord(100, 'w');
    pdf.FlowText(12, longWord + " end");
    // The rest of the text stays on the last line; the cursor stands after it.
    EXPECT_NEAR(pdf.CursorX(), 28.35f + 48 * 6, 1e-3f);
    EXPECT_NEAR(pdf.CursorY(), 28.35f + 12, 1e-3f);

    pdf.LineFeed(12);
    pdf.PutCell(300, 12, "");  // x = 328.35: room for 6 characters
    pdf.FlowText(12, "abcdefghij and a few more words\nnext line");
    auto pages = Save();
    std::vector<std::string> shown;
    for (const std::string& line : SplitLines(pages[0])) {
        std::size_t open = line.find(" Td (");
        if (open != std::string::npos) shown.push_back(line.substr(0, open) + " " + line.substr(open + 5, line.find(") Tj") - open - 5));
    }
    const std::vector<std::string> expected = {
        "BT 31.19 262.65 " + std::string(56, 'w'),
        "BT 31.19 250.65 " + std::string(44, 'w') + " end",
        "BT 31.19 226.65 abcdefghij and a few more words",  // the word moved to the next line whole
        "BT 31.19 214.65 next line",
    };
    EXPECT_EQ(shown, expected);
    EXPECT_NEAR(pdf.CursorX(), 28.35f + 9 * 6, 1e-3f);
}

TEST_F(PdfText, TextReadsBackWithUmlautsEuroAndEscapedSyntax) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("pdftotext");
    pdf.SelectFont("Helvetica", {}, 11);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(0, 14, "Grüße aus Köln: 12,50 €", PdfBorder::None, PdfCursor::NextLine);
    pdf.PutCell(0, 14, "Œuvre – „Zitat“ … ™", PdfBorder::None, PdfCursor::NextLine);
    pdf.PutCell(0, 14, "Łódź 中", PdfBorder::None, PdfCursor::NextLine);
    pdf.PutCell(0, 14, "a(b)c\\d ((( \\) end", PdfBorder::None, PdfCursor::NextLine);
    // Control characters, a lone surrogate and stray bytes must not break the syntax.
    pdf.PutCell(0, 14,
                std::string("x\x01\x08\t\f\x0D"
                            "y\xED\xA0\x80z\xFF\xC3\0!",
                            15),
                PdfBorder::None, PdfCursor::NextLine);
    pdf.FlowText(14, "Linie 7 (Nord)\r\nHaltestelle \\ Bahnhof");
    pdf.PutText(40, 200, "Platz für €");
    auto pages = Save();
    EXPECT_NE(pages[0].find("Td (Gr\xFC\xDF" "e aus K\xF6ln: 12,50 \x80) Tj"), std::string::npos);
    EXPECT_NE(pages[0].find("(a\\(b\\)c\\\\d \\(\\(\\( \\\\\\) end)"), std::string::npos);

    std::string text = test::ExtractedText(file);
    for (const char* expected : {"Grüße aus Köln: 12,50 €", "Œuvre – „Zitat“ … ™", "?ód? ?", "a(b)c\\d ((( \\) end",
                                 "Linie 7 (Nord)", "Haltestelle \\ Bahnhof", "Platz für €"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}

TEST_F(PdfText, TextPaintWrapsTextWhileItDiffersFromTheFill) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SelectFont("Helvetica", {.underline = true}, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(50, 10, "plain");
    pdf.SetTextGrey(192);
    pdf.PutCell(50, 10, "grey");
    pdf.PutText(100, 100, "at a point");
    auto pages = Save();
    std::vector<std::string> lines = SplitLines(pages[0]);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], "BT 31.19 263.65 Td (plain) Tj ET 31.19 262.65 21.12 -0.50 re f");
    EXPECT_EQ(lines[4], "q 0.753 g BT 81.18 263.65 Td (grey) Tj ET 81.18 262.65 19.45 -0.50 re f Q");
    EXPECT_EQ(lines[5], "q 0.753 g BT 100.00 200.00 Td (at a point) Tj ET 100.00 199.00 41.14 -0.50 re f Q");
}

}  // namespace
}  // namespace tak
