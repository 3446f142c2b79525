// The document an output writer draws into, whatever kind of plan it prints:
// a PDF document (landscape A4, with the page title in the header and the
// page numbers in the footer) or a fixed-width text. A document holds one
// plan, a few plans sharing it, or every plan of a kind ("all in one"); it is
// named after its first plan and saved into the output folder.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "pdf/Paginor.h"

namespace tak {

class LanguageTable;

// The page setup shared by every PDF output document.
struct DocumentPage {
    static constexpr const char* kOrientation = "L";
    static constexpr const char* kUnit = "pt";
    static constexpr const char* kPageFormat = "595.28,841.89";
    static constexpr const char* kPageCountAlias = "{nb}";
};

enum class DocumentFormat { Pdf, Text };

// The page title record of a PDF document: the title printed in the footer
// and the one the next page's header prints once.
struct PageTitles {
    std::string current;
    std::string pending;
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

// The page header (the pending title, once) and footer (title and page
// numbers) of every output document.
void InstallPageHandlers(DocumentTarget& target, const LanguageTable& lang);

// Starts a plan on a new page of `target`, titled with the plan's headline or,
// without one, Lang(kindKey) + " " + its name.
void BeginPlanPages(DocumentTarget& target, const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                    std::string_view headline);

// ".pdf" or ".txt".
std::string_view DocumentExtension(DocumentFormat format);

// "<Lang(kindKey)> <name><extension>"; empty when that could not be a file
// name (a separator, a reserved or a control character), so that no plan name
// can lead a file out of the output folder.
std::string DocumentFileName(const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                             std::string_view extension);

// A whole path as UTF-8 text, as SaveDocument takes it.
std::string PathText(const std::filesystem::path& path);

// Writes `text` as `fileName` into `folder`; false for an empty or invalid
// name or when the file could not be written.
bool SaveTextDocument(const std::filesystem::path& folder, const std::string& fileName, std::string_view text);

// Saves the document in its format as `fileName` into `folder`; false when
// the name is not a valid file name or the file could not be written.
bool SaveDocument(DocumentTarget& target, const std::filesystem::path& folder, const std::string& fileName);

// One plan as a PDF: into a shared target only its pages (the target's owner
// saves it); otherwise a document of its own, begun, drawn and saved as
// `fileName` into `folder`. False when that document could not be made.
bool WritePlanDocument(DocumentTarget& target, const std::filesystem::path& folder, const std::string& fileName,
                       const std::function<void(DocumentTarget&)>& drawPages);

}  // namespace tak
