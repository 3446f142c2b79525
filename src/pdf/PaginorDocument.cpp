// The document itself: creation, the object store, finishing and saving.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>
#include <new>

#include "base/FileSystem.h"
#include "base/Text.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorCompress.h"
#include "pdf/PaginorFormat.h"
#include "pdf/PaginorObjectStream.h"
#include "pdf/PaginorState.h"
#include "pdf/PaginorTrueType.h"

namespace tak {

namespace {

constexpr float kPointsPerMillimetre = 2.8346457f;
constexpr std::string_view kProducer = "Paginor v2.23 For Korvex X86";
// Room asked for a new document buffer (a page buffer asks for 64000).
constexpr std::size_t kDocumentRoom = 63999;

float ScaleForUnit(PdfUnit unit) {
    switch (unit) {
        case PdfUnit::Point:
            return 1.0f;
        case PdfUnit::Centimetre:
            return 28.346457f;
        case PdfUnit::Inch:
            return 72.0f;
        case PdfUnit::Millimetre:
            break;
    }
    return kPointsPerMillimetre;
}

// The name after the last folder separator. Both separators count: the
// program's paths use "\", the platform's may use "/".
std::string_view FileNamePart(std::string_view path) {
    std::size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

std::string PdfDate(std::time_t time) {
    std::tm local = LocalTime(time);
    std::string out = "D:";
    AppendInteger(out, local.tm_year + 1900);
    AppendTwoDigits(out, local.tm_mon + 1);
    AppendTwoDigits(out, local.tm_mday);
    AppendTwoDigits(out, local.tm_hour);
    AppendTwoDigits(out, local.tm_min);
    AppendTwoDigits(out, local.tm_sec);
    return out;
}

std::string ZeroPaddedOffset(std::size_t offset) {
    char text[32];
    std::snprintf(text, sizeof text, "%010zu", offset);  // integers only: no locale effect
    return text;
}

}  // namespace

bool IsValidFileNamePart(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (std::string_view("\"\\/:*?<>|").find(c) != std::string_view::npos) return false;
    }
    return true;
}

PdfDocument::PdfDocument() : s_(std::make_unique<State>()) {}
PdfDocument::~PdfDocument() = default;
PdfDocument::PdfDocument(PdfDocument&&) noexcept = default;
PdfDocument& PdfDocument::operator=(PdfDocument&&) noexcept = default;

void PdfDocument::SetPageCountAlias(std::string_view alias) { s_->pageCountAlias_ = alias; }
PdfError PdfDocument::LastError() const { return s_->lastError_; }
std::string_view PdfDocument::LastErrorText() const { return ErrorText(s_->lastError_); }
void PdfDocument::SetHeaderHandler(PdfPageHandler handler) { s_->headerHandler_ = std::move(handler); }
void PdfDocument::SetFooterHandler(PdfPageHandler handler) { s_->footerHandler_ = std::move(handler); }
std::string_view PdfDocument::FontFamily() const { return s_->fontFamily_; }
PdfFontStyle PdfDocument::FontStyle() const { return s_->fontStyle_; }
float PdfDocument::FontSizePt() const { return s_->fontSizePt_; }
float PdfDocument::CursorX() const { return s_->x_; }
float PdfDocument::CursorY() const { return s_->y_; }
int PdfDocument::PageNumber() const { return s_->pageCount_; }
float PdfDocument::PageWidth() const { return s_->pageWidth_; }
float PdfDocument::PageHeight() const { return s_->pageHeight_; }
float PdfDocument::LeftMargin() const { return s_->leftMargin_; }
float PdfDocument::RightMargin() const { return s_->rightMargin_; }
float PdfDocument::TopMargin() const { return s_->topMargin_; }
float PdfDocument::PageBreakY() const { return s_->pageBreakTrigger_; }
void PdfDocument::SetCreationTime(std::optional<std::time_t> time) { s_->creationTime_ = time; }
void PdfDocument::SetBufferCapacityLimit(std::size_t bytes) { s_->bufferLimit_ = bytes; }
std::size_t PdfDocument::DocumentOffset() const { return s_->mainBuffer_.Size() + s_->splicedSize_; }

void PdfDocument::InitWriter() { *this = PdfDocument(); }

namespace {

std::mutex defaultOptionsMutex;
PdfWriterOptions defaultOptions;

}  // namespace

bool PdfDocument::HasEmbeddedFont() const {
    return std::any_of(s_->fonts_.begin(), s_->fonts_.end(), [](const PdfFont& font) { return font.trueType != nullptr; });
}

void PdfDocument::SetWriterOptions(const PdfWriterOptions& options) { s_->options_ = options; }

void PdfDocument::SetDefaultWriterOptions(const PdfWriterOptions& options) {
    std::lock_guard lock(defaultOptionsMutex);
    defaultOptions = options;
}

PdfWriterOptions PdfDocument::DefaultWriterOptions() {
    std::lock_guard lock(defaultOptionsMutex);
    return defaultOptions;
}

std::string PdfDocument::MissingCharacters() const {
    std::string text;
    for (char32_t c : s_->missingCharacters_) AppendUtf8(text, c);
    return text;
}

// --- Emitting ---------------------------------------------------------------

ByteBuffer& PdfDocument::EmitTarget() {
    return s_->state_ == kPageOpen && !s_->pages_.empty() ? s_->pages_.back() : s_->mainBuffer_;
}

void PdfDocument::EmitLine(std::string_view line) {
    if (!EmitTarget().AppendLine(line)) NoteOutOfMemory();
}

// Page content goes only onto an open page; drawn before the first page or
// after saving it would land between the objects of the file.
void PdfDocument::EmitContent(std::string_view line) {
    std::optional<State::OpenText> opening = std::exchange(s_->openingText_, std::nullopt);
    if (s_->state_ != kPageOpen || s_->pages_.empty()) return;
    if (line.empty() && s_->options_.compressStreams) return;  // draws nothing, and keeps a text object open
    CloseOpenText();
    if (!s_->pages_.back().AppendLine(line)) NoteOutOfMemory();
    s_->openText_ = std::move(opening);
}

void PdfDocument::EmitIntoOpenText(std::string_view line) {
    if (s_->state_ != kPageOpen || s_->pages_.empty() || !s_->openText_) return;
    if (!s_->pages_.back().AppendLine(line)) NoteOutOfMemory();
}

void PdfDocument::CloseOpenText() {
    if (!s_->openText_) return;
    bool wrapped = !s_->openText_->wrapPaint.empty();
    s_->openText_.reset();
    if (s_->state_ != kPageOpen || s_->pages_.empty()) return;
    if (!s_->pages_.back().AppendLine(wrapped ? "ET Q" : "ET")) NoteOutOfMemory();
}

void PdfDocument::NewObject() {
    ++s_->objectCount_;
    s_->objectOffsets_.push_back(DocumentOffset());
    std::string header;
    AppendInteger(header, s_->objectCount_);
    header += " 0 obj";
    EmitLine(header);
}

std::size_t PdfDocument::CountPageCountAlias(const ByteBuffer& bytes) const {
    if (s_->pageCountAlias_.empty()) return 0;
    std::string_view text = bytes.View();
    std::size_t count = 0;
    for (std::size_t at = text.find(s_->pageCountAlias_); at != std::string_view::npos;
         at = text.find(s_->pageCountAlias_, at + s_->pageCountAlias_.size())) {
        ++count;
    }
    return count;
}

std::size_t PdfDocument::StreamLength(const ByteBuffer& bytes, std::size_t aliasCount) const {
    return bytes.Size() - aliasCount * s_->pageCountAlias_.size() + aliasCount * s_->pageCountText_.size();
}

namespace {

// `text` with every `from` replaced by `to`. A hex glyph string only matches
// on a glyph boundary: its distance from the opening "<" is a whole number of
// glyphs.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool glyphHex) {
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, at + 1)) {
        if (at < start) continue;
        if (glyphHex) {
            std::size_t open = text.rfind('<', at);
            if (open == std::string_view::npos || (at - open - 1) % 4 != 0) continue;
            if (text.substr(open, at - open).find('>') != std::string_view::npos) continue;
        }
        out.append(text.substr(start, at - start));
        out += to;
        start = at + from.size();
    }
    out.append(text.substr(start));
    return out;
}

}  // namespace

