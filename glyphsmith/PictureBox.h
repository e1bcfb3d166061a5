#pragma once

#include <QFrame>
#include <QImage>

// A picture area that keeps what is drawn on it: an image behind it, shown in the
// paint event and read back pixel by pixel whether or not it is on screen.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(bool bordered, QWidget* parent = nullptr);

    QImage& image() { return image_; }
    const QImage& image() const { return image_; }
    void setImage(QImage image);

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
};
