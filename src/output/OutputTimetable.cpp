#include "output/OutputTimetable.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/Language.h"
#include "base/Text.h"
#include "output/OutputLog.h"

namespace tak {

namespace {

bool HasStop(const PlanStop& row, int32_t stopId) { return row.station && row.station->id == stopId; }

// The tour trip's times at each station of its trip; stations without a
// time of their own are estimated between their neighbours.
std::vector<StationTime> TourTripTimes(const TourTrip& tourTrip) {
    std::size_t stations = tourTrip.trip ? tourTrip.trip->stations.size() : 0;
    if (!tourTrip.profile) return std::vector<StationTime>(stations);
    return EstimatedStationTimes(*tourTrip.profile, stations);
}

std::string StopText(std::string_view name, int32_t id) {
    return std::string(name) + " (" + std::to_string(id) + ")";
}

bool LineIsShown(std::string_view planLines, std::string_view lineText) {
    std::size_t start = 0;
    while (start <= planLines.size()) {
        std::size_t comma = planLines.find(',', start);
        if (comma == std::string_view::npos) comma = planLines.size();
        if (TrimBlanksAndTabs(planLines.substr(start, comma - start)) == lineText) return true;
        start = comma + 1;
    }
    return false;
}

// Writes one trip's times into a column, walking the rows with a cursor that
// only moves forward.
class ColumnFiller {
public:
    ColumnFiller(TimetableColumn& column, const TimeTablePlan& plan, const std::vector<RowSlots>& slots,
                 const TourTrip& tourTrip, int32_t dayShift, const LanguageTable& lang,
                 std::vector<std::string>& warnings)
        : column_(column), plan_(plan), slots_(slots), tourTrip_(tourTrip), times_(TourTripTimes(tourTrip)),
          dayShift_(dayShift), lang_(lang), warnings_(warnings) {}

    void Fill() {
        const Trip& trip = *tourTrip_.trip;
        for (std::size_t s = 0; s < trip.stations.size(); ++s) {
            const TripStation& station = trip.stations[s];
            std::size_t saved = cursor_;
            if (!AdvanceTo(station, s, s + 1 == trip.stations.size())) {
                WarnIfListedEarlier(station);
                cursor_ = saved;
            }
        }
        ClearTrailingPassThrough();
    }

private:
    bool AdvanceTo(const TripStation& station, std::size_t index, bool isLast) {
        const std::vector<PlanStop>& rows = plan_.stops;
        for (std::size_t r = cursor_; r < rows.size(); ++r) {
            if (!HasStop(rows[r], station.id)) {
                if (!(rows[r].flags & kRowMerged) && haveLastTime_) WriteSlots(slots_[r], PassThrough);
                continue;
            }
            cursor_ = r + 1;
            WriteStation(slots_[r], times_[index], index == 0, isLast);
            lastMatched_ = &rows[r];
            return true;
        }
        return false;
    }

    void WriteSlots(const RowSlots& slots, int32_t value) {
        if (slots.first < 0) return;
        column_.values[slots.first] = value;
        if (slots.twoSlots) column_.values[slots.first + 1] = value;
    }

    std::optional<int32_t> Take(int32_t preferred, int32_t other) const {
        if (preferred != TimeUnset) return preferred;
        if (other != TimeUnset) return other;
        if (haveLastTime_) return lastTime_;
        return std::nullopt;
    }

    void Store(int32_t slot, int32_t value, const StationTime& times) {
        lastTime_ = value;
        haveLastTime_ = true;
        column_.values[slot] = times.otherStopping == kOtherStoppingPassing
                                   ? PassThrough
                                   : ClampTime(int64_t{value} + tourTrip_.startTime - dayShift_);
    }

    void WriteStation(const RowSlots& slots, const StationTime& times, bool isFirst, bool isLast) {
        if (slots.first < 0) return;
        bool arrival = slots.flags & kRowArrival;
        bool departure = slots.flags & kRowDeparture;
        if (slots.twoSlots) {
            // A trip neither arrives at its first stop nor departs from its last.
            if (!isFirst) {
                if (auto v = Take(times.arrival, times.departure)) Store(slots.first, *v, times);
            }
            if (!isLast) {
                if (auto v = Take(times.departure, times.arrival)) Store(slots.first + 1, *v, times);
            }
        } else if (arrival && !departure) {
            if (auto v = Take(times.arrival, times.departure)) Store(slots.first, *v, times);
        } else if (departure) {
            if (auto v = Take(times.departure, times.arrival)) Store(slots.first, *v, times);
        }
    }

