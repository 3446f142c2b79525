#include "PdfTestTools.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include "pdf/Paginor.h"
#include "support/TestSupport.h"

namespace tak::test {

namespace {

// These tests read a file's objects and page content as text: unless a test
// asks otherwise, documents keep their streams plain and use the standard
// fonts, whose text is written as it was given. The embedded fonts and the
// compression have tests of their own.
const bool kPlainDocuments = [] {
    PdfDocument::SetDefaultWriterOptions(PdfWriterOptions{false, false});
    return true;
}();

}  // namespace

ToolRun RunTool(std::string_view command, const std::filesystem::path& file) {
    CommandResult result = RunCommand(std::string(command) + " '" + file.string() + "' 2>&1");
    return ToolRun{result.status, std::move(result.output)};
}

std::string SqueezeBlanks(std::string_view text) {
    std::string squeezed;
    for (char c : text) {
        if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed += c;
    }
    return squeezed;
}

bool QpdfAccepts(const std::filesystem::path& file, std::string* report) {
    ToolRun run = RunTool("qpdf --check", file);
    if (report) *report = run.output;
    return run.exitCode == 0 &&
           run.output.find("No syntax or stream encoding errors found") != std::string::npos &&
           run.output.find("WARNING") == std::string::npos;
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string SaveChecked(PdfDocument& document, const std::filesystem::path& file) {
    EXPECT_TRUE(document.SaveDocument(file.string())) << document.LastErrorText();
    std::string report;
    EXPECT_TRUE(QpdfAccepts(file, &report)) << report;
    std::string pdf = ReadBytes(file);
    EXPECT_EQ(CheckCrossReference(pdf), "");
    return pdf;
}

std::string ExtractedText(const std::filesystem::path& file) {
    std::filesystem::path text = std::filesystem::path(file).replace_extension(".txt");
    ToolRun run = RunTool("pdftotext -enc UTF-8", file);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return ReadBytes(text);
}

namespace {

int NumberAfter(std::string_view text, std::string_view key) {
    std::size_t pos = text.find(key);
    if (pos == std::string_view::npos) return -1;
    return std::atoi(std::string(text.substr(pos + key.size(), 20)).c_str());
}

// An object as it stands in the file, from "n 0 obj" to "endobj".
std::string TopLevelObject(std::string_view pdf, int number) {
    std::string header = std::to_string(number) + " 0 obj\n";
    std::size_t start = pdf.rfind("\n" + header);
    if (start == std::string_view::npos) return {};
    ++start;
    // Streams may hold anything; skip over them by their length.
    std::size_t end = pdf.find("endobj\n", start);
    std::size_t stream = pdf.find("\nstream\n", start);
    if (stream != std::string_view::npos && stream < end) {
        std::size_t after = pdf.find("\nendstream\n", stream);
        end = pdf.find("endobj\n", after);
    }
    if (end == std::string_view::npos) return {};
    return std::string(pdf.substr(start, end + 7 - start));
}

// The data of a stream object, inflated when it is compressed.
std::string StreamData(std::string_view object) {
    int length = NumberAfter(object, "/Length ");
    std::size_t start = object.find(">>\nstream\n");
    if (length < 0 || start == std::string_view::npos) return {};
    std::string data(object.substr(start + 10, static_cast<std::size_t>(length)));
    if (object.find("/FlateDecode") == std::string_view::npos || object.find("/FlateDecode") > start) return data;
    std::string out(64 * data.size() + 1024, '\0');
    uLongf size = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                   data.size()) != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

// Object `number` from the object streams of a packed file, in the form it
// would have in a classic file; empty when no object stream holds it.
std::string PackedObject(std::string_view pdf, int number) {
    for (std::size_t at = pdf.find("/Type /ObjStm"); at != std::string_view::npos;
         at = pdf.find("/Type /ObjStm", at + 1)) {
        std::size_t objectStart = pdf.rfind(" 0 obj\n", at);
        std::size_t lineStart = pdf.rfind('\n', objectStart);
        if (objectStart == std::string_view::npos || lineStart == std::string_view::npos) continue;
        std::string object = TopLevelObject(pdf, std::atoi(std::string(pdf.substr(lineStart + 1, 12)).c_str()));
        std::string data = StreamData(object);
        int count = NumberAfter(object, "/N ");
        int first = NumberAfter(object, "/First ");
        if (count < 0 || first < 0 || static_cast<std::size_t>(first) > data.size()) continue;
        std::istringstream index(data.substr(0, static_cast<std::size_t>(first)));
        std::vector<std::pair<int, std::size_t>> entries;
        int packed = 0;
        std::size_t offset = 0;
        while (static_cast<int>(entries.size()) < count && index >> packed >> offset) entries.emplace_back(packed, offset);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].first != number) continue;
            std::size_t begin = static_cast<std::size_t>(first) + entries[i].second;
            std::size_t end = i + 1 < entries.size() ? static_cast<std::size_t>(first) + entries[i + 1].second
                                                     : data.size();
            if (begin > end || end > data.size()) return {};
            std::string body = data.substr(begin, end - begin);
            if (!body.empty() && body.back() != '\n') body += '\n';
            return std::to_string(number) + " 0 obj\n" + body + "endobj\n";
        }
    }
    return {};
}

}  // namespace

