// Embedded font subsets and compressed streams: what a reader finds in the
// file (fonts, text, widths) and what the subset keeps of the font file.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "PdfTestTools.h"
#include "base/FileSystem.h"
#include "fonts/FontFaces.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorTrueType.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

const std::string kEasternNames = "\xC5\x81\xC3\xB3\x64\xC5\xBA Kaliska, \xC5\x98\xC3\xAD\xC4\x8D\x61ny, "
                                  "K\xC5\x91szeg, \xD0\x9D\xD0\xB8\xD1\x88";  // Łódź Kaliska, Říčany, Kőszeg, Ниш

std::string Inflate(std::string_view packed) {
    std::string out(packed.size() * 20 + 1024, '\0');
    uLongf length = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(packed.data()),
                   packed.size()) != Z_OK) {
        return "<not inflated>";
    }
    out.resize(length);
    return out;
}

// The font lines of pdffonts: name, type, encoding, emb, sub, uni.
std::vector<std::string> FontLines(const fs::path& file) {
    test::ToolRun run = test::RunTool("pdffonts", file);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::string> lines = test::SplitLines(run.output);
    if (lines.size() >= 2) lines.erase(lines.begin(), lines.begin() + 2);  // the header
    for (std::string& line : lines) line = test::SqueezeBlanks(line);
    return lines;
}

class PdfFonts : public ::testing::Test {
protected:
    void SetUp() override {
        pdf.SetWriterOptions(PdfWriterOptions{true, true});
        ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {500, 300}));
        pdf.SetPageCountAlias("{nb}");
    }

    test::TempDir dir;
    fs::path file = dir.path() / "fonts.pdf";
    PdfDocument pdf;
};

TEST_F(PdfFonts, EveryFontIsAnEmbeddedSubsetAndTheTextReadsBackExactly) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    pdf.SelectFont("Arial", {}, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(0, 12, kEasternNames, PdfBorder::None, PdfCursor::NextLine);
    pdf.SelectFont("Times", {.bold = true}, 10);
    pdf.FlowText(12, "Kaliska \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0\n");  // Москва
    pdf.SelectFont("Courier", {.italic = true}, 10);
    pdf.PutText(30, 100, "Page 1/{nb}");
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutText(30, 100, "Page 2/{nb}");
    test::SaveChecked(pdf, file);
    EXPECT_EQ(pdf.MissingCharacters(), "");

    std::vector<std::string> fonts = FontLines(file);
    ASSERT_EQ(fonts.size(), 3u);
    // "ABCDEF+LiberationSans-Regular CID TrueType Identity-H yes yes yes ...": a
    // six-letter subset tag, the face, and embedded, subset and Unicode map.
    for (const std::string& line : fonts) {
        bool tagged = line.size() > 7 && line[6] == '+' &&
                      std::all_of(line.begin(), line.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; });
        bool known = false;
        for (const char* face : {"LiberationSans-Regular ", "LiberationSerif-Bold ", "LiberationMono-Italic "}) {
            known = known || line.compare(7, std::string_view(face).size(), face) == 0;
        }
        EXPECT_TRUE(tagged && known) << line;
        EXPECT_NE(line.find(" CID TrueType Identity-H yes yes yes "), std::string::npos) << line;
    }

    std::string text = test::ExtractedText(file);
    EXPECT_NE(text.find(kEasternNames), std::string::npos) << text;
    EXPECT_NE(text.find("Kaliska \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0"), std::string::npos) << text;
    // The page-count alias is replaced in the glyph codes of the font it was written in.
    EXPECT_NE(text.find("Page 1/2"), std::string::npos) << text;
    EXPECT_NE(text.find("Page 2/2"), std::string::npos) << text;
}

