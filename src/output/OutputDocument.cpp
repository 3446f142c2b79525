#include "output/OutputDocument.h"

#include <algorithm>

#include "base/FileSystem.h"
#include "base/Language.h"
#include "base/Text.h"
#include "output/OutputTimetableWriter.h"

namespace tak {

namespace {

// The heading's geometry, in points: 20 in all, as much as the title alone
// took, so that the tables below keep their pages.
constexpr float kBadgeHeight = 14;
constexpr float kBadgePadding = 5;  // on each side of the line's name
constexpr float kBadgeGap = 4;
constexpr float kBaselineRise = 3.5f;  // of the texts, above the badge's lower edge
constexpr float kRuleDrop = 2;         // the rule below the badges
constexpr float kHeadingSpace = 4;     // below the rule

// White text on dark colours, black on light ones.
bool IsLightColour(uint32_t rgb) {
    auto channel = [rgb](int shift) { return static_cast<int>((rgb >> shift) & 0xFF); };
    // Perceived brightness, 0-255.
    return (299 * channel(16) + 587 * channel(8) + 114 * channel(0)) / 1000 > 150;
}

void SetPaintOf(uint32_t rgb, void (PdfDocument::*set)(float, float, float), PdfDocument& pdf) {
    (pdf.*set)(static_cast<float>((rgb >> 16) & 0xFF), static_cast<float>((rgb >> 8) & 0xFF),
               static_cast<float>(rgb & 0xFF));
}

// Badges, title and direction on the left; validity and operator on the
// right; a rule below.
void DrawPageHeading(PdfDocument& pdf, const PageHeading& heading) {
    float top = pdf.CursorY();
    float left = pdf.LeftMargin();
    float right = pdf.PageWidth() - pdf.RightMargin();
    float x = left;
    pdf.SelectFont("Arial", {.bold = true}, 11);
    for (const LineBadge& badge : heading.lines) {
        float width = pdf.TextWidth(badge.text) + 2 * kBadgePadding;
        SetPaintOf(badge.rgb, &PdfDocument::SetFillPaint, pdf);
        pdf.PathMoveTo(x, top);
        pdf.PathLineTo(x + width, top);
        pdf.PathLineTo(x + width, top + kBadgeHeight);
        pdf.PathLineTo(x, top + kBadgeHeight);
        pdf.PaintPath(PdfPaint::Fill);
        pdf.SetTextGrey(IsLightColour(badge.rgb) ? 0 : 255);
        pdf.PutText(x + kBadgePadding, top + kBadgeHeight - kBaselineRise, badge.text);
        x += width + kBadgeGap;
    }
    pdf.SetTextGrey(0);
    if (!heading.lines.empty()) x += kBadgeGap;
    float baseline = top + kBadgeHeight - kBaselineRise;
    std::string sideText = heading.validity;
    if (!heading.operatorName.empty()) sideText += (sideText.empty() ? "" : "  \xc2\xb7  ") + heading.operatorName;
    pdf.SelectFont("Arial", {}, 8);
    float sideWidth = pdf.TextWidth(sideText);
    if (!sideText.empty()) pdf.PutText(right - sideWidth, baseline, sideText);
    // The title and direction give way to the side text.
    float room = right - sideWidth - 12 - x;
    pdf.SelectFont("Arial", {.bold = true}, 11);
    std::string title = heading.title;
    while (!title.empty() && pdf.TextWidth(title) > room) title = DropLastCharacter(title);
    pdf.PutText(x, baseline, title);
    x += pdf.TextWidth(title) + 10;
    pdf.SelectFont("Arial", {}, 10);
    std::string direction = heading.direction;
    while (!direction.empty() && pdf.TextWidth(direction) > right - sideWidth - 12 - x) {
        direction = DropLastCharacter(direction);
    }
    if (!direction.empty()) pdf.PutText(x, baseline, direction);
    float ruleY = top + kBadgeHeight + kRuleDrop;
    pdf.SetStrokeGrey(0);
    pdf.PathMoveTo(left, ruleY);
    pdf.PathLineTo(right, ruleY);
    pdf.PaintPath(PdfPaint::Stroke);
    pdf.SetCursorY(ruleY + kHeadingSpace);
}

}  // namespace

PageHeading MakePageHeading(const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                            std::string_view headline, const std::vector<std::string>& lines,
                            const std::vector<std::string>& destinations, const DocumentStamp* stamp) {
    PageHeading heading;
    heading.title = headline.empty() ? lang.Lang(kindKey) + " " + std::string(name) : std::string(headline);
    for (const std::string& line : lines) {
        LineBadge badge{line};
        if (stamp) {
            auto colour = stamp->lineColours.find(line);
            if (colour != stamp->lineColours.end()) badge.rgb = colour->second;
        }
        heading.lines.push_back(badge);
    }
    std::string towards;
    for (const std::string& destination : destinations) towards += (towards.empty() ? "" : ", ") + destination;
    if (!towards.empty()) heading.direction = FillPlaceholders(lang.Lang("HeadingDirection"), {towards});
    if (stamp && !stamp->validFrom.empty()) heading.validity = FillPlaceholders(lang.Lang("ValidFrom"), {stamp->validFrom});
    if (stamp) heading.operatorName = stamp->operatorName;
    return heading;
}

void AddDistinct(std::vector<std::string>& texts, std::string text) {
    if (!text.empty() && std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(std::move(text));
}

std::string PageHeadingText(const LanguageTable& lang, const PageHeading& heading, std::string_view lineEnd) {
    std::string lines;
    for (const LineBadge& badge : heading.lines) lines += (lines.empty() ? "" : ", ") + badge.text;
    std::string text;
    auto add = [&](const std::string& line) {
        if (!line.empty()) text += line + std::string(lineEnd);
    };
    add(heading.title);
    if (!lines.empty() && !heading.directionNamesLines) {
        add(FillPlaceholders(lang.Lang("HeadingLine"), {lines}) +
            (heading.direction.empty() ? "" : ", " + heading.direction));
    } else {
        add(heading.direction);
    }
    add(heading.validity);
    add(heading.operatorName);
    return text.empty() ? text : text + std::string(lineEnd);
}

bool BeginDocument(DocumentTarget& target, DocumentFormat format) {
    target.format = format;
    target.text.clear();
    target.titles = PageTitles{};
    if (format == DocumentFormat::Text) return true;
    return target.pdf.CreateDocument(DocumentPage::kOrientation, DocumentPage::kUnit, DocumentPage::kPageFormat);
}

bool BeginSharedDocument(DocumentTarget& target) {
    target.shared = true;
    return BeginDocument(target, DocumentFormat::Pdf);
}

void InstallPageHandlers(DocumentTarget& target, const LanguageTable& lang) {
    PageTitles& titles = target.titles;
    target.pdf.SetHeaderHandler([&titles](PdfDocument& pdf) {
        if (titles.hasPending) {
            titles.heading = std::move(titles.pending);
            titles.current = titles.heading.title;
            titles.hasPending = false;
        }
        DrawPageHeading(pdf, titles.heading);
    });
    std::string page = lang.Lang("Page");
    target.pdf.SetFooterHandler([&titles, page](PdfDocument& pdf) {
        pdf.SetCursorY(-20);
        pdf.SelectFont("Arial", {.italic = true}, 8);
        pdf.PutCell(0, 10,
                    titles.current + " - " + page + " " + std::to_string(pdf.PageNumber()) + "/" +
                        DocumentPage::kPageCountAlias,
                    PdfBorder::None, PdfCursor::Right, PdfAlign::Centre);
    });
    target.pdf.SetPageCountAlias(DocumentPage::kPageCountAlias);
}

void BeginPlanPages(DocumentTarget& target, const LanguageTable& lang, const PageHeading& heading) {
    target.titles.pending = heading;
    target.titles.hasPending = true;
    InstallPageHandlers(target, lang);
    target.pdf.NewPage();
}

void BeginPlanPages(DocumentTarget& target, const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                    std::string_view headline) {
    BeginPlanPages(target, lang, MakePageHeading(lang, kindKey, name, headline, {}, {}, nullptr));
}

std::string_view DocumentExtension(DocumentFormat format) { return format == DocumentFormat::Pdf ? ".pdf" : ".txt"; }

std::string DocumentFileName(const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                             std::string_view extension) {
    std::string fileName = lang.Lang(kindKey) + " " + std::string(name) + std::string(extension);
    return IsValidFileNamePart(fileName) ? fileName : "";
}

bool SaveTextDocument(const std::filesystem::path& folder, const std::string& fileName, std::string_view text) {
    return IsValidFileNamePart(fileName) && WriteFileBytes(folder / PathFromText(fileName), text);
}

bool SaveDocument(DocumentTarget& target, const std::filesystem::path& folder, const std::string& fileName) {
    if (target.format == DocumentFormat::Text) return SaveTextDocument(folder, fileName, target.text);
    return IsValidFileNamePart(fileName) && target.pdf.SaveDocument(PathText(folder / PathFromText(fileName)));
}

}  // namespace tak
