// The private state of a PdfDocument: what its operations read and change.
// Only the writer's own files include it.
#pragma once

#include <deque>
#include <memory>

#include "pdf/Paginor.h"

namespace tak {

struct PdfDocument::State {
    // Document state.
    int state_ = kNotBegun;
    int pageCount_ = 0;
    PdfError lastError_ = PdfError::None;
    bool contentLost_ = false;  // an append was dropped for lack of memory
    float scale_ = 1;
    int objectCount_ = 2;
    PdfOrientation defaultOrientation_ = PdfOrientation::Portrait;
    PdfOrientation currentOrientation_ = PdfOrientation::Portrait;
    float formatWidthPt_ = 0, formatHeightPt_ = 0;
    float formatWidth_ = 0, formatHeight_ = 0;
    float pageWidthPt_ = 0, pageHeightPt_ = 0;
    float pageWidth_ = 0, pageHeight_ = 0;
    float leftMargin_ = 0, topMargin_ = 0, rightMargin_ = 0, bottomMargin_ = 0;
    float cellMargin_ = 0;
    float x_ = 0, y_ = 0;
    float lastCellHeight_ = 0;
    bool autoPageBreak_ = true;
    float pageBreakTrigger_ = 0;
    bool inFooter_ = false;
    bool inHeader_ = false;                               // no automatic page break inside the header either
    int zoomMode_ = static_cast<int>(PdfZoom::FitWidth);  // a PdfZoom or a percentage
    PdfPageLayout layoutMode_ = PdfPageLayout::OneColumn;
    std::string pageCountAlias_;
    PdfPageHandler headerHandler_;
    PdfPageHandler footerHandler_;

    // Current font.
    std::string fontFamily_;
    PdfFontStyle fontStyle_;
    float fontSizePt_ = 12;
    float fontSize_ = 0;
    int currentFont_ = -1;  // position in fonts_, -1 = none

    // Paints and lines.
    std::string strokePaint_ = "0 G";
    std::string fillPaint_ = "0 g";
    std::string textPaint_ = "0 g";
    bool paintsDiffer_ = false;
    float lineWidth_ = 0;
    float wordSpacing_ = 0;
    float rotationAngle_ = 0;

    // The file and its parts.
    ByteBuffer mainBuffer_;
    std::vector<ByteBuffer> pages_;
    struct PageSize {
        float widthPt, heightPt;
    };
    std::vector<PageSize> pageSizes_;
    std::vector<std::size_t> objectOffsets_;  // entry 0 = object 1
    std::vector<PdfFont> fonts_;
    std::vector<PdfImage> images_;
    // Page contents and image data are not copied into the main buffer when
    // the document is finished: each is written into the file at its place
    // (an offset of the main buffer) when the file is saved. A page stream
    // may hold the page-count alias, replaced by the count while writing.
    struct StreamSplice {
        std::size_t offset;
        const ByteBuffer* bytes;
        std::size_t aliasCount;  // occurrences of the page-count alias to replace
    };
    std::vector<StreamSplice> splices_;
    std::size_t splicedSize_ = 0;
    std::string pageCountText_;

    // Streams made while finishing (font files, character maps, compressed
    // pages); a deque keeps their addresses for the splices.
    std::deque<ByteBuffer> finishedStreams_;
    // Compressed documents join adjacent text shows into one text object, so
    // a page's content may end with one still open ("BT ... Tj", no "ET"):
    // its "q ... Q" paint (empty without) and its last position as written,
    // in 1/100 pt. Anything else drawn closes it first.
    struct OpenText {
        std::string wrapPaint;
        int64_t x = 0, y = 0;
    };
    std::optional<OpenText> openText_;
    std::optional<OpenText> openingText_;  // opened by the content line being emitted
    // Page content bytes still to be compressed at the best level.
    std::size_t bestDeflateLeft_ = 0;
    // The file with its dictionaries in an object stream, while it is written.
    std::string packedFile_;
    std::set<char32_t> missingCharacters_;
    PdfWriterOptions options_ = PdfDocument::DefaultWriterOptions();

    std::optional<std::time_t> creationTime_;
    std::size_t bufferLimit_ = static_cast<std::size_t>(-1);
    std::string line_;  // scratch for building one content line
    std::string joinedShow_;  // scratch for a show joining the open text object
};

}  // namespace tak
