// What the command-line tool prints of texts that come from map and project
// files: such texts may hold control characters (an escape sequence in a plan
// name would drive the terminal), so they are shown as visible escapes, and
// JSON is written in the standard form every JSON reader takes.
#pragma once

#include <string>
#include <string_view>

#include "persist/JSON.h"

namespace tak::cli {

// `text` with every control character (C0, DEL and the C1 range U+0080 to
// U+009F) written as a visible escape: \n, \r, \t, \x1B, \u009B.
std::string VisibleText(std::string_view text);

// A text of the program's own (a language text, which may hold line
// breaks) as VisibleText shows it, but with its line breaks kept.
std::string VisibleLines(std::string_view text);

// The tree as standard JSON, laid out like ToText: strings and names escape
// quotes, backslashes and control characters ("\n", "\u001b").
std::string StandardJsonText(const JsonValue& node);

}  // namespace tak::cli
