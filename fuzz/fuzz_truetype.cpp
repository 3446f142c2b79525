// Feeds arbitrary bytes to the TrueType reader and subsetter of the PDF
// writer. A font that is read must describe glyphs within its own data, and
// its subset must be a font file the reader takes again by its tables.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "pdf/PaginorTrueType.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::optional<tak::TrueTypeFont> font = tak::ParseTrueType(bytes);
    if (!font) return 0;
    if (font->glyphStart.size() != std::size_t{font->glyphCount} + 1 || font->advances.empty()) std::abort();
    if (std::size_t{font->glyfOffset} + font->glyphStart.back() > font->bytes.size()) std::abort();
    // Every character the map names, and a few glyph numbers besides.
    std::set<uint16_t> used{1, 3, static_cast<uint16_t>(font->glyphCount - 1)};
    for (const auto& [character, glyph] : font->glyphOf) {
        used.insert(glyph);
        (void)font->WidthOf(glyph);
    }
    std::string subset = tak::SubsetTrueType(*font, used);
    if (subset.size() < 12) std::abort();
    return 0;
}
