#include "output/OutputTourPlan.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "base/Language.h"
#include "base/Text.h"

namespace tak {

namespace {

int32_t EndOf(const TourTrip& tourTrip) {
    int32_t duration = tourTrip.profile ? tourTrip.profile->duration : 0;
    return ClampTime(int64_t{tourTrip.startTime} + duration);
}

void PadTo(DayGroup& table, std::size_t size, int32_t rowCount) {
    while (table.columns.size() < size) {
        TimetableColumn empty;
        empty.values.assign(static_cast<std::size_t>(rowCount), NotServed);
        table.columns.push_back(std::move(empty));
    }
}

// The timetable writers' view of one table's rows.
TimeTablePlan RowsAsPlan(const TourPlan& plan, const std::vector<PlanStop>& rows) {
    TimeTablePlan view;
    view.name = plan.name;
    view.hideEmpty = plan.hideEmpty;
    view.hideBridge = plan.hideBridge;
    view.displayLine = plan.displayLine;
    view.displayTour = false;
    view.displayNote = false;
    view.stops = rows;
    return view;
}

bool HasServiceReturnTrip(const TourPlan& plan) {
    return std::any_of(plan.trips.begin(), plan.trips.end(), [&](const TourPlanTrip& entry) {
        return entry.trip && !entry.notInService && !entry.deactivate && !plan.outward.contains(entry.trip->name);
    });
}

// Places the trips of one tour into its two tables, in tour order.
class TourPlacer {
public:
    TourPlacer(TourPlanGrid& grid, const TourPlan& plan, std::size_t group,
               const std::unordered_map<const Trip*, const TourPlanTrip*>& entries,
               const std::vector<RowSlots>& outSlots, const std::vector<RowSlots>& retSlots,
               const LanguageTable& lang)
        : grid_(grid), plan_(plan), group_(group), entries_(entries), outSlots_(outSlots), retSlots_(retSlots),
          lang_(lang) {}

    void Place(const Tour& tour, const TourTrip& tourTrip) {
        auto found = tourTrip.trip ? entries_.find(tourTrip.trip) : entries_.end();
        if (found == entries_.end() || found->second->deactivate) return;
        if (found->second->notInService) {
            PlaceMove(tourTrip);
        } else {
            PlaceService(tour, tourTrip, *found->second);
        }
    }

    // Both tables of the tour end with the same number of columns.
    void Finish() {
        if (!grid_.hasReturn) return;
        std::size_t size = std::max(Out().columns.size(), Ret().columns.size());
        PadTo(Out(), size, grid_.out.rowCount);
        PadTo(Ret(), size, grid_.ret.rowCount);
    }

private:
    struct Placed {
        bool outward = true;
        std::size_t index = 0;
    };

    DayGroup& Out() { return grid_.out.groups[group_]; }
    DayGroup& Ret() { return grid_.ret.groups[group_]; }
    DayGroup& Table(bool outward) { return outward ? Out() : Ret(); }
    TimetableColumn& At(const Placed& placed) { return Table(placed.outward).columns[placed.index]; }

    void PlaceMove(const TourTrip& tourTrip) {
        if (!hasLast_ || movePending_) {
            pendingOutMove_ = tourTrip.startTime;
        } else {
            At(last_).inMoveTime = EndOf(tourTrip);
        }
        if (hasLast_) movePending_ = true;
    }

    // Where the next column of a direction goes. Outward column k and return
    // column k form one round trip; a move in between leaves one empty column.
    std::size_t NextIndex(bool outward) {
        std::size_t outSize = Out().columns.size();
        if (!grid_.hasReturn) return outSize;
        std::size_t retSize = Ret().columns.size();
        if (movePending_) return std::max(outSize, retSize) + 1;
        if (outward) return std::max(outSize, retSize);
        return retSize < outSize ? outSize - 1 : outSize;
    }

    void PlaceService(const Tour& tour, const TourTrip& tourTrip, const TourPlanTrip& entry) {
        bool outward = !grid_.hasReturn || plan_.outward.contains(tourTrip.trip->name);
        std::size_t index = NextIndex(outward);
        DayGroup& table = Table(outward);
        PadTo(table, index, (outward ? grid_.out : grid_.ret).rowCount);
        // A return trip always has an outward column above it, which shows
        // the moves between the two tables.
        if (!outward) PadTo(Out(), index + 1, grid_.out.rowCount);

        TimetableColumn column = MakeColumn(tour, tourTrip, entry, outward);
        if (hasLast_ && !movePending_) {
            // A pause only between trips driven one after the other; a move
            // to the depot in between is no pause.
            TimetableColumn& previous = At(last_);
            if (previous.endTime != NotServed) {
                // From the printed times, so that arrival, pause and next
                // departure add up on paper.
                previous.pauseTime =
                    ClampTime(int64_t{RoundToMinute(tourTrip.startTime)} - RoundToMinute(previous.endTime));
            }
        }
        if (pendingOutMove_ != NotServed) {
            // Before a return trip the move shows between the two tables,
            // in the row of the outward columns' moves.
            if (outward) {
                column.outMoveTime = pendingOutMove_;
            } else {
                Out().columns[index].inMoveTime = pendingOutMove_;
            }
        }
        table.columns.push_back(std::move(column));
        bool merged = hasLast_ && !movePending_ && last_.outward == outward && last_.index + 1 == index &&
                      MergeWithPrevious(outward, index);
        last_ = Placed{outward, merged ? index - 1 : index};
        hasLast_ = true;
        pendingOutMove_ = NotServed;
        movePending_ = false;
    }

