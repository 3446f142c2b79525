// The program's own PDF writer. A PdfDocument builds one PDF file at a
// time in memory: CreateDocument, pages with text, cells, paths and images,
// then SaveDocument writes it in one go. Positions are in the unit chosen at
// creation, measured from the top-left page corner with y growing downwards.
// Text is UTF-8. Text fonts are embedded as subsets of the fonts the program
// measures with, so that any character they have a glyph for prints; the 14
// standard fonts in WinAnsiEncoding stand in when those files are missing.
// Streams are Flate-compressed unless the writer is told to keep them plain;
// a compressed file also packs its dictionaries into an object stream
// (PDF 1.5) and joins adjacent text shows, while a plain one stays PDF 1.3
// with one text object per show, as drawn, for reading in an editor.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/PaginorBuffer.h"
#include "pdf/Paginor_res.h"

namespace tak {

struct TrueTypeFont;

// A font used in the document: an embedded TrueType font, whose text is
// written as two-byte glyph numbers, or a standard font (trueType null),
// whose text is written in WinAnsiEncoding.
struct PdfFont {
    int index = 0;         // resource name "/F" + index, from 1
    int objectNumber = 0;  // assigned when the document is finished
    std::string baseName;
    std::string style;  // "", "B", "I" or "BI"
    std::string key;    // style padded with "_" to 3 characters, "+", family: "__B+TIMES"
    const GlyphWidths* widths = nullptr;  // of the standard font
    std::shared_ptr<const TrueTypeFont> trueType;
    std::set<uint16_t> usedGlyphs;       // printed in the document
    std::map<uint16_t, char32_t> textOf;  // the character each printed glyph stands for
    uint16_t spaceGlyph = 0;
    uint16_t replacementGlyph = 0;  // printed for a character the font lacks
};

// How documents are written. The default embeds the fonts and compresses;
// plain streams and standard fonts make a file easy to read in an editor.
struct PdfWriterOptions {
    bool compressStreams = true;
    bool embedFonts = true;
};

// An image file placed in the document; placements of the same file share it.
struct PdfImage {
    std::string fileName;
    int index = 0;         // resource name "/I" + index, from 1
    int objectNumber = 0;  // assigned when the document is finished
    int width = 0;         // pixels
    int height = 0;
    std::string colourSpace;  // "DeviceGray", "DeviceRGB", "DeviceCMYK" or "Indexed"
    int bitsPerComponent = 0;
    std::string filter;       // "FlateDecode" or "DCTDecode"
    std::string decodeParms;  // the whole /DecodeParms entry, empty for JPEG
    ByteBuffer data;          // PNG: the IDAT contents; JPEG: the whole file
    ByteBuffer palette;       // PNG PLTE contents
};

// True when `name`, a file name without folders, is not empty and holds no
// control character and none of \ / : * ? " < > |. SaveDocument refuses other
// names; writers of other formats use the same check.
bool IsValidFileNamePart(std::string_view name);

// Why the last operation failed. The numbers are those of the writer's
// earlier versions, so that logs stay comparable.
enum class PdfError : int {
    None = 0,
    Png16Bit = 1,
    PngAlpha = 2,
    PngCompression = 3,
    PngFilter = 4,
    PngInterlaced = 5,
    PngNoPalette = 6,
    ImageNotOpened = 8,
    ImageNotRead = 9,
    NotJpeg = 11,
    BadPng = 12,
    NotJpegOrPng = 14,
    BadFileName = 15,
    FileNotCreated = 16,
    OutOfMemory = 18,
};

// The lines around a cell: none, the whole frame, or a set of edges
// (PdfBorder::Left | PdfBorder::Top).
enum class PdfBorder : int { None = 0, Frame = 1, Left = -1, Top = -2, Right = -4, Bottom = -8 };
constexpr PdfBorder operator|(PdfBorder a, PdfBorder b) {
    return static_cast<PdfBorder>(-((-static_cast<int>(a)) | (-static_cast<int>(b))));
}

// Where the cursor goes after a cell: to its right, to the start of the next
// line, or below the cell.
enum class PdfCursor : int { Right = 0, NextLine = 1, Below = 2 };

// How a cell's text sits in it; Justified spreads the words of a full line.
enum class PdfAlign { Left, Centre, Right, Justified };

// How a path is painted: stroked as it is, closed and stroked, filled, or
// closed, filled and stroked.
enum class PdfPaint { Stroke, CloseAndStroke, Fill, FillAndStroke };

// The view a reader opens the document with.
enum class PdfZoom : int { FitPage = -1, FitWidth = -2, RealSize = -3, FullScreen = -4 };
enum class PdfPageLayout { SinglePage, OneColumn, TwoColumnLeft };

// Which way up a page is: portrait keeps the page format as given, landscape
// turns it, swapping width and height.
enum class PdfOrientation { Portrait, Landscape };

// The unit of every position and size passed to a document.
enum class PdfUnit { Point, Millimetre, Centimetre, Inch };

// A page format in points, in portrait sense. A format without an area (a
// side of zero or less) is taken as A4.
struct PdfPageSize {
    float widthPt = 0;
    float heightPt = 0;
};
inline constexpr PdfPageSize kPdfA4{595.28f, 841.89f};

// The style of a font: bold and italic choose the face, underline draws a
// rule under the text. Symbol and ZapfDingbats have no styles.
struct PdfFontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool operator==(const PdfFontStyle&) const = default;
};

