// Pages, fonts and text: NewPage with its handlers, font selection and
// measuring, cells, running text and the cursor.
#include <algorithm>

#include "base/Text.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorFormat.h"

namespace tak {

namespace {

constexpr std::size_t kPageRoom = 64000;

std::size_t CountBlanks(std::string_view bytes) {
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), ' '));
}

}  // namespace

// --- Pages ------------------------------------------------------------------

bool PdfDocument::NewPage(std::string_view orientation, std::string_view pageFormat) {
    if (state_ == kWritten) return false;  // a saved document takes no more pages
    if (state_ == kNotBegun && !CreateDocument("", "", "")) return false;

    const GraphicsState carried = CurrentGraphicsState();
    if (state_ == kPageOpen) {
        RunFooter();
        EndPage();
    }
    if (!BeginPage(orientation, pageFormat)) return false;
    StartPageContent(carried);
    if (headerHandler_) {
        bool outerHeader = inHeader_;
        inHeader_ = true;
        headerHandler_(*this);
        inHeader_ = outerHeader;
    }
    // The content after the header goes on as it was before the page break.
    RestoreAfterHeader(carried);
    return true;
}

PdfDocument::GraphicsState PdfDocument::CurrentGraphicsState() const {
    return GraphicsState{fontFamily_, fontStyle_ + (underline_ ? "U" : ""), fontSizePt_, lineWidth_,
                         strokePaint_, fillPaint_, textPaint_, paintsDiffer_};
}

void PdfDocument::StartPageContent(const GraphicsState& carried) {
    EmitContent("2 J");  // projecting square line caps
    lineWidth_ = carried.lineWidth;
    EmitLineWidth();
    if (!TrimBlanksAndTabs(carried.fontFamily).empty()) {
        SelectFont(carried.fontFamily, carried.fontStyle, carried.fontSizePt);
    }
    strokePaint_ = carried.strokePaint;
    if (strokePaint_ != "0 G") EmitContent(strokePaint_);
    fillPaint_ = carried.fillPaint;
    if (fillPaint_ != "0 g") EmitContent(fillPaint_);
    textPaint_ = carried.textPaint;
    paintsDiffer_ = carried.paintsDiffer;
}

void PdfDocument::RestoreAfterHeader(const GraphicsState& carried) {
    if (lineWidth_ != carried.lineWidth) {
        lineWidth_ = carried.lineWidth;
        EmitLineWidth();
    }
    if (!carried.fontFamily.empty()) SelectFont(carried.fontFamily, carried.fontStyle, carried.fontSizePt);
    if (strokePaint_ != carried.strokePaint) {
        strokePaint_ = carried.strokePaint;
        EmitContent(strokePaint_);
    }
    if (fillPaint_ != carried.fillPaint) {
        fillPaint_ = carried.fillPaint;
        EmitContent(fillPaint_);
    }
    textPaint_ = carried.textPaint;
    paintsDiffer_ = carried.paintsDiffer;
}

bool PdfDocument::BeginPage(std::string_view orientation, std::string_view pageFormat) {
    ByteBuffer page;
    if (!MakeBuffer(page, kPageRoom)) return false;
    pages_.push_back(std::move(page));
    ++pageCount_;
    state_ = kPageOpen;
    x_ = leftMargin_;
    y_ = topMargin_;
    fontFamily_.clear();  // the first font selection on a page is always emitted

    if (!TrimBlanksAndTabs(pageFormat).empty()) {  // a new default format
        SetFormat(pageFormat);
        std::string upper = AsciiUpper(TrimBlanksAndTabs(orientation));
        defaultOrientation_ = upper == "L" || upper == "LANDSCAPE" ? 'L' : 'P';
        currentOrientation_ = defaultOrientation_;
        SetPageSizeFor(currentOrientation_);
        // The break position follows the page size, or cells would break at
        // the old page's height.
        pageBreakTrigger_ = pageHeight_ - bottomMargin_;
    }
    std::string_view trimmed = TrimBlanksAndTabs(orientation);
    char wanted = trimmed.empty() ? defaultOrientation_ : AsciiUpper(trimmed.substr(0, 1))[0];
    if (wanted != currentOrientation_) {
        SetPageSizeFor(wanted);
        pageBreakTrigger_ = pageHeight_ - bottomMargin_;
        currentOrientation_ = wanted;
    }
    pageSizes_.push_back({pageWidthPt_, pageHeightPt_});
    return true;
}

