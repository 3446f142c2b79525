// Row heights of the PDF documents, measured on the screen rendering of the
// output font rather than taken from the PDF font metrics.
#pragma once

#include <cstdint>

namespace tak {

struct OutputOpt;

struct RowHeights {
    int32_t regular = 0;  // ordinary rows and line feeds, in points
    int32_t bold = 0;     // rows set in bold, in points
};

// Measures both heights for the output options' font and size.
RowHeights MeasureRowHeights(const OutputOpt& options);

}  // namespace tak
