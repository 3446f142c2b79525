#include "output/OutputRowHeights.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "fonts/FontFaces.h"
#include "project/Project.h"

namespace tak {

namespace {

struct KnownOutputFont {
    std::string_view name;  // PDF base name as the options hold it
    std::string_view family;
    PdfFontStyle style;
};

constexpr PdfFontStyle kRegular{};
constexpr PdfFontStyle kBold{.bold = true};
constexpr PdfFontStyle kItalic{.italic = true};
constexpr PdfFontStyle kBoldItalic{.bold = true, .italic = true};

constexpr std::array<KnownOutputFont, 14> kKnownOutputFonts{{
    {"Times-Roman", "Times", kRegular},
    {"Times-Bold", "Times", kBold},
    {"Times-Italic", "Times", kItalic},
    {"Times-BoldItalic", "Times", kBoldItalic},
    {"Helvetica", "Helvetica", kRegular},
    {"Helvetica-Bold", "Helvetica", kBold},
    {"Helvetica-Oblique", "Helvetica", kItalic},
    {"Helvetica-BoldOblique", "Helvetica", kBoldItalic},
    {"Courier", "Courier", kRegular},
    {"Courier-Bold", "Courier", kBold},
    {"Courier-Oblique", "Courier", kItalic},
    {"Courier-BoldOblique", "Courier", kBoldItalic},
    {"Symbol", "Symbol", kRegular},
    {"ZapfDingbats", "ZapfDingbats", kRegular},
}};

// The screen the heights were tuned for: 96 pixels per inch, 72 points.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr int kImageSide = 60;
// No real font needs more; an absurd size from a hand-edited file must not
// ask for gigabytes of image.
constexpr int kLargestImageSide = 2048;

// Row of the first pixel that is not white, scanning rows from `lastRow` up
// to 0 and each row from x = 0 to width - 1; 0 when every pixel is white.
int FirstDarkRowFromBottom(cairo_surface_t* surface, int lastRow, int width) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    lastRow = std::min(lastRow, cairo_image_surface_get_height(surface) - 1);
    width = std::min(width, cairo_image_surface_get_width(surface));
    for (int row = lastRow; row >= 0; --row) {
        const auto* pixels = reinterpret_cast<const uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        for (int x = 0; x < width; ++x) {
            if ((pixels[x] & 0xFFFFFFu) != 0xFFFFFFu) return row;
        }
    }
    return 0;
}

// Draws "g" white on its black text cell at the top-left corner of a white
// image and finds the cell's bottom row. The image is the customary 60 pixels
// square, larger only when the cell of a big font would not fit into it.
int32_t MeasureFace(cairo_font_face_t* face, double pixelSize) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);

    cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(probe);
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, pixelSize);
    cairo_set_font_options(cr, options);
    cairo_font_extents_t font{};
    cairo_text_extents_t text{};
    cairo_font_extents(cr, &font);
    cairo_text_extents(cr, "g", &text);
    cairo_destroy(cr);
    cairo_surface_destroy(probe);

    int width = static_cast<int>(std::lround(text.x_advance));
    int height = static_cast<int>(std::lround(font.ascent + font.descent));
    int side = std::min(std::max({kImageSide, width, height}), kLargestImageSide);

    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, side, side);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        cairo_font_options_destroy(options);
        return -2;
    }
    cr = cairo_create(image);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, pixelSize);
    cairo_set_font_options(cr, options);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 0, font.ascent);
    cairo_show_text(cr, "g");
    cairo_destroy(cr);

    int row = FirstDarkRowFromBottom(image, height - 1, width);
    cairo_surface_destroy(image);
    cairo_font_options_destroy(options);
    return row - 2;
}

// Measures the Liberation family that stands in for `family`, so that the
// heights are the same on every machine.
int32_t MeasureFont(const std::string& family, FontStyle style, double pixelSize) {
    if (!(pixelSize > 0)) return -2;  // nothing is drawn, as for a text height of 0
    cairo_font_face_t* face = CreatePinnedFontFace(PinnedFamilyFor(family), style);
    if (!face) return -2;  // as for a font that draws nothing
    int32_t height = MeasureFace(face, pixelSize);
    cairo_font_face_destroy(face);
    return height;
}

}  // namespace

OutputFont ChooseOutputFont(const OutputOpt& options) {
    for (const auto& known : kKnownOutputFonts) {
        if (known.name == options.fontName) {
            return {std::string(known.family), known.style, options.fontSize};
        }
    }
    return {"Arial", kRegular, 10};
}

RowHeights MeasureRowHeights(const OutputOpt& options) {
    OutputFont font = ChooseOutputFont(options);
    FontStyle style{font.style.bold, font.style.italic};
    double pixelSize = font.sizePt * kPixelsPerPoint;
    RowHeights heights;
    heights.regular = MeasureFont(font.family, style, pixelSize);
    heights.bold = MeasureFont(font.family, {true, style.italic}, pixelSize);
    return heights;
}

}  // namespace tak
