#include "Preview.h"

#include "DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

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
    QImage image;
    if (!image.loadFromData(file.readAll(), "BMP")) {
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
