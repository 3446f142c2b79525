#include "pdf/PaginorObjectStream.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "pdf/PaginorCompress.h"
#include "pdf/PaginorFormat.h"

namespace tak {

namespace {

// One object of the classic file: where it starts and ends ("endobj\n"
// included), and whether it holds a stream.
struct ObjectSpan {
    int number = 0;
    std::size_t start = 0;
    std::size_t end = 0;
    bool isStream = false;
};

std::string ObjectHeader(int number) {
    std::string header;
    AppendInteger(header, number);
    header += " 0 obj\n";
    return header;
}

// The objects in file order, each checked to be "n 0 obj\n ... endobj\n";
// nothing when one is not.
std::optional<std::vector<ObjectSpan>> FindObjects(std::string_view file, const std::vector<std::size_t>& offsets,
                                                   std::size_t tableAt) {
    std::vector<ObjectSpan> spans;
    spans.reserve(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        spans.push_back(ObjectSpan{static_cast<int>(i + 1), offsets[i], 0, false});
    }
    std::sort(spans.begin(), spans.end(), [](const ObjectSpan& a, const ObjectSpan& b) { return a.start < b.start; });
    constexpr std::string_view kEnd = "endobj\n";
    for (std::size_t i = 0; i < spans.size(); ++i) {
        ObjectSpan& span = spans[i];
        span.end = i + 1 < spans.size() ? spans[i + 1].start : tableAt;
        std::string header = ObjectHeader(span.number);
        if (span.end > file.size() || span.start + header.size() + kEnd.size() > span.end) return std::nullopt;
        std::string_view text = file.substr(span.start, span.end - span.start);
        if (!text.starts_with(header) || !text.ends_with(kEnd)) return std::nullopt;
        span.isStream = text.substr(0, text.size() - kEnd.size()).ends_with("\nendstream\n");
    }
    return spans;
}

// How many bytes an unsigned number needs, at least one.
int BytesFor(std::size_t value) {
    int bytes = 1;
    while (value >>= 8) ++bytes;
    return bytes;
}

void AppendBigEndian(std::string& out, std::size_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

// A stream object with its dictionary entries besides /Length, compressed.
// The default level: dictionaries of many pages repeat so much that the
// best level takes long for next to nothing.
bool AppendStreamObject(std::string& out, int number, std::string_view dictionary, std::string_view data) {
    std::string packed = Deflate(data, kDefaultDeflate);
    if (packed.empty()) return false;
    out += ObjectHeader(number);
    out += "<<";
    out += dictionary;
    out += " /Filter /FlateDecode /Length ";
    AppendInteger(out, static_cast<int64_t>(packed.size()));
    out += ">>\nstream\n";
    out += packed;
    out += "\nendstream\nendobj\n";
    return true;
}

}  // namespace

std::optional<std::string> PackObjects(std::string_view file, const std::vector<std::size_t>& offsets, int root,
                                       int info) {
    std::size_t tableAt = file.rfind("\nxref\n");
    if (offsets.empty() || tableAt == std::string_view::npos || !file.starts_with("%PDF-1.")) return std::nullopt;
    ++tableAt;
    std::optional<std::vector<ObjectSpan>> spans = FindObjects(file, offsets, tableAt);
    if (!spans) return std::nullopt;
    const int objectStream = static_cast<int>(offsets.size()) + 1;
    const int crossReference = objectStream + 1;

    try {
        // Each object's place: an offset in the new file (streams), or its
        // position within the object stream (everything else).
        struct Place {
            bool packed = false;
            std::size_t where = 0;
        };
        std::vector<Place> places(offsets.size() + 3);
        std::string out;
        out.reserve(file.size());
        // The comment of high bytes tells transfer programs that the file is binary.
        out += "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
        out += file.substr(file.find('\n') + 1, spans->front().start - file.find('\n') - 1);  // anything after the version
        std::string index, bodies;
        std::size_t packedCount = 0;
        for (const ObjectSpan& span : *spans) {
            std::size_t headerSize = ObjectHeader(span.number).size();
            std::string_view body = file.substr(span.start + headerSize, span.end - span.start - headerSize - 7);
            // The information dictionary stays outside, readable, so that
            // files that differ only in their dates can be compared as text.
            if (span.isStream || span.number == info) {
                places[static_cast<std::size_t>(span.number)] = Place{false, out.size()};
                out += file.substr(span.start, span.end - span.start);
                continue;
            }
            places[static_cast<std::size_t>(span.number)] = Place{true, packedCount++};
            AppendInteger(index, span.number);
            index += ' ';
            AppendInteger(index, static_cast<int64_t>(bodies.size()));
            index += ' ';
            bodies += body;
        }
        if (!index.empty()) index.back() = '\n';
        std::string dictionary = "/Type /ObjStm /N ";
        AppendInteger(dictionary, static_cast<int64_t>(packedCount));
        dictionary += " /First ";
        AppendInteger(dictionary, static_cast<int64_t>(index.size()));
        places[static_cast<std::size_t>(objectStream)] = Place{false, out.size()};
        if (packedCount > 0 && !AppendStreamObject(out, objectStream, dictionary, index + bodies)) return std::nullopt;

        // The cross-reference stream: per object a type (0 free, 1 at an
        // offset, 2 in the object stream) and two numbers.
        const std::size_t xrefAt = out.size();
        places[static_cast<std::size_t>(crossReference)] = Place{false, xrefAt};
        const int offsetBytes = BytesFor(xrefAt);
        const int indexBytes = BytesFor(std::max<std::size_t>(packedCount, 0xFFFF));
        std::string entries;
        entries += '\0';
        AppendBigEndian(entries, 0, offsetBytes);
        AppendBigEndian(entries, 0xFFFF, indexBytes);
        for (std::size_t number = 1; number < places.size(); ++number) {
            const Place& place = places[number];
            if (number == static_cast<std::size_t>(objectStream) && packedCount == 0) {
                entries += '\0';
                AppendBigEndian(entries, 0, offsetBytes + indexBytes);
                continue;
            }
            entries += static_cast<char>(place.packed ? 2 : 1);
            AppendBigEndian(entries, place.packed ? static_cast<std::size_t>(objectStream) : place.where, offsetBytes);
            AppendBigEndian(entries, place.packed ? place.where : 0, indexBytes);
        }
        dictionary = "/Type /XRef /Size ";
        AppendInteger(dictionary, static_cast<int64_t>(places.size()));
        dictionary += " /W [1 ";
        AppendInteger(dictionary, offsetBytes);
        dictionary += ' ';
        AppendInteger(dictionary, indexBytes);
        dictionary += "] /Root ";
        AppendInteger(dictionary, root);
        dictionary += " 0 R /Info ";
        AppendInteger(dictionary, info);
        dictionary += " 0 R";
        if (!AppendStreamObject(out, crossReference, dictionary, entries)) return std::nullopt;
        out += "startxref\n";
        AppendInteger(out, static_cast<int64_t>(xrefAt));
        out += "\n%%EOF\n";
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace tak