    void WarnIfListedEarlier(const TripStation& station) {
        bool listed = std::any_of(plan_.stops.begin(), plan_.stops.end(),
                                  [&](const PlanStop& row) { return HasStop(row, station.id); });
        if (!listed) return;
        std::string matched = lastMatched_ ? StopText(lastMatched_->name, lastMatched_->station->id) : "";
        warnings_.push_back(FillPlaceholders(lang_.Lang("WarnWrongOrder"),
                                             {plan_.name, matched, StopText(station.name, station.id)}));
    }

    void ClearTrailingPassThrough() {
        for (auto it = column_.values.rbegin(); it != column_.values.rend() && *it == PassThrough; ++it) {
            *it = NotServed;
        }
    }

    TimetableColumn& column_;
    const TimeTablePlan& plan_;
    const std::vector<RowSlots>& slots_;
    const TourTrip& tourTrip_;
    std::vector<StationTime> times_;  // one per station of the trip
    int32_t dayShift_;
    const LanguageTable& lang_;
    std::vector<std::string>& warnings_;
    std::size_t cursor_ = 0;  // the next row to look at
    bool haveLastTime_ = false;
    int32_t lastTime_ = 0;
    const PlanStop* lastMatched_ = nullptr;  // the row of the last stop found
};

// Follows the slots of two columns and tells whether their values form two
// blocks, one column's after the other's, without gap and in time order.
class ContinuationCheck {
public:
    bool Step(int32_t a, int32_t b) {
        bool hasA = a != NotServed;
        bool hasB = b != NotServed;
        if (hasA && hasB) return false;
        if (!hasA && !hasB) {
            if (phase_ == Phase::First) phase_ = Phase::Gap;
            if (phase_ == Phase::Second) phase_ = Phase::Done;
            return true;
        }
        int owner = hasA ? 0 : 1;
        int32_t value = hasA ? a : b;
        switch (phase_) {
            case Phase::None:
                phase_ = Phase::First;
                owner_ = owner;
                break;
            case Phase::First:
                if (owner != owner_) {
                    // One ride goes on in time order and without a long wait
                    // between the two trips.
                    if (IsRealTime(value) && IsRealTime(last_) &&
                        (value < last_ || int64_t{value} - last_ > kMaxContinuationWait)) {
                        return false;
                    }
                    phase_ = Phase::Second;
                }
                break;
            case Phase::Second:
                if (owner == owner_) return false;  // a third block
                break;
            case Phase::Gap:
            case Phase::Done:
                return false;
        }
        last_ = value;
        return true;
    }
    bool HadTwoBlocks() const { return phase_ == Phase::Second || phase_ == Phase::Done; }

private:
    enum class Phase { None, First, Gap, Second, Done };
    Phase phase_ = Phase::None;
    int owner_ = 0;
    int32_t last_ = NotServed;
};

bool SameValue(int32_t a, int32_t b, int32_t* interval) {
    if (!IsRealTime(a) || !IsRealTime(b)) return a == b;
    if (!interval) return a == b;
    if (*interval == kUnknownTravelTime) {
        int64_t shift = int64_t{b} - a;
        if (shift < 0 || shift > std::numeric_limits<int32_t>::max()) return false;
        *interval = static_cast<int32_t>(shift);
        return true;
    }
    return int64_t{b} == int64_t{a} + *interval;
}

// How often (in columns) the period repeats after S, and at which interval.
struct PeriodTrial {
    int count = 0;
    int32_t interval = kUnknownTravelTime;
};

PeriodTrial TryPeriod(const std::vector<TimetableColumn>& columns, const TimeTablePlan& plan, std::size_t start,
                      int period) {
    std::vector<const TimetableColumn*> base;
    for (int j = 0; j < period; ++j) base.push_back(&columns[start + j]);
    PeriodTrial trial{-period, kUnknownTravelTime};
    std::size_t next = start + period;
    for (;;) {
        for (int j = 0; j < period; ++j) {
            if (next >= columns.size()) return trial;
            const TimetableColumn& candidate = columns[next];
            if (candidate.kind != ColumnKind::Departure) return trial;
            int32_t interval = trial.interval;
            bool same = CompareColumns(plan, *base[j], candidate, &interval) & kColumnsSame;
            if (!same || interval == kUnknownTravelTime || interval > kMaxCondensedInterval) return trial;
            trial.interval = interval;
            base[j] = &candidate;
            ++next;
        }
        trial.count += period;
    }
}

// The value of one slot of a new interval column, from the 2a + 1 columns
// around it; `irregular` is set when the gaps of the slot differ.
int32_t IntervalSlotValue(const std::vector<TimetableColumn>& columns, std::size_t start, int period, int32_t slot,
                          bool& irregular) {
    int realTimes = 0;
    int32_t previous = 0;
    std::optional<int32_t> gap;
    std::size_t end = start + 2 * static_cast<std::size_t>(period) + 1;
    for (std::size_t c = start; c < end; ++c) {
        int32_t value = columns[c].values[slot];
        if (!IsRealTime(value)) continue;
        if (realTimes > 0) {
            int32_t step = ClampTime(int64_t{value} - previous);
            if (step < 0 || (gap && step != *gap)) irregular = true;
            if (!gap) gap = step;
        }
        previous = value;
        ++realTimes;
    }
    if (realTimes >= 2) return *gap;
    for (std::size_t c = start; c < start + static_cast<std::size_t>(period); ++c) {
        int32_t value = columns[c].values[slot];
        if (value == PassThrough) return PassThrough;
        if (IsRealTime(value)) return 0;
    }
    return NotServed;
}

// The shortest and longest gap between the printed times of columns `step`
// apart, over the columns [first, end) that an interval column stands for.
void MeasurePrintedGaps(const std::vector<TimetableColumn>& columns, std::size_t first, std::size_t end,
                        std::size_t step, TimetableColumn& interval) {
    std::optional<int32_t> shortest;
    std::optional<int32_t> longest;
    for (std::size_t c = first; c + step < end; ++c) {
        const std::vector<int32_t>& a = columns[c].values;
        const std::vector<int32_t>& b = columns[c + step].values;
        for (std::size_t s = 0; s < a.size() && s < b.size(); ++s) {
            if (!IsRealTime(a[s]) || !IsRealTime(b[s])) continue;
            int32_t gap = ClampTime(int64_t{RoundToMinute(b[s])} - RoundToMinute(a[s]));
            shortest = std::min(shortest.value_or(gap), gap);
            longest = std::max(longest.value_or(gap), gap);
        }
    }
    interval.shortestGap = shortest.value_or(0);
    interval.longestGap = longest.value_or(0);
}

// The minutes an interval cell names: the range of the printed gaps when
// they differ ("4-5"), else the one gap, else the stored value.
std::string IntervalMinutesText(const TimetableColumn& column, int32_t value) {
    if (column.longestGap > column.shortestGap && column.shortestGap >= 0) {
        return std::to_string(column.shortestGap / 60) + "-" + std::to_string(column.longestGap / 60);
    }
    if (column.longestGap > 0) return std::to_string(column.longestGap / 60);
    return std::to_string(value / 60);
}

std::string LabelLine(const std::string& label, int line) {
    if (line <= 0) return "";
    std::size_t start = 0;
    for (int i = 1; i < line; ++i) {
        std::size_t feed = label.find('\n', start);
        if (feed == std::string::npos) return "";
        start = feed + 1;
    }
    std::size_t feed = label.find('\n', start);
    return label.substr(start, feed == std::string::npos ? std::string::npos : feed - start);
}

struct LabelChoice {
    const char* key;
    int line;  // 1-based, 0 = empty cell
};

// Which label and which of its lines a cell shows, from the number of equal
// cells above (j) and below (i) it.
LabelChoice ChooseIntervalLabel(bool uniform, int j, int i) {
    int n = j + i;
    int d = j - i;
    if (n == 0) return {uniform ? "IterUniXS" : "IterIrrXXS", 1};
    if (n == 1) return {uniform ? "IterUniShort" : "IterIrrXS", j == 0 ? 1 : 2};
    if (uniform && n == 3) return {"IterUniShort", j == 1 ? 1 : i == 1 ? 2 : 0};
    if (uniform || n == 2 || n == 4) {
        const char* key = uniform ? "IterUniNorm" : "IterIrrShort";
        if (std::abs(d) > 3 || d == 3) return {key, 0};
        return {key, d <= -2 ? 1 : d <= 0 ? 2 : 3};
    }
    if (std::abs(d) >= 5 || d == 4) return {"IterIrrNorm", 0};
    return {"IterIrrNorm", d <= -3 ? 1 : d <= -1 ? 2 : d <= 1 ? 3 : 4};
}

}  // namespace

bool IsRealTime(int32_t value) { return value != NotServed && value != PassThrough; }

std::vector<RowSlots> LayOutRowSlots(const std::vector<PlanStop>& rows, int32_t& slotCount) {
    std::vector<RowSlots> layout(rows.size());
    RowSlots owner;  // the last non-merged row; none before the first
    int32_t next = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        int32_t flags = rows[r].flags;
        if (flags & kRowMerged) {
            layout[r] = owner;
            continue;
        }
        bool two = (flags & kRowArrival) && (flags & kRowDeparture);
        owner = RowSlots{next, two, flags & (kRowArrival | kRowDeparture)};
        layout[r] = owner;
        next += two ? 2 : 1;
    }
    slotCount = next;
    return layout;
}

