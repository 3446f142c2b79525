#include "app/MapCheckReport.h"

#include <initializer_list>

namespace tak {

namespace {

std::string_view SeverityName(FindingSeverity severity) {
    switch (severity) {
        case FindingSeverity::Error: return "error";
        case FindingSeverity::Warning: return "warning";
        case FindingSeverity::Note: return "note";
    }
    return "note";
}

std::string CountsText(const FindingCounts& counts, const LanguageTable& language) {
    return FillPlaceholders(language.Lang("CheckCounts"), {std::to_string(counts.errors),
                                                           std::to_string(counts.warnings),
                                                           std::to_string(counts.notes)});
}

}  // namespace

std::string SeverityText(FindingSeverity severity, const LanguageTable& language) {
    switch (severity) {
        case FindingSeverity::Error: return language.Lang("CheckError");
        case FindingSeverity::Warning: return language.Lang("CheckWarning");
        case FindingSeverity::Note: return language.Lang("CheckNote");
    }
    return {};
}

std::string FindingSentence(const MapFinding& finding, const LanguageTable& language) {
    const std::vector<std::string>& values = finding.arguments;
    auto value = [&](std::size_t i) { return i < values.size() ? std::string_view(values[i]) : std::string_view(); };
    return FillPlaceholders(language.Lang(FindingTextKey(finding.code)),
                            {value(0), value(1), value(2), value(3), value(4), value(5), value(6)});
}

std::string FindingPlace(const MapFinding& finding, const LanguageTable& language) {
    if (finding.file.empty()) return language.Lang("CheckWholeMap");
    return finding.line > 0 ? finding.file + ":" + std::to_string(finding.line) : finding.file;
}

std::string FindingsText(const std::vector<MapFinding>& findings, const LanguageTable& language) {
    std::string text;
    const std::string* file = nullptr;
    for (const auto& finding : findings) {
        if (!file || *file != finding.file) {
            file = &finding.file;
            text += (file->empty() ? language.Lang("CheckWholeMap") : *file) + "\n";
        }
        text += "  " + SeverityText(finding.severity, language) + " ";
        if (finding.line > 0) text += FillPlaceholders(language.Lang("CheckLine"), {std::to_string(finding.line)}) + " ";
        text += FindingSentence(finding, language) + " [" + finding.code + "]\n";
    }
    return text + CountsText(CountFindings(findings), language) + "\n";
}

JsonPtr FindingsJson(const std::vector<MapFinding>& findings, const LanguageTable& language) {
    FindingCounts counts = CountFindings(findings);
    JsonPtr root = NewObject();
    ObjectSet(root.get(), "errors", NewInteger(static_cast<int32_t>(counts.errors)));
    ObjectSet(root.get(), "warnings", NewInteger(static_cast<int32_t>(counts.warnings)));
    ObjectSet(root.get(), "notes", NewInteger(static_cast<int32_t>(counts.notes)));
    JsonPtr list = NewArray();
    for (const auto& finding : findings) {
        JsonPtr item = NewObject();
        ObjectSet(item.get(), "severity", NewString(SeverityName(finding.severity)));
        ObjectSet(item.get(), "code", NewString(finding.code));
        ObjectSet(item.get(), "file", NewString(finding.file));
        ObjectSet(item.get(), "line", finding.line > 0 ? NewInteger(finding.line) : NewNull());
        JsonPtr values = NewArray();
        for (const auto& value : finding.arguments) ArrayAppend(values.get(), NewString(value));
        ObjectSet(item.get(), "values", std::move(values));
        ObjectSet(item.get(), "text", NewString(FindingSentence(finding, language)));
        ArrayAppend(list.get(), std::move(item));
    }
    ObjectSet(root.get(), "findings", std::move(list));
    return root;
}

}  // namespace tak
