// Text pieces every output document shares: clock times, the sentences that
// tell on which days a trip deviates, tour day ranges and text centring.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "mapdata/MapData.h"

namespace tak {

class LanguageTable;

// Time cell sentinels: the trip does not serve the row / passes it without stopping.
constexpr int32_t NotServed = std::numeric_limits<int32_t>::min();
constexpr int32_t PassThrough = NotServed + 1;

// A time worked out in 64 bits, as a time cell holds it: above the two
// sentinels, and at most the largest 32-bit value.
constexpr int32_t ClampTime(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, int64_t{PassThrough} + 1, std::numeric_limits<int32_t>::max()));
}

// The bit a trip gets for the day after a public holiday (output only).
constexpr ServiceDays kDayAfterHoliday = 1u << 10;

// "hh:mm" of the rounded time, hours modulo 24; sentinels print as blanks
// ("     ") or a bar ("  |  ").
std::string FormatClock(int32_t time);

// A length of time as "hh:mm" of the rounded value, hours not wrapped; a
// negative one (a trip that leaves before the one before it arrives) as
// "-hh:mm". Sentinels print as FormatClock prints them.
std::string FormatDuration(int32_t duration);

struct DayDifference {
    std::string text;  // empty when the trip runs on every day of the plan
    bool only = false;
    int count = 0;
    int lastBit = 0;
    ServiceDays commonDays = 0;
};

// The sentence telling on which of the plan's days a trip deviates, e.g.
// "only Mon, Tue or Wed" or "not Sat".
DayDifference DescribeDayDifference(const LanguageTable& lang, ServiceDays tripDays, ServiceDays planDays);

struct Footnote {
    std::string text;
    ServiceDays commonDays = 0;
};
using FootnoteRegister = std::map<std::string, Footnote>;

// The footnote mark of a trip ("" when it runs on every plan day); trips with
// the same common days share one register entry.
std::string TimetableFootnoteMark(const LanguageTable& lang, FootnoteRegister& footnotes, ServiceDays tripDays,
                                  ServiceDays planDays);

// Compact day text of a tour, e.g. "Mon - Fri" or "Sat and Sun, only <Day8>".
std::string TourDaysText(const LanguageTable& lang, ServiceDays days);

// "Tour: <name>, <days>".
std::string TourHeading(const LanguageTable& lang, const Tour& tour);

// Centres `text` in `width` characters, cutting it when it is longer.
std::string CenterText(std::string_view text, int width);

// Number of characters (code points) of UTF-8 text.
int CharacterCount(std::string_view utf8);

}  // namespace tak