    TimetableColumn MakeColumn(const Tour& tour, const TourTrip& tourTrip, const TourPlanTrip& entry, bool outward) {
        const TimetableGrid& grid = outward ? grid_.out : grid_.ret;
        TimetableColumn column;
        column.lineText = tourTrip.trip->lineName;
        column.tourName = tour.name;
        column.days = tour.days;
        column.ibis = entry.ibis;
        // Without a destination text of its own a trip shows where it ends.
        column.target = entry.target.empty() && !tourTrip.trip->stations.empty() ? tourTrip.trip->stations.back().name
                                                                                   : entry.target;
        column.endTime = EndOf(tourTrip);
        column.values.assign(static_cast<std::size_t>(grid.rowCount), NotServed);
        FillColumnValues(column, outward ? grid_.outRows : grid_.retRows, outward ? outSlots_ : retSlots_, tourTrip,
                         0, lang_, grid_.warnings);
        return column;
    }

    // Joins the new column at `index` with the column before it when they
    // continue each other; the joined column keeps the earlier out-move.
    bool MergeWithPrevious(bool outward, std::size_t index) {
        std::vector<TimetableColumn>& columns = Table(outward).columns;
        TimetableColumn& previous = columns[index - 1];
        TimetableColumn& added = columns[index];
        int result = CompareColumns(TourPlanMergeRules(plan_.displayLine), previous, added);
        if (result == 0) return false;
        MergeColumnInto(previous, added, result);
        if (added.outMoveTime == NotServed) added.outMoveTime = previous.outMoveTime;
        columns[index - 1] = std::move(added);
        columns.pop_back();
        if (grid_.hasReturn) {
            std::vector<TimetableColumn>& other = Table(!outward).columns;
            if (other.size() > index && other[index].endTime == NotServed) other.resize(index);
        }
        return true;
    }

    TourPlanGrid& grid_;
    const TourPlan& plan_;
    std::size_t group_;
    const std::unordered_map<const Trip*, const TourPlanTrip*>& entries_;
    const std::vector<RowSlots>& outSlots_;
    const std::vector<RowSlots>& retSlots_;
    const LanguageTable& lang_;
    Placed last_;  // the last service column placed, when hasLast_
    bool hasLast_ = false;
    int32_t pendingOutMove_ = NotServed;  // a move out waiting for the next trip
    bool movePending_ = false;
};

}  // namespace

const Line* FindTourPlanLine(const TourPlan& plan, const MapData& map) {
    for (const auto& line : map.lines) {
        if (EqualsIgnoringCase(line->name, plan.name)) return line.get();
    }
    return nullptr;
}

TourPlanGrid BuildTourPlan(const TourPlan& plan, const MapData& map, const LanguageTable& lang) {
    TourPlanGrid grid;
    grid.hasReturn = HasServiceReturnTrip(plan);
    grid.outRows = RowsAsPlan(plan, plan.stopsOut);
    grid.retRows = RowsAsPlan(plan, plan.stopsRet);
    for (TimetableGrid* table : {&grid.out, &grid.ret}) table->mode = GridMode::TourPlan;
    std::vector<RowSlots> outSlots = LayOutRowSlots(plan.stopsOut, grid.out.rowCount);
    std::vector<RowSlots> retSlots = LayOutRowSlots(plan.stopsRet, grid.ret.rowCount);

    std::unordered_map<const Trip*, const TourPlanTrip*> entries;
    for (const TourPlanTrip& entry : plan.trips) {
        if (entry.trip) entries.try_emplace(entry.trip, &entry);
    }
    const Line* line = FindTourPlanLine(plan, map);
    if (!line) return grid;
    for (const Tour& tour : line->tours) {
        if (!plan.tours.contains(tour.name)) continue;
        grid.tours.push_back(&tour);
        grid.out.groups.push_back(DayGroup{});
        grid.ret.groups.push_back(DayGroup{});
        TourPlacer placer(grid, plan, grid.tours.size() - 1, entries, outSlots, retSlots, lang);
        for (const TourTrip& tourTrip : tour.trips) placer.Place(tour, tourTrip);
        placer.Finish();
    }
    return grid;
}

std::string TourPlanFileName(const LanguageTable& lang, const TourPlan& plan, std::string_view extension) {
    return DocumentFileName(lang, "Tour", plan.name, extension);
}

}  // namespace tak
