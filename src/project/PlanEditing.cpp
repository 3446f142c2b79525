#include "project/PlanEditing.h"

#include <algorithm>
#include <optional>

namespace tak {

namespace {

// Day kinds of the default rows: bits 0-6 the week days, 7 public holiday,
// 8 and 9 the two school day kinds, so every row runs on both of them.
constexpr ServiceDays kMondayToFriday = 0x31F;
constexpr ServiceDays kSaturday = 0x320;
constexpr ServiceDays kSundayAndHoliday = 0x3C0;

using Candidates = std::vector<const TripStation*>;

// The first candidate after `position` (-1 = before the first) with the stop id.
std::optional<std::size_t> FindAfter(const Candidates& candidates, std::ptrdiff_t position, int32_t id) {
    for (auto i = static_cast<std::size_t>(position + 1); i < candidates.size(); ++i) {
        if (candidates[i]->id == id) return i;
    }
    return std::nullopt;
}

// Where a station missing after `position` goes: directly before the first of
// the trip's later stations that is present after `position`, else the end.
std::size_t InsertionPlace(const Candidates& candidates, std::ptrdiff_t position, const Trip& trip,
                           std::size_t station) {
    for (std::size_t later = station + 1; later < trip.stations.size(); ++later) {
        if (auto found = FindAfter(candidates, position, trip.stations[later].id)) return *found;
    }
    return candidates.size();
}

}  // namespace

Candidates MergeStopCandidates(const std::vector<const Trip*>& trips) {
    Candidates candidates;
    for (const Trip* trip : trips) {
        if (trip == nullptr) continue;
        std::ptrdiff_t position = -1;
        for (std::size_t s = 0; s < trip->stations.size(); ++s) {
            const TripStation& station = trip->stations[s];
            if (auto found = FindAfter(candidates, position, station.id)) {
                position = static_cast<std::ptrdiff_t>(*found);
                continue;
            }
            std::size_t place = InsertionPlace(candidates, position, *trip, s);
            candidates.insert(candidates.begin() + static_cast<std::ptrdiff_t>(place), &station);
            position = static_cast<std::ptrdiff_t>(place);
        }
    }
    return candidates;
}

std::string StopRowText(const std::string& name, int32_t id) { return name + " (" + std::to_string(id) + ")"; }

std::string StopRowText(const PlanStop& row) { return StopRowText(row.name, row.station ? row.station->id : 0); }

int32_t NewStopRowFlags(int32_t stopId, const std::vector<const Trip*>& trips) {
    bool ends = false;
    for (const Trip* trip : trips) {
        if (trip == nullptr || trip->stations.empty()) continue;
        for (std::size_t s = 0; s + 1 < trip->stations.size(); ++s) {
            if (trip->stations[s].id == stopId) return kRowDeparture;
        }
        ends = ends || trip->stations.back().id == stopId;
    }
    return ends ? kRowArrival : kRowDeparture;
}

std::size_t AddAllStopRows(std::vector<PlanStop>& rows, const Candidates& candidates,
                           const std::vector<const Trip*>& trips) {
    std::size_t added = 0;
    std::optional<std::size_t> position;  // after the last row that matched a candidate
    for (const TripStation* candidate : candidates) {
        std::string text = StopRowText(candidate->name, candidate->id);
        auto match =
            std::find_if(rows.begin(), rows.end(), [&](const PlanStop& row) { return StopRowText(row) == text; });
        if (match != rows.end()) {
            position = static_cast<std::size_t>(match - rows.begin()) + 1;
            continue;
        }
        std::size_t place = position && *position <= rows.size() ? *position : rows.size();
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(place),
                    PlanStop{candidate, candidate->name, NewStopRowFlags(candidate->id, trips)});
        position = place + 1;
        ++added;
    }
    return added;
}

std::string AutoLineText(const std::vector<const Trip*>& trips) {
    std::vector<std::string> names;
    for (const Trip* trip : trips) {
        if (trip != nullptr && std::find(names.begin(), names.end(), trip->lineName) == names.end()) {
            names.push_back(trip->lineName);
        }
    }
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::vector<TableDay> DefaultDayRows(const LanguageTable& language) {
    return {{language.Lang("Day0") + " - " + language.Lang("Day4"), kMondayToFriday},
            {language.Lang("Day5"), kSaturday},
            {language.Lang("Day67"), kSundayAndHoliday}};
}

std::vector<TableDay> DayRowsFrom(const std::vector<TableDay>& model, const LanguageTable& language) {
    std::vector<TableDay> defaults = DefaultDayRows(language);
    bool sameDays = std::equal(model.begin(), model.end(), defaults.begin(), defaults.end(),
                               [](const TableDay& a, const TableDay& b) { return a.days == b.days; });
    return sameDays ? defaults : model;
}

TimeTablePlan NewTimeTablePlanTemplate(const LanguageTable& language) {
    TimeTablePlan plan;  // the record's defaults are the new plan's switches
    plan.days = DefaultDayRows(language);
    return plan;
}

TimeTablePlan InheritTimeTablePlan(const TimeTablePlan& model, std::string name) {
    TimeTablePlan plan;
    plan.name = std::move(name);
    plan.autoLine = model.autoLine;
    plan.hideEmpty = model.hideEmpty;
    plan.hideBridge = model.hideBridge;
    plan.displayLine = model.displayLine;
    plan.displayTour = model.displayTour;
    plan.displayNote = model.displayNote;
    plan.pageBreak = model.pageBreak;
    plan.mergeIterColumn = model.mergeIterColumn;
    plan.breakHour = model.breakHour;
    plan.days = model.days;
    return plan;
}

std::vector<const Trip*> TripsByName(const MapData& map) {
    std::vector<const Trip*> trips;
    for (const auto& trip : map.trips) trips.push_back(trip.get());
    std::stable_sort(trips.begin(), trips.end(), [](const Trip* a, const Trip* b) { return a->name < b->name; });
    return trips;
}

RouteSpiderKey SpiderForTickedBox(const RouteSpiderList& list, const std::vector<RouteSpiderKey>& before) {
    for (const RouteSpider& spider : list.spiders) {
        if (std::find(before.begin(), before.end(), spider.key) == before.end()) return spider.key;
    }
    return list.spiders.empty() ? kNoSpider : list.spiders.front().key;
}

std::vector<RouteSpiderKey> SpiderKeys(const RouteSpiderList& list) {
    std::vector<RouteSpiderKey> keys;
    for (const RouteSpider& spider : list.spiders) keys.push_back(spider.key);
    return keys;
}

}  // namespace tak
