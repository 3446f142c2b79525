// The small text rules of the PDF syntax the writer emits: numbers, string
// bytes and their escapes. Every number in a file goes through AppendNumber, so
// no output ever depends on the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tak {

// Fixed-point text with exactly `decimals` decimals and "." as separator,
// rounded to the nearest value at that precision. An exact negative zero is
// written without a sign; a value that is not finite is written as zero, so
// that a bad measure cannot break the syntax.
void AppendNumber(std::string& out, float value, int decimals);
std::string FormatNumber(float value, int decimals);

// Plain decimal integers (object numbers, lengths, offsets).
void AppendInteger(std::string& out, int64_t value);

// UTF-8 text as WinAnsiEncoding bytes: each character of code page 1252
// becomes its code, every other character (and every malformed sequence) "?".
void AppendWinAnsi(std::string& out, std::string_view utf8);
std::string EncodeWinAnsi(std::string_view utf8);

// Bytes inside a PDF literal string "( ... )": parentheses, the backslash and
// the control characters with a short form get their backslash escape.
void AppendEscapedBytes(std::string& out, std::string_view bytes);

// A PDF text string of ASCII or UTF-8 text in UTF-16BE with byte-order mark,
// escaped, without the enclosing parentheses.
void AppendUtf16TextString(std::string& out, std::string_view utf8);

// A glyph number as the four upper-case hex digits of a two-byte code.
void AppendGlyphHex(std::string& out, uint16_t glyph);

// Upper-cases ASCII letters only; font keys and options are ASCII.
std::string AsciiUpper(std::string_view text);

}  // namespace tak