void PdfDocument::EndPage() {
    if (rotationAngle_ != 0) {
        EmitContent("Q");
        rotationAngle_ = 0;
    }
    state_ = kBegun;
}

void PdfDocument::RunFooter() {
    inFooter_ = true;
    if (footerHandler_) footerHandler_(*this);
    inFooter_ = false;
}

void PdfDocument::EmitLineWidth() {
    std::string line;
    AppendNumber(line, lineWidth_ * scale_, 2);
    line += " w";
    EmitContent(line);
}

// --- Fonts ------------------------------------------------------------------

void PdfDocument::SelectFont(std::string_view family, std::string_view style, float sizePt) {
    std::string name(TrimBlanksAndTabs(family));
    if (name.empty()) name = fontFamily_;
    std::string upperFamily = AsciiUpper(name);
    if (upperFamily == "ARIAL") name = upperFamily = "HELVETICA";

    std::string upperStyle = AsciiUpper(TrimBlanksAndTabs(style));
    if (upperFamily == "SYMBOL" || upperFamily == "ZAPFDINGBATS") upperStyle.clear();
    underline_ = upperStyle.find('U') != std::string::npos;
    std::erase(upperStyle, 'U');
    if (upperStyle == "IB") upperStyle = "BI";
    if (sizePt == 0) sizePt = fontSizePt_;

    if (AsciiUpper(fontFamily_) == upperFamily && fontStyle_ == upperStyle && fontSizePt_ == sizePt) {
        return;
    }

    std::string key = std::string(upperStyle.size() < 3 ? 3 - upperStyle.size() : 0, '_') +
                      upperStyle + "+" + upperFamily;
    auto found = std::find_if(fonts_.begin(), fonts_.end(),
                              [&key](const PdfFont& font) { return font.key == key; });
    if (found == fonts_.end()) {
        const CoreFont* core = FindCoreFont(upperFamily + upperStyle);
        if (!core) return;  // not one of the 14 standard fonts: keep the current font
        PdfFont font;
        font.index = static_cast<int>(fonts_.size()) + 1;
        font.key = key;
        font.style = upperStyle;
        font.baseName = core->baseName;
        font.widths = core->widths;
        fonts_.push_back(std::move(font));
        found = fonts_.end() - 1;
    }

    fontFamily_ = name;
    fontStyle_ = upperStyle;
    fontSizePt_ = sizePt;
    fontSize_ = sizePt / scale_;
    currentFont_ = static_cast<int>(found - fonts_.begin());
    if (pageCount_ > 0) {
        std::string line = "BT /F";
        AppendInteger(line, found->index);
        line += ' ';
        AppendNumber(line, fontSizePt_, 2);
        line += " Tf ET";
        EmitContent(line);
    }
}

float PdfDocument::RawWidth(std::string_view bytes) const {
    if (currentFont_ < 0) return 0;
    const GlyphWidths& widths = *fonts_[static_cast<std::size_t>(currentFont_)].widths;
    uint32_t sum = 0;
    for (char byte : bytes) sum += widths[static_cast<unsigned char>(byte)];
    return static_cast<float>(sum);
}

float PdfDocument::TextWidth(std::string_view text) const {
    return RawWidth(EncodeWinAnsi(text)) * fontSize_ / 1000;
}

// --- Text -------------------------------------------------------------------

void PdfDocument::AppendCoordinates(std::string& line, float xUser, float yUser) const {
    AppendNumber(line, xUser * scale_, 2);
    line += ' ';
    AppendNumber(line, (pageHeight_ - yUser) * scale_, 2);
}