class PdfDocument;
// Runs at the start (header) or end (footer) of every page; whatever the
// handler needs besides the document is captured by it.
using PdfPageHandler = std::function<void(PdfDocument&)>;

class PdfDocument {
public:
    PdfDocument();
    ~PdfDocument();
    PdfDocument(PdfDocument&&) noexcept;
    PdfDocument& operator=(PdfDocument&&) noexcept;

    // Back to the state of a new writer: no document, no settings.
    void InitWriter();

    // --- Document -----------------------------------------------------------
    // The orientation and format are the defaults of every page. False only
    // when memory cannot be had.
    [[nodiscard]] bool CreateDocument(PdfOrientation orientation = PdfOrientation::Portrait,
                                      PdfUnit unit = PdfUnit::Millimetre, PdfPageSize pageFormat = kPdfA4);
    // Finishes the document and writes it to `fileName` (nothing is written
    // for an empty name). False when the name is not valid (BadFileName), the
    // file cannot be written (FileNotCreated), some content was lost for lack
    // of memory (OutOfMemory), or the document had already been saved.
    [[nodiscard]] bool SaveDocument(std::string_view fileName);

    void SetPageCountAlias(std::string_view alias);
    // Without a right margin the right one is as wide as the left.
    void SetMargins(float left, float top, std::optional<float> right = std::nullopt);
    void SetAutoBreak(bool enabled, float bottomMargin = 0);
    void SetOpenView(PdfZoom zoom, PdfPageLayout layout);
    // Opens at this percentage of the real size.
    void SetOpenView(int zoomPercent, PdfPageLayout layout);

    PdfError LastError() const;
    std::string_view LastErrorText() const;
    static std::string_view ErrorText(PdfError code);

    // --- Pages --------------------------------------------------------------
    // Ends the open page (footer) and begins the next (header), carrying the
    // font, paints and line width over. Without an orientation or a format
    // the page has the document's; a format given here becomes the new
    // default, and so does the orientation given with it.
    // A page that cannot be begun leaves the document unsaveable, so callers
    // may leave the result to SaveDocument.
    bool NewPage(std::optional<PdfOrientation> orientation = std::nullopt,
                 std::optional<PdfPageSize> pageFormat = std::nullopt);
    void SetHeaderHandler(PdfPageHandler handler);
    void SetFooterHandler(PdfPageHandler handler);

