#include "output/OutputTimetableWriter.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "base/Text.h"
#include "output/OutputRowHeights.h"
#include "routespider/RouteSpiderDrawing.h"

namespace tak {

namespace {

using Layout = TimetableLayout;

// The header rows a plan asks for, in print order: language key and the
// column's text.
struct HeaderRow {
    const char* key;
    std::string TimetableColumn::*field;
};

// Each distinct non-empty footnote mark of a block, in column order.
std::vector<std::string> BlockMarks(const DayGroup& group, std::size_t first, std::size_t count) {
    std::vector<std::string> marks;
    for (std::size_t c = first; c < first + count; ++c) {
        const std::string& mark = group.columns[c].footnoteMark;
        if (!mark.empty() && std::find(marks.begin(), marks.end(), mark) == marks.end()) marks.push_back(mark);
    }
    return marks;
}

// The note row stands only over a table in which some column has a mark.
std::vector<HeaderRow> HeaderRows(const TimeTablePlan& plan, const std::vector<std::string>& blockMarks) {
    std::vector<HeaderRow> rows;
    if (plan.displayTour) rows.push_back({"TourName", &TimetableColumn::tourName});
    if (plan.displayLine) rows.push_back({"LineNumber", &TimetableColumn::lineText});
    if (plan.displayNote && !blockMarks.empty()) rows.push_back({"FootNote", &TimetableColumn::footnoteMark});
    return rows;
}

std::string FootnoteLine(const TimetableGrid& grid, const std::string& mark) {
    auto entry = grid.footnotes.find(mark);
    return mark + " = " + (entry == grid.footnotes.end() ? std::string() : entry->second.text);
}

// What the marks of a block mean, for those it prints: interval columns,
// repeated patterns (shaded in PDF), a rule where an interval changes, and
// the arrival and departure labels.
std::vector<std::string> BlockLegend(const LanguageTable& lang, const DayGroup& group, std::size_t first,
                                     std::size_t count, const std::vector<bool>& visible,
                                     const std::vector<SlotRow>& slots, DocumentFormat format) {
    bool every = false;
    bool pattern = false;
    bool change = false;
    for (std::size_t c = first; c < first + count; ++c) {
        const TimetableColumn& column = group.columns[c];
        if (column.kind == ColumnKind::Departure) continue;
        (column.kind == ColumnKind::UniformInterval ? every : pattern) = true;
        for (std::size_t s = 0; s < slots.size() && !change; ++s) {
            change = visible[s] && IterationCellText(lang, column, static_cast<int32_t>(s), visible).startsBlock;
        }
    }
    bool arrivals = false;
    bool departures = false;
    for (std::size_t s = 0; s < slots.size(); ++s) {
        if (!visible[s]) continue;
        arrivals = arrivals || slots[s].label == lang.Lang("ArrShort");
        departures = departures || slots[s].label == lang.Lang("DepShort");
    }
    std::vector<std::string> lines;
    if (every) lines.push_back(lang.Lang("LegendEvery"));
    if (pattern) lines.push_back(lang.Lang(format == DocumentFormat::Pdf ? "LegendPatternShaded" : "LegendPattern"));
    if (change && format == DocumentFormat::Pdf) lines.push_back(lang.Lang("LegendIntervalChange"));
    std::string labels = LabelLegend(lang, arrivals, departures);
    if (!labels.empty()) lines.push_back(labels);
    return lines;
}

}  // namespace

// Cut to `width` characters or padded with blanks on the right.
std::string FitText(std::string_view text, int width) {
    std::size_t pos = 0;
    int count = 0;
    while (pos < text.size() && count < width) {
        NextCodePoint(text, pos);
        ++count;
    }
    std::string fitted(text.substr(0, pos));
    fitted.append(static_cast<std::size_t>(width - count), ' ');
    return fitted;
}

std::string DropLastCharacter(std::string text) {
    while (!text.empty()) {
        unsigned char c = static_cast<unsigned char>(text.back());
        text.pop_back();
        if ((c & 0xC0) != 0x80) break;
    }
    return text;
}

float LabelFieldWidth(const PdfDocument& pdf, const LanguageTable& lang) {
    return std::round(std::max(pdf.TextWidth(lang.Lang("ArrShort")), pdf.TextWidth(lang.Lang("DepShort"))));
}

ColumnPageGeometry FitColumns(const PdfDocument& pdf, float nameWidth, float labelWidth) {
    ColumnPageGeometry geometry;
    geometry.nameWidth = nameWidth;
    geometry.labelWidth = labelWidth;
    geometry.columnWidth = std::round(pdf.TextWidth(Layout::kWidestTime) + Layout::kColumnPadding);
    float room = pdf.PageWidth() - pdf.LeftMargin() - pdf.RightMargin() - nameWidth - labelWidth - Layout::kPageSpare;
    geometry.columnsPerPage = static_cast<std::size_t>(std::max(1L, std::lround(room / geometry.columnWidth)));
    geometry.tableWidth =
        nameWidth + labelWidth + geometry.columnWidth * static_cast<float>(geometry.columnsPerPage) + 1;
    return geometry;
}

std::string FitColumnText(const PdfDocument& pdf, const ColumnPageGeometry& geometry, std::string text) {
    while (!text.empty() && pdf.TextWidth(text) > geometry.columnWidth - Layout::kTextInset) {
        text = DropLastCharacter(std::move(text));
    }
    return text;
}

void SetFillGreyAsRgb(PdfDocument& pdf, int grey) {
    float g = static_cast<float>(grey);
    pdf.SetFillPaint(g, g, g);
}

std::vector<std::size_t> PlanTableBreaks(const std::vector<float>& heights, float firstRoom, float pageRoom,
                                         float closing) {
    const std::size_t n = heights.size();
    std::vector<std::size_t> breaks;
    float room = firstRoom;
    std::size_t pageStart = 0;
    for (std::size_t i = 0; i < n; ++i) {
        float need = heights[i] + (i + 1 == n ? closing : 0);
        if (need > room && i > pageStart) {
            breaks.push_back(i);
            pageStart = i;
            room = pageRoom;
        }
        room -= heights[i];
    }
    if (breaks.empty() || n - breaks.back() >= Layout::kFewestRowsOnPage) return breaks;
    // The tail takes rows from the page before: as many as it needs when
    // that page keeps its own share, else half of the two pages' rows.
    std::size_t before = breaks.size() > 1 ? breaks[breaks.size() - 2] : 0;
    std::size_t both = n - before;
    std::size_t start = both >= 2 * Layout::kFewestRowsOnPage ? n - Layout::kFewestRowsOnPage : before + (both + 1) / 2;
    if (start >= breaks.back()) return breaks;
    float need = closing;
    for (std::size_t i = start; i < n; ++i) need += heights[i];
    if (need <= pageRoom) breaks.back() = start;
    return breaks;
}

bool SpiderTakesMoreThanAThird(const PdfDocument& pdf, float pageTop) {
    return pdf.CursorY() - pageTop > (pdf.PageBreakY() - pageTop) / 3;
}

void CloseTableRule(PdfDocument& pdf, float width) {
    if (pdf.CursorY() + 1 <= pdf.PageBreakY()) {
        pdf.PutCell(width, 1, "", PdfBorder::Top, PdfCursor::NextLine);
        return;
    }
    // A cell here would break the page first.
    float x = pdf.CursorX();
    float y = pdf.CursorY();
    pdf.PathMoveTo(x, y);
    pdf.PathLineTo(x + width, y);
    pdf.PaintPath(PdfPaint::Stroke);
}

std::string LabelLegend(const LanguageTable& lang, bool arrivals, bool departures) {
    std::string labels;
    if (arrivals) labels = FillPlaceholders(lang.Lang("LegendArrival"), {lang.Lang("ArrShort")});
    if (departures) {
        labels += (labels.empty() ? "" : ", ") + FillPlaceholders(lang.Lang("LegendDeparture"), {lang.Lang("DepShort")});
    }
    return labels;
}

int LongestRowName(const std::vector<PlanStop>& rows) {
    int longest = 0;
    for (const PlanStop& row : rows) {
        if (!(row.flags & kRowMerged)) longest = std::max(longest, CharacterCount(row.name));
    }
    return longest;
}

namespace {


std::size_t PrintedSlotCount(const std::vector<bool>& visible) {
    return static_cast<std::size_t>(std::count(visible.begin(), visible.end(), true));
}

// --- Text format --------------------------------------------------------------

class TextTimetable {
public:
    explicit TextTimetable(const TimetableWriteInput& input)
        : in_(input), slots_(DescribeSlots(input.plan, input.lang)), nameWidth_(LongestRowName(input.plan.stops)) {
        int label = Layout::kTextMinLabelWidth;
        for (const char* key : {"ArrShort", "DepShort"}) label = std::max(label, CharacterCount(in_.lang.Lang(key)));
        labelWidth_ = label + 1;
    }