// Appends the text show of a cell or a placed text, from the optional paint
// change to the optional underline, for the baseline point (xUser, yUser).
void PdfDocument::AppendTextShow(std::string& line, float xUser, float yUser, std::string_view bytes) {
    if (paintsDiffer_) {
        line += "q ";
        line += textPaint_;
        line += ' ';
    }
    line += "BT ";
    AppendCoordinates(line, xUser, yUser);
    line += " Td (";
    AppendEscapedBytes(line, bytes);
    line += ") Tj ET";
    if (underline_) {
        // A bar 0.1 of the font size below the baseline, hanging downwards.
        float width = RawWidth(bytes) * fontSize_ / 1000 +
                      wordSpacing_ * static_cast<float>(CountBlanks(bytes));
        float thickness = -0.05f * fontSizePt_;
        if (fontStyle_.find('B') != std::string::npos) thickness *= 2;
        line += ' ';
        AppendCoordinates(line, xUser, yUser + 0.1f * fontSize_);
        line += ' ';
        AppendNumber(line, width * scale_, 2);
        line += ' ';
        AppendNumber(line, thickness, 2);
        line += " re f";
    }
    if (paintsDiffer_) line += " Q";
}

void PdfDocument::PutCell(float width, float height, std::string_view text, PdfBorder border, PdfCursor next,
                          PdfAlign align, bool fill) {
    std::string bytes;
    bytes.reserve(text.size());
    AppendWinAnsi(bytes, text);
    CellBytes(width, height, bytes, border, next, align, fill);
}

void PdfDocument::BreakPageKeepingX() {
    float keptX = x_;
    float keptSpacing = wordSpacing_;
    if (keptSpacing > 0) {
        wordSpacing_ = 0;
        EmitContent("0 Tw");
    }
    NewPage(std::string(1, currentOrientation_), "");
    x_ = keptX;
    if (keptSpacing > 0) {
        wordSpacing_ = keptSpacing;
        std::string line;
        AppendNumber(line, wordSpacing_ * scale_, 3);
        line += " Tw";
        EmitContent(line);
    }
}

void PdfDocument::CellBytes(float width, float height, std::string_view bytes, PdfBorder border, PdfCursor next,
                            PdfAlign align, bool fill) {
    if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
    if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);

    if (y_ + height > pageBreakTrigger_ && !inFooter_ && !inHeader_ && autoPageBreak_) {
        BreakPageKeepingX();
    }
    if (width == 0) width = pageWidth_ - rightMargin_ - x_;

    std::string& line = line_;
    line.clear();
    bool frame = border == PdfBorder::Frame;
    if (fill || frame) {
        AppendCoordinates(line, x_, y_);
        line += ' ';
        AppendNumber(line, width * scale_, 2);
        line += ' ';
        AppendNumber(line, -height * scale_, 2);
        line += fill && frame ? " re B " : fill ? " re f " : " re S ";
    }
    if (static_cast<int>(border) < 0) {
        int edges = -static_cast<int>(border);
        auto edge = [&](float x1, float y1, float x2, float y2) {
            AppendCoordinates(line, x1, y1);
            line += " m ";
            AppendCoordinates(line, x2, y2);
            line += " l S ";
        };
        if (edges & 1) edge(x_, y_, x_, y_ + height);
        if (edges & 2) edge(x_, y_, x_ + width, y_);
        if (edges & 4) edge(x_ + width, y_, x_ + width, y_ + height);
        if (edges & 8) edge(x_, y_ + height, x_ + width, y_ + height);
    }
    bool justified = align == PdfAlign::Justified;
    if (!bytes.empty() && currentFont_ >= 0) {
        float textWidth = RawWidth(bytes) * fontSize_ / 1000;
        float dx = cellMargin_;
        if (align == PdfAlign::Right) {
            dx = width - cellMargin_ - textWidth;
        } else if (align == PdfAlign::Centre) {
            dx = (width - textWidth) / 2;
        } else if (justified) {
            wordSpacing_ = width - 2 * cellMargin_ - textWidth;
            std::size_t blanks = CountBlanks(bytes);
            if (blanks > 0) wordSpacing_ /= static_cast<float>(blanks);
            std::string spacing;
            AppendNumber(spacing, wordSpacing_ * scale_, 3);
            spacing += " Tw";
            EmitContent(spacing);
        }
        AppendTextShow(line, x_ + dx, y_ + 0.5f * height + 0.3f * fontSize_, bytes);
    }
    EmitContent(line);
    if (justified) {
        EmitContent("0 Tw");
        wordSpacing_ = 0;
    }

    lastCellHeight_ = height;
    if (next != PdfCursor::Right) {
        y_ += height;
        if (next == PdfCursor::NextLine) x_ = leftMargin_;
    } else {
        x_ += width;
    }
}

