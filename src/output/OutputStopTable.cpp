#include "output/OutputStopTable.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/Language.h"
#include "base/Text.h"
#include "output/OutputTexts.h"
#include "output/OutputTimetable.h"

namespace tak {

namespace {

// A departure of one tour trip at the table's stop, before it is sorted into
// the day columns.
struct FoundDeparture {
    int32_t time = 0;
    int32_t hour = 0;
    ServiceDays days = 0;
};

// The first station of the trip at one of the table's stops gives the time:
// its own departure or arrival (estimated between its neighbours when the
// file gives none), else the nearest earlier known one. A trip that passes
// that stop without stopping gives none, and so does one whose time falls
// outside the 48 hours of a service day once the break hour has moved it to
// the next service day.
std::optional<FoundDeparture> FindDeparture(const StopTable& table, const std::unordered_set<int32_t>& stopIds,
                                            const Tour& tour, const TourTrip& tourTrip) {
    const Trip& trip = *tourTrip.trip;
    auto station = std::find_if(trip.stations.begin(), trip.stations.end(),
                                [&](const TripStation& s) { return stopIds.contains(s.id); });
    if (station == trip.stations.end() || !tourTrip.profile) return std::nullopt;
    std::size_t index = static_cast<std::size_t>(station - trip.stations.begin());
    std::vector<StationTime> times = EstimatedStationTimes(*tourTrip.profile, trip.stations.size());
    if (times[index].otherStopping == kOtherStoppingPassing) return std::nullopt;

    std::optional<int32_t> offset;
    for (std::size_t i = index + 1; i-- > 0 && !offset;) {
        if (times[i].departure != TimeUnset) {
            offset = times[i].departure;
        } else if (times[i].arrival != TimeUnset) {
            offset = times[i].arrival;
        }
    }
    if (!offset) return std::nullopt;
    int64_t time = int64_t{*offset} + tourTrip.startTime;
    int64_t hour = int64_t{RoundToMinute(static_cast<int32_t>(std::clamp<int64_t>(
                       time, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())))} /
                   3600;
    ServiceDays days = tour.days;
    if (table.breakHour >= 0 && hour >= int64_t{table.breakHour} + 24) {
        time -= kSecondsPerDay;
        hour -= 24;
        days = ShiftDaysToNextServiceDay(days);
    }
    if (time < 0 || hour >= kStopTableHours) return std::nullopt;
    return FoundDeparture{static_cast<int32_t>(time), static_cast<int32_t>(hour), days};
}

// Sorted by time; the same way of the same route at the same time only adds
// its days.
void InsertDeparture(StopHour& hour, const StopDeparture& departure) {
    auto& list = hour.departures;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->time > departure.time) {
            list.insert(it, departure);
            return;
        }
        if (it->time == departure.time && it->way == departure.way && it->route == departure.route) {
            it->days |= departure.days;
            return;
        }
    }
    list.push_back(departure);
}

bool ColumnRunsOn(const StopDayColumn& column, ServiceDays days) {
    ServiceDays columnDays = column.day ? column.day->days : 0;
    return (columnDays & days & kWeekAndHoliday) && (columnDays & days & kDayPair);
}

std::string LegendText(const StopTableTrip& way, const std::string& dayText) {
    if (!way.alternative) return dayText;
    if (dayText.empty()) return way.footnote;
    if (way.footnote.empty()) return dayText;
    return way.footnote + ", " + dayText;
}

