// The fonts the program measures and draws text with.
//
// Documents must come out the same on every machine, so the program never asks
// the system which font stands in for "Helvetica": it takes the
// metric-compatible Liberation families from a font configuration of its own
// that holds nothing else, with hinting and antialiasing fixed, so that neither
// the fonts a machine happens to have nor a user's font settings change a row
// height or a label.
#pragma once

#include <cairo.h>

#include <filesystem>
#include <string_view>
#include <vector>

namespace tak {

struct FontStyle {
    bool bold = false;
    bool italic = false;
};

// The Liberation family measured for a font family name of the documents:
// "Liberation Serif" for Times and Symbol, "Liberation Mono" for Courier,
// "Liberation Sans" for Helvetica, Arial and every other name.
std::string_view PinnedFamilyFor(std::string_view family);

// The folders searched, in this order, for the Liberation fonts: "fonts" beside
// the program (where a Windows installation puts them), the installed data
// folder's "fonts", then the folders of the Linux distributions' packages.
std::vector<std::filesystem::path> PinnedFontFolderCandidates(const std::filesystem::path& programFolder);

// The folder the fonts were taken from (searched once per process); empty when
// no candidate holds them, in which case faces come from the system's font
// substitution as a last resort, so that documents are still made.
const std::filesystem::path& PinnedFontFolder();

// A cairo face of `family` (a Liberation family name, see PinnedFamilyFor) in
// the style asked for. Null when no font can be found; the caller destroys the
// face. Safe to call from any thread.
cairo_font_face_t* CreatePinnedFontFace(std::string_view family, FontStyle style);

}  // namespace tak
