#include "base/FontFaces.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <array>
#include <string>
#include <system_error>

#include "base/FileSystem.h"
#include "base/Text.h"

namespace tak {

namespace {

namespace fs = std::filesystem;

// Present in every Liberation package; a folder holding it holds the rest.
constexpr const char* kProbeFile = "LiberationSans-Regular.ttf";

// A font configuration holding only the fonts of one folder, made once and kept
// for the life of the process (fontconfig may be used from several threads).
struct PinnedFonts {
    fs::path folder;
    FcConfig* config = nullptr;
};

// Adds the Liberation files of `folder` one by one: scanning a whole folder
// would make fontconfig look for a cache folder to write to.
bool AddLiberationFiles(FcConfig* config, const fs::path& folder) {
    bool added = false;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = FileNameText(it->path());
        if (name.rfind("Liberation", 0) != 0 || FoldCase(it->path().extension().string()) != ".ttf") continue;
        const std::string file = it->path().string();
        added |= FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str())) == FcTrue;
    }
    return added;
}

PinnedFonts LoadPinnedFonts() {
    PinnedFonts fonts;
    for (const fs::path& candidate : PinnedFontFolderCandidates(ExecutableFolder(nullptr))) {
        std::error_code ec;
        if (!fs::is_regular_file(candidate / kProbeFile, ec)) continue;
        FcConfig* config = FcConfigCreate();
        if (!config) break;
        if (!AddLiberationFiles(config, candidate)) {
            FcConfigDestroy(config);
            continue;
        }
        fonts.folder = candidate;
        fonts.config = config;
        break;
    }
    return fonts;
}

const PinnedFonts& Fonts() {
    static const PinnedFonts fonts = LoadPinnedFonts();
    return fonts;
}

// The rendering options a user's configuration would otherwise add, fixed
// here: hinted outlines, grey antialiasing, no sub-pixel colours, no synthetic
// emboldening. A caller's cairo font options can still turn antialiasing off.
void FixRenderingOptions(FcPattern* pattern) {
    const std::array<const char*, 6> objects{FC_HINTING, FC_HINT_STYLE, FC_AUTOHINT,
                                             FC_ANTIALIAS, FC_RGBA,     FC_EMBOLDEN};
    for (const char* object : objects) FcPatternDel(pattern, object);
    FcPatternAddBool(pattern, FC_HINTING, FcTrue);
    FcPatternAddInteger(pattern, FC_HINT_STYLE, FC_HINT_FULL);
    FcPatternAddBool(pattern, FC_AUTOHINT, FcFalse);
    FcPatternAddBool(pattern, FC_ANTIALIAS, FcTrue);
    FcPatternAddInteger(pattern, FC_RGBA, FC_RGBA_NONE);
    FcPatternAddBool(pattern, FC_EMBOLDEN, FcFalse);
}

FcPattern* CreateRequest(std::string_view family, FontStyle style) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return nullptr;
    const std::string name(family);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, style.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, style.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    return pattern;
}

// The best match of `request` in `config` (null: the system's configuration,
// with its family substitutions). Takes ownership of `request`.
FcPattern* MatchFont(FcConfig* config, FcPattern* request) {
    if (!config) FcConfigSubstitute(nullptr, request, FcMatchPattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, request, &result);
    FcPatternDestroy(request);
    return match;
}

cairo_font_face_t* FaceOfMatch(FcPattern* match) {
    if (!match) return nullptr;
    FixRenderingOptions(match);
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);  // the face holds its own reference
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face);
        return nullptr;
    }
    return face;
}

}  // namespace

std::string_view PinnedFamilyFor(std::string_view family) {
    if (family == "Times" || family == "Times New Roman" || family == "Symbol") return "Liberation Serif";
    if (family == "Courier" || family == "Courier New") return "Liberation Mono";
    return "Liberation Sans";
}

std::vector<fs::path> PinnedFontFolderCandidates(const fs::path& programFolder) {
    std::vector<fs::path> folders;
    if (!programFolder.empty()) {
        folders.push_back(programFolder / "fonts");
        folders.push_back(programFolder.parent_path() / "share" / "taktarium" / "fonts");
    }
    folders.push_back(fs::path(TAKTARIUM_DATA_DIR) / "fonts");
    for (const char* system : {"/usr/share/fonts/truetype/liberation2", "/usr/share/fonts/truetype/liberation",
                               "/usr/share/fonts/liberation"}) {
        folders.emplace_back(system);
    }
    return folders;
}

const fs::path& PinnedFontFolder() { return Fonts().folder; }

cairo_font_face_t* CreatePinnedFontFace(std::string_view family, FontStyle style) {
    FcPattern* request = CreateRequest(family, style);
    if (!request) return nullptr;
    return FaceOfMatch(MatchFont(Fonts().config, request));
}

}  // namespace tak
