// The image and the canvas: palette pixels, plain shapes, and text through
// cairo.
#include "routemap/RouteMapDrawing.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "fonts/FontFaces.h"

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

std::optional<RouteMapImage> CreateRouteMapImage(const RouteMap& map, int32_t scale) {
    if (map.width < 0 || map.height < 0 || map.width > kMaxRouteMapImageCells ||
        map.height > kMaxRouteMapImageCells || scale < 1 || scale > 4) {
        return std::nullopt;
    }
    RouteMapImage image;
    image.width = scale * (kCellPixels * map.width + 1);
    image.height = scale * (kCellPixels * map.height + 1);
    image.palette = {kWhite};
    image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), 0);
    return image;
}

int32_t FittingPngScale(const RouteMap& map, int32_t wanted) {
    const int64_t width = kCellPixels * int64_t{std::clamp(map.width, 0, kMaxRouteMapImageCells)} + 1;
    const int64_t height = kCellPixels * int64_t{std::clamp(map.height, 0, kMaxRouteMapImageCells)} + 1;
    for (int32_t scale = LimitPngScale(wanted); scale > 1; scale /= 2) {
        if (scale * width * scale * height <= kMaxScaledImagePixels) return scale;
    }
    return 1;
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
    double drawnSize = kLabelFontPixels;  // in image pixels
    double drawnAscent = 0;

    ~Fonts() {
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
        if (face) cairo_font_face_destroy(face);
        if (options) cairo_font_options_destroy(options);
    }

    void Prepare(cairo_t* context, double size = kLabelFontPixels) const {
        cairo_set_antialias(context, CAIRO_ANTIALIAS_NONE);
        if (face) cairo_set_font_face(context, face);
        cairo_set_font_size(context, size);
        cairo_set_font_options(context, options);
    }
};