std::string ObjectText(std::string_view pdf, int number) {
    std::string object = TopLevelObject(pdf, number);
    return object.empty() ? PackedObject(pdf, number) : object;
}

namespace {

std::vector<int> KidsOfPageTree(std::string_view pdf) {
    std::string tree = ObjectText(pdf, 1);
    std::vector<int> kids;
    std::size_t open = tree.find("/Kids [");
    std::size_t close = tree.find(']', open);
    if (open == std::string::npos || close == std::string::npos) return kids;
    std::istringstream list(tree.substr(open + 7, close - open - 7));
    int number = 0, generation = 0;
    std::string reference;
    while (list >> number >> generation >> reference) kids.push_back(number);
    return kids;
}

}  // namespace

PageStreams PageContents(std::string_view pdf) {
    PageStreams streams;
    for (int page : KidsOfPageTree(pdf)) {
        int contents = NumberAfter(ObjectText(pdf, page), "/Contents ");
        std::string object = ObjectText(pdf, contents);
        int length = NumberAfter(object, "/Length ");
        std::size_t start = object.find("stream\n");
        std::size_t end = object.rfind("\nendstream\n");
        if (length < 0 || start == std::string::npos || end == std::string::npos) {
            streams.lengthsMatch = false;
            streams.contents.emplace_back();
            continue;
        }
        start += 7;
        if (end - start != static_cast<std::size_t>(length)) streams.lengthsMatch = false;
        streams.contents.push_back(object.substr(start, end - start));
    }
    return streams;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

namespace {

// A cross-reference stream, checked: every entry of type 1 points at its
// object, every entry of type 2 names an object stream that holds the object
// at that place.
std::string CheckCrossReferenceStream(std::string_view pdf, std::size_t at) {
    std::size_t space = pdf.find(' ', at);
    int number = std::atoi(std::string(pdf.substr(at, space - at)).c_str());
    std::string object = TopLevelObject(pdf, number);
    if (object.empty() || object.find("/Type /XRef") == std::string::npos) {
        return "startxref points at neither a table nor a cross-reference stream";
    }
    int size = NumberAfter(object, "/Size ");
    std::size_t widths = object.find("/W [");
    if (size < 1 || widths == std::string::npos) return "cross-reference stream without /Size or /W";
    std::istringstream widthList(object.substr(widths + 4));
    int w[3] = {0, 0, 0};
    widthList >> w[0] >> w[1] >> w[2];
    const std::size_t entryBytes = static_cast<std::size_t>(w[0] + w[1] + w[2]);
    std::string data = StreamData(object);
    if (entryBytes == 0 || data.size() != entryBytes * static_cast<std::size_t>(size)) {
        return "cross-reference stream holds " + std::to_string(data.size()) + " bytes for " + std::to_string(size) +
               " entries";
    }
    auto field = [&](int entry, int which) {
        std::size_t start = entryBytes * static_cast<std::size_t>(entry);
        for (int i = 0; i < which; ++i) start += static_cast<std::size_t>(w[i]);
        std::size_t value = 0;
        for (int i = 0; i < w[which]; ++i) value = value << 8 | static_cast<unsigned char>(data[start + i]);
        return value;
    };
    if (field(0, 0) != 0) return "object 0 is not free";
    for (int entry = 1; entry < size; ++entry) {
        std::size_t type = field(entry, 0);
        std::string name = "entry " + std::to_string(entry);
        if (type == 1) {
            std::string header = std::to_string(entry) + " 0 obj\n";
            if (pdf.substr(field(entry, 1), header.size()) != header) return name + " points elsewhere";
        } else if (type == 2) {
            std::string container = TopLevelObject(pdf, static_cast<int>(field(entry, 1)));
            if (container.find("/Type /ObjStm") == std::string::npos) return name + " names no object stream";
            if (PackedObject(pdf, entry).empty()) return name + " is in no object stream";
        } else if (type != 0) {
            return name + " has the unknown type " + std::to_string(type);
        }
    }
    return {};
}

}  // namespace

std::string CheckCrossReference(std::string_view pdf) {
    std::size_t startxref = pdf.rfind("startxref\n");
    if (startxref == std::string_view::npos) return "no startxref";
    std::size_t xref = std::stoul(std::string(pdf.substr(startxref + 10, 20)));
    if (xref < pdf.size() && pdf.substr(xref, 5) != "xref\n") return CheckCrossReferenceStream(pdf, xref);
    if (pdf.substr(xref, 5) != "xref\n") return "startxref does not point at the xref line";
    std::size_t line = xref + 5;
    std::size_t eol = pdf.find('\n', line);
    std::istringstream head(std::string(pdf.substr(line, eol - line)));
    int first = -1, count = -1;
    head >> first >> count;
    if (first != 0 || count < 1) return "bad subsection header";
    std::size_t entries = eol + 1;
    if (pdf.substr(entries, 20) != "0000000000 65535 f \n") return "bad free entry";
    for (int object = 1; object < count; ++object) {
        std::string_view entry = pdf.substr(entries + 20 * static_cast<std::size_t>(object), 20);
        if (entry.size() != 20 || entry.substr(10) != " 00000 n \n") {
            return "entry " + std::to_string(object) + " is not 20 bytes of the right form";
        }
        std::size_t offset = std::stoul(std::string(entry.substr(0, 10)));
        std::string header = std::to_string(object) + " 0 obj\n";
        if (pdf.substr(offset, header.size()) != header) {
            return "entry " + std::to_string(object) + " points elsewhere";
        }
    }
    std::string_view after = pdf.substr(entries + 20 * static_cast<std::size_t>(count));
    if (after.substr(0, 8) != "trailer\n") return "no trailer after the table";
    if (NumberAfter(after, "/Size ") != count) return "trailer size differs";
    return {};
}

namespace {

void AppendBigEndian32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void AppendChunk(std::string& png, std::string_view type, std::string_view data) {
    AppendBigEndian32(png, static_cast<uint32_t>(data.size()));
    std::string typed = std::string(type) + std::string(data);
    png += typed;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    AppendBigEndian32(png, static_cast<uint32_t>(crc));
}

}  // namespace

std::string MakePng(const PngSpec& spec) {
    std::string png = "\x89PNG\r\n\x1A\n";
    std::string header;
    AppendBigEndian32(header, spec.width);
    AppendBigEndian32(header, spec.height);
    header += static_cast<char>(spec.bitDepth);
    header += static_cast<char>(spec.colourType);
    header += '\0';  // compression
    header += '\0';  // filter method
    header += static_cast<char>(spec.interlace);
    AppendChunk(png, "IHDR", header);
    if (!spec.palette.empty()) AppendChunk(png, "PLTE", spec.palette);

    std::string rows;
    std::size_t rowBytes = spec.height ? spec.pixels.size() / spec.height : 0;
    for (uint32_t row = 0; row < spec.height; ++row) {
        rows += '\0';  // filter type "none"
        rows += spec.pixels.substr(row * rowBytes, rowBytes);
    }
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    std::string compressed(size, '\0');
    compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
             reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()));
    compressed.resize(size);
    std::size_t piece = compressed.size() / static_cast<std::size_t>(spec.idatChunks) + 1;
    for (std::size_t start = 0; start < compressed.size(); start += piece) {
        AppendChunk(png, "IDAT", compressed.substr(start, piece));
    }
    AppendChunk(png, "IEND", "");
    return png;
}

std::string IdatData(std::string_view png) {
    std::string data;
    std::size_t pos = 8;
    while (pos + 12 <= png.size()) {
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<uint8_t>(png[pos + i]);
        if (png.substr(pos + 4, 4) == "IDAT") data += png.substr(pos + 8, length);
        pos += 12 + length;
    }
    return data;
}

}  // namespace tak::test
