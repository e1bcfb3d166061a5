#pragma once

#include <functional>

#include <QPixmap>
#include <QPushButton>

// A picture drawn for a given device pixel ratio, at that resolution.
using PictureSource = std::function<QPixmap(qreal devicePixelRatio)>;

// A push button with a picture left of its caption, placed the way the
// window's layout wants it: either at a fixed margin from the left edge, or
// centred together with the caption. The picture is drawn afresh for the
// pixel ratio of the screen the button is on, never scaled up from 1x.
class PictureButton final : public QPushButton {
    Q_OBJECT
public:
    enum class Placement { LeftMargin, Centred };
    PictureButton(const QString& caption, PictureSource picture, Placement placement, int margin,
                  int spacing, QWidget* parent = nullptr);

    // The picture as painted now: enabled or in the disabled look, at the
    // button's pixel ratio.
    QPixmap shownPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PictureSource source_;
    QSize size_;  // in the window's units
    Placement placement_;
    int margin_;
    int spacing_;
    // The last picture made, with what it was made for.
    mutable QPixmap shown_;
    mutable bool shownEnabled_ = true;
};

// The USB trident of the send button (pointing right) or, mirrored, of the
// read button: 35 x 21 in the window's units, black with grey edge shading,
// transparent background, drawn from its outline at the given pixel ratio.
QPixmap usbTridentPicture(bool mirrored, qreal devicePixelRatio = 1);
