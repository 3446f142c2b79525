// Compressed documents: dictionaries packed into an object stream with a
// cross-reference stream, Unicode maps in ranges, page content at the best
// level within a budget. Whatever the packing, a reader must find the same
// pages, text and pixels as in the plain file.
#include <gtest/gtest.h>

#include <zlib.h>

#include <sstream>

#include "PdfTestTools.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorObjectStream.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

// Polish, Czech, Hungarian and Cyrillic letters beside whole alphabets, so
// that the Unicode maps hold long runs of consecutive glyphs.
const std::string kAlphabets =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 "
    "\xC4\x85\xC4\x87\xC4\x99\xC5\x82\xC5\x84\xC3\xB3\xC5\x9B\xC5\xBA\xC5\xBC "      // ąćęłńóśźż
    "\xC4\x9B\xC5\xA1\xC4\x8D\xC5\x99\xC5\xBE\xC3\xBD\xC3\xA1\xC3\xAD\xC3\xA9\xC5\xAF " // ěščřžýáíéů
    "\xC5\x91\xC5\xB1\xC5\x90\xC5\xB0 "                                                // őűŐŰ
    "\xC3\xBF\xC4\x80 \xC4\xBD\xC4\xBE \xD1\x8E\xD1\x8F "  // ÿĀ Ľľ юя: consecutive glyphs across a last byte
    "\xD0\x90\xD0\x91\xD0\x92\xD0\x93\xD0\x94\xD0\x95\xD0\x96\xD0\x97\xD0\x98\xD0\x99\xD0\x9A\xD0\x9B"
    "\xD0\xB0\xD0\xB1\xD0\xB2\xD0\xB3\xD0\xB4\xD0\xB5\xD0\xB6\xD0\xB7\xD0\xB8\xD0\xB9\xD0\xBA\xD0\xBB";  // АБВ… абв…

// Pages with what documents hold: three faces, filled and framed cells,
// paths, a rotated label, a picture and the page count.
void WriteSample(PdfDocument& pdf, const fs::path& image) {
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Millimetre));
    pdf.SetPageCountAlias("{nb}");
    pdf.SetFooterHandler([](PdfDocument& document) {
        document.SelectFont("Helvetica", {.italic = true}, 8);
        document.SetCursorY(-15);
        document.PutCell(0, 5, "Seite " + std::to_string(document.PageNumber()) + "/{nb}", PdfBorder::None,
                         PdfCursor::Right, PdfAlign::Centre);
    });
    for (int page = 0; page < 2; ++page) {
        ASSERT_TRUE(pdf.NewPage());
        pdf.SelectFont("Helvetica", {.bold = true}, 11);
        pdf.PutCell(0, 8, kAlphabets, PdfBorder::Bottom, PdfCursor::NextLine);
        pdf.SelectFont("Helvetica", {}, 9);
        for (int row = 0; row < 12; ++row) {
            pdf.SetFillGrey(row % 2 ? 255.0f : 235.0f);
            pdf.PutCell(50, 6, "\xC5\x81\xC3\xB3\x64\xC5\xBA " + std::to_string(row), PdfBorder::Frame,
                        PdfCursor::Right, PdfAlign::Left, true);
            for (int column = 0; column < 8; ++column) {
                pdf.PutCell(20, 6, std::to_string(5 + column) + ":" + std::to_string(10 + row), PdfBorder::Frame,
                            column == 7 ? PdfCursor::NextLine : PdfCursor::Right, PdfAlign::Centre, row % 2 == 0);
            }
        }
        // Runs of shows without frames, which compressed content joins: a
        // change of face within the run, underlined and justified text, and
        // a text paint of its own.
        pdf.SetFillGrey(255);
        pdf.SetTextGrey(0);
        for (int column = 0; column < 9; ++column) {
            pdf.SelectFont("Helvetica", {.bold = column == 4}, 9);
            pdf.PutCell(column == 0 ? 41.3f : 17.77f, 5, std::to_string(column * 7) + ":0" + std::to_string(column),
                        PdfBorder::None, column == 8 ? PdfCursor::NextLine : PdfCursor::Right, PdfAlign::Centre);
        }
        pdf.SelectFont("Helvetica", {.underline = true}, 9);
        pdf.PutCell(60, 5, "unterstrichen", PdfBorder::None, PdfCursor::Right);
        pdf.SelectFont("Helvetica", {}, 9);
        pdf.PutCell(90, 5, "Blocksatz mit  mehreren Wörtern", PdfBorder::None, PdfCursor::Right, PdfAlign::Justified);
        pdf.SetTextPaint(0, 0, 160);
        pdf.PutText(200, 130, "blau");
        pdf.PutText(215.5f, 130, "und");
        pdf.SetFillGrey(235);
        pdf.SetStrokePaint(200, 0, 0);
        pdf.DrawCircle(250, 150, 12.5f, PdfPaint::Stroke);
        pdf.RotateAround(30, 200, 170);
        pdf.PutText(200, 170, "K\xC5\x91szeg \xD0\x9D\xD0\xB8\xD1\x88");
        pdf.EndRotation();
        pdf.PlaceImage(image.string(), 230, 20, 30, 0);
    }
}

