#include "pdf/PaginorFormat.h"

#include <charconv>
#include <cmath>

#include "base/Text.h"

namespace tak {

namespace {

// Text is written as WinAnsiEncoding bytes; characters outside code page
// 1252 become "?".
char WinAnsiCode(char32_t c) {
    if (c == 0) return 0;
    unsigned char byte = Windows1252Byte(c);
    return byte ? static_cast<char>(byte) : '?';
}

// Formats the common case without the general algorithm: a float times 10^5
// or less is exact in a double (24 + 12 significant bits), so rounding that
// product to the nearest integer, ties to even, rounds exactly as the general
// formatting does. Page content is mostly such numbers.
bool AppendNumberFast(std::string& out, float value, int decimals) {
    static constexpr double kPowers[] = {1, 10, 100, 1000, 10000, 100000};
    if (decimals < 0 || decimals > 5 || !(std::fabs(value) < 1e9f)) return false;
    double scaled = std::nearbyint(std::fabs(static_cast<double>(value)) * kPowers[decimals]);
    auto units = static_cast<uint64_t>(scaled);
    auto unit = static_cast<uint64_t>(kPowers[decimals]);
    if (value < 0) out += '-';
    AppendInteger(out, static_cast<int64_t>(units / unit));
    if (decimals == 0) return true;
    out += '.';
    char fraction[5];
    uint64_t rest = units % unit;
    for (int i = decimals - 1; i >= 0; --i) {
        fraction[i] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    }
    out.append(fraction, static_cast<std::size_t>(decimals));
    return true;
}

}  // namespace

void AppendNumber(std::string& out, float value, int decimals) {
    if (!std::isfinite(value) || value == 0.0f) value = 0.0f;  // also drops the sign of -0
    if (AppendNumberFast(out, value, decimals)) return;
    char text[80];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {  // only for absurd precisions
        out += '0';
        return;
    }
    out.append(text, result.ptr);
}

std::string FormatNumber(float value, int decimals) {
    std::string out;
    AppendNumber(out, value, decimals);
    return out;
}

void AppendInteger(std::string& out, int64_t value) {
    char text[24];
    auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void AppendWinAnsi(std::string& out, std::string_view utf8) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        auto byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {  // the common case, one byte each
            out += static_cast<char>(byte);
            ++pos;
            continue;
        }
        out += WinAnsiCode(NextCodePoint(utf8, pos));
    }
}

void AppendGlyphHex(std::string& out, uint16_t glyph) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[glyph >> shift & 0xF];
}

std::string EncodeWinAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    AppendWinAnsi(out, utf8);
    return out;
}

void AppendEscapedBytes(std::string& out, std::string_view bytes) {
    for (char byte : bytes) {
        switch (byte) {
            case '\b': out += "\\b"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\f': out += "\\f"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            case '(': out += "\\("; break;
            case ')': out += "\\)"; break;
            default: out += byte;
        }
    }
}

void AppendUtf16TextString(std::string& out, std::string_view utf8) {
    std::string units = "\xFE\xFF";
    auto appendUnit = [&units](char32_t unit) {
        units += static_cast<char>(unit >> 8);
        units += static_cast<char>(unit & 0xFF);
    };
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t c = NextCodePoint(utf8, pos);
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        if (c >= 0x10000) {
            appendUnit(0xD800 + ((c - 0x10000) >> 10));
            appendUnit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            appendUnit(c);
        }
    }
    AppendEscapedBytes(out, units);
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

}  // namespace tak
