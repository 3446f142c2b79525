// Images: PNG and JPEG files placed on pages, checked with pdfimages and by
// rendering the page; broken files fail with their codes.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "PdfTestTools.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorImages.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

namespace fs = std::filesystem;
using test::MakePng;
using test::ObjectText;
using test::PageContents;
using test::PngSpec;
using test::RunTool;
using test::SaveChecked;

fs::path DataFile(const char* name) { return test::SourceDir() / "tests" / "data" / "pdf" / name; }

// A gradient: red grows to the right, green downwards, blue fixed.
PngSpec RgbGradient(uint32_t width, uint32_t height) {
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colourType = 2;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            spec.pixels += static_cast<char>(x % 256);
            spec.pixels += static_cast<char>(y % 256);
            spec.pixels += static_cast<char>(128);
        }
    }
    return spec;
}

// Four colours, two bits a pixel, in vertical stripes four pixels wide.
PngSpec PaletteStripes() {
    PngSpec spec;
    spec.width = 16;
    spec.height = 4;
    spec.bitDepth = 2;
    spec.colourType = 3;
    spec.palette = std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF\xFF\xFF\xFF", 12);
    for (uint32_t y = 0; y < spec.height; ++y) spec.pixels += std::string("\x00\x55\xAA\xFF", 4);
    return spec;
}

PngSpec GreySteps() {
    PngSpec spec;
    spec.width = 20;
    spec.height = 10;
    spec.colourType = 0;
    for (uint32_t y = 0; y < spec.height; ++y) {
        for (uint32_t x = 0; x < spec.width; ++x) spec.pixels += static_cast<char>(x * 12);
    }
    return spec;
}

// The pixel at (x, y) of a binary PPM written by pdftoppm.
std::array<int, 3> PixelOfPpm(const std::string& ppm, int x, int y) {
    std::istringstream header(ppm);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    header >> magic >> width >> height >> maxValue;
    std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    std::size_t at = start + 3 * (static_cast<std::size_t>(y) * width + x);
    return {static_cast<uint8_t>(ppm[at]), static_cast<uint8_t>(ppm[at + 1]), static_cast<uint8_t>(ppm[at + 2])};
}

std::string RenderFirstPage(const fs::path& pdf) {
    fs::path stem = pdf.parent_path() / "render";
    RunTool("pdftoppm -r 72 -f 1 -l 1 -singlefile -aa no -aaVector no", pdf.string() + "' '" + stem.string());
    return test::ReadBytes(stem.string() + ".ppm");
}

TEST(PdfImages, RgbPngFillsAPageOfItsPixelSize) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf, pdfimages and pdftoppm");
    test::TempDir dir;
    PngSpec spec = RgbGradient(800, 600);
    spec.idatChunks = 3;
    std::string png = MakePng(spec);
    fs::path image = dir.Write("routemap.png", png);

    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {800, 600}));
    ASSERT_TRUE(pdf.NewPage());
    pdf.PlaceImage(image.string(), 0, 0, 0, 0);
    EXPECT_EQ(pdf.LastError(), PdfError::None);
    fs::path file = dir.path() / "map.pdf";
    std::string bytes = SaveChecked(pdf, file);

    EXPECT_EQ(test::SplitLines(PageContents(bytes).contents[0]).back(), "q 800.00 0 0 600.00 0.00 0.00 cm /I1 Do Q");
    std::string object = ObjectText(bytes, 5);  // after the page and its content
    const std::string dictionary =
        "5 0 obj\n<</Type /XObject\n/Subtype /Image\n/Width 800\n/Height 600\n/ColorSpace /DeviceRGB\n"
        "/BitsPerComponent 8\n/Filter /FlateDecode\n"
        "/DecodeParms <</Predictor 15 /Colors 3 /BitsPerComponent 8 /Columns 800>>\n";
    EXPECT_EQ(object.substr(0, dictionary.size()), dictionary);
    std::string idat = test::IdatData(png);
    EXPECT_NE(object.find("/Length " + std::to_string(idat.size()) + ">>\nstream\n" + idat + "\nendstream"),
              std::string::npos);
    EXPECT_NE(ObjectText(bytes, 2).find("/XObject <<\n/I1 5 0 R\n>>"), std::string::npos);

    std::string list = test::SqueezeBlanks(RunTool("pdfimages -list", file).output);
    EXPECT_NE(list.find("800 600 rgb 3 8 image"), std::string::npos) << list;
    std::string ppm = RenderFirstPage(file);
    ASSERT_FALSE(ppm.empty());
    for (auto [x, y] : {std::pair(100, 50), std::pair(700, 500), std::pair(5, 590)}) {
        auto pixel = PixelOfPpm(ppm, x, y);
        EXPECT_NEAR(pixel[0], x % 256, 2) << x << "," << y;
        EXPECT_NEAR(pixel[1], y % 256, 2) << x << "," << y;
        EXPECT_NEAR(pixel[2], 128, 2) << x << "," << y;
    }
}

