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

struct NamedChoice {
    std::string_view baseName;
    FontChoice choice;
};

constexpr NamedChoice kFontChoices[] = {
    {"Times-Roman", {"Times", ""}},
    {"Times-Bold", {"Times", "B"}},
    {"Times-Italic", {"Times", "I"}},
    {"Times-BoldItalic", {"Times", "BI"}},
    {"Helvetica", {"Helvetica", ""}},
    {"Helvetica-Bold", {"Helvetica", "B"}},
    {"Helvetica-Oblique", {"Helvetica", "I"}},
    {"Helvetica-BoldOblique", {"Helvetica", "BI"}},
    {"Courier", {"Courier", ""}},
    {"Courier-Bold", {"Courier", "B"}},
    {"Courier-Oblique", {"Courier", "I"}},
    {"Courier-BoldOblique", {"Courier", "BI"}},
    {"Symbol", {"Symbol", ""}},
    {"ZapfDingbats", {"ZapfDingbats", ""}},
};

}  // namespace

const CoreFont* FindCoreFont(std::string_view key) {
    for (const CoreFont& font : kCoreFonts) {
        if (font.key == key) return &font;
    }
    return nullptr;
}

std::optional<FontChoice> FontChoiceForBaseName(std::string_view baseName) {
    for (const NamedChoice& named : kFontChoices) {
        if (named.baseName == baseName) return named.choice;
    }
    return std::nullopt;
}

}  // namespace tak