    std::string Build() {
        for (const DayGroup& group : in_.grid.groups) {
            for (std::size_t first = 0; first < group.columns.size(); first += Layout::kTextBlockColumns) {
                std::size_t count = std::min<std::size_t>(Layout::kTextBlockColumns, group.columns.size() - first);
                WriteBlock(group, first, count);
            }
        }
        return std::move(text_);
    }

private:
    void Line(std::string_view line) {
        text_ += line;
        text_ += Layout::kLineEnd;
    }

    std::string Cells(const DayGroup& group, std::size_t first, std::size_t count,
                      const std::function<std::string(const TimetableColumn&)>& cellText) const {
        std::string cells;
        for (std::size_t c = first; c < first + count; ++c) {
            cells += CenterText(cellText(group.columns[c]), Layout::kTextCellWidth) + " ";
        }
        return cells;
    }

    void WriteBlock(const DayGroup& group, std::size_t first, std::size_t count) {
        int left = nameWidth_ + labelWidth_;
        std::string rule(static_cast<std::size_t>(Layout::kTextRuleWidth), '-');
        std::string name = group.day ? group.day->name : "";
        Line(std::string(static_cast<std::size_t>(left), ' ') + " | " + CenterText(name, Layout::kTextRuleWidth));
        Line(std::string(static_cast<std::size_t>(left), '-') + "-|-" + rule);
        for (const HeaderRow& header : HeaderRows(in_.plan, BlockMarks(group, first, count))) {
            Line(FitText("  " + in_.lang.Lang(header.key), left) + " | " +
                 Cells(group, first, count, [&](const TimetableColumn& c) { return c.*header.field; }));
        }
        std::vector<bool> visible = VisibleSlots(in_.grid, in_.plan, group, first, count);
        for (std::size_t s = 0; s < slots_.size(); ++s) {
            if (!visible[s]) continue;
            std::string label = slots_[s].label.empty() ? "" : " " + slots_[s].label;
            Line(FitText(slots_[s].name, nameWidth_) + FitText(label, labelWidth_) + " | " +
                 Cells(group, first, count, [&](const TimetableColumn& c) { return FormatClock(c.values[s]); }));
        }
        Line(std::string(static_cast<std::size_t>(left), '-') + "---" + rule);
        if (in_.plan.displayNote) {
            for (const std::string& mark : BlockMarks(group, first, count)) Line(FootnoteLine(in_.grid, mark));
        }
        // Each explanation once, under the first table that needs it.
        for (const std::string& line : BlockLegend(in_.lang, group, first, count, visible, slots_, DocumentFormat::Text)) {
            if (std::find(legendShown_.begin(), legendShown_.end(), line) != legendShown_.end()) continue;
            Line(line);
            legendShown_.push_back(line);
        }
        Line("");
    }