TEST(PdfImages, GreyAndPalettePngsAndJpegsKeepTheirColourSpaces) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf, pdfimages and pdftoppm");
    test::TempDir dir;
    fs::path grey = dir.Write("grey.png", MakePng(GreySteps()));
    fs::path palette = dir.Write("palette.png", MakePng(PaletteStripes()));
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument(PdfOrientation::Portrait, PdfUnit::Point, {300, 200}));
    ASSERT_TRUE(pdf.NewPage());
    pdf.PlaceImage(grey.string(), 10, 10, 100, 0);  // height from the aspect ratio: 50
    pdf.PlaceImage(palette.string(), 120, 10, 0, 40);  // width from the aspect ratio: 160
    pdf.PlaceImage(DataFile("grey-8x6.jpg").string(), 10, 100);
    pdf.PlaceImage(DataFile("rgb-16x8.jpg").string(), 50, 100, 32, 16);
    EXPECT_EQ(pdf.LastError(), PdfError::None) << pdf.LastErrorText();
    fs::path file = dir.path() / "kinds.pdf";
    std::string bytes = SaveChecked(pdf, file);

    std::vector<std::string> lines = test::SplitLines(PageContents(bytes).contents[0]);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "q 100.00 0 0 50.00 10.00 140.00 cm /I1 Do Q");
    EXPECT_EQ(lines[3], "q 160.00 0 0 40.00 120.00 150.00 cm /I2 Do Q");
    EXPECT_EQ(lines[4], "q 8.00 0 0 6.00 10.00 94.00 cm /I3 Do Q");
    EXPECT_EQ(lines[5], "q 32.00 0 0 16.00 50.00 84.00 cm /I4 Do Q");

    // Objects: page 3-4, grey 5, palette image 6 with its palette 7, JPEGs 8 and 9.
    EXPECT_NE(ObjectText(bytes, 6).find("/ColorSpace [/Indexed /DeviceRGB 3 7 0 R]\n/BitsPerComponent 2\n"),
              std::string::npos);
    EXPECT_NE(ObjectText(bytes, 7).find("<</Length 12>>\nstream\n" + PaletteStripes().palette + "\nendstream"),
              std::string::npos);
    std::string jpeg = ObjectText(bytes, 9);
    EXPECT_NE(jpeg.find("/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n/Filter /DCTDecode\n/Length "),
              std::string::npos);
    EXPECT_EQ(jpeg.find("/DecodeParms"), std::string::npos);
    EXPECT_NE(jpeg.find(test::ReadBytes(DataFile("rgb-16x8.jpg"))), std::string::npos);

    std::string list = test::SqueezeBlanks(RunTool("pdfimages -list", file).output);
    EXPECT_NE(list.find("20 10 gray 1 8 image"), std::string::npos) << list;
    EXPECT_NE(list.find("16 4 index 1 2 image"), std::string::npos) << list;
    EXPECT_NE(list.find("8 6 gray 1 8 jpeg"), std::string::npos) << list;
    EXPECT_NE(list.find("16 8 rgb 3 8 jpeg"), std::string::npos) << list;
    EXPECT_EQ(RunTool("pdftoppm -r 36 -png", file.string() + "' '" + (dir.path() / "p").string()).exitCode, 0);
}

