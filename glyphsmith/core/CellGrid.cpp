#include "CellGrid.h"

namespace glyph {

QImage makeGridImage(QColor background) {
    QImage image(kGridImageWidth, kGridImageHeight, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

bool isLit(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
        return false;
    }
    return (image.pixel(x, y) & 0x00FFFFFF) == 0;
}

void drawCell(QImage& image, Point centre, QRgb fill) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        image.convertTo(QImage::Format_RGB32);
    }
    // A circle wholly outside draws nothing; this also keeps the sums below in range.
    if (centre.x < -kCellRadius || centre.y < -kCellRadius ||
        centre.x > image.width() + kCellRadius || centre.y > image.height() + kCellRadius) {
        return;
    }
    // Pixel circle: the ring between radius 4.5 and 5.5 is the outline.
    constexpr int outer = (2 * kCellRadius + 1) * (2 * kCellRadius + 1);  // (2 * 5.5)^2
    constexpr int inner = (2 * kCellRadius - 1) * (2 * kCellRadius - 1);  // (2 * 4.5)^2
    for (int dy = -kCellRadius; dy <= kCellRadius; ++dy) {
        const int y = centre.y + dy;
        if (y < 0 || y >= image.height()) {
            continue;
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int dx = -kCellRadius; dx <= kCellRadius; ++dx) {
            const int x = centre.x + dx;
            if (x < 0 || x >= image.width()) {
                continue;
            }
            const int d2 = 4 * (dx * dx + dy * dy);
            if (d2 <= inner) {
                line[x] = fill;
            } else if (d2 <= outer) {
                line[x] = kBlack;
            }
        }
    }
}

}  // namespace glyph