    // --- Fonts and text -----------------------------------------------------
    // family: Courier, Helvetica (or Arial), Times, Symbol, ZapfDingbats, in
    // any case; an empty family keeps the current one. sizePt 0 keeps the
    // current size.
    void SelectFont(std::string_view family, PdfFontStyle style, float sizePt);
    float TextWidth(std::string_view text) const;
    // The selected font, so that a drawing can switch to bold and back.
    std::string_view FontFamily() const;
    PdfFontStyle FontStyle() const;
    float FontSizePt() const;

    // A cell of `width` (0 reaches the right margin) with its text, border and
    // fill (the fill paint); the cursor then moves as `next` says.
    void PutCell(float width, float height, std::string_view text, PdfBorder border = PdfBorder::None,
                 PdfCursor next = PdfCursor::Right, PdfAlign align = PdfAlign::Left, bool fill = false);
    // Running text from the cursor, wrapped at blanks and line feeds.
    void FlowText(float lineHeight, std::string_view text);
    // Text with its baseline at (x, y); the cursor does not move.
    void PutText(float x, float y, std::string_view text);
    // The same, marked with the text it shows, for text that a text
    // extractor cannot read back glyph by glyph (text turned by an angle
    // other than a right angle comes out broken into single letters).
    void PutMarkedText(float x, float y, std::string_view text);
    // To the left margin, h lower.
    void LineFeed(float h);
    // To the left margin, lower by the height of the last cell.
    void LineFeed();
    // To the left margin at y = v (v < 0: -v above the bottom edge).
    void SetCursorY(float v);

    float CursorX() const;
    float CursorY() const;
    int PageNumber() const;
    float PageWidth() const;
    float PageHeight() const;
    float LeftMargin() const;
    float RightMargin() const;
    float TopMargin() const;
    // The y below which a cell starts the next page (with automatic breaks on).
    float PageBreakY() const;

    // --- Graphics -----------------------------------------------------------
    // A colour of r, g, b from 0 to 255 (black is written as a grey level),
    // or a grey level from 0 (black) to 255 (white).
    void SetStrokePaint(float r, float g, float b);
    void SetStrokeGrey(float level);
    void SetFillPaint(float r, float g, float b);
    void SetFillGrey(float level);
    void SetTextPaint(float r, float g, float b);
    void SetTextGrey(float level);

    void PathMoveTo(float x, float y);
    void PathLineTo(float x, float y);
    void PathCurveTo(float x1, float y1, float x2, float y2, float x3, float y3);
    void PaintPath(PdfPaint paint);
    void DrawCircle(float x, float y, float r, PdfPaint paint);
    void DrawEllipse(float x, float y, float rx, float ry, PdfPaint paint);
    // Turns everything drawn afterwards by `angle` degrees counter-clockwise
    // around (x, y), or around the cursor, until the next rotation, its end
    // or the end of the page. Angle 0 ends the rotation.
    void RotateAround(float angle, float x, float y);
    void RotateAroundCursor(float angle);
    void EndRotation();

    // --- Images -------------------------------------------------------------
    // Places a PNG (grey, RGB or palette, 8 bits or fewer, not interlaced) or
    // baseline JPEG file with its top-left corner at (x, y). w = h = 0 gives
    // one pixel per point; one of them 0 keeps the aspect ratio. A failure
    // sets LastError and draws nothing.
    void PlaceImage(std::string_view file, float x, float y, float w = 0, float h = 0);

    // --- Settings for reproducible files and tests --------------------------
    // Options for the documents of this writer, and the ones every writer
    // made later in the process starts with.
    void SetWriterOptions(const PdfWriterOptions& options);
    static void SetDefaultWriterOptions(const PdfWriterOptions& options);
    static PdfWriterOptions DefaultWriterOptions();
    // The characters of the last document that its fonts have no glyph for
    // (a replacement was printed instead), as UTF-8 text in code point order;
    // empty when every character printed. Kept after saving.
    std::string MissingCharacters() const;
    // The creation date written into the file; unset means "now".
    void SetCreationTime(std::optional<std::time_t> time);
    // No buffer of the document may grow beyond this many bytes; an append
    // that would need more is dropped as if memory had run out.
    void SetBufferCapacityLimit(std::size_t bytes);

private:
    // How far the document has come.
    enum Phase { kNotBegun = 0, kBegun = 1, kPageOpen = 2, kWritten = 3 };

