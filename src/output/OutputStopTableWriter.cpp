// The stop table writers: fixed-width text and PDF pages with the table's
// route spider above it.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "output/OutputRowHeights.h"
#include "output/OutputStopTable.h"
#include "output/OutputTexts.h"
#include "routespider/RouteSpiderDrawing.h"

namespace tak {

namespace {

using Layout = TimetableLayout;

constexpr int32_t kTextSlotWidth = 4;  // two digits, the letter, a blank

constexpr int kTextMinHourWidth = 4;
constexpr int kTextMinMergedHourWidth = 7;
constexpr float kHeadingPadding = 4;  // beside a day column's name in the PDF heading
constexpr float kMarkScale = 0.75f;    // route marks, of the table's font size
constexpr float kMarkInset = 2;        // from the slot's left edge to its mark
constexpr float kMarkGap = 1;          // between the mark and the minutes

bool IsPrinted(const StopDayColumn& column) { return column.capacity >= 1; }

// Hour lines in print order: hours not merged into an earlier line that
// have a departure in some column.
std::vector<int32_t> PrintedHours(const StopTableData& data) {
    std::vector<int32_t> hours;
    for (int32_t h = 0; h < kStopTableHours; ++h) {
        bool mergedAway = false;
        bool any = false;
        for (const StopDayColumn& column : data.columns) {
            const StopHour& hour = column.hours[static_cast<std::size_t>(h)];
            mergedAway = mergedAway || hour.mergedAway;
            any = any || !hour.departures.empty();
        }
        if (any && !mergedAway) hours.push_back(h);
    }
    return hours;
}

int32_t MergeCountOf(const StopTableData& data, int32_t hour) {
    return data.columns.empty() ? 0 : data.columns.front().hours[static_cast<std::size_t>(hour)].mergeCount;
}

std::string TwoDigits(int32_t value, char fill) {
    std::string text = std::to_string(value);
    if (text.size() < 2) text.insert(text.begin(), fill);
    return text;
}

// "6-8" for a line that stands for hours 6, 7 and 8.
std::string HourRange(int32_t hour, int32_t mergeCount) {
    return std::to_string(hour % 24) + "-" + std::to_string((hour + mergeCount) % 24);
}

std::string MinuteText(const StopDeparture& departure) {
    return TwoDigits(RoundToMinute(departure.time) / 60 % 60, '0');
}

std::string LetterOf(const StopTableData& data, const StopDeparture& departure) {
    if (departure.legend == kNoLegendEntry) return "";
    return data.legend[static_cast<std::size_t>(departure.legend)].letter;
}

std::string LegendLine(const LegendEntry& entry) { return entry.letter + ": " + entry.text; }

// The route marks first, then the day and way letters.
std::vector<std::string> LegendLines(const StopTableData& data, const LanguageTable& lang) {
    std::vector<std::string> lines;
    for (const StopRoute& route : data.routes) {
        if (!route.mark.empty()) lines.push_back(route.mark + ": " + RouteText(lang, route));
    }
    for (const LegendEntry& entry : data.legend) lines.push_back(LegendLine(entry));
    return lines;
}

const std::string& MarkOf(const StopTableData& data, const StopDeparture& departure) {
    return data.routes[departure.route].mark;
}

int WidestMark(const StopTableData& data) {
    int widest = 0;
    for (const StopRoute& route : data.routes) widest = std::max(widest, CharacterCount(route.mark));
    return widest;
}

std::string Repeat(char c, int count) { return std::string(static_cast<std::size_t>(std::max(count, 0)), c); }

// --- Text ---------------------------------------------------------------------------

class TextStopTable {
public:
    explicit TextStopTable(const StopTableWriteInput& input)
        : in_(input), data_(input.data), slot_(kTextSlotWidth + WidestMark(input.data)) {
        hour_ = in_.lang.Lang("Hour");
        e_ = std::max(CharacterCount(hour_) + 1, in_.table.mergeRow ? kTextMinMergedHourWidth : kTextMinHourWidth);
    }

