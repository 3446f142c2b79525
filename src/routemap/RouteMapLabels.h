// Labels that can be read: where the layout's automatic stop labels end up
// once they have been moved clear of each other.
//
// The layout first puts every automatic label where the plain rule puts it
// (name beside or above its box, badges in a block below or to the left).
// On a busy map that rule lets names run over each other, into other stops'
// boxes, over line badges and past the image's edge. The pass here tries a
// small set of places around the box for every automatic name and badge
// block and takes the first that stays inside the image, overlaps no other
// label, no stop box, no line and no line's name, and lies no nearer to
// another stop's box than to its own. Places further out are joined to the
// box by a leader line. When no place crosses no line, the free place that
// crosses the fewest is taken and the label counted; when no place is free
// at all, the plain rule's place is kept and counted. Labels the user placed
// by hand are never moved; others keep clear of them.
//
// Stops in a row along a straight stretch are looked at together: where
// their names do not all find a clear place next to their boxes, the
// stretch's names are turned as on network maps (reading upwards or slanted
// at 45 degrees beside a horizontal stretch, level or slanted beside a
// vertical one), all on one side of the line or, where one side has no room
// for all of them, by turns on either side; then the other names are placed
// around them. Turned names are checked as the turned rectangles they are
// drawn in, not as the boxes around those. A name's turn is the layout's
// choice and is not stored, unless the user fixes the label by hand.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "routemap/RouteMap.h"
#include "routemap/RouteMapLayout.h"

namespace tak {

// A rectangle of pixels, left and top included, right and bottom excluded.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    bool Overlaps(const PixelRect& other) const {
        return !Empty() && !other.Empty() && left < other.right && other.left < right && top < other.bottom &&
               other.top < bottom;
    }
    bool Inside(const PixelRect& outer) const {
        return left >= outer.left && top >= outer.top && right <= outer.right && bottom <= outer.bottom;
    }
    bool operator==(const PixelRect&) const = default;
};

// The area a label covers: a rectangle, turned with the label's text. An
// unturned shape is its `bounds`; a turned one lies within them.
struct LabelShape {
    struct Corner {
        double x = 0;
        double y = 0;
    };
    PixelRect bounds;
    bool turned = false;
    // Along the text from its start, then back along its far side: start
    // corner, end corner, end corner below, start corner below.
    std::array<Corner, 4> corners{};

    static LabelShape Of(const PixelRect& rect);
    bool Empty() const { return bounds.Empty(); }
    bool Overlaps(const LabelShape& other) const;
    bool Inside(const PixelRect& outer) const { return bounds.Inside(outer); }
};

// The square of the gap between a label and a box, as the placement
// compares them: whole pixels for an unturned label, the exact distance for
// a turned one (a label is compared only with itself in one way or the
// other); 0 when they touch.
double SquaredGap(const LabelShape& label, const PixelRect& box);

// The pixels a drawn stop box covers.
PixelRect StopBoxPixels(const StopBox& box);
// The same for a stop with the box the layout gave it: empty for an exit,
// which has no box, and for a stop not placed.
PixelRect StopBoxBounds(const RouteStop& stop, const StopBox& box);
// The stop's box, or for an exit a small square at its centre: what labels
// and leader lines keep to.
PixelRect StopOutline(const RouteStop& stop, const StopBox& box);

// The pixels a label covers when drawn at its stop's box, text backgrounds
// included; empty for a badge without a line or a stop that is not placed.
PixelRect StopLabelBounds(const RouteMap& map, const RouteStop& stop, const StopBox& box, const StopLabel& label);
// The same label's area as its turned rectangle; its bounds are those above.
LabelShape StopLabelShape(const RouteMap& map, const RouteStop& stop, const StopBox& box, const StopLabel& label);

// A name label further than this from its stop's box is joined to it by a
// leader line.
constexpr int32_t kLeaderGap = 24;

// The ends of the leader line of a name label, on its box's outline and on
// the label's edge; none when the label sits close to its box.
struct LabelLeader {
    GridPoint from;  // pixels
    GridPoint to;
};
std::optional<LabelLeader> LeaderOf(const RouteMap& map, const RouteStop& stop, const StopBox& box,
                                    const StopLabel& label);

// Moves the automatic labels of the layout's placed stops to free places as
// told above and returns how many labels (a badge block counts once) found none.
int32_t ClearStopLabels(const RouteMap& map, RouteMapLayoutResult& layout);

}  // namespace tak