    // Emitting (PaginorDocument.cpp).
    ByteBuffer& EmitTarget();
    void EmitLine(std::string_view line);
    void EmitContent(std::string_view line);
    // Content inside the open text object; closing it.
    void EmitIntoOpenText(std::string_view line);
    void CloseOpenText();
    void NewObject();
    [[nodiscard]] bool MakeBuffer(ByteBuffer& buffer, std::size_t room);
    void NoteOutOfMemory();
    void ResetDocumentCollections();
    void SetFormat(PdfPageSize pageFormat);
    void SetPageSizeFor(PdfOrientation orientation);

    // Finishing (PaginorDocument.cpp, images in PaginorImages.cpp).
    void FinishDocument();
    void ReserveForFinishing();
    void PutPages();
    void PutFonts();
    void PutTrueTypeFont(PdfFont& font);
    // A stream object's dictionary end and data, Flate-compressed when the
    // options say so, at a zlib `level` (1 fastest, 9 smallest);
    // `dictionary` holds the entries besides /Length.
    void PutDataStream(std::string dictionary, std::string data, int level);
    void PutImages();
    void PutResources();
    void PutInfo();
    void PutCatalog();
    void PutCrossReference();
    std::size_t DocumentOffset() const;
    std::size_t CountPageCountAlias(const ByteBuffer& bytes) const;
    std::size_t StreamLength(const ByteBuffer& bytes, std::size_t aliasCount) const;
    void SpliceStream(const ByteBuffer& bytes, std::size_t aliasCount);
    std::string WithPageCount(const ByteBuffer& bytes) const;
    bool HasEmbeddedFont() const;
    std::vector<std::string_view> FilePieces() const;
    std::vector<std::string_view> PackedFilePieces();

    // What a new page carries over from the page before it: font, line width
    // and paints.
    struct GraphicsState {
        std::string fontFamily;
        PdfFontStyle fontStyle;
        float fontSizePt = 0;
        float lineWidth = 0;
        std::string strokePaint;
        std::string fillPaint;
        std::string textPaint;
        bool paintsDiffer = false;
    };

    // Pages (PaginorText.cpp).
    GraphicsState CurrentGraphicsState() const;
    // Starts a page's content in the carried state.
    void StartPageContent(const GraphicsState& carried);
    // Brings back what the page header changed.
    void RestoreAfterHeader(const GraphicsState& carried);
    [[nodiscard]] bool BeginPage(std::optional<PdfOrientation> orientation, std::optional<PdfPageSize> pageFormat);
    void EndPage();
    void RunFooter();
    void EmitLineWidth();
    void BreakPageKeepingX();

    // Text (PaginorText.cpp).
    void CellBytes(float width, float height, std::string_view bytes, PdfBorder border, PdfCursor next, PdfAlign align,
                   bool fill);
    float RawWidth(std::string_view bytes) const;
    std::size_t CountBlanks(std::string_view bytes) const;
    const PdfFont* CurrentFont() const;
    // Text in the current font's encoding; `printed` records the glyphs for
    // the embedded subset and the characters the font lacks.
    std::string EncodeText(std::string_view utf8, bool printed) const;
    std::string EncodeCharacters(std::u32string_view text, bool printed) const;
    void AppendEncodedString(std::string& line, std::string_view bytes) const;
    void AppendCoordinates(std::string& line, float xUser, float yUser) const;
    void AppendTextShow(std::string& line, float xUser, float yUser, std::string_view bytes);
    void AppendShowOperands(std::string& out, std::string_view bytes) const;

    // Graphics (PaginorGraphics.cpp).
    void SetStrokePaintText(std::string paint);
    void SetFillPaintText(std::string paint);
    void SetTextPaintText(std::string paint);
    void EmitPathPoint(float x, float y, std::string_view op);

    // Everything else the document holds (PaginorState.h).
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace tak
