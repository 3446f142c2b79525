#include "mapdata/SectionFile.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <utility>

#include "base/CodePage.h"
#include "base/Text.h"

namespace tak {

namespace {

// One comparison per byte instead of two: every byte above CR is ordinary.
inline bool IsLineEnd(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte <= '\r' && (byte == '\n' || byte == '\r');
}

}  // namespace

SectionReader::SectionReader(std::string bytes) : bytes_(std::move(bytes)) {}

bool SectionReader::NextLine(std::string_view& line) {
    if (ended_ || pos_ >= bytes_.size()) return false;
    // Lines are short (a few bytes on average), so a plain scan beats memchr.
    const char* data = bytes_.data();
    const std::size_t size = bytes_.size();
    std::size_t end = pos_;
    while (end < size && !IsLineEnd(data[end])) ++end;
    line = std::string_view(data + pos_, end - pos_);
    pos_ = end;
    ++linesRead_;
    if (pos_ < size) {  // a line ends in CR LF, CR or LF
        if (data[pos_] == '\r' && pos_ + 1 < size && data[pos_ + 1] == '\n') ++pos_;
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
        headerLine_ = linesRead_;
        return trimmed.substr(1, close - 1);
    }
    ended_ = true;
    return {};
}

std::string_view SectionReader::NextValue() {
    std::string_view line;
    lastValue_ = NextLine(line) ? line : std::string_view{};
    lastValueLine_ = linesRead_;
    return lastValue_;
}

std::string SectionReader::NextText() { return DecodeMapText(NextValue()); }

int32_t SectionReader::NextInteger() { return ParseLeadingInt(NextValue()); }

int32_t SectionReader::NextMinutes() { return ParseMinutes(NextValue()); }

std::optional<int32_t> SectionReader::NextWholeNumber() { return ParseWholeNumber(NextValue()); }

std::optional<int32_t> SectionReader::NextMinutesChecked() { return ParseMinutesChecked(NextValue()); }

namespace {

// Most values are short decimals ("331.000"); their seconds are computed
// exactly in integers. Values with more digits and exact halves (whose
// rounding follows the floating-point product) take the general path.
std::optional<int32_t> ExactMinutesToSeconds(std::string_view number) {
    constexpr std::size_t kMaxWholeDigits = 9;
    constexpr int64_t kMaxScale = 1000000;
    std::size_t i = 0;
    int64_t whole = 0;
    while (i < number.size() && number[i] >= '0' && number[i] <= '9') {
        if (i == kMaxWholeDigits) return std::nullopt;
        whole = whole * 10 + (number[i++] - '0');
    }
    if (i == 0) return std::nullopt;
    int64_t fraction = 0;
    int64_t scale = 1;
    if (i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
            if (scale == kMaxScale) return std::nullopt;
            fraction = fraction * 10 + (number[i] - '0');
            scale *= 10;
        }
    }
    if (i != number.size()) return std::nullopt;
    int64_t sixtyfold = (whole * scale + fraction) * 60;
    int64_t seconds = sixtyfold / scale;
    int64_t remainder = sixtyfold % scale;
    if (2 * remainder == scale) return std::nullopt;
    if (2 * remainder > scale) ++seconds;
    return static_cast<int32_t>(std::min<int64_t>(seconds, std::numeric_limits<int32_t>::max()));
}

}  // namespace

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
    if (auto seconds = ExactMinutesToSeconds(number)) return negative ? -*seconds : *seconds;
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

namespace tak {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number without blanks, tabs and its sign; empty when a sign stands alone.
std::string_view WithoutSign(std::string_view number) {
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) number.remove_prefix(1);
    return number;
}

}  // namespace

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
    std::string_view number = TrimBlanksAndTabs(text);
    std::string_view digits = WithoutSign(number);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) return std::nullopt;
    int32_t value = 0;
    // from_chars takes "-" but not "+".
    if (number.front() == '+') number.remove_prefix(1);
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return value;
}

std::optional<int32_t> ParseMinutesChecked(std::string_view text) {
    std::string_view number = TrimBlanksAndTabs(text);
    std::string_view digits = WithoutSign(number);
    std::size_t point = digits.find('.');
    std::string_view whole = digits.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view{} : digits.substr(point + 1);
    if (whole.empty() && fraction.empty()) return std::nullopt;
    if (!std::all_of(whole.begin(), whole.end(), IsDigit) || !std::all_of(fraction.begin(), fraction.end(), IsDigit)) {
        return std::nullopt;
    }
    // Far beyond 32 bits of seconds; ParseMinutes would saturate.
    std::string_view significant = whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    if (significant.size() > 7) return std::nullopt;
    return ParseMinutes(number);
}

}  // namespace tak
