// Recursive parser of the JSON codec: standard JSON, read straight from the
// text without a separate token list.
#include <charconv>
#include <cmath>
#include <limits>

#include "base/Text.h"
#include "persist/JSON.h"

namespace tak {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Ends a bare word (a number, "true", "false", "null").
bool EndsWord(char c) {
    return IsBlank(c) || c == ':' || c == '{' || c == '}' || c == '[' || c == ']' || c == ',' || c == '"';
}

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char32_t code) { return code >= 0xD800 && code <= 0xDBFF; }
bool IsLowSurrogate(char32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

// Checks the JSON number grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
// `integral` tells whether it has neither a fraction nor an exponent.
bool IsJsonNumber(std::string_view word, bool& integral) {
    std::size_t i = 0;
    auto digits = [&] {
        std::size_t start = i;
        while (i < word.size() && IsDigit(word[i])) ++i;
        return i - start;
    };
    if (i < word.size() && word[i] == '-') ++i;
    if (i < word.size() && word[i] == '0') {
        ++i;
    } else if (digits() == 0) {
        return false;
    }
    integral = true;
    if (i < word.size() && word[i] == '.') {
        ++i;
        if (digits() == 0) return false;
        integral = false;
    }
    if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
        if (digits() == 0) return false;
        integral = false;
    }
    return i == word.size();
}

// A whole number that fits 32 bits is an integer node ("-0" is 0); every
// other number is a number node. Values beyond the range of a double are
// held as the largest double of their sign, those too small as 0.
JsonPtr ParseNumber(std::string_view word) {
    bool integral = false;
    if (!IsJsonNumber(word, integral)) return nullptr;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (integral) {
        int32_t integer = 0;
        auto result = std::from_chars(first, last, integer);
        if (result.ec == std::errc() && result.ptr == last) return NewInteger(integer);
    }
    double number = 0.0;
    auto result = std::from_chars(first, last, number);
    if (result.ec == std::errc::result_out_of_range) {
        std::size_t exponent = word.find_first_of("eE");
        bool tiny = exponent != std::string_view::npos && exponent + 1 < word.size() && word[exponent + 1] == '-';
        bool negative = word.front() == '-';
        number = tiny ? 0.0 : std::numeric_limits<double>::max();
        return NewNumber(negative ? -number : number);
    }
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(number)) return nullptr;
    return NewNumber(number);
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    JsonPtr ParseRoot() {
        SkipBlanks();
        if (AtEnd() || (text_[pos_] != '{' && text_[pos_] != '[')) return nullptr;
        return ParseValue(0);
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
    }

    // Steps past `c` after blanks; false when something else comes.
    bool Expect(char c) {
        SkipBlanks();
        if (AtEnd() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    JsonPtr ParseValue(int depth) {
        SkipBlanks();
        if (AtEnd()) return nullptr;
        char c = text_[pos_];
        if (c == '{' || c == '[') {
            if (depth >= kJsonMaxDepth) return nullptr;
            ++pos_;
            return c == '{' ? ParseObject(depth + 1) : ParseArray(depth + 1);
        }
        if (c == '"') {
            std::string text;
            if (!ParseString(text)) return nullptr;
            return NewString(text);
        }
        std::size_t start = pos_;
        while (!AtEnd() && !EndsWord(text_[pos_])) ++pos_;
        std::string_view word = text_.substr(start, pos_ - start);
        if (word == "null") return NewNull();
        if (word == "true") return NewTrue();
        if (word == "false") return NewFalse();
        return ParseNumber(word);
    }

    JsonPtr ParseObject(int depth) {
        auto object = NewObject();
        SkipBlanks();
        if (!AtEnd() && text_[pos_] == '}') {
            ++pos_;
            return object;
        }
        std::string name;
        while (true) {
            SkipBlanks();
            if (AtEnd() || text_[pos_] != '"' || !ParseString(name) || !Expect(':')) return nullptr;
            JsonPtr value = ParseValue(depth);
            if (!value) return nullptr;
            ObjectSet(object.get(), name, std::move(value));  // a repeated name replaces the earlier value
            SkipBlanks();
            if (AtEnd()) return nullptr;
            char separator = text_[pos_++];
            if (separator == '}') return object;
            if (separator != ',') return nullptr;
        }
    }

    JsonPtr ParseArray(int depth) {
        auto array = NewArray();
        SkipBlanks();
        if (!AtEnd() && text_[pos_] == ']') {
            ++pos_;
            return array;
        }
        while (true) {
            JsonPtr value = ParseValue(depth);
            if (!value) return nullptr;
            ArrayAppend(array.get(), std::move(value));
            SkipBlanks();
            if (AtEnd()) return nullptr;
            char separator = text_[pos_++];
            if (separator == ']') return array;
            if (separator != ',') return nullptr;
        }
    }

    // Reads the string at the opening quote into `out`. Characters other
    // than the quote and the backslash are taken as they stand, line breaks
    // too (the writer keeps them). A backslash before a character that is no
    // escape letter stays with it, so a hand-typed "C:\Maps" keeps its path.
    bool ParseString(std::string& out) {
        out.clear();
        ++pos_;  // the opening quote
        while (!AtEnd()) {
            std::size_t plain = pos_;
            while (plain < text_.size() && text_[plain] != '"' && text_[plain] != '\\') ++plain;
            out.append(text_.substr(pos_, plain - pos_));
            pos_ = plain;
            if (AtEnd()) return false;
            if (text_[pos_++] == '"') return true;
            if (AtEnd()) return false;
            char escape = text_[pos_++];
            switch (escape) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u':
                    if (!ParseUnicodeEscape(out)) return false;
                    break;
                default:
                    out += '\\';
                    out += escape;
                    break;
            }
        }
        return false;
    }

    // Four hex digits after "\u"; false when they are not there.
    bool ReadHexUnit(char32_t& unit) {
        if (text_.size() - pos_ < 4) return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[pos_++];
            unit <<= 4;
            if (IsDigit(c)) {
                unit |= static_cast<char32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                unit |= static_cast<char32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                unit |= static_cast<char32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    // The code of "\uXXXX", joining a surrogate pair written as two escapes.
    // A surrogate without its partner, and U+0000, become U+FFFD.
    bool ParseUnicodeEscape(std::string& out) {
        char32_t code = 0;
        if (!ReadHexUnit(code)) return false;
        if (IsHighSurrogate(code) && text_.substr(pos_, 2) == "\\u") {
            std::size_t afterHigh = pos_;
            pos_ += 2;
            char32_t low = 0;
            if (!ReadHexUnit(low)) return false;
            if (IsLowSurrogate(low)) {
                AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            pos_ = afterHigh;  // the second escape stands on its own
            code = kReplacementCharacter;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code) || code == 0) {
            code = kReplacementCharacter;
        }
        AppendUtf8(out, code);
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

JsonPtr Parse(std::string_view text) { return Parser(text).ParseRoot(); }

}  // namespace tak
