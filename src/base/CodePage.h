// The 8-bit code pages the simulator's files are written in: the one of the
// map author's Windows, which the program cannot see in the files, so the
// user chooses it. Central European maps use 1250, Cyrillic ones 1251.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tak {

enum class CodePage { Windows1250 = 1250, Windows1251 = 1251, Windows1252 = 1252 };

constexpr CodePage kDefaultCodePage = CodePage::Windows1252;

// The code page of a number (1250, 1251, 1252); nothing for any other.
std::optional<CodePage> CodePageFromNumber(long number);
int CodePageNumber(CodePage page);

// The character of one byte (bytes a code page leaves undefined map to
// themselves).
char32_t CodePagePoint(CodePage page, unsigned char byte);

// 8-bit text in `page` as UTF-8.
std::string DecodeCodePage(std::string_view bytes, CodePage page);

// The code page the simulator's files are read in, for the whole process;
// 1252 until set.
void SetMapCodePage(CodePage page);
CodePage MapCodePage();

// Text of a simulator file, decoded in the map code page.
std::string DecodeMapText(std::string_view bytes);

// A word of a file whose bytes read as letters of `other` but not as
// sensible letters of the chosen page: a sign that the file was written in
// `other`. `word` is the word as `other` reads it.
struct CodePageHint {
    CodePage other = kDefaultCodePage;
    std::string word;
};
std::optional<CodePageHint> FindOtherCodePage(std::string_view bytes, CodePage chosen);

}  // namespace tak
