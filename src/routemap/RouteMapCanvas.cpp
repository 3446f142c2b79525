// The image and the canvas: palette pixels, plain shapes, and text through
// cairo.
#include "routemap/RouteMapDrawing.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "base/FontFaces.h"

namespace tak {

namespace {

constexpr Rgb kWhite{255, 255, 255};

// A small sans-serif face of about the size of the classic 8-point dialog font.
constexpr const char* kLabelFontFamily = "Liberation Sans";
constexpr double kLabelFontPixels = 11.0;

constexpr double kPi = 3.14159265358979323846;

const DirectionStep& Step(int d) { return DirectionTable()[static_cast<std::size_t>(d)]; }

cairo_font_face_t* LoadLabelFace() { return CreatePinnedFontFace(kLabelFontFamily, {}); }

}  // namespace

Rgb RouteMapImage::PixelAt(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {};
    const uint8_t index =
        pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    return index < palette.size() ? palette[index] : Rgb{};
}

uint8_t RouteMapImage::IndexOf(Rgb colour) {
    auto found = std::find(palette.begin(), palette.end(), colour);
    if (found != palette.end()) return static_cast<uint8_t>(found - palette.begin());
    if (palette.size() < kMaxRouteMapColours) {
        palette.push_back(colour);
        return static_cast<uint8_t>(palette.size() - 1);
    }
    // A full palette gives the nearest colour it holds.
    auto distance = [colour](Rgb c) {
        auto d = [](int a, int b) { return (a - b) * (a - b); };
        return d(c.r, colour.r) + d(c.g, colour.g) + d(c.b, colour.b);
    };
    auto nearest = std::min_element(palette.begin(), palette.end(),
                                    [&](Rgb a, Rgb b) { return distance(a) < distance(b); });
    return static_cast<uint8_t>(nearest - palette.begin());
}

std::optional<RouteMapImage> CreateRouteMapImage(const RouteMap& map) {
    if (map.width < 0 || map.height < 0 || map.width > kMaxRouteMapImageCells ||
        map.height > kMaxRouteMapImageCells) {
        return std::nullopt;
    }
    RouteMapImage image;
    image.width = 16 * map.width + 1;
    image.height = 16 * map.height + 1;
    image.palette = {kWhite};
    image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 0);
    return image;
}

// ---------------------------------------------------------------------------
// Canvas

// The label font, and a cairo context for measuring. Text is drawn into a
// small mask per item and copied into the image in one colour.
struct RouteMapCanvas::Fonts {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    cairo_font_face_t* face = nullptr;
    cairo_font_options_t* options = nullptr;
    int32_t lineHeight = 0;
    double ascent = 0;

    ~Fonts() {
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
        if (face) cairo_font_face_destroy(face);
        if (options) cairo_font_options_destroy(options);
    }

    void Prepare(cairo_t* context) const {
        cairo_set_antialias(context, CAIRO_ANTIALIAS_NONE);
        if (face) cairo_set_font_face(context, face);
        cairo_set_font_size(context, kLabelFontPixels);
        cairo_set_font_options(context, options);
    }
};

RouteMapCanvas::RouteMapCanvas(RouteMapImage& image, GridPoint origin)
    : image_(image), origin_(origin), fonts_(std::make_unique<Fonts>()) {
    if (image_.palette.empty()) image_.palette.push_back(kWhite);
    fonts_->surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    fonts_->cr = cairo_create(fonts_->surface);
    fonts_->face = LoadLabelFace();
    fonts_->options = cairo_font_options_create();
    // Unsmoothed, fully hinted glyphs: crisp text in the map's flat colours.
    cairo_font_options_set_antialias(fonts_->options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(fonts_->options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(fonts_->options, CAIRO_HINT_METRICS_ON);
    fonts_->Prepare(fonts_->cr);
    cairo_font_extents_t extents;
    cairo_font_extents(fonts_->cr, &extents);
    fonts_->ascent = extents.ascent;
    fonts_->lineHeight = static_cast<int32_t>(std::ceil(extents.ascent + extents.descent));
}

RouteMapCanvas::~RouteMapCanvas() = default;

uint8_t RouteMapCanvas::Index(Rgb colour) {
    if (!(colour == lastColour_) || !hasLast_) {
        lastColour_ = colour;
        lastIndex_ = image_.IndexOf(colour);
        hasLast_ = true;
    }
    return lastIndex_;
}

void RouteMapCanvas::Fill(Rgb colour) { std::fill(image_.pixels.begin(), image_.pixels.end(), Index(colour)); }

void RouteMapCanvas::Put(int32_t x, int32_t y, uint8_t index) {
    x -= origin_.x;
    y -= origin_.y;
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    image_.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.width) + static_cast<std::size_t>(x)] =
        index;
}

