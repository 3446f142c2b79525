#include "pdf/PaginorTrueType.h"

#include <algorithm>
#include <cmath>

namespace tak {

namespace {

// Big-endian reads that yield nothing past the end of the bytes.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool Has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    uint16_t U16(std::size_t at) const {
        if (!Has(at, 2)) return 0;
        return static_cast<uint16_t>(Byte(at) << 8 | Byte(at + 1));
    }
    int16_t S16(std::size_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U32(std::size_t at) const { return static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2); }

private:
    uint32_t Byte(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }
    std::string_view bytes_;
};

struct Table {
    uint32_t offset = 0;
    uint32_t length = 0;
};

using TableDirectory = std::map<std::string, Table>;

std::optional<TableDirectory> ReadDirectory(std::string_view bytes) {
    Reader in(bytes);
    uint32_t version = in.U32(0);
    if (version != 0x00010000 && version != 0x74727565) return std::nullopt;  // 1.0 or "true"
    uint16_t count = in.U16(4);
    if (!in.Has(12, std::size_t{16} * count)) return std::nullopt;
    TableDirectory tables;
    for (uint16_t i = 0; i < count; ++i) {
        std::size_t record = 12 + std::size_t{16} * i;
        std::string tag(bytes.substr(record, 4));
        Table table{in.U32(record + 8), in.U32(record + 12)};
        if (!in.Has(table.offset, table.length)) return std::nullopt;
        tables[tag] = table;
    }
    return tables;
}

// A character map may claim far more characters than a font has glyphs;
// reading stops after this many steps, so that a broken file cannot keep it busy.
constexpr std::size_t kMaxMappedCharacters = 1 << 18;

// Format 4 (the Basic Multilingual Plane in segments) of a character map.
void ReadCmapFormat4(const Reader& in, std::size_t at, std::map<char32_t, uint16_t>& out) {
    uint16_t segments = in.U16(at + 6) / 2;
    std::size_t ends = at + 14;
    std::size_t starts = ends + std::size_t{2} * segments + 2;
    std::size_t deltas = starts + std::size_t{2} * segments;
    std::size_t rangeOffsets = deltas + std::size_t{2} * segments;
    if (!in.Has(rangeOffsets, std::size_t{2} * segments)) return;
    std::size_t steps = 0;
    for (uint16_t s = 0; s < segments; ++s) {
        uint32_t end = in.U16(ends + 2 * s);
        uint32_t start = in.U16(starts + 2 * s);
        uint16_t delta = in.U16(deltas + 2 * s);
        std::size_t rangeOffsetAt = rangeOffsets + std::size_t{2} * s;
        uint16_t rangeOffset = in.U16(rangeOffsetAt);
        for (uint32_t c = start; c <= end && c != 0xFFFF && ++steps < kMaxMappedCharacters; ++c) {
            uint16_t glyph = 0;
            if (rangeOffset == 0) {
                glyph = static_cast<uint16_t>(c + delta);
            } else {
                std::size_t glyphAt = rangeOffsetAt + rangeOffset + std::size_t{2} * (c - start);
                if (!in.Has(glyphAt, 2)) break;
                glyph = in.U16(glyphAt);
                if (glyph != 0) glyph = static_cast<uint16_t>(glyph + delta);
            }
            if (glyph != 0) out.emplace(c, glyph);
        }
    }
}

// Format 12 (all planes, in groups of consecutive characters).
void ReadCmapFormat12(const Reader& in, std::size_t at, std::map<char32_t, uint16_t>& out) {
    uint32_t groups = in.U32(at + 12);
    if (!in.Has(at + 16, std::size_t{12} * groups)) return;
    std::size_t steps = 0;
    for (uint32_t g = 0; g < groups; ++g) {
        std::size_t group = at + 16 + std::size_t{12} * g;
        uint32_t start = in.U32(group);
        uint32_t end = std::min<uint32_t>(in.U32(group + 4), 0x10FFFF);
        uint32_t glyph = in.U32(group + 8);
        for (uint32_t c = start; c <= end && glyph <= 0xFFFF && ++steps < kMaxMappedCharacters; ++c, ++glyph) {
            if (glyph != 0) out.emplace(c, static_cast<uint16_t>(glyph));
        }
    }
}