    const TimetableWriteInput& in_;
    std::vector<SlotRow> slots_;
    int nameWidth_ = 0;
    int labelWidth_ = 0;
    std::string text_;
    std::vector<std::string> legendShown_;
};

// --- PDF ------------------------------------------------------------------------

constexpr const char* kLegendSeparator = "   \xc2\xb7   ";  // " · "

class PdfTimetable {
public:
    PdfTimetable(DocumentTarget& target, const TimetableWriteInput& input)
        : pdf_(target.pdf),
          in_(input),
          font_(ChooseOutputFont(input.options)),
          slots_(DescribeSlots(input.plan, input.lang)) {}

    void Write(DocumentTarget& target) {
        pdf_.SelectFont(font_.family, font_.style, static_cast<float>(font_.sizePt));
        const TimeTablePlan& plan = in_.plan;
        BeginPlanPages(target, in_.lang, TimetableHeading(in_));
        pageTop_ = pdf_.CursorY();
        heights_ = MeasureRowHeights(in_.options);
        DrawSpider();
        MeasureGeometry();

        // The first table of the plan starts on the page the plan started,
        // also under its route spider, and goes on over the next pages.
        bool firstTable = true;
        const auto& groups = in_.grid.groups;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const DayGroup& group = groups[g];
            for (std::size_t first = 0; first < group.columns.size(); first += geometry_.columnsPerPage) {
                std::size_t count = std::min(geometry_.columnsPerPage, group.columns.size() - first);
                WriteBlock(group, first, count, firstTable);
                firstTable = false;
            }
            if (plan.pageBreak && !group.columns.empty() && LaterGroupHasColumns(g)) {
                pdf_.NewPage();
                firstTable = true;
            }
        }
    }

private:
    bool LaterGroupHasColumns(std::size_t g) const {
        const auto& groups = in_.grid.groups;
        return std::any_of(groups.begin() + static_cast<std::ptrdiff_t>(g) + 1, groups.end(),
                           [](const DayGroup& group) { return !group.columns.empty(); });
    }

