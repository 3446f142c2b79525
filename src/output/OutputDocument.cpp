#include "output/OutputDocument.h"

#include "base/FileSystem.h"
#include "base/Language.h"

namespace tak {

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
        if (!titles.hasPending) return;
        titles.current = titles.pending;
        pdf.SelectFont("Arial", "BU", 12);
        pdf.PutCell(0, 0, titles.current, PdfBorder::None, PdfCursor::Right, PdfAlign::Centre);
        pdf.LineFeed(20);
        titles.hasPending = false;
    });
    std::string page = lang.Lang("Page");
    target.pdf.SetFooterHandler([&titles, page](PdfDocument& pdf) {
        pdf.SetCursorY(-20);
        pdf.SelectFont("Arial", "I", 8);
        pdf.PutCell(0, 10,
                    titles.current + " - " + page + " " + std::to_string(pdf.PageNumber()) + "/" +
                        DocumentPage::kPageCountAlias,
                    PdfBorder::None, PdfCursor::Right, PdfAlign::Centre);
    });
    target.pdf.SetPageCountAlias(DocumentPage::kPageCountAlias);
}

void BeginPlanPages(DocumentTarget& target, const LanguageTable& lang, std::string_view kindKey, std::string_view name,
                    std::string_view headline) {
    target.titles.pending = headline.empty() ? lang.Lang(kindKey) + " " + std::string(name) : std::string(headline);
    target.titles.hasPending = true;
    InstallPageHandlers(target, lang);
    target.pdf.NewPage("", "");
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

bool WritePlanDocument(DocumentTarget& target, const std::filesystem::path& folder, const std::string& fileName,
                       const std::function<void(DocumentTarget&)>& drawPages) {
    if (target.shared) {
        drawPages(target);
        return true;
    }
    // A plan whose name makes no file name gets no document at all.
    if (!IsValidFileNamePart(fileName) || !BeginDocument(target, DocumentFormat::Pdf)) return false;
    drawPages(target);
    return SaveDocument(target, folder, fileName);
}

}  // namespace tak
