// Pages, fonts and text: NewPage with its handlers, font selection and
// measuring, cells, running text and the cursor.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorFormat.h"
#include "pdf/PaginorLineBreak.h"
#include "pdf/PaginorState.h"
#include "pdf/PaginorTrueType.h"

namespace tak {

namespace {

constexpr std::size_t kPageRoom = 64000;

// A line end closing a cell's text is not printed.
std::string_view WithoutLineEnd(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
}

// The glyph number of an embedded font's two-byte code at `at`.
uint16_t GlyphAt(std::string_view bytes, std::size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) << 8 | static_cast<unsigned char>(bytes[at + 1]));
}

void AppendGlyph(std::string& out, uint16_t glyph) {
    out += static_cast<char>(glyph >> 8);
    out += static_cast<char>(glyph & 0xFF);
}

// The character a printed glyph shows: the one asked for, or what stood in
// for it.
char32_t ShownCharacter(const PdfFont& font, char32_t asked, uint16_t glyph) {
    if (font.trueType->GlyphOf(asked) == glyph) return asked;
    if (glyph == font.spaceGlyph) return U' ';
    return font.trueType->GlyphOf(0xFFFD) == glyph ? 0xFFFD : U'?';
}

// A coordinate as AppendNumber writes it with two decimals, in hundredths;
// nothing for a value too large to be worth a relative move.
std::optional<int64_t> WrittenHundredths(float value) {
    if (!std::isfinite(value) || !(std::fabs(value) < 1e6f)) return std::nullopt;
    auto hundredths = static_cast<int64_t>(std::nearbyint(std::fabs(static_cast<double>(value)) * 100));
    return value < 0 ? -hundredths : hundredths;
}

// A number written with two decimals as a reader gets it that sums the
// digits one by one: the integer part, plus each decimal times a scale that
// shrinks tenfold. Some readers do so; the sum is then not always the
// nearest binary number.
double DigitSumReading(int64_t hundredths) {
    const int64_t magnitude = hundredths < 0 ? -hundredths : hundredths;
    double value = static_cast<double>(magnitude / 100);
    double scale = 0.1;
    value = value + scale * static_cast<double>(magnitude % 100 / 10);
    scale *= 0.1;
    value = value + scale * static_cast<double>(magnitude % 10);
    return hundredths < 0 ? -value : value;
}

// Whether a reader that adds a relative move to the previous position lands
// on exactly the number it reads for the new position, however it reads
// decimals (the nearest double or single precision number, or the digit sum):
// only then does a relative move draw the very pixels an absolute one does.
bool ExactMove(int64_t from, int64_t to) {
    const int64_t move = to - from;
    const double d = static_cast<double>(from) / 100, e = static_cast<double>(move) / 100;
    const float f = static_cast<float>(from) / 100, g = static_cast<float>(move) / 100;
    return d + e == static_cast<double>(to) / 100 && f + g == static_cast<float>(to) / 100 &&
           DigitSumReading(from) + DigitSumReading(move) == DigitSumReading(to);
}

// Hundredths as a number without needless zeros: "42", "-0.5", "688.57".
void AppendHundredths(std::string& out, int64_t value) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    AppendInteger(out, value / 100);
    int64_t rest = value % 100;
    if (rest == 0) return;
    out += '.';
    out += static_cast<char>('0' + rest / 10);
    if (rest % 10 != 0) out += static_cast<char>('0' + rest % 10);
}

// The face part of a style as the font keys and tables name it: "", "B", "I"
// or "BI".
std::string FaceLetters(PdfFontStyle style) {
    std::string letters;
    if (style.bold) letters += 'B';
    if (style.italic) letters += 'I';
    return letters;
}

std::u32string DecodeUtf8(std::string_view utf8) {
    std::u32string text;
    text.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) text += NextCodePoint(utf8, pos);
    return text;
}

}  // namespace

// --- Pages ------------------------------------------------------------------

