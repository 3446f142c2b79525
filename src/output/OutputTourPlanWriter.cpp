// The tour plan writers. Both formats print the same sequence of rows per
// tour and block of columns; the sequence is built once and each format only
// lays it out.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "output/OutputRowHeights.h"
#include "output/OutputTourPlan.h"

namespace tak {

namespace {

using Layout = TimetableLayout;

constexpr int kTextLongestCell = 40;  // a text form's column never grows wider
// Sizes, of the table's, for texts wider than their column.
constexpr float kSmallestOneLineScale = 0.8f;
constexpr float kSmallestWordScale = 0.55f;  // a text without a blank or hyphen to break at
constexpr float kLargestTwoLineScale = 0.75f;
constexpr float kSmallestTwoLineScale = 0.5f;

enum class SheetRowKind { Heading, Rule, Labelled, Stop, Closing };

struct SheetRow {
    SheetRowKind kind = SheetRowKind::Rule;
    std::string name;   // heading text, row label or stop name
    std::string label;  // arrival/departure label of a stop row
    std::vector<std::string> cells;
    bool shaded = false;  // every second stop row of a table
};

// The keys of the labelled rows above, between and below the tables.
constexpr const char* kRowLabelKeys[] = {"LineNumber", "IbisRoute", "ManConTarget", "OutMove",
                                         "InsMove",    "OutInsMove", "PauseTime"};

std::string TimeCell(int32_t value) { return FormatClock(value); }
std::string DurationCell(int32_t value) { return FormatDuration(value); }

// The rows of one block of a tour's columns, in print order.
class TourSheet {
public:
    TourSheet(const TourPlanWriteInput& input, std::size_t tour, std::size_t first, std::size_t count)
        : in_(input), tour_(tour), first_(first), count_(count) {}

    std::vector<SheetRow> Rows() {
        const TourPlan& plan = in_.plan;
        const TourPlanGrid& grid = in_.grid;
        Add({SheetRowKind::Heading, TourHeading(in_.lang, *grid.tours[tour_]), "", {}, false});
        Add({SheetRowKind::Rule, "", "", {}, false});

        const DayGroup& out = grid.out.groups[tour_];
        bool printed = LineRows(out, plan.displayLine, plan.displayIbis, plan.displayTarget);
        printed |= Times("OutMove", out, &TimetableColumn::outMoveTime, plan.displayOutIns);
        if (printed) Add({SheetRowKind::Rule, "", "", {}, false});
        StopRows(grid.out, grid.outRows, out);

        const DayGroup* last = &out;
        if (grid.hasReturn) {
            const DayGroup& ret = grid.ret.groups[tour_];
            Add({SheetRowKind::Rule, "", "", {}, false});
            if (Pauses(out, plan.displayPause)) {
                Add({SheetRowKind::Rule, "", "", {}, false});
            }
            printed = LineRows(ret, plan.displayLine, plan.displayIbis, plan.displayTarget);
            printed |= Times("OutInsMove", out, &TimetableColumn::inMoveTime, plan.displayOutIns);
            if (printed) Add({SheetRowKind::Rule, "", "", {}, false});
            StopRows(grid.ret, grid.retRows, ret);
            last = &ret;
        }
        if (plan.displayPause || plan.displayOutIns) {
            Add({SheetRowKind::Rule, "", "", {}, false});
            Pauses(*last, plan.displayPause);
            Times("InsMove", *last, &TimetableColumn::inMoveTime, plan.displayOutIns);
        }
        Add({SheetRowKind::Closing, "", "", {}, false});
        return std::move(rows_);
    }

private:
    void Add(SheetRow row) { rows_.push_back(std::move(row)); }

    std::vector<std::string> Cells(const DayGroup& table,
                                   const std::function<std::string(const TimetableColumn&)>& text) const {
        std::vector<std::string> cells;
        for (std::size_t c = first_; c < first_ + count_ && c < table.columns.size(); ++c) {
            cells.push_back(text(table.columns[c]));
        }
        return cells;
    }

