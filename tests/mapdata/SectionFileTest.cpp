#include <gtest/gtest.h>

#include "mapdata/SectionFile.h"

namespace tak {
namespace {

TEST(SectionReader, RemembersTheLineBeforeAHeaderOnlyWhenItWasSkipped) {
    SectionReader reader("comment\r\n12 - Main Street\r\n[station]\r\n5\r\n[station]\rnext\n");
    std::string_view previous;
    EXPECT_EQ(reader.NextSection(previous), "station");
    EXPECT_EQ(previous, "12 - Main Street");
    EXPECT_EQ(reader.NextInteger(), 5);
    EXPECT_EQ(reader.NextSection(previous), "station");
    EXPECT_EQ(previous, "");  // the header followed the consumed value directly
    EXPECT_EQ(reader.NextValue(), "next");
    EXPECT_EQ(reader.NextSection(previous), "");
}

TEST(SectionReader, HeadersAreTrimmedOfBlanksButNotTabs) {
    SectionReader reader("   [trip]  \n\t[station]\n[profile] trailing\n");
    std::string_view previous;
    EXPECT_EQ(reader.NextSection(previous), "trip");
    EXPECT_EQ(reader.NextSection(previous), "profile");
    EXPECT_EQ(previous, "\t[station]");
}

TEST(SectionReader, MalformedHeaderEndsTheFile) {
    for (const char* text : {"[trip\nA\n[station]\n", "[]\n[station]\n"}) {
        SectionReader reader(text);
        std::string_view previous;
        EXPECT_EQ(reader.NextSection(previous), "") << text;
        EXPECT_EQ(reader.NextSection(previous), "") << text;
        EXPECT_TRUE(reader.AtEnd());
    }
}

TEST(SectionReader, MissingValuesAtTheEndReadAsEmpty) {
    SectionReader reader("[profile]\nName");
    std::string_view previous;
    EXPECT_EQ(reader.NextSection(previous), "profile");
    EXPECT_EQ(reader.NextValue(), "Name");
    EXPECT_EQ(reader.NextMinutes(), 0);
    EXPECT_EQ(reader.NextValue(), "");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ParseMinutes, ConvertsToWholeSecondsRoundingHalfToEven) {
    EXPECT_EQ(ParseMinutes("2.5"), 150);
    EXPECT_EQ(ParseMinutes("0.01"), 1);
    EXPECT_EQ(ParseMinutes(" 331.000 "), 19860);
    EXPECT_EQ(ParseMinutes("-1.5"), -90);
    EXPECT_EQ(ParseMinutes("0.125"), 8);  // 7.5 s
    EXPECT_EQ(ParseMinutes("0.375"), 22);  // 22.5 s
    EXPECT_EQ(ParseMinutes("1e400"), 2147483647);
    EXPECT_EQ(ParseMinutes("1e-400"), 0);
}

TEST(ParseMinutes, TextThatIsNotANumberGivesZero) {
    for (const char* text : {"abc", "", "2,5", "1.5abc", "nan", "inf", "-", "."}) {
        EXPECT_EQ(ParseMinutes(text), 0) << text;
    }
}

}  // namespace
}  // namespace tak