bool PdfDocument::NewPage(std::optional<PdfOrientation> orientation, std::optional<PdfPageSize> pageFormat) {
    if (s_->state_ == kWritten) return false;  // a saved document takes no more pages
    if (s_->state_ == kNotBegun && !CreateDocument()) return false;

    const GraphicsState carried = CurrentGraphicsState();
    if (s_->state_ == kPageOpen) {
        RunFooter();
        EndPage();
    }
    if (!BeginPage(orientation, pageFormat)) return false;
    StartPageContent(carried);
    if (s_->headerHandler_) {
        bool outerHeader = s_->inHeader_;
        s_->inHeader_ = true;
        s_->headerHandler_(*this);
        s_->inHeader_ = outerHeader;
    }
    // The content after the header goes on as it was before the page break.
    RestoreAfterHeader(carried);
    return true;
}

PdfDocument::GraphicsState PdfDocument::CurrentGraphicsState() const {
    return GraphicsState{s_->fontFamily_,  s_->fontStyle_,
                         s_->fontSizePt_,  s_->lineWidth_,
                         s_->strokePaint_, s_->fillPaint_,
                         s_->textPaint_,   s_->paintsDiffer_};
}

void PdfDocument::StartPageContent(const GraphicsState& carried) {
    EmitContent("2 J");  // projecting square line caps
    s_->lineWidth_ = carried.lineWidth;
    EmitLineWidth();
    if (!TrimBlanksAndTabs(carried.fontFamily).empty()) {
        SelectFont(carried.fontFamily, carried.fontStyle, carried.fontSizePt);
    }
    s_->strokePaint_ = carried.strokePaint;
    if (s_->strokePaint_ != "0 G") EmitContent(s_->strokePaint_);
    s_->fillPaint_ = carried.fillPaint;
    if (s_->fillPaint_ != "0 g") EmitContent(s_->fillPaint_);
    s_->textPaint_ = carried.textPaint;
    s_->paintsDiffer_ = carried.paintsDiffer;
}

void PdfDocument::RestoreAfterHeader(const GraphicsState& carried) {
    if (s_->lineWidth_ != carried.lineWidth) {
        s_->lineWidth_ = carried.lineWidth;
        EmitLineWidth();
    }
    if (!carried.fontFamily.empty()) SelectFont(carried.fontFamily, carried.fontStyle, carried.fontSizePt);
    if (s_->strokePaint_ != carried.strokePaint) {
        s_->strokePaint_ = carried.strokePaint;
        EmitContent(s_->strokePaint_);
    }
    if (s_->fillPaint_ != carried.fillPaint) {
        s_->fillPaint_ = carried.fillPaint;
        EmitContent(s_->fillPaint_);
    }
    s_->textPaint_ = carried.textPaint;
    s_->paintsDiffer_ = carried.paintsDiffer;
}

bool PdfDocument::BeginPage(std::optional<PdfOrientation> orientation, std::optional<PdfPageSize> pageFormat) {
    ByteBuffer page;
    if (!MakeBuffer(page, kPageRoom)) return false;
    s_->pages_.push_back(std::move(page));
    ++s_->pageCount_;
    s_->state_ = kPageOpen;
    s_->x_ = s_->leftMargin_;
    s_->y_ = s_->topMargin_;
    s_->fontFamily_.clear();  // the first font selection on a page is always emitted

    if (pageFormat) {  // a new default format, with the orientation given
        SetFormat(*pageFormat);
        s_->defaultOrientation_ = orientation.value_or(s_->defaultOrientation_);
        s_->currentOrientation_ = s_->defaultOrientation_;
        SetPageSizeFor(s_->currentOrientation_);
        // The break position follows the page size, or cells would break at
        // the old page's height.
        s_->pageBreakTrigger_ = s_->pageHeight_ - s_->bottomMargin_;
    }
    PdfOrientation wanted = orientation.value_or(s_->defaultOrientation_);
    if (wanted != s_->currentOrientation_) {
        SetPageSizeFor(wanted);
        s_->pageBreakTrigger_ = s_->pageHeight_ - s_->bottomMargin_;
        s_->currentOrientation_ = wanted;
    }
    s_->pageSizes_.push_back({s_->pageWidthPt_, s_->pageHeightPt_});
    return true;
}

void PdfDocument::EndPage() {
    CloseOpenText();
    if (s_->rotationAngle_ != 0) {
        EmitContent("Q");
        s_->rotationAngle_ = 0;
    }
    s_->state_ = kBegun;
}

void PdfDocument::RunFooter() {
    s_->inFooter_ = true;
    if (s_->footerHandler_) s_->footerHandler_(*this);
    s_->inFooter_ = false;
}

