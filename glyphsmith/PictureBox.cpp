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

void PictureBox::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.drawImage(area.topLeft(), image_);
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
