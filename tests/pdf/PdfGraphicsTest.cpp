// Paints, paths, ellipses and rotation as they appear in the page content.
#include <gtest/gtest.h>

#include <algorithm>

#include "PdfTestTools.h"
#include "pdf/Paginor.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;
using test::PageContents;
using test::SaveChecked;
using test::SplitLines;

// Everything after the lines every page begins with ("2 J", line width).
std::vector<std::string> DrawnLines(const std::string& content) {
    std::vector<std::string> lines = SplitLines(content);
    return {lines.begin() + 2, lines.end()};
}

TEST(PdfGraphics, PaintsAreGreyOrRgbOperatorsAndCarryToTheFirstPage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    pdf.SetFillPaint(216, 216, 216);  // no page yet: remembered, not emitted
    ASSERT_TRUE(pdf.NewPage());
    pdf.SetFillGrey(128);
    pdf.SetFillPaint(128, 128, 128);  // a grey colour stays RGB
    pdf.SetStrokeGrey(0);
    pdf.SetStrokePaint(0, 0, 0);
    pdf.SetStrokePaint(255, 0, 0);
    pdf.SetStrokePaint(51, 102, 153);
    pdf.SetTextPaint(255, 255, 255);  // never emitted by itself
    auto pages = PageContents(SaveChecked(pdf, dir.path() / "paints.pdf")).contents;
    const std::vector<std::string> expected = {
        "0.847 0.847 0.847 rg", "0.502 g", "0.502 0.502 0.502 rg", "0.000 G", "0.000 G",
        "1.000 0.000 0.000 RG", "0.200 0.400 0.600 RG",
    };
    EXPECT_EQ(DrawnLines(pages[0]), expected);
}

TEST(PdfGraphics, PathsAndEllipsesInPageCoordinates) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {200, 100}));
    ASSERT_TRUE(pdf.NewPage());
    pdf.PathMoveTo(10, 20);
    pdf.PathLineTo(30, 40.5f);
    pdf.PathCurveTo(1, 2, 3, 4, 5, 6);
    pdf.PaintPath(PdfPaint::Stroke);
    pdf.PathMoveTo(0, 0);
    pdf.PathLineTo(10, 0);
    pdf.PaintPath(PdfPaint::CloseAndStroke);
    pdf.DrawCircle(50, 50, 4, PdfPaint::FillAndStroke);
    pdf.DrawEllipse(100, 50, 20, 10, PdfPaint::Fill);
    auto pages = PageContents(SaveChecked(pdf, dir.path() / "paths.pdf")).contents;
    const std::vector<std::string> expected = {
        "10.00 80.00 m",
        "30.00 59.50 l",
        "1.00 98.00 3.00 96.00 5.00 94.00 c",
        "S",
        "0.00 100.00 m",
        "10.00 100.00 l",
        "s",
        // A circle of radius 4 around (50, 50): k * 4 = 2.21.
        "54.00 50.00 m",
        "54.00 52.21 52.21 54.00 50.00 54.00 c",
        "47.79 54.00 46.00 52.21 46.00 50.00 c",
        "46.00 47.79 47.79 46.00 50.00 46.00 c",
        "52.21 46.00 54.00 47.79 54.00 50.00 c",
        "b",
        "120.00 50.00 m",
        "120.00 55.52 111.05 60.00 100.00 60.00 c",
        "88.95 60.00 80.00 55.52 80.00 50.00 c",
        "80.00 44.48 88.95 40.00 100.00 40.00 c",
        "111.05 40.00 120.00 44.48 120.00 50.00 c",
        "f",
    };
    EXPECT_EQ(DrawnLines(pages[0]), expected);
}

TEST(PdfGraphics, RotationTurnsAroundAPointAndIsAlwaysClosed) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    pdf.SelectFont("Helvetica", {}, 9);
    ASSERT_TRUE(pdf.NewPage());
    pdf.RotateAround(45, 10, 20);
    pdf.PutText(10, 20, "Hbf");
    pdf.RotateAround(90, 10, 20);  // closes the first one
    pdf.EndRotation();  // only closes
    pdf.SetCursorY(100);
    pdf.RotateAroundCursor(-30);  // around the cursor, left open
    ASSERT_TRUE(pdf.NewPage());   // the page end closes it
    pdf.RotateAround(10, 50, 50);  // left open on the last page
    auto pages = PageContents(SaveChecked(pdf, dir.path() / "rotation.pdf")).contents;
    ASSERT_EQ(pages.size(), 2u);
    const std::vector<std::string> first = {
        "BT /F1 9.00 Tf ET",
        "q 0.70711 0.70711 -0.70711 0.70711 28.35 785.20 cm",
        "1 0 0 1 -28.35 -785.20 cm",
        "BT 28.35 785.20 Td (Hbf) Tj ET",
        "Q",
        "q -0.00000 1.00000 -1.00000 -0.00000 28.35 785.20 cm",
        "1 0 0 1 -28.35 -785.20 cm",
        "Q",
        "q 0.86603 -0.50000 0.50000 0.86603 28.35 558.43 cm",
        "1 0 0 1 -28.35 -558.43 cm",
        "Q",
    };
    EXPECT_EQ(DrawnLines(pages[0]), first);
    EXPECT_EQ(pages[1].substr(pages[1].size() - 2), "Q\n");

    // Every document of the run closes its rotation, the writer reused.
    ASSERT_TRUE(pdf.CreateDocument());
    pdf.RotateAround(30, 10, 20);  // no page yet: nothing to turn, nothing to close
    ASSERT_TRUE(pdf.NewPage());
    pdf.RotateAround(45, 10, 20);
    auto again = PageContents(SaveChecked(pdf, dir.path() / "again.pdf")).contents;
    EXPECT_EQ(again[0].substr(again[0].size() - 2), "Q\n");
    EXPECT_EQ(std::count(again[0].begin(), again[0].end(), 'Q'), 1);
}

TEST(PdfGraphics, MinusOneIsAPointLikeAnyOther) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {200, 100}));
    ASSERT_TRUE(pdf.NewPage());
    pdf.SetCursorY(50);
    pdf.RotateAround(90, -1, -1);
    pdf.RotateAroundCursor(90);
    auto pages = PageContents(SaveChecked(pdf, dir.path() / "minus-one.pdf")).contents;
    const std::vector<std::string> expected = {
        "q -0.00000 1.00000 -1.00000 -0.00000 -1.00 101.00 cm",
        "1 0 0 1 1.00 -101.00 cm",
        "Q",
        "q -0.00000 1.00000 -1.00000 -0.00000 28.35 50.00 cm",
        "1 0 0 1 -28.35 -50.00 cm",
        "Q",
    };
    EXPECT_EQ(DrawnLines(pages[0]), expected);
}

}  // namespace
}  // namespace tak
