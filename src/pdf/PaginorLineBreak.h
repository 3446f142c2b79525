// Where running text breaks into lines. The decision is made on the text's
// characters and the font's glyph widths alone;
// PdfDocument::FlowText then writes the pieces. Only the writer's own files
// (and its tests) include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "pdf/Paginor_res.h"

namespace tak {

// The room for text on a line, in 1/1000 of the font size.
struct FlowRoom {
    float firstLine = 0;         // the line the text starts on, from the cursor
    float fullLine = 0;          // every later line, from the left margin
    bool startsMidLine = false;  // the cursor stands right of the left margin
};

enum class FlowPieceKind {
    Line,      // a whole line, written across the room; the next one starts below it
    MoveDown,  // nothing written: a word that does not fit the rest of the first line moves to the next
    Tail,      // the end of the text, as wide as it is; the cursor stays right of it
};

struct FlowPiece {
    FlowPieceKind kind = FlowPieceKind::Line;
    std::size_t begin = 0;  // the bytes the piece writes
    std::size_t length = 0;
    float width = 0;  // of a tail, in 1/1000 of the font size
};

// Breaks `bytes` at line feeds, else at the last blank that keeps a line in
// its room, else inside a word; a line drops the blank it breaks at. A word
// that would begin a line but does not fit is cut where the room ends, and a
// single character wider than a whole line still goes out on its own line.
std::vector<FlowPiece> BreakFlowText(std::string_view bytes, const GlyphWidths& widths, const FlowRoom& room);

// The same for text of any characters; widths[i] is the width of text[i].
std::vector<FlowPiece> BreakFlowText(std::u32string_view text, const std::vector<uint16_t>& widths,
                                     const FlowRoom& room);

}  // namespace tak