bool RowsPrintTimes(const std::vector<PlanStop>& rows) {
    return std::any_of(rows.begin(), rows.end(), [](const PlanStop& row) {
        return !(row.flags & kRowMerged) && (row.flags & (kRowArrival | kRowDeparture));
    });
}

int32_t CountSlots(const std::vector<PlanStop>& rows) {
    int32_t count = 0;
    LayOutRowSlots(rows, count);
    return count;
}

void BuildTravelTimes(TimetableGrid& grid, const TimeTablePlan& plan) {
    grid.travelTimes.clear();
    if (grid.rowCount > kMaxTimetableSlots) return;
    int32_t size = grid.rowCount + 1;
    grid.travelTimes.assign(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), kUnknownTravelTime);
    for (int32_t i = 0; i < size; ++i) grid.TravelTime(i, i) = 0;

    int32_t slotCount = 0;
    std::vector<RowSlots> slots = LayOutRowSlots(plan.stops, slotCount);
    std::unordered_map<int32_t, std::size_t> firstRow;
    for (std::size_t r = 0; r < plan.stops.size(); ++r) {
        if (plan.stops[r].station && slots[r].first >= 0) firstRow.try_emplace(plan.stops[r].station->id, r);
    }
    for (const Trip* trip : plan.trips) {
        if (!trip) continue;
        std::vector<const RowSlots*> stationSlots(trip->stations.size(), nullptr);
        for (std::size_t s = 0; s < trip->stations.size(); ++s) {
            auto found = firstRow.find(trip->stations[s].id);
            if (found != firstRow.end()) stationSlots[s] = &slots[found->second];
        }
        for (const TripProfile& profile : trip->profiles) {
            std::vector<StationTime> estimated = EstimatedStationTimes(profile, trip->stations.size());
            std::vector<int32_t> times(estimated.size(), TimeUnset);
            for (std::size_t s = 0; s < times.size(); ++s) {
                times[s] = estimated[s].arrival != TimeUnset ? estimated[s].arrival : estimated[s].departure;
            }
            for (std::size_t s = 0; s < times.size(); ++s) {
                if (!stationSlots[s] || times[s] == TimeUnset) continue;
                const RowSlots& from = *stationSlots[s];
                for (std::size_t later = s + 1; later < times.size(); ++later) {
                    if (!stationSlots[later] || times[later] == TimeUnset) continue;
                    const RowSlots& to = *stationSlots[later];
                    int64_t difference = int64_t{times[later]} - times[s];
                    bool storable = difference > kUnknownTravelTime &&
                                    difference <= std::numeric_limits<int32_t>::max();
                    if (!storable) continue;
                    int32_t travel = static_cast<int32_t>(difference);
                    for (int32_t y = 0; y <= (from.twoSlots ? 1 : 0); ++y) {
                        for (int32_t x = 0; x <= (to.twoSlots ? 1 : 0); ++x) {
                            if (to.first + x < from.first + y) continue;
                            int32_t& entry = grid.TravelTime(from.first + y, to.first + x);
                            if (entry == kUnknownTravelTime || entry > travel) entry = travel;
                        }
                    }
                }
            }
        }
    }
}