    void DrawSpider() {
        if (in_.plan.routeSpider == kNoSpider || !in_.spiders) return;
        const RouteSpider* spider = FindRouteSpider(*in_.spiders, in_.plan.routeSpider);
        if (!spider) return;
        DrawRouteSpider(pdf_, *spider, nullptr, heights_);
        spiderCrowds_ = SpiderTakesMoreThanAThird(pdf_, pageTop_);
        pdf_.SelectFont(font_.family, font_.style, static_cast<float>(font_.sizePt));
    }

    void MeasureGeometry() {
        float widestName = 0;
        for (const PlanStop& row : in_.plan.stops) {
            if (!(row.flags & kRowMerged)) widestName = std::max(widestName, pdf_.TextWidth(row.name));
        }
        geometry_ = FitColumns(pdf_, std::round(widestName + Layout::kNamePadding), LabelFieldWidth(pdf_, in_.lang));
    }

    std::string Shortened(std::string text) const { return FitColumnText(pdf_, geometry_, std::move(text)); }

    void CloseRow(std::size_t count, float height) {
        if (count < geometry_.columnsPerPage) {
            pdf_.PutCell(geometry_.columnWidth * static_cast<float>(geometry_.columnsPerPage - count), height, "");
        }
        pdf_.PutCell(0, height, "", PdfBorder::Left);
        pdf_.LineFeed(height);
    }

    void WriteBlock(const DayGroup& group, std::size_t first, std::size_t count, bool firstTable) {
        float h = static_cast<float>(heights_.regular);
        float hb = static_cast<float>(heights_.bold);
        std::vector<std::string> marks = BlockMarks(group, first, count);
        std::vector<bool> visible = VisibleSlots(in_.grid, in_.plan, group, first, count);
        std::vector<HeaderRow> headers = HeaderRows(in_.plan, marks);
        std::vector<std::string> legend = BlockLegend(in_.lang, group, first, count, visible, slots_, DocumentFormat::Pdf);
        std::size_t noteLines = (in_.plan.displayNote ? marks.size() : 0) + LegendLineCount(NewOnPage(legend));
        std::size_t printedSlots = PrintedSlotCount(visible);
        float headingHeight = hb + 1 + h * static_cast<float>(headers.size());
        float closingHeight = 1 + h * static_cast<float>(noteLines);
        float estimate = headingHeight + h * static_cast<float>(printedSlots) + closingHeight;
        float room = pdf_.PageBreakY() - pdf_.CursorY();
        // A table that a fresh page would hold goes there rather than being
        // split; a taller one, and the first one of a plan, starts here and
        // goes on over the next pages. Either needs room for its heading and
        // a few rows, else it too starts on the next page.
        float freshPage = pdf_.PageBreakY() - pageTop_;
        bool roomToStart = room >= headingHeight + Layout::kRowsWorthStarting * h;
        bool underTallSpider = firstTable && spiderCrowds_ && estimate > room;
        if (!roomToStart || underTallSpider || (!firstTable && estimate > room && estimate <= freshPage)) {
            pdf_.NewPage();
        }

        auto writeHeading = [&] {
            WriteHeading(group, hb);
            for (const HeaderRow& header : headers) {
                pdf_.PutCell(geometry_.nameWidth + geometry_.labelWidth, h, "  " + in_.lang.Lang(header.key),
                             PdfBorder::None, PdfCursor::Right, PdfAlign::Left);
                pdf_.PutCell(1, h, "", PdfBorder::Left);
                for (std::size_t c = first; c < first + count; ++c) {
                    pdf_.PutCell(geometry_.columnWidth, h, Shortened(group.columns[c].*header.field), PdfBorder::None,
                                 PdfCursor::Right, PdfAlign::Centre);
                }
                CloseRow(count, h);
            }
        };
        writeHeading();
        // The last row keeps the closing rule and the notes company.
        std::vector<std::size_t> breaks =
            PlanTableBreaks(std::vector<float>(printedSlots, h), pdf_.PageBreakY() - pdf_.CursorY(),
                            pdf_.PageBreakY() - pageTop_ - headingHeight, closingHeight);
        std::size_t printed = 0;
        for (std::size_t s = 0; s < slots_.size(); ++s) {
            if (!visible[s]) continue;
            if (std::find(breaks.begin(), breaks.end(), printed) != breaks.end()) {
                CloseTableRule(pdf_, geometry_.tableWidth);
                pdf_.NewPage();
                writeHeading();
            }
            WriteSlotRow(group, first, count, static_cast<int32_t>(s), visible, printed % 2 == 1);
            ++printed;
        }
        pdf_.PutCell(geometry_.tableWidth, 1, "", PdfBorder::Top, PdfCursor::NextLine);
        if (in_.plan.displayNote) {
            for (const std::string& mark : marks) {
                pdf_.FlowText(h, FootnoteLine(in_.grid, mark));
                pdf_.LineFeed(h);
            }
        }
        std::vector<std::string> newLegend = NewOnPage(legend);
        if (pdf_.PageNumber() != legendPage_) legendOnPage_.clear();
        legendPage_ = pdf_.PageNumber();
        // The legend takes the first of the two blank lines below the table.
        if (!newLegend.empty()) {
            pdf_.FlowText(h, JoinLegend(newLegend));
            legendOnPage_.insert(legendOnPage_.end(), newLegend.begin(), newLegend.end());
        }
        pdf_.LineFeed(h);
        pdf_.LineFeed(h);
    }