    std::string Build() {
        std::string heading = FitText(CenterText(hour_, e_ + 1), e_);
        std::string rule = Repeat('-', e_);
        std::string closing = Repeat('-', e_);
        for (const StopDayColumn& column : data_.columns) {
            if (!IsPrinted(column)) continue;
            int width = slot_ * column.capacity - 1;
            heading += " | " + CenterText(column.day ? column.day->name : "", width);
            rule += "-|-" + Repeat('-', width);
            closing += "---" + Repeat('-', width);
        }
        Line(heading + " | " + CenterText(hour_, e_));
        Line(rule + "-|-" + Repeat('-', e_));
        for (int32_t hour : PrintedHours(data_)) HourLine(hour);
        Line(closing + "---" + Repeat('-', e_));
        for (const std::string& line : LegendLines(data_, in_.lang)) Line(line);
        return std::move(text_);
    }

private:
    void Line(std::string_view line) {
        text_ += line;
        text_ += Layout::kLineEnd;
    }

    void HourLine(int32_t hour) {
        std::string number = TwoDigits(hour % 24, ' ');
        int32_t merged = MergeCountOf(data_, hour);
        std::string line;
        if (!in_.table.mergeRow) {
            line = Repeat(' ', e_ - 3) + number + " ";
        } else if (merged == 0) {
            line = Repeat(' ', e_ - 5) + number + "   ";
        } else {
            line = CenterText(HourRange(hour, merged), e_);
        }
        line += " |";
        for (const StopDayColumn& column : data_.columns) {
            if (!IsPrinted(column)) continue;
            std::string cells;
            for (const StopDeparture& departure : column.hours[static_cast<std::size_t>(hour)].departures) {
                std::string mark = MarkOf(data_, departure);
                mark.insert(0, static_cast<std::size_t>(slot_ - kTextSlotWidth - CharacterCount(mark)), ' ');
                std::string letter = LetterOf(data_, departure);
                cells += mark + MinuteText(departure) + (letter.empty() ? "  " : letter + " ");
            }
            line.append(" ").append(FitText(cells, slot_ * column.capacity)).append("|");
        }
        if (!in_.table.mergeRow) {
            line += "  " + number + Repeat(' ', e_ - 3);
        } else if (merged == 0) {
            line += "   " + number + Repeat(' ', e_ - 4);
        } else {
            line += "  " + CenterText(HourRange(hour, merged), e_ - 1);
        }
        Line(line);
    }

    const StopTableWriteInput& in_;
    const StopTableData& data_;
    int slot_;  // a departure: its route mark, two digits, the letter, a blank
    std::string hour_;
    int e_ = kTextMinHourWidth;
    std::string text_;
};

// --- PDF ------------------------------------------------------------------------------

// The spider stop at one of the table's stops, searched way by way.
const SpiderStop* MarkedSpiderStop(const RouteSpider& spider, const StopTable& table) {
    for (const SpiderWay& way : spider.ways) {
        for (const SpiderStop& stop : way.stops) {
            if (!stop.station) continue;
            for (const TripStation* station : table.stations) {
                if (station && station->id == stop.station->id) return &stop;
            }
        }
    }
    return nullptr;
}

class PdfStopTable {
public:
    PdfStopTable(DocumentTarget& target, const StopTableWriteInput& input)
        : target_(target), pdf_(target.pdf), in_(input), data_(input.data), font_(ChooseOutputFont(input.options)) {}