// The Unicode map of the font: the full-repertoire subtable when there is
// one, else the Basic Multilingual Plane one.
std::map<char32_t, uint16_t> ReadCharacterMap(const Reader& in, Table cmap) {
    std::map<char32_t, uint16_t> glyphOf;
    uint16_t count = in.U16(cmap.offset + 2);
    std::size_t bmp = 0, full = 0;
    for (uint16_t i = 0; i < count; ++i) {
        std::size_t record = cmap.offset + 4 + std::size_t{8} * i;
        if (record + 8 > std::size_t{cmap.offset} + cmap.length) break;
        uint16_t platform = in.U16(record);
        uint16_t encoding = in.U16(record + 2);
        std::size_t at = std::size_t{cmap.offset} + in.U32(record + 4);
        uint16_t format = in.U16(at);
        if (platform == 3 && encoding == 10 && format == 12) full = at;
        if ((platform == 3 && encoding == 1) || platform == 0) {
            if (format == 4 && bmp == 0) bmp = at;
            if (format == 12 && full == 0) full = at;
        }
    }
    if (full != 0) {
        ReadCmapFormat12(in, full, glyphOf);
    } else if (bmp != 0) {
        ReadCmapFormat4(in, bmp, glyphOf);
    }
    return glyphOf;
}

// The glyphs a composite glyph is made of.
std::vector<uint16_t> ComponentsOf(const TrueTypeFont& font, uint16_t glyph) {
    std::vector<uint16_t> parts;
    if (glyph >= font.glyphCount) return parts;
    Reader in(font.bytes);
    std::size_t at = std::size_t{font.glyfOffset} + font.glyphStart[glyph];
    std::size_t end = std::size_t{font.glyfOffset} + font.glyphStart[glyph + 1u];
    if (end - at < 10 || in.S16(at) >= 0) return parts;
    at += 10;
    constexpr uint16_t kWords = 0x0001, kScale = 0x0008, kMore = 0x0020, kXYScale = 0x0040, kTwoByTwo = 0x0080;
    for (;;) {
        if (at + 4 > end) break;
        uint16_t flags = in.U16(at);
        parts.push_back(in.U16(at + 2));
        at += 4 + ((flags & kWords) ? 4 : 2);
        if (flags & kScale) at += 2;
        if (flags & kXYScale) at += 4;
        if (flags & kTwoByTwo) at += 8;
        if (!(flags & kMore)) break;
    }
    return parts;
}

void PutU16(std::string& out, std::size_t at, uint32_t value) {
    out[at] = static_cast<char>(value >> 8 & 0xFF);
    out[at + 1] = static_cast<char>(value & 0xFF);
}

// A glyph's outline without its hinting instructions: documents are printed
// and zoomed, where hints add bytes but nothing to see. Data that does not
// parse is kept as it is.
std::string WithoutInstructions(std::string_view glyph) {
    Reader in(glyph);
    if (glyph.size() < 10) return std::string(glyph);
    std::string out(glyph);
    int16_t contours = in.S16(0);
    if (contours >= 0) {
        std::size_t lengthAt = 10 + std::size_t{2} * static_cast<std::size_t>(contours);
        if (!in.Has(lengthAt, 2)) return out;
        std::size_t length = in.U16(lengthAt);
        if (!in.Has(lengthAt + 2, length)) return out;
        out.erase(lengthAt + 2, length);
        PutU16(out, lengthAt, 0);
        return out;
    }
    constexpr uint16_t kWords = 0x0001, kScale = 0x0008, kMore = 0x0020, kXYScale = 0x0040, kTwoByTwo = 0x0080,
                       kInstructions = 0x0100;
    std::size_t at = 10;
    for (;;) {
        if (!in.Has(at, 4)) return std::string(glyph);
        uint16_t flags = in.U16(at);
        PutU16(out, at, flags & ~kInstructions);
        at += 4 + ((flags & kWords) ? 4 : 2);
        if (flags & kScale) at += 2;
        if (flags & kXYScale) at += 4;
        if (flags & kTwoByTwo) at += 8;
        if (!(flags & kMore)) break;
    }
    if (at > glyph.size()) return std::string(glyph);
    out.resize(at);
    return out;
}

void PutU32(std::string& out, std::size_t at, uint32_t value) {
    PutU16(out, at, value >> 16);
    PutU16(out, at + 2, value & 0xFFFF);
}

void AppendU16(std::string& out, uint32_t value) {
    out += static_cast<char>(value >> 8 & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void AppendU32(std::string& out, uint32_t value) {
    AppendU16(out, value >> 16);
    AppendU16(out, value & 0xFFFF);
}

uint32_t Checksum(std::string_view bytes) {
    uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t word = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            word <<= 8;
            if (i + k < bytes.size()) word |= static_cast<unsigned char>(bytes[i + k]);
        }
        sum += word;
    }
    return sum;
}