void PdfDocument::EmitLineWidth() {
    std::string line;
    AppendNumber(line, s_->lineWidth_ * s_->scale_, 2);
    line += " w";
    EmitContent(line);
}

// --- Fonts ------------------------------------------------------------------

void PdfDocument::SelectFont(std::string_view family, PdfFontStyle style, float sizePt) {
    std::string name(TrimBlanksAndTabs(family));
    if (name.empty()) name = s_->fontFamily_;
    std::string upperFamily = AsciiUpper(name);
    if (upperFamily == "ARIAL") name = upperFamily = "HELVETICA";

    if (upperFamily == "SYMBOL" || upperFamily == "ZAPFDINGBATS") style = {};
    // Underlining is no part of the font: it changes even when the font stays.
    s_->fontStyle_.underline = style.underline;
    const std::string upperStyle = FaceLetters(style);
    if (sizePt == 0) sizePt = s_->fontSizePt_;

    if (AsciiUpper(s_->fontFamily_) == upperFamily && s_->fontStyle_.bold == style.bold &&
        s_->fontStyle_.italic == style.italic && s_->fontSizePt_ == sizePt) {
        return;
    }

    std::string key = std::string(upperStyle.size() < 3 ? 3 - upperStyle.size() : 0, '_') +
                      upperStyle + "+" + upperFamily;
    auto found =
        std::find_if(s_->fonts_.begin(), s_->fonts_.end(), [&key](const PdfFont& font) { return font.key == key; });
    if (found == s_->fonts_.end()) {
        const CoreFont* core = FindCoreFont(upperFamily + upperStyle);
        if (!core) return;  // not one of the 14 standard fonts: keep the current font
        PdfFont font;
        font.index = static_cast<int>(s_->fonts_.size()) + 1;
        font.key = key;
        font.style = upperStyle;
        font.baseName = core->baseName;
        font.widths = core->widths;
        if (s_->options_.embedFonts) font.trueType = PinnedTrueTypeFont(upperFamily, upperStyle);
        if (font.trueType) {
            font.baseName = PinnedTrueTypeName(upperFamily, upperStyle);
            font.spaceGlyph = font.trueType->GlyphOf(' ');
            font.replacementGlyph = font.trueType->GlyphOf(0xFFFD);
            if (font.replacementGlyph == 0) font.replacementGlyph = font.trueType->GlyphOf('?');
        }
        s_->fonts_.push_back(std::move(font));
        found = s_->fonts_.end() - 1;
    }

    s_->fontFamily_ = name;
    s_->fontStyle_ = style;
    s_->fontSizePt_ = sizePt;
    s_->fontSize_ = sizePt / s_->scale_;
    s_->currentFont_ = static_cast<int>(found - s_->fonts_.begin());
    if (s_->pageCount_ > 0) {
        std::string font = "/F";
        AppendInteger(font, found->index);
        font += ' ';
        AppendNumber(font, s_->fontSizePt_, 2);
        font += " Tf";
        // Inside an open text object without its own paint the font holds
        // for what follows, as it does when set in a text object of its own.
        if (s_->openText_ && s_->openText_->wrapPaint.empty()) {
            EmitIntoOpenText(font);
        } else {
            EmitContent("BT " + font + " ET");
        }
    }
}

const PdfFont* PdfDocument::CurrentFont() const {
    return s_->currentFont_ < 0 ? nullptr : &s_->fonts_[static_cast<std::size_t>(s_->currentFont_)];
}

float PdfDocument::RawWidth(std::string_view bytes) const {
    const PdfFont* font = CurrentFont();
    if (!font) return 0;
    uint32_t sum = 0;
    if (font->trueType) {
        for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
            sum += static_cast<uint32_t>(font->trueType->WidthOf(GlyphAt(bytes, at)));
        }
    } else {
        for (char byte : bytes) sum += (*font->widths)[static_cast<unsigned char>(byte)];
    }
    return static_cast<float>(sum);
}

std::size_t PdfDocument::CountBlanks(std::string_view bytes) const {
    const PdfFont* font = CurrentFont();
    if (font && font->trueType) {
        std::size_t blanks = 0;
        for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) blanks += GlyphAt(bytes, at) == font->spaceGlyph;
        return blanks;
    }
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), ' '));
}

