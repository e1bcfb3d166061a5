#pragma once

#include <QColor>
#include <QImage>

#include "GlyphRules.h"

// The drawing behind the cell grid: circles of the cells on a background, read back
// pixel by pixel. Lit means a pixel whose colour value is exactly 0 (pure black).
namespace glyph {

inline constexpr QRgb kBlack = 0xFF000000;
inline constexpr QRgb kOffFill = 0xFFC0C0C0;  // RGB(192, 192, 192)

// Visible drawing area of the grid (the widget is 110 x 129 with its border).
inline constexpr int kGridViewWidth = 106;
inline constexpr int kGridViewHeight = 125;
// The drawing reaches beyond what shows, so that the rows and columns of large
// fonts are still kept and read back; it covers every pixel of the capture box.
inline constexpr int kGridImageWidth = 320;
inline constexpr int kGridImageHeight = 320;

QImage makeGridImage(QColor background);

// True when the pixel is pure black; false for any other colour and outside the image.
bool isLit(const QImage& image, int x, int y);
inline bool isLit(const QImage& image, Point p) {
    return isLit(image, p.x, p.y);
}

// A circle of radius 5 with a one-pixel black outline and the given fill, clipped
// to the image.
void drawCell(QImage& image, Point centre, QRgb fill);

// The fill a click gives: black over anything not black, grey over black.
inline QRgb clickFill(bool pixelLit) {
    return pixelLit ? kOffFill : kBlack;
}

}  // namespace glyph
