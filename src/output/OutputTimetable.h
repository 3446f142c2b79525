// The timetable builder: turns one timetable plan and the loaded map into a
// grid of columns (one departure of a tour over one trip, or an "every N
// minutes" column) per day group, with one time value per row slot and a
// footnote register. The writers only lay the grid out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "output/OutputTexts.h"
#include "project/Project.h"

namespace tak {

class LanguageTable;

// A stored travel time that is not known.
constexpr int32_t kUnknownTravelTime = TimeUnset;

// The longest repeat interval an "every N minutes" column may stand for.
constexpr int32_t kMaxCondensedInterval = 7200;

// The longest wait, in seconds, between a trip's arrival and the departure
// of the same bus's next trip for the two to be joined into one column.
constexpr int32_t kMaxContinuationWait = 3600;

enum class ColumnKind : int32_t {
    Departure = 0,          // one departure; values are clock times
    UniformInterval = 1,    // values are the equal gap of each slot
    IrregularInterval = 2,  // a repeating pattern; values are its repeat interval
};

struct TimetableColumn {
    std::string lineText;
    std::string tourName;
    std::string footnoteMark;
    ServiceDays days = 0;
    bool patternMember = false;  // a column of the first period of an irregular pattern
    ColumnKind kind = ColumnKind::Departure;
    std::vector<int32_t> values;  // one per slot; NotServed / PassThrough stand for no time
    // Interval columns: the shortest and longest gap, in seconds, between the
    // printed (rounded) times of the departures the column stands for; 0 when
    // not known. They differ when the interval is not a whole number of minutes.
    int32_t shortestGap = 0;
    int32_t longestGap = 0;
    // Tour plan columns only; NotServed where there is none.
    std::string ibis;    // destination code
    std::string target;  // destination text
    int32_t pauseTime = NotServed;   // from this trip's end to the tour's next trip
    int32_t endTime = NotServed;     // when this trip ends; empty padding columns have none
    int32_t outMoveTime = NotServed;  // a move out of the depot before this trip starts
    int32_t inMoveTime = NotServed;   // a move back to the depot after this trip ends
};

struct DayGroup {
    const TableDay* day = nullptr;  // its name heads the table, its days select the tours
    std::vector<TimetableColumn> columns;
};

// Columns of timetables are placed by time; tour plans keep them in tour order.
enum class GridMode : int32_t { Timetable = 0, TourPlan = 1 };

struct TimetableGrid {
    int32_t rowCount = 0;  // number of slots
    GridMode mode = GridMode::Timetable;
    std::vector<DayGroup> groups;
    // (rowCount + 1)² smallest known travel times, [from][to]; kUnknownTravelTime = unknown.
    // Empty for plans beyond kMaxTimetableSlots, which are not written.
    std::vector<int32_t> travelTimes;
    FootnoteRegister footnotes;
    // What the build warns of, one line each in the order found: trips that
    // visit the plan's stops in another order than its rows.
    std::vector<std::string> warnings;

