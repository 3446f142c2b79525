// The plain stored fields of the project's records, each listed once: its key
// in the project file, the member that holds it and that member's name. The
// project file's reader and writer and the command-line tool's JSON view all
// walk these tables, so a field cannot be read under one key and written under
// another, nor dumped under a stale name.
//
// The value a reader uses for a missing key is the value the record holds
// before it is read: for every record read into a fresh record that is the
// member's initialiser, so the struct definition is the one place that gives
// a field's default. The few records that start from other values say so
// where they are read.
//
// What is not a plain value stays written out by hand next to the tables'
// use: references into the map data by name or stop id, references between
// records (spider names, same-way trips, route map positions), nested lists,
// and keys that are formed or converted (the connection ends' "Stop0" ...,
// the interchange notes' line breaks, the tour plan's old "DisplayWait").
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "project/Project.h"
#include "project/ProjectLimits.h"

namespace tak {

// One plain field of `Record`. `limit`, when set, bounds a value read from a
// file to what its control offers, so that a value only a hand-edited file
// can hold never reaches the builders and drawings. `writtenWhen`, when set,
// leaves the key out of the file for records it rejects.
template <class Record, class Value>
struct StoredField {
    std::string_view key;   // as in the project file
    std::string_view name;  // the member's name, as the JSON view shows it
    Value Record::*member;
    Value (*limit)(Value) = nullptr;
    bool (*writtenWhen)(const Record&) = nullptr;
};

// Lets a table entry name its record and value type through the member
// alone, also for compilers that deduce no template arguments of an
// aggregate by themselves.
template <class Record, class Value>
StoredField(std::string_view, std::string_view, Value Record::*, std::type_identity_t<Value (*)(Value)> = nullptr,
            std::type_identity_t<bool (*)(const Record&)> = nullptr) -> StoredField<Record, Value>;

// The table of each record, in the order the keys are written.
template <class Record>
struct StoredFields;

// Calls `visit` with each field descriptor of `Record`, in table order.
template <class Record, class Visit>
constexpr void ForEachStoredField(Visit&& visit) {
    std::apply([&](const auto&... field) { (visit(field), ...); }, StoredFields<Record>::kFields);
}

namespace fields {

inline bool HasText(const OutputOpt& options, std::string OutputOpt::*member) { return !(options.*member).empty(); }
inline bool HasValidFrom(const OutputOpt& options) { return HasText(options, &OutputOpt::validFrom); }
inline bool HasOperator(const OutputOpt& options) { return HasText(options, &OutputOpt::operatorName); }

// A display the drawing does not know prints no travel times.
constexpr int32_t KnownTravelDisplay(int32_t display) {
    return display == kTravelOnTop || display == kTravelBeneath ? display : kTravelNotShown;
}

inline bool HasPngScale(const RouteMap& map) { return map.pngScale != 1; }
inline bool HasTitle(const RouteMap& map) { return !map.title.empty(); }
constexpr bool HasCustomColour(const RouteLine& line) { return line.colourIndex == kCustomColour; }
constexpr bool HasFixedColour(const RouteLine& line) { return line.colourIndex != kAutomaticColour; }
constexpr bool IsPlacedByHand(const StopLabel& label) { return !label.automatic; }
constexpr bool IsNamePlacedByHand(const StopLabel& label) { return !label.automatic && label.type == kLabelName; }
constexpr bool IsArrow(const StopLabel& label) { return label.type == kLabelArrow; }
constexpr bool HasFootnote(const StopTableTrip& entry) { return entry.alternative; }

}  // namespace fields

// --- Output options and plans ---------------------------------------------------------

template <>
struct StoredFields<OutputOpt> {
    static constexpr std::tuple kFields{
        StoredField{"Format", "format", &OutputOpt::format},
        StoredField{"FontName", "fontName", &OutputOpt::fontName},
        StoredField{"FontSize", "fontSize", &OutputOpt::fontSize, LimitFontSize},
        StoredField{"TTAllInOne", "ttAllInOne", &OutputOpt::ttAllInOne},
        StoredField{"TPAllInOne", "tpAllInOne", &OutputOpt::tpAllInOne},
        StoredField{"STAllInOne", "stAllInOne", &OutputOpt::stAllInOne},
        // Left out while empty, so that files without them stay as they were.
        StoredField{"ValidFrom", "validFrom", &OutputOpt::validFrom, LimitHeadingText, fields::HasValidFrom},
        StoredField{"Operator", "operatorName", &OutputOpt::operatorName, LimitHeadingText,
                    fields::HasOperator},
    };
};

// "ID" (the station) comes first and is written by hand; a missing "Name"
// is the station's name, set before the table is read.
template <>
struct StoredFields<PlanStop> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &PlanStop::name},
        StoredField{"Flags", "flags", &PlanStop::flags},
    };
};