void RouteMapCanvas::SetPixel(int32_t x, int32_t y, Rgb colour) { Put(x, y, Index(colour)); }

void RouteMapCanvas::XorPixel(int32_t x, int32_t y, Rgb mask) {
    const Rgb old = image_.PixelAt(x - origin_.x, y - origin_.y);
    SetPixel(x, y, Rgb{static_cast<uint8_t>(old.r ^ mask.r), static_cast<uint8_t>(old.g ^ mask.g),
                       static_cast<uint8_t>(old.b ^ mask.b)});
}

void RouteMapCanvas::Run(int32_t x, int32_t y, int d, int32_t length, Rgb colour) {
    if (d < 0 || d >= kDirectionCount) return;
    const DirectionStep& step = Step(d);
    // Runs wholly beside the image (most of them, when only a window's
    // part of a large map is drawn) cost nothing.
    const int32_t endX = x + (length - 1) * step.dx;
    const int32_t endY = y + (length - 1) * step.dy;
    if (std::max(x, endX) < origin_.x || std::min(x, endX) >= origin_.x + image_.width ||
        std::max(y, endY) < origin_.y || std::min(y, endY) >= origin_.y + image_.height || length <= 0) {
        return;
    }
    const uint8_t index = Index(colour);
    for (int32_t i = 0; i < length; ++i) Put(x + i * step.dx, y + i * step.dy, index);
}

void RouteMapCanvas::Line(int32_t ax, int32_t ay, int32_t bx, int32_t by, Rgb colour) {
    int d = StepDirection(GridPoint{ax, ay}, GridPoint{bx, by});
    if (d < 0) return;
    Run(ax, ay, d, std::max(std::abs(bx - ax), std::abs(by - ay)) + 1, colour);
}

void RouteMapCanvas::Disc(int32_t cx, int32_t cy, int32_t radius, Rgb colour) {
    for (int32_t dy = -radius; dy <= radius; ++dy) {
        for (int32_t dx = -radius; dx <= radius; ++dx) {
            if (dx * dx + dy * dy <= radius * radius) SetPixel(cx + dx, cy + dy, colour);
        }
    }
}

void RouteMapCanvas::Rectangle(int32_t left, int32_t top, int32_t width, int32_t height, std::optional<Rgb> fill,
                               std::optional<Rgb> outline) {
    for (int32_t y = std::max(top, origin_.y); y < std::min(top + height, origin_.y + image_.height); ++y) {
        for (int32_t x = std::max(left, origin_.x); x < std::min(left + width, origin_.x + image_.width); ++x) {
            bool edge = x == left || y == top || x == left + width - 1 || y == top + height - 1;
            if (edge && outline) {
                SetPixel(x, y, *outline);
            } else if (fill) {
                SetPixel(x, y, *fill);
            }
        }
    }
}

namespace {

// Whether pixel (i, j) of a w x h box with corner radius r lies inside it:
// its centre is within r of the box shrunk by r on every side.
bool InsideRoundBox(int32_t i, int32_t j, int32_t w, int32_t h, int32_t r) {
    if (i < 0 || j < 0 || i >= w || j >= h) return false;
    auto nearest = [r](double v, int32_t size) {
        if (2 * r >= size) return size / 2.0;
        return std::clamp(v, double(r), double(size - r));
    };
    double px = i + 0.5;
    double py = j + 0.5;
    double dx = px - nearest(px, w);
    double dy = py - nearest(py, h);
    return dx * dx + dy * dy <= double(r) * r + 1e-9;
}

}  // namespace