// A page's content with the page-count alias replaced by the count, in the
// encoding of each font the alias may have been written in.
std::string PdfDocument::WithPageCount(const ByteBuffer& bytes) const {
    std::string text(bytes.View());
    if (s_->pageCountAlias_.empty()) return text;
    if (text.find(s_->pageCountAlias_) != std::string::npos) {
        text = ReplaceAll(text, s_->pageCountAlias_, s_->pageCountText_, false);
    }
    for (const PdfFont& font : s_->fonts_) {
        if (!font.trueType) continue;
        std::string from, to;
        for (char c : s_->pageCountAlias_) AppendGlyphHex(from, font.trueType->GlyphOf(static_cast<unsigned char>(c)));
        for (char c : s_->pageCountText_) AppendGlyphHex(to, font.trueType->GlyphOf(static_cast<unsigned char>(c)));
        if (text.find(from) != std::string::npos) text = ReplaceAll(text, from, to, true);
    }
    return text;
}

// A stream object's data; the bytes stay where they are until the file is
// written.
void PdfDocument::SpliceStream(const ByteBuffer& bytes, std::size_t aliasCount) {
    EmitLine("stream");
    s_->splices_.push_back(State::StreamSplice{s_->mainBuffer_.Size(), &bytes, aliasCount});
    s_->splicedSize_ += StreamLength(bytes, aliasCount);
    EmitLine("");  // ends the stream's last line
    EmitLine("endstream");
}