template <>
struct StoredFields<TableDay> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &TableDay::name},
        StoredField{"Flags", "days", &TableDay::days},
    };
};

// Followed by "RouteSpider", "Trip", "Days" and "Stop".
template <>
struct StoredFields<TimeTablePlan> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &TimeTablePlan::name},
        StoredField{"Headline", "headline", &TimeTablePlan::headline},
        StoredField{"Line", "line", &TimeTablePlan::line},
        StoredField{"AutoLine", "autoLine", &TimeTablePlan::autoLine},
        StoredField{"HideEmpty", "hideEmpty", &TimeTablePlan::hideEmpty},
        StoredField{"HideBridge", "hideBridge", &TimeTablePlan::hideBridge},
        StoredField{"DisplayLine", "displayLine", &TimeTablePlan::displayLine},
        StoredField{"DisplayTour", "displayTour", &TimeTablePlan::displayTour},
        StoredField{"DisplayNote", "displayNote", &TimeTablePlan::displayNote},
        StoredField{"PageBreak", "pageBreak", &TimeTablePlan::pageBreak},
        StoredField{"MergeIterColumn", "mergeIterColumn", &TimeTablePlan::mergeIterColumn},
        StoredField{"BreakHour", "breakHour", &TimeTablePlan::breakHour, LimitBreakHour},
    };
};

// Preceded by "Name" (the trip) and "IsOut" (the plan's direction sets).
template <>
struct StoredFields<TourPlanTrip> {
    static constexpr std::tuple kFields{
        StoredField{"IsNotInService", "notInService", &TourPlanTrip::notInService},
        StoredField{"Deactivate", "deactivate", &TourPlanTrip::deactivate},
        StoredField{"Ibis", "ibis", &TourPlanTrip::ibis},
        StoredField{"Target", "target", &TourPlanTrip::target},
    };
};

// Preceded by "Name", the plan's key; followed by "Tour", "Trip", "StopOut"
// and "StopRet". Older files name the pause switch "DisplayWait": it is read
// as the default of "DisplayPause" and never written.
template <>
struct StoredFields<TourPlan> {
    static constexpr std::tuple kFields{
        StoredField{"Headline", "headline", &TourPlan::headline},
        StoredField{"HideEmpty", "hideEmpty", &TourPlan::hideEmpty},
        StoredField{"HideBridge", "hideBridge", &TourPlan::hideBridge},
        StoredField{"DisplayLine", "displayLine", &TourPlan::displayLine},
        StoredField{"DisplayIbis", "displayIbis", &TourPlan::displayIbis},
        StoredField{"DisplayTarget", "displayTarget", &TourPlan::displayTarget},
        StoredField{"DisplayOutIns", "displayOutIns", &TourPlan::displayOutIns},
        StoredField{"DisplayPause", "displayPause", &TourPlan::displayPause},
        StoredField{"PageBreak", "pageBreak", &TourPlan::pageBreak},
    };
};

// Preceded by "Name" (the trip); an entry with "SameWay" is written with
// that key instead of these.
template <>
struct StoredFields<StopTableTrip> {
    static constexpr std::tuple kFields{
        StoredField{"Alternativ", "alternative", &StopTableTrip::alternative},
        StoredField{"Footnote", "footnote", &StopTableTrip::footnote, nullptr, fields::HasFootnote},
    };
};

// Followed by "RouteSpider", "Stations", "Days" and "Trips".
template <>
struct StoredFields<StopTable> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &StopTable::name},
        StoredField{"Headline", "headline", &StopTable::headline},
        StoredField{"SameInOne", "sameInOne", &StopTable::sameInOne},
        StoredField{"BreakHour", "breakHour", &StopTable::breakHour, LimitBreakHour},
        StoredField{"MergeRow", "mergeRow", &StopTable::mergeRow},
    };
};

// --- Route spiders ------------------------------------------------------------------------

