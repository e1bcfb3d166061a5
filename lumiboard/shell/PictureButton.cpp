#include "PictureButton.h"

#include <QIcon>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

PictureButton::PictureButton(const QString& caption, PictureSource picture, Placement placement,
                             int margin, int spacing, QWidget* parent)
    : QPushButton(caption, parent),
      source_(std::move(picture)),
      placement_(placement),
      margin_(margin),
      spacing_(spacing) {
    const QPixmap once = source_(1);
    size_ = once.size();
    setIcon(QIcon(once));  // as the classic button holds its glyph
}

QPixmap PictureButton::shownPicture() const {
    const qreal ratio = devicePixelRatioF();
    if (shown_.isNull() || shown_.devicePixelRatio() != ratio || shownEnabled_ != isEnabled()) {
        QPixmap picture = source_(ratio);
        if (!isEnabled()) {
            QStyleOption option;
            option.initFrom(this);
            picture = style()->generatedIconPixmap(QIcon::Disabled, picture, &option);
            picture.setDevicePixelRatio(ratio);
        }
        shown_ = picture;
        shownEnabled_ = isEnabled();
    }
    return shown_;
}

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QPixmap shown = shownPicture();
    const int textWidth = fontMetrics().horizontalAdvance(QString(text()).remove(u'&'));
    int x = margin_;
    if (placement_ == Placement::Centred) {
        x = (width() - (size_.width() + spacing_ + textWidth)) / 2;
    }
    const int offset = isDown() ? 1 : 0;  // the pressed look moves the content
    painter.drawPixmap(x + offset, (height() - size_.height()) / 2 + offset, shown);
    const QRect textRect(x + size_.width() + spacing_ + offset, offset,
                         width() - x - size_.width() - spacing_, height());
    style()->drawItemText(&painter, textRect,
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text(), QPalette::ButtonText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

QPixmap usbTridentPicture(bool mirrored, qreal devicePixelRatio) {
    constexpr QSize kSize(35, 21);
    QImage image(kSize * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // Hard edges at every scale, as the classic glyph has.
    p.setRenderHint(QPainter::Antialiasing, false);
    const auto draw = [&p](const QColor& colour, int dx, int dy) {
        p.setPen(QPen(colour, 2));
        p.setBrush(colour);
        p.translate(dx, dy);
        p.drawEllipse(QPoint(4, 10), 3, 3);                      // the base
        p.drawLine(6, 10, 27, 10);                               // the shaft
        p.drawPolygon(QPolygon({{27, 6}, {33, 10}, {27, 14}}));  // arrow head
        p.drawLine(10, 10, 14, 4);                               // upper branch
        p.drawLine(14, 4, 20, 4);
        p.drawEllipse(QPoint(21, 4), 2, 2);
        p.drawLine(14, 10, 18, 16);  // lower branch
        p.drawLine(18, 16, 22, 16);
        p.drawRect(22, 14, 3, 3);
        p.translate(-dx, -dy);
    };
    draw(QColor(128, 128, 128), 1, 1);  // edge shading
    draw(Qt::black, 0, 0);
    p.end();
    if (mirrored) {
        image = image.mirrored(true, false);
        image.setDevicePixelRatio(devicePixelRatio);
    }
    return QPixmap::fromImage(std::move(image));
}
