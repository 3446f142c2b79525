#include "output/OutputTexts.h"

#include <algorithm>
#include <bit>

#include "base/Language.h"
#include "base/Text.h"

namespace tak {

namespace {

bool HasBit(ServiceDays days, int bit) { return (days >> bit) & 1u; }

int CountDayBits(ServiceDays days) { return std::popcount(days & 0xFFu); }

// Joins texts into one string. Written out instead of `"a" + text`, which
// GCC 12 in release builds wrongly warns about (-Wrestrict).
std::string Joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text += part;
    return text;
}

std::string DayName(const LanguageTable& lang, int bit) {
    return Joined({" ", lang.Lang(Joined({"Day", std::to_string(bit)}))});
}

// Which bits to list and whether the sentence says "only" or "not".
struct DayListForm {
    bool only = false;
    ServiceDays listed = 0;
};

DayListForm ChooseDayListForm(ServiceDays missing, ServiceDays commonDays, ServiceDays planDays) {
    int missingDays = CountDayBits(missing);
    if (missingDays > 0) {
        bool only = CountDayBits(commonDays) < missingDays;
        return {only, only ? commonDays : missing};
    }
    // Only the complementary pair differs.
    bool only = HasBit(missing, 9) || (planDays & 0x1Fu) == 0;
    return {only, only ? (commonDays & 0x300u) : missing};
}

}  // namespace

namespace {
bool IsTimeValue(int32_t value) { return value != PassThrough && value != NotServed; }
}  // namespace

std::string FormatClock(int32_t time) {
    if (time == PassThrough) return "  |  ";
    if (time == NotServed) return "     ";
    int64_t minutes = RoundToMinute(time) / 60;
    int64_t ofDay = ((minutes % 1440) + 1440) % 1440;
    int hours = static_cast<int>(ofDay / 60);
    int minutesOfHour = static_cast<int>(ofDay % 60);
    // Called for every cell of every table: digits by hand, not through printf.
    return {static_cast<char>('0' + hours / 10), static_cast<char>('0' + hours % 10), ':',
            static_cast<char>('0' + minutesOfHour / 10), static_cast<char>('0' + minutesOfHour % 10)};
}

std::string FormatDuration(int32_t duration) {
    if (!IsTimeValue(duration)) return FormatClock(duration);
    int64_t minutes = RoundToMinute(duration) / 60;
    std::string sign = minutes < 0 ? "-" : "";
    minutes = minutes < 0 ? -minutes : minutes;
    std::string hours = std::to_string(minutes / 60);
    if (hours.size() < 2) hours.insert(hours.begin(), '0');
    int minutesOfHour = static_cast<int>(minutes % 60);
    return sign + hours + ":" + static_cast<char>('0' + minutesOfHour / 10) +
           static_cast<char>('0' + minutesOfHour % 10);
}

DayDifference DescribeDayDifference(const LanguageTable& lang, ServiceDays tripDays, ServiceDays planDays) {
    DayDifference result;
    if (tripDays & kDayAfterHoliday) {
        result.text = lang.Lang("AfterHoliday");
        result.count = 1;
        result.lastBit = 10;
        result.only = true;
        return result;
    }
    ServiceDays missing = planDays & ~tripDays;
    if (missing == 0) return result;
    result.commonDays = tripDays & planDays;
    DayListForm form = ChooseDayListForm(missing, result.commonDays, planDays);
    result.only = form.only;

    // Names are put in front while walking downwards, so the sentence lists
    // the days in ascending order.
    std::string& s = result.text;
    for (int bit = 9; bit >= 0; --bit) {
        if (!HasBit(form.listed, bit) || !HasBit(planDays, bit)) continue;
        if (result.count == 1) {
            bool pair = result.lastBit == 8 || result.lastBit == 9;
            s = Joined({" ", lang.Lang(pair ? "And" : "Or"), s});
        } else if (result.count >= 2) {
            s = "," + s;
        }
        if (bit == 8 && (HasBit(form.listed, 9) || !HasBit(planDays, 9))) continue;
        if (bit == 9 && (HasBit(form.listed, 8) || !HasBit(planDays, 8))) continue;
        s = DayName(lang, bit) + s;
        ++result.count;
        result.lastBit = bit;
    }
    s = lang.Lang(result.only ? "Only" : "Not") + s;
    return result;
}

std::string TimetableFootnoteMark(const LanguageTable& lang, FootnoteRegister& footnotes, ServiceDays tripDays,
                                  ServiceDays planDays) {
    DayDifference difference = DescribeDayDifference(lang, tripDays, planDays);
    if (difference.text.empty()) return "";
    for (auto& [mark, footnote] : footnotes) {
        if (footnote.commonDays == difference.commonDays) {
            footnote.text = difference.text;
            return mark;
        }
    }
    std::string mark;
    if (difference.count < 2) {
        mark = Joined({difference.only ? "" : "N", std::to_string(difference.lastBit + 1)});
    } else {
        mark = "A";
        while (footnotes.contains(mark)) ++mark[0];
    }
    footnotes[mark] = Footnote{difference.text, difference.commonDays};
    return mark;
}

std::string TourDaysText(const LanguageTable& lang, ServiceDays days) {
    std::string s;
    int count = 0;
    bool open = false;
    int top = 0;
    int bottom = 0;
    auto closeRun = [&] {
        open = false;
        if (top == bottom) return;
        if (top - bottom == 1) {
            if (count == 1) {
                s = DayName(lang, bottom) + " " + lang.Lang("And") + s;
                ++count;
            } else {
                s = DayName(lang, bottom) + "," + s;
            }
        } else {
            s = DayName(lang, bottom) + " -" + s;
        }
    };
    for (int bit = 7; bit >= 0; --bit) {
        if (!HasBit(days, bit)) {
            if (open) closeRun();
            continue;
        }
        if (!open) {
            if (count == 1) s = Joined({" ", lang.Lang("And"), s});
            if (count >= 2) s = "," + s;
            s = DayName(lang, bit) + s;
            ++count;
            open = true;
            top = bit;
        }
        bottom = bit;
    }
    if (open) closeRun();
    if (HasBit(days, 8) && !HasBit(days, 9)) s += ", " + lang.Lang("Only") + " " + lang.Lang("Day8");
    if (HasBit(days, 9) && !HasBit(days, 8)) s += ", " + lang.Lang("Only") + " " + lang.Lang("Day9");
    return s.empty() ? s : s.substr(1);
}

std::string TourHeading(const LanguageTable& lang, const Tour& tour) {
    return lang.Lang("Tour") + ": " + tour.name + ", " + TourDaysText(lang, tour.days);
}

int CharacterCount(std::string_view utf8) {
    int count = 0;
    for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string CenterText(std::string_view text, int width) {
    int length = CharacterCount(text);
    if (length > width) {
        std::size_t pos = 0;
        for (int i = 0; i < width && pos < text.size(); ++i) NextCodePoint(text, pos);
        return std::string(text.substr(0, pos));
    }
    int pad = width - length;
    return std::string(pad / 2, ' ') + std::string(text) + std::string(pad - pad / 2, ' ');
}

}  // namespace tak
