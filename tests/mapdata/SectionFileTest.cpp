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

TEST(ParseWholeNumber, TakesOnlyASignedRunOfDigits) {
    EXPECT_EQ(ParseWholeNumber("12"), 12);
    EXPECT_EQ(ParseWholeNumber(" \t-3\t "), -3);
    EXPECT_EQ(ParseWholeNumber("+4"), 4);
    EXPECT_EQ(ParseWholeNumber("2147483647"), 2147483647);
    for (const char* text : {"", " ", "-", "+-1", "1e3", "12abc", "1.0", "0x10", "NaN", "2147483648", "-99999999999"}) {
        EXPECT_EQ(ParseWholeNumber(text), std::nullopt) << text;
    }
}

TEST(ParseMinutesChecked, TakesDecimalMinutesAndRefusesOtherForms) {
    EXPECT_EQ(ParseMinutesChecked("331.000"), 331 * 60);
    EXPECT_EQ(ParseMinutesChecked(" .5\t"), 30);
    EXPECT_EQ(ParseMinutesChecked("5."), 300);
    EXPECT_EQ(ParseMinutesChecked("-5"), -300);  // a form the files may hold; its range is the reader's matter
    EXPECT_EQ(ParseMinutesChecked("0009999999"), 9999999 * 60);
    for (const char* text : {"", ".", "-", "NaN", "nan", "inf", "-Infinity", "1e999", "1e2", "3,5", "1.2.3", "12 min",
                             "10000000", "99999999999999999999"}) {
        EXPECT_EQ(ParseMinutesChecked(text), std::nullopt) << text;
    }
}

TEST(SectionReader, CheckedValuesKeepTheirLineForAFinding) {
    SectionReader reader("[addtrip]\r\nx\r\n0\r\n1e999\r\n");
    std::string_view previous;
    ASSERT_EQ(reader.NextSection(previous), "addtrip");
    reader.NextValue();
    EXPECT_EQ(reader.NextWholeNumber(), 0);
    EXPECT_EQ(reader.NextMinutesChecked(), std::nullopt);
    EXPECT_EQ(reader.LastValue(), "1e999");
    EXPECT_EQ(reader.LastValueLine(), 4);
}

}  // namespace
}  // namespace tak
