// Finding a font the way the system's font configuration resolves a request,
// for measuring and drawing text with cairo.
#pragma once

#include <cairo.h>
#include <fontconfig/fontconfig.h>

namespace tak {

// Completes `pattern` with the system's substitutions (so that "Helvetica"
// finds whatever stands in for it here), picks the best installed match and
// makes a cairo face of it. Takes ownership of `pattern`. Null when nothing
// matches or the face cannot be made; the caller destroys the face.
cairo_font_face_t* CreateMatchingFontFace(FcPattern* pattern);

}  // namespace tak
