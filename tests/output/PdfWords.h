// The words of a PDF as pdftotext -bbox places them, for checks that every
// text of a document lies inside its page's margins.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tak::test {

struct PdfWord {
    int page = 0;
    float pageWidth = 0;
    float pageHeight = 0;
    float xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::string text;
};

inline float AttributeOf(const std::string& line, const std::string& name) {
    std::size_t at = line.find(name + "=\"");
    return at == std::string::npos ? 0 : std::stof(line.substr(at + name.size() + 2, 16));
}

inline std::vector<PdfWord> PdfWords(const std::filesystem::path& file) {
    CommandResult run = RunCommand("pdftotext -bbox -enc UTF-8 '" + file.string() + "' - 2>/dev/null");
    std::vector<PdfWord> words;
    int page = 0;
    float width = 0, height = 0;
    std::size_t start = 0;
    while (start < run.output.size()) {
        std::size_t end = run.output.find('\n', start);
        if (end == std::string::npos) end = run.output.size();
        std::string line = run.output.substr(start, end - start);
        start = end + 1;
        if (line.find("<page ") != std::string::npos) {
            ++page;
            width = AttributeOf(line, "width");
            height = AttributeOf(line, "height");
        } else if (line.find("<word ") != std::string::npos) {
            PdfWord word{page, width, height, AttributeOf(line, "xMin"), AttributeOf(line, "yMin"),
                         AttributeOf(line, "xMax"), AttributeOf(line, "yMax"), ""};
            std::size_t open = line.find('>');
            std::size_t close = line.rfind("</word>");
            if (open != std::string::npos && close != std::string::npos && close > open) {
                word.text = line.substr(open + 1, close - open - 1);
            }
            words.push_back(word);
        }
    }
    return words;
}

// Words that reach into the left or right margin or off the page; the
// header and footer stand in the top and bottom margins by design.
inline std::vector<std::string> WordsOutsideMargins(const std::filesystem::path& file, float margin) {
    std::vector<std::string> outside;
    for (const PdfWord& word : PdfWords(file)) {
        bool inside = word.xMin >= margin - 0.01f && word.xMax <= word.pageWidth - margin + 0.01f &&
                      word.yMin >= 0 && word.yMax <= word.pageHeight;
        if (!inside) {
            outside.push_back(file.filename().string() + " page " + std::to_string(word.page) + ": " + word.text +
                              " at x " + std::to_string(word.xMin) + "-" + std::to_string(word.xMax));
        }
    }
    return outside;
}

}  // namespace tak::test
