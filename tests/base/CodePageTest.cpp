// The code pages of the simulator's files: decoding, and telling from a
// file's words that it was written in another code page than the chosen one.
#include <gtest/gtest.h>

#include "base/CodePage.h"

namespace tak {
namespace {

TEST(CodePage, EachPageDecodesItsOwnLetters) {
    // "Łódź", "Říčany" in 1250; "Ниш" in 1251; the same bytes in 1252.
    EXPECT_EQ(DecodeCodePage("\xA3\xF3\x64\x9F", CodePage::Windows1250), "\xC5\x81\xC3\xB3\x64\xC5\xBA");
    EXPECT_EQ(DecodeCodePage("\xD8\xED\xE8\x61ny", CodePage::Windows1250), "\xC5\x98\xC3\xAD\xC4\x8D\x61ny");
    EXPECT_EQ(DecodeCodePage("\xCD\xE8\xF8", CodePage::Windows1251), "\xD0\x9D\xD0\xB8\xD1\x88");
    EXPECT_EQ(DecodeCodePage("\xCD\xE8\xF8", CodePage::Windows1252), "\xC3\x8D\xC3\xA8\xC3\xB8");
    // The euro sign sits at 0x80 in 1250 and 1252 but at 0x88 in 1251.
    EXPECT_EQ(CodePagePoint(CodePage::Windows1250, 0x80), U'\u20AC');
    EXPECT_EQ(CodePagePoint(CodePage::Windows1251, 0x88), U'\u20AC');
    EXPECT_EQ(CodePagePoint(CodePage::Windows1251, 0x41), U'A');

    EXPECT_EQ(CodePageFromNumber(1251), CodePage::Windows1251);
    EXPECT_FALSE(CodePageFromNumber(1253));
    EXPECT_FALSE(CodePageFromNumber(0));

    SetMapCodePage(CodePage::Windows1251);
    EXPECT_EQ(DecodeMapText("\xCD\xE8\xF8"), "\xD0\x9D\xD0\xB8\xD1\x88");
    SetMapCodePage(kDefaultCodePage);
    EXPECT_EQ(DecodeMapText("\xCD\xE8\xF8"), "\xC3\x8D\xC3\xA8\xC3\xB8");
}

TEST(CodePage, WordsOfAnotherPageAreFoundWithTheirFile) {
    struct Case {
        std::string bytes;
        CodePage chosen;
        std::optional<CodePage> other;
        std::string word;  // as the other page reads it
    };
    const std::vector<Case> cases = {
        // Polish in 1250: "£ódŸ" is no word of 1252.
        {"[busstop]\r\nLodz \xA3\xF3\x64\x9F Kaliska\r\n", CodePage::Windows1252, CodePage::Windows1250,
         "\xC5\x81\xC3\xB3\x64\xC5\xBA"},
        // Czech in 1250 reads as letters in 1252 too ("Øíèany"); two letters typical of 1250 tell.
        {"\xD8\xED\xE8\x61ny", CodePage::Windows1252, CodePage::Windows1250, "\xC5\x98\xC3\xAD\xC4\x8D\x61ny"},
        // Cyrillic in 1251 reads as a run of accented letters in a Latin page.
        {"Stop \xCD\xE8\xF8", CodePage::Windows1252, CodePage::Windows1251, "\xD0\x9D\xD0\xB8\xD1\x88"},
        {"Stop \xCD\xE8\xF8", CodePage::Windows1250, CodePage::Windows1251, "\xD0\x9D\xD0\xB8\xD1\x88"},
        // German in 1252 read as 1251 mixes Latin and Cyrillic letters ("Mьller").
        {"M\xFCller", CodePage::Windows1251, CodePage::Windows1252, "M\xC3\xBCller"},
        // Text of the chosen page raises nothing.
        {"M\xFCller Stra\xDF\x65 Gen\xE8ve Caf\xE9", CodePage::Windows1252, std::nullopt, ""},
        {"\xA3\xF3\x64\x9F \xD8\xED\xE8\x61ny K\xF5szeg", CodePage::Windows1250, std::nullopt, ""},
        {"\xCC\xEE\xF1\xEA\xE2\xE0 \xCD\xE8\xF8", CodePage::Windows1251, std::nullopt, ""},
        {"plain ASCII only", CodePage::Windows1251, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        std::optional<CodePageHint> hint = FindOtherCodePage(c.bytes, c.chosen);
        ASSERT_EQ(hint.has_value(), c.other.has_value()) << c.bytes;
        if (!hint) continue;
        EXPECT_EQ(hint->other, *c.other) << c.bytes;
        EXPECT_EQ(hint->word, c.word) << c.bytes;
    }
}

}  // namespace
}  // namespace tak
