#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(bool bordered, QWidget* parent) : QFrame(parent) {
    if (bordered) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
    }
}

void PictureBox::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void PictureBox::setRenderer(Renderer renderer) {
    renderer_ = std::move(renderer);
    rendered_ = QImage();
    update();
}

QImage PictureBox::shownImage() const {
    const qreal ratio = devicePixelRatioF();
    if (!renderer_ || ratio == 1.0) {
        return image_;
    }
    if (rendered_.isNull() || rendered_.devicePixelRatio() != ratio ||
        renderedFrom_ != image_.cacheKey()) {
        rendered_ = renderer_(ratio);
        renderedFrom_ = image_.cacheKey();
    }
    return rendered_;
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.drawImage(area.topLeft(), shownImage());
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    const QPointF pos = event->position() - QPointF(contentsRect().topLeft());
    emit mouseDown(event->button(), event->modifiers(), pos);
    QFrame::mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QFrame::mouseReleaseEvent(event);
}