void AssignLetters(StopTableData& data, const LanguageTable& lang) {
    for (StopDayColumn& column : data.columns) {
        ServiceDays columnDays = column.day ? column.day->days : 0;
        for (StopHour& hour : column.hours) {
            for (StopDeparture& departure : hour.departures) {
                if (!departure.way) continue;
                DayDifference difference = DescribeDayDifference(lang, departure.days, columnDays);
                ServiceDays missing = (columnDays & ~departure.days) | (departure.days & kDayAfterHoliday);
                std::string text = LegendText(*departure.way, difference.text);
                // Departures whose legend reads the same share its letter,
                // whichever way group they belong to.
                auto found = std::find_if(data.legend.begin(), data.legend.end(), [&](const LegendEntry& entry) {
                    return (entry.way == departure.way && entry.missing == missing) ||
                           (!text.empty() && entry.text == text);
                });
                if (found != data.legend.end()) {
                    departure.legend = static_cast<int>(found - data.legend.begin());
                } else if (!difference.text.empty() || departure.way->alternative) {
                    departure.legend = static_cast<int>(data.legend.size());
                    data.legend.push_back(
                        LegendEntry{text, missing, LegendLetter(data.legend.size()), departure.way});
                }
            }
        }
    }
}

void SetCapacities(StopTableData& data) {
    for (StopDayColumn& column : data.columns) {
        std::size_t widest = 0;
        for (const StopHour& hour : column.hours) widest = std::max(widest, hour.departures.size());
        column.capacity = std::max(kStopTableMinCapacity, static_cast<int32_t>(widest));
    }
}

int32_t MinuteOf(const StopDeparture& departure) { return RoundToMinute(departure.time) / 60 % 60; }

bool HoursPrintAlike(const StopTableData& data, int32_t first, int32_t hour) {
    for (const StopDayColumn& column : data.columns) {
        const auto& a = column.hours[static_cast<std::size_t>(first)].departures;
        const auto& b = column.hours[static_cast<std::size_t>(hour)].departures;
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (MinuteOf(a[i]) != MinuteOf(b[i]) || a[i].legend != b[i].legend || a[i].route != b[i].route) {
                return false;
            }
        }
    }
    return true;
}

void MergeHours(StopTableData& data) {
    int32_t first = 0;
    for (int32_t hour = 1; hour < kStopTableHours; ++hour) {
        if (!HoursPrintAlike(data, first, hour)) {
            first = hour;
            continue;
        }
        for (StopDayColumn& column : data.columns) {
            ++column.hours[static_cast<std::size_t>(first)].mergeCount;
            column.hours[static_cast<std::size_t>(hour)].mergedAway = true;
        }
    }
}

// The routes in the order the trips were found, each departure's index into
// them; sorted by line and destination once all are known.
class RouteCollector {
public:
    std::size_t RouteOf(const Trip& trip) {
        auto known = byTrip_.find(&trip);
        if (known != byTrip_.end()) return known->second;
        StopRoute route{trip.lineName, trip.stations.empty() ? std::string() : trip.stations.back().name, ""};
        auto same = std::find_if(routes_.begin(), routes_.end(), [&](const StopRoute& r) {
            return r.line == route.line && r.destination == route.destination;
        });
        std::size_t index = static_cast<std::size_t>(same - routes_.begin());
        if (same == routes_.end()) routes_.push_back(std::move(route));
        byTrip_.emplace(&trip, index);
        return index;
    }

    // Sorts the routes, gives them marks when there are several, and points
    // the departures at their new places.
    std::vector<StopRoute> Finish(StopTableData& data) {
        std::vector<std::size_t> order(routes_.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            const StopRoute& x = routes_[a];
            const StopRoute& y = routes_[b];
            if (x.line != y.line) return NaturalLess(x.line, y.line);
            return NaturalLess(x.destination, y.destination);
        });
        std::vector<std::size_t> newIndex(routes_.size());
        std::vector<StopRoute> sorted;
        for (std::size_t place = 0; place < order.size(); ++place) {
            newIndex[order[place]] = place;
            sorted.push_back(routes_[order[place]]);
            if (order.size() > 1) sorted.back().mark = RouteMark(place);
        }
        for (StopDayColumn& column : data.columns) {
            for (StopHour& hour : column.hours) {
                for (StopDeparture& departure : hour.departures) departure.route = newIndex[departure.route];
            }
        }
        return sorted;
    }

