// The 14 standard PDF fonts that every viewer has: their base names and glyph
// widths. Text fonts are measured by code page 1252 byte codes (the encoding
// their pages declare); Symbol and ZapfDingbats by their own byte codes.
#pragma once

#include <array>
#include <cstdint>
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

}  // namespace tak