ServiceDays ShiftDaysToNextServiceDay(ServiceDays days) {
    ServiceDays shifted = (days & kDayPair) | ((days & 0x3Fu) << 1) | ((days >> 6) & 1u);
    if (days & 0x80u) shifted |= kWeekAndHoliday | kDayAfterHoliday;
    return shifted;
}

void FillColumnValues(TimetableColumn& column, const TimeTablePlan& plan, const std::vector<RowSlots>& slots,
                      const TourTrip& tourTrip, int32_t dayShift, const LanguageTable& lang,
                      std::vector<std::string>& warnings) {
    if (!tourTrip.trip) return;
    ColumnFiller(column, plan, slots, tourTrip, dayShift, lang, warnings).Fill();
}

namespace {

// Builds the column of a tour trip once and hands it to `add` with the index
// of every day group the tour runs in.
template <typename Add>
void ForEachGroupOfTourTrip(TimetableGrid& grid, const TimeTablePlan& plan, const std::vector<RowSlots>& slots,
                            const Tour& tour, const TourTrip& tourTrip, const LanguageTable& lang, Add add) {
    if (!tourTrip.trip || !LineIsShown(plan.line, tourTrip.trip->lineName)) return;
    int32_t hour = RoundToMinute(tourTrip.startTime) / 3600;
    int32_t dayShift = 0;
    ServiceDays days = tour.days;
    if (plan.breakHour >= 0 && int64_t{hour} >= int64_t{plan.breakHour} + 24) {
        dayShift = kSecondsPerDay;
        days = ShiftDaysToNextServiceDay(days);
    }
    std::optional<TimetableColumn> filled;
    for (std::size_t g = 0; g < grid.groups.size(); ++g) {
        const DayGroup& group = grid.groups[g];
        ServiceDays groupDays = group.day ? group.day->days : 0;
        if (!(groupDays & days & kWeekAndHoliday) || !(groupDays & days & kDayPair)) continue;
        if (!filled) {
            // The values are the same in every group; the trip is walked once.
            filled.emplace();
            filled->lineText = tourTrip.trip->lineName;
            filled->tourName = tour.name;
            filled->days = days;
            filled->values.assign(static_cast<std::size_t>(grid.rowCount), NotServed);
            FillColumnValues(*filled, plan, slots, tourTrip, dayShift, lang, grid.warnings);
        }
        add(g, *filled);
    }
}

// The column each group's previous tour trip made, while one bus goes on
// over the trips of its tour.
class RideJoiner {
public:
    RideJoiner(TimetableGrid& grid, const ColumnMergeRules& rules)
        : grid_(grid), rules_(rules), previous_(grid.groups.size()), current_(grid.groups.size()) {}

