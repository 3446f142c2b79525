// The document an output writer draws into, whatever kind of plan it prints:
// a PDF document (landscape A4, with the page title in the header and the
// page numbers in the footer) or a fixed-width text. A document holds one
// plan, a few plans sharing it, or every plan of a kind ("all in one"); it is
// named after its first plan and saved into the output folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/Paginor.h"

namespace tak {

class LanguageTable;

// The page setup shared by every PDF output document.
struct DocumentPage {
    static constexpr PdfOrientation kOrientation = PdfOrientation::Landscape;
    static constexpr PdfUnit kUnit = PdfUnit::Point;
    static constexpr PdfPageSize kPageFormat = kPdfA4;
    static constexpr const char* kPageCountAlias = "{nb}";
    static constexpr const char* kTextLineEnd = "\r\n";
};

enum class DocumentFormat { Pdf, Text };

// A line in a page heading: its name on its colour (0xRRGGBB).
constexpr uint32_t kNeutralBadge = 0x3C3C3C;
struct LineBadge {
    std::string text;
    uint32_t rgb = kNeutralBadge;
    bool operator==(const LineBadge&) const = default;
};

// What stands at the top of every page of a plan's document, and at the
// start of its text: the lines, the title, where the buses go, from when
// the plan holds and whose service it is. Empty parts are left out.
struct PageHeading {
    std::vector<LineBadge> lines;
    std::string title;
    std::string direction;  // "Richtung Südbahnhof"
    bool directionNamesLines = false;  // "Linie 5 → Südbahnhof": the text form adds no line of its own
    std::string validity;   // "gültig ab 14.01.2025"
    std::string operatorName;
};

// What the run tells every document: the validity date as text (already
// chosen: the project's, the map's date or today), the operator, and the
// line colours of the route map by line name.
struct DocumentStamp {
    std::string validFrom;
    std::string operatorName;
    std::map<std::string, uint32_t, std::less<>> lineColours;
};

// The heading of a plan: titled with its headline or, without one,
// Lang(kindKey) + " " + its name; `lines` become badges in the route map's
// colours; without a stamp there is no validity or operator.
PageHeading MakePageHeading(const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                            std::string_view headline, const std::vector<std::string>& lines,
                            const std::vector<std::string>& destinations, const DocumentStamp* stamp);

// Appends `text` unless it is empty or already there.
void AddDistinct(std::vector<std::string>& texts, std::string text);

// The heading as text lines, each ended by `lineEnd`, and an empty line.
std::string PageHeadingText(const LanguageTable& lang, const PageHeading& heading, std::string_view lineEnd);

// The page title record of a PDF document: the heading every page of the
// current plan starts with, and its title, which the footer prints. A new
// plan's heading waits until its first page begins, so that the last page of
// the plan before keeps its own title in the footer.
struct PageTitles {
    std::string current;
    PageHeading heading;
    PageHeading pending;
    bool hasPending = false;
};

// A document being written. PDF pages go into `pdf`, text into `text`.
struct DocumentTarget {
    DocumentFormat format = DocumentFormat::Pdf;
    PdfDocument pdf;
    std::string text;
    PageTitles titles;
    bool shared = false;  // holds several plans: whoever began it saves it
};

// Starts an empty document of `format`; false when the PDF could not be created.
bool BeginDocument(DocumentTarget& target, DocumentFormat format);
// Starts the PDF document that several plans share.
bool BeginSharedDocument(DocumentTarget& target);

// The page header (the current plan's heading, on every page) and footer
// (title and page numbers) of every output document.
void InstallPageHandlers(DocumentTarget& target, const LanguageTable& lang);

// Starts a plan on a new page of `target`; every page of it starts with
// `heading`.
void BeginPlanPages(DocumentTarget& target, const LanguageTable& lang, const PageHeading& heading);
// The same with a heading of the title alone (the plan's headline or, without
// one, Lang(kindKey) + " " + its name).
void BeginPlanPages(DocumentTarget& target, const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                    std::string_view headline);

// ".pdf" or ".txt".
std::string_view DocumentExtension(DocumentFormat format);

// "<Lang(kindKey)> <name><extension>"; empty when that could not be a file
// name (a separator, a reserved or a control character), so that no plan name
// can lead a file out of the output folder.
std::string DocumentFileName(const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                             std::string_view extension);

// Writes `text` as `fileName` into `folder`; false for an empty or invalid
// name or when the file could not be written.
bool SaveTextDocument(const std::filesystem::path& folder, const std::string& fileName, std::string_view text);

// Saves the document in its format as `fileName` into `folder`; false when
// the name is not a valid file name or the file could not be written.
bool SaveDocument(DocumentTarget& target, const std::filesystem::path& folder, const std::string& fileName);

// A plan into a begun document: into a text its heading and text, into a
// PDF its pages.
template <typename Input>
void DrawPlanInto(DocumentTarget& target, const Input& input, PageHeading (*heading)(const Input&),
                  std::string (*text)(const Input&), void (*pages)(DocumentTarget&, const Input&)) {
    if (target.format == DocumentFormat::Text) {
        target.text += PageHeadingText(input.lang, heading(input), DocumentPage::kTextLineEnd) + text(input);
    } else {
        pages(target, input);
    }
}

}  // namespace tak