// The file in order: stretches of the main buffer with the spliced streams
// between them.
std::vector<std::string_view> PdfDocument::FilePieces() const {
    std::vector<std::string_view> pieces;
    std::string_view main = s_->mainBuffer_.View();
    std::size_t mainAt = 0;
    for (const State::StreamSplice& splice : s_->splices_) {
        pieces.push_back(main.substr(mainAt, splice.offset - mainAt));
        mainAt = splice.offset;
        std::string_view stream = splice.bytes->View();
        if (splice.aliasCount == 0) {
            pieces.push_back(stream);
            continue;
        }
        std::size_t start = 0;
        for (std::size_t at = stream.find(s_->pageCountAlias_); at != std::string_view::npos;
             at = stream.find(s_->pageCountAlias_, start)) {
            pieces.push_back(stream.substr(start, at - start));
            pieces.push_back(s_->pageCountText_);
            start = at + s_->pageCountAlias_.size();
        }
        pieces.push_back(stream.substr(start));
    }
    pieces.push_back(main.substr(mainAt));
    return pieces;
}

// The file to write: with compression on, its dictionaries packed into an
// object stream; as it was made when that cannot be done.
std::vector<std::string_view> PdfDocument::PackedFilePieces() {
    std::vector<std::string_view> pieces = FilePieces();
    if (!s_->options_.compressStreams) return pieces;
    std::string file;
    std::size_t size = 0;
    for (std::string_view piece : pieces) size += piece.size();
    // Packing needs the whole file in one buffer; beyond the limit it stays as made.
    if (size > s_->bufferLimit_) return pieces;
    try {
        file.reserve(size);
        for (std::string_view piece : pieces) file += piece;
    } catch (const std::bad_alloc&) {
        return pieces;
    }
    std::optional<std::string> packed = PackObjects(file, s_->objectOffsets_, s_->objectCount_, s_->objectCount_ - 1);
    if (!packed) return pieces;
    s_->packedFile_ = std::move(*packed);
    return {s_->packedFile_};
}

bool PdfDocument::MakeBuffer(ByteBuffer& buffer, std::size_t room) {
    buffer.Release();
    buffer.SetCapacityLimit(s_->bufferLimit_);
    if (buffer.Reserve(room)) return true;
    NoteOutOfMemory();
    return false;
}

void PdfDocument::NoteOutOfMemory() {
    s_->lastError_ = PdfError::OutOfMemory;
    s_->contentLost_ = true;
}

void PdfDocument::ResetDocumentCollections() {
    s_->pages_.clear();
    s_->pageSizes_.clear();
    s_->objectOffsets_.clear();
    s_->fonts_.clear();
    s_->images_.clear();
    s_->splices_.clear();
    s_->splicedSize_ = 0;
    s_->finishedStreams_.clear();
    s_->currentFont_ = -1;
}

// --- Document ---------------------------------------------------------------