std::string Inflated(std::string_view packed) {
    std::string out(packed.size() * 40 + 1024, '\0');
    uLongf length = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(packed.data()),
                   packed.size()) != Z_OK) {
        return {};
    }
    out.resize(length);
    return out;
}

// The text objects of a page's content.
std::size_t TextObjects(const std::string& content) {
    std::size_t count = 0;
    for (std::size_t at = content.find("BT "); at != std::string::npos; at = content.find("BT ", at + 1)) ++count;
    return count;
}

std::string RenderPage(const fs::path& pdf, int page) {
    fs::path stem = pdf.parent_path() / (pdf.stem().string() + "-page" + std::to_string(page));
    std::string range = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    test::RunTool("pdftoppm -r 60 -singlefile" + range, pdf.string() + "' '" + stem.string());
    return test::ReadBytes(stem.string() + ".ppm");
}

class PdfPacking : public ::testing::Test {
protected:
    std::string Write(PdfWriterOptions options, const fs::path& file) {
        test::PngSpec spec;
        spec.width = 4;
        spec.height = 2;
        spec.pixels = std::string("\xFF\0\0\0\xFF\0\0\0\xFF\x80\x80\x80", 12) + std::string(12, '\x40');
        fs::path image = dir.Write("picture.png", test::MakePng(spec));
        PdfDocument pdf;
        pdf.SetWriterOptions(options);
        pdf.SetCreationTime(std::time_t{0});
        WriteSample(pdf, image);
        return test::SaveChecked(pdf, file);
    }

    test::TempDir dir;
};

TEST_F(PdfPacking, ThePackedFileHoldsTheSameObjectsAndRendersAsThePlainOne) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf, pdftotext and pdftoppm");
    const fs::path plainFile = dir.path() / "plain.pdf", packedFile = dir.path() / "packed.pdf";
    const std::string plain = Write(PdfWriterOptions{false, true}, plainFile);
    const std::string packed = Write(PdfWriterOptions{true, true}, packedFile);

    EXPECT_TRUE(plain.starts_with("%PDF-1.3\n"));
    EXPECT_TRUE(packed.starts_with("%PDF-1.5\n"));
    EXPECT_NE(plain.find("\nxref\n"), std::string::npos);
    EXPECT_EQ(packed.find("\nxref\n"), std::string::npos) << "a cross-reference stream replaces the table";
    EXPECT_NE(packed.find("/Type /ObjStm"), std::string::npos);

    // Every dictionary of the plain file is found, word for word, in the
    // packed one under the same number; streams keep their place too.
    int dictionaries = 0;
    for (int number = 1;; ++number) {
        std::string object = test::ObjectText(plain, number);
        if (object.empty()) break;
        std::string counterpart = test::ObjectText(packed, number);
        ASSERT_FALSE(counterpart.empty()) << number;
        if (object.find("\nstream\n") == std::string::npos) {
            EXPECT_EQ(counterpart, object);
            ++dictionaries;
        } else {
            EXPECT_NE(counterpart.find("/FlateDecode"), std::string::npos) << object.substr(0, 80);
        }
    }
    EXPECT_GT(dictionaries, 10);

    // Text objects are joined in the packed file only.
    test::PageStreams plainPages = test::PageContents(plain), packedPages = test::PageContents(packed);
    ASSERT_EQ(packedPages.contents.size(), 2u);
    std::size_t joined = TextObjects(Inflated(packedPages.contents[0]));
    EXPECT_LT(joined, TextObjects(plainPages.contents[0]));
    EXPECT_GT(joined, 20u);

    EXPECT_EQ(test::ExtractedText(plainFile), test::ExtractedText(packedFile));
    EXPECT_NE(test::ExtractedText(packedFile).find(kAlphabets), std::string::npos);
    for (int page = 1; page <= 2; ++page) {
        std::string picture = RenderPage(plainFile, page);
        EXPECT_GT(picture.size(), 10000u);
        EXPECT_TRUE(picture == RenderPage(packedFile, page)) << "page " << page << " renders differently";
    }
    EXPECT_LT(packed.size() * 3, plain.size());
    // Three font subsets without hinting, two pages of content at the best
    // level, the dictionaries packed: a regression in any shows here.
    EXPECT_LT(packed.size(), 21500u);
}