    // A trip that the plan does not show ends the ride; so does a new tour.
    void NextTourTrip() {
        previous_.swap(current_);
        std::fill(current_.begin(), current_.end(), std::nullopt);
    }
    void EndRide() { std::fill(previous_.begin(), previous_.end(), std::nullopt); }

    // Adds the column of the tour trip to group g: into the column of the
    // same bus's previous trip when it goes on from there, else as a column
    // of its own.
    void Add(std::size_t g, const TimetableColumn& column) {
        std::vector<TimetableColumn>& columns = grid_.groups[g].columns;
        if (previous_[g] && JoinsRide(columns[*previous_[g]], column)) {
            MergeColumnInto(column, columns[*previous_[g]], kColumnsContinuation);
            current_[g] = previous_[g];
            return;
        }
        columns.push_back(column);
        current_[g] = columns.size() - 1;
    }

private:
    // The later trip goes on below the earlier one's last row, in time order
    // and without a long wait.
    bool JoinsRide(const TimetableColumn& earlier, const TimetableColumn& later) const {
        int result = CompareColumns(rules_, earlier, later);
        if (!(result & kColumnsContinuation)) return false;
        auto lastSlot = [](const TimetableColumn& c) {
            auto it = std::find_if(c.values.rbegin(), c.values.rend(), [](int32_t v) { return v != NotServed; });
            return c.values.rend() - it;
        };
        auto firstSlot = [](const TimetableColumn& c) {
            return std::find_if(c.values.begin(), c.values.end(), [](int32_t v) { return v != NotServed; }) -
                   c.values.begin();
        };
        return lastSlot(earlier) <= firstSlot(later);
    }