    int32_t& TravelTime(int32_t from, int32_t to) { return travelTimes[Index(from, to)]; }
    int32_t TravelTime(int32_t from, int32_t to) const {
        return travelTimes.empty() ? kUnknownTravelTime : travelTimes[Index(from, to)];
    }

private:
    std::size_t Index(int32_t from, int32_t to) const {
        return static_cast<std::size_t>(from) * static_cast<std::size_t>(rowCount + 1) +
               static_cast<std::size_t>(to);
    }
};

// Where each stop row of a plan writes its times. A merged row shares the
// slots (and the arrival/departure meaning) of the nearest non-merged row
// above it.
struct RowSlots {
    int32_t first = -1;  // first slot; -1 for a merged row with no row above it
    bool twoSlots = false;
    int32_t flags = 0;  // arrival/departure flags of the row that owns the slots
};

bool IsRealTime(int32_t value);

// The slot layout of the plan's rows; `slotCount` receives the row count.
std::vector<RowSlots> LayOutRowSlots(const std::vector<PlanStop>& rows, int32_t& slotCount);
int32_t CountSlots(const std::vector<PlanStop>& rows);

// Whether the rows print any time: some row of its own (not merged into the
// row above) shows arrivals or departures.
bool RowsPrintTimes(const std::vector<PlanStop>& rows);

// The most slots a timetable may have: its travel-time table grows with the
// square of the slots (64 MB here). Larger plans are refused as documents.
constexpr int32_t kMaxTimetableSlots = 4096;

// Fills the travel-time table; leaves it empty beyond kMaxTimetableSlots.
void BuildTravelTimes(TimetableGrid& grid, const TimeTablePlan& plan);

// The days of a tour trip that starts after the plan's break hour and so
// belongs to the next service day: week days move on by one, a holiday
// becomes every day after a holiday.
ServiceDays ShiftDaysToNextServiceDay(ServiceDays days);

// Writes the values of a new column for `tourTrip` shifted back by
// `dayShift` seconds. Trip stations visited in another order than the rows
// are listed only add a warning to `warnings`.
void FillColumnValues(TimetableColumn& column, const TimeTablePlan& plan, const std::vector<RowSlots>& slots,
                      const TourTrip& tourTrip, int32_t dayShift, const LanguageTable& lang,
                      std::vector<std::string>& warnings);

// The time from the table's first slot to each slot: through the travel
// times of the plan's trips and the gaps seen in the columns, so that every
// column's first time can be moved back to the first slot. Slots that no
// known time reaches take the offset of the slot above them.
std::vector<int64_t> SlotOffsets(const TimetableGrid& grid);

// Puts the columns of every group in the order of their first time moved
// back to the first slot (so columns that start at one stop stand in clock
// order of their start), then of that slot, then of what they show. The
// order does not depend on the order the columns were made in.
void SortColumnsByTime(TimetableGrid& grid);

// Result bits of CompareColumns.
constexpr int kColumnsSame = 1;          // equal times (or equal times shifted by the interval)
constexpr int kColumnsContinuation = 2;  // one column goes on where the other ends

// What keeps two neighbour columns apart. Timetables take it from the
// plan's displays; tour plans join trips of one tour, so only a shown line
// number can keep them apart.
struct ColumnMergeRules {
    bool lineText = false;  // columns of different lines never join
    bool tourName = false;  // columns of different tours never join
    bool days = false;      // columns of different days do not continue each other
};
ColumnMergeRules TimetableMergeRules(const TimeTablePlan& plan);
ColumnMergeRules TourPlanMergeRules(bool displayLine);

// `interval`: null compares equal times; otherwise *interval is the shift
// between a and b, kUnknownTravelTime until the first pair of times sets it.
int CompareColumns(const ColumnMergeRules& rules, const TimetableColumn& a, const TimetableColumn& b,
                   int32_t* interval = nullptr);
int CompareColumns(const TimeTablePlan& plan, const TimetableColumn& a, const TimetableColumn& b,
                   int32_t* interval = nullptr);

// Joins column a into b after CompareColumns gave `result`: a continuation
// gives b a's times, equal columns give b a's days.
void MergeColumnInto(const TimetableColumn& a, TimetableColumn& b, int result);

// Joins equal neighbour columns of every group (their days add up) and gives
// the remaining columns their footnote marks.
void MergeColumns(TimetableGrid& grid, const TimeTablePlan& plan, const LanguageTable& lang);

// Tries to condense the columns from `start` on into base period, interval
// column and last period. Returns the period condensed (the interval column
// then stands at start + period), 0 when nothing changed.
int CondenseIntervals(DayGroup& group, const TimeTablePlan& plan, std::size_t start);
void CondenseAllIntervals(TimetableGrid& grid, const TimeTablePlan& plan);

// The whole build of one plan, in order: slots, travel times, day groups,
// tour trips (a bus's next trip joins its column when it goes on below it
// within kMaxContinuationWait), columns sorted by time, merging and
// footnotes, and (when asked) interval columns.
TimetableGrid BuildTimetable(const TimeTablePlan& plan, const MapData& map, bool condenseIntervals,
                             const LanguageTable& lang);

struct IterationCell {
    std::string text;
    bool startsBlock = false;  // the writer draws a rule above this cell
};

// The text of one cell. Interval columns spread their label ("every|10|min")
// over the visible slots of equal value; `visible` has one flag per slot.
IterationCell IterationCellText(const LanguageTable& lang, const TimetableColumn& column, int32_t slot,
                                const std::vector<bool>& visible);

}  // namespace tak
