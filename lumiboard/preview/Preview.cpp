#include "Preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QPainter>

LedGrid LedGrid::at(QPoint origin, qreal devicePixelRatio) {
    if (devicePixelRatio == 1.0) {
        return {origin, kLedPitch};
    }
    // Rounded down and in: the matrix stays inside the area it has at 1x.
    constexpr double kSlack = 1e-6;
    const int pitch =
        std::max(1, static_cast<int>(std::floor(kLedPitch * devicePixelRatio + kSlack)));
    const auto snap = [devicePixelRatio](int v) {
        return static_cast<int>(std::ceil(v * devicePixelRatio - kSlack));
    };
    return {QPoint(snap(origin.x()), snap(origin.y())), pitch};
}

QSize LedGrid::ledSize(QSize picture) const {
    if (pitch == kLedPitch) {
        return picture;
    }
    const auto scaled = [this](int v) {
        return std::max(1, static_cast<int>(std::lround(double(v) * pitch / kLedPitch)));
    };
    return {scaled(picture.width()), scaled(picture.height())};
}

namespace {

// Copies the picture's pixels onto the canvas at `at` (canvas pixels), clipped
// to the canvas. The picture is opaque premultiplied ARGB, laid out as the
// canvas's pixels are; `bits` is the canvas's, detached once by the caller.
void copyPixels(uchar* bits, const QImage& canvas, QPoint at, const QImage& picture) {
    const QRect target = QRect(at, picture.size()) & canvas.rect();
    if (target.isEmpty()) {
        return;
    }
    const int dx = target.x() - at.x();
    const auto bytes = static_cast<std::size_t>(target.width()) * sizeof(QRgb);
    const auto stride = static_cast<std::size_t>(canvas.bytesPerLine());
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(picture.constScanLine(y - at.y())) + dx;
        auto* to =
            reinterpret_cast<QRgb*>(bits + stride * static_cast<std::size_t>(y)) + target.x();
        std::memcpy(to, from, bytes);
    }
}

}  // namespace

Preview::Preview(const Clock& clock, Beeper& beeper, QString imageDir, QString programDir)
    : engine_(clock, beeper), pictures_(std::move(imageDir), std::move(programDir)) {}

std::optional<LedPictureFailure> Preview::tick(QImage& canvas, QPoint origin) {
    changed_ = QRect();
    if (!engine_.isReset()) {
        return std::nullopt;  // nothing to show before start-up has set the state
    }
    if (auto failure = pictures_.refresh()) {
        // One report per run of failures, or the dialogs would pile up at 20 a second.
        const bool firstFailure = !failing_;
        failing_ = true;
        return firstFailure ? failure : std::nullopt;
    }
    failing_ = false;
    paint(canvas, origin);
    engine_.tick();
    return std::nullopt;
}

void Preview::paint(QImage& canvas, QPoint origin) {
    if (canvas.isNull()) {
        return;
    }
    const qreal ratio = canvas.devicePixelRatio();
    const LedGrid grid = LedGrid::at(origin, ratio);
    const int generation = pictures_.generation();
    for (const auto which : {LedPictures::Unlit, LedPictures::Lit}) {
        const QImage& image = pictures_.image(which);
        QImage& scaled = scaled_[which];
        const QSize size = grid.ledSize(image.size());
        if (scaledGeneration_ != generation || scaled.size() != size || scaled.isNull()) {
            // Whole multiples are pixel copies, as a 1x picture doubled; only a
            // fractional scale needs smoothing.
            const bool whole = grid.pitch % kLedPitch == 0;
            scaled = size == image.size()
                         ? image
                         : image.scaled(size, Qt::IgnoreAspectRatio,
                                        whole ? Qt::FastTransformation : Qt::SmoothTransformation);
        }
    }
    scaledGeneration_ = generation;
    const QImage& unlitScaled = scaled_[LedPictures::Unlit];
    const QImage& litScaled = scaled_[LedPictures::Lit];
    const bool opaque = pictures_.opaque(LedPictures::Unlit) && pictures_.opaque(LedPictures::Lit);
    const QSize scaledSize = unlitScaled.size().expandedTo(litScaled.size());

    // A picture with see-through pixels blends with what lies under it, so it is
    // drawn over every LED at every tick, as it always was.
    const bool everything = !drawn_ || !opaque || drawn_->canvasKey != canvas.cacheKey() ||
                            drawn_->origin != origin || drawn_->ratio != ratio ||
                            drawn_->scaledSize != scaledSize || drawn_->generation != generation;
    if (!drawn_ || everything) {
        drawn_ = Drawn{};
    }
    Drawn& drawn = *drawn_;

    // Opaque pictures are copied row by row onto a canvas whose pixels are laid
    // out as theirs (an opaque premultiplied pixel is also an RGB32 one);
    // anything else is drawn by a painter, in the canvas's own pixels through a
    // view.
    const bool copies = opaque && (canvas.format() == QImage::Format_ARGB32_Premultiplied ||
                                   canvas.format() == QImage::Format_RGB32);
    uchar* const bits = canvas.bits();  // detaches once, not at every row
    std::optional<QImage> view;
    std::optional<QPainter> painter;
    if (!copies) {
        view.emplace(bits, canvas.width(), canvas.height(), canvas.bytesPerLine(), canvas.format());
        painter.emplace(&*view);
    }
    QRect touched;
    for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
        for (int r = 0; r < PreviewEngine::kRows; ++r) {
            const auto index = static_cast<std::size_t>(c * PreviewEngine::kRows + r);
            const bool lit = engine_.isLit(c, r);
            if (!everything && drawn.state[index] == std::int8_t{lit}) {
                continue;
            }
            drawn.state[index] = std::int8_t{lit};
            const QImage& shown = lit ? litScaled : unlitScaled;
            const QPoint at = grid.origin + QPoint(grid.pitch * c, grid.pitch * r);
            if (copies) {
                copyPixels(bits, canvas, at, shown);
            } else {
                painter->drawImage(at, shown);
            }
            touched |= QRect(at, shown.size());
        }
    }
    painter.reset();
    drawn.canvasKey = canvas.cacheKey();
    drawn.origin = origin;
    drawn.ratio = ratio;
    drawn.scaledSize = scaledSize;
    drawn.generation = generation;
    if (!touched.isEmpty()) {
        // Back to the canvas's logical units, rounded outwards.
        const QRectF logical(QPointF(touched.topLeft()) / ratio, QSizeF(touched.size()) / ratio);
        changed_ = logical.toAlignedRect();
    }
}