    // The legend lines that the current page does not show yet: each
    // explanation stands once on a page, under the first table needing it.
    std::vector<std::string> NewOnPage(std::vector<std::string> lines) const {
        if (pdf_.PageNumber() != legendPage_) return lines;
        std::erase_if(lines, [this](const std::string& line) {
            return std::find(legendOnPage_.begin(), legendOnPage_.end(), line) != legendOnPage_.end();
        });
        return lines;
    }

    // The legend runs on as one text, wrapped at the margins.
    static std::string JoinLegend(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += (text.empty() ? "" : kLegendSeparator) + line;
        return text;
    }

    std::size_t LegendLineCount(const std::vector<std::string>& lines) const {
        if (lines.empty()) return 0;
        float room = pdf_.PageWidth() - pdf_.LeftMargin() - pdf_.RightMargin();
        return static_cast<std::size_t>(std::ceil(pdf_.TextWidth(JoinLegend(lines)) / room));
    }

    void WriteHeading(const DayGroup& group, float hb) {
        pdf_.PutCell(geometry_.nameWidth + geometry_.labelWidth, hb, "");
        pdf_.PutCell(1, hb, "", PdfBorder::Left);
        pdf_.SelectFont(font_.family, BoldStyle(font_.style), static_cast<float>(font_.sizePt));
        pdf_.PutCell(geometry_.columnWidth * static_cast<float>(geometry_.columnsPerPage), hb,
                     group.day ? group.day->name : "", PdfBorder::Right, PdfCursor::Right, PdfAlign::Centre);
        pdf_.SelectFont(font_.family, font_.style, static_cast<float>(font_.sizePt));
        pdf_.LineFeed(hb);
        pdf_.PutCell(geometry_.tableWidth, 1, "", PdfBorder::Top, PdfCursor::NextLine);
    }

