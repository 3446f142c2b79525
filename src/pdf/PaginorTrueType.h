// TrueType font files as the writer embeds them: the tables it needs read
// from a file's bytes (every offset and length checked), and a subset that
// keeps only the glyphs a document prints. Glyph numbers stay those of the
// whole font, so a document's text can name glyphs before the subset is made.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tak {

struct TrueTypeFont {
    std::string bytes;     // the whole file
    int unitsPerEm = 0;
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;  // font units
    int ascent = 0, descent = 0, capHeight = 0;  // font units
    int weightClass = 400;
    float italicAngle = 0;
    bool fixedPitch = false;
    bool embeddingRestricted = false;  // the licence bits forbid embedding
    uint16_t glyphCount = 0;
    std::vector<uint16_t> advances;    // per glyph, font units
    std::vector<uint32_t> glyphStart;  // glyph data within glyf: glyphStart[g] to glyphStart[g + 1]
    uint32_t glyfOffset = 0;
    std::map<char32_t, uint16_t> glyphOf;  // the Unicode character map

    // Advance width in 1/1000 of the font size, rounded to whole units.
    int WidthOf(uint16_t glyph) const;
    // The glyph of a character, 0 when the font has none.
    uint16_t GlyphOf(char32_t c) const;
    // Multiplies font units to 1/1000 of the font size.
    int Thousandths(int fontUnits) const;
};

// Reads a font from the bytes of a .ttf file. Nothing when the bytes are not a
// TrueType font with outlines, a character map and the tables that describe
// its size, or when a table lies outside the file.
std::optional<TrueTypeFont> ParseTrueType(std::string bytes);

// A font file that holds the glyphs of `used` (glyph 0 and the parts of
// composite glyphs are added) with the same glyph numbers; every other glyph
// is empty. Its tables are the ones a PDF reader needs to draw the glyphs.
std::string SubsetTrueType(const TrueTypeFont& font, const std::set<uint16_t>& used);

}  // namespace tak

namespace tak {

// The pinned font file that stands in for a standard text font: the
// Liberation face of an upper-case family (HELVETICA, TIMES, COURIER) in a
// style ("", "B", "I", "BI"), read and parsed once per process. Null when the
// family has no such face, the file is missing or unreadable, or its licence
// forbids embedding; the writer then uses the standard font.
std::shared_ptr<const TrueTypeFont> PinnedTrueTypeFont(std::string_view upperFamily, std::string_view style);

// The PostScript name of that face, such as "LiberationSans-Bold"; empty for
// a family without one.
std::string PinnedTrueTypeName(std::string_view upperFamily, std::string_view style);

}  // namespace tak
