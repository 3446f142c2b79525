// The fonts of a document as PDF objects: standard fonts by name, embedded
// TrueType subsets with their widths, descriptor, font file and the map back
// to Unicode that lets readers copy and search the text.
#include <mutex>
#include <vector>

#include "base/FileSystem.h"
#include "fonts/FontFaces.h"
#include "base/Text.h"
#include "pdf/Paginor.h"
#include "pdf/PaginorCompress.h"
#include "pdf/PaginorFormat.h"
#include "pdf/PaginorState.h"
#include "pdf/PaginorTrueType.h"

namespace tak {

namespace {

std::string_view FamilyStem(std::string_view upperFamily) {
    if (upperFamily == "HELVETICA") return "LiberationSans";
    if (upperFamily == "TIMES") return "LiberationSerif";
    if (upperFamily == "COURIER") return "LiberationMono";
    return "";
}

std::string_view StyleSuffix(std::string_view style) {
    if (style == "B") return "Bold";
    if (style == "I") return "Italic";
    if (style == "BI") return "BoldItalic";
    return "Regular";
}

// Six capital letters naming a subset, taken from what it holds, so that the
// same text gives the same file.
std::string SubsetTag(const PdfFont& font) {
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](uint64_t value) {
        hash ^= value;
        hash *= 1099511628211ull;
    };
    for (char c : font.baseName) mix(static_cast<unsigned char>(c));
    for (uint16_t glyph : font.usedGlyphs) mix(glyph);
    std::string tag;
    for (int i = 0; i < 6; ++i) {
        tag += static_cast<char>('A' + hash % 26);
        hash /= 26;
    }
    return tag;
}

void AppendHex4(std::string& out, uint32_t value) { AppendGlyphHex(out, static_cast<uint16_t>(value)); }

// A character as UTF-16BE hex digits, a surrogate pair beyond the Basic
// Multilingual Plane.
void AppendUtf16Hex(std::string& out, char32_t c) {
    if (c < 0x10000) {
        AppendHex4(out, c);
        return;
    }
    c -= 0x10000;
    AppendHex4(out, 0xD800 + (c >> 10));
    AppendHex4(out, 0xDC00 + (c & 0x3FF));
}

// One line of a Unicode map: a run of consecutive glyphs that stand for
// consecutive characters ("<0024> <003D> <0041>"), or a single glyph.
struct UnicodeRun {
    uint16_t firstGlyph;
    uint16_t lastGlyph;
    char32_t firstCharacter;
};

// The runs of a font's glyph-to-character map. A run stays within one last
// byte of its codes, as the map's syntax asks; characters beyond the Basic
// Multilingual Plane stand alone.
std::vector<UnicodeRun> UnicodeRuns(const std::map<uint16_t, char32_t>& textOf) {
    std::vector<UnicodeRun> runs;
    for (const auto& [glyph, c] : textOf) {
        if (!runs.empty()) {
            UnicodeRun& run = runs.back();
            char32_t next = run.firstCharacter + (run.lastGlyph - run.firstGlyph) + 1;
            bool extends = glyph == run.lastGlyph + 1 && c == next && c < 0x10000 && (glyph & 0xFF) != 0 &&
                           (c & 0xFF) != 0;
            if (extends) {
                run.lastGlyph = glyph;
                continue;
            }
        }
        runs.push_back(UnicodeRun{glyph, glyph, c});
    }
    return runs;
}

std::string ToUnicodeMap(const PdfFont& font) {
    std::string map =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    const std::vector<UnicodeRun> all = UnicodeRuns(font.textOf);
    std::vector<UnicodeRun> singles, ranges;
    for (const UnicodeRun& run : all) (run.firstGlyph == run.lastGlyph ? singles : ranges).push_back(run);
    // At most 100 entries a block, as the map's syntax asks.
    auto appendBlocks = [&map](const std::vector<UnicodeRun>& runs, std::string_view kind) {
        for (std::size_t start = 0; start < runs.size(); start += 100) {
            std::size_t count = std::min<std::size_t>(100, runs.size() - start);
            AppendInteger(map, static_cast<int64_t>(count));
            map += " begin";
            map += kind;
            map += '\n';
            for (std::size_t i = start; i < start + count; ++i) {
                map += '<';
                AppendHex4(map, runs[i].firstGlyph);
                if (kind == "bfrange") {
                    map += "> <";
                    AppendHex4(map, runs[i].lastGlyph);
                }
                map += "> <";
                AppendUtf16Hex(map, runs[i].firstCharacter);
                map += ">\n";
            }
            map += "end";
            map += kind;
            map += '\n';
        }
    };
    appendBlocks(singles, "bfchar");
    appendBlocks(ranges, "bfrange");
    map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return map;
}

// The /W array: each run of consecutive glyphs with the list of its widths.
std::string WidthArray(const PdfFont& font) {
    std::string widths = "/W [";
    bool open = false;
    int previous = -2;
    for (uint16_t glyph : font.usedGlyphs) {
        if (glyph != previous + 1) {
            if (open) widths += "] ";
            AppendInteger(widths, glyph);
            widths += " [";
            open = true;
        } else {
            widths += ' ';
        }
        AppendInteger(widths, font.trueType->WidthOf(glyph));
        previous = glyph;
    }
    if (open) widths += ']';
    widths += ']';
    return widths;
}

}  // namespace

