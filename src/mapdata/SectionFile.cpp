#include "mapdata/SectionFile.h"

#include <charconv>
#include <utility>

#include "base/Text.h"

namespace tak {

SectionReader::SectionReader(std::string text) : text_(std::move(text)) {}

SectionReader SectionReader::FromFileBytes(std::string_view bytes) {
    return SectionReader(DecodeWindows1252(bytes));
}

bool SectionReader::NextLine(std::string_view& line) {
    if (ended_ || pos_ >= text_.size()) return false;
    std::size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string::npos) end = text_.size();
    line = std::string_view(text_).substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < text_.size()) {  // a line ends in CR LF, CR or LF
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
        ++pos_;
    }
    return true;
}

std::string_view SectionReader::NextSection(std::string_view& previousLine) {
    previousLine = {};
    std::string_view line;
    while (NextLine(line)) {
        std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.starts_with('[')) {
            previousLine = trimmed;
            continue;
        }
        std::size_t close = trimmed.find(']');
        if (close == std::string_view::npos || close == 1) break;
        return trimmed.substr(1, close - 1);
    }
    ended_ = true;
    return {};
}

std::string_view SectionReader::NextValue() {
    std::string_view line;
    return NextLine(line) ? line : std::string_view{};
}

int32_t SectionReader::NextInteger() { return ParseLeadingInt(NextValue()); }

int32_t SectionReader::NextMinutes() { return ParseMinutes(NextValue()); }

int32_t ParseMinutes(std::string_view text) {
    std::string_view number = TrimBlanksAndTabs(text);
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan"; a decimal number starts with
    // a digit or the decimal point.
    if (number.empty() || !(number.front() == '.' || (number.front() >= '0' && number.front() <= '9'))) {
        return 0;
    }
    double minutes = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), minutes);
    if (error == std::errc::result_out_of_range) {
        // Either far too large or far too small to matter.
        bool tiny = number.find("e-") != std::string_view::npos || number.find("E-") != std::string_view::npos;
        return tiny ? 0 : RoundToInt32(negative ? -1e300 : 1e300);
    }
    if (error != std::errc() || end != number.data() + number.size()) return 0;
    return RoundToInt32((negative ? -minutes : minutes) * 60.0);
}

}  // namespace tak
