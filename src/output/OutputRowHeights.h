// Row heights of the PDF documents, measured on the screen rendering of the
// output font rather than taken from the PDF font metrics.
#pragma once

#include <cstdint>
#include <string>

#include "base/RowHeights.h"
#include "pdf/Paginor.h"

namespace tak {

struct OutputOpt;

// The body font of the output documents: the family and style passed to
// SelectFont for the options' font name and size. A name that is not one of
// the known output fonts prints in Arial regular at 10 points.
struct OutputFont {
    std::string family;
    PdfFontStyle style;
    int32_t sizePt = 10;
};
OutputFont ChooseOutputFont(const OutputOpt& options);

// Measures both heights for the output options' font and size.
RowHeights MeasureRowHeights(const OutputOpt& options);

}  // namespace tak