TEST_F(PdfFonts, TheWidthsInTheFileAreTheWidthsTextIsMeasuredWith) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    pdf.SetWriterOptions(PdfWriterOptions{false, true});  // plain, to read the glyph codes
    pdf.SelectFont("Helvetica", {.bold = true}, 10);
    ASSERT_TRUE(pdf.NewPage());
    const std::vector<std::string> characters = {"W", "i", "\xC5\x81", "\xC5\x91", "\xD0\xA8", " "};
    std::vector<float> measured;
    for (const std::string& character : characters) {
        pdf.PutCell(20, 12, character, PdfBorder::None, PdfCursor::NextLine);
        measured.push_back(pdf.TextWidth(character) * 1000 / 10);
    }
    std::string bytes = test::SaveChecked(pdf, file);

    // Glyph codes in the order the cells were written, and the /W array.
    std::vector<int> glyphs;
    std::string content = test::PageContents(bytes).contents.at(0);
    // Each shown glyph reads "<XXXX> Tj".
    for (std::size_t at = content.find("> Tj"); at != std::string::npos; at = content.find("> Tj", at + 1)) {
        if (at >= 5 && content[at - 5] == '<') glyphs.push_back(std::stoi(content.substr(at - 4, 4), nullptr, 16));
    }
    ASSERT_EQ(glyphs.size(), characters.size());
    std::size_t open = bytes.find("/W [");
    ASSERT_NE(open, std::string::npos);
    std::map<int, int> widths;
    std::istringstream array(bytes.substr(open + 4, bytes.find("]]", open) - open - 3));
    for (std::string token; array >> token;) {
        int first = std::stoi(token);
        array >> token;  // "[w" of the run's first glyph
        for (int glyph = first;; ++glyph) {
            bool last = token.back() == ']';
            widths[glyph] = std::stoi(token.substr(token.front() == '[' ? 1 : 0));
            if (last || !(array >> token)) break;
        }
    }
    for (std::size_t i = 0; i < characters.size(); ++i) {
        ASSERT_TRUE(widths.contains(glyphs[i])) << characters[i];
        EXPECT_NEAR(static_cast<float>(widths[glyphs[i]]), measured[i], 0.01f) << characters[i];
    }
    // Metric compatibility: W in the bold face is as wide as the standard font measures it.
    EXPECT_NEAR(measured[0], 944, 0.01f);
}

TEST_F(PdfFonts, ACharacterWithoutGlyphPrintsAReplacementAndIsReportedOnce) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    pdf.SelectFont("Arial", {}, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PutCell(0, 12, "A\xE4\xB8\xAD" "B\xE4\xB8\xAD", PdfBorder::None, PdfCursor::NextLine);  // A中B中
    pdf.PutCell(0, 12, "\xE2\x98\x83", PdfBorder::None, PdfCursor::NextLine);                    // ☃
    EXPECT_EQ(pdf.MissingCharacters(), "\xE2\x98\x83\xE4\xB8\xAD");                             // in code point order
    test::SaveChecked(pdf, file);
    std::string text = test::ExtractedText(file);
    // Something visible stands in for the missing glyph; the rest is exact.
    EXPECT_TRUE(text.find("A\xEF\xBF\xBD" "B\xEF\xBF\xBD") != std::string::npos || text.find("A?B?") != std::string::npos)
        << text;

    // A new document starts without the old one's missing characters.
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point));
    EXPECT_EQ(pdf.MissingCharacters(), "");
}

// Slanted text is read back as its words, umlauts and all (its glyphs
// alone come out letter by letter from some extractors).
TEST_F(PdfFonts, MarkedSlantedTextIsExtractedAsWords) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    pdf.SelectFont("Arial", {}, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.RotateAround(45, 100, 300);
    pdf.PutMarkedText(100, 300, "\xC3\x96lm\xC3\xBChle S\xC3\xBC" "d");  // Ölmühle Süd
    pdf.EndRotation();
    test::SaveChecked(pdf, file);
    const std::string text = test::ExtractedText(file);
    EXPECT_NE(text.find("\xC3\x96lm\xC3\xBChle S\xC3\xBC" "d"), std::string::npos) << text;
}

TEST_F(PdfFonts, CompressedPagesInflateToThePlainContentAndTheFileShrinks) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdftotext");
    auto write = [this](bool compress, const fs::path& to) {
        PdfDocument document;
        document.SetWriterOptions(PdfWriterOptions{compress, true});
        EXPECT_TRUE(document.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point));
        document.SetPageCountAlias("{nb}");
        document.SelectFont("Helvetica", {}, 8);
        for (int page = 0; page < 3; ++page) {
            EXPECT_TRUE(document.NewPage());
            for (int row = 0; row < 40; ++row) {
                document.PutCell(60, 12, "05:" + std::to_string(10 + row) + " {nb}", PdfBorder::Frame,
                                 PdfCursor::NextLine, PdfAlign::Centre, row % 2 == 0);
            }
        }
        return test::SaveChecked(document, to);
    };
    std::string plain = write(false, dir.path() / "plain.pdf");
    std::string packed = write(true, dir.path() / "packed.pdf");
    test::PageStreams plainPages = test::PageContents(plain);
    test::PageStreams packedPages = test::PageContents(packed);
    EXPECT_TRUE(plainPages.lengthsMatch);
    EXPECT_TRUE(packedPages.lengthsMatch);
    ASSERT_EQ(packedPages.contents.size(), 3u);
    // Compressed content leaves each text object open for a following show
    // to join; framed cells have none, so only the "ET" moves to a line of
    // its own.
    auto joinedEnds = [](std::string content) {
        for (std::size_t at = content.find("\nET"); at != std::string::npos; at = content.find("\nET", at)) {
            content[at] = ' ';
        }
        return content;
    };
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(joinedEnds(Inflate(packedPages.contents[i])), plainPages.contents[i]);
    }
    EXPECT_NE(plainPages.contents[0].find("> Tj"), std::string::npos);
    EXPECT_LT(packed.size() * 2, plain.size());
    EXPECT_EQ(test::ExtractedText(dir.path() / "plain.pdf"), test::ExtractedText(dir.path() / "packed.pdf"));
}