    void Write() {
        SelectRegular();
        BeginPlanPages(target_, in_.lang, StopTableHeading(in_));
        pageTop_ = pdf_.CursorY();
        heights_ = MeasureRowHeights(in_.options);
        DrawSpider();
        MeasureGeometry();
        float h = static_cast<float>(heights_.regular);
        float headingHeight = static_cast<float>(heights_.bold) + 1;
        // The table starts under the spider when its heading and a few hours
        // fit there (under a spider taller than a third of the page only when
        // the whole table does); the hours go on over the next pages under
        // the heading again. Every page ends with the legend, so that each
        // posted sheet explains its own marks.
        std::vector<int32_t> hours = PrintedHours(data_);
        legend_ = LegendLines(data_, in_.lang);
        // The closing rule, a blank line and the legend's lines.
        float legendHeight = 1 + (legend_.empty() ? 0 : h * static_cast<float>(1 + legend_.size()));
        std::vector<float> rowHeights;
        for (int32_t hour : hours) rowHeights.push_back(h * static_cast<float>(LinesOfHour(hour)));
        float tableHeight = headingHeight + std::accumulate(rowHeights.begin(), rowHeights.end(), legendHeight);
        bool fitsHere = pdf_.CursorY() + tableHeight <= pdf_.PageBreakY();
        if (pdf_.CursorY() + headingHeight + Layout::kRowsWorthStarting * h + legendHeight > pdf_.PageBreakY() ||
            (spiderCrowds_ && !fitsHere)) {
            pdf_.NewPage();
        }
        WriteHeading();
        std::vector<std::size_t> breaks =
            PlanTableBreaks(rowHeights, pdf_.PageBreakY() - pdf_.CursorY() - legendHeight,
                            pdf_.PageBreakY() - pageTop_ - headingHeight - legendHeight, 0);
        for (std::size_t i = 0; i < hours.size(); ++i) {
            if (std::find(breaks.begin(), breaks.end(), i) != breaks.end()) {
                CloseTableRule(pdf_, tableWidth_);
                WriteLegend();
                pdf_.NewPage();
                WriteHeading();
            }
            WriteHourRow(hours[i], i % 2 == 1);
        }
        CloseTableRule(pdf_, tableWidth_);
        WriteLegend();
    }

private:
    void WriteLegend() {
        if (legend_.empty()) return;
        float h = static_cast<float>(heights_.regular);
        pdf_.LineFeed(h);
        for (const std::string& line : legend_) {
            pdf_.FlowText(h, line);
            pdf_.LineFeed(h);
        }
    }

    void SelectRegular() { pdf_.SelectFont(font_.family, font_.style, static_cast<float>(font_.sizePt)); }
    void SelectBold() { pdf_.SelectFont(font_.family, BoldStyle(font_.style), static_cast<float>(font_.sizePt)); }
    // Route marks stand small and bold in front of the minutes.
    void SelectMark() {
        pdf_.SelectFont(font_.family, BoldStyle(font_.style), static_cast<float>(font_.sizePt) * kMarkScale);
    }

    void DrawSpider() {
        if (in_.table.routeSpider == kNoSpider || !in_.spiders) return;
        const RouteSpider* spider = FindRouteSpider(*in_.spiders, in_.table.routeSpider);
        if (!spider) return;
        DrawRouteSpider(pdf_, *spider, MarkedSpiderStop(*spider, in_.table), heights_);
        spiderCrowds_ = SpiderTakesMoreThanAThird(pdf_, pageTop_);
        SelectRegular();
    }