    void WriteSlotRow(const DayGroup& group, std::size_t first, std::size_t count, int32_t slot,
                      const std::vector<bool>& visible, bool oddRow) {
        float h = static_cast<float>(heights_.regular);
        if (oddRow) SetFillGreyAsRgb(pdf_, Layout::kFillGrey);
        pdf_.PutCell(geometry_.nameWidth, h, slots_[slot].name, PdfBorder::None, PdfCursor::Right, PdfAlign::Left,
                     oddRow);
        pdf_.PutCell(geometry_.labelWidth, h, slots_[slot].label, PdfBorder::None, PdfCursor::Right, PdfAlign::Right,
                     oddRow);
        pdf_.PutCell(1, h, "", PdfBorder::Left);
        for (std::size_t c = first; c < first + count; ++c) {
            const TimetableColumn& column = group.columns[c];
            IterationCell cell = IterationCellText(in_.lang, column, slot, visible);
            bool fill = oddRow || column.patternMember;
            if (fill) {
                SetFillGreyAsRgb(pdf_, oddRow && column.patternMember ? Layout::kFillGreyBoth : Layout::kFillGrey);
            }
            pdf_.PutCell(geometry_.columnWidth, h, Shortened(std::move(cell.text)),
                         cell.startsBlock ? PdfBorder::Top : PdfBorder::None, PdfCursor::Right, PdfAlign::Centre, fill);
        }
        CloseRow(count, h);
    }

    PdfDocument& pdf_;
    const TimetableWriteInput& in_;
    OutputFont font_;
    std::vector<SlotRow> slots_;
    RowHeights heights_;
    float pageTop_ = 0;  // below the page heading, where every page of the plan begins
    bool spiderCrowds_ = false;  // the spider above the first table takes more than a third of its page
    int legendPage_ = -1;  // the page that shows legendOnPage_
    std::vector<std::string> legendOnPage_;
    ColumnPageGeometry geometry_;
};

}  // namespace

PdfFontStyle BoldStyle(PdfFontStyle style) {
    style.bold = true;
    return style;
}

std::vector<bool> VisibleSlots(const TimetableGrid& grid, const TimeTablePlan& plan, const DayGroup& group,
                               std::size_t firstColumn, std::size_t columnCount) {
    std::vector<bool> visible(static_cast<std::size_t>(grid.rowCount), true);
    std::size_t end = std::min(group.columns.size(), firstColumn + columnCount);
    for (std::size_t s = 0; s < visible.size(); ++s) {
        bool allEmpty = true;
        bool noTimes = true;
        for (std::size_t c = firstColumn; c < end; ++c) {
            const TimetableColumn& column = group.columns[c];
            if (column.kind != ColumnKind::Departure) continue;
            int32_t value = column.values[s];
            if (value != NotServed) allEmpty = false;
            if (IsRealTime(value)) noTimes = false;
        }
        visible[s] = !((plan.hideEmpty && allEmpty) || (plan.hideBridge && noTimes));
    }
    return visible;
}

std::vector<SlotRow> DescribeSlots(const TimeTablePlan& plan, const LanguageTable& lang) {
    std::vector<SlotRow> slots;
    for (const PlanStop& row : plan.stops) {
        if (row.flags & kRowMerged) continue;
        bool arrival = row.flags & kRowArrival;
        bool departure = row.flags & kRowDeparture;
        if (arrival && departure) {
            slots.push_back({row.name, lang.Lang("ArrShort")});
            slots.push_back({row.name, lang.Lang("DepShort")});
        } else {
            slots.push_back({row.name, arrival ? lang.Lang("ArrShort") : departure ? lang.Lang("DepShort") : ""});
        }
    }
    return slots;
}

std::string TimetableFileName(const LanguageTable& lang, const TimeTablePlan& plan, std::string_view extension) {
    return DocumentFileName(lang, "TimeTable", plan.name, extension);
}

// The plan's heading: the lines it names, and where its trips end.
PageHeading TimetableHeading(const TimetableWriteInput& in) {
    std::vector<std::string> lines;
    std::string_view list = in.plan.line;
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t comma = std::min(list.find(',', start), list.size());
        AddDistinct(lines, std::string(TrimBlanksAndTabs(list.substr(start, comma - start))));
        start = comma + 1;
    }
    std::vector<std::string> destinations;
    for (const Trip* trip : in.plan.trips) {
        if (trip && !trip->stations.empty()) AddDistinct(destinations, trip->stations.back().name);
    }
    return MakePageHeading(in.lang, "TimeTable", in.plan.name, in.plan.headline, lines, destinations, in.stamp);
}

std::string TimetableText(const TimetableWriteInput& input) { return TextTimetable(input).Build(); }

void WriteTimetablePages(DocumentTarget& target, const TimetableWriteInput& input) {
    PdfTimetable(target, input).Write(target);
}

void DrawTimetable(DocumentTarget& target, const TimetableWriteInput& input) {
    DrawPlanInto(target, input, TimetableHeading, TimetableText, WriteTimetablePages);
}

}  // namespace tak
