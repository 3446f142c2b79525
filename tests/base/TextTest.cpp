#include <gtest/gtest.h>

#include <algorithm>

#include "base/FileSystem.h"
#include "base/Text.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

TEST(Windows1252, DecodesLettersAndTheHighControlRange) {
    EXPECT_EQ(DecodeWindows1252("S\xFC" "dbahnhof Stra\xDF" "e"), "Südbahnhof Straße");
    EXPECT_EQ(DecodeWindows1252("\x80 \x84\x93\x94 \x8A\x9E"), "€ „“” Šž");
    // Codes the code page leaves undefined still yield a character each.
    EXPECT_EQ(DecodeWindows1252("\x81"), "\xC2\x81");
}

TEST(FoldCase, LowersEveryLetterTheCodePageCanCarry) {
    EXPECT_EQ(FoldCase("ÄÖÜ ABC Œ Š Ÿ ×"), "äöü abc œ š ÿ ×");
    EXPECT_TRUE(EqualsIgnoringCase("Linie 12 SÜD", "linie 12 süd"));
    EXPECT_FALSE(EqualsIgnoringCase("Linie 12", "Linie 13"));
    // Malformed UTF-8 passes through unchanged instead of being lost.
    EXPECT_EQ(FoldCase("A\xC3"), "a\xC3");
}

TEST(NextCodePoint, StopsSafelyAtCutOffSequences) {
    std::string text = "\xE2\x82";  // the first two bytes of "€"
    std::size_t pos = 0;
    EXPECT_EQ(NextCodePoint(text, pos), U'\xFFFD');
    EXPECT_EQ(pos, 1u);
}

TEST(ParseLeadingInt, ReadsLikeADecimalLiteralAndClampsOverflow) {
    EXPECT_EQ(ParseLeadingInt(" \t-42xyz"), -42);
    EXPECT_EQ(ParseLeadingInt("+7"), 7);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), -2147483647 - 1);
}

TEST(FindPathIgnoringCase, FindsFoldersAndFilesInAnyCase) {
    test::TempDir dir;
    dir.Write("ttdata/BUSSTOPS.CFG", "x");
    auto found = FindPathIgnoringCase(dir.path(), fs::path("TTData") / "Busstops.cfg");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->filename(), "BUSSTOPS.CFG");
    EXPECT_FALSE(FindPathIgnoringCase(dir.path(), fs::path("TTData") / "Missing.cfg"));
}

TEST(NaturalLess, OrdersLineNumbersByValueAndIsAStrictOrder) {
    std::vector<std::string> names{"30Y", "Bus 10", "5", "029C", "2A", "bus 9", "2a", "N1", "", "5", "29"};
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    EXPECT_EQ(names, (std::vector<std::string>{"", "2A", "2a", "5", "5", "29", "029C", "30Y", "bus 9", "Bus 10", "N1"}));
    // Irreflexive and asymmetric also where only letter case or leading zeros differ.
    for (auto [a, b] : std::vector<std::pair<const char*, const char*>>{{"2A", "2a"}, {"07", "7"}, {"x", "X"}}) {
        EXPECT_FALSE(NaturalLess(a, a));
        EXPECT_NE(NaturalLess(a, b), NaturalLess(b, a)) << a << " " << b;
    }
    // Numbers longer than any integer type still compare by value.
    EXPECT_TRUE(NaturalLess("99999999999999999999999", "100000000000000000000000"));
}

TEST(ListFilesWithExtension, MatchesExtensionsIgnoringCaseAndSkipsFolders) {
    test::TempDir dir;
    dir.Write("b.TTP", "");
    dir.Write("a.ttp", "");
    dir.Write("c.ttl", "");
    fs::create_directories(dir.path() / "folder.ttp");
    auto files = ListFilesWithExtension(dir.path(), ".ttp");
    ASSERT_TRUE(files);
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[0].filename(), "a.ttp");
    EXPECT_EQ((*files)[1].filename(), "b.TTP");
    EXPECT_FALSE(ListFilesWithExtension(dir.path() / "missing", ".ttp"));
}

}  // namespace
}  // namespace tak
