#include "pdf/Paginor_res.h"

namespace tak {

namespace {

#include "pdf/Paginor_resWidths.inc"

constexpr GlyphWidths MonospacedWidths() {
    GlyphWidths widths{};
    widths.fill(600);
    return widths;
}
constexpr GlyphWidths kCourierWidths = MonospacedWidths();

constexpr CoreFont kCoreFonts[] = {
    {"COURIER", "Courier", &kCourierWidths},
    {"COURIERB", "Courier-Bold", &kCourierWidths},
    {"COURIERI", "Courier-Oblique", &kCourierWidths},
    {"COURIERBI", "Courier-BoldOblique", &kCourierWidths},
    {"HELVETICA", "Helvetica", &kHelveticaWidths},
    {"HELVETICAB", "Helvetica-Bold", &kHelveticaBoldWidths},
    {"HELVETICAI", "Helvetica-Oblique", &kHelveticaObliqueWidths},
    {"HELVETICABI", "Helvetica-BoldOblique", &kHelveticaBoldObliqueWidths},
    {"TIMES", "Times-Roman", &kTimesRomanWidths},
    {"TIMESB", "Times-Bold", &kTimesBoldWidths},
    {"TIMESI", "Times-Italic", &kTimesItalicWidths},
    {"TIMESBI", "Times-BoldItalic", &kTimesBoldItalicWidths},
    {"SYMBOL", "Symbol", &kSymbolWidths},
    {"ZAPFDINGBATS", "ZapfDingbats", &kZapfDingbatsWidths},
};

}  // namespace

const CoreFont* FindCoreFont(std::string_view key) {
    for (const CoreFont& font : kCoreFonts) {
        if (font.key == key) return &font;
    }
    return nullptr;
}

}  // namespace tak
