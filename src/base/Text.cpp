#include "base/Text.h"

#include <cmath>
#include <limits>

namespace tak {

namespace {

// Code points of 0x80..0x9F in Windows-1252; 0 marks the undefined codes.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t LowerCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // À..Þ except ×
    if (c >= 0x100 && c <= 0x137) return c | 1;     // pairs: even upper, odd lower
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    return c;
}

}  // namespace

char32_t Windows1252CodePoint(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    char16_t mapped = kHighControls[byte - 0x80];
    return mapped ? mapped : byte;
}

unsigned char Windows1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == c) return static_cast<unsigned char>(0x80 + i);
    }
    return 0;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string DecodeWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    std::size_t i = 0;
    while (i < bytes.size()) {
        // ASCII runs, the bulk of every file, are copied whole.
        std::size_t run = i;
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) ++run;
        out.append(bytes.substr(i, run - i));
        if (run == bytes.size()) break;
        AppendUtf8(out, Windows1252CodePoint(static_cast<unsigned char>(bytes[run])));
        i = run + 1;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int extra = (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || bytes.size() - i <= static_cast<std::size_t>(extra)) return false;
        char32_t c = lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::string DecodeUnmarkedText(std::string_view bytes) {
    return IsValidUtf8(bytes) ? std::string(bytes) : DecodeWindows1252(bytes);
}

char32_t NextCodePoint(std::string_view s, std::size_t& pos) {
    auto lead = static_cast<unsigned char>(s[pos]);
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra == 0) {
        ++pos;
        return lead;
    }
    if (extra < 0 || pos + extra >= s.size()) {  // bad lead byte or cut-off sequence
        ++pos;
        return 0xFFFD;
    }
    char32_t c = lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        auto next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        c = (c << 6) | (next & 0x3F);
    }
    pos += extra + 1;
    return c;
}

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = pos;
        // Runs of ASCII, most of any file, are taken as they stand.
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) ++pos;
        out.append(text.substr(start, pos - start));
        if (pos == text.size()) break;
        start = pos;
        char32_t code = NextCodePoint(text, pos);
        std::size_t length = pos - start;
        // Also refused: surrogates, code points beyond U+10FFFF and
        // sequences longer than their code point needs.
        std::size_t needed = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        bool valid = code != 0xFFFD || text.substr(start, length) == "\xEF\xBF\xBD";
        valid = valid && !(code >= 0xD800 && code <= 0xDFFF) && code <= 0x10FFFF && length == needed;
        if (valid) {
            out.append(text.substr(start, length));
        } else {
            AppendUtf8(out, 0xFFFD);
            pos = start + 1;
        }
    }
    return out;
}

std::string FoldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        auto b = static_cast<unsigned char>(utf8[pos]);
        if (b < 0x80) {  // fast path for the common ASCII case
            out += (b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : static_cast<char>(b);
            ++pos;
            continue;
        }
        std::size_t start = pos;
        char32_t c = NextCodePoint(utf8, pos);
        if (c == 0xFFFD) {
            out.append(utf8.substr(start, pos - start));
        } else {
            AppendUtf8(out, LowerCodePoint(c));
        }
    }
    return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return FoldCase(a) == FoldCase(b);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The run of characters of one kind (digits or not) that starts at `pos`.
std::string_view RunAt(std::string_view text, std::size_t pos) {
    bool digits = IsDigit(text[pos]);
    std::size_t end = pos;
    while (end < text.size() && IsDigit(text[end]) == digits) ++end;
    return text.substr(pos, end - pos);
}

// Compares two digit runs by value, whatever their length: leading zeros
// dropped, the shorter number is the smaller.
int CompareNumbers(std::string_view a, std::string_view b) {
    auto significant = [](std::string_view run) {
        std::size_t first = run.find_first_not_of('0');
        return first == std::string_view::npos ? std::string_view() : run.substr(first);
    };
    a = significant(a);
    b = significant(b);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        std::string_view runA = RunAt(a, i);
        std::string_view runB = RunAt(b, j);
        bool numberA = IsDigit(runA.front());
        bool numberB = IsDigit(runB.front());
        // A number comes before text at the same place ("5" < "Bus").
        if (numberA != numberB) return numberA;
        int order = numberA ? CompareNumbers(runA, runB) : FoldCase(runA).compare(FoldCase(runB));
        if (order != 0) return order < 0;
        i += runA.size();
        j += runB.size();
    }
    if ((i < a.size()) != (j < b.size())) return j < b.size();  // a prefix comes first
    return a < b;
}

std::string_view TrimBlanks(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string_view TrimBlanksAndTabs(std::string_view text) {
    auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

int32_t ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;  // saturate; later digits cannot shrink it
    }
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min(value, kLimit - 1));
}

int32_t RoundToInt32(double value) {
    if (std::isnan(value)) return 0;
    double rounded = std::nearbyint(value);  // default rounding mode: half to even
    if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

}  // namespace tak