// The glyph data of a font file, by glyph number, read through its loca table.
std::vector<std::string> GlyphData(const std::string& font) {
    auto u16 = [&](std::size_t at) {
        return static_cast<uint32_t>(static_cast<unsigned char>(font.at(at)) << 8 |
                                     static_cast<unsigned char>(font.at(at + 1)));
    };
    auto u32 = [&](std::size_t at) { return u16(at) << 16 | u16(at + 2); };
    std::map<std::string, std::pair<uint32_t, uint32_t>> tables;
    for (uint32_t i = 0; i < u16(4); ++i) {
        tables[font.substr(12 + 16 * i, 4)] = {u32(12 + 16 * i + 8), u32(12 + 16 * i + 12)};
    }
    const auto [locaAt, locaLength] = tables["loca"];
    const uint32_t glyfAt = tables["glyf"].first;
    std::vector<std::string> glyphs;
    for (uint32_t at = locaAt; at + 8 <= locaAt + locaLength; at += 4) {
        glyphs.push_back(font.substr(glyfAt + u32(at), u32(at + 4) - u32(at)));
    }
    return glyphs;
}

TEST(TrueTypeSubset, KeepsTheUsedGlyphsWithTheirComponentsUnderTheirOwnNumbers) {
    ASSERT_FALSE(PinnedFontFolder().empty());
    auto bytes = ReadFileBytes(PinnedFontFolder() / "LiberationSans-Regular.ttf");
    ASSERT_TRUE(bytes);
    std::optional<TrueTypeFont> font = ParseTrueType(*bytes);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->unitsPerEm, 2048);
    uint16_t a = font->GlyphOf(U'a');
    uint16_t sha = font->GlyphOf(U'\u0428');    // Ш
    uint16_t aRing = font->GlyphOf(U'\u01FB');  // ǻ, made of other glyphs
    ASSERT_NE(a, 0);
    ASSERT_NE(sha, 0);
    ASSERT_NE(aRing, 0);

    std::string subset = SubsetTrueType(*font, {a, sha, aRing});
    std::vector<std::string> glyphs = GlyphData(subset);
    ASSERT_EQ(glyphs.size(), std::size_t{std::max({a, sha, aRing})} + 1);
    auto original = [&](uint16_t glyph) {
        return bytes->substr(font->glyfOffset + font->glyphStart[glyph],
                             font->glyphStart[glyph + 1u] - font->glyphStart[glyph]);
    };
    std::size_t kept = 0;
    for (uint16_t glyph = 0; glyph < glyphs.size(); ++glyph) {
        if (glyphs[glyph].empty()) continue;
        ++kept;
        // The same outline under the same number: contour count and bounding box.
        EXPECT_EQ(glyphs[glyph].substr(0, 10), original(glyph).substr(0, 10)) << glyph;
        EXPECT_LE(glyphs[glyph].size(), original(glyph).size() + 3) << glyph;
    }
    EXPECT_FALSE(glyphs[0].empty()) << "the missing-glyph outline stays";
    EXPECT_FALSE(glyphs[a].empty());
    EXPECT_FALSE(glyphs[sha].empty());
    EXPECT_GT(kept, 4u) << "the composite's parts are kept as well";
    EXPECT_LT(subset.size(), bytes->size() / 10);
}

TEST(TrueTypeFont, BrokenFilesAreRefused) {
    auto bytes = ReadFileBytes(PinnedFontFolder() / "LiberationSerif-Bold.ttf");
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(ParseTrueType(*bytes));
    EXPECT_FALSE(ParseTrueType(""));
    EXPECT_FALSE(ParseTrueType(bytes->substr(0, 200)));           // tables past the end
    EXPECT_FALSE(ParseTrueType("OTTO" + bytes->substr(4)));        // outlines of another kind
    std::string noGlyphs = *bytes;
    std::size_t maxp = noGlyphs.find("maxp");
    ASSERT_NE(maxp, std::string::npos);
    noGlyphs[maxp + 4] = '\x7F';  // the table's checksum: still read
    EXPECT_TRUE(ParseTrueType(noGlyphs));
    noGlyphs[maxp + 8] = '\x7F';  // its offset, far past the end
    EXPECT_FALSE(ParseTrueType(noGlyphs));
}

}  // namespace
}  // namespace tak