TEST_F(PdfPacking, UnicodeMapRangesStayWithinALastByteAndGiveEveryCharacterBack) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    const std::string plain = Write(PdfWriterOptions{false, true}, dir.path() / "plain.pdf");
    int ranges = 0;
    for (std::size_t at = plain.find("beginbfrange\n"); at != std::string::npos;
         at = plain.find("beginbfrange\n", at + 1)) {
        std::size_t end = plain.find("endbfrange", at);
        std::istringstream lines(plain.substr(at + 13, end - at - 13));
        for (std::string low, high, target; lines >> low >> high >> target; ++ranges) {
            unsigned first = std::stoul(low.substr(1, 4), nullptr, 16), last = std::stoul(high.substr(1, 4), nullptr, 16);
            unsigned character = std::stoul(target.substr(1, 4), nullptr, 16);
            EXPECT_LT(first, last) << low << high;
            EXPECT_EQ(first >> 8, last >> 8) << low << high;
            EXPECT_LE((character & 0xFF) + (last - first), 0xFFu) << low << high << target;
            EXPECT_EQ(target.size(), 6u) << "characters beyond the first plane stand alone";
        }
    }
    EXPECT_GT(ranges, 5);
    std::string text = test::ExtractedText(dir.path() / "plain.pdf");
    EXPECT_NE(text.find(kAlphabets), std::string::npos) << text;
    EXPECT_NE(text.find("Seite 2/2"), std::string::npos) << text;
}

TEST(PdfPackingBudget, ThePagesWithinTheBudgetGetTheBestLevelTheRestTheFastest) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PdfDocument pdf;
    pdf.SetWriterOptions(PdfWriterOptions{true, true});
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Millimetre));
    pdf.SetAutoBreak(false);
    pdf.SelectFont("Helvetica", {}, 6);
    // The same page again and again, about 90 kB of content each: the
    // budget lasts for the first pages only.
    constexpr int kPages = 6;
    for (int page = 0; page < kPages; ++page) {
        ASSERT_TRUE(pdf.NewPage());
        for (int row = 0; row < 40; ++row) {
            pdf.SetFillGrey(row % 2 ? 235.0f : 255.0f);
            for (int column = 0; column < 25; ++column) {
                pdf.PutCell(column == 0 ? 41.0f : 9.83f, 4.75f, std::to_string((row * 25 + column) % 1440),
                            PdfBorder::Frame, column == 24 ? PdfCursor::NextLine : PdfCursor::Right, PdfAlign::Centre,
                            true);
            }
        }
    }
    std::string bytes = test::SaveChecked(pdf, dir.path() / "long.pdf");
    test::PageStreams pages = test::PageContents(bytes);
    ASSERT_EQ(pages.contents.size(), std::size_t{kPages});
    EXPECT_TRUE(pages.lengthsMatch);
    const std::size_t first = pages.contents.front().size(), last = pages.contents.back().size();
    EXPECT_LT(first * 21, last * 20) << "the first page is packed harder than the last";
    EXPECT_EQ(pages.contents[1].size(), first) << "the budget holds more than one page";
}

