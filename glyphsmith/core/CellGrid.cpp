#include "CellGrid.h"

#include <algorithm>
#include <cmath>

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

GridDrawing::GridDrawing(QColor background)
    : background_(background), image_(makeGridImage(background)) {}

void GridDrawing::clear() {
    image_.fill(background_);
    cells_.clear();
}

void GridDrawing::drawCell(Point centre, QRgb fill) {
    glyph::drawCell(image_, centre, fill);
    // A circle covers whatever was drawn earlier at the same centre: only the
    // last counts, so clicks don't make the record grow.
    std::erase_if(cells_, [centre](const DrawnCell& cell) { return cell.centre == centre; });
    cells_.push_back({centre, fill});
}

QImage GridDrawing::render(QSize size, qreal ratio) const {
    QImage out(size * ratio, QImage::Format_RGB32);
    out.setDevicePixelRatio(ratio);
    out.fill(background_);
    // The outline keeps whole device pixels: one at 1x and 1.25x, two at 2x.
    const double outline = std::max(1.0, std::round(ratio));
    const double radius = kCellRadius * ratio;
    const double inner = radius - outline / 2;
    const double outer = radius + outline / 2;
    const int reach = static_cast<int>(std::ceil(outer)) + 1;
    for (const DrawnCell& cell : cells_) {
        // The middle of the centre pixel, to the nearest half device pixel.
        const double cx = std::round(2 * (cell.centre.x + 0.5) * ratio) / 2;
        const double cy = std::round(2 * (cell.centre.y + 0.5) * ratio) / 2;
        const int left = std::max(0, static_cast<int>(cx) - reach);
        const int right = std::min(out.width() - 1, static_cast<int>(cx) + reach);
        const int top = std::max(0, static_cast<int>(cy) - reach);
        const int bottom = std::min(out.height() - 1, static_cast<int>(cy) + reach);
        for (int y = top; y <= bottom; ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            const double dy = y + 0.5 - cy;
            for (int x = left; x <= right; ++x) {
                const double dx = x + 0.5 - cx;
                const double d2 = dx * dx + dy * dy;
                if (d2 <= inner * inner) {
                    line[x] = cell.fill;
                } else if (d2 <= outer * outer) {
                    line[x] = kBlack;
                }
            }
        }
    }
    return out;
}

}  // namespace glyph
