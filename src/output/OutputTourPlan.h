// Tour plans: the driver's duty sheet for the tours of one line. Every
// selected tour gets an outward table and, when the plan has return trips,
// a return table below it; each trip the tour drives is a column, kept in
// tour order, with its moves out of and into service and its pauses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "output/OutputTimetable.h"
#include "output/OutputTimetableWriter.h"

namespace tak {

struct TourPlanGrid {
    bool hasReturn = false;
    std::vector<const Tour*> tours;  // the selected tours in line order
    // One group per tour, in the order of `tours`. Outward column k and
    // return column k belong to the same round trip; both tables of a tour
    // hold the same number of columns.
    TimetableGrid out;
    TimetableGrid ret;
    // The rows and row hiding of each table in the form the timetable
    // writers read.
    TimeTablePlan outRows;
    TimeTablePlan retRows;
    // What the build warns of, one line each in the order found (see
    // TimetableGrid::warnings).
    std::vector<std::string> warnings;
};

// The map's line named by the plan, found ignoring case; null when none.
const Line* FindTourPlanLine(const TourPlan& plan, const MapData& map);

// Builds the tables of every selected tour of the plan's line.
TourPlanGrid BuildTourPlan(const TourPlan& plan, const MapData& map, const LanguageTable& lang);

struct TourPlanWriteInput {
    const TourPlanGrid& grid;
    const TourPlan& plan;
    const LanguageTable& lang;
    const OutputOpt& options;
    const DocumentStamp* stamp = nullptr;  // validity, operator and line colours
};

// "<Tour> <line name><extension>"; empty when that could not be a file name.
std::string TourPlanFileName(const LanguageTable& lang, const TourPlan& plan, std::string_view extension);

// What every page (and the text document) of the plan starts with: its line
// and title (its tours go both ways).
PageHeading TourPlanHeading(const TourPlanWriteInput& input);

// The tables as text (UTF-8, CR LF); a text document puts the heading above them.
std::string TourPlanText(const TourPlanWriteInput& input);

// Adds the plan's pages to an open document.
void WriteTourPlanPages(DocumentTarget& target, const TourPlanWriteInput& input);

// Adds the plan to a begun document of either format.
void DrawTourPlan(DocumentTarget& target, const TourPlanWriteInput& input);

}  // namespace tak