void PdfDocument::PutText(float x, float y, std::string_view text) {
    if (text.empty() || currentFont_ < 0) return;
    std::string bytes = EncodeWinAnsi(text);
    std::string line;
    AppendTextShow(line, x, y, bytes);
    EmitContent(line);
}

void PdfDocument::FlowText(float lineHeight, std::string_view text) {
    if (currentFont_ < 0) return;
    const std::string bytes = EncodeWinAnsi(text);
    const std::string_view all(bytes);
    const GlyphWidths& widths = *fonts_[static_cast<std::size_t>(currentFont_)].widths;

    float w = 0;
    float wmax = 0;  // room of a line in 1/1000 of the font size
    auto measureLine = [&] {
        w = pageWidth_ - rightMargin_ - x_;
        wmax = (w - 2 * cellMargin_) * 1000 / fontSize_;
    };
    auto toLineStart = [&] {
        x_ = leftMargin_;
        measureLine();
    };
    measureLine();

    const std::size_t n = all.size();
    std::size_t i = 0;  // current character
    std::size_t j = 0;  // start of the pending piece
    std::size_t sep = std::string_view::npos;  // last blank of the pending piece
    float l = 0;  // pending width in 1/1000 of the font size
    int nl = 1;   // line counter
    while (i < n) {
        char c = all[i];
        if (c == '\n') {
            CellBytes(w, lineHeight, all.substr(j, i - j), PdfBorder::None, PdfCursor::Below, PdfAlign::Left, false);
            ++i;
            sep = std::string_view::npos;
            j = i;
            l = 0;
            if (nl == 1) toLineStart();
            ++nl;
            continue;
        }
        if (c == ' ') sep = i;
        l += widths[static_cast<unsigned char>(c)];
        if (l <= wmax) {
            ++i;
            continue;
        }
        if (sep == std::string_view::npos) {
            if (x_ > leftMargin_) {
                // The piece began in the middle of a line: move it to the next.
                x_ = leftMargin_;
                y_ += lineHeight;
                measureLine();
                ++i;
                ++nl;
                continue;
            }
            if (i == j) ++i;  // a single character wider than the line still goes out
            CellBytes(w, lineHeight, all.substr(j, i - j), PdfBorder::None, PdfCursor::Below, PdfAlign::Left, false);
        } else {
            CellBytes(w, lineHeight, all.substr(j, sep - j), PdfBorder::None, PdfCursor::Below, PdfAlign::Left, false);
            i = sep + 1;
        }
        sep = std::string_view::npos;
        j = i;
        l = 0;
        if (nl == 1) toLineStart();
        ++nl;
    }
    if (i != j)
        CellBytes(l / 1000 * fontSize_, lineHeight, all.substr(j), PdfBorder::None, PdfCursor::Right, PdfAlign::Left,
                  false);
}

// --- Cursor -----------------------------------------------------------------

void PdfDocument::LineFeed(float h) {
    x_ = leftMargin_;
    y_ += h >= 0 ? h : lastCellHeight_;
}

void PdfDocument::SetCursorY(float v) {
    x_ = leftMargin_;
    y_ = v >= 0 ? v : pageHeight_ + v;
}

}  // namespace tak
