#include "Preview.h"

#include "BmpFile.h"

#include "DataFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

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

bool isOpaque(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return true;
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 255) {
                return false;
            }
        }
    }
    return true;
}

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
    : engine_(clock, beeper), imageDir_(std::move(imageDir)), programDir_(std::move(programDir)) {}

std::optional<QString> Preview::tick(QImage& canvas, QPoint origin) {
    changed_ = QRect();
    if (!engine_.isReset()) {
        return std::nullopt;  // nothing to show before start-up has set the state
    }
    std::optional<QString> error = refresh(unlit_, kUnlitLedFile);
    if (!error) {
        error = refresh(lit_, kLitLedFile);
    }
    if (error) {
        // One report per run of failures, or the dialogs would pile up at 20 a second.
        const bool firstFailure = !failing_;
        failing_ = true;
        return firstFailure ? error : std::nullopt;
    }
    failing_ = false;
    paint(canvas, origin);
    engine_.tick();
    return std::nullopt;
}

std::pair<QString, std::optional<Preview::FileIdentity>> Preview::locate(
    const QStringList& candidates) {
    // The first candidate that exists, as firstExistingFile() picks it, with the
    // one status read that also tells whether the file changed.
    for (const QString& path : candidates) {
#ifdef Q_OS_UNIX
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            return {path, std::nullopt};
        }
        constexpr qint64 kNano = 1'000'000'000;
        return {path, FileIdentity{path, st.st_size,
                                   qint64{st.st_mtim.tv_sec} * kNano + st.st_mtim.tv_nsec,
                                   qint64{st.st_ctim.tv_sec} * kNano + st.st_ctim.tv_nsec,
                                   quint64{st.st_ino}, quint64{st.st_dev}, quint32{st.st_mode}}};
#else
        const QFileInfo info(path);
        if (!info.exists()) {
            continue;
        }
        if (!info.isFile()) {
            return {path, std::nullopt};
        }
        return {path,
                FileIdentity{path, info.size(), info.lastModified().toMSecsSinceEpoch() * 1'000'000,
                             info.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000}};
#endif
    }
    return {candidates.value(0), std::nullopt};
}

std::optional<QString> Preview::refresh(Picture& picture, const char* fileName) {
    if (picture.candidates.isEmpty()) {
        picture.candidates =
            dataFileCandidates(QString::fromLatin1(fileName), imageDir_, programDir_);
    }
    const auto [path, identity] = locate(picture.candidates);
    if (identity && picture.identity == identity) {
        return std::nullopt;  // the same file: the picture already decoded stands
    }
    // Read afresh; whatever fails leaves no picture behind, so the file is read
    // again at the next tick, as the failure is reported.
    picture.identity.reset();
    picture.image = QImage();
    picture.scaled = QImage();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString shown = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
        return QStringLiteral("Cannot open file \"%1\". %2").arg(shown, file.errorString());
    }
    const QByteArray data = file.readAll();
    QImage image;
    if (!bmpIsWhole(data) || !image.loadFromData(data, "BMP")) {
        return QStringLiteral("Bitmap image is not valid");
    }
    ++decodes_;
    ++generation_;
    picture.opaque = isOpaque(image);
    // Same format as the canvas, so the draws below are plain copies.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    picture.image = std::move(image);
    // Taken before the read: a file changed meanwhile differs at the next tick
    // and is read again.
    picture.identity = identity;
    return std::nullopt;
}

void Preview::paint(QImage& canvas, QPoint origin) {
    if (canvas.isNull()) {
        return;
    }
    const qreal ratio = canvas.devicePixelRatio();
    const LedGrid grid = LedGrid::at(origin, ratio);
    for (Picture* picture : {&unlit_, &lit_}) {
        const QSize size = grid.ledSize(picture->image.size());
        if (picture->scaled.size() != size || picture->scaled.isNull()) {
            // Whole multiples are pixel copies, as a 1x picture doubled; only a
            // fractional scale needs smoothing.
            const bool whole = grid.pitch % kLedPitch == 0;
            picture->scaled = size == picture->image.size()
                                  ? picture->image
                                  : picture->image.scaled(
                                        size, Qt::IgnoreAspectRatio,
                                        whole ? Qt::FastTransformation : Qt::SmoothTransformation);
        }
    }
    const QSize scaledSize = unlit_.scaled.size().expandedTo(lit_.scaled.size());

    // A picture with see-through pixels blends with what lies under it, so it is
    // drawn over every LED at every tick, as it always was.
    const bool everything = !drawn_ || !unlit_.opaque || !lit_.opaque ||
                            drawn_->canvasKey != canvas.cacheKey() || drawn_->origin != origin ||
                            drawn_->ratio != ratio || drawn_->scaledSize != scaledSize ||
                            drawn_->generation != generation_;
    if (!drawn_ || everything) {
        drawn_ = Drawn{};
    }
    Drawn& drawn = *drawn_;

    // Opaque pictures are copied row by row onto a canvas whose pixels are laid
    // out as theirs (an opaque premultiplied pixel is also an RGB32 one);
    // anything else is drawn by a painter, in the canvas's own pixels through a
    // view.
    const bool copies = unlit_.opaque && lit_.opaque &&
                        (canvas.format() == QImage::Format_ARGB32_Premultiplied ||
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
            const QImage& shown = lit ? lit_.scaled : unlit_.scaled;
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
    drawn.generation = generation_;
    if (!touched.isEmpty()) {
        // Back to the canvas's logical units, rounded outwards.
        const QRectF logical(QPointF(touched.topLeft()) / ratio, QSizeF(touched.size()) / ratio);
        changed_ = logical.toAlignedRect();
    }
}