    TimetableGrid& grid_;
    ColumnMergeRules rules_;
    std::vector<std::optional<std::size_t>> previous_;
    std::vector<std::optional<std::size_t>> current_;
};

// The column's first slot with a clock time, or the slot count.
int32_t FirstRealSlot(const TimetableColumn& column) {
    auto it = std::find_if(column.values.begin(), column.values.end(), IsRealTime);
    return static_cast<int32_t>(it - column.values.begin());
}

// A way from one slot to another and the time it takes.
struct SlotLink {
    int32_t to;
    int64_t seconds;
    auto operator<=>(const SlotLink&) const = default;
};

// Where the plan's trips know no travel time between two neighbouring times
// of a column (a bus going on from one direction into the other), the
// smallest such gap, as links both ways from each slot.
std::vector<std::vector<SlotLink>> ObservedGaps(const TimetableGrid& grid) {
    int32_t slots = grid.rowCount;
    std::unordered_map<int64_t, int32_t> gaps;  // from * slots + to -> smallest gap
    for (const DayGroup& group : grid.groups) {
        for (const TimetableColumn& column : group.columns) {
            int32_t before = -1;
            for (int32_t s = 0; s < slots; ++s) {
                if (!IsRealTime(column.values[s])) continue;
                if (before >= 0 && grid.TravelTime(before, s) == kUnknownTravelTime) {
                    int64_t gap = int64_t{column.values[s]} - column.values[before];
                    if (gap >= 0 && gap <= std::numeric_limits<int32_t>::max()) {
                        auto [it, added] = gaps.try_emplace(int64_t{before} * slots + s, static_cast<int32_t>(gap));
                        if (!added) it->second = std::min(it->second, static_cast<int32_t>(gap));
                    }
                }
                before = s;
            }
        }
    }
    std::vector<std::vector<SlotLink>> links(static_cast<std::size_t>(std::max(slots, 0)));
    for (const auto& [pair, gap] : gaps) {
        auto from = static_cast<int32_t>(pair / slots);
        auto to = static_cast<int32_t>(pair % slots);
        links[static_cast<std::size_t>(from)].push_back({to, gap});
        links[static_cast<std::size_t>(to)].push_back({from, -int64_t{gap}});
    }
    // The same links in the same order whatever order the columns came in.
    for (auto& list : links) std::sort(list.begin(), list.end());
    return links;
}

// Adds two offsets, saturating (times come from files and may be extreme).
int64_t AddOffset(int64_t a, int64_t b) {
    constexpr int64_t kLimit = int64_t{1} << 40;
    return std::clamp(a + b, -kLimit, kLimit);
}

}  // namespace

std::vector<int64_t> SlotOffsets(const TimetableGrid& grid) {
    std::vector<std::vector<SlotLink>> gaps = ObservedGaps(grid);
    int32_t slots = grid.rowCount;
    std::vector<int64_t> offsets(gaps.size(), 0);
    std::vector<bool> reached(gaps.size(), false);
    std::vector<int32_t> queue;
    auto reach = [&](int32_t from, int32_t to, int64_t seconds) {
        auto slot = static_cast<std::size_t>(to);
        if (reached[slot]) return;
        reached[slot] = true;
        offsets[slot] = AddOffset(offsets[static_cast<std::size_t>(from)], seconds);
        queue.push_back(to);
    };
    // Breadth first from each slot not yet reached, top down: the travel
    // times of the trips first (read from the table, both ways), then the
    // gaps seen in the columns.
    for (int32_t root = 0; root < slots; ++root) {
        auto rootSlot = static_cast<std::size_t>(root);
        if (reached[rootSlot]) continue;
        // Slots no known time reaches stand where the slot above them does;
        // every slot above this one is placed already.
        offsets[rootSlot] = root == 0 ? 0 : offsets[rootSlot - 1];
        reached[rootSlot] = true;
        queue.assign(1, root);
        for (std::size_t next = 0; next < queue.size(); ++next) {
            int32_t slot = queue[next];
            for (int32_t other = 0; other < slots; ++other) {
                int32_t travel = other < slot ? grid.TravelTime(other, slot) : grid.TravelTime(slot, other);
                if (other == slot || travel == kUnknownTravelTime) continue;
                reach(slot, other, other < slot ? -int64_t{travel} : travel);
            }
            for (const SlotLink& link : gaps[static_cast<std::size_t>(slot)]) reach(slot, link.to, link.seconds);
        }
    }
    return offsets;
}

namespace {

// The order of two columns that stand at the same time: by what they show,
// so that the result never depends on the order they were made in.
bool ShowsBefore(const TimetableColumn& a, const TimetableColumn& b) {
    if (a.values != b.values) return a.values < b.values;
    if (a.lineText != b.lineText) return a.lineText < b.lineText;
    if (a.tourName != b.tourName) return a.tourName < b.tourName;
    return a.days < b.days;
}

}  // namespace