    void MeasureGeometry() {
        std::string hour = in_.lang.Lang("Hour");
        hourWidth_ = std::round(std::max(pdf_.TextWidth(hour + "zz"),
                                         pdf_.TextWidth(in_.table.mergeRow ? "88-88zz" : "88zz")));
        SelectMark();
        for (const StopRoute& route : data_.routes) {
            if (!route.mark.empty()) markWidth_ = std::max(markWidth_, pdf_.TextWidth(route.mark) + kMarkGap);
        }
        SelectRegular();
        // A slot holds two digits, the widest letter and the space before
        // the next slot; a route mark before them takes that space's place
        // as far as it reaches.
        slotWidth_ = markWidth_ == 0 ? std::round(pdf_.TextWidth("88wz"))
                                     : std::round(kMarkInset + markWidth_ + pdf_.TextWidth("88w") + kMarkGap);
        float width = 2 * hourWidth_ + 1;
        std::size_t printedColumns = 0;
        for (const StopDayColumn& column : data_.columns) {
            float columnWidth = IsPrinted(column) ? slotWidth_ * static_cast<float>(column.capacity) : 0;
            columnWidths_.push_back(columnWidth);
            slotsPerLine_.push_back(std::max(column.capacity, 1));
            if (!IsPrinted(column)) continue;
            width += columnWidth + 1;
            ++printedColumns;
        }
        float room = pdf_.PageWidth() - pdf_.LeftMargin() - pdf_.RightMargin();
        if (printedColumns == 0) {
            tableWidth_ = width;
        } else if (width < room) {
            // The spare width goes to the columns, none more than doubled.
            float extra = std::round((room - width) / static_cast<float>(printedColumns));
            tableWidth_ = ResizeColumns([extra](float w) { return std::min(w + extra, 2 * w); });
        } else {
            width -= TakeUnusedSlots(width - room);
            FoldWideColumns(room - (width - std::accumulate(columnWidths_.begin(), columnWidths_.end(), 0.0f)));
        }
    }

    // A column is never narrower than its busiest hour and its bold name.
    float NarrowestWidth(const StopDayColumn& column) {
        std::size_t busiest = 1;
        for (const StopHour& hour : column.hours) busiest = std::max(busiest, hour.departures.size());
        SelectBold();
        float name = std::ceil(pdf_.TextWidth(column.day ? column.day->name : "") + kHeadingPadding);
        SelectRegular();
        return std::max(slotWidth_ * static_cast<float>(busiest), name);
    }

    // A table too wide for the page first takes the room that columns keep
    // free beyond their busiest hour (every column has room for at least six
    // departures) before any hour is folded onto a second line. Returns the
    // width taken.
    float TakeUnusedSlots(float excess) {
        float taken = 0;
        for (std::size_t c = 0; c < data_.columns.size() && taken < excess; ++c) {
            const StopDayColumn& column = data_.columns[c];
            if (!IsPrinted(column)) continue;
            float spare = columnWidths_[c] - NarrowestWidth(column);
            if (spare <= 0) continue;
            float give = std::min(spare, excess - taken);
            columnWidths_[c] -= give;
            taken += give;
        }
        return taken;
    }

    // Applies `newWidth` to every printed column; returns the table width.
    template <typename Resize>
    float ResizeColumns(Resize newWidth) {
        float width = 2 * hourWidth_ + 1;
        for (std::size_t c = 0; c < data_.columns.size(); ++c) {
            if (!IsPrinted(data_.columns[c])) continue;
            columnWidths_[c] = newWidth(columnWidths_[c]);
            width += columnWidths_[c] + 1;
        }
        return width;
    }

    // A table wider than the page would lose its right part: the widest
    // columns give up slots until the table fits, and an hour whose
    // departures do not fit on one line goes on over more lines.
    void FoldWideColumns(float columnRoom) {
        float total = 0;
        for (std::size_t c = 0; c < data_.columns.size(); ++c) {
            if (!IsPrinted(data_.columns[c])) continue;
            int32_t fitting = static_cast<int32_t>(std::floor(columnWidths_[c] / slotWidth_ + 0.001f));
            slotsPerLine_[c] = std::clamp(fitting, 1, std::max(data_.columns[c].capacity, 1));
            total += columnWidths_[c];
        }
        while (total > columnRoom) {
            std::size_t widest = 0;
            for (std::size_t c = 0; c < data_.columns.size(); ++c) {
                if (IsPrinted(data_.columns[c]) && slotsPerLine_[c] > slotsPerLine_[widest]) widest = c;
            }
            if (slotsPerLine_[widest] <= 1) break;
            --slotsPerLine_[widest];
            float narrower = std::min(columnWidths_[widest], slotWidth_ * static_cast<float>(slotsPerLine_[widest]));
            total -= columnWidths_[widest] - narrower;
            columnWidths_[widest] = narrower;
        }
        tableWidth_ = 2 * hourWidth_ + 1;
        for (std::size_t c = 0; c < data_.columns.size(); ++c) {
            if (IsPrinted(data_.columns[c])) tableWidth_ += columnWidths_[c] + 1;
        }
    }