// Followed by "Way"; a way's fields are all references ("BeginWay" ...) or lists.
template <>
struct StoredFields<RouteSpider> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &RouteSpider::name},
        StoredField{"DisplayTravel", "displayTravel", &RouteSpider::displayTravel, fields::KnownTravelDisplay},
    };
};

// Preceded by "ID" (the station), followed by "Changes", whose line breaks
// are converted.
template <>
struct StoredFields<SpiderStop> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &SpiderStop::name},
        StoredField{"Important", "important", &SpiderStop::important},
        StoredField{"TravelTime", "travelTime", &SpiderStop::travelTime, LimitTravelTime},
    };
};

// --- Route map ------------------------------------------------------------------------------

// Followed by "Line", "Stop" and "Connect". A file lacking a setting keeps
// the value of the route map as reset before loading.
template <>
struct StoredFields<RouteMap> {
    static constexpr std::tuple kFields{
        StoredField{"Format", "format", &RouteMap::format},
        StoredField{"Width", "width", &RouteMap::width},
        StoredField{"Height", "height", &RouteMap::height},
        StoredField{"RoundBox", "roundBox", &RouteMap::roundBox},
        StoredField{"AllowDiag", "allowDiag", &RouteMap::allowDiag},
        // Left out while they hold their defaults, so that older files stay as they were.
        StoredField{"PngScale", "pngScale", &RouteMap::pngScale, LimitPngScale, fields::HasPngScale},
        StoredField{"Title", "title", &RouteMap::title, LimitHeadingText, fields::HasTitle},
    };
};

template <>
struct StoredFields<RouteLine> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &RouteLine::name},
        StoredField{"ColorIndex", "colourIndex", &RouteLine::colourIndex},
        StoredField{"CustomColor", "customColour", &RouteLine::customColour, nullptr, fields::HasCustomColour},
        StoredField{"CustomTextColor", "textColour", &RouteLine::textColour, nullptr, fields::HasFixedColour},
        StoredField{"CustomArrowColor", "arrowColour", &RouteLine::arrowColour, nullptr, fields::HasFixedColour},
        StoredField{"Stroke", "stroke", &RouteLine::stroke},
        StoredField{"Thickness", "thickness", &RouteLine::thickness},
        StoredField{"TextAuto", "autoNames", &RouteLine::autoNames},
    };
};

// Followed by the box (written only for a stop placed by hand) and "Text".
template <>
struct StoredFields<RouteStop> {
    static constexpr std::tuple kFields{
        StoredField{"Name", "name", &RouteStop::name},
        StoredField{"Exit", "exit", &RouteStop::exit},
        StoredField{"Auto", "automatic", &RouteStop::automatic},
    };
};

template <>
struct StoredFields<StopBox> {
    static constexpr std::tuple kFields{
        StoredField{"X", "x", &StopBox::x},
        StoredField{"Y", "y", &StopBox::y},
        StoredField{"Width", "width", &StopBox::width},
        StoredField{"Height", "height", &StopBox::height},
    };
};

// A badge's "Line" is a position in the route map's line array, written by
// hand; badges (with a line) and arrows (with a direction) never meet in one
// label, so its place among these keys does not matter.
template <>
struct StoredFields<StopLabel> {
    static constexpr std::tuple kFields{
        StoredField{"Type", "type", &StopLabel::type},
        StoredField{"Auto", "automatic", &StopLabel::automatic},
        StoredField{"X", "x", &StopLabel::x, nullptr, fields::IsPlacedByHand},
        StoredField{"Y", "y", &StopLabel::y, nullptr, fields::IsPlacedByHand},
        StoredField{"Angle", "angle", &StopLabel::angle, nullptr, fields::IsNamePlacedByHand},
        StoredField{"Dir", "dir", &StopLabel::dir, nullptr, fields::IsArrow},
    };
};

// A connection's "Line" and its ends ("Stop0", "StopDir0", "StopPos0" ...)
// are positions and formed keys, written by hand; its via points and signs
// are lists of these two records.
template <>
struct StoredFields<GridPoint> {
    static constexpr std::tuple kFields{
        StoredField{"X", "x", &GridPoint::x},
        StoredField{"Y", "y", &GridPoint::y},
    };
};

template <>
struct StoredFields<Sign> {
    static constexpr std::tuple kFields{
        StoredField{"Type", "type", &Sign::type},
        StoredField{"Pos", "pos", &Sign::pos},
    };
};

}  // namespace tak