void RouteMapCanvas::RoundRectangle(int32_t left, int32_t top, int32_t width, int32_t height, int32_t radius,
                                    Rgb fill, Rgb outline) {
    for (int32_t j = std::max(0, origin_.y - top); j < std::min(height, origin_.y + image_.height - top); ++j) {
        for (int32_t i = std::max(0, origin_.x - left); i < std::min(width, origin_.x + image_.width - left); ++i) {
            if (!InsideRoundBox(i, j, width, height, radius)) continue;
            bool edge = !InsideRoundBox(i - 1, j, width, height, radius) ||
                        !InsideRoundBox(i + 1, j, width, height, radius) ||
                        !InsideRoundBox(i, j - 1, width, height, radius) ||
                        !InsideRoundBox(i, j + 1, width, height, radius);
            SetPixel(left + i, top + j, edge ? outline : fill);
        }
    }
}

TextSize RouteMapCanvas::MeasureText(std::string_view text) {
    if (!fonts_->cr) return {};
    std::string owned(text);
    cairo_text_extents_t extents;
    cairo_text_extents(fonts_->cr, owned.c_str(), &extents);
    return TextSize{static_cast<int32_t>(std::lround(extents.x_advance)), fonts_->lineHeight};
}

TextSize MeasureLabelText(std::string_view text) {
    // One small canvas per thread holds the font; the output run lays out on
    // a thread of its own.
    thread_local RouteMapImage image{1, 1, {0}, {kWhite}};
    thread_local RouteMapCanvas canvas(image);
    return canvas.MeasureText(text);
}

void RouteMapCanvas::CopyMask(_cairo_surface* mask, int32_t left, int32_t top, Rgb colour) {
    cairo_surface_flush(mask);
    const unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    const uint8_t index = Index(colour);
    for (int32_t y = 0; y < cairo_image_surface_get_height(mask); ++y) {
        for (int32_t x = 0; x < cairo_image_surface_get_width(mask); ++x) {
            if (data[y * stride + x] >= 128) Put(left + x, top + y, index);
        }
    }
}

void RouteMapCanvas::Text(int32_t x, int32_t y, double angleDegrees, std::string_view text, Rgb colour,
                          std::optional<Rgb> background) {
    if (!fonts_->cr || text.empty()) return;
    const TextSize size = MeasureText(text);
    // Counter-clockwise on the screen, whose y axis points down.
    const double angle = -angleDegrees * kPi / 180.0;
    // The turned text box, with room for glyphs reaching past their advance,
    // cut to the image.
    double minX = x, maxX = x, minY = y, maxY = y;
    for (auto [cx, cy] : {std::pair{size.width, 0}, std::pair{0, size.height}, std::pair{size.width, size.height}}) {
        const double px = x + cx * std::cos(angle) - cy * std::sin(angle);
        const double py = y + cx * std::sin(angle) + cy * std::cos(angle);
        minX = std::min(minX, px);
        maxX = std::max(maxX, px);
        minY = std::min(minY, py);
        maxY = std::max(maxY, py);
    }
    constexpr int32_t kSpill = 3;
    const int32_t left = std::max(origin_.x, static_cast<int32_t>(std::floor(minX)) - kSpill);
    const int32_t top = std::max(origin_.y, static_cast<int32_t>(std::floor(minY)) - kSpill);
    const int32_t right = std::min(origin_.x + image_.width, static_cast<int32_t>(std::ceil(maxX)) + kSpill);
    const int32_t bottom = std::min(origin_.y + image_.height, static_cast<int32_t>(std::ceil(maxY)) + kSpill);
    if (right <= left || bottom <= top) return;

    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, right - left, bottom - top);
    cairo_t* cr = cairo_create(mask);
    fonts_->Prepare(cr);
    cairo_translate(cr, x - left, y - top);
    cairo_rotate(cr, angle);
    if (background) {
        cairo_rectangle(cr, 0, 0, size.width, size.height);
        cairo_fill(cr);
        CopyMask(mask, left, top, *background);
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    std::string owned(text);
    cairo_move_to(cr, 0, fonts_->ascent);
    cairo_show_text(cr, owned.c_str());
    CopyMask(mask, left, top, colour);
    cairo_destroy(cr);
    cairo_surface_destroy(mask);
}

}  // namespace tak