std::string PdfDocument::EncodeText(std::string_view utf8, bool printed) const {
    const PdfFont* font = CurrentFont();
    if (!font || !font->trueType) {
        if (printed) {
            // What WinAnsiEncoding cannot carry prints as "?".
            for (std::size_t pos = 0; pos < utf8.size();) {
                if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
                    ++pos;
                    continue;
                }
                char32_t c = NextCodePoint(utf8, pos);
                if (Windows1252Byte(c) == 0) s_->missingCharacters_.insert(c);
            }
        }
        return EncodeWinAnsi(utf8);
    }
    if (printed && !s_->pageCountAlias_.empty() && utf8.find(s_->pageCountAlias_) != std::string_view::npos) {
        // The count replaces the alias when the document is finished.
        EncodeCharacters(U"0123456789", true);
    }
    return EncodeCharacters(DecodeUtf8(utf8), printed);
}

std::string PdfDocument::EncodeCharacters(std::u32string_view text, bool printed) const {
    PdfFont* font = s_->currentFont_ < 0 ? nullptr : &s_->fonts_[static_cast<std::size_t>(s_->currentFont_)];
    std::string bytes;
    if (!font) return bytes;
    if (!font->trueType) {
        std::string utf8;
        for (char32_t c : text) AppendUtf8(utf8, c);
        return EncodeText(utf8, printed);
    }
    bytes.reserve(2 * text.size());
    for (char32_t c : text) {
        uint16_t glyph = font->trueType->GlyphOf(c);
        if (glyph == 0) {
            // Control characters have no picture to miss: they print blank.
            if (c < 0x20) {
                glyph = font->spaceGlyph;
            } else {
                glyph = font->replacementGlyph;
                if (printed) s_->missingCharacters_.insert(c);
            }
        }
        AppendGlyph(bytes, glyph);
        if (printed && font->usedGlyphs.insert(glyph).second) font->textOf.emplace(glyph, ShownCharacter(*font, c, glyph));
    }
    return bytes;
}

void PdfDocument::AppendEncodedString(std::string& line, std::string_view bytes) const {
    const PdfFont* font = CurrentFont();
    if (!font || !font->trueType) {
        line += '(';
        AppendEscapedBytes(line, bytes);
        line += ')';
        return;
    }
    line += '<';
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) AppendGlyphHex(line, GlyphAt(bytes, at));
    line += '>';
}

float PdfDocument::TextWidth(std::string_view text) const {
    // Measuring records nothing: only printed text goes into the subset.
    return RawWidth(EncodeText(text, false)) * s_->fontSize_ / 1000;
}

// --- Text -------------------------------------------------------------------

void PdfDocument::AppendCoordinates(std::string& line, float xUser, float yUser) const {
    AppendNumber(line, xUser * s_->scale_, 2);
    line += ' ';
    AppendNumber(line, (s_->pageHeight_ - yUser) * s_->scale_, 2);
}

// Appends the text show of a cell or a placed text, from the optional paint
// change to the optional underline, for the baseline point (xUser, yUser).
// In a compressed document a show that follows another directly joins its
// text object, moved by the difference of the two positions, and the object
// is left open for the next one.
void PdfDocument::AppendTextShow(std::string& line, float xUser, float yUser, std::string_view bytes) {
    const std::string_view wrapPaint = s_->paintsDiffer_ ? std::string_view(s_->textPaint_) : std::string_view();
    const std::optional<int64_t> x = WrittenHundredths(xUser * s_->scale_);
    const std::optional<int64_t> y = WrittenHundredths((s_->pageHeight_ - yUser) * s_->scale_);
    const bool joinable =
        s_->options_.compressStreams && !s_->fontStyle_.underline && x && y && s_->state_ == kPageOpen;
    if (joinable && line.empty() && s_->openText_ && s_->openText_->wrapPaint == wrapPaint &&
        ExactMove(s_->openText_->x, *x) && ExactMove(s_->openText_->y, *y)) {
        std::string& moved = s_->joinedShow_;
        moved.clear();
        AppendHundredths(moved, *x - s_->openText_->x);
        moved += ' ';
        AppendHundredths(moved, *y - s_->openText_->y);
        moved += " Td ";
        AppendShowOperands(moved, bytes);
        EmitIntoOpenText(moved);
        s_->openText_->x = *x;
        s_->openText_->y = *y;
        return;
    }

    if (!wrapPaint.empty()) {
        line += "q ";
        line += wrapPaint;
        line += ' ';
    }
    line += "BT ";
    AppendCoordinates(line, xUser, yUser);
    line += " Td ";
    AppendShowOperands(line, bytes);
    if (joinable) {
        s_->openingText_ = State::OpenText{std::string(wrapPaint), *x, *y};
        return;
    }
    line += " ET";
    if (s_->fontStyle_.underline) {
        // A bar 0.1 of the font size below the baseline, hanging downwards.
        float width =
            RawWidth(bytes) * s_->fontSize_ / 1000 + s_->wordSpacing_ * static_cast<float>(CountBlanks(bytes));
        float thickness = -0.05f * s_->fontSizePt_;
        if (s_->fontStyle_.bold) thickness *= 2;
        line += ' ';
        AppendCoordinates(line, xUser, yUser + 0.1f * s_->fontSize_);
        line += ' ';
        AppendNumber(line, width * s_->scale_, 2);
        line += ' ';
        AppendNumber(line, thickness, 2);
        line += " re f";
    }
    if (!wrapPaint.empty()) line += " Q";
}

