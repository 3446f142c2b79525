// Drawing a route spider as a strip of stops, ways, travel times and
// interchanges on the current PDF page.
#pragma once

#include "output/OutputRowHeights.h"
#include "routespider/RouteSpider.h"

namespace tak {

class PdfDocument;

// Draws `spider` at the page's cursor and leaves the cursor below the strip.
// With `markedStop` (a stop table's stop) the strip shows the network as
// seen from that stop; for timetables it is null.
void DrawRouteSpider(PdfDocument& pdf, const RouteSpider& spider, const SpiderStop* markedStop,
                     const RowHeights& heights);

}  // namespace tak