bool PdfDocument::CreateDocument(PdfOrientation orientation, PdfUnit unit, PdfPageSize pageFormat) {
    s_->headerHandler_ = nullptr;
    s_->footerHandler_ = nullptr;
    // An unsaved previous document must not leave its objects behind.
    ResetDocumentCollections();
    s_->objectOffsets_ = {0, 0};  // objects 1 and 2 are written last
    s_->contentLost_ = false;
    s_->missingCharacters_.clear();
    s_->bestDeflateLeft_ = kBestDeflateBudget;
    s_->openText_.reset();
    s_->openingText_.reset();
    if (!MakeBuffer(s_->mainBuffer_, kDocumentRoom)) {
        s_->state_ = kNotBegun;
        return false;
    }

    s_->pageCount_ = 0;
    s_->objectCount_ = 2;
    s_->state_ = kNotBegun;
    s_->inFooter_ = false;
    s_->inHeader_ = false;
    s_->lastCellHeight_ = 0;
    s_->fontFamily_.clear();
    s_->fontStyle_ = {};
    s_->fontSizePt_ = 12;
    s_->strokePaint_ = "0 G";
    s_->fillPaint_ = "0 g";
    s_->textPaint_ = "0 g";
    s_->paintsDiffer_ = false;
    s_->wordSpacing_ = 0;
    s_->rotationAngle_ = 0;
    s_->lastError_ = PdfError::None;

    s_->scale_ = ScaleForUnit(unit);
    s_->fontSize_ = s_->fontSizePt_ / s_->scale_;
    SetFormat(pageFormat);
    s_->defaultOrientation_ = orientation;
    s_->currentOrientation_ = s_->defaultOrientation_;
    SetPageSizeFor(s_->defaultOrientation_);

    float margin = 28.35f / s_->scale_;
    s_->leftMargin_ = s_->topMargin_ = s_->rightMargin_ = margin;
    s_->cellMargin_ = margin / 10;
    s_->lineWidth_ = 0.567f / s_->scale_;
    SetAutoBreak(true, 2 * margin);
    s_->zoomMode_ = static_cast<int>(PdfZoom::FitWidth);
    s_->layoutMode_ = PdfPageLayout::OneColumn;

    s_->state_ = kBegun;
    EmitLine("%PDF-1.3");
    return true;
}

void PdfDocument::SetFormat(PdfPageSize pageFormat) {
    float width = pageFormat.widthPt;
    float height = pageFormat.heightPt;
    if (!(width > 0 && height > 0)) {  // a page needs an area; fall back to A4
        width = kPdfA4.widthPt;
        height = kPdfA4.heightPt;
    }
    s_->formatWidthPt_ = width;
    s_->formatHeightPt_ = height;
    s_->formatWidth_ = width / s_->scale_;
    s_->formatHeight_ = height / s_->scale_;
}

void PdfDocument::SetPageSizeFor(PdfOrientation orientation) {
    bool portrait = orientation == PdfOrientation::Portrait;
    s_->pageWidthPt_ = portrait ? s_->formatWidthPt_ : s_->formatHeightPt_;
    s_->pageHeightPt_ = portrait ? s_->formatHeightPt_ : s_->formatWidthPt_;
    s_->pageWidth_ = s_->pageWidthPt_ / s_->scale_;
    s_->pageHeight_ = s_->pageHeightPt_ / s_->scale_;
}

void PdfDocument::SetMargins(float left, float top, std::optional<float> right) {
    s_->leftMargin_ = left;
    s_->topMargin_ = top;
    s_->rightMargin_ = right.value_or(left);
}

void PdfDocument::SetAutoBreak(bool enabled, float bottomMargin) {
    s_->autoPageBreak_ = enabled;
    s_->bottomMargin_ = bottomMargin;
    s_->pageBreakTrigger_ = s_->pageHeight_ - s_->bottomMargin_;
}

void PdfDocument::SetOpenView(PdfZoom zoom, PdfPageLayout layout) {
    s_->zoomMode_ = static_cast<int>(zoom);
    s_->layoutMode_ = layout;
}

void PdfDocument::SetOpenView(int zoomPercent, PdfPageLayout layout) {
    // Percentages below 1 would read as one of the named views.
    s_->zoomMode_ = std::max(zoomPercent, 1);
    s_->layoutMode_ = layout;
}

