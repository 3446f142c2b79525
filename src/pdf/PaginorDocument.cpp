// The document itself: creation, the object store, finishing and saving.
#include <cstdio>

#include "base/FileSystem.h"
#include "base/Text.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorFormat.h"

namespace tak {

namespace {

constexpr float kPointsPerMillimetre = 2.8346457f;
constexpr std::string_view kA4Portrait = "595.28,841.89";
constexpr std::string_view kProducer = "Paginor v2.23 For Korvex X86";
// Room asked for a new document buffer (a page buffer asks for 64000).
constexpr std::size_t kDocumentRoom = 63999;

float ScaleForUnit(std::string_view unit) {
    if (unit == "pt") return 1.0f;
    if (unit == "cm") return 28.346457f;
    if (unit == "in") return 72.0f;
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
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
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

void PdfDocument::InitWriter() { *this = PdfDocument(); }

// --- Emitting ---------------------------------------------------------------

ByteBuffer& PdfDocument::EmitTarget() {
    return state_ == kPageOpen && !pages_.empty() ? pages_.back() : mainBuffer_;
}

void PdfDocument::EmitLine(std::string_view line) {
    if (!EmitTarget().AppendLine(line)) NoteOutOfMemory();
}

// Page content goes only onto an open page; drawn before the first page or
// after saving it would land between the objects of the file.
void PdfDocument::EmitContent(std::string_view line) {
    if (state_ != kPageOpen || pages_.empty()) return;
    if (!pages_.back().AppendLine(line)) NoteOutOfMemory();
}

void PdfDocument::NewObject() {
    ++objectCount_;
    objectOffsets_.push_back(DocumentOffset());
    std::string header;
    AppendInteger(header, objectCount_);
    header += " 0 obj";
    EmitLine(header);
}

std::size_t PdfDocument::CountPageCountAlias(const ByteBuffer& bytes) const {
    if (pageCountAlias_.empty()) return 0;
    std::string_view text = bytes.View();
    std::size_t count = 0;
    for (std::size_t at = text.find(pageCountAlias_); at != std::string_view::npos;
         at = text.find(pageCountAlias_, at + pageCountAlias_.size())) {
        ++count;
    }
    return count;
}

std::size_t PdfDocument::StreamLength(const ByteBuffer& bytes, std::size_t aliasCount) const {
    return bytes.Size() - aliasCount * pageCountAlias_.size() + aliasCount * pageCountText_.size();
}

// A stream object's data; the bytes stay where they are until the file is
// written.
void PdfDocument::SpliceStream(const ByteBuffer& bytes, std::size_t aliasCount) {
    EmitLine("stream");
    splices_.push_back(StreamSplice{mainBuffer_.Size(), &bytes, aliasCount});
    splicedSize_ += StreamLength(bytes, aliasCount);
    EmitLine("");  // ends the stream's last line
    EmitLine("endstream");
}

// The file in order: stretches of the main buffer with the spliced streams
// between them.
std::vector<std::string_view> PdfDocument::FilePieces() const {
    std::vector<std::string_view> pieces;
    std::string_view main = mainBuffer_.View();
    std::size_t mainAt = 0;
    for (const StreamSplice& splice : splices_) {
        pieces.push_back(main.substr(mainAt, splice.offset - mainAt));
        mainAt = splice.offset;
        std::string_view stream = splice.bytes->View();
        if (splice.aliasCount == 0) {
            pieces.push_back(stream);
            continue;
        }
        std::size_t start = 0;
        for (std::size_t at = stream.find(pageCountAlias_); at != std::string_view::npos;
             at = stream.find(pageCountAlias_, start)) {
            pieces.push_back(stream.substr(start, at - start));
            pieces.push_back(pageCountText_);
            start = at + pageCountAlias_.size();
        }
        pieces.push_back(stream.substr(start));
    }
    pieces.push_back(main.substr(mainAt));
    return pieces;
}

bool PdfDocument::MakeBuffer(ByteBuffer& buffer, std::size_t room) {
    buffer.Release();
    buffer.SetCapacityLimit(bufferLimit_);
    if (buffer.Reserve(room)) return true;
    NoteOutOfMemory();
    return false;
}

void PdfDocument::NoteOutOfMemory() {
    lastError_ = PdfError::OutOfMemory;
    contentLost_ = true;
}

void PdfDocument::ResetDocumentCollections() {
    pages_.clear();
    pageSizes_.clear();
    objectOffsets_.clear();
    fonts_.clear();
    images_.clear();
    splices_.clear();
    splicedSize_ = 0;
    currentFont_ = -1;
}

// --- Document ---------------------------------------------------------------

bool PdfDocument::CreateDocument(std::string_view orientation, std::string_view unit,
                                 std::string_view pageFormat) {
    headerHandler_ = nullptr;
    footerHandler_ = nullptr;
    // An unsaved previous document must not leave its objects behind.
    ResetDocumentCollections();
    objectOffsets_ = {0, 0};  // objects 1 and 2 are written last
    contentLost_ = false;
    if (!MakeBuffer(mainBuffer_, kDocumentRoom)) {
        state_ = kNotBegun;
        return false;
    }

    if (orientation.empty()) orientation = "P";
    if (unit.empty()) unit = "mm";

    pageCount_ = 0;
    objectCount_ = 2;
    state_ = kNotBegun;
    inFooter_ = false;
    inHeader_ = false;
    lastCellHeight_ = 0;
    fontFamily_.clear();
    fontStyle_.clear();
    fontSizePt_ = 12;
    underline_ = false;
    strokePaint_ = "0 G";
    fillPaint_ = "0 g";
    textPaint_ = "0 g";
    paintsDiffer_ = false;
    wordSpacing_ = 0;
    rotationAngle_ = 0;
    lastError_ = PdfError::None;

    scale_ = ScaleForUnit(unit);
    fontSize_ = fontSizePt_ / scale_;
    SetFormat(pageFormat);
    std::string upper = AsciiUpper(orientation);
    defaultOrientation_ = upper == "L" || upper == "LANDSCAPE" ? 'L' : 'P';
    currentOrientation_ = defaultOrientation_;
    SetPageSizeFor(defaultOrientation_);

    float margin = 28.35f / scale_;
    leftMargin_ = topMargin_ = rightMargin_ = margin;
    cellMargin_ = margin / 10;
    lineWidth_ = 0.567f / scale_;
    SetAutoBreak(true, 2 * margin);
    zoomMode_ = static_cast<int>(PdfZoom::FitWidth);
    layoutMode_ = PdfPageLayout::OneColumn;

    state_ = kBegun;
    EmitLine("%PDF-1.3");
    return true;
}

void PdfDocument::SetFormat(std::string_view pageFormat) {
    std::string_view format = TrimBlanksAndTabs(pageFormat);
    if (format.empty()) format = kA4Portrait;
    std::size_t comma = format.find(',');
    float width = ReadLeadingReal(format.substr(0, comma));
    float height = comma == std::string_view::npos ? 0.0f : ReadLeadingReal(format.substr(comma + 1));
    if (!(width > 0 && height > 0)) {  // a page needs an area; fall back to A4
        width = 595.28f;
        height = 841.89f;
    }
    formatWidthPt_ = width;
    formatHeightPt_ = height;
    formatWidth_ = width / scale_;
    formatHeight_ = height / scale_;
}

void PdfDocument::SetPageSizeFor(char orientation) {
    bool portrait = orientation == 'P';
    pageWidthPt_ = portrait ? formatWidthPt_ : formatHeightPt_;
    pageHeightPt_ = portrait ? formatHeightPt_ : formatWidthPt_;
    pageWidth_ = pageWidthPt_ / scale_;
    pageHeight_ = pageHeightPt_ / scale_;
}

void PdfDocument::SetMargins(float left, float top, float right) {
    leftMargin_ = left;
    topMargin_ = top;
    rightMargin_ = right == -1 ? left : right;
}

void PdfDocument::SetAutoBreak(bool enabled, float bottomMargin) {
    autoPageBreak_ = enabled;
    bottomMargin_ = bottomMargin;
    pageBreakTrigger_ = pageHeight_ - bottomMargin_;
}

void PdfDocument::SetOpenView(PdfZoom zoom, PdfPageLayout layout) {
    zoomMode_ = static_cast<int>(zoom);
    layoutMode_ = layout;
}

void PdfDocument::SetOpenView(int zoomPercent, PdfPageLayout layout) {
    // Percentages below 1 would read as one of the named views.
    zoomMode_ = std::max(zoomPercent, 1);
    layoutMode_ = layout;
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
    if (state_ == kWritten) return false;  // its bytes are gone; a new document is needed
    FinishDocument();
    bool saved = true;
    if (!fileName.empty() && !IsValidFileNamePart(FileNamePart(fileName))) {
        lastError_ = PdfError::BadFileName;
        saved = false;
    } else if (contentLost_) {
        // Some append was dropped: the file would be truncated or broken.
        lastError_ = PdfError::OutOfMemory;
        saved = false;
    } else if (!fileName.empty() && !WriteFilePieces(PathFromText(fileName), FilePieces())) {
        lastError_ = PdfError::FileNotCreated;
        saved = false;
    }
    mainBuffer_.Release();
    ResetDocumentCollections();
    return saved;
}

void PdfDocument::FinishDocument() {
    if (state_ == kWritten) return;
    if (pageCount_ == 0) NewPage("", "");
    if (state_ == kPageOpen) {
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
    state_ = kWritten;
}

// Grows the file buffer once for everything finishing appends, instead of one
// 64000-byte step at a time for a file of many pages.
void PdfDocument::ReserveForFinishing() {
    std::size_t room = mainBuffer_.Size() + 1024 + 32 * objectOffsets_.size();
    room += 256 * pages_.size() + 160 * fonts_.size() + 512 * images_.size();
    mainBuffer_.Reserve(room);  // a failure shows up in the appends themselves
}

void PdfDocument::PutPages() {
    pageCountText_.clear();
    AppendInteger(pageCountText_, pageCount_);
    std::string kids;
    std::string line;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        NewObject();
        AppendInteger(kids, objectCount_);
        kids += " 0 R ";
        EmitLine("<</Type /Page");
        EmitLine("/Parent 1 0 R");
        line = "/MediaBox [0 0 ";
        AppendNumber(line, pageSizes_[i].widthPt, 2);
        line += ' ';
        AppendNumber(line, pageSizes_[i].heightPt, 2);
        line += ']';
        EmitLine(line);
        EmitLine("/Resources 2 0 R");
        line = "/Contents ";
        AppendInteger(line, objectCount_ + 1);
        line += " 0 R>>";
        EmitLine(line);
        EmitLine("endobj");

        NewObject();
        std::size_t aliasCount = CountPageCountAlias(pages_[i]);
        line = "<</Length ";
        AppendInteger(line, static_cast<int64_t>(StreamLength(pages_[i], aliasCount)));
        line += ">>";
        EmitLine(line);
        SpliceStream(pages_[i], aliasCount);
        EmitLine("endobj");
    }
    objectOffsets_[0] = DocumentOffset();
    EmitLine("1 0 obj");
    EmitLine("<</Type /Pages");
    EmitLine("/Kids [" + kids + "]");
    EmitLine("/Count " + pageCountText_);
    EmitLine(">>");
    EmitLine("endobj");
}

void PdfDocument::PutFonts() {
    for (PdfFont& font : fonts_) {
        NewObject();
        font.objectNumber = objectCount_;
        EmitLine("<</Type /Font");
        std::string name = "/BaseFont /";
        for (char c : font.baseName) {
            if (c == ' ') {
                name += "#20";
            } else {
                name += c;
            }
        }
        EmitLine(name);
        EmitLine("/Subtype /Type1");
        if (font.baseName != "Symbol" && font.baseName != "ZapfDingbats") {
            EmitLine("/Encoding /WinAnsiEncoding");
        }
        EmitLine(">>");
        EmitLine("endobj");
    }
}

void PdfDocument::PutResources() {
    objectOffsets_[1] = DocumentOffset();
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
    for (const PdfFont& font : fonts_) emitReference('F', font.index, font.objectNumber);
    EmitLine(">>");
    if (!images_.empty()) {
        EmitLine("/XObject <<");
        for (const PdfImage& image : images_) emitReference('I', image.index, image.objectNumber);
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
    EmitLine("/CreationDate (" + PdfDate(creationTime_.value_or(std::time(nullptr))) + ")");
    EmitLine(">>");
    EmitLine("endobj");
}

void PdfDocument::PutCatalog() {
    NewObject();
    EmitLine("<<");
    EmitLine("/Type /Catalog");
    EmitLine("/Pages 1 0 R");
    // The open action names the first page object, which is always object 3.
    switch (zoomMode_) {
        case -1: EmitLine("/OpenAction [3 0 R /Fit]"); break;
        case -2: EmitLine("/OpenAction [3 0 R /FitH null]"); break;
        case -3: EmitLine("/OpenAction [3 0 R /XYZ null null 1]"); break;
        case -4: EmitLine("/PageMode/FullScreen"); break;
        default: {
            std::string line = "/OpenAction [3 0 R /XYZ null null ";
            AppendNumber(line, static_cast<float>(zoomMode_) / 100, 2);
            line += ']';
            EmitLine(line);
        }
    }
    switch (layoutMode_) {
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
    AppendInteger(line, objectCount_ + 1);
    EmitLine(line);
    EmitLine("0000000000 65535 f ");
    for (std::size_t offset : objectOffsets_) EmitLine(ZeroPaddedOffset(offset) + " 00000 n ");

    EmitLine("trailer");
    EmitLine("<<");
    line = "/Size ";
    AppendInteger(line, objectCount_ + 1);
    EmitLine(line);
    line = "/Root ";
    AppendInteger(line, objectCount_);  // the catalog is the last object
    line += " 0 R";
    EmitLine(line);
    line = "/Info ";
    AppendInteger(line, objectCount_ - 1);
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
