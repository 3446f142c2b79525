// The two row heights of a document's body font, in points. The output run
// measures them once per run; the timetable and stop table writers and the
// route spider drawing lay their rows out with them.
#pragma once

#include <cstdint>

namespace tak {

struct RowHeights {
    int32_t regular = 0;  // ordinary rows and line feeds, in points
    int32_t bold = 0;     // rows set in bold, in points
};

}  // namespace tak