TEST(PdfTextJoining, RelativeMovesLandWhereAbsoluteOnesDo) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftoppm");
    // Positions from a tour plan row where a reader that sums the digits of
    // decimals drifts off the absolute position after a few relative moves.
    test::TempDir dir;
    auto write = [&](bool compress, const fs::path& file) {
        PdfDocument pdf;
        pdf.SetWriterOptions(PdfWriterOptions{compress, true});
        EXPECT_TRUE(pdf.CreateDocument(PdfOrientation::Landscape, PdfUnit::Point));
        EXPECT_TRUE(pdf.NewPage());
        pdf.SelectFont("Helvetica", {}, 10);
        pdf.SetFillGrey(235);
        pdf.SetTextGrey(0);
        for (float y : {595.28f - 141.43f, 595.28f - 101.27f, 595.28f - 61.9f}) {
            for (float x : {134.84f, 176.84f, 218.84f, 266.40f, 308.40f, 344.84f, 386.84f, 428.84f, 470.84f, 512.84f,
                            554.84f, 596.84f, 638.84f}) {
                pdf.PutText(x, y, "00:03");
            }
        }
        return test::SaveChecked(pdf, file);
    };
    std::string plain = write(false, dir.path() / "plain.pdf");
    std::string packed = write(true, dir.path() / "packed.pdf");
    const std::size_t joined = TextObjects(Inflated(test::PageContents(packed).contents.at(0)));
    EXPECT_LT(joined * 3, TextObjects(test::PageContents(plain).contents.at(0))) << "most shows join";
    for (const char* resolution : {"110", "150", "300"}) {
        auto render = [&](const char* name) {
            fs::path stem = dir.path() / (std::string(name) + resolution);
            test::RunTool(std::string("pdftoppm -singlefile -r ") + resolution,
                          (dir.path() / (std::string(name) + ".pdf")).string() + "' '" + stem.string());
            return test::ReadBytes(stem.string() + ".ppm");
        };
        std::string picture = render("plain");
        EXPECT_GT(picture.size(), 1000u);
        EXPECT_TRUE(picture == render("packed")) << resolution << " dpi";
    }
}

// A classic file of two objects as the writer makes it.
const std::string kClassic =
    "%PDF-1.3\n1 0 obj\n<</Type /Catalog /Pages 3 0 R>>\nendobj\n2 0 obj\n<</Producer (x)>>\nendobj\n"
    "3 0 obj\n<</Type /Pages /Kids [] /Count 0>>\nendobj\n4 0 obj\n<</Length 5>>\nstream\nhello\nendstream\nendobj\n"
    "xref\n0 5\n";
const std::vector<std::size_t> kClassicOffsets = {9, 56, 89, 139};

TEST(PackObjects, KeepsNumbersAndStreamsAndRefusesWhatItDidNotWrite) {
    std::optional<std::string> packed = PackObjects(kClassic, kClassicOffsets, 1, 2);
    ASSERT_TRUE(packed);
    EXPECT_EQ(test::CheckCrossReference(*packed), "");
    EXPECT_EQ(test::ObjectText(*packed, 1), "1 0 obj\n<</Type /Catalog /Pages 3 0 R>>\nendobj\n");
    EXPECT_EQ(test::ObjectText(*packed, 3), "3 0 obj\n<</Type /Pages /Kids [] /Count 0>>\nendobj\n");
    EXPECT_NE(packed->find("4 0 obj\n<</Length 5>>\nstream\nhello\nendstream\nendobj\n"), std::string::npos);
    EXPECT_NE(packed->find("/Root 1 0 R /Info 2 0 R"), std::string::npos);
    EXPECT_NE(packed->find("\n2 0 obj\n<</Producer (x)>>\nendobj\n"), std::string::npos) << "the dates stay readable";

    // Offsets that miss their objects, a missing table, a cut file.
    EXPECT_FALSE(PackObjects(kClassic, {}, 1, 2));
    EXPECT_FALSE(PackObjects(kClassic, {9, 56, 90, 139}, 1, 2));
    EXPECT_FALSE(PackObjects(kClassic, {9, 56, 89, 139, 4000}, 1, 2));
    EXPECT_FALSE(PackObjects(kClassic.substr(0, kClassic.size() - 10), kClassicOffsets, 1, 2));
    EXPECT_FALSE(PackObjects("1 0 obj\n" + kClassic.substr(9), kClassicOffsets, 1, 2));
}

}  // namespace
}  // namespace tak
