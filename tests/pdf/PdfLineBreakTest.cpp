// The line breaker of running text, on its own: where lines break, without a
// document. Widths are 100 units a byte (10 bytes to a room of 1000) unless a
// test says otherwise, so that the breaks can be counted by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdf/PaginorFormat.h"
#include "pdf/PaginorLineBreak.h"

namespace tak {
namespace {

GlyphWidths EvenWidths(uint16_t width = 100) {
    GlyphWidths widths;
    widths.fill(width);
    return widths;
}

// Each piece as "kind:text", the tail with its width.
std::vector<std::string> Pieces(std::string_view bytes, const GlyphWidths& widths, const FlowRoom& room) {
    std::vector<std::string> shown;
    for (const FlowPiece& piece : BreakFlowText(bytes, widths, room)) {
        std::string text(bytes.substr(piece.begin, piece.length));
        switch (piece.kind) {
            case FlowPieceKind::Line:
                shown.push_back("line:" + text);
                break;
            case FlowPieceKind::MoveDown:
                shown.push_back("down");
                break;
            case FlowPieceKind::Tail:
                shown.push_back("tail:" + text + "@" + std::to_string(static_cast<int>(piece.width)));
                break;
        }
    }
    return shown;
}

const FlowRoom kTenBytes{1000, 1000, false};

TEST(PdfLineBreak, BreaksAtTheLastBlankThatFitsAndDropsIt) {
    EXPECT_EQ(Pieces("one two three four", EvenWidths(), kTenBytes),
              (std::vector<std::string>{"line:one two", "tail:three four@1000"}));
    // Exactly full lines fit; the blank after them is dropped, not carried.
    EXPECT_EQ(Pieces("abcdefghij klm", EvenWidths(), kTenBytes),
              (std::vector<std::string>{"line:abcdefghij", "tail:klm@300"}));
}

TEST(PdfLineBreak, CutsAWordWiderThanTheRoomWhereTheRoomEnds) {
    EXPECT_EQ(Pieces(std::string(25, 'w') + " end", EvenWidths(), kTenBytes),
              (std::vector<std::string>{"line:wwwwwwwwww", "line:wwwwwwwwww", "tail:wwwww end@900"}));
    // A single character wider than a whole line still goes out on its own.
    GlyphWidths wide = EvenWidths();
    wide[static_cast<unsigned char>('M')] = 1500;
    EXPECT_EQ(Pieces("aMb", wide, kTenBytes), (std::vector<std::string>{"line:a", "line:M", "tail:b@100"}));
}

TEST(PdfLineBreak, LineFeedsForceABreakAndEmptyTextWritesNothing) {
    EXPECT_EQ(Pieces("ab\ncd", EvenWidths(), kTenBytes), (std::vector<std::string>{"line:ab", "tail:cd@200"}));
    // An empty line between two line feeds is still a line of its own.
    EXPECT_EQ(Pieces("ab\n\ncd\n", EvenWidths(), kTenBytes), (std::vector<std::string>{"line:ab", "line:", "line:cd"}));
    EXPECT_TRUE(BreakFlowText("", EvenWidths(), kTenBytes).empty());
}

TEST(PdfLineBreak, AWordThatDoesNotFitTheRestOfTheFirstLineMovesDown) {
    // The cursor stands mid-line with room for 3 bytes; later lines hold 10.
    const FlowRoom midLine{300, 1000, true};
    EXPECT_EQ(Pieces("abcdefg hij", EvenWidths(), midLine),
              (std::vector<std::string>{"down", "line:abcdefg", "tail:hij@300"}));
    // From the left margin the same narrow room cuts the word instead.
    const FlowRoom narrowStart{300, 1000, false};
    EXPECT_EQ(Pieces("abcdefg hij", EvenWidths(), narrowStart),
              (std::vector<std::string>{"line:abc", "tail:defg hij@800"}));
    // A blank on the first line breaks there, and the later lines get the full room.
    EXPECT_EQ(Pieces("ab cdefghijklm", EvenWidths(), midLine),
              (std::vector<std::string>{"line:ab", "line:cdefghijkl", "tail:m@100"}));
}

TEST(PdfLineBreak, MeasuresUtf8TextInThePdfEncoding) {
    // "Grüße" is five bytes once encoded; "€" one byte. Widths of the
    // encoded bytes decide: the umlaut byte is made wide here.
    std::string bytes = EncodeWinAnsi("Grüße 5 €");
    ASSERT_EQ(bytes,
              "Gr\xFC\xDF"
              "e 5 \x80");
    GlyphWidths widths = EvenWidths();
    widths[0xFC] = 600;
    EXPECT_EQ(Pieces(bytes, widths, kTenBytes), (std::vector<std::string>{"line:Gr\xFC\xDF"
                                                                          "e",
                                                                          "tail:5 \x80@300"}));
}

}  // namespace
}  // namespace tak