    bool Labelled(const char* key, const DayGroup& table, bool shown,
                  const std::function<std::string(const TimetableColumn&)>& text) {
        if (!shown) return false;
        Add({SheetRowKind::Labelled, in_.lang.Lang(key), "", Cells(table, text), false});
        return true;
    }

    bool Times(const char* key, const DayGroup& table, int32_t TimetableColumn::*field, bool shown) {
        return Labelled(key, table, shown, [field](const TimetableColumn& c) { return TimeCell(c.*field); });
    }

    // Pauses print signed, so that a trip leaving before the one before it
    // arrives shows as a fault and not as a clock time.
    bool Pauses(const DayGroup& table, bool shown) {
        return Labelled("PauseTime", table, shown,
                        [](const TimetableColumn& c) { return DurationCell(c.pauseTime); });
    }

    bool LineRows(const DayGroup& table, bool line, bool ibis, bool target) {
        bool printed = Labelled("LineNumber", table, line, [](const TimetableColumn& c) { return c.lineText; });
        printed |= Labelled("IbisRoute", table, ibis, [](const TimetableColumn& c) { return c.ibis; });
        printed |= Labelled("ManConTarget", table, target, [](const TimetableColumn& c) { return c.target; });
        return printed;
    }

    void StopRows(const TimetableGrid& grid, const TimeTablePlan& rows, const DayGroup& table) {
        std::vector<bool> visible = VisibleSlots(grid, rows, table, first_, count_);
        std::vector<SlotRow> slots = DescribeSlots(rows, in_.lang);
        int printed = 0;
        for (std::size_t s = 0; s < slots.size(); ++s) {
            if (!visible[s]) continue;
            Add({SheetRowKind::Stop, slots[s].name, slots[s].label,
                 Cells(table, [s](const TimetableColumn& c) { return TimeCell(c.values[s]); }), printed % 2 == 1});
            ++printed;
        }
    }