std::string_view PdfDocument::ErrorText(PdfError code) {
    switch (code) {
        case PdfError::None:
            return "";
        case PdfError::Png16Bit:
            return "16-bit depth PNG not supported.";
        case PdfError::PngAlpha:
            return "Alpha channel PNG not supported.";
        case PdfError::PngCompression:
            return "Unknown compression PNG method.";
        case PdfError::PngFilter:
            return "Unknown filter PNG method.";
        case PdfError::PngInterlaced:
            return "Interlacing PNG not supported.";
        case PdfError::PngNoPalette:
            return "Missing palette in PNG.";
        case PdfError::ImageNotOpened:
            return "Error opening image file.";
        case PdfError::ImageNotRead:
            return "Problem reading image file in memory.";
        case PdfError::NotJpeg:
            return "Not a JPEG file.";
        case PdfError::BadPng:
            return "Incorrect PNG file.";
        case PdfError::NotJpegOrPng:
            return "Not a JPEG or PNG file.";
        case PdfError::BadFileName:
            return "Filename is not correct.";
        case PdfError::FileNotCreated:
            return "Error creating file.";
        case PdfError::OutOfMemory:
            return "Out of memory.";
    }
    return "";
}

// --- Saving -----------------------------------------------------------------

bool PdfDocument::SaveDocument(std::string_view fileName) {
    if (s_->state_ == kWritten) return false;  // its bytes are gone; a new document is needed
    FinishDocument();
    bool saved = true;
    if (!fileName.empty() && !IsValidFileNamePart(FileNamePart(fileName))) {
        s_->lastError_ = PdfError::BadFileName;
        saved = false;
    } else if (s_->contentLost_) {
        // Some append was dropped: the file would be truncated or broken.
        s_->lastError_ = PdfError::OutOfMemory;
        saved = false;
    } else if (!fileName.empty() && !WriteFilePieces(PathFromText(fileName), PackedFilePieces())) {
        s_->lastError_ = PdfError::FileNotCreated;
        saved = false;
    }
    s_->packedFile_.clear();
    s_->packedFile_.shrink_to_fit();
    s_->mainBuffer_.Release();
    ResetDocumentCollections();
    return saved;
}

void PdfDocument::FinishDocument() {
    if (s_->state_ == kWritten) return;
    if (s_->pageCount_ == 0) NewPage();
    if (s_->state_ == kPageOpen) {
        RunFooter();
        EndPage();
    }
    ReserveForFinishing();
    PutPages();
    PutFonts();
    PutImages();
    PutResources();
    PutInfo();
    PutCatalog();
    PutCrossReference();
    s_->state_ = kWritten;
}

// Grows the file buffer once for everything finishing appends, instead of one
// 64000-byte step at a time for a file of many pages.
void PdfDocument::ReserveForFinishing() {
    std::size_t room = s_->mainBuffer_.Size() + 1024 + 32 * s_->objectOffsets_.size();
    room += 256 * s_->pages_.size() + 160 * s_->fonts_.size() + 512 * s_->images_.size();
    s_->mainBuffer_.Reserve(room);  // a failure shows up in the appends themselves
}

void PdfDocument::PutPages() {
    s_->pageCountText_.clear();
    AppendInteger(s_->pageCountText_, s_->pageCount_);
    std::string kids;
    std::string line;
    for (std::size_t i = 0; i < s_->pages_.size(); ++i) {
        NewObject();
        AppendInteger(kids, s_->objectCount_);
        kids += " 0 R ";
        EmitLine("<</Type /Page");
        EmitLine("/Parent 1 0 R");
        line = "/MediaBox [0 0 ";
        AppendNumber(line, s_->pageSizes_[i].widthPt, 2);
        line += ' ';
        AppendNumber(line, s_->pageSizes_[i].heightPt, 2);
        line += ']';
        EmitLine(line);
        EmitLine("/Resources 2 0 R");
        line = "/Contents ";
        AppendInteger(line, s_->objectCount_ + 1);
        line += " 0 R>>";
        EmitLine(line);
        EmitLine("endobj");

        NewObject();
        if (s_->options_.compressStreams || HasEmbeddedFont()) {
            // The first pages at the best level, as far as the budget goes.
            std::string content = WithPageCount(s_->pages_[i]);
            int level = kFastDeflate;
            if (content.size() <= s_->bestDeflateLeft_) {
                s_->bestDeflateLeft_ -= content.size();
                level = kBestDeflate;
            }
            PutDataStream("", std::move(content), level);
            s_->pages_[i].Release();
            continue;
        }
        std::size_t aliasCount = CountPageCountAlias(s_->pages_[i]);
        line = "<</Length ";
        AppendInteger(line, static_cast<int64_t>(StreamLength(s_->pages_[i], aliasCount)));
        line += ">>";
        EmitLine(line);
        SpliceStream(s_->pages_[i], aliasCount);
        EmitLine("endobj");
    }
    s_->objectOffsets_[0] = DocumentOffset();
    EmitLine("1 0 obj");
    EmitLine("<</Type /Pages");
    EmitLine("/Kids [" + kids + "]");
    EmitLine("/Count " + s_->pageCountText_);
    EmitLine(">>");
    EmitLine("endobj");
}

