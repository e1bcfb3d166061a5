#pragma once

#include <QPixmap>
#include <QPushButton>

// A push button with a picture left of its caption, placed the way the
// window's layout wants it: either at a fixed margin from the left edge, or
// centred together with the caption.
class PictureButton final : public QPushButton {
    Q_OBJECT
public:
    enum class Placement { LeftMargin, Centred };
    PictureButton(const QString& caption, const QPixmap& picture, Placement placement, int margin,
                  int spacing, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    Placement placement_;
    int margin_;
    int spacing_;
};

// The USB trident of the send button (pointing right) or, mirrored, of the
// read button: 35 x 21 pixels, black with grey edge shading, transparent
// background.
QPixmap usbTridentPicture(bool mirrored);