TEST(PdfImages, TheSameFilePlacedTwiceIsEmbeddedOnce) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf and pdfimages");
    test::TempDir dir;
    fs::path image = dir.Write("one.png", MakePng(GreySteps()));
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    ASSERT_TRUE(pdf.NewPage());
    pdf.PlaceImage(image.string(), 10, 10, 20, 10);
    ASSERT_TRUE(pdf.NewPage());
    pdf.PlaceImage(image.string(), 30, 30, 40, 20);
    fs::path file = dir.path() / "twice.pdf";
    std::string bytes = SaveChecked(pdf, file);
    auto pages = PageContents(bytes).contents;
    EXPECT_NE(pages[0].find("cm /I1 Do Q"), std::string::npos);
    EXPECT_NE(pages[1].find("cm /I1 Do Q"), std::string::npos);
    int xobjects = 0;
    for (std::size_t at = bytes.find("/Type /XObject"); at != std::string::npos; at = bytes.find("/Type /XObject", at + 1)) {
        ++xobjects;
    }
    EXPECT_EQ(xobjects, 1);
    std::string list = test::SqueezeBlanks(RunTool("pdfimages -list", file).output);
    EXPECT_NE(list.find("\n 1 0 image"), std::string::npos) << list;
    EXPECT_NE(list.find("\n 2 1 image"), std::string::npos) << list;
}

TEST(PdfImages, BrokenFilesFailWithTheirCodes) {
    auto code = [](std::string_view bytes) {
        PdfImage image;
        int result = static_cast<int>(ParseImageBytes(bytes, image));
        if (result != 0) {
            EXPECT_EQ(image.data.Size(), 0u);  // nothing kept of a failed image
        }
        return result;
    };
    auto png = [](auto change) {
        PngSpec spec = GreySteps();
        change(spec);
        return MakePng(spec);
    };
    EXPECT_EQ(code(MakePng(GreySteps())), 0);
    EXPECT_EQ(code(png([](PngSpec& s) { s.bitDepth = 16; })), 1);
    EXPECT_EQ(code(png([](PngSpec& s) { s.colourType = 6; })), 2);
    EXPECT_EQ(code(png([](PngSpec& s) { s.colourType = 4; })), 2);
    EXPECT_EQ(code(png([](PngSpec& s) { s.interlace = 1; })), 5);
    EXPECT_EQ(code(png([](PngSpec& s) { s.colourType = 3; })), 6);  // no PLTE
    EXPECT_EQ(code(png([](PngSpec& s) { s.width = 0; })), 12);
    EXPECT_EQ(code(png([](PngSpec& s) { s.bitDepth = 3; })), 12);
    EXPECT_EQ(code(png([](PngSpec& s) {
                  s.colourType = 3;
                  s.palette = "\x01\x02";  // not whole RGB entries
              })),
              12);

    std::string good = MakePng(GreySteps());
    std::string compression = good;
    compression[26] = 1;
    EXPECT_EQ(code(compression), 3);
    std::string filter = good;
    filter[27] = 1;
    EXPECT_EQ(code(filter), 4);
    std::string notHeader = good;
    notHeader[15] = 'X';
    EXPECT_EQ(code(notHeader), 12);
    std::string lyingLength = good;
    lyingLength[33] = '\x7F';  // the first IDAT claims about 2 GB
    EXPECT_EQ(code(lyingLength), 12);
    EXPECT_EQ(code(good.substr(0, 20)), 12);
    EXPECT_EQ(code(good.substr(0, good.size() - 14)), 12);  // cut inside the last data chunk
    std::string noData = good.substr(0, 33);
    noData += std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    EXPECT_EQ(code(noData), 12);

    std::string jpeg = test::ReadBytes(DataFile("rgb-16x8.jpg"));
    EXPECT_EQ(code(jpeg), 0);
    EXPECT_EQ(code(test::ReadBytes(DataFile("progressive-16x8.jpg"))), 11);
    EXPECT_EQ(code(jpeg.substr(0, 30)), 11);
    std::string garbage = jpeg;
    garbage[20] = 'x';  // where the next segment's marker should be
    EXPECT_EQ(code(garbage), 11);
    std::string exif = jpeg;
    exif[3] = '\xE1';
    EXPECT_EQ(code(exif), 14);  // only files that begin with a JFIF segment are read

    EXPECT_EQ(code(""), 14);
    EXPECT_EQ(code("\x89PN"), 14);
    EXPECT_EQ(code("GIF89a\x01\x00\x01\x00"), 14);
}