    const TourPlanWriteInput& in_;
    std::size_t tour_;
    std::size_t first_;
    std::size_t count_;
    std::vector<SheetRow> rows_;
};

// Walks the blocks of every tour that has columns.
void ForEachBlock(const TourPlanGrid& grid, std::size_t blockColumns,
                  const std::function<void(std::size_t tour, std::size_t first, std::size_t count)>& visit) {
    for (std::size_t t = 0; t < grid.tours.size(); ++t) {
        std::size_t columns = grid.out.groups[t].columns.size();
        for (std::size_t first = 0; first < columns; first += blockColumns) {
            visit(t, first, std::min(blockColumns, columns - first));
        }
    }
}

// --- Text ---------------------------------------------------------------------------

// The longest printed line, code or destination text of the plan's columns,
// in characters; a text form's columns are at least this wide, so that no
// such text is cut.
int LongestLabelledText(const TourPlan& plan, const TourPlanGrid& grid) {
    int longest = 0;
    for (const TimetableGrid* table : {&grid.out, &grid.ret}) {
        for (const DayGroup& group : table->groups) {
            for (const TimetableColumn& column : group.columns) {
                if (plan.displayLine) longest = std::max(longest, CharacterCount(column.lineText));
                if (plan.displayIbis) longest = std::max(longest, CharacterCount(column.ibis));
                if (plan.displayTarget) longest = std::max(longest, CharacterCount(column.target));
            }
        }
    }
    return std::min(longest, kTextLongestCell);
}

std::string TextForm(const TourPlanWriteInput& input) {
    int nameWidth = std::max(LongestRowName(input.plan.stopsOut), LongestRowName(input.plan.stopsRet));
    int labelWidth = Layout::kTextMinLabelWidth;
    for (const char* key : {"ArrShort", "DepShort"}) {
        labelWidth = std::max(labelWidth, CharacterCount(input.lang.Lang(key)));
    }
    labelWidth += 1;
    // Row labels stand in the same field as the stop names; a long label
    // widens it rather than being cut.
    int field = nameWidth + labelWidth;
    for (const char* key : kRowLabelKeys) field = std::max(field, CharacterCount("  " + input.lang.Lang(key)));
    std::size_t left = static_cast<std::size_t>(field);
    // Wider columns take the width of narrower ones: a block stays as wide.
    const int cellWidth = std::max(Layout::kTextCellWidth, LongestLabelledText(input.plan, input.grid));
    const int blockWidth = Layout::kTextBlockColumns * (Layout::kTextCellWidth + 1);
    const std::size_t blockColumns = static_cast<std::size_t>(std::max(1, blockWidth / (cellWidth + 1)));
    const int ruleWidth = cellWidth == Layout::kTextCellWidth ? Layout::kTextRuleWidth
                                                              : static_cast<int>(blockColumns) * (cellWidth + 1);
    std::string rule(static_cast<std::size_t>(ruleWidth), '-');
    std::string text;
    auto line = [&text](std::string_view content) {
        text += content;
        text += Layout::kLineEnd;
    };
    auto cells = [cellWidth](const std::vector<std::string>& values) {
        std::string joined;
        for (const std::string& value : values) {
            // A signed pause ("-00:05") takes the blank after its cell.
            if (CharacterCount(value) == cellWidth + 1) {
                joined += value;
            } else {
                joined += CenterText(value, cellWidth) + " ";
            }
        }
        return joined;
    };
    ForEachBlock(input.grid, blockColumns, [&](std::size_t tour, std::size_t first, std::size_t count) {
        for (const SheetRow& row : TourSheet(input, tour, first, count).Rows()) {
            switch (row.kind) {
                case SheetRowKind::Heading:
                    line(std::string(left, ' ') + " | " + CenterText(row.name, ruleWidth));
                    break;
                case SheetRowKind::Rule:
                    line(std::string(left, '-') + "-|-" + rule);
                    break;
                case SheetRowKind::Labelled:
                    line(FitText("  " + row.name, static_cast<int>(left)) + " | " + cells(row.cells));
                    break;
                case SheetRowKind::Stop:
                    line(FitText(FitText(row.name, nameWidth) + (row.label.empty() ? "" : " " + row.label), field) +
                         " | " + cells(row.cells));
                    break;
                case SheetRowKind::Closing:
                    line(std::string(left, '-') + "---" + rule);
                    line("");
                    break;
            }
        }
    });
    return text;
}

// --- PDF ------------------------------------------------------------------------------

class PdfTourPlan {
public:
    PdfTourPlan(DocumentTarget& target, const TourPlanWriteInput& input)
        : target_(target), pdf_(target.pdf), in_(input), font_(ChooseOutputFont(input.options)) {}

    void Write() {
        SelectRegular();
        const TourPlan& plan = in_.plan;
        BeginPlanPages(target_, in_.lang, TourPlanHeading(in_));
        heights_ = MeasureRowHeights(in_.options);
        MeasureGeometry();

        bool firstTable = true;
        std::size_t previousTour = 0;
        ForEachBlock(in_.grid, geometry_.columnsPerPage, [&](std::size_t tour, std::size_t first, std::size_t count) {
            if (plan.pageBreak && !firstTable && tour != previousTour) {
                pdf_.NewPage();
                firstTable = true;
            }
            WriteBlock(TourSheet(in_, tour, first, count).Rows(), firstTable);
            firstTable = false;
            previousTour = tour;
        });
    }

private:
    void SelectRegular() { pdf_.SelectFont(font_.family, font_.style, static_cast<float>(font_.sizePt)); }

    void MeasureGeometry() {
        float widestName = 0;
        for (const auto* rows : {&in_.plan.stopsOut, &in_.plan.stopsRet}) {
            for (const PlanStop& row : *rows) {
                if (!(row.flags & kRowMerged)) widestName = std::max(widestName, pdf_.TextWidth(row.name));
            }
        }
        // Row labels ("Pause", "IBIS route") stand in the same field as the names.
        float widestLabel = 0;
        for (const char* key : kRowLabelKeys) {
            widestLabel = std::max(widestLabel, pdf_.TextWidth("  " + in_.lang.Lang(key)));
        }
        float labelWidth = LabelFieldWidth(pdf_, in_.lang);
        float nameWidth = std::round(std::max(widestName + Layout::kNamePadding, widestLabel - labelWidth + 4));
        geometry_ = FitColumns(pdf_, nameWidth, labelWidth);
    }