    void WriteHeading() {
        float hb = static_cast<float>(heights_.bold);
        std::string hour = in_.lang.Lang("Hour");
        pdf_.PutCell(hourWidth_, hb, hour, PdfBorder::None, PdfCursor::Right, PdfAlign::Centre);
        pdf_.PutCell(1, hb, "", PdfBorder::Left);
        SelectBold();
        for (std::size_t c = 0; c < data_.columns.size(); ++c) {
            const StopDayColumn& column = data_.columns[c];
            if (!IsPrinted(column)) continue;
            pdf_.PutCell(columnWidths_[c], hb, column.day ? column.day->name : "", PdfBorder::None, PdfCursor::Right,
                         PdfAlign::Centre);
            pdf_.PutCell(1, hb, "", PdfBorder::Left);
        }
        SelectRegular();
        pdf_.PutCell(hourWidth_, hb, hour, PdfBorder::None, PdfCursor::Right, PdfAlign::Centre);
        pdf_.LineFeed(hb);
        pdf_.PutCell(tableWidth_, 1, "", PdfBorder::Top, PdfCursor::NextLine);
    }

    // Lines an hour takes when a folded column holds more departures than
    // fit on one line.
    std::size_t LinesOfHour(int32_t hour) const {
        std::size_t lines = 1;
        for (std::size_t c = 0; c < data_.columns.size(); ++c) {
            if (!IsPrinted(data_.columns[c])) continue;
            std::size_t count = data_.columns[c].hours[static_cast<std::size_t>(hour)].departures.size();
            std::size_t perLine = static_cast<std::size_t>(slotsPerLine_[c]);
            lines = std::max(lines, (count + perLine - 1) / perLine);
        }
        return lines;
    }

    void WriteHourRow(int32_t hour, bool shaded) {
        float h = static_cast<float>(heights_.regular);
        if (shaded) SetFillGreyAsRgb(pdf_, Layout::kFillGrey);
        int32_t merged = MergeCountOf(data_, hour);
        std::string label = in_.table.mergeRow && merged > 0 ? HourRange(hour, merged) : std::to_string(hour % 24);
        std::size_t lines = LinesOfHour(hour);
        for (std::size_t line = 0; line < lines; ++line) {
            std::string lineLabel = line == 0 ? label : "";
            pdf_.PutCell(hourWidth_, h, lineLabel, PdfBorder::None, PdfCursor::Right, PdfAlign::Centre, shaded);
            pdf_.PutCell(1, h, "", PdfBorder::Left);
            for (std::size_t c = 0; c < data_.columns.size(); ++c) {
                if (!IsPrinted(data_.columns[c])) continue;
                WriteDepartures(c, hour, line, h, shaded);
                pdf_.PutCell(1, h, "", PdfBorder::Left);
            }
            pdf_.PutCell(hourWidth_, h, lineLabel, PdfBorder::None, PdfCursor::Right, PdfAlign::Centre, shaded);
            pdf_.LineFeed(h);
        }
    }

