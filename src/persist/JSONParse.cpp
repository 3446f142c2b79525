// Tokenizer and recursive parser of the JSON codec.
#include <charconv>
#include <cmath>

#include "persist/JSON.h"

namespace tak {

namespace {

bool IsPunctuation(char c) {
    return c == ':' || c == '{' || c == '}' || c == '[' || c == ']' || c == ',';
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits the text into tokens: a string with its surrounding quotes, one
// punctuation character, or a bare word; the empty token at the end. Inside a
// string a backslash makes the next character literal and is itself dropped;
// there are no escape letters.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    std::string Next() { return Read(false); }
    std::string Peek() { return Read(true); }

private:
    std::string Read(bool peek) {
        std::size_t start = pos_;
        std::string token;
        bool inString = false;
        bool escaped = false;
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (inString) {
                if (c == '\\') {
                    escaped = !escaped;
                } else if (c == '"' && !escaped) {
                    token += c;
                    ++pos_;
                    break;
                } else {
                    escaped = false;
                }
                if (!escaped) token += c;
                ++pos_;
            } else if (c == '"') {
                inString = true;
                token += c;
                ++pos_;
            } else if (IsBlank(c)) {
                ++pos_;
                if (!token.empty()) break;
            } else if (IsPunctuation(c)) {
                if (token.empty()) {
                    token += c;
                    ++pos_;
                }
                break;
            } else {
                token += c;
                ++pos_;
            }
        }
        if (peek) pos_ = start;
        return token;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool IsQuoted(std::string_view token) {
    return token.size() >= 2 && token.front() == '"' && token.back() == '"';
}

std::string_view Unquoted(std::string_view token) { return token.substr(1, token.size() - 2); }

// A number is accepted only in the exact form the writer produces, so that a
// value read and written again keeps its text.
JsonPtr ParseNumber(std::string_view token) {
    if (token.empty()) return nullptr;
    const char* first = token.data();
    const char* last = token.data() + token.size();
    int32_t integer = 0;
    auto intResult = std::from_chars(first, last, integer);
    if (intResult.ec == std::errc() && intResult.ptr == last && std::to_string(integer) == token) {
        return NewInteger(integer);
    }
    double number = 0.0;
    auto numberResult = std::from_chars(first, last, number);
    if (numberResult.ec != std::errc() || numberResult.ptr != last || !std::isfinite(number)) {
        return nullptr;
    }
    if (FormatJsonNumber(number) != token) return nullptr;
    return NewNumber(number);
}

class Parser {
public:
    explicit Parser(std::string_view text) : tokens_(text) {}

    JsonPtr ParseRoot() {
        std::string first = tokens_.Peek();
        if (first != "{" && first != "[") return nullptr;
        return ParseValue(0);
    }

private:
    JsonPtr ParseValue(int depth) {
        std::string token = tokens_.Next();
        if (token == "{") return depth < kJsonMaxDepth ? ParseObject(depth + 1) : nullptr;
        if (token == "[") return depth < kJsonMaxDepth ? ParseArray(depth + 1) : nullptr;
        if (IsQuoted(token)) return NewString(Unquoted(token));
        if (token == "null") return NewNull();
        if (token == "true") return NewTrue();
        if (token == "false") return NewFalse();
        return ParseNumber(token);
    }

    JsonPtr ParseObject(int depth) {
        auto object = NewObject();
        if (tokens_.Peek() == "}") {
            tokens_.Next();
            return object;
        }
        while (true) {
            std::string name = tokens_.Next();
            if (!IsQuoted(name) || tokens_.Next() != ":") return nullptr;
            JsonPtr value = ParseValue(depth);
            if (!value) return nullptr;
            ObjectSet(object.get(), Unquoted(name), std::move(value));
            std::string separator = tokens_.Next();
            if (separator == "}") return object;
            if (separator != ",") return nullptr;
        }
    }

    JsonPtr ParseArray(int depth) {
        auto array = NewArray();
        if (tokens_.Peek() == "]") {
            tokens_.Next();
            return array;
        }
        while (true) {
            JsonPtr value = ParseValue(depth);
            if (!value) return nullptr;
            ArrayAppend(array.get(), std::move(value));
            std::string separator = tokens_.Next();
            if (separator == "]") return array;
            if (separator != ",") return nullptr;
        }
    }

    Tokenizer tokens_;
};

}  // namespace

JsonPtr Parse(std::string_view text) { return Parser(text).ParseRoot(); }

}  // namespace tak
