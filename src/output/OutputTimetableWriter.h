// The timetable writers: lay a built timetable grid out as a PDF document
// (landscape A4, one table per block of columns) or as a fixed-width text
// file, into the grid's output folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "output/OutputDocument.h"
#include "output/OutputTimetable.h"

namespace tak {

class LanguageTable;
struct RouteSpiderList;

// Fixed rules of the timetable documents, shared by both formats.
struct TimetableLayout {
    // Text format.
    static constexpr int kTextBlockColumns = 20;
    static constexpr int kTextCellWidth = 5;  // each column: the centred text and one blank
    static constexpr int kTextRuleWidth = 120;
    static constexpr int kTextMinLabelWidth = 2;  // "an"/"ab"; wider labels widen the field
    static constexpr const char* kLineEnd = "\r\n";
    // PDF (the page itself is set up by DocumentPage).
    static constexpr const char* kWidestTime = "88:88";
    static constexpr float kNamePadding = 20;
    static constexpr float kColumnPadding = 7;
    static constexpr float kTextInset = 4;  // a column's text stays this much narrower than the column
    static constexpr float kPageSpare = 20;
    static constexpr int kRowsWorthStarting = 4;  // a table starts on a page with room for its heading and these
    static constexpr std::size_t kFewestRowsOnPage = 4;  // of a table split over pages, unless it has fewer
    static constexpr int kFillGrey = 236;
    static constexpr int kFillGreyBoth = 216;  // odd row of a pattern member
};

struct TimetableWriteInput {
    const TimetableGrid& grid;
    const TimeTablePlan& plan;
    const LanguageTable& lang;
    const OutputOpt& options;
    const RouteSpiderList* spiders = nullptr;  // for the plan's route spider
    const DocumentStamp* stamp = nullptr;      // validity, operator and line colours; none in tests
};

// Which slots a block of columns prints: with "HideEmpty" no slot that no
// departure column serves, with "HideBridge" none that every departure
// column only passes.
std::vector<bool> VisibleSlots(const TimetableGrid& grid, const TimeTablePlan& plan, const DayGroup& group,
                               std::size_t firstColumn, std::size_t columnCount);

struct SlotRow {
    std::string name;  // the printed name of the row owning the slot
    std::string label;  // Lang("ArrShort"), Lang("DepShort") or ""
};
std::vector<SlotRow> DescribeSlots(const TimeTablePlan& plan, const LanguageTable& lang);

// "an = Ankunft, ab = Abfahrt" for the labels that print; empty for none.
std::string LabelLegend(const LanguageTable& lang, bool arrivals, bool departures);

// "<TimeTable> <plan name><extension>"; empty when the name could not be a
// file name (a separator, a reserved or a control character), so that no
// plan name can lead a file out of the output folder.
std::string TimetableFileName(const LanguageTable& lang, const TimeTablePlan& plan, std::string_view extension);

// What every page (and the text document) of the plan starts with: its
// lines, title and the stops its trips end at.
PageHeading TimetableHeading(const TimetableWriteInput& input);

// The tables as text (UTF-8, CR LF); a text document puts the heading above them.
std::string TimetableText(const TimetableWriteInput& input);

// The bold form of a font style.
PdfFontStyle BoldStyle(PdfFontStyle style);

// Cut to `width` characters or padded with blanks on the right.
std::string FitText(std::string_view text, int width);
// Drops the last character (not byte) of UTF-8 text.
std::string DropLastCharacter(std::string text);
// Characters of the longest printed name among the rows that own slots.
int LongestRowName(const std::vector<PlanStop>& rows);

// The horizontal layout of a page of time columns (timetables and tour
// plans): the name field, the arrival/departure label field and as many
// columns as fit beside them.
struct ColumnPageGeometry {
    float nameWidth = 0;
    float labelWidth = 0;
    float columnWidth = 0;
    float tableWidth = 0;
    std::size_t columnsPerPage = 1;
};
// The label field: the wider label sets it, so that neither reaches into the names.
float LabelFieldWidth(const PdfDocument& pdf, const LanguageTable& lang);
ColumnPageGeometry FitColumns(const PdfDocument& pdf, float nameWidth, float labelWidth);
// `text` shortened until it fits a column of the geometry.
std::string FitColumnText(const PdfDocument& pdf, const ColumnPageGeometry& geometry, std::string text);
// The tables' shading: a grey level (0-255) written as an RGB colour.
void SetFillGreyAsRgb(PdfDocument& pdf, int grey);
// Where a table goes on to a new page: the indices of the rows that begin
// one. The rows (of `heights`) fill `firstRoom` and then `pageRoom` on every
// further page; the last row also needs `closing` (the rule and the notes
// below it). A last page that would show fewer than kFewestRowsOnPage rows
// takes rows over from the page before, as far as that page keeps as many.
std::vector<std::size_t> PlanTableBreaks(const std::vector<float>& heights, float firstRoom, float pageRoom,
                                         float closing);

// Whether a route spider drawn from `pageTop` down to the cursor takes more
// than a third of the page: then a table that does not fit under it whole
// starts on the next page instead.
bool SpiderTakesMoreThanAThird(const PdfDocument& pdf, float pageTop);

// The rule that closes a table of `width` at the cursor before its page
// ends; it never begins a page of its own, however little room is left.
void CloseTableRule(PdfDocument& pdf, float width);

// Adds the plan's pages to an open document.
void WriteTimetablePages(DocumentTarget& target, const TimetableWriteInput& input);

// Adds the plan to a begun document of either format.
void DrawTimetable(DocumentTarget& target, const TimetableWriteInput& input);

}  // namespace tak
