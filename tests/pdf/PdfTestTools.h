// Helpers for the PDF writer tests: running the Debian PDF tools on written
// files, taking a file apart, and making small PNG files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tak {
class PdfDocument;
}

namespace tak::test {

struct ToolRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command with the file path appended in quotes.
ToolRun RunTool(std::string_view command, const std::filesystem::path& file);

// The text with every run of blanks made one blank, for reading tool reports
// whose columns are padded.
std::string SqueezeBlanks(std::string_view text);

// qpdf --check passes with neither errors nor warnings.
bool QpdfAccepts(const std::filesystem::path& file, std::string* report = nullptr);

std::string ReadBytes(const std::filesystem::path& file);

// Saves the document to `file`, expects success, a file that qpdf accepts and
// a consistent cross-reference table or stream, and returns the file's bytes.
std::string SaveChecked(PdfDocument& document, const std::filesystem::path& file);

// Text of a written file as pdftotext reads it, in UTF-8.
std::string ExtractedText(const std::filesystem::path& file);

// The text of object `number`, from "n 0 obj" to the end of its "endobj"; an
// object packed into an object stream is given in that form too.
std::string ObjectText(std::string_view pdf, int number);

// The content stream bytes of every page in page order, found through the
// page tree, and whether each /Length matched the bytes up to "endstream".
struct PageStreams {
    std::vector<std::string> contents;
    bool lengthsMatch = true;
};
PageStreams PageContents(std::string_view pdf);

// The lines of a content stream (without their line feeds).
std::vector<std::string> SplitLines(std::string_view text);

// The cross-reference table or stream, checked: empty text when it is
// consistent, else a description of the first fault.
std::string CheckCrossReference(std::string_view pdf);

// A PNG file with the given header fields and one filter byte (0) per row.
// `pixels` holds the raw rows without filter bytes; `palette` RGB triples.
struct PngSpec {
    uint32_t width = 1;
    uint32_t height = 1;
    uint8_t bitDepth = 8;
    uint8_t colourType = 2;
    uint8_t interlace = 0;
    std::string pixels;
    std::string palette;
    int idatChunks = 1;  // the compressed data split into this many IDAT chunks
};
std::string MakePng(const PngSpec& spec);
// The concatenated IDAT data of a PNG made by MakePng.
std::string IdatData(std::string_view png);

}  // namespace tak::test
