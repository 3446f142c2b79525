#include "project/Project.h"

#include <algorithm>

#include "project/ProjectLimits.h"

namespace tak {

// A project without a file starts with one of the PDF writer's own fonts; a
// file without "FontName" asks for Arial, which the writer draws as Helvetica.
OutputOpt DefaultOutputOpt() {
    OutputOpt options;
    options.fontName = "Helvetica";
    return options;
}

OutputOpt FileDefaultOutputOpt() { return OutputOpt{}; }

StopTableTrip& AddStopTableTrip(StopTable& table, const Trip& trip) {
    StopTableTrip& entry = table.trips.emplace_back();
    entry.key = table.nextTripKey++;
    entry.trip = &trip;
    return entry;
}

const StopTableTrip* FindStopTableTrip(const StopTable& table, StopTableTripKey key) {
    if (key == kNoStopTableTrip) return nullptr;
    for (const auto& entry : table.trips) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

void OrderSameWayTargetsFirst(StopTable& table) {
    auto& trips = table.trips;
    for (std::size_t i = 0; i < trips.size(); ++i) {
        StopTableTripKey target = trips[i].sameWay;
        if (target == kNoStopTableTrip) continue;
        auto found = std::find_if(trips.begin() + static_cast<std::ptrdiff_t>(i) + 1, trips.end(),
                                  [&](const StopTableTrip& entry) { return entry.key == target; });
        if (found == trips.end()) continue;
        // The target moves directly before the current entry, which thereby
        // steps one place on; the walk goes on after it.
        std::rotate(trips.begin() + static_cast<std::ptrdiff_t>(i), found, found + 1);
        ++i;
    }
}

std::string LimitHeadingText(std::string text) {
    // One line: control characters become blanks.
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    if (text.size() <= kMaxHeadingText) return text;
    std::size_t end = kMaxHeadingText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;  // not inside a character
    text.resize(end);
    return text;
}

}  // namespace tak
