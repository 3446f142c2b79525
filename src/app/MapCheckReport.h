// The findings of a map check in words: for the command line (text and JSON)
// and for the desktop program's list.
#pragma once

#include <string>
#include <vector>

#include "base/Language.h"
#include "mapdata/MapCheck.h"
#include "persist/JSON.h"

namespace tak {

// "error", "warning" or "note" in the language of `language`.
std::string SeverityText(FindingSeverity severity, const LanguageTable& language);

// The finding's sentence, its values put into the language's text.
std::string FindingSentence(const MapFinding& finding, const LanguageTable& language);

// Where a finding was made: "TTData/10.ttp:12", "TTData/10.ttp", or the
// language's word for the map as a whole.
std::string FindingPlace(const MapFinding& finding, const LanguageTable& language);

// The findings grouped by file, a line each, then a line with the counts.
std::string FindingsText(const std::vector<MapFinding>& findings, const LanguageTable& language);

// One JSON object: the counts and every finding with its severity, code,
// file, line, values and sentence.
JsonPtr FindingsJson(const std::vector<MapFinding>& findings, const LanguageTable& language);

}  // namespace tak
