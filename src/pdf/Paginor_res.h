// The 14 standard PDF fonts that every viewer has: their base names and glyph
// widths. Text fonts are measured by code page 1252 byte codes (the encoding
// their pages declare); Symbol and ZapfDingbats by their own byte codes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tak {

using GlyphWidths = std::array<uint16_t, 256>;  // 1/1000 of the font size

struct CoreFont {
    std::string_view key;       // upper-case family + style, e.g. "HELVETICABI"
    std::string_view baseName;  // e.g. "Helvetica-BoldOblique"
    const GlyphWidths* widths;
};

// The core font for an upper-case family followed by the style ("", "B", "I",
// "BI"), e.g. "TIMESB"; nullptr for a family the writer does not know.
const CoreFont* FindCoreFont(std::string_view key);

// A font as the output options name it (its base name), turned into what
// SelectFont takes.
struct FontChoice {
    std::string_view family;
    std::string_view style;
};
std::optional<FontChoice> FontChoiceForBaseName(std::string_view baseName);

}  // namespace tak