    void WriteDepartures(std::size_t c, int32_t hour, std::size_t line, float h, bool shaded) {
        const auto& departures = data_.columns[c].hours[static_cast<std::size_t>(hour)].departures;
        std::size_t perLine = static_cast<std::size_t>(slotsPerLine_[c]);
        std::size_t first = std::min(departures.size(), line * perLine);
        std::size_t end = std::min(departures.size(), first + perLine);
        for (std::size_t d = first; d < end; ++d) {
            std::string minute = MinuteText(departures[d]) + LetterOf(data_, departures[d]);
            if (markWidth_ == 0) {
                pdf_.PutCell(slotWidth_, h, minute, PdfBorder::None, PdfCursor::Right, PdfAlign::Left, shaded);
                continue;
            }
            // The small mark and the minutes share one cell: "A08a".
            float x = pdf_.CursorX();
            float baseline = pdf_.CursorY() + 0.5f * h + 0.3f * static_cast<float>(font_.sizePt);
            pdf_.PutCell(slotWidth_, h, "", PdfBorder::None, PdfCursor::Right, PdfAlign::Left, shaded);
            SelectMark();
            pdf_.PutText(x + kMarkInset, baseline, MarkOf(data_, departures[d]));
            SelectRegular();
            pdf_.PutText(x + kMarkInset + markWidth_, baseline, minute);
        }
        float rest = columnWidths_[c] - slotWidth_ * static_cast<float>(end - first);
        if (rest > 0) pdf_.PutCell(rest, h, "", PdfBorder::None, PdfCursor::Right, PdfAlign::Left, shaded);
    }

    DocumentTarget& target_;
    PdfDocument& pdf_;
    const StopTableWriteInput& in_;
    const StopTableData& data_;
    OutputFont font_;
    RowHeights heights_;
    float pageTop_ = 0;  // below the page heading, where every page of the plan begins
    bool spiderCrowds_ = false;  // the spider takes more than a third of its page
    std::vector<std::string> legend_;  // under the table on every page
    float hourWidth_ = 0;
    float slotWidth_ = 0;
    float markWidth_ = 0;  // the widest route mark and its gap to the minutes; 0 with one route
    float tableWidth_ = 0;
    std::vector<float> columnWidths_;  // one per day column, 0 when not printed
    std::vector<int32_t> slotsPerLine_;  // departures printed side by side, per day column
};

}  // namespace

std::string StopTableFileName(const LanguageTable& lang, const StopTable& table, std::string_view extension) {
    return DocumentFileName(lang, "Stop", table.name, extension);
}

// The routes of the table's departures: "Linie 5 → Südbahnhof" for a single
// one, "1 → Südbahnhof, 3 → Gewerbegebiet Ost" for several. A table without
// departures names the lines of its selected trips and where they end.
PageHeading StopTableHeading(const StopTableWriteInput& in) {
    const std::vector<StopRoute>& routes = in.data.routes;
    std::vector<std::string> lines;
    for (const StopRoute& route : routes) AddDistinct(lines, route.line);
    std::vector<std::string> destinations;
    if (routes.empty()) {
        for (const StopTableTrip& entry : in.table.trips) {
            if (entry.trip && in.table.selection.count(entry.trip->name)) AddDistinct(lines, entry.trip->lineName);
        }
        for (const StopTableTrip& entry : in.table.trips) {
            if (!entry.trip || !in.table.selection.count(entry.trip->name) || entry.trip->stations.empty()) continue;
            const std::string& end = entry.trip->stations.back().name;
            AddDistinct(destinations, lines.size() > 1 ? entry.trip->lineName + " " + end : end);
        }
    }
    PageHeading heading =
        MakePageHeading(in.lang, "Stop", in.table.name, in.table.headline, lines, destinations, in.stamp);
    if (routes.size() == 1) {
        heading.direction = RouteText(in.lang, routes.front());
        heading.directionNamesLines = true;
    } else if (routes.size() > 1) {
        std::string all;
        for (const StopRoute& route : routes) {
            all += (all.empty() ? "" : ", ") +
                   FillPlaceholders(in.lang.Lang("RouteTowardsShort"), {route.line, route.destination});
        }
        heading.direction = all;
        heading.directionNamesLines = true;
    }
    return heading;
}

std::string StopTableText(const StopTableWriteInput& input) { return TextStopTable(input).Build(); }

void WriteStopTablePages(DocumentTarget& target, const StopTableWriteInput& input) {
    PdfStopTable(target, input).Write();
}

void DrawStopTable(DocumentTarget& target, const StopTableWriteInput& input) {
    DrawPlanInto(target, input, StopTableHeading, StopTableText, WriteStopTablePages);
}

}  // namespace tak
