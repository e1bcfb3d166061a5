#include "ArrowImages.h"

#include <QPainter>
#include <QPolygonF>

namespace glyph {

QImage arrowImage(bool pointingDown, qreal devicePixelRatio) {
    QImage image(QSize(kArrowSize, kArrowSize) * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(kArrowGrey);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(kArrowBlue));
    const QPolygonF down{{3, 1}, {17, 1}, {10, 9}};
    const QPolygonF up{{3, 19}, {17, 19}, {10, 11}};
    painter.drawPolygon(pointingDown ? down : up);
    return image;
}

}  // namespace glyph