// A font file of the given tables (sorted by tag, as the map keeps them).
std::string AssembleFont(const std::map<std::string, std::string>& tables) {
    auto count = static_cast<uint16_t>(tables.size());
    uint16_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power = static_cast<uint16_t>(power * 2);
        ++log2;
    }
    std::string out;
    AppendU32(out, 0x00010000);
    AppendU16(out, count);
    AppendU16(out, power * 16u);
    AppendU16(out, log2);
    AppendU16(out, count * 16u - power * 16u);
    std::size_t offset = 12 + std::size_t{16} * count;
    std::string body;
    std::size_t headAt = 0;
    for (const auto& [tag, data] : tables) {
        out += tag;
        AppendU32(out, Checksum(data));
        AppendU32(out, static_cast<uint32_t>(offset + body.size()));
        AppendU32(out, static_cast<uint32_t>(data.size()));
        if (tag == "head") headAt = offset + body.size();
        body += data;
        body.append((4 - data.size() % 4) % 4, '\0');
    }
    out += body;
    if (headAt != 0) PutU32(out, headAt + 8, 0xB1B0AFBA - Checksum(out));
    return out;
}

}  // namespace

int TrueTypeFont::Thousandths(int fontUnits) const {
    return static_cast<int>(std::lround(fontUnits * 1000.0 / unitsPerEm));
}

int TrueTypeFont::WidthOf(uint16_t glyph) const {
    if (advances.empty()) return 0;
    return Thousandths(advances[std::min<std::size_t>(glyph, advances.size() - 1)]);
}

uint16_t TrueTypeFont::GlyphOf(char32_t c) const {
    auto found = glyphOf.find(c);
    return found == glyphOf.end() ? 0 : found->second;
}

