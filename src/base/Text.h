// Text helpers shared by every subsystem. Text inside the program is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tak {

// Decodes 8-bit text in Windows-1252 (the simulator's files) to UTF-8.
// The five codes that code page leaves undefined are kept as U+0081 etc.
std::string DecodeWindows1252(std::string_view bytes);

// True when `bytes` are well-formed UTF-8 (no overlong forms, surrogates or
// code points beyond U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Text of a file written by the user's editor without a byte-order mark:
// UTF-8 when the bytes are valid UTF-8, else Windows-1252. Text with umlauts
// in that code page is practically never valid UTF-8.
std::string DecodeUnmarkedText(std::string_view bytes);

// The code point of one Windows-1252 byte (undefined codes map to themselves).
char32_t Windows1252CodePoint(unsigned char byte);

// The Windows-1252 byte of a code point, or 0 when the code page lacks it
// (code point 0 itself also gives 0).
unsigned char Windows1252Byte(char32_t codePoint);

// Encodes a code point as UTF-8 and appends it.
void AppendUtf8(std::string& out, char32_t codePoint);

// Decodes the next code point of UTF-8 text at `pos` and advances `pos`.
// A malformed sequence yields U+FFFD and consumes one byte.
char32_t NextCodePoint(std::string_view utf8, std::size_t& pos);

// The text with every malformed UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// Lower-cases ASCII letters and the letters of Latin-1 and Latin Extended-A,
// which covers every letter Windows-1252 can carry. Used where names are
// compared "ignoring letter case".
std::string FoldCase(std::string_view utf8);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Orders names the way people read line numbers: runs of digits compare by
// their value, the rest ignoring letter case, so "2A" < "5" < "29C" < "30Y"
// and "Bus 9" < "Bus 10". Names that compare equal so are ordered bytewise,
// which keeps the order strict and the same on every machine.
bool NaturalLess(std::string_view a, std::string_view b);

// Removes leading and trailing blanks (not tabs).
std::string_view TrimBlanks(std::string_view text);
// Removes leading and trailing blanks and tabs.
std::string_view TrimBlanksAndTabs(std::string_view text);

// Reads a decimal integer like a C literal: blanks and tabs skipped, an
// optional sign, digits up to the first other character. No digits gives 0;
// values beyond the 32-bit range are clamped to it.
int32_t ParseLeadingInt(std::string_view text);

// Converts a value to int32 with clamping (NaN gives 0), rounding half to even.
int32_t RoundToInt32(double value);

}  // namespace tak