void SortColumnsByTime(TimetableGrid& grid) {
    std::vector<int64_t> offsets = SlotOffsets(grid);
    struct Key {
        int64_t time;    // the first time, moved back to the table's first slot
        int32_t first;   // the slot of the first time
        uint32_t index;  // the column
    };
    for (DayGroup& group : grid.groups) {
        std::vector<TimetableColumn>& columns = group.columns;
        std::vector<Key> keys;
        keys.reserve(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            int32_t first = FirstRealSlot(columns[c]);
            int64_t time = first < grid.rowCount
                               ? AddOffset(columns[c].values[first], -offsets[static_cast<std::size_t>(first)])
                               : std::numeric_limits<int64_t>::max();
            keys.push_back({time, first, static_cast<uint32_t>(c)});
        }
        std::sort(keys.begin(), keys.end(), [&columns](const Key& a, const Key& b) {
            if (a.time != b.time) return a.time < b.time;
            if (a.first != b.first) return a.first < b.first;
            return ShowsBefore(columns[a.index], columns[b.index]);
        });
        std::vector<TimetableColumn> sorted;
        sorted.reserve(columns.size());
        for (const Key& key : keys) sorted.push_back(std::move(columns[key.index]));
        columns = std::move(sorted);
    }
}

ColumnMergeRules TimetableMergeRules(const TimeTablePlan& plan) {
    return ColumnMergeRules{plan.displayLine, plan.displayTour, plan.displayNote};
}

ColumnMergeRules TourPlanMergeRules(bool displayLine) { return ColumnMergeRules{displayLine, false, false}; }

int CompareColumns(const TimeTablePlan& plan, const TimetableColumn& a, const TimetableColumn& b,
                   int32_t* interval) {
    return CompareColumns(TimetableMergeRules(plan), a, b, interval);
}

void MergeColumnInto(const TimetableColumn& a, TimetableColumn& b, int result) {
    if (result & kColumnsContinuation) {
        for (std::size_t s = 0; s < a.values.size() && s < b.values.size(); ++s) {
            if (a.values[s] != NotServed) b.values[s] = a.values[s];
        }
    } else {
        b.days |= a.days;
    }
}

int CompareColumns(const ColumnMergeRules& rules, const TimetableColumn& a, const TimetableColumn& b,
                   int32_t* interval) {
    if (rules.lineText && a.lineText != b.lineText) return 0;
    if (rules.tourName && a.tourName != b.tourName) return 0;
    bool continuation = !(rules.days && a.days != b.days);
    bool same = true;
    ContinuationCheck blocks;
    std::size_t slots = std::min(a.values.size(), b.values.size());
    for (std::size_t s = 0; s < slots && (continuation || same); ++s) {
        if (continuation) continuation = blocks.Step(a.values[s], b.values[s]);
        if (same) same = SameValue(a.values[s], b.values[s], interval);
    }
    continuation = continuation && blocks.HadTwoBlocks();
    return (continuation ? kColumnsContinuation : 0) | (same ? kColumnsSame : 0);
}

void MergeColumns(TimetableGrid& grid, const TimeTablePlan& plan, const LanguageTable& lang) {
    for (DayGroup& group : grid.groups) {
        ServiceDays groupDays = group.day ? group.day->days : 0;
        std::vector<TimetableColumn>& columns = group.columns;
        std::vector<TimetableColumn> kept;
        kept.reserve(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c + 1 < columns.size()) {
                // Rides were joined bus by bus while they were made; here
                // only equal columns of different days become one.
                if (CompareColumns(plan, columns[c], columns[c + 1]) & kColumnsSame) {
                    MergeColumnInto(columns[c], columns[c + 1], kColumnsSame);
                    continue;
                }
            }
            columns[c].footnoteMark = TimetableFootnoteMark(lang, grid.footnotes, columns[c].days, groupDays);
            kept.push_back(std::move(columns[c]));
        }
        columns = std::move(kept);
    }
}

