#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "fonts/FontFaces.h"
#include "output/OutputRowHeights.h"
#include "project/Project.h"

namespace tak {
namespace {

namespace fs = std::filesystem;

OutputOpt Options(std::string fontName, int32_t fontSize) {
    OutputOpt options;
    options.fontName = std::move(fontName);
    options.fontSize = fontSize;
    return options;
}

// The text height (ascent plus descent, whole pixels at 96 dpi) of a Liberation
// font file, opened through FreeType directly rather than through the
// measuring code's font lookup.
int RenderedTextHeight(const char* fileName, double sizePt) {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        FT_Init_FreeType(&made);
        return made;
    }();
    const std::string file = (PinnedFontFolder() / fileName).string();
    FT_Face ftFace = nullptr;
    if (FT_New_Face(library, file.c_str(), 0, &ftFace) != 0) return -1000;
    cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ftFace, 0);
    static cairo_user_data_key_t key;
    cairo_font_face_set_user_data(face, &key, ftFace, [](void* data) { FT_Done_Face(static_cast<FT_Face>(data)); });

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, sizePt * 96 / 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_extents_t extents{};
    cairo_font_extents(cr, &extents);
    cairo_font_options_destroy(options);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    cairo_font_face_destroy(face);
    return static_cast<int>(std::lround(extents.ascent + extents.descent));
}

TEST(RowHeightsTest, TheProgramsOwnFontsAreFound) {
    // scripts/setup.sh installs them; without them documents would depend on
    // whatever fonts a machine has.
    ASSERT_FALSE(PinnedFontFolder().empty());
    EXPECT_TRUE(fs::is_regular_file(PinnedFontFolder() / "LiberationSerif-BoldItalic.ttf"));
    EXPECT_EQ(PinnedFamilyFor("Helvetica"), "Liberation Sans");
    EXPECT_EQ(PinnedFamilyFor("Times"), "Liberation Serif");
    EXPECT_EQ(PinnedFamilyFor("Courier"), "Liberation Mono");
    EXPECT_EQ(PinnedFamilyFor("Garamond"), "Liberation Sans");
}

TEST(RowHeightsTest, TenPointRowsAreTheRenderedTextHeightLessThree) {
    RowHeights heights = MeasureRowHeights(Options("Helvetica", 10));
    EXPECT_EQ(heights.regular, RenderedTextHeight("LiberationSans-Regular.ttf", 10) - 3);
    EXPECT_EQ(heights.bold, RenderedTextHeight("LiberationSans-Bold.ttf", 10) - 3);
    // 10 pt are 13.3 pixels; a line of such text is somewhat taller than that.
    EXPECT_GE(heights.regular, 9);
    EXPECT_LE(heights.regular, 18);
    EXPECT_GE(heights.bold, heights.regular - 1);
    EXPECT_LE(heights.bold, heights.regular + 2);
}

TEST(RowHeightsTest, TheStyleOfTheOutputFontIsMeasuredAndBoldIsAddedToIt) {
    RowHeights italic = MeasureRowHeights(Options("Times-Italic", 12));
    EXPECT_EQ(italic.regular, RenderedTextHeight("LiberationSerif-Italic.ttf", 12) - 3);
    EXPECT_EQ(italic.bold, RenderedTextHeight("LiberationSerif-BoldItalic.ttf", 12) - 3);

    // A bold output font is already bold; its bold rows measure the same face.
    RowHeights bold = MeasureRowHeights(Options("Courier-Bold", 10));
    EXPECT_EQ(bold.regular, RenderedTextHeight("LiberationMono-Bold.ttf", 10) - 3);
    EXPECT_EQ(bold.bold, bold.regular);
}

TEST(RowHeightsTest, LargerSizesGrowByTheRenderedGrowthNotByThePdfSize) {
    RowHeights ten = MeasureRowHeights(Options("Helvetica", 10));
    RowHeights twelve = MeasureRowHeights(Options("Helvetica", 12));
    int growth = RenderedTextHeight("LiberationSans-Regular.ttf", 12) - RenderedTextHeight("LiberationSans-Regular.ttf", 10);
    EXPECT_GT(growth, 0);
    EXPECT_EQ(twelve.regular - ten.regular, growth);
    EXPECT_GT(twelve.bold, ten.bold);
}

TEST(RowHeightsTest, CellsTallerThanTheCustomaryImageAreStillMeasuredInFull) {
    // 72 pt text is about 110 pixels high, far more than the 60-pixel image.
    RowHeights heights = MeasureRowHeights(Options("Helvetica", 72));
    EXPECT_EQ(heights.regular, RenderedTextHeight("LiberationSans-Regular.ttf", 72) - 3);
    EXPECT_GT(heights.regular, 60);
}

TEST(RowHeightsTest, AnUnknownFontNameMeasuresArialTenPoints) {
    RowHeights unknown = MeasureRowHeights(Options("Garamond", 14));
    EXPECT_EQ(unknown.regular, RenderedTextHeight("LiberationSans-Regular.ttf", 10) - 3);
    EXPECT_EQ(unknown.bold, RenderedTextHeight("LiberationSans-Bold.ttf", 10) - 3);

    OutputFont font = ChooseOutputFont(Options("Garamond", 14));
    EXPECT_EQ(font.family, "Arial");
    EXPECT_EQ(font.style, PdfFontStyle{});
    EXPECT_EQ(font.sizePt, 10);
    OutputFont known = ChooseOutputFont(Options("Helvetica-BoldOblique", 14));
    EXPECT_EQ(known.family, "Helvetica");
    EXPECT_EQ(known.style, (PdfFontStyle{.bold = true, .italic = true}));
    EXPECT_EQ(known.sizePt, 14);
}

TEST(RowHeightsTest, AFontSizeThatDrawsNothingGivesMinusTwo) {
    RowHeights none = MeasureRowHeights(Options("Helvetica", 0));
    EXPECT_EQ(none.regular, -2);
    EXPECT_EQ(none.bold, -2);
    RowHeights negative = MeasureRowHeights(Options("Helvetica", -5));
    EXPECT_EQ(negative.regular, -2);
}

TEST(RowHeightsTest, MeasuringOnSeveralThreadsAtOnceGivesTheSameHeights) {
    RowHeights expected = MeasureRowHeights(Options("Times-Roman", 11));
    std::vector<std::future<RowHeights>> runs;
    for (int i = 0; i < 4; ++i) {
        runs.push_back(std::async(std::launch::async, [] { return MeasureRowHeights(Options("Times-Roman", 11)); }));
    }
    for (auto& run : runs) {
        RowHeights got = run.get();
        EXPECT_EQ(got.regular, expected.regular);
        EXPECT_EQ(got.bold, expected.bold);
    }
}

}  // namespace
}  // namespace tak