RouteMapCanvas::RouteMapCanvas(RouteMapImage& image, GridPoint origin, int32_t scale)
    : image_(image), origin_(origin), scale_(std::clamp(scale, 1, 4)), fonts_(std::make_unique<Fonts>()) {
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
    // Text is measured in map pixels and drawn in image pixels.
    fonts_->drawnSize = kLabelFontPixels * scale_;
    fonts_->drawnAscent = fonts_->ascent;
    if (scale_ > 1) {
        fonts_->Prepare(fonts_->cr, fonts_->drawnSize);
        cairo_font_extents(fonts_->cr, &extents);
        fonts_->drawnAscent = extents.ascent;
        fonts_->Prepare(fonts_->cr);
    }
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

void RouteMapCanvas::PutImagePixel(int32_t ix, int32_t iy, uint8_t index) {
    if (ix < 0 || iy < 0 || ix >= image_.width || iy >= image_.height) return;
    image_.pixels[static_cast<std::size_t>(iy) * static_cast<std::size_t>(image_.width) +
                  static_cast<std::size_t>(ix)] = index;
}

void RouteMapCanvas::Put(int32_t x, int32_t y, uint8_t index) {
    x -= origin_.x;
    y -= origin_.y;
    if (x < 0 || y < 0 || x >= MapWidth() || y >= MapHeight()) return;
    for (int32_t j = 0; j < scale_; ++j) {
        for (int32_t i = 0; i < scale_; ++i) PutImagePixel(scale_ * x + i, scale_ * y + j, index);
    }
}

void RouteMapCanvas::SetPixel(int32_t x, int32_t y, Rgb colour) { Put(x, y, Index(colour)); }

void RouteMapCanvas::XorPixel(int32_t x, int32_t y, Rgb mask) {
    const Rgb old = image_.PixelAt(scale_ * (x - origin_.x), scale_ * (y - origin_.y));
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
    if (std::max(x, endX) < origin_.x || std::min(x, endX) >= origin_.x + MapWidth() ||
        std::max(y, endY) < origin_.y || std::min(y, endY) >= origin_.y + MapHeight() || length <= 0) {
        return;
    }
    const uint8_t index = Index(colour);
    if (d >= 4 && scale_ > 1) {
        DiagonalRun(x, y, step, length, index);
        return;
    }
    for (int32_t i = 0; i < length; ++i) Put(x + i * step.dx, y + i * step.dy, index);
}

// A diagonal run of map pixels, drawn as a band `scale` image pixels wide
// that moves one image pixel sideways per image row: the same cells as the
// map pixels' blocks, with fine steps instead of coarse ones. Neighbouring
// runs one map pixel apart meet without a gap.
void RouteMapCanvas::DiagonalRun(int32_t x, int32_t y, const DirectionStep& step, int32_t length, uint8_t index) {
    const int32_t left = scale_ * (x - origin_.x);
    const int32_t top = scale_ * (y - origin_.y);
    for (int32_t t = 0; t < scale_ * length; ++t) {
        const int32_t row = step.dy > 0 ? top + t : top + scale_ - 1 - t;
        const int32_t first = left + step.dx * t;
        for (int32_t k = 0; k < scale_; ++k) PutImagePixel(first + k, row, index);
    }
}

void RouteMapCanvas::Line(int32_t ax, int32_t ay, int32_t bx, int32_t by, Rgb colour) {
    int d = StepDirection(GridPoint{ax, ay}, GridPoint{bx, by});
    if (d < 0) return;
    Run(ax, ay, d, std::max(std::abs(bx - ax), std::abs(by - ay)) + 1, colour);
}

void RouteMapCanvas::Disc(int32_t cx, int32_t cy, int32_t radius, Rgb colour) {
    if (scale_ > 1) {
        // The disc of the map pixels' centres within `radius`, drawn with
        // image pixels: the same extent, with a round edge.
        const double centreX = scale_ * (cx - origin_.x) + (scale_ - 1) / 2.0;
        const double centreY = scale_ * (cy - origin_.y) + (scale_ - 1) / 2.0;
        const double r = scale_ * radius + (scale_ - 1) / 2.0;
        const uint8_t index = Index(colour);
        for (auto iy = static_cast<int32_t>(std::floor(centreY - r)); iy <= centreY + r; ++iy) {
            for (auto ix = static_cast<int32_t>(std::floor(centreX - r)); ix <= centreX + r; ++ix) {
                const double dx = ix - centreX;
                const double dy = iy - centreY;
                if (dx * dx + dy * dy <= r * r + 1e-9) PutImagePixel(ix, iy, index);
            }
        }
        return;
    }
    for (int32_t dy = -radius; dy <= radius; ++dy) {
        for (int32_t dx = -radius; dx <= radius; ++dx) {
            if (dx * dx + dy * dy <= radius * radius) SetPixel(cx + dx, cy + dy, colour);
        }
    }
}

void RouteMapCanvas::Rectangle(int32_t left, int32_t top, int32_t width, int32_t height, std::optional<Rgb> fill,
                               std::optional<Rgb> outline) {
    for (int32_t y = std::max(top, origin_.y); y < std::min(top + height, origin_.y + MapHeight()); ++y) {
        for (int32_t x = std::max(left, origin_.x); x < std::min(left + width, origin_.x + MapWidth()); ++x) {
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
    if (scale_ > 1) {
        // The same box in image pixels, its outline `scale` pixels thick.
        const int32_t s = scale_;
        const int32_t w = s * width;
        const int32_t h = s * height;
        const int32_t r = s * radius;
        const int32_t imageLeft = s * (left - origin_.x);
        const int32_t imageTop = s * (top - origin_.y);
        const uint8_t fillIndex = Index(fill);
        const uint8_t outlineIndex = Index(outline);
        for (int32_t j = std::max(0, -imageTop); j < std::min(h, image_.height - imageTop); ++j) {
            for (int32_t i = std::max(0, -imageLeft); i < std::min(w, image_.width - imageLeft); ++i) {
                if (!InsideRoundBox(i, j, w, h, r)) continue;
                bool edge = !InsideRoundBox(i - s, j, w, h, r) || !InsideRoundBox(i + s, j, w, h, r) ||
                            !InsideRoundBox(i, j - s, w, h, r) || !InsideRoundBox(i, j + s, w, h, r);
                PutImagePixel(imageLeft + i, imageTop + j, edge ? outlineIndex : fillIndex);
            }
        }
        return;
    }
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
            if (data[y * stride + x] >= 128) PutImagePixel(left + x, top + y, index);
        }
    }
}

void RouteMapCanvas::Text(int32_t x, int32_t y, double angleDegrees, std::string_view text, Rgb colour,
                          std::optional<Rgb> background) {
    if (!fonts_->cr || text.empty()) return;
    const TextSize measured = MeasureText(text);
    const TextSize size{measured.width * scale_, measured.height * scale_};
    // Counter-clockwise on the screen, whose y axis points down.
    const double angle = -angleDegrees * kPi / 180.0;
    // From here on image pixels.
    const int32_t imageX = scale_ * (x - origin_.x);
    const int32_t imageY = scale_ * (y - origin_.y);
    // The turned text box, with room for glyphs reaching past their advance,
    // cut to the image.
    double minX = imageX, maxX = imageX, minY = imageY, maxY = imageY;
    for (auto [cx, cy] : {std::pair{size.width, 0}, std::pair{0, size.height}, std::pair{size.width, size.height}}) {
        const double px = imageX + cx * std::cos(angle) - cy * std::sin(angle);
        const double py = imageY + cx * std::sin(angle) + cy * std::cos(angle);
        minX = std::min(minX, px);
        maxX = std::max(maxX, px);
        minY = std::min(minY, py);
        maxY = std::max(maxY, py);
    }
    const int32_t spill = 3 * scale_;
    const int32_t left = std::max(0, static_cast<int32_t>(std::floor(minX)) - spill);
    const int32_t top = std::max(0, static_cast<int32_t>(std::floor(minY)) - spill);
    const int32_t right = std::min(image_.width, static_cast<int32_t>(std::ceil(maxX)) + spill);
    const int32_t bottom = std::min(image_.height, static_cast<int32_t>(std::ceil(maxY)) + spill);
    if (right <= left || bottom <= top) return;

    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, right - left, bottom - top);
    cairo_t* cr = cairo_create(mask);
    fonts_->Prepare(cr, fonts_->drawnSize);
    cairo_translate(cr, imageX - left, imageY - top);
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
    cairo_move_to(cr, 0, fonts_->drawnAscent);
    cairo_show_text(cr, owned.c_str());
    CopyMask(mask, left, top, colour);
    cairo_destroy(cr);
    cairo_surface_destroy(mask);
}

}  // namespace tak
