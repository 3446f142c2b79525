// The building blocks: number and string syntax, the byte buffer, font widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>

#include "pdf/PaginorBuffer.h"
#include "pdf/PaginorFormat.h"
#include "pdf/Paginor_res.h"

namespace tak {
namespace {

TEST(PdfFormat, NumbersAreFixedPointWithAPointWhateverTheValue) {
    EXPECT_EQ(FormatNumber(841.89f, 2), "841.89");
    EXPECT_EQ(FormatNumber(0.5f, 3), "0.500");
    EXPECT_EQ(FormatNumber(28.346457f, 2), "28.35");
    EXPECT_EQ(FormatNumber(1234567.0f, 2), "1234567.00");  // no digit grouping
    EXPECT_EQ(FormatNumber(-0.0f, 2), "0.00");
    EXPECT_EQ(FormatNumber(-0.001f, 2), "-0.00");  // a small negative value keeps its sign
    EXPECT_EQ(FormatNumber(-785.197f, 2), "-785.20");
    EXPECT_EQ(FormatNumber(0.70710677f, 5), "0.70711");
    // A bad measure must not break the syntax with "nan" or "inf".
    EXPECT_EQ(FormatNumber(std::numeric_limits<float>::quiet_NaN(), 2), "0.00");
    EXPECT_EQ(FormatNumber(std::numeric_limits<float>::infinity(), 2), "0.00");
}

// The writer formats most numbers on a short road; it must round exactly as
// the general fixed-point formatting of the standard library does.
TEST(PdfFormat, NumbersRoundLikeTheStandardFormatting) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> magnitude(-6.0f, 9.5f);
    auto standard = [](float value, int decimals) {
        char text[80];
        auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
        return std::string(text, end);
    };
    for (int round = 0; round < 200000; ++round) {
        float value = std::pow(10.0f, magnitude(random)) * (round % 2 ? -1.0f : 1.0f);
        if (round % 3 == 0) value = std::round(value * 1000) / 1000;  // near the halfway points
        if (value == 0) continue;  // an exact negative zero loses its sign on purpose
        int decimals = round % 6;
        ASSERT_EQ(FormatNumber(value, decimals), standard(value, decimals)) << value << " " << decimals;
    }
    for (float halfway : {0.125f, 0.375f, 2.5f, 120.515f, 31.185f, -0.005f, 1e9f, 3e12f}) {
        for (int decimals = 0; decimals <= 5; ++decimals) {
            EXPECT_EQ(FormatNumber(halfway, decimals), standard(halfway, decimals)) << halfway;
        }
    }
}

TEST(PdfFormat, TextBecomesWinAnsiBytesWithQuestionMarksForTheRest) {
    EXPECT_EQ(EncodeWinAnsi("Abc"), "Abc");
    EXPECT_EQ(EncodeWinAnsi("\xC3\xA4\xC3\x96\xC3\x9F"), "\xE4\xD6\xDF");    // äÖß
    EXPECT_EQ(EncodeWinAnsi("\xE2\x82\xAC"), "\x80");                        // €
    EXPECT_EQ(EncodeWinAnsi("\xE2\x80\x93\xC5\x92\xC5\xBE"), "\x96\x8C\x9E");  // – Œ ž
    EXPECT_EQ(EncodeWinAnsi("\xC5\x81"), "?");                               // Ł is not in code page 1252
    EXPECT_EQ(EncodeWinAnsi("\xE4\xB8\xAD"), "?");                           // 中
    EXPECT_EQ(EncodeWinAnsi("\xF0\x9F\x98\x80"), "?");                       // an emoji, one character
    EXPECT_EQ(EncodeWinAnsi("\xC2\x81"), "?");                               // a code the code page leaves out
    EXPECT_EQ(EncodeWinAnsi("\xED\xA0\x80x"), "?x");                         // an unpaired surrogate
    EXPECT_EQ(EncodeWinAnsi("a\xFF" "b"), "a?b");                            // a stray byte
}

TEST(PdfFormat, StringBytesEscapeParenthesesBackslashesAndControls) {
    std::string out;
    AppendEscapedBytes(out, std::string("(a\\b)\b\t\n\f\r\x01\xE4", 12));
    EXPECT_EQ(out, std::string("\\(a\\\\b\\)\\b\\t\\n\\f\\r\x01\xE4", 20));

    std::string info;
    AppendUtf16TextString(info, "A(\xE2\x82\xAC");
    EXPECT_EQ(info, std::string("\xFE\xFF\0A\0\\(\x20\xAC", 9));
}

TEST(PdfByteBuffer, GrowsInWholeStepsOf64000AlwaysLargerThanNeeded) {
    ByteBuffer document;
    ASSERT_TRUE(document.Reserve(63999));
    EXPECT_EQ(document.Capacity(), 64000u);
    ByteBuffer page;
    ASSERT_TRUE(page.Reserve(64000));
    EXPECT_EQ(page.Capacity(), 128000u);

    ByteBuffer grown;
    ASSERT_TRUE(grown.Append(std::string(63999, 'a')));
    EXPECT_EQ(grown.Capacity(), 64000u);
    ASSERT_TRUE(grown.Append("b"));  // exactly full: no growth
    EXPECT_EQ(grown.Capacity(), 64000u);
    ASSERT_TRUE(grown.AppendLine("c"));  // needs 64002
    EXPECT_EQ(grown.Capacity(), 128000u);
    EXPECT_EQ(grown.Size(), 64002u);
    EXPECT_EQ(grown.View().substr(63998), "abc\n");
}

TEST(PdfByteBuffer, AnAppendThatCannotGrowIsDroppedWhole) {
    ByteBuffer buffer;
    buffer.SetCapacityLimit(64000);
    ASSERT_TRUE(buffer.Append(std::string(60000, 'x')));
    EXPECT_FALSE(buffer.AppendLine(std::string(4000, 'y')));  // needs 64001
    EXPECT_EQ(buffer.Size(), 60000u);
    EXPECT_TRUE(buffer.AppendLine(std::string(3999, 'y')));
    EXPECT_EQ(buffer.Size(), 64000u);
}

TEST(PdfCoreFonts, TellingRowsComeOutOfTheTables) {
    struct Row {
        const char* key;
        std::array<int, 10> widths;  // blank 0 A W a i m 128 223 228
    };
    const Row rows[] = {
        {"HELVETICA", {278, 556, 667, 944, 556, 222, 833, 556, 611, 556}},
        {"HELVETICAB", {278, 556, 722, 944, 556, 278, 889, 556, 611, 556}},
        {"TIMES", {250, 500, 722, 944, 444, 278, 778, 500, 500, 444}},
        {"TIMESB", {250, 500, 722, 1000, 500, 278, 833, 500, 556, 500}},
        {"TIMESI", {250, 500, 611, 833, 500, 278, 722, 500, 500, 500}},
    };
    const int codes[10] = {' ', '0', 'A', 'W', 'a', 'i', 'm', 128, 223, 228};
    for (const Row& row : rows) {
        const CoreFont* font = FindCoreFont(row.key);
        ASSERT_NE(font, nullptr) << row.key;
        for (int k = 0; k < 10; ++k) {
            EXPECT_EQ((*font->widths)[codes[k]], row.widths[k]) << row.key << " code " << codes[k];
        }
    }
}

TEST(PdfCoreFonts, ControlAndUnassignedCodesAndTheOtherFonts) {
    for (const char* key : {"HELVETICA", "HELVETICAB", "HELVETICAI", "HELVETICABI", "TIMES", "TIMESB",
                            "TIMESI", "TIMESBI"}) {
        const GlyphWidths& widths = *FindCoreFont(key)->widths;
        for (int code = 0; code < 32; ++code) EXPECT_EQ(widths[code], widths[' ']) << key;
        for (int code : {127, 129, 141, 143, 144, 157}) EXPECT_EQ(widths[code], 350) << key << " " << code;
        EXPECT_EQ(widths[160], widths[' ']) << key;  // no-break space
        EXPECT_EQ(widths[173], widths['-']) << key;  // soft hyphen
    }
    // The oblique faces measure like their upright forms.
    EXPECT_EQ(*FindCoreFont("HELVETICAI")->widths, *FindCoreFont("HELVETICA")->widths);
    EXPECT_EQ(*FindCoreFont("HELVETICABI")->widths, *FindCoreFont("HELVETICAB")->widths);

    const GlyphWidths& symbol = *FindCoreFont("SYMBOL")->widths;
    EXPECT_EQ(symbol[0], 250);
    EXPECT_EQ(symbol[' '], 250);
    EXPECT_EQ(symbol['a'], 631);  // alpha
    for (int code : {127, 128, 129, 141, 143, 144, 157, 240}) EXPECT_EQ(symbol[code], 0) << code;
    const GlyphWidths& dingbats = *FindCoreFont("ZAPFDINGBATS")->widths;
    EXPECT_EQ(dingbats[0], 0);
    EXPECT_EQ(dingbats[' '], 278);
    EXPECT_EQ(dingbats['!'], 974);
    EXPECT_EQ(dingbats[127], 0);
    for (const char* key : {"COURIER", "COURIERB", "COURIERI", "COURIERBI"}) {
        const GlyphWidths& widths = *FindCoreFont(key)->widths;
        EXPECT_TRUE(std::all_of(widths.begin(), widths.end(), [](uint16_t w) { return w == 600; }));
    }
    EXPECT_EQ(FindCoreFont("HELVETICAU"), nullptr);
    EXPECT_EQ(FindCoreFont("ARIAL"), nullptr);  // the writer maps it before looking up
}

}  // namespace
}  // namespace tak
