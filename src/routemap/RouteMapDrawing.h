// Drawing the laid-out route map onto a raster image: one routine for the
// output image and the editor canvas (which adds the grid and highlights).
// Shapes and text are drawn without smoothing, so that 1-pixel lines and the
// pixel geometry below hold exactly and the image keeps a few flat colours;
// text uses a small sans-serif system font.
//
// Pixel geometry: a grid cell is 16 x 16 pixels, the full map is
// (16 Width + 1) x (16 Height + 1) pixels, and the centre of cell (x, y) is
// (16x + 8, 16y + 8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "routemap/RouteMap.h"

struct _cairo_surface;

namespace tak {

// Colours the image can hold; the map's flat colours need a few dozen.
constexpr std::size_t kMaxRouteMapColours = 256;

// An image of palette indices, rows from the top without padding. Index 0
// is white; a colour is added to the palette when first drawn.
struct RouteMapImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    std::vector<Rgb> palette;

    // Black outside the image.
    Rgb PixelAt(int32_t x, int32_t y) const;
    // The colour's index, added when new; the nearest colour's index once
    // the palette is full.
    uint8_t IndexOf(Rgb colour);
};

// The largest map side, in cells, that gets an image; beyond it an image
// would need gigabytes.
constexpr int32_t kMaxRouteMapImageCells = 2048;

// An image of the map's full size, or none when the size is out of range.
std::optional<RouteMapImage> CreateRouteMapImage(const RouteMap& map);

// What the editor canvas shows on top of the map. Positions marked "pixels"
// are canvas pixels, the others grid cells.
struct RouteMapEditorView {
    RouteKey selectedConnection = kNoRouteKey;
    int32_t selectedNode = -1;  // index into the selected connection's nodes
    RouteKey selectedStop = kNoRouteKey;
    int32_t selectedSide = -1;  // port of the selected stop, -1 none
    int32_t selectedPort = -1;
    std::optional<Sign> draggedSign;         // on the selected connection
    std::optional<StopLabel> draggedLabel;   // of the selected stop
    std::optional<GridPoint> clickPoint;  // pixels: a pending click
    std::optional<StopBox> placingBox;    // a stop box being placed
    struct Band {
        int32_t x = 0, y = 0, width = 0, height = 0;  // pixels
    };
    std::optional<Band> rubberBand;
};

// The label font and text metrics, pixels.
struct TextSize {
    int32_t width = 0;
    int32_t height = 0;
};

// A drawing surface over an image: plain pixel shapes, and text through
// cairo. Everything outside the image is clipped. The image shows the map's
// pixels from `origin` on, so that a window can have only its visible part
// drawn; positions handed to the canvas are always map pixels.
class RouteMapCanvas {
public:
    explicit RouteMapCanvas(RouteMapImage& image, GridPoint origin = {0, 0});
    ~RouteMapCanvas();
    RouteMapCanvas(const RouteMapCanvas&) = delete;
    RouteMapCanvas& operator=(const RouteMapCanvas&) = delete;

    int32_t Width() const { return image_.width; }
    int32_t Height() const { return image_.height; }

    void Fill(Rgb colour);
    void SetPixel(int32_t x, int32_t y, Rgb colour);
    void XorPixel(int32_t x, int32_t y, Rgb mask);
    // `length` pixels from (x, y) on in direction d (0-7 of the direction table).
    void Run(int32_t x, int32_t y, int d, int32_t length, Rgb colour);
    // A straight 1-pixel line including both ends; a and b must share a row,
    // a column or a 45-degree diagonal.
    void Line(int32_t ax, int32_t ay, int32_t bx, int32_t by, Rgb colour);
    void Disc(int32_t cx, int32_t cy, int32_t radius, Rgb colour);
    void Rectangle(int32_t left, int32_t top, int32_t width, int32_t height, std::optional<Rgb> fill,
                   std::optional<Rgb> outline);
    void RoundRectangle(int32_t left, int32_t top, int32_t width, int32_t height, int32_t radius, Rgb fill,
                        Rgb outline);

    // Width of the text and the height of one line of the label font.
    TextSize MeasureText(std::string_view text);
    // Text turned by `angleDegrees` counter-clockwise around its top-left
    // corner (x, y); with a background the text's box is filled first.
    void Text(int32_t x, int32_t y, double angleDegrees, std::string_view text, Rgb colour,
              std::optional<Rgb> background);

private:
    struct Fonts;
    uint8_t Index(Rgb colour);
    void Put(int32_t x, int32_t y, uint8_t index);
    // Sets the pixels a cairo A8 mask covers (at least half) to the colour.
    void CopyMask(_cairo_surface* mask, int32_t left, int32_t top, Rgb colour);

    RouteMapImage& image_;
    GridPoint origin_;
    std::unique_ptr<Fonts> fonts_;
    Rgb lastColour_;
    uint8_t lastIndex_ = 0;
    bool hasLast_ = false;
};

// The width of a text and the height of one line in the label font, as a
// canvas measures them; for the layout, which has no canvas.
TextSize MeasureLabelText(std::string_view text);

// The contrast ratio of a colour against white, from 1 (white) to 21 (black).
double ContrastOnWhite(Rgb colour);
// Lines in colours that read too faintly on white (yellow, light green) are
// drawn with a dark casing, one pixel wider on each side, in this colour.
bool NeedsCasing(Rgb colour);
Rgb CasingColour(Rgb colour);

// The whole map in drawing order. Without an editor view it is the output
// image; with one, the grid and the editor's highlights are drawn as well.
// The caller lays the map out first.
void DrawRouteMap(const RouteMap& map, RouteMapCanvas& canvas, const RouteMapEditorView* editor = nullptr);

// The primitives, in canvas pixels.
void DrawSegment(RouteMapCanvas& canvas, GridPoint a, GridPoint b, Rgb colour, int32_t thickness,
                 int previousDirection);
void DrawExitArrow(RouteMapCanvas& canvas, GridPoint point, const RouteLine& line, int direction);
void DrawStopBox(RouteMapCanvas& canvas, const StopBox& box, int32_t roundBox, Rgb fill);
void DrawStopLabel(RouteMapCanvas& canvas, const RouteMap& map, const StopLabel& label, const RouteStop& stop,
                   Rgb colour);
void DrawSign(RouteMapCanvas& canvas, const Connection& connection, const RouteLine& line, const Sign& sign);
void DrawGrid(RouteMapCanvas& canvas, int32_t width, int32_t height);

// The lines of a stop name: each single "|" breaks the line, "||" stands
// for one "|".
std::vector<std::string> SplitStopName(std::string_view name);

// The pixel point of a sign position counted in half steps from the middle
// of the path; none when the position lies outside the path.
std::optional<GridPoint> SignPixel(const std::vector<GridPoint>& path, int32_t pos);

}  // namespace tak