private:
    std::vector<StopRoute> routes_;
    std::unordered_map<const Trip*, std::size_t> byTrip_;
};

}  // namespace

const StopTableTrip* WayGroupOf(const StopTable& table, const Trip& trip) {
    auto own = std::find_if(table.trips.begin(), table.trips.end(),
                            [&](const StopTableTrip& entry) { return entry.trip == &trip; });
    if (own == table.trips.end()) return nullptr;
    const StopTableTrip* way = &*own;
    // The links cannot be longer than the list; a loop ends there.
    for (std::size_t steps = 0; steps < table.trips.size() && way->sameWay != kNoStopTableTrip; ++steps) {
        const StopTableTrip* next = FindStopTableTrip(table, way->sameWay);
        if (!next || next == way) break;
        way = next;
    }
    return way;
}

std::string LegendLetter(std::size_t index) {
    if (index < 26) return std::string(1, static_cast<char>('a' + index));
    if (index < 52) return std::string(1, static_cast<char>('A' + (index - 26)));
    return "#";
}

std::string RouteMark(std::size_t index) {
    auto letter = [](std::size_t i) { return std::string(1, static_cast<char>('A' + i % 26)); };
    if (index < 26) return letter(index);
    return letter(std::min<std::size_t>(index / 26 - 1, 25)) + letter(index);
}

std::string RouteText(const LanguageTable& lang, const StopRoute& route) {
    return FillPlaceholders(lang.Lang("RouteTowards"), {route.line, route.destination});
}

StopTableData BuildStopTable(const StopTable& table, const MapData& map, const LanguageTable& lang) {
    StopTableData data;
    for (const TableDay& day : table.days) data.columns.push_back(StopDayColumn{&day, 0, {}});
    std::unordered_set<int32_t> stopIds;
    for (const TripStation* station : table.stations) {
        if (station) stopIds.insert(station->id);
    }
    std::unordered_map<const Trip*, const StopTableTrip*> ways;
    RouteCollector routes;
    for (const auto& line : map.lines) {
        for (const Tour& tour : line->tours) {
            for (const TourTrip& tourTrip : tour.trips) {
                if (!tourTrip.trip || !table.selection.contains(tourTrip.trip->name)) continue;
                std::optional<FoundDeparture> found = FindDeparture(table, stopIds, tour, tourTrip);
                if (!found) continue;
                auto way = ways.find(tourTrip.trip);
                if (way == ways.end()) way = ways.emplace(tourTrip.trip, WayGroupOf(table, *tourTrip.trip)).first;
                StopDeparture departure{found->time, way->second, found->days, kNoLegendEntry,
                                        routes.RouteOf(*tourTrip.trip)};
                for (StopDayColumn& column : data.columns) {
                    if (ColumnRunsOn(column, found->days)) {
                        InsertDeparture(column.hours[static_cast<std::size_t>(found->hour)], departure);
                    }
                }
            }
        }
    }
    data.routes = routes.Finish(data);
    AssignLetters(data, lang);
    SetCapacities(data);
    if (table.mergeRow) MergeHours(data);
    return data;
}

std::vector<std::vector<std::size_t>> GroupStopTableDocuments(const std::vector<StopTable>& tables) {
    auto sharesStop = [](const StopTable& a, const StopTable& b) {
        for (const TripStation* x : a.stations) {
            for (const TripStation* y : b.stations) {
                if (x && y && x->id == y->id) return true;
            }
        }
        return false;
    };
    std::vector<std::vector<std::size_t>> documents;
    std::vector<bool> placed(tables.size(), false);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (placed[i]) continue;
        placed[i] = true;
        documents.push_back({i});
        if (!tables[i].sameInOne) continue;
        for (std::size_t j = i + 1; j < tables.size(); ++j) {
            if (!placed[j] && tables[j].sameInOne && sharesStop(tables[i], tables[j])) {
                placed[j] = true;
                documents.back().push_back(j);
            }
        }
    }
    return documents;
}

}  // namespace tak
