#include "Preview.h"

#include "DataFiles.h"

#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

namespace {

quint32 little(const QByteArray& data, qsizetype at, int bytes) {
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | static_cast<quint8>(data[at + i]);
    }
    return value;
}

// True when data holds a BMP's headers and all the pixel rows they announce.
// The image reader fills the rows of a cut file with whatever it finds, so a
// picture that cannot be read whole must be caught before.
bool bmpIsWhole(const QByteArray& data) {
    constexpr qsizetype kFileHeader = 14;
    if (data.size() < kFileHeader + 4 || !data.startsWith("BM")) {
        return false;
    }
    const quint32 pixelsAt = little(data, 10, 4);
    const quint32 infoSize = little(data, kFileHeader, 4);
    if (infoSize < 12 || kFileHeader + qint64{infoSize} > data.size() || pixelsAt > data.size()) {
        return false;
    }
    qint64 width = 0;
    qint64 height = 0;
    quint32 bitsPerPixel = 0;
    quint32 compression = 0;
    quint32 imageSize = 0;
    if (infoSize == 12) {  // the old core header: 16-bit sizes
        width = little(data, 18, 2);
        height = little(data, 20, 2);
        bitsPerPixel = little(data, 24, 2);
    } else if (infoSize >= 20) {
        width = static_cast<qint32>(little(data, 18, 4));
        height = static_cast<qint32>(little(data, 22, 4));
        bitsPerPixel = little(data, 28, 2);
        compression = infoSize >= 24 ? little(data, 30, 4) : 0;
        imageSize = infoSize >= 24 ? little(data, 34, 4) : 0;
    } else {
        return false;
    }
    constexpr quint32 kRgb = 0, kBitfields = 3, kAlphaBitfields = 6;
    qint64 pixelBytes = imageSize;
    if (compression == kRgb || compression == kBitfields || compression == kAlphaBitfields) {
        const qint64 rowBytes = (std::abs(width) * bitsPerPixel + 31) / 32 * 4;
        pixelBytes = rowBytes * std::abs(height);
    }
    return qint64{pixelsAt} + pixelBytes <= data.size();
}

}  // namespace

Preview::Preview(const Clock& clock, Beeper& beeper, QString imageDir, QString programDir)
    : engine_(clock, beeper), imageDir_(std::move(imageDir)), programDir_(std::move(programDir)) {}

std::optional<QString> Preview::tick(QImage& canvas, QPoint origin) {
    if (!engine_.isReset()) {
        return std::nullopt;  // nothing to show before start-up has set the state
    }
    const Loaded unlit = load(kUnlitLedFile);
    const Loaded lit = unlit.error.isEmpty() ? load(kLitLedFile) : Loaded{};
    const QString& error = unlit.error.isEmpty() ? lit.error : unlit.error;
    if (!error.isEmpty()) {
        // One report per run of failures, or the dialogs would pile up at 20 a second.
        const bool firstFailure = !failing_;
        failing_ = true;
        return firstFailure ? std::optional<QString>(error) : std::nullopt;
    }
    failing_ = false;
    paint(canvas, origin, unlit.image, lit.image);
    engine_.tick();
    return std::nullopt;
}

Preview::Loaded Preview::load(const char* fileName) const {
    const QString name = QString::fromLatin1(fileName);
    QFile file(firstExistingFile(dataFileCandidates(name, imageDir_, programDir_)));
    if (!file.open(QIODevice::ReadOnly)) {
        const QString path = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
        return {{}, QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString())};
    }
    const QByteArray data = file.readAll();
    QImage image;
    if (!bmpIsWhole(data) || !image.loadFromData(data, "BMP")) {
        return {{}, QStringLiteral("Bitmap image is not valid")};
    }
    // Same format as the canvas, so the 200 draws below are plain copies.
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return {std::move(image), {}};
}

void Preview::paint(QImage& canvas, QPoint origin, const QImage& unlit, const QImage& lit) const {
    if (canvas.isNull()) {
        return;
    }
    QPainter painter(&canvas);
    for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
        for (int r = 0; r < PreviewEngine::kRows; ++r) {
            const QPoint at = origin + QPoint(kLedPitch * c, kLedPitch * r);
            painter.drawImage(at, engine_.isLit(c, r) ? lit : unlit);
        }
    }
}