    // A time that fits its column keeps every character, even where it
    // reaches into the column's inset ("-00:05"); other texts are cut.
    std::string Shortened(std::string text) const {
        if (IsTimeText(text) && pdf_.TextWidth(text) <= cellWidth_ - 1) return text;
        ColumnPageGeometry block = geometry_;
        block.columnWidth = cellWidth_;
        return FitColumnText(pdf_, block, std::move(text));
    }

    // A block with fewer columns than the page holds widens them, as far as
    // its longest destination, code or line text needs, instead of cutting
    // those texts to the width of a time.
    void WidenColumnsFor(const std::vector<SheetRow>& rows) {
        cellWidth_ = geometry_.columnWidth;
        std::size_t count = 0;
        float widest = 0;
        for (const SheetRow& row : rows) {
            count = std::max(count, row.cells.size());
            if (row.kind != SheetRowKind::Labelled) continue;
            for (const std::string& cell : row.cells) widest = std::max(widest, pdf_.TextWidth(cell));
        }
        if (count == 0) return;
        float area = geometry_.columnWidth * static_cast<float>(geometry_.columnsPerPage);
        float wanted = std::ceil(widest + Layout::kTextInset);
        cellWidth_ = std::max(geometry_.columnWidth, std::min(wanted, std::floor(area / static_cast<float>(count))));
    }

    static bool IsTimeText(const std::string& text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
                   return (c >= '0' && c <= '9') || c == ':' || c == '-';
               });
    }

    void Cells(const std::vector<std::string>& cells, float height, bool fill) {
        pdf_.PutCell(1, height, "", PdfBorder::Left);
        for (const std::string& cell : cells)
            pdf_.PutCell(cellWidth_, height, Shortened(cell), PdfBorder::None, PdfCursor::Right, PdfAlign::Centre,
                         fill);
        float rest = geometry_.columnWidth * static_cast<float>(geometry_.columnsPerPage) -
                     cellWidth_ * static_cast<float>(cells.size());
        if (rest > 0.5f) pdf_.PutCell(rest, height, "");
        pdf_.PutCell(0, height, "", PdfBorder::Left);
        pdf_.LineFeed(height);
    }

    void Rule() { pdf_.PutCell(geometry_.tableWidth, 1, "", PdfBorder::Top, PdfCursor::NextLine); }

