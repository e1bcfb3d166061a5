#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

#include <vector>

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

// One circle as drawn on the grid.
struct DrawnCell {
    Point centre;
    QRgb fill;
    friend bool operator==(const DrawnCell&, const DrawnCell&) = default;
};

// The grid's drawing: the image its pixels are read back from, and the circles
// drawn on it since it was last cleared, in order, so that the same picture can
// be drawn again at the screen's own scale.
class GridDrawing {
public:
    explicit GridDrawing(QColor background);

    const QImage& image() const { return image_; }
    const std::vector<DrawnCell>& cells() const { return cells_; }

    void clear();
    void drawCell(Point centre, QRgb fill);

    // The area of `size` (grid pixels) from the top left, drawn `ratio` device
    // pixels to a grid pixel: every circle is a ring of whole device pixels
    // about its centre snapped to half a device pixel, so circles a whole
    // number of device pixels apart look alike. At ratio 1 it is the image.
    QImage render(QSize size, qreal ratio) const;

private:
    QColor background_;
    QImage image_;
    std::vector<DrawnCell> cells_;
};

}  // namespace glyph