TEST(PdfImages, EveryCutOrDamagedFileFailsCleanly) {
    const std::set<int> pngCodes = {0, 1, 2, 3, 4, 5, 6, 12, 14};
    const std::set<int> jpegCodes = {0, 11, 14};
    std::string png = MakePng(PaletteStripes());
    std::string jpeg = test::ReadBytes(DataFile("grey-8x6.jpg"));
    for (std::size_t length = 0; length <= png.size(); ++length) {
        PdfImage image;
        EXPECT_TRUE(pngCodes.count(static_cast<int>(ParseImageBytes(png.substr(0, length), image)))) << length;
    }
    for (std::size_t length = 0; length <= jpeg.size(); ++length) {
        PdfImage image;
        EXPECT_TRUE(jpegCodes.count(static_cast<int>(ParseImageBytes(jpeg.substr(0, length), image)))) << length;
    }
    std::mt19937 random(20240101);
    for (int round = 0; round < 3000; ++round) {
        bool isPng = round % 2 == 0;
        std::string damaged = isPng ? png : jpeg;
        for (int flip = 0; flip < 3; ++flip) {
            std::size_t at = 4 + random() % (damaged.size() - 4);  // keep the kind recognisable
            damaged[at] = static_cast<char>(random());
        }
        PdfImage image;
        int result = static_cast<int>(ParseImageBytes(damaged, image));
        EXPECT_TRUE((isPng ? pngCodes : jpegCodes).count(result)) << round;
        if (result == 0) {
            EXPECT_GT(image.width, 0);
            EXPECT_GT(image.height, 0);
            EXPECT_LE(image.data.Size(), damaged.size());
        }
    }
}

TEST(PdfImages, AFailedPlacementLeavesAValidDocumentWithoutTheImage) {
    TAKTARIUM_REQUIRE_LINUX_TOOLS("qpdf");
    test::TempDir dir;
    PngSpec alpha = GreySteps();
    alpha.colourType = 4;
    fs::path alphaFile = dir.Write("alpha.png", MakePng(alpha));
    fs::path good = dir.Write("good.png", MakePng(GreySteps()));
    PdfDocument pdf;
    ASSERT_TRUE(pdf.CreateDocument());
    ASSERT_TRUE(pdf.NewPage());
    pdf.PlaceImage((dir.path() / "missing.png").string(), 0, 0);
    EXPECT_EQ(pdf.LastError(), PdfError::ImageNotOpened);
    EXPECT_EQ(pdf.LastErrorText(), "Error opening image file.");
    pdf.PlaceImage(alphaFile.string(), 0, 0);
    EXPECT_EQ(pdf.LastError(), PdfError::PngAlpha);
    EXPECT_EQ(pdf.LastErrorText(), "Alpha channel PNG not supported.");
    pdf.PlaceImage(good.string(), 0, 0, 10, 10);  // takes index 1: failures leave no record
    fs::path file = dir.path() / "partial.pdf";
    std::string bytes = SaveChecked(pdf, file);
    auto pages = PageContents(bytes).contents;
    EXPECT_EQ(test::SplitLines(pages[0]).size(), 3u);
    EXPECT_NE(pages[0].find("/I1 Do"), std::string::npos);
    EXPECT_NE(ObjectText(bytes, 2).find("/XObject <<\n/I1 5 0 R\n>>"), std::string::npos);
}

}  // namespace
}  // namespace tak