int CondenseIntervals(DayGroup& group, const TimeTablePlan& plan, std::size_t start) {
    std::vector<TimetableColumn>& columns = group.columns;
    if (start >= columns.size() || columns[start].kind != ColumnKind::Departure) return 0;
    int period = 0;
    PeriodTrial best{1, kUnknownTravelTime};
    for (int p = 1; p <= 6 && start + static_cast<std::size_t>(p) <= columns.size(); ++p) {
        bool baseIsDepartures = std::all_of(columns.begin() + static_cast<std::ptrdiff_t>(start),
                                            columns.begin() + static_cast<std::ptrdiff_t>(start + p),
                                            [](const TimetableColumn& c) { return c.kind == ColumnKind::Departure; });
        if (!baseIsDepartures) break;
        PeriodTrial trial = TryPeriod(columns, plan, start, p);
        if (trial.count >= 2 && trial.count > best.count) {
            best = trial;
            period = p;
        }
    }
    if (period == 0) return 0;

    TimetableColumn interval;
    interval.kind = ColumnKind::UniformInterval;
    std::size_t slotCount = columns[start].values.size();
    interval.values.resize(slotCount);
    bool irregular = false;
    for (std::size_t s = 0; s < slotCount; ++s) {
        interval.values[s] = IntervalSlotValue(columns, start, period, static_cast<int32_t>(s), irregular);
    }
    if (irregular) {
        interval.kind = ColumnKind::IrregularInterval;
        interval.patternMember = true;
        for (std::size_t c = start; c < start + static_cast<std::size_t>(period); ++c) columns[c].patternMember = true;
        for (int32_t& value : interval.values) {
            if (value != NotServed) value = best.interval;
        }
    }
    // The base period, the columns condensed away and the last period.
    std::size_t covered = start + 2 * static_cast<std::size_t>(period) + static_cast<std::size_t>(best.count);
    MeasurePrintedGaps(columns, start, covered, irregular ? static_cast<std::size_t>(period) : 1, interval);
    auto at = columns.begin() + static_cast<std::ptrdiff_t>(start + period);
    at = columns.insert(at, std::move(interval));
    columns.erase(at + 1, at + 1 + best.count);
    return period;
}

void CondenseAllIntervals(TimetableGrid& grid, const TimeTablePlan& plan) {
    for (DayGroup& group : grid.groups) {
        std::size_t c = 0;
        while (c < group.columns.size()) {
            int period = CondenseIntervals(group, plan, c);
            // After a condensation the last period may start the next pattern.
            c += period > 0 ? static_cast<std::size_t>(period) + 1 : 1;
        }
    }
}

TimetableGrid BuildTimetable(const TimeTablePlan& plan, const MapData& map, bool condenseIntervals,
                             const LanguageTable& lang) {
    TimetableGrid grid;
    std::vector<RowSlots> slots = LayOutRowSlots(plan.stops, grid.rowCount);
    BuildTravelTimes(grid, plan);
    for (const TableDay& day : plan.days) grid.groups.push_back(DayGroup{&day, {}});
    std::unordered_set<const Trip*> shown(plan.trips.begin(), plan.trips.end());
    RideJoiner rides(grid, TimetableMergeRules(plan));
    auto add = [&rides](std::size_t g, const TimetableColumn& column) { rides.Add(g, column); };
    for (const auto& line : map.lines) {
        for (const Tour& tour : line->tours) {
            rides.EndRide();
            for (const TourTrip& tourTrip : tour.trips) {
                if (tourTrip.trip && shown.count(tourTrip.trip)) {
                    ForEachGroupOfTourTrip(grid, plan, slots, tour, tourTrip, lang, add);
                }
                rides.NextTourTrip();
            }
        }
    }
    SortColumnsByTime(grid);
    MergeColumns(grid, plan, lang);
    if (condenseIntervals) CondenseAllIntervals(grid, plan);
    return grid;
}

IterationCell IterationCellText(const LanguageTable& lang, const TimetableColumn& column, int32_t slot,
                                const std::vector<bool>& visible) {
    int32_t value = column.values[slot];
    if (column.kind == ColumnKind::Departure || !IsRealTime(value)) return {FormatClock(value), false};
    auto isVisible = [&](int32_t s) { return s < static_cast<int32_t>(visible.size()) && visible[s]; };
    int above = 0;
    bool anyVisibleAbove = false;
    for (int32_t s = slot - 1; s >= 0; --s) {
        if (!isVisible(s)) continue;
        anyVisibleAbove = true;
        if (column.values[s] != value) break;
        ++above;
    }
    int below = 0;
    for (int32_t s = slot + 1; s < static_cast<int32_t>(column.values.size()); ++s) {
        if (!isVisible(s)) continue;
        if (column.values[s] != value) break;
        ++below;
    }
    LabelChoice choice = ChooseIntervalLabel(column.kind == ColumnKind::UniformInterval, above, below);
    std::string label = FillPlaceholders(lang.Lang(choice.key), {IntervalMinutesText(column, value)});
    return {LabelLine(label, choice.line), above == 0 && anyVisibleAbove};
}

}  // namespace tak
