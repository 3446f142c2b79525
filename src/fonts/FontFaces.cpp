#include "fonts/FontFaces.h"

#include <cairo-ft.h>
#include <fontconfig/fcfreetype.h>
#include <fontconfig/fontconfig.h>

#include <array>
#include <deque>
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
//
// The font files are read here and handed to FreeType as memory: FreeType and
// fontconfig open files by their narrow name, which Windows takes in the ANSI
// code page, so an installation folder such as "C:\\Programme\\Täktarium" would
// not be found there. Each pattern of `faces` carries its FreeType face.
struct PinnedFonts {
    fs::path folder;
    FcConfig* config = nullptr;
    FcFontSet* faces = nullptr;
    FT_Library library = nullptr;
    std::deque<std::string> files;  // the bytes the faces read from
};

// Adds the Liberation files of `folder` one by one to `fonts.faces`.
bool AddLiberationFiles(PinnedFonts& fonts, const fs::path& folder) {
    bool added = false;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = FileNameText(it->path());
        if (name.rfind("Liberation", 0) != 0 || FoldCase(it->path().extension().string()) != ".ttf") continue;
        std::optional<std::string> bytes = ReadFileBytes(it->path());
        if (!bytes) continue;
        const std::string& data = fonts.files.emplace_back(std::move(*bytes));
        FT_Face face = nullptr;
        if (FT_New_Memory_Face(fonts.library, reinterpret_cast<const FT_Byte*>(data.data()),
                               static_cast<FT_Long>(data.size()), 0, &face) != 0) {
            fonts.files.pop_back();
            continue;
        }
        const std::string file = PathText(it->path());
        FcPattern* pattern = FcFreeTypeQueryFace(face, reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr);
        if (!pattern || !FcPatternAddFTFace(pattern, FC_FT_FACE, face) || !FcFontSetAdd(fonts.faces, pattern)) {
            if (pattern) FcPatternDestroy(pattern);
            FT_Done_Face(face);
            continue;
        }
        added = true;  // the face lives as long as the process
    }
    return added;
}

PinnedFonts LoadPinnedFonts() {
    PinnedFonts fonts;
    if (FT_Init_FreeType(&fonts.library) != 0) return fonts;
    for (const fs::path& candidate : PinnedFontFolderCandidates(ExecutableFolder(nullptr))) {
        std::error_code ec;
        if (!fs::is_regular_file(candidate / kProbeFile, ec)) continue;
        FcConfig* config = FcConfigCreate();
        FcFontSet* faces = FcFontSetCreate();
        if (!config || !faces) {
            if (config) FcConfigDestroy(config);
            if (faces) FcFontSetDestroy(faces);
            break;
        }
        fonts.faces = faces;
        if (!AddLiberationFiles(fonts, candidate)) {
            FcConfigDestroy(config);
            FcFontSetDestroy(faces);
            fonts.faces = nullptr;
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

// The best match of `request` among the pinned fonts, or (without them) in the
// system's configuration with its family substitutions. Takes ownership of
// `request`.
FcPattern* MatchFont(const PinnedFonts& fonts, FcPattern* request) {
    FcResult result = FcResultNoMatch;
    FcPattern* match = nullptr;
    if (fonts.config) {
        FcFontSet* sets[] = {fonts.faces};
        match = FcFontSetMatch(fonts.config, sets, 1, request, &result);
    } else {
        FcConfigSubstitute(nullptr, request, FcMatchPattern);
        match = FcFontMatch(nullptr, request, &result);
    }
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
#if defined(TAKTARIUM_DATA_DIR)
    folders.push_back(fs::path(TAKTARIUM_DATA_DIR) / "fonts");
#endif
#if !defined(_WIN32)
    for (const char* system : {"/usr/share/fonts/truetype/liberation2", "/usr/share/fonts/truetype/liberation",
                               "/usr/share/fonts/liberation"}) {
        folders.emplace_back(system);
    }
#endif
    return folders;
}

const fs::path& PinnedFontFolder() { return Fonts().folder; }

cairo_font_face_t* CreatePinnedFontFace(std::string_view family, FontStyle style) {
    FcPattern* request = CreateRequest(family, style);
    if (!request) return nullptr;
    return FaceOfMatch(MatchFont(Fonts(), request));
}

}  // namespace tak