    // A line, code or destination text as it fits its column: at the
    // table's size, else a little smaller, else on two lines broken at the
    // blank or hyphen that gives the shortest longer line, at the size that
    // both fit (not below kSmallestTwoLineScale). A single word takes a yet
    // smaller size before it is broken with a hyphen. Only what still does
    // not fit is cut.
    struct FittedText {
        std::vector<std::string> lines;
        float sizePt = 0;
    };
    FittedText FitLabelled(const std::string& text) const {
        auto size = static_cast<float>(font_.sizePt);
        float room = cellWidth_ - Layout::kTextInset;
        float width = pdf_.TextWidth(text);
        if (width <= room || IsTimeText(text)) return {{text}, size};
        auto scaleToFit = [&](float textWidth) { return std::floor(size * room / textWidth * 10) / 10; };
        if (scaleToFit(width) >= size * kSmallestOneLineScale) return {{text}, scaleToFit(width)};

        std::vector<std::pair<std::string, std::string>> splits;
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t next = pos;
            NextCodePoint(text, next);
            if (text[pos] == ' ' && pos > 0) splits.emplace_back(text.substr(0, pos), text.substr(next));
            if (text[pos] == '-' && next < text.size()) splits.emplace_back(text.substr(0, next), text.substr(next));
            pos = next;
        }
        if (splits.empty()) {
            // One word: smaller still before it is broken.
            if (scaleToFit(width) >= size * kSmallestWordScale) return {{text}, scaleToFit(width)};
            for (std::size_t pos = 0; pos < text.size();) {
                NextCodePoint(text, pos);
                if (pos < text.size()) splits.emplace_back(text.substr(0, pos) + "-", text.substr(pos));
            }
        }
        if (splits.empty()) return {{text}, size * kSmallestTwoLineScale};
        float best = std::numeric_limits<float>::max();
        FittedText fitted;
        for (auto& [first, second] : splits) {
            float longer = std::max(pdf_.TextWidth(first), pdf_.TextWidth(second));
            if (longer < best) {
                best = longer;
                fitted.lines = {first, second};
            }
        }
        fitted.sizePt = std::clamp(scaleToFit(best), size * kSmallestTwoLineScale, size * kLargestTwoLineScale);
        float scale = fitted.sizePt / size;
        for (std::string& line : fitted.lines) {
            while (!line.empty() && pdf_.TextWidth(line) * scale > room) line = DropLastCharacter(std::move(line));
        }
        return fitted;
    }

    float RowHeight(const SheetRow& row, float h, float hb) const {
        switch (row.kind) {
            case SheetRowKind::Heading: return hb;
            case SheetRowKind::Rule: return 1;
            case SheetRowKind::Closing: return 1;
            case SheetRowKind::Labelled:
                for (const std::string& cell : row.cells) {
                    if (FitLabelled(cell).lines.size() > 1) return std::ceil(2 * h * kLargestTwoLineScale);
                }
                return h;
            default: return h;
        }
    }

    void LabelledCells(const std::vector<std::string>& cells, float height) {
        pdf_.PutCell(1, height, "", PdfBorder::Left);
        for (const std::string& cell : cells) {
            FittedText fitted = FitLabelled(cell);
            if (fitted.lines.size() == 1 && fitted.sizePt == static_cast<float>(font_.sizePt)) {
                pdf_.PutCell(cellWidth_, height, fitted.lines.front(), PdfBorder::None, PdfCursor::Right,
                             PdfAlign::Centre);
                continue;
            }
            float x = pdf_.CursorX();
            float y = pdf_.CursorY();
            pdf_.PutCell(cellWidth_, height, "");
            pdf_.SelectFont(font_.family, font_.style, fitted.sizePt);
            float lineHeight = height / static_cast<float>(fitted.lines.size());
            for (std::size_t k = 0; k < fitted.lines.size(); ++k) {
                const std::string& line = fitted.lines[k];
                pdf_.PutText(x + (cellWidth_ - pdf_.TextWidth(line)) / 2,
                             y + lineHeight * (static_cast<float>(k) + 0.5f) + 0.3f * fitted.sizePt, line);
            }
            SelectRegular();
        }
        float rest = geometry_.columnWidth * static_cast<float>(geometry_.columnsPerPage) -
                     cellWidth_ * static_cast<float>(cells.size());
        if (rest > 0.5f) pdf_.PutCell(rest, height, "");
        pdf_.PutCell(0, height, "", PdfBorder::Left);
        pdf_.LineFeed(height);
    }

    void WriteBlock(const std::vector<SheetRow>& rows, bool firstTable) {
        WidenColumnsFor(rows);
        float h = static_cast<float>(heights_.regular);
        float hb = static_cast<float>(heights_.bold);
        float estimate = 0;
        for (const SheetRow& row : rows) estimate += RowHeight(row, h, hb);
        // As with timetables: a block that a fresh page would hold goes
        // there; a taller one, or the first of the plan, starts here and goes
        // on over the next pages under the tour's heading.
        float room = pdf_.PageBreakY() - pdf_.CursorY();
        float freshPage = pdf_.PageBreakY() - pdf_.TopMargin();
        bool roomToStart = room >= hb + 1 + Layout::kRowsWorthStarting * h;
        if (!roomToStart || (!firstTable && estimate > room && estimate <= freshPage)) pdf_.NewPage();
        bool hasHeading = !rows.empty() && rows.front().kind == SheetRowKind::Heading;
        bool arrivals = false;
        bool departures = false;
        for (const SheetRow& row : rows) {
            if (row.kind != SheetRowKind::Stop) continue;
            arrivals = arrivals || row.label == in_.lang.Lang("ArrShort");
            departures = departures || row.label == in_.lang.Lang("DepShort");
        }
        std::string legend = LabelLegend(in_.lang, arrivals, departures);
        for (const SheetRow& row : rows) {
            // The labels are explained once a page, in the blank line under
            // the first table that has them.
            if (row.kind == SheetRowKind::Closing && !legend.empty() && legendPage_ != pdf_.PageNumber()) {
                Rule();
                pdf_.FlowText(h, legend);
                pdf_.LineFeed(h);
                pdf_.LineFeed(h);
                legendPage_ = pdf_.PageNumber();
                continue;
            }
            bool textRow = row.kind == SheetRowKind::Labelled || row.kind == SheetRowKind::Stop;
            if (textRow && hasHeading && pdf_.CursorY() + RowHeight(row, h, hb) > pdf_.PageBreakY()) {
                CloseTableRule(pdf_, geometry_.tableWidth);
                pdf_.NewPage();
                WriteRow(rows.front(), h, hb);
                Rule();
            }
            WriteRow(row, h, hb);
        }
    }

    void WriteRow(const SheetRow& row, float h, float hb) {
        switch (row.kind) {
            case SheetRowKind::Heading:
                pdf_.PutCell(geometry_.nameWidth + geometry_.labelWidth, hb, "");
                pdf_.PutCell(1, hb, "", PdfBorder::Left);
                pdf_.SelectFont(font_.family, BoldStyle(font_.style), static_cast<float>(font_.sizePt));
                pdf_.PutCell(geometry_.columnWidth * static_cast<float>(geometry_.columnsPerPage), hb, row.name,
                             PdfBorder::Right, PdfCursor::Right, PdfAlign::Centre);
                SelectRegular();
                pdf_.LineFeed(hb);
                break;
            case SheetRowKind::Rule:
                Rule();
                break;
            case SheetRowKind::Labelled: {
                float height = RowHeight(row, h, hb);
                pdf_.PutCell(geometry_.nameWidth + geometry_.labelWidth, height, "  " + row.name, PdfBorder::None,
                             PdfCursor::Right, PdfAlign::Left);
                LabelledCells(row.cells, height);
                break;
            }
            case SheetRowKind::Stop:
                if (row.shaded) SetFillGreyAsRgb(pdf_, Layout::kFillGrey);
                pdf_.PutCell(geometry_.nameWidth, h, row.name, PdfBorder::None, PdfCursor::Right, PdfAlign::Left,
                             row.shaded);
                pdf_.PutCell(geometry_.labelWidth, h, row.label, PdfBorder::None, PdfCursor::Right, PdfAlign::Right,
                             row.shaded);
                Cells(row.cells, h, row.shaded);
                break;
            case SheetRowKind::Closing:
                Rule();
                pdf_.LineFeed(h);
                pdf_.LineFeed(h);
                break;
        }
    }

    DocumentTarget& target_;
    PdfDocument& pdf_;
    const TourPlanWriteInput& in_;
    OutputFont font_;
    RowHeights heights_;
    ColumnPageGeometry geometry_;
    float cellWidth_ = 0;  // the width of the current block's columns
    int legendPage_ = -1;  // the last page that explains the labels
};

}  // namespace

// A tour plan names its line; its tours go both ways.
PageHeading TourPlanHeading(const TourPlanWriteInput& in) {
    return MakePageHeading(in.lang, "TourPlan", in.plan.name, in.plan.headline, {in.plan.name}, {}, in.stamp);
}

std::string TourPlanText(const TourPlanWriteInput& input) { return TextForm(input); }

void WriteTourPlanPages(DocumentTarget& target, const TourPlanWriteInput& input) { PdfTourPlan(target, input).Write(); }

void DrawTourPlan(DocumentTarget& target, const TourPlanWriteInput& input) {
    DrawPlanInto(target, input, TourPlanHeading, TourPlanText, WriteTourPlanPages);
}

}  // namespace tak
