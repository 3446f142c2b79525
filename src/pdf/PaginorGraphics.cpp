// Paints, paths, ellipses and rotation.
#include <cmath>
#include <numbers>
#include <utility>

#include "pdf/Paginor.h"
#include "pdf/PaginorFormat.h"
#include "pdf/PaginorState.h"

namespace tak {

namespace {

// The operator text of a grey level from 0 to 255.
std::string GreyText(float level, std::string_view greyOp) {
    std::string text;
    AppendNumber(text, level / 255, 3);
    text += greyOp;
    return text;
}

// The operator text of a colour given by 0-255 components. Black is written
// as a grey level, as the writer always has.
std::string ColourText(float r, float g, float b, std::string_view greyOp, std::string_view rgbOp) {
    if (r == 0 && g == 0 && b == 0) return GreyText(0, greyOp);
    std::string text;
    AppendNumber(text, r / 255, 3);
    text += ' ';
    AppendNumber(text, g / 255, 3);
    text += ' ';
    AppendNumber(text, b / 255, 3);
    text += rgbOp;
    return text;
}

}  // namespace

void PdfDocument::SetStrokePaintText(std::string paint) {
    s_->strokePaint_ = std::move(paint);
    if (s_->pageCount_ > 0) EmitContent(s_->strokePaint_);
}

void PdfDocument::SetFillPaintText(std::string paint) {
    s_->fillPaint_ = std::move(paint);
    if (s_->fillPaint_ != s_->textPaint_) s_->paintsDiffer_ = true;
    if (s_->pageCount_ > 0) EmitContent(s_->fillPaint_);
}

void PdfDocument::SetTextPaintText(std::string paint) {
    // Not emitted: text is wrapped in its own paint while the two differ.
    s_->textPaint_ = std::move(paint);
    if (s_->fillPaint_ != s_->textPaint_) s_->paintsDiffer_ = true;
}

void PdfDocument::SetStrokePaint(float r, float g, float b) { SetStrokePaintText(ColourText(r, g, b, " G", " RG")); }
void PdfDocument::SetStrokeGrey(float level) { SetStrokePaintText(GreyText(level, " G")); }
void PdfDocument::SetFillPaint(float r, float g, float b) { SetFillPaintText(ColourText(r, g, b, " g", " rg")); }
void PdfDocument::SetFillGrey(float level) { SetFillPaintText(GreyText(level, " g")); }
void PdfDocument::SetTextPaint(float r, float g, float b) { SetTextPaintText(ColourText(r, g, b, " g", " rg")); }
void PdfDocument::SetTextGrey(float level) { SetTextPaintText(GreyText(level, " g")); }

void PdfDocument::EmitPathPoint(float x, float y, std::string_view op) {
    std::string line;
    AppendCoordinates(line, x, y);
    line += op;
    EmitContent(line);
}

void PdfDocument::PathMoveTo(float x, float y) { EmitPathPoint(x, y, " m"); }

void PdfDocument::PathLineTo(float x, float y) { EmitPathPoint(x, y, " l"); }

void PdfDocument::PathCurveTo(float x1, float y1, float x2, float y2, float x3, float y3) {
    std::string line;
    AppendCoordinates(line, x1, y1);
    line += ' ';
    AppendCoordinates(line, x2, y2);
    line += ' ';
    AppendCoordinates(line, x3, y3);
    line += " c";
    EmitContent(line);
}

void PdfDocument::PaintPath(PdfPaint paint) {
    switch (paint) {
        case PdfPaint::Stroke:
            EmitContent("S");
            break;
        case PdfPaint::CloseAndStroke:
            EmitContent("s");
            break;
        case PdfPaint::Fill:
            EmitContent("f");
            break;
        case PdfPaint::FillAndStroke:
            EmitContent("b");
            break;
    }
}

void PdfDocument::DrawCircle(float x, float y, float r, PdfPaint paint) { DrawEllipse(x, y, r, r, paint); }

void PdfDocument::DrawEllipse(float x, float y, float rx, float ry, PdfPaint paint) {
    // Four Bezier quarters; k places the control points so that each quarter
    // stays within a tiny fraction of the true ellipse.
    const float k = 4.0f / 3.0f * (std::sqrt(2.0f) - 1.0f);
    const float lx = k * rx;
    const float ly = k * ry;
    PathMoveTo(x + rx, y);
    PathCurveTo(x + rx, y - ly, x + lx, y - ry, x, y - ry);
    PathCurveTo(x - lx, y - ry, x - rx, y - ly, x - rx, y);
    PathCurveTo(x - rx, y + ly, x - lx, y + ry, x, y + ry);
    PathCurveTo(x + lx, y + ry, x + rx, y + ly, x + rx, y);
    PaintPath(paint);
}

void PdfDocument::RotateAroundCursor(float angle) { RotateAround(angle, s_->x_, s_->y_); }

void PdfDocument::EndRotation() { RotateAround(0, s_->x_, s_->y_); }

void PdfDocument::RotateAround(float angle, float x, float y) {
    // A rotation belongs to a page: one begun without a page would be closed
    // by the next page's end without ever having been opened there.
    if (s_->state_ != kPageOpen) return;
    if (s_->rotationAngle_ != 0) EmitContent("Q");
    s_->rotationAngle_ = angle;
    if (angle == 0) return;
    const float radians = angle * std::numbers::pi_v<float> / 180;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    const float cx = x * s_->scale_;
    const float cy = (s_->pageHeight_ - y) * s_->scale_;
    std::string line = "q ";
    for (float value : {c, s, -s, c}) {
        AppendNumber(line, value, 5);
        line += ' ';
    }
    AppendNumber(line, cx, 2);
    line += ' ';
    AppendNumber(line, cy, 2);
    line += " cm";
    EmitContent(line);
    line = "1 0 0 1 ";
    AppendNumber(line, -cx, 2);
    line += ' ';
    AppendNumber(line, -cy, 2);
    line += " cm";
    EmitContent(line);
}

}  // namespace tak
