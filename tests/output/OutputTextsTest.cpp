#include <gtest/gtest.h>

#include "base/Language.h"
#include "output/OutputTexts.h"

namespace tak {
namespace {

class OutputTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lang.LoadFromBytes(
            "Day0 = Mo\nDay1 = Tu\nDay2 = We\nDay3 = Th\nDay4 = Fr\nDay5 = Sa\nDay6 = Su\nDay7 = Hol\n"
            "Day8 = School\nDay9 = Holidays\nAnd = and\nOr = or\nOnly = only\nNot = not\n"
            "AfterHoliday = after holidays\nTour = Tour\n"));
    }
    LanguageTable lang;
};

constexpr ServiceDays kWeekdays = 0x31F;

TEST_F(OutputTextsTest, DayDifferenceListsDaysInAscendingOrderWithTheRightConnectors) {
    // The shorter list wins: two missing days are named rather than three running ones.
    EXPECT_EQ(DescribeDayDifference(lang, 0x307, kWeekdays).text, "not Th or Fr");
    EXPECT_EQ(DescribeDayDifference(lang, 0x307, 0x3FF).text, "only Mo, Tu or We");
    EXPECT_EQ(DescribeDayDifference(lang, 0x303, kWeekdays).text, "only Mo or Tu");
    auto notFriday = DescribeDayDifference(lang, 0x30F, kWeekdays);
    EXPECT_EQ(notFriday.text, "not Fr");
    EXPECT_FALSE(notFriday.only);
    EXPECT_EQ(DescribeDayDifference(lang, 0x301, kWeekdays).text, "only Mo");
    EXPECT_EQ(DescribeDayDifference(lang, kWeekdays | 0x20, kWeekdays).text, "");
}

TEST_F(OutputTextsTest, DayDifferenceOfThePairBitsNamesTheKindOfDay) {
    // Runs Monday to Friday on school days only.
    EXPECT_EQ(DescribeDayDifference(lang, 0x11F, kWeekdays).text, "only School");
    // Runs on every weekday except school days.
    EXPECT_EQ(DescribeDayDifference(lang, 0x21F, kWeekdays).text, "not School");
    // A plan of Saturdays only names the kind of day in the "only" form.
    EXPECT_EQ(DescribeDayDifference(lang, 0x220, 0x320).text, "only Holidays");
}

TEST_F(OutputTextsTest, FootnoteMarksFollowTheDaysAndAreSharedByEqualCommonDays) {
    FootnoteRegister footnotes;
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, kWeekdays, kWeekdays), "");
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, 0x30F, kWeekdays), "N5");
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, 0x308, kWeekdays), "4");
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, 0x307, kWeekdays), "A");
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, 0x303, kWeekdays), "B");
    // Other tour, same common days: the same entry.
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, 0x307 | 0x20, kWeekdays), "A");
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, kDayAfterHoliday, kWeekdays), "11");
    EXPECT_EQ(TimetableFootnoteMark(lang, footnotes, kDayAfterHoliday | 1, kWeekdays), "11");
    EXPECT_EQ(footnotes.size(), 5u);
    EXPECT_EQ(footnotes["11"].text, "after holidays");
}

TEST_F(OutputTextsTest, TourDaysJoinRunsAndNeighbours) {
    EXPECT_EQ(TourDaysText(lang, 0x01F), "Mo - Fr");
    EXPECT_EQ(TourDaysText(lang, 0x060), "Sa and Su");
    EXPECT_EQ(TourDaysText(lang, 0x015), "Mo, We and Fr");
    EXPECT_EQ(TourDaysText(lang, 0x013), "Mo, Tu and Fr");
    EXPECT_EQ(TourDaysText(lang, 0x3C0), "Su and Hol");
    EXPECT_EQ(TourDaysText(lang, 0x11F), "Mo - Fr, only School");
    Tour tour;
    tour.name = "Run 3";
    tour.days = 0x31F;
    EXPECT_EQ(TourHeading(lang, tour), "Tour: Run 3, Mo - Fr");
}

TEST(ClockTexts, RoundToTheMinuteAndWrapPastMidnight) {
    EXPECT_EQ(FormatClock(PassThrough), "  |  ");
    EXPECT_EQ(FormatClock(NotServed), "     ");
    EXPECT_EQ(FormatClock(91800), "01:30");
    EXPECT_EQ(FormatClock(59), "00:01");
    EXPECT_EQ(FormatClock(29), "00:00");
    EXPECT_EQ(FormatClock(23 * 3600 + 59 * 60 + 40), "00:00");
}

TEST(ClockTexts, HalfMinutesRoundUpSoStopsAMinuteApartStayApart) {
    EXPECT_EQ(RoundToMinute(90), 120);
    EXPECT_EQ(RoundToMinute(150), 180);
    EXPECT_EQ(RoundToMinute(89), 60);
    EXPECT_EQ(RoundToMinute(-30), 0);  // a pause of half a minute too few
    EXPECT_EQ(RoundToMinute(-31), -60);
    EXPECT_EQ(RoundToMinute(-90), -60);
    // A trip leaving at 05:56:30 reaches stops at +7 and +8 minutes.
    int32_t start = 5 * 3600 + 56 * 60 + 30;
    EXPECT_EQ(FormatClock(start + 7 * 60), "06:04");
    EXPECT_EQ(FormatClock(start + 8 * 60), "06:05");
}

TEST(CenterText, PadsBothSidesOrCuts) {
    EXPECT_EQ(CenterText("abc", 8), "  abc   ");
    EXPECT_EQ(CenterText("abcdef", 4), "abcd");
    EXPECT_EQ(CenterText("Süd", 5), " Süd ");
    EXPECT_EQ(CenterText("Südbahn", 2), "Sü");
}

}  // namespace
}  // namespace tak
