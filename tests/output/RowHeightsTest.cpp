#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <string>
#include <vector>

#include "output/OutputRowHeights.h"
#include "persist/Project.h"

namespace tak {
namespace {

OutputOpt Options(std::string fontName, int32_t fontSize) {
    OutputOpt options;
    options.fontName = std::move(fontName);
    options.fontSize = fontSize;
    return options;
}

// What the system's rasteriser says about the font, asked through cairo's
// own font selection rather than the measuring code: the text height of the
// font (ascent plus descent, whole pixels) at 96 dpi.
int RenderedTextHeight(const char* family, bool bold, bool italic, double sizePt) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, family, italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, sizePt * 96 / 72);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_extents_t extents{};
    cairo_font_extents(cr, &extents);
    cairo_font_options_destroy(options);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return static_cast<int>(std::lround(extents.ascent + extents.descent));
}

// The family fontconfig puts in place of `family` on this machine.
std::string SubstitutedFamily(const char* family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string name;
    FcChar8* found = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch) {
        name = reinterpret_cast<const char*>(found);
    }
    if (match) FcPatternDestroy(match);
    return name;
}

TEST(RowHeightsTest, TenPointRowsAreTheRenderedTextHeightLessThree) {
    RowHeights heights = MeasureRowHeights(Options("Helvetica", 10));
    EXPECT_EQ(heights.regular, RenderedTextHeight("Helvetica", false, false, 10) - 3);
    EXPECT_EQ(heights.bold, RenderedTextHeight("Helvetica", true, false, 10) - 3);
    // 10 pt are 13.3 pixels; a line of such text is somewhat taller than that.
    EXPECT_GE(heights.regular, 9);
    EXPECT_LE(heights.regular, 18);
    EXPECT_GE(heights.bold, heights.regular - 1);
    EXPECT_LE(heights.bold, heights.regular + 2);
}

TEST(RowHeightsTest, TheStyleOfTheOutputFontIsMeasuredAndBoldIsAddedToIt) {
    RowHeights italic = MeasureRowHeights(Options("Times-Italic", 12));
    EXPECT_EQ(italic.regular, RenderedTextHeight("Times", false, true, 12) - 3);
    EXPECT_EQ(italic.bold, RenderedTextHeight("Times", true, true, 12) - 3);

    // A bold output font is already bold; its bold rows measure the same face.
    RowHeights bold = MeasureRowHeights(Options("Courier-Bold", 10));
    EXPECT_EQ(bold.regular, RenderedTextHeight("Courier", true, false, 10) - 3);
    EXPECT_EQ(bold.bold, bold.regular);
}

TEST(RowHeightsTest, LargerSizesGrowByTheRenderedGrowthNotByThePdfSize) {
    RowHeights ten = MeasureRowHeights(Options("Helvetica", 10));
    RowHeights twelve = MeasureRowHeights(Options("Helvetica", 12));
    int growth = RenderedTextHeight("Helvetica", false, false, 12) - RenderedTextHeight("Helvetica", false, false, 10);
    EXPECT_GT(growth, 0);
    EXPECT_EQ(twelve.regular - ten.regular, growth);
    EXPECT_GT(twelve.bold, ten.bold);
}

TEST(RowHeightsTest, CellsTallerThanTheCustomaryImageAreStillMeasuredInFull) {
    // 72 pt text is about 110 pixels high, far more than the 60-pixel image.
    RowHeights heights = MeasureRowHeights(Options("Helvetica", 72));
    EXPECT_EQ(heights.regular, RenderedTextHeight("Helvetica", false, false, 72) - 3);
    EXPECT_GT(heights.regular, 60);
}

TEST(RowHeightsTest, AnUnknownFontNameMeasuresArialTenPoints) {
    EXPECT_EQ(SubstitutedFamily("Arial"), "Liberation Sans");  // from fonts-liberation2
    RowHeights unknown = MeasureRowHeights(Options("Garamond", 14));
    EXPECT_EQ(unknown.regular, RenderedTextHeight("Liberation Sans", false, false, 10) - 3);
    EXPECT_EQ(unknown.bold, RenderedTextHeight("Liberation Sans", true, false, 10) - 3);

    OutputFont font = ChooseOutputFont(Options("Garamond", 14));
    EXPECT_EQ(font.family, "Arial");
    EXPECT_EQ(font.style, "");
    EXPECT_EQ(font.sizePt, 10);
    OutputFont known = ChooseOutputFont(Options("Helvetica-BoldOblique", 14));
    EXPECT_EQ(known.family, "Helvetica");
    EXPECT_EQ(known.style, "BI");
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
