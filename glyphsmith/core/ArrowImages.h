#pragma once

#include <QImage>

namespace glyph {

inline constexpr int kArrowSize = 20;
inline constexpr QRgb kArrowBlue = 0xFF0A078D;  // RGB(10, 7, 141)
inline constexpr QRgb kArrowGrey = 0xFFBFBFBF;  // RGB(191, 191, 191)

// 20 x 20 pictures of the shift arrows: a dark blue triangle pointing down in the
// upper half, or pointing up in the lower half, on light grey; drawn from the
// triangle's corners at the given device pixel ratio.
QImage arrowImage(bool pointingDown, qreal devicePixelRatio = 1);

}  // namespace glyph