std::string PinnedTrueTypeName(std::string_view upperFamily, std::string_view style) {
    std::string_view stem = FamilyStem(upperFamily);
    if (stem.empty()) return {};
    return std::string(stem) + "-" + std::string(StyleSuffix(style));
}

std::shared_ptr<const TrueTypeFont> PinnedTrueTypeFont(std::string_view upperFamily, std::string_view style) {
    const std::string name = PinnedTrueTypeName(upperFamily, style);
    if (name.empty()) return nullptr;
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const TrueTypeFont>> loaded;
    std::lock_guard lock(mutex);
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second;
    std::shared_ptr<const TrueTypeFont> font;
    if (!PinnedFontFolder().empty()) {
        std::optional<std::string> bytes = ReadFileBytes(PinnedFontFolder() / (name + ".ttf"));
        std::optional<TrueTypeFont> parsed;
        if (bytes) parsed = ParseTrueType(std::move(*bytes));
        if (parsed && !parsed->embeddingRestricted) font = std::make_shared<const TrueTypeFont>(std::move(*parsed));
    }
    loaded.emplace(name, font);  // a failure is not retried either
    return font;
}

void PdfDocument::PutDataStream(std::string dictionary, std::string data, int level) {
    if (s_->options_.compressStreams) {
        std::string packed = Deflate(data, level);
        if (packed.empty()) {
            NoteOutOfMemory();
        } else {
            data = std::move(packed);
            dictionary += " /Filter /FlateDecode";
        }
    }
    dictionary += " /Length ";
    AppendInteger(dictionary, static_cast<int64_t>(data.size()));
    EmitLine("<<" + dictionary + ">>");
    ByteBuffer& stream = s_->finishedStreams_.emplace_back();
    stream.SetCapacityLimit(s_->bufferLimit_);
    if (!stream.Append(data)) NoteOutOfMemory();
    SpliceStream(stream, 0);
    EmitLine("endobj");
}

void PdfDocument::PutFonts() {
    for (PdfFont& font : s_->fonts_) {
        if (font.trueType) {
            PutTrueTypeFont(font);
            continue;
        }
        NewObject();
        font.objectNumber = s_->objectCount_;
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

// Five objects: the composite font the pages name, its descendant with the
// widths, the descriptor, the font file and the Unicode map.
void PdfDocument::PutTrueTypeFont(PdfFont& font) {
    const TrueTypeFont& trueType = *font.trueType;
    const std::string name = "/" + SubsetTag(font) + "+" + font.baseName;
    const int first = s_->objectCount_ + 1;
    auto reference = [](int number) {
        std::string text;
        AppendInteger(text, number);
        return text + " 0 R";
    };

    NewObject();
    font.objectNumber = s_->objectCount_;
    EmitLine("<</Type /Font /Subtype /Type0 /BaseFont " + name + " /Encoding /Identity-H");
    EmitLine("/DescendantFonts [" + reference(first + 1) + "] /ToUnicode " + reference(first + 4) + ">>");
    EmitLine("endobj");

    NewObject();
    EmitLine("<</Type /Font /Subtype /CIDFontType2 /BaseFont " + name);
    EmitLine("/CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>>");
    EmitLine("/FontDescriptor " + reference(first + 2) + " /CIDToGIDMap /Identity");
    std::string line = "/DW ";
    AppendInteger(line, trueType.WidthOf(0));
    EmitLine(line);
    EmitLine(WidthArray(font) + ">>");
    EmitLine("endobj");

    NewObject();
    EmitLine("<</Type /FontDescriptor /FontName " + name);
    int flags = 4;  // symbolic: the glyphs are named by number, not by a standard encoding
    if (trueType.fixedPitch) flags |= 1;
    if (font.baseName.starts_with("LiberationSerif")) flags |= 2;
    if (trueType.italicAngle != 0) flags |= 64;
    line = "/Flags ";
    AppendInteger(line, flags);
    line += " /FontBBox [";
    const int box[] = {trueType.xMin, trueType.yMin, trueType.xMax, trueType.yMax};
    for (int i = 0; i < 4; ++i) {
        AppendInteger(line, trueType.Thousandths(box[i]));
        line += i == 3 ? "]" : " ";
    }
    EmitLine(line);
    line = "/ItalicAngle ";
    AppendNumber(line, trueType.italicAngle, 2);
    line += " /Ascent ";
    AppendInteger(line, trueType.Thousandths(trueType.ascent));
    line += " /Descent ";
    AppendInteger(line, trueType.Thousandths(trueType.descent));
    line += " /CapHeight ";
    AppendInteger(line, trueType.Thousandths(trueType.capHeight));
    line += trueType.weightClass >= 600 ? " /StemV 140" : " /StemV 80";
    EmitLine(line);
    EmitLine("/FontFile2 " + reference(first + 3) + ">>");
    EmitLine("endobj");

    NewObject();
    std::string file = SubsetTrueType(trueType, font.usedGlyphs);
    std::string dictionary = "/Length1 ";
    AppendInteger(dictionary, static_cast<int64_t>(file.size()));
    PutDataStream(dictionary, std::move(file), kBestDeflate);

    NewObject();
    PutDataStream("", ToUnicodeMap(font), kBestDeflate);
}

}  // namespace tak
