#pragma once

#include <QFrame>
#include <QImage>

#include <functional>

// A picture area that keeps what is drawn on it: an image behind it, shown in the
// paint event and read back pixel by pixel whether or not it is on screen. On a
// screen of another pixel ratio it shows what its renderer draws for that
// ratio, when it has one, and the image pixel for pixel otherwise.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(bool bordered, QWidget* parent = nullptr);

    QImage& image() { return image_; }
    const QImage& image() const { return image_; }
    void setImage(QImage image);

    // Draws the picture at a device pixel ratio; called again when the ratio or
    // the image changed.
    using Renderer = std::function<QImage(qreal devicePixelRatio)>;
    void setRenderer(Renderer renderer);
    // What the paint event draws: the image, or the renderer's picture.
    QImage shownImage() const;

signals:
    // Position in drawing-area pixels, inside the border.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPointF pos);
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
    Renderer renderer_;
    mutable QImage rendered_;
    mutable qint64 renderedFrom_ = 0;  // the image's key when rendered_ was drawn
};
