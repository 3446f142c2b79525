// The bounds of what a user can set in a project. The windows' controls offer
// values inside them, and the project file's reader brings a hand-edited
// value back into them, so that no value only a file can hold ever reaches
// the builders and drawings.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tak {

// Output font sizes, in points.
constexpr int32_t kMinFontSize = 6;
constexpr int32_t kMaxFontSize = 72;
// A plan's break hour: kNoBreakHour, or 0 ... kMaxBreakHour for 24 ... 30 o'clock.
constexpr int32_t kNoBreakHour = -1;
constexpr int32_t kMaxBreakHour = 6;
constexpr int32_t kFirstBreakClock = 24;
// A route spider's travel time from one stop to the next, in minutes.
constexpr int32_t kMaxSpiderTravelTime = 24 * 60;
// Bytes of a one-line page heading text: validity, operator, map title.
constexpr std::size_t kMaxHeadingText = 120;

constexpr int32_t LimitFontSize(int32_t size) { return std::clamp(size, kMinFontSize, kMaxFontSize); }
constexpr int32_t LimitBreakHour(int32_t hour) { return std::clamp(hour, kNoBreakHour, kMaxBreakHour); }
constexpr int32_t LimitTravelTime(int32_t minutes) { return std::clamp(minutes, 0, kMaxSpiderTravelTime); }

// A one-line text of a page heading: control characters become blanks, and
// the text is cut to at most kMaxHeadingText bytes, before a character that
// would not fit whole.
std::string LimitHeadingText(std::string text);

}  // namespace tak