// The string and operator that show the bytes: "<...> Tj", or a TJ array
// when word spacing has to move the words of an embedded font.
void PdfDocument::AppendShowOperands(std::string& out, std::string_view bytes) const {
    const PdfFont* font = CurrentFont();
    if (font && font->trueType && s_->wordSpacing_ != 0) {
        // Word spacing applies to one-byte codes only: move each blank's
        // follower instead.
        std::string adjust;
        AppendNumber(adjust, -s_->wordSpacing_ * 1000 / s_->fontSize_, 3);
        out += '[';
        std::size_t start = 0;
        for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
            if (GlyphAt(bytes, at) != font->spaceGlyph) continue;
            AppendEncodedString(out, bytes.substr(start, at + 2 - start));
            out += ' ' + adjust + ' ';
            start = at + 2;
        }
        AppendEncodedString(out, bytes.substr(start));
        out += "] TJ";
    } else {
        AppendEncodedString(out, bytes);
        out += " Tj";
    }
}

void PdfDocument::PutCell(float width, float height, std::string_view text, PdfBorder border, PdfCursor next,
                          PdfAlign align, bool fill) {
    CellBytes(width, height, EncodeText(WithoutLineEnd(text), true), border, next, align, fill);
}

void PdfDocument::BreakPageKeepingX() {
    float keptX = s_->x_;
    float keptSpacing = s_->wordSpacing_;
    if (keptSpacing > 0) {
        s_->wordSpacing_ = 0;
        EmitContent("0 Tw");
    }
    NewPage(s_->currentOrientation_);
    s_->x_ = keptX;
    if (keptSpacing > 0) {
        s_->wordSpacing_ = keptSpacing;
        std::string line;
        AppendNumber(line, s_->wordSpacing_ * s_->scale_, 3);
        line += " Tw";
        EmitContent(line);
    }
}