void PdfDocument::PutResources() {
    s_->objectOffsets_[1] = DocumentOffset();
    EmitLine("2 0 obj");
    EmitLine("<<");
    EmitLine("/ProcSet [/PDF /Text /ImageB /ImageC /ImageI]");
    EmitLine("/Font <<");
    // "/F1 3 0 R": a resource's name and the object that holds it.
    auto emitReference = [this](char kind, int index, int objectNumber) {
        std::string line(1, '/');
        line += kind;
        AppendInteger(line, index);
        line += ' ';
        AppendInteger(line, objectNumber);
        line += " 0 R";
        EmitLine(line);
    };
    for (const PdfFont& font : s_->fonts_) emitReference('F', font.index, font.objectNumber);
    EmitLine(">>");
    if (!s_->images_.empty()) {
        EmitLine("/XObject <<");
        for (const PdfImage& image : s_->images_) emitReference('I', image.index, image.objectNumber);
        EmitLine(">>");
    }
    EmitLine(">>");
    EmitLine("endobj");
}

void PdfDocument::PutInfo() {
    NewObject();
    EmitLine("<<");
    std::string line = "/Producer (";
    AppendUtf16TextString(line, kProducer);
    line += ')';
    EmitLine(line);
    EmitLine("/CreationDate (" + PdfDate(s_->creationTime_.value_or(std::time(nullptr))) + ")");
    EmitLine(">>");
    EmitLine("endobj");
}

void PdfDocument::PutCatalog() {
    NewObject();
    EmitLine("<<");
    EmitLine("/Type /Catalog");
    EmitLine("/Pages 1 0 R");
    // The open action names the first page object, which is always object 3.
    switch (s_->zoomMode_) {
        case -1: EmitLine("/OpenAction [3 0 R /Fit]"); break;
        case -2: EmitLine("/OpenAction [3 0 R /FitH null]"); break;
        case -3: EmitLine("/OpenAction [3 0 R /XYZ null null 1]"); break;
        case -4: EmitLine("/PageMode/FullScreen"); break;
        default: {
            std::string line = "/OpenAction [3 0 R /XYZ null null ";
            AppendNumber(line, static_cast<float>(s_->zoomMode_) / 100, 2);
            line += ']';
            EmitLine(line);
        }
    }
    switch (s_->layoutMode_) {
        case PdfPageLayout::SinglePage:
            EmitLine("/PageLayout /SinglePage");
            break;
        case PdfPageLayout::OneColumn:
            EmitLine("/PageLayout /OneColumn");
            break;
        case PdfPageLayout::TwoColumnLeft:
            EmitLine("/PageLayout /TwoColumnLeft");
            break;
    }
    EmitLine(">>");
    EmitLine("endobj");
}

void PdfDocument::PutCrossReference() {
    std::size_t xrefOffset = DocumentOffset();
    std::string line;
    EmitLine("xref");
    line = "0 ";
    AppendInteger(line, s_->objectCount_ + 1);
    EmitLine(line);
    EmitLine("0000000000 65535 f ");
    for (std::size_t offset : s_->objectOffsets_) EmitLine(ZeroPaddedOffset(offset) + " 00000 n ");

    EmitLine("trailer");
    EmitLine("<<");
    line = "/Size ";
    AppendInteger(line, s_->objectCount_ + 1);
    EmitLine(line);
    line = "/Root ";
    AppendInteger(line, s_->objectCount_);  // the catalog is the last object
    line += " 0 R";
    EmitLine(line);
    line = "/Info ";
    AppendInteger(line, s_->objectCount_ - 1);
    line += " 0 R";
    EmitLine(line);
    EmitLine(">>");
    EmitLine("startxref");
    line.clear();
    AppendInteger(line, static_cast<int64_t>(xrefOffset));
    EmitLine(line);
    EmitLine("%%EOF");
}

}  // namespace tak
