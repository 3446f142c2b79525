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
#include "routemap/RouteMapLayout.h"

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
// With a scale above 1 every map pixel is `scale` x `scale` image pixels.
std::optional<RouteMapImage> CreateRouteMapImage(const RouteMap& map, int32_t scale = 1);

// The most image pixels a scaled output image may have; a larger map is
// drawn at the largest offered scale that fits (a 512-cell map at 1x).
constexpr int64_t kMaxScaledImagePixels = int64_t{72} * 1024 * 1024;
// The offered scale at most `wanted` whose image of the map stays within
// kMaxScaledImagePixels; 1 when none does.
int32_t FittingPngScale(const RouteMap& map, int32_t wanted);

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
//
// At a scale above 1 each map pixel covers scale x scale image pixels, and
// shapes are drawn at the image's own resolution: text in a larger font,
// round corners, discs and diagonals with image-pixel steps, so that the
// picture is sharp rather than an enlarged copy. Measured text sizes stay in
// map pixels.
class RouteMapCanvas {
public:
    explicit RouteMapCanvas(RouteMapImage& image, GridPoint origin = {0, 0}, int32_t scale = 1);
    ~RouteMapCanvas();
    RouteMapCanvas(const RouteMapCanvas&) = delete;
    RouteMapCanvas& operator=(const RouteMapCanvas&) = delete;

    int32_t Scale() const { return scale_; }

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
    // Sets the image pixels of map pixel (x, y).
    void Put(int32_t x, int32_t y, uint8_t index);
    // Sets one image pixel.
    void PutImagePixel(int32_t ix, int32_t iy, uint8_t index);
    void DiagonalRun(int32_t x, int32_t y, const DirectionStep& step, int32_t length, uint8_t index);
    // The map pixels the image shows, from the origin on.
    int32_t MapWidth() const { return (image_.width + scale_ - 1) / scale_; }
    int32_t MapHeight() const { return (image_.height + scale_ - 1) / scale_; }
    // Sets the image pixels a cairo A8 mask covers (at least half) to the colour.
    void CopyMask(_cairo_surface* mask, int32_t left, int32_t top, Rgb colour);

    RouteMapImage& image_;
    GridPoint origin_;
    int32_t scale_ = 1;
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

// The whole map in drawing order, as the layout made of it placed and routed
// it. Without an editor view it is the output image; with one, the grid and
// the editor's highlights are drawn as well.
void DrawRouteMap(const RouteMap& map, const RouteMapLayoutResult& layout, RouteMapCanvas& canvas,
                  const RouteMapEditorView* editor = nullptr);

// The primitives, in canvas pixels.
void DrawSegment(RouteMapCanvas& canvas, GridPoint a, GridPoint b, Rgb colour, int32_t thickness,
                 int previousDirection);
// `shift` moves the arrow or sign into its line's lane (pixels).
void DrawExitArrow(RouteMapCanvas& canvas, GridPoint point, const RouteLine& line, const LineLook& look, int direction,
                   GridPoint shift = {0, 0});
void DrawStopBox(RouteMapCanvas& canvas, const StopBox& box, int32_t roundBox, Rgb fill);
// A label of the stop drawn at `box`; badges take their line's colours from the layout.
void DrawStopLabel(RouteMapCanvas& canvas, const RouteMap& map, const RouteMapLayoutResult& layout,
                   const RouteStop& stop, const StopBox& box, const StopLabel& label, Rgb colour);
// A sign on a connection's path.
void DrawSign(RouteMapCanvas& canvas, const std::vector<GridPoint>& path, const RouteLine& line, const LineLook& look,
              const Sign& sign, GridPoint shift = {0, 0});
void DrawGrid(RouteMapCanvas& canvas, int32_t width, int32_t height);

// The lines of a stop name: each single "|" breaks the line, "||" stands
// for one "|".
std::vector<std::string> SplitStopName(std::string_view name);

// The pixel point of a sign position counted in half steps from the middle
// of the path; none when the position lies outside the path.
std::optional<GridPoint> SignPixel(const std::vector<GridPoint>& path, int32_t pos);

}  // namespace tak