namespace {


struct CellBox {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// The fill and the border of a cell: a rectangle for a frame or a fill, a
// line for each edge that an edge set names. `point` appends a point in
// page coordinates.
template <typename AppendPoint>
void AppendCellFrame(std::string& line, const CellBox& box, float scale, PdfBorder border, bool fill,
                     const AppendPoint& point) {
    const auto [x, y, width, height] = box;
    bool frame = border == PdfBorder::Frame;
    if (fill || frame) {
        point(line, x, y);
        line += ' ';
        AppendNumber(line, width * scale, 2);
        line += ' ';
        AppendNumber(line, -height * scale, 2);
        line += fill && frame ? " re B " : fill ? " re f " : " re S ";
    }
    if (static_cast<int>(border) >= 0) return;
    int edges = -static_cast<int>(border);
    auto edge = [&](float x1, float y1, float x2, float y2) {
        point(line, x1, y1);
        line += " m ";
        point(line, x2, y2);
        line += " l S ";
    };
    if (edges & 1) edge(x, y, x, y + height);
    if (edges & 2) edge(x, y, x + width, y);
    if (edges & 4) edge(x + width, y, x + width, y + height);
    if (edges & 8) edge(x, y + height, x + width, y + height);
}

// Where a cell's text starts, from the cell's left edge.
float CellTextOffset(PdfAlign align, float width, float textWidth, float cellMargin) {
    if (align == PdfAlign::Right) return width - cellMargin - textWidth;
    if (align == PdfAlign::Centre) return (width - textWidth) / 2;
    return cellMargin;
}

// The word spacing that stretches justified text across its cell.
float JustifiedWordSpacing(float width, float textWidth, float cellMargin, std::size_t blanks) {
    float spacing = width - 2 * cellMargin - textWidth;
    if (blanks > 0) spacing /= static_cast<float>(blanks);
    return spacing;
}

}  // namespace

void PdfDocument::CellBytes(float width, float height, std::string_view bytes, PdfBorder border, PdfCursor next,
                            PdfAlign align, bool fill) {
    if (s_->y_ + height > s_->pageBreakTrigger_ && !s_->inFooter_ && !s_->inHeader_ && s_->autoPageBreak_) {
        BreakPageKeepingX();
    }
    if (width == 0) width = s_->pageWidth_ - s_->rightMargin_ - s_->x_;

    std::string& line = s_->line_;
    line.clear();
    AppendCellFrame(line, CellBox{s_->x_, s_->y_, width, height}, s_->scale_, border, fill,
                    [this](std::string& out, float x, float y) { AppendCoordinates(out, x, y); });
    bool justified = align == PdfAlign::Justified;
    if (!bytes.empty() && s_->currentFont_ >= 0) {
        float textWidth = RawWidth(bytes) * s_->fontSize_ / 1000;
        if (justified) {
            s_->wordSpacing_ = JustifiedWordSpacing(width, textWidth, s_->cellMargin_, CountBlanks(bytes));
            std::string spacing;
            AppendNumber(spacing, s_->wordSpacing_ * s_->scale_, 3);
            spacing += " Tw";
            EmitContent(spacing);
        }
        float dx = CellTextOffset(align, width, textWidth, s_->cellMargin_);
        AppendTextShow(line, s_->x_ + dx, s_->y_ + 0.5f * height + 0.3f * s_->fontSize_, bytes);
    }
    EmitContent(line);
    if (justified) {
        EmitContent("0 Tw");
        s_->wordSpacing_ = 0;
    }

    s_->lastCellHeight_ = height;
    if (next != PdfCursor::Right) {
        s_->y_ += height;
        if (next == PdfCursor::NextLine) s_->x_ = s_->leftMargin_;
    } else {
        s_->x_ += width;
    }
}

void PdfDocument::PutText(float x, float y, std::string_view text) {
    if (text.empty() || s_->currentFont_ < 0) return;
    std::string bytes = EncodeText(text, true);
    std::string line;
    AppendTextShow(line, x, y, bytes);
    EmitContent(line);
}

void PdfDocument::PutMarkedText(float x, float y, std::string_view text) {
    if (text.empty() || s_->currentFont_ < 0) return;
    std::string line = "/Span <</ActualText (";
    AppendUtf16TextString(line, text);
    line += ")>> BDC";
    EmitContent(line);
    PutText(x, y, text);
    EmitContent("EMC");
}

namespace {

// The line breaker for any text whose characters compare with char32_t.
template <typename Text, typename WidthOf>
std::vector<FlowPiece> BreakLines(const Text& text, const WidthOf& widthOf, const FlowRoom& room) {
    std::vector<FlowPiece> pieces;
    float wmax = room.firstLine;
    bool firstLine = true;
    const std::size_t n = text.size();
    std::size_t i = 0;                         // current character
    std::size_t j = 0;                         // start of the pending piece
    std::size_t sep = std::string_view::npos;  // last blank of the pending piece
    float l = 0;                               // pending width
    auto leaveFirstLine = [&] {
        firstLine = false;
        wmax = room.fullLine;
    };
    auto startPiece = [&] {
        sep = std::string_view::npos;
        j = i;
        l = 0;
        leaveFirstLine();
    };
    while (i < n) {
        auto c = static_cast<char32_t>(text[i]);
        if (c == U'\n') {
            pieces.push_back(FlowPiece{FlowPieceKind::Line, j, i - j, 0});
            ++i;
            startPiece();
            continue;
        }
        if (c == U' ') sep = i;
        l += widthOf(i);
        if (l <= wmax) {
            ++i;
            continue;
        }
        if (sep == std::string_view::npos) {
            if (firstLine && room.startsMidLine) {
                // The piece began in the middle of a line: move it to the next.
                pieces.push_back(FlowPiece{FlowPieceKind::MoveDown, i, 0, 0});
                leaveFirstLine();
                ++i;
                continue;
            }
            if (i == j) ++i;  // a single character wider than the line still goes out
            pieces.push_back(FlowPiece{FlowPieceKind::Line, j, i - j, 0});
        } else {
            pieces.push_back(FlowPiece{FlowPieceKind::Line, j, sep - j, 0});
            i = sep + 1;
        }
        startPiece();
    }
    if (i != j) pieces.push_back(FlowPiece{FlowPieceKind::Tail, j, n - j, l});
    return pieces;
}

}  // namespace

std::vector<FlowPiece> BreakFlowText(std::string_view bytes, const GlyphWidths& widths, const FlowRoom& room) {
    // Bytes compare as unsigned, so that no byte above 0x7F reads as a blank.
    std::basic_string_view<unsigned char> text(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return BreakLines(text, [&](std::size_t i) { return static_cast<float>(widths[text[i]]); }, room);
}

std::vector<FlowPiece> BreakFlowText(std::u32string_view text, const std::vector<uint16_t>& widths,
                                     const FlowRoom& room) {
    return BreakLines(text, [&](std::size_t i) { return i < widths.size() ? static_cast<float>(widths[i]) : 0.0f; },
                      room);
}

void PdfDocument::FlowText(float lineHeight, std::string_view text) {
    const PdfFont* font = CurrentFont();
    if (!font) return;
    const std::u32string chars = DecodeUtf8(text);
    // Each character's width, from its code in the font's encoding.
    const std::string measured = EncodeCharacters(chars, false);
    const std::size_t unit = font->trueType ? 2 : 1;
    std::vector<uint16_t> widths(chars.size());
    for (std::size_t i = 0; i < chars.size() && unit * (i + 1) <= measured.size(); ++i) {
        widths[i] = static_cast<uint16_t>(RawWidth(std::string_view(measured).substr(unit * i, unit)));
    }
    auto lineWidthFrom = [this](float x) { return s_->pageWidth_ - s_->rightMargin_ - x; };
    auto room = [this](float lineWidth) { return (lineWidth - 2 * s_->cellMargin_) * 1000 / s_->fontSize_; };

    float w = lineWidthFrom(s_->x_);
    const float fullWidth = lineWidthFrom(s_->leftMargin_);
    const FlowRoom flowRoom{room(w), room(fullWidth), s_->x_ > s_->leftMargin_};
    bool firstLine = true;
    for (const FlowPiece& piece : BreakFlowText(std::u32string_view(chars), widths, flowRoom)) {
        std::string part = EncodeCharacters(std::u32string_view(chars).substr(piece.begin, piece.length), true);
        switch (piece.kind) {
            case FlowPieceKind::Line:
                CellBytes(w, lineHeight, part, PdfBorder::None, PdfCursor::Below, PdfAlign::Left, false);
                break;
            case FlowPieceKind::MoveDown:
                s_->y_ += lineHeight;
                break;
            case FlowPieceKind::Tail:
                CellBytes(piece.width / 1000 * s_->fontSize_, lineHeight, part, PdfBorder::None, PdfCursor::Right,
                          PdfAlign::Left, false);
                continue;
        }
        // Every line after the first starts at the left margin.
        if (firstLine) {
            s_->x_ = s_->leftMargin_;
            w = fullWidth;
            firstLine = false;
        }
    }
}

// --- Cursor -----------------------------------------------------------------

void PdfDocument::LineFeed(float h) {
    s_->x_ = s_->leftMargin_;
    s_->y_ += h;
}

void PdfDocument::LineFeed() { LineFeed(s_->lastCellHeight_); }

void PdfDocument::SetCursorY(float v) {
    s_->x_ = s_->leftMargin_;
    s_->y_ = v >= 0 ? v : s_->pageHeight_ + v;
}

}  // namespace tak