std::optional<TrueTypeFont> ParseTrueType(std::string bytes) {
    TrueTypeFont font;
    font.bytes = std::move(bytes);
    Reader in(font.bytes);
    std::optional<TableDirectory> tables = ReadDirectory(font.bytes);
    if (!tables) return std::nullopt;
    for (const char* needed : {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cmap"}) {
        if (!tables->contains(needed)) return std::nullopt;
    }
    const Table head = tables->at("head"), hhea = tables->at("hhea"), maxp = tables->at("maxp");
    const Table hmtx = tables->at("hmtx"), loca = tables->at("loca"), glyf = tables->at("glyf");
    if (head.length < 54 || hhea.length < 36 || maxp.length < 6) return std::nullopt;

    font.unitsPerEm = in.U16(head.offset + 18);
    if (font.unitsPerEm < 16 || font.unitsPerEm > 16384) return std::nullopt;
    font.xMin = in.S16(head.offset + 36);
    font.yMin = in.S16(head.offset + 38);
    font.xMax = in.S16(head.offset + 40);
    font.yMax = in.S16(head.offset + 42);
    bool longOffsets = in.S16(head.offset + 50) == 1;
    font.ascent = in.S16(hhea.offset + 4);
    font.descent = in.S16(hhea.offset + 6);
    font.capHeight = font.ascent;
    font.glyphCount = in.U16(maxp.offset + 4);
    if (font.glyphCount == 0) return std::nullopt;

    uint16_t metrics = in.U16(hhea.offset + 34);
    if (metrics == 0 || metrics > font.glyphCount || hmtx.length < std::size_t{4} * metrics) return std::nullopt;
    for (uint16_t g = 0; g < metrics; ++g) font.advances.push_back(in.U16(hmtx.offset + std::size_t{4} * g));

    std::size_t locaEntry = longOffsets ? 4 : 2;
    if (loca.length < locaEntry * (std::size_t{font.glyphCount} + 1)) return std::nullopt;
    font.glyfOffset = glyf.offset;
    font.glyphStart.reserve(std::size_t{font.glyphCount} + 1);
    for (std::size_t g = 0; g <= font.glyphCount; ++g) {
        uint32_t start = longOffsets ? in.U32(loca.offset + 4 * g) : uint32_t{in.U16(loca.offset + 2 * g)} * 2;
        if (start > glyf.length || (g > 0 && start < font.glyphStart.back())) return std::nullopt;
        font.glyphStart.push_back(start);
    }

    if (auto os2 = tables->find("OS/2"); os2 != tables->end() && os2->second.length >= 78) {
        std::size_t at = os2->second.offset;
        font.weightClass = in.U16(at + 4);
        uint16_t fsType = in.U16(at + 8);
        // Restricted licence, or bitmap embedding only.
        font.embeddingRestricted = (fsType & 0x000F) == 0x0002 || (fsType & 0x0200) != 0;
        font.ascent = in.S16(at + 68);
        font.descent = in.S16(at + 70);
        if (in.U16(at) >= 2 && os2->second.length >= 90) font.capHeight = in.S16(at + 88);
    }
    if (auto post = tables->find("post"); post != tables->end() && post->second.length >= 16) {
        font.italicAngle = static_cast<float>(static_cast<int32_t>(in.U32(post->second.offset + 4))) / 65536.0f;
        font.fixedPitch = in.U32(post->second.offset + 12) != 0;
    }
    font.glyphOf = ReadCharacterMap(in, tables->at("cmap"));
    if (font.glyphOf.empty()) return std::nullopt;
    return font;
}

std::string SubsetTrueType(const TrueTypeFont& font, const std::set<uint16_t>& used) {
    Reader in(font.bytes);
    std::optional<TableDirectory> tables = ReadDirectory(font.bytes);
    if (!tables) return {};
    auto tableBytes = [&](const char* tag) -> std::string {
        auto found = tables->find(tag);
        if (found == tables->end()) return {};
        return font.bytes.substr(found->second.offset, found->second.length);
    };

    // The glyphs kept: glyph 0, the used ones, and the parts of every kept
    // composite, however deeply nested.
    std::vector<bool> keep(font.glyphCount, false);
    std::vector<uint16_t> pending(used.begin(), used.end());
    pending.push_back(0);
    while (!pending.empty()) {
        uint16_t glyph = pending.back();
        pending.pop_back();
        if (glyph >= font.glyphCount || keep[glyph]) continue;
        keep[glyph] = true;
        for (uint16_t part : ComponentsOf(font, glyph)) pending.push_back(part);
    }

    // Glyphs after the last kept one are left out; the kept ones keep their
    // numbers. Unused glyphs before it are empty and have no metrics.
    uint16_t count = 1;
    for (uint16_t g = 0; g < font.glyphCount; ++g) {
        if (keep[g]) count = static_cast<uint16_t>(g + 1);
    }
    std::string glyf, loca;
    for (uint16_t g = 0; g < count; ++g) {
        AppendU32(loca, static_cast<uint32_t>(glyf.size()));
        if (!keep[g]) continue;
        glyf += WithoutInstructions(std::string_view(font.bytes).substr(std::size_t{font.glyfOffset} + font.glyphStart[g],
                                                                        font.glyphStart[g + 1u] - font.glyphStart[g]));
        glyf.append(glyf.size() % 4 ? 4 - glyf.size() % 4 : 0, '\0');
    }
    AppendU32(loca, static_cast<uint32_t>(glyf.size()));

    const std::string hmtxIn = tableBytes("hmtx");
    const auto metrics = static_cast<uint16_t>(std::min<std::size_t>(font.advances.size(), count));
    std::string hmtx;
    for (uint16_t g = 0; g < count; ++g) {
        // A full metric (advance, side bearing) for the first glyphs, the
        // side bearing alone for the rest.
        std::size_t at = g < font.advances.size() ? std::size_t{4} * g
                                                  : 4 * font.advances.size() + 2 * (g - font.advances.size());
        std::size_t length = g < metrics ? 4 : 2;
        if (keep[g] && at + length <= hmtxIn.size()) {
            hmtx.append(hmtxIn, at, length);
        } else {
            hmtx.append(length, '\0');
        }
    }

    std::map<std::string, std::string> out;
    out["glyf"] = std::move(glyf);
    out["loca"] = std::move(loca);
    out["hmtx"] = std::move(hmtx);
    for (const char* tag : {"head", "hhea", "maxp"}) {
        std::string data = tableBytes(tag);
        if (!data.empty()) out[tag] = std::move(data);
    }
    std::string& head = out["head"];
    PutU32(head, 8, 0);   // the checksum adjustment, set once the file is whole
    PutU16(head, 50, 1);  // long glyph offsets
    PutU16(out["maxp"], 4, count);
    PutU16(out["hhea"], 34, metrics);
    std::string post = tableBytes("post");
    if (post.size() >= 32) {
        post.resize(32);
        PutU32(post, 0, 0x00030000);  // no glyph names
        out["post"] = std::move(post);
    }
    return AssembleFont(out);
}

}  // namespace tak
